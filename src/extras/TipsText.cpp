#include "extras/TipsText.h"

#include <array>
#include <QStringDecoder>

namespace quillory {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five codes it leaves unassigned
// read as the replacement character rather than as invisible control characters.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            text.append(QChar(Cp1252High[byte - 0x80]));
        else
            text.append(QChar(byte));
    }
    return text;
}

} // namespace

QString decodeTipLine(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(line);
    if (utf8.hasError())
        return fromWindows1252(line);
    return text;
}

QStringList tipLines(const QByteArray& contents) {
    QByteArray bytes = contents;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype at = 0; at < size; ++at) {
        const char c = bytes.at(at);
        if (c != '\n' && c != '\r')
            continue;
        lines.append(decodeTipLine(bytes.mid(start, at - start)));
        if (c == '\r' && at + 1 < size && bytes.at(at + 1) == '\n')
            ++at;
        start = at + 1;
    }
    if (start < size)
        lines.append(decodeTipLine(bytes.mid(start)));
    return lines;
}

} // namespace quillory
