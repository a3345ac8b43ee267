#include "app/Registration.h"

#include "core/CoreCommands.h"

namespace quillory {

void registerAllCommands(AppContext& app) {
    registerCoreCommands(app);
}

} // namespace quillory
