#pragma once

#include "platform/report/ReportControl.h"

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace quillory {

class AppContext;
class GridModel;
class ProgramFolder;
namespace engine {
class DataSource;
}

// "Print Labels": mailing labels for the whole book or for the contacts flagged "Y" in the
// grid, on the stock chosen in the user settings, and one sheet of return-address labels. The
// labels are printed from copies made in the program folder, never from the book itself.
class frmLabel final : public QDialog {
    Q_OBJECT
public:
    explicit frmLabel(AppContext& app, QWidget* parent = nullptr);
    ~frmLabel() override;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void cmdReset_Click();
    void DBGrid1_GotFocus();
    void DBGrid1_ButtonClick(int column);

    // "&Update Grid!" and "&Reset Form" close the dialog so that it is opened afresh.
    bool reopenRequested() const { return m_reopen; }

    // The selection formulas of the two runs: every contact is on exactly one of them.
    static const QString SecondLineSelection;
    static const QString NoSecondLineSelection;
    static const QString FlaggedOnly;

    // Labels on one sheet of a stock; 0 for an unknown stock.
    static int labelsPerSheet(int stock);

    // Controls, named as designed.
    engine::DataSource* Data1;
    engine::DataSource* Data2;
    engine::DataSource* Data3;
    QTableView* DBGrid1;
    QLabel* Label1;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QGroupBox* Frame1;
    QLabel* Label2;
    QLineEdit* CountTXT;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command6;
    QPushButton* Command4;
    QPushButton* cmdReset;
    QPushButton* Command5;
    QPushButton* Command1;
    report::ReportControl Report1;
    report::ReportControl Report2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void printAddressLabels(const QString& extraSelection);
    // How many labels the run `request` prints.
    qsizetype labelsSelected(const report::ReportRequest& request) const;
    bool askPrinter();

    AppContext& m_app;
    GridModel* m_gridModel = nullptr;
    bool m_reopen = false;
};

// Makes "print.mdb", the copy of the book that address labels are printed from, afresh from
// the book, so that nothing an earlier print left in it is printed. Throws PlatformError.
void makePrintCopy(const ProgramFolder& folder);

// Opens the label dialog modal over `parent`, again for as long as it asks to be reopened.
void showLabelDialog(AppContext& app, QWidget* parent);

} // namespace quillory
