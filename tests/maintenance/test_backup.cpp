// The back-up as a user meets it: frmDB and frmSaveDB, the program folder or a chosen folder,
// on real files, with faults brought about at each step.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "maintenance/frmDB.h"
#include "maintenance/frmSaveDB.h"
#include "maintenance/Maintenance.h"
#include "MaintenanceTestKit.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/DirList.h"
#include "platform/ui/DriveList.h"
#include "platform/ui/FileList.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace quillory;
using namespace quillory::test;
using bookfiles::Step;

namespace {

const QString Question = QStringLiteral(
    "Are you sure you want to continue? This will over write your previous back-up!");
const QString BackedUp = QStringLiteral("The Database has been Backed up.");

QList<QVariantMap> olderContacts() {
    return {test::contactNamed(QStringLiteral("Older"), QStringLiteral("Backup"))};
}

QString settingsValue(const TempProgramFolder& folder, const QByteArray& key) {
    for (const QByteArray& line : folder.read(QStringLiteral("Corvanel.hig")).split('\n')) {
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return {};
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogsCarryTheirTexts();
    void firstBackupEverToProgramFolder();
    void backupReplacesThePreviousOneAndKeepsLocation();
    void answeringNoChangesNothing_data();
    void answeringNoChangesNothing();
    void backupToChosenFolderRemembersItsPlace();
    void targetHasOneSeparator();
    void programFolderFailuresKeepPreviousBackup_data();
    void programFolderFailuresKeepPreviousBackup();
    void chosenFolderFailuresKeepPreviousBackup_data();
    void chosenFolderFailuresKeepPreviousBackup();
    void diskErrorMessages_data();
    void diskErrorMessages();
    void driveThatCannotBeReadIsReported();
    void automaticBackupOnlyWhenTicked_data();
    void automaticBackupOnlyWhenTicked();
};

void TestBackup::dialogsCarryTheirTexts() {
    StartedProgram program;

    frmDB choice(*program.context);
    choice.Form_Load();
    QCOMPARE(choice.windowTitle(), QStringLiteral("Back-up Database location?"));
    QCOMPARE(choice.Label1->text(),
             QStringLiteral("Select whether you would like to back-up to program directory or to "
                            "an external drive then click \"OK\"."));
    QCOMPARE(choice.OptLoc->text(), QStringLiteral("Save to program directory"));
    QCOMPARE(choice.OptExt->text(),
             QStringLiteral("Save to external drive. (ie. CD-R/CD-RW/DVD-R/ZIP-Drive"));
    QVERIFY(choice.OptLoc->isChecked());
    QVERIFY(!choice.OptExt->isChecked());
    QCOMPARE(choice.Command1->text(), QStringLiteral("&OK"));
    QCOMPARE(choice.Command2->text(), QStringLiteral("&Cancel"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(choice.x(), (screen.width() - choice.frameGeometry().width()) / 2);
    QCOMPARE(choice.y(), (screen.height() - choice.frameGeometry().height()) / 2);

    frmSaveDB chooser(*program.context);
    chooser.Form_Load();
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Save Database"));
    QCOMPARE(chooser.Label1->text(),
             QStringLiteral("Search the Drive and the Folder where you would like to back-up the "
                            "database file then, CLICK OK below."));
    QCOMPARE(chooser.Drive2->toolTip(), QStringLiteral("Select drive to load text file from"));
    QCOMPARE(chooser.Dir2->toolTip(), QStringLiteral("Select directory to load text file from"));
    QCOMPARE(chooser.File2->toolTip(), QStringLiteral("Double-click to select text file to save"));
    QCOMPARE(chooser.File2->pattern(), Backup);
    QCOMPARE(chooser.Command1->text(), QStringLiteral("&OK"));
    QCOMPARE(chooser.Command2->text(), QStringLiteral("&Close"));
    // The lists start where the process stands; nothing is selected, so Label2 is the folder.
    QCOMPARE(chooser.Dir2->path(), QDir::currentPath());
    QCOMPARE(chooser.File2->path(), QDir::currentPath());
    QCOMPARE(chooser.Label2->text(), QDir::currentPath() + QLatin1Char('/'));
    // A folder holding a back-up shows it; the label follows the folder.
    test::writeBook(program.folder.file(Backup), olderContacts());
    QVERIFY(chooser.Dir2->setPath(program.folder.path()));
    QCOMPARE(chooser.File2->files(), QStringList{Backup});
    QCOMPARE(chooser.Label2->text(), program.folder.path() + QLatin1Char('/'));
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestBackup::firstBackupEverToProgramFolder() {
    StartedProgram program({.contacts = test::contactsWithPhotos(40)});
    program.main->Data1->moveLast();
    test::MaintenanceDialogs dialogs;

    program.boxes.answer(ui::Answer::Yes);
    program.main->mnuBUDB->trigger();

    test::verifyQuestion(program.boxes, Question, QStringLiteral("Back-up Database"));
    QCOMPARE(program.boxes.texts(), (QStringList{Question, BackedUp}));
    QCOMPARE(program.boxes.asked().last().icon, ui::Icon::None);
    QCOMPARE(test::bookRows(program.folder.file(Backup)),
             test::bookRows(program.folder.file(Book)));
    QCOMPARE(test::leftovers(program.folder.path()), QStringList());
    test::verifyBackOnBook(program);
    QCOMPARE(program.main->lblDrive->text(), QStringLiteral("Unknown"));
}

void TestBackup::backupReplacesThePreviousOneAndKeepsLocation() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(10));
    test::writeBook(folder.file(Backup), olderContacts());
    writeSettings(folder, "BUdrive=/media/stick\n");
    StartedProgram program(folder);
    test::MaintenanceDialogs dialogs;

    program.boxes.answer(ui::Answer::Yes);
    program.main->Toolbar1_ButtonMenuClick(QStringLiteral("BD"));

    QCOMPARE(program.boxes.texts(), (QStringList{Question, BackedUp}));
    QCOMPARE(test::bookRows(folder.file(Backup)), test::bookRows(folder.file(Book)));
    QCOMPARE(test::leftovers(folder.path()), QStringList());
    QCOMPARE(program.main->lblDrive->text(), QStringLiteral("/media/stick"));
}

void TestBackup::answeringNoChangesNothing_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("program folder") << false;
    QTest::newRow("chosen folder") << true;
}

void TestBackup::answeringNoChangesNothing() {
    QFETCH(bool, chosen);
    TempProgramFolder folder;
    QTemporaryDir elsewhere;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(10));
    const QString target = chosen ? elsewhere.filePath(Backup) : folder.file(Backup);
    test::writeBook(target, olderContacts());
    QFile previousFile(target);
    QVERIFY(previousFile.open(QIODevice::ReadOnly));
    const QByteArray previousBytes = previousFile.readAll();
    StartedProgram program(folder);
    program.main->Data1->moveNext();
    test::MaintenanceDialogs dialogs(chosen ? elsewhere.path() : QString());
    program.boxes.answer(ui::Answer::No);

    program.main->mnuBUDB->trigger();

    QCOMPARE(program.boxes.texts(), QStringList{Question});
    QFile after(target);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), previousBytes);
    QCOMPARE(program.main->Data1->absolutePosition(), 1); // the book was never let go
    QCOMPARE(program.main->lblDrive->text(), QStringLiteral("Unknown"));
}

