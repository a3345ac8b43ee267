// The restore: the back-up, mended where it lies, compacted into the book's place.

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "maintenance/frmGetDB.h"
#include "maintenance/Maintenance.h"
#include "maintenance/MaintenanceSteps.h"
#include "platform/engine/Database.h"
#include "platform/files/FileOps.h"

#include <exception>
#include <functional>
#include <future>
#include <optional>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace quillory {

using namespace maintenance;

namespace {

void tellNotFound(QWidget* parent) {
    tell(parent, QStringLiteral("A backed up database file cannot be found."),
         ui::Icon::Exclamation);
}

// Only a book of this program is taken for a back-up: our marks, table PhoneBK with every
// contact field, and nothing in its schema that would run on its own (a trigger or a view),
// as the book itself must be to be opened. The file is opened read-only.
bool isBookOfOurs(const QString& path) {
    try {
        return bookfiles::checkBook(path).condition == bookfiles::BookCondition::Usable;
    } catch (const PlatformError&) {
        return false;
    }
}

// True when one of the engine's checks ("integrity_check", "quick_check") finds nothing wrong
// with the file. A file that cannot be opened throws.
bool checkFindsNothing(const QString& path, const QString& check) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    engine::Statement run(*db, QStringLiteral("PRAGMA %1").arg(check));
    QStringList findings;
    while (run.step())
        findings.append(run.column(0).toString());
    return findings == QStringList{QStringLiteral("ok")};
}

bool passesIntegrityCheck(const QString& path) {
    try {
        return checkFindsNothing(path, QStringLiteral("integrity_check"));
    } catch (const PlatformError&) {
        return false;
    }
}

bool isMissingBackup(const std::exception& error) {
    const auto* platform = dynamic_cast<const PlatformError*>(&error);
    return platform &&
           isOneOf(*platform, {ErrorNumber::EngineFileNotFound, ErrorNumber::EngineInvalidName});
}

// What the engine's quick check, which reads every page of the file, makes of a back-up. The
// restored copy takes the rows only and builds its indexes afresh, so the slower comparison of
// the back-up's indexes with its rows would add nothing but time.
enum class BackupState { Sound, Damaged, Missing };

BackupState inspect(const QString& path) {
    try {
        return checkFindsNothing(path, QStringLiteral("quick_check")) ? BackupState::Sound
                                                                      : BackupState::Damaged;
    } catch (const PlatformError& error) {
        return isMissingBackup(error) ? BackupState::Missing : BackupState::Damaged;
    }
}

// Deletes a restored copy that is not to be used. One that cannot be deleted is cleared by the
// next restore.
void discard(const QString& path) {
    try {
        if (QFileInfo::exists(path))
            files::deleteFile(path);
    } catch (const PlatformError&) {
    }
}

// The restore from the back-up at the path `backupPath` gives (asked again before the copy,
// as the chosen-folder dialog sets its label anew).
void restoreFrom(AppContext& app, const std::function<QString()>& backupPath) {
    QWidget* parent = messageParent(app);
    if (!confirm(parent,
                 QStringLiteral("Are you sure you want to continue? This will restore your "
                                "Database from your previous back-up!"),
                 QStringLiteral("Restore Database"))) {
        return;
    }
    QString backup = backupPath();
    if (!QFileInfo::exists(backup)) {
        tellNotFound(parent);
        return;
    }
    if (!isBookOfOurs(backup)) {
        tell(parent,
             QStringLiteral("\"%1\" is not an address book of Quillory, so nothing has been "
                            "restored.\n\nThe book is unchanged.")
                 .arg(QDir::toNativeSeparators(backup)),
             ui::Icon::Exclamation);
        return;
    }

    // The back-up is checked while the restored copy is written: both read the whole file,
    // and side by side they take the time of one.
    auto inspection = std::async(std::launch::async, [backup] { return inspect(backup); });

    const QString book = app.folder().file(contact::file::Book);
    const QString incoming = bookfiles::beingWrittenName(book);
    BookRelease hold(app);
    bool keptAside = false;
    try {
        if (!hold.release())
            return;
        bookfiles::recoverKeptAside(book);
        backup = backupPath();
        std::exception_ptr copyFailure;
        try {
            // The restored book is complete and checked before the current one is touched.
            bookfiles::prepareCompactedCopy(backup, incoming);
        } catch (const std::exception&) {
            copyFailure = std::current_exception();
        }
        const BackupState state = inspection.get();
        if (state == BackupState::Missing) {
            discard(incoming);
            hold.reopen();
            tellNotFound(parent);
            return;
        }
        if (state == BackupState::Damaged) {
            // A damaged back-up is mended where it lies and copied again. One that cannot be
            // mended (it lies on a disk that cannot be written, say) is taken as it is, but
            // only when it is sound after all.
            try {
                bookfiles::reportStep(bookfiles::Step::Repair, backup);
                engine::RepairDatabase(backup);
            } catch (const PlatformError& error) {
                if (isMissingBackup(error) || !passesIntegrityCheck(backup)) {
                    discard(incoming);
                    hold.reopen();
                    tellNotFound(parent);
                    return;
                }
            }
            copyFailure = nullptr;
            bookfiles::prepareCompactedCopy(backup, incoming);
        }
        if (copyFailure)
            std::rethrow_exception(copyFailure);
        try {
            bookfiles::keepAside(book);
            keptAside = true;
        } catch (const PlatformError& error) {
            if (error.number() != ErrorNumber::FileNotFound) // no book to keep: nothing to lose
                throw;
        }
        bookfiles::reportStep(bookfiles::Step::Swap, book);
        files::replaceFile(incoming, book);
    } catch (const std::exception& error) {
        if (inspection.valid())
            inspection.wait();
        discard(incoming);
        try {
            // The book is still in place when it was kept under a second name; moved aside,
            // it comes back.
            if (keptAside && QFileInfo::exists(book))
                bookfiles::dropKeptAside(book);
            else if (keptAside)
                bookfiles::putBack(book);
        } catch (const PlatformError&) {
            // Whatever stays kept aside is put back when the book is next missed.
        }
        hold.reopen();
        if (isMissingBackup(error))
            tellNotFound(parent);
        else
            tell(
                parent,
                failureText(QStringLiteral("The Database could not be restored."), reasonOf(error)),
                ui::Icon::Exclamation);
        return;
    }

    // With the previous book at hand, a restored book that cannot be opened is not reported
    // as such: the previous one comes back instead.
    if (!hold.reopen(/*reportFailure=*/!keptAside) && keptAside) {
        try {
            bookfiles::putBack(book);
        } catch (const PlatformError&) {
        }
        if (hold.release())
            hold.reopen();
        tell(parent,
             failureText(QStringLiteral("The Database could not be restored."),
                         QStringLiteral("The restored copy could not be opened.")),
             ui::Icon::Exclamation);
        return;
    }
    if (keptAside)
        bookfiles::dropKeptAside(book);
    tell(parent, QStringLiteral("The Database has been Restored."));
}

} // namespace

void RestoreFromProgramFolder(AppContext& app) {
    const QString backup = app.folder().file(contact::file::Backup);
    restoreFrom(app, [backup] { return backup; });
}

void RestoreFromChosenFolder(AppContext& app, frmGetDB& dialog) {
    restoreFrom(app, [&dialog] {
        dialog.showBackupPath();
        return dialog.Label2->text();
    });
}

} // namespace quillory
