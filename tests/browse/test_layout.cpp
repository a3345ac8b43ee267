// The card's resize layout: the rule as numbers, and a real main window laid out by it.

#include "browse/MainLayout.h"
#include "core/AppContext.h"
#include "core/CardPicture.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "platform/ui/Geometry.h"
#include "StartedProgram.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <set>

using namespace quillory;
using P = CardPart;
using quillory::test::StartedProgram;

Q_DECLARE_METATYPE(quillory::WindowShape)
Q_DECLARE_METATYPE(quillory::UserSettings::ToolbarStyle)

namespace {

std::set<int> skippedSteps(const CardLayout& layout) {
    std::set<int> steps;
    for (int step = 1; step <= LayoutStepCount; ++step) {
        if (layout.skipped(step))
            steps.insert(step);
    }
    return steps;
}

// A started program: its main window lays its card out with the rule the browsing part
// installs when the window is created.
struct Program : StartedProgram {
    Program() : StartedProgram(test::ProgramSetup{}) {}
};

// The application's face for one test, restored afterwards.
struct FaceForTest {
    explicit FaceForTest(const QString& family) : previous(QApplication::font()) {
        QFont face(family);
        face.setPointSizeF(9);
        QApplication::setFont(face);
    }
    ~FaceForTest() { QApplication::setFont(previous); }
    QFont previous;
};

QList<QWidget*> boxesOf(const frmMain& main) {
    return {main.CboContact, main.Text1,  main.Text12, main.Text2,  main.Text3,  main.Text4,
            main.Text5,      main.Text6,  main.Text7,  main.Text13, main.Text14, main.Text16,
            main.Text8,      main.Text15, main.Text10, main.Text9,  main.Text18, main.Text11};
}

bool showAndWait(frmMain& main) {
    main.show();
    return QTest::qWaitForWindowExposed(&main);
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void minimumWidthGivesTheKnownPlaces();
    void proportionsHoldAtAnySize_data();
    void proportionsHoldAtAnySize();
    void negativeHeightsAreSkipped();
    void refusedWidthsAreKeptAndReadOnward();
    void minimumSize_data();
    void minimumSize();
    void restoringAfterMinimizedLaysOutAsBefore();

    void windowCardFollowsTheRule_data();
    void windowCardFollowsTheRule();
    void windowCannotGetBelowMinimum();
    void everyToolbarButtonStaysReachable_data();
    void everyToolbarButtonStaysReachable();
    void toolbarOfAnotherHeightRelaysTheCard();
    void photoIsFittedInTheResizedFrame();
    void labelsKeepClearOfBoxes_data();
    void labelsKeepClearOfBoxes();
    void gridShowsItsCaptionAboveTheColumns();
    void everyTextFits_data();
    void everyTextFits();
    void everyPixelIsPainted_data();
    void everyPixelIsPainted();
};

void TestLayout::minimumWidthGivesTheKnownPlaces() {
    const CardLayout layout = computeCardLayout(9000, 7015, CardGeometry::designed());
    const CardGeometry& g = layout.geometry;

    QCOMPARE(g[P::Image1], QRectF(15, 600, 8850, 5410));
    QCOMPARE(g[P::Text1].width(), 1392.5);
    QCOMPARE(g[P::Label1_0].left(), 2837.5);
    QCOMPARE(g[P::Text12].left(), 3262.5);
    QCOMPARE(g[P::Text12].width(), 962.5);
    QCOMPARE(g[P::Frame1].left(), 4725.0);
    QCOMPARE(g[P::Frame1].width(), 3425.0);
    QCOMPARE(g[P::Frame2].left(), 8195.0);
    // At the smallest height the remarks box has no height left.
    QCOMPARE(g[P::Text11].height(), 0.0);
    QVERIFY(skippedSteps(layout).empty());
    QVERIFY(!layout.snapWidth && !layout.snapHeight);

    // The window's smallest size is that of a card 8880 by 5410.
    QCOMPARE(cardSizeForOuter({MinimumOuterWidth, MinimumOuterHeight}), QSizeF(8880, 5410));
    QCOMPARE(outerSizeForCard({8880, 5410}), QSizeF(9000, 7015));
}

void TestLayout::proportionsHoldAtAnySize_data() {
    QTest::addColumn<double>("W");
    QTest::addColumn<double>("H");
    QTest::newRow("smallest") << 9000.0 << 7015.0;
    QTest::newRow("designed") << 10050.0 << 9840.0;
    QTest::newRow("first start") << 12600.0 << 9600.0;
    QTest::newRow("large") << 24000.0 << 18000.0;
    QTest::newRow("fractions") << 9731.25 << 8123.5;
}

void TestLayout::proportionsHoldAtAnySize() {
    QFETCH(double, W);
    QFETCH(double, H);
    const CardGeometry designed = CardGeometry::designed();
    const CardLayout layout = computeCardLayout(W, H, designed);
    const CardGeometry& g = layout.geometry;
    const double IW = W - 150;

    QVERIFY(skippedSteps(layout).empty());
    QCOMPARE(g[P::Image1], QRectF(15, 600, W - 150, H - 1605));
    QCOMPARE(g[P::DBGrid2], g[P::Image1]);
    QCOMPARE(g[P::Frame2], designed[P::Frame2].translated(W - 805 - 8820, 0));
    QCOMPARE(g[P::Text11].height(), H - 7015);

    // The fields' right edges line up 500 short of the photo frame in the card's middle.
    for (P part :
         {P::CboContact, P::Text12, P::Text2, P::Text3, P::Text4, P::Text6, P::Text7, P::Text13,
          P::Text14, P::Text15, P::Text16, P::Text8, P::Text10, P::Text9, P::Text18, P::Text11})
        QVERIFY2(qFuzzyCompare(g[part].right(), IW * 0.5 - 200), cardPartName(part));
    QCOMPARE(g[P::Frame1].left(), IW * 0.5 + 300);
    QCOMPARE(g[P::Frame1].right(), W - 850);
    QCOMPARE(g[P::Frame1].height(), H - 2035);
    // "First:" and the first-name box follow right behind the last-name box.
    QCOMPARE(g[P::Label1_0].left(), g[P::Text1].right() + 5);
    QCOMPARE(g[P::Text12].left(), g[P::Label1_0].left() + 425);

    // The photo buttons sit on the frame's bottom edge, centred, 10 apart.
    const QRectF add = g[P::Command5], remove = g[P::Command4];
    QCOMPARE(add.bottom(), g[P::Frame1].height());
    QCOMPARE(remove.top(), add.top());
    QCOMPARE(remove.left() - add.right(), 10.0);
    QCOMPARE((add.left() + remove.right()) / 2, g[P::Frame1].width() / 2 + 5);
    QCOMPARE(g[P::pic].size(), QSizeF(g[P::Frame1].width() - 150, g[P::Frame1].height() - 600));
}

void TestLayout::negativeHeightsAreSkipped() {
    const CardGeometry before = CardGeometry::designed();
    const CardLayout layout = computeCardLayout(9000, 1000, before);
    const CardGeometry& g = layout.geometry;

    QCOMPARE(skippedSteps(layout), (std::set<int>{1, 12, 16, 23}));
    QCOMPARE(g[P::Image1], before[P::Image1]);
    QCOMPARE(g[P::DBGrid2], before[P::DBGrid2]);
    // The kept card picture is what the proportional steps read.
    const double IW = before[P::Image1].width();
    QCOMPARE(g[P::CboContact].width(), IW * 0.5 - 1640);
    QCOMPARE(g[P::Text11], QRectF(1440, 5535, IW * 0.5 - 1640, 405));
    QCOMPARE(g[P::Frame1], QRectF(IW * 0.5 + 300, 720, IW * 0.5 - 1000, 5295));
    QCOMPARE(g[P::Command5].top(), 5295.0 - 375);
    QCOMPARE(g[P::pic].height(), 5295.0 - 600);
    // Steps that read the window itself still follow it.
    QCOMPARE(g[P::Frame2].left(), 9000.0 - 805);
    QCOMPARE(layout.snapHeight, std::optional<double>(7015));
    QVERIFY(!layout.snapWidth);
}

void TestLayout::refusedWidthsAreKeptAndReadOnward() {
    const CardGeometry before = CardGeometry::designed();
    const CardLayout layout = computeCardLayout(3000, 9000, before);
    const CardGeometry& g = layout.geometry;

    QCOMPARE(skippedSteps(layout), (std::set<int>{2, 3, 7, 8, 9, 10, 11, 13, 14}));
    for (P part : {P::CboContact, P::Text1, P::Text2, P::Text6, P::Text7, P::Text8, P::Text10,
                   P::Text9, P::Text18})
        QVERIFY2(g[part] == before[part], cardPartName(part));
    // "First:" reads the width the last-name box kept.
    QCOMPARE(g[P::Label1_0].left(), 1410.0 + 1445);
    QCOMPARE(g[P::Text12], QRectF(2855 + 425, 1080, 1290, 285));
    // A position may go negative; only sizes are refused.
    QCOMPARE(g[P::frmBU].left(), 2850 * 0.5 - 1500);
    QCOMPARE(g[P::Command5].left(), 425 * 0.5 - 1100);
    QCOMPARE(g[P::Text11], QRectF(1440, 5535, 3150, 9000 - 7015));
    QCOMPARE(layout.snapWidth, std::optional<double>(9000));
}

void TestLayout::minimumSize_data() {
    QTest::addColumn<double>("W");
    QTest::addColumn<double>("H");
    QTest::addColumn<WindowShape>("shape");
    QTest::addColumn<double>("snapWidth"); // 0: none
    QTest::addColumn<double>("snapHeight");
    QTest::addColumn<bool>("refused");
    const auto normal = WindowShape::Normal;
    QTest::newRow("just too narrow") << 8999.9 << 8000.0 << normal << 9000.0 << 0.0 << false;
    QTest::newRow("smallest allowed") << 9000.0 << 7015.0 << normal << 0.0 << 0.0 << false;
    QTest::newRow("too low") << 12000.0 << 7000.0 << normal << 0.0 << 7015.0 << false;
    QTest::newRow("both") << 4000.0 << 3000.0 << normal << 9000.0 << 7015.0 << true;
    QTest::newRow("minimized") << 2400.0 << 465.0 << WindowShape::Minimized << 0.0 << 0.0 << true;
    QTest::newRow("maximized large")
        << 20000.0 << 15000.0 << WindowShape::Maximized << 0.0 << 0.0 << false;
    QTest::newRow("maximized on a small screen")
        << 8000.0 << 15000.0 << WindowShape::Maximized << 0.0 << 0.0 << true;
}

void TestLayout::minimumSize() {
    QFETCH(double, W);
    QFETCH(double, H);
    QFETCH(WindowShape, shape);
    QFETCH(double, snapWidth);
    QFETCH(double, snapHeight);
    QFETCH(bool, refused);
    const CardLayout layout = computeCardLayout(W, H, CardGeometry::designed(), shape);

    QCOMPARE(layout.snapWidth.value_or(0), snapWidth);
    QCOMPARE(layout.snapHeight.value_or(0), snapHeight);
    // The window's own size change is step 24; it is refused only while minimized or maximized.
    QCOMPARE(layout.skipped(24), refused && shape != WindowShape::Normal);
}

void TestLayout::restoringAfterMinimizedLaysOutAsBefore() {
    const CardLayout normal = computeCardLayout(12600, 9600, CardGeometry::designed());
    const CardLayout minimized =
        computeCardLayout(2400, 465, normal.geometry, WindowShape::Minimized);
    QCOMPARE(skippedSteps(minimized), (std::set<int>{1, 12, 16, 23, 24}));
    QCOMPARE(minimized.geometry[P::Image1], normal.geometry[P::Image1]);

    const CardLayout restored = computeCardLayout(12600, 9600, minimized.geometry);
    QVERIFY(restored.geometry == normal.geometry);
}

void TestLayout::windowCardFollowsTheRule_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("first start") << QSize(840, 640);
    QTest::newRow("large") << QSize(1600, 1200);
    QTest::newRow("wide and low") << QSize(1500, 520);
    QTest::newRow("odd") << QSize(1013, 777);
}

