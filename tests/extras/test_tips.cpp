// The tip of the day through its window: opened from the Help menu and at start-up, on real
// tips files and settings files in a program folder of the test's own.

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "core/frmSplash.h"
#include "extras/frmTip.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <memory>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QWindow>
#include <sys/stat.h>

using namespace quillory;
using test::StartedProgram;
using test::TempProgramFolder;

namespace {

const QString MissingMessage = QStringLiteral(
    "That the TIPS.TXT file was not found? \r\n\r\nCreate a text file named TIPS.TXT using "
    "NotePad with 1 tip per line. Then place it in the same directory as the application. ");

// The tip windows that are open over the main window.
QList<frmTip*> openTips(frmMain& main) {
    QList<frmTip*> open;
    for (frmTip* tip : main.findChildren<frmTip*>(Qt::FindDirectChildrenOnly)) {
        if (tip->isVisible())
            open.append(tip);
    }
    return open;
}

// The program started on `folder`, with the tip window opened as the user does: Help, Show Tips.
struct TipProgram {
    explicit TipProgram(const TempProgramFolder& folder, const QByteArray& settings = {})
        : program(folder, {.settings = settings}) {}
    frmTip* showTips() {
        program.main->mnuTip->trigger();
        const QList<frmTip*> open = openTips(*program.main);
        return open.size() == 1 ? open.first() : nullptr;
    }
    StartedProgram program;
};

} // namespace

class TipsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsTheTipsFile_data();
    void readsTheTipsFile();
    void tellsHowToMakeTheFileWhenItCannotBeRead_data();
    void tellsHowToMakeTheFileWhenItCannotBeRead();
    void nextTipPicksEveryTipByTheRandomNumber_data();
    void nextTipPicksEveryTipByTheRandomNumber();
    void nextTipReachesEveryTip();
    void mirrorsTheStartUpSetting_data();
    void mirrorsTheStartUpSetting();
    void clearingTheBoxTurnsTheStartUpTipOff();
    void startUpShowsTheTipOnlyWhenTheSettingSaysSo_data();
    void startUpShowsTheTipOnlyWhenTheSettingSaysSo();
    void theMenuRaisesTheOpenWindowAndOkOrEscapeCloseIt();
    void shipsRealTips();
};

void TipsTest::readsTheTipsFile_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("tips");

    const QString tip = QStringLiteral("Press the letter buttons to jump.");
    QTest::newRow("one line") << QByteArray("Press the letter buttons to jump.\n")
                              << QStringList{tip};
    QTest::newRow("one line without a line end")
        << QByteArray("Press the letter buttons to jump.") << QStringList{tip};
    QTest::newRow("written with CR LF")
        << QByteArray("First\r\nSecond\r\n") << QStringList{"First", "Second"};
    QTest::newRow("old Mac line ends")
        << QByteArray("First\rSecond") << QStringList{"First", "Second"};
    QTest::newRow("blank lines are empty tips")
        << QByteArray("First\n\nThird\n") << QStringList{"First", "", "Third"};
    QTest::newRow("only a line end") << QByteArray("\n") << QStringList{""};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("UTF-8 with its byte-order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "Caf\xC3\xA9 na\xC3\xAFve \xE2\x80\x9Cquoted\xE2\x80\x9D\n")
        << QStringList{QStringLiteral("Café naïve “quoted”")};
    QTest::newRow("a Windows-1252 line among UTF-8 lines")
        << QByteArray("Caf\xC3\xA9\r\n"
                      "Caf\xE9 \x93quoted\x94 \x80 5\r\n"
                      "\xE2\x82\xAC 5\r\n")
        << QStringList{QStringLiteral("Café"), QStringLiteral("Café “quoted” € 5"),
                       QStringLiteral("€ 5")};
}

// Every line is a tip, and the window shows one of them (an empty file shows nothing at all).
void TipsTest::readsTheTipsFile() {
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, tips);
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), contents);
    TipProgram started(folder);
    frmTip* tip = started.showTips();
    QVERIFY(tip);
    QCOMPARE(tip->tips(), tips);
    for (int click = 0; click < 6; ++click) {
        if (tips.isEmpty())
            QCOMPARE(tip->lblTipText->text(), QString());
        else
            QVERIFY2(tips.contains(tip->lblTipText->text()), qPrintable(tip->lblTipText->text()));
        tip->cmdNextTip->click();
    }
    QVERIFY(started.program.boxes.asked().isEmpty());
}

