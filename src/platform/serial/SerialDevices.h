#pragma once

#include <QString>
#include <QStringList>

namespace quillory::serial {

// The program offers four serial ports, COM1 to COM4. Each stands for a device of this
// computer: the one its environment variable names, else the one the user chose in the
// settings, else the built-in port /dev/ttyS0 to /dev/ttyS3.
constexpr int PortCount = 4;

// "/dev/ttyS0" for port 1 ... "/dev/ttyS3" for port 4.
QString defaultDevice(int port);

// "QUILLORY_COM1" ... "QUILLORY_COM4".
QString environmentVariable(int port);

// The device the environment variable of `port` names; empty when it is not set.
QString environmentDevice(int port);

// The device `port` stands for, given the device the user chose for it (empty: none chosen).
QString deviceFor(int port, const QString& chosen);

// The serial devices present under `devices` (normally /dev): USB adaptors (ttyUSB*), modems
// that speak USB's own serial class (ttyACM*) and the built-in ports (ttyS*), in that order
// and by number within each kind. Built-in port names that the kernel keeps for hardware that
// is not there are left out when `sysfs` says so.
QStringList presentDevices(const QString& devices = QStringLiteral("/dev"),
                           const QString& sysfs = QStringLiteral("/sys/class/tty"));

// Why a device could not be opened, told from what the device is and who may use it.
struct OpenFailure {
    enum class Kind { Missing, NoPermission, InUse };
    Kind kind = Kind::InUse;
    QString group; // for NoPermission: the group that owns the device (may be empty)
};

// Explains an open of `path` that failed. A device that is there and that this user may read
// and write is taken to be held by another program.
OpenFailure explainOpenFailure(const QString& path);

} // namespace quillory::serial
