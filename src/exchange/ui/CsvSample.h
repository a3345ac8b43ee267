#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quillory::exchange {

// The first records of a CSV file as its fields' texts (the header first), read from its first
// megabyte only: the import dialog shows them beside the columns so the user can tell the
// columns apart. An unreadable file gives nothing.
QList<QStringList> firstCsvRecords(const QString& path, char separator, int count);

} // namespace quillory::exchange
