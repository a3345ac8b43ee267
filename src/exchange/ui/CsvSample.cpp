#include "exchange/ui/CsvSample.h"

#include "exchange/ExchangeDetail.h"

#include <QFile>

namespace quillory::exchange {

QList<QStringList> firstCsvRecords(const QString& path, char separator, int count) {
    constexpr qint64 Sample = 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(Sample);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // A sample cut inside a character would not read as UTF-8; it ends at its last line break.
    if (!file.atEnd()) {
        const qsizetype lastBreak = bytes.lastIndexOf('\n');
        if (lastBreak > 0)
            bytes.truncate(lastBreak + 1);
    }
    const QString text =
        detail::isUtf8(bytes) ? QString::fromUtf8(bytes) : detail::fromWindows1252(bytes);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    const QChar sep = QLatin1Char(separator);
    for (qsizetype i = 0; i < text.size() && records.size() < count; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == sep) {
            record << field;
            field.clear();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            record << field;
            field.clear();
            records << record;
            record.clear();
        } else {
            field += c;
        }
    }
    if (records.size() < count && (!record.isEmpty() || !field.isEmpty())) {
        record << field;
        records << record;
    }
    return records;
}

} // namespace quillory::exchange
