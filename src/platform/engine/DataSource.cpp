#include "platform/engine/DataSource.h"

#include "platform/engine/Database.h"
#include "platform/engine/Dialect.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/OpenFiles.h"
#include "platform/engine/RecordSource.h"
#include "platform/engine/RowCache.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <QHash>
#include <QMap>
#include <QTimer>
#include <sqlite3.h>
#include <thread>
#include <vector>

namespace quillory::engine {

namespace {

// Rows the grid reads with one query.
constexpr int gridBlockSize = 64;
// Blocks kept: 1,536 rows, some fifty screens of the grid around the visible rows.
constexpr int gridBlocksKept = 24;

[[noreturn]] void noCurrentRecord() {
    throw PlatformError(ErrorNumber::EngineNoCurrentRecord, QStringLiteral("No current record."));
}

// An emptied text box stores NULL, not an empty string.
QVariant normalized(const QVariant& value) {
    if (!value.isValid())
        return {};
    if (value.typeId() == QMetaType::QString && value.toString().isEmpty())
        return {};
    if (value.typeId() == QMetaType::QByteArray && value.toByteArray().isEmpty())
        return {};
    return value;
}

bool sameValue(const QVariant& a, const QVariant& b) {
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    return a == b;
}

// Rows written since the refresh that may have left their sorted place are tracked one by one;
// past this many a find reads every match instead.
constexpr int maxRowsOutOfPlace = 256;

// Row ids in ascending order, as ORDER BY rowid gives them. Ids of one table are unique and
// mostly dense, so a bitmap over their range usually sorts them in one pass.
void sortIds(QVector<qint64>& ids) {
    if (ids.size() < 2)
        return;
    const auto [low, high] = std::minmax_element(ids.cbegin(), ids.cend());
    const qint64 min = *low;
    const quint64 span = quint64(*high) - quint64(min) + 1;
    if (span > quint64(ids.size()) * 16) {
        std::sort(ids.begin(), ids.end());
        return;
    }
    std::vector<quint64> bits((span + 63) / 64);
    for (const qint64 id : std::as_const(ids)) {
        const quint64 at = quint64(id) - quint64(min);
        quint64& word = bits[at / 64];
        const quint64 bit = quint64(1) << (at % 64);
        if (word & bit) { // the same id twice (a join): sort them as they are
            std::sort(ids.begin(), ids.end());
            return;
        }
        word |= bit;
    }
    qsizetype out = 0;
    for (size_t w = 0; w < bits.size(); ++w) {
        for (quint64 word = bits[w]; word; word &= word - 1)
            ids[out++] = qint64(quint64(min) + w * 64 + quint64(__builtin_ctzll(word)));
    }
}

// One value of a sort key as SQLite compares it: NULL before any text.
struct SortValue {
    bool null = true;
    QByteArray text; // UTF-8, as stored
};

// SQLite's NOCASE: bytes compared with ASCII letters folded to lower case, then by length.
int compareNoCase(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        uchar x = uchar(a[i]);
        uchar y = uchar(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = uchar(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = uchar(y + 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compareBinary(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = std::min(a.size(), b.size());
    const int c = n > 0 ? std::memcmp(a.constData(), b.constData(), size_t(n)) : 0;
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Reads column `column` of the row `statement` is on into `value`; false for a number or a
// BLOB, whose place among texts this code does not rebuild.
bool readSortValue(const Statement& statement, int column, SortValue& value) {
    sqlite3_stmt* handle = statement.handle();
    switch (sqlite3_column_type(handle, column)) {
    case SQLITE_NULL:
        value = SortValue{};
        return true;
    case SQLITE_TEXT:
        value.null = false;
        value.text = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(handle, column)),
                                sqlite3_column_bytes(handle, column));
        return true;
    default:
        return false;
    }
}

// The first character of a pattern in "<column> Like '<pattern>'" when it is a plain ASCII
// character, with the column the criterion names; nothing for any other criterion.
std::optional<std::pair<QString, char>> likePrefix(const QString& expression,
                                                   const QString& table) {
    using dialect::Token;
    QVector<Token> tokens;
    for (const Token& token : dialect::tokenize(expression)) {
        if (token.kind != Token::Kind::Space)
            tokens.append(token);
    }
    auto text = [&](const Token& t) { return QStringView(expression).mid(t.start, t.length); };
    auto name = [&](const Token& t) -> std::optional<QString> {
        if (t.kind == Token::Kind::Word)
            return text(t).toString();
        if (t.kind == Token::Kind::QuotedName && t.length >= 2 && !t.unterminated) {
            const QStringView inner = text(t).mid(1, t.length - 2);
            const QChar quote = text(t)[0];
            if (inner.contains(quote) || (quote == QLatin1Char('[') && inner.contains(u']')))
                return std::nullopt;
            return inner.toString();
        }
        return std::nullopt;
    };
    qsizetype at = 0;
    std::optional<QString> column = tokens.size() > 0 ? name(tokens[0]) : std::nullopt;
    if (!column)
        return std::nullopt;
    if (tokens.size() == 5 && tokens[1].kind == Token::Kind::Symbol && text(tokens[1]) == u".") {
        if (column->compare(table, Qt::CaseInsensitive) != 0)
            return std::nullopt;
        column = name(tokens[2]);
        if (!column)
            return std::nullopt;
        at = 2;
    }
    if (tokens.size() != at + 3 || tokens[at + 1].kind != Token::Kind::Word ||
        text(tokens[at + 1]).compare(QLatin1String("Like"), Qt::CaseInsensitive) != 0 ||
        tokens[at + 2].kind != Token::Kind::String || tokens[at + 2].unterminated)
        return std::nullopt;
    const QStringView literal = text(tokens[at + 2]);
    if (literal.size() < 3 || literal[0] != QLatin1Char('\''))
        return std::nullopt;
    const QChar first = literal[1];
    // Wildcards, and the quote (doubled inside the literal), are no fixed first character.
    if (first.unicode() >= 0x7F || first.unicode() < 0x20 || first == QLatin1Char('*') ||
        first == QLatin1Char('?') || first == QLatin1Char('#') || first == QLatin1Char('[') ||
        first == QLatin1Char('\''))
        return std::nullopt;
    return std::make_pair(*column, char(first.toLatin1()));
}

} // namespace

// The row ids after the first, read by a connection and thread of their own while the first
// card is shown. Only the reader touches `ids` and `error` until it is joined.
struct KeysetReader {
    std::thread thread;
    std::mutex mutex;
    sqlite3* connection = nullptr; // while reading, so that a close can interrupt it
    std::atomic<bool> cancelled{false};
    QVector<qint64> ids;
    std::optional<PlatformError> error;

    void run(const QString& path, const QString& sql, qint64 expected, bool sortAfter) {
        try {
            const std::unique_ptr<Database> reading =
                Database::open(path, Database::Mode::ReadOnly);
            struct Unpublish {
                KeysetReader* reader;
                ~Unpublish() {
                    const std::lock_guard lock(reader->mutex);
                    reader->connection = nullptr;
                }
            } unpublish{this};
            {
                const std::lock_guard lock(mutex);
                if (cancelled)
                    return;
                connection = reading->handle();
            }
            Statement keyset(*reading, sql, Statement::Access::ReadOnly);
            ids.reserve(expected + 16);
            while (!cancelled && keyset.step())
                ids.append(keyset.columnInt64(0));
            keyset.reset(); // ends the read, so the file is not kept locked
            if (sortAfter)
                sortIds(ids);
        } catch (const PlatformError& failure) {
            error = failure;
        }
    }

    void cancel() {
        if (!thread.joinable())
            return;
        cancelled = true;
        {
            const std::lock_guard lock(mutex);
            if (connection)
                sqlite3_interrupt(connection);
        }
        thread.join();
    }
};

class DataSource::Impl {
public:
    explicit Impl(DataSource* owner) : q(owner), cache(gridBlockSize, gridBlocksKept) {}

    // What writing the pending row did, so the caller can raise the signals once it is done.
    struct Flushed {
        bool rowsChanged = false;    // a new row was stored
        bool currentChanged = false; // the new row was stored or dropped
        int rowWritten = -1;         // pending edits written to this position
    };

    DataSource* q;
    QString databaseName;
    QString connect;
    QString recordSource;

    std::unique_ptr<Database> db;
    Remover remover;
    QString heldKey;
    QString table;
    bool keptBook = false; // the program's book: its writes keep "uid" and "rev" (see book)
    QStringList fields;
    QVector<bool> isBlob;
    QHash<QString, int> fieldIndex; // lower-case name -> field
    QVector<int> gridColumnOf;      // field -> column of a grid row, -1 for photos

    QVector<qint64> keys;
    mutable QHash<qint64, int> positionOf;
    mutable bool positionsValid = false;

    // The order of the rows, when the record source says it plainly (see RecordSourcePlan):
    // a find then asks for its first match in that order and looks for it in `keys` by its
    // sort key, instead of reading every match.
    RecordSourcePlan plan;
    bool orderKnown = false;
    QVector<bool> orderNoCase;     // per ORDER BY column: compared by NOCASE, else BINARY
    QVector<bool> movesRow;        // per field: a change may move the row or drop it
    QHash<qint64, int> outOfPlace; // rows written or added since the refresh -> position
    qint64 dataVersion = 0;        // PRAGMA data_version when the keys were read
    std::unique_ptr<Statement> readSortKey;

    int pos = 0; // -1 before the first row, keys.size() past the last
    bool adding = false;
    bool deleted = false;
    bool noMatch = false;
    int addFromPos = 0;
    bool addFromDeleted = false;
    QVariantList current; // empty when there is no readable current row
    QMap<int, QVariant> edits;

    // While the keyset is being read after the first card (see open), `keys` holds the first
    // row alone and `filledCount` the number of rows the whole keyset has.
    // The reader starts once the event loop runs again, so that it does not compete with the
    // showing of the first card; whatever needs the keyset before then reads it right away.
    std::unique_ptr<KeysetReader> reader;
    int filledCount = 0;
    quint64 readerGeneration = 0;
    void startReader();

    std::unique_ptr<Statement> readRow;
    mutable std::unique_ptr<Statement> readBlock;
    mutable RowCache cache;

    int count() const { return reader ? filledCount : int(keys.size()); }
    // Waits for the rest of the keyset; everything that goes past the first row, or writes,
    // calls it first.
    void finishKeyset();
    void cancelKeyset() {
        if (reader) {
            reader->cancel();
            reader.reset();
        }
    }
    bool onRow() const { return !adding && !deleted && pos >= 0 && pos < count(); }
    // Removes the rows at the ascending `positions` from the book and the keyset; the first
    // one's place becomes the current, deleted row.
    void removeRows(const QList<int>& positions);
    int field(const QString& name) const { return fieldIndex.value(name.toLower(), -1); }

    void closeConnection() {
        cancelKeyset();
        readRow.reset();
        readBlock.reset();
        db.reset();
        openfiles::release(heldKey);
        heldKey.clear();
        table.clear();
        fields.clear();
        isBlob.clear();
        fieldIndex.clear();
        gridColumnOf.clear();
        keys.clear();
        positionOf.clear();
        positionsValid = false;
        plan = {};
        orderKnown = false;
        orderNoCase.clear();
        movesRow.clear();
        outOfPlace.clear();
        readSortKey.reset();
        pos = 0;
        adding = deleted = noMatch = false;
        current.clear();
        edits.clear();
        cache.clear();
    }

    void open();
    QString describeTable();
    std::unique_ptr<Statement> keysetStatement(const RecordSourcePlan& planned,
                                               const QString& idColumn);
    std::optional<PlatformError> loadCurrent();
    Flushed flush();
    // The kept fields a write of the card sets besides its edits: a new contact's UID, and the
    // time of the write.
    QVector<std::pair<QString, QVariant>> keptValues(bool newRow) const;
    void insertNewRow();
    void writeEdits();
    void emitAfterFlush(const Flushed& flushed, bool repositioned);
    template <typename Target> void move(Target target);
    void ensurePositions() const;
    void loadBlock(int block) const;
    void learnOrder();
    std::optional<int> findBySortKey(const QString& expression, bool firstRowsOnly = false);
    bool readKeyOf(qint64 id, std::vector<SortValue>& key);
    int compareKeys(const std::vector<SortValue>& a, qint64 aId, const std::vector<SortValue>& b,
                    qint64 bId) const;
    std::optional<int> locate(qint64 id, const std::vector<SortValue>& key, int end);
};

// --- opening --------------------------------------------------------------------------------

// Reads the base table's columns; the INTEGER PRIMARY KEY is the hidden id and not a field.
// Returns the name of the id column ("rowid" when the table has none of its own).
QString DataSource::Impl::describeTable() {
    const TableColumns declared = tableColumns(*db, table);
    const QStringList& names = declared.names;
    const QString& idColumn = declared.rowidAlias;
    if (names.isEmpty())
        throw PlatformError(
            EngineNumber::TableNotFound,
            QStringLiteral("The database \"%1\" has no table \"%2\".").arg(databaseName, table));
    int gridColumn = 0;
    for (int i = 0; i < names.size(); ++i) {
        if (names[i] == idColumn)
            continue;
        const bool blob = declared.types[i].contains(QLatin1String("BLOB"), Qt::CaseInsensitive);
        fieldIndex.insert(names[i].toLower(), int(fields.size()));
        fields.append(names[i]);
        isBlob.append(blob);
        gridColumnOf.append(blob ? -1 : gridColumn++);
    }
    return idColumn.isEmpty() ? QStringLiteral("rowid") : idColumn;
}

std::unique_ptr<Statement> DataSource::Impl::keysetStatement(const RecordSourcePlan& planned,
                                                             const QString& idColumn) {
    if (!planned.rowidQuery.isEmpty()) {
        try {
            return std::make_unique<Statement>(*db, planned.rowidQuery,
                                               Statement::Access::ReadOnly);
        } catch (const PlatformError&) {
            // A join or an alias can make the bare rowid ambiguous; the subquery still works,
            // in an order only SQLite knows.
            plan.order = RecordSourcePlan::Order::Unknown;
        }
    }
    RecordSourcePlan subquery = planned;
    subquery.rowidQuery.clear();
    return std::make_unique<Statement>(*db, subqueryKeysetQuery(subquery, idColumn),
                                       Statement::Access::ReadOnly);
}

void DataSource::Impl::open() {
    // Always a new connection: one kept across a compaction or restore would point at the file
    // that was renamed away.
    db = Database::open(databaseName);
    heldKey = openfiles::hold(databaseName);
    plan = planRecordSource(recordSource);
    table = plan.baseTable;
    keptBook = table.compare(book::tableName(), Qt::CaseInsensitive) == 0 && db->isBook();
    if (keptBook) {
        try {
            book::addKeptFields(*db);
        } catch (const PlatformError&) {
            // A book that cannot be written now is shown as it is; its writes fail on their own.
        }
    }
    const QString idColumn = describeTable();

    QStringList quoted;
    QStringList gridQuoted;
    for (int i = 0; i < fields.size(); ++i) {
        quoted.append(dialect::quoteName(fields[i]));
        if (!isBlob[i])
            gridQuoted.append(quoted.last());
    }
    const QString from = dialect::quoteName(table);
    readRow = std::make_unique<Statement>(
        *db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(quoted.join(u','), from));
    QString gridColumns = QStringLiteral("rowid");
    if (!gridQuoted.isEmpty())
        gridColumns += QLatin1Char(',') + gridQuoted.join(u',');
    readBlock =
        std::make_unique<Statement>(*db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)")
                                             .arg(gridColumns, from, placeholders(gridBlockSize)));

    std::unique_ptr<Statement> keyset = keysetStatement(plan, idColumn);
    const bool stored = plan.order == RecordSourcePlan::Order::Stored;
    // A whole table in a known order: its size is SQLite's count of an index, and its first row
    // one step of the ordered query, so the first card shows before the rest of the ids are
    // read, by a reader of their own.
    if (plan.order != RecordSourcePlan::Order::Unknown && plan.filter.isEmpty()) {
        keyset.reset();
        const qint64 rows =
            db->scalar(QStringLiteral("SELECT count(*) FROM ") + plan.from).toLongLong();
        if (rows > gridBlockSize && rows < qint64(std::numeric_limits<int>::max())) {
            // The first card, and the first screen of a grid, without waiting for the rest.
            const QString firstSql = plan.rowidQuery +
                                     (stored ? QStringLiteral("\nORDER BY rowid") : QString()) +
                                     QStringLiteral("\nLIMIT %1").arg(gridBlockSize);
            Statement first(*db, firstSql, Statement::Access::ReadOnly);
            while (first.step())
                keys.append(first.columnInt64(0));
            first.reset();
            if (keys.size() == gridBlockSize) {
                filledCount = int(rows);
                reader = std::make_unique<KeysetReader>();
                const quint64 generation = ++readerGeneration;
                QTimer::singleShot(0, q, [this, generation] {
                    if (generation == readerGeneration)
                        startReader();
                });
                learnOrder();
                return;
            }
            keys.clear(); // the book changed since it was counted: read it whole
        }
        keyset = keysetStatement(plan, idColumn);
    }
    while (keyset->step())
        keys.append(keyset->columnInt64(0));
    keyset.reset();
    if (stored)
        sortIds(keys); // read in whatever order the smallest index gives, without a sort in SQL
    learnOrder();
}

void DataSource::Impl::startReader() {
    if (!reader || reader->thread.joinable())
        return;
    reader->thread =
        std::thread(&KeysetReader::run, reader.get(), databaseName, plan.rowidQuery,
                    qint64(filledCount), plan.order == RecordSourcePlan::Order::Stored);
}

void DataSource::Impl::finishKeyset() {
    if (!reader)
        return;
    const bool started = reader->thread.joinable();
    if (started)
        reader->thread.join();
    const std::unique_ptr<KeysetReader> done = std::move(reader);
    const qint64 shown = pos >= 0 && pos < keys.size() ? keys[pos] : -1;
    const QVector<qint64> prefix = keys;
    QVector<qint64> ids = std::move(done->ids);
    if (!started || done->error) {
        // Read here: not begun yet, or failed, so that the failure reaches the caller as it
        // would have at refresh. A failure leaves the rest unread, to be tried again by the next
        // call that needs it: the result never looks shorter than it is.
        try {
            Statement keyset(*db, plan.rowidQuery, Statement::Access::ReadOnly);
            ids.clear();
            ids.reserve(filledCount + 16); // grown once: a million ids would leave freed copies
            while (keyset.step())
                ids.append(keyset.columnInt64(0));
            keyset.reset();
        } catch (const PlatformError&) {
            reader = std::make_unique<KeysetReader>();
            throw;
        }
        if (plan.order == RecordSourcePlan::Order::Stored)
            sortIds(ids);
    }
    keys = std::move(ids);
    positionsValid = false;
    // Another program changed the book between the first row and the rest: the card shown
    // stays the current row where it is still in the result.
    if (shown >= 0 && keys.value(pos, -1) != shown) {
        const qsizetype at = keys.indexOf(shown);
        if (at >= 0)
            pos = int(at);
    }
    if (keys.mid(0, prefix.size()) != prefix)
        cache.clear();
}

// Checks that the ORDER BY columns are fields compared the way this code compares them.
void DataSource::Impl::learnOrder() {
    if (plan.order == RecordSourcePlan::Order::Unknown)
        return;
    const QByteArray tableName = table.toUtf8();
    QStringList quoted;
    for (const QString& column : std::as_const(plan.orderColumns)) {
        if (field(column) < 0)
            return;
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db->handle(), nullptr, tableName.constData(),
                                          column.toUtf8().constData(), nullptr, &collation, nullptr,
                                          nullptr, nullptr) != SQLITE_OK ||
            !collation)
            return;
        const QByteArray name(collation);
        if (name.compare("NOCASE", Qt::CaseInsensitive) == 0)
            orderNoCase.append(true);
        else if (name.compare("BINARY", Qt::CaseInsensitive) == 0)
            orderNoCase.append(false);
        else
            return;
        quoted.append(dialect::quoteName(column));
    }
    movesRow = QVector<bool>(fields.size(), false);
    for (int i = 0; i < fields.size(); ++i) {
        const QString lower = fields[i].toLower();
        movesRow[i] = plan.filterWords.contains(lower) ||
                      std::any_of(plan.orderColumns.cbegin(), plan.orderColumns.cend(),
                                  [&](const QString& c) { return c.toLower() == lower; });
    }
    if (!quoted.isEmpty())
        readSortKey = std::make_unique<Statement>(
            *db, QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                     .arg(quoted.join(u','), dialect::quoteName(table)));
    dataVersion = db->scalar(QStringLiteral("PRAGMA data_version")).toLongLong();
    orderKnown = true;
}

bool DataSource::Impl::readKeyOf(qint64 id, std::vector<SortValue>& key) {
    key.assign(size_t(plan.orderColumns.size()), SortValue{});
    if (!readSortKey)
        return true;
    readSortKey->reset();
    readSortKey->bind(1, id);
    bool ok = readSortKey->step();
    for (int c = 0; ok && c < int(key.size()); ++c)
        ok = readSortValue(*readSortKey, c, key[size_t(c)]);
    readSortKey->reset();
    return ok;
}

int DataSource::Impl::compareKeys(const std::vector<SortValue>& a, qint64 aId,
                                  const std::vector<SortValue>& b, qint64 bId) const {
    for (size_t c = 0; c < a.size(); ++c) {
        if (a[c].null || b[c].null) {
            if (a[c].null != b[c].null)
                return a[c].null ? -1 : 1;
            continue;
        }
        const int r = orderNoCase[qsizetype(c)] ? compareNoCase(a[c].text, b[c].text)
                                                : compareBinary(a[c].text, b[c].text);
        if (r != 0)
            return r;
    }
    return aId == bId ? 0 : (aId < bId ? -1 : 1);
}

// The position of row `id`, whose sort key is `key`, by a binary search over the rows before
// `end` that are still in their sorted place; nothing when it is not found there.
std::optional<int> DataSource::Impl::locate(qint64 id, const std::vector<SortValue>& key, int end) {
    int lo = 0;
    int hi = end;
    std::vector<SortValue> probe;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        int at = mid;
        while (at < hi && outOfPlace.contains(keys[at]))
            ++at;
        if (at == hi) {
            hi = mid;
            continue;
        }
        if (!readKeyOf(keys[at], probe))
            return std::nullopt;
        if (compareKeys(probe, keys[at], key, id) < 0)
            lo = at + 1;
        else
            hi = at;
    }
    while (lo < end && outOfPlace.contains(keys[lo]))
        ++lo;
    if (lo < end && keys[lo] == id)
        return lo;
    return std::nullopt;
}

