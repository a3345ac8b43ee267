#include "core/AppContext.h"
#include "core/frmMain.h"
#include "extras/About.h"
#include "extras/Extras.h"
#include "extras/frmTip.h"
#include "platform/ui/Modal.h"

namespace quillory {

void registerExtrasCommands(AppContext& app) {
    app.commands().add(QStringLiteral("tip"), [&app](CommandOrigin) { showTipWindow(app); });
    app.commands().add(QStringLiteral("about"), [&app](CommandOrigin) {
        About box(&app.mainWindow());
        box.Form_Load();
        ui::Modal::exec(box);
    });
    // Only a ticked setting shows the tip; the undetermined state does not.
    app.setAfterShowHook([&app] {
        if (app.settings().showTips == 1)
            showTipWindow(app);
    });
}

} // namespace quillory
