// The restore as a user meets it: frmDB1 and frmGetDB, from the program folder or a chosen
// folder, on real files, with faults brought about at each step.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "maintenance/frmDB.h"
#include "maintenance/frmDB1.h"
#include "maintenance/frmGetDB.h"
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
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace quillory;
using namespace quillory::test;
using bookfiles::Step;

namespace {

const QString Question = QStringLiteral(
    "Are you sure you want to continue? This will restore your Database from your previous "
    "back-up!");
const QString Restored = QStringLiteral("The Database has been Restored.");
const QString NotFound = QStringLiteral("A backed up database file cannot be found.");

QList<QVariantMap> laterContacts() {
    return {test::contactNamed(QStringLiteral("Added"), QStringLiteral("Later")),
            test::contactNamed(QStringLiteral("Another"), QStringLiteral("Later"))};
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file that is not a book of this program, written at `path`.
void writeNotABook(const QString& kind, const QString& path) {
    QFile::remove(path);
    if (kind == QLatin1String("text")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Names and numbers, one a line.\n").repeated(300));
        return;
    }
    if (kind == QLatin1String("empty")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        return;
    }
    if (kind == QLatin1String("other database")) {
        auto db = engine::Database::createNew(path);
        db->exec(
            QStringLiteral("CREATE TABLE PhoneBK (name TEXT); INSERT INTO PhoneBK VALUES ('x');"));
        return;
    }
    test::writeBook(path, {test::contactNamed(QStringLiteral("Crafted"), QStringLiteral("Book"))});
    auto db = engine::Database::open(path);
    if (kind == QLatin1String("trigger"))
        db->exec(QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON PhoneBK BEGIN "
                                "DELETE FROM PhoneBK; END;"));
    else if (kind == QLatin1String("view"))
        db->exec(QStringLiteral("CREATE VIEW v AS SELECT * FROM PhoneBK;"));
    else if (kind == QLatin1String("missing field"))
        db->exec(QStringLiteral("ALTER TABLE PhoneBK DROP COLUMN email;"));
}

} // namespace

class TestRestore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogsCarryTheirTexts();
    void restoreFromProgramFolderAfterBackup();
    void answeringNoChangesNothing();
    void missingBackupIsReportedAndNothingChanges();
    void onlyABookOfThisProgramIsAccepted_data();
    void onlyABookOfThisProgramIsAccepted();
    void damagedBackupIsMendedWhereItLiesThenRestored();
    void damagedBackupOnReadOnlyDiskIsRefused();
    void failedRestoreKeepsTheBook_data();
    void failedRestoreKeepsTheBook();
    void bookKeptAsideComesBackAtStartUp();
    void chosenFolderRoundTripAndLocationAfterRestart();
    void folderWithoutBackupShowsEmptyListAndNotFound();
};

