#include "core/HelpCommand.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/help/HelpWindow.h"

namespace quillory {

void registerHelpCommands(AppContext& app) {
    app.commands().add(QStringLiteral("help"), [&app](CommandOrigin) {
        help::HelpWindow::showContents(app.folder(), ProgramHelpFile, &app.mainWindow());
    });
}

} // namespace quillory
