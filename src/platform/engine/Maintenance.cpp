#include "platform/engine/Database.h"
#include "platform/engine/Dialect.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/OpenFiles.h"
#include "platform/files/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::engine {

namespace {

QString journalOf(const QString& path) {
    return path + QStringLiteral("-journal");
}

// A database file nobody may trust, and the journal that would otherwise be rolled into it.
void removeWithJournal(const QString& path) {
    QFile::remove(path);
    QFile::remove(journalOf(path));
}

void requireFile(const QString& path) {
    checkFileName(path);
    if (!QFileInfo::exists(path))
        throw PlatformError(ErrorNumber::EngineFileNotFound,
                            QStringLiteral("The file \"%1\" could not be found.").arg(path));
}

void requireNotHeld(const QString& path) {
    if (isHeldOpen(path))
        throw PlatformError(
            ErrorNumber::EngineLocked,
            QStringLiteral("The file \"%1\" is in use: a data source holds it open.").arg(path));
}

void makeDurable(const QString& path) {
    files::syncFile(path);
    files::syncFolder(QFileInfo(path).absolutePath());
}

// "ok" from PRAGMA integrity_check. Damage the check runs into while reading counts as damage;
// a lock or an I/O failure is passed to the caller.
bool isHealthy(Database& db) {
    try {
        Statement check(db, QStringLiteral("PRAGMA integrity_check"));
        QStringList findings;
        while (check.step())
            findings.append(check.column(0).toString());
        return findings == QStringList{QStringLiteral("ok")};
    } catch (const PlatformError& error) {
        if (error.number() == ErrorNumber::EngineNotReadable)
            return false;
        throw;
    }
}

struct SchemaEntry {
    QString type;
    QString name;
    QString sql;
};

QVector<SchemaEntry> readSchema(Database& db) {
    // Tables first, so that indexes, views and triggers find them; sqlite_ tables are the
    // engine's own and come back by themselves.
    Statement list(
        db, QStringLiteral("SELECT type, name, sql FROM sqlite_master "
                           "WHERE sql IS NOT NULL AND substr(name, 1, 7) <> 'sqlite_' "
                           "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 ELSE 2 END, "
                           "rowid"));
    QVector<SchemaEntry> entries;
    while (list.step())
        entries.append(
            {list.column(0).toString(), list.column(1).toString(), list.column(2).toString()});
    return entries;
}

// The table list of a damaged file is text read from that file: one CREATE statement of it
// runs, never whatever a crafted file might put after it.
void runSchemaStatement(Database& db, const QString& sql) {
    if (!sql.trimmed().startsWith(QLatin1String("CREATE"), Qt::CaseInsensitive))
        throw PlatformError(ErrorNumber::EngineSyntax,
                            QStringLiteral("The table list holds something other than a CREATE."));
    Statement create(db, sql);
    create.step();
}

// Copies every row of one table that can still be read from a damaged file into the fresh
// one. Values are copied as SQLite holds them, type for type.
class TableSalvage {
public:
    TableSalvage(Database& from, Database& to, const QString& table, bool withoutRowid)
        : m_withoutRowid(withoutRowid) {
        const TableColumns declared = tableColumns(from, table);
        QStringList columns;
        for (const QString& name : declared.names) {
            // The INTEGER PRIMARY KEY is the rowid itself, copied as such.
            if (!withoutRowid && name == declared.rowidAlias)
                continue;
            columns.append(dialect::quoteName(name));
        }
        const QString quotedTable = dialect::quoteName(table);
        QStringList selected = columns;
        if (!withoutRowid)
            selected.prepend(QStringLiteral("rowid"));
        m_insert = std::make_unique<Statement>(
            to, QStringLiteral("INSERT OR IGNORE INTO %1 (%2) VALUES (%3)")
                    .arg(quotedTable, selected.join(u','), placeholders(int(selected.size()))));
        m_all = std::make_unique<Statement>(
            from, QStringLiteral("SELECT %1 FROM %2").arg(selected.join(u','), quotedTable));
        if (withoutRowid)
            return;
        const QString select =
            QStringLiteral("SELECT %1 FROM %2 ").arg(selected.join(u','), quotedTable);
        const QString range = QStringLiteral("WHERE rowid BETWEEN ? AND ? ORDER BY rowid ");
        m_forward = std::make_unique<Statement>(from, select + range + QStringLiteral("ASC"));
        m_backward = std::make_unique<Statement>(from, select + range + QStringLiteral("DESC"));
        m_exists = std::make_unique<Statement>(
            from, QStringLiteral("SELECT rowid FROM %1 WHERE rowid = ?").arg(quotedTable));
        for (const QString& column : columns)
            m_field.push_back(std::make_unique<Statement>(
                from,
                QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(column, quotedTable)));
    }

