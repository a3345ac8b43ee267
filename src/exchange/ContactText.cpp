// Reading lines and texts, and putting the values of a file into the fields of a contact.

#include "core/ContactRecord.h"
#include "core/PhotoBytes.h"
#include "exchange/ExchangeDetail.h"

#include <array>
#include <cstring>
#include <optional>
#include <QBuffer>
#include <QDate>
#include <QImage>
#include <QImageReader>
#include <QIODevice>
#include <QRegularExpression>
#include <QStringDecoder>

namespace quillory::exchange::detail {

// --- lines ---------------------------------------------------------------------------------

namespace {
constexpr qsizetype chunkBytes = 256 * 1024;
}

LineReader::LineReader(QIODevice& device) : m_device(device) {}

bool LineReader::fill() {
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const QByteArray more = m_device.read(chunkBytes);
    if (more.isEmpty())
        return false;
    m_buffer.append(more);
    return true;
}

LineReader::Status LineReader::next(QByteArray& line, QByteArray& end) {
    line.resize(0); // keeps the storage for this line
    end.resize(0);
    qsizetype scanned = m_pos;
    bool tooLong = false;
    for (;;) {
        // The first CR or LF from `scanned` on.
        qsizetype at = -1;
        const char* start = m_buffer.constData() + scanned;
        const auto length = size_t(m_buffer.size() - scanned);
        const void* lf = std::memchr(start, '\n', length);
        const size_t lfAt = lf ? size_t(static_cast<const char*>(lf) - start) : length;
        const void* cr = std::memchr(start, '\r', lfAt);
        if (cr)
            at = scanned + (static_cast<const char*>(cr) - start);
        else if (lf)
            at = scanned + qsizetype(lfAt);
        if (at >= 0) {
            // A CR at the buffer's end may be the first half of CRLF.
            if (m_buffer.at(at) == '\r' && at + 1 == m_buffer.size()) {
                const qsizetype offset = at - m_pos;
                const bool more = fill(); // either way the buffer now starts at the line
                if (more) {
                    scanned = offset;
                    continue;
                }
                at = offset;
            }
            const qsizetype endLength =
                (m_buffer.at(at) == '\r' && at + 1 < m_buffer.size() && m_buffer.at(at + 1) == '\n')
                    ? 2
                    : 1;
            if (!tooLong) // reuses the line's own storage from the call before
                line.append(m_buffer.constData() + m_pos, at - m_pos);
            end.append(m_buffer.constData() + at, endLength);
            m_consumed += at + endLength - m_pos;
            m_pos = at + endLength;
            ++m_lineNumber;
            return tooLong ? Status::TooLong : Status::Line;
        }
        // No line end in the buffer: keep at most the limit, then drop the rest of the line.
        if (m_buffer.size() - m_pos > maxRecordBytes) {
            tooLong = true;
            m_consumed += m_buffer.size() - m_pos;
            m_buffer.clear();
            m_pos = 0;
        }
        scanned = m_buffer.size() - m_pos;
        if (!fill()) {
            if (m_buffer.size() == m_pos && !tooLong)
                return Status::End;
            if (!tooLong)
                line = m_buffer.mid(m_pos);
            m_consumed += m_buffer.size() - m_pos;
            m_buffer.clear();
            m_pos = 0;
            ++m_lineNumber;
            return tooLong ? Status::TooLong : Status::Line;
        }
    }
}

// --- character sets ------------------------------------------------------------------------

bool isUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QString fromWindows1252(const QByteArray& bytes) {
    // 0x80 to 0x9F; the rest of the code page is Latin-1. Unassigned bytes keep their value.
    static constexpr std::array<char16_t, 32> high = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? QChar(high[b - 0x80]) : QChar(b);
    }
    return text;
}

