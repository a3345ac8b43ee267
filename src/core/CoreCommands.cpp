#include "core/CoreCommands.h"

#include "core/AppContext.h"
#include "core/frmMain.h"

namespace quillory {

void registerCoreCommands(AppContext& app) {
    // Closing the main window runs the shutdown: saves, the question, the back-up.
    app.commands().add(QStringLiteral("exit"), [&app](CommandOrigin) { app.mainWindow().close(); });
}

} // namespace quillory
