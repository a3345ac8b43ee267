#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

namespace quillory::test {

// Writes a book for a test: a new book file at `path` holding `contacts`, each a map of field
// name to value, stored in the order given.
void writeBook(const QString& path, const QList<QVariantMap>& contacts);

// A contact with the usual fields filled from a last and first name.
QVariantMap contactNamed(const QString& last, const QString& first,
                         const QString& type = QString());

// Every contact of the book as (last name, first name) pairs, in id order.
QStringList bookNames(const QString& path);

} // namespace quillory::test