// The first row matching `expression` in the keyset's order: its position, -1 for none, or
// nothing when the answer cannot be had this way for sure (the caller then reads every match).
// With `firstRowsOnly`, while the rest of the keyset is still being read, the answer is given
// only when the match lies among the rows already read (or there is none at all).
std::optional<int> DataSource::Impl::findBySortKey(const QString& expression, bool firstRowsOnly) {
    if (!orderKnown || outOfPlace.size() > maxRowsOutOfPlace)
        return std::nullopt;
    if (firstRowsOnly && (!outOfPlace.isEmpty() || keys.isEmpty()))
        return std::nullopt;
    // Another connection wrote to the file since the keys were read: they may be stale.
    if (db->scalar(QStringLiteral("PRAGMA data_version")).toLongLong() != dataVersion)
        return std::nullopt;
    QStringList quotedOrder;
    for (const QString& column : std::as_const(plan.orderColumns))
        quotedOrder.append(dialect::quoteName(column));
    QStringList outOfPlaceIds;
    for (auto it = outOfPlace.cbegin(); it != outOfPlace.cend(); ++it)
        outOfPlaceIds.append(QString::number(it.key()));

    QString select = QStringLiteral("SELECT rowid");
    for (const QString& column : std::as_const(quotedOrder))
        select += QLatin1Char(',') + column;
    select += QStringLiteral(" FROM ") + plan.from + QStringLiteral(" WHERE ");
    if (!plan.filter.isEmpty())
        select += QStringLiteral("(\n") + plan.filter + QStringLiteral("\n) AND ");
    select += QStringLiteral("(\n") + expression + QStringLiteral("\n)");
    if (!outOfPlaceIds.isEmpty())
        select +=
            QStringLiteral(" AND rowid NOT IN (") + outOfPlaceIds.join(u',') + QLatin1Char(')');
    QStringList terms = quotedOrder;
    terms.append(QStringLiteral("rowid"));
    const QString order =
        QStringLiteral("\nORDER BY ") + terms.join(u',') + QStringLiteral(" LIMIT 1");

    // "name Like 'M*'" on a source sorted by a NOCASE name: a match starts with M, m or a
    // character beyond ASCII (one whose other case is M), so only those two stretches of the
    // index are searched, in order.
    QVector<QVariantList> ranges{{}};
    QVector<QString> rangeSql{select + order};
    if (plan.order == RecordSourcePlan::Order::Columns && orderNoCase.value(0)) {
        if (const auto prefix = likePrefix(expression, table);
            prefix && prefix->first.compare(plan.orderColumns[0], Qt::CaseInsensitive) == 0) {
            char lower = prefix->second;
            if (lower >= 'A' && lower <= 'Z')
                lower = char(lower + 32);
            const QString column = quotedOrder[0];
            rangeSql = {select + QStringLiteral(" AND %1 >= ? AND %1 < ?").arg(column) + order,
                        select + QStringLiteral(" AND %1 >= ?").arg(column) + order};
            ranges = {{QString(QLatin1Char(lower)), QString(QLatin1Char(char(lower + 1)))},
                      {QString(QChar(0x7F))}};
        }
    }

    int best = -1;
    for (int r = 0; r < rangeSql.size() && best < 0; ++r) {
        Statement first(*db, rangeSql[r], Statement::Access::ReadOnly);
        first.bindAll(ranges[r]);
        if (!first.step())
            continue;
        const qint64 id = first.columnInt64(0);
        std::vector<SortValue> key(size_t(quotedOrder.size()));
        for (int c = 0; c < quotedOrder.size(); ++c) {
            if (!readSortValue(first, c + 1, key[size_t(c)]))
                return std::nullopt;
        }
        first.reset();
        if (firstRowsOnly) {
            std::vector<SortValue> last(key.size());
            if (!readKeyOf(keys.back(), last) || compareKeys(key, id, last, keys.back()) > 0)
                return std::nullopt;
        }
        const std::optional<int> at = locate(id, key, firstRowsOnly ? int(keys.size()) : count());
        if (!at)
            return std::nullopt;
        best = *at;
    }
    // The rows written since the refresh are wherever they were, or at the end when added.
    if (!outOfPlaceIds.isEmpty()) {
        Statement moved(*db,
                        QStringLiteral("SELECT rowid FROM %1 WHERE rowid IN (%2) AND (\n%3\n)")
                            .arg(dialect::quoteName(table), outOfPlaceIds.join(u','), expression),
                        Statement::Access::ReadOnly);
        while (moved.step()) {
            const int at = outOfPlace.value(moved.columnInt64(0), -1);
            if (at >= 0 && (best < 0 || at < best))
                best = at;
        }
    }
    return best;
}

