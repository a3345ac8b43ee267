#pragma once

#include <QString>

class QWidget;

namespace quillory {

class AppContext;
class frmGetDB;
class frmSaveDB;

// Keeping the book file healthy and safe: compact, repair, back-up and restore. Each command
// lets go of the book, works on the files, and opens the book again, also after a failure,
// so the main window keeps working. A file the user cannot lose (the book, the previous
// back-up) is kept until its successor is complete.

// Compacts the book into a fresh, packed copy that takes its place. Says "The Database has
// been Compacted." only when that happened; otherwise it names what failed, and the book is
// as it was.
void mnuComDB_Click(AppContext& app);

// Checks the book and rebuilds it from every contact that can still be read when it is
// damaged. Says "The Database has been repaired." only when that is true.
void mnuRepDB_Click(AppContext& app);

// Open the back-up and restore location dialogs (frmDB, frmDB1) modally.
void mnuBUDB_Click(AppContext& app);
void mnuResDB_Click(AppContext& app);

// Writes a compacted copy of the book as "Corvanel.MD1" in the program folder, after asking.
// The previous back-up is kept aside until the new one is complete.
void BackupToProgramFolder(AppContext& app);

// Writes the back-up into the folder chosen in `dialog` (its file list's folder), shows the
// target in its Label2, and remembers the target as the last back-up location.
void BackupToChosenFolder(AppContext& app, frmSaveDB& dialog);

// The message for a disk failure with the given error number ("Disk Error"); numbers without
// a message of their own show nothing.
void DiskErrorMessage(int errorNumber, QWidget* parent = nullptr);

// Replace the book with the back-up from the program folder, or from the path in the restore
// dialog's Label2. Only a back-up that is a sound book of this program is accepted; the
// current book is kept aside until the restored copy is in place and open.
void RestoreFromProgramFolder(AppContext& app);
void RestoreFromChosenFolder(AppContext& app, frmGetDB& dialog);

// The back-up file in `folder`: the folder, exactly one separator and "Corvanel.MD1" (an
// existing back-up whose name differs only in letter case is that file).
QString backupTarget(const QString& folder);

// Puts "CD", "RD", "BD" and "RsD" into the command table (menu items and the toolbars'
// button-menu items arrive with these keys).
void registerMaintenanceCommands(AppContext& app);

} // namespace quillory
