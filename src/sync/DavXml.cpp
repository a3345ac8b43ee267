#include "sync/DavXml.h"

#include "sync/CardDav.h"

#include <functional>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace quillory::sync {

namespace {

const QString dav = QStringLiteral("DAV:");
const QString cardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

struct KnownProperty {
    const QString& ns;
    QLatin1String name;
    DavResponse::Property property;
};

const KnownProperty knownProperties[] = {
    {dav, QLatin1String("resourcetype"), DavResponse::ResourceType},
    {dav, QLatin1String("displayname"), DavResponse::DisplayName},
    {dav, QLatin1String("getetag"), DavResponse::ETag},
    {cardDav, QLatin1String("address-data"), DavResponse::AddressData},
    {dav, QLatin1String("current-user-principal"), DavResponse::CurrentUserPrincipal},
    {cardDav, QLatin1String("addressbook-home-set"), DavResponse::AddressBookHome},
};

bool is(const QXmlStreamReader& xml, const QString& ns, QLatin1String name) {
    return xml.namespaceUri() == ns && xml.name() == name;
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when the line has no status.
int statusOf(const QString& line) {
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

// The value of the property element the reader is on, up to its end.
DavResponse::Value readValue(QXmlStreamReader& xml) {
    DavResponse::Value value;
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 0)
                value.children.append(xml.namespaceUri().toString() + QLatin1Char(' ') +
                                      xml.name().toString());
            if (is(xml, dav, QLatin1String("href")) && value.href.isEmpty()) {
                value.href = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                continue;
            }
            ++depth;
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth-- == 0)
                break;
        } else if (token == QXmlStreamReader::Characters && depth == 0) {
            value.text += xml.text().toString();
        }
    }
    value.text = value.text.trimmed();
    return value;
}

// A DAV:propstat: its properties go into `response` when its status is a success.
void readPropstat(QXmlStreamReader& xml, DavResponse& response) {
    QHash<int, DavResponse::Value> properties;
    int status = 0;
    while (xml.readNextStartElement()) {
        if (is(xml, dav, QLatin1String("status"))) {
            status = statusOf(xml.readElementText());
        } else if (is(xml, dav, QLatin1String("prop"))) {
            while (xml.readNextStartElement()) {
                const auto known =
                    std::find_if(std::begin(knownProperties), std::end(knownProperties),
                                 [&xml](const KnownProperty& k) { return is(xml, k.ns, k.name); });
                if (known == std::end(knownProperties))
                    xml.skipCurrentElement();
                else
                    properties.insert(known->property, readValue(xml));
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    if (status >= 200 && status < 300)
        response.found.insert(properties);
}

DavResponse readResponse(QXmlStreamReader& xml) {
    DavResponse response;
    while (xml.readNextStartElement()) {
        if (is(xml, dav, QLatin1String("href")))
            response.hrefText = xml.readElementText().trimmed();
        else if (is(xml, dav, QLatin1String("status")))
            response.status = statusOf(xml.readElementText());
        else if (is(xml, dav, QLatin1String("propstat")))
            readPropstat(xml, response);
        else
            xml.skipCurrentElement();
    }
    return response;
}

QByteArray written(const std::function<void(QXmlStreamWriter&)>& body) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument();
    xml.writeNamespace(dav, QStringLiteral("D"));
    xml.writeNamespace(cardDav, QStringLiteral("C"));
    body(xml);
    xml.writeEndDocument();
    return bytes;
}

void writeProperties(QXmlStreamWriter& xml, const QVector<DavResponse::Property>& wanted) {
    xml.writeStartElement(dav, QStringLiteral("prop"));
    for (const KnownProperty& known : knownProperties) {
        if (wanted.contains(known.property))
            xml.writeEmptyElement(known.ns, known.name);
    }
    xml.writeEndElement();
}

} // namespace

bool DavResponse::isCollection() const {
    return found.value(ResourceType).children.contains(dav + QStringLiteral(" collection"));
}

bool DavResponse::isAddressBook() const {
    return found.value(ResourceType).children.contains(cardDav + QStringLiteral(" addressbook"));
}

Multistatus parseMultistatus(const QByteArray& bytes, const QString& what) {
    QXmlStreamReader xml(bytes);
    Multistatus result;
    if (xml.readNextStartElement() && is(xml, dav, QLatin1String("multistatus"))) {
        while (xml.readNextStartElement()) {
            if (is(xml, dav, QLatin1String("response")))
                result.responses.append(readResponse(xml));
            else if (is(xml, dav, QLatin1String("sync-token")))
                result.syncToken = xml.readElementText().trimmed();
            else
                xml.skipCurrentElement();
        }
        if (!xml.hasError())
            return result;
    }
    const QString fault = xml.hasError()
                              ? QStringLiteral("its XML is broken at line %1, column %2 (%3)")
                                    .arg(xml.lineNumber())
                                    .arg(xml.columnNumber())
                                    .arg(xml.errorString())
                              : QStringLiteral("it is no WebDAV multistatus answer");
    throw SyncError(
        SyncError::Kind::Protocol,
        QStringLiteral("%1 failed: the server's answer cannot be read: %2.").arg(what, fault));
}

bool hasDavError(const QByteArray& bytes, const QString& name) {
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || !is(xml, dav, QLatin1String("error")))
        return false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == dav && xml.name() == name)
            return true;
        xml.skipCurrentElement();
    }
    return false;
}

QByteArray principalQuery() {
    return written([](QXmlStreamWriter& xml) {
        xml.writeStartElement(dav, QStringLiteral("propfind"));
        writeProperties(xml, {DavResponse::ResourceType, DavResponse::DisplayName,
                              DavResponse::CurrentUserPrincipal, DavResponse::AddressBookHome});
        xml.writeEndElement();
    });
}

QByteArray etagQuery() {
    return written([](QXmlStreamWriter& xml) {
        xml.writeStartElement(dav, QStringLiteral("propfind"));
        writeProperties(xml, {DavResponse::ResourceType, DavResponse::ETag});
        xml.writeEndElement();
    });
}

QByteArray syncCollectionQuery(const QString& token) {
    return written([&token](QXmlStreamWriter& xml) {
        xml.writeStartElement(dav, QStringLiteral("sync-collection"));
        xml.writeTextElement(dav, QStringLiteral("sync-token"), token);
        xml.writeTextElement(dav, QStringLiteral("sync-level"), QStringLiteral("1"));
        writeProperties(xml, {DavResponse::ResourceType, DavResponse::ETag});
        xml.writeEndElement();
    });
}

QByteArray multigetQuery(const QStringList& paths) {
    return written([&paths](QXmlStreamWriter& xml) {
        xml.writeStartElement(cardDav, QStringLiteral("addressbook-multiget"));
        writeProperties(xml, {DavResponse::ETag, DavResponse::AddressData});
        for (const QString& path : paths)
            xml.writeTextElement(dav, QStringLiteral("href"), path);
        xml.writeEndElement();
    });
}

} // namespace quillory::sync
