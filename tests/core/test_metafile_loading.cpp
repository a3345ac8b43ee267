// Windows metafiles are drawn by a library of their own, loaded only when one is read: a start
// of the program, and photos of other kinds, do without it and without ImageMagick.

#include "browse/ImageCodec.h"
#include "core/frmMain.h"
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

// A metafile one inch by two thirds of an inch holding a red filled rectangle.
QByteArray smallMetafile() {
    QByteArray records;
    auto word = [](QByteArray& out, quint16 value) {
        out.append(char(value & 0xff));
        out.append(char(value >> 8));
    };
    auto dword = [&word](QByteArray& out, quint32 value) {
        word(out, quint16(value & 0xffff));
        word(out, quint16(value >> 16));
    };
    auto record = [&](quint16 function, std::initializer_list<quint16> params) {
        dword(records, quint32(3 + params.size()));
        word(records, function);
        for (quint16 p : params)
            word(records, p);
    };
    record(0x020B, {0, 0});
    record(0x020C, {960, 1440});
    dword(records, 7);
    word(records, 0x02FC);
    word(records, 0);
    dword(records, 0x002828C8);
    word(records, 0);
    record(0x012D, {0});
    record(0x041B, {900, 1300, 100, 100});
    record(0x0000, {});
    QByteArray header;
    word(header, 1);
    word(header, 9);
    word(header, 0x0300);
    dword(header, quint32(9 + records.size() / 2));
    word(header, 1);
    dword(header, 7);
    word(header, 0);
    QByteArray placeable;
    dword(placeable, 0x9AC6CDD7);
    for (quint16 w : {0, 0, 0, 1440, 960, 1440})
        word(placeable, w);
    dword(placeable, 0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= qFromLittleEndian<quint16>(placeable.constData() + i);
    word(placeable, checksum);
    return placeable + header + records;
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

    const images::ReadResult drawn = images::readPicture(smallMetafile(), QStringLiteral("a.wmf"));
    QVERIFY2(drawn.ok(), qPrintable(drawn.error));
    QVERIFY(drawn.image.width() > drawn.image.height());
    const QColor middle = drawn.image.pixelColor(drawn.image.width() / 2, drawn.image.height() / 2);
    QVERIFY2(middle.red() > 150 && middle.green() < 100, qPrintable(middle.name()));
    QVERIFY(mappedLibraries().contains(QLatin1String("quillory_metafile")));
    QVERIFY(mappedLibraries().contains(QLatin1String("libMagick")));

    // A damaged metafile is told, not drawn.
    QByteArray damaged = smallMetafile();
    damaged.truncate(30);
    const images::ReadResult refused = images::readPicture(damaged, QStringLiteral("b.wmf"));
    QVERIFY(!refused.ok());
    QVERIFY(refused.error.contains(QLatin1String("b.wmf")));
}

QTEST_MAIN(TestMetafileLoading)
#include "test_metafile_loading.moc"
