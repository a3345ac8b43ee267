#pragma once

namespace quillory {

class AppContext;

// Lets every part of the program put its commands into the main window's command table.
void registerAllCommands(AppContext& app);

} // namespace quillory
