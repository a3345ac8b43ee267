#pragma once

namespace quillory {

class AppContext;

// Puts "tip" (the tip window, modeless) and "about" (the about box, modal) into the command
// table, and shows the tip window after start-up when the settings ask for it.
void registerExtrasCommands(AppContext& app);

} // namespace quillory
