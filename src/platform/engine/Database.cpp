#include "platform/engine/Database.h"

#include "platform/engine/Dialect.h"
#include "platform/engine/EngineError.h"
#include "platform/files/FileOps.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QUuid>
#include <sqlite3.h>
#include <unistd.h>

namespace quillory::engine {

namespace {

// A second program (or a back-up tool) may hold the file for a moment; waiting longer than this
// would freeze the window, and within one program nothing is released while we wait.
constexpr int busyTimeoutMs = 500;

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

void configureConnection(sqlite3* db, const QString& path) {
    sqlite3_extended_result_codes(db, 1);
    const std::pair<int, int> settings[] = {
        {SQLITE_DBCONFIG_DEFENSIVE, 1},
        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
        {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0},
        // Double-quoted texts are literals in the program's dialect and translated to single
        // quotes; SQLite's own fallback from a name to a literal is turned off.
        {SQLITE_DBCONFIG_DQS_DML, 0},
        {SQLITE_DBCONFIG_DQS_DDL, 0},
        // The system's library is built with fts3_tokenizer() able to take a pointer.
        {SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0},
    };
    for (const auto& [option, onOff] : settings) {
        const int rc = sqlite3_db_config(db, option, onOff, nullptr);
        if (rc != SQLITE_OK)
            throwEngineError(db, rc, QStringLiteral("\"%1\" cannot be set up").arg(path));
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    // A change is reported done when its commit returns; FULL syncs the journal and the file
    // but not the folder the journal is deleted from, so a power cut right after could bring
    // the journal back and roll the finished change back. EXTRA syncs the folder too. The
    // rollback journal stays: the book is one file, which is what back-up and restore copy.
    int rc = sqlite3_exec(db, "PRAGMA synchronous = EXTRA", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throwEngineError(db, rc, QStringLiteral("\"%1\" cannot be set up").arg(path));
    rc = dialect::registerFunctions(db);
    if (rc != SQLITE_OK)
        throwEngineError(db, rc, QStringLiteral("\"%1\" cannot be set up").arg(path));
}

Connection openConnection(const QString& path, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(nativeDatabasePath(path).constData(), &raw,
                                   flags | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection db(raw);
    if (rc != SQLITE_OK)
        throwEngineError(db.get(), rc, QStringLiteral("\"%1\" cannot be opened").arg(path));
    configureConnection(db.get(), path);
    return db;
}

// A writer killed in the middle of a change, or stopped by a full disk, leaves a hot journal
// beside the file, and the file is whole again only once that journal is played back. Only a
// connection that may write can do that; a read-only one refuses to read instead ("attempt to
// write a readonly database"). So a read-only open first lets a writing connection read once,
// which plays the journal back, when there is a journal and the file can be written. A journal
// of a writer still at work is not hot and is left alone by that read.
void rollBackHotJournal(const QString& path) {
    const QString file = QFileInfo(path).canonicalFilePath();
    const QFileInfo journal(file + QStringLiteral("-journal"));
    if (file.isEmpty() || !journal.exists() || journal.size() == 0 ||
        ::access(QFile::encodeName(file).constData(), W_OK) != 0)
        return;
    // A failure here is the read-only open's to report.
    try {
        const Connection db = openConnection(path, SQLITE_OPEN_READWRITE);
        sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    } catch (const PlatformError&) {
    }
}

// Lets a statement being prepared read and call functions, and nothing else.
int readOnlyAuthorizer(void*, int action, const char*, const char*, const char*, const char*) {
    switch (action) {
    case SQLITE_READ:
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
        return SQLITE_OK;
    default:
        return SQLITE_DENY;
    }
}

class AuthorizerScope {
public:
    AuthorizerScope(sqlite3* db, bool readOnly) : m_db(readOnly ? db : nullptr) {
        if (m_db)
            sqlite3_set_authorizer(m_db, &readOnlyAuthorizer, nullptr);
    }
    ~AuthorizerScope() {
        if (m_db)
            sqlite3_set_authorizer(m_db, nullptr, nullptr);
    }
    AuthorizerScope(const AuthorizerScope&) = delete;
    AuthorizerScope& operator=(const AuthorizerScope&) = delete;

private:
    sqlite3* m_db;
};

[[noreturn]] void refuseStatement(const QString& why) {
    throw PlatformError(ErrorNumber::EngineSyntax, why);
}

} // namespace

// --- Database ------------------------------------------------------------------------------

Database::Database(sqlite3* db, QString path) : m_db(db), m_path(std::move(path)) {}

Database::~Database() {
    sqlite3_close_v2(m_db);
}

std::unique_ptr<Database> Database::open(const QString& path, Mode mode) {
    checkFileName(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw PlatformError(ErrorNumber::EngineFileNotFound,
                            QStringLiteral("The file \"%1\" could not be found.").arg(path));
    if (info.isDir())
        throw PlatformError(ErrorNumber::EngineNotReadable,
                            QStringLiteral("\"%1\" is a folder, not a database file.").arg(path));
    // SQLite would take an empty file for a new database and write one into it.
    if (info.size() == 0)
        throw PlatformError(
            ErrorNumber::EngineNotReadable,
            QStringLiteral("\"%1\" is not a database: the file is empty.").arg(path));

    if (mode == Mode::ReadOnly)
        rollBackHotJournal(path);
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    Connection db = openConnection(path, flags);
    // Opening never reads the file; the first statement tells a database from anything else.
    const int rc =
        sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throwEngineError(db.get(), rc, QStringLiteral("\"%1\" cannot be read").arg(path));
    return std::unique_ptr<Database>(new Database(db.release(), path));
}

std::unique_ptr<Database> Database::createNew(const QString& path) {
    checkFileName(path);
    if (QFileInfo::exists(path))
        throw PlatformError(ErrorNumber::EngineAlreadyExists,
                            QStringLiteral("The file \"%1\" already exists.").arg(path));
    Connection db = openConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    return std::unique_ptr<Database>(new Database(db.release(), path));
}

void Database::exec(const QString& sql) {
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throwEngineError(m_db, rc,
                         QStringLiteral("The database \"%1\" refused a command").arg(m_path));
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    Statement statement(*this, sql);
    statement.bindAll(params);
    return statement.step() ? statement.column(0) : QVariant();
}

bool Database::isBook() {
    try {
        if (scalar(QStringLiteral("PRAGMA application_id")).toLongLong() != book::applicationId)
            return false;
        return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                     "AND lower(name) = lower(?)"),
                      {book::tableName()})
                   .toInt() == 1;
    } catch (const PlatformError&) {
        return false;
    }
}

// --- Statement -----------------------------------------------------------------------------

Statement::Statement(const Database& db, const QString& sql, Access access)
    : Statement(db.handle(), sql, access) {}

Statement::Statement(sqlite3* db, const QString& sql, Access access) : m_db(db) {
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    int rc = SQLITE_OK;
    {
        const AuthorizerScope scope(db, access == Access::ReadOnly);
        rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, &tail);
    }
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        throwEngineError(db, rc, QStringLiteral("The SQL statement is not valid"));
    }
    if (!m_stmt)
        refuseStatement(QStringLiteral("The SQL statement is empty."));
    const qsizetype used = tail ? tail - text.constData() : text.size();
    if (!text.mid(used).trimmed().isEmpty()) {
        sqlite3_finalize(m_stmt);
        refuseStatement(QStringLiteral("Characters found after the end of the SQL statement."));
    }
    if (access == Access::ReadOnly && !sqlite3_stmt_readonly(m_stmt)) {
        sqlite3_finalize(m_stmt);
        refuseStatement(QStringLiteral("The SQL statement would change the database."));
    }
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    const int type = value.typeId();
    if (!value.isValid() || (type == QMetaType::QString && value.toString().isNull()) ||
        type == QMetaType::Nullptr) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else if (type == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                 SQLITE_TRANSIENT);
    } else if (type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::UInt ||
               type == QMetaType::LongLong || type == QMetaType::ULongLong ||
               type == QMetaType::Short || type == QMetaType::Long) {
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
    } else if (type == QMetaType::Double || type == QMetaType::Float) {
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
    } else {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text64(m_stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    if (rc != SQLITE_OK)
        throwEngineError(m_db, rc, QStringLiteral("A value cannot be bound"));
}

void Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const PlatformError error = engineError(m_db, rc, QStringLiteral("The query failed"));
    sqlite3_reset(m_stmt);
    throw error;
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QVariant Statement::column(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        // A text that begins with U+FEFF keeps it: it is the field's own, not a byte-order mark.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return QVariant(
            QString(decoder(QByteArrayView(text, sqlite3_column_bytes(m_stmt, column)))));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, column)));
    }
    default:
        return QVariant();
    }
}

