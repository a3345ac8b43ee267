#pragma once

#include <functional>
#include <QHash>
#include <QString>

namespace quillory {

// Where a command came from: the menus (and the popup menu) or one of the two toolbars. An
// action may behave a little differently on a toolbar (focus first, modeless windows).
enum class CommandOrigin { Menu, Toolbar1, Toolbar2 };

// Maps command keys ("add", "down", "CD", ...) to actions. The main window's handlers hand
// every key here; each part of the program registers its own actions at start-up, so the
// main window does not need to know the dialogs. Keys compare exactly, letter case included;
// a key that nothing registered does nothing.
class CommandTable {
public:
    using Action = std::function<void(CommandOrigin)>;

    void add(const QString& key, Action action);
    bool contains(const QString& key) const { return m_actions.contains(key); }

    // Runs the action for `key`; returns false when there is none.
    bool run(const QString& key, CommandOrigin origin) const;

private:
    QHash<QString, Action> m_actions;
};

} // namespace quillory
