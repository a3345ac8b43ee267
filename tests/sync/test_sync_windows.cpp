// The sync as the user sets it up and starts it: File, "Sync with server..." and "Sync now" on
// a started program, with the password kept for the session where no secret store runs.

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "RadicaleServer.h"
#include "StartedProgram.h"
#include "sync/ui/frmSync.h"
#include "sync/ui/frmSyncProgress.h"
#include "sync/ui/Password.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <qt6keychain/keychain.h>
#include <QTcpServer>
#include <QtTest>

using namespace quillory;
using test::StartedProgram;

namespace {

// What the modal windows of one command were, by object name, in order.
struct Shown {
    QStringList windows;
    int passwordsAsked() const { return int(windows.count(QStringLiteral("dlgSyncPassword"))); }
    int syncs() const { return int(windows.count(QStringLiteral("frmSyncProgress"))); }
};

// Answers the password question with `password` and lets every sync run to its end.
std::function<void(QDialog&)> runSyncs(Shown& shown, const QString& password) {
    return [&shown, password](QDialog& dialog) {
        shown.windows << dialog.objectName();
        if (auto* ask = qobject_cast<QInputDialog*>(&dialog)) {
            ask->setTextValue(password);
            ask->accept();
        } else if (auto* progress = qobject_cast<frmSyncProgress*>(&dialog)) {
            QSignalSpy ended(progress, &frmSyncProgress::syncEnded);
            QVERIFY(progress->isRunning() ? ended.wait(10000) : true);
        }
    };
}

void saveAccount(const StartedProgram& p, const QString& url, sync::SyncOptions options = {}) {
    const sync::SyncAccount account{QUrl(url), QStringLiteral("ann"), {}};
    QVERIFY(account.save(p.folder.path()));
    QVERIFY(options.save(p.folder.path()));
}

} // namespace

class TestSyncWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void accountDialogSaves_data();
    void accountDialogSaves();
    void passwordAskedOncePerSession_data();
    void passwordAskedOncePerSession();
    void syncsWhenTheAccountSays_data();
    void syncsWhenTheAccountSays();
    void secretStoreKeepsThePassword();
    void testConnection_data();
    void testConnection();
    void testCanBeCancelled();
    void syncNowShowsTheSummary();
    void refusedPasswordIsAskedAgain();
    void plainHttpAskedOncePerAddress();

private:
    test::RadicaleServer m_server;
};