qint64 Statement::columnInt64(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

Savepoint::Savepoint(Database& db, const char* name) : m_db(db), m_name(QString::fromLatin1(name)) {
    m_db.exec(QStringLiteral("SAVEPOINT ") + m_name);
}

Savepoint::~Savepoint() {
    if (!m_open)
        return;
    // A failed step is undone; its own failure is what the caller is told.
    const QByteArray undo = QStringLiteral("ROLLBACK TO %1; RELEASE %1").arg(m_name).toUtf8();
    sqlite3_exec(m_db.handle(), undo.constData(), nullptr, nullptr, nullptr);
}

void Savepoint::release() {
    m_db.exec(QStringLiteral("RELEASE ") + m_name);
    m_open = false;
}

TableColumns tableColumns(Database& db, const QString& table) {
    Statement info(db, QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"));
    info.bind(1, table);
    TableColumns columns;
    int keyColumns = 0;
    QString integerKey;
    while (info.step()) {
        columns.names.append(info.column(0).toString());
        columns.types.append(info.column(1).toString());
        if (info.column(2).toInt() > 0) {
            ++keyColumns;
            if (columns.types.last().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
                integerKey = columns.names.last();
        }
    }
    // Only a primary key of one INTEGER column stands for the row id.
    if (keyColumns == 1)
        columns.rowidAlias = integerKey;
    return columns;
}

// --- the book --------------------------------------------------------------------------------

namespace book {

QString tableName() {
    return QStringLiteral("PhoneBK");
}

const QStringList& fieldNames() {
    static const QStringList names = {
        QStringLiteral("name"),     QStringLiteral("namef"),    QStringLiteral("address1"),
        QStringLiteral("address2"), QStringLiteral("city"),     QStringLiteral("state"),
        QStringLiteral("zip"),      QStringLiteral("phone"),    QStringLiteral("phone2"),
        QStringLiteral("pager"),    QStringLiteral("phone3"),   QStringLiteral("fax"),
        QStringLiteral("fax2"),     QStringLiteral("Birthday"), QStringLiteral("email"),
        QStringLiteral("extra6"),   QStringLiteral("remarks"),  QStringLiteral("extra4"),
        QStringLiteral("extra8"),   QStringLiteral("extra7"),   QStringLiteral("extra1"),
        QStringLiteral("extra2"),   QStringLiteral("extra3"),   QStringLiteral("extra5"),
        QStringLiteral("bitmap"),
    };
    return names;
}

const QStringList& keptFields() {
    static const QStringList names = {QStringLiteral("uid"), QStringLiteral("rev"),
                                      QStringLiteral("birthdate")};
    return names;
}

namespace {

QString fieldDefinition(const QString& field) {
    return field == QLatin1String("bitmap") ? QStringLiteral("bitmap BLOB")
                                            : field + QStringLiteral(" TEXT COLLATE NOCASE");
}

QString tableDefinition(const QString& quotedName) {
    QStringList columns{QStringLiteral("id INTEGER PRIMARY KEY")};
    for (const QString& field : fieldNames() + keptFields())
        columns.append(fieldDefinition(field));
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quotedName, columns.join(QStringLiteral(", ")));
}

// `ifMissing` leaves an index of that name alone.
QString indexDefinitions(bool ifMissing) {
    return QStringLiteral(
               // The sorted record sources walk this index and never touch the rows.
               "CREATE INDEX %1%2_name ON %2 (name, namef);"
               // The views filter on the contact type and sort by name.
               "CREATE INDEX %1%2_extra4 ON %2 (extra4, name, namef);"
               // The search dialog finds the main window's card by the full name.
               "CREATE INDEX %1%2_extra8 ON %2 (extra8);")
        .arg(ifMissing ? QStringLiteral("IF NOT EXISTS ") : QString(), tableName());
}

QString schemaSql() {
    return QStringLiteral("BEGIN;"
                          "PRAGMA application_id = %1;"
                          "PRAGMA user_version = %2;"
                          "%3;%4"
                          "COMMIT;")
        .arg(applicationId)
        .arg(schemaVersion)
        .arg(tableDefinition(tableName()), indexDefinitions(false));
}

// "table" or "view" for PhoneBK, empty when there is none.
QString bookTableType(Database& db) {
    return db
        .scalar(QStringLiteral("SELECT type FROM sqlite_master WHERE type IN ('table', 'view') "
                               "AND lower(name) = lower(?)"),
                {tableName()})
        .toString();
}

QStringList missingFields(Database& db, const QStringList& fields = fieldNames()) {
    const QStringList columns = tableColumns(db, tableName()).names;
    QStringList missing;
    for (const QString& field : fields) {
        if (!columns.contains(field, Qt::CaseInsensitive))
            missing.append(field);
    }
    return missing;
}

// The triggers and views of the schema, as (type, name).
QList<QPair<QString, QString>> schemaExtras(Database& db) {
    Statement list(db, QStringLiteral("SELECT type, name FROM sqlite_master WHERE type IN "
                                      "('trigger', 'view') ORDER BY type, name"));
    QList<QPair<QString, QString>> extras;
    while (list.step())
        extras.append({list.column(0).toString(), list.column(1).toString()});
    return extras;
}

} // namespace

void create(const QString& path) {
    std::unique_ptr<Database> db = Database::createNew(path);
    try {
        db->exec(schemaSql());
    } catch (const PlatformError&) {
        db.reset();
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        throw;
    }
    // The new file's name is as durable as its contents.
    files::syncFolder(QFileInfo(path).absolutePath());
}

Shape checkShape(Database& db) {
    using Verdict = Shape::Verdict;
    if (db.scalar(QStringLiteral("PRAGMA application_id")).toLongLong() != applicationId)
        return {Verdict::Foreign, QStringLiteral("it is not an address book of Quillory")};
    const QString type = bookTableType(db);
    if (type.isEmpty())
        return {Verdict::Foreign, QStringLiteral("it holds no table of contacts (PhoneBK)")};
    if (type == QLatin1String("view"))
        return {Verdict::Mendable,
                QStringLiteral("its PhoneBK is a view, not the table of contacts")};
    const QStringList missing = missingFields(db);
    if (!missing.isEmpty())
        return {Verdict::Mendable, QStringLiteral("its table PhoneBK lacks the field%1 %2")
                                       .arg(missing.size() > 1 ? QStringLiteral("s") : QString(),
                                            missing.join(QStringLiteral(", ")))};
    const auto extras = schemaExtras(db);
    if (!extras.isEmpty()) {
        const auto& [kind, name] = extras.first();
        return {Verdict::Mendable,
                kind == QLatin1String("trigger")
                    ? QStringLiteral("it holds a trigger, \"%1\", that would run on its own "
                                     "when contacts change")
                          .arg(name)
                    : QStringLiteral("it holds a view, \"%1\", which the program never makes")
                          .arg(name)};
    }
    return {};
}

void mendShape(Database& db) {
    db.exec(QStringLiteral("SAVEPOINT mend_shape"));
    try {
        const QString table = tableName();
        const QString type = bookTableType(db);
        const QString mended = dialect::quoteName(table + QStringLiteral(" mended"));
        if (type != QLatin1String("table")) {
            // The rows the view shows become the table's; ids are given afresh.
            db.exec(tableDefinition(mended));
            if (!type.isEmpty()) {
                QStringList shared;
                const QStringList shown = tableColumns(db, table).names;
                for (const QString& field : fieldNames() + keptFields()) {
                    if (shown.contains(field, Qt::CaseInsensitive))
                        shared.append(dialect::quoteName(field));
                }
                if (!shared.isEmpty())
                    db.exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3")
                                .arg(mended, shared.join(u','), dialect::quoteName(table)));
            }
        }
        for (const auto& [kind, name] : schemaExtras(db))
            db.exec(QStringLiteral("DROP %1 IF EXISTS %2").arg(kind, dialect::quoteName(name)));
        if (type != QLatin1String("table")) {
            db.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(mended, table));
        } else {
            for (const QString& field : missingFields(db))
                db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                            .arg(table, fieldDefinition(field)));
        }
        addKeptFields(db);
        db.exec(indexDefinitions(true));
        db.exec(QStringLiteral("RELEASE mend_shape"));
    } catch (const PlatformError&) {
        db.exec(QStringLiteral("ROLLBACK TO mend_shape; RELEASE mend_shape"));
        throw;
    }
}

