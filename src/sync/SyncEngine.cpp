#include "sync/SyncEngine.h"

#include "exchange/Exchange.h"
#include "exchange/ExchangeDetail.h"
#include "platform/engine/Database.h"
#include "platform/engine/Transaction.h"
#include "platform/files/PlatformError.h"
#include "sync/CardDav.h"
#include "sync/SyncState.h"
#include "tidy/Merge.h"
#include "tidy/Trash.h"

#include <optional>
#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <sqlite3.h>

namespace quillory::sync {

using exchange::Contact;

QString SyncSummary::text() const {
    QString line =
        QStringLiteral("%1 sent, %2 received, %3 deleted, %4 %5 kept")
            .arg(sent)
            .arg(received)
            .arg(deleted)
            .arg(conflicts)
            .arg(conflicts == 1 ? QStringLiteral("conflict") : QStringLiteral("conflicts"));
    for (const QString& note : notes)
        line += QLatin1Char('\n') + note;
    return line;
}

namespace {

// The contact's fields a card carries, as the book writes them (the photo apart).
QStringList writtenFields() {
    QStringList fields = engine::book::fieldNames();
    fields.removeAll(QStringLiteral("bitmap"));
    fields.append(QStringLiteral("birthdate"));
    return fields;
}

// The fields as the book would hold them: the revision time is no change of the contact, and an
// empty field and a missing one are the same.
Contact asStored(Contact contact) {
    Contact stored;
    const QStringList fields = writtenFields() << QStringLiteral("uid");
    for (const QString& field : fields) {
        const QString value = contact.value(field);
        if (!value.isEmpty())
            stored.fields.insert(field, value);
    }
    stored.photo = contact.photo;
    return stored;
}

QByteArray cardOf(const Contact& contact) {
    return exchange::detail::vCardOf(contact, exchange::VCardVersion::V3);
}

QString hashOfCard(const QByteArray& card) {
    return QString::fromLatin1(QCryptographicHash::hash(card, QCryptographicHash::Sha1).toHex());
}

// Two contacts with the same hash would go to the server as the same card.
QString hashOf(const Contact& contact) {
    return hashOfCard(cardOf(asStored(contact)));
}

QString nameOf(const Contact& contact) {
    const QString display = contact.value(QStringLiteral("extra8")).trimmed();
    if (!display.isEmpty())
        return display;
    const QString name = (contact.value(QStringLiteral("namef")) + QLatin1Char(' ') +
                          contact.value(QStringLiteral("name")))
                             .trimmed();
    return name.isEmpty() ? contact.value(QStringLiteral("uid")) : name;
}

// The path of a new card on the server, as the client's listings give it. A name another card
// holds already is followed by the next one: "-1" after the card's name, then "-2", ...
QString hrefFor(const QUrl& addressBook, const QString& uid, int next = 0) {
    QUrl folder = addressBook;
    if (!folder.path().endsWith(QLatin1Char('/')))
        folder.setPath(folder.path() + QLatin1Char('/'));
    QString name = cardHref(uid);
    if (next > 0)
        name.insert(name.lastIndexOf(QLatin1Char('.')), QStringLiteral("-%1").arg(next));
    return folder.resolved(QUrl(name)).path(QUrl::FullyEncoded);
}

// How many names a new card tries before it waits for the next sync.
constexpr int maxNames = 10;
// Records of what the server confirmed are written to the book this many at a time.
constexpr int recordBatch = 200;

// Servers differ in which characters of a path they escape; a card is the same card either way.
QString sameCard(const QString& href) {
    return QUrl::fromPercentEncoding(href.toUtf8());
}

void checkProgress(const SyncProgress& progress, qint64 done, qint64 total) {
    if (progress && !progress(done, total))
        throw SyncError(SyncError::Kind::Cancelled, QStringLiteral("The sync was cancelled."));
}

// The book's side: reads contacts and writes the server's versions.
class Book {
public:
    explicit Book(const QString& path) : m_db(engine::Database::open(path)) {
        if (!m_db->isBook())
            throw PlatformError(
                ErrorNumber::EngineNotReadable,
                QStringLiteral("\"%1\" is not an address book of this program.").arg(path));
        m_fields = writtenFields();
    }
    engine::Database& db() { return *m_db; }

