#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace quillory::engine {

// One open database file. Every connection is opened with the engine's defensive settings and
// the program's dialect functions (a letter-case-blind Like with *, ?, # and [...] wildcards).
// Failures throw PlatformError with the engine's error number.
class Database {
public:
    enum class Mode { ReadWrite, ReadOnly };

    // Opens an existing database file and checks that it can be read. A missing file is 3024,
    // a file that is not a database 3049, one that cannot be opened for lack of permission
    // or a lock 3051.
    static std::unique_ptr<Database> open(const QString& path, Mode mode = Mode::ReadWrite);

    // Creates a new, empty database file at `path` (3204 when a file of that name exists). The
    // file appears on the disk with the first write.
    static std::unique_ptr<Database> createNew(const QString& path);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    // Runs one or more statements that return no rows.
    void exec(const QString& sql);

    // Runs a query and returns the first column of the first row (invalid when none).
    QVariant scalar(const QString& sql, const QVariantList& params = {});

    // True when the file carries the program's book marks and table PhoneBK.
    bool isBook();

private:
    Database(sqlite3* db, QString path);
    sqlite3* m_db;
    QString m_path;
};

// A prepared statement that finalizes itself. Values are bound, never pasted into SQL. It is
// exactly one statement: text after it (a second statement) is refused with 3077.
class Statement {
public:
    // ReadOnly prepares under an authorizer that lets the statement read and call functions
    // only; anything else (a write, a pragma, an attach) is refused with 3077.
    enum class Access { Any, ReadOnly };

