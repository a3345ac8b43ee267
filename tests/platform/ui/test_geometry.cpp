// A window's stored rectangle brought onto the screens, as numbers.

#include "platform/ui/Geometry.h"

#include <limits>
#include <QTest>

using quillory::ui::fitOnScreens;
using quillory::ui::storedTwipsToPixels;

class TestGeometry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fitOnScreens_data();
    void fitOnScreens();
    void storedMeasures_data();
    void storedMeasures();
};

void TestGeometry::fitOnScreens_data() {
    QTest::addColumn<QList<QRect>>("screens"); // available areas
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("fitted");
    const QList<QRect> one = {QRect(0, 0, 1600, 1170)}; // a panel takes the bottom 30
    // Two screens side by side, the right one smaller and lower.
    const QList<QRect> two = {QRect(0, 0, 1920, 1080), QRect(1920, 200, 1280, 1024)};

    QTest::newRow("already on the screen")
        << one << QRect(200, 150, 1200, 900) << QRect(200, 150, 1200, 900);
    QTest::newRow("huge") << one << QRect(100, 80, 53333, 53333) << QRect(0, 0, 1600, 1170);
    QTest::newRow("too wide only") << one << QRect(300, 100, 2000, 600) << QRect(0, 100, 1600, 600);
    QTest::newRow("hangs off the right")
        << one << QRect(1000, 100, 800, 600) << QRect(800, 100, 800, 600);
    QTest::newRow("hangs below the panel")
        << one << QRect(100, 1000, 800, 600) << QRect(100, 570, 800, 600);
    QTest::newRow("far left") << one << QRect(-20000, 300, 800, 600) << QRect(0, 300, 800, 600);
    QTest::newRow("far below") << one << QRect(300, 33000, 800, 600) << QRect(300, 570, 800, 600);
    QTest::newRow("mostly on the second screen")
        << two << QRect(1800, 300, 900, 700) << QRect(1920, 300, 900, 700);
    QTest::newRow("too large for the second screen")
        << two << QRect(2000, 250, 1900, 1500) << QRect(1920, 200, 1280, 1024);
    QTest::newRow("off every screen, nearest the second")
        << two << QRect(5000, 400, 800, 600) << QRect(2400, 400, 800, 600);
    QTest::newRow("off every screen, nearest the first")
        << two << QRect(-3000, -3000, 800, 600) << QRect(0, 0, 800, 600);
    QTest::newRow("no screens") << QList<QRect>{} << QRect(-5, -5, 90000, 90000)
                                << QRect(-5, -5, 90000, 90000);
}

void TestGeometry::fitOnScreens() {
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, stored);
    QFETCH(QRect, fitted);
    QCOMPARE(quillory::ui::fitOnScreens(stored, screens), fitted);
}

void TestGeometry::storedMeasures_data() {
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    if (quillory::ui::twipsPerPixel() != 15)
        QSKIP("the pixel values are written for 96 dots per inch");
    QTest::newRow("ordinary") << 12600.0 << 840;
    QTest::newRow("fraction") << 1035.5 << 69;
    QTest::newRow("negative") << -4500.0 << -300;
    QTest::newRow("huge") << 1e30 << 1'000'000;
    QTest::newRow("hugely negative") << -1e30 << -1'000'000;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TestGeometry::storedMeasures() {
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(storedTwipsToPixels(twips), pixels);
}

QTEST_MAIN(TestGeometry)
#include "test_geometry.moc"