// --- the current row ------------------------------------------------------------------------

std::optional<PlatformError> DataSource::Impl::loadCurrent() {
    current.clear();
    if (!onRow())
        return std::nullopt;
    try {
        readRow->reset();
        readRow->bind(1, keys[pos]);
        if (readRow->step()) {
            for (int i = 0; i < fields.size(); ++i)
                current.append(readRow->column(i));
        }
        // Ends the read, so the file is not kept locked between moves.
        readRow->reset();
    } catch (const PlatformError& error) {
        current.clear();
        return error;
    }
    return std::nullopt;
}

QVector<std::pair<QString, QVariant>> DataSource::Impl::keptValues(bool newRow) const {
    QVector<std::pair<QString, QVariant>> values;
    if (!keptBook)
        return values;
    if (newRow && fieldIndex.contains(QStringLiteral("uid")))
        values.append({QStringLiteral("uid"), book::newUid()});
    if (fieldIndex.contains(QStringLiteral("rev")))
        values.append({QStringLiteral("rev"), book::revisionNow()});
    return values;
}

void DataSource::Impl::insertNewRow() {
    QStringList columns;
    QVariantList values;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
        columns.append(dialect::quoteName(fields[it.key()]));
        values.append(it.value());
    }
    for (const auto& [field, value] : keptValues(true)) {
        columns.append(field);
        values.append(value);
    }
    Statement insert(*db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                              .arg(dialect::quoteName(table), columns.join(u','),
                                   placeholders(int(columns.size()))));
    insert.bindAll(values);
    insert.step();
    const qint64 id = sqlite3_last_insert_rowid(db->handle());
    keys.append(id);
    if (positionsValid)
        positionOf.insert(id, count() - 1);
    if (orderKnown)
        outOfPlace.insert(id, count() - 1);
}

