// vCard 2.1, 3.0 and 4.0 in and out.

#include "exchange/ExchangeDetail.h"

#include <algorithm>
#include <optional>
#include <QBuffer>
#include <QDateTime>
#include <QHash>
#include <QImageReader>
#include <QIODevice>
#include <QMultiHash>
#include <QVector>

namespace quillory::exchange::detail {

namespace {

// --- reading -------------------------------------------------------------------------------

struct Property {
    QByteArray name;                           // upper case, group removed
    QByteArray group;                          // "ITEM1" of "item1.TEL"; upper case
    QMultiHash<QByteArray, QByteArray> params; // upper-case key; TYPE values as written
    QByteArray value;                          // raw bytes after the colon
};

// Splits "NAME;P=V;Q:value" at the colon that ends the parameters (colons inside quoted
// parameter values do not count). False when there is no colon.
bool parseProperty(const QByteArray& line, Property& property) {
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon < 0)
        return false;
    property.value = line.mid(colon + 1);
    QList<QByteArray> parts;
    QByteArray current;
    quoted = false;
    for (qsizetype i = 0; i < colon; ++i) {
        const char c = line.at(i);
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            parts.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    parts.append(current);
    QByteArray name = parts.takeFirst().trimmed().toUpper();
    const qsizetype dot = name.lastIndexOf('.');
    property.group = dot >= 0 ? name.left(dot) : QByteArray();
    if (dot >= 0)
        name = name.mid(dot + 1);
    property.name = name;
    property.params.clear();
    for (const QByteArray& part : parts) {
        const qsizetype equals = part.indexOf('=');
        QByteArray key = equals < 0 ? QByteArray() : part.left(equals).trimmed().toUpper();
        const QByteArray values = equals < 0 ? part : part.mid(equals + 1);
        if (equals < 0) {
            // vCard 2.1 writes bare values: "TEL;HOME;VOICE", "PHOTO;BASE64;JPEG".
            const QByteArray upper = values.trimmed().toUpper();
            if (upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "B" ||
                upper == "8BIT" || upper == "7BIT")
                key = "ENCODING";
            else
                key = "TYPE";
        }
        // TYPE="home,voice" and TYPE=home,voice are the same two values.
        for (QByteArray value : QByteArray(values).replace('"', QByteArray()).split(','))
            property.params.insert(key, value.trimmed());
    }
    return true;
}

QByteArray decodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c == '=' && i + 2 < in.size()) {
            bool ok = false;
            const int byte = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(byte));
                i += 2;
                continue;
            }
        }
        if (c == '=' && i + 1 == in.size())
            break; // a soft break left at the end
        out.append(c);
    }
    return out;
}

// The value's components split at separators that are not escaped; escapes are kept.
QStringList splitUnescaped(const QString& text, QChar separator) {
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            current.append(c);
            current.append(text.at(++i));
        } else if (c == separator) {
            parts.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    parts.append(current);
    return parts;
}

QString unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out.append(c);
            continue;
        }
        const QChar n = text.at(++i);
        if (n == QLatin1Char('n') || n == QLatin1Char('N'))
            out.append(QLatin1Char('\n'));
        else if (n == QLatin1Char(',') || n == QLatin1Char(';') || n == QLatin1Char('\\') ||
                 n == QLatin1Char(':') || n == QLatin1Char('"'))
            out.append(n);
        else {
            out.append(c);
            out.append(n);
        }
    }
    // A CRLF written into a value by a careless writer is the card's own line break.
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

QStringList paramValues(const Property& property, const QByteArray& key) {
    QStringList values;
    const auto list = property.params.values(key);
    for (auto it = list.crbegin(); it != list.crend(); ++it) // insertion order
        values.append(QString::fromUtf8(*it));
    return values;
}

