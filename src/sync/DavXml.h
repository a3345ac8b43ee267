#pragma once

// The WebDAV and CardDAV XML the client sends and reads: request bodies, and the multistatus
// answers read into the few properties the client uses.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quillory::sync {

struct DavResponse {
    enum Property {
        ResourceType,
        DisplayName,
        ETag,
        AddressData,
        CurrentUserPrincipal,
        AddressBookHome
    };
    struct Value {
        QString text;
        QString href;         // the first DAV:href inside, for properties that point somewhere
        QStringList children; // "namespace local-name" of the elements inside
    };

    QString hrefText;
    int status = 0; // the response's own status (404 of a removed card); 0 when it has none
    QHash<int, Value> found; // the properties the server gave (2xx), by Property

    bool has(Property property) const { return found.contains(property); }
    QString text(Property property) const { return found.value(property).text; }
    QString href(Property property) const { return found.value(property).href; }
    bool isCollection() const;
    bool isAddressBook() const;
};

struct Multistatus {
    QVector<DavResponse> responses;
    QString syncToken;
    const DavResponse* first() const { return responses.isEmpty() ? nullptr : &responses.front(); }
};

// Throws SyncError Protocol naming `what` and the fault when `xml` is no multistatus.
Multistatus parseMultistatus(const QByteArray& xml, const QString& what);
// Whether `xml` is a DAV:error answer holding the precondition `name` (e.g. valid-sync-token).
bool hasDavError(const QByteArray& xml, const QString& name);

QByteArray principalQuery();
QByteArray etagQuery();
QByteArray syncCollectionQuery(const QString& token);
QByteArray multigetQuery(const QStringList& paths);

} // namespace quillory::sync