void DataSource::Impl::writeEdits() {
    QStringList assignments;
    QVariantList values;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
        assignments.append(dialect::quoteName(fields[it.key()]) + QStringLiteral(" = ?"));
        values.append(it.value());
    }
    for (const auto& [field, value] : keptValues(false)) {
        assignments.append(field + QStringLiteral(" = ?"));
        values.append(value);
    }
    values.append(keys[pos]);
    Statement update(*db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                              .arg(dialect::quoteName(table), assignments.join(u',')));
    update.bindAll(values);
    update.step();
    if (sqlite3_changes(db->handle()) != 1)
        throw PlatformError(ErrorNumber::EngineWriteFailed,
                            QStringLiteral("The record could not be saved: it is no longer in "
                                           "the database."));
    if (orderKnown) {
        for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
            if (movesRow.value(it.key())) {
                outOfPlace.insert(keys[pos], pos);
                break;
            }
        }
    }
}

// Writes the pending row. On failure nothing changes: the edits stay pending, the position
// stays, and the error goes to the caller.
DataSource::Impl::Flushed DataSource::Impl::flush() {
    Flushed flushed;
    if (adding) {
        if (!edits.isEmpty()) {
            insertNewRow();
            pos = count() - 1;
            flushed.rowsChanged = true;
        } else {
            pos = addFromPos; // nothing was typed into the new row: nothing to store
            deleted = addFromDeleted;
        }
        adding = false;
        edits.clear();
        flushed.currentChanged = true;
        loadCurrent();
    } else if (!edits.isEmpty() && onRow()) {
        writeEdits();
        for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
            if (it.key() < current.size())
                current[it.key()] = it.value();
        }
        edits.clear();
        cache.dropBlockOf(pos);
        flushed.rowWritten = pos;
    }
    return flushed;
}

