#pragma once

#include "core/UserSettings.h"

#include <array>
#include <QString>

namespace quillory {

// What a load did that the main window must show: the settings record alone cannot tell a
// button that was pressed by this load from one that was pressed before.
struct LoadOutcome {
    // "fontType" read as "tbrPressed": press button 12 of both toolbars and make the card bold.
    bool boldPressed = false;
    // The load selected "IO" or "TI" when it was not selected before: switch the toolbars to
    // settings.toolbarStyle and repaint, as a click on the option does.
    bool toolbarStyleSelected = false;
    // The grid columns whose width the load set; the others keep the width they have now.
    std::array<bool, UserSettings::StoredGridColumns> gridWidthsLoaded{};

    bool operator==(const LoadOutcome&) const = default;
};

// Moves the user's preferences between the running program and "Corvanel.hig", and the main
// window's position and size between the window and "Corvanel.win", both in the program
// folder, section "User Prefs". There is no cache: each load reads the file afresh and each
// save writes every key.
//
// A settings file that is no regular file of a sane size (a named pipe, a device or a link to
// one, a folder, a file larger than 1 MB) or cannot be read is treated as missing: the first
// operation that meets it says so in one message box per file and program run, loads leave the
// settings as they are, and saves fail without touching it, so the settings of this run live
// only until it ends.
class SettingsStore {
public:
    explicit SettingsStore(QString programFolder);

    // Applies every key found in the settings file, in the file's documented key order. A
    // missing file, key or empty value leaves the setting as it is, and so does a value that
    // does not convert (or a check state other than 0, 1 and 2).
    LoadOutcome load(UserSettings& settings) const;

    // Writes every key in one go: the new file is swapped in only when complete, so a failed
    // save leaves the previous file whole. The result serves tests; the program ignores it.
    bool save(const UserSettings& settings) const;

    // Each part stays empty when its key is missing, empty or not a number (the maximized state:
    // not a flag).
    WindowGeometry loadWindowGeometry() const;
    bool saveWindowGeometry(const WindowGeometry& geometry) const;

    QString settingsPath() const;
    QString geometryPath() const;

    static const QString Section;
    static const QString SettingsFileName;
    static const QString GeometryFileName;

private:
    QString m_folder;
};

} // namespace quillory