void addKeptFields(Database& db) {
    const QStringList missing = missingFields(db, keptFields());
    if (missing.isEmpty() &&
        db.scalar(QStringLiteral("PRAGMA user_version")).toInt() >= schemaVersion)
        return;
    db.exec(QStringLiteral("SAVEPOINT kept_fields"));
    try {
        for (const QString& field : missing)
            db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                        .arg(tableName(), fieldDefinition(field)));
        db.exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion));
        db.exec(QStringLiteral("RELEASE kept_fields"));
    } catch (const PlatformError&) {
        db.exec(QStringLiteral("ROLLBACK TO kept_fields; RELEASE kept_fields"));
        throw;
    }
}

QString newUid() {
    return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString revisionNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

void indexUids(Database& db) {
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1_uid ON %1 (uid)").arg(tableName()));
}

void giveMissingUids(Database& db) {
    indexUids(db);
    // A random (version 4) UUID per row, made by the engine so that one statement serves the
    // whole book.
    db.exec(QStringLiteral(
                "UPDATE %1 SET uid = 'urn:uuid:' || lower(hex(randomblob(4))) || '-' || "
                "lower(hex(randomblob(2))) || '-4' || substr(lower(hex(randomblob(2))), 2) || "
                "'-' || substr('89ab', 1 + abs(random() % 4), 1) || "
                "substr(lower(hex(randomblob(2))), 2) || '-' || lower(hex(randomblob(6))) "
                "WHERE uid IS NULL")
                .arg(tableName()));
}

QString mergedUidTable() {
    return QStringLiteral("MergedUid");
}

bool hasTable(Database& db, const QString& table) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                    "lower(name) = lower(?)"),
                     {table})
               .toInt() > 0;
}

QString mergedUidOf(Database& db, const QString& uid) {
    if (uid.isEmpty() || !hasTable(db, mergedUidTable()))
        return {};
    Statement next(
        db, QStringLiteral("SELECT into_uid FROM %1 WHERE old_uid = ?").arg(mergedUidTable()));
    QString current = uid;
    QSet<QString> seen{uid};
    // A merge of a merged contact leads on; a loop (merges undone and done the other way round)
    // ends where it would come round again.
    for (;;) {
        next.reset();
        next.bind(1, current);
        if (!next.step())
            break;
        const QString into = next.column(0).toString();
        if (into.isEmpty() || seen.contains(into))
            break;
        seen.insert(into);
        current = into;
    }
    next.reset();
    return current == uid ? QString() : current;
}

} // namespace book

QString placeholders(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks.append(QStringLiteral("?"));
    return marks.join(QStringLiteral(", "));
}

} // namespace quillory::engine