    Statement(const Database& db, const QString& sql, Access access = Access::Any);
    Statement(sqlite3* db, const QString& sql, Access access = Access::Any);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based
    void bindAll(const QVariantList& values);
    bool step();  // true while a row is available; a failure throws and resets the statement
    void reset(); // ready to run again; bindings are kept
    int columnCount() const;
    QString columnName(int column) const;
    QVariant column(int column) const;
    qint64 columnInt64(int column) const;
    sqlite3_stmt* handle() const { return m_stmt; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// One step that stands or falls whole: a savepoint, rolled back unless released. Inside the
// caller's transaction it is part of it; outside one it is a transaction of its own.
class Savepoint {
public:
    // `name` is a plain SQL name, fixed by the caller.
    Savepoint(Database& db, const char* name);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    void release();

private:
    Database& m_db;
    QString m_name;
    bool m_open = true;
};

// The columns of a table as its file declares them.
struct TableColumns {
    QStringList names;
    QStringList types;  // declared types, as written
    QString rowidAlias; // the INTEGER PRIMARY KEY column (the row id itself), or empty
};
// Empty names when the file has no such table.
TableColumns tableColumns(Database& db, const QString& table);

// "?, ?, ?": `count` parameter marks for a statement whose values are bound.
QString placeholders(int count);

// The program's book: table PhoneBK with the contact fields, marked as ours.
namespace book {
// PRAGMA application_id of every book and stand-by database the program creates ("Quly").
constexpr std::int32_t applicationId = 0x51756C79;
// PRAGMA user_version: the version of the table layout below (2 added the kept fields).
constexpr int schemaVersion = 2;
// "PhoneBK".
QString tableName();
// The contact fields in the table's column order (the hidden id comes first in the table).
const QStringList& fieldNames();
// The columns the program keeps for itself after the contact fields, shown nowhere (not on the
// card, the grid or the search dialog, not in reports or the CSV's field choices): "uid" (the
// contact's lasting identity, as vCards carry it), "rev" (when the program last wrote the
// contact, UTC, ISO 8601) and "birthdate" (the birthday with its century, yyyy-mm-dd, when a
// file gave one; it counts only while the card's Birthday still says that day). A book made
// before them is usable without them; addKeptFields adds them when it is opened for writing.
const QStringList& keptFields();
// Creates a new, empty book (or stand-by database) at `path`; the file must not exist.
void create(const QString& path);
// Adds the kept fields a book of an older layout lacks (no row is rewritten, so it is instant
// at any size) and records the layout's version. Writes nothing when the book has them.
void addKeptFields(Database& db);
// A new contact's UID: "urn:uuid:" and a random UUID, the form other programs expect.
QString newUid();
// The time of a write as "rev" holds it ("2026-04-12T10:00:00Z").
QString revisionNow();
// Makes the index of "uid" when the book has none yet: the first UID look-up of a large book
// waits for it once, and no start-up ever does.
void indexUids(Database& db);
// Gives every contact without a UID one, in one UPDATE, after indexUids.
void giveMissingUids(Database& db);
// The table in which merges remember the UIDs they took away ("MergedUid": old_uid, into_uid),
// made by the first merge; the import and the sync read it by that name.
QString mergedUidTable();
// Whether the book holds a table of that name (letter case aside): the tables made when first
// needed (the trash, the merges) are read only once they exist.
bool hasTable(Database& db, const QString& table);
// The UID a merged-away UID now lives on, following merges of merges; empty when it was never
// merged away (or the book never merged). One indexed row per step.
QString mergedUidOf(Database& db, const QString& uid);

// Whether an open database can serve as the program's book and, when not, what is wrong.
struct Shape {
    enum class Verdict {
        // Our marks; table PhoneBK with every contact field; nothing in the schema that runs
        // on its own or stands in for a table (no trigger, no view).
        Usable,
        // Ours, but PhoneBK is a view or lacks fields, or a trigger or view stands beside it:
        // mendShape makes it usable and keeps every contact.
        Mendable,
        // No book of ours (no marks, or no PhoneBK at all): nothing here can be mended.
        Foreign,
    };
    Verdict verdict = Verdict::Usable;
    // What is wrong, to follow "cannot be used: " ("its table PhoneBK lacks the fields city,
    // zip"); empty when usable.
    QString problem;
};
// Reads only the marks and the table list. Failures to read them throw PlatformError.
Shape checkShape(Database& db);
// Makes a Mendable book usable: a PhoneBK view becomes a table of the rows it shows, missing
// fields are added (empty), triggers and views are dropped, and the book's indexes are made
// where missing. Runs as one savepoint, so it also works inside a transaction.
void mendShape(Database& db);
} // namespace book

// True while a DataSource holds the file open (compared by the file's canonical path).
bool isHeldOpen(const QString& path);

// How far a long copy has come: `done` of `total`, in units of its own. Answering false stops
// the copy, which then throws CopyCancelled with the destination gone.
using CopyProgress = std::function<bool(qint64 done, qint64 total)>;

// A copy stopped because its progress answered false.
class CopyCancelled final : public std::runtime_error {
public:
    CopyCancelled() : std::runtime_error("The copy was cancelled.") {}
};

// Writes a compacted copy of `source` to `destination`. Fails when the source is missing
// (3024), is held open by a data source (3051), or when the destination exists (3204).
// `progress`, when given, is told how much of the copy is written as it goes.
void CompactDatabase(const QString& source, const QString& destination,
                     const CopyProgress& progress = {});

// Writes a copy of `source` to `destination` for a back-up, the fastest way that still gives a
// compact file: page for page when little of the source is free pages, else compacted as by
// CompactDatabase. The copy is durable when it returns. `whileHeld`, when given, runs after
// the copy while no writer can change the source, so it sees the source exactly as copied. Fails
// as CompactDatabase does, and reports and stops through `progress` as it does; the destination
// is then gone.
void BackUpDatabase(const QString& source, const QString& destination,
                    const std::function<void()>& whileHeld = {}, const CopyProgress& progress = {});

// The most rows any b-tree of `table` (the table itself, each of its indexes) can be counted
// to hold; nothing when none can be counted. On a damaged file an index may still count rows
// whose pages are lost.
std::optional<qint64> countableRows(Database& db, const QString& table);

struct RepairOptions {
    // Where the file as it was is kept when it is rewritten: a second name of it, else a copy.
    // The name must not be taken. Empty: not kept. When it cannot be kept, nothing is swapped.
    QString keepOriginalAs;
    // A sound file that `needsMending` finds wanting is rewritten too; `mend` runs on every
    // rewritten copy before it is checked.
    std::function<bool(Database&)> needsMending;
    std::function<void(Database&)> mend;
};

// Checks the file; when it is damaged (or wants mending), rebuilds it from every row that can
// still be read and swaps the rebuilt file in. A healthy file is left as it is, byte for byte.
// True when the file was rewritten. A missing file is 3024, one held open by a data source
// 3051, a file that is not a database (or whose table list cannot be read) 3049.
bool RepairDatabase(const QString& path, const RepairOptions& options = {});

} // namespace quillory::engine
