#pragma once

#include <QString>

namespace quillory {

class AppContext;

// The program's help file, and the label dialog's.
inline const QString ProgramHelpFile = QStringLiteral("CORVANEL.hlp");
inline const QString LabelHelpFile = QStringLiteral("LABELS.hlp");

// Registers "help": the help file's topics window, opened on its contents page. The window is
// modeless, so the menu item and the toolbar button do the same; a missing help file is
// reported by the help viewer from either.
void registerHelpCommands(AppContext& app);

} // namespace quillory
