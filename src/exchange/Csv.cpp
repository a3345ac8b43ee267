// CSV in (RFC 4180, the layouts mail programs write, the program's own) and out (own layout).

#include "core/ContactRecord.h"
#include "exchange/ExchangeDetail.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"

#include <QHash>
#include <QIODevice>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace quillory::exchange::detail {

namespace {

using Kind = ColumnTarget::Kind;

ColumnTarget field(const char* name) {
    return {Kind::Field, QString::fromLatin1(name)};
}
ColumnTarget remarks(const char* label = "") {
    return {Kind::Remarks, QString::fromLatin1(label)};
}
ColumnTarget ignore() {
    return {Kind::Ignore, {}};
}

// The book's fields the card does not show, and their columns in the program's own layout.
const QList<std::pair<QString, QString>>& spareColumns() {
    static const QList<std::pair<QString, QString>> columns = {
        {QStringLiteral("Extra 1"), QStringLiteral("extra1")},
        {QStringLiteral("Extra 2"), QStringLiteral("extra2")},
        {QStringLiteral("Extra 3"), QStringLiteral("extra3")},
        {QStringLiteral("Extra 5"), QStringLiteral("extra5")},
        {QStringLiteral("Label Print Mark"), QStringLiteral("extra7")}};
    return columns;
}

// Column names (lower case) of the known layouts and where each goes.
const QHash<QString, ColumnTarget>& knownColumns() {
    static const QHash<QString, ColumnTarget> columns = [] {
        QHash<QString, ColumnTarget> c;
        // The program's own layout: the card's captions, and the grid's.
        for (const contact::CardField& card : contact::cardFields()) {
            c.insert(QString::fromLatin1(card.caption).toLower(), field(card.field));
            c.insert(QString::fromLatin1(card.field).toLower(), field(card.field));
        }
        for (const contact::GridColumn& grid : contact::gridColumns()) {
            const QString name = QString::fromLatin1(grid.field);
            if (name == QLatin1String("extra4") || !name.startsWith(QLatin1String("extra")) ||
                name == QLatin1String("extra6"))
                c.insert(QString::fromLatin1(grid.caption).toLower(), field(grid.field));
        }
        c.insert(QStringLiteral("contact type"), field("extra4"));
        c.insert(QStringLiteral("photo"), field("photo"));
        for (const auto& [caption, name] : spareColumns()) {
            c.insert(caption.toLower(), {Kind::Field, name});
            c.insert(name, {Kind::Field, name});
        }
        c.insert(QStringLiteral("uid"), field("uid"));
        // Names the mail programs share.
        c.insert(QStringLiteral("first name"), field("namef"));
        c.insert(QStringLiteral("last name"), field("name"));
        c.insert(QStringLiteral("middle name"), remarks("Middle name"));
        c.insert(QStringLiteral("nickname"), remarks("Nickname"));
        c.insert(QStringLiteral("notes"), field("remarks"));
        c.insert(QStringLiteral("birthday"), field("Birthday"));
        c.insert(QStringLiteral("web page"), field("extra6"));
        c.insert(QStringLiteral("categories"), field("category"));
        c.insert(QStringLiteral("home phone"), field("phone"));
        c.insert(QStringLiteral("home city"), field("city"));
        c.insert(QStringLiteral("home state"), field("state"));
        c.insert(QStringLiteral("job title"), remarks("Title"));
        c.insert(QStringLiteral("department"), remarks("Department"));
        // Webmail.
        c.insert(QStringLiteral("name"), field("fullname"));
        c.insert(QStringLiteral("given name"), field("namef"));
        c.insert(QStringLiteral("family name"), field("name"));
        c.insert(QStringLiteral("additional name"), remarks("Middle name"));
        c.insert(QStringLiteral("name prefix"), remarks("Name prefix"));
        c.insert(QStringLiteral("name suffix"), remarks("Name suffix"));
        c.insert(QStringLiteral("group membership"), field("category"));
        c.insert(QStringLiteral("labels"), field("category"));
        c.insert(QStringLiteral("address 1 - street"), field("address1"));
        c.insert(QStringLiteral("address 1 - extended address"), field("address2"));
        c.insert(QStringLiteral("address 1 - po box"), field("address2"));
        c.insert(QStringLiteral("address 1 - city"), field("city"));
        c.insert(QStringLiteral("address 1 - region"), field("state"));
        c.insert(QStringLiteral("address 1 - postal code"), field("zip"));
        c.insert(QStringLiteral("address 1 - country"), remarks("Country"));
        c.insert(QStringLiteral("address 1 - formatted"), ignore());
        c.insert(QStringLiteral("organization 1 - name"), remarks("Organization"));
        c.insert(QStringLiteral("organization 1 - title"), remarks("Title"));
        c.insert(QStringLiteral("organization name"), remarks("Organization"));
        c.insert(QStringLiteral("organization title"), remarks("Title"));
        // Desktop mail, first kind.
        c.insert(QStringLiteral("title"), remarks("Name prefix"));
        c.insert(QStringLiteral("suffix"), remarks("Name suffix"));
        c.insert(QStringLiteral("company"), remarks("Organization"));
        c.insert(QStringLiteral("home street"), field("address1"));
        c.insert(QStringLiteral("home street 2"), field("address2"));
        c.insert(QStringLiteral("home postal code"), field("zip"));
        c.insert(QStringLiteral("home country/region"), remarks("Country"));
        c.insert(QStringLiteral("business phone"), field("phone2"));
        c.insert(QStringLiteral("mobile phone"), field("phone3"));
        c.insert(QStringLiteral("other phone"), field("phone3"));
        c.insert(QStringLiteral("pager"), field("pager"));
        c.insert(QStringLiteral("home fax"), field("fax"));
        c.insert(QStringLiteral("business fax"), field("fax2"));
        c.insert(QStringLiteral("e-mail address"), field("email"));
        c.insert(QStringLiteral("e-mail 2 address"), remarks("E-mail 2"));
        c.insert(QStringLiteral("e-mail 3 address"), remarks("E-mail 3"));
        c.insert(QStringLiteral("e-mail type"), ignore());
        c.insert(QStringLiteral("e-mail display name"), ignore());
        c.insert(QStringLiteral("e-mail 2 type"), ignore());
        c.insert(QStringLiteral("e-mail 2 display name"), ignore());
        c.insert(QStringLiteral("e-mail 3 type"), ignore());
        c.insert(QStringLiteral("e-mail 3 display name"), ignore());
        // Desktop mail, second kind.
        c.insert(QStringLiteral("display name"), field("fullname"));
        c.insert(QStringLiteral("primary email"), field("email"));
        c.insert(QStringLiteral("secondary email"), remarks("E-mail 2"));
        c.insert(QStringLiteral("work phone"), field("phone2"));
        c.insert(QStringLiteral("fax number"), field("fax"));
        c.insert(QStringLiteral("pager number"), field("pager"));
        c.insert(QStringLiteral("mobile number"), field("phone3"));
        c.insert(QStringLiteral("home address"), field("address1"));
        c.insert(QStringLiteral("home address 2"), field("address2"));
        c.insert(QStringLiteral("home zipcode"), field("zip"));
        c.insert(QStringLiteral("home country"), remarks("Country"));
        c.insert(QStringLiteral("web page 1"), field("extra6"));
        c.insert(QStringLiteral("web page 2"), remarks("Web page 2"));
        c.insert(QStringLiteral("birth year"), field("birthyear"));
        c.insert(QStringLiteral("birth month"), field("birthmonth"));
        c.insert(QStringLiteral("birth day"), field("birthdayofmonth"));
        c.insert(QStringLiteral("organization"), remarks("Organization"));
        return c;
    }();
    return columns;
}

// "E-mail 2 - Value" and the like, numbered columns of the webmail layout.
ColumnTarget numberedColumn(const QString& lower, bool* known) {
    static const QRegularExpression numbered(
        QStringLiteral("^(e-mail|phone|website|address|organization|relation|im|event|custom "
                       "field) (\\d+) - (.+)$"));
    const QRegularExpressionMatch m = numbered.match(lower);
    *known = m.hasMatch();
    if (!*known)
        return remarks();
    const QString kind = m.captured(1);
    const int number = m.captured(2).toInt();
    const QString part = m.captured(3);
    if (part == QLatin1String("type") || part == QLatin1String("label"))
        return ignore(); // read together with its value column
    if (part != QLatin1String("value"))
        return remarks();
    if (kind == QLatin1String("phone"))
        return field("telephone");
    if (kind == QLatin1String("e-mail"))
        return number == 1 ? field("email")
                           : ColumnTarget{Kind::Remarks, QStringLiteral("E-mail %1").arg(number)};
    if (kind == QLatin1String("website"))
        return number == 1 ? field("extra6")
                           : ColumnTarget{Kind::Remarks, QStringLiteral("Web page %1").arg(number)};
    return remarks();
}

// A text field of the book an import writes (the display name is always made from the names).
bool isTextField(const QString& name) {
    return name != QLatin1String("bitmap") && name != QLatin1String("extra8") &&
           (engine::book::fieldNames().contains(name) || name == QLatin1String("uid"));
}

// The most fields a header or record may have; no address book has nearly as many columns, and
// a line of nothing but separators would otherwise become millions of fields.
constexpr qsizetype maxFields = 4096;

// Splits one CSV record into fields. Quotes may stand around any field; "" inside is one quote.
// Stops after maxFields + 1 fields.
QList<QByteArray> splitRecord(const QByteArray& record, char separator) {
    QList<QByteArray> fields;
    QByteArray current;
    bool quoted = false;
    bool startOfField = true;
    for (qsizetype i = 0; i < record.size(); ++i) {
        const char c = record.at(i);
        if (quoted) {
            if (c == '"') {
                if (i + 1 < record.size() && record.at(i + 1) == '"') {
                    current.append('"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                current.append(c);
            }
            continue;
        }
        if (c == separator) {
            fields.append(current);
            current.clear();
            startOfField = true;
            if (fields.size() > maxFields)
                return fields;
            continue;
        }
        if (c == '"' && startOfField) {
            quoted = true;
            startOfField = false;
            continue;
        }
        startOfField = false;
        current.append(c);
    }
    fields.append(current);
    return fields;
}

// Whether a header's mapping has a column for a name, an e-mail address, a phone or an address:
// without one the text is no list of contacts (a README has none).
bool namesContactColumn(const Mapping& mapping) {
    static const QSet<QString> fields = {
        QStringLiteral("name"),     QStringLiteral("namef"),     QStringLiteral("fullname"),
        QStringLiteral("email"),    QStringLiteral("phone"),     QStringLiteral("phone2"),
        QStringLiteral("phone3"),   QStringLiteral("pager"),     QStringLiteral("fax"),
        QStringLiteral("fax2"),     QStringLiteral("telephone"), QStringLiteral("address1"),
        QStringLiteral("address2"), QStringLiteral("city"),      QStringLiteral("state"),
        QStringLiteral("zip")};
    for (const ColumnMapping& column : mapping) {
        if (column.target.kind == Kind::Field && fields.contains(column.target.field))
            return true;
    }
    return false;
}

char detectSeparator(const QByteArray& header) {
    int commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (const char c : header) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted) {
            commas += c == ',';
            semicolons += c == ';';
            tabs += c == '\t';
        }
    }
    if (tabs > commas && tabs >= semicolons)
        return '\t';
    if (semicolons > commas)
        return ';';
    return ',';
}

// Whether a quoted field is still open at the end of `line`, when one was open at its start
// (`quoted`). The same rule as splitRecord's: a quote opens a field only at the field's start,
// and inside one "" is a quote; anywhere else a quote is a plain character.
bool openQuoteAfter(const QByteArray& line, bool quoted, char separator) {
    bool startOfField = !quoted;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line.at(i + 1) == '"')
                    ++i;
                else
                    quoted = false;
            }
        } else if (c == separator) {
            startOfField = true;
        } else {
            quoted = c == '"' && startOfField;
            startOfField = false;
        }
    }
    return quoted;
}