void TestBackup::backupToChosenFolderRemembersItsPlace() {
    TempProgramFolder folder;
    QTemporaryDir stick;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(25));
    // A back-up already there, named in other letter case: it is the one replaced.
    test::writeBook(stick.filePath(QStringLiteral("corvanel.md1")), olderContacts());
    StartedProgram program(folder);
    test::MaintenanceDialogs dialogs(stick.path());

    program.boxes.answer(ui::Answer::Yes);
    program.main->mnuBUDB->trigger();

    const QString target = stick.filePath(QStringLiteral("corvanel.md1"));
    QCOMPARE(program.boxes.texts(), (QStringList{Question, BackedUp}));
    QCOMPARE(dialogs.label2BeforeOk, stick.path() + QLatin1Char('/'));
    QCOMPARE(dialogs.label2AfterOk, target);
    QCOMPARE(QDir(stick.path()).entryList(QDir::Files),
             QStringList{QStringLiteral("corvanel.md1")});
    QCOMPARE(test::bookRows(target), test::bookRows(folder.file(Book)));
    QCOMPARE(program.main->lblDrive->text(), target);
    QCOMPARE(settingsValue(folder, "BUdrive"), target);
    QVERIFY(!folder.exists(Backup)); // the program folder's back-up is another matter
    test::verifyBackOnBook(program);
}