bool hasParam(const Property& property, const QByteArray& key, const char* value) {
    for (const QByteArray& v : property.params.values(key)) {
        if (v.compare(value, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The program's own properties: fields that no vCard property carries, and the exact text of
// fields that the common properties cannot give back as they are (see vCardOf).
const char* const OwnType = "X-QUILLORY-TYPE";
const std::pair<const char*, const char*> OwnProperties[] = {
    {OwnType, "extra4"},
    {"X-QUILLORY-ADDRESS1", "address1"},
    {"X-QUILLORY-ADDRESS2", "address2"},
    {"X-QUILLORY-SPARE1", "extra1"},
    {"X-QUILLORY-SPARE2", "extra2"},
    {"X-QUILLORY-SPARE3", "extra3"},
    {"X-QUILLORY-SPARE5", "extra5"},
    {"X-QUILLORY-PRINT", "extra7"},
};

// The field an own property carries; none for any other property.
const char* ownField(const QByteArray& name) {
    for (const auto& [property, field] : OwnProperties) {
        if (name == property)
            return field;
    }
    return nullptr;
}

// The phone types a label of the address-book programs that group a TEL with an X-ABLabel
// ("_$!<HomeFAX>!$_", "iPhone") stands for; none for a label the card has no field for.
QStringList labelTypes(const QString& label) {
    static const QHash<QString, QStringList> types = {
        {QStringLiteral("home"), {QStringLiteral("home")}},
        {QStringLiteral("work"), {QStringLiteral("work")}},
        {QStringLiteral("main"), {QStringLiteral("main")}},
        {QStringLiteral("other"), {QStringLiteral("x-other")}},
        {QStringLiteral("mobile"), {QStringLiteral("cell")}},
        {QStringLiteral("cell"), {QStringLiteral("cell")}},
        {QStringLiteral("iphone"), {QStringLiteral("cell")}},
        {QStringLiteral("pager"), {QStringLiteral("pager")}},
        {QStringLiteral("homefax"), {QStringLiteral("home"), QStringLiteral("fax")}},
        {QStringLiteral("workfax"), {QStringLiteral("work"), QStringLiteral("fax")}},
        {QStringLiteral("otherfax"), {QStringLiteral("fax")}},
        {QStringLiteral("fax"), {QStringLiteral("fax")}},
    };
    return types.value(label.toLower().remove(QLatin1Char(' ')));
}

// "HomeFAX" for "_$!<HomeFAX>!$_", the form in which those programs write their own labels.
QString shownLabel(const QString& label) {
    const QString text = label.trimmed();
    if (text.startsWith(QLatin1String("_$!<")) && text.endsWith(QLatin1String(">!$_")))
        return text.mid(4, text.size() - 8);
    return text;
}

class VCardReader : public RecordReader {
public:
    explicit VCardReader(QIODevice& device) : m_lines(device) {
        info.format = Format::VCard;
        info.encoding = QStringLiteral("UTF-8");
    }

    qint64 bytesRead() const override { return m_lines.bytesRead(); }

    bool next(ReadRecord& record) override {
        QByteArray line;
        qint64 lineNumber = 0;
        bool tooLong = false;
        bool strayReported = false;
        while (logicalLine(line, lineNumber, tooLong)) {
            if (!m_inCard) {
                if (tooLong || !isBegin(line)) {
                    if (!strayReported && (tooLong || !line.trimmed().isEmpty()))
                        problem(lineNumber,
                                tooLong ? tooLongText() : QStringLiteral("text outside a card"));
                    strayReported = true;
                    continue;
                }
                startCard(lineNumber);
                continue;
            }
            if (tooLong) {
                if (m_broken.isEmpty())
                    m_broken = tooLongText();
                continue;
            }
            if (isBegin(line)) {
                problem(m_cardLine,
                        QStringLiteral("the card has no END:VCARD before the next card begins"));
                startCard(lineNumber);
                continue;
            }
            Property property;
            if (!parseProperty(line, property)) {
                if (!line.trimmed().isEmpty() && m_broken.isEmpty())
                    m_broken = QStringLiteral("a line of the card is not a property (no colon)");
                continue;
            }
            if (property.name == "END" && property.value.size() < 32 &&
                property.value.trimmed().toUpper() == "VCARD") {
                m_inCard = false;
                takeGroupedPhones();
                if (!m_broken.isEmpty()) {
                    problem(m_cardLine, m_broken);
                    m_builder = ContactBuilder(true);
                    continue;
                }
                if (m_builder.isEmpty()) {
                    problem(m_cardLine, QStringLiteral("the card holds no contact"));
                    continue;
                }
                record.line = m_cardLine;
                record.contact = m_builder.finish();
                return true;
            }
            // A card is one record: past the size of the longest line it is not read further.
            m_cardBytes += line.size();
            if (m_cardBytes > maxRecordBytes) {
                if (m_broken.isEmpty())
                    m_broken = QStringLiteral("the card is longer than %1 MB and was not read")
                                   .arg(maxRecordBytes / (1024 * 1024));
                continue;
            }
            take(property);
        }
        if (m_inCard) {
            m_inCard = false;
            problem(m_cardLine,
                    QStringLiteral("the card has no END:VCARD before the end of the file"));
        }
        return false;
    }

private:
    static bool isBegin(const QByteArray& line) {
        // Long lines (photos) are never it; they are not copied to find that out.
        return line.size() < 32 && line.trimmed().toUpper() == "BEGIN:VCARD";
    }
    // The problem names the record's first line, so the text names none.
    static QString tooLongText() {
        return QStringLiteral("a line is longer than %1 MB and was not read")
            .arg(maxRecordBytes / (1024 * 1024));
    }

    void startCard(qint64 line) {
        m_inCard = true;
        m_cardLine = line;
        m_broken.clear();
        m_cardBytes = 0;
        m_builder = ContactBuilder(true);
        m_version.clear();
        m_emails = m_urls = m_addresses = 0;
        m_ownType.reset();
        m_groupedPhones.clear();
        m_phoneLabels.clear();
    }

    bool physical(QByteArray& line, LineReader::Status& status) {
        if (m_havePeek) {
            m_havePeek = false;
            line = m_peek;
            status = m_peekStatus;
            return status != LineReader::Status::End;
        }
        QByteArray end;
        status = m_lines.next(line, end);
        return status != LineReader::Status::End;
    }

    // One property line with its folded and soft-broken continuations joined.
    bool logicalLine(QByteArray& out, qint64& number, bool& tooLong) {
        LineReader::Status status;
        do {
            if (!physical(out, status))
                return false;
        } while (status == LineReader::Status::Line && out.trimmed().isEmpty());
        number = m_lines.lineNumber();
        tooLong = status == LineReader::Status::TooLong;
        const qsizetype colon = out.indexOf(':');
        const bool quotedPrintable =
            colon > 0 && out.left(colon).toUpper().contains("QUOTED-PRINTABLE");
        for (;;) {
            QByteArray end;
            m_peekStatus = m_lines.next(m_peek, end);
            if (m_peekStatus == LineReader::Status::End)
                break;
            const bool folded = m_peekStatus == LineReader::Status::Line && !m_peek.isEmpty() &&
                                (m_peek.at(0) == ' ' || m_peek.at(0) == '\t');
            const bool softBreak = quotedPrintable && out.endsWith('=');
            if (m_peekStatus == LineReader::Status::TooLong && (softBreak || tooLong)) {
                tooLong = true;
                continue;
            }
            if (!folded && !softBreak) {
                m_havePeek = true;
                break;
            }
            // After a soft break every byte of the next line is the value's, a blank included.
            if (softBreak)
                out.chop(1);
            if (!tooLong)
                out.append(softBreak ? QByteArrayView(m_peek) : QByteArrayView(m_peek).sliced(1));
            if (out.size() > maxRecordBytes) {
                tooLong = true;
                out.clear();
            }
        }
        return true;
    }

    QString text(const Property& property) const {
        QByteArray bytes = property.value;
        if (hasParam(property, "ENCODING", "QUOTED-PRINTABLE"))
            bytes = decodeQuotedPrintable(bytes);
        const QStringList charsets = paramValues(property, "CHARSET");
        return decodeText(bytes, charsets.isEmpty() ? QByteArray() : charsets.first().toLatin1());
    }

    void take(const Property& p) {
        const QByteArray& name = p.name;
        if (name == "VERSION") {
            m_version = QString::fromLatin1(p.value.trimmed());
            if (m_version != QLatin1String("2.1") && m_version != QLatin1String("3.0") &&
                m_version != QLatin1String("4.0") && m_broken.isEmpty())
                m_broken = QStringLiteral("vCard version \"%1\" is not one this program reads")
                               .arg(m_version.left(20));
            return;
        }
        if (name == "PHOTO" || name == "LOGO") {
            takePhoto(p);
            return;
        }
        const QString value = text(p);
        QStringList types = paramValues(p, "TYPE");
        if (name == "N") {
            const QStringList parts = splitUnescaped(value, QLatin1Char(';'));
            m_builder.put(QStringLiteral("name"), unescape(parts.value(0)),
                          QStringLiteral("Last name"));
            m_builder.put(QStringLiteral("namef"), unescape(parts.value(1)),
                          QStringLiteral("First name"));
            m_builder.remark(QStringLiteral("Middle name"), unescape(parts.value(2)).trimmed());
            m_builder.remark(QStringLiteral("Name prefix"), unescape(parts.value(3)).trimmed());
            m_builder.remark(QStringLiteral("Name suffix"), unescape(parts.value(4)).trimmed());
        } else if (name == "FN") {
            m_builder.fullName(unescape(value));
        } else if (name == "ADR") {
            takeAddress(splitUnescaped(value, QLatin1Char(';')), types);
        } else if (name == "TEL") {
            QString number = unescape(value);
            // "tel:+1-555-0100" is a URI only where the card says so; typed text stays as it is.
            if (hasParam(p, "VALUE", "uri") &&
                number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
                number = number.mid(4);
            if (!p.group.isEmpty())
                m_groupedPhones.append({p.group, number, types}); // its label may follow
            else
                m_builder.put(phoneSlots(types), number, phoneLabel(types));
        } else if (name == "X-ABLABEL") {
            if (!p.group.isEmpty())
                m_phoneLabels.insert(p.group, unescape(value));
        } else if (const char* field = ownField(name)) {
            m_builder.set(QString::fromLatin1(field), unescape(value));
            if (name == OwnType)
                m_ownType = unescape(value); // its CATEGORIES, written after it, is the same
        } else if (name == "EMAIL") {
            ++m_emails;
            m_builder.put(QStringLiteral("email"), unescape(value),
                          m_emails == 1 ? QStringLiteral("E-mail")
                                        : QStringLiteral("E-mail %1").arg(m_emails));
        } else if (name == "URL") {
            ++m_urls;
            m_builder.put(QStringLiteral("extra6"), unescape(value),
                          m_urls == 1 ? QStringLiteral("Web page")
                                      : QStringLiteral("Web page %1").arg(m_urls));
        } else if (name == "BDAY") {
            m_builder.birthday(unescape(value).trimmed(), QStringLiteral("Birthday"));
        } else if (name == birthdayTextProperty) {
            m_builder.birthdayText(unescape(value).trimmed());
        } else if (name == "UID") {
            m_builder.put(QStringLiteral("uid"), unescape(value).trimmed(), QStringLiteral("UID"));
        } else if (name == "NOTE") {
            m_builder.note(unescape(value));
        } else if (name == "CATEGORIES") {
            for (const QString& category : splitUnescaped(value, QLatin1Char(','))) {
                if (unescape(category) != m_ownType)
                    m_builder.category(unescape(category));
            }
        } else if (name == "ORG") {
            QStringList parts;
            for (const QString& part : splitUnescaped(value, QLatin1Char(';'))) {
                if (!unescape(part).trimmed().isEmpty())
                    parts.append(unescape(part).trimmed());
            }
            m_builder.remark(QStringLiteral("Organization"), parts.join(QStringLiteral(", ")));
        } else if (!skipped(name)) {
            QString label = QString::fromUtf8(name);
            if (name == "TITLE" || name == "ROLE" || name == "NICKNAME" || name == "ANNIVERSARY")
                label = label.left(1) + label.mid(1).toLower();
            m_builder.remark(label, unescape(value));
        }
    }

    static bool skipped(const QByteArray& name) {
        static const QList<QByteArray> names = {
            "BEGIN", "PRODID",  "REV",    "UID",   "CLIENTPIDMAP", "SOURCE",  "KIND",
            "NAME",  "PROFILE", "MAILER", "LABEL", "SORT-STRING",  "X-ABUID", "END"};
        return names.contains(name);
    }

    // A grouped phone goes where its label says; a label the card has no field for stays with
    // the number in remarks ("Phone (Assistant): ...").
    void takeGroupedPhones() {
        for (const GroupedPhone& phone : std::as_const(m_groupedPhones)) {
            const QString label = shownLabel(m_phoneLabels.value(phone.group));
            if (label.isEmpty()) {
                m_builder.put(phoneSlots(phone.types), phone.number, phoneLabel(phone.types));
                continue;
            }
            const QStringList types = labelTypes(label);
            if (types.isEmpty())
                m_builder.remark(QStringLiteral("Phone (%1)").arg(label), phone.number);
            else
                m_builder.put(phoneSlots(phone.types + types), phone.number,
                              QStringLiteral("Phone (%1)").arg(label));
        }
        m_groupedPhones.clear();
    }

    void takeAddress(const QStringList& raw, const QStringList& types) {
        QStringList parts;
        for (int i = 0; i < 7; ++i)
            parts.append(unescape(raw.value(i)));
        bool any = false;
        for (const QString& part : parts)
            any = any || !part.isEmpty();
        if (!any)
            return;
        ++m_addresses;
        if (m_addresses > 1) {
            QStringList shown;
            for (const QString& part : parts) {
                if (!part.isEmpty())
                    shown.append(QString(part).replace(QLatin1Char('\n'), QStringLiteral(", ")));
            }
            QString label = QStringLiteral("Address");
            if (!types.isEmpty())
                label += QStringLiteral(" (%1)").arg(types.join(QStringLiteral(", ")).toLower());
            m_builder.remark(label, shown.join(QStringLiteral(", ")));
            return;
        }
        // Post office box; extended address; street; city; region; postal code; country.
        QString street = parts[2];
        QString second = parts[1];
        const qsizetype newline = street.indexOf(QLatin1Char('\n'));
        if (newline >= 0) {
            const QString rest = street.mid(newline + 1).trimmed();
            street = street.left(newline).trimmed();
            second = second.isEmpty() ? rest : second + QStringLiteral(", ") + rest;
        }
        if (street.isEmpty() && !second.isEmpty()) {
            street = second;
            second.clear();
        }
        m_builder.put(QStringLiteral("address1"), street, QStringLiteral("Street"));
        m_builder.put(QStringLiteral("address2"), second, QStringLiteral("Address line 2"));
        m_builder.put(QStringLiteral("address2"), parts[0], QStringLiteral("PO box"));
        m_builder.put(QStringLiteral("city"), parts[3], QStringLiteral("City"));
        m_builder.put(QStringLiteral("state"), parts[4], QStringLiteral("State"));
        m_builder.put(QStringLiteral("zip"), parts[5], QStringLiteral("Zip code"));
        m_builder.remark(QStringLiteral("Country"), parts[6]);
    }

    void takePhoto(const Property& p) {
        const QString label = p.name == "LOGO" ? QStringLiteral("Logo") : QStringLiteral("Photo");
        QByteArray value = p.value.trimmed();
        if (value.startsWith("data:")) {
            const qsizetype comma = value.indexOf(',');
            if (comma < 0 || !value.left(comma).contains(";base64")) {
                m_builder.remark(label, QStringLiteral("a picture that could not be read was left "
                                                       "out"));
                return;
            }
            value = value.mid(comma + 1);
        } else if (!hasParam(p, "ENCODING", "B") && !hasParam(p, "ENCODING", "BASE64")) {
            // A link to a picture elsewhere: kept as text, never fetched.
            m_builder.remark(label, QString::fromUtf8(value));
            return;
        }
        QByteArray compact = value;
        if (compact.contains(' ') || compact.contains('\t')) {
            compact.clear();
            for (const char c : value) {
                if (c != ' ' && c != '\t')
                    compact.append(c);
            }
        }
        const auto decoded =
            QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            m_builder.remark(label,
                             QStringLiteral("a picture that could not be read was left out"));
            return;
        }
        if (p.name == "LOGO")
            m_builder.remark(label, QStringLiteral("a company logo was left out"));
        else
            m_builder.photo(*decoded, label);
    }

    LineReader m_lines;
    bool m_havePeek = false;
    QByteArray m_peek;
    LineReader::Status m_peekStatus = LineReader::Status::End;
    bool m_inCard = false;
    qint64 m_cardLine = 0;
    QString m_broken;
    qint64 m_cardBytes = 0;
    QString m_version;
    ContactBuilder m_builder;
    int m_emails = 0;
    int m_urls = 0;
    int m_addresses = 0;
    std::optional<QString> m_ownType;
    struct GroupedPhone {
        QByteArray group;
        QString number;
        QStringList types;
    };
    QVector<GroupedPhone> m_groupedPhones;
    QHash<QByteArray, QString> m_phoneLabels;
};

// --- writing -------------------------------------------------------------------------------

// A text value as the version writes it. Every line break (CRLF, CR or LF) is one line break:
// "\n" in 3.0 and 4.0, CRLF in 2.1 (which goes out quoted-printable).
QString escaped(const QString& text, VCardVersion version = VCardVersion::V4) {
    const bool v21 = version == VCardVersion::V21;
    const QString lineBreak = v21 ? QStringLiteral("\r\n") : QStringLiteral("\\n");
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';')) {
            out.append(QLatin1Char('\\'));
            out.append(c);
        } else if (c == QLatin1Char('\r')) {
            out.append(lineBreak);
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out.append(lineBreak);
        } else {
            out.append(c);
        }
    }
    return out;
}

// Appends one content line, folded so that no line is longer than 75 octets and no UTF-8
// sequence is split, ended by CRLF.
void appendFolded(QByteArray& out, const QByteArray& line) {
    constexpr qsizetype limit = 75;
    qsizetype pos = 0;
    bool first = true;
    while (pos < line.size()) {
        const qsizetype room = first ? limit : limit - 1;
        qsizetype take = std::min(room, line.size() - pos);
        if (pos + take < line.size()) {
            // Step back to the first byte of a UTF-8 sequence.
            while (take > 1 && (static_cast<unsigned char>(line.at(pos + take)) & 0xC0) == 0x80)
                --take;
        }
        if (!first)
            out.append(' ');
        out.append(line.constData() + pos, take);
        out.append("\r\n");
        pos += take;
        first = false;
    }
    if (line.isEmpty())
        out.append("\r\n");
}

// Appends a vCard 2.1 property as quoted-printable: every byte that is not printable ASCII is
// encoded, and soft line breaks ("=" at a line's end) keep each line within 75 octets. A blank
// is never the last byte of a line, where readers would drop it.
void appendQuotedPrintable(QByteArray& out, const QByteArray& head, const QByteArray& value) {
    constexpr qsizetype limit = 74; // octets before the "=" of a soft break
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray line = head;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const auto b = static_cast<unsigned char>(value.at(i));
        const bool blank = b == ' ' || b == '\t';
        QByteArray token;
        if ((b > ' ' && b < 0x7F && b != '=') || (blank && i + 1 < value.size()))
            token.append(char(b));
        else
            token.append('=').append(hex[b >> 4]).append(hex[b & 15]);
        if (line.size() + token.size() > limit) {
            QByteArray carried;
            if (line.endsWith(' ') || line.endsWith('\t')) {
                carried = line.right(1);
                line.chop(1);
            }
            out.append(line).append("=\r\n");
            line = carried;
        }
        line.append(token);
    }
    out.append(line).append("\r\n");
}

