// Compacting and repairing the book in place.

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "core/WorkProgress.h"
#include "maintenance/Maintenance.h"
#include "maintenance/MaintenanceSteps.h"
#include "platform/files/PlatformError.h"

#include <QDir>

namespace quillory {

using namespace maintenance;

namespace {

// True when `path` is no database at all (an empty file, text), or is read as a database whose
// own marks say it is not a book: no mark of ours, no PhoneBK at all. A database whose pages
// cannot be read that far may be a damaged book, and is left to the repair.
bool isNotABook(const QString& path) {
    try {
        return bookfiles::checkBook(path).condition == bookfiles::BookCondition::NotABook;
    } catch (const PlatformError&) {
        return false;
    }
}

QString contactsText(qint64 count) {
    return count == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(count);
}

// A rewritten book is told with what it holds against what could be counted before, and where
// the book as it was is kept, so that nothing the repair could not read is lost for good.
void tellRepaired(AppContext& app, const bookfiles::RepairOutcome& outcome) {
    QString text = QStringLiteral("The Database has been repaired.");
    bool lost = false;
    if (outcome.rewritten) {
        if (outcome.before) {
            lost = outcome.after < *outcome.before;
            text += QStringLiteral("\n\nThe repaired book holds %1; %2 could be counted in the "
                                   "book before the repair.")
                        .arg(contactsText(outcome.after))
                        .arg(*outcome.before);
        } else {
            lost = true;
            text += QStringLiteral("\n\nThe repaired book holds %1; how many the book held "
                                   "before could not be counted.")
                        .arg(contactsText(outcome.after));
        }
        text += QStringLiteral("\n\nThe book as it was before the repair has been kept as "
                               "\"%1\".")
                    .arg(QDir::toNativeSeparators(outcome.keptAs));
    }
    tell(messageParent(app), text, lost ? ui::Icon::Exclamation : ui::Icon::None);
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
        const QString temporary = app.folder().file(contact::file::CompactTemp);
        const bool done =
            runWithProgress(messageParent(app), QStringLiteral("Compact Database"),
                            [&](const engine::CopyProgress& progress) {
                                bookfiles::writeCompactedCopy(book, book, temporary, progress);
                            });
        // Cancelled: the book is as it was, which is what the user asked for.
        if (!done) {
            hold.reopen();
            return;
        }
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
    bookfiles::RepairOutcome outcome;
    try {
        if (!hold.release())
            return;
        // A damaged or misshapen book is rebuilt beside itself and swapped in only when the
        // rebuilt copy passes its check, the book as it was kept under a name of its own; a
        // sound one is left as it is.
        bookfiles::reportStep(bookfiles::Step::Repair, book);
        outcome = bookfiles::repairBook(book);
    } catch (const std::exception& error) {
        hold.reopen();
        tell(messageParent(app),
             failureText(QStringLiteral("The Database could not be repaired."), reasonOf(error)),
             ui::Icon::Exclamation);
        return;
    }
    hold.reopen();
    tellRepaired(app, outcome);
}

} // namespace quillory