class CsvReader : public RecordReader {
public:
    CsvReader(QIODevice& device, const QString& name, const ReadOptions& options)
        : m_lines(device) {
        info.format = Format::Csv;
        QByteArray header;
        qint64 line = 0;
        QString error;
        // The header is the first record that is not blank.
        do {
            const bool more = record(header, line, error);
            if (!error.isEmpty())
                throw PlatformError(ErrorNumber::EngineNotReadable,
                                    QStringLiteral("\"%1\": line %2: the header cannot be read: %3")
                                        .arg(name)
                                        .arg(line)
                                        .arg(error));
            if (!more)
                throw PlatformError(ErrorNumber::InputPastEnd,
                                    QStringLiteral("\"%1\" is empty.").arg(name));
        } while (header.trimmed().isEmpty());
        if (header.startsWith("\xEF\xBB\xBF")) {
            header.remove(0, 3);
            m_bom = true;
        }
        info.encoding = m_bom ? QStringLiteral("UTF-8 with BOM") : QStringLiteral("UTF-8");
        const QList<QByteArray> columns = splitRecord(header, info.separator);
        if (columns.size() > maxFields)
            throw PlatformError(ErrorNumber::EngineNotReadable,
                                QStringLiteral("\"%1\": line %2: the header has more than %3 "
                                               "columns; nothing was read.")
                                    .arg(name)
                                    .arg(line)
                                    .arg(maxFields));
        for (const QByteArray& column : columns)
            m_header.append(text(column).trimmed());
        info.mapping = detectMapping(m_header, &info.layout);
        if (!namesContactColumn(info.mapping))
            throw PlatformError(
                ErrorNumber::EngineNotReadable,
                QStringLiteral("\"%1\" is no CSV file of contacts: no column of its "
                               "first line is a name, e-mail, phone or address; "
                               "nothing was read.")
                    .arg(name));
        readOwnLayout();
        if (options.mapping) {
            for (qsizetype i = 0; i < info.mapping.size() && i < options.mapping->size(); ++i)
                info.mapping[i].target = options.mapping->at(i).target;
        }
        // A webmail phone's type stands in its own column: "Phone 1 - Type" for "Phone 1 - Value".
        m_typeColumn.fill(-1, m_header.size());
        QHash<QString, qsizetype> byName;
        for (qsizetype i = m_header.size() - 1; i >= 0; --i)
            byName.insert(m_header[i].toLower(), i);
        for (qsizetype i = 0; i < m_header.size(); ++i) {
            QString base = m_header[i].toLower();
            if (!base.endsWith(QLatin1String(" - value")))
                continue;
            base.chop(5);
            m_typeColumn[i] = byName.value(base + QStringLiteral("type"),
                                           byName.value(base + QStringLiteral("label"), -1));
        }
    }

