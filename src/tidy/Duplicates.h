#pragma once

#include <functional>
#include <QString>
#include <QVector>

namespace quillory::engine {
class Database;
}

namespace quillory::tidy {

// Groups of contacts that are probably one person. Nothing here merges or shows a window.

enum class DuplicateReason {
    NameAndPhone,          // "same name and phone"
    Email,                 // "same e-mail"
    SimilarNameAndAddress, // "similar name and same address"
    NameOnly,              // "same name only": strangers who share a name, never pre-selected
};
QString reasonText(DuplicateReason reason);

struct DuplicateGroup {
    DuplicateReason reason = DuplicateReason::NameOnly;
    QVector<qint64> ids; // row ids in the book, lowest first
};

// Reads the book once (only the columns compared) and groups by normalised keys (names without
// letter case, accents or word order; phones by their last digits; e-mail without letter case),
// never comparing all pairs. Groups of a real reason come first, "same name only" last.
// `progress(done, total)` may return false to cancel (then an empty list is returned).
QVector<DuplicateGroup>
findDuplicates(engine::Database& db,
               const std::function<bool(qint64 done, qint64 total)>& progress = {});

// What the list of duplicates shows of a contact.
struct DuplicateContact {
    qint64 id = 0;
    QString name;  // "last name, first name"; the display name when both are empty
    QString phone; // its phone and fax numbers, separated by commas
    QString email;
    QString address; // street, zip and city
};
// Reads one row per id, in the order given; an id the book no longer has is left out.
QVector<DuplicateContact> describeContacts(engine::Database& db, const QVector<qint64>& ids);

} // namespace quillory::tidy
