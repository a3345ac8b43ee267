#pragma once

#include <QByteArray>
#include <QDialog>
#include <QSize>

class QLabel;
class QPushButton;

namespace quillory {

// The photo viewer, "View Photo": the contact's photo below a "&Close" button, always with its
// own shape: at its natural size, enlarged when that is not larger than the card shows it, and
// fitted into the whole window (maximised) when it is larger than the screen.
class Form1 final : public QDialog {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    // The photo to show: its bytes as the book stores them (empty: none), and the size the card
    // shows it at, in pixels.
    void setPhoto(const QByteArray& stored, const QSize& onCard);

    // Sizes the window to the picture, centres it, and maximises it (the picture fitted into
    // it) when it does not fit on the screen; reads the picture at the size it is shown at.
    // Runs each time the viewer is shown.
    void Form_Activate();

    QPushButton* Command1;
    QLabel* Image1;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The picture's size on the window before it is maximised.
    QSize pictureSize(const QSize& room) const;
    void placePicture();

    QByteArray m_stored;
    QSize m_natural{0, 0}; // the photo's pixel size, or the note's size
    QSize m_onCard;
    QSize m_shown{0, 0}; // the picture's size while the window is not maximised
};

} // namespace quillory
