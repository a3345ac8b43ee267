// The card's photo as a user meets it: the chooser, the display's shapes, deleting, the viewer,
// and what reaches the book, on real book files.

#include "BookFiller.h"
#include "browse/Form1.h"
#include "browse/ImageCodec.h"
#include "browse/Photos.h"
#include "browse/PicLoad.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "Metafile.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/FileSystemLists.h"
#include "platform/ui/Geometry.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <functional>
#include <QAction>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtEndian>
#include <QTest>

using namespace quillory;
using quillory::test::ModalScript;
using quillory::test::StartedProgram;
using quillory::test::TempProgramFolder;

namespace {

// The contacts most tests keep in their books.
QVariantMap carl() {
    return test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Carl"));
}

QVariantMap anna() {
    return test::contactNamed(QStringLiteral("Smith"), QStringLiteral("Anna"));
}

QString bookPath(const TempProgramFolder& folder) {
    return folder.file(QStringLiteral("Corvanel.MDB"));
}

QImage picture(int width, int height, QColor colour = QColor(40, 90, 160)) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A GIF of one colour (Qt reads GIF but does not write it). The picture codes are sent
// uncompressed: a clear code before every two pixels keeps every code three bits wide.
QByteArray solidGif(int width, int height, QColor colour) {
    QByteArray gif("GIF89a");
    auto word = [&gif](int value) {
        gif.append(char(value & 0xff));
        gif.append(char((value >> 8) & 0xff));
    };
    word(width);
    word(height);
    gif.append(char(0x80)).append(char(0)).append(char(0)); // a global table of two colours
    gif.append(char(colour.red())).append(char(colour.green())).append(char(colour.blue()));
    gif.append(3, char(0));
    gif.append(char(0x2C));
    word(0);
    word(0);
    word(width);
    word(height);
    gif.append(char(0));
    gif.append(char(2)); // minimum code size: clear is 4, end is 5

    QByteArray codes;
    quint32 bits = 0;
    int used = 0;
    auto put = [&](int code) {
        bits |= quint32(code) << used;
        used += 3;
        while (used >= 8) {
            codes.append(char(bits & 0xff));
            bits >>= 8;
            used -= 8;
        }
    };
    for (int pixel = 0; pixel < width * height; ++pixel) {
        if (pixel % 2 == 0)
            put(4);
        put(0);
    }
    put(5);
    if (used > 0)
        codes.append(char(bits & 0xff));
    for (int at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    gif.append(char(0)).append(char(0x3B));
    return gif;
}

// Writes a picture file into `dir` and returns its path.
QString writePicture(const QString& dir, const QString& name, const QImage& image,
                     const char* format) {
    const QString path = QDir(dir).filePath(name);
    if (qstrcmp(format, "GIF") == 0) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(solidGif(image.width(), image.height(), image.pixelColor(0, 0))) < 0)
            qFatal("cannot write test picture");
        return path;
    }
    if (!image.save(path, format))
        qFatal("cannot write test picture");
    return path;
}

QVariant storedPhoto(const TempProgramFolder& folder, const QString& lastName) {
    auto db = engine::Database::open(bookPath(folder), engine::Database::Mode::ReadOnly);
    engine::Statement query(*db, QStringLiteral("SELECT bitmap FROM PhoneBK WHERE name = ?"));
    query.bind(1, lastName);
    return query.step() ? query.column(0) : QVariant();
}

QVariantMap withPhoto(QVariantMap contact, const QImage& image) {
    contact.insert(QStringLiteral("bitmap"), images::encodeStored(image));
    return contact;
}

QByteArray png(const QImage& image) {
    return images::encodeStored(image);
}

// Clicks a file of the chooser's file list as a user does.
void clickFile(PicLoad& chooser, const QString& name, bool twice = false) {
    const QList<QListWidgetItem*> items = chooser.File1->findItems(name, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(name));
    // A list that was just filled lays its items out on the next turn of the event loop.
    QCoreApplication::processEvents();
    const QRect rect = chooser.File1->visualItemRect(items.first());
    QVERIFY(!rect.isEmpty());
    const QPoint at = rect.center();
    // A double click reaches a widget as a click followed by the double click itself.
    QTest::mouseClick(chooser.File1->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(chooser.File1->viewport(), Qt::LeftButton, {}, at);
}

// Runs `act` on the chooser that "Add Photo" opens.
int withChooser(frmMain& main, const std::function<void(PicLoad&)>& act) {
    ModalScript script([&](QDialog& dialog) {
        auto* chooser = qobject_cast<PicLoad*>(&dialog);
        QVERIFY(chooser != nullptr);
        act(*chooser);
    });
    main.Command5->click();
    return script.shown();
}

// The user's own folders for one test: a home of its own and, when given, the pictures
// folder, named as the desktop names it (in the user-dirs file of the configuration folder).
class UserFolders {
public:
    explicit UserFolders(const QString& pictures = {})
        : m_home(qgetenv("HOME")), m_config(qgetenv("XDG_CONFIG_HOME")) {
        const QString config = QDir(m_dir.path()).filePath(QStringLiteral(".config"));
        QDir().mkpath(config);
        if (!pictures.isEmpty()) {
            QFile dirs(QDir(config).filePath(QStringLiteral("user-dirs.dirs")));
            if (!dirs.open(QIODevice::WriteOnly) ||
                dirs.write("XDG_PICTURES_DIR=\"" + QFile::encodeName(pictures) + "\"\n") < 0)
                qFatal("cannot write the user's folders");
        }
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    }
    ~UserFolders() {
        qputenv("HOME", m_home);
        if (m_config.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_config);
    }
    QString home() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_home;
    QByteArray m_config;
};

// The current folder of the process for one test.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString& path) : m_before(QDir::currentPath()) {
        QDir::setCurrent(path);
    }
    ~CurrentFolder() { QDir::setCurrent(m_before); }