// Appends a property of text whose value is escaped already. A 2.1 value that is not plain
// ASCII, holds a line break or does not fit on one line goes as quoted-printable UTF-8, as the
// phones that read 2.1 expect; the later versions fold it.
void appendText(QByteArray& out, VCardVersion version, const QString& nameAndParams,
                const QString& value) {
    const QByteArray line = (nameAndParams + QLatin1Char(':') + value).toUtf8();
    if (version != VCardVersion::V21) {
        appendFolded(out, line);
        return;
    }
    const bool plain = line.size() <= 75 && std::all_of(line.cbegin(), line.cend(), [](char c) {
                           return c >= ' ' && c < 0x7F;
                       });
    if (plain)
        out.append(line).append("\r\n");
    else
        appendQuotedPrintable(
            out, (nameAndParams + ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:").toUtf8(),
            value.toUtf8());
}

// The phone fields with the types a card gives each, in the 3.0 and 4.0 forms.
const std::pair<const char*, const char*> PhoneTypes[] = {
    {"phone", "home,voice"}, {"phone2", "work,voice"}, {"pager", "pager"},
    {"phone3", "x-other"},   {"fax", "home,fax"},      {"fax2", "work,fax"}};

// "TEL;TYPE=home,voice" (3.0), "TEL;TYPE=\"home,voice\"" (4.0), "TEL;HOME;VOICE" (2.1).
QString typed(const char* name, const QString& types, VCardVersion version) {
    const QString property = QString::fromLatin1(name);
    if (version == VCardVersion::V21)
        return property + QLatin1Char(';') +
               types.toUpper().replace(QLatin1Char(','), QLatin1Char(';'));
    if (version == VCardVersion::V4 && types.contains(QLatin1Char(',')))
        return property + QStringLiteral(";TYPE=\"") + types + QLatin1Char('"');
    return property + QStringLiteral(";TYPE=") + types;
}

// Whether the address lines come back as they are from ADR alone: the reader takes the street's
// first line as Address1 and the rest as Address2.
bool plainAddressLines(const QString& first, const QString& second) {
    const auto plain = [](const QString& line) {
        return !line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')) &&
               line == line.trimmed();
    };
    return plain(first) && plain(second) && (!first.isEmpty() || second.isEmpty());
}

// The picture format of a stored photo as a vCard names it: "jpeg", "png", ... The book keeps
// JPEG and PNG files as they are; anything else it holds is named by its contents too.
QByteArray photoType(const QByteArray& photo) {
    QBuffer buffer;
    buffer.setData(photo);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    return format.isEmpty() ? QByteArray("png") : format;
}

} // namespace

