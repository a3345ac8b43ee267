#include "app/Registration.h"

#include "browse/BrowseCommands.h"
#include "core/CoreCommands.h"

namespace quillory {

void registerAllCommands(AppContext& app) {
    registerCoreCommands(app);
    registerBrowseCommands(app);
}

} // namespace quillory
