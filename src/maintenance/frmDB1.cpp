#include "maintenance/frmDB1.h"

#include "maintenance/frmGetDB.h"
#include "maintenance/Maintenance.h"
#include "platform/ui/Modal.h"

#include <QRadioButton>

namespace quillory {

frmDB1::frmDB1(AppContext& app, QWidget* parent)
    : LocationChoiceDialog(
          app,
          {QStringLiteral("Restore Database"),
           QStringLiteral("Select whether you would like to restore a back-up from the program "
                          "directory or from an external drive then click \"OK\"."),
           QStringLiteral("Restore from program directory"),
           QStringLiteral("Restore from external drive.") + QString(19, QLatin1Char(' ')) +
               QStringLiteral("(ie. CD-R/CD-RW/DVD-R/ZIP-Drive")},
          parent) {
    setObjectName(QStringLiteral("frmDB1"));
}

void frmDB1::Command1_Click() {
    if (OptLoc->isChecked())
        RestoreFromProgramFolder(app());
    if (OptExt->isChecked()) {
        frmGetDB chooser(app(), this);
        chooser.Form_Load();
        ui::Modal::exec(chooser);
    }
    accept();
}

} // namespace quillory
