#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillory {

class AppContext;

// "Email & Web": writes an e-mail to the main window's current contact or opens the contact's
// web page, through the desktop's programs for them.
class frmSend final : public QDialog {
    Q_OBJECT
public:
    explicit frmSend(AppContext& app, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    // Controls, named as designed.
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3; // display name
    QLabel* Label6;
    QLabel* Label4; // e-mail address
    QLabel* Label7;
    QLabel* Label5; // web page address
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;

private:
    AppContext& m_app;
};

} // namespace quillory