private:
    QString m_before;
};

QRectF displayTwips(const frmMain& main) {
    return photo::twipsGeometry(*main.pic);
}

bool near(QColor seen, QColor colour) {
    return qAbs(seen.red() - colour.red()) < 24 && qAbs(seen.green() - colour.green()) < 24 &&
           qAbs(seen.blue() - colour.blue()) < 24;
}

// A camera's JPEG of one colour. Orientation 6 is the note of a photo taken upright and stored
// on its side, to be turned a quarter clockwise when shown.
QByteArray cameraJpeg(QSize stored, QColor colour, int orientation) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!picture(stored.width(), stored.height(), colour).save(&buffer, "JPEG", 90))
        qFatal("cannot write test picture");
    if (orientation == 1)
        return jpeg;
    // An APP1 segment after the start marker: "Exif", a little-endian TIFF header and one
    // directory entry, Orientation (0x0112), a SHORT.
    QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
    exif.append(char(orientation)).append(QByteArray(7, '\0'));
    QByteArray segment("\xFF\xE1");
    segment.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xff));
    return jpeg.insert(2, segment + exif);
}

// The display shows the photo whole and with its own shape: the picture has the photo's
// proportions and fits inside the display, and where it leaves room the display shows its
// background rather than the picture drawn out over it.
void verifyShownWithItsShape(const frmMain& main, QColor colour) {
    const QRect inside = main.pic->contentsRect();
    const QSize shown = main.pic->pixmap().deviceIndependentSize().toSize();
    QCOMPARE(shown, photo::naturalSize(main).scaled(inside.size(), Qt::KeepAspectRatio));
    const QImage seen = main.pic->grab().toImage();
    const QPoint middle = inside.center();
    const QPoint room = shown.height() < inside.height() ? QPoint(middle.x(), inside.top() + 1)
                                                         : QPoint(inside.left() + 1, middle.y());
    QVERIFY2(near(seen.pixelColor(middle), colour), qPrintable(seen.pixelColor(middle).name()));
    QVERIFY2(!near(seen.pixelColor(room), colour), qPrintable(seen.pixelColor(room).name()));
}

} // namespace

class TestPhotos : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fitPhotoShapes_data();
    void fitPhotoShapes();
    void fitPhotoKeepsShapeWithoutPicture();
    void tallDisplayStaysAboveTheButtons();
    void chooserAsDesigned();
    void chooserStartsInPicturesElseHome_data();
    void chooserStartsInPicturesElseHome();
    void previewKeepsShape_data();
    void previewKeepsShape();
    void photoRoundTripThroughTheBook();
    void photoWaitingOnTheCardIsWritten_data();
    void photoWaitingOnTheCardIsWritten();
    void doubleClickLoadsAndCancelKeepsLabel();
    void loadWithoutFileAsksFirst_data();
    void loadWithoutFileAsksFirst();
    void metafileIsLoaded();
    void unreadablePictureChangesNothing();
    void deleteAnsweredNo();
    void deleteAnsweredYes();
    void deleteOnCardWithoutPhotoEmptiesLabel();
    void emptyBookTakesNoPhoto();
    void photoKeepsItsShapeOnTheCard_data();
    void photoKeepsItsShapeOnTheCard();
    void cameraPhotoKeptAsItsFile_data();
    void cameraPhotoKeptAsItsFile();
    void viewerShowsThePhotoLarger_data();
    void viewerShowsThePhotoLarger();
    void viewerLargePictureMaximisedKeepsShape();
    void storedBytes_data();
    void storedBytes();
};

void TestPhotos::fitPhotoShapes_data() {
    QTest::addColumn<QSize>("photo");
    QTest::addColumn<double>("widthBefore");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    // Landscape: the height is taken from the width before the call.
    QTest::newRow("landscape from 3615") << QSize(640, 480) << 3615.0 << 3615.0 << 2892.0;
    QTest::newRow("landscape from 3000") << QSize(640, 480) << 3000.0 << 3615.0 << 2400.0;
    QTest::newRow("portrait") << QSize(480, 640) << 3000.0 << 3615.0 << 4518.75;
    QTest::newRow("square keeps width") << QSize(500, 500) << 3000.0 << 3000.0 << 3750.0;
}

