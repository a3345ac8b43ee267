#include "app/Registration.h"

#include "browse/BrowseCommands.h"
#include "core/CoreCommands.h"
#include "core/HelpCommand.h"
#include "maintenance/Maintenance.h"
#include "search/frmsrch.h"

namespace quillory {

void registerAllCommands(AppContext& app) {
    registerCoreCommands(app);
    registerBrowseCommands(app);
    registerSearchCommands(app);
    registerMaintenanceCommands(app);
    registerHelpCommands(app);
}

} // namespace quillory