void TestRestore::dialogsCarryTheirTexts() {
    StartedProgram program;

    frmDB1 choice(*program.context);
    choice.Form_Load();
    QCOMPARE(choice.windowTitle(), QStringLiteral("Restore Database"));
    QCOMPARE(choice.Label1->text(),
             QStringLiteral("Select whether you would like to restore a back-up from the program "
                            "directory or from an external drive then click \"OK\"."));
    QCOMPARE(choice.OptLoc->text(), QStringLiteral("Restore from program directory"));
    QCOMPARE(choice.OptExt->text(), QStringLiteral("Restore from external drive.                   "
                                                   "(ie. CD-R/CD-RW/DVD-R/ZIP-Drive"));
    QCOMPARE(choice.OptExt->text().count(QLatin1Char(' ')), 3 + 19 + 1);
    QVERIFY(choice.OptLoc->isChecked());
    QCOMPARE(choice.Command1->text(), QStringLiteral("&OK"));
    QCOMPARE(choice.Command2->text(), QStringLiteral("&Cancel"));

    frmGetDB chooser(*program.context);
    chooser.Form_Load();
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Restore Database"));
    QCOMPARE(chooser.Label1->text(),
             QStringLiteral("Search the Drive and the Folder where you would like to restore the "
                            "back-up database file then, CLICK OK below. The file name "
                            "\"Corvanel.MD1\" will appear in the list box to the right if it "
                            "exists."));
    QCOMPARE(chooser.Drive2->toolTip(), QStringLiteral("Select drive to load text file from"));
    QCOMPARE(chooser.Dir2->toolTip(), QStringLiteral("Select directory to load text file from"));
    QCOMPARE(chooser.File2->pattern(), Backup);
    QCOMPARE(chooser.Label2->text(), QDir::currentPath() + QStringLiteral("/Corvanel.MD1"));
    QCOMPARE(chooser.Label3->text(), QStringLiteral("The last location you saved to was:"));
    QCOMPARE(chooser.lblDrive->text(), QStringLiteral("Unknown"));
    QVERIFY(chooser.lblDrive->font().bold());
    QCOMPARE(chooser.Command1->text(), QStringLiteral("&OK"));
    QCOMPARE(chooser.Command2->text(), QStringLiteral("&Close"));
    QVERIFY(chooser.Dir2->setPath(QStringLiteral("/")));
    QCOMPARE(chooser.Label2->text(), QStringLiteral("/Corvanel.MD1"));
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestRestore::restoreFromProgramFolderAfterBackup() {
    StartedProgram program({.contacts = test::contactsWithPhotos(30)});
    program.boxes.answer(ui::Answer::Yes);
    BackupToProgramFolder(*program.context);
    const auto backedUp = test::bookRows(program.folder.file(Book));
    // The book changes after the back-up; the restore takes it back.
    program.main->Data1->deleteCurrent();
    program.main->Data1->moveFirst();
    QCOMPARE(test::bookRows(program.folder.file(Book)).size(), backedUp.size() - 1);
    const QByteArray backupBytes = program.folder.read(Backup);
    program.boxes.clear();
    test::MaintenanceDialogs dialogs;
    program.boxes.answer(ui::Answer::Yes);

    program.main->mnuResDB->trigger();

    test::verifyQuestion(program.boxes, Question, QStringLiteral("Restore Database"));
    QCOMPARE(program.boxes.texts(), (QStringList{Question, Restored}));
    QCOMPARE(program.boxes.asked().last().icon, ui::Icon::None);
    QCOMPARE(test::bookRows(program.folder.file(Book)), backedUp);
    QCOMPARE(program.folder.read(Backup), backupBytes); // still there, to be restored again
    QCOMPARE(test::leftovers(program.folder.path()), QStringList());
    test::verifyBackOnBook(program);
}

void TestRestore::answeringNoChangesNothing() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(8));
    test::writeBook(folder.file(Backup), laterContacts());
    const QByteArray bookBytes = folder.read(Book);
    StartedProgram program(folder);
    program.main->Data1->moveLast();
    test::MaintenanceDialogs dialogs;
    program.boxes.answer(ui::Answer::No);

    program.main->Toolbar2_ButtonMenuClick(QStringLiteral("RsD"));

    QCOMPARE(program.boxes.texts(), QStringList{Question});
    QCOMPARE(folder.read(Book), bookBytes);
    QCOMPARE(program.main->Data1->absolutePosition(), 7);
}

void TestRestore::missingBackupIsReportedAndNothingChanges() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(8));
    const QByteArray bookBytes = folder.read(Book);
    StartedProgram program(folder);
    program.main->Data1->moveNext();
    test::MaintenanceDialogs dialogs;
    program.boxes.answer(ui::Answer::Yes);

    program.main->mnuResDB->trigger();

    QCOMPARE(program.boxes.texts(), (QStringList{Question, NotFound}));
    QCOMPARE(program.boxes.asked().last().icon, ui::Icon::Exclamation);
    QCOMPARE(program.boxes.asked().last().buttons, ui::Buttons::Ok);
    QCOMPARE(program.boxes.asked().last().caption, QStringLiteral("Quillory"));
    QCOMPARE(folder.read(Book), bookBytes);
    QCOMPARE(program.main->Data1->absolutePosition(), 1); // never let go
}

void TestRestore::onlyABookOfThisProgramIsAccepted_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("elsewhere"); // on another drive, chosen in frmGetDB
    for (const char* kind : {"text", "empty", "other database", "trigger", "view", "missing field"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << false;
    QTest::newRow("text, elsewhere") << QStringLiteral("text") << true;
    QTest::newRow("other database, elsewhere") << QStringLiteral("other database") << true;
}

void TestRestore::onlyABookOfThisProgramIsAccepted() {
    QFETCH(QString, kind);
    QFETCH(bool, elsewhere);
    TempProgramFolder folder;
    QTemporaryDir otherDrive;
    const QString backup =
        elsewhere ? QDir(otherDrive.path()).filePath(Backup) : folder.file(Backup);
    test::writeBook(folder.file(Book), test::contactsWithPhotos(8));
    writeNotABook(kind, backup);
    const QByteArray bookBytes = folder.read(Book);
    const QByteArray backupBytes = readFile(backup);
    StartedProgram program(folder);
    program.main->Data1->moveNext();
    program.boxes.answer(ui::Answer::Yes);
    test::MaintenanceDialogs dialogs(elsewhere ? otherDrive.path() : QString());

    program.main->mnuResDB->trigger();

    // Named as what it is, not as missing: the user sees the file is there.
    QCOMPARE(program.boxes.texts(),
             (QStringList{Question, QStringLiteral("\"%1\" is not an address book of Quillory, so "
                                                   "nothing has been restored.\n\nThe book is "
                                                   "unchanged.")
                                        .arg(QDir::toNativeSeparators(backup))}));
    QCOMPARE(program.boxes.asked().last().icon, ui::Icon::Exclamation);
    QCOMPARE(folder.read(Book), bookBytes);
    QCOMPARE(readFile(backup), backupBytes);
    QCOMPARE(program.main->Data1->absolutePosition(), 1);
    QCOMPARE(test::leftovers(folder.path()), QStringList());
}

void TestRestore::damagedBackupIsMendedWhereItLiesThenRestored() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), laterContacts());
    test::writeBook(folder.file(Backup), test::contactsWithPhotos(300));
    test::damageMiddleOfTable(folder.file(Backup));
    const auto readable = test::readableRows(folder.file(Backup), 300);
    QVERIFY(!test::isHealthy(folder.file(Backup)));
    StartedProgram program(folder);
    program.boxes.answer(ui::Answer::Yes);

    RestoreFromProgramFolder(*program.context);

    QCOMPARE(program.boxes.texts(), (QStringList{Question, Restored}));
    QVERIFY(test::isHealthy(folder.file(Backup)));
    const auto restored = test::bookRows(folder.file(Book));
    QCOMPARE(restored, test::bookRows(folder.file(Backup)));
    for (const QVariantList& row : readable)
        QVERIFY(restored.contains(row));
    test::verifyBackOnBook(program);
}

