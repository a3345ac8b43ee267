#include "platform/ui/FileSystemLists.h"

#include <algorithm>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QSignalBlocker>
#include <QWidget>

namespace quillory::ui {

void linkLists(DriveList* drives, DirList* folders, FileList* files) {
    if (drives != nullptr && folders != nullptr) {
        {
            // Only the selection follows the folder here; the dialog's own handlers have
            // nothing to react to yet.
            const QSignalBlocker quiet(drives);
            drives->setDrive(folders->path());
        }
        QObject::connect(drives, &DriveList::driveChanged, folders, &DirList::setPath);
    }
    if (folders != nullptr && files != nullptr) {
        files->setPath(folders->path());
        QObject::connect(folders, &DirList::pathChanged, files, &FileList::setPath);
    } else if (drives != nullptr && files != nullptr) {
        files->setPath(drives->drive());
        QObject::connect(drives, &DriveList::driveChanged, files, &FileList::setPath);
    }
}

namespace lists {

QString absolutePath(const QString& path, const QString& base) {
    const QDir baseDir(base.isEmpty() ? QDir::currentPath() : base);
    return QDir::cleanPath(baseDir.absoluteFilePath(path));
}

bool isListableFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

void sortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
}

QSize minimumListSize(const QWidget& widget) {
    const QFontMetrics metrics(widget.font());
    return {metrics.averageCharWidth() * 16, metrics.height() * 6};
}

} // namespace lists

} // namespace quillory::ui
