#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillory {

// The tips file as text: one tip per line, without its line end (CR LF, LF or a lone CR). A
// line that ends the file without a line end is a tip too; an empty file holds none. Each line
// is read as UTF-8 and, when it is not valid UTF-8, as Windows-1252, so that a file written
// with an old editor on another system reads right line by line. A leading UTF-8 byte-order
// mark is not part of the first tip.
QStringList tipLines(const QByteArray& contents);

// One line's bytes as text, by the rule above.
QString decodeTipLine(const QByteArray& line);

} // namespace quillory
