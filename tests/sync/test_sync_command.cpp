// `quillory --home DIR --sync ...` as scripts and cron start it, against a real server.

#include "BookFiller.h"
#include "core/ContactRecord.h"
#include "core/SettingsStore.h"
#include "platform/engine/Database.h"
#include "RadicaleServer.h"
#include "sync/PasswordStore.h"
#include "TestSupport.h"

#include <optional>
#include <QProcess>
#include <QtTest>

using namespace quillory;
using test::RadicaleServer;

class TestSyncCommand : public QObject {
    Q_OBJECT

    RadicaleServer m_server;
    std::optional<test::TempProgramFolder> m_home; // made anew by init()

    struct Run {
        int exitCode = -1;
        QString said; // the last line, of the summary or of the error
    };
    // No secret store is reachable but the one test_sync_command_keyring starts; stdin is no
    // terminal.
    Run run(const QStringList& arguments, const QString& password) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUILLORY_SYNC_PASSWORD"), password);
        if (!qEnvironmentVariableIsSet("QUILLORY_TEST_KEYRING"))
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=/none");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setStandardInputFile(QProcess::nullDevice());
        program.start(QStringLiteral(QUILLORY_PROGRAM),
                      QStringList{"--home", m_home->path(), "--sync"} + arguments);
        if (!program.waitForFinished(60000))
            return {};
        const QByteArray text =
            program.exitCode() ? program.readAllStandardError() : program.readAllStandardOutput();
        return {program.exitCode(), QString::fromUtf8(text).trimmed().section(u'\n', -1)};
    }
    QStringList account(const QUrl& url) const {
        return {url.toString(), QStringLiteral("--sync-user"), m_server.user()};
    }
    QString book() const { return m_home->file(contact::file::BookName); }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_server.isRunning(), qPrintable(m_server.error())); }
    void init() {
        m_home.emplace();
        test::writeBook(book(),
                        {test::contactNamed("Ames", "Ann"), test::contactNamed("Bell", "Bo")});
    }

    // The account given on the line is saved once its sync succeeded, without the password,
    // and `--sync` alone then syncs with it; a refused sync saves nothing.
    void accountSavedBySuccess_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("said"); // the start of the last line of each run
        QTest::newRow("right") << m_server.password()
                               << QStringList{"2 sent, 0 received", "0 sent, 0 received"};
        QTest::newRow("wrong") << "wrong" << QStringList{"quillory: ", "quillory: no sync account"};
    }
    void accountSavedBySuccess() {
        QFETCH(QString, password);
        QFETCH(QStringList, said);
        const QUrl book = m_server.makeAddressBook(QTest::currentDataTag(), {});
        for (const QStringList& arguments : {account(book), QStringList()}) {
            const Run done = run(arguments, password);
            const QString expected = said.takeFirst();
            QCOMPARE(done.exitCode, expected.startsWith("quillory") ? 1 : 0);
            QVERIFY2(done.said.startsWith(expected), qPrintable(done.said));
        }
        QVERIFY(!m_home->read(QStringLiteral("Corvanel.hig")).contains(password.toUtf8()));
    }

    // Without QUILLORY_SYNC_PASSWORD the password the account dialog kept in the secret store
    // is used; where no store runs and no terminal can ask, one line says how to give it.
    void passwordFromTheSecretStore() {
        const bool keyring = qEnvironmentVariableIsSet("QUILLORY_TEST_KEYRING");
        const QUrl book = m_server.makeAddressBook(keyring ? "keyring" : "nokeyring", {});
        if (keyring)
            QVERIFY(sync::PasswordStore::write(sync::PasswordStore::keyOf(book, m_server.user()),
                                               m_server.password()));
        const Run done = run(account(book), {});
        QCOMPARE(done.exitCode, keyring ? 0 : 1);
        QVERIFY2(done.said.startsWith(keyring ? "2 sent"
                                              : "quillory: no password: set "
                                                "QUILLORY_SYNC_PASSWORD"),
                 qPrintable(done.said));
    }

    // A contact another device deleted on the server leaves the book and is still in the
    // back-up, made as on exit; with the exit back-up off nothing claims it is kept.
    void serverDeletionsKeptInTheBackUp_data() {
        QTest::addColumn<bool>("backUp");
        QTest::newRow("exit back-up on") << true;
        QTest::newRow("exit back-up off") << false;
    }
    void serverDeletionsKeptInTheBackUp() {
        QFETCH(bool, backUp);
        const QUrl book = m_server.makeAddressBook(backUp ? "deleted-on" : "deleted-off", {});
        UserSettings settings;
        settings.autoBackup = backUp ? 1 : 0;
        QVERIFY(SettingsStore(m_home->path()).save(settings));
        QCOMPARE(run(account(book), m_server.password()).exitCode, 0);
        const QString href = engine::Database::open(this->book())
                                 ->scalar("SELECT href FROM SyncState JOIN PhoneBK USING (uid) "
                                          "WHERE name = 'Ames'")
                                 .toString();
        QCOMPARE(m_server.remove(book.resolved(QUrl(href))).status / 100, 2);

        const Run second = run({}, m_server.password());
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(test::bookNames(this->book()).size(), 1);
        QCOMPARE(second.said.contains(QStringLiteral("kept in the back-up")), backUp);
        const QString backup = m_home->file(contact::file::BackupName);
        QCOMPARE(QFileInfo::exists(backup) ? test::bookNames(backup).size() : 0, backUp ? 2 : 0);
    }

    // A server whose certificate nobody signed is refused with the reason, and gets nothing.
    void untrustedCertificateRefused() {
        RadicaleServer tls(RadicaleServer::Transport::Https);
        QVERIFY2(tls.isRunning(), qPrintable(tls.error()));
        const QUrl book = tls.makeAddressBook(QStringLiteral("tls"), {});
        const Run refused = run(account(book), tls.password());
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.said.contains(QStringLiteral("self-signed")), qPrintable(refused.said));
        const RadicaleServer::Reply listing = tls.request("PROPFIND", book, {}, {{"Depth", "1"}});
        QCOMPARE(listing.status, 207);
        QVERIFY2(!listing.body.contains(".vcf"), listing.body.constData());
    }

    // A server that takes Digest and nothing else: its challenge is answered.
    void digestOnlyServer() {
        QUrl book = m_server.makeAddressBook(QStringLiteral("digest"), {});
        QTemporaryDir dir;
        const QString portFile = dir.filePath(QStringLiteral("port"));
        QProcess digest;
        digest.start(QStringLiteral("python3"),
                     {QStringLiteral(DIGEST_PROXY), portFile, m_server.root().toString(),
                      m_server.user(), m_server.password()});
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(portFile); }, 20000));
        QFile port(portFile);
        QVERIFY(port.open(QIODevice::ReadOnly));
        book.setPort(port.readAll().toInt());
        const Run done = run(account(book), m_server.password());
        QCOMPARE(done.exitCode, 0);
        QVERIFY2(done.said.startsWith("2 sent, 0 received"), qPrintable(done.said));
        digest.kill();
        digest.waitForFinished();
    }
};

QTEST_MAIN(TestSyncCommand)
#include "test_sync_command.moc"
