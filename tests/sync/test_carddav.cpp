// The CardDAV client against a real server (Radicale), and against a tiny server of the test's
// own where an answer Radicale never gives is needed (broken XML, silence, an untrusted
// certificate).

#include "RadicaleServer.h"
#include "sync/CardDav.h"

#include <atomic>
#include <memory>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <thread>

using namespace quillory::sync;
using quillory::test::RadicaleServer;
using Kind = SyncError::Kind;

namespace {

QByteArray card(const QString& uid, const QString& name) {
    return QStringLiteral(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:%2;;;;\r\nEND:VCARD\r\n")
        .arg(uid, name)
        .toUtf8();
}

// Answers every request with `answer` (raw HTTP; empty: never a word), over TLS when given a
// certificate.
class FixedAnswerServer {
public:
    FixedAnswerServer(QByteArray answer, const QString& certificateDir = {})
        : m_answer(std::move(answer)) {
        if (certificateDir.isEmpty()) {
            m_server = std::make_unique<QTcpServer>();
        } else {
            auto tls = std::make_unique<QSslServer>();
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setLocalCertificate(
                QSslCertificate::fromPath(certificateDir + QStringLiteral("/cert.pem")).value(0));
            QFile key(certificateDir + QStringLiteral("/key.pem"));
            key.open(QIODevice::ReadOnly);
            configuration.setPrivateKey(QSslKey(&key, QSsl::Rsa));
            tls->setSslConfiguration(configuration);
            m_server = std::move(tls);
        }
        QObject::connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, m_server.get(),
                         [this] { take(m_server->nextPendingConnection()); });
        m_server->listen(QHostAddress::LocalHost, 0);
    }
    QUrl url(const QString& scheme = QStringLiteral("http")) const {
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2/book/").arg(scheme).arg(m_server->serverPort()));
    }
    bool received() const { return m_received; }

private:
    void take(QTcpSocket* socket) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            m_received = !socket->readAll().isEmpty() || m_received;
            if (!m_answer.isEmpty()) {
                socket->write(m_answer);
                socket->disconnectFromHost();
            }
        });
    }

    QByteArray m_answer;
    std::unique_ptr<QTcpServer> m_server;
    bool m_received = false;
};

