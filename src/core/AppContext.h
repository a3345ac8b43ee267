#pragma once

#include "core/CommandTable.h"
#include "core/UserSettings.h"
#include "platform/files/ProgramFolder.h"

#include <QObject>

class QWidget;

#include <functional>
#include <memory>
#include <vector>

namespace quillory {

class frmMain;
class SettingsStore;

// The one application object: it knows the program folder, holds the user's settings and the
// command table, and owns the main window. Windows reach each other through it.
class AppContext final : public QObject {
    Q_OBJECT
public:
    explicit AppContext(ProgramFolder folder, QObject* parent = nullptr);
    ~AppContext() override;

    const ProgramFolder& folder() const { return m_folder; }
    UserSettings& settings() { return m_settings; }
    CommandTable& commands() { return m_commands; }

    // Creates the main window (its initialisation and load) on first use.
    frmMain& mainWindow();
    bool hasMainWindow() const { return m_main != nullptr; }
    // The splash window that the main window's load closes.
    void setSplash(QWidget* splash) { m_splash = splash; }

    // Reads the whole settings file and pushes its values into the main window.
    void LoadSettings();
    // Writes every key from the current values, those held by the main window included.
    void SaveSettings();

    // Runs `setup` on the main window right after it is created, before it loads: the parts of
    // the program connect their behaviour to its controls here.
    void onMainWindowCreated(std::function<void(frmMain&)> setup) {
        m_mainSetups.push_back(std::move(setup));
    }

    // Runs after the main window is shown (start-up's last step: the tip window).
    void setAfterShowHook(std::function<void()> hook) { m_afterShow = std::move(hook); }
    // Runs after that hook, in the order added (the sync at start).
    void onAfterShow(std::function<void()> step) { m_afterShowSteps.push_back(std::move(step)); }
    void afterMainWindowShown();

    // Runs when the user has agreed to quit and the card's typing is written, before the
    // back-up on exit (the sync before exit), in the order added.
    void onBeforeExit(std::function<void()> step) { m_beforeExit.push_back(std::move(step)); }
    void beforeExit();

private:
    ProgramFolder m_folder;
    UserSettings m_settings;
    CommandTable m_commands;
    std::unique_ptr<SettingsStore> m_store;
    frmMain* m_main = nullptr;
    QWidget* m_splash = nullptr;
    std::function<void()> m_afterShow;
    std::vector<std::function<void()>> m_afterShowSteps;
    std::vector<std::function<void()>> m_beforeExit;
    std::vector<std::function<void(frmMain&)>> m_mainSetups;
};

} // namespace quillory
