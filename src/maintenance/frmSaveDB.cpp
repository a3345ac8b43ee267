#include "maintenance/frmSaveDB.h"

#include "maintenance/Maintenance.h"
#include "platform/files/FileOps.h"
#include "platform/ui/FileList.h"

namespace quillory {

frmSaveDB::frmSaveDB(AppContext& app, QWidget* parent)
    : BackupFolderDialog(app, QStringLiteral("Save Database"),
                         QStringLiteral("Search the Drive and the Folder where you would like to "
                                        "back-up the database file then, CLICK OK below."),
                         parent) {
    setObjectName(QStringLiteral("frmSaveDB"));
    File2->setToolTip(QStringLiteral("Double-click to select text file to save"));
}

void frmSaveDB::Form_Load() {
    refreshLabel2();
    centre();
}

void frmSaveDB::Command1_Click() {
    BackupToChosenFolder(app(), *this);
    accept();
}

QString frmSaveDB::label2Text() const {
    return files::joinPath(File2->path(), File2->fileName());
}

} // namespace quillory
