#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillory {

// "Support": opens the program's support and update web pages or a message to its support
// address, and says which version is running.
class frmInfo final : public QDialog {
    Q_OBJECT
public:
    explicit frmInfo(QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();
    void Command3_Click();
    void Command4_Click();
    void Command2_Click();

    // Controls, named as designed.
    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label4; // the version
    QLabel* Label2;
    QPushButton* Command1;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command2;
};

} // namespace quillory
