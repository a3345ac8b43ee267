#include "platform/files/OwnFiles.h"

#include "platform/files/PlatformError.h"

#include <optional>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <sys/stat.h>

namespace quillory::files {

namespace {

struct Registry {
    QMutex mutex;
    std::function<QStringList()> list;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const Identity&, const Identity&) = default;
};

std::optional<Identity> identityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return Identity{info.st_dev, info.st_ino};
}

// Where a write to `path` lands: the file there (when there is one), and the folder and name it
// has or would get. A link that leads nowhere yet still decides where the file would be made.
struct Place {
    std::optional<Identity> file;
    std::optional<Identity> folder;
    QString name;
};

Place placeOf(const QString& path) {
    QFileInfo info(QFileInfo(path).absoluteFilePath());
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops)
        info = QFileInfo(info.symLinkTarget());
    return {identityOf(info.absoluteFilePath()), identityOf(info.absolutePath()), info.fileName()};
}

} // namespace

void setOwnFiles(std::function<QStringList()> list) {
    Registry& own = registry();
    const QMutexLocker lock(&own.mutex);
    own.list = std::move(list);
}

bool writesOver(const QString& target, const QString& kept) {
    const Place written = placeOf(target);
    const Place own = placeOf(kept);
    if (written.file && own.file && *written.file == *own.file)
        return true;
    return written.folder && written.folder == own.folder &&
           written.name.compare(own.name, Qt::CaseInsensitive) == 0;
}

void refuseOwnFile(const QString& target, const QStringList& alsoKept) {
    std::function<QStringList()> list;
    {
        Registry& own = registry();
        const QMutexLocker lock(&own.mutex);
        list = own.list;
    }
    QStringList kept = alsoKept;
    if (list)
        kept += list();
    for (const QString& file : std::as_const(kept)) {
        if (writesOver(target, file))
            throw PlatformError(ErrorNumber::PathFileAccess,
                                QStringLiteral("\"%1\" is Quillory's own file \"%2\" and cannot be "
                                               "written over; choose another file.")
                                    .arg(target, QFileInfo(file).fileName()));
    }
}

} // namespace quillory::files
