#pragma once

#include "platform/report/PageSource.h"
#include "platform/report/ReportControl.h"
#include "platform/report/Template.h"

#include <memory>
#include <QVector>

namespace quillory::engine {
class Database;
}

namespace quillory::report {

// A filled template: the one page renderer behind the preview, the printer and PDF.
//
// Opening it reads, in one pass sorted by the database, only the row ids and the fields the
// selection and the groups need; the selection is applied as the rows stream by. Pages are
// laid out from those row ids when they are first asked for, and a page's rows are read again
// when it is drawn, so no page's contents are held in memory and the book's file is not kept
// locked while the preview is open.
class ReportSource : public PageSource {
public:
    // Throws PlatformError: 53 for a missing template or database, 3049 for a database that
    // cannot be read, 3077 for a bad template, formula or sort field.
    ReportSource(Template reportTemplate, const QString& databasePath,
                 const QString& selectionFormula, const QStringList& sortFields,
                 const QString& windowTitle);
    ~ReportSource() override;

    QString title() const override { return m_title; }
    QPageLayout pageLayout() const override { return m_template.layout; }
    bool hasPage(int index) override;
    int pageCount() override;
    void drawPage(int index, QPainter& painter) override;

    // Leaves the first `count` places of the first page empty, for a sheet of labels of which
    // some were used already. Call it before any page is asked for.
    void leaveBlank(int count);

    // Moves every page of a label template by `millimetres` (right and down positive), for a
    // printer that does not put the sheet where the stock expects it. Other templates ignore it.
    void setLabelOffset(QPointF millimetres) { m_labelOffset = millimetres; }

    // The selected row ids in the order they are printed (each row once).
    const QVector<qint64>& rows() const { return m_rows; }

private:
    struct Placed {
        qint64 row; // -1: a group header
        int group;  // index into m_groupKeys: the group a row is in, or a header's (-1: none)
        float x, y; // the cell's top left on the page, points
    };
    struct Page {
        QVector<Placed> items;
    };

    bool layOutNextPage();
    double bodyTop() const;
    double bodyBottom() const;

    Template m_template;
    QString m_title;
    std::unique_ptr<engine::Database> m_db;
    QStringList m_drawn; // the columns a page's rows are read with
    QVector<qint64> m_rows;
    QVector<int> m_groupStart;    // index into m_rows where each group starts
    QVector<QString> m_groupKeys; // the key each group shows
    QVector<Page> m_pages;
    QPointF m_labelOffset; // millimetres
    qint64 m_blanks = 0;   // empty places before the first row
    qint64 m_nextItem = 0; // the next place to fill: the blanks, then each copy of each row
    int m_nextGroup = 0;
    bool m_done = false;
};

// Opens the template named in the request the way the print jobs do: the template is looked up
// by its bare name, its database in the program folder.
std::unique_ptr<ReportSource> openReport(const ReportRequest& request, const ProgramFolder& folder);

// The selection formula and sort fields the program's own jobs pass for a template, for runs
// that name only the template (the command line). Unknown templates get every row, unsorted.
ReportRequest defaultRequest(const QString& templateName);

// Makes the report control run reports on this engine, into the preview window.
void installReportRunner();

} // namespace quillory::report
