// What reaches the desktop: the addresses the shell service lets through, those it refuses,
// the desktop's default application for a document type, and programs started on their own.

#include "platform/files/PlatformError.h"
#include "platform/shell/DesktopApplications.h"
#include "platform/shell/ProgramStart.h"
#include "platform/shell/Shell.h"
#include "ShellTestKit.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillory;
using shell::ShellService;
using test::FakeDesktop;
using test::RecordedOpens;
using test::Runnable;
using test::ScopedEnv;
using test::writeFile;

namespace {

const QString Odt = QStringLiteral("application/vnd.oasis.opendocument.text");

} // namespace

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyMailAndWebReachTheDesktop_data();
    void onlyMailAndWebReachTheDesktop();
    void webPagesGoToTheBrowser_data();
    void webPagesGoToTheBrowser();
    void refusalShowsControlCharacters();
    void defaultApplication_data();
    void defaultApplication();
    void programRunsOnItsOwn();
    void programThatCannotStart_data();
    void programThatCannotStart();
};

void TestShell::onlyMailAndWebReachTheDesktop_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("opened"); // empty: nothing opened
    QTest::addColumn<bool>("refused");

    const auto open = [](const char* row, const QString& text, const QString& url) {
        QTest::newRow(row) << text << url << false;
    };
    const auto refuse = [](const char* row, const QString& text) {
        QTest::newRow(row) << text << QString() << true;
    };
    open("mail to an address", "mailto:ann@example.org", "mailto:ann@example.org");
    open("mail without an address", "mailto:", "mailto:");
    open("mail to a name and address", "mailto:Ann <ann@example.org>", "mailto:ann@example.org");
    open("marks of an address encoded", "mailto:o'neil/uk=1@example.org",
         "mailto:o'neil%2Fuk%3D1@example.org");
    open("https page", "https://www.example.org/a?b=c", "https://www.example.org/a?b=c");
    open("http page, letter case", "HTTP://Www.Example.org/Page", "http://www.example.org/Page");
    open("bare host", "www.example.org", "http://www.example.org");
    open("bare host with port and path", "example.org:8080/shop", "http://example.org:8080/shop");
    open("bare host with blanks around", "  www.example.org ", "http://www.example.org");
    QTest::newRow("empty") << QString() << QString() << false;
    QTest::newRow("blanks only") << QStringLiteral("   ") << QString() << false;

    refuse("absolute path", "/etc/passwd");
    refuse("home path", "~/notes.txt");
    refuse("relative program", "./run.sh");
    refuse("drive path", "C:\\Windows\\notepad.exe");
    refuse("file url", "file:///etc/passwd");
    refuse("script", "javascript:alert(1)");
    refuse("other scheme", "smb://server/share");
    refuse("ftp", "ftp://example.org/file");
    refuse("host without a dot", "localhost");
    refuse("web without host", "http://");
    refuse("attachment", "mailto:ann@example.org?attach=/etc/passwd");
    refuse("encoded attachment header", "mailto:ann@example.org?%61ttach=/etc/passwd");
    refuse("hidden recipient", "mailto:ann@example.org?bcc=eve@example.org");
    refuse("copy to another", "mailto:ann@example.org?cc=eve@example.org");
    refuse("header after an ampersand", "mailto:ann@example.org&attach=/etc/passwd");
    refuse("header after a fragment", "mailto:ann@example.org#?attach=/etc/passwd");
    refuse("encoded line break", "mailto:ann@example.org%0d%0aBcc:eve@example.org");
    refuse("second recipient", "mailto:ann@example.org,eve@example.org");
    refuse("mail with a subject", "mailto:ann@example.org?subject=Hello");
    refuse("query hidden in the address", "mailto:ann%3Fattach=/etc/passwd@example.org");
    refuse("address with a newline", "www.example.org\nfile:///etc/passwd");
    refuse("mail with a line break", "mailto:ann@example.org\r\nBcc: eve@example.org");
    refuse("tab", "www.example.org\t");
}

