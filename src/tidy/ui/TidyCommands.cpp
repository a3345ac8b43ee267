#include "tidy/ui/TidyCommands.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/ui/Modal.h"
#include "tidy/ui/frmDuplicates.h"

namespace quillory {

void registerTidyCommands(AppContext& app) {
    app.commands().add(QStringLiteral("duplicates"), [&app](CommandOrigin) {
        frmDuplicates dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
}

} // namespace quillory
