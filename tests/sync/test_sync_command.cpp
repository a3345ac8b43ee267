// The sync without a window, as scripts and cron start it (`quillory --home DIR --sync ...`),
// against a real server: the account it saves, the password kept by the desktop, the back-up
// behind what the server deletes, a certificate nobody signed, and a server asking for Digest.

#include "BookFiller.h"
#include "core/ContactRecord.h"
#include "core/SettingsStore.h"
#include "platform/engine/Database.h"
#include "RadicaleServer.h"
#include "sync/PasswordStore.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

using namespace quillory;
using quillory::test::RadicaleServer;

namespace {

struct Run {
    int exitCode = -1;
    QString out; // the last line of standard output
    QString err; // the last line of the error stream
};

QString lastLine(const QByteArray& text) {
    return QString::fromUtf8(text).trimmed().section(u'\n', -1);
}

// A program folder holding a book with the contacts named (last, first, ...).
struct Home {
    test::TempProgramFolder folder;
    explicit Home(const QStringList& names) {
        QList<QVariantMap> contacts;
        for (qsizetype i = 0; i + 1 < names.size(); i += 2)
            contacts << test::contactNamed(names[i], names[i + 1]);
        test::writeBook(book(), contacts);
    }
    QString book() const { return folder.file(contact::file::BookName); }
};

} // namespace

class TestSyncCommand : public QObject {
    Q_OBJECT

    RadicaleServer m_server;

