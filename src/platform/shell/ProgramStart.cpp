#include "platform/shell/ProgramStart.h"

#include "platform/files/PlatformError.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace quillory::shell {

namespace {

[[noreturn]] void cannotStart(const ProgramCommand& command, int number, const QString& why) {
    throw PlatformError(number, QStringLiteral("\"") + command.name +
                                    QStringLiteral("\" could not be started: ") + why);
}

// The program file `command` names, checked before anything is started, so the user hears
// which file is wrong and how rather than a bare failure.
QString checkedProgramFile(const ProgramCommand& command) {
    const QString program = command.program.trimmed();
    if (program.isEmpty())
        cannotStart(command, ErrorNumber::BadFileName, QStringLiteral("no program file is set."));
    // A name without any folder is looked for where the shell would look for it.
    if (!program.contains(QLatin1Char('/')) && !program.contains(QLatin1Char('\\'))) {
        const QString found = findOnPath(program);
        if (found.isEmpty())
            cannotStart(command, ErrorNumber::FileNotFound,
                        QStringLiteral("no program \"") + program +
                            QStringLiteral("\" was found on the search path (PATH)."));
        return found;
    }
    // A relative path would be taken from whatever folder the program was started in.
    if (QDir::isRelativePath(program))
        cannotStart(command, ErrorNumber::BadFileName,
                    QStringLiteral("\"") + program +
                        QStringLiteral("\" is not a full path (one that begins with \"/\"). "
                                       "Choose the program file itself, or give only its name "
                                       "to have it looked for on the search path (PATH)."));
    const QFileInfo file(program);
    const QString path = QDir::toNativeSeparators(file.absoluteFilePath());
    if (!file.exists())
        cannotStart(command, ErrorNumber::FileNotFound,
                    QStringLiteral("the file \"") + path + QStringLiteral("\" does not exist."));
    if (file.isDir())
        cannotStart(command, ErrorNumber::PathFileAccess,
                    QStringLiteral("\"") + path + QStringLiteral("\" is a folder, not a program."));
    if (!file.isExecutable())
        cannotStart(command, ErrorNumber::PermissionDenied,
                    QStringLiteral("the file \"") + path +
                        QStringLiteral("\" is not a program this user may run."));
    return file.absoluteFilePath();
}

} // namespace

QString findOnPath(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

qint64 startProgram(const ProgramCommand& command) {
    const QString file = checkedProgramFile(command);
    QProcess process;
    process.setProgram(file);
    process.setArguments(command.arguments);
    process.setWorkingDirectory(QDir::homePath());
    // Started programs get their own input and output, not this program's terminal.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        // A script whose interpreter is missing is such a case.
        cannotStart(command, ErrorNumber::PathFileAccess,
                    QStringLiteral("the system could not run \"") + QDir::toNativeSeparators(file) +
                        QStringLiteral("\" (") + process.errorString() + QStringLiteral(")."));
    }
    return pid;
}

} // namespace quillory::shell
