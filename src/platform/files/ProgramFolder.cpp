#include "platform/files/ProgramFolder.h"

#include "platform/files/FileOps.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace quillory {

namespace {

bool isWritableFolder(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(folder).isDir() &&
           ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

// The shipped files of an installed program lie in <prefix>/share/quillory; a build keeps
// them beside the executable.
QString findResourceFolder(const QString& executableFolder) {
    const QString fromEnv = files::folderFromNative(qgetenv("QUILLORY_ASSETS"), false);
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString installed =
        QDir(executableFolder).absoluteFilePath(QStringLiteral("../share/quillory"));
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return executableFolder;
}

} // namespace

ProgramFolder ProgramFolder::choose(const QString& homeOption, const QString& executableFolder) {
    QString folder = homeOption;
    if (folder.isEmpty())
        folder = files::folderFromNative(qgetenv("QUILLORY_HOME"), true);
    if (folder.isEmpty()) {
        const bool installed =
            QFileInfo(QDir(executableFolder).absoluteFilePath(QStringLiteral("../share/quillory")))
                .isDir();
        if (!installed && isWritableFolder(executableFolder))
            folder = executableFolder;
        else
            folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     QStringLiteral("/quillory");
    }
    QDir().mkpath(folder);
    return ProgramFolder(QDir(folder).absolutePath(), findResourceFolder(executableFolder));
}

ProgramFolder::ProgramFolder(QString path, QString resourceFolder)
    : m_path(std::move(path)), m_resourceFolder(std::move(resourceFolder)) {
    if (m_resourceFolder.isEmpty())
        m_resourceFolder = m_path;
}

QString ProgramFolder::file(const QString& name) const {
    return files::resolveName(m_path, name);
}

QString ProgramFolder::resource(const QString& name) const {
    const QString own = files::resolveName(m_path, name);
    if (QFileInfo::exists(own))
        return own;
    return files::resolveName(m_resourceFolder, name);
}

} // namespace quillory
