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

// One pixmap serves the display and the natural-size box alike, so a camera's photo is held
// once, not once per box.
QPixmap pixmapOf(QImage picture) {
    return picture.isNull() ? QPixmap() : QPixmap::fromImage(std::move(picture));
}

// The card's photo state and its bindings; one per main window, its child.
class PhotoCard final : public QObject {
    Q_OBJECT
public:
    PhotoCard(AppContext& app, frmMain& main)
        : QObject(&main), m_app(app), m_main(main), m_pic(main.pic) {
        setObjectName(QStringLiteral("photoCard"));
    }

    static PhotoCard* of(const frmMain& main) {
        return main.findChild<PhotoCard*>(QStringLiteral("photoCard"), Qt::FindDirectChildrenOnly);
    }

    void install() {
        m_main.setFitPhoto([](frmMain& window) { fitPhoto(window); });
        connect(m_main.Data1, &engine::DataSource::repositioned, this, &PhotoCard::fill);
        connect(m_main.Command5, &QAbstractButton::clicked, this,
                [this] { photo::addPhoto(m_app, m_main); });
        connect(m_main.Command4, &QAbstractButton::clicked, this,
                [this] { photo::deletePhoto(m_main); });
        m_pic->installEventFilter(this);
        // The display is destroyed with the window, after the window's own part is gone: the
        // filter must not see its last events, since it would reach into the window.
        connect(&m_main, &frmMain::aboutToBeDestroyed, this,
                [this] { m_pic->removeEventFilter(this); });
        m_main.pic->setAlignment(Qt::AlignCenter);
        m_main.pic->setWordWrap(true);
        showOnDisplay({}, noPhotoText());
        fill();
    }

    // The data source moved: both boxes take the new row's picture, and the natural-size box's
    // change fits the display.
    void fill() {
        const QByteArray stored = hasCurrentRow(m_main)
                                      ? m_main.Data1->value(QStringLiteral("bitmap")).toByteArray()
                                      : QByteArray();
        const QPixmap picture = pixmapOf(images::decodeStored(stored));
        showOnDisplay(picture, stored.isEmpty() || !picture.isNull() ? noPhotoText()
                                                                     : unreadablePhotoText());
        setNatural(picture);
    }

    void showOnDisplay(const QPixmap& picture, const QString& note) {
        if (picture.isNull()) {
            m_main.pic->clear();
            m_main.pic->setText(note);
        } else {
            m_main.pic->setPixmap(picture);
        }
    }

    // `pix1` sizes itself to its picture; a new picture runs FitPhoto.
    void setNatural(const QPixmap& picture) {
        if (picture.isNull()) {
            m_main.pix1->clear();
            m_main.pix1->resize(0, 0);
        } else {
            m_main.pix1->setPixmap(picture);
            m_main.pix1->resize(picture.size());
        }
        m_main.FitPhoto();
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
    static void fitPhoto(frmMain& main) {
        QLabel& pic = *main.pic;
        pic.hide();
        // Without a picture the natural-size box says nothing about a shape: the display keeps
        // the one it has.
        if (!main.pix1->pixmap().isNull()) {
            const QSizeF natural(ui::pixelsToTwips(main.pix1->width()),
                                 ui::pixelsToTwips(main.pix1->height()));
            const QSizeF frame = photo::twipsGeometry(*main.Frame1).size();
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
        pic.show();
    }

    AppContext& m_app;
    frmMain& m_main;
    QLabel* m_pic; // the display, watched for double clicks
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

void loadPhoto(frmMain& main, const QImage& picture) {
    const QByteArray stored = images::encodeStored(picture);
    if (!picture.isNull() && stored.isEmpty())
        throw std::runtime_error("The photo cannot be stored.");
    PhotoCard& card = cardOf(main);
    const QPixmap shown = pixmapOf(picture);
    card.showOnDisplay(shown, noPhotoText());
    card.setNatural(shown);
    // Like a typed field, the photo waits for the data source to move; with no row to hold it
    // (an empty book), it stays on the display alone.
    if (hasCurrentRow(main))
        main.Data1->setValue(QStringLiteral("bitmap"),
                             stored.isEmpty() ? QVariant() : QVariant(stored));
    main.FitPhoto();
}

void deletePhoto(frmMain& main) {
    const ui::Answer answer = ui::MessageBoxService::show(
        {QStringLiteral("Are you sure you want to DELETE current photo?"), ui::Buttons::YesNo,
         ui::Icon::Question, 1, QStringLiteral("Quillory")},
        &main);
    if (answer != ui::Answer::Yes)
        return;
    main.Label2->clear();
    // Only the display is emptied: the natural-size box keeps its picture, so the display
    // keeps its shape.
    cardOf(main).showOnDisplay({}, noPhotoText());
    if (hasCurrentRow(main))
        main.Data1->setValue(QStringLiteral("bitmap"), QVariant());
}

void addPhoto(AppContext& app, frmMain& main) {
    PicLoad chooser(app, main, &main);
    ui::Modal::exec(chooser);
}

void viewPhoto(frmMain& main) {
    Form1 viewer(&main);
    viewer.setPicture(main.pic->pixmap());
    ui::Modal::exec(viewer);
}

QImage displayedPhoto(const frmMain& main) {
    return main.pic->pixmap().toImage();
}

QImage naturalPhoto(const frmMain& main) {
    return main.pix1->pixmap().toImage();
}

} // namespace photo

} // namespace quillory

#include "Photos.moc"
