#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

namespace quillory {

// The photo viewer, "View Photo": the contact's photo at its natural size below a "&Close"
// button, or stretched over the whole window when it is larger than the screen.
class Form1 final : public QDialog {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    // Puts the picture into Image1 at its natural size.
    void setPicture(const QPixmap& picture);

    // Sizes the window to the picture, centres it, and maximises it (the picture stretched
    // with it) when it does not fit on the screen. Runs each time the viewer is shown.
    void Form_Activate();

    QPushButton* Command1;
    QLabel* Image1;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void stretchIfMaximized();

    QSize m_natural{0, 0};
};

} // namespace quillory