    void run() {
        if (m_withoutRowid) {
            scanAll();
            return;
        }
        // 1. Forward from the first row until the first page that cannot be read.
        const Scan forward = scan(*m_forward, lowest, highest);
        if (forward.complete)
            return;
        // 2. Backward from the last row, down to the first failure from that side.
        const qint64 gapStart = !forward.read               ? 1
                                : forward.lastId == highest ? highest
                                                            : forward.lastId + 1;
        if (forward.read && forward.lastId == highest)
            return;
        const Scan backward = scan(*m_backward, gapStart, highest);
        // 3. The ids in between.
        const bool topKnown = backward.read;
        probeGap(gapStart, topKnown ? backward.lastId - 1 : highest, topKnown);
    }

private:
    static constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    static constexpr qint64 highest = std::numeric_limits<qint64>::max();
    // Probing gives up after this many ids in all, or, when the top of the table could not be
    // found, after this many ids in a row that gave no row, so a ruined table ends in bounded
    // time.
    static constexpr qint64 maxProbes = 2'000'000;
    static constexpr qint64 maxMissesWithoutTop = 100'000;

    struct Scan {
        bool complete = false; // ran to the end without an error
        bool read = false;     // read at least one row
        qint64 lastId = 0;     // the last row read
    };

    static bool isDamage(const PlatformError& error) {
        return error.number() == ErrorNumber::EngineNotReadable;
    }

    // Writes the row now bound to the insert. A failure to write the fresh file (a full disk)
    // ends the repair.
    void writeRow() {
        m_insert->step();
        m_insert->reset();
    }

    void keep(sqlite3_stmt* row) {
        const int columns = sqlite3_column_count(row);
        for (int i = 0; i < columns; ++i)
            sqlite3_bind_value(m_insert->handle(), i + 1, sqlite3_column_value(row, i));
        writeRow();
    }

    Scan scan(Statement& rows, qint64 from, qint64 to) {
        Scan result;
        rows.reset();
        rows.bind(1, from);
        rows.bind(2, to);
        try {
            while (rows.step()) {
                keep(rows.handle());
                result.read = true;
                result.lastId = rows.columnInt64(0);
            }
            result.complete = true;
        } catch (const PlatformError& error) {
            if (!isDamage(error))
                throw;
        }
        rows.reset();
        return result;
    }

    // One id that a scan could not get past. When the row itself can be found, each of its
    // fields that can be read is kept: a photo on a damaged page is lost, the names are not.
    bool probe(qint64 id) {
        try {
            m_exists->reset();
            m_exists->bind(1, id);
            const bool found = m_exists->step();
            m_exists->reset();
            if (!found)
                return false;
        } catch (const PlatformError& error) {
            if (!isDamage(error))
                throw;
            return false;
        }
        sqlite3_stmt* insert = m_insert->handle();
        sqlite3_bind_int64(insert, 1, id);
        for (size_t i = 0; i < m_field.size(); ++i) {
            Statement& field = *m_field[i];
            const int target = int(i) + 2;
            sqlite3_bind_null(insert, target);
            try {
                field.reset();
                field.bind(1, id);
                if (field.step()) // the insert keeps a copy of the value
                    sqlite3_bind_value(insert, target, sqlite3_column_value(field.handle(), 0));
                field.reset();
            } catch (const PlatformError& error) {
                if (!isDamage(error))
                    throw;
            }
        }
        writeRow();
        return true;
    }

