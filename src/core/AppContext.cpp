#include "core/AppContext.h"

#include "core/BookFiles.h"
#include "core/frmMain.h"
#include "core/SettingsStore.h"

namespace quillory {

AppContext::AppContext(ProgramFolder folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)),
      m_store(std::make_unique<SettingsStore>(m_folder.path())) {
    bookfiles::protectOwnFiles(m_folder);
}

AppContext::~AppContext() {
    delete m_main;
}

frmMain& AppContext::mainWindow() {
    if (!m_main) {
        m_main = new frmMain(*this);
        m_main->setSplash(m_splash);
        for (const auto& setup : m_mainSetups)
            setup(*m_main);
        m_main->Form_Initialize();
    }
    return *m_main;
}

void AppContext::LoadSettings() {
    // The main window holds some values itself (bold, grid widths); a key that is missing
    // from the file must leave them as they stand, so they are gathered first.
    if (m_main)
        m_main->collectHeldSettings(m_settings);
    const UserSettings before = m_settings;
    m_store->load(m_settings);
    if (m_main)
        m_main->applyLoadedSettings(before);
}

void AppContext::SaveSettings() {
    if (m_main)
        m_main->collectHeldSettings(m_settings);
    m_store->save(m_settings);
}

void AppContext::afterMainWindowShown() {
    if (m_afterShow)
        m_afterShow();
    for (const std::function<void()>& step : m_afterShowSteps)
        step();
}

void AppContext::beforeExit() {
    for (const std::function<void()>& step : m_beforeExit)
        step();
}

} // namespace quillory