    qint64 bytesRead() const override { return m_lines.bytesRead(); }

    bool next(ReadRecord& out) override {
        QByteArray bytes;
        qint64 line = 0;
        QString error;
        for (;;) {
            if (!record(bytes, line, error)) {
                if (!error.isEmpty())
                    problem(line, error);
                return false;
            }
            if (!error.isEmpty()) {
                problem(line, error);
                continue;
            }
            if (bytes.trimmed().isEmpty())
                continue;
            const QList<QByteArray> fields = splitRecord(bytes, info.separator);
            if (fields.size() > maxFields) {
                problem(line, QStringLiteral("the record has more than %1 fields and was not read")
                                  .arg(maxFields));
                continue;
            }
            // The first record's own texts let a caller show what each column holds.
            if (info.firstValues.isEmpty()) {
                for (const QByteArray& field : fields)
                    info.firstValues.append(text(field));
            }
            ContactBuilder builder;
            build(builder, fields);
            if (builder.isEmpty())
                continue;
            out.line = line;
            out.contact = builder.finish();
            return true;
        }
    }

private:
    QString text(const QByteArray& bytes) {
        if (isUtf8(bytes)) {
            // A value may begin with U+FEFF of its own; only the file's first one is its mark.
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
            return decoder(bytes);
        }
        info.encoding = QStringLiteral("Windows-1252");
        return fromWindows1252(bytes);
    }

