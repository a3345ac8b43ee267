#pragma once

#include <QString>

namespace quillory {

class ProgramFolder;
namespace engine {
class DataSource;
}

// The steps that work on the book file as a whole, shared by start-up, shutdown and the
// maintenance commands.
namespace bookfiles {

// Creates an empty book, and the stand-by database beside it, when either is missing, so a
// first run just works. Never writes over a file that exists.
void ensureBookFiles(const ProgramFolder& folder);

// Points the data source at the stand-by database so the book file is not held open.
void ReleaseBook(engine::DataSource& data, const ProgramFolder& folder);
// Points it back at the book; the record source is kept and the first row becomes current.
void ReopenBook(engine::DataSource& data, const ProgramFolder& folder);

// Writes a compacted copy of `source` to `target` without ever losing what `target` held:
// the copy is written under a temporary name beside the target, checked, and only then
// swapped in. A previous file at `target` stays until the swap has succeeded. Throws
// PlatformError when any step fails; `target` is then as it was.
void writeCompactedCopy(const QString& source, const QString& target);

// The silent back-up made when the program closes: the book is compacted into the back-up
// file in the program folder. Failures are passed over without a message.
void AutoBackupOnExit(engine::DataSource& data, const ProgramFolder& folder);

} // namespace bookfiles
} // namespace quillory
