// The toolbar pictures: whichever toolbar the user sees shows every picture, including one
// shown only after a change of style.

#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QTest>
#include <QToolButton>

using namespace quillory;
using test::StartedProgram;

namespace {

// The buttons whose picture is missing, found as the window holds them.
QStringList withoutPicture(const CommandToolbar& bar) {
    QStringList missing;
    for (QToolButton* b : bar.findChildren<QToolButton*>()) {
        if (!b->objectName().startsWith(bar.objectName() + QLatin1Char('_')))
            continue;
        if (b->icon().pixmap(bar.iconSize()).isNull())
            missing.append(b->objectName());
    }
    return missing;
}

int buttonCount(const CommandToolbar& bar) {
    int n = 0;
    for (QToolButton* b : bar.findChildren<QToolButton*>())
        n += b->objectName().startsWith(bar.objectName() + QLatin1Char('_')) ? 1 : 0;
    return n;
}

} // namespace

class TestToolbarPictures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shownToolbarHasEveryPicture_data();
    void shownToolbarHasEveryPicture();
};

void TestToolbarPictures::shownToolbarHasEveryPicture_data() {
    QTest::addColumn<QList<int>>("styles"); // chosen one after the other
    using Style = UserSettings::ToolbarStyle;
    QTest::newRow("as started") << QList<int>{};
    QTest::newRow("switched to text and images") << QList<int>{int(Style::TextAndImages)};
    QTest::newRow("switched there and back")
        << QList<int>{int(Style::TextAndImages), int(Style::LargeImagesOnly)};
}

void TestToolbarPictures::shownToolbarHasEveryPicture() {
    QFETCH(QList<int>, styles);
    StartedProgram program;
    frmMain& main = *program.main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    for (const int style : styles)
        main.applyToolbarStyle(UserSettings::ToolbarStyle(style));
    QApplication::processEvents();
    int shown = 0;
    for (CommandToolbar* bar : {main.Toolbar1, main.Toolbar2}) {
        if (!bar->isVisible())
            continue;
        ++shown;
        QCOMPARE(buttonCount(*bar), 20); // 24 places, four of them separators
        QCOMPARE(withoutPicture(*bar), QStringList());
    }
    QCOMPARE(shown, 1);
}

QTEST_MAIN(TestToolbarPictures)
#include "test_toolbar_pictures.moc"