void TestLayout::windowCardFollowsTheRule() {
    if (ui::twipsPerPixel() != 15)
        QSKIP("the pixel checks are written for 96 dots per inch");
    QFETCH(QSize, size);
    Program program;
    frmMain& main = *program.main;
    QVERIFY(showAndWait(main));
    main.resize(size);
    QTRY_COMPARE(main.size(), size);

    const QRect card = main.card->rect();
    QCOMPARE(main.Image1->geometry(), card.adjusted(1, 0, -1, 0));
    QCOMPARE(main.DBGrid2->geometry(), main.Image1->geometry());
    // The fields end together in the card's middle, half a centimetre before the photo frame.
    const int fieldsEnd = main.CboContact->geometry().right();
    for (QWidget* box : {static_cast<QWidget*>(main.Text12), static_cast<QWidget*>(main.Text2),
                         static_cast<QWidget*>(main.Text6), static_cast<QWidget*>(main.Text7),
                         static_cast<QWidget*>(main.Text10), static_cast<QWidget*>(main.Text11)})
        QVERIFY2(std::abs(box->geometry().right() - fieldsEnd) <= 1, qPrintable(box->objectName()));
    auto near = [](int pixels, double twips) {
        return std::abs(pixels - ui::twipsToPixels(twips)) <= 1;
    };
    QVERIFY(near(main.Frame1->x() - (fieldsEnd + 1), 500));
    QVERIFY(std::abs(main.Frame1->x() - (card.width() / 2 + 19)) <= 1);
    QVERIFY(main.Frame1->geometry().right() < main.Frame2->x());
    QVERIFY(main.Frame2->geometry().right() < main.Image1->geometry().right());
    // The remarks box and the photo frame grow with the card, keeping their distance to its
    // bottom; the photo buttons sit on the frame's bottom edge.
    QVERIFY(near(card.height() - (main.Text11->geometry().bottom() + 1), 475));
    QVERIFY(near(card.height() - (main.Frame1->geometry().bottom() + 1), 310));
    QVERIFY(std::abs(main.Command5->geometry().bottom() - (main.Frame1->height() - 1)) <= 1);
    QCOMPARE(main.Command4->y(), main.Command5->y());
}