std::unique_ptr<RecordReader> openVCardReader(QIODevice& device) {
    return std::make_unique<VCardReader>(device);
}

QByteArray vCardOf(const Contact& contact, VCardVersion version) {
    const bool v4 = version == VCardVersion::V4;
    const bool v21 = version == VCardVersion::V21;
    QByteArray out;
    const auto line = [&out](const QString& text) { appendFolded(out, text.toUtf8()); };
    const auto text = [&out, version](const QString& nameAndParams, const QString& value) {
        appendText(out, version, nameAndParams, escaped(value, version));
    };
    const auto field = [&contact](const char* name) {
        return contact.value(QString::fromLatin1(name));
    };
    line(QStringLiteral("BEGIN:VCARD"));
    line(v4 ? QStringLiteral("VERSION:4.0")
            : (v21 ? QStringLiteral("VERSION:2.1") : QStringLiteral("VERSION:3.0")));
    const QString last = field("name");
    const QString first = field("namef");
    text(QStringLiteral("FN"), QStringList{first, last}.join(QLatin1Char(' ')).trimmed());
    appendText(out, version, QStringLiteral("N"),
               QStringLiteral("%1;%2;;;").arg(escaped(last, version), escaped(first, version)));
    // Both address lines go into the street, as other programs show them; Address1 and Address2
    // as they are when the street alone cannot give them back.
    const QString address1 = field("address1");
    const QString address2 = field("address2");
    const QStringList address = {field("city"), field("state"), field("zip")};
    if (!(address1 + address2 + address.join(QString())).isEmpty()) {
        QStringList street;
        for (const QString& part : {address1, address2}) {
            if (!part.isEmpty())
                street.append(part);
        }
        QStringList parts{QString(), QString(), escaped(street.join(QLatin1Char('\n')), version)};
        for (const QString& part : address)
            parts.append(escaped(part, version));
        parts.append(QString());
        appendText(out, version, v21 ? QStringLiteral("ADR;HOME") : QStringLiteral("ADR;TYPE=home"),
                   parts.join(QLatin1Char(';')));
    }
    for (const auto& [name, types] : PhoneTypes) {
        const QString number = field(name);
        if (!number.isEmpty())
            text(typed("TEL", QString::fromLatin1(types), version), number);
    }
    if (!field("email").isEmpty())
        text(v4 ? QStringLiteral("EMAIL")
                : (v21 ? QStringLiteral("EMAIL;INTERNET") : QStringLiteral("EMAIL;TYPE=internet")),
             field("email"));
    if (!field("extra6").isEmpty())
        text(QStringLiteral("URL"), field("extra6"));
    const QString birthday = field("Birthday");
    if (!birthday.isEmpty()) {
        const QString iso = isoBirthday(contact, v4);
        if (iso.isEmpty())
            text(QStringLiteral("BDAY;VALUE=text"), birthday);
        else
            line(QStringLiteral("BDAY:") + iso);
        // A day written without its year keeps the card's own text for this program.
        if (iso.startsWith(QLatin1String("--")) && birthday.size() > 5)
            text(QString::fromLatin1(birthdayTextProperty), birthday);
    }
    if (!field("remarks").isEmpty())
        text(QStringLiteral("NOTE"), field("remarks"));
    const QString type = field("extra4");
    if (!type.isEmpty()) {
        // Other programs know the two list entries as categories; any other contact type also
        // goes as it is, before CATEGORIES so that the reader knows the category for it.
        if (type != QLatin1String("Personal Contact") && type != QLatin1String("Business Contact"))
            text(QString::fromLatin1(OwnType), type);
        text(QStringLiteral("CATEGORIES"), type);
    }
    for (const auto& [property, name] : OwnProperties) {
        const QString own = QString::fromLatin1(property);
        const bool addressLine = own.startsWith(QLatin1String("X-QUILLORY-ADDRESS"));
        if (own == QLatin1String(OwnType) ||
            (addressLine ? plainAddressLines(address1, address2) : field(name).isEmpty()))
            continue;
        text(own, field(name));
    }
    if (!contact.photo.isEmpty()) {
        const QByteArray format = photoType(contact.photo);
        const QByteArray data = contact.photo.toBase64();
        if (v4)
            appendFolded(out, "PHOTO:data:image/" + format + ";base64," + data);
        else
            appendFolded(out, (v21 ? "PHOTO;ENCODING=BASE64;TYPE=" : "PHOTO;ENCODING=b;TYPE=") +
                                  format.toUpper() + ":" + data);
        if (v21)
            out.append("\r\n"); // 2.1 ends base64 data with an empty line
    }
    if (!field("uid").isEmpty())
        text(QStringLiteral("UID"), field("uid"));
    const QDateTime revision = QDateTime::fromString(field("rev"), Qt::ISODate);
    if (revision.isValid())
        line(QStringLiteral("REV:") +
             revision.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")));
    line(QStringLiteral("END:VCARD"));
    return out;
}

} // namespace quillory::exchange::detail
