#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <stdexcept>

namespace quillory::sync {

// Talking to one address book on a CardDAV server. Nothing here shows a window; every call
// blocks (a local event loop over QNetworkAccessManager) until the server has answered, the
// time-out has passed or cancel() was called, so it is used from a worker thread or the
// command line.

struct Account {
    QUrl url; // the server's root (found through discovery) or an address book's own URL
    QString user;
    QString password; // never written to a file, a log or a message
    QUrl addressBook; // the chosen address book; empty: the one discovery finds (the first)
    bool allowPlainHttp = false; // http to a host other than loopback, confirmed by the user
};

struct AddressBookInfo {
    QUrl url;
    QString displayName;
};

struct RemoteCard {
    QString href; // the server's path of the card, as the server writes it
    QString etag;
    QByteArray vcard; // empty where only href and etag were listed
};

struct Changes {
    QString token;               // the new sync-token; empty when the server offers none
    bool complete = false;       // `changed` lists the whole address book (first sync, a token the
                                 // server no longer knows, or no sync-collection): any card the
                                 // book knows and the list lacks is gone from the server
    QVector<RemoteCard> changed; // href and etag of every card new or changed since the token
    QStringList removed;         // hrefs deleted since the token
};

class SyncError : public std::runtime_error {
public:
    enum class Kind {
        Network,        // no connection, a time-out, the connection cut
        Tls,            // a certificate that is not trusted: refused, never ignored
        PlainHttp,      // http to a host other than loopback without the user's confirmation
        Authentication, // 401 or 403
        NotFound,       // 404 / 410 of the address book or the card
        Precondition,   // 412: the card changed on the server since its ETag
        Server,         // 5xx or another status that was not expected
        Protocol,       // malformed XML or an answer that is no CardDAV answer
        Cancelled,
    };
    SyncError(Kind kind, const QString& message);
    Kind kind() const { return m_kind; }
    QString message() const;

private:
    Kind m_kind;
};

class CardDavClient {
public:
    explicit CardDavClient(Account account, int timeoutMs = 30000);
    ~CardDavClient();

    // RFC 6764: /.well-known/carddav, current-user-principal, addressbook-home-set, the address
    // books there with their display names; an address book's own URL lists just it.
    QVector<AddressBookInfo> discover();
    // The address book this client works on (the account's, else the first discovered).
    QUrl addressBook();

    // RFC 6578 sync-collection from `token` (empty: the first sync); a server without it, or
    // one that no longer knows the token, is asked for every card's ETag (PROPFIND depth 1)
    // and the answer is complete.
    Changes changesSince(const QString& token);
    // addressbook-multiget, in chunks; a card the server cannot give is left out.
    QVector<RemoteCard> fetch(const QStringList& hrefs);
    // PUT: `ifMatch` empty sends If-None-Match: * (a new card). Returns the new ETag, empty
    // when the server sends none (the caller then takes it from the next listing).
    QString put(const QString& href, const QByteArray& vcard, const QString& ifMatch);
    // DELETE with If-Match (empty: unconditional). A card already gone is no error.
    void remove(const QString& href, const QString& ifMatch);

    // From any thread: the call in progress ends with SyncError::Kind::Cancelled, and so does
    // every later call of this client (a cancel between two requests is not lost).
    void cancel();

    // The HTTP requests this client has sent so far (each redirection counts as one).
    qint64 requestCount() const;

private:
    struct Private;
    Private* d;
};

// The href of a new card, relative to the address book: named after its UID where the UID is
// plain letters, digits and ._@+-, else after the UID's hash (one path segment whatever the UID).
QString cardHref(const QString& uid);

} // namespace quillory::sync