void TestRestore::damagedBackupOnReadOnlyDiskIsRefused() {
    TempProgramFolder folder;
    QTemporaryDir disc;
    test::writeBook(folder.file(Book), laterContacts());
    const QString backup = QDir(disc.path()).filePath(Backup);
    test::writeBook(backup, test::contactsWithPhotos(200));
    test::damageMiddleOfTable(backup);
    const QByteArray damaged = readFile(backup);
    const QByteArray bookBytes = folder.read(Book);
    test::ReadOnlyFolder readOnly(disc.path());
    QString why;
    if (!readOnly.apply(&why))
        QSKIP(qPrintable(why));
    StartedProgram program(folder);
    test::MaintenanceDialogs dialogs(disc.path());
    program.boxes.answer(ui::Answer::Yes);

    program.main->mnuResDB->trigger();

    QCOMPARE(program.boxes.texts(), (QStringList{Question, NotFound}));
    QCOMPARE(readFile(backup), damaged);
    QCOMPARE(folder.read(Book), bookBytes);
}

void TestRestore::failedRestoreKeepsTheBook_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("restores");
    QTest::newRow("full disk") << "full" << int(Step::Compact) << false;
    QTest::newRow("copy misses a contact") << "short" << int(Step::CheckCopy) << false;
    QTest::newRow("rename refused") << "read-only" << int(Step::Swap) << false;
    QTest::newRow("restored copy cannot be opened") << "garbage" << int(Step::ReopenBook) << false;
    QTest::newRow("back-up gone before the copy") << "gone" << int(Step::Compact) << false;
    QTest::newRow("stale kept-aside book") << "stale" << int(Step::ReleaseBook) << true;
    QTest::newRow("stale temporary file") << "stale new" << int(Step::ReleaseBook) << true;
    QTest::newRow("missing stand-by file") << "no stand-by" << int(Step::ReleaseBook) << true;
}