void TestPhotos::fitPhotoShapes() {
    QFETCH(QSize, photo);
    QFETCH(double, widthBefore);
    QFETCH(double, width);
    QFETCH(double, height);
    StartedProgram program({.contacts = QList{carl()}});
    frmMain& main = *program.main;
    photo::setTwipsGeometry(*main.Frame1, QRectF(5040, 120, 3765, 5295));
    photo::loadPhoto(main, png(picture(photo.width(), photo.height())));

    photo::setTwipsGeometry(*main.pic, QRectF(60, 150, widthBefore, 1000));
    main.FitPhoto();

    const QRectF display = displayTwips(main);
    QCOMPARE(display.width(), width);
    QCOMPARE(display.height(), height);
    QCOMPARE(display.topLeft(), QPointF(60, 150));
    QCOMPARE(main.pic->geometry(), ui::twipsToPixels(display));
    QVERIFY(!main.pic->isHidden());
    // pix1 sizes itself to the picture.
    QCOMPARE(main.pix1->size(), photo);
    QVERIFY(main.pix1->isHidden());
}

void TestPhotos::fitPhotoKeepsShapeWithoutPicture() {
    QVariantMap garbled = test::contactNamed(QStringLiteral("Zeller"), QStringLiteral("Bo"));
    garbled.insert(QStringLiteral("bitmap"), QByteArray("not a picture").repeated(10));
    StartedProgram program(
        {.contacts = QList{withPhoto(carl(), picture(48, 64)), anna(), garbled}});
    frmMain& main = *program.main;
    // The first card's portrait photo shaped the display.
    QCOMPARE(photo::naturalSize(main), QSize(48, 64));
    const QRectF portrait = displayTwips(main);
    QCOMPARE(portrait.height(), 1.25 * portrait.width());

    // A card without a photo keeps that shape and shows a note instead.
    main.Data1->moveNext();
    QVERIFY(!photo::naturalSize(main).isValid());
    QVERIFY(main.pic->pixmap().isNull());
    QVERIFY(!main.pic->text().isEmpty());
    QVERIFY(!main.pic->isHidden());
    QCOMPARE(displayTwips(main), portrait);

    // A stored value that is not a picture is a note too, not an error, and is left stored.
    main.Data1->moveNext();
    QCOMPARE(main.Text1->text(), QStringLiteral("Zeller"));
    QVERIFY(main.pic->pixmap().isNull());
    QVERIFY(!main.pic->text().isEmpty());
    QCOMPARE(displayTwips(main), portrait);
    QVERIFY(!main.Data1->hasPendingEdits());
    QVERIFY(program.boxes.asked().isEmpty());

    // Arithmetic at the edges: a frame squeezed below 150 twips leaves the width alone.
    QCOMPARE(photo::fittedDisplaySize(QSizeF(4, 3), QSizeF(100, 500), QSizeF(2000, 50)),
             QSizeF(2000, 1600));
}

void TestPhotos::tallDisplayStaysAboveTheButtons() {
    StartedProgram program({.contacts = QList{carl()}});
    frmMain& main = *program.main;
    // A wide, low frame, as in a maximised window on a wide screen.
    photo::setTwipsGeometry(*main.Frame1, QRectF(9000, 120, 8525, 6000));

    // Portrait: the rule gives 8375 x 10468.75; only 5400 are free above the buttons, so it is
    // shown at 4320 x 5400, its shape kept, centred in the frame.
    photo::loadPhoto(main, png(picture(480, 640)));
    QCOMPARE(displayTwips(main), QRectF(2102.5, 150, 4320, 5400));
    // The buttons stand at the frame's height less 375.
    QVERIFY(displayTwips(main).bottom() < 6000 - 375);

    // A landscape photo next is shaped from the size the rule gave (8375 wide), not from the
    // smaller one shown: 8375 x 6700, shown at 6750 x 5400.
    photo::loadPhoto(main, png(picture(640, 480)));
    QCOMPARE(displayTwips(main), QRectF(887.5, 150, 6750, 5400));

    // The window made smaller: the layout sizes the frame and the display by pixels, then fits
    // the photo, which stands at its designed place again, with room enough.
    main.Frame1->setGeometry(ui::twipsToPixels(QRectF(5040, 120, 3765, 5295)));
    main.pic->setGeometry(ui::twipsToPixels(QRectF(60, 150, 3615, 4695)));
    main.FitPhoto();
    QCOMPARE(displayTwips(main), QRectF(60, 150, 3615, 2892));
}