    // One record's bytes, its quoted line breaks kept. False at the end of the file (with
    // `error` set when a record was cut off there); a record that cannot be read gives true
    // with `error` set.
    bool record(QByteArray& out, qint64& startLine, QString& error) {
        out.clear();
        error.clear();
        QByteArray line;
        QByteArray end;
        LineReader::Status status = m_lines.next(line, end);
        if (status == LineReader::Status::End)
            return false;
        startLine = m_lines.lineNumber();
        const QString tooLong = QStringLiteral("the record is longer than %1 MB and was not read")
                                    .arg(maxRecordBytes / (1024 * 1024));
        if (status == LineReader::Status::TooLong) {
            error = tooLong;
            return true;
        }
        out = line;
        if (!m_separatorKnown && !line.trimmed().isEmpty()) {
            // The header's first line tells the separator the rest is split by.
            info.separator = detectSeparator(line);
            m_separatorKnown = true;
        }
        bool open = openQuoteAfter(line, false, info.separator);
        while (open) {
            const QByteArray lineEnd = end; // inside the quotes: part of the value
            status = m_lines.next(line, end);
            if (status == LineReader::Status::End) {
                error = QStringLiteral("a quoted field is not closed before the end of the file");
                out.clear();
                return false;
            }
            if (status == LineReader::Status::TooLong ||
                out.size() + line.size() > maxRecordBytes) {
                error = tooLong;
                out.clear();
                return true;
            }
            out.append(lineEnd);
            out.append(line);
            open = openQuoteAfter(line, open, info.separator);
        }
        return true;
    }

