// Compacting and repairing the book in place.

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "maintenance/Maintenance.h"
#include "maintenance/MaintenanceSteps.h"
#include "platform/engine/Database.h"

#include <memory>
#include <QDir>

namespace quillory {

using namespace maintenance;

namespace {

// True when `path` is no database at all (an empty file, text), or is read as a database whose
// own marks say it is not a book: no mark of ours or no table PhoneBK. A database whose pages
// cannot be read that far may be a damaged book, and is left to the repair.
bool isNotABook(const QString& path) {
    std::unique_ptr<engine::Database> db;
    try {
        db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    } catch (const PlatformError& error) {
        return error.number() == ErrorNumber::EngineNotReadable;
    }
    try {
        if (db->scalar(QStringLiteral("PRAGMA application_id")).toLongLong() !=
            engine::book::applicationId)
            return true;
        return db->scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = "
                                         "'table' AND lower(name) = lower(?)"),
                          {engine::book::tableName()})
                   .toInt() == 0;
    } catch (const PlatformError&) {
        return false;
    }
}

} // namespace

void mnuComDB_Click(AppContext& app) {
    const QString book = app.folder().file(contact::file::Book);
    BookRelease hold(app);
    try {
        if (!hold.release())
            return;
        // The packed copy is written under its own name and checked before it is renamed over
        // the book in one step, so no moment passes without a complete book on the disk.
        bookfiles::writeCompactedCopy(book, book, app.folder().file(contact::file::CompactTemp));
    } catch (const std::exception& error) {
        hold.reopen();
        tell(messageParent(app),
             failureText(QStringLiteral("The Database could not be compacted."), reasonOf(error)),
             ui::Icon::Exclamation);
        return;
    }
    hold.reopen();
    tell(messageParent(app), QStringLiteral("The Database has been Compacted."));
}

void mnuRepDB_Click(AppContext& app) {
    const QString book = app.folder().file(contact::file::Book);
    // The repair mends a book's pages; it keeps a database's own marks and cannot make a
    // book of anything else, so such a file would come out of it as unusable as it went in.
    if (isNotABook(book)) {
        tell(messageParent(app),
             QStringLiteral("\"%1\" is not an address book of Quillory, so it has not been "
                            "repaired.\n\nThe file has been left as it is.")
                 .arg(QDir::toNativeSeparators(book)),
             ui::Icon::Exclamation);
        return;
    }
    BookRelease hold(app);
    try {
        if (!hold.release())
            return;
        // A damaged book is rebuilt beside itself and swapped in only when the rebuilt copy
        // passes its check; a healthy one is left as it is.
        bookfiles::reportStep(bookfiles::Step::Repair, book);
        engine::RepairDatabase(book);
    } catch (const std::exception& error) {
        hold.reopen();
        tell(messageParent(app),
             failureText(QStringLiteral("The Database could not be repaired."), reasonOf(error)),
             ui::Icon::Exclamation);
        return;
    }
    hold.reopen();
    tell(messageParent(app), QStringLiteral("The Database has been repaired."));
}

} // namespace quillory