void TestPhotos::chooserAsDesigned() {
    QTemporaryDir pictures;
    writePicture(pictures.path(), QStringLiteral("PHOTO.JPG"), picture(32, 24), "JPG");
    for (const char* name : {"a.bmp", "b.Gif", "c.png", "d.wmf", "e.jpeg", "notes.txt"})
        QFile(QDir(pictures.path()).filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    UserFolders here(pictures.path());
    QTemporaryDir elsewhere;
    CurrentFolder startedFrom(elsewhere.path());
    StartedProgram program({.contacts = QList{carl()}});
    frmMain& main = *program.main;

    // The settings are read afresh when the chooser opens.
    test::writeSettings(program.folder, "BUdrive=/media/stick\n");

    const int shown = withChooser(main, [&](PicLoad& chooser) {
        QCOMPARE(program.context->settings().lastBackupLocation, QStringLiteral("/media/stick"));
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Load Photo"));
        // The lists open in the user's pictures folder, not where the program was started
        // from; the pattern ignores letter case.
        QCOMPARE(chooser.Dir1->path(), QDir(pictures.path()).canonicalPath());
        QCOMPARE(chooser.File1->files(),
                 QStringList({QStringLiteral("a.bmp"), QStringLiteral("b.Gif"),
                              QStringLiteral("c.png"), QStringLiteral("d.wmf"),
                              QStringLiteral("e.jpeg"), QStringLiteral("PHOTO.JPG")}));

        // A click names the file in Label2 and previews it.
        clickFile(chooser, QStringLiteral("PHOTO.JPG"));
        QCOMPARE(main.Label2->text(),
                 QDir(pictures.path()).canonicalPath() + QStringLiteral("/PHOTO.JPG"));
        QCOMPARE(chooser.Image1->pixmap().size(),
                 QSize(32, 24).scaled(chooser.Image1->contentsRect().size(), Qt::KeepAspectRatio));
        // Centred on the screen.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(chooser.frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(chooser.frameGeometry().center().y() - screen.center().y()) <= 1);
        chooser.Command6->click();
    });
    QCOMPARE(shown, 1);

    // One separator between folder and name, none added at the root.
    QCOMPARE(PicLoad::joinPath(QStringLiteral("/"), QStringLiteral("x.jpg")),
             QStringLiteral("/x.jpg"));
    QCOMPARE(PicLoad::joinPath(QStringLiteral("/home/pat"), QStringLiteral("x.jpg")),
             QStringLiteral("/home/pat/x.jpg"));
}

void TestPhotos::chooserStartsInPicturesElseHome_data() {
    QTest::addColumn<bool>("havePictures");
    QTest::newRow("pictures folder") << true;
    QTest::newRow("no pictures folder: home") << false;
}

void TestPhotos::chooserStartsInPicturesElseHome() {
    QFETCH(bool, havePictures);
    QTemporaryDir pictures;
    // A pictures folder the desktop names but that is gone counts as none.
    const QString named =
        havePictures ? pictures.path() : pictures.path() + QStringLiteral("/gone");
    UserFolders user(named);
    QTemporaryDir elsewhere;
    CurrentFolder startedFrom(elsewhere.path());
    StartedProgram program({.contacts = QList{carl()}});

    QString opened;
    withChooser(*program.main, [&](PicLoad& chooser) {
        opened = chooser.Dir1->path();
        chooser.Command6->click();
    });
    QCOMPARE(opened, QDir(havePictures ? pictures.path() : user.home()).canonicalPath());
}

void TestPhotos::previewKeepsShape_data() {
    QTest::addColumn<QSize>("natural");
    QTest::newRow("wide") << QSize(300, 100);
    QTest::newRow("tall") << QSize(60, 180);
    QTest::newRow("small and square") << QSize(20, 20);
}

void TestPhotos::previewKeepsShape() {
    QFETCH(QSize, natural);
    QTemporaryDir pictures;
    writePicture(pictures.path(), QStringLiteral("photo.bmp"),
                 picture(natural.width(), natural.height()), "BMP");
    UserFolders here(pictures.path());
    StartedProgram program({.contacts = QList{carl()}});

    withChooser(*program.main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("photo.bmp"));
        const QSize box = chooser.Image1->contentsRect().size();
        const QSize shown = chooser.Image1->pixmap().size();
        // As large as the box allows, one side filling it, and of the photo's own shape.
        QCOMPARE(shown, natural.scaled(box, Qt::KeepAspectRatio));
        QVERIFY(shown.width() == box.width() || shown.height() == box.height());
        QVERIFY(!chooser.Image1->hasScaledContents());
        chooser.Command6->click();
    });
}

void TestPhotos::photoRoundTripThroughTheBook() {
    QTemporaryDir pictures;
    const QImage image = picture(64, 48, QColor(200, 30, 30));
    const QString path = writePicture(pictures.path(), QStringLiteral("carl.bmp"), image, "BMP");
    UserFolders here(pictures.path());
    StartedProgram program({.contacts = QList{carl(), anna()}});
    frmMain& main = *program.main;

    withChooser(main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("carl.bmp"));
        chooser.Command5->click();
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
    });
    QCOMPARE(photo::naturalSize(main), QSize(64, 48));
    QCOMPARE(displayTwips(main).width(), photo::twipsGeometry(*main.Frame1).width() - 150);
    // Pending, like a typed field, until the card is left.
    QVERIFY(main.Data1->hasPendingEdits());
    QVERIFY(!storedPhoto(program.folder, QStringLiteral("Brown")).isValid());

    main.Data1->moveNext();
    QVERIFY(main.pic->pixmap().isNull());
    const QByteArray stored = storedPhoto(program.folder, QStringLiteral("Brown")).toByteArray();
    QVERIFY(stored.startsWith("\x89PNG"));
    QCOMPARE(images::decodeStored(stored).size(), QSize(64, 48));
    QVERIFY(!storedPhoto(program.folder, QStringLiteral("Smith")).isValid());

    main.Data1->movePrevious();
    QCOMPARE(photo::naturalSize(main), QSize(64, 48));
    QCOMPARE(photo::displayedPhoto(main).pixelColor(10, 10), QColor(200, 30, 30));
    // Label2 keeps the chosen path across cards.
    QCOMPARE(main.Label2->text(),
             QDir(pictures.path()).canonicalPath() + QStringLiteral("/carl.bmp"));
    QVERIFY(QFileInfo(path).exists());
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestPhotos::photoWaitingOnTheCardIsWritten_data() {
    QTest::addColumn<QString>("then");
    QTest::newRow("quit without automatic back-up") << "quit";
    QTest::newRow("search dialog") << "search";
}

