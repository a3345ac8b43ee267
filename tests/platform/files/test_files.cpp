// Where the program keeps its files, and the file steps' error numbers.

#include "platform/files/FileOps.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace quillory;
using test::errorOf;

namespace {
void touch(const QString& path, const QByteArray& contents = "x") {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}
} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        qunsetenv("QUILLORY_HOME");
        qunsetenv("QUILLORY_ASSETS");
    }

    void homeOptionWinsAndIsCreated() {
        QTemporaryDir dir;
        qputenv("QUILLORY_HOME", dir.filePath(QStringLiteral("fromEnv")).toLocal8Bit());
        const QString home = dir.filePath(QStringLiteral("book/folder"));
        const ProgramFolder folder = ProgramFolder::choose(home, dir.path());
        QCOMPARE(folder.path(), home);
        QVERIFY(QFileInfo(home).isDir());
    }

    void environmentBeforeExecutableFolder() {
        QTemporaryDir dir;
        const QString fromEnv = dir.filePath(QStringLiteral("fromEnv"));
        qputenv("QUILLORY_HOME", fromEnv.toLocal8Bit());
        QCOMPARE(ProgramFolder::choose({}, dir.path()).path(), fromEnv);
    }

    void writableExecutableFolderIsTheProgramFolder() {
        QTemporaryDir dir;
        QCOMPARE(ProgramFolder::choose({}, dir.path()).path(), dir.path());
    }

    void installedProgramKeepsUserFilesInDataFolder() {
        // <prefix>/bin beside <prefix>/share/quillory: the user's files go to the data folder,
        // the shipped files are still found in share/quillory.
        QTemporaryDir prefix;
        QTemporaryDir home;
        QDir(prefix.path()).mkpath(QStringLiteral("bin"));
        QDir(prefix.path()).mkpath(QStringLiteral("share/quillory"));
        touch(prefix.filePath(QStringLiteral("share/quillory/TIPS.TXT")), "A tip\n");
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        const ProgramFolder folder =
            ProgramFolder::choose({}, prefix.filePath(QStringLiteral("bin")));
        QCOMPARE(folder.path(), home.filePath(QStringLiteral("quillory")));
        QCOMPARE(folder.resource(QStringLiteral("\\TIPS.TXT")),
                 QDir::cleanPath(prefix.filePath(QStringLiteral("share/quillory/TIPS.TXT"))));
        // A file of the user's own of that name comes first.
        touch(folder.file(QStringLiteral("TIPS.TXT")));
        QCOMPARE(folder.resource(QStringLiteral("TIPS.TXT")),
                 folder.file(QStringLiteral("TIPS.TXT")));
        qunsetenv("XDG_DATA_HOME");
    }

    void namesMatchWithoutLetterCase() {
        QTemporaryDir dir;
        touch(dir.filePath(QStringLiteral("CORVANEL.mdb")));
        const ProgramFolder folder(dir.path());
        QCOMPARE(folder.file(QStringLiteral("\\Corvanel.MDB")),
                 dir.filePath(QStringLiteral("CORVANEL.mdb")));
        QCOMPARE(folder.file(QStringLiteral("\\db.MDB")), dir.filePath(QStringLiteral("db.MDB")));
    }

    void joinPathPutsOneSeparator() {
        QCOMPARE(files::joinPath(QStringLiteral("/media/usb/"), QStringLiteral("Corvanel.MD1")),
                 QStringLiteral("/media/usb/Corvanel.MD1"));
        QCOMPARE(files::joinPath(QStringLiteral("/"), QStringLiteral("\\Corvanel.MD1")),
                 QStringLiteral("/Corvanel.MD1"));
        QCOMPARE(files::joinPath(QStringLiteral("/home/a"), QStringLiteral("\\Corvanel.MD1")),
                 QStringLiteral("/home/a/Corvanel.MD1"));
    }

    void fileStepsCarryTheirNumbers() {
        QTemporaryDir dir;
        QCOMPARE(errorOf([&] { files::deleteFile(dir.filePath(QStringLiteral("missing"))); }),
                 ErrorNumber::FileNotFound);
        QCOMPARE(errorOf([&] { files::deleteFile(dir.filePath(QStringLiteral("no/such/file"))); }),
                 ErrorNumber::PathNotFound);
        touch(dir.filePath(QStringLiteral("a")));
        touch(dir.filePath(QStringLiteral("b")));
        QCOMPARE(errorOf([&] {
                     files::renameFile(dir.filePath(QStringLiteral("a")),
                                       dir.filePath(QStringLiteral("b")));
                 }),
                 ErrorNumber::FileAlreadyExists);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("a"))));
        files::renameFile(dir.filePath(QStringLiteral("a")), dir.filePath(QStringLiteral("c")));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("c"))));
        files::replaceFile(dir.filePath(QStringLiteral("c")), dir.filePath(QStringLiteral("b")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("c"))));
    }

    // A folder named by bytes that no text decoding leads back to is still the one reached.
    void folderNamedByRawBytesIsReached_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("asText"); // the decoded name itself is the path
        // What asking for it without making it gives; text names are made later, by choose().
        QTest::addColumn<int>("whenMissing");
        QTest::newRow("ASCII") << QByteArray("Mueller") << true << 0;
        QTest::newRow("UTF-8") << QByteArray("M\xc3\xbcller") << true << 0;
        QTest::newRow("Latin-1") << QByteArray("M\xfcller") << false << ErrorNumber::FileNotFound;
        QTest::newRow("Latin-1 folder in a Latin-1 folder")
            << QByteArray("K\xf6ln/M\xfcller") << false << ErrorNumber::PathNotFound;
    }
    void folderNamedByRawBytesIsReached() {
        QFETCH(QByteArray, name);
        QFETCH(bool, asText);
        QFETCH(int, whenMissing);
        QTemporaryDir dir;
        const QByteArray native = QFile::encodeName(dir.path()) + '/' + name;
        QCOMPARE(errorOf([&] { files::folderFromNative(native, false); }), whenMissing);

        // As the program's start chooses its folder from --home.
        const QString folder =
            ProgramFolder::choose(files::folderFromNative(native, true), dir.path()).path();
        if (asText)
            QCOMPARE(folder, QFile::decodeName(native));
        touch(files::joinPath(folder, QStringLiteral("Corvanel.hig")));

        QVERIFY2(QFile::exists(files::joinPath(folder, QStringLiteral("Corvanel.hig"))),
                 qPrintable(folder));
        QVERIFY2(::access((native + "/Corvanel.hig").constData(), F_OK) == 0,
                 "the file is not in the folder the bytes name");
        QCOMPARE(files::folderFromNative({}, true), QString());
        ::unlink((native + "/Corvanel.hig").constData());
        for (QByteArray part = native; part.size() > QFile::encodeName(dir.path()).size();
             part = part.left(part.lastIndexOf('/')))
            ::rmdir(part.constData());
    }

    void errnoMapping_data() {
        QTest::addColumn<int>("err");
        QTest::addColumn<int>("number");
        QTest::newRow("no space") << ENOSPC << ErrorNumber::DiskFull;
        QTest::newRow("read-only") << EROFS << ErrorNumber::PathFileAccess;
        QTest::newRow("denied") << EACCES << ErrorNumber::PathFileAccess;
        QTest::newRow("missing") << ENOENT << ErrorNumber::FileNotFound;
        QTest::newRow("not a folder") << ENOTDIR << ErrorNumber::PathNotFound;
        QTest::newRow("no medium") << ENOMEDIUM << ErrorNumber::DiskNotReady;
        QTest::newRow("i/o") << EIO << ErrorNumber::DeviceIO;
    }

    void errnoMapping() {
        QFETCH(int, err);
        QFETCH(int, number);
        QCOMPARE(fileErrorNumber(err), number);
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
