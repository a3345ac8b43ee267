#pragma once

#include "platform/engine/Database.h"

#include <functional>
#include <QDialog>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QProgressBar;
class QPushButton;

namespace quillory {

// Drives a long copy of the book from the window's own event loop: each report of the copy
// moves `bar` to the share done and lets the windows paint, and a click on `cancel` makes the
// next report stop the copy. While it lives, input goes to `inputTo` and its children only,
// when one is given (a notice inside a window that must not be used meanwhile).
class CopyProgressDriver final : public QObject {
public:
    CopyProgressDriver(QProgressBar* bar, QAbstractButton* cancel, QWidget* inputTo = nullptr);
    ~CopyProgressDriver() override;
    CopyProgressDriver(const CopyProgressDriver&) = delete;
    CopyProgressDriver& operator=(const CopyProgressDriver&) = delete;

    // The report to hand to the copy; valid while the driver lives.
    const engine::CopyProgress& progress() const { return m_progress; }
    bool cancelled() const { return m_cancelled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool report(qint64 done, qint64 total);

    QPointer<QProgressBar> m_bar;
    QPointer<QAbstractButton> m_cancel;
    QPointer<QWidget> m_inputTo;
    engine::CopyProgress m_progress;
    QElapsedTimer m_sincePaint;
    bool m_cancelled = false;
};

// The window of a long maintenance command: the command's caption, a bar of the share done
// and Cancel.
class frmProgress final : public QDialog {
public:
    frmProgress(const QString& caption, QWidget* parent);

    QProgressBar* prgWork;
    QPushButton* cmdCancel;

protected:
    // Escape and the window's close box cancel the work rather than hide the window over it.
    void reject() override;
};

// Runs `work` with a frmProgress titled `caption` over `parent`, the other windows closed to
// input meanwhile. False when the user cancelled it (the work threw engine::CopyCancelled);
// any other failure of the work passes through.
bool runWithProgress(QWidget* parent, const QString& caption,
                     const std::function<void(const engine::CopyProgress&)>& work);

} // namespace quillory
