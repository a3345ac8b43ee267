#pragma once

#include "platform/serial/SerialDevices.h"

#include <array>
#include <optional>
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace quillory::serial {

// A serial port spoken to the way the program has always spoken to its modem: choose a port
// number and line settings, open it, write text, read what has come and close it. The port
// number stands for a device as SerialDevices.h says; the devices the user chose are given
// with setChosenDevices().
class MSComm final : public QObject {
    Q_OBJECT
public:
    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    // The port number, 1 to 4. Another number is refused (PlatformError 380); so is a change
    // while the port is open (8005).
    int CommPort() const { return m_commPort; }
    void setCommPort(int port);

    // "baud,parity,data bits,stop bits", as "9600,N,8,1". A text that does not say that is
    // refused with PlatformError 380 and leaves the settings as they were.
    QString Settings() const { return m_settings; }
    void setSettings(const QString& settings);

    // Opening throws PlatformError 8002 when the device cannot be opened; lastOpenFailure()
    // then says why. Closing an open port first lets what was written leave it.
    bool PortOpen() const { return m_port.isOpen(); }
    void setPortOpen(bool open);
    OpenFailure lastOpenFailure() const { return m_lastFailure; }

    // Characters received and not yet read; setting it to 0 throws them away.
    int InBufferCount() const;
    void setInBufferCount(int count);

    // Sends `text` (PlatformError 8018 when the port is closed).
    void Output(const QByteArray& text);
    // Takes every character waiting.
    QByteArray Input();

    // The devices the user chose for the ports 1 to 4 (an empty text: none chosen).
    void setChosenDevices(const std::array<QString, PortCount>& devices) { m_chosen = devices; }
    // The device the current port number stands for.
    QString devicePath() const;

Q_SIGNALS:
    // Characters have arrived.
    void OnComm();
    // The device went away or can no longer be read or written; the port has been closed.
    void Lost();

private:
    struct Line {
        qint32 baud;
        QSerialPort::Parity parity;
        QSerialPort::DataBits dataBits;
        QSerialPort::StopBits stopBits;
    };
    static std::optional<Line> parseSettings(const QString& settings);
    void portError(QSerialPort::SerialPortError error);
    void applyLine(const Line& line);

    QSerialPort m_port;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    std::array<QString, PortCount> m_chosen{};
    OpenFailure m_lastFailure;
};

} // namespace quillory::serial
