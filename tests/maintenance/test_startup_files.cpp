// What start-up does with the files in the program folder: the files a killed run left are
// cleared once the book is known to be whole, a folder that cannot be written is named as
// such, and the user's own folder is used whatever bytes its name is made of.

#include "app/HomeLock.h"
#include "BookFiller.h"
#include "core/BookFiles.h"
#include "core/frmMain.h"
#include "MaintenanceTestKit.h"
#include "platform/engine/Database.h"
#include "platform/files/FileOps.h"
#include "TestSupport.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quillory;
using namespace quillory::test;

namespace {

const QString Previous = QStringLiteral("Corvanel.MDB.previous");
const QString Incoming = QStringLiteral("Corvanel.MDB.new");

QList<QVariantMap> olderContacts() {
    return {contactNamed(QStringLiteral("Older"), QStringLiteral("Copy"))};
}

// Leaves in `folder` what a run killed at the named moment leaves, by running the program's
// own steps up to that moment.
void leaveAsAKillWould(const TempProgramFolder& folder, const QString& moment) {
    const QString book = folder.file(Book);
    if (moment == QLatin1String("compaction before its swap")) {
        bookfiles::prepareCompactedCopy(book, folder.file(QStringLiteral("Corvan1.MDB")));
        folder.write(QStringLiteral("Corvan1.MDB-journal"), QByteArray(512, 'j'));
    } else if (moment == QLatin1String("compaction while copying")) {
        folder.write(QStringLiteral("Corvan1.MDB"), QByteArray(8192, '\0'));
        folder.write(QStringLiteral("Corvan1.MDB-journal"), QByteArray(512, 'j'));
    } else if (moment == QLatin1String("restore before its swap")) {
        bookfiles::prepareCompactedCopy(book, folder.file(Incoming));
        bookfiles::keepAside(book); // a second name of the book itself
    } else if (moment == QLatin1String("restore after its swap")) {
        writeBook(folder.file(Incoming), olderContacts());
        bookfiles::keepAside(book);
        files::replaceFile(folder.file(Incoming), book);
    } else if (moment == QLatin1String("restore with the book moved aside")) {
        // A file system without second names: the book itself is under the kept-aside name.
        writeBook(folder.file(Incoming), olderContacts());
        files::renameFile(book, folder.file(Previous));
    } else if (moment == QLatin1String("repair of a damaged book")) {
        writeBook(folder.file(QStringLiteral("Corvanel.MDB.repair")), olderContacts());
        folder.write(QStringLiteral("Corvanel.MDB.repair-journal"), QByteArray(512, 'j'));
    } else if (moment == QLatin1String("back-up before its swap")) {
        bookfiles::prepareCompactedCopy(book, folder.file(QStringLiteral("Corvanel.MD1.new")));
    } else if (moment == QLatin1String("settings save")) {
        folder.write(QStringLiteral("Corvanel.hig.qexxXC"), "[User Prefs]\nTip=1\n");
        folder.write(QStringLiteral("Corvanel.win.NSjOUo"), "[User Prefs]\nTop=5\n");
    } else if (moment == QLatin1String("settings save, names in other letter case")) {
        folder.write(QStringLiteral("corvanel.HIG.AbCdEf"), "[User Prefs]\n");
        folder.write(QStringLiteral("CORVAN1.mdb"), QByteArray(4096, '\0'));
    } else {
        QFAIL(qPrintable(QStringLiteral("no such moment: ") + moment));
    }
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name | QDir::IgnoreCase);
}

// The names in the folder `native` as the file system has them (text listings leave out a
// name that is not in the file names' encoding).
QList<QByteArray> rawEntries(const QByteArray& native) {
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(native.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        ::closedir(dir);
    }
    return names;
}

// Deletes the folder `native` and all in it, by the names' own bytes.
void removeRawTree(const QByteArray& native) {
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        for (const QByteArray& name : rawEntries(native))
            removeRawTree(native + '/' + name);
        ::rmdir(native.constData());
    } else {
        ::unlink(native.constData());
    }
}

