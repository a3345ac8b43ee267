#pragma once

namespace quillory {

class AppContext;

// Registers the tidying commands (the trash, the duplicates, the merge) on the command table.
void registerTidyCommands(AppContext& app);

} // namespace quillory
