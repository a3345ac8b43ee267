#include "app/HomeLock.h"

#include <cerrno>
#include <fcntl.h>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

namespace {

// How long a later start waits for the running program to connect and answer.
constexpr int answerWaitMs = 3000;
const QByteArray comeForwardRequest = "come forward\n";
const QByteArray cameForwardAnswer = "done\n";

// The name the running program listens under: the user and the folder itself (its device and
// inode), so that any path to the same folder finds it.
QString serverNameFor(const QString& folder) {
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return {};
    return QStringLiteral("quillory-%1-%2-%3")
        .arg(::getuid())
        .arg(quint64(info.st_dev))
        .arg(quint64(info.st_ino));
}

} // namespace

std::unique_ptr<HomeLock> HomeLock::take(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK) {
            ::close(fd);
            return nullptr;
        }
    }
    return std::unique_ptr<HomeLock>(new HomeLock(fd, serverNameFor(folder)));
}

HomeLock::HomeLock(int descriptor, const QString& serverName) : m_descriptor(descriptor) {
    if (serverName.isEmpty())
        return;
    m_server = new QLocalServer(this);
    // A name outside the file system goes with the process, as the lock does: a killed run
    // leaves nothing behind that the next one would have to clear.
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!m_server->listen(serverName))
        return;
    connect(m_server, &QLocalServer::newConnection, this, &HomeLock::answer);
}

HomeLock::~HomeLock() {
    if (m_server)
        m_server->close();
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void HomeLock::answer() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine(64) == comeForwardRequest) {
                if (m_comeForward)
                    m_comeForward();
                socket->write(cameForwardAnswer);
            }
            socket->disconnectFromServer();
        });
    }
}

bool HomeLock::askToComeForward(const QString& folder) {
    const QString name = serverNameFor(folder);
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    if (!socket.waitForConnected(answerWaitMs))
        return false;
    socket.write(comeForwardRequest);
    if (!socket.waitForBytesWritten(answerWaitMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(answerWaitMs))
            return false;
    }
    return socket.readLine(64) == cameForwardAnswer;
}

} // namespace quillory
