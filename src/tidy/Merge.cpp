#include "tidy/Merge.h"

#include "core/ContactRecord.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "tidy/Trash.h"

#include <QLocale>
#include <QSet>
#include <QVariant>
#include <sqlite3.h>

namespace quillory::tidy {

namespace {

// The fields the user chooses between, in the card's order, with the captions their values
// carry into the remarks. The remarks are joined instead, the display name follows the names.
const QVector<std::pair<QString, QString>>& chosenFields() {
    static const QVector<std::pair<QString, QString>> fields = {
        {QStringLiteral("name"), QStringLiteral("Last name")},
        {QStringLiteral("namef"), QStringLiteral("First name")},
        {QStringLiteral("address1"), QStringLiteral("Address1")},
        {QStringLiteral("address2"), QStringLiteral("Address2")},
        {QStringLiteral("city"), QStringLiteral("City")},
        {QStringLiteral("state"), QStringLiteral("State")},
        {QStringLiteral("zip"), QStringLiteral("Zip code")},
        {QStringLiteral("phone"), QStringLiteral("Phone (home)")},
        {QStringLiteral("phone2"), QStringLiteral("Phone (work)")},
        {QStringLiteral("pager"), QStringLiteral("Pager")},
        {QStringLiteral("phone3"), QStringLiteral("Phone (other)")},
        {QStringLiteral("fax"), QStringLiteral("Fax (home)")},
        {QStringLiteral("fax2"), QStringLiteral("Fax (work)")},
        {QStringLiteral("Birthday"), QStringLiteral("Birthday")},
        {QStringLiteral("email"), QStringLiteral("E-mail")},
        {QStringLiteral("extra6"), QStringLiteral("Web page")},
        {QStringLiteral("extra4"), QStringLiteral("Contact type")},
        {QStringLiteral("extra7"), QStringLiteral("Label print mark")},
        {QStringLiteral("extra1"), QStringLiteral("Extra 1")},
        {QStringLiteral("extra2"), QStringLiteral("Extra 2")},
        {QStringLiteral("extra3"), QStringLiteral("Extra 3")},
        {QStringLiteral("extra5"), QStringLiteral("Extra 5")},
    };
    return fields;
}

QString nameOf(const QString& last, const QString& first) {
    QStringList parts;
    for (const QString& part : {last.trimmed(), first.trimmed()}) {
        if (!part.isEmpty())
            parts.append(part);
    }
    return parts.join(QStringLiteral(", "));
}

// The index of the fullest value: the longest after trimming, the earliest on a tie.
int fullest(const QStringList& values) {
    int best = 0;
    for (int i = 1; i < values.size(); ++i) {
        if (values[i].trimmed().size() > values[best].trimmed().size())
            best = i;
    }
    return best;
}

int fullestPhoto(const QVector<QByteArray>& photos) {
    int best = 0;
    for (int i = 1; i < photos.size(); ++i) {
        if (photos[i].size() > photos[best].size())
            best = i;
    }
    return best;
}

QString photoText(const QByteArray& photo) {
    const char* kind = photo.startsWith("\xFF\xD8")      ? "a JPEG picture"
                       : photo.startsWith("\x89PNG\r\n") ? "a PNG picture"
                                                         : "a picture";
    return QStringLiteral("%1 of %2, not kept")
        .arg(QLatin1String(kind), QLocale::c().formattedDataSize(photo.size()));
}

// The kept contact's own photo gives way to another: a photo cannot be written into remarks,
// so the contact as it was goes to the trash as a copy of its own.
bool keptPhotoReplaced(const MergePlan& plan) {
    return !plan.photos.value(0).isEmpty() && plan.photos[0] != plan.photos[plan.chosenPhoto];
}

// What a value is compared by: a number by its digits ("555-0100" is "(555) 0100"), any other
// value by its text.
QString sameness(const QString& field, const QString& value) {
    static const QStringList numbers = {QStringLiteral("phone"),  QStringLiteral("phone2"),
                                        QStringLiteral("phone3"), QStringLiteral("pager"),
                                        QStringLiteral("fax"),    QStringLiteral("fax2")};
    if (!numbers.contains(field))
        return value;
    QString digits;
    for (const QChar c : value) {
        if (c.isDigit())
            digits.append(c);
    }
    return digits.isEmpty() ? value : digits;
}

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// The lines of contact `index` whose values the merged contact does not keep; `listed` holds
// the values already said per field, so equal values are said once.
QStringList notKept(const MergePlan& plan, int index, QHash<QString, QSet<QString>>& listed) {
    QStringList lines;
    for (const MergeField& field : plan.fields) {
        const QString value = field.values.value(index).trimmed();
        const QString key = sameness(field.field, value);
        if (value.isEmpty() ||
            key == sameness(field.field, field.values.value(field.chosen).trimmed()))
            continue;
        QSet<QString>& said = listed[field.field];
        if (said.contains(key))
            continue;
        said.insert(key);
        lines.append(field.caption + QStringLiteral(": ") + value);
    }
    const QByteArray& photo = plan.photos.value(index);
    if (!photo.isEmpty() && index != plan.chosenPhoto && photo != plan.photos[plan.chosenPhoto])
        lines.append(QStringLiteral("Photo: ") + photoText(photo) +
                     (index == 0 ? QStringLiteral("; this contact as it was, with its photo, is "
                                                  "in Deleted contacts")
                                 : QStringLiteral("; it stays with that contact in Deleted "
                                                  "contacts")));
    return lines;
}

// The book held for the merge; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(engine::Database& db) : m_db(db) {
        m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~Transaction() {
        if (m_open) {
            try {
                m_db.exec(QStringLiteral("ROLLBACK"));
            } catch (const PlatformError&) {
                // The engine rolled back on its own (a failed COMMIT does so).
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        m_db.exec(QStringLiteral("COMMIT"));
        m_open = false;
    }

private:
    engine::Database& m_db;
    bool m_open = true;
};

void refuseChanged(engine::Database& db, const MergePlan& plan) {
    engine::Statement current(db, QStringLiteral("SELECT coalesce(rev, '') FROM PhoneBK WHERE "
                                                 "id = ?"));
    for (const MergeContact& contact : plan.contacts) {
        current.reset();
        current.bind(1, contact.id);
        if (!current.step() || current.column(0).toString() != contact.rev)
            throw PlatformError(
                ErrorNumber::EngineWriteFailed,
                QStringLiteral("%1 was changed or deleted since the merge was "
                               "prepared; nothing was merged.")
                    .arg(contact.name.isEmpty() ? QStringLiteral("A contact") : contact.name));
    }
}

// A copy of the contact `id` under a UID of its own, so that restoring it never gives the book
// two contacts with one UID. Returns the copy's row id.
qint64 copyAsItWas(engine::Database& db, qint64 id) {
    QStringList columns = engine::book::fieldNames() + engine::book::keptFields();
    columns.removeAll(QStringLiteral("uid"));
    const QString list = columns.join(QStringLiteral(", "));
    engine::Statement copy(db, QStringLiteral("INSERT INTO PhoneBK (%1, uid) SELECT %1, ? FROM "
                                              "PhoneBK WHERE id = ?")
                                   .arg(list));
    copy.bindAll({engine::book::newUid(), id});
    copy.step();
    return sqlite3_last_insert_rowid(db.handle());
}

} // namespace

MergePlan planMerge(engine::Database& db, const QVector<qint64>& ids) {
    MergePlan plan;
    QStringList columns;
    for (const auto& [field, caption] : chosenFields())
        columns.append(field);
    const bool hasKept = engine::tableColumns(db, QStringLiteral("PhoneBK"))
                             .names.contains(QStringLiteral("uid"), Qt::CaseInsensitive);
    columns << QStringLiteral("remarks") << QStringLiteral("bitmap")
            << (hasKept ? QStringLiteral("uid") : QStringLiteral("NULL"))
            << (hasKept ? QStringLiteral("rev") : QStringLiteral("NULL"));
    engine::Statement read(db, QStringLiteral("SELECT %1 FROM PhoneBK WHERE id = ?")
                                   .arg(columns.join(QStringLiteral(", "))));
    for (const auto& [field, caption] : chosenFields())
        plan.fields.append({field, caption, {}, 0});
    const int extra = int(chosenFields().size());
    QSet<qint64> seen;
    for (const qint64 id : ids) {
        // A contact named twice is one contact: merged into itself it would go to the trash.
        if (seen.contains(id))
            continue;
        seen.insert(id);
        read.reset();
        read.bind(1, id);
        if (!read.step())
            throw PlatformError(ErrorNumber::EngineNoCurrentRecord,
                                QStringLiteral("The contact to merge is no longer in the book."));
        for (int f = 0; f < extra; ++f)
            plan.fields[f].values.append(read.column(f).toString());
        plan.remarks.append(read.column(extra).toString());
        plan.photos.append(read.column(extra + 1).toByteArray());
        plan.contacts.append({id, read.column(extra + 2).toString(),
                              nameOf(plan.fields[0].values.last(), plan.fields[1].values.last()),
                              read.column(extra + 3).toString()});
    }
    for (MergeField& field : plan.fields)
        field.chosen = fullest(field.values);
    plan.chosenPhoto = fullestPhoto(plan.photos);
    return plan;
}

QString mergedRemarks(const MergePlan& plan) {
    QStringList parts;
    QSet<QString> remarks;
    for (const QString& remark : plan.remarks) {
        const QString text = remark.trimmed();
        if (!text.isEmpty() && !remarks.contains(text)) {
            remarks.insert(text);
            parts.append(remark);
        }
    }
    QHash<QString, QSet<QString>> listed;
    const QStringList replaced = notKept(plan, 0, listed);
    if (!replaced.isEmpty())
        parts.append(QStringLiteral("Before the merge this contact had:\n") +
                     replaced.join(QLatin1Char('\n')));
    for (int i = 1; i < plan.contacts.size(); ++i) {
        const MergeContact& contact = plan.contacts[i];
        QStringList lines{
            QStringLiteral("Merged from: %1 (UID %2)")
                .arg(contact.name, contact.uid.isEmpty() ? QStringLiteral("none") : contact.uid)};
        lines += notKept(plan, i, listed);
        parts.append(lines.join(QLatin1Char('\n')));
    }
    return parts.join(QLatin1Char('\n'));
}

QStringList valuesNotHeld(const QHash<QString, QString>& kept, const QByteArray& keptPhoto,
                          const QHash<QString, QString>& other, const QByteArray& otherPhoto) {
    MergePlan plan;
    plan.photos = {keptPhoto, otherPhoto};
    for (const auto& [field, caption] : chosenFields())
        plan.fields.append({field, caption, {kept.value(field), other.value(field)}, 0});
    QHash<QString, QSet<QString>> listed;
    return notKept(plan, 1, listed);
}

qint64 applyMerge(engine::Database& db, const MergePlan& plan) {
    if (plan.contacts.size() < 2)
        return plan.contacts.isEmpty() ? 0 : plan.contacts[0].id;
    Transaction transaction(db);
    engine::book::addKeptFields(db);
    refuseChanged(db, plan);

    const MergeContact& kept = plan.contacts[0];
    const QString uid = kept.uid.isEmpty() ? engine::book::newUid() : kept.uid;
    QStringList sets;
    QVariantList values;
    QString last, first;
    int birthdaySource = 0;
    for (const MergeField& field : plan.fields) {
        const QString value = field.values.value(field.chosen);
        sets.append(field.field + QStringLiteral(" = ?"));
        values.append(textOrNull(value));
        if (field.field == QLatin1String("name"))
            last = value;
        else if (field.field == QLatin1String("namef"))
            first = value;
        else if (field.field == QLatin1String("Birthday"))
            birthdaySource = field.chosen;
    }
    // The birthday's century goes with the birthday chosen.
    const QVariant birthdate =
        db.scalar(QStringLiteral("SELECT birthdate FROM PhoneBK WHERE id = ?"),
                  {plan.contacts[birthdaySource].id});
    sets << QStringLiteral("extra8 = ?") << QStringLiteral("remarks = ?")
         << QStringLiteral("bitmap = ?") << QStringLiteral("birthdate = ?")
         << QStringLiteral("uid = ?") << QStringLiteral("rev = ?");
    QVector<qint64> trashed;
    if (keptPhotoReplaced(plan))
        trashed.append(copyAsItWas(db, kept.id));
    const QByteArray& photo = plan.photos.value(plan.chosenPhoto);
    values << contact::displayName(first, last) << textOrNull(mergedRemarks(plan))
           << (photo.isEmpty() ? QVariant() : QVariant(photo)) << birthdate << uid
           << engine::book::revisionNow();
    engine::Statement update(
        db,
        QStringLiteral("UPDATE PhoneBK SET %1 WHERE id = ?").arg(sets.join(QStringLiteral(", "))));
    values.append(kept.id);
    update.bindAll(values);
    update.step();

    for (int i = 1; i < plan.contacts.size(); ++i)
        trashed.append(plan.contacts[i].id);
    moveToTrash(db, trashed, TrashReason::Merged, uid);
    for (int i = 1; i < plan.contacts.size(); ++i) {
        const QString& old = plan.contacts[i].uid;
        if (!old.isEmpty() && old != uid)
            rememberMergedUid(db, old, uid);
    }
    transaction.commit();
    return kept.id;
}

} // namespace quillory::tidy
