#include "maintenance/frmDB.h"

#include "maintenance/frmSaveDB.h"
#include "maintenance/Maintenance.h"
#include "platform/ui/Modal.h"

#include <QRadioButton>

namespace quillory {

frmDB::frmDB(AppContext& app, QWidget* parent)
    : LocationChoiceDialog(
          app,
          {QStringLiteral("Back-up Database location?"),
           QStringLiteral("Select whether you would like to back-up to program directory or to "
                          "an external drive then click \"OK\"."),
           QStringLiteral("Save to program directory"),
           QStringLiteral("Save to external drive. (ie. CD-R/CD-RW/DVD-R/ZIP-Drive")},
          parent) {
    setObjectName(QStringLiteral("frmDB"));
}

void frmDB::Command1_Click() {
    if (OptLoc->isChecked())
        BackupToProgramFolder(app());
    if (OptExt->isChecked()) {
        frmSaveDB chooser(app(), this);
        chooser.Form_Load();
        ui::Modal::exec(chooser);
    }
    accept();
}

} // namespace quillory
