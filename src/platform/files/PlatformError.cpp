#include "platform/files/PlatformError.h"

#include <cerrno>
#include <cstring>

namespace quillory {

PlatformError::PlatformError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description) {}

int fileErrorNumber(int err) {
    switch (err) {
    case ENOENT:
        return ErrorNumber::FileNotFound;
    case ENOTDIR:
        return ErrorNumber::PathNotFound;
    case ENOSPC:
    case EDQUOT:
        return ErrorNumber::DiskFull;
    case EROFS:
    case EACCES:
    case EPERM:
    case ETXTBSY:
        return ErrorNumber::PathFileAccess;
    case EEXIST:
        return ErrorNumber::FileAlreadyExists;
    case ENAMETOOLONG:
    case EINVAL:
        return ErrorNumber::BadFileName;
    case EIO:
        return ErrorNumber::DeviceIO;
    case ENXIO:
    case ENODEV:
        return ErrorNumber::DeviceUnavailable;
    case ENOMEDIUM:
        return ErrorNumber::DiskNotReady;
    case EBUSY:
        return ErrorNumber::FileAlreadyOpen;
    default:
        return ErrorNumber::PathFileAccess;
    }
}

QString systemErrorText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace quillory
