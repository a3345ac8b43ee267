#pragma once

#include <chrono>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace quillory::test {

// A modem on a real pseudo-terminal: the program opens devicePath() as its serial port, the
// emulator reads what the program sends on the other end, records it, and answers each dial
// command with the replies it was given, each after its own pause. A hang-up is answered "OK".
class ModemEmulator final : public QObject {
    Q_OBJECT
public:
    struct Reply {
        QByteArray bytes;
        std::chrono::milliseconds after{0}; // since the previous reply (or the dial command)
    };

    ModemEmulator();
    ~ModemEmulator() override;
    ModemEmulator(const ModemEmulator&) = delete;
    ModemEmulator& operator=(const ModemEmulator&) = delete;

    bool isReady() const { return m_master >= 0; }
    QString devicePath() const { return m_devicePath; }

    // How the next dial commands ("ATDT...") are answered; by default they get no answer.
    void answerDial(QList<Reply> replies) { m_dialReplies = std::move(replies); }

    // Pulls the modem out: the line hangs up under the program, as when a USB modem is unplugged.
    void unplug();

    // Everything the program has sent, in order.
    QByteArray received() const { return m_received; }
    // Waits (running events) until the program has sent `bytes` somewhere in all it sent.
    bool waitForReceived(const QByteArray& bytes, std::chrono::milliseconds within);

private:
    void readFromProgram();
    void answer(const QByteArray& command);
    void send(const QByteArray& bytes);

    int m_master = -1;
    int m_slave = -1; // held so the line stays up while the program has it closed
    QString m_devicePath;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_received;
    QByteArray m_command;
    QList<Reply> m_dialReplies;
};

} // namespace quillory::test
