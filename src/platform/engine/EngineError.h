#pragma once

#include "platform/files/PlatformError.h"

#include <QString>

struct sqlite3;

namespace quillory::engine {

// Engine numbers that only the engine itself gives; the ones the program's messages are chosen
// by live in ErrorNumber.
namespace EngineNumber {
constexpr int Reserved = 3000;      // an engine failure with no better number
constexpr int OutOfMemory = 3035;   // the engine ran out of memory
constexpr int DiskIO = 3043;        // the disk could not be read or written
constexpr int TableNotFound = 3078; // the record source names a table the file lacks
constexpr int ItemNotFound = 3265;  // no field of that name
} // namespace EngineNumber

// The one place where SQLite's result codes (extended codes included) and the errno behind
// them become the program's engine numbers.
int engineErrorNumber(int extendedCode, int systemErrno);

// The error for a failed SQLite call on `db` (which may be null): `what` went wrong, followed
// by SQLite's own message and the system's reason where there is one.
PlatformError engineError(sqlite3* db, int rc, const QString& what);
[[noreturn]] void throwEngineError(sqlite3* db, int rc, const QString& what);

// Refuses names no file can have (3055): empty, with a NUL, a part longer than the file
// system allows, or a path too long to open.
void checkFileName(const QString& path);

// The path handed to SQLite: absolute, so that a name beginning "file:" is never read as a URI.
QByteArray nativeDatabasePath(const QString& path);

} // namespace quillory::engine
