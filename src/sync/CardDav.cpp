// The CardDAV client: discovery, listing, fetching and writing cards over WebDAV, one blocking
// request at a time on a local event loop of the calling thread.

#include "sync/CardDav.h"

#include "sync/DavXml.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <QAuthenticator>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslError>
#include <QThread>
#include <QTimer>

namespace quillory::sync {

namespace {

using Kind = SyncError::Kind;

constexpr int maxRedirects = 5;
constexpr int fetchChunk = 100;

const QByteArray xmlType = "application/xml; charset=utf-8";

// An address for messages: never the user name or password a URL might carry.
QString shown(const QUrl& url) {
    return url.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded);
}

bool isLoopback(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// A collection's URL always ends in a slash, so that a card's name is resolved inside it.
QUrl asCollection(QUrl url) {
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

bool sameServer(const QUrl& a, const QUrl& b) {
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

struct Answer {
    int status = 0;
    QByteArray body;
    QByteArray etag;
    QByteArray location;  // of a redirection
    QByteArray challenge; // WWW-Authenticate of a 401
    QUrl url;             // where the answer came from, after redirects
};

Kind kindOfStatus(int status) {
    switch (status) {
    case 401:
    case 403:
        return Kind::Authentication;
    case 404:
    case 410:
        return Kind::NotFound;
    case 412:
        return Kind::Precondition;
    default:
        return Kind::Server;
    }
}

QString reasonOfStatus(int status) {
    switch (kindOfStatus(status)) {
    case Kind::Authentication:
        return QStringLiteral("the server refused the user name or password");
    case Kind::NotFound:
        return QStringLiteral("the server does not have it");
    case Kind::Precondition:
        return QStringLiteral("the card was changed on the server since it was last synced");
    default:
        return QStringLiteral("the server answered with status %1").arg(status);
    }
}

// Throws the error of an answer whose status is not one of `expected`.
void expect(const Answer& answer, std::initializer_list<int> expected, const QString& what) {
    for (int status : expected) {
        if (answer.status == status)
            return;
    }
    throw SyncError(kindOfStatus(answer.status),
                    QStringLiteral("%1 failed: %2.").arg(what, reasonOfStatus(answer.status)));
}

// Whether a 401's WWW-Authenticate offers Basic among its schemes.
bool offersBasic(const QByteArray& challenge) {
    static const QRegularExpression basic(QStringLiteral("(^|[\\s,])basic(\\s|$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    return challenge.isEmpty() || basic.match(QString::fromLatin1(challenge)).hasMatch();
}

Kind kindOfNetworkError(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::UnknownNetworkError:
        return Kind::Tls;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolFailure:
        return Kind::Protocol;
    default:
        return Kind::Network;
    }
}

} // namespace

SyncError::SyncError(Kind kind, const QString& message)
    : std::runtime_error(message.toStdString()), m_kind(kind) {}

QString SyncError::message() const {
    return QString::fromStdString(what());
}

QString cardHref(const QString& uid) {
    // Servers decode a path before they store it, so an encoded slash or dot segment would still
    // leave the address book: a UID with any other character is named by its hash instead.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._@+-]{0,199}$"));
    const QString name =
        plain.match(uid).hasMatch()
            ? uid
            : QString::fromLatin1(
                  QCryptographicHash::hash(uid.toUtf8(), QCryptographicHash::Sha256).toHex());
    return name + QStringLiteral(".vcf");
}

struct CardDavClient::Private {
    Account account;
    int timeoutMs;
    QUrl addressBook; // settled by addressBook()
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> requests{0};
    std::mutex loopMutex;
    QEventLoop* runningLoop = nullptr; // the loop of the request in progress, for cancel()
    std::unique_ptr<QNetworkAccessManager> network;
    QThread* networkThread = nullptr;
    // The server asked for a scheme other than Basic (Digest): the credentials answer its
    // challenges rather than going with every request.
    bool answerChallenges = false;

    Private(Account a, int timeout) : account(std::move(a)), timeoutMs(timeout) {}
    ~Private() { releaseNetwork(); }

    // The access manager belongs to the thread that made it; a call from another thread gets
    // one of its own, and the old one is deleted by its own thread.
    QNetworkAccessManager& networkOfThisThread() {
        if (network && networkThread != QThread::currentThread())
            releaseNetwork();
        if (!network) {
            network = std::make_unique<QNetworkAccessManager>();
            networkThread = QThread::currentThread();
        }
        return *network;
    }

    void releaseNetwork() {
        if (network && networkThread != QThread::currentThread())
            network.release()->deleteLater();
        network.reset();
    }

    void throwIfCancelled() const {
        if (cancelled)
            throw SyncError(Kind::Cancelled, QStringLiteral("The sync was cancelled."));
    }

    void refusePlainHttp(const QUrl& url) const {
        if (url.scheme() == QLatin1String("https"))
            return;
        if (url.scheme() != QLatin1String("http"))
            throw SyncError(Kind::Protocol,
                            QStringLiteral("%1 is no http or https address.").arg(shown(url)));
        if (!isLoopback(url.host()) && !account.allowPlainHttp)
            throw SyncError(Kind::PlainHttp,
                            QStringLiteral("%1 is not encrypted (http); it is used only after "
                                           "you confirm it.")
                                .arg(shown(url)));
    }

    QNetworkRequest requestFor(const QUrl& url,
                               const QList<std::pair<QByteArray, QByteArray>>& headers) const {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setRawHeader("User-Agent", "Quillory");
        // Basic goes with the first request, saving every request a round of 401.
        if (!answerChallenges)
            request.setRawHeader(
                "Authorization",
                "Basic " +
                    (account.user + QLatin1Char(':') + account.password).toUtf8().toBase64());
        for (const auto& [name, value] : headers)
            request.setRawHeader(name, value);
        return request;
    }

    // One request, following redirects (each checked as the first address is); the answer's
    // status is left to the caller. Network failures, time-outs and cancels throw.
    Answer send(const QByteArray& verb, QUrl url, const QByteArray& body,
                const QList<std::pair<QByteArray, QByteArray>>& headers, const QString& what) {
        for (int hop = 0;; ++hop) {
            throwIfCancelled();
            refusePlainHttp(url);
            Answer answer = sendOnce(verb, url, body, headers, what);
            if (answer.status == 401 && !answerChallenges && !offersBasic(answer.challenge)) {
                answerChallenges = true;
                answer = sendOnce(verb, url, body, headers, what);
            }
            const bool redirect = answer.status >= 300 && answer.status < 400 &&
                                  answer.status != 304 && !answer.location.isEmpty();
            if (!redirect)
                return answer;
            if (hop == maxRedirects)
                throw SyncError(Kind::Server,
                                QStringLiteral("%1 failed: too many redirections.").arg(what));
            const QUrl next = url.resolved(QUrl(QString::fromUtf8(answer.location)));
            if (url.scheme() == QLatin1String("https") && next.scheme() != url.scheme())
                throw SyncError(Kind::Tls, QStringLiteral("%1 failed: the server redirects from "
                                                          "https to unencrypted %2.")
                                               .arg(what, shown(next)));
            url = next;
        }
    }

    Answer sendOnce(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                    const QList<std::pair<QByteArray, QByteArray>>& headers, const QString& what) {
        std::unique_ptr<QNetworkReply> reply(
            networkOfThisThread().sendCustomRequest(requestFor(url, headers), verb, body));
        ++requests;
        QEventLoop loop;
        QTimer quiet; // restarted by every byte that moves: a time-out of silence
        quiet.setSingleShot(true);
        quiet.setInterval(timeoutMs);
        QString tlsProblems;
        // A challenge is answered once per request: credentials the server refuses are not
        // offered again, and the request ends with its 401.
        bool answered = false;
        QObject::connect(&networkOfThisThread(), &QNetworkAccessManager::authenticationRequired,
                         &loop, [&](QNetworkReply* asking, QAuthenticator* authenticator) {
                             if (asking != reply.get() || answered || !answerChallenges)
                                 return;
                             answered = true;
                             authenticator->setUser(account.user);
                             authenticator->setPassword(account.password);
                         });
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &quiet,
                         qOverload<>(&QTimer::start));
        QObject::connect(reply.get(), &QNetworkReply::uploadProgress, &quiet,
                         qOverload<>(&QTimer::start));
        // Certificate errors are collected for the message and never ignored.
        QObject::connect(reply.get(), &QNetworkReply::sslErrors, &loop,
                         [&tlsProblems](const QList<QSslError>& errors) {
                             for (const QSslError& error : errors)
                                 tlsProblems +=
                                     QLatin1Char(' ') + error.errorString() + QLatin1Char('.');
                         });
        quiet.start();
        {
            std::lock_guard lock(loopMutex);
            runningLoop = &loop;
        }
        if (!cancelled && !reply->isFinished())
            loop.exec();
        {
            std::lock_guard lock(loopMutex);
            runningLoop = nullptr;
        }
        if (!reply->isFinished()) {
            reply->abort();
            throwIfCancelled();
            throw SyncError(Kind::Network,
                            QStringLiteral("%1 failed: the server did not answer within %2 s.")
                                .arg(what)
                                .arg(timeoutMs / 1000.0));
        }
        throwIfCancelled();
        Answer answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.url = url;
        if (answer.status == 0 && !tlsProblems.isEmpty())
            throw SyncError(Kind::Tls,
                            QStringLiteral("%1 was refused: the server's certificate is not "
                                           "trusted.%2")
                                .arg(what, tlsProblems));
        if (answer.status == 0)
            throw SyncError(kindOfNetworkError(reply->error()),
                            QStringLiteral("%1 failed: %2.").arg(what, reply->errorString()));
        answer.body = reply->readAll();
        answer.etag = reply->rawHeader("ETag");
        answer.location = reply->rawHeader("Location");
        answer.challenge = reply->rawHeader("WWW-Authenticate");
        return answer;
    }

    Answer propfind(const QUrl& url, int depth, const QByteArray& body, const QString& what) {
        return send("PROPFIND", url, body,
                    {{"Depth", QByteArray::number(depth)}, {"Content-Type", xmlType}}, what);
    }

    Answer report(const QUrl& url, const QByteArray& body, const QString& what) {
        return send("REPORT", url, body, {{"Depth", "1"}, {"Content-Type", xmlType}}, what);
    }

    // The multistatus of a 207 answer; anything else throws as its status says.
    Multistatus multistatus(const Answer& answer, const QString& what) {
        expect(answer, {207}, what);
        return parseMultistatus(answer.body, what);
    }

    QUrl urlOf(const QString& href) const { return addressBook.resolved(QUrl(href)); }

    // The href as the rest of the program keeps it: the path on the address book's server.
    QString hrefOf(const QUrl& answered, const QString& href) const {
        const QUrl url = answered.resolved(QUrl(href));
        return sameServer(url, addressBook) ? url.path(QUrl::FullyEncoded)
                                            : url.toString(QUrl::FullyEncoded);
    }

    bool isTheCollection(const QUrl& answered, const QString& href) const {
        return asCollection(answered.resolved(QUrl(href))).path() == addressBook.path();
    }

    QVector<AddressBookInfo> discover();
    Changes listAll(const QString& what);
    Changes syncCollection(const QString& token, const QString& what);
};

CardDavClient::CardDavClient(Account account, int timeoutMs)
    : d(new Private(std::move(account), timeoutMs)) {}

CardDavClient::~CardDavClient() {
    delete d;
}

QVector<AddressBookInfo> CardDavClient::Private::discover() {
    const QString what = QStringLiteral("Looking for address books at %1").arg(shown(account.url));
    QUrl context = account.url;
    if (context.path().isEmpty() || context.path() == QLatin1String("/")) {
        // RFC 6764: the well-known address leads to the server's context path.
        const QUrl wellKnown = context.resolved(QUrl(QStringLiteral("/.well-known/carddav")));
        const Answer answer = propfind(wellKnown, 0, principalQuery(), what);
        if (answer.status == 207)
            context = answer.url;
        else if (answer.status == 401 || answer.status == 403)
            expect(answer, {207}, what);
    }
    Multistatus found = multistatus(propfind(context, 0, principalQuery(), what), what);
    const DavResponse* here = found.first();
    if (here && here->isAddressBook())
        return {{asCollection(context), here->text(DavResponse::DisplayName)}};
    QUrl home = context;
    QString homeHref = here ? here->href(DavResponse::AddressBookHome) : QString();
    const QString principal = here ? here->href(DavResponse::CurrentUserPrincipal) : QString();
    if (homeHref.isEmpty() && !principal.isEmpty()) {
        const QUrl principalUrl = context.resolved(QUrl(principal));
        found = multistatus(propfind(principalUrl, 0, principalQuery(), what), what);
        here = found.first();
        homeHref = here ? here->href(DavResponse::AddressBookHome) : QString();
        home = principalUrl;
    }
    if (!homeHref.isEmpty())
        home = home.resolved(QUrl(homeHref));
    const Multistatus listing =
        multistatus(propfind(asCollection(home), 1, principalQuery(), what), what);
    QVector<AddressBookInfo> books;
    for (const DavResponse& response : listing.responses) {
        if (response.isAddressBook())
            books.append({asCollection(home.resolved(QUrl(response.hrefText))),
                          response.text(DavResponse::DisplayName)});
    }
    return books;
}

QVector<AddressBookInfo> CardDavClient::discover() {
    return d->discover();
}

QUrl CardDavClient::addressBook() {
    if (!d->addressBook.isEmpty())
        return d->addressBook;
    if (!d->account.addressBook.isEmpty()) {
        d->addressBook = asCollection(d->account.addressBook);
        return d->addressBook;
    }
    const QVector<AddressBookInfo> books = discover();
    if (books.isEmpty())
        throw SyncError(
            Kind::NotFound,
            QStringLiteral("The server at %1 offers no address book.").arg(shown(d->account.url)));
    d->addressBook = books.first().url;
    return d->addressBook;
}

Changes CardDavClient::Private::listAll(const QString& what) {
    const Multistatus listing = multistatus(propfind(addressBook, 1, etagQuery(), what), what);
    Changes changes;
    changes.complete = true;
    for (const DavResponse& response : listing.responses) {
        if (response.isCollection() || isTheCollection(addressBook, response.hrefText))
            continue;
        const QString etag = response.text(DavResponse::ETag);
        if (response.status == 0 && !etag.isEmpty())
            changes.changed.append({hrefOf(addressBook, response.hrefText), etag, {}});
    }
    return changes;
}

Changes CardDavClient::Private::syncCollection(const QString& token, const QString& what) {
    Changes changes;
    changes.complete = token.isEmpty();
    changes.token = token;
    // A server may cut a long answer (507 on the collection itself): ask again from its token.
    for (bool truncated = true; truncated;) {
        const Answer answer = report(addressBook, syncCollectionQuery(changes.token), what);
        if (answer.status == 403 || answer.status == 409) {
            if (hasDavError(answer.body, QStringLiteral("valid-sync-token")))
                return changes.token.isEmpty() ? listAll(what) : syncCollection({}, what);
            if (hasDavError(answer.body, QStringLiteral("supported-report")))
                return listAll(what);
        }
        if (answer.status == 400 || answer.status == 405 || answer.status == 415 ||
            answer.status == 501)
            return listAll(what); // no sync-collection here
        const Multistatus found = multistatus(answer, what);
        truncated = false;
        for (const DavResponse& response : found.responses) {
            if (isTheCollection(addressBook, response.hrefText)) {
                truncated = response.status == 507;
                continue;
            }
            const QString href = hrefOf(addressBook, response.hrefText);
            if (response.status == 404) {
                changes.removed.append(href);
                continue;
            }
            const QString etag = response.text(DavResponse::ETag);
            if (!etag.isEmpty() && !response.isCollection())
                changes.changed.append({href, etag, {}});
        }
        if (found.syncToken.isEmpty() && truncated)
            throw SyncError(Kind::Protocol,
                            QStringLiteral("%1 failed: the server cut the listing short and gave "
                                           "no token to go on from.")
                                .arg(what));
        changes.token = found.syncToken;
    }
    return changes;
}

Changes CardDavClient::changesSince(const QString& token) {
    const QUrl book = addressBook();
    const QString what = QStringLiteral("Listing the cards of %1").arg(shown(book));
    return d->syncCollection(token, what);
}

QVector<RemoteCard> CardDavClient::fetch(const QStringList& hrefs) {
    const QUrl book = addressBook();
    const QString what = QStringLiteral("Fetching cards from %1").arg(shown(book));
    QVector<RemoteCard> cards;
    for (qsizetype start = 0; start < hrefs.size(); start += fetchChunk) {
        QStringList paths;
        for (const QString& href : hrefs.mid(start, fetchChunk))
            paths.append(d->urlOf(href).path(QUrl::FullyEncoded));
        const Multistatus found = d->multistatus(d->report(book, multigetQuery(paths), what), what);
        for (const DavResponse& response : found.responses) {
            if (response.status != 0 || !response.has(DavResponse::AddressData))
                continue;
            cards.append({d->hrefOf(book, response.hrefText), response.text(DavResponse::ETag),
                          response.text(DavResponse::AddressData).toUtf8()});
        }
    }
    return cards;
}

QString CardDavClient::put(const QString& href, const QByteArray& vcard, const QString& ifMatch) {
    addressBook();
    const QUrl url = d->urlOf(href);
    const QString what = QStringLiteral("Sending the card %1").arg(shown(url));
    const std::pair<QByteArray, QByteArray> condition =
        ifMatch.isEmpty() ? std::pair<QByteArray, QByteArray>{"If-None-Match", "*"}
                          : std::pair<QByteArray, QByteArray>{"If-Match", ifMatch.toUtf8()};
    const Answer answer = d->send("PUT", url, vcard,
                                  {{"Content-Type", "text/vcard; charset=utf-8"}, condition}, what);
    expect(answer, {200, 201, 204}, what);
    return QString::fromUtf8(answer.etag);
}

void CardDavClient::remove(const QString& href, const QString& ifMatch) {
    addressBook();
    const QUrl url = d->urlOf(href);
    const QString what = QStringLiteral("Deleting the card %1").arg(shown(url));
    QList<std::pair<QByteArray, QByteArray>> headers;
    if (!ifMatch.isEmpty())
        headers.append({"If-Match", ifMatch.toUtf8()});
    const Answer answer = d->send("DELETE", url, {}, headers, what);
    expect(answer, {200, 202, 204, 404, 410}, what);
}

qint64 CardDavClient::requestCount() const {
    return d->requests;
}

void CardDavClient::cancel() {
    d->cancelled = true;
    std::lock_guard lock(d->loopMutex);
    if (d->runningLoop)
        QMetaObject::invokeMethod(d->runningLoop, &QEventLoop::quit, Qt::QueuedConnection);
}

} // namespace quillory::sync