void DataSource::Impl::emitAfterFlush(const Flushed& flushed, bool repositioned) {
    if (flushed.rowsChanged)
        Q_EMIT q->rowsReset();
    if (flushed.rowWritten >= 0)
        Q_EMIT q->rowChanged(flushed.rowWritten);
    if (repositioned)
        Q_EMIT q->repositioned();
}

// Writes the pending row, then goes to the position `target` computes from the state after the
// write (a stored new row is the current one by then).
template <typename Target> void DataSource::Impl::move(Target target) {
    if (!db)
        return;
    if (adding || !edits.isEmpty())
        finishKeyset();
    const Flushed flushed = flush();
    const int to = target();
    if (to >= int(keys.size()) && to < count())
        finishKeyset();
    pos = std::clamp(to, -1, count());
    deleted = false;
    const std::optional<PlatformError> unreadable = loadCurrent();
    emitAfterFlush(flushed, true);
    if (unreadable)
        throw *unreadable;
}

void DataSource::Impl::ensurePositions() const {
    if (positionsValid)
        return;
    positionOf.clear();
    positionOf.reserve(keys.size());
    for (int i = 0; i < keys.size(); ++i)
        positionOf.insert(keys[i], i);
    positionsValid = true;
}

void DataSource::Impl::loadBlock(int block) const {
    const int first = block * gridBlockSize;
    const int last = std::min(count(), first + gridBlockSize);
    QHash<qint64, QVariantList> byId;
    try {
        readBlock->reset();
        for (int i = 0; i < gridBlockSize; ++i)
            readBlock->bind(i + 1, first + i < last ? QVariant(keys[first + i]) : QVariant());
        const int columns = readBlock->columnCount();
        while (readBlock->step()) {
            QVariantList values;
            for (int c = 1; c < columns; ++c)
                values.append(readBlock->column(c));
            byId.insert(readBlock->columnInt64(0), values);
        }
        readBlock->reset();
    } catch (const PlatformError&) {
        // A damaged page: the grid shows these rows empty rather than failing to paint.
        byId.clear();
    }
    QVector<QVariantList> rows;
    rows.reserve(last - first);
    for (int i = first; i < last; ++i)
        rows.append(byId.value(keys[i]));
    cache.storeBlock(block, std::move(rows));
}