void TestSyncWindows::initTestCase() {
    // No secret store here, whatever desktop runs the tests: the session keeps the passwords,
    // and nothing reaches the user's own keyring. test_sync_keyring runs with a keyring of its
    // own on a bus of its own.
    if (!qEnvironmentVariableIsSet("QUILLORY_TEST_KEYRING"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
}

void TestSyncWindows::init() {
    qunsetenv("QUILLORY_SYNC_PASSWORD");
}

void TestSyncWindows::accountDialogSaves_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QList<ui::Answer>>("answers"); // to the plain http question
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("agreed"); // the plain http address saved as agreed to
    QTest::newRow("https") << "https://dav.example.org/" << QList<ui::Answer>{} << true << "";
    QTest::newRow("http on this machine")
        << "http://127.0.0.1:5232/" << QList<ui::Answer>{} << true << "";
    QTest::newRow("http elsewhere, agreed")
        << "http://dav.example.org/" << QList{ui::Answer::Yes} << true << "http://dav.example.org/";
    QTest::newRow("http elsewhere, refused")
        << "http://dav.example.org/" << QList{ui::Answer::No} << false << "";
}

void TestSyncWindows::accountDialogSaves() {
    QFETCH(QString, url);
    QFETCH(QList<ui::Answer>, answers);
    QFETCH(bool, saved);
    QFETCH(QString, agreed);
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    for (ui::Answer answer : answers)
        p.boxes.answer(answer);
    const QString password = QStringLiteral("s3cret-") + QTest::currentDataTag();
    QStringList reopened;
    test::ModalScript script([&](QDialog& dialog) {
        auto* form = qobject_cast<frmSync*>(&dialog);
        QVERIFY(form);
        if (script.shown() > 1) { // opened again: what was saved comes back
            reopened << form->txtUrl->text() << form->txtUser->text() << form->txtPassword->text()
                     << QString::number(form->chkAtStart->isChecked());
            form->cmdCancel->click();
            return;
        }
        form->txtUrl->setText(url);
        form->txtUser->setText(QStringLiteral("ann"));
        form->txtPassword->setText(password);
        form->chkAtStart->setChecked(true);
        form->cmdOK->click();
        if (form->isVisible() || form->result() != QDialog::Accepted)
            form->cmdCancel->click();
    });
    p.main->mnuSyncSetup->trigger();
    p.main->mnuSyncSetup->trigger();

    QCOMPARE(p.boxes.asked().size(), answers.size());
    const QByteArray settings = p.folder.read(QStringLiteral("Corvanel.hig"));
    QVERIFY2(!settings.contains(password.toUtf8()), settings.constData());
    if (!saved) {
        QVERIFY2(!settings.contains("URL="), settings.constData());
        QCOMPARE(reopened, (QStringList{"", "", "", "0"}));
        return;
    }
    for (const QByteArray& line :
         {"URL=" + url.toUtf8(), QByteArray("User=ann"), QByteArray("SyncAtStart=1"),
          "PlainHttpAgreed=" + agreed.toUtf8() + '\n'})
        QVERIFY2(settings.contains(line), line.constData());
    QCOMPARE(reopened, (QStringList{url, "ann", password, "1"}));
}

void TestSyncWindows::passwordAskedOncePerSession_data() {
    QTest::addColumn<QByteArray>("environment"); // QUILLORY_SYNC_PASSWORD
    QTest::addColumn<int>("asked");
    QTest::newRow("asked, then kept") << QByteArray() << 1;
    QTest::newRow("from the environment") << QByteArray("from-cron") << 0;
}

void TestSyncWindows::passwordAskedOncePerSession() {
    QFETCH(QByteArray, environment);
    QFETCH(int, asked);
    if (!environment.isEmpty())
        qputenv("QUILLORY_SYNC_PASSWORD", environment);
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    const QString url = QStringLiteral("https://127.0.0.1:9/%1/").arg(QTest::currentDataTag()[0]);
    saveAccount(p, url);
    Shown shown;
    test::ModalScript script(runSyncs(shown, QStringLiteral("typed-once")));

    p.main->mnuSyncNow->trigger();
    p.main->mnuSyncNow->trigger();

    QCOMPARE(shown.passwordsAsked(), asked);
    QCOMPARE(shown.syncs(), 2);
    QCOMPARE(sync::Password::read(sync::Password::keyOf(QUrl(url), QStringLiteral("ann"))),
             std::optional<QString>(environment.isEmpty() ? "typed-once" : environment));
    QVERIFY(!p.folder.read(QStringLiteral("Corvanel.hig")).contains("typed-once"));
}

void TestSyncWindows::syncsWhenTheAccountSays_data() {
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("beforeExit");
    QTest::addColumn<int>("syncs");
    QTest::newRow("never by itself") << false << false << 0;
    QTest::newRow("at start") << true << false << 1;
    QTest::newRow("before exit") << false << true << 1;
    QTest::newRow("both") << true << true << 2;
}

// The user starts the program and quits it again.
void TestSyncWindows::syncsWhenTheAccountSays() {
    QFETCH(bool, atStart);
    QFETCH(bool, beforeExit);
    QFETCH(int, syncs);
    qputenv("QUILLORY_SYNC_PASSWORD", "pw");
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    // The sync at start ends with its summary; the question on quitting is answered Yes.
    if (atStart)
        p.boxes.answer(ui::Answer::Ok);
    p.boxes.answer(ui::Answer::Yes);
    saveAccount(p, QStringLiteral("https://127.0.0.1:9/start/"), {atStart, beforeExit, {}});
    Shown shown;
    test::ModalScript script(runSyncs(shown, {}));

    p.context->afterMainWindowShown();
    p.main->close();

    QCOMPARE(shown.syncs(), syncs);
}

// The password typed in the dialog reaches the desktop's secret store, where another program
// finds it, and leaves it when the user clears it.
void TestSyncWindows::secretStoreKeepsThePassword() {
    if (!qEnvironmentVariableIsSet("QUILLORY_TEST_KEYRING"))
        QSKIP("runs as test_sync_keyring, beside a keyring started for it");
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    const QString url = QStringLiteral("https://keyring.example.org/");
    for (const QString& typed : {QStringLiteral("in-the-keyring"), QString()}) {
        test::ModalScript script([&](QDialog& dialog) {
            auto* form = qobject_cast<frmSync*>(&dialog);
            form->txtUrl->setText(url);
            form->txtUser->setText(QStringLiteral("ann"));
            form->txtPassword->setText(typed);
            form->cmdOK->click();
        });
        p.main->mnuSyncSetup->trigger();
        QKeychain::ReadPasswordJob job(sync::Password::Service);
        job.setAutoDelete(false);
        job.setKey(sync::Password::keyOf(QUrl(url), QStringLiteral("ann")));
        QSignalSpy done(&job, &QKeychain::Job::finished);
        job.start();
        QVERIFY(done.wait(10000));
        QCOMPARE(job.error(), typed.isEmpty() ? QKeychain::EntryNotFound : QKeychain::NoError);
        QCOMPARE(job.textData(), typed);
    }
    QVERIFY(sync::Password::storeAvailable());
}

void TestSyncWindows::testConnection_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("books"); // listed for the user to choose from
    QTest::addColumn<QString>("says");      // a part of what the dialog says
    QTest::addColumn<bool>("https");        // on a server whose certificate nobody signed
    QTest::newRow("right password") << "pw1" << QStringList{"Family"} << "1 address book" << false;
    QTest::newRow("wrong password") << "wrong" << QStringList{} << "password" << false;
    QTest::newRow("untrusted certificate")
        << "pw1" << QStringList{} << "certificate is self-signed" << true;
}