void TestShell::onlyMailAndWebReachTheDesktop() {
    QFETCH(QString, text);
    QFETCH(QString, opened);
    QFETCH(bool, refused);
    test::ScriptedMessageBoxes boxes;
    test::FakeDesktop programs(true);
    RecordedOpens desktop;

    const bool handedOver = ShellService::open(text);

    QCOMPARE(handedOver, !opened.isEmpty());
    QCOMPARE(desktop.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(boxes.asked().size(), opened.isEmpty() ? 1 : 0); // what is not opened is said
    if (refused)
        QCOMPARE(boxes.asked().first().text, ShellService::refusalMessage(text));
}

void TestShell::webPagesGoToTheBrowser_data() {
    QTest::addColumn<QString>("browser"); // BROWSER; %1: the test's folder
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("opened");
    QTest::newRow("named by BROWSER") << "%1/web --new" << QString("web") << true;
    QTest::newRow("on the path") << QString() << "bin/firefox" << true;
    QTest::newRow("none") << "%1/web" << QString("bin/lynx") << false;
}

// Without a program chosen for web pages, the browser the desktop's opener would take is
// enough; with none, the user hears why.
void TestShell::webPagesGoToTheBrowser() {
    QFETCH(QString, browser);
    QFETCH(QString, installed);
    QFETCH(bool, opened);
    test::ScriptedMessageBoxes boxes;
    FakeDesktop desktop;
    writeFile(desktop.path(installed), "", Runnable);
    ScopedEnv variable("BROWSER", browser.arg(desktop.dir.path()).toUtf8());
    RecordedOpens recorder;
    QCOMPARE(ShellService::open(QStringLiteral("example.org")), opened);
    QCOMPARE(boxes.texts().filter("could not be opened").size(), opened ? 0 : 1);
}

void TestShell::refusalShowsControlCharacters() {
    const QString message = ShellService::refusalMessage(QStringLiteral("a.org\nb\x7f"));
    QCOMPARE(message, QStringLiteral("\"a.org\u240Ab\u2421\" is not an e-mail address or a web "
                                     "page address, so it was not opened."));
    const QString longText(500, QLatin1Char('x'));
    QVERIFY(ShellService::refusalMessage(longText).size() < 300);
}

void TestShell::defaultApplication_data() {
    QTest::addColumn<QStringList>("files"); // name, contents, name, contents...
    QTest::addColumn<QString>("program");   // empty: none
    QTest::addColumn<QStringList>("arguments");

    const QString writer = QStringLiteral("[Desktop Entry]\nType=Application\nName=Writer\n"
                                          "Exec=writer --new-document %U\n");
    const QString other = QStringLiteral("[Desktop Entry]\nType=Application\nName=Other\n"
                                         "Exec=other\n");
    const QString defaultsTo = QStringLiteral("[Default Applications]\n") + Odt + "=%1\n";

    QTest::newRow("no desktop files") << QStringList() << QString() << QStringList();
    QTest::newRow("user's choice")
        << QStringList{"home/applications/writer.desktop", writer, "config/mimeapps.list",
                       defaultsTo.arg("writer.desktop")}
        << "writer" << QStringList{"--new-document"};
    QTest::newRow("user's choice before the system's")
        << QStringList{"usr/applications/writer.desktop",
                       writer,
                       "usr/applications/other.desktop",
                       other,
                       "etc/mimeapps.list",
                       defaultsTo.arg("writer.desktop"),
                       "config/mimeapps.list",
                       defaultsTo.arg("other.desktop")}
        << "other" << QStringList();
    QTest::newRow("the desktop's own list first") << QStringList{"usr/applications/writer.desktop",
                                                                 writer,
                                                                 "usr/applications/other.desktop",
                                                                 other,
                                                                 "config/mimeapps.list",
                                                                 defaultsTo.arg("writer.desktop"),
                                                                 "config/test-mimeapps.list",
                                                                 defaultsTo.arg("other.desktop")}
                                                  << "other" << QStringList();
    QTest::newRow("a missing choice gives way to the next")
        << QStringList{"usr/applications/writer.desktop", writer, "config/mimeapps.list",
                       defaultsTo.arg("gone.desktop;writer.desktop")}
        << "writer" << QStringList{"--new-document"};
    QTest::newRow("a hidden entry is not started")
        << QStringList{"home/applications/writer.desktop", writer + "Hidden=true\n",
                       "config/mimeapps.list", defaultsTo.arg("writer.desktop")}
        << QString() << QStringList();
    QTest::newRow("an application that says it opens the type")
        << QStringList{"usr/applications/writer.desktop", writer, "usr/applications/mimeinfo.cache",
                       "[MIME Cache]\n" + Odt + "=writer.desktop;\n"}
        << "writer" << QStringList{"--new-document"};
    QTest::newRow("quoted program, codes in arguments")
        << QStringList{"home/applications/w.desktop",
                       "[Desktop Entry]\nType=Application\nName=My Writer\n"
                       "Exec=\"/opt/my writer/w\" --file=%f --name %c --pct=100%% %i\n",
                       "config/mimeapps.list", defaultsTo.arg("w.desktop")}
        << "/opt/my writer/w" << QStringList{"--file=", "--name", "My Writer", "--pct=100%"};
    QTest::newRow("a link is no application")
        << QStringList{"home/applications/writer.desktop",
                       "[Desktop Entry]\nType=Link\nName=Writer\nURL=https://example.org\n",
                       "config/mimeapps.list", defaultsTo.arg("writer.desktop")}
        << QString() << QStringList();
}

void TestShell::defaultApplication() {
    QFETCH(QStringList, files);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    FakeDesktop desktop;
    for (qsizetype i = 0; i + 1 < files.size(); i += 2)
        writeFile(desktop.path(files[i]), files[i + 1].toUtf8());

    const auto found = shell::defaultApplicationFor(Odt);

    QCOMPARE(found.has_value(), !program.isEmpty());
    if (found) {
        QCOMPARE(found->program, program);
        QCOMPARE(found->arguments, arguments);
    }
}

void TestShell::programRunsOnItsOwn() {
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("ran"));
    // A program that is still running when the call returns: the start does not wait for it.
    writeFile(dir.filePath(QStringLiteral("bin/writer")),
              "#!/bin/sh\n/bin/sleep 1\necho \"$@\" > '" + marker.toUtf8() + "'\n", Runnable);
    ScopedEnv path("PATH", dir.filePath(QStringLiteral("bin")).toUtf8());

    QElapsedTimer clock;
    clock.start();
    const qint64 pid =
        shell::startProgram({QStringLiteral("Writer"), QStringLiteral("writer"), {"--new"}});
    QVERIFY(pid > 0);
    QVERIFY(clock.elapsed() < 900);
    QVERIFY(!QFile::exists(marker));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker) && QFileInfo(marker).size() > 0, 10000);
    QFile ran(marker);
    QVERIFY(ran.open(QIODevice::ReadOnly));
    QCOMPARE(ran.readAll(), QByteArray("--new\n"));
}

