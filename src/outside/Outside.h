#pragma once

#include "platform/shell/ProgramStart.h"

#include <optional>
#include <QString>

namespace quillory {

class AppContext;
struct UserSettings;

// Puts the commands that hand work to other programs into the command table: "Send" (the
// e-mail and web dialog), "write" (the word processor), "support" (the support dialog) and "dial"
// (the phone dialer).
void registerOutsideCommands(AppContext& app);

namespace outside {

// The addresses the support dialog opens, as the program was built with them.
struct SupportTargets {
    QString webPage;
    QString updatePage;
    QString email; // "mailto:" and the support address
};
SupportTargets supportTargets();

// The desktop's own word processor: the first of LibreOffice Writer, AbiWord and Calligra
// Words on PATH, else the application the desktop opens .odt documents with.
std::optional<shell::ProgramCommand> desktopWordProcessor();

// Loads the saved settings and starts the word processor they choose, on its own. Throws
// PlatformError naming the program and saying why when it cannot be started; does nothing
// when no word processor is chosen.
void startWordProcessor(AppContext& app);

} // namespace outside

} // namespace quillory
