#pragma once

#include "platform/shell/ProgramStart.h"

#include <optional>
#include <QString>

namespace quillory::shell {

// The application the desktop opens documents of `mimeType` with (as the user or the system
// chose it in mimeapps.list, else the first installed one that says it handles the type), as a
// command that starts it without a document. Empty when the desktop knows none.
std::optional<ProgramCommand> defaultApplicationFor(const QString& mimeType);

// Whether the desktop has a program for addresses of `scheme` ("mailto", "https", "tel"): one
// chosen or installed for it in the freedesktop lists or, for web pages, a browser the desktop's
// opener would take.
bool desktopHandles(const QString& scheme);

} // namespace quillory::shell