void TestLayout::windowCannotGetBelowMinimum() {
    if (ui::twipsPerPixel() != 15)
        QSKIP("the pixel checks are written for 96 dots per inch");
    Program program;
    frmMain& main = *program.main;
    // Smaller than allowed before it is shown, as a size restored from the settings may be.
    main.resize(300, 200);
    QVERIFY(showAndWait(main));
    // The card is at least 8880 twips wide, and tall enough for three lines of remarks.
    const int threeLines = 3 * main.Text11->fontMetrics().lineSpacing();
    const QSize smallest = main.card->minimumSize();
    QCOMPARE(smallest.width(), 8880 / 15);
    QTRY_VERIFY(main.card->width() >= smallest.width() && main.card->height() >= smallest.height());
    QVERIFY(main.Text11->viewport()->height() >= threeLines);

    main.resize(200, 150);
    QTRY_VERIFY(main.card->width() >= smallest.width() && main.card->height() >= smallest.height());
    QCOMPARE(main.Image1->geometry(), main.card->rect().adjusted(1, 0, -1, 0));
    QCOMPARE(main.DBGrid2->geometry(), main.Image1->geometry());
    QVERIFY(main.Text11->viewport()->height() >= threeLines);

    // A window given a smaller minimum of its own is still brought back to the whole card.
    main.setMinimumSize(1, 1);
    main.resize(200, 150);
    QVERIFY(main.width() >= main.minimumSizeHint().width());
    QVERIFY(main.height() >= main.minimumSizeHint().height());
    QVERIFY(main.rect().contains(main.card->geometry()));
    QCOMPARE(main.card->height(), smallest.height());
    QVERIFY(main.Text11->viewport()->height() >= threeLines);
}

