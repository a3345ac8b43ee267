#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

namespace quillory {

class AppContext;

// The small question that starts a back-up or a restore: the program folder or another
// drive. frmDB and frmDB1 differ only in their texts and in what OK starts.
class LocationChoiceDialog : public QDialog {
    Q_OBJECT
public:
    struct Texts {
        QString caption;
        QString instructions;  // Label1
        QString programFolder; // OptLoc
        QString otherDrive;    // OptExt
    };

    // Centres the dialog on the screen.
    void Form_Load();
    // OK: runs the chosen place's command, then closes.
    virtual void Command1_Click() = 0;
    // Cancel.
    void Command2_Click();

    // Controls, named as designed.
    QLabel* Label1;
    QRadioButton* OptLoc;
    QRadioButton* OptExt;
    QPushButton* Command1;
    QPushButton* Command2;

protected:
    LocationChoiceDialog(AppContext& app, const Texts& texts, QWidget* parent);
    AppContext& app() const { return m_app; }

private:
    AppContext& m_app;
};

} // namespace quillory
