#include "core/AppContext.h"
#include "core/frmMain.h"
#include "maintenance/frmDB.h"
#include "maintenance/frmDB1.h"
#include "maintenance/Maintenance.h"
#include "platform/ui/Modal.h"

namespace quillory {

void mnuBUDB_Click(AppContext& app) {
    frmDB dialog(app, &app.mainWindow());
    dialog.Form_Load();
    ui::Modal::exec(dialog);
}

void mnuResDB_Click(AppContext& app) {
    frmDB1 dialog(app, &app.mainWindow());
    dialog.Form_Load();
    ui::Modal::exec(dialog);
}

void registerMaintenanceCommands(AppContext& app) {
    CommandTable& commands = app.commands();
    commands.add(QStringLiteral("CD"), [&app](CommandOrigin) { mnuComDB_Click(app); });
    commands.add(QStringLiteral("RD"), [&app](CommandOrigin) { mnuRepDB_Click(app); });
    commands.add(QStringLiteral("BD"), [&app](CommandOrigin) { mnuBUDB_Click(app); });
    commands.add(QStringLiteral("RsD"), [&app](CommandOrigin) { mnuResDB_Click(app); });
}

} // namespace quillory