void TipsTest::tellsHowToMakeTheFileWhenItCannotBeRead_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("no file") << "none";
    QTest::newRow("a folder of that name") << "folder";
    QTest::newRow("a pipe of that name, nobody writing") << "fifo";
    QTest::newRow("a link to a pipe") << "link";
    QTest::newRow("far too large for a list of hints") << "huge";
}

void TipsTest::tellsHowToMakeTheFileWhenItCannotBeRead() {
    QFETCH(QString, kind);
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("tips.txt"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    else if (kind == QLatin1String("link")) {
        const QString pipe = folder.file(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
        QVERIFY(QFile::link(pipe, path));
    } else if (kind == QLatin1String("huge"))
        folder.write(QStringLiteral("tips.txt"), QByteArray(5 * 1024 * 1024, 'x') + '\n');
    TipProgram started(folder);
    frmTip* tip = started.showTips();
    QVERIFY(tip);
    QCOMPARE(tip->lblTipText->text(), MissingMessage);
    tip->cmdNextTip->click();
    QCOMPARE(tip->lblTipText->text(), MissingMessage);
    QVERIFY(started.program.boxes.asked().isEmpty());
}

void TipsTest::nextTipPicksEveryTipByTheRandomNumber_data() {
    QTest::addColumn<double>("random");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0 picks the first") << 0.0 << "one";
    QTest::newRow("just below a quarter") << 0.2499 << "one";
    QTest::newRow("a quarter") << 0.25 << "two";
    QTest::newRow("a half") << 0.5 << "three";
    QTest::newRow("just below 1 picks the last") << 0.99999 << "four";
}

// The tip number is the integer part of r times the number of tips, plus 1.
void TipsTest::nextTipPicksEveryTipByTheRandomNumber() {
    QFETCH(double, random);
    QFETCH(QString, shown);
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), "one\ntwo\nthree\nfour\n");
    TipProgram started(folder);
    frmTip* tip = started.showTips();
    QVERIFY(tip);
    tip->setRandomSource([random] { return random; });
    tip->cmdNextTip->click();
    QCOMPARE(tip->lblTipText->text(), shown);
}

void TipsTest::nextTipReachesEveryTip() {
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), "one\ntwo\nthree\n");
    TipProgram started(folder);
    frmTip* tip = started.showTips();
    QVERIFY(tip);
    QSet<QString> seen{tip->lblTipText->text()};
    for (int click = 0; click < 200 && seen.size() < 3; ++click) {
        tip->cmdNextTip->click();
        seen.insert(tip->lblTipText->text());
    }
    QCOMPARE(seen, (QSet<QString>{"one", "two", "three"}));
}

void TipsTest::mirrorsTheStartUpSetting_data() {
    QTest::addColumn<QByteArray>("tipKey");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("fileWritten");
    QTest::newRow("tips on") << QByteArray("TIP=1\n") << true << false;
    QTest::newRow("tips off") << QByteArray("TIP=0\n") << false << true;
    QTest::newRow("undetermined") << QByteArray("TIP=2\n") << true << false;
}

// Opening the window while tips are off clears its box, which saves the settings at once.
void TipsTest::mirrorsTheStartUpSetting() {
    QFETCH(QByteArray, tipKey);
    QFETCH(bool, ticked);
    QFETCH(bool, fileWritten);
    TempProgramFolder folder;
    const QByteArray settings = "USERName=Ann Adams\n" + tipKey;
    TipProgram started(folder, settings);
    const QByteArray before = folder.read(QStringLiteral("Corvanel.hig"));
    frmTip* tip = started.showTips();
    QVERIFY(tip);
    QCOMPARE(tip->chkLoadTipsAtStartup->isChecked(), ticked);
    const QByteArray after = folder.read(QStringLiteral("Corvanel.hig"));
    QCOMPARE(after != before, fileWritten);
    if (fileWritten) {
        // Every key is written, the others keep their values.
        QVERIFY(after.contains("TIP=0"));
        QVERIFY(after.contains("USERName=Ann Adams"));
        QVERIFY(after.contains("BUdata=1"));
    }
}

