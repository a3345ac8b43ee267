// The back-up: a compacted copy of the book as "Corvanel.MD1", in the program folder or in a
// folder the user chooses.

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/WorkProgress.h"
#include "maintenance/frmSaveDB.h"
#include "maintenance/Maintenance.h"
#include "maintenance/MaintenanceSteps.h"
#include "platform/files/FileOps.h"
#include "platform/ui/FileList.h"

#include <cerrno>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <unistd.h>

namespace quillory {

using namespace maintenance;

namespace {

const QString& backupCaption() {
    static const QString caption = QStringLiteral("Back-up Database");
    return caption;
}

bool confirmBackup(QWidget* parent) {
    return confirm(
        parent,
        QStringLiteral("Are you sure you want to continue? This will over write your previous "
                       "back-up!"),
        backupCaption());
}

// Writes the back-up at `target`. The new back-up is written beside the previous one and
// renamed over it only when it is complete and checked, so a failed or cancelled back-up
// never costs the one before it, and nothing has to be put back. False when the user
// cancelled it.
bool writeBackup(AppContext& app, const QString& target) {
    // Where the previous back-up would be deleted to make room, it is made sure instead that
    // it could be: the folder is there (else 76) and can be written (else 75, as a
    // write-protected disk gives). No previous back-up (53) is no obstacle.
    const QString folder = QFileInfo(target).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
        const int err = errno;
        throw PlatformError(
            files::errorNumberFor(err, target),
            QStringLiteral("Cannot write to \"%1\": %2").arg(folder, systemErrorText(err)));
    }
    const QString book = app.folder().file(contact::file::Book);
    return runWithProgress(messageParent(app), backupCaption(),
                           [&](const engine::CopyProgress& progress) {
                               bookfiles::writeCompactedCopy(book, target, progress);
                           });
}

} // namespace

QString backupTarget(const QString& folder) {
    return files::resolveName(folder, contact::file::BackupName);
}

void BackupToProgramFolder(AppContext& app) {
    QWidget* parent = messageParent(app);
    if (!confirmBackup(parent))
        return;
    BookRelease hold(app);
    try {
        if (!hold.release())
            return;
        if (!writeBackup(app, app.folder().file(contact::file::Backup))) {
            hold.reopen();
            return;
        }
    } catch (const PlatformError& error) {
        if (isOneOf(error, {ErrorNumber::DiskFull, ErrorNumber::EngineDiskFull}))
            tell(parent, QStringLiteral("Not enough room on current disk! Selcet a different disk "
                                        "and try again."));
        else if (isOneOf(error, {ErrorNumber::PathFileAccess}))
            tell(parent, QStringLiteral("Check Disk!!! Disk write protected or not accesible."));
        hold.reopen();
        return;
    }
    hold.reopen();
    tell(parent, QStringLiteral("The Database has been Backed up."));
}

void BackupToChosenFolder(AppContext& app, frmSaveDB& dialog) {
    QWidget* parent = messageParent(app);
    if (!confirmBackup(parent))
        return;
    BookRelease hold(app);
    QString target;
    try {
        if (!hold.release())
            return;
        target = backupTarget(dialog.File2->path());
        dialog.Label2->setText(target);
        if (!writeBackup(app, target)) {
            hold.reopen();
            return;
        }
    } catch (const PlatformError& error) {
        if (isOneOf(error, {ErrorNumber::DiskFull, ErrorNumber::EngineDiskFull}))
            tell(parent, QStringLiteral("Not enough room on current disk! Select a different disk "
                                        "and try again."));
        else if (isOneOf(error, {ErrorNumber::PathFileAccess, ErrorNumber::EngineLocked}))
            tell(parent, QStringLiteral("Check Disk!!! Disk write-protected or not accessible."));
        hold.reopen();
        DiskErrorMessage(error.number(), parent);
        return;
    }
    hold.reopen();
    tell(parent, QStringLiteral("The Database has been Backed up."));
    app.mainWindow().lblDrive->setText(target);
    app.SaveSettings();
}

void DiskErrorMessage(int errorNumber, QWidget* parent) {
    QString text;
    ui::Buttons buttons = ui::Buttons::YesNo;
    switch (errorNumber) {
    case ErrorNumber::DeviceUnavailable:
        text = QStringLiteral("That device appears unavailable.");
        break;
    case ErrorNumber::DiskNotReady:
        text = QStringLiteral("Insert a disk in the drive and close the door.");
        break;
    case ErrorNumber::DeviceIO:
        text = QStringLiteral("Internal disk error.");
        break;
    case ErrorNumber::DiskFull:
        text = QStringLiteral("Disk is full. Continue?");
        buttons = ui::Buttons::YesNoCancel;
        break;
    case ErrorNumber::BadFileNameOrNumber:
    case ErrorNumber::BadFileName:
        text = QStringLiteral("That filename is illegal.");
        break;
    case ErrorNumber::BadFileMode:
        text = QStringLiteral("Can't open your file for that type of access.");
        break;
    case ErrorNumber::FileAlreadyOpen:
        text = QStringLiteral("This file is already open.");
        break;
    case ErrorNumber::InputPastEnd:
        text = QStringLiteral("This file has a nonstandard end-of-file marker, or an attempt was "
                              "made to read beyond the end-of-file marker.");
        break;
    case ErrorNumber::PathNotFound:
        text = QStringLiteral("That path doesn't exist.");
        break;
    default:
        return;
    }
    ui::MessageBoxService::show(
        {text, buttons, ui::Icon::Exclamation, 0, QStringLiteral("Disk Error")}, parent);
}

} // namespace quillory
