#include "ModemEmulator.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace quillory::test {

ModemEmulator::ModemEmulator() {
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        qWarning("openpty failed: %s", strerror(errno));
        m_master = m_slave = -1;
        return;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_devicePath = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ModemEmulator::readFromProgram);
}

ModemEmulator::~ModemEmulator() {
    unplug();
}

void ModemEmulator::unplug() {
    delete std::exchange(m_notifier, nullptr);
    for (int* end : {&m_master, &m_slave}) {
        if (*end >= 0)
            ::close(std::exchange(*end, -1));
    }
}

bool ModemEmulator::waitForReceived(const QByteArray& bytes, std::chrono::milliseconds within) {
    return QTest::qWaitFor([&] { return m_received.contains(bytes); },
                           static_cast<int>(within.count()));
}

void ModemEmulator::readFromProgram() {
    char buffer[512];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0)
            return;
        m_received.append(buffer, count);
        for (ssize_t i = 0; i < count; ++i) {
            if (buffer[i] == '\r') {
                answer(m_command);
                m_command.clear();
            } else {
                m_command.append(buffer[i]);
            }
        }
    }
}

void ModemEmulator::answer(const QByteArray& command) {
    if (command.startsWith("ATH")) {
        send("\r\nOK\r\n");
        return;
    }
    if (!command.startsWith("ATDT"))
        return;
    std::chrono::milliseconds at{0};
    for (const Reply& reply : m_dialReplies) {
        at += reply.after;
        QTimer::singleShot(at, this, [this, bytes = reply.bytes] { send(bytes); });
    }
}

void ModemEmulator::send(const QByteArray& bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(m_master, bytes.constData() + written,
                                      static_cast<size_t>(bytes.size() - written));
        if (count < 0 && errno == EAGAIN) {
            QTest::qWait(1);
            continue;
        }
        if (count <= 0)
            return;
        written += count;
    }
}

} // namespace quillory::test
