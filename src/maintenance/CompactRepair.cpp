// Compacting and repairing the book in place.

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "maintenance/Maintenance.h"
#include "maintenance/MaintenanceSteps.h"
#include "platform/engine/Database.h"

#include <QDir>

namespace quillory {

using namespace maintenance;

namespace {

// True when `path` is read as a database whose own marks say it is not a book: no mark of ours
// or no table PhoneBK. A file that cannot be read that far may be a damaged book and is not
// called another program's.
bool isOtherProgramsDatabase(const QString& path) {
    try {
        auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
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
    // The repair keeps a database's own marks, so another program's file would come out of it
    // just as unusable as it went in.
    if (isOtherProgramsDatabase(book)) {
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
