#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillory {

class AppContext;
class PictureBox;

// The about box: the program's picture, name and version. A click on the picture shows a
// second picture in its place; a click on that one hides it again.
class About final : public QDialog {
    Q_OBJECT
public:
    explicit About(QWidget* parent = nullptr);

    // Centres the box and starts with the second picture hidden.
    void Form_Load();
    void Form_Activate();
    void Command1_Click();
    void Image1_Click();
    void DevImage_Click();

    // Controls, named as designed.
    PictureBox* Image1;
    PictureBox* DevImage;
    QLabel* Label3;
    QLabel* Label1;
    QPushButton* Command1;

protected:
    bool event(QEvent* event) override;
};

} // namespace quillory
