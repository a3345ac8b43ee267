#include "platform/serial/MSComm.h"

#include "platform/files/PlatformError.h"

namespace quillory::serial {

namespace {

constexpr int InvalidPropertyValue = 380;
constexpr int InvalidPortNumber = 8002;
constexpr int PortAlreadyOpen = 8005;
constexpr int PortNotOpen = 8018;

// How long a close waits for written characters to leave: the hang-up is a few bytes, which
// take a few milliseconds at 9600 baud, and a dead line must not hold the window.
constexpr int DrainMilliseconds = 500;

} // namespace

MSComm::MSComm(QObject* parent) : QObject(parent) {
    connect(&m_port, &QSerialPort::readyRead, this, &MSComm::OnComm);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::portError);
}

void MSComm::portError(QSerialPort::SerialPortError error) {
    // A device that went away (a USB modem unplugged, a line hung up) stays readable for
    // ever with nothing to read; the port is closed so that nothing waits on it any more.
    if (!m_port.isOpen() || (error != QSerialPort::ResourceError &&
                             error != QSerialPort::ReadError && error != QSerialPort::WriteError))
        return;
    m_port.close();
    m_port.clearError();
    Q_EMIT Lost();
}

MSComm::~MSComm() = default;

void MSComm::setCommPort(int port) {
    if (port < 1 || port > PortCount)
        throw PlatformError(InvalidPortNumber, QStringLiteral("Invalid port number"));
    if (m_port.isOpen())
        throw PlatformError(PortAlreadyOpen, QStringLiteral("Port already open"));
    m_commPort = port;
}

std::optional<MSComm::Line> MSComm::parseSettings(const QString& settings) {
    const QStringList parts = settings.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return std::nullopt;
    Line line{baud, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop};
    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        line.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("E"))
        line.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("O"))
        line.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("M"))
        line.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        line.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return std::nullopt;
    line.dataBits = static_cast<QSerialPort::DataBits>(bits);
    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        line.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        line.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        line.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return line;
}

void MSComm::setSettings(const QString& settings) {
    const auto line = parseSettings(settings);
    if (!line)
        throw PlatformError(InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_settings = settings;
    if (m_port.isOpen())
        applyLine(*line);
}

void MSComm::applyLine(const Line& line) {
    m_port.setBaudRate(line.baud);
    m_port.setParity(line.parity);
    m_port.setDataBits(line.dataBits);
    m_port.setStopBits(line.stopBits);
}

QString MSComm::devicePath() const {
    return deviceFor(m_commPort, m_chosen[static_cast<std::size_t>(m_commPort - 1)]);
}

void MSComm::setPortOpen(bool open) {
    if (!open) {
        if (!m_port.isOpen())
            return;
        if (m_port.bytesToWrite() > 0)
            m_port.waitForBytesWritten(DrainMilliseconds);
        m_port.close();
        return;
    }
    if (m_port.isOpen())
        throw PlatformError(PortAlreadyOpen, QStringLiteral("Port already open"));
    const QString path = devicePath();
    const Line line = *parseSettings(m_settings);
    m_port.setPortName(path);
    applyLine(line);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lastFailure = explainOpenFailure(path);
        const QString reason = m_port.errorString();
        m_port.clearError();
        throw PlatformError(InvalidPortNumber,
                            QStringLiteral("%1 cannot be opened: %2").arg(path, reason));
    }
    m_lastFailure = {};
}

int MSComm::InBufferCount() const {
    return m_port.isOpen() ? static_cast<int>(m_port.bytesAvailable()) : 0;
}

void MSComm::setInBufferCount(int count) {
    if (count != 0)
        throw PlatformError(InvalidPropertyValue, QStringLiteral("Invalid property value"));
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

void MSComm::Output(const QByteArray& text) {
    if (!m_port.isOpen())
        throw PlatformError(PortNotOpen,
                            QStringLiteral("Operation valid only when the port is open"));
    m_port.write(text);
    m_port.flush();
}

QByteArray MSComm::Input() {
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

} // namespace quillory::serial