    // The program's own files hold the book's texts as they are; since the spare fields have
    // columns, values a spreadsheet would run as formulas carry a mark that is taken off here.
    // Older files of the layout have no marks: their apostrophes are the contacts' own.
    void readOwnLayout() {
        m_ownLayout = info.layout == QLatin1String("Quillory");
        m_unmark = m_ownLayout &&
                   m_header.contains(spareColumns().constFirst().first, Qt::CaseInsensitive);
    }

    void build(ContactBuilder& builder, const QList<QByteArray>& raw) {
        QStringList values;
        for (const QByteArray& bytes : raw) {
            values.append(text(bytes));
            if (m_unmark && values.last().startsWith(QLatin1Char('\'')))
                values.last().remove(0, 1);
        }
        int birthYear = 0, birthMonth = 0, birthDay = 0;
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QString& value = values[i];
            if (value.isEmpty() || (!m_ownLayout && value.trimmed().isEmpty()))
                continue;
            if (i >= info.mapping.size()) {
                builder.remark(QStringLiteral("Column %1").arg(i + 1), value);
                continue;
            }
            const ColumnMapping& column = info.mapping[i];
            const QString label =
                column.column.isEmpty() ? QStringLiteral("Column %1").arg(i + 1) : column.column;
            switch (column.target.kind) {
            case Kind::Ignore:
                break;
            case Kind::Remarks:
                builder.remark(
                    typed(column.target.field.isEmpty() ? label : column.target.field, values, i),
                    value);
                break;
            case Kind::Field: {
                const QString& target = column.target.field;
                // A birthday with its century is written as the full date; it goes back to
                // the card's own text and the kept date.
                const bool fullDate = target == QLatin1String("Birthday") &&
                                      !fullBirthdate(value).isEmpty();
                if (m_ownLayout && isTextField(target) && !fullDate) {
                    builder.keep(target, value);
                } else if (target == QLatin1String("photo") && isLink(value)) {
                    builder.remark(label, value.trimmed()); // a link to a picture, not one
                } else if (target == QLatin1String("photo")) {
                    QByteArray data = value.trimmed().toLatin1();
                    if (data.startsWith("data:"))
                        data = data.mid(data.indexOf(',') + 1);
                    const auto decoded = QByteArray::fromBase64Encoding(
                        data, QByteArray::AbortOnBase64DecodingErrors);
                    builder.photo(decoded ? *decoded : QByteArray(), label);
                } else if (target == QLatin1String("fullname")) {
                    builder.fullName(value);
                } else if (target == QLatin1String("category") ||
                           target == QLatin1String("extra4")) {
                    static const QRegularExpression split(QStringLiteral("\\s*(:::|;|,)\\s*"));
                    for (QString part : value.split(split, Qt::SkipEmptyParts)) {
                        if (part.startsWith(QLatin1Char('*')))
                            continue; // the webmail's own groups, such as "* myContacts"
                        builder.category(part);
                    }
                } else if (target == QLatin1String("telephone")) {
                    const QString typeText =
                        m_typeColumn[i] >= 0 ? values.value(m_typeColumn[i]) : QString();
                    const QStringList types = typeText.split(
                        QRegularExpression(QStringLiteral("\\s*(:::|,)\\s*")), Qt::SkipEmptyParts);
                    // "Home Fax", "* Work": the slot follows the type's words.
                    const QStringList words = typeText.split(
                        QRegularExpression(QStringLiteral("[\\s*,]+|:::")), Qt::SkipEmptyParts);
                    for (const QString& number : value.split(QStringLiteral(" ::: ")))
                        builder.put(phoneSlots(words), number.trimmed(), phoneLabel(types));
                } else if (target == QLatin1String("birthyear")) {
                    birthYear = value.trimmed().toInt();
                } else if (target == QLatin1String("birthmonth")) {
                    birthMonth = value.trimmed().toInt();
                } else if (target == QLatin1String("birthdayofmonth")) {
                    birthDay = value.trimmed().toInt();
                } else if (target == QLatin1String("Birthday")) {
                    takeBirthday(builder, value, label);
                } else if (target == QLatin1String("remarks")) {
                    builder.note(value);
                } else if (!isTextField(target)) {
                    builder.remark(label, value); // a target the book has no field for
                } else {
                    const QStringList parts = value.split(QStringLiteral(" ::: "));
                    for (const QString& part : parts)
                        builder.put(target, parts.size() > 1 ? part.trimmed() : value, label);
                }
                break;
            }
            }
        }
        if (birthMonth > 0 || birthDay > 0) {
            const QString date = birthYear > 0 ? QStringLiteral("%1-%2-%3")
                                                     .arg(birthYear, 4, 10, QLatin1Char('0'))
                                                     .arg(birthMonth, 2, 10, QLatin1Char('0'))
                                                     .arg(birthDay, 2, 10, QLatin1Char('0'))
                                               : QStringLiteral("--%1-%2")
                                                     .arg(birthMonth, 2, 10, QLatin1Char('0'))
                                                     .arg(birthDay, 2, 10, QLatin1Char('0'));
            takeBirthday(builder, date, QStringLiteral("Birthday"));
        }
    }

    // The label of a value with its type from the column beside it: "E-mail 2 (Work)".
    QString typed(const QString& label, const QStringList& values, qsizetype column) const {
        const QString type =
            m_typeColumn[column] >= 0 ? values.value(m_typeColumn[column]).trimmed() : QString();
        return type.isEmpty() ? label : QStringLiteral("%1 (%2)").arg(label, type);
    }

    static bool isLink(const QString& value) {
        static const QRegularExpression link(QStringLiteral("^\\s*(https?|ftp)://"),
                                             QRegularExpression::CaseInsensitiveOption);
        return link.match(value).hasMatch();
    }

    static void takeBirthday(ContactBuilder& builder, const QString& value, const QString& label) {
        static const QRegularExpression none(QStringLiteral("^[0/.-]*$"));
        if (none.match(value.trimmed()).hasMatch())
            return; // "0/0/00": the mail program's way of saying there is none
        builder.birthday(value, label);
    }

    LineReader m_lines;
    QStringList m_header;
    QVector<qsizetype> m_typeColumn;
    bool m_bom = false;
    bool m_separatorKnown = false;
    bool m_ownLayout = false;
    bool m_unmark = false;
};