    // The program on `home` with `--sync` and `arguments`, its stdin no terminal; `password`
    // goes into QUILLORY_SYNC_PASSWORD unless empty. No secret store is reachable but the one
    // test_sync_command_keyring starts.
    static Run run(const Home& home, const QStringList& arguments, const QString& password) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QUILLORY_SYNC_PASSWORD"));
        if (!password.isEmpty())
            environment.insert(QStringLiteral("QUILLORY_SYNC_PASSWORD"), password);
        if (!qEnvironmentVariableIsSet("QUILLORY_TEST_KEYRING"))
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                               QStringLiteral("unix:path=/nonexistent/bus"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setStandardInputFile(QProcess::nullDevice());
        program.start(QStringLiteral(QUILLORY_PROGRAM),
                      QStringList{"--home", home.folder.path(), "--sync"} + arguments);
        if (!program.waitForFinished(60000))
            return {};
        return {program.exitCode(), lastLine(program.readAllStandardOutput()),
                lastLine(program.readAllStandardError())};
    }
    QStringList account(const QUrl& url) const {
        return {url.toString(), QStringLiteral("--sync-user"), m_server.user()};
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.isRunning(), qPrintable(m_server.error())); }

    // The account given on the line is saved once its sync succeeded, without the password,
    // and `--sync` alone then syncs with it; a refused sync saves nothing.
    void accountSavedBySuccess_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("first"); // the start of the last line of each run
        QTest::addColumn<QString>("later");
        QTest::newRow("right password") << m_server.password() << "1 sent, 0 received"
                                        << "0 sent, 0 received";
        QTest::newRow("wrong password") << "wrong"
                                        << "quillory: "
                                        << "quillory: no sync account";
    }
    void accountSavedBySuccess() {
        QFETCH(QString, password);
        QFETCH(QString, first);
        QFETCH(QString, later);
        const QUrl book = m_server.makeAddressBook(QTest::currentDataTag(), {});
        const Home home({"Ames", "Ann"});
        const Run runs[] = {run(home, account(book), password), run(home, {}, password)};
        QCOMPARE(runs[0].exitCode, first.startsWith("quillory") ? 1 : 0);
        QVERIFY2((runs[0].exitCode ? runs[0].err : runs[0].out).startsWith(first),
                 qPrintable(runs[0].err));
        QCOMPARE(runs[1].exitCode, later.startsWith("quillory") ? 1 : 0);
        QVERIFY2((runs[1].exitCode ? runs[1].err : runs[1].out).startsWith(later),
                 qPrintable(runs[1].err));
        QVERIFY(!home.folder.read(QStringLiteral("Corvanel.hig")).contains(password.toUtf8()));
    }

    // Without QUILLORY_SYNC_PASSWORD, the password the account dialog kept in the secret store
    // is used; where no store runs and no terminal can ask, one line says how to give it.
    void passwordFromTheSecretStore() {
        const bool keyring = qEnvironmentVariableIsSet("QUILLORY_TEST_KEYRING");
        const QUrl book = m_server.makeAddressBook(keyring ? "keyring" : "nokeyring", {});
        if (keyring)
            QVERIFY(sync::PasswordStore::write(sync::PasswordStore::keyOf(book, m_server.user()),
                                               m_server.password()));
        const Home home({"Ames", "Ann"});
        const Run done = run(home, account(book), {});
        QCOMPARE(done.exitCode, keyring ? 0 : 1);
        QVERIFY2(keyring ? done.out.startsWith("1 sent")
                         : done.err.startsWith("quillory: no password: set QUILLORY_SYNC_PASSWORD"),
                 qPrintable(done.out + done.err));
    }

    // A contact another device deleted on the server leaves the book and is still in the
    // back-up, made as on exit; with the exit back-up turned off nothing claims it is kept.
    void serverDeletionsKeptInTheBackUp_data() {
        QTest::addColumn<bool>("backUp");
        QTest::newRow("exit back-up on") << true;
        QTest::newRow("exit back-up off") << false;
    }
    void serverDeletionsKeptInTheBackUp() {
        QFETCH(bool, backUp);
        const QUrl book = m_server.makeAddressBook(backUp ? "deleted-on" : "deleted-off", {});
        const Home home({"Ames", "Ann", "Bell", "Bob"});
        UserSettings settings;
        settings.autoBackup = backUp ? 1 : 0;
        QVERIFY(SettingsStore(home.folder.path()).save(settings));
        QCOMPARE(run(home, account(book), m_server.password()).exitCode, 0);
        const QString href =
            engine::Database::open(home.book())
                ->scalar(QStringLiteral("SELECT href FROM SyncState JOIN PhoneBK USING (uid) "
                                        "WHERE name = 'Ames'"))
                .toString();
        QCOMPARE(m_server.remove(book.resolved(QUrl(href))).status / 100, 2);

        const Run second = run(home, {}, m_server.password());
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(test::bookNames(home.book()).size(), 1);
        QCOMPARE(second.out.contains(QStringLiteral("kept in the back-up")), backUp);
        const QString backup = home.folder.file(contact::file::BackupName);
        QCOMPARE(QFileInfo::exists(backup) ? test::bookNames(backup).size() : 0, backUp ? 2 : 0);
    }

    // A server whose certificate nobody signed is refused with the reason, and gets nothing.
    void untrustedCertificateRefused() {
        RadicaleServer tls(RadicaleServer::Transport::Https);
        QVERIFY2(tls.isRunning(), qPrintable(tls.error()));
        const QUrl book = tls.makeAddressBook(QStringLiteral("tls"), {});
        QVERIFY(!book.isEmpty());
        const Home home({"Ames", "Ann"});
        const Run refused = run(home, account(book), tls.password());
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("self-signed")), qPrintable(refused.err));
        const RadicaleServer::Reply listing = tls.request("PROPFIND", book, {}, {{"Depth", "1"}});
        QCOMPARE(listing.status, 207);
        QVERIFY2(!listing.body.contains(".vcf"), listing.body.constData());
    }

    // A server that takes Digest and nothing else: its challenge is answered, and a wrong
    // password is still refused.
    void digestOnlyServer_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        QTest::newRow("right password") << m_server.password() << 0 << "1 sent, 0 received";
        QTest::newRow("wrong password") << "wrong" << 1 << "refused the user name or password";
    }
    void digestOnlyServer() {
        QFETCH(QString, password);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QUrl book =
            m_server.makeAddressBook(QStringLiteral("digest-") + QTest::currentDataTag()[0], {});
        QTemporaryDir dir;
        const QString portFile = dir.filePath(QStringLiteral("port"));
        QProcess digest;
        digest.setProcessChannelMode(QProcess::ForwardedChannels);
        digest.start(QStringLiteral("python3"),
                     {QStringLiteral(DIGEST_PROXY), portFile, m_server.root().toString(),
                      m_server.user(), m_server.password()});
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(portFile); }, 20000));
        QFile port(portFile);
        QVERIFY(port.open(QIODevice::ReadOnly));
        book.setPort(port.readAll().toInt());
        const Home home({"Ames", "Ann"});
        const Run done = run(home, account(book), password);
        QCOMPARE(done.exitCode, exitCode);
        QVERIFY2((exitCode ? done.err : done.out).contains(says), qPrintable(done.err));
        digest.kill();
        digest.waitForFinished();
    }
};

QTEST_MAIN(TestSyncCommand)
#include "test_sync_command.moc"