    struct Local {
        qint64 id = 0;
        QString hash;
    };
    // Every contact's UID with its row and hash; the first row of a UID counts.
    QHash<QString, Local> scan() {
        QHash<QString, Local> local;
        engine::Statement rows(*m_db, selectSql(QString()));
        while (rows.step()) {
            const Contact contact = contactOf(rows);
            const QString uid = contact.value(QStringLiteral("uid"));
            if (!local.contains(uid))
                local.insert(uid, {rows.columnInt64(0), hashOf(contact)});
        }
        return local;
    }

    Contact read(qint64 id) {
        if (!m_readRow)
            m_readRow = std::make_unique<engine::Statement>(
                *m_db, selectSql(QStringLiteral(" WHERE id = ?")));
        m_readRow->bind(1, id);
        const Contact contact = m_readRow->step() ? contactOf(*m_readRow) : Contact();
        m_readRow->reset(); // holds no read of the book between two contacts
        return contact;
    }

    qint64 insert(const Contact& contact) {
        engine::Statement insert(
            *m_db, QStringLiteral("INSERT INTO %1 (%2, bitmap, uid, rev) VALUES (%3)")
                       .arg(engine::book::tableName(), m_fields.join(QStringLiteral(", ")),
                            engine::placeholders(int(m_fields.size()) + 3)));
        insert.bindAll(values(contact) << contact.value(QStringLiteral("uid")) << revision());
        insert.step();
        return static_cast<qint64>(sqlite3_last_insert_rowid(m_db->handle()));
    }

    // The contact takes `contact`'s fields, empty ones too.
    void replace(qint64 id, const Contact& contact) {
        QStringList sets;
        for (const QString& field : m_fields)
            sets.append(field + QStringLiteral(" = ?"));
        engine::Statement update(
            *m_db, QStringLiteral("UPDATE %1 SET %2, bitmap = ?, rev = ? "
                                  "WHERE id = ?")
                       .arg(engine::book::tableName(), sets.join(QStringLiteral(", "))));
        update.bindAll(values(contact) << revision() << id);
        update.step();
    }

    // The contact goes to the trash, so a deletion on the server can be undone here.
    void remove(qint64 id) { tidy::moveToTrash(*m_db, {id}, tidy::TrashReason::Server); }

private:
    QString selectSql(const QString& where) const {
        return QStringLiteral("SELECT id, uid, bitmap, %1 FROM %2%3")
            .arg(m_fields.join(QStringLiteral(", ")), engine::book::tableName(), where);
    }
    Contact contactOf(const engine::Statement& row) const {
        Contact contact;
        contact.fields.insert(QStringLiteral("uid"), row.column(1).toString());
        contact.photo = row.column(2).toByteArray();
        for (int i = 0; i < m_fields.size(); ++i) {
            const QString value = row.column(i + 3).toString();
            if (!value.isEmpty())
                contact.fields.insert(m_fields[i], value);
        }
        return contact;
    }
    QVariantList values(const Contact& contact) const {
        QVariantList list;
        for (const QString& field : m_fields) {
            const QString value = contact.value(field);
            list.append(value.isEmpty() ? QVariant() : QVariant(value));
        }
        list.append(contact.photo.isEmpty() ? QVariant() : QVariant(contact.photo));
        return list;
    }
    QString revision() {
        if (m_revision.isEmpty())
            m_revision = engine::book::revisionNow();
        return m_revision;
    }

    std::unique_ptr<engine::Database> m_db;
    std::unique_ptr<engine::Statement> m_readRow; // made by the first read
    QStringList m_fields;
    QString m_revision;
};

// A card the server sent, read into a contact.
struct Incoming {
    QString href;
    QString etag;
    Contact contact;
    QString hash;
};

struct Upload {
    QString uid;
    QString href;
    QString ifMatch; // empty: a new card
    qint64 id = 0;
};

const QString conflictRemark = QStringLiteral(
    "Conflict copy: this is the book's version of a contact that was also changed on the server "
    "before the sync of %1; the server's version took the contact.");

class Sync {
public:
    Sync(const QString& bookPath, CardDavClient& client, const SyncProgress& progress)
        : m_book(bookPath), m_client(client), m_progress(progress), m_state(m_book.db()) {}

