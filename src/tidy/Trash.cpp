#include "tidy/Trash.h"

#include "platform/engine/Database.h"
#include "platform/engine/Dialect.h"

#include <QDateTime>
#include <QSet>
#include <sqlite3.h>

namespace quillory::tidy {

namespace {

const QString TrashTable = QStringLiteral("Trash");
const QString MergedTable = engine::book::mergedUidTable();
// The trash's own columns come first; every other column is the contact's, named as in
// PhoneBK, so that a book's extra columns are kept too.
const QStringList OwnColumns = {
    QStringLiteral("trash_id"),          QStringLiteral("trash_batch"),
    QStringLiteral("trash_time"),        QStringLiteral("trash_reason"),
    QStringLiteral("trash_merged_into"), QStringLiteral("trash_merged_name")};
constexpr int KeptDays = 90;
constexpr int KeptContacts = 1000;

QString reasonText(TrashReason reason) {
    switch (reason) {
    case TrashReason::Merged:
        return QStringLiteral("merged");
    case TrashReason::Server:
        return QStringLiteral("server");
    case TrashReason::Deleted:
        break;
    }
    return QStringLiteral("deleted");
}

TrashReason reasonOf(const QString& text) {
    if (text == QLatin1String("merged"))
        return TrashReason::Merged;
    if (text == QLatin1String("server"))
        return TrashReason::Server;
    return TrashReason::Deleted;
}

using engine::book::hasTable;

QString quoted(const QString& name) {
    return engine::dialect::quoteName(name);
}

QString quotedList(const QStringList& names) {
    QStringList quotedNames;
    for (const QString& name : names)
        quotedNames.append(quoted(name));
    return quotedNames.join(u',');
}

// PhoneBK's columns without its row id, with their declared types.
engine::TableColumns contactColumns(engine::Database& db) {
    engine::TableColumns all = engine::tableColumns(db, engine::book::tableName());
    engine::TableColumns contact;
    for (int i = 0; i < all.names.size(); ++i) {
        if (all.names[i].compare(all.rowidAlias, Qt::CaseInsensitive) == 0)
            continue;
        contact.names.append(all.names[i]);
        contact.types.append(all.types[i]);
    }
    return contact;
}

QString columnDefinition(const QString& name, const QString& type) {
    return type.isEmpty() ? quoted(name) : quoted(name) + u' ' + type;
}

// Makes the trash when it is first needed and gives it the columns PhoneBK has gained since.
void ensureTrash(engine::Database& db) {
    const engine::TableColumns contact = contactColumns(db);
    if (!hasTable(db, TrashTable)) {
        QStringList columns = {
            QStringLiteral("trash_id INTEGER PRIMARY KEY"),
            QStringLiteral("trash_batch INTEGER NOT NULL"),
            QStringLiteral("trash_time TEXT NOT NULL"), // UTC, as "rev" is written
            QStringLiteral("trash_reason TEXT NOT NULL"),
            QStringLiteral("trash_merged_into TEXT"),
            QStringLiteral("trash_merged_name TEXT"),
        };
        for (int i = 0; i < contact.names.size(); ++i)
            columns.append(columnDefinition(contact.names[i], contact.types[i]));
        db.exec(QStringLiteral("CREATE TABLE %1 (%2); CREATE INDEX %1_batch ON %1 (trash_batch)")
                    .arg(TrashTable, columns.join(QStringLiteral(", "))));
        return;
    }
    const QStringList have = engine::tableColumns(db, TrashTable).names;
    for (int i = 0; i < contact.names.size(); ++i) {
        if (!have.contains(contact.names[i], Qt::CaseInsensitive))
            db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                        .arg(TrashTable, columnDefinition(contact.names[i], contact.types[i])));
    }
}

// The contact columns the trash and PhoneBK share now.
QStringList sharedColumns(engine::Database& db) {
    const QStringList trash = engine::tableColumns(db, TrashTable).names;
    QStringList shared;
    for (const QString& name : contactColumns(db).names) {
        if (trash.contains(name, Qt::CaseInsensitive))
            shared.append(name);
    }
    return shared;
}

// The name the card shows: last name, first name; the display name or the e-mail address for a
// contact without either.
QString shownName(const QString& last, const QString& first, const QString& display,
                  const QString& email) {
    if (!last.isEmpty() && !first.isEmpty())
        return last + QStringLiteral(", ") + first;
    if (!last.isEmpty() || !first.isEmpty())
        return last + first;
    if (!display.trimmed().isEmpty())
        return display.trimmed();
    return email.isEmpty() ? QStringLiteral("(no name)") : email;
}

QString nameOfUid(engine::Database& db, const QString& uid) {
    if (uid.isEmpty())
        return {};
    engine::book::indexUids(db);
    engine::Statement row(db, QStringLiteral("SELECT name, namef, extra8, email FROM %1 WHERE "
                                             "uid = ? LIMIT 1")
                                  .arg(engine::book::tableName()));
    row.bind(1, uid);
    if (!row.step())
        return {};
    return shownName(row.column(0).toString(), row.column(1).toString(), row.column(2).toString(),
                     row.column(3).toString());
}

QString utcText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODate);
}

} // namespace

