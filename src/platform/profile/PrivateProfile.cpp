#include "platform/profile/PrivateProfile.h"

#include "platform/files/FileOps.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

// The first line of a Windows-1252 file whose bytes would otherwise pass for UTF-8, as they do
// once a save has replaced the only line that was not: without it, the next reading would take
// the other lines' bytes for UTF-8 and change what they say ("\xC3\xA4" is "Ã¤", not "ä").
// It is a comment to every other reader. Reading drops it; writing puts it back where needed.
const QByteArray Windows1252Mark("; Windows-1252");

// The characters the platform trims from names and values like blanks: blank, tab, vertical
// tab, form feed, CR and ^Z. Other white space, such as a no-break space, belongs to the value.
bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == 0x0B || u == 0x0C || u == u'\r' || u == 0x1A;
}

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

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined stand for the control
// characters of the same number, so that every byte reads and writes back as itself.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes.at(i));
        text[i] = QChar(byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : byte);
    }
    return text;
}

// False when a character has no byte in Windows-1252.
bool toWindows1252(const QString& text, QByteArray& bytes) {
    static const QHash<char16_t, char> high = [] {
        QHash<char16_t, char> map;
        for (int i = 0; i < 32; ++i)
            map.insert(Windows1252High[static_cast<size_t>(i)], static_cast<char>(0x80 + i));
        return map;
    }();
    bytes.clear();
    bytes.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
            bytes.append(static_cast<char>(u));
        else if (const auto it = high.constFind(u); it != high.constEnd())
            bytes.append(*it);
        else
            return false;
    }
    return true;
}

// The length of the line end at `at`: 2 for CR LF, 1 for a lone LF or CR, 0 at the end of the
// bytes, -1 when the line goes on.
qsizetype lineEndLength(const QByteArray& bytes, qsizetype at) {
    if (at >= bytes.size())
        return 0;
    if (bytes.at(at) == '\r')
        return at + 1 < bytes.size() && bytes.at(at + 1) == '\n' ? 2 : 1;
    return bytes.at(at) == '\n' ? 1 : -1;
}

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = utf8(bytes);
    return !utf8.hasError();
}

// What the thing at a path is, for a message.
QString kindOfEntry(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("something other than a file");
}

QString notAFile(const struct stat& entry, const struct stat& target) {
    const QString what = kindOfEntry(target.st_mode);
    return S_ISLNK(entry.st_mode) ? QStringLiteral("it is a link to ") + what
                                  : QStringLiteral("it is ") + what;
}

QString cannotRead(int error) {
    return QStringLiteral("it cannot be read (%1)").arg(qt_error_string(error));
}

QString tooLarge() {
    return QStringLiteral("it is larger than %1 MB").arg(PrivateProfile::MaxFileSize >> 20);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Whether a save may put a new file at `path`: nothing is there, or a regular file (a link to
// one included, which the save then follows).
bool mayReplace(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(native.constData(), &entry) != 0)
        return errno == ENOENT;
    struct stat target {};
    return ::stat(native.constData(), &target) == 0 && S_ISREG(target.st_mode) &&
           target.st_size <= PrivateProfile::MaxFileSize;
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

PrivateProfile PrivateProfile::refused(Source source, QString problem) {
    PrivateProfile document;
    document.m_source = source;
    document.m_problem = std::move(problem);
    return document;
}

PrivateProfile PrivateProfile::load(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(native.constData(), &entry) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return refused(Source::Unreadable, cannotRead(errno));
    }
    // Looked at before opening: opening some devices does something by itself.
    struct stat target {};
    if (::stat(native.constData(), &target) != 0) {
        if (errno == ENOENT || errno == ELOOP)
            return refused(Source::NotRegularFile,
                           QStringLiteral("it is a link that leads nowhere"));
        return refused(Source::Unreadable, cannotRead(errno));
    }
    if (!S_ISREG(target.st_mode))
        return refused(Source::NotRegularFile, notAFile(entry, target));
    if (target.st_size > MaxFileSize)
        return refused(Source::TooLarge, tooLarge());

    // Opened without waiting, and checked again once open, in case a pipe took the file's
    // place in between.
    const FileDescriptor file(
        ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return refused(Source::Unreadable, cannotRead(errno));
    if (::fstat(file.get(), &target) != 0)
        return refused(Source::Unreadable, cannotRead(errno));
    if (!S_ISREG(target.st_mode))
        return refused(Source::NotRegularFile, notAFile(entry, target));

    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return refused(Source::Unreadable, cannotRead(errno));
        }
        if (count == 0)
            break;
        bytes.append(buffer, count);
        if (bytes.size() > MaxFileSize) // it grew while being read
            return refused(Source::TooLarge, tooLarge());
    }
    PrivateProfile document = fromBytes(bytes);
    document.m_source = Source::Read;
    return document;
}

