#include "sync/ui/SyncTask.h"

#include "platform/files/PlatformError.h"

#include <QThread>

namespace quillory::sync {

SyncTask::~SyncTask() {
    if (!m_thread)
        return;
    cancel();
    m_thread->wait();
    delete m_thread;
}

void SyncTask::start(std::function<void()> work, std::function<void()> cancel) {
    if (m_thread)
        return;
    m_ok = true;
    m_refusedLogin = false;
    m_failure.clear();
    m_cancel = std::move(cancel);
    m_thread = QThread::create([this, work = std::move(work)] {
        try {
            work();
        } catch (const SyncError& error) {
            m_ok = false;
            m_failure = describe(error.kind(), error.message());
            m_refusedLogin = error.kind() == SyncError::Kind::Authentication;
        } catch (const PlatformError& error) { // the book could not be read or written
            m_ok = false;
            m_failure = error.description();
        } catch (const std::exception& error) {
            m_ok = false;
            m_failure = QString::fromLocal8Bit(error.what());
        }
    });
    connect(m_thread, &QThread::finished, this, &SyncTask::ended);
    m_thread->start();
}

void SyncTask::cancel() {
    if (m_thread && m_cancel)
        m_cancel();
}

void SyncTask::ended() {
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    Q_EMIT finished(m_ok, m_failure);
}

QString SyncTask::describe(SyncError::Kind kind, const QString& detail) {
    switch (kind) {
    case SyncError::Kind::Authentication:
        return QStringLiteral("The server refused the user name or the password.");
    case SyncError::Kind::Cancelled:
        return QStringLiteral("Cancelled.");
    default:
        return detail;
    }
}

} // namespace quillory::sync
