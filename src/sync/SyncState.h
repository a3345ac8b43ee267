#pragma once

#include <QHash>
#include <QString>

namespace quillory::engine {
class Database;
}

namespace quillory::sync {

// What the book last agreed on with the server, kept in the book itself so that compaction,
// repair, back-up and restore carry it: one record per synced contact (its UID, the card's
// href and ETag on the server, and the hash of the contact's fields as last synced) in table
// SyncState, and the address book with its sync-token in table SyncCollection. The tables are
// made by the first sync, never at start-up.
struct SyncRecord {
    QString href;
    QString etag;
    QString hash;
};

class SyncState {
public:
    explicit SyncState(engine::Database& db);

    // Makes the tables when the book has none yet.
    void create();
    // Empties both tables when the records belong to another address book than `addressBook`,
    // so that a changed account starts with a first sync.
    void bindTo(const QString& addressBook);

    QString token();
    void setToken(const QString& token);

    QHash<QString, SyncRecord> records(); // by UID
    void put(const QString& uid, const SyncRecord& record);
    void forget(const QString& uid);

    static const QString RecordTable;
    static const QString CollectionTable;

private:
    engine::Database& m_db;
};

} // namespace quillory::sync
