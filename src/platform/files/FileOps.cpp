#include "platform/files/FileOps.h"

#include "platform/files/PlatformError.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::files {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

[[noreturn]] void fail(int err, const QString& path, const QString& what) {
    throw PlatformError(errorNumberFor(err, path),
                        QStringLiteral("%1 \"%2\": %3").arg(what, path, systemErrorText(err)));
}

// The failure of the Qt file call just made: errno when the call set one, else Qt's own text.
[[noreturn]] void failedWrite(int err, const QFileDevice& file, const QString& name) {
    const QString reason = err != 0 ? systemErrorText(err) : file.errorString();
    throw PlatformError(err != 0 ? fileErrorNumber(err) : ErrorNumber::DeviceIO,
                        QStringLiteral("The file \"%1\" cannot be written: %2.").arg(name, reason));
}

} // namespace

int errorNumberFor(int err, const QString& path) {
    if (err == ENOENT) {
        const QFileInfo info(path);
        if (!info.absoluteDir().exists())
            return ErrorNumber::PathNotFound;
    }
    return fileErrorNumber(err);
}

void deleteFile(const QString& path) {
    if (::unlink(native(path).constData()) != 0)
        fail(errno, path, QStringLiteral("Cannot delete"));
}

void renameFile(const QString& from, const QString& to) {
    if (QFileInfo::exists(to))
        throw PlatformError(ErrorNumber::FileAlreadyExists,
                            QStringLiteral("Cannot rename to \"%1\": the file exists").arg(to));
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        fail(errno, from, QStringLiteral("Cannot rename"));
}

void replaceFile(const QString& from, const QString& to) {
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        fail(errno, from, QStringLiteral("Cannot replace"));
    syncFolder(QFileInfo(to).absolutePath());
}

bool linkFile(const QString& existing, const QString& newName) {
    if (::link(native(existing).constData(), native(newName).constData()) == 0) {
        syncFolder(QFileInfo(newName).absolutePath());
        return true;
    }
    const int err = errno;
    switch (err) {
    case EPERM:
    case EOPNOTSUPP:
    case EXDEV:
    case EMLINK:
    case ENOSYS:
        return false;
    default:
        fail(err, existing, QStringLiteral("Cannot keep"));
    }
}

void syncFile(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno, path, QStringLiteral("Cannot open"));
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0)
        fail(err, path, QStringLiteral("Cannot write"));
}

void syncFolder(const QString& folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // some file systems do not let a folder be opened; the rename stands anyway
    ::fsync(fd);
    ::close(fd);
}

QString folderFromNative(const QByteArray& native, bool create) {
    if (native.isEmpty())
        return {};
    const QString decoded = QFile::decodeName(native);
    if (QFile::encodeName(decoded) == native)
        return decoded;
    if (create) {
        // Every folder on the way is made under its own bytes; text would name another one.
        for (qsizetype slash = native.indexOf('/', 1); slash != -1;
             slash = native.indexOf('/', slash + 1))
            ::mkdir(native.left(slash).constData(), 0777);
        ::mkdir(native.constData(), 0777);
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(errno, decoded, QStringLiteral("Cannot open the folder"));
    const QString handle = QStringLiteral("/proc/self/fd/%1").arg(fd);
    if (!QFileInfo(handle).isDir()) {
        ::close(fd);
        throw PlatformError(ErrorNumber::BadFileName,
                            QStringLiteral("The folder name \"%1\" cannot be used here: its bytes "
                                           "are not in the file names' encoding.")
                                .arg(decoded));
    }
    return handle; // the handle stays open: the folder is reached through it from now on
}

void writeAll(QFileDevice& file, QByteArrayView bytes, const QString& name) {
    while (!bytes.isEmpty()) {
        errno = 0;
        const qint64 written = file.write(bytes.data(), bytes.size());
        if (written <= 0)
            failedWrite(errno, file, name);
        bytes = bytes.sliced(written);
    }
}

void commitAll(QSaveFile& file, const QString& name) {
    errno = 0;
    if (!file.commit())
        failedWrite(errno, file, name);
}

QString joinPath(const QString& folder, const QString& name) {
    QString trimmedName = name;
    while (trimmedName.startsWith(QLatin1Char('/')) || trimmedName.startsWith(QLatin1Char('\\')))
        trimmedName.remove(0, 1);
    if (folder.isEmpty())
        return trimmedName;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + trimmedName;
    return folder + QLatin1Char('/') + trimmedName;
}

QString resolveName(const QString& folder, const QString& name) {
    const QString exact = joinPath(folder, name);
    if (QFileInfo::exists(exact))
        return exact;
    QString bare = name;
    while (bare.startsWith(QLatin1Char('/')) || bare.startsWith(QLatin1Char('\\')))
        bare.remove(0, 1);
    const QStringList entries =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(bare, Qt::CaseInsensitive) == 0)
            return joinPath(folder, entry);
    }
    return exact;
}

} // namespace quillory::files