void TestPhotos::photoWaitingOnTheCardIsWritten() {
    QFETCH(QString, then);
    QTemporaryDir pictures;
    writePicture(pictures.path(), QStringLiteral("carl.bmp"), picture(64, 48), "BMP");
    UserFolders here(pictures.path());
    StartedProgram program({.contacts = QList{carl(), anna()}, .settings = "BUdata=0\n"});
    frmMain& main = *program.main;
    withChooser(main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("carl.bmp"));
        chooser.Command5->click();
    });
    QVERIFY(!storedPhoto(program.folder, QStringLiteral("Brown")).isValid());

    if (then == QLatin1String("quit")) {
        main.show();
        program.boxes.answer(ui::Answer::Yes);
        main.close();
        QVERIFY(!main.isVisible());
    } else {
        ModalScript closeIt([](QDialog& dialog) { dialog.reject(); });
        program.context->commands().run(QStringLiteral("search"), CommandOrigin::Menu);
        QCOMPARE(closeIt.shown(), 1);
    }
    const QByteArray stored = storedPhoto(program.folder, QStringLiteral("Brown")).toByteArray();
    QCOMPARE(images::decodeStored(stored).size(), QSize(64, 48));
}

void TestPhotos::doubleClickLoadsAndCancelKeepsLabel() {
    QTemporaryDir pictures;
    QDir(pictures.path()).mkdir(QStringLiteral("older"));
    const QString olderFolder = QDir(pictures.path()).filePath(QStringLiteral("older"));
    writePicture(olderFolder, QStringLiteral("wide.gif"), picture(90, 30), "GIF");
    writePicture(pictures.path(), QStringLiteral("tall.jpg"), picture(30, 90), "JPG");
    UserFolders here(pictures.path());
    StartedProgram program({.contacts = QList{carl()}});
    frmMain& main = *program.main;

    // Cancel after a click: the path stays in Label2, the photo is not loaded.
    withChooser(main, [&](PicLoad& chooser) {
        QVERIFY(chooser.Dir1->setPath(olderFolder));
        clickFile(chooser, QStringLiteral("wide.gif"));
        chooser.Command6->click();
        QCOMPARE(chooser.result(), int(QDialog::Rejected));
    });
    const QString widePath = QDir(olderFolder).canonicalPath() + QStringLiteral("/wide.gif");
    QCOMPARE(main.Label2->text(), widePath);
    QVERIFY(main.pic->pixmap().isNull());
    QVERIFY(!main.Data1->hasPendingEdits());

    // The next chooser opens where that file is, with it selected; a double click on another
    // file loads that one at once.
    withChooser(main, [&](PicLoad& chooser) {
        QCOMPARE(chooser.File1->path(), QDir(olderFolder).canonicalPath());
        QCOMPARE(chooser.File1->fileName(), QStringLiteral("wide.gif"));
        QVERIFY(chooser.Dir1->setPath(pictures.path()));
        clickFile(chooser, QStringLiteral("tall.jpg"), true);
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
    });
    QCOMPARE(main.Label2->text(),
             QDir(pictures.path()).canonicalPath() + QStringLiteral("/tall.jpg"));
    QCOMPARE(photo::naturalSize(main), QSize(30, 90));
    QVERIFY(main.Data1->hasPendingEdits());
}

void TestPhotos::loadWithoutFileAsksFirst_data() {
    QTest::addColumn<bool>("hasPhoto");
    QTest::addColumn<int>("answer"); // 0: none given, the box's default button answers
    QTest::addColumn<bool>("cleared");
    QTest::newRow("Enter by habit keeps the photo") << true << 0 << false;
    QTest::newRow("answered No") << true << int(ui::Answer::No) << false;
    QTest::newRow("answered Yes") << true << int(ui::Answer::Yes) << true;
    QTest::newRow("no photo to lose: no question") << false << 0 << true;
}