    void probeGap(qint64 from, qint64 to, bool topKnown) {
        qint64 id = from;
        qint64 probes = 0;
        qint64 misses = 0;
        while (id <= to && probes < maxProbes && (topKnown || misses < maxMissesWithoutTop)) {
            ++probes;
            // A forward scan from here jumps over ids that were never used and stops at the
            // next damaged page; the id it could not get past is probed on its own.
            const Scan ahead = scan(*m_forward, id, to);
            if (ahead.complete || (ahead.read && ahead.lastId >= to))
                return;
            const qint64 stuck = ahead.read ? ahead.lastId + 1 : id;
            const bool kept = probe(stuck);
            misses = ahead.read || kept ? 0 : misses + 1;
            if (stuck >= to)
                return;
            id = stuck + 1;
        }
    }

    // A table without rowids can only be read in its own order, up to the first failure.
    void scanAll() {
        try {
            while (m_all->step())
                keep(m_all->handle());
        } catch (const PlatformError& error) {
            if (!isDamage(error))
                throw;
        }
        m_all->reset();
    }

    bool m_withoutRowid;
    std::unique_ptr<Statement> m_forward;
    std::unique_ptr<Statement> m_backward;
    std::unique_ptr<Statement> m_all;
    std::unique_ptr<Statement> m_exists;
    std::vector<std::unique_ptr<Statement>> m_field;
    std::unique_ptr<Statement> m_insert;
};

// What a compacted copy and a back-up copy both require: a source that is a file nobody holds
// open, a destination name that is valid and not taken, and no stale journal under it.
void prepareCopy(const QString& source, const QString& destination) {
    requireFile(source);
    checkFileName(destination);
    requireNotHeld(source);
    if (QFileInfo::exists(destination))
        throw PlatformError(ErrorNumber::EngineAlreadyExists,
                            QStringLiteral("The file \"%1\" already exists.").arg(destination));
    // A journal without its database belongs to nothing; left there it would be taken as hot.
    QFile::remove(journalOf(destination));
}

} // namespace

namespace {

// Reports how far VACUUM INTO has written its destination, against the pages of the source
// that hold something, and stops it when the progress answers false.
class VacuumProgress {
public:
    VacuumProgress(Database& source, const QString& destination, const CopyProgress& progress)
        : m_db(source), m_destination(QFile::encodeName(destination)), m_progress(progress) {
        if (!m_progress)
            return;
        const qint64 pages = source.scalar(QStringLiteral("PRAGMA page_count")).toLongLong() -
                             source.scalar(QStringLiteral("PRAGMA freelist_count")).toLongLong();
        m_total = std::max<qint64>(1, pages) *
                  source.scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
        // Often enough for the progress to move while large rows are copied whole, a few
        // instructions each; a look at the size of a file costs next to nothing.
        sqlite3_progress_handler(m_db.handle(), 128, &VacuumProgress::step, this);
    }
    ~VacuumProgress() {
        if (m_progress)
            sqlite3_progress_handler(m_db.handle(), 0, nullptr, nullptr);
    }
    VacuumProgress(const VacuumProgress&) = delete;
    VacuumProgress& operator=(const VacuumProgress&) = delete;

    bool cancelled() const { return m_cancelled; }
    void finished() const {
        if (m_progress)
            m_progress(m_total, m_total);
    }

private:
    static int step(void* self) {
        auto* me = static_cast<VacuumProgress*>(self);
        struct stat written {};
        const qint64 done =
            ::stat(me->m_destination.constData(), &written) == 0 ? qint64(written.st_size) : 0;
        me->m_cancelled = !me->m_progress(std::min(done, me->m_total), me->m_total);
        return me->m_cancelled ? 1 : 0;
    }

    Database& m_db;
    QByteArray m_destination;
    const CopyProgress& m_progress;
    qint64 m_total = 0;
    bool m_cancelled = false;
};

// VACUUM INTO `destination` on `db`, reporting through `progress`.
void vacuumInto(Database& db, const QString& destination, const CopyProgress& progress) {
    VacuumProgress reporter(db, destination, progress);
    try {
        Statement vacuum(db, QStringLiteral("VACUUM INTO ?"));
        vacuum.bind(1, QFileInfo(destination).absoluteFilePath());
        vacuum.step();
    } catch (const PlatformError&) {
        if (reporter.cancelled())
            throw CopyCancelled();
        throw;
    }
    reporter.finished();
}

} // namespace

