#pragma once

#include "sync/SyncEngine.h"

#include <atomic>
#include <functional>
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillory {

namespace sync {
class SyncTask;
}

// "Syncing": a bar of what is done while the book talks with the server, and Cancel. It closes by
// itself when the work ends; ok() and text() then say how it went (the summary or the failure).
class frmSyncProgress final : public QDialog {
    Q_OBJECT
public:
    using Work = std::function<QString(const sync::SyncProgress& progress)>;
    // `work` runs on a thread of its own, reports through `progress` (false once Cancel was
    // pressed) and returns the summary; `cancel` also ends a request in progress.
    frmSyncProgress(Work work, std::function<void()> cancel, QWidget* parent = nullptr);
    ~frmSyncProgress() override;

    bool isRunning() const;
    bool ok() const { return m_ok; }
    bool refusedLogin() const;
    const QString& text() const { return m_text; }

    QLabel* lblStep;
    QProgressBar* prgSync;
    QPushButton* cmdCancel;

Q_SIGNALS:
    void syncEnded();

protected:
    void reject() override;

private:
    void finished(bool ok, const QString& failure);

    sync::SyncTask* m_task;
    std::atomic<bool> m_cancelled{false};
    bool m_ok = false;
    QString m_text;
};

} // namespace quillory