// The user types the server's root and tests the connection; the address book found is chosen.
void TestSyncWindows::testConnection() {
    QFETCH(QString, password);
    QFETCH(QStringList, books);
    QFETCH(QString, says);
    QFETCH(bool, https);
    std::optional<test::RadicaleServer> tls;
    if (https)
        tls.emplace(test::RadicaleServer::Transport::Https);
    test::RadicaleServer& server = https ? *tls : m_server;
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QUrl family = server.makeAddressBook(QStringLiteral("family"), QStringLiteral("Family"));
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    QStringList listed;
    QString said;
    test::ModalScript script([&](QDialog& dialog) {
        auto* form = qobject_cast<frmSync*>(&dialog);
        form->txtUrl->setText(server.root().toString());
        form->txtUser->setText(server.user());
        form->txtPassword->setText(password);
        QSignalSpy ended(form, &frmSync::testEnded);
        form->cmdTest->click();
        QVERIFY(ended.wait(20000));
        for (int row = 0; row < form->lstBooks->count(); ++row)
            listed << form->lstBooks->item(row)->text();
        said = form->lblTest->text();
        form->cmdOK->click();
    });
    p.main->mnuSyncSetup->trigger();

    QCOMPARE(listed, books);
    QVERIFY2(said.contains(says), qPrintable(said));
    QCOMPARE(sync::SyncAccount::load(p.folder.path()).addressBook,
             books.isEmpty() ? QUrl() : family);
}

