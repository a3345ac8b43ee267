// The program started with --import and --export: no window, a summary, an exit code, and a
// one-line reason when it fails.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <csignal>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillory;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const test::TempProgramFolder& folder, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No screen at all: the options must not need one.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.path());
    process.start(QStringLiteral(QUILLORY_PROGRAM),
                  QStringList{QStringLiteral("--home"), folder.path()} + arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

const QByteArray twoCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nTEL:555-0100\r\n"
                            "ADR:;;;Salem;;;\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:4.0\r\n"
                            "FN:Rick Roe\r\nEND:VCARD\r\n";

} // namespace

class TestExchangeCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLine_data();
    void commandLine();
    void exportThenImportElsewhere();
    void importWhileProgramOpen();
    void fullDisk_data();
    void fullDisk();
    void exportAfterKilledWriter();
};

void TestExchangeCommand::commandLine_data() {
    QTest::addColumn<QByteArray>("input");  // written as in.vcf / in.csv
    QTest::addColumn<bool>("bookWithJane"); // the book holds Doe, Jane (555-0100) beforehand
    QTest::addColumn<bool>("bookLocked");   // another program holds the book's write lock
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");    // found in standard output, or the error stream
    QTest::addColumn<QStringList>("names"); // the book afterwards, in id order

    QTest::newRow("import vCard into a new book")
        << twoCards << false << false << QStringList{"--import", "in.vcf"} << 0
        << "Imported 2, updated 0, skipped 0 (duplicates), unreadable 0."
        << QStringList{"Doe,Jane", "Roe,Rick"};
    QTest::newRow("import CSV") << QByteArray("Last Name;First Name;Home Phone\r\nLee;Ann;1\r\n")
                                << false << false
                                << QStringList{"--import", "in.csv", "--format", "csv"} << 0
                                << "Imported 1" << QStringList{"Lee,Ann"};
    QTest::newRow("duplicate skipped")
        << twoCards << true << false << QStringList{"--import", "in.vcf"} << 0
        << "Imported 1, updated 0, skipped 1" << QStringList{"Doe,Jane", "Roe,Rick"};
    QTest::newRow("duplicate added")
        << twoCards << true << false << QStringList{"--import", "in.vcf", "--on-duplicate", "add"}
        << 0 << "Imported 2" << QStringList{"Doe,Jane", "Doe,Jane", "Roe,Rick"};
    QTest::newRow("duplicate updated")
        << twoCards << true << false
        << QStringList{"--import", "in.vcf", "--on-duplicate", "update"} << 0
        << "Imported 1, updated 1" << QStringList{"Doe,Jane", "Roe,Rick"};
    QTest::newRow("missing file") << QByteArray() << true << false
                                  << QStringList{"--import", "nowhere.vcf"} << 1
                                  << "could not be found" << QStringList{"Doe,Jane"};
    QTest::newRow("nothing readable")
        << QByteArray("BEGIN:VCARD\r\nN:Doe;Jim\r\n") << true << false
        << QStringList{"--import", "in.vcf"} << 1
        << "nothing was imported; line 1: the card has no END:VCARD" << QStringList{"Doe,Jane"};
    QTest::newRow("text that is no CSV of contacts")
        << QByteArray("Quillory\r\n\r\nAn address book.\r\n") << true << false
        << QStringList{"--import", "in.csv"} << 1 << "is no CSV file of contacts"
        << QStringList{"Doe,Jane"};
    QTest::newRow("book being written")
        << twoCards << true << true << QStringList{"--import", "in.vcf"} << 1
        << "is being written by another program" << QStringList{"Doe,Jane"};
    QTest::newRow("unknown format")
        << twoCards << true << false << QStringList{"--import", "in.vcf", "--format", "ldif"} << 2
        << "--format for --import is vcard or csv" << QStringList{"Doe,Jane"};
    QTest::newRow("policy without import")
        << twoCards << true << false << QStringList{"--export", "out.vcf", "--on-duplicate", "add"}
        << 2 << "--on-duplicate goes with --import" << QStringList{"Doe,Jane"};
    QTest::newRow("contact type chosen")
        << twoCards << false << false
        << QStringList{"--import", "in.vcf", "--contact-type", "business"} << 0 << "Imported 2"
        << QStringList{"Doe,Jane", "Roe,Rick"};
    QTest::newRow("unknown contact type")
        << twoCards << true << false
        << QStringList{"--import", "in.vcf", "--contact-type", "family"} << 2
        << "--contact-type is auto, personal or business" << QStringList{"Doe,Jane"};
    QTest::newRow("export into a missing folder")
        << QByteArray() << true << false << QStringList{"--export", "no/such/folder/out.csv"} << 1
        << "cannot be written" << QStringList{"Doe,Jane"};
    QTest::newRow("export over the book")
        << QByteArray() << true << false << QStringList{"--export", "./CORVANEL.mdb"} << 1
        << "Quillory's own file \"Corvanel.MDB\"" << QStringList{"Doe,Jane"};
    QTest::newRow("export through a link to the book")
        << QByteArray() << true << false << QStringList{"--export", "link.vcf"} << 1
        << "\"link.vcf\" is Quillory's own file" << QStringList{"Doe,Jane"};
    QTest::newRow("export over the back-up")
        << QByteArray() << true << false << QStringList{"--export", "Corvanel.MD1"} << 1
        << "own file \"Corvanel.MD1\"" << QStringList{"Doe,Jane"};
    QTest::newRow("report PDF over the book")
        << QByteArray() << true << false
        << QStringList{"--report", "combook1.rpt", "--pdf", "Corvanel.MDB"} << 1
        << "own file \"Corvanel.MDB\"" << QStringList{"Doe,Jane"};
    QTest::newRow("envelope PDF over the settings")
        << QByteArray() << true << false << QStringList{"--envelope", "--pdf", "Corvanel.hig"} << 1
        << "own file \"Corvanel.hig\"" << QStringList{"Doe,Jane"};
    QTest::newRow("export vCard 3.0")
        << QByteArray() << true << false << QStringList{"--export", "out.vcf", "--format", "vcard3"}
        << 0 << "Exported 1 contacts" << QStringList{"Doe,Jane"};
    QTest::newRow("export vCard 2.1") << QByteArray() << true << false
                                      << QStringList{"--export", "out.vcf", "--format", "vcard21"}
                                      << 0 << "Exported 1 contacts" << QStringList{"Doe,Jane"};
}