    SyncSummary run() {
        m_addressBook = m_client.addressBook();
        prepare(m_addressBook.toString());
        const QHash<QString, SyncRecord> records = m_state.records();
        m_token = m_state.token();
        const Changes changes = m_client.changesSince(m_token);
        checkProgress(m_progress, 1, 4);

        QHash<QString, QString> uidOfHref;
        for (auto it = records.cbegin(); it != records.cend(); ++it)
            uidOfHref.insert(sameCard(it->href), it.key());
        QStringList wanted;
        QSet<QString> listed;
        for (const RemoteCard& card : changes.changed) {
            listed.insert(sameCard(card.href));
            const QString uid = uidOfHref.value(sameCard(card.href));
            if (!uid.isEmpty() && !card.etag.isEmpty() && records.value(uid).etag == card.etag)
                continue;
            wanted.append(card.href);
        }
        QSet<QString> removed;
        for (const QString& href : changes.removed)
            removed.insert(uidOfHref.value(sameCard(href)));
        if (changes.complete) {
            for (auto it = records.cbegin(); it != records.cend(); ++it) {
                if (!listed.contains(sameCard(it->href)))
                    removed.insert(it.key());
            }
        }
        removed.remove(QString());

        QHash<QString, Incoming> incoming;
        bool allFetched = true;
        if (!wanted.isEmpty()) {
            const QVector<RemoteCard> cards = m_client.fetch(wanted);
            allFetched = cards.size() >= wanted.size();
            for (const RemoteCard& card : cards)
                take(card, uidOfHref.value(sameCard(card.href)), incoming);
        }
        checkProgress(m_progress, 2, 4);

        const QHash<QString, Book::Local> local = m_book.scan();
        // A card the server could not give now keeps the old token, so it is asked for again.
        QVector<Upload> uploads =
            applyToBook(records, local, incoming, removed, allFetched ? changes.token : m_token);
        checkProgress(m_progress, 3, 4);

        const QHash<QString, SyncRecord> now = m_state.records();
        QSet<QString> handled;
        for (const Upload& upload : uploads)
            handled.insert(upload.uid);
        for (auto it = local.cbegin(); it != local.cend(); ++it) {
            if (m_taken.contains(it.key()) || handled.contains(it.key()) ||
                m_deletedHere.contains(it.key()))
                continue;
            const auto record = now.constFind(it.key());
            if (record == now.cend())
                uploads.append({it.key(), hrefFor(m_addressBook, it.key()), QString(), it->id});
            else if (record->hash != it->hash)
                uploads.append({it.key(), record->href, record->etag, it->id});
        }
        QVector<std::pair<QString, SyncRecord>> deletions;
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            if (!local.contains(it.key()) &&
                (!incoming.contains(it.key()) || m_mergedAway.contains(it.key())))
                deletions.append({it.key(), *it});
        }
        send(uploads, deletions);
        return m_summary;
    }

private:
    void prepare(const QString& addressBook) {
        engine::Transaction transaction(m_book.db());
        engine::book::addKeptFields(m_book.db());
        engine::book::indexUids(m_book.db());
        // A UID is one card on the server: a second contact holding it (written by another
        // program, or copied) would never be sent, so it gets a UID of its own.
        m_book.db().exec(QStringLiteral("UPDATE %1 SET uid = NULL WHERE uid IS NOT NULL AND id > "
                                        "(SELECT min(id) FROM %1 AS first WHERE first.uid = "
                                        "%1.uid)")
                             .arg(engine::book::tableName()));
        engine::book::giveMissingUids(m_book.db());
        m_mergesRemembered = engine::book::hasTable(m_book.db(), engine::book::mergedUidTable());
        m_state.create();
        m_state.bindTo(addressBook);
        transaction.commit();
    }

    // The server's card as the book would hold it; the UID is `uid` where the book knows the
    // card, else the card's own. Nothing when it cannot be read, with `problem` saying why.
    static std::optional<Incoming> read(const RemoteCard& card, QString uid, QString* problem) {
        const exchange::ReadResult read = exchange::readBytes(card.vcard);
        if (read.records.isEmpty()) {
            *problem = read.problems.isEmpty() ? QStringLiteral("it holds no card")
                                               : read.problems.first().reason;
            return std::nullopt;
        }
        Contact contact = read.records.first().contact;
        if (uid.isEmpty())
            uid = contact.value(QStringLiteral("uid"));
        if (uid.isEmpty())
            uid = QStringLiteral("href:") + card.href;
        contact.fields[QStringLiteral("uid")] = uid;
        contact = asStored(contact);
        return Incoming{card.href, card.etag, contact, hashOf(contact)};
    }