void TestPhotos::loadWithoutFileAsksFirst() {
    QFETCH(bool, hasPhoto);
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    StartedProgram program(
        {.contacts = QList{hasPhoto ? withPhoto(carl(), picture(40, 30)) : carl(), anna()}});
    frmMain& main = *program.main;
    QVERIFY(main.Label2->text().isEmpty());
    if (answer != 0)
        program.boxes.answer(ui::Answer(answer));

    bool leftOpen = false;
    withChooser(main, [&](PicLoad& chooser) {
        // Enter without choosing a file: "Load Photo" is the default button.
        QTest::keyClick(&chooser, Qt::Key_Return);
        leftOpen = chooser.isVisible();
        if (leftOpen)
            chooser.Command6->click();
    });

    const bool kept = hasPhoto && !cleared;
    QCOMPARE(program.boxes.asked().size(), hasPhoto ? 1 : 0);
    if (hasPhoto)
        test::verifyQuestion(program.boxes,
                             QStringLiteral("Are you sure you want to DELETE current photo?"),
                             QStringLiteral("Quillory"));
    QCOMPARE(leftOpen, kept);
    QCOMPARE(photo::showsPhoto(main), kept);
    QCOMPARE(main.pic->pixmap().isNull(), !kept);
    main.Data1->moveNext();
    QCOMPARE(storedPhoto(program.folder, QStringLiteral("Brown")).isValid(), kept);
}

void TestPhotos::metafileIsLoaded() {
    QTemporaryDir pictures;
    QFile wmf(QDir(pictures.path()).filePath(QStringLiteral("Logo.WMF")));
    QVERIFY(wmf.open(QIODevice::WriteOnly));
    wmf.write(test::smallMetafile());
    wmf.close();
    UserFolders here(pictures.path());
    StartedProgram program({.contacts = QList{carl(), anna()}});
    frmMain& main = *program.main;

    withChooser(main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("Logo.WMF"));
        QVERIFY(!chooser.Image1->pixmap().isNull());
        chooser.Command5->click();
    });
    QVERIFY(program.boxes.asked().isEmpty());
    const QImage shown = photo::displayedPhoto(main);
    QVERIFY(shown.width() > 0 && shown.height() > 0);
    // One inch by two thirds: landscape, and the rectangle is red in the middle.
    QVERIFY(shown.width() > shown.height());
    const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    QVERIFY2(middle.red() > 150 && middle.green() < 100, qPrintable(middle.name()));
    const QSize natural = photo::naturalSize(main);

    main.Data1->moveNext();
    const QByteArray stored = storedPhoto(program.folder, QStringLiteral("Brown")).toByteArray();
    QVERIFY(stored.startsWith("\x89PNG"));
    QCOMPARE(images::decodeStored(stored).size(), natural);
}

void TestPhotos::unreadablePictureChangesNothing() {
    TempProgramFolder folder;
    const QImage before = picture(40, 30, QColor(10, 120, 10));
    test::writeBook(bookPath(folder), {withPhoto(carl(), before)});
    const QByteArray bookBefore = folder.read(QStringLiteral("Corvanel.MDB"));
    QTemporaryDir pictures;
    QFile broken(QDir(pictures.path()).filePath(QStringLiteral("broken.jpg")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("This is no picture at all.\n").repeated(40));
    broken.close();
    UserFolders here(pictures.path());
    StartedProgram program(folder);
    frmMain& main = *program.main;
    const QRectF displayBefore = displayTwips(main);

    withChooser(main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("broken.jpg"));
        QVERIFY(chooser.Image1->pixmap().isNull());
        QVERIFY(program.boxes.asked().isEmpty()); // the preview only says it cannot show it
        chooser.Command5->click();
        // The chooser stays open for another choice.
        QVERIFY(chooser.isVisible());
        QCOMPARE(chooser.result(), int(QDialog::Rejected));
        chooser.Command6->click();
    });
    QCOMPARE(program.boxes.asked().size(), 1);
    const QString text = program.boxes.asked().first().text;
    QVERIFY2(text.contains(QDir(pictures.path()).canonicalPath() + QStringLiteral("/broken.jpg")),
             qPrintable(text));
    QCOMPARE(photo::displayedPhoto(main).pixelColor(5, 5), QColor(10, 120, 10));
    QCOMPARE(displayTwips(main), displayBefore);
    QVERIFY(!main.Data1->hasPendingEdits());
    QCOMPARE(folder.read(QStringLiteral("Corvanel.MDB")), bookBefore);
}

void TestPhotos::deleteAnsweredNo() {
    StartedProgram program({.contacts = QList{withPhoto(carl(), picture(40, 30))}});
    frmMain& main = *program.main;
    main.Label2->setText(QStringLiteral("/photos/carl.jpg"));

    program.boxes.answer(ui::Answer::No);
    main.Command4->click();

    QCOMPARE(program.boxes.asked().size(), 1);
    test::verifyQuestion(program.boxes,
                         QStringLiteral("Are you sure you want to DELETE current photo?"),
                         QStringLiteral("Quillory"));
    QCOMPARE(main.Label2->text(), QStringLiteral("/photos/carl.jpg"));
    QVERIFY(!main.pic->pixmap().isNull());
    QVERIFY(!main.Data1->hasPendingEdits());
}

