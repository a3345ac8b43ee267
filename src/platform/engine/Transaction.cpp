#include "platform/engine/Transaction.h"

#include "platform/engine/Database.h"
#include "platform/engine/EngineError.h"

#include <sqlite3.h>

namespace quillory::engine {

Transaction::Transaction(Database& db, const QString& nothingDone)
    : m_db(db), m_nothingDone(nothingDone) {
    run("BEGIN IMMEDIATE");
    m_open = true;
}

Transaction::~Transaction() {
    if (m_open)
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    run("COMMIT");
    m_open = false;
}

void Transaction::run(const char* sql) {
    const int rc = sqlite3_exec(m_db.handle(), sql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return;
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
        throw PlatformError(ErrorNumber::EngineLocked,
                            QStringLiteral("The book \"%1\" is being written by another program; "
                                           "%2. Try again when it has finished.")
                                .arg(m_db.path(), m_nothingDone));
    throwEngineError(m_db.handle(), rc,
                     QStringLiteral("The book \"%1\" cannot be written").arg(m_db.path()));
}

} // namespace quillory::engine