QByteArray httpAnswer(const QByteArray& statusLine, const QByteArray& body) {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Type: application/xml\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TestCardDav : public QObject {
    Q_OBJECT

    std::unique_ptr<RadicaleServer> m_server;
    QTemporaryDir m_certificateDir;
    int m_books = 0;

    Account account(const QUrl& url, const QUrl& book = {}) const {
        return {url, m_server->user(), m_server->password(), book, false};
    }
    // An address book of its own for each test, so that tests do not see each other's cards.
    QUrl freshBook() {
        const QString name = QStringLiteral("book%1").arg(++m_books);
        return m_server->makeAddressBook(name, name);
    }
    QStringList hrefs(const QVector<RemoteCard>& cards) const {
        QStringList list;
        for (const RemoteCard& remote : cards)
            list.append(remote.href);
        return sorted(list);
    }

private Q_SLOTS:
    void initTestCase() {
        m_server = std::make_unique<RadicaleServer>();
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
        QVERIFY(!m_server->makeAddressBook(QStringLiteral("family"), QStringLiteral("Family"))
                     .isEmpty());
        QVERIFY(!m_server->makeAddressBook(QStringLiteral("work"), QStringLiteral("Work & Co"))
                     .isEmpty());
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                       "/CN=127.0.0.1", "-keyout", m_certificateDir.filePath("key.pem"), "-out",
                       m_certificateDir.filePath("cert.pem")});
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
    }

    void discovery_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("found");
        const QStringList both{"Family /u1/family/", "Work & Co /u1/work/"};
        QTest::newRow("the server's root") << "/" << both;
        QTest::newRow("the user's principal") << "/u1/" << both;
        QTest::newRow("an address book's own URL")
            << "/u1/work" << QStringList{"Work & Co /u1/work/"};
    }
    void discovery() {
        QFETCH(QString, start);
        QFETCH(QStringList, found);
        CardDavClient client(account(m_server->root().resolved(QUrl(start))));
        const QVector<AddressBookInfo> discovered = client.discover();
        QStringList books;
        for (const AddressBookInfo& book : discovered)
            books.append(book.displayName + ' ' + book.url.path());
        QCOMPARE(sorted(books), found);
        QCOMPARE(client.addressBook(), discovered.first().url);
    }

    // A card sent, listed, fetched, changed and deleted, under a UID that needs encoding.
    void cardLifeCycle() {
        const QUrl book = freshBook();
        CardDavClient client(account(m_server->root(), book));
        const QString href = cardHref(QStringLiteral("a/b é@1"));
        const QString etag = client.put(href, card("a/b é@1", "First"), {});
        QVERIFY(!etag.isEmpty());

        const Changes all = client.changesSince({});
        QVERIFY(all.complete);
        QVERIFY(!all.token.isEmpty());
        QCOMPARE(all.changed.size(), 1);
        QCOMPARE(all.changed[0].etag, etag);
        const QString listed = all.changed[0].href;
        QVERIFY(listed.startsWith(book.path()));

        const QVector<RemoteCard> fetched =
            client.fetch({listed, book.path() + QStringLiteral("missing.vcf")});
        QCOMPARE(fetched.size(), 1);
        QCOMPARE(fetched[0].href, listed);
        QCOMPARE(fetched[0].etag, etag);
        QVERIFY(fetched[0].vcard.contains("UID:a/b é@1"));

        const QString changed = client.put(listed, card("a/b é@1", "Second"), etag);
        QVERIFY(!changed.isEmpty() && changed != etag);
        QVERIFY(m_server->get(book.resolved(QUrl(href))).body.contains("FN:Second"));

        client.remove(listed, changed);
        QCOMPARE(m_server->get(book.resolved(QUrl(href))).status, 404);
        client.remove(listed, changed); // already gone: no error
        QVERIFY(client.changesSince({}).changed.isEmpty());
    }

    // After changes made by another device, the token lists just them; a token the server no
    // longer knows gets the whole address book.
    void tokenListsJustTheChanges() {
        const QUrl book = freshBook();
        for (const char* uid : {"a", "b", "c"})
            QCOMPARE(
                m_server->put(book.resolved(QUrl(uid + QStringLiteral(".vcf"))), card(uid, uid))
                    .status,
                201);
        CardDavClient client(account(m_server->root(), book));
        const Changes first = client.changesSince({});
        QCOMPARE(first.changed.size(), 3);

        m_server->put(book.resolved(QUrl("a.vcf")), card("a", "a changed"));
        m_server->remove(book.resolved(QUrl("b.vcf")));
        m_server->put(book.resolved(QUrl("d.vcf")), card("d", "d"));
        const Changes next = client.changesSince(first.token);
        QVERIFY(!next.complete);
        QCOMPARE(hrefs(next.changed), QStringList({book.path() + "a.vcf", book.path() + "d.vcf"}));
        QCOMPARE(next.removed, QStringList{book.path() + "b.vcf"});
        QVERIFY(!next.token.isEmpty() && next.token != first.token);

        const Changes unknown = client.changesSince(first.token + QStringLiteral("0"));
        QVERIFY(unknown.complete);
        QCOMPARE(hrefs(unknown.changed).size(), 3);
        QVERIFY(client.changesSince(next.token).changed.isEmpty());
    }

    void fetchesMoreCardsThanOneRequestCarries() {
        const QUrl book = freshBook();
        QStringList sent;
        for (int i = 0; i < 205; ++i) {
            const QString name = QStringLiteral("c%1.vcf").arg(i);
            QCOMPARE(m_server->put(book.resolved(QUrl(name)), card(name, name)).status, 201);
            sent.append(book.path() + name);
        }
        CardDavClient client(account(m_server->root(), book));
        const QVector<RemoteCard> cards = client.fetch(sent);
        QCOMPARE(hrefs(cards), sorted(sent));
        QVERIFY(std::all_of(cards.begin(), cards.end(), [](const RemoteCard& c) {
            return c.vcard.startsWith("BEGIN:VCARD") && !c.etag.isEmpty();
        }));
    }

    void errors_data() {
        QTest::addColumn<QString>("where"); // Radicale, an own server's answer, or another host
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("inMessage");
        const QString pw = QStringLiteral("pw1");
        const QByteArray none;
        QTest::newRow("wrong password") << "radicale" << none << "wrong"
                                        << "list" << int(Kind::Authentication) << "password";
        QTest::newRow("no such address book")
            << "missing" << none << pw << "list" << int(Kind::NotFound) << "/u1/missing/";
        QTest::newRow("new card over an existing one")
            << "radicale" << none << pw << "put new" << int(Kind::Precondition)
            << "changed on the server";
        QTest::newRow("changed card with a stale ETag")
            << "radicale" << none << pw << "put stale" << int(Kind::Precondition)
            << "changed on the server";
        QTest::newRow("delete with a stale ETag")
            << "radicale" << none << pw << "remove stale" << int(Kind::Precondition)
            << "changed on the server";
        QTest::newRow("plain http to another host")
            << "http://sync.example.invalid/book/" << none << pw << "list" << int(Kind::PlainHttp)
            << "not encrypted";
        QTest::newRow("broken XML")
            << "own"
            << httpAnswer("207 Multi-Status",
                          "<multistatus xmlns=\"DAV:\"><response><href>/x</href></multistatus>")
            << pw << "list" << int(Kind::Protocol) << "line 1";
        QTest::newRow("no multistatus")
            << "own" << httpAnswer("207 Multi-Status", "<html><body>Welcome</body></html>") << pw
            << "fetch" << int(Kind::Protocol) << "no WebDAV multistatus";
        QTest::newRow("server error") << "own" << httpAnswer("503 Service Unavailable", "") << pw
                                      << "put new" << int(Kind::Server) << "503";
        QTest::newRow("silence") << "own" << none << pw << "list" << int(Kind::Network)
                                 << "did not answer";
        QTest::newRow("untrusted certificate") << "own tls" << httpAnswer("207 Multi-Status", "")
                                               << pw << "list" << int(Kind::Tls) << "certificate";
    }
    void errors() {
        QFETCH(QString, where);
        QFETCH(QByteArray, answer);
        QFETCH(QString, password);
        QFETCH(QString, action);
        QFETCH(int, kind);
        QFETCH(QString, inMessage);
        std::unique_ptr<FixedAnswerServer> own;
        QUrl book;
        if (where.startsWith(QLatin1String("own"))) {
            const bool tls = where.endsWith(QLatin1String("tls"));
            own = std::make_unique<FixedAnswerServer>(answer,
                                                      tls ? m_certificateDir.path() : QString());
            book = own->url(tls ? QStringLiteral("https") : QStringLiteral("http"));
        } else if (where == QLatin1String("missing")) {
            book = m_server->root().resolved(QUrl("/u1/missing/"));
        } else if (where == QLatin1String("radicale")) {
            book = freshBook();
            QCOMPARE(m_server->put(book.resolved(QUrl("x.vcf")), card("x", "x")).status, 201);
        } else {
            book = QUrl(where);
        }
        Account settings = account(book, book);
        settings.password = password;
        CardDavClient client(settings, 1500);
        try {
            if (action == QLatin1String("list"))
                client.changesSince({});
            else if (action == QLatin1String("fetch"))
                client.fetch({QStringLiteral("x.vcf")});
            else if (action == QLatin1String("put new"))
                client.put(QStringLiteral("x.vcf"), card("x", "y"), {});
            else if (action == QLatin1String("put stale"))
                client.put(QStringLiteral("x.vcf"), card("x", "y"), QStringLiteral("\"stale\""));
            else
                client.remove(QStringLiteral("x.vcf"), QStringLiteral("\"stale\""));
            QFAIL("no error");
        } catch (const SyncError& error) {
            QCOMPARE(int(error.kind()), kind);
            QVERIFY2(error.message().contains(inMessage), qPrintable(error.message()));
            QVERIFY(!error.message().contains(QStringLiteral("pw1")));
        }
    }

    // A cancel from the window's thread ends the request a worker thread is waiting on.
    void cancelFromAnotherThread() {
        FixedAnswerServer silent({});
        CardDavClient client(account(silent.url(), silent.url()), 600000);
        std::atomic<int> kind{-1};
        std::thread worker([&] {
            try {
                client.changesSince({});
            } catch (const SyncError& error) {
                kind = int(error.kind());
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(silent.received(), 30000);
        client.cancel();
        QTRY_VERIFY_WITH_TIMEOUT(kind != -1, 30000);
        worker.join();
        QCOMPARE(kind.load(), int(Kind::Cancelled));
    }

    // Runs last: the shared server is stopped and started again.
    void stoppedServerThenRestarted() {
        const QUrl book = freshBook();
        CardDavClient client(account(m_server->root(), book));
        client.put(QStringLiteral("kept.vcf"), card("kept", "Kept"), {});
        m_server->stop();
        try {
            client.changesSince({});
            QFAIL("no error");
        } catch (const SyncError& error) {
            QCOMPARE(error.kind(), Kind::Network);
        }
        QVERIFY2(m_server->start(), qPrintable(m_server->error()));
        QCOMPARE(hrefs(client.changesSince({}).changed), QStringList{book.path() + "kept.vcf"});
    }
};

QTEST_MAIN(TestCardDav)
#include "test_carddav.moc"