// A value a spreadsheet would run as a formula is written after an apostrophe, which the
// spreadsheet takes as "show this as text"; so is a value that begins with an apostrophe, so
// that the reader can take exactly one mark off whatever it finds.
QByteArray textMarked(QByteArray bytes) {
    if (!bytes.isEmpty() && QByteArrayView("=+-@\t\r'").contains(bytes.front()))
        bytes.prepend('\'');
    return bytes;
}

QByteArray csvField(const QString& value) {
    QByteArray bytes = textMarked(value.toUtf8());
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r') || bytes.contains(';') || bytes.contains('\t') ||
        (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.back() == ' '))) {
        bytes.replace("\"", "\"\"");
        return '"' + bytes + '"';
    }
    return bytes;
}

} // namespace

bool startsWithContactHeader(const QByteArray& head) {
    QByteArray line = head;
    for (const char end : {'\n', '\r'}) {
        if (line.indexOf(end) >= 0)
            line.truncate(line.indexOf(end));
    }
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    for (const char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return false;
    }
    QStringList columns;
    for (const QByteArray& column : splitRecord(line, detectSeparator(line)))
        columns.append(decodeText(column).trimmed());
    return columns.size() <= maxFields && namesContactColumn(detectMapping(columns));
}

std::unique_ptr<RecordReader> openCsvReader(QIODevice& device, const QString& name,
                                            const ReadOptions& options) {
    return std::make_unique<CsvReader>(device, name, options);
}