void TestPhotos::deleteAnsweredYes() {
    StartedProgram program({.contacts = QList{withPhoto(carl(), picture(40, 30)), anna()}});
    frmMain& main = *program.main;
    main.Label2->setText(QStringLiteral("/photos/carl.jpg"));
    // A shape FitPhoto would not give, so that a run of it would show.
    photo::setTwipsGeometry(*main.pic, QRectF(60, 150, 2000, 1000));

    program.boxes.answer(ui::Answer::Yes);
    main.Command4->click();

    QVERIFY(main.Label2->text().isEmpty());
    QVERIFY(main.pic->pixmap().isNull());
    QCOMPARE(photo::naturalSize(main), QSize(40, 30));         // pix1 keeps its picture
    QCOMPARE(displayTwips(main), QRectF(60, 150, 2000, 1000)); // FitPhoto did not run
    QVERIFY(main.Data1->hasPendingEdits());

    // The viewer shows what the display shows: nothing.
    ModalScript viewer([](QDialog& dialog) {
        auto* form = qobject_cast<Form1*>(&dialog);
        QVERIFY(form != nullptr);
        QVERIFY(form->Image1->pixmap().isNull());
        QVERIFY(form->width() > 0);
    });
    main.mnuVeiw->trigger();
    QCOMPARE(viewer.shown(), 1);

    main.Data1->moveNext();
    QVERIFY(!storedPhoto(program.folder, QStringLiteral("Brown")).isValid());
}

void TestPhotos::deleteOnCardWithoutPhotoEmptiesLabel() {
    StartedProgram program({.contacts = QList{carl()}});
    frmMain& main = *program.main;
    main.Label2->setText(QStringLiteral("/photos/carl.jpg"));

    program.boxes.answer(ui::Answer::Yes);
    main.Command4->click();

    QCOMPARE(program.boxes.asked().size(), 1);
    QVERIFY(main.Label2->text().isEmpty());
    QVERIFY(main.pic->pixmap().isNull());
    QVERIFY(!main.Data1->hasPendingEdits()); // NULL was already stored
}

void TestPhotos::emptyBookTakesNoPhoto() {
    QTemporaryDir pictures;
    writePicture(pictures.path(), QStringLiteral("a.jpg"), picture(20, 10), "JPG");
    UserFolders here(pictures.path());
    StartedProgram program;
    frmMain& main = *program.main;
    QVERIFY(main.Data1->bof() && main.Data1->eof());

    withChooser(main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("a.jpg"));
        chooser.Command5->click();
    });
    program.boxes.answer(ui::Answer::Yes);
    main.Command4->click();
    QVERIFY(main.Label2->text().isEmpty());

    QVERIFY(!main.Data1->hasPendingEdits());
    QVERIFY(test::bookNames(bookPath(program.folder)).isEmpty());
    QCOMPARE(program.boxes.asked().size(), 1); // only the question, no error
}

void TestPhotos::photoKeepsItsShapeOnTheCard_data() {
    QTest::addColumn<QSize>("natural");
    QTest::newRow("square") << QSize(500, 500);
    QTest::newRow("wide") << QSize(1600, 900);
    QTest::newRow("tall") << QSize(300, 400);
}

void TestPhotos::photoKeepsItsShapeOnTheCard() {
    QFETCH(QSize, natural);
    const QColor colour(30, 140, 60);
    StartedProgram program(
        {.contacts = QList{withPhoto(carl(), picture(natural.width(), natural.height(), colour))}});
    verifyShownWithItsShape(*program.main, colour);
}

void TestPhotos::cameraPhotoKeptAsItsFile_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("upright");
    QTest::newRow("landscape") << 1 << QSize(4000, 3000);
    QTest::newRow("portrait stored on its side") << 6 << QSize(3000, 4000);
}