void TestBackup::targetHasOneSeparator() {
    QCOMPARE(backupTarget(QStringLiteral("/")), QStringLiteral("/Corvanel.MD1"));
    QTemporaryDir dir;
    QCOMPARE(backupTarget(dir.path()), dir.path() + QStringLiteral("/Corvanel.MD1"));
    QCOMPARE(backupTarget(dir.path() + QLatin1Char('/')),
             dir.path() + QStringLiteral("/Corvanel.MD1"));

    TempProgramFolder folder;
    StartedProgram program(folder);
    frmSaveDB chooser(*program.context);
    chooser.Form_Load();
    QVERIFY(chooser.Dir2->setPath(QStringLiteral("/")));
    QCOMPARE(chooser.Label2->text(), QStringLiteral("/"));

    // The root of a drive (here a mounted disk) takes the back-up directly under it.
    test::SmallDisk disk(dir.path(), "4m");
    if (!disk.mounted())
        QSKIP(qPrintable(disk.whyNot()));
    test::writeBook(folder.file(Book), test::contactsWithPhotos(3));
    program.main->Data1->refresh();
    test::MaintenanceDialogs dialogs(dir.path());
    program.boxes.answer(ui::Answer::Yes);
    program.main->mnuBUDB->trigger();
    QCOMPARE(dialogs.label2AfterOk, dir.path() + QStringLiteral("/Corvanel.MD1"));
    QCOMPARE(test::bookRows(dialogs.label2AfterOk).size(), 3);
}

void TestBackup::programFolderFailuresKeepPreviousBackup_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("texts");
    const QStringList silent{Question};
    const QStringList readOnly{
        Question, QStringLiteral("Check Disk!!! Disk write protected or not accesible.")};
    QTest::newRow("folder read-only") << "read-only" << int(Step::ReleaseBook) << readOnly;
    QTest::newRow("rename refused") << "read-only" << int(Step::Swap) << readOnly;
    QTest::newRow("full disk") << "full" << int(Step::Compact)
                               << QStringList{
                                      Question,
                                      QStringLiteral("Not enough room on current disk! Selcet a "
                                                     "different disk and try again.")};
    QTest::newRow("compaction refused: book held open") << "held" << int(Step::Compact) << silent;
    QTest::newRow("copy misses a contact") << "short" << int(Step::CheckCopy) << silent;
    QTest::newRow("stale temporary file")
        << "stale" << int(Step::ReleaseBook) << QStringList{Question, BackedUp};
    QTest::newRow("missing stand-by file")
        << "no stand-by" << int(Step::ReleaseBook) << QStringList{Question, BackedUp};
}