void TestExchangeCommand::commandLine() {
    QFETCH(QByteArray, input);
    QFETCH(bool, bookWithJane);
    QFETCH(bool, bookLocked);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QStringList, names);
    test::TempProgramFolder folder;
    const QString book = folder.file(contact::file::BookName);
    if (bookWithJane) {
        QVariantMap jane = test::contactNamed(QStringLiteral("Doe"), QStringLiteral("Jane"));
        test::writeBook(book, {jane});
    }
    if (!input.isEmpty()) {
        folder.write(QStringLiteral("in.vcf"), input);
        folder.write(QStringLiteral("in.csv"), input);
    }
    QFile::link(book, folder.file(QStringLiteral("link.vcf")));
    std::optional<test::BookWriteLock> lock;
    if (bookLocked)
        lock.emplace(book);
    const Run run = runProgram(folder, arguments);
    lock.reset();
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode == 0) {
        QVERIFY2(run.out.contains(output), qPrintable(run.out));
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    } else {
        QVERIFY2(run.err.contains(output), qPrintable(run.err));
        // One line, whatever went wrong.
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    }
    QCOMPARE(test::bookNames(book), names);
    if (exitCode == 0 && arguments.contains(QStringLiteral("business")))
        QCOMPARE(engine::Database::open(book)->scalar(
                     QStringLiteral("SELECT group_concat(DISTINCT extra4) FROM PhoneBK")),
                 QVariant(QStringLiteral("Business Contact")));
    if (arguments.contains(QStringLiteral("vcard3")))
        QVERIFY(folder.read(QStringLiteral("out.vcf")).contains("VERSION:3.0\r\nFN:Jane Doe\r\n"));
    if (arguments.contains(QStringLiteral("vcard21")))
        QVERIFY(folder.read(QStringLiteral("out.vcf")).contains("VERSION:2.1\r\nFN:Jane Doe\r\n"));
}

// A book moved to another folder through a file, photos included: PNG and JPEG photos are kept
// as the bytes of their files, and come back byte for byte.
void TestExchangeCommand::exportThenImportElsewhere() {
    for (const auto& [name, format] : {std::pair{QStringLiteral("book.vcf"), "PNG"},
                                       {QStringLiteral("book.vcf"), "JPEG"},
                                       {QStringLiteral("book.csv"), "PNG"},
                                       {QStringLiteral("book.csv"), "JPEG"}}) {
        test::TempProgramFolder from;
        test::TempProgramFolder to;
        QVariantMap jane = test::contactNamed(QStringLiteral("Doe"), QStringLiteral("Jane"));
        QImage picture(20, 30, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QByteArray photo;
        QBuffer buffer(&photo);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, format);
        jane.insert(QStringLiteral("bitmap"), photo);
        test::writeBook(from.file(contact::file::BookName), {jane});
        const QString file = from.file(name);
        QCOMPARE(runProgram(from, {QStringLiteral("--export"), file}).exitCode, 0);
        if (name.endsWith(QLatin1String(".vcf")))
            QVERIFY(from.read(name).contains("PHOTO:data:image/" + QByteArray(format).toLower()));
        const Run run = runProgram(to, {QStringLiteral("--import"), file});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("Imported 1,")), qPrintable(run.out));
        auto db = engine::Database::open(to.file(contact::file::BookName));
        QCOMPARE(db->scalar(QStringLiteral("SELECT bitmap FROM PhoneBK")).toByteArray(), photo);
        QCOMPARE(db->scalar(QStringLiteral("SELECT extra8 FROM PhoneBK")).toString(),
                 QStringLiteral("Jane Doe"));
    }
}