void TestLayout::everyToolbarButtonStaysReachable_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<UserSettings::ToolbarStyle>("style");
    const auto large = UserSettings::ToolbarStyle::LargeImagesOnly;
    const auto captions = UserSettings::ToolbarStyle::TextAndImages;
    QTest::newRow("large images") << QStringLiteral("Liberation Sans") << large;
    QTest::newRow("captions") << QStringLiteral("Liberation Sans") << captions;
    QTest::newRow("captions in a wider face") << QStringLiteral("DejaVu Sans") << captions;
}

void TestLayout::everyToolbarButtonStaysReachable() {
    QFETCH(QString, family);
    QFETCH(UserSettings::ToolbarStyle, style);
    FaceForTest face(family);
    Program program;
    frmMain& main = *program.main;
    main.applyToolbarStyle(style);
    QVERIFY(showAndWait(main));
    const CommandToolbar* toolbar =
        style == UserSettings::ToolbarStyle::LargeImagesOnly ? main.Toolbar2 : main.Toolbar1;

    // As small as the window goes, in one step and after a large size.
    for (const QSize size : {QSize(100, 100), QSize(1600, 1000), QSize(300, 200)}) {
        main.resize(size);
        QTest::qWait(20);
        QVERIFY(toolbar->isVisible());
        for (int index = 1; index <= toolbar::ButtonCount; ++index) {
            const QToolButton* button = toolbar->button(index);
            if (!button)
                continue;
            const QString what =
                QStringLiteral("button %1 at width %2").arg(index).arg(main.width());
            QVERIFY2(button->isVisible(), qPrintable(what));
            QVERIFY2(toolbar->rect().contains(button->geometry()), qPrintable(what));
        }
    }
}