// A server that takes the connection and never answers: Cancel test ends the wait.
void TestSyncWindows::testCanBeCancelled() {
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    QString said;
    test::ModalScript script([&](QDialog& dialog) {
        auto* form = qobject_cast<frmSync*>(&dialog);
        form->txtUrl->setText(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
        QSignalSpy ended(form, &frmSync::testEnded);
        form->cmdTest->click();
        QVERIFY(silent.waitForNewConnection(10000));
        QVERIFY(form->cmdCancelTest->isEnabled() && !form->cmdOK->isEnabled());
        form->cmdCancelTest->click();
        QVERIFY(ended.wait(10000));
        said = form->lblTest->text();
        form->cmdCancel->click();
    });
    p.main->mnuSyncSetup->trigger();
    QCOMPARE(said, QStringLiteral("Cancelled."));
}

// Sync now sends the book's contacts, then finds nothing more to do; each time the summary is
// told in a message box and on the status bar.
void TestSyncWindows::syncNowShowsTheSummary() {
    QVERIFY2(m_server.isRunning(), qPrintable(m_server.error()));
    const QUrl book = m_server.makeAddressBook(QStringLiteral("now"), {});
    qputenv("QUILLORY_SYNC_PASSWORD", m_server.password().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{
                          {{"name", "Ames"}, {"namef", "Ann"}, {"phone", "555-0100"}},
                          {{"name", "Bell"}, {"namef", "Bob"}, {"phone", "555-0111"}}}});
    const sync::SyncAccount account{m_server.root(), m_server.user(), book};
    QVERIFY(account.save(p.folder.path()));
    Shown shown;
    test::ModalScript script(runSyncs(shown, {}));
    QStringList statusBar;
    for (int run = 0; run < 2; ++run) {
        p.main->mnuSyncNow->trigger();
        statusBar << p.main->statusBar()->currentMessage();
    }
    const QStringList summaries = {"2 sent, 0 received, 0 deleted, 0 conflicts kept",
                                   "0 sent, 0 received, 0 deleted, 0 conflicts kept"};
    QCOMPARE(p.boxes.texts(), summaries);
    QCOMPARE(statusBar, summaries);
}

// A mistyped password is refused by the server, said so, and asked for again on the next sync.
void TestSyncWindows::refusedPasswordIsAskedAgain() {
    QVERIFY2(m_server.isRunning(), qPrintable(m_server.error()));
    const QUrl book = m_server.makeAddressBook(QStringLiteral("mistyped"), {});
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    // The address book's own URL: an account no earlier test typed a password for.
    QVERIFY((sync::SyncAccount{book, m_server.user(), book}.save(p.folder.path())));
    Shown shown;
    QStringList typed = {"mistyped", m_server.password()};
    test::ModalScript script([&](QDialog& dialog) {
        const bool asking = qobject_cast<QInputDialog*>(&dialog);
        runSyncs(shown, asking ? typed.takeFirst() : QString())(dialog);
    });
    p.main->mnuSyncNow->trigger();
    p.main->mnuSyncNow->trigger();

    QCOMPARE(shown.passwordsAsked(), 2);
    QCOMPARE(p.boxes.texts().size(), 2);
    QVERIFY2(p.boxes.texts()[0].contains(QStringLiteral("password")),
             qPrintable(p.boxes.texts()[0]));
    QCOMPARE(p.boxes.texts()[1], QStringLiteral("0 sent, 0 received, 0 deleted, 0 conflicts kept"));
}

// The user's Yes to plain http to another machine holds for the account's address at every
// Sync now; a new address is asked about again.
void TestSyncWindows::plainHttpAskedOncePerAddress() {
    QVERIFY2(m_server.isRunning(), qPrintable(m_server.error()));
    const QUrl book = m_server.makeAddressBook(QStringLiteral("plain"), {});
    qputenv("QUILLORY_SYNC_PASSWORD", m_server.password().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{}});
    Shown shown;
    test::ModalScript script(runSyncs(shown, {}));
    QList<int> questions; // asked at each Sync now
    // Names of this machine that are not "localhost", as another machine's would be.
    for (const QString host : {"vm", "vm", "runsc"}) {
        QUrl url = book;
        url.setHost(host);
        QVERIFY((sync::SyncAccount{url, m_server.user(), url}.save(p.folder.path())));
        p.boxes.clear();
        p.boxes.answer(ui::Answer::Yes); // to the question, when it comes first
        p.main->mnuSyncNow->trigger();
        questions << int(std::count_if(
            p.boxes.asked().cbegin(), p.boxes.asked().cend(),
            [](const ui::MessageRequest& box) { return box.buttons == ui::Buttons::YesNo; }));
        QVERIFY2(p.boxes.texts().last().startsWith("0 sent, 0 received"),
                 qPrintable(p.boxes.texts().last()));
    }
    QCOMPARE(questions, (QList<int>{1, 0, 1}));
    QCOMPARE(shown.syncs(), 3);
}

QTEST_MAIN(TestSyncWindows)
#include "test_sync_windows.moc"
