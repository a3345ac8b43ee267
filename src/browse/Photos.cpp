#include "browse/Photos.h"

#include "browse/Form1.h"
#include "browse/ImageCodec.h"
#include "browse/PicLoad.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace quillory {

namespace {

const char* const TwipsGeometryProperty = "twipsGeometry";
// The display's size as FitPhoto's rule gave it, before it was made to fit the frame.
const char* const FittedSizeProperty = "photoFittedSize";
const char* const FittedPlaceProperty = "photoFittedPlace";

// Where the display stands in the frame, as designed.
constexpr double DisplayLeft = 60;
constexpr double DisplayTop = 150;
// The frame's height less this is the room above the two buttons (the layout gives the
// display that height too).
constexpr double FrameBelowRoom = 600;

bool standsAsRecorded(const QWidget& control) {
    const QVariant recorded = control.property(TwipsGeometryProperty);
    return recorded.isValid() && ui::twipsToPixels(recorded.toRectF()) == control.geometry();
}

// The display's note when there is no picture to show.
QString noPhotoText() {
    return QStringLiteral("No photo");
}
QString unreadablePhotoText() {
    return QStringLiteral("This photo cannot be shown");
}

bool hasCurrentRow(const frmMain& main) {
    return main.Data1->absolutePosition() >= 0 || main.Data1->isAdding();
}

// The card's photo state and its bindings; one per main window, its child. The display shows
// the picture of the stored bytes fitted into it with its shape kept, decoded at that size
// (a camera's photo is read on the decoder's thread); the natural-size box holds the photo's
// pixel size, which FitPhoto shapes the display by.
class PhotoCard final : public QObject {
    Q_OBJECT
public:
    PhotoCard(AppContext& app, frmMain& main)
        : QObject(&main), m_app(app), m_main(main), m_pic(main.pic),
          m_decoder(new images::PictureDecoder(this)) {
        setObjectName(QStringLiteral("photoCard"));
    }

    static PhotoCard* of(const frmMain& main) {
        return main.findChild<PhotoCard*>(QStringLiteral("photoCard"), Qt::FindDirectChildrenOnly);
    }

    void install() {
        m_main.setFitPhoto([this](frmMain&) { fitPhoto(); });
        connect(m_main.Data1, &engine::DataSource::repositioned, this, &PhotoCard::fill);
        connect(m_main.Command5, &QAbstractButton::clicked, this,
                [this] { photo::addPhoto(m_app, m_main); });
        connect(m_main.Command4, &QAbstractButton::clicked, this,
                [this] { photo::deletePhoto(m_main); });
        connect(m_decoder, &images::PictureDecoder::decoded, this, &PhotoCard::takeDecoded);
        m_pic->installEventFilter(this);
        // The display is destroyed with the window, after the window's own part is gone: the
        // filter must not see its last events, since it would reach into the window.
        connect(&m_main, &frmMain::aboutToBeDestroyed, this,
                [this] { m_pic->removeEventFilter(this); });
        // The picture is fitted into the display by its shape, not stretched over it.
        m_pic->setScaledContents(false);
        m_pic->setAlignment(Qt::AlignCenter);
        m_pic->setWordWrap(true);
        fill();
    }

    // The data source moved: both boxes take the new row's picture, and the natural-size box's
    // change fits the display.
    void fill() {
        const QByteArray stored = hasCurrentRow(m_main)
                                      ? m_main.Data1->value(QStringLiteral("bitmap")).toByteArray()
                                      : QByteArray();
        show(stored, images::pictureSize(stored), {});
    }

    // Puts the picture of `stored`, of size `size` (invalid: not a picture), on the display and
    // its size into the natural-size box. `decoded` is the picture when it was read already.
    void show(const QByteArray& stored, const QSize& size, const QImage& decoded) {
        m_shown = stored;
        m_shownSize = size;
        m_decoded = decoded;
        m_unreadable = !stored.isEmpty() && !size.isValid();
        forgetReading();
        m_natural = size;
        // `pix1` sizes itself to its picture; a new picture runs FitPhoto.
        m_main.pix1->resize(size.isValid() ? size : QSize(0, 0));
        m_main.FitPhoto();
    }

    // Empties the display alone: the natural-size box keeps its picture, so the display keeps
    // its shape.
    void empty() {
        m_shown.clear();
        m_shownSize = {};
        m_decoded = {};
        m_unreadable = false;
        forgetReading();
        render();
    }

