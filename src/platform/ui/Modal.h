#pragma once

#include <functional>

class QDialog;

namespace quillory::ui {

// Every modal window of the program is shown through here. Tests install a hook that acts on
// the dialog (fills it in, presses its buttons) instead of blocking in exec().
class Modal {
public:
    using Hook = std::function<void(QDialog&)>;

    // Shows `dialog` modally and returns its result code.
    static int exec(QDialog& dialog);

    // Installs a hook that runs in place of the event loop; an empty hook restores exec().
    static void setHook(Hook hook);
};

} // namespace quillory::ui