namespace {

// The bytes as UTF-8 text; nothing when they are not UTF-8. A U+FEFF at the start is the
// value's own character here: a file's byte order mark is passed over before values are read.
std::optional<QString> utf8Text(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString decodeText(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray name = charset.trimmed().toUpper();
    if (name == "UTF-8" || name == "UTF8")
        return utf8Text(bytes).value_or(fromWindows1252(bytes));
    if (name == "ISO-8859-1" || name == "LATIN1" || name == "ISO8859-1")
        return QString::fromLatin1(bytes);
    if (name == "WINDOWS-1252" || name == "CP1252")
        return fromWindows1252(bytes);
    if (!name.isEmpty() && name != "US-ASCII" && name != "ASCII") {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid()) {
            const QString text = decoder(bytes);
            if (!decoder.hasError())
                return text;
        }
    }
    return utf8Text(bytes).value_or(fromWindows1252(bytes));
}

// --- photos --------------------------------------------------------------------------------

QByteArray storedPhoto(const QByteArray& pictureBytes) {
    if (pictureBytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(pictureBytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A JPEG or PNG is kept byte for byte, as the photo chooser keeps it. Its header is checked,
    // not every pixel, so that a large book's photos come in without decoding each one.
    if (contact::keptAsFileBytes(reader.format()) && reader.size().isValid() &&
        !reader.size().isEmpty())
        return pictureBytes;
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG"))
        return {};
    return bytes;
}

// --- birthdays -----------------------------------------------------------------------------

namespace {

QString cardDate(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return {};
    if (year > 0 && !QDate(year, month, day).isValid())
        return {};
    const QString monthDay = QStringLiteral("%1/%2")
                                 .arg(month, 2, 10, QLatin1Char('0'))
                                 .arg(day, 2, 10, QLatin1Char('0'));
    if (year <= 0)
        return monthDay;
    return monthDay + QStringLiteral("/%1").arg(year % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

namespace {

// The parts of a date in the forms cardBirthday reads; year 0 when there is none, `century`
// when the year was written with it.
struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
    bool century = false;
};

std::optional<DateParts> dateParts(const QString& input) {
    QString text = input.trimmed();
    const qsizetype time = text.indexOf(QLatin1Char('T'));
    if (time > 0)
        text.truncate(time);
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    static const QRegularExpression dashed(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    static const QRegularExpression noYear(QStringLiteral("^--(\\d{2})-?(\\d{2})$"));
    static const QRegularExpression slashed(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2,4})$"));
    QRegularExpressionMatch m;
    if ((m = compact.match(text)).hasMatch() || (m = dashed.match(text)).hasMatch())
        return DateParts{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), true};
    if ((m = noYear.match(text)).hasMatch())
        return DateParts{0, m.captured(1).toInt(), m.captured(2).toInt(), false};
    if ((m = slashed.match(text)).hasMatch()) {
        const bool century = m.captured(3).size() == 4;
        int year = m.captured(3).toInt();
        if (!century)
            year += 2000; // only its last two digits are kept
        return DateParts{year, m.captured(1).toInt(), m.captured(2).toInt(), century};
    }
    return std::nullopt;
}

} // namespace

QString cardBirthday(const QString& input) {
    const std::optional<DateParts> date = dateParts(input);
    return date ? cardDate(date->year, date->month, date->day) : QString();
}

QString fullBirthdate(const QString& text) {
    const std::optional<DateParts> date = dateParts(text);
    if (!date || !date->century || cardDate(date->year, date->month, date->day).isEmpty())
        return {};
    return QDate(date->year, date->month, date->day).toString(Qt::ISODate);
}

QString knownBirthdate(const Contact& contact) {
    const QString date = contact.value(QStringLiteral("birthdate"));
    const QString card = contact.value(QStringLiteral("Birthday")).trimmed();
    if (date.isEmpty() || fullBirthdate(date) != date || cardBirthday(date) != card)
        return {};
    return date;
}

QString isoBirthday(const Contact& contact, bool basic) {
    const QString known = knownBirthdate(contact);
    if (!known.isEmpty())
        return known;
    // A year of two digits has lost its century: the day is written without a year rather
    // than with a guessed one.
    static const QRegularExpression dayFirst(QStringLiteral("^(\\d{2})/(\\d{2})(/\\d{2})?$"));
    const QString card = contact.value(QStringLiteral("Birthday")).trimmed();
    const QRegularExpressionMatch m = dayFirst.match(card);
    if (!m.hasMatch() || cardDate(0, m.captured(1).toInt(), m.captured(2).toInt()).isEmpty())
        return {};
    return QStringLiteral("--%1%2%3")
        .arg(m.captured(1), basic ? QString() : QStringLiteral("-"), m.captured(2));
}

// --- one contact ---------------------------------------------------------------------------

void ContactBuilder::put(const QStringList& fields, const QString& value, const QString& label) {
    if (isNothing(value))
        return;
    for (const QString& field : fields) {
        QString& slot = m_contact.fields[field];
        if (slot.isEmpty()) {
            slot = value;
            return;
        }
        if (slot == value)
            return; // the same value twice is one value
    }
    remark(label, value);
}

void ContactBuilder::keep(const QString& field, const QString& value) {
    if (value.isEmpty())
        return;
    if (field == QLatin1String("remarks"))
        m_notes.append(value);
    else
        m_contact.fields[field] = value;
}

void ContactBuilder::birthday(const QString& value, const QString& label) {
    const QString date = cardBirthday(value);
    const QString before = m_contact.value(QStringLiteral("Birthday"));
    const bool taken = !before.isEmpty() && before != date;
    put(QStringLiteral("Birthday"), date.isEmpty() ? value.trimmed() : date, label);
    const QString full = fullBirthdate(value);
    if (!taken && !full.isEmpty() && m_contact.value(QStringLiteral("birthdate")).isEmpty())
        m_contact.fields[QStringLiteral("birthdate")] = full;
}

void ContactBuilder::remark(const QString& label, const QString& value) {
    if (value.trimmed().isEmpty())
        return;
    // A company makes the contact a business one (see Contact::organisation).
    if (label == QLatin1String("Organization"))
        m_contact.organisation = true;
    const QString line = label + QStringLiteral(": ") + value;
    if (!m_remarkSet.contains(line)) {
        m_remarkSet.insert(line);
        m_remarks.append(line);
    }
}

void ContactBuilder::note(const QString& text) {
    if (!isNothing(text))
        m_notes.append(text);
}

void ContactBuilder::category(const QString& value) {
    const QString key = value.trimmed().toLower();
    if (key.isEmpty())
        return;
    QString type;
    if (key == QLatin1String("personal contact") || key == QLatin1String("personal"))
        type = QStringLiteral("Personal Contact");
    else if (key == QLatin1String("business contact") || key == QLatin1String("business"))
        type = QStringLiteral("Business Contact");
    if (type.isEmpty() || !m_contact.value(QStringLiteral("extra4")).isEmpty())
        remark(QStringLiteral("Category"), value.trimmed());
    else
        m_contact.fields[QStringLiteral("extra4")] = type;
}

void ContactBuilder::photo(const QByteArray& pictureBytes, const QString& label) {
    const QByteArray stored = storedPhoto(pictureBytes);
    if (stored.isEmpty()) {
        remark(label, QStringLiteral("a picture that could not be read was left out"));
        return;
    }
    if (m_contact.photo.isEmpty())
        m_contact.photo = stored;
    else if (m_contact.photo != stored)
        remark(label, QStringLiteral("a second picture was left out"));
}

bool ContactBuilder::isEmpty() const {
    for (auto it = m_contact.fields.cbegin(); it != m_contact.fields.cend(); ++it) {
        if (!it.value().isEmpty())
            return false;
    }
    return m_contact.photo.isEmpty() && m_notes.isEmpty() && m_remarks.isEmpty() &&
           m_fullName.trimmed().isEmpty();
}

Contact ContactBuilder::finish() {
    const QString lastKey = QStringLiteral("name");
    const QString firstKey = QStringLiteral("namef");
    QString last = m_contact.value(lastKey);
    QString first = m_contact.value(firstKey);
    const QString full = m_fullName.simplified();
    if (last.isEmpty() && first.isEmpty() && !full.isEmpty()) {
        // "Ann Marie Smith": the last word is the last name; "Smith, Ann" says it the other way.
        const qsizetype comma = full.indexOf(QLatin1Char(','));
        if (comma > 0) {
            last = full.left(comma).trimmed();
            first = full.mid(comma + 1).trimmed();
        } else {
            const qsizetype blank = full.lastIndexOf(QLatin1Char(' '));
            last = blank < 0 ? full : full.mid(blank + 1);
            first = blank < 0 ? QString() : full.left(blank);
        }
        m_contact.fields[lastKey] = last;
        m_contact.fields[firstKey] = first;
    }
    const QString shown = m_contact.value(QStringLiteral("Birthday"));
    const QString own = cardBirthday(m_birthdayText);
    if (!own.isEmpty() && (shown.isEmpty() || shown == own.left(5)))
        m_contact.fields[QStringLiteral("Birthday")] = own;
    QStringList remarks = m_notes;
    remarks.append(m_remarks);
    const QString remarkText = remarks.join(QLatin1Char('\n'));
    if (!remarkText.isEmpty())
        m_contact.fields[QStringLiteral("remarks")] = remarkText;
    m_contact.fields[QStringLiteral("extra8")] = contact::displayName(first, last);
    // Only fields with a value are kept, so two contacts compare by what they hold.
    for (auto it = m_contact.fields.begin(); it != m_contact.fields.end();) {
        if (it.value().isEmpty() && it.key() != QLatin1String("extra8"))
            it = m_contact.fields.erase(it);
        else
            ++it;
    }
    Contact out = std::move(m_contact);
    *this = ContactBuilder(m_keepBlanks);
    return out;
}

// --- phones --------------------------------------------------------------------------------

QStringList phoneSlots(const QStringList& types) {
    QStringList lower;
    for (const QString& type : types)
        lower.append(type.trimmed().toLower());
    const auto has = [&lower](const char* word) { return lower.contains(QLatin1String(word)); };
    const bool work = has("work") || has("business");
    if (has("pager"))
        return {QStringLiteral("pager")};
    if (has("fax")) {
        if (work)
            return {QStringLiteral("fax2"), QStringLiteral("fax")};
        return {QStringLiteral("fax"), QStringLiteral("fax2")};
    }
    if (has("cell") || has("mobile") || has("x-other") || has("other") || has("car") ||
        has("iphone"))
        return {QStringLiteral("phone3")};
    if (work)
        return {QStringLiteral("phone2"), QStringLiteral("phone3")};
    if (has("home") || has("main"))
        return {QStringLiteral("phone"), QStringLiteral("phone3")};
    return {QStringLiteral("phone"), QStringLiteral("phone3"), QStringLiteral("phone2")};
}

QString phoneLabel(const QStringList& types) {
    QStringList shown;
    for (const QString& type : types) {
        const QString t = type.trimmed().toLower();
        if (!t.isEmpty() && t != QLatin1String("voice") && t != QLatin1String("pref") &&
            !t.startsWith(QLatin1String("*")))
            shown.append(t);
    }
    if (shown.isEmpty())
        return QStringLiteral("Phone");
    return QStringLiteral("Phone (%1)").arg(shown.join(QStringLiteral(", ")));
}

// --- readers -------------------------------------------------------------------------------

void RecordReader::problem(qint64 line, const QString& reason) {
    ++m_problemCount;
    if (m_problems.size() < maxProblems)
        m_problems.append({line, reason});
}

} // namespace quillory::exchange::detail
