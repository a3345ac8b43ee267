#pragma once

#include <QString>
#include <QVector>

namespace quillory::engine {
class Database;
}

namespace quillory::tidy {

// The trash of the book: contacts that were deleted or merged away, kept in the book itself (a
// table of its own, so compaction, repair, back-up and restore carry it) with every field the
// contact had, its photo included, until they are restored or the trash is emptied. It keeps
// 90 days or 1,000 contacts, whichever is more. The table is made when first needed, never at
// start-up. Nothing here shows a window.

enum class TrashReason {
    Deleted, // deleted by the user (the card, the grid, ...)
    Merged,  // merged into another contact (`mergedInto` names its UID)
    Server,  // deleted on the sync server and so removed from the book
};

struct TrashEntry {
    qint64 trashId = 0;  // the entry's own number in the trash
    qint64 batch = 0;    // contacts trashed by one step (one delete, one merge) share it
    QString trashedAt;   // local time, "yyyy-MM-dd hh:mm"
    TrashReason reason = TrashReason::Deleted;
    QString name;        // as the card shows it: last name, first name (company when none)
    QString uid;
    QString mergedInto;  // the UID of the contact it was merged into; empty otherwise
    QString mergedIntoName; // that contact's name as it was at the merge
};

// Inside the caller's transaction (the delete or merge and its trash entries stand or fall
// together): copies the contacts to the trash, then deletes them from the book. Returns the
// batch number the entries share.
qint64 moveToTrash(engine::Database& db, const QVector<qint64>& ids, TrashReason reason,
                   const QString& mergedInto = QString());

// Newest first. An empty list for a book that never trashed anything (no table is made).
QVector<TrashEntry> trashEntries(engine::Database& db);
// The batch of the latest step that trashed something, 0 when none.
qint64 latestBatch(engine::Database& db);

// Puts the entries back into the book in one transaction: the same fields and UID, a new row
// id, the revision set to now (a restore is a new edit for the sync), and forgets a merge that
// pointed the UID elsewhere. Returns the new row ids in the order given; an entry no longer in
// the trash (restored or emptied meanwhile) is passed over.
QVector<qint64> restore(engine::Database& db, const QVector<qint64>& trashIds);
QVector<qint64> restoreBatch(engine::Database& db, qint64 batch);
// Removes every entry for good.
void emptyTrash(engine::Database& db);
// Drops what is beyond the keeping rule (older than 90 days AND beyond the newest 1,000).
void pruneTrash(engine::Database& db);

// A merged-away contact's UID, remembered so that the import and the sync recognise a card
// carrying it as the merged contact. Inside the caller's transaction.
void rememberMergedUid(engine::Database& db, const QString& oldUid, const QString& intoUid);
// The UID a merged-away UID now lives on (following merges of merges), empty when none.
QString mergedUidOf(engine::Database& db, const QString& oldUid);

} // namespace quillory::tidy