void TestRestore::failedRestoreKeepsTheBook() {
    QFETCH(QString, fault);
    QFETCH(int, step);
    QFETCH(bool, restores);
    TempProgramFolder folder;
    test::SmallDisk disk(folder.path(), "256k");
    if (fault == QLatin1String("full") && !disk.mounted())
        QSKIP(qPrintable(disk.whyNot()));
    test::writeBook(folder.file(Book), laterContacts());
    test::writeBook(folder.file(Backup), test::contactsWithPhotos(9));
    const QByteArray bookBytes = folder.read(Book);
    const QByteArray backupBytes = folder.read(Backup);
    const auto backupRows = test::bookRows(folder.file(Backup));
    test::ReadOnlyFolder readOnly(folder.path());
    StartedProgram program(folder);
    Faults faults(folder, &readOnly, &disk);
    StepScript script;
    script.at(Step(step), [&](const QString& path) {
        if (faults.bringAbout(fault, path))
            return;
        if (fault == QLatin1String("garbage")) {
            QFile restored(path);
            QVERIFY(restored.open(QIODevice::ReadWrite));
            restored.write(QByteArray(4096, 'g'));
        } else if (fault == QLatin1String("gone")) {
            QFile::rename(folder.file(Backup), folder.file(QStringLiteral("elsewhere.bin")));
        } else if (fault == QLatin1String("stale")) {
            test::writeBook(folder.file(QStringLiteral("Corvanel.MDB.previous")),
                            {test::contactNamed(QStringLiteral("Stale"), QStringLiteral("Aside"))});
        } else if (fault == QLatin1String("stale new")) {
            folder.write(QStringLiteral("Corvanel.MDB.new"), QByteArray(5000, 'n'));
        }
    });
    program.boxes.answer(ui::Answer::Yes);

    RestoreFromProgramFolder(*program.context);
    if (!faults.whyNot().isEmpty())
        QSKIP(qPrintable(faults.whyNot()));

    test::verifyBackOnBook(program);
    if (restores) {
        QCOMPARE(program.boxes.texts(), (QStringList{Question, Restored}));
        QCOMPARE(test::bookRows(folder.file(Book)), backupRows);
        QCOMPARE(test::leftovers(folder.path()), QStringList());
        return;
    }
    QCOMPARE(program.boxes.asked().size(), 2);
    const QString text = program.boxes.texts().last();
    if (fault == QLatin1String("gone")) {
        QCOMPARE(text, NotFound);
    } else {
        QVERIFY2(text.startsWith(QStringLiteral("The Database could not be restored.")),
                 qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("The book is unchanged.")), qPrintable(text));
        QCOMPARE(program.boxes.asked().last().icon, ui::Icon::Exclamation);
        QCOMPARE(folder.read(Backup), backupBytes);
    }
    QCOMPARE(folder.read(Book), bookBytes);
    if (fault != QLatin1String("read-only"))
        QCOMPARE(test::leftovers(folder.path()), QStringList());

    // With the cause gone, the next restore works and clears what this one could not.
    faults.undo();
    QFile::rename(folder.file(QStringLiteral("elsewhere.bin")), folder.file(Backup));
    program.boxes.clear();
    program.boxes.answer(ui::Answer::Yes);
    RestoreFromProgramFolder(*program.context);
    QCOMPARE(program.boxes.texts(), (QStringList{Question, Restored}));
    QCOMPARE(test::bookRows(folder.file(Book)), backupRows);
    QCOMPARE(test::leftovers(folder.path()), QStringList());
}

void TestRestore::bookKeptAsideComesBackAtStartUp() {
    TempProgramFolder folder;
    // A restore cut short between keeping the book aside and putting the new one in place.
    test::writeBook(folder.file(QStringLiteral("Corvanel.MDB.previous")),
                    test::contactsWithPhotos(7));
    const auto kept = test::bookRows(folder.file(QStringLiteral("Corvanel.MDB.previous")));
    StartedProgram program(folder);

    QCOMPARE(test::bookRows(folder.file(Book)), kept);
    QVERIFY(!folder.exists(QStringLiteral("Corvanel.MDB.previous")));
    QCOMPARE(program.main->Data1->recordCount(), 7);
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestRestore::chosenFolderRoundTripAndLocationAfterRestart() {
    TempProgramFolder folder;
    QTemporaryDir stick;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(20));
    const auto backedUp = test::bookRows(folder.file(Book));
    const QString target = QDir(stick.path()).filePath(Backup);
    {
        StartedProgram program(folder);
        test::MaintenanceDialogs dialogs(stick.path()); // answers the back-up dialogs too
        program.boxes.answer(ui::Answer::Yes);
        program.main->mnuBUDB->trigger();
        QCOMPARE(program.main->lblDrive->text(), target);
    }
    // The program is started again; the book changes; the back-up on the stick brings it back.
    test::writeBook(folder.file(Book), laterContacts());
    StartedProgram program(folder);
    test::MaintenanceDialogs dialogs(stick.path());
    program.boxes.answer(ui::Answer::Yes);

    program.main->mnuResDB->trigger();

    QCOMPARE(dialogs.lastLocation, target);
    QVERIFY(dialogs.lastLocationBold);
    QCOMPARE(dialogs.label2BeforeOk, target);
    QCOMPARE(dialogs.files, QStringList{Backup});
    QCOMPARE(program.boxes.texts(), (QStringList{Question, Restored}));
    QCOMPARE(test::bookRows(folder.file(Book)), backedUp);
    test::verifyBackOnBook(program);
}

void TestRestore::folderWithoutBackupShowsEmptyListAndNotFound() {
    TempProgramFolder folder;
    QTemporaryDir empty;
    test::writeBook(folder.file(Book), laterContacts());
    const QByteArray bookBytes = folder.read(Book);
    StartedProgram program(folder);
    test::MaintenanceDialogs dialogs(empty.path());
    program.boxes.answer(ui::Answer::Yes);

    program.main->mnuResDB->trigger();

    QVERIFY(dialogs.files.isEmpty());
    QCOMPARE(dialogs.label2BeforeOk, QDir(empty.path()).filePath(Backup));
    QCOMPARE(program.boxes.texts(), (QStringList{Question, NotFound}));
    QCOMPARE(folder.read(Book), bookBytes);
}

QTEST_MAIN(TestRestore)
#include "test_restore.moc"
