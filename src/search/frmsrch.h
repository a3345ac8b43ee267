#pragma once

#include <array>
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
// stored order, asks the user to confirm the person and leaves the main window on them.
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
    void DBGrid1_RowClick(int row);
    void lblName_Change();
    void Command3_Click();
    void Command2_Click();
    void Command4_Click();
    void Form_Unload();

    // The criterion handed to the engine by the last find or follow.
    QString criterion() const { return m_criterion; }

    // Builds the find criterion: "[" field "] " operator " '" string wildcard "'", trimmed, with
    // every apostrophe of the string doubled so it stays a value.
    static QString findCriterion(const QString& field, const QString& op, const QString& text,
                                 const QString& wildcard);
    // The criterion by which the main window follows the dialog: [extra8] = 'name'.
    static QString followCriterion(const QString& fullName);

    // Controls, named as designed.
    QGroupBox* Frame1;
    std::array<QRadioButton*, 6> opt{};
    QComboBox* cboOpList;
    QLineEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* lblInstructions;
    QTableView* DBGrid1;
    engine::DataSource* Data1;
    QFrame* Frame2;
    QLineEdit* lblName;
    std::array<QLineEdit*, 6> confirmBoxes{};
    QPushButton* Command3;
    QPushButton* Command4;
    QLineEdit* Text2;    // wildcard holder
    QLabel* lbloplist;   // operator holder
    QLineEdit* txtWhere; // criterion text
    QLabel* lblWhere;    // criterion label

protected:
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    void showConfirmation();
    void showCurrentRow();
    frmMain& main() const;

    AppContext& m_app;
    FieldBinder* m_binder;
    QString m_criterion;
    bool m_unloaded = false;
};

// Puts "search" into the command table: the dialog, modal.
void registerSearchCommands(AppContext& app);

} // namespace quillory