QByteArray csvHeaderLine() {
    QByteArray line;
    const QStringList header = ownCsvHeader();
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (i > 0)
            line.append(',');
        line.append(csvField(header[i]));
    }
    return line + "\r\n";
}

QByteArray csvLineOf(const Contact& contact) {
    QByteArray line;
    for (const contact::CardField& card : contact::cardFields()) {
        const QString field = QString::fromLatin1(card.field);
        const QString full =
            field == QLatin1String("Birthday") ? knownBirthdate(contact) : QString();
        line.append(csvField(full.isEmpty() ? contact.value(field) : full));
        line.append(',');
    }
    line.append(csvField(contact.value(QStringLiteral("extra4"))));
    line.append(',');
    for (const auto& [caption, field] : spareColumns()) {
        line.append(csvField(contact.value(field)));
        line.append(',');
    }
    line.append(textMarked(contact.photo.toBase64()));
    line.append(',');
    line.append(csvField(contact.value(QStringLiteral("uid"))));
    line.append("\r\n");
    return line;
}

} // namespace quillory::exchange::detail

namespace quillory::exchange {

QStringList ownCsvHeader() {
    QStringList header;
    for (const contact::CardField& card : contact::cardFields())
        header.append(QString::fromLatin1(card.caption));
    header.append(QStringLiteral("Contact Type"));
    for (const auto& [caption, field] : detail::spareColumns())
        header.append(caption);
    header.append(QStringLiteral("Photo"));
    header.append(QStringLiteral("UID"));
    return header;
}

QVector<FieldChoice> fieldChoices() {
    QVector<FieldChoice> choices;
    for (const contact::CardField& card : contact::cardFields()) {
        QString caption = QString::fromLatin1(card.caption);
        if (caption.endsWith(QLatin1Char(':')))
            caption.chop(1);
        choices.append({QString::fromLatin1(card.field), caption});
    }
    choices.append({QStringLiteral("extra4"), QStringLiteral("Contact Type")});
    for (const auto& [caption, field] : detail::spareColumns())
        choices.append({field, caption});
    choices.append({QStringLiteral("photo"), QStringLiteral("Photo")});
    choices.append({QStringLiteral("uid"), QStringLiteral("UID")});
    choices.append({QStringLiteral("fullname"), QStringLiteral("Full name (split)")});
    choices.append({QStringLiteral("telephone"), QStringLiteral("Phone by its type column")});
    choices.append({QStringLiteral("category"), QStringLiteral("Categories")});
    choices.append({QStringLiteral("birthyear"), QStringLiteral("Birth year")});
    choices.append({QStringLiteral("birthmonth"), QStringLiteral("Birth month")});
    choices.append({QStringLiteral("birthdayofmonth"), QStringLiteral("Birth day")});
    return choices;
}

Mapping detectMapping(const QStringList& columns, QString* layoutName) {
    Mapping mapping;
    QStringList lower;
    for (const QString& column : columns)
        lower.append(column.trimmed().toLower());
    for (qsizetype i = 0; i < columns.size(); ++i) {
        ColumnTarget target = detail::knownColumns().value(lower[i], ColumnTarget{});
        if (!detail::knownColumns().contains(lower[i])) {
            bool known = false;
            const ColumnTarget numbered = detail::numberedColumn(lower[i], &known);
            target = known ? numbered : ColumnTarget{ColumnTarget::Kind::Remarks, {}};
        }
        mapping.append({columns[i].trimmed(), target});
    }
    if (layoutName) {
        const auto has = [&lower](const char* name) {
            return lower.contains(QString::fromLatin1(name));
        };
        if (has("name-last:"))
            *layoutName = QStringLiteral("Quillory");
        else if (has("given name") || has("e-mail 1 - value") || has("phone 1 - value") ||
                 has("group membership"))
            *layoutName = QStringLiteral("Google");
        else if (has("e-mail address") || has("business phone") || has("home street"))
            *layoutName = QStringLiteral("Outlook");
        else if (has("primary email") || has("display name"))
            *layoutName = QStringLiteral("Thunderbird");
        else
            *layoutName = QStringLiteral("Other");
    }
    return mapping;
}

} // namespace quillory::exchange
