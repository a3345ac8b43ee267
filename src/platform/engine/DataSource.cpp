#include "platform/engine/DataSource.h"

#include "platform/engine/Database.h"
#include "platform/engine/Dialect.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/OpenFiles.h"
#include "platform/engine/RecordSource.h"
#include "platform/engine/RowCache.h"

#include <algorithm>
#include <optional>
#include <QHash>
#include <QMap>
#include <sqlite3.h>

namespace quillory::engine {

namespace {

// Rows the grid reads with one query.
constexpr int gridBlockSize = 64;
// Blocks kept: a few screens of a large book either way of the visible rows.
constexpr int gridBlocksKept = 48;

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

} // namespace

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
    QString heldKey;
    QString table;
    QStringList fields;
    QVector<bool> isBlob;
    QHash<QString, int> fieldIndex; // lower-case name -> field
    QVector<int> gridColumnOf;      // field -> column of a grid row, -1 for photos

    QVector<qint64> keys;
    mutable QHash<qint64, int> positionOf;
    mutable bool positionsValid = false;

    int pos = 0; // -1 before the first row, keys.size() past the last
    bool adding = false;
    bool deleted = false;
    bool noMatch = false;
    int addFromPos = 0;
    bool addFromDeleted = false;
    QVariantList current; // empty when there is no readable current row
    QMap<int, QVariant> edits;

    std::unique_ptr<Statement> readRow;
    mutable std::unique_ptr<Statement> readBlock;
    mutable RowCache cache;

    int count() const { return int(keys.size()); }
    bool onRow() const { return !adding && !deleted && pos >= 0 && pos < count(); }
    int field(const QString& name) const { return fieldIndex.value(name.toLower(), -1); }

    void closeConnection() {
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
        pos = 0;
        adding = deleted = noMatch = false;
        current.clear();
        edits.clear();
        cache.clear();
    }

    void open();
    QString describeTable();
    std::unique_ptr<Statement> keysetStatement(const RecordSourcePlan& plan,
                                               const QString& idColumn);
    std::optional<PlatformError> loadCurrent();
    Flushed flush();
    void insertNewRow();
    void writeEdits();
    void emitAfterFlush(const Flushed& flushed, bool repositioned);
    template <typename Target> void move(Target target);
    void ensurePositions() const;
    void loadBlock(int block) const;
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

std::unique_ptr<Statement> DataSource::Impl::keysetStatement(const RecordSourcePlan& plan,
                                                             const QString& idColumn) {
    if (!plan.rowidQuery.isEmpty()) {
        try {
            return std::make_unique<Statement>(*db, plan.rowidQuery, Statement::Access::ReadOnly);
        } catch (const PlatformError&) {
            // A join or an alias can make the bare rowid ambiguous; the subquery still works.
        }
    }
    RecordSourcePlan subquery = plan;
    subquery.rowidQuery.clear();
    return std::make_unique<Statement>(*db, subqueryKeysetQuery(subquery, idColumn),
                                       Statement::Access::ReadOnly);
}

void DataSource::Impl::open() {
    // Always a new connection: one kept across a compaction or restore would point at the file
    // that was renamed away.
    db = Database::open(databaseName);
    heldKey = openfiles::hold(databaseName);
    const RecordSourcePlan plan = planRecordSource(recordSource);
    table = plan.baseTable;
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
    while (keyset->step())
        keys.append(keyset->columnInt64(0));
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

void DataSource::Impl::insertNewRow() {
    QStringList columns;
    QVariantList values;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
        columns.append(dialect::quoteName(fields[it.key()]));
        values.append(it.value());
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
}

void DataSource::Impl::writeEdits() {
    QStringList assignments;
    QVariantList values;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it) {
        assignments.append(dialect::quoteName(fields[it.key()]) + QStringLiteral(" = ?"));
        values.append(it.value());
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
    const Flushed flushed = flush();
    const int to = target();
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
    Statement remove(
        *d->db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(dialect::quoteName(d->table)));
    remove.bind(1, d->keys[d->pos]);
    remove.step();
    d->keys.remove(d->pos);
    d->positionsValid = false;
    d->cache.clear();
    d->edits.clear();
    d->current.clear();
    d->deleted = true;
    Q_EMIT rowsReset();
}

bool DataSource::isDeleted() const {
    return d->deleted;
}

void DataSource::findFirst(const QString& criterion) {
    if (!isOpen())
        noCurrentRecord();
    Statement search(*d->db, criterionQuery(d->table, criterion), Statement::Access::ReadOnly);
    // The search sees the card as the user left it.
    const Impl::Flushed flushed = d->flush();
    int best = -1;
    try {
        d->ensurePositions();
        while (search.step()) {
            const int at = d->positionOf.value(search.columnInt64(0), -1);
            if (at >= 0 && (best < 0 || at < best))
                best = at;
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