void TestShell::programThatCannotStart_data() {
    QTest::addColumn<QString>("program"); // relative to the test's folder when it has a slash
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("why");

    QTest::newRow("no such file") << "/missing/writer" << ErrorNumber::FileNotFound
                                  << "the file \"%1/missing/writer\" does not exist.";
    QTest::newRow("not on the path")
        << "nowriter" << ErrorNumber::FileNotFound
        << "no program \"nowriter\" was found on the search path (PATH).";
    QTest::newRow("a folder") << "/bin" << ErrorNumber::PathFileAccess
                              << "\"%1/bin\" is a folder, not a program.";
    QTest::newRow("not runnable") << "/text" << ErrorNumber::PermissionDenied
                                  << "the file \"%1/text\" is not a program this user may run.";
    QTest::newRow("nothing set") << "" << ErrorNumber::BadFileName << "no program file is set.";
    QTest::newRow("a relative path") << "bin/writer" << ErrorNumber::BadFileName
                                     << "\"bin/writer\" is not a full path (one that begins with "
                                        "\"/\"). Choose the program file itself, or give only its "
                                        "name to have it looked for on the search path (PATH).";
    QTest::newRow("its interpreter is missing")
        << "/broken" << ErrorNumber::PathFileAccess
        << "the system could not run \"%1/broken\" (execv: No such file or directory).";
}

void TestShell::programThatCannotStart() {
    QFETCH(QString, program);
    QFETCH(int, number);
    QFETCH(QString, why);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("bin/placeholder")), "x");
    writeFile(dir.filePath(QStringLiteral("text")), "not a program\n");
    writeFile(dir.filePath(QStringLiteral("broken")), "#!/no/such/shell\n", Runnable);
    ScopedEnv path("PATH", dir.filePath(QStringLiteral("bin")).toUtf8());
    const QString file = program.startsWith(QLatin1Char('/')) ? dir.path() + program : program;

    try {
        shell::startProgram({QStringLiteral("Writer"), file, {}});
        QFAIL("the program was started");
    } catch (const PlatformError& error) {
        QCOMPARE(error.number(), number);
        const QString start = QStringLiteral("\"Writer\" could not be started: ");
        QVERIFY2(error.description().startsWith(start), qPrintable(error.description()));
        QCOMPARE(error.description(), start + (why.contains("%1") ? why.arg(dir.path()) : why));
    }
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
