// Compacting and repairing the book in place.

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "maintenance/Maintenance.h"
#include "maintenance/MaintenanceSteps.h"
#include "platform/engine/Database.h"

namespace quillory {

using namespace maintenance;

void mnuComDB_Click(AppContext& app) {
    const QString book = app.folder().file(contact::file::Book);
    BookRelease hold(app);
    try {
        hold.release();
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
    BookRelease hold(app);
    try {
        hold.release();
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
