// The settings files as the started program meets them: at start-up, while it runs and when
// its main window closes.

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "DevZero.h"
#include "StartedProgram.h"
#include "TestSupport.h"
#include "Watchdog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <sys/stat.h>

using namespace quillory;
using quillory::test::StartedProgram;
using quillory::test::TempProgramFolder;
using quillory::test::Watchdog;

namespace {

const QString Hig = QStringLiteral("Corvanel.hig");
const QString Win = QStringLiteral("Corvanel.win");

// Closes the main window and answers No to the question, so the program saves and goes on.
void closeAnsweringNo(StartedProgram& program) {
    program.main->show();
    program.boxes.answer(ui::Answer::No);
    program.main->close();
}

int reportsAbout(const StartedProgram& program, const QString& path) {
    int count = 0;
    for (const QString& text : program.boxes.texts()) {
        if (text.contains(QDir::toNativeSeparators(path)))
            ++count;
    }
    return count;
}

} // namespace

class TestSettingsProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsDespiteAnUnusableSettingsFile_data();
    void startsDespiteAnUnusableSettingsFile();
    void undeterminedTipStateIsNotWrittenOnClose_data();
    void undeterminedTipStateIsNotWrittenOnClose();
};

void TestSettingsProgram::startsDespiteAnUnusableSettingsFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fifo"); // else a link to /dev/zero
    QTest::newRow("settings file is a named pipe") << Hig << true;
    QTest::newRow("settings file links to /dev/zero") << Hig << false;
    QTest::newRow("geometry file is a named pipe") << Win << true;
    QTest::newRow("geometry file links to /dev/zero") << Win << false;
}

// The program starts and closes without hanging or running out of memory, says once why the
// file is not used, works with its defaults, and leaves the pipe or the link as it was.
void TestSettingsProgram::startsDespiteAnUnusableSettingsFile() {
    QFETCH(QString, name);
    QFETCH(bool, fifo);
    TempProgramFolder folder;
    const QString path = folder.file(name);
    const QByteArray native = QFile::encodeName(path);
    if (fifo)
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    else
        QVERIFY(test::devZeroIsADevice() && QFile::link(QStringLiteral("/dev/zero"), path));
    // The other file holds a choice, which must still count.
    if (name == Win)
        test::writeSettings(folder, "TI=True\nIO=False\n");

    const Watchdog watchdog(60);
    StartedProgram program(folder);
    QCOMPARE(reportsAbout(program, path), 1);
    QVERIFY(program.boxes.texts().first().contains(fifo ? QStringLiteral("a named pipe")
                                                        : QStringLiteral("a link to a device")));
    const bool textToolbar = name == Win;
    QCOMPARE(program.context->settings().toolbarStyle,
             textToolbar ? UserSettings::ToolbarStyle::TextAndImages
                         : UserSettings::ToolbarStyle::LargeImagesOnly);

    closeAnsweringNo(program);
    program.context->LoadSettings();
    closeAnsweringNo(program);
    QVERIFY2(quillory::test::devZeroIsADevice(), "/dev/zero was written through");
    QCOMPARE(reportsAbout(program, path), 1);

    struct stat after {};
    QCOMPARE(::lstat(native.constData(), &after), 0);
    if (fifo)
        QVERIFY(S_ISFIFO(after.st_mode));
    else
        QCOMPARE(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/zero"));
    // The other file is saved as ever.
    QVERIFY(folder.exists(name == Hig ? Win : Hig));
}

void TestSettingsProgram::undeterminedTipStateIsNotWrittenOnClose_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("file says show tips") << QByteArray("1");
    QTest::newRow("file says no tips") << QByteArray("0");
}

// The undetermined state leaves what the file holds; the file must not hold 2 already, or a
// save that wrote the 2 would pass unseen.
void TestSettingsProgram::undeterminedTipStateIsNotWrittenOnClose() {
    QFETCH(QByteArray, stored);
    StartedProgram program({.settings = "TIP=" + stored + "\nUSERName=Ann\n"});
    QCOMPARE(program.context->settings().showTips, stored.toInt());
    program.context->settings().showTips = 2;
    program.context->settings().userName = QStringLiteral("Bea");

    closeAnsweringNo(program);

    const QByteArray saved = program.folder.read(Hig);
    QVERIFY2(saved.contains("\nTIP=" + stored + "\n"), saved.constData());
    QVERIFY2(saved.contains("\nUSERName=Bea\n"), saved.constData());
    QCOMPARE(saved.count("TIP="), 1);
    program.context->LoadSettings();
    QCOMPARE(program.context->settings().showTips, stored.toInt());
}

QTEST_MAIN(TestSettingsProgram)
#include "test_settings_program.moc"