    void take(const RemoteCard& card, const QString& uid, QHash<QString, Incoming>& incoming) {
        QString problem;
        const std::optional<Incoming> taken = read(card, uid, &problem);
        if (taken)
            incoming.insert(taken->contact.value(QStringLiteral("uid")), *taken);
        else
            m_summary.notes.append(
                QStringLiteral("The card \"%1\" from the server cannot be read: %2")
                    .arg(card.href, problem));
    }

    // Everything the server changed goes into the book in one transaction, with its records.
    QVector<Upload> applyToBook(const QHash<QString, SyncRecord>& records,
                                const QHash<QString, Book::Local>& local,
                                const QHash<QString, Incoming>& incoming,
                                const QSet<QString>& removed, const QString& token) {
        QVector<Upload> copies;
        QVector<std::pair<QString, QString>> mergedAway; // the card's UID, the one it lives on
        engine::Transaction transaction(m_book.db());
        m_state.setToken(token);
        for (auto it = incoming.cbegin(); it != incoming.cend(); ++it) {
            const QString& uid = it.key();
            const Incoming& card = *it;
            const auto mine = local.constFind(uid);
            const auto record = records.constFind(uid);
            m_state.put(uid, {card.href, card.etag, card.hash});
            if (mine == local.cend()) {
                const QString into = mergedInto(uid);
                if (local.contains(into) && !removed.contains(into)) {
                    mergedAway.append({uid, into});
                    continue;
                }
                // New on the server, or edited there while deleted here: the edit is kept.
                m_book.insert(card.contact);
                ++m_summary.received;
                continue;
            }
            // The same contact on both sides, or only the ETag is new (a card the server gave
            // none for when it took it): an edit here is sent with the new ETag.
            if (mine->hash == card.hash || (record != records.cend() && record->hash == card.hash))
                continue;
            const bool changedHere = record == records.cend() || record->hash != mine->hash;
            if (changedHere) {
                Contact copy = m_book.read(mine->id);
                const QString copyUid = engine::book::newUid();
                copy.fields[QStringLiteral("uid")] = copyUid;
                const QString mark = conflictRemark.arg(engine::book::revisionNow());
                const QString remarks = copy.value(QStringLiteral("remarks"));
                copy.fields[QStringLiteral("remarks")] =
                    remarks.isEmpty() ? mark : remarks + QLatin1Char('\n') + mark;
                const qint64 id = m_book.insert(copy);
                copies.append({copyUid, hrefFor(m_addressBook, copyUid), QString(), id});
                ++m_summary.conflicts;
                m_summary.notes.append(
                    QStringLiteral("\"%1\" was changed in the book and on the server: the "
                                   "book's version is kept as a conflict copy.")
                        .arg(nameOf(card.contact)));
            }
            m_book.replace(mine->id, card.contact);
            m_taken.insert(uid);
            ++m_summary.received;
        }
        // After the loop: the merged contact may have taken the server's version above.
        QSet<QString> resent;
        for (const auto& [uid, into] : std::as_const(mergedAway)) {
            const qint64 id = local.value(into).id;
            if (keepInMerged(incoming.value(uid).contact, uid, id) && !resent.contains(into)) {
                resent.insert(into);
                copies.append(uploadOf(into, id, records, incoming));
            }
        }
        for (const QString& uid : removed) {
            if (incoming.contains(uid))
                continue;
            const auto mine = local.constFind(uid);
            m_state.forget(uid);
            if (mine == local.cend() || mine->hash != records.value(uid).hash)
                continue; // gone here too, or edited here: the edit is sent as a new card
            const Contact contact = m_book.read(mine->id);
            m_book.remove(mine->id);
            m_deletedHere.insert(uid);
            ++m_summary.deleted;
            ++m_summary.removedHere;
            m_summary.notes.append(
                QStringLiteral("\"%1\" was deleted on the server and moved to Deleted contacts.")
                    .arg(nameOf(contact)));
        }
        transaction.commit();
        return copies;
    }

    QString mergedInto(const QString& uid) {
        return m_mergesRemembered ? engine::book::mergedUidOf(m_book.db(), uid) : QString();
    }

