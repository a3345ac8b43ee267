#include "browse/Form1.h"

#include "platform/ui/Geometry.h"

#include <algorithm>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace quillory {

namespace {

// The picture stands below the button band; the window is this much higher than the picture.
constexpr double ImageTop = 420;
constexpr double ExtraHeight = 800;
// Room for the "&Close" button, so that a viewer without a picture is still a usable window.
constexpr double ButtonLeft = 60;
constexpr double ButtonTop = 45;
constexpr double ButtonWidth = 1095;
constexpr double ButtonHeight = 330;
constexpr double MinimumWidth = ButtonLeft + ButtonWidth + ButtonLeft;
// The note shown in place of a missing photo.
constexpr double NoPhotoWidth = 2880;
constexpr double NoPhotoHeight = 1440;

} // namespace

Form1::Form1(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("View Photo"));
    setModal(true);

    Command1 = new QPushButton(QStringLiteral("&Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(
        ui::twipsToPixels(QRectF(ButtonLeft, ButtonTop, ButtonWidth, ButtonHeight)));
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setStyleSheet(QStringLiteral("QLabel#Image1 { color: #9a9486; }"));
    Image1->move(0, ui::twipsToPixels(ImageTop));
    Image1->resize(0, 0);
}

void Form1::setPicture(const QPixmap& picture) {
    if (picture.isNull()) {
        // A contact without a photo: a quiet note of a modest size instead of an empty window.
        Image1->clear();
        Image1->setText(QStringLiteral("No photo"));
        m_natural = ui::twipsToPixels(QRectF(0, 0, NoPhotoWidth, NoPhotoHeight)).size();
    } else {
        Image1->setPixmap(picture);
        m_natural = picture.deviceIndependentSize().toSize();
    }
    Image1->resize(m_natural);
}

void Form1::Form_Activate() {
    // 1. The window as wide as the picture and 800 higher.
    setWindowState(windowState() & ~Qt::WindowMaximized);
    Image1->resize(m_natural);
    const int width = std::max(Image1->width(), ui::twipsToPixels(MinimumWidth));
    resize(width, Image1->height() + ui::twipsToPixels(ExtraHeight));
    // 2.
    ui::CenterForm(*this);
    // 3. Larger than the screen's working area (frame included where it is known): maximised.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect frame = frameGeometry();
        const QRect inner = geometry();
        const QMargins border(inner.left() - frame.left(), inner.top() - frame.top(),
                              frame.right() - inner.right(), frame.bottom() - inner.bottom());
        const QRect available = screen->availableGeometry();
        if (frame.width() > available.width() || frame.height() > available.height()) {
            // Put on the working area first: the window then fits even where nothing carries
            // the request to maximise out (no window manager), and is restored to a size that
            // fits the screen.
            setGeometry(available.marginsRemoved(border));
            setWindowState(windowState() | Qt::WindowMaximized);
        }
    }
    // 4.
    stretchIfMaximized();
}

void Form1::stretchIfMaximized() {
    if (!isMaximized()) {
        Image1->resize(m_natural);
        return;
    }
    Image1->resize(width(), Image1->height());
    Image1->resize(Image1->width(), std::max(0, height() - ui::twipsToPixels(ExtraHeight)));
}

void Form1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Form_Activate();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // A maximised window gets its final size from the window system some time after it was
    // asked for; the picture follows it.
    stretchIfMaximized();
}

void Form1::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        stretchIfMaximized();
}

} // namespace quillory
