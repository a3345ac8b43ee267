#include "core/AppContext.h"
#include "core/frmMain.h"
#include "exchange/ui/frmExport.h"
#include "exchange/ui/frmImport.h"
#include "platform/ui/Modal.h"

namespace quillory {

void registerExchangeCommands(AppContext& app) {
    app.commands().add(QStringLiteral("import"), [&app](CommandOrigin) {
        frmImport dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
    app.commands().add(QStringLiteral("export"), [&app](CommandOrigin) {
        frmExport dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
}

} // namespace quillory
