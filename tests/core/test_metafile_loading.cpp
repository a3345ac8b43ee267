// Windows metafiles are drawn by a library of their own, loaded only when one is read: a start
// of the program, and photos of other kinds, do without it and without ImageMagick.

#include "browse/ImageCodec.h"
#include "core/frmMain.h"
#include "Metafile.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <QTest>

using namespace quillory;

namespace {

// The shared libraries this process has mapped.
QString mappedLibraries() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(maps.readAll()) : QString();
}

QByteArray pngPicture() {
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestMetafileLoading : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rendererLoadedOnlyForAMetafile();
};

// One process, in order: the rows would not be independent, so this is one sequence.
void TestMetafileLoading::rendererLoadedOnlyForAMetafile() {
    test::StartedProgram program;
    program.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.main));
    QVERIFY(!mappedLibraries().contains(QLatin1String("libMagick")));
    QVERIFY(!mappedLibraries().contains(QLatin1String("quillory_metafile")));

    const images::ReadResult png = images::readPicture(pngPicture(), QStringLiteral("a.png"));
    QVERIFY(png.ok());
    QCOMPARE(png.image.size(), QSize(30, 20));
    QVERIFY(!mappedLibraries().contains(QLatin1String("quillory_metafile")));

    const images::ReadResult drawn =
        images::readPicture(test::smallMetafile(), QStringLiteral("a.wmf"));
    QVERIFY2(drawn.ok(), qPrintable(drawn.error));
    QVERIFY(drawn.image.width() > drawn.image.height());
    const QColor middle = drawn.image.pixelColor(drawn.image.width() / 2, drawn.image.height() / 2);
    QVERIFY2(middle.red() > 150 && middle.green() < 100, qPrintable(middle.name()));
    QVERIFY(mappedLibraries().contains(QLatin1String("quillory_metafile")));
    QVERIFY(mappedLibraries().contains(QLatin1String("libMagick")));

    // A damaged metafile is told, not drawn.
    QByteArray damaged = test::smallMetafile();
    damaged.truncate(30);
    const images::ReadResult refused = images::readPicture(damaged, QStringLiteral("b.wmf"));
    QVERIFY(!refused.ok());
    QVERIFY(refused.error.contains(QLatin1String("b.wmf")));
}

QTEST_MAIN(TestMetafileLoading)
#include "test_metafile_loading.moc"
