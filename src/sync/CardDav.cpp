// The CardDAV client: discovery, listing, fetching and writing cards over WebDAV.

#include "sync/CardDav.h"

namespace quillory::sync {

namespace {

[[noreturn]] void notYet() {
    throw SyncError(SyncError::Kind::Protocol, QStringLiteral("not yet"));
}

} // namespace

SyncError::SyncError(Kind kind, const QString& message)
    : std::runtime_error(message.toStdString()), m_kind(kind) {}

QString SyncError::message() const {
    return QString::fromStdString(what());
}

struct CardDavClient::Private {
    Account account;
    int timeoutMs;
};

CardDavClient::CardDavClient(Account account, int timeoutMs)
    : d(new Private{std::move(account), timeoutMs}) {}

CardDavClient::~CardDavClient() {
    delete d;
}

QVector<AddressBookInfo> CardDavClient::discover() {
    notYet();
}
QUrl CardDavClient::addressBook() {
    notYet();
}
Changes CardDavClient::changesSince(const QString&) {
    notYet();
}
QVector<RemoteCard> CardDavClient::fetch(const QStringList&) {
    notYet();
}
QString CardDavClient::put(const QString&, const QByteArray&, const QString&) {
    notYet();
}
void CardDavClient::remove(const QString&, const QString&) {
    notYet();
}
void CardDavClient::cancel() {}

} // namespace quillory::sync
