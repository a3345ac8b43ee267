// Figures for the sync with a CardDAV server (Radicale on loopback, started here):
//   (a) the first sync of a book of N contacts to an empty address book;
//   (b) the same N cards sent by a plain client, one keep-alive connection, one PUT with
//       If-None-Match: * after the other, to an empty address book of a fresh server: what the
//       server itself needs to take them. The ratio a/b is what the sync adds;
//   (c) a sync with one contact edited, and a sync with nothing changed, against the server of
//       (a), or with --changes-only against one filled by writing the cards into its folder:
//       time and requests.
//
//     build/bench/bench_sync [--contacts 1000] [--changes-only]
//
// QUILLORY_BENCH_SYNC_CONTACTS gives the default of --contacts. The book is generated once into
// $QUILLORY_BENCH_DIR (default /tmp/quillory-bench) and copied for each run, since a sync
// writes to it.

#include "BookGenerator.h"
#include "exchange/Exchange.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "RadicaleServer.h"
#include "ReportFigures.h"
#include "sync/CardDav.h"
#include "sync/SyncEngine.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <sys/resource.h>

using quillory::bench::printFigure;
using quillory::test::RadicaleServer;
namespace dav = quillory::sync;

namespace {

struct Failure {
    QString what;
};

dav::Account accountOf(const RadicaleServer& server, const QUrl& addressBook) {
    return {addressBook, server.user(), server.password(), addressBook};
}

// HTTP/1.1 PUTs on one connection while the server keeps it open, nothing else: as little
// client as a server can be fed by.
class PlainClient {
public:
    explicit PlainClient(const RadicaleServer& server)
        : m_port(quint16(server.root().port())),
          m_authorization("Basic " +
                          (server.user() + u':' + server.password()).toUtf8().toBase64()) {}

    int put(const QByteArray& path, const QByteArray& card) {
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
            if (!m_socket.waitForConnected(30000))
                throw Failure{QStringLiteral("no connection to the server")};
        }
        m_socket.write("PUT " + path +
                       " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " + m_authorization +
                       "\r\nContent-Type: text/vcard; charset=utf-8\r\nIf-None-Match: *\r\n"
                       "Content-Length: " +
                       QByteArray::number(card.size()) + "\r\n\r\n" + card);
        QByteArray head = readUntil("\r\n\r\n");
        const int status = head.mid(9, 3).toInt();
        qint64 length = 0;
        // Radicale answers HTTP/1.0 and closes the connection after each answer.
        bool close = !head.startsWith("HTTP/1.1");
        for (const QByteArray& line : head.split('\n')) {
            const QByteArray lower = line.trimmed().toLower();
            if (lower.startsWith("content-length:"))
                length = lower.mid(15).trimmed().toLongLong();
            close = close || lower == "connection: close";
        }
        while (m_buffer.size() < length)
            more();
        m_buffer.remove(0, length);
        if (close)
            m_socket.disconnectFromHost();
        return status;
    }

private:
    void more() {
        if (!m_socket.waitForReadyRead(60000))
            throw Failure{QStringLiteral("the server stopped answering")};
        m_buffer += m_socket.readAll();
    }
    QByteArray readUntil(const QByteArray& end) {
        qsizetype at;
        while ((at = m_buffer.indexOf(end)) < 0)
            more();
        const QByteArray head = m_buffer.left(at);
        m_buffer.remove(0, at + end.size());
        return head;
    }

    QTcpSocket m_socket;
    quint16 m_port;
    QByteArray m_authorization;
    QByteArray m_buffer;
};

QUrl emptyAddressBook(RadicaleServer& server) {
    if (!server.isRunning())
        throw Failure{QStringLiteral("radicale: ") + server.error()};
    const QUrl addressBook = server.makeAddressBook(QStringLiteral("bench"), {});
    if (addressBook.isEmpty())
        throw Failure{QStringLiteral("radicale makes no address book")};
    return addressBook;
}

// The processor time this process has used, the server apart: what the sync itself costs.
double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timed {
    double seconds = 0;
    double cpu = 0;
    qint64 requests = 0;
    QString summary;
};

Timed timedSync(const QString& book, const RadicaleServer& server, const QUrl& addressBook) {
    dav::CardDavClient client(accountOf(server, addressBook));
    QElapsedTimer clock;
    clock.start();
    const double cpu = ownCpuSeconds();
    const dav::SyncSummary summary = dav::synchronize(book, client);
    return {clock.elapsed() / 1000.0, ownCpuSeconds() - cpu, client.requestCount(), summary.text()};
}

void report(const char* what, const Timed& run, double limit) {
    printFigure(what, run.seconds, "s", limit);
    std::printf("    %lld requests, %.2f s of processor time here: %s\n",
                static_cast<long long>(run.requests), run.cpu,
                qPrintable(run.summary.section(u'\n', 0, 0)));
}

// (c): one contact edited, then nothing.
void changeOne(const QString& book, int contacts, const RadicaleServer& server,
               const QUrl& addressBook) {
    {
        auto db = quillory::engine::Database::open(book);
        db->exec(QStringLiteral("UPDATE PhoneBK SET phone = '555-0199' WHERE id = (SELECT "
                                "min(id) + %1 FROM PhoneBK)")
                     .arg(contacts / 2));
    }
    report("(c) sync with one contact edited", timedSync(book, server, addressBook), 1);
    report("    sync with nothing changed", timedSync(book, server, addressBook), 1);
}

// A fresh copy of the generated book, since a sync writes to it.
QString freshBook(const QString& folder) {
    const QString book = QDir(folder).filePath(QStringLiteral("synced.mdb"));
    QFile::remove(book);
    if (!QFile::copy(QDir(folder).filePath(QStringLiteral("Corvanel.MDB")), book))
        throw Failure{QStringLiteral("cannot copy the generated book")};
    return book;
}

