#pragma once

#include <atomic>
#include <functional>
#include <QObject>
#include <QString>

class QProgressBar;
class QThread;

namespace quillory::exchange {

// Runs one long import or export off the window's thread, so the window keeps painting and its
// Cancel button works. The work gets a progress callback that moves `bar` and answers false
// once cancel() was called; finished() comes on the window's thread with the error text of a
// PlatformError the work threw (empty when none). Destroying the run cancels the work and waits
// for it, so nothing the work touches outlives the window.
class BackgroundRun final : public QObject {
    Q_OBJECT
public:
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    using Work = std::function<void(const Progress& progress)>;

    explicit BackgroundRun(QProgressBar* bar, QObject* parent = nullptr);
    ~BackgroundRun() override;

    void start(Work work);
    bool isRunning() const { return m_thread != nullptr; }
    void cancel() { m_cancelled = true; }
    // Cancels the work when it runs, and says whether it did.
    bool cancelIfRunning() {
        if (isRunning())
            cancel();
        return isRunning();
    }
    // Cancels, and waits for the work to stop.
    void stop();

Q_SIGNALS:
    void finished(const QString& error);

private:
    void ended();

    QProgressBar* m_bar;
    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancelled{false};
    QString m_error;
};

} // namespace quillory::exchange
