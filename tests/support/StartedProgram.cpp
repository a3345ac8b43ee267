#include "StartedProgram.h"

#include "app/Registration.h"
#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"

namespace quillory::test {

void writeSettings(const TempProgramFolder& folder, const QByteArray& lines) {
    folder.write(QStringLiteral("Corvanel.hig"), "[User Prefs]\n" + lines);
}

StartedProgram::StartedProgram(const ProgramSetup& setup)
    : StartedProgram(std::make_unique<TempProgramFolder>(), nullptr, setup) {}

StartedProgram::StartedProgram(const TempProgramFolder& testFolder, const ProgramSetup& setup)
    : StartedProgram(nullptr, &testFolder, setup) {}

StartedProgram::StartedProgram(std::unique_ptr<TempProgramFolder> ownFolder,
                               const TempProgramFolder* testFolder, const ProgramSetup& setup)
    : m_ownFolder(std::move(ownFolder)), folder(testFolder ? *testFolder : *m_ownFolder) {
    if (setup.contacts)
        writeBook(folder.file(QStringLiteral("Corvanel.MDB")), *setup.contacts);
    if (!setup.settings.isEmpty())
        writeSettings(folder, setup.settings);
    for (const ui::Answer answer : setup.answers)
        boxes.answer(answer);
    context = std::make_unique<AppContext>(ProgramFolder(folder.path()));
    registerAllCommands(*context);
    if (setup.onMainWindowCreated) {
        context->onMainWindowCreated([app = context.get(), extra = setup.onMainWindowCreated](
                                         frmMain& window) { extra(*app, window); });
    }
    main = &context->mainWindow();
}

StartedProgram::~StartedProgram() = default;

} // namespace quillory::test
