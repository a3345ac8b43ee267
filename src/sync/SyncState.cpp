#include "sync/SyncState.h"

#include "platform/engine/Database.h"

namespace quillory::sync {

const QString SyncState::RecordTable = QStringLiteral("SyncState");
const QString SyncState::CollectionTable = QStringLiteral("SyncCollection");

SyncState::SyncState(engine::Database& db) : m_db(db) {}

void SyncState::create() {
    m_db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (uid TEXT PRIMARY KEY, href TEXT NOT "
                             "NULL, etag TEXT, hash TEXT);"
                             "CREATE TABLE IF NOT EXISTS %2 (addressbook TEXT, token TEXT);")
                  .arg(RecordTable, CollectionTable));
}

void SyncState::bindTo(const QString& addressBook) {
    const QVariant bound =
        m_db.scalar(QStringLiteral("SELECT addressbook FROM %1 LIMIT 1").arg(CollectionTable));
    if (bound.isValid() && bound.toString() == addressBook)
        return;
    m_db.exec(QStringLiteral("DELETE FROM %1; DELETE FROM %2;").arg(RecordTable, CollectionTable));
    engine::Statement insert(
        m_db,
        QStringLiteral("INSERT INTO %1 (addressbook, token) VALUES (?, '')").arg(CollectionTable));
    insert.bind(1, addressBook);
    insert.step();
}

QString SyncState::token() {
    return m_db.scalar(QStringLiteral("SELECT token FROM %1 LIMIT 1").arg(CollectionTable))
        .toString();
}

void SyncState::setToken(const QString& token) {
    engine::Statement update(m_db, QStringLiteral("UPDATE %1 SET token = ?").arg(CollectionTable));
    update.bind(1, token);
    update.step();
}

QHash<QString, SyncRecord> SyncState::records() {
    QHash<QString, SyncRecord> result;
    engine::Statement all(m_db,
                          QStringLiteral("SELECT uid, href, etag, hash FROM %1").arg(RecordTable));
    while (all.step())
        result.insert(all.column(0).toString(), {all.column(1).toString(), all.column(2).toString(),
                                                 all.column(3).toString()});
    return result;
}

void SyncState::put(const QString& uid, const SyncRecord& record) {
    engine::Statement upsert(m_db, QStringLiteral("INSERT OR REPLACE INTO %1 (uid, href, etag, "
                                                  "hash) VALUES (?, ?, ?, ?)")
                                       .arg(RecordTable));
    upsert.bindAll({uid, record.href, record.etag, record.hash});
    upsert.step();
}

void SyncState::forget(const QString& uid) {
    engine::Statement remove(m_db, QStringLiteral("DELETE FROM %1 WHERE uid = ?").arg(RecordTable));
    remove.bind(1, uid);
    remove.step();
}

} // namespace quillory::sync
