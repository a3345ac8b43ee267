#pragma once

#include "platform/engine/Database.h"

#include <functional>
#include <optional>
#include <QString>

namespace quillory {

class PlatformError;
class ProgramFolder;
namespace engine {
class DataSource;
}

// The steps that work on the book file as a whole, shared by start-up, shutdown and the
// maintenance commands.
namespace bookfiles {

// Creates an empty book, and the stand-by database beside it, when either is missing, so a
// first run just works. Never writes over a file that exists. A book that was kept aside by a
// restore cut short is put back rather than replaced by an empty one. A book that cannot be
// made because the folder cannot be written throws PlatformError saying so (75); a stand-by
// that cannot be made is passed over. When the book was there (or put back) and is whole, the
// files a killed run left beside it are cleared (clearLeftovers).
void ensureBookFiles(const ProgramFolder& folder);

// Throws PlatformError (75, or 76 for a missing folder) naming `folder` when it cannot be
// written to.
void requireWritableFolder(const QString& folder);

// True when `path` opens as a book of this program (its marks and table PhoneBK).
bool isWholeBook(const QString& path);

// What the book file is, found from its header, marks and table list without reading its
// contacts.
enum class BookCondition {
    Usable,
    Damaged,  // a database whose pages cannot be read: Repair salvages what can be
    Mendable, // ours but not in the shape the card needs: Repair mends it, keeping every contact
    NotABook, // no database, or not an address book of ours: only Restore can help
};
struct BookCheck {
    BookCondition condition = BookCondition::Usable;
    // What is wrong, to follow "cannot be used: "; empty when usable.
    QString problem;
};
// A missing file, or one that cannot be opened for another reason (a lock, permissions),
// throws PlatformError.
BookCheck checkBook(const QString& path);
// True when `error`, raised while reading the database file `path`, means its pages are
// damaged (rather than that it is no database at all).
bool isDamage(const PlatformError& error, const QString& path);

// A repair of the book: a damaged or misshapen book is rebuilt from every contact that can
// still be read, and the file as it was is kept beside it under a name no other repair uses
// ("Corvanel-before-repair-<date>-<time>.MDB"). A sound book is left as it is.
struct RepairOutcome {
    bool rewritten = false;
    // The contacts that could be counted in the book before (nothing when none could be).
    std::optional<qint64> before;
    qint64 after = 0; // contacts of the repaired book
    QString keptAs;   // where the book as it was is kept
};
RepairOutcome repairBook(const QString& path);

// The files in the program folder that only a run cut short leaves behind, each as large as
// the book: the copy of a compaction ("Corvan1.MDB"), of a restore (the book's ".new") and of
// a back-up into the program folder (the back-up's ".new"), a repair's rebuild (".repair"),
// each with its journal, the book kept aside by a restore (".previous"), and the temporary
// files of a settings save ("Corvanel.hig." or "Corvanel.win." and six letters).
QStringList leftoverFiles(const ProgramFolder& folder);
// Deletes them, but only when the book is whole: a kept-aside book then is an older copy, and
// every other leftover an unfinished one. A file that cannot be deleted is passed over.
void clearLeftovers(const ProgramFolder& folder);

// The files the program keeps in `folder`, which nothing may be exported or printed over: the
// book, the stand-by, the back-up and its record, the settings, the label dialog's databases,
// the copies a compaction, a restore or a repair makes or keeps, and the journals of them all.
QStringList ownFiles(const ProgramFolder& folder);
// Makes them the files every export and PDF refuses to write over (files::refuseOwnFile).
void protectOwnFiles(const ProgramFolder& folder);

// Lets go of the book file: the card's pending edits are written first (a failure to write
// them throws, and the book stays open with the edits kept), then the data source is pointed
// at the stand-by database, which is created again when it is missing. When the stand-by
// cannot be opened the data source is left closed; either way the book is no longer held.
void ReleaseBook(engine::DataSource& data, const ProgramFolder& folder);
// Points it back at the book; the record source is kept and the first row becomes current.
// A book that is not usable (checkBook) is not opened: PlatformError names what is wrong.
void ReopenBook(engine::DataSource& data, const ProgramFolder& folder);

// The names beside a file that is being replaced: its successor while it is written, and the
// file itself, kept aside until its successor is in place. Found without regard to letter case.
QString beingWrittenName(const QString& path);
QString keptAsideName(const QString& path);

// A file kept aside while `path` is missing is put back. Throws PlatformError when that fails.
void recoverKeptAside(const QString& path);
// Keeps `path` aside under keptAsideName(path) until its successor is in place: as a second
// name of the same file where the file system allows it (the file then stays in place too),
// else by moving it. A file kept aside by an earlier run is recovered first when `path` is
// missing (a kept-aside file is never deleted while `path` is missing), and deleted as out of
// date when `path` is there. A missing `path` throws 53 (76 when its folder is missing), a
// refusal 75, as a file delete would.
void keepAside(const QString& path);
// Puts the kept-aside file back at `path`, over whatever is there now.
void putBack(const QString& path);
// Deletes the kept-aside file once its successor is in place; a failure is passed over (the
// next keepAside or recovery settles it).
void dropKeptAside(const QString& path);

// Writes a compacted copy of `source` under `temporary`: a leftover of that name from an
// interrupted run is deleted first (never promoted), and the copy is checked to be a book
// with as many contacts as the source, and made durable. Throws PlatformError when any step
// fails; `temporary` is then gone and `source` untouched. `progress` is told how far the copy
// has come and can stop it (engine::CopyCancelled, with the same outcome as a failure).
void prepareCompactedCopy(const QString& source, const QString& temporary,
                          const engine::CopyProgress& progress = {});

// Writes a compacted copy of `source` to `target` without ever losing what `target` held:
// the copy is prepared under `temporary` (beingWrittenName(target) when not given) and only
// then renamed over the target. A previous file at `target` stays until the swap has
// succeeded. Throws PlatformError when any step fails; `target` is then as it was. `source`
// and `target` may be the same file. `progress` as for prepareCompactedCopy.
void writeCompactedCopy(const QString& source, const QString& target,
                        const engine::CopyProgress& progress = {});
void writeCompactedCopy(const QString& source, const QString& target, const QString& temporary,
                        const engine::CopyProgress& progress = {});

// The back-up made when the program closes: the book is copied into the back-up file in the
// program folder, unless that file already holds the book as it is now (the book unchanged
// since that back-up was made, the back-up there, whole and untouched since it was written). A
// failing step is passed over and the next one runs; nothing is shown. Typing on the card that
// cannot be written is dropped, so the back-up holds the book as it is on the disk. Returns
// why no back-up was written (the previous one is then as it was), nothing when it was or
// needed not be. A back-up stopped through `progress` is no failure: the previous one is as it
// was and nothing is returned. The book is opened again afterwards, unless `afterwards` says
// the program is ending and nobody needs it open.
enum class AfterBackup { Reopen, LeaveClosed };
std::optional<QString> AutoBackupOnExit(engine::DataSource& data, const ProgramFolder& folder,
                                        const engine::CopyProgress& progress = {},
                                        AfterBackup afterwards = AfterBackup::Reopen);
// The copy itself, for a book no data source holds (the command line's syncs): the same rules
// and the same answer, without releasing and reopening a data source.
std::optional<QString> BackUpBook(const ProgramFolder& folder,
                                  const engine::CopyProgress& progress = {});

// Writes a back-up of `book` to `backup`: copied under the temporary name beingWrittenName
// (as compact as the book allows), checked to be a book with every contact, made durable and
// renamed over `backup`, which is as it was when any step fails (and the step's PlatformError
// is thrown). A record of what was copied is kept beside the back-up ("<backup>.state").
// `progress` as for prepareCompactedCopy.
void writeBackup(const QString& book, const QString& backup,
                 const engine::CopyProgress& progress = {});

// The steps of the whole-file sequences. An observer is told of each step, with the file it
// works on, just before the step runs; tests use it to bring about a real failure (a full
// disk, a read-only folder, a file in the way) at a chosen moment.
enum class Step {
    ReleaseBook,
    KeepAside,
    ClearLeftover,
    Compact,
    CheckCopy,
    Swap,
    PutBack,
    Repair,
    ReopenBook,
    DropKeptAside,
};
using StepObserver = std::function<void(Step, const QString& path)>;
// Installs the observer; an empty one removes it.
void setStepObserver(StepObserver observer);
// Tells the observer, if there is one, that `step` is about to run on `path`.
void reportStep(Step step, const QString& path);

} // namespace bookfiles
} // namespace quillory
