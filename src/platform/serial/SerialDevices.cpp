#include "platform/serial/SerialDevices.h"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory::serial {

QString defaultDevice(int port) {
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

QString environmentVariable(int port) {
    return QStringLiteral("QUILLORY_COM%1").arg(port);
}

QString environmentDevice(int port) {
    return qEnvironmentVariable(environmentVariable(port).toLatin1().constData()).trimmed();
}

QString deviceFor(int port, const QString& chosen) {
    const QString fromEnvironment = environmentDevice(port);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    if (!chosen.trimmed().isEmpty())
        return chosen.trimmed();
    return defaultDevice(port);
}

namespace {

// The kernel makes ttyS0 to ttyS31 whether or not a UART answers behind them; sysfs gives
// such a port the type 0. Where sysfs says nothing the port is offered.
bool builtInPortIsThere(const QString& sysfs, const QString& name) {
    QFile type(sysfs + u'/' + name + QStringLiteral("/type"));
    if (!type.open(QIODevice::ReadOnly))
        return true;
    return type.readAll().trimmed() != "0";
}

} // namespace

QStringList presentDevices(const QString& devices, const QString& sysfs) {
    QStringList found;
    const QDir folder(devices);
    for (const QString& kind :
         {QStringLiteral("ttyUSB"), QStringLiteral("ttyACM"), QStringLiteral("ttyS")}) {
        const QRegularExpression numbered(QRegularExpression::anchoredPattern(kind + "(\\d+)"));
        QList<std::pair<int, QString>> ofKind;
        for (const QString& name : folder.entryList({kind + u'*'}, QDir::System | QDir::Files)) {
            const QRegularExpressionMatch match = numbered.match(name);
            if (!match.hasMatch())
                continue;
            if (kind == QLatin1String("ttyS") && !builtInPortIsThere(sysfs, name))
                continue;
            ofKind.append({match.captured(1).toInt(), folder.filePath(name)});
        }
        std::sort(ofKind.begin(), ofKind.end());
        for (const auto& [number, path] : ofKind)
            found.append(path);
    }
    return found;
}

OpenFailure explainOpenFailure(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        return {errno == EACCES ? OpenFailure::Kind::NoPermission : OpenFailure::Kind::Missing, {}};
    if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        QString group;
        if (const struct group* owner = ::getgrgid(status.st_gid))
            group = QString::fromLocal8Bit(owner->gr_name);
        return {OpenFailure::Kind::NoPermission, group};
    }
    return {OpenFailure::Kind::InUse, {}};
}

} // namespace quillory::serial
