#include "platform/profile/PrivateProfile.h"

#include "platform/files/FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace quillory {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Only blanks and tabs count: other white space, such as a no-break space, belongs to the
// value, as it does for the platform.
QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isQuote(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

bool isEnclosedInQuotes(const QString& text) {
    return text.size() >= 2 && isQuote(text.front()) && text.back() == text.front();
}

enum class LineKind { Blank, Comment, Header, Key };

LineKind kindOf(const QString& line) {
    const QString trimmed = trimBlanks(line);
    if (trimmed.isEmpty())
        return LineKind::Blank;
    if (trimmed.startsWith(QLatin1Char(';')))
        return LineKind::Comment;
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.contains(QLatin1Char(']')))
        return LineKind::Header;
    return LineKind::Key;
}

// The name between "[" and the last "]" of a header line.
QString headerName(const QString& line) {
    const QString trimmed = trimBlanks(line);
    const qsizetype close = trimmed.lastIndexOf(QLatin1Char(']'));
    return trimBlanks(trimmed.mid(1, close - 1));
}

QString keyName(const QString& line, qsizetype equalsAt) {
    return trimBlanks(equalsAt < 0 ? line : line.left(equalsAt));
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool isStorableSection(const QString& name) {
    return !name.isEmpty() && !hasLineBreak(name) && !name.contains(QLatin1Char(']'));
}

bool isStorableKey(const QString& name) {
    return !name.isEmpty() && !hasLineBreak(name) && !name.contains(QLatin1Char('=')) &&
           !name.startsWith(QLatin1Char(';')) && !name.startsWith(QLatin1Char('['));
}

// The text written after "=". A line break would end the line and let the rest of the value
// pass for keys of its own, so each break becomes a blank. A value that reading would alter
// (surrounding blanks, enclosing quotes) is put in double quotes, which reading removes, so
// every value reads back exactly as it was written.
QString storedValue(QString value) {
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!value.isEmpty() &&
        (isBlank(value.front()) || isBlank(value.back()) || isEnclosedInQuotes(value)))
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

} // namespace

QString PrivateProfile::getString(const QString& section, const QString& key, const QString& path) {
    return load(path).value(section, key);
}

bool PrivateProfile::writeString(const QString& section, const QString& key, const QString& value,
                                 const QString& path) {
    PrivateProfile document = load(path);
    return document.isReadable() && document.setValue(section, key, value) && document.save(path);
}

PrivateProfile PrivateProfile::load(const QString& path) {
    if (!QFileInfo::exists(path))
        return {};
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        PrivateProfile unreadable;
        unreadable.m_readFailed = true;
        return unreadable;
    }
    return fromBytes(bytes);
}

PrivateProfile PrivateProfile::fromBytes(const QByteArray& bytes) {
    PrivateProfile document;
    QByteArray body = bytes;
    if (body.startsWith(Utf8Bom)) {
        document.m_bom = true;
        body.remove(0, Utf8Bom.size());
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(body);
    if (utf8.hasError())
        text = QString::fromLatin1(body);

    const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
    document.m_crlf = firstBreak > 0 && text.at(firstBreak - 1) == QLatin1Char('\r');

    document.m_lines = text.split(QLatin1Char('\n'));
    if (document.m_lines.back().isEmpty())
        document.m_lines.removeLast(); // the break that ends the last line starts no new one
    for (QString& line : document.m_lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return document;
}

qsizetype PrivateProfile::findSection(const QString& section) const {
    const QString wanted = trimBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (kindOf(m_lines.at(i)) == LineKind::Header &&
            sameName(headerName(m_lines.at(i)), wanted))
            return i;
    }
    return -1;
}

qsizetype PrivateProfile::sectionEnd(qsizetype headerIndex) const {
    qsizetype i = headerIndex + 1;
    while (i < m_lines.size() && kindOf(m_lines.at(i)) != LineKind::Header)
        ++i;
    return i;
}

PrivateProfile::KeyLine PrivateProfile::findKey(qsizetype headerIndex, const QString& key) const {
    const QString wanted = trimBlanks(key);
    const qsizetype end = sectionEnd(headerIndex);
    for (qsizetype i = headerIndex + 1; i < end; ++i) {
        const QString& line = m_lines.at(i);
        if (kindOf(line) != LineKind::Key)
            continue;
        const qsizetype equalsAt = line.indexOf(QLatin1Char('='));
        if (sameName(keyName(line, equalsAt), wanted))
            return {i, equalsAt};
    }
    return {};
}

QString PrivateProfile::value(const QString& section, const QString& key) const {
    const qsizetype header = findSection(section);
    if (header < 0)
        return {};
    const KeyLine found = findKey(header, key);
    if (found.index < 0 || found.equalsAt < 0)
        return {};
    QString text = trimBlanks(m_lines.at(found.index).mid(found.equalsAt + 1));
    if (isEnclosedInQuotes(text))
        text = text.mid(1, text.size() - 2);
    if (text.size() > MaxValueLength) {
        qsizetype keep = MaxValueLength;
        if (text.at(keep - 1).isHighSurrogate())
            --keep; // half a character is no character
        text.truncate(keep);
    }
    return text;
}

bool PrivateProfile::contains(const QString& section, const QString& key) const {
    const qsizetype header = findSection(section);
    return header >= 0 && findKey(header, key).index >= 0;
}

bool PrivateProfile::setValue(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = trimBlanks(section);
    const QString name = trimBlanks(key);
    if (!isStorableSection(sectionName) || !isStorableKey(name))
        return false;
    const QString stored = storedValue(value);

    const qsizetype header = findSection(sectionName);
    if (header < 0) {
        if (!m_lines.isEmpty() && kindOf(m_lines.back()) != LineKind::Blank)
            m_lines.append(QString());
        m_lines.append(QLatin1Char('[') + sectionName + QLatin1Char(']'));
        m_lines.append(name + QLatin1Char('=') + stored);
        return true;
    }

    const KeyLine found = findKey(header, name);
    if (found.index >= 0) {
        // The key keeps its line and its spelling; only the value changes.
        QString& line = m_lines[found.index];
        const QString keyPart = found.equalsAt < 0 ? line : line.left(found.equalsAt);
        line = keyPart + QLatin1Char('=') + stored;
        return true;
    }

    // A new key follows the section's last key, so blank lines and comments that lead into
    // the next section stay in front of it.
    qsizetype insertAfter = header;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (kindOf(m_lines.at(i)) == LineKind::Key)
            insertAfter = i;
    }
    m_lines.insert(insertAfter + 1, name + QLatin1Char('=') + stored);
    return true;
}

QByteArray PrivateProfile::toBytes() const {
    const QString lineEnd = m_crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text = m_lines.join(lineEnd);
    if (!m_lines.isEmpty())
        text += lineEnd;
    QByteArray bytes = text.toUtf8();
    if (m_bom)
        bytes.prepend(Utf8Bom);
    return bytes;
}

bool PrivateProfile::save(const QString& path) const {
    if (m_readFailed)
        return false;
    QSaveFile file(path);
    // Unbuffered, so that a failed write is seen here: a write that fails only when the
    // buffer is flushed inside commit() goes unnoticed there, and the cut-off file would be
    // swapped in over the good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray bytes = toBytes();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    files::syncFolder(QFileInfo(path).absolutePath());
    return true;
}

} // namespace quillory