// Clearing the box turns the start-up tip off for the next start, without the settings dialog.
void TipsTest::clearingTheBoxTurnsTheStartUpTipOff() {
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), "one\n");
    {
        TipProgram started(folder);
        frmTip* tip = started.showTips();
        QVERIFY(tip);
        QVERIFY(tip->chkLoadTipsAtStartup->isChecked());
        tip->chkLoadTipsAtStartup->click();
        QCOMPARE(started.program.context->settings().showTips, 0);
        QVERIFY(folder.read(QStringLiteral("Corvanel.hig")).contains("TIP=0"));
    }
    {
        StartedProgram next(folder);
        QCOMPARE(next.context->settings().showTips, 0);
        next.context->afterMainWindowShown();
        QVERIFY(openTips(*next.main).isEmpty());
    }
    TipProgram again(folder);
    frmTip* tip = again.showTips();
    QVERIFY(tip);
    tip->chkLoadTipsAtStartup->click();
    QVERIFY(folder.read(QStringLiteral("Corvanel.hig")).contains("TIP=1"));
}

void TipsTest::startUpShowsTheTipOnlyWhenTheSettingSaysSo_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("shown");
    QTest::newRow("no settings file") << QByteArray() << true;
    QTest::newRow("tips on") << QByteArray("TIP=1\n") << true;
    QTest::newRow("tips off") << QByteArray("TIP=0\n") << false;
    QTest::newRow("undetermined") << QByteArray("TIP=2\n") << false;
}

void TipsTest::startUpShowsTheTipOnlyWhenTheSettingSaysSo() {
    QFETCH(QByteArray, settings);
    QFETCH(bool, shown);
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), "one\n");
    StartedProgram started(folder, {.settings = settings});
    frmSplash splash(*started.context);
    splash.Form_Activate();
    if (!shown) {
        QTest::qWait(50);
        QVERIFY(openTips(*started.main).isEmpty());
        return;
    }
    // The tip opens over a main window that is already on the screen.
    QTRY_COMPARE(openTips(*started.main).size(), 1);
    QVERIFY(started.main->windowHandle()->isExposed());
    frmTip* tip = openTips(*started.main).first();
    QCOMPARE(tip->lblTipText->text(), QStringLiteral("one"));
    QCOMPARE(tip->windowTitle(), QStringLiteral("Tip of the Day"));
    QVERIFY(!tip->isModal());
}

void TipsTest::theMenuRaisesTheOpenWindowAndOkOrEscapeCloseIt() {
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), "one\n");
    TipProgram started(folder);
    QPointer<frmTip> tip = started.showTips();
    QVERIFY(tip);
    QCOMPARE(started.showTips(), tip.data());
    tip->cmdOK->click();
    QVERIFY(openTips(*started.program.main).isEmpty());
    QTRY_VERIFY(tip.isNull());
    // Escape closes it as the close box does.
    tip = started.showTips();
    QVERIFY(tip);
    QTest::keyClick(tip.data(), Qt::Key_Escape);
    QVERIFY(openTips(*started.program.main).isEmpty());
    QTRY_VERIFY(tip.isNull());
}

// The file shipped beside the program: at least thirty tips, none empty, each short enough for
// the window, read the same way the window reads it.
void TipsTest::shipsRealTips() {
    // The build puts it beside the program; the tests live one folder over.
    QString beside = qEnvironmentVariable("QUILLORY_ASSETS");
    if (beside.isEmpty())
        beside = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    QFile shipped(QDir(beside).filePath(QStringLiteral("TIPS.TXT")));
    QVERIFY2(shipped.open(QIODevice::ReadOnly), qPrintable(shipped.fileName()));
    TempProgramFolder folder;
    folder.write(QStringLiteral("TIPS.TXT"), shipped.readAll());
    TipProgram started(folder);
    frmTip* tip = started.showTips();
    QVERIFY(tip);
    QVERIFY(tip->tips().size() >= 30);
    for (const QString& line : tip->tips()) {
        QVERIFY2(!line.trimmed().isEmpty(), "an empty tip");
        QVERIFY2(line.size() <= 140, qPrintable(line));
    }
}

QTEST_MAIN(TipsTest)
#include "test_tips.moc"
