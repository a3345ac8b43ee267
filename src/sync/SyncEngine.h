#pragma once

#include <functional>
#include <QString>
#include <QStringList>

namespace quillory::sync {

class CardDavClient;

// What one sync did.
struct SyncSummary {
    qint64 sent = 0;      // cards written to the server (new, changed, conflict copies)
    qint64 received = 0;  // contacts added or changed in the book from the server
    qint64 deleted = 0;   // on either side
    qint64 conflicts = 0; // contacts edited on both sides, the book's version kept as a copy
    // Of `deleted`: contacts removed from the book because the server deleted them.
    qint64 removedHere = 0;
    QStringList notes; // single cards that could not be read or written, contacts removed

    // "3 sent, 12 received, 1 deleted, 1 conflict kept", then one line per note.
    QString text() const;
};

// Called between steps with what is done of the whole; false cancels (SyncError Cancelled).
using SyncProgress = std::function<bool(qint64 done, qint64 total)>;

// Brings the book `bookPath` and the client's address book in step, both ways. The book changes
// in one transaction; what is recorded as synced is only what the server confirmed, so a sync
// cut anywhere is taken up by the next one without doubling or losing a contact. Throws
// SyncError for what the server or the connection did, PlatformError for the book.
SyncSummary synchronize(const QString& bookPath, CardDavClient& client,
                        const SyncProgress& progress = {});

} // namespace quillory::sync
