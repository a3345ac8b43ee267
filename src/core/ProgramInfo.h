#pragma once

#include <QString>

namespace quillory::program {

// The program's version, as the splash, the about box, the support dialog and --version show it.
inline constexpr const char* Version = "9.01";

// "Version 9.01": the caption under the program's name.
inline QString versionCaption() {
    return QStringLiteral("Version ") + QString::fromLatin1(Version);
}

} // namespace quillory::program