// The cards exactly as a sync left them on the server, for the plain client.
QVector<dav::RemoteCard> cardsOn(const RadicaleServer& server, const QUrl& addressBook) {
    dav::CardDavClient reader(accountOf(server, addressBook));
    QStringList hrefs;
    for (const dav::RemoteCard& card : reader.changesSince({}).changed)
        hrefs.append(card.href);
    return reader.fetch(hrefs);
}

double plainPuts(const QVector<dav::RemoteCard>& cards) {
    RadicaleServer server;
    const QUrl addressBook = emptyAddressBook(server);
    PlainClient client(server);
    QElapsedTimer clock;
    clock.start();
    const double cpu = ownCpuSeconds();
    for (const dav::RemoteCard& card : cards) {
        const QByteArray path = addressBook.resolved(QUrl(card.href.section(u'/', -1)))
                                    .path(QUrl::FullyEncoded)
                                    .toUtf8();
        if (client.put(path, card.vcard) / 100 != 2)
            throw Failure{QStringLiteral("the plain PUT of %1 failed").arg(card.href)};
    }
    const double seconds = clock.elapsed() / 1000.0;
    printFigure("(b) the same cards by plain PUTs", seconds, "s", 60);
    std::printf("    %.2f s of processor time here\n", ownCpuSeconds() - cpu);
    return seconds;
}

// Each first sync and each baseline runs twice, in the order a b b a, so that a load on the
// machine that grows or falls during the run weighs on both alike.
void run(int contacts) {
    const QString folder = quillory::bench::benchBookFolder(QStringLiteral("sync"), contacts);
    std::printf("Sync of %d contacts with radicale on loopback (%s)\n", contacts,
                qPrintable(folder));
    QVector<dav::RemoteCard> cards;
    double synced = 0;
    {
        RadicaleServer server;
        const QUrl addressBook = emptyAddressBook(server);
        const Timed first = timedSync(freshBook(folder), server, addressBook);
        report("(a) first sync to an empty address book", first, 60);
        synced += first.seconds;
        cards = cardsOn(server, addressBook);
    }
    if (cards.size() != contacts)
        std::printf("  UNEXPECTED: %lld cards on the server\n",
                    static_cast<long long>(cards.size()));
    const double plain = plainPuts(cards) + plainPuts(cards);

    RadicaleServer server;
    const QUrl addressBook = emptyAddressBook(server);
    const QString book = freshBook(folder);
    const Timed first = timedSync(book, server, addressBook);
    report("(a) first sync, again", first, 60);
    synced += first.seconds;
    printFigure("ratio a/b", synced / plain, "", 1.5);

    changeOne(book, contacts, server, addressBook);
}

// The server filled with the book's cards written into its folder, the book synced with it
// (every card is fetched and found equal, nothing is sent), then (c).
void changesAt(int contacts) {
    const QString folder = quillory::bench::benchBookFolder(QStringLiteral("sync"), contacts);
    const QString book = freshBook(folder);
    const QString file = QDir(folder).filePath(QStringLiteral("cards.vcf"));
    quillory::exchange::ExportOptions options;
    options.version = quillory::exchange::VCardVersion::V3;
    quillory::exchange::exportBook(book, file, options); // gives every contact its UID
    QFile vcards(file);
    if (!vcards.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("cannot read %1").arg(file)};
    RadicaleServer server;
    const QUrl addressBook = emptyAddressBook(server);
    const QDir collection(server.storageFolder() + QStringLiteral("/collection-root") +
                          addressBook.path());
    const QByteArray end = "END:VCARD\r\n";
    const QByteArray all = vcards.readAll();
    qsizetype written = 0;
    for (qsizetype at = 0, next; (next = all.indexOf(end, at)) >= 0; at = next + end.size()) {
        const QByteArray card = all.mid(at, next + end.size() - at);
        const qsizetype uid = card.indexOf("\r\nUID:") + 6;
        const QString name =
            dav::cardHref(QString::fromUtf8(card.mid(uid, card.indexOf('\r', uid) - uid)));
        QFile item(collection.filePath(name));
        if (!item.open(QIODevice::WriteOnly) || item.write(card) != card.size())
            throw Failure{QStringLiteral("cannot write %1").arg(item.fileName())};
        ++written;
    }
    std::printf("Sync with %lld cards written into radicale's folder\n",
                static_cast<long long>(written));
    // Radicale reads each card written behind its back once, to index it, at the first listing:
    // that is left out of the figures, as a server filled by PUTs has it done already.
    dav::CardDavClient(accountOf(server, addressBook), 1800000).changesSince({});
    report("    first sync, every card already there", timedSync(book, server, addressBook), 600);
    changeOne(book, contacts, server, addressBook);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption contactsOption(
        QStringLiteral("contacts"), QStringLiteral("Contacts in the book."), QStringLiteral("N"),
        qEnvironmentVariable("QUILLORY_BENCH_SYNC_CONTACTS", QStringLiteral("1000")));
    const QCommandLineOption changesOption(
        QStringLiteral("changes-only"),
        QStringLiteral("Only (c), on a server filled by writing the cards into its folder."));
    parser.addOptions({contactsOption, changesOption});
    parser.process(application);
    try {
        const int contacts = parser.value(contactsOption).toInt();
        if (parser.isSet(changesOption))
            changesAt(contacts);
        else
            run(contacts);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench_sync: %s\n", qPrintable(failure.what));
        return 1;
    } catch (const dav::SyncError& error) {
        std::fprintf(stderr, "bench_sync: %s\n", qPrintable(error.message()));
        return 1;
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "bench_sync: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
