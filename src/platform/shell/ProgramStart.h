#pragma once

#include <QString>
#include <QStringList>

namespace quillory::shell {

// A program to start: the name the user knows it by, the program file (a path, or a name
// looked up on PATH) and its arguments.
struct ProgramCommand {
    QString name;
    QString program;
    QStringList arguments;
};

// The full path of the program `name` (a bare name, without folder) on PATH, or empty.
QString findOnPath(const QString& name);

// Starts `command` on its own, never waited for: it outlives this program and its window is
// its own. Its program is a full path, or a bare name looked for on PATH; a relative path is
// refused. Throws PlatformError, whose text names the program and says why, when it cannot be
// started. Returns the started program's process id.
qint64 startProgram(const ProgramCommand& command);

} // namespace quillory::shell