qint64 moveToTrash(engine::Database& db, const QVector<qint64>& ids, TrashReason reason,
                   const QString& mergedInto) {
    engine::Savepoint step(db, "move_to_trash");
    ensureTrash(db);
    // A batch number no earlier step used, also after the trash was emptied: the program's
    // "Undo delete" holds on to one for the whole session.
    const qint64 batch = std::max(
        db.scalar(QStringLiteral("SELECT ifnull(max(trash_batch), 0) + 1 FROM %1").arg(TrashTable))
            .toLongLong(),
        QDateTime::currentMSecsSinceEpoch());
    const QString mergedName =
        reason == TrashReason::Merged ? nameOfUid(db, mergedInto) : QString();
    const QString columns = quotedList(sharedColumns(db));
    engine::Statement copy(
        db, QStringLiteral("INSERT INTO %1 (trash_batch, trash_time, trash_reason, "
                           "trash_merged_into, trash_merged_name, %2) SELECT ?, ?, ?, ?, ?, %2 "
                           "FROM %3 WHERE rowid = ?")
                .arg(TrashTable, columns, engine::book::tableName()));
    engine::Statement remove(
        db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(engine::book::tableName()));
    const QString now = engine::book::revisionNow();
    for (qint64 id : ids) {
        copy.bindAll({batch, now, reasonText(reason),
                      mergedInto.isEmpty() ? QVariant() : QVariant(mergedInto),
                      mergedName.isEmpty() ? QVariant() : QVariant(mergedName), id});
        copy.step();
        copy.reset();
        remove.bind(1, id);
        remove.step();
        remove.reset();
    }
    pruneTrash(db);
    step.release();
    return batch;
}

QVector<TrashEntry> trashEntries(engine::Database& db) {
    QVector<TrashEntry> entries;
    if (!hasTable(db, TrashTable))
        return entries;
    engine::Statement rows(
        db, QStringLiteral("SELECT trash_id, trash_batch, trash_time, trash_reason, "
                           "trash_merged_into, trash_merged_name, name, namef, extra8, email, uid "
                           "FROM %1 ORDER BY trash_id DESC")
                .arg(TrashTable));
    while (rows.step()) {
        TrashEntry entry;
        entry.trashId = rows.columnInt64(0);
        entry.batch = rows.columnInt64(1);
        entry.trashedAt = QDateTime::fromString(rows.column(2).toString(), Qt::ISODate)
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        entry.reason = reasonOf(rows.column(3).toString());
        entry.mergedInto = rows.column(4).toString();
        entry.mergedIntoName = rows.column(5).toString();
        entry.name = shownName(rows.column(6).toString(), rows.column(7).toString(),
                               rows.column(8).toString(), rows.column(9).toString());
        entry.uid = rows.column(10).toString();
        entries.append(entry);
    }
    return entries;
}

qint64 latestBatch(engine::Database& db) {
    if (!hasTable(db, TrashTable))
        return 0;
    return db
        .scalar(QStringLiteral("SELECT trash_batch FROM %1 ORDER BY trash_id DESC LIMIT 1")
                    .arg(TrashTable))
        .toLongLong();
}

