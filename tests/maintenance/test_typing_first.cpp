// Typing on the card is never lost to a maintenance command: each one writes it to the book
// before it lets go of the book, and one whose write fails says so and goes no further.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "MaintenanceTestKit.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace quillory;
using namespace quillory::test;
using bookfiles::Step;

namespace {

const QString Typed = QStringLiteral("Lisbon");
const QString Unsaved = QStringLiteral("The changes to this card could not be saved.");

QString storedCity(const QString& path, const QString& name) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    return db->scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE name = ?"), {name}).toString();
}

// A program folder with a book and a back-up in it, and another drive with a back-up too.
struct Setting {
    TempProgramFolder folder;
    QTemporaryDir otherDrive;
    QString name; // the first card's last name

    Setting() {
        test::writeBook(folder.file(Book), test::contactsWithPhotos(6));
        test::writeBook(folder.file(Backup), test::contactsWithPhotos(4));
        test::writeBook(QDir(otherDrive.path()).filePath(Backup), test::contactsWithPhotos(5));
    }
};

// Types into the city box of the first card as the user does.
void typeOnCard(StartedProgram& program) {
    QLineEdit* city = program.main->Text4;
    city->setFocus();
    city->selectAll();
    QTest::keyClicks(city, Typed);
    QVERIFY(program.main->Data1->hasPendingEdits());
}

// Runs `command` from the main window's menu, the dialogs answered as a user would (Yes to
// the question, the program folder or the other drive in the location dialogs).
void run(StartedProgram& program, const QString& command, const QString& otherDrive) {
    const bool elsewhere = command.endsWith(QLatin1String("elsewhere"));
    MaintenanceDialogs dialogs(elsewhere ? otherDrive : QString());
    if (command == QLatin1String("compact")) {
        program.main->mnuComDB->trigger();
    } else if (command == QLatin1String("repair")) {
        program.main->mnuRepDB->trigger();
    } else if (command.startsWith(QLatin1String("back-up"))) {
        program.boxes.answer(ui::Answer::Yes);
        program.main->mnuBUDB->trigger();
    } else {
        program.boxes.answer(ui::Answer::Yes);
        program.main->mnuResDB->trigger();
    }
}

void commands() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("success");
    QTest::addColumn<bool>("asks");
    QTest::newRow("compact") << "compact"
                             << "The Database has been Compacted." << false;
    QTest::newRow("repair") << "repair"
                            << "The Database has been repaired." << false;
    QTest::newRow("back-up here") << "back-up here"
                                  << "The Database has been Backed up." << true;
    QTest::newRow("back-up elsewhere") << "back-up elsewhere"
                                       << "The Database has been Backed up." << true;
    QTest::newRow("restore here") << "restore here"
                                  << "The Database has been Restored." << true;
    QTest::newRow("restore elsewhere") << "restore elsewhere"
                                       << "The Database has been Restored." << true;
}

} // namespace

class TestTypingFirst : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typingIsInTheBookBeforeTheCommandWorksOnIt_data() { commands(); }
    void typingIsInTheBookBeforeTheCommandWorksOnIt();
    void typingThatCannotBeWrittenStopsTheCommand_data() { commands(); }
    void typingThatCannotBeWrittenStopsTheCommand();
};

void TestTypingFirst::typingIsInTheBookBeforeTheCommandWorksOnIt() {
    QFETCH(QString, command);
    QFETCH(QString, success);
    Setting setting;
    StartedProgram program(setting.folder);
    const QString name = program.main->Text1->text();
    typeOnCard(program);
    // What the book holds when the command first works on the files (a restore replaces it
    // afterwards, so the end would not tell).
    QString atFirstFileStep;
    StepScript script;
    script.at(
        command == QLatin1String("repair") ? Step::Repair : Step::Compact,
        [&](const QString&) { atFirstFileStep = storedCity(setting.folder.file(Book), name); });

    run(program, command, setting.otherDrive.path());

    QCOMPARE(program.boxes.texts().last(), success);
    QCOMPARE(atFirstFileStep, Typed);
    QVERIFY(!program.main->Data1->hasPendingEdits());
    if (command.startsWith(QLatin1String("back-up"))) {
        // The back-up holds what was typed before it was made.
        const QString backup = command.endsWith(QLatin1String("elsewhere"))
                                   ? QDir(setting.otherDrive.path()).filePath(Backup)
                                   : setting.folder.file(Backup);
        QCOMPARE(storedCity(backup, name), Typed);
    }
}

void TestTypingFirst::typingThatCannotBeWrittenStopsTheCommand() {
    QFETCH(QString, command);
    QFETCH(QString, success);
    QFETCH(bool, asks);
    Setting setting;
    StartedProgram program(setting.folder);
    const QString name = program.main->Text1->text();
    typeOnCard(program);
    const QByteArray bookBytes = setting.folder.read(Book);
    const QByteArray backupBytes = setting.folder.read(Backup);
    StepScript script;
    BookWriteLock lock(setting.folder.file(Book));

    run(program, command, setting.otherDrive.path());

    // Told as leaving the card tells it, once, after the question when there is one.
    QCOMPARE(program.boxes.asked().size(), asks ? 2 : 1);
    QVERIFY2(program.boxes.texts().last().startsWith(Unsaved),
             qPrintable(program.boxes.texts().last()));
    QCOMPARE(program.boxes.asked().last().icon, ui::Icon::Exclamation);
    // Nothing went on: no file step after letting go was tried, the files are as they were,
    // and the typing is still on the card, still to be written.
    QCOMPARE(script.seen(), QList<Step>{Step::ReleaseBook});
    lock.release();
    QCOMPARE(setting.folder.read(Book), bookBytes);
    QCOMPARE(setting.folder.read(Backup), backupBytes);
    QCOMPARE(program.main->Text4->text(), Typed);
    QVERIFY(program.main->Data1->hasPendingEdits());
    QCOMPARE(program.main->Data1->databaseName(), setting.folder.file(Book));

    // With the lock gone, the same command writes the typing first and does its work.
    program.boxes.clear();
    QString atFirstFileStep;
    script.at(
        command == QLatin1String("repair") ? Step::Repair : Step::Compact,
        [&](const QString&) { atFirstFileStep = storedCity(setting.folder.file(Book), name); });
    run(program, command, setting.otherDrive.path());
    QCOMPARE(program.boxes.texts().last(), success);
    QCOMPARE(atFirstFileStep, Typed);
}

QTEST_MAIN(TestTypingFirst)
#include "test_typing_first.moc"
