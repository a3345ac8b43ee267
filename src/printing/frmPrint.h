#pragma once

#include "platform/report/ReportControl.h"

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quillory {

class AppContext;

// "Printing Options": the user picks one of five print jobs and clicks "&Print". The envelope
// goes straight to the system printer; the address book and the planner pages are report runs
// shown in the report engine's preview; labels have a dialog of their own. Every way of
// closing the dialog saves the settings file.
class frmPrint final : public QDialog {
    Q_OBJECT
public:
    explicit frmPrint(AppContext& app, QWidget* parent = nullptr);

    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void Command2_Click();

    // Closing the dialog by any way runs Form_Unload once.
    void done(int result) override;
    bool isUnloaded() const { return m_unloaded; }

    // The selection formulas the report runs pass: every contact is on exactly one of the two
    // address-book runs, and every contact with a last name is on the planner pages.
    static const QString AddressBookPage2Selection;
    static const QString AddressBookPage1Selection;
    static const QString PlannerSelection;

    // Controls, named as designed.
    QGroupBox* Frame1;
    QRadioButton* OptEnv;
    QRadioButton* OptAdd;
    QRadioButton* Optrunner;
    QRadioButton* Optrunner1;
    QRadioButton* OptLabel;
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* Label1;
    report::ReportControl Report1;

private:
    struct Run {
        QString reportFileName;
        QString windowTitle;
        QString selectionFormula;
    };
    void printEnvelope();
    void runReports(int orientation, const QList<Run>& runs);

    AppContext& m_app;
    bool m_unloaded = false;
};

// Registers the "print" command (toolbar key and the menu's "&Printing options").
void registerPrintingCommands(AppContext& app);

} // namespace quillory
