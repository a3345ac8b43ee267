#include "core/AppContext.h"
#include "core/frmMain.h"
#include "outside/frmInfo.h"
#include "outside/frmPhone.h"
#include "outside/frmSend.h"
#include "outside/Outside.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Modal.h"
#include "SupportTargets.h"

namespace quillory {

namespace outside {

SupportTargets supportTargets() {
    return {QStringLiteral(QUILLORY_SUPPORT_WEB), QStringLiteral(QUILLORY_UPDATE_WEB),
            QStringLiteral("mailto:") + QStringLiteral(QUILLORY_SUPPORT_EMAIL)};
}

} // namespace outside

void registerOutsideCommands(AppContext& app) {
    CommandTable& commands = app.commands();
    commands.add(QStringLiteral("Send"), [&app](CommandOrigin) {
        frmSend dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
    // A word processor that cannot be started is said the way every hand-over says it, from
    // the toolbars too, which pass over the failures of their other commands.
    commands.add(QStringLiteral("write"), [&app](CommandOrigin) {
        shell::handOver(&app.mainWindow(), [&app] { outside::startWordProcessor(app); });
    });
    commands.add(QStringLiteral("support"), [&app](CommandOrigin) {
        frmInfo dialog(&app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
    registerDialerCommand(app);
}

} // namespace quillory
