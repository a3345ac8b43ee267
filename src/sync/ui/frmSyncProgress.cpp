#include "sync/ui/frmSyncProgress.h"

#include "sync/ui/SyncTask.h"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

frmSyncProgress::frmSyncProgress(Work work, std::function<void()> cancel, QWidget* parent)
    : QDialog(parent), m_task(new sync::SyncTask(this)) {
    setObjectName(QStringLiteral("frmSyncProgress"));
    setWindowTitle(QStringLiteral("Sync with server"));
    lblStep = new QLabel(QStringLiteral("Syncing the book with the server..."), this);
    lblStep->setObjectName(QStringLiteral("lblStep"));
    prgSync = new QProgressBar(this);
    prgSync->setObjectName(QStringLiteral("prgSync"));
    prgSync->setRange(0, 0); // busy until the work knows how much there is
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblStep);
    layout->addWidget(prgSync);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    setMinimumWidth(360);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSyncProgress::reject);
    connect(m_task, &sync::SyncTask::finished, this, &frmSyncProgress::finished);
    const QPointer<QProgressBar> bar = prgSync;
    const sync::SyncProgress progress = [this, bar](qint64 done, qint64 total) {
        const int permille = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
        QMetaObject::invokeMethod(
            prgSync,
            [bar, permille, total] {
                if (bar && total > 0) {
                    bar->setRange(0, 1000);
                    bar->setValue(permille);
                }
            },
            Qt::QueuedConnection);
        return !m_cancelled.load();
    };
    // The work's summary is written on its thread and read here only after it has ended.
    m_task->start([this, work = std::move(work), progress] { m_text = work(progress); },
                  [this, cancel = std::move(cancel)] {
                      m_cancelled = true;
                      cancel();
                  });
}

frmSyncProgress::~frmSyncProgress() = default;

bool frmSyncProgress::isRunning() const {
    return m_task->isRunning();
}

bool frmSyncProgress::refusedLogin() const {
    return m_task->refusedLogin();
}

void frmSyncProgress::reject() {
    // Cancel asks the work to stop; the window closes when it has.
    if (m_task->isRunning()) {
        lblStep->setText(QStringLiteral("Cancelling..."));
        cmdCancel->setEnabled(false);
        m_task->cancel();
        return;
    }
    QDialog::reject();
}

void frmSyncProgress::finished(bool ok, const QString& failure) {
    m_ok = ok;
    if (!ok)
        m_text = failure;
    Q_EMIT syncEnded();
    done(ok ? Accepted : Rejected);
}

} // namespace quillory