    const QByteArray& shownBytes() const { return m_shown; }
    bool showsPhoto() const { return !m_shown.isEmpty() && !m_unreadable; }
    QSize natural() const { return m_natural; }

    // The size the display's picture is shown at, in the window's pixels.
    QSize shownSize() const {
        return showsPhoto() ? images::fittedSize(m_shownSize, m_pic->contentsRect().size())
                            : QSize();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_pic && event->type() == QEvent::MouseButtonDblClick) {
            photo::viewPhoto(m_main);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void fitPhoto() {
        QLabel& pic = *m_main.pic;
        pic.hide();
        // Without a picture the natural-size box says nothing about a shape: the display keeps
        // the one it has.
        if (m_natural.isValid()) {
            const QSizeF natural(ui::pixelsToTwips(m_natural.width()),
                                 ui::pixelsToTwips(m_natural.height()));
            const QSizeF frame = photo::twipsGeometry(*m_main.Frame1).size();
            // The rule works on the size the last fit gave, while the display still stands
            // where that fit put it; a display moved since (by the layout) is taken as it is.
            const QRectF standing = photo::twipsGeometry(pic);
            const QVariant lastFit = pic.property(FittedSizeProperty);
            const bool placedByFit = lastFit.isValid() && standsAsRecorded(pic) &&
                                     standing == pic.property(FittedPlaceProperty).toRectF();
            const QSizeF fitted = photo::fittedDisplaySize(
                natural, frame, placedByFit ? lastFit.toSizeF() : standing.size());
            const QRectF place = photo::displayWithinFrame(fitted, frame);
            photo::setTwipsGeometry(pic, place);
            pic.setProperty(FittedSizeProperty, fitted);
            pic.setProperty(FittedPlaceProperty, place);
        }
        render();
        pic.show();
    }

    // Shows the picture at the display's present size: from the picture read last when it is
    // large enough, else read again at this size.
    void render() {
        if (!showsPhoto()) {
            m_pic->clear();
            m_pic->setText(m_unreadable ? unreadablePhotoText() : noPhotoText());
            return;
        }
        const qreal ratio = m_pic->devicePixelRatioF();
        const QSize target = images::fittedSize(
            m_shownSize, (QSizeF(m_pic->contentsRect().size()) * ratio).toSize());
        if ((m_decoded.isNull() || m_decoded.width() < target.width()) && m_reading != target) {
            const std::optional<QImage> now = m_decoder->request(m_shown, m_shownSize, target);
            m_reading = now ? QSize() : target;
            if (now) {
                m_decoded = *now;
                m_unreadable = m_decoded.isNull();
                if (m_unreadable) {
                    render();
                    return;
                }
            }
        }
        // While a larger reading is on its way the one before stands in, enlarged.
        if (m_decoded.isNull()) {
            m_pic->clear();
            return;
        }
        QPixmap shown = QPixmap::fromImage(
            m_decoded.size() == target
                ? m_decoded
                : m_decoded.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        shown.setDevicePixelRatio(ratio);
        m_pic->setPixmap(shown);
    }

    void forgetReading() {
        m_decoder->cancel();
        m_reading = {};
    }

    void takeDecoded(const QImage& picture) {
        m_reading = {};
        m_decoded = picture;
        m_unreadable = picture.isNull();
        render();
    }

    AppContext& m_app;
    frmMain& m_main;
    QLabel* m_pic; // the display, watched for double clicks
    images::PictureDecoder* m_decoder;
    QByteArray m_shown; // the stored bytes of the picture the display shows
    QSize m_shownSize;  // that picture's size
    QImage m_decoded;   // that picture as read last, at the size it was shown at
    QSize m_reading;    // the size it is being read at on the decoder's thread
    bool m_unreadable = false;
    QSize m_natural; // the natural-size box's picture's size
};

PhotoCard& cardOf(frmMain& main) {
    PhotoCard* card = PhotoCard::of(main);
    if (card == nullptr) {
        installPhotos(main.app(), main);
        card = PhotoCard::of(main);
    }
    return *card;
}

} // namespace

void installPhotos(AppContext& app, frmMain& main) {
    if (PhotoCard::of(main) != nullptr)
        return;
    (new PhotoCard(app, main))->install();
}

void registerPhotoCommands(AppContext& app) {
    app.commands().add(QStringLiteral("prevpic"),
                       [&app](CommandOrigin) { photo::viewPhoto(app.mainWindow()); });
}

namespace photo {

QRectF twipsGeometry(const QWidget& control) {
    if (standsAsRecorded(control))
        return control.property(TwipsGeometryProperty).toRectF();
    const QRect pixels = control.geometry();
    return {ui::pixelsToTwips(pixels.x()), ui::pixelsToTwips(pixels.y()),
            ui::pixelsToTwips(pixels.width()), ui::pixelsToTwips(pixels.height())};
}

void setTwipsGeometry(QWidget& control, const QRectF& twips) {
    control.setGeometry(ui::twipsToPixels(twips));
    control.setProperty(TwipsGeometryProperty, twips);
}

QSizeF fittedDisplaySize(const QSizeF& natural, const QSizeF& frame, QSizeF display) {
    const auto take = [](double value, double kept) { return value >= 0 ? value : kept; };
    const double width = frame.width() - 150;
    if (natural.width() > natural.height()) {
        display.setHeight(take(0.8 * display.width(), display.height()));
        display.setWidth(take(width, display.width()));
    } else {
        if (natural.width() < natural.height())
            display.setWidth(take(width, display.width()));
        display.setHeight(take(1.25 * display.width(), display.height()));
    }
    return display;
}

QRectF displayWithinFrame(const QSizeF& fitted, const QSizeF& frame) {
    const double room = frame.height() - FrameBelowRoom;
    if (fitted.height() <= room || room <= 0)
        return {QPointF(DisplayLeft, DisplayTop), fitted};
    const QSizeF shown(fitted.width() * room / fitted.height(), room);
    return {QPointF((frame.width() - shown.width()) / 2, DisplayTop), shown};
}

void loadPhoto(frmMain& main, const QByteArray& stored) {
    PhotoCard& card = cardOf(main);
    QSize size;
    QImage decoded;
    if (!stored.isEmpty()) {
        // Read now, at the most the frame can show, so that bytes that are no picture change
        // nothing.
        size = images::pictureSize(stored);
        const qreal ratio = main.pic->devicePixelRatioF();
        if (size.isValid())
            decoded = images::decodeStored(stored, (QSizeF(main.Frame1->size()) * ratio).toSize());
        if (decoded.isNull())
            throw std::runtime_error("The picture cannot be decoded.");
    }
    card.show(stored, size, decoded);
    // Like a typed field, the photo waits for the data source to move; with no row to hold it
    // (an empty book), it stays on the display alone.
    if (hasCurrentRow(main))
        main.Data1->setValue(QStringLiteral("bitmap"),
                             stored.isEmpty() ? QVariant() : QVariant(stored));
    main.FitPhoto();
}

bool deleteConfirmed(QWidget* parent) {
    return ui::MessageBoxService::show(
               {QStringLiteral("Are you sure you want to DELETE current photo?"),
                ui::Buttons::YesNo, ui::Icon::Question, 1, QStringLiteral("Quillory")},
               parent) == ui::Answer::Yes;
}

void deletePhoto(frmMain& main) {
    if (!deleteConfirmed(&main))
        return;
    main.Label2->clear();
    // Only the display is emptied: the natural-size box keeps its picture, so the display
    // keeps its shape.
    cardOf(main).empty();
    if (hasCurrentRow(main))
        main.Data1->setValue(QStringLiteral("bitmap"), QVariant());
}

void addPhoto(AppContext& app, frmMain& main) {
    PicLoad chooser(app, main, &main);
    ui::Modal::exec(chooser);
}

void viewPhoto(frmMain& main) {
    const PhotoCard& card = cardOf(main);
    Form1 viewer(&main);
    viewer.setPhoto(card.showsPhoto() ? card.shownBytes() : QByteArray(), card.shownSize());
    ui::Modal::exec(viewer);
}

QImage displayedPhoto(const frmMain& main) {
    return main.pic->pixmap().toImage();
}

bool showsPhoto(const frmMain& main) {
    const PhotoCard* card = PhotoCard::of(main);
    return card != nullptr && card->showsPhoto();
}

QSize naturalSize(const frmMain& main) {
    const PhotoCard* card = PhotoCard::of(main);
    return card != nullptr ? card->natural() : QSize();
}

} // namespace photo

} // namespace quillory

#include "Photos.moc"