// The program is open on its book while the command line imports into it; the window shows the
// new contact once it re-reads the book.
void TestExchangeCommand::importWhileProgramOpen() {
    test::TempProgramFolder folder;
    test::ProgramSetup setup;
    setup.contacts =
        QList<QVariantMap>{test::contactNamed(QStringLiteral("Adams"), QStringLiteral("Amy"))};
    test::StartedProgram program(folder, setup);
    folder.write(QStringLiteral("in.vcf"), twoCards);
    const Run run = runProgram(folder, {QStringLiteral("--import"), QStringLiteral("in.vcf")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("Imported 2")), qPrintable(run.out));
    engine::DataSource& data = *program.main->Data1;
    data.refresh();
    QCOMPARE(data.recordCount(), 3);
}

// The first export gives the book's contacts their UIDs; tests that compare the book's bytes
// around a later export start from a book that has them.
static void giveUids(const test::TempProgramFolder& folder) {
    const Run run = runProgram(folder, {QStringLiteral("--export"), folder.file("uids.vcf")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
}

// On a disk that fills up, an import into a book there takes nothing and leaves the book byte
// for byte, and an export onto it names the cause.
void TestExchangeCommand::fullDisk_data() {
    QTest::addColumn<bool>("importing");
    QTest::addColumn<QString>("output");
    QTest::newRow("import")
        << true << "database or disk is full. Nothing was imported; the book is unchanged.";
    QTest::newRow("export") << false << "cannot be written: No space left on device.";
}

void TestExchangeCommand::fullDisk() {
    QFETCH(bool, importing);
    QFETCH(QString, output);
    test::TempProgramFolder folder;
    const QString disk = folder.file(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(disk));
    const test::SmallTmpfs small(disk, "1m");
    if (!small.mounted())
        QSKIP("a small tmpfs can be mounted only by root");
    const QString bookName =
        importing ? QStringLiteral("disk/Corvanel.MDB") : contact::file::BookName;
    const QString book = folder.file(bookName);
    QVariantMap jane = test::contactNamed(QStringLiteral("Doe"), QStringLiteral("Jane"));
    jane.insert(QStringLiteral("remarks"), QString(300000, u'r'));
    test::writeBook(book, {jane});
    QByteArray cards;
    for (int i = 0; i < 1000; ++i)
        cards += "BEGIN:VCARD\r\nFN:Al " + QByteArray::number(i) +
                 "\r\nNOTE:" + QByteArray(900, 'n') + "\r\nEND:VCARD\r\n";
    folder.write(QStringLiteral("in.vcf"), cards);
    // Some room is left, so that the export's write is cut short rather than refused at once.
    folder.write(QStringLiteral("disk/filler"), QByteArray(importing ? 100000 : 960000, 'f'));
    if (!importing)
        giveUids(folder);
    const QByteArray before = folder.read(bookName);
    const Run run = runProgram(
        folder, importing ? QStringList{"--home", disk, "--import", folder.file("in.vcf")}
                          : QStringList{"--export", disk + "/out.vcf"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(output), qPrintable(run.err));
    QCOMPARE(folder.read(bookName), before);
    QVERIFY(!QFileInfo::exists(book + QStringLiteral("-journal")));
}

// A writer killed in the middle of a change leaves its journal beside the book; an export, which
// only reads, plays it back and writes the book as it was before that change.
void TestExchangeCommand::exportAfterKilledWriter() {
    test::TempProgramFolder folder;
    const QString book = folder.file(contact::file::BookName);
    QList<QVariantMap> contacts;
    for (int i = 0; i < 300; ++i) {
        contacts << test::contactNamed(QStringLiteral("Last%1").arg(i), QStringLiteral("First"));
        contacts.last().insert(QStringLiteral("remarks"), QString(500, u'r'));
    }
    test::writeBook(book, contacts);
    giveUids(folder);
    const QByteArray before = folder.read(contact::file::BookName);
    const pid_t child = ::fork();
    if (child == 0) {
        // A small cache makes the change reach the book file before its commit.
        try {
            const auto db = engine::Database::open(book);
            db->exec(QStringLiteral(
                "PRAGMA cache_size = 1; BEGIN; UPDATE PhoneBK SET remarks = remarks || name;"));
            ::kill(::getpid(), SIGKILL);
        } catch (...) {
        }
        ::_exit(3);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    QVERIFY(folder.read(contact::file::BookName) != before);
    const Run run = runProgram(folder, {QStringLiteral("--export"), QStringLiteral("out.vcf")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(folder.read(QStringLiteral("out.vcf")).count("BEGIN:VCARD"), 300);
    QCOMPARE(folder.read(contact::file::BookName), before);
}

QTEST_MAIN(TestExchangeCommand)
#include "test_exchange_command.moc"
