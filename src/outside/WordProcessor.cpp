#include "core/AppContext.h"
#include "outside/Outside.h"
#include "platform/files/PlatformError.h"
#include "platform/shell/DesktopApplications.h"

namespace quillory::outside {

namespace {

const QString OdtType = QStringLiteral("application/vnd.oasis.opendocument.text");

} // namespace

std::optional<shell::ProgramCommand> desktopWordProcessor() {
    const std::array<shell::ProgramCommand, 4> known = {{
        {QStringLiteral("LibreOffice Writer"), QStringLiteral("lowriter"), {}},
        {QStringLiteral("LibreOffice Writer"),
         QStringLiteral("libreoffice"),
         {QStringLiteral("--writer")}},
        {QStringLiteral("AbiWord"), QStringLiteral("abiword"), {}},
        {QStringLiteral("Calligra Words"), QStringLiteral("calligrawords"), {}},
    }};
    for (const shell::ProgramCommand& command : known) {
        if (!shell::findOnPath(command.program).isEmpty())
            return command;
    }
    return shell::defaultApplicationFor(OdtType);
}

void startWordProcessor(AppContext& app) {
    // The saved choice counts, not what the settings dialog shows unsaved.
    app.LoadSettings();
    const UserSettings& settings = app.settings();
    switch (settings.wordProcessor) {
    case UserSettings::WordProcessor::None:
        return;
    case UserSettings::WordProcessor::WordPad:
        if (const auto command = desktopWordProcessor()) {
            shell::startProgram(*command);
            return;
        }
        throw PlatformError(
            ErrorNumber::FileNotFound,
            QStringLiteral("The word processor could not be started: none of LibreOffice "
                           "Writer, AbiWord or Calligra Words is installed, and no program is "
                           "set to open .odt documents."));
    case UserSettings::WordProcessor::Other: {
        const QString path = settings.wordProcessorPath;
        shell::startProgram(
            {path.trimmed().isEmpty() ? QStringLiteral("Other Word Processor") : path, path, {}});
        return;
    }
    }
}

} // namespace quillory::outside