// --- DataSource -----------------------------------------------------------------------------

DataSource::DataSource(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

DataSource::~DataSource() {
    d->closeConnection();
}

void DataSource::setDatabaseName(const QString& path) {
    d->databaseName = path;
}
QString DataSource::databaseName() const {
    return d->databaseName;
}
void DataSource::setConnect(const QString& connect) {
    d->connect = connect;
}
QString DataSource::connect() const {
    return d->connect;
}
void DataSource::setRecordSource(const QString& source) {
    d->recordSource = source;
}
QString DataSource::recordSource() const {
    return d->recordSource;
}

void DataSource::refresh() {
    d->closeConnection();
    std::optional<PlatformError> unreadable;
    try {
        d->open();
        unreadable = d->loadCurrent();
    } catch (const PlatformError&) {
        d->closeConnection();
        Q_EMIT rowsReset();
        Q_EMIT repositioned();
        throw;
    }
    Q_EMIT rowsReset();
    Q_EMIT repositioned();
    if (unreadable)
        throw *unreadable;
}

void DataSource::close() {
    const bool wasOpen = isOpen();
    d->closeConnection();
    if (wasOpen) {
        Q_EMIT rowsReset();
        Q_EMIT repositioned();
    }
}

bool DataSource::isOpen() const {
    return d->db != nullptr;
}

bool DataSource::bof() const {
    return !d->adding && !d->deleted && (d->count() == 0 || d->pos < 0);
}

bool DataSource::eof() const {
    return !d->adding && !d->deleted && (d->count() == 0 || d->pos >= d->count());
}

int DataSource::absolutePosition() const {
    return d->onRow() ? d->pos : -1;
}

qint64 DataSource::rowId() const {
    return d->onRow() && d->pos < d->keys.size() ? d->keys[d->pos] : -1;
}

int DataSource::recordCount() const {
    return d->count();
}

void DataSource::moveFirst() {
    d->move([this] { return d->count() > 0 ? 0 : d->pos; });
}

void DataSource::moveLast() {
    d->move([this] { return d->count() > 0 ? d->count() - 1 : d->pos; });
}

void DataSource::moveNext() {
    d->move([this] {
        if (d->deleted)
            return d->pos; // the row that followed the deleted one stands in its place now
        return d->pos >= d->count() ? d->count() : d->pos + 1;
    });
}

void DataSource::movePrevious() {
    d->move([this] {
        if (d->deleted)
            return d->pos - 1;
        return d->pos < 0 ? -1 : std::min(d->pos, d->count()) - 1;
    });
}

void DataSource::moveTo(int position) {
    if (!isOpen())
        return;
    if (position < 0 || position >= d->count())
        noCurrentRecord();
    d->move([position] { return position; });
}

void DataSource::addNew() {
    if (!isOpen())
        noCurrentRecord();
    d->finishKeyset();
    const Impl::Flushed flushed = d->flush();
    d->addFromPos = d->pos;
    d->addFromDeleted = d->deleted;
    d->adding = true;
    d->deleted = false;
    d->current.clear();
    d->emitAfterFlush(flushed, true);
}

bool DataSource::isAdding() const {
    return d->adding;
}

void DataSource::update() {
    if (!isOpen())
        noCurrentRecord();
    d->finishKeyset();
    const Impl::Flushed flushed = d->flush();
    d->emitAfterFlush(flushed, flushed.currentChanged);
}

void DataSource::cancelUpdate() {
    const bool hadEdits = !d->edits.isEmpty();
    d->edits.clear();
    if (!d->adding) {
        // Bound controls show the stored values again.
        if (hadEdits)
            Q_EMIT repositioned();
        return;
    }
    d->adding = false;
    d->pos = d->addFromPos;
    d->deleted = d->addFromDeleted;
    d->loadCurrent();
    Q_EMIT repositioned();
}

void DataSource::Impl::removeRows(const QList<int>& positions) {
    QVector<qint64> ids;
    ids.reserve(positions.size());
    for (int position : positions)
        ids.append(keys[position]);
    Savepoint step(*db, "delete_rows");
    if (remover) {
        remover(*db, ids);
    } else {
        Statement remove(
            *db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(dialect::quoteName(table)));
        for (qint64 id : ids) {
            remove.bind(1, id);
            remove.step();
            remove.reset();
        }
    }
    step.release();
    // Rows written since the refresh move up by the removed rows above them.
    for (qint64 id : ids)
        outOfPlace.remove(id);
    for (auto it = outOfPlace.begin(); it != outOfPlace.end(); ++it)
        it.value() -= int(std::lower_bound(positions.begin(), positions.end(), it.value()) -
                          positions.begin());
    QVector<qint64> kept;
    kept.reserve(keys.size() - positions.size());
    for (int position = 0, next = 0; position < keys.size(); ++position) {
        if (next < positions.size() && positions[next] == position)
            ++next;
        else
            kept.append(keys[position]);
    }
    keys = std::move(kept);
    pos = positions.first();
    positionsValid = false;
    cache.clear();
    edits.clear();
    current.clear();
    deleted = true;
}

void DataSource::deleteCurrent() {
    if (!isOpen())
        noCurrentRecord();
    if (d->adding) {
        // The new row was never stored; dropping it is its deletion. It stood after the last row.
        d->adding = false;
        d->edits.clear();
        d->pos = d->count();
        d->deleted = true;
        return;
    }
    if (!d->onRow())
        noCurrentRecord();
    d->finishKeyset();
    d->removeRows({d->pos});
    Q_EMIT rowsReset();
}

void DataSource::deleteRows(QList<int> positions) {
    if (!isOpen())
        noCurrentRecord();
    d->finishKeyset();
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    if (positions.isEmpty())
        return;
    if (positions.first() < 0 || positions.last() >= d->count())
        noCurrentRecord();
    moveTo(positions.first());
    d->removeRows(positions);
    Q_EMIT rowsReset();
}

void DataSource::setRemover(Remover remover) {
    d->remover = std::move(remover);
}

bool DataSource::isDeleted() const {
    return d->deleted;
}

void DataSource::findFirst(const QString& criterion) {
    if (!isOpen())
        noCurrentRecord();
    Statement search(*d->db, criterionQuery(d->table, criterion), Statement::Access::ReadOnly);
    // A match among the rows read with the first card (a find just after a refresh that lands
    // near the top, as the search dialog's first one does) is placed without waiting for the
    // rest of the keyset. Typing to write first, or a match further down, waits for it.
    std::optional<int> early;
    if (d->reader && !d->adding && d->edits.isEmpty())
        early = d->findBySortKey(criterionExpression(criterion), true);
    if (!early)
        d->finishKeyset();
    // The search sees the card as the user left it.
    const Impl::Flushed flushed = d->flush();
    int best = -1;
    try {
        const std::optional<int> found =
            early ? early : d->findBySortKey(criterionExpression(criterion));
        if (found) {
            best = *found;
        } else {
            d->ensurePositions();
            while (search.step()) {
                const int at = d->positionOf.value(search.columnInt64(0), -1);
                if (at >= 0 && (best < 0 || at < best))
                    best = at;
            }
        }
    } catch (const PlatformError&) {
        d->emitAfterFlush(flushed, flushed.currentChanged);
        throw;
    }
    d->noMatch = best < 0;
    if (d->noMatch) {
        d->emitAfterFlush(flushed, flushed.currentChanged);
        return;
    }
    d->pos = best;
    d->deleted = false;
    const std::optional<PlatformError> unreadable = d->loadCurrent();
    d->emitAfterFlush(flushed, true);
    if (unreadable)
        throw *unreadable;
}

bool DataSource::noMatch() const {
    return d->noMatch;
}

QStringList DataSource::fieldNames() const {
    return d->fields;
}

QVariant DataSource::value(const QString& field) const {
    const int index = d->field(field);
    if (index < 0)
        return {};
    const auto edit = d->edits.constFind(index);
    if (edit != d->edits.cend())
        return edit.value();
    if (!d->onRow() || index >= d->current.size())
        return {};
    return d->current[index];
}

void DataSource::setValue(const QString& field, const QVariant& value) {
    const int index = d->field(field);
    if (index < 0)
        throw PlatformError(
            EngineNumber::ItemNotFound,
            QStringLiteral("Item not found in this collection: \"%1\".").arg(field));
    if (!d->adding && !d->onRow())
        noCurrentRecord();
    const QVariant next = normalized(value);
    const QVariant stored =
        d->adding || index >= d->current.size() ? QVariant() : d->current[index];
    // Typing a value back to what is stored leaves nothing to write.
    if (sameValue(next, stored))
        d->edits.remove(index);
    else
        d->edits.insert(index, next);
}

bool DataSource::hasPendingEdits() const {
    return !d->edits.isEmpty();
}

int DataSource::rowCount() const {
    return d->count();
}

QVariant DataSource::valueAt(int position, const QString& field) const {
    if (!isOpen() || position < 0 || position >= d->count())
        return {};
    if (position >= int(d->keys.size()))
        d->finishKeyset();
    const int index = d->field(field);
    if (index < 0)
        return {};
    if (position == d->pos && d->onRow())
        return value(field);
    const int column = d->gridColumnOf[index];
    if (column < 0)
        return {};
    const QVariantList* row = d->cache.row(position);
    if (!row) {
        d->loadBlock(d->cache.blockOf(position));
        row = d->cache.row(position);
    }
    if (!row || column >= row->size())
        return {};
    return row->at(column);
}

} // namespace quillory::engine