PrivateProfile PrivateProfile::fromBytes(const QByteArray& bytes) {
    PrivateProfile document;
    document.m_source = Source::Read;
    QByteArray body = bytes;
    if (body.startsWith(Utf8Bom)) {
        document.m_bom = true;
        body.remove(0, Utf8Bom.size());
    }
    document.m_encoding = isValidUtf8(body) ? Encoding::Utf8 : Encoding::Windows1252;
    if (const qsizetype end = lineEndLength(body, Windows1252Mark.size());
        body.startsWith(Windows1252Mark) && end >= 0) {
        document.m_encoding = Encoding::Windows1252;
        document.m_markEnd = body.mid(Windows1252Mark.size(), end);
        body.remove(0, Windows1252Mark.size() + end);
    }

    // LF, CR LF and a CR on its own each end a line. Both encodings keep CR and LF as single
    // bytes that are never part of another character, so the bytes can be split first.
    QHash<QByteArray, int> endCounts;
    QByteArray commonestEnd;
    qsizetype begin = 0;
    const qsizetype size = body.size();
    while (begin < size) {
        qsizetype end = begin;
        while (end < size && body.at(end) != '\n' && body.at(end) != '\r')
            ++end;
        Line line;
        line.bytes = body.mid(begin, end - begin);
        if (end < size) {
            line.end = body.mid(end, lineEndLength(body, end));
            const int count = ++endCounts[line.end];
            if (commonestEnd.isEmpty() || count > endCounts.value(commonestEnd))
                commonestEnd = line.end;
        }
        line.text = document.m_encoding == Encoding::Utf8 ? QString::fromUtf8(line.bytes)
                                                          : fromWindows1252(line.bytes);
        begin = end + line.end.size();
        document.m_lines.append(std::move(line));
    }
    if (!commonestEnd.isEmpty())
        document.m_newLineEnd = commonestEnd;
    return document;
}

qsizetype PrivateProfile::findSection(const QString& section) const {
    const QString wanted = trimBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (kindOf(m_lines.at(i).text) == LineKind::Header &&
            sameName(headerName(m_lines.at(i).text), wanted))
            return i;
    }
    return -1;
}

qsizetype PrivateProfile::sectionEnd(qsizetype headerIndex) const {
    qsizetype i = headerIndex + 1;
    while (i < m_lines.size() && kindOf(m_lines.at(i).text) != LineKind::Header)
        ++i;
    return i;
}

PrivateProfile::KeyLine PrivateProfile::findKey(qsizetype headerIndex, const QString& key) const {
    const QString wanted = trimBlanks(key);
    const qsizetype end = sectionEnd(headerIndex);
    for (qsizetype i = headerIndex + 1; i < end; ++i) {
        const QString& line = m_lines.at(i).text;
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
    QString text = trimBlanks(m_lines.at(found.index).text.mid(found.equalsAt + 1));
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

void PrivateProfile::setLineText(Line& line, const QString& text) {
    line.text = text;
    if (m_encoding == Encoding::Windows1252) {
        if (toWindows1252(text, line.bytes))
            return;
        // A character the file's encoding has no byte for: the file becomes UTF-8 rather than
        // lose it. Every line keeps its characters; only their bytes change.
        m_encoding = Encoding::Utf8;
        for (Line& other : m_lines)
            other.bytes = other.text.toUtf8();
    }
    line.bytes = text.toUtf8();
}

void PrivateProfile::insertLine(qsizetype at, const QString& text) {
    // A last line without a line end gets one when a line follows it.
    if (at > 0 && m_lines[at - 1].end.isEmpty())
        m_lines[at - 1].end = m_newLineEnd;
    Line line;
    line.end = m_newLineEnd;
    m_lines.insert(at, line);
    setLineText(m_lines[at], text);
}

bool PrivateProfile::setValue(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = trimBlanks(section);
    const QString name = trimBlanks(key);
    if (!isStorableSection(sectionName) || !isStorableKey(name))
        return false;
    const QString stored = storedValue(value);

    const qsizetype header = findSection(sectionName);
    if (header < 0) {
        if (!m_lines.isEmpty() && kindOf(m_lines.back().text) != LineKind::Blank)
            insertLine(m_lines.size(), QString());
        insertLine(m_lines.size(), QLatin1Char('[') + sectionName + QLatin1Char(']'));
        insertLine(m_lines.size(), name + QLatin1Char('=') + stored);
        return true;
    }

    const KeyLine found = findKey(header, name);
    if (found.index >= 0) {
        // The key keeps its line, its spelling and its line end; only the value changes.
        Line& line = m_lines[found.index];
        const QString keyPart = found.equalsAt < 0 ? line.text : line.text.left(found.equalsAt);
        setLineText(line, keyPart + QLatin1Char('=') + stored);
        return true;
    }

    // A new key follows the section's last key, so blank lines and comments that lead into
    // the next section stay in front of it.
    qsizetype insertAfter = header;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (kindOf(m_lines.at(i).text) == LineKind::Key)
            insertAfter = i;
    }
    insertLine(insertAfter + 1, name + QLatin1Char('=') + stored);
    return true;
}

QByteArray PrivateProfile::toBytes() const {
    QByteArray body;
    for (const Line& line : m_lines)
        body += line.bytes + line.end;
    const bool ascii = std::all_of(body.begin(), body.end(), [](char c) { return c >= 0; });
    if (m_encoding == Encoding::Windows1252 && !ascii && isValidUtf8(body))
        body.prepend(Windows1252Mark + (m_markEnd.isEmpty() ? m_newLineEnd : m_markEnd));
    return m_bom ? Utf8Bom + body : body;
}

bool PrivateProfile::save(const QString& path) const {
    if (!isReadable() || !mayReplace(path))
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