QVector<qint64> restore(engine::Database& db, const QVector<qint64>& trashIds) {
    QVector<qint64> restored;
    if (!hasTable(db, TrashTable))
        return restored;
    engine::Savepoint step(db, "restore_from_trash");
    const QStringList shared = sharedColumns(db);
    const QString columns = quotedList(shared);
    // The revision is the restore's: the sync sends the contact as an edit of its own.
    QStringList selected;
    for (const QString& name : shared)
        selected.append(name.compare(QLatin1String("rev"), Qt::CaseInsensitive) == 0
                            ? QStringLiteral("?1")
                            : quoted(name));
    engine::Statement copy(
        db, QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 WHERE "
                           "trash_id = ?2")
                .arg(engine::book::tableName(), columns, selected.join(u','), TrashTable));
    engine::Statement uidOf(
        db, QStringLiteral("SELECT uid FROM %1 WHERE trash_id = ?").arg(TrashTable));
    engine::Statement remove(db,
                             QStringLiteral("DELETE FROM %1 WHERE trash_id = ?").arg(TrashTable));
    const bool merges = hasTable(db, MergedTable);
    const QString now = engine::book::revisionNow();
    for (qint64 trashId : trashIds) {
        uidOf.bind(1, trashId);
        const bool present = uidOf.step();
        const QString uid = present ? uidOf.column(0).toString() : QString();
        uidOf.reset();
        if (!present)
            continue; // restored or emptied meanwhile
        copy.bindAll({now, trashId});
        copy.step();
        copy.reset();
        restored.append(sqlite3_last_insert_rowid(db.handle()));
        remove.bind(1, trashId);
        remove.step();
        remove.reset();
        // The UID is the restored contact's own again, no longer an alias of the merged one.
        if (merges && !uid.isEmpty()) {
            engine::Statement forget(
                db, QStringLiteral("DELETE FROM %1 WHERE old_uid = ?").arg(MergedTable));
            forget.bind(1, uid);
            forget.step();
        }
    }
    step.release();
    return restored;
}

QVector<qint64> restoreBatch(engine::Database& db, qint64 batch) {
    QVector<qint64> ids;
    if (!hasTable(db, TrashTable))
        return {};
    engine::Statement rows(
        db, QStringLiteral("SELECT trash_id FROM %1 WHERE trash_batch = ? ORDER BY trash_id")
                .arg(TrashTable));
    rows.bind(1, batch);
    while (rows.step())
        ids.append(rows.columnInt64(0));
    return restore(db, ids);
}

void emptyTrash(engine::Database& db) {
    if (hasTable(db, TrashTable))
        db.exec(QStringLiteral("DELETE FROM %1").arg(TrashTable));
}

void pruneTrash(engine::Database& db) {
    if (!hasTable(db, TrashTable))
        return;
    // Only what is both old and beyond the newest entries goes: a large delete stays whole
    // for the whole period, and a quiet book keeps its last ones for good.
    engine::Statement prune(
        db, QStringLiteral("DELETE FROM %1 WHERE trash_time < ? AND trash_id <= (SELECT "
                           "trash_id FROM %1 ORDER BY trash_id DESC LIMIT 1 OFFSET %2)")
                .arg(TrashTable)
                .arg(KeptContacts));
    prune.bind(1, utcText(QDateTime::currentDateTimeUtc().addDays(-KeptDays)));
    prune.step();
}

void rememberMergedUid(engine::Database& db, const QString& oldUid, const QString& intoUid) {
    if (oldUid.isEmpty() || intoUid.isEmpty() || oldUid == intoUid)
        return;
    db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (old_uid TEXT PRIMARY KEY, "
                           "into_uid TEXT NOT NULL)")
                .arg(MergedTable));
    engine::Statement remember(
        db, QStringLiteral("INSERT OR REPLACE INTO %1 (old_uid, into_uid) VALUES (?, ?)")
                .arg(MergedTable));
    remember.bindAll({oldUid, intoUid});
    remember.step();
}

// The engine follows the chain, as the import does, so the two never disagree on a UID.
QString mergedUidOf(engine::Database& db, const QString& oldUid) {
    return engine::book::mergedUidOf(db, oldUid);
}

} // namespace quillory::tidy
