#pragma once

namespace quillory {

class AppContext;
class frmMain;

// Puts the browsing commands into the command table (moves, add, save, delete, views, bold,
// grid, the toolbar's "type" and "utils" faces) and connects the letter index, the grid, the
// card's layout and the photos to the main window when it is created.
void registerBrowseCommands(AppContext& app);

namespace browse {
// The bold toggle of a toolbar: mirrors the clicked toolbar's bold button onto the other.
void toggleBoldFromToolbar(frmMain& main, bool fromToolbar1);
// The bold toggle of the menu: decided by the last-name box's font.
void toggleBoldFromMenu(frmMain& main);
// Shows or hides the grid after the clicked grid button's state.
void toggleGrid(frmMain& main, bool pressed);
} // namespace browse

} // namespace quillory
