// The splash at start-up: the main window is loaded once the splash has been painted, once.

#include "app/Registration.h"
#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "core/frmSplash.h"
#include "platform/files/ProgramFolder.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QTest>

using namespace quillory;

namespace {

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestSplash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mainWindowFollowsThePaintedSplash_data();
    void mainWindowFollowsThePaintedSplash();
};

void TestSplash::mainWindowFollowsThePaintedSplash_data() {
    QTest::addColumn<bool>("onScreen");
    QTest::newRow("the splash is painted") << true;
    QTest::newRow("the splash never reaches the screen") << false;
}

void TestSplash::mainWindowFollowsThePaintedSplash() {
    QFETCH(bool, onScreen);
    test::TempProgramFolder folder;
    test::writeSettings(folder, "TIP=0\n");
    test::writeBook(folder.file(QStringLiteral("Corvanel.MDB")),
                    {test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Carl"))});
    test::ScriptedMessageBoxes boxes;
    AppContext app{ProgramFolder(folder.path())};
    registerAllCommands(app);
    frmSplash splash(app);
    app.setSplash(&splash);
    if (!onScreen)
        splash.setAttribute(Qt::WA_DontShowOnScreen);
    PaintCounter painted(&splash);
    int started = 0;
    int paintsBeforeStart = -1;
    QString firstCard;
    connect(&splash, &frmSplash::started, this, [&] {
        ++started;
        paintsBeforeStart = painted.paints;
        firstCard = app.mainWindow().Text1->text();
    });

    splash.show();
    QTRY_COMPARE_WITH_TIMEOUT(started, 1, 10000);
    if (onScreen)
        QVERIFY(paintsBeforeStart >= 1);
    QCOMPARE(firstCard, QStringLiteral("Brown"));
    QVERIFY(app.mainWindow().isVisible());
    QVERIFY(!splash.isVisible());
    // Neither a later paint nor the wait for an unpainted splash starts the program again.
    splash.repaint();
    QTest::qWait(1500);
    QCOMPARE(started, 1);
    QVERIFY(boxes.asked().isEmpty());
}

QTEST_MAIN(TestSplash)
#include "test_splash.moc"
