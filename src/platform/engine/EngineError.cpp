#include "platform/engine/EngineError.h"

#include <cerrno>
#include <climits>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <unistd.h>

namespace quillory::engine {

namespace {

// The errno behind a failed open or I/O call decides between a missing file, a refused one
// and a full disk; for other codes it adds nothing.
int numberForSystemError(int err, int fallback) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return ErrorNumber::EngineFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ETXTBSY:
        return ErrorNumber::EngineLocked;
    case ENOSPC:
    case EDQUOT:
        return ErrorNumber::EngineDiskFull;
    case ENAMETOOLONG:
        return ErrorNumber::EngineInvalidName;
    default:
        return fallback;
    }
}

// SQLite reports the errno of a failed write only when nothing ran after it, and rolling back
// the journal usually does. A file (or its folder) that cannot be written explains the failure
// as a refusal rather than a broken disk.
int errnoOfRefusedWrite(sqlite3* db, int extendedCode) {
    switch (extendedCode) {
    case SQLITE_IOERR_WRITE:
    case SQLITE_IOERR_FSYNC:
    case SQLITE_IOERR_DIR_FSYNC:
    case SQLITE_IOERR_TRUNCATE:
    case SQLITE_IOERR_DELETE:
        break;
    default:
        return 0;
    }
    const char* file = sqlite3_db_filename(db, "main");
    if (!file || !*file)
        return 0;
    if (::access(file, W_OK) != 0)
        return errno;
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(file)).absolutePath());
    if (::access(folder.constData(), W_OK) != 0)
        return errno;
    return 0;
}

} // namespace

int engineErrorNumber(int extendedCode, int systemErrno) {
    switch (extendedCode & 0xff) {
    case SQLITE_CANTOPEN:
        return numberForSystemError(systemErrno, ErrorNumber::EngineLocked);
    case SQLITE_IOERR:
        return numberForSystemError(systemErrno, EngineNumber::DiskIO);
    case SQLITE_FULL:
        return ErrorNumber::EngineDiskFull;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return ErrorNumber::EngineNotReadable;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_READONLY: // includes a file renamed or deleted under an open connection
    case SQLITE_PERM:
        return ErrorNumber::EngineLocked;
    case SQLITE_ERROR: // syntax, unknown names
    case SQLITE_AUTH:  // refused by the read-only authorizer
    case SQLITE_RANGE:
        return ErrorNumber::EngineSyntax;
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
        return ErrorNumber::EngineWriteFailed;
    case SQLITE_NOMEM:
        return EngineNumber::OutOfMemory;
    default:
        return EngineNumber::Reserved;
    }
}

PlatformError engineError(sqlite3* db, int rc, const QString& what) {
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const int code = (extended & 0xff) == (rc & 0xff) ? extended : rc;
    int err = db ? sqlite3_system_errno(db) : 0;
    if (db && err == 0)
        err = errnoOfRefusedWrite(db, code);
    QString reason =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    // The errno only explains codes that come from the file system.
    const int primary = code & 0xff;
    if (err != 0 &&
        (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR || primary == SQLITE_FULL))
        reason += QStringLiteral(" (%1)").arg(systemErrorText(err));
    return PlatformError(engineErrorNumber(code, err), QStringLiteral("%1: %2").arg(what, reason));
}

void throwEngineError(sqlite3* db, int rc, const QString& what) {
    throw engineError(db, rc, what);
}

void checkFileName(const QString& path) {
    auto refuse = [&](const QString& why) {
        throw PlatformError(ErrorNumber::EngineInvalidName,
                            QStringLiteral("\"%1\" is not a valid file name: %2").arg(path, why));
    };
    if (path.trimmed().isEmpty())
        refuse(QStringLiteral("the name is empty"));
    if (path.contains(QChar(0)))
        refuse(QStringLiteral("the name holds a NUL character"));
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() >= PATH_MAX)
        refuse(QStringLiteral("the path is too long"));
    for (const QByteArray& part : encoded.split('/')) {
        if (part.size() > NAME_MAX)
            refuse(QStringLiteral("a part of the path is longer than %1 bytes").arg(NAME_MAX));
    }
    if (path.endsWith(QLatin1Char('/')))
        refuse(QStringLiteral("the name ends in a folder separator"));
}

QByteArray nativeDatabasePath(const QString& path) {
    return QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

} // namespace quillory::engine