void TestBackup::programFolderFailuresKeepPreviousBackup() {
    QFETCH(QString, fault);
    QFETCH(int, step);
    QFETCH(QStringList, texts);
    TempProgramFolder folder;
    test::SmallDisk disk(folder.path(), "256k");
    if (fault == QLatin1String("full") && !disk.mounted())
        QSKIP(qPrintable(disk.whyNot()));
    test::writeBook(folder.file(Book), test::contactsWithPhotos(9));
    test::writeBook(folder.file(Backup), olderContacts());
    const QByteArray bookBytes = folder.read(Book);
    const QByteArray previous = folder.read(Backup);
    test::ReadOnlyFolder readOnly(folder.path());
    Faults faults(folder, &readOnly, &disk);
    {
        StartedProgram program(folder);
        test::MaintenanceDialogs dialogs;
        StepScript script;
        script.at(Step(step), [&](const QString& path) {
            if (!faults.bringAbout(fault, path) && fault == QLatin1String("stale"))
                folder.write(QStringLiteral("Corvanel.MD1.new"), QByteArray(9000, 's'));
        });

        program.boxes.answer(ui::Answer::Yes);
        program.main->mnuBUDB->trigger();
        if (!faults.whyNot().isEmpty())
            QSKIP(qPrintable(faults.whyNot()));

        QCOMPARE(program.boxes.texts(), texts);
        QCOMPARE(folder.read(Book), bookBytes);
        test::verifyBackOnBook(program);
        if (texts.last() == BackedUp) {
            QCOMPARE(test::bookRows(folder.file(Backup)), test::bookRows(folder.file(Book)));
            QCOMPARE(test::leftovers(folder.path()), QStringList());
            return;
        }
        QCOMPARE(folder.read(Backup), previous);
        if (fault != QLatin1String("read-only"))
            QCOMPARE(test::leftovers(folder.path()), QStringList());

        // With the cause gone, the next back-up is made and clears what this one left.
        faults.undo();
        program.boxes.clear();
        program.boxes.answer(ui::Answer::Yes);
        program.main->mnuBUDB->trigger();
        QCOMPARE(program.boxes.texts(), (QStringList{Question, BackedUp}));
        QCOMPARE(test::bookRows(folder.file(Backup)), test::bookRows(folder.file(Book)));
        QCOMPARE(test::leftovers(folder.path()), QStringList());
    }
}

void TestBackup::chosenFolderFailuresKeepPreviousBackup_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("texts");
    const QString readOnly =
        QStringLiteral("Check Disk!!! Disk write-protected or not accessible.");
    QTest::newRow("read-only target") << "read-only" << QStringList{Question, readOnly};
    QTest::newRow("full target disk")
        << "full"
        << QStringList{Question, QStringLiteral("Not enough room on current disk! Select a "
                                                "different disk and try again.")};
    QTest::newRow("target folder gone")
        << "gone" << QStringList{Question, QStringLiteral("That path doesn't exist.")};
    QTest::newRow("compaction refused: book held open")
        << "held" << QStringList{Question, readOnly};
}

void TestBackup::chosenFolderFailuresKeepPreviousBackup() {
    QFETCH(QString, fault);
    QFETCH(QStringList, texts);
    TempProgramFolder folder;
    QTemporaryDir stickRoot;
    const QString stick = stickRoot.filePath(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(stick));
    test::SmallDisk disk(stick, "256k");
    if (fault == QLatin1String("full") && !disk.mounted())
        QSKIP(qPrintable(disk.whyNot()));
    test::ReadOnlyFolder readOnly(stick);
    test::writeBook(folder.file(Book), test::contactsWithPhotos(9));
    const QString target = QDir(stick).filePath(Backup);
    test::writeBook(target, olderContacts());
    QFile previousFile(target);
    QVERIFY(previousFile.open(QIODevice::ReadOnly));
    const QByteArray previous = previousFile.readAll();
    previousFile.close();
    const QByteArray bookBytes = folder.read(Book);
    const QByteArray settingsBefore = folder.read(QStringLiteral("Corvanel.hig"));
    if (fault == QLatin1String("read-only")) {
        QString why;
        if (!readOnly.apply(&why))
            QSKIP(qPrintable(why));
    }
    Faults faults(folder, nullptr, &disk); // the stick is the disk that fills
    StartedProgram program(folder);
    test::MaintenanceDialogs dialogs(stick);
    StepScript script;
    if (fault == QLatin1String("full") || fault == QLatin1String("held"))
        script.at(Step::Compact, [&](const QString& path) { faults.bringAbout(fault, path); });
    if (fault == QLatin1String("gone"))
        script.at(Step::ReleaseBook, [&](const QString&) {
            disk.unmount(); // a stick pulled out: the folder is no longer there
            QDir(stick).removeRecursively();
        });

    program.boxes.answer(ui::Answer::Yes);
    program.main->mnuBUDB->trigger();

    QCOMPARE(program.boxes.texts(), texts);
    if (fault == QLatin1String("gone")) {
        QCOMPARE(program.boxes.asked().last().caption, QStringLiteral("Disk Error"));
        QCOMPARE(program.boxes.asked().last().buttons, ui::Buttons::YesNo);
        QCOMPARE(program.boxes.asked().last().icon, ui::Icon::Exclamation);
    } else {
        QFile after(target);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), previous);
        QCOMPARE(test::leftovers(stick), QStringList());
    }
    QCOMPARE(folder.read(Book), bookBytes);
    QCOMPARE(program.main->lblDrive->text(), QStringLiteral("Unknown"));
    QCOMPARE(folder.read(QStringLiteral("Corvanel.hig")), settingsBefore);
    test::verifyBackOnBook(program);
}

