#pragma once

namespace quillory::ui {

// The lock keys' states for the status bar. Read from the keyboard LEDs the kernel exposes;
// where none can be read, every lock reads as off.
struct KeyboardLocks {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;

    static KeyboardLocks read();
};

} // namespace quillory::ui