void TestLayout::toolbarOfAnotherHeightRelaysTheCard() {
    Program program;
    frmMain& main = *program.main;
    QVERIFY(showAndWait(main));
    main.applyToolbarStyle(UserSettings::ToolbarStyle::TextAndImages);
    QTRY_COMPARE(main.Image1->height(), main.card->height());
    const int before = main.card->height();

    main.applyToolbarStyle(UserSettings::ToolbarStyle::LargeImagesOnly);
    QTRY_VERIFY(main.card->height() != before);
    QCOMPARE(main.Image1->height(), main.card->height());
    QCOMPARE(main.DBGrid2->geometry(), main.Image1->geometry());
}

void TestLayout::photoIsFittedInTheResizedFrame() {
    Program program;
    frmMain& main = *program.main;
    int fits = 0;
    int fitsInAStaleFrame = 0;
    main.setFitPhoto([&](frmMain& window) {
        ++fits;
        // By the time the photo is fitted the frame has its width for the card's width.
        const double cardWidth = ui::pixelsToTwips(window.card->width());
        const double frameWidth = outerSizeForCard({cardWidth, 0}).width() * 0.5 - 75 - 1000;
        if (std::abs(window.Frame1->width() - ui::twipsToPixels(frameWidth)) > 1)
            ++fitsInAStaleFrame;
        window.pic->resize(window.pic->width(), window.pic->width() * 5 / 4);
    });
    QVERIFY(showAndWait(main));
    for (const QSize size : {QSize(1200, 900), QSize(900, 1100)}) {
        fits = 0;
        main.resize(size);
        QTRY_COMPARE(main.size(), size);
        QVERIFY(fits > 0);
        QCOMPARE(fitsInAStaleFrame, 0);
        // The display keeps the shape the fitting gave it; its width follows the frame.
        QVERIFY(std::abs(main.pic->width() - (main.Frame1->width() - 10)) <= 1);
        QCOMPARE(main.pic->height(), main.pic->width() * 5 / 4);
    }
}

void TestLayout::labelsKeepClearOfBoxes_data() {
    QTest::addColumn<QString>("family");
    QTest::newRow("the card's face") << QStringLiteral("Liberation Sans");
    QTest::newRow("a wider face") << QStringLiteral("DejaVu Sans");
}

void TestLayout::labelsKeepClearOfBoxes() {
    QFETCH(QString, family);
    FaceForTest face(family);
    Program program;
    frmMain& main = *program.main;
    QVERIFY(showAndWait(main));

    // The narrowest window the toolbar allows, and a wide one.
    for (const QSize size : {main.minimumSize().expandedTo(QSize(700, 500)), QSize(1400, 1000)}) {
        main.resize(size);
        QTRY_COMPARE(main.size(), size);
        QCOMPARE(main.fieldLabels.size(), 18);
        for (auto it = main.fieldLabels.cbegin(); it != main.fieldLabels.cend(); ++it) {
            const QLabel* label = it.value();
            const QString what =
                label->text() + QStringLiteral(" at ") + QString::number(size.width());
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(what));
            for (const QWidget* box : boxesOf(main))
                QVERIFY2(!label->geometry().intersects(box->geometry()),
                         qPrintable(what + QStringLiteral(" runs into ") + box->objectName()));
        }
        // "First:" stays between the two name boxes.
        const QLabel* first = main.fieldLabels.value(QStringLiteral("Text12"));
        QCOMPARE(first->objectName(), QStringLiteral("Label1_0"));
        QVERIFY(first->x() > main.Text1->geometry().right());
    }
}