void TestBackup::diskErrorMessages_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("buttons");
    const int yesNo = int(ui::Buttons::YesNo);
    QTest::newRow("68") << 68 << "That device appears unavailable." << yesNo;
    QTest::newRow("61") << 61 << "Disk is full. Continue?" << int(ui::Buttons::YesNoCancel);
    QTest::newRow("64") << 64 << "That filename is illegal." << yesNo;
    QTest::newRow("76") << 76 << "That path doesn't exist." << yesNo;
    QTest::newRow("75: none") << 75 << QString() << 0;
    QTest::newRow("3026: none") << 3026 << QString() << 0;
}

void TestBackup::diskErrorMessages() {
    QFETCH(int, number);
    QFETCH(QString, text);
    QFETCH(int, buttons);
    test::ScriptedMessageBoxes boxes;
    DiskErrorMessage(number);
    if (text.isEmpty()) {
        QVERIFY(boxes.asked().isEmpty());
        return;
    }
    QCOMPARE(boxes.asked().size(), 1);
    const ui::MessageRequest& box = boxes.asked().first();
    QCOMPARE(box.text, text);
    QCOMPARE(int(box.buttons), buttons);
    QCOMPARE(box.icon, ui::Icon::Exclamation);
    QCOMPARE(box.caption, QStringLiteral("Disk Error"));
}

void TestBackup::driveThatCannotBeReadIsReported() {
    StartedProgram program;
    frmSaveDB chooser(*program.context);
    chooser.Form_Load();
    const QString before = chooser.Dir2->path();
    Q_EMIT chooser.Drive2->driveNotReady(QStringLiteral("/media/empty-drive"));
    QCOMPARE(program.boxes.texts(),
             QStringList{QStringLiteral("That device appears unavailable.")});
    QCOMPARE(chooser.Dir2->path(), before);
}

void TestBackup::automaticBackupOnlyWhenTicked_data() {
    QTest::addColumn<QByteArray>("state");
    QTest::addColumn<bool>("backedUp");
    QTest::newRow("ticked") << QByteArray("1") << true;
    QTest::newRow("cleared") << QByteArray("0") << false;
    QTest::newRow("greyed") << QByteArray("2") << false;
}

void TestBackup::automaticBackupOnlyWhenTicked() {
    QFETCH(QByteArray, state);
    QFETCH(bool, backedUp);
    StartedProgram program(
        {.contacts = QList{test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Carl"))},
         .settings = "BUdata=" + state + "\n"});
    program.main->show();
    program.boxes.answer(ui::Answer::Yes);
    program.main->close();
    QVERIFY(!program.main->isVisible());
    QCOMPARE(program.folder.exists(Backup), backedUp);
    if (backedUp)
        QCOMPARE(test::bookRows(program.folder.file(Backup)),
                 test::bookRows(program.folder.file(Book)));
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
