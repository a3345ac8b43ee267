#include "exchange/ui/BackgroundRun.h"

#include "platform/files/PlatformError.h"

#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QThread>

namespace quillory::exchange {

BackgroundRun::BackgroundRun(QProgressBar* bar, QObject* parent) : QObject(parent), m_bar(bar) {}

BackgroundRun::~BackgroundRun() {
    stop();
}

void BackgroundRun::start(Work work) {
    if (m_thread)
        return;
    m_cancelled = false;
    m_error.clear();
    m_bar->setRange(0, 1000);
    m_bar->setValue(0);
    m_bar->show();
    const QPointer<QProgressBar> bar = m_bar;
    const Progress progress = [this, bar](qint64 done, qint64 total) {
        const int permille = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
        QMetaObject::invokeMethod(
            m_bar,
            [bar, permille] {
                if (bar)
                    bar->setValue(permille);
            },
            Qt::QueuedConnection);
        return !m_cancelled.load();
    };
    m_thread = QThread::create([this, work = std::move(work), progress] {
        try {
            work(progress);
        } catch (const PlatformError& error) {
            m_error = error.description();
        } catch (const std::exception& error) {
            m_error = QString::fromLocal8Bit(error.what());
        }
    });
    connect(m_thread, &QThread::finished, this, &BackgroundRun::ended);
    m_thread->start();
}

void BackgroundRun::stop() {
    if (!m_thread)
        return;
    m_cancelled = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

void BackgroundRun::ended() {
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_bar->hide();
    Q_EMIT finished(m_error);
}

} // namespace quillory::exchange