void CompactDatabase(const QString& source, const QString& destination,
                     const CopyProgress& progress) {
    prepareCopy(source, destination);

    std::unique_ptr<Database> db = Database::open(source);
    try {
        vacuumInto(*db, destination, progress);
        db.reset();
        // VACUUM INTO syncs its own journal; one more fsync makes the finished copy durable.
        makeDurable(destination);
    } catch (...) {
        db.reset();
        removeWithJournal(destination);
        throw;
    }
}

namespace {

[[noreturn]] void copyFailed(const QString& destination, int error) {
    throw PlatformError(files::errorNumberFor(error, destination),
                        QStringLiteral("The copy \"%1\" could not be written (%2).")
                            .arg(destination, systemErrorText(error)));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Copies the first `bytes` of `source` into the new file `destination`, in the kernel where it
// can, else through a buffer, telling `progress` after each piece.
void copyBytes(const QString& source, const QString& destination, qint64 bytes,
               const CopyProgress& progress = {}) {
    const Descriptor from(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (from.get() < 0)
        copyFailed(source, errno);
    const Descriptor to(::open(QFile::encodeName(destination).constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (to.get() < 0)
        copyFailed(destination, errno);
    qint64 done = 0;
    bool inKernel = true;
    QByteArray buffer;
    // Pieces small enough for the progress to move and a cancel to come soon.
    const qint64 piece = progress ? qint64(1) << 22 : qint64(1) << 28;
    while (done < bytes) {
        if (progress && !progress(done, bytes))
            throw CopyCancelled();
        const size_t chunk = size_t(std::min<qint64>(bytes - done, piece));
        if (inKernel) {
            const ssize_t n = ::copy_file_range(from.get(), nullptr, to.get(), nullptr, chunk, 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EINVAL)
                copyFailed(destination, errno);
            // Another file system, or a kernel without it: the same through a buffer, from
            // where the kernel left off.
            inKernel = false;
            if (::lseek(from.get(), done, SEEK_SET) < 0 || ::lseek(to.get(), done, SEEK_SET) < 0)
                copyFailed(destination, errno);
            buffer.resize(1 << 20);
            continue;
        }
        const ssize_t n = ::read(from.get(), buffer.data(),
                                 size_t(std::min<qint64>(bytes - done, buffer.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            copyFailed(source, n < 0 ? errno : EIO); // the file ended before its last page
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(to.get(), buffer.constData() + written, size_t(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                copyFailed(destination, errno);
            written += w;
        }
        done += n;
    }
}

} // namespace

void BackUpDatabase(const QString& source, const QString& destination,
                    const std::function<void()>& whileHeld, const CopyProgress& progress) {
    prepareCopy(source, destination);

    // An open read transaction keeps every writer out until the copy and the caller are done:
    // the file's pages are then a whole database, with no journal to go with them.
    std::unique_ptr<Database> db = Database::open(source);
    try {
        db->exec(QStringLiteral("BEGIN"));
        const qint64 pages = db->scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
        const qint64 freePages = db->scalar(QStringLiteral("PRAGMA freelist_count")).toLongLong();
        const qint64 pageSize = db->scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
        if (freePages * 10 > pages) {
            // Much of the file is free pages: rebuilding it is worth its cost. A second
            // connection runs it, since this one holds the transaction.
            std::unique_ptr<Database> vacuuming = Database::open(source);
            vacuumInto(*vacuuming, destination, progress);
        } else {
            copyBytes(source, destination, pages * pageSize, progress);
            if (progress)
                progress(pages * pageSize, pages * pageSize);
        }
        makeDurable(destination);
        if (whileHeld)
            whileHeld();
        db->exec(QStringLiteral("COMMIT"));
        db.reset();
    } catch (...) {
        db.reset();
        removeWithJournal(destination);
        throw;
    }
}

std::optional<qint64> countableRows(Database& db, const QString& table) {
    const QString quoted = dialect::quoteName(table);
    QStringList counts{QStringLiteral("SELECT count(*) FROM %1").arg(quoted),
                       QStringLiteral("SELECT count(*) FROM %1 NOT INDEXED").arg(quoted)};
    try {
        Statement indexes(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' "
                                             "AND lower(tbl_name) = lower(?)"));
        indexes.bind(1, table);
        while (indexes.step())
            counts.append(QStringLiteral("SELECT count(*) FROM %1 INDEXED BY %2")
                              .arg(quoted, dialect::quoteName(indexes.column(0).toString())));
    } catch (const PlatformError&) {
        // Without the list of indexes the table itself is counted.
    }
    std::optional<qint64> most;
    for (const QString& count : counts) {
        try {
            most = std::max(most.value_or(0), db.scalar(count).toLongLong());
        } catch (const PlatformError&) {
        }
    }
    return most;
}

namespace {

// Keeps the file at `path` under the free name `keepAs` as well: a second name of the same
// file where the file system has them (the swap that follows gives `path` a new file), else
// a durable copy.
void keepOriginal(const QString& path, const QString& keepAs) {
    checkFileName(keepAs);
    if (QFileInfo::exists(keepAs))
        throw PlatformError(ErrorNumber::EngineAlreadyExists,
                            QStringLiteral("The file \"%1\" already exists.").arg(keepAs));
    if (files::linkFile(path, keepAs))
        return;
    try {
        copyBytes(path, keepAs, QFileInfo(path).size());
        makeDurable(keepAs);
    } catch (const PlatformError&) {
        QFile::remove(keepAs);
        throw;
    }
}

} // namespace

bool RepairDatabase(const QString& path, const RepairOptions& options) {
    requireFile(path);
    requireNotHeld(path);
    const QString temporary = path + QStringLiteral(".repair");
    // A rebuild that was cut short is never promoted; it is thrown away and done again.
    removeWithJournal(temporary);

    std::unique_ptr<Database> damaged = Database::open(path);
    if (isHealthy(*damaged) && !(options.needsMending && options.needsMending(*damaged)))
        return false;

    QVector<SchemaEntry> schema;
    try {
        schema = readSchema(*damaged);
    } catch (const PlatformError& error) {
        throw PlatformError(ErrorNumber::EngineNotReadable,
                            QStringLiteral("\"%1\" cannot be repaired: its list of tables cannot "
                                           "be read (%2)")
                                .arg(path, error.description()));
    }
    const QVariant applicationId = damaged->scalar(QStringLiteral("PRAGMA application_id"));
    const QVariant userVersion = damaged->scalar(QStringLiteral("PRAGMA user_version"));

    std::unique_ptr<Database> fresh;
    try {
        fresh = Database::createNew(temporary);
        fresh->exec(QStringLiteral("BEGIN; PRAGMA application_id = %1; PRAGMA user_version = %2;")
                        .arg(applicationId.toLongLong())
                        .arg(userVersion.toLongLong()));
        for (const SchemaEntry& entry : schema) {
            if (entry.type != QLatin1String("table") ||
                entry.sql.startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
                continue;
            runSchemaStatement(*fresh, entry.sql);
            TableSalvage salvage(
                *damaged, *fresh, entry.name,
                entry.sql.contains(QLatin1String("WITHOUT ROWID"), Qt::CaseInsensitive));
            salvage.run();
        }
        for (const SchemaEntry& entry : schema) {
            if (entry.type == QLatin1String("table"))
                continue;
            try {
                runSchemaStatement(*fresh, entry.sql);
            } catch (const PlatformError& error) {
                // A unique index the salvaged rows no longer satisfy is left out rather than
                // losing the rows; anything but such a refusal ends the repair.
                if (error.number() != ErrorNumber::EngineWriteFailed &&
                    error.number() != ErrorNumber::EngineSyntax)
                    throw;
            }
        }
        if (options.mend)
            options.mend(*fresh);
        fresh->exec(QStringLiteral("COMMIT"));
        if (!isHealthy(*fresh))
            throw PlatformError(
                ErrorNumber::EngineNotReadable,
                QStringLiteral("The rebuilt copy of \"%1\" failed its check.").arg(path));
        fresh.reset();
        damaged.reset();
        files::syncFile(temporary);
        if (!options.keepOriginalAs.isEmpty())
            keepOriginal(path, options.keepOriginalAs);
        files::replaceFile(temporary, path);
    } catch (const PlatformError&) {
        fresh.reset();
        removeWithJournal(temporary);
        throw;
    }
    return true;
}

} // namespace quillory::engine
