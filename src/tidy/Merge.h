#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quillory::engine {
class Database;
}

namespace quillory::tidy {

// Merging contacts that are one person into one: for each field of the card the user keeps one
// contact's value, and every value not kept goes into the merged contact's remarks with its
// caption, so nothing is lost. Nothing here shows a window.

struct MergeContact {
    qint64 id = 0;
    QString uid;
    QString name; // last name, first name, as the trash names it
    QString rev;  // the contact's revision when the plan was read
};

// One field of the card with every contact's value (as stored; empty when it has none) and the
// contact whose value is kept.
struct MergeField {
    QString field;   // the book's column
    QString caption; // "Phone (other)"
    QStringList values;
    int chosen = 0;
};

struct MergePlan {
    QVector<MergeContact> contacts; // the first is kept: it keeps its row and its UID
    QVector<MergeField> fields;
    QVector<QByteArray> photos; // one per contact, empty when it has none
    int chosenPhoto = 0;
    QStringList remarks; // each contact's remarks; all of them are kept
};

// Reads the contacts `ids` (two or more, the first to be kept) in that order and pre-chooses
// for each field the fuller value: the longest after trimming, the earlier contact on a tie.
// Throws PlatformError when a contact is not in the book.
MergePlan planMerge(engine::Database& db, const QVector<qint64>& ids);

// What the merged contact's remarks will say: its own remarks and the others', then for the
// kept contact and for each other one, the values not kept with their captions.
QString mergedRemarks(const MergePlan& plan);

// The lines a contact merged into `kept` adds to its remarks: each of `other`'s values that
// `kept` does not hold, with its caption ("Phone (other): 555-0101"), numbers compared by their
// digits, and its photo when it differs (said to stay with that contact in Deleted contacts).
// The fields are keyed by the book's columns; the remarks are left out.
QStringList valuesNotHeld(const QHash<QString, QString>& kept, const QByteArray& keptPhoto,
                          const QHash<QString, QString>& other, const QByteArray& otherPhoto);

// Merges in one transaction: the kept contact takes the chosen values and the remarks above,
// the others go to the trash (merged into the kept UID) and their UIDs are remembered. A
// contact changed or removed since the plan was read refuses the merge (PlatformError), and
// the book is left as it was. Returns the kept contact's row id.
qint64 applyMerge(engine::Database& db, const MergePlan& plan);

} // namespace quillory::tidy
