// The back-up made on exit: written again only when the book or the back-up is no longer what
// the last back-up left.

#include "BookFiller.h"
#include "core/frmMain.h"
#include "platform/engine/Database.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <sys/stat.h>

using namespace quillory;
using test::StartedProgram;
using test::TempProgramFolder;

namespace {

const QString book = QStringLiteral("Corvanel.MDB");
const QString backup = QStringLiteral("Corvanel.MD1");

QList<QVariantMap> threeContacts() {
    return {test::contactNamed(QStringLiteral("Smith"), QStringLiteral("Anna")),
            test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Carl")),
            test::contactNamed(QStringLiteral("Jones"), QStringLiteral("Beth"))};
}

// The file's inode and change time: a back-up written again is a new file renamed into place.
QPair<qint64, qint64> identity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {-1, -1};
    return {qint64(info.st_ino),
            qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
}

// One run of the program on `folder` that ends with Exit answered Yes; `beforeQuit` runs on the
// shown window first.
void runAndQuit(const TempProgramFolder& folder, const test::ProgramSetup& setup,
                const std::function<void(StartedProgram&)>& beforeQuit = {}) {
    StartedProgram program(folder, setup);
    program.main->show();
    if (beforeQuit)
        beforeQuit(program);
    program.boxes.answer(ui::Answer::Yes);
    program.main->close();
    QVERIFY(!program.main->isVisible());
    // The back-up's check is the last look at the book: it is not opened again to be closed.
    QVERIFY(!engine::isHeldOpen(folder.file(book)));
    // Only the question: no news of a failed back-up.
    QCOMPARE(program.boxes.asked().size(), 1);
}

void overwrite(const QString& path, qint64 at, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(at));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestExitBackup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void backupWrittenOnlyWhenSomethingChanged_data();
    void backupWrittenOnlyWhenSomethingChanged();
    void typingThatCannotBeSavedLeavesABackupOfTheBookOnDisk();
};

void TestExitBackup::backupWrittenOnlyWhenSomethingChanged_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("writtenAgain");
    QTest::newRow("nothing changed") << "none" << false;
    QTest::newRow("a card edited in the window") << "card" << true;
    QTest::newRow("the book changed by another program") << "book" << true;
    QTest::newRow("the book put back from another copy") << "book replaced" << true;
    QTest::newRow("the back-up deleted") << "backup deleted" << true;
    QTest::newRow("the back-up cut short") << "backup truncated" << true;
    QTest::newRow("a page of the back-up overwritten") << "backup overwritten" << true;
    QTest::newRow("the back-up's record lost") << "record deleted" << true;
    QTest::newRow("the back-up's record garbled") << "record garbled" << true;
}

void TestExitBackup::backupWrittenOnlyWhenSomethingChanged() {
    QFETCH(QString, change);
    QFETCH(bool, writtenAgain);
    TempProgramFolder folder;
    runAndQuit(folder, {.contacts = threeContacts()});
    QVERIFY(folder.exists(backup));
    const auto first = identity(folder.file(backup));

    if (change == QLatin1String("book")) {
        auto db = engine::Database::open(folder.file(book));
        db->exec(QStringLiteral("UPDATE PhoneBK SET name = 'Smythe' WHERE name = 'Smith'"));
    } else if (change == QLatin1String("book replaced")) {
        test::writeBook(folder.file(QStringLiteral("other.mdb")),
                        {test::contactNamed(QStringLiteral("Other"), QStringLiteral("Olga"))});
        QVERIFY(QFile::remove(folder.file(book)));
        QVERIFY(QFile::rename(folder.file(QStringLiteral("other.mdb")), folder.file(book)));
    } else if (change == QLatin1String("backup deleted")) {
        QVERIFY(QFile::remove(folder.file(backup)));
    } else if (change == QLatin1String("backup truncated")) {
        QVERIFY(QFile::resize(folder.file(backup), QFileInfo(folder.file(backup)).size() - 1024));
    } else if (change == QLatin1String("backup overwritten")) {
        overwrite(folder.file(backup), 4096, QByteArray(4096, '\0'));
    } else if (change == QLatin1String("record deleted")) {
        QVERIFY(QFile::remove(folder.file(backup + QStringLiteral(".state"))));
    } else if (change == QLatin1String("record garbled")) {
        folder.write(backup + QStringLiteral(".state"), "book=1 2 x\n");
    }

    runAndQuit(folder, {}, [&](StartedProgram& program) {
        if (change == QLatin1String("card")) {
            program.main->Text1->setText(QStringLiteral("Browne"));
        }
    });

    QVERIFY(folder.exists(backup));
    QCOMPARE(identity(folder.file(backup)) != first, writtenAgain);
    // Whether written again or kept, the back-up holds the book as it is now, whole.
    QCOMPARE(test::bookNames(folder.file(backup)), test::bookNames(folder.file(book)));
    {
        auto copy = engine::Database::open(folder.file(backup), engine::Database::Mode::ReadOnly);
        QCOMPARE(copy->scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
    }
    QVERIFY(!folder.exists(backup + QStringLiteral(".new")));

    // A third run with nothing changed in between leaves the back-up alone.
    const auto second = identity(folder.file(backup));
    runAndQuit(folder, {});
    QCOMPARE(identity(folder.file(backup)), second);
}

void TestExitBackup::typingThatCannotBeSavedLeavesABackupOfTheBookOnDisk() {
    TempProgramFolder folder;
    StartedProgram program(folder, {.contacts = threeContacts()});
    program.main->show();
    const QStringList onDisk = test::bookNames(folder.file(book));
    program.main->Text1->setText(QStringLiteral("Browne"));
    // Another program is writing the book, so the typing cannot be written.
    test::BookWriteLock otherWriter(folder.file(book));

    program.boxes.answer(ui::Answer::Yes); // quit
    program.boxes.answer(ui::Answer::Yes); // quit without the typing
    program.main->close();

    QVERIFY(!program.main->isVisible());
    // The quit question, then why the typing was not saved; no news of a failed back-up.
    QCOMPARE(program.boxes.asked().size(), 2);
    QVERIFY2(program.boxes.texts().last().contains(QStringLiteral("locked")),
             qPrintable(program.boxes.texts().last()));
    otherWriter.release();
    QVERIFY(folder.exists(backup));
    QCOMPARE(test::bookNames(folder.file(backup)), onDisk);
}

QTEST_MAIN(TestExitBackup)
#include "test_exit_backup.moc"
