#pragma once

#include "core/CardPlace.h"

#include <array>
#include <optional>
#include <QDialog>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace quillory {

class AppContext;
class FieldBinder;
class frmMain;
namespace engine {
class DataSource;
}

// The search dialog: finds a contact by field, operator and search string, lists the book in
// stored order, asks the user to confirm the person and leaves the main window on them, in the
// view it was in before the dialog opened.
class frmsrch final : public QDialog {
    Q_OBJECT
public:
    explicit frmsrch(AppContext& app, QWidget* parent = nullptr);
    ~frmsrch() override;

    // False when the dialog must not open: the typing on the main window's card could not be
    // written (the user has been told why).
    bool Form_Load();
    void cboOpList_Click(int index);
    void Command1_Click();
    // "Find &Next": the next match after the dialog's current record, in stored order.
    void Command5_Click();
    void DBGrid1_RowClick(int row);
    // The dialog's current record changed: the grid shows it and the main window follows it.
    void Data1_Reposition();
    void Command3_Click();
    void Command2_Click();
    void Command4_Click();
    void Form_Unload();

    // The criterion of the last find.
    QString criterion() const { return m_criterion; }

    // Builds the find criterion: "[" field "] " operator " '" string wildcard "'", trimmed, with
    // every apostrophe of the string doubled so it stays a value.
    static QString findCriterion(const QString& field, const QString& op, const QString& text,
                                 const QString& wildcard);

    // Controls, named as designed.
    QGroupBox* Frame1;
    std::array<QRadioButton*, 6> opt{};
    QComboBox* cboOpList;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command5; // "Find &Next"
    QLabel* lblInstructions;
    QTableView* DBGrid1;
    engine::DataSource* Data1;
    QFrame* Frame2;
    QLineEdit* lblName;
    std::array<QLineEdit*, 6> confirmBoxes{};
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command6; // "Ne&xt match": "Find &Next" on the confirmation panel
    QLineEdit* Text2;      // wildcard holder
    QLabel* lbloplist;     // operator holder
    QLineEdit* txtWhere;   // criterion text
    QLabel* lblWhere;      // criterion label

protected:
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    // Takes the criterion from the option buttons, the operator box and the search string.
    void takeCriterion();
    void showConfirmation();
    void showCurrentRow();
    frmMain& main() const;

    AppContext& m_app;
    FieldBinder* m_binder;
    QString m_criterion;
    // The criterion of the last find that matched: "Find &Next" goes on from its match.
    QString m_searched;
    // The main window's view and card when the dialog opened: "&Close" goes back to them.
    std::optional<CardPlace> m_before;
    bool m_unloaded = false;
};

// Puts "search" into the command table: the dialog, modal.
void registerSearchCommands(AppContext& app);

} // namespace quillory
