#pragma once

#include "sync/CardDav.h"

#include <functional>
#include <QObject>
#include <QString>

class QThread;

namespace quillory::sync {

// One talk with the server (a test of the connection, a sync) on a thread of its own, so the
// window keeps painting and its Cancel works. finished() comes on the window's thread with the
// failure's kind and text (ok true when none). Destroying the task cancels the work and waits.
class SyncTask final : public QObject {
    Q_OBJECT
public:
    explicit SyncTask(QObject* parent = nullptr) : QObject(parent) {}
    ~SyncTask() override;

    // `work` runs on the thread; `cancel` is called from the window's thread to end it early.
    void start(std::function<void()> work, std::function<void()> cancel);
    bool isRunning() const { return m_thread != nullptr; }
    // The last run ended because the server refused the user name or the password.
    bool refusedLogin() const { return m_refusedLogin; }
    void cancel();

    // What the user is told of a failure of the kind `kind` with the server's text `detail`.
    static QString describe(SyncError::Kind kind, const QString& detail);

Q_SIGNALS:
    void finished(bool ok, const QString& failure);

private:
    void ended();

    QThread* m_thread = nullptr;
    std::function<void()> m_cancel;
    bool m_ok = true;
    bool m_refusedLogin = false;
    QString m_failure;
};

} // namespace quillory::sync
