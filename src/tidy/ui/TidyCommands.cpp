#include "tidy/ui/TidyCommands.h"

#include "core/AppContext.h"

namespace quillory {

void registerTidyCommands(AppContext& app) {
    (void)app;
}

} // namespace quillory
