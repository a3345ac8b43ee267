#include "browse/Form1.h"

#include "browse/ImageCodec.h"
#include "platform/ui/Geometry.h"

#include <algorithm>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
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
// The viewer shows a photo at least this many times as large as the card does.
constexpr int EnlargedFromCard = 2;

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

void Form1::setPhoto(const QByteArray& stored, const QSize& onCard) {
    m_stored = stored;
    m_onCard = onCard;
    m_natural = images::pictureSize(stored);
    Image1->clear();
    if (!m_natural.isValid()) {
        // A contact without a photo: a quiet note of a modest size instead of an empty window.
        m_stored.clear();
        Image1->setText(QStringLiteral("No photo"));
        m_natural = ui::twipsToPixels(QRectF(0, 0, NoPhotoWidth, NoPhotoHeight)).size();
    }
    m_shown = m_natural;
    Image1->resize(m_natural);
}

namespace {

QMargins frameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

bool fitsInto(const QSize& size, const QSize& room) {
    return size.width() <= room.width() && size.height() <= room.height();
}

} // namespace

QSize Form1::pictureSize(const QSize& room) const {
    if (m_stored.isEmpty())
        return m_natural;
    // The viewer is for seeing the photo large: never smaller than twice the card's picture.
    QSize size = m_natural;
    const QSize larger = m_onCard * EnlargedFromCard;
    if (m_natural.width() < larger.width() && m_natural.height() < larger.height())
        size = images::fittedSize(m_natural, larger);
    // Enlarged no further than the screen holds; a photo that is itself larger opens
    // maximised, and is read at the size of the screen.
    if (!fitsInto(size, room))
        size = fitsInto(m_natural, room) ? images::fittedSize(m_natural, room) : m_natural;
    return size;
}

void Form1::Form_Activate() {
    setWindowState(windowState() & ~Qt::WindowMaximized);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // A window shown for the first time has no frame yet: the main window's tells how large
    // the one to come will be.
    QMargins border = frameMargins(*this);
    if (border.isNull() && parentWidget() != nullptr)
        border = frameMargins(*parentWidget()->window());
    const QRect available = screen != nullptr ? screen->availableGeometry().marginsRemoved(border)
                                              : QRect(QPoint(0, 0), m_natural);
    const QSize room(available.width(),
                     std::max(1, available.height() - ui::twipsToPixels(ExtraHeight)));
    m_shown = pictureSize(room);
    if (!m_stored.isEmpty()) {
        // Read once, at the size it is shown at (a maximised window's size is the screen's).
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const QSize largest =
            fitsInto(m_shown, room) ? m_shown : images::fittedSize(m_natural, room);
        const QImage picture =
            images::decodeStored(m_stored, (QSizeF(largest) * devicePixelRatioF()).toSize());
        if (picture.isNull())
            Image1->setText(QStringLiteral("This photo cannot be shown"));
        else
            Image1->setPixmap(QPixmap::fromImage(picture));
    }
    // 1. The window as wide as the picture and 800 higher.
    const int width = std::max(m_shown.width(), ui::twipsToPixels(MinimumWidth));
    resize(width, m_shown.height() + ui::twipsToPixels(ExtraHeight));
    // 2.
    ui::CenterForm(*this);
    // 3. Larger than the screen's working area (frame included where it is known): maximised.
    if (screen != nullptr) {
        const QSize outer = size().grownBy(border);
        if (outer.width() > screen->availableGeometry().width() ||
            outer.height() > screen->availableGeometry().height()) {
            // Put on the working area first: the window then fits even where nothing carries
            // the request to maximise out (no window manager), and is restored to a size that
            // fits the screen.
            setGeometry(available);
            setWindowState(windowState() | Qt::WindowMaximized);
        }
    }
    // 4.
    placePicture();
}

void Form1::placePicture() {
    const int top = ui::twipsToPixels(ImageTop);
    QSize size = m_shown;
    if (isMaximized()) {
        // Fitted into the window below the button, its shape kept.
        const QSize area(width(), std::max(1, height() - ui::twipsToPixels(ExtraHeight)));
        size = m_stored.isEmpty() ? area : images::fittedSize(m_natural, area);
    }
    Image1->setGeometry((width() - size.width()) / 2, top, size.width(), size.height());
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
    placePicture();
}

void Form1::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        placePicture();
}

} // namespace quillory
