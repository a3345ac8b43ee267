#pragma once

#include <array>
#include <functional>
#include <QPointF>
#include <QString>

class QWidget;

namespace quillory {
class ProgramFolder;
}

namespace quillory::report {

// What one run of a report asks for: the calls a print job makes on its report control.
struct ReportRequest {
    QString reportFileName;              // a bare template name such as "combook1.rpt"
    QString windowTitle;                 // the preview window's caption
    QString selectionFormula;            // in the formula language; empty: every row
    std::array<QString, 2> sortFields{}; // "+{PhoneBK.name}" / "-{PhoneBK.namef}"; empty: none
    int destination = 0;                 // 0: the preview window
    QPointF labelOffset;                 // millimetres every label page is moved by
    int leaveBlank = 0;                  // label places left empty at the start of the first sheet
    bool operator==(const ReportRequest&) const = default;
};

// The report control a print dialog holds (`Report1`): the job sets its properties and runs it
// with Action = 1. The control reads nothing back to the caller. A run that fails tells the user
// once, naming the template and the reason; the control stays usable for the next run.
class ReportControl {
public:
    explicit ReportControl(const ProgramFolder& folder, QWidget* parent = nullptr);

    QString ReportFileName;
    QString WindowTitle;
    QString SelectionFormula;
    std::array<QString, 2> SortFields{};
    int Destination = 0;
    // The printer calibration in millimetres: label sheets are drawn moved by it.
    QPointF LabelOffset;
    // Label places already used on the first sheet, left empty (ReportSource::leaveBlank).
    int LeaveBlank = 0;

    // Action = 1 runs the report as the properties describe it; other values do nothing.
    void setAction(int action);

    // How a request is carried out: the report engine installs the real runner when the program
    // starts; tests install one that records the requests. The runner throws PlatformError (or
    // another std::exception) when the run fails.
    using Runner = std::function<void(const ReportRequest&, const ProgramFolder&, QWidget* parent)>;
    static void setRunner(Runner runner);

    ReportRequest request() const;

private:
    const ProgramFolder& m_folder;
    QWidget* m_parent;
};

} // namespace quillory::report
