#pragma once

#include <QString>

namespace quillory {
class ProgramFolder;
}

namespace quillory::sync {

// `--sync [URL] [--sync-user USER]`: syncs the book of `folder` without a window, with the
// server and user given (saved as the account once the sync succeeds), else the saved account.
// The password comes from QUILLORY_SYNC_PASSWORD, else the secret store, else it is asked for on
// the terminal without echo. The book is backed up first where the exit back-up is on, so what
// the server deleted can be restored. The summary goes to standard output, a failure is one line
// on the error stream; returns the exit code, 0 when done, else 1.
int runSyncCommandLine(const ProgramFolder& folder, const QString& url, const QString& user);

} // namespace quillory::sync