void TestLayout::gridShowsItsCaptionAboveTheColumns() {
    Program program;
    frmMain& main = *program.main;
    QVERIFY(showAndWait(main));
    CommandToolbar* toolbar = main.Toolbar1->isVisible() ? main.Toolbar1 : main.Toolbar2;
    toolbar->clickButton(toolbar::GridButton);
    QTRY_VERIFY(main.DBGrid2->isVisible());
    QCOMPARE(main.DBGrid2->geometry(), main.Image1->geometry());

    const QLabel* caption = nullptr;
    for (const QLabel* label : main.DBGrid2->findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Grid View") && label->isVisible())
            caption = label;
    }
    QVERIFY(caption);
    const QRect band(caption->mapTo(main.DBGrid2, QPoint(0, 0)), caption->size());
    const QHeaderView* columns = main.DBGrid2->horizontalHeader();
    const QRect titles(columns->viewport()->mapTo(main.DBGrid2, QPoint(0, 0)),
                       columns->viewport()->size());
    const QRect rows(main.DBGrid2->viewport()->mapTo(main.DBGrid2, QPoint(0, 0)),
                     main.DBGrid2->viewport()->size());
    // Across the grid's top, above the column titles, which stay whole above the rows.
    QVERIFY(band.width() >= main.DBGrid2->width() - 2 * main.DBGrid2->frameWidth());
    QVERIFY(band.height() >= caption->fontMetrics().height());
    QVERIFY(band.bottom() < titles.top());
    QVERIFY(titles.height() >= columns->fontMetrics().height());
    QVERIFY(titles.bottom() < rows.top());
}

void TestLayout::everyTextFits_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<QSize>("size");
    QTest::newRow("the card's face, smallest") << QStringLiteral("Liberation Sans") << QSize(1, 1);
    QTest::newRow("the card's face, large")
        << QStringLiteral("Liberation Sans") << QSize(1400, 1000);
    QTest::newRow("a wider face, smallest") << QStringLiteral("DejaVu Sans") << QSize(1, 1);
}

void TestLayout::everyTextFits() {
    QFETCH(QString, family);
    QFETCH(QSize, size);
    FaceForTest face(family);
    Program program;
    frmMain& main = *program.main;
    QVERIFY(showAndWait(main));
    main.resize(size);
    // The back-up notice, as the program shows it while it backs the book up on closing.
    main.frmBU->show();
    main.frmBU->raise();
    QTest::qWait(20);

    for (const QLabel* label : main.findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty() || label->wordWrap())
            continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(needed <= label->contentsRect().width(),
                 qPrintable(QStringLiteral("\"%1\" needs %2 pixels, has %3")
                                .arg(label->text())
                                .arg(needed)
                                .arg(label->contentsRect().width())));
    }
    for (const QPushButton* button : main.findChildren<QPushButton*>()) {
        if (!button->isVisible())
            continue;
        const int needed = button->fontMetrics().horizontalAdvance(button->text());
        QVERIFY2(needed <= button->width() - 4,
                 qPrintable(QStringLiteral("\"%1\" needs %2 pixels, has %3")
                                .arg(button->text())
                                .arg(needed)
                                .arg(button->width())));
    }
}

void TestLayout::everyPixelIsPainted_data() {
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::newRow("first start") << QList<QSize>{QSize(840, 640)};
    QTest::newRow("large, then smaller") << QList<QSize>{QSize(1590, 1170), QSize(1200, 900)};
    QTest::newRow("smallest") << QList<QSize>{QSize(200, 150)};
}

void TestLayout::everyPixelIsPainted() {
    QFETCH(QList<QSize>, sizes);
    Program program;
    frmMain& main = *program.main;
    QVERIFY(showAndWait(main));
    for (const QSize size : sizes) {
        main.resize(size);
        QTRY_VERIFY(main.size() == size || size.width() < 300);
    }

    // The window drawn over a colour it never uses: whatever still shows it was not painted.
    const QColor unpainted(255, 0, 254);
    QPixmap canvas(main.size());
    canvas.fill(unpainted);
    main.render(&canvas);
    const QImage drawn = canvas.toImage();
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (drawn.pixelColor(x, y) == unpainted)
                QFAIL(qPrintable(
                    QStringLiteral("pixel %1,%2 of %3 was not painted")
                        .arg(x)
                        .arg(y)
                        .arg(QStringLiteral("%1x%2").arg(drawn.width()).arg(drawn.height()))));
        }
    }
    // The card picture's rounded corners show the window's background.
    const QRect picture(main.Image1->mapTo(&main, QPoint(0, 0)), main.Image1->size());
    const QColor background = main.palette().color(QPalette::Window);
    for (const QPoint corner :
         {picture.topLeft(), picture.topRight(), picture.bottomLeft(), picture.bottomRight()})
        QCOMPARE(drawn.pixelColor(corner), background);
}

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