// Starts the built program as a user does, with the raw bytes `arguments` and `home` for
// QUILLORY_HOME (none when empty), under a UTF-8 locale; its exit status, or -1 when it did
// not end within the time (it is then killed).
int startProgram(const QList<QByteArray>& arguments, const QByteArray& home) {
    QList<QByteArray> environment;
    for (char** entry = environ; *entry; ++entry) {
        const QByteArray variable(*entry);
        if (!variable.startsWith("QUILLORY_HOME=") && !variable.startsWith("LC_ALL=") &&
            !variable.startsWith("LANG="))
            environment.append(variable);
    }
    environment.append("LC_ALL=C.UTF-8");
    environment.append("QT_QPA_PLATFORM=offscreen");
    if (!home.isEmpty())
        environment.append("QUILLORY_HOME=" + home);
    QList<QByteArray> argv{QByteArray(QUILLORY_PROGRAM)};
    argv += arguments;
    argv.append("--exit-after-start");
    std::vector<char*> argPointers;
    for (QByteArray& argument : argv)
        argPointers.push_back(argument.data());
    argPointers.push_back(nullptr);
    std::vector<char*> envPointers;
    for (QByteArray& variable : environment)
        envPointers.push_back(variable.data());
    envPointers.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        ::execve(argPointers[0], argPointers.data(), envPointers.data());
        ::_exit(127);
    }
    if (child < 0)
        return -1;
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (clock.elapsed() > 60000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        QTest::qWait(50);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class TestStartupFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void leftoversOfAKilledRunAreClearedAtStart_data();
    void leftoversOfAKilledRunAreClearedAtStart();
    void leftoversStayWhileTheBookIsNotWhole_data();
    void leftoversStayWhileTheBookIsNotWhole();
    void readOnlyEmptyFolderIsNamedAsSuch();
    void userFolderWhoseNameIsNotUtf8IsUsed_data();
    void userFolderWhoseNameIsNotUtf8IsUsed();
    void secondStartOnTheSameHomeBringsTheFirstForward();
};

void TestStartupFiles::leftoversOfAKilledRunAreClearedAtStart_data() {
    QTest::addColumn<QString>("moment");
    for (const char* moment :
         {"compaction before its swap", "compaction while copying", "restore before its swap",
          "restore after its swap", "restore with the book moved aside", "repair of a damaged book",
          "back-up before its swap", "settings save", "settings save, names in other letter case"})
        QTest::newRow(moment) << QString::fromLatin1(moment);
}

void TestStartupFiles::leftoversOfAKilledRunAreClearedAtStart() {
    QFETCH(QString, moment);
    TempProgramFolder folder;
    writeBook(folder.file(Book), contactsWithPhotos(12));
    writeBook(folder.file(Backup), contactsWithPhotos(3));
    writeSettings(folder, "Tip=0\n");
    const QByteArray backupBytes = folder.read(Backup);
    leaveAsAKillWould(folder, moment);
    QVERIFY(entries(folder.path()).size() > 3);
    // The book as the killed run left it; moved aside, the book is the kept-aside file.
    const auto bookRowsBefore =
        bookRows(folder.exists(Book) ? folder.file(Book) : folder.file(Previous));

    StartedProgram program(folder);

    QCOMPARE(program.boxes.texts(), QStringList());
    QCOMPARE(entries(folder.path()),
             (QStringList{QStringLiteral("Corvanel.hig"), Backup, Book, QStringLiteral("db.MDB")}));
    QCOMPARE(bookRows(folder.file(Book)), bookRowsBefore);
    QCOMPARE(folder.read(Backup), backupBytes);
    QCOMPARE(program.main->Data1->recordCount(), bookRowsBefore.size());
}

void TestStartupFiles::leftoversStayWhileTheBookIsNotWhole_data() {
    QTest::addColumn<QString>("book"); // "missing", "text" or "other database"
    QTest::addColumn<QString>("moment");
    QTest::newRow("book missing, compaction copy beside it") << "missing"
                                                             << "compaction before its swap";
    QTest::newRow("book missing, back-up copy beside it") << "missing"
                                                          << "back-up before its swap";
    QTest::newRow("book not a database, restore after its swap") << "text"
                                                                 << "restore after its swap";
    QTest::newRow("book not a database, compaction copy") << "text"
                                                          << "compaction before its swap";
    QTest::newRow("book another program's, restore after its swap") << "other database"
                                                                    << "restore after its swap";
}

void TestStartupFiles::leftoversStayWhileTheBookIsNotWhole() {
    QFETCH(QString, book);
    QFETCH(QString, moment);
    TempProgramFolder folder;
    writeBook(folder.file(Book), contactsWithPhotos(8));
    leaveAsAKillWould(folder, moment);
    QFile::remove(folder.file(Book));
    if (book == QLatin1String("text")) {
        folder.write(Book, QByteArray("Not a book at all.\n").repeated(200));
    } else if (book == QLatin1String("other database")) {
        engine::Database::createNew(folder.file(Book))
            ->exec(QStringLiteral("CREATE TABLE Notes (line TEXT); INSERT INTO Notes VALUES "
                                  "('mine');"));
    }
    QStringList left = entries(folder.path());
    left.removeAll(Book);
    QVERIFY(!left.isEmpty());
    const QByteArray bookBytes = folder.read(Book);

    StartedProgram program(folder);

    for (const QString& name : left)
        QVERIFY2(folder.exists(name), qPrintable(name + QStringLiteral(" was deleted")));
    if (book != QLatin1String("missing"))
        QCOMPARE(folder.read(Book), bookBytes);
}

