#include "BookFiller.h"

#include "platform/engine/Database.h"

#include <QFile>

namespace quillory::test {

void writeBook(const QString& path, const QList<QVariantMap>& contacts) {
    if (QFile::exists(path))
        QFile::remove(path);
    engine::book::create(path);
    auto db = engine::Database::open(path);
    for (const QVariantMap& contact : contacts) {
        QStringList names;
        QVariantList values;
        for (auto it = contact.begin(); it != contact.end(); ++it) {
            names.append(QLatin1Char('"') + it.key() + QLatin1Char('"'));
            values.append(it.value());
        }
        engine::Statement insert(
            *db, QStringLiteral("INSERT INTO PhoneBK (%1) VALUES (%2)")
                     .arg(names.join(QLatin1Char(',')), engine::placeholders(int(values.size()))));
        insert.bindAll(values);
        insert.step();
    }
}

QVariantMap contactNamed(const QString& last, const QString& first, const QString& type) {
    QVariantMap contact{{QStringLiteral("name"), last},
                        {QStringLiteral("namef"), first},
                        {QStringLiteral("city"), QStringLiteral("Springfield")},
                        {QStringLiteral("phone"), QStringLiteral("555-0100")}};
    if (!type.isEmpty())
        contact.insert(QStringLiteral("extra4"), type);
    return contact;
}

QStringList bookNames(const QString& path) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    engine::Statement query(*db, QStringLiteral("SELECT name, namef FROM PhoneBK ORDER BY id"));
    QStringList names;
    while (query.step())
        names.append(query.column(0).toString() + QLatin1Char(',') + query.column(1).toString());
    return names;
}

} // namespace quillory::test
