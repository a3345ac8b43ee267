#include "app/Registration.h"

#include "browse/BrowseCommands.h"
#include "core/CoreCommands.h"
#include "extras/Extras.h"
#include "maintenance/Maintenance.h"
#include "search/frmsrch.h"

namespace quillory {

void registerAllCommands(AppContext& app) {
    registerCoreCommands(app);
    registerBrowseCommands(app);
    registerSearchCommands(app);
    registerMaintenanceCommands(app);
    registerExtrasCommands(app);
}

} // namespace quillory