void TestStartupFiles::readOnlyEmptyFolderIsNamedAsSuch() {
    TempProgramFolder folder;
    ReadOnlyFolder readOnly(folder.path());
    QString why;
    if (!readOnly.apply(&why))
        QSKIP(qPrintable(why));

    StartedProgram program(folder);

    QCOMPARE(program.boxes.asked().size(), 1);
    const QString text = program.boxes.texts().first();
    QVERIFY2(text.contains(QStringLiteral("The program folder \"%1\" cannot be written to")
                               .arg(QDir::toNativeSeparators(folder.path()))),
             qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("No such file")), qPrintable(text));
    // No file was there to be left alone.
    QVERIFY2(!text.contains(QStringLiteral("left as it is")), qPrintable(text));
    QCOMPARE(program.boxes.asked().first().icon, ui::Icon::Exclamation);
    QCOMPARE(entries(folder.path()), QStringList());
}

void TestStartupFiles::userFolderWhoseNameIsNotUtf8IsUsed_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("existing");
    QTest::newRow("--home DIR") << "option" << true;
    QTest::newRow("--home=DIR") << "option=" << true;
    QTest::newRow("QUILLORY_HOME") << "environment" << true;
    QTest::newRow("--home DIR, folder not there yet") << "option" << false;
    QTest::newRow("QUILLORY_HOME, folder not there yet") << "environment" << false;
}

void TestStartupFiles::userFolderWhoseNameIsNotUtf8IsUsed() {
    QFETCH(QString, how);
    QFETCH(bool, existing);
    QTemporaryDir parent;
    // "Müller" in Latin-1: not UTF-8, so no text decoding of it leads back to it.
    const QByteArray folder = QFile::encodeName(parent.path()) + "/M\xfcller";
    const auto cleanUp = qScopeGuard([&] { removeRawTree(folder); });
    const QByteArray book = folder + "/Corvanel.MDB";
    if (existing)
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);

    int status = -1;
    if (how == QLatin1String("option"))
        status = startProgram({"--home", folder}, {});
    else if (how == QLatin1String("option="))
        status = startProgram({"--home=" + folder}, {});
    else
        status = startProgram({}, folder);

    QCOMPARE(status, 0);
    struct stat info {};
    QVERIFY2(::stat(book.constData(), &info) == 0, "no book in the user's folder");
    QVERIFY(S_ISREG(info.st_mode));
    // No second folder beside it, under a name the decoding made up.
    QCOMPARE(rawEntries(QFile::encodeName(parent.path())), QList<QByteArray>{"M\xfcller"});
    // And the book made there is a book of ours, reached through the folder's own bytes.
    QVERIFY(bookfiles::isWholeBook(files::folderFromNative(folder, false) +
                                   QStringLiteral("/Corvanel.MDB")));
}

void TestStartupFiles::secondStartOnTheSameHomeBringsTheFirstForward() {
    TempProgramFolder folder;
    writeBook(folder.file(Book), contactsWithPhotos(5));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QUILLORY_HOME"), folder.path());
    QProcess first;
    QProcess second;
    for (QProcess* program : {&first, &second})
        program->setProcessEnvironment(environment);
    const auto stop = qScopeGuard([&] {
        for (QProcess* program : {&first, &second}) {
            program->kill();
            program->waitForFinished();
        }
    });
    first.start(QStringLiteral(QUILLORY_PROGRAM), {});
    // The first program is up once it answers a start on its folder.
    QTRY_VERIFY_WITH_TIMEOUT(HomeLock::askToComeForward(folder.path()), 60000);

    second.start(QStringLiteral(QUILLORY_PROGRAM), {});
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(second.readAllStandardError()))
                                 .contains(QDir::toNativeSeparators(folder.file(Book))),
                             60000);
    QVERIFY2(said.contains(QStringLiteral("brought forward")), qPrintable(said));
    QCOMPARE(first.state(), QProcess::Running);

    // The lock goes with the program, however it ends: a start after a kill opens the book.
    first.kill();
    first.waitForFinished();
    QCOMPARE(startProgram({}, QFile::encodeName(folder.path())), 0);
}

QTEST_MAIN(TestStartupFiles)
#include "test_startup_files.moc"