    // A card of a contact merged here into another, edited on the server before the merge
    // reached it (or sent back by a device that still had it), is that other contact now: the
    // person stays one contact, the card's values the merged contact lacks go to its remarks as
    // the merge writes them, and the card is deleted on the server (with its new ETag) so it
    // does not come back. A photo the merged contact lacks is taken; another photo cannot go
    // into remarks, so the card's version goes to Deleted contacts. True when the merged contact
    // changed.
    bool keepInMerged(const Contact& card, const QString& uid, qint64 id) {
        Contact merged = m_book.read(id);
        const bool photoTaken = merged.photo.isEmpty() && !card.photo.isEmpty();
        if (photoTaken)
            merged.photo = card.photo;
        else if (!card.photo.isEmpty() && card.photo != merged.photo)
            trashCopy(card, merged.value(QStringLiteral("uid")));
        const QString remarks = merged.value(QStringLiteral("remarks"));
        const QStringList said = remarks.split(QLatin1Char('\n'));
        QStringList lines;
        const QString cardRemarks = card.value(QStringLiteral("remarks")).trimmed();
        if (!cardRemarks.isEmpty() && !remarks.contains(cardRemarks))
            lines.append(cardRemarks);
        for (const QString& line :
             tidy::valuesNotHeld(merged.fields, merged.photo, card.fields, card.photo)) {
            if (!said.contains(line))
                lines.append(line);
        }
        m_mergedAway.insert(uid);
        ++m_summary.received;
        const QString note =
            QStringLiteral("\"%1\" was changed on the server after it was merged into \"%2\": %3")
                .arg(nameOf(card), nameOf(merged));
        if (lines.isEmpty()) {
            m_summary.notes.append(
                note.arg(photoTaken ? QStringLiteral("its photo is taken.")
                                    : QStringLiteral("it holds nothing that contact lacks.")));
            if (photoTaken)
                m_book.replace(id, merged);
            return photoTaken;
        }
        lines.prepend(QStringLiteral("Changed on the server after the merge: %1 (UID %2)")
                          .arg(nameOf(card), uid));
        const QString block = lines.join(QLatin1Char('\n'));
        merged.fields[QStringLiteral("remarks")] =
            remarks.isEmpty() ? block : remarks + QLatin1Char('\n') + block;
        m_book.replace(id, merged);
        m_summary.notes.append(
            note.arg(QStringLiteral("what it holds that contact lacks is added to its remarks.")));
        return true;
    }

    // The server's version of a card, under a UID of its own so that restoring it never gives
    // the book two contacts with one UID.
    void trashCopy(Contact card, const QString& mergedInto) {
        card.fields[QStringLiteral("uid")] = engine::book::newUid();
        tidy::moveToTrash(m_book.db(), {m_book.insert(card)}, tidy::TrashReason::Merged,
                          mergedInto);
    }

    // The contact `uid` sent as the server last agreed on it: what this sync received, else its
    // record, else a new card.
    Upload uploadOf(const QString& uid, qint64 id, const QHash<QString, SyncRecord>& records,
                    const QHash<QString, Incoming>& incoming) const {
        if (const auto card = incoming.constFind(uid); card != incoming.cend())
            return {uid, card->href, card->etag, id};
        if (const auto record = records.constFind(uid); record != records.cend())
            return {uid, record->href, record->etag, id};
        return {uid, hrefFor(m_addressBook, uid), QString(), id};
    }

    // A card that changed on the server since its ETag (or one this book holds no ETag for) is
    // fetched again by the next sync: it lists the whole address book.
    void preconditionFailed(const SyncError& error) {
        if (error.kind() != SyncError::Kind::Precondition)
            throw error;
        m_state.setToken(QString());
    }

    // What the server confirmed is written to the book a batch at a time, in short transactions
    // that never hold the book while the server is asked. A cut loses at most the records of
    // one batch; the next sync knows those cards again from its listing, or from the 412 a
    // new card's PUT then meets (see sendNew).
    void confirmed(const QString& uid, const std::optional<SyncRecord>& record) {
        m_confirmed.append({uid, record});
        if (m_confirmed.size() >= recordBatch)
            recordConfirmed();
    }
    void recordConfirmed() {
        if (m_confirmed.isEmpty())
            return;
        engine::Transaction transaction(m_book.db());
        for (const auto& [uid, record] : std::as_const(m_confirmed)) {
            if (record)
                m_state.put(uid, *record);
            else
                m_state.forget(uid);
        }
        transaction.commit();
        m_confirmed.clear();
    }