void TestPhotos::cameraPhotoKeptAsItsFile() {
    QFETCH(int, orientation);
    QFETCH(QSize, upright);
    const QColor colour(30, 140, 60);
    const QByteArray jpeg = cameraJpeg(QSize(4000, 3000), colour, orientation);
    QTemporaryDir pictures;
    QFile file(QDir(pictures.path()).filePath(QStringLiteral("IMG_0001.JPG")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size());
    file.close();
    UserFolders here(pictures.path());
    StartedProgram program({.contacts = QList{carl(), anna()}});
    frmMain& main = *program.main;

    withChooser(main, [&](PicLoad& chooser) {
        clickFile(chooser, QStringLiteral("IMG_0001.JPG"));
        QTRY_VERIFY(!chooser.Image1->pixmap().isNull());
        QCOMPARE(chooser.Image1->pixmap().size(),
                 upright.scaled(chooser.Image1->contentsRect().size(), Qt::KeepAspectRatio));
        chooser.Command5->click();
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
    });
    QVERIFY(program.boxes.asked().isEmpty());
    QCOMPARE(photo::naturalSize(main), upright);
    QCOMPARE(displayTwips(main).height() > displayTwips(main).width(),
             upright.height() > upright.width());
    verifyShownWithItsShape(main, colour);

    // The book holds the camera's file as it is, and the card reads it again at its own size.
    main.Data1->moveNext();
    QCOMPARE(storedPhoto(program.folder, QStringLiteral("Brown")).toByteArray(), jpeg);
    main.Data1->movePrevious();
    QTRY_VERIFY(!main.pic->pixmap().isNull());
    verifyShownWithItsShape(main, colour);
}

void TestPhotos::viewerShowsThePhotoLarger_data() {
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<bool>("twiceTheCard");
    QTest::newRow("small square") << QSize(60, 60) << true;
    QTest::newRow("smaller than on the card") << QSize(240, 180) << true;
    QTest::newRow("larger than twice the card") << QSize(560, 420) << false;
}

void TestPhotos::viewerShowsThePhotoLarger() {
    QFETCH(QSize, natural);
    QFETCH(bool, twiceTheCard);
    StartedProgram program(
        {.contacts = QList{withPhoto(carl(), picture(natural.width(), natural.height()))}});
    frmMain& main = *program.main;
    const QSize card = main.pic->pixmap().deviceIndependentSize().toSize();
    QVERIFY(!card.isEmpty());

    QList<QRect> frames;
    QList<QSize> windows;
    QList<QRect> images;
    ModalScript viewer([&](QDialog& dialog) {
        auto& form = dynamic_cast<Form1&>(dialog);
        QVERIFY(!form.isMaximized());
        QVERIFY(form.Command1->x() < 20 && form.Command1->y() < 20);
        frames.append(form.frameGeometry());
        windows.append(form.size());
        images.append(form.Image1->geometry());
        form.Command1->click();
    });
    // The menu item, the toolbar key and a double click on the display all open it.
    main.mnuVeiw->trigger();
    QVERIFY(program.context->commands().run(QStringLiteral("prevpic"), CommandOrigin::Toolbar1));
    QTest::mouseDClick(main.pic, Qt::LeftButton);
    QCOMPARE(viewer.shown(), 3);
    QCOMPARE(images.count(images.first()), 3);

    // Larger than the card shows it, with its own shape.
    const QSize expected = twiceTheCard ? natural.scaled(card * 2, Qt::KeepAspectRatio) : natural;
    const QRect image = images.first();
    QCOMPARE(image.size(), expected);
    QVERIFY(image.width() > card.width() && image.height() > card.height());
    QCOMPARE(image.top(), ui::twipsToPixels(420));
    QCOMPARE(windows.first(), QSize(expected.width(), expected.height() + ui::twipsToPixels(800)));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = frames.first();
    QCOMPARE(frame.x(), (screen.width() - frame.width()) / 2);
    QCOMPARE(frame.y(), (screen.height() - frame.height()) / 2);
}

void TestPhotos::viewerLargePictureMaximisedKeepsShape() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int side = screen.width() + 200;
    StartedProgram program({.contacts = QList{withPhoto(carl(), picture(side, side))}});
    frmMain& main = *program.main;

    ModalScript viewer([&](QDialog& dialog) {
        auto& form = dynamic_cast<Form1&>(dialog);
        QTRY_VERIFY(form.isMaximized());
        QTRY_COMPARE(form.frameGeometry(), screen);
        // Fitted into the window below the button, square still, and centred across.
        const QRect image = form.Image1->geometry();
        const QSize area(form.width(), form.height() - ui::twipsToPixels(800));
        QCOMPARE(image.size(), QSize(side, side).scaled(area, Qt::KeepAspectRatio));
        QCOMPARE(image.top(), ui::twipsToPixels(420));
        QVERIFY(qAbs(image.center().x() - form.rect().center().x()) <= 1);
        QVERIFY(image.width() > main.pic->pixmap().width());
        form.Command1->click();
    });
    main.runMenuCommand(QStringLiteral("prevpic"));
    QCOMPARE(viewer.shown(), 1);
}

void TestPhotos::storedBytes_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("keptAsFile");
    QTest::newRow("bitmap") << QByteArray("BMP") << false;
    QTest::newRow("jpeg") << QByteArray("JPG") << true;
    QTest::newRow("png") << QByteArray("PNG") << true;
    QTest::newRow("gif") << QByteArray("GIF") << false;
}

void TestPhotos::storedBytes() {
    QFETCH(QByteArray, format);
    QFETCH(bool, keptAsFile);
    QTemporaryDir pictures;
    // The name says nothing: the contents decide.
    const QString path = writePicture(pictures.path(), QStringLiteral("photo.bin"),
                                      picture(123, 45), format.constData());
    const images::PictureFile file = images::readPictureFile(path);
    QVERIFY2(file.ok(), qPrintable(file.error));
    QCOMPARE(file.size, QSize(123, 45));
    const QByteArray stored = images::storedBytes(file.bytes);
    if (keptAsFile)
        QCOMPARE(stored, file.bytes);
    else
        QVERIFY(stored.startsWith("\x89PNG"));
    QCOMPARE(images::decodeStored(stored).size(), QSize(123, 45));

    // An empty path is an empty picture; a missing file is an error naming it.
    QVERIFY(images::readPictureFile(QString()).ok());
    QVERIFY(images::readPictureFile(QString()).bytes.isEmpty());
    const images::PictureFile missing = images::readPictureFile(path + QStringLiteral(".gone"));
    QVERIFY(!missing.ok());
    QVERIFY(missing.error.contains(path + QStringLiteral(".gone")));
}

QTEST_MAIN(TestPhotos)
#include "test_photos.moc"
