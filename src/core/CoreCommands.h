#pragma once

namespace quillory {

class AppContext;

// Registers the commands the main window's frame carries out itself ("exit").
void registerCoreCommands(AppContext& app);

} // namespace quillory