    void send(const QVector<Upload>& uploads,
              const QVector<std::pair<QString, SyncRecord>>& deletions) {
        try {
            sendEach(uploads, deletions);
        } catch (...) {
            recordConfirmed(); // what the server took before the cut
            throw;
        }
        recordConfirmed();
    }

    void sendEach(const QVector<Upload>& uploads,
                  const QVector<std::pair<QString, SyncRecord>>& deletions) {
        const qint64 total = uploads.size() + deletions.size();
        qint64 done = 0;
        for (const Upload& upload : uploads) {
            checkProgress(m_progress, done++, total);
            const Contact contact = m_book.read(upload.id);
            // Read from the book, the contact is as the book holds it: its card is also what
            // its hash is taken of.
            const QByteArray card = cardOf(contact);
            try {
                if (upload.ifMatch.isEmpty()) {
                    m_summary.sent += sendNew(upload, card, hashOfCard(card)) ? 1 : 0;
                } else {
                    const QString etag = m_client.put(upload.href, card, upload.ifMatch);
                    confirmed(upload.uid, SyncRecord{upload.href, etag, hashOfCard(card)});
                    ++m_summary.sent;
                }
            } catch (const SyncError& error) {
                preconditionFailed(error);
                m_summary.notes.append(
                    QStringLiteral("\"%1\" changed on the server during the sync; it is synced "
                                   "the next time.")
                        .arg(nameOf(contact)));
            }
        }
        for (const auto& [uid, record] : deletions) {
            checkProgress(m_progress, done++, total);
            try {
                m_client.remove(record.href, record.etag);
                confirmed(uid, std::nullopt);
                ++m_summary.deleted;
            } catch (const SyncError& error) {
                preconditionFailed(error);
                m_summary.notes.append(
                    QStringLiteral("The card \"%1\" changed on the server during the sync; it "
                                   "comes back the next time.")
                        .arg(record.href));
            }
        }
    }

    // A new card's name can be taken on the server (412): by this very contact, sent by a sync
    // cut before it recorded it, which is adopted; or by another card (another program named
    // its card the same), and the contact goes under the next name. This contact there in
    // another version is left to the next sync, which lists it and keeps both versions. False
    // when the card was adopted, not sent.
    bool sendNew(const Upload& upload, const QByteArray& card, const QString& hash) {
        for (int next = 0; next < maxNames; ++next) {
            const QString href = next == 0 ? upload.href : hrefFor(m_addressBook, upload.uid, next);
            try {
                confirmed(upload.uid, SyncRecord{href, m_client.put(href, card, {}), hash});
                return true;
            } catch (const SyncError& error) {
                if (error.kind() != SyncError::Kind::Precondition)
                    throw;
            }
            const QVector<RemoteCard> there = m_client.fetch({href});
            if (there.isEmpty())
                break; // gone again: the next sync sends it
            QString problem;
            const std::optional<Incoming> held = read(there.first(), {}, &problem);
            if (!held || held->contact.value(QStringLiteral("uid")) != upload.uid)
                continue; // another card, or one the book cannot read, holds the name
            if (held->hash == hash) {
                confirmed(upload.uid, SyncRecord{href, held->etag, hash});
                return false;
            }
            break;
        }
        throw SyncError(SyncError::Kind::Precondition,
                        QStringLiteral("The card %1 is taken on the server.").arg(upload.href));
    }

    Book m_book;
    CardDavClient& m_client;
    const SyncProgress& m_progress;
    SyncState m_state;
    SyncSummary m_summary;
    QVector<std::pair<QString, std::optional<SyncRecord>>> m_confirmed; // not yet recorded
    QSet<QString> m_deletedHere;
    QSet<QString> m_taken;      // contacts of the book that took the server's version
    QSet<QString> m_mergedAway; // cards kept in the contact they were merged into, deleted there
    bool m_mergesRemembered = false;
    QUrl m_addressBook;
    QString m_token; // the one this sync started from
};

} // namespace

SyncSummary synchronize(const QString& bookPath, CardDavClient& client,
                        const SyncProgress& progress) {
    return Sync(bookPath, client, progress).run();
}

} // namespace quillory::sync
