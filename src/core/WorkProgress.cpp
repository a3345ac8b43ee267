#include "core/WorkProgress.h"

#include <algorithm>
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillory {

namespace {

// Long enough apart that letting the windows paint costs the copy nothing worth measuring,
// close enough that the window never looks stuck.
constexpr qint64 PaintEveryMs = 30;

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

CopyProgressDriver::CopyProgressDriver(QProgressBar* bar, QAbstractButton* cancel, QWidget* inputTo)
    : m_bar(bar), m_cancel(cancel), m_inputTo(inputTo),
      m_progress([this](qint64 done, qint64 total) { return report(done, total); }) {
    m_bar->setRange(0, 1000);
    m_bar->reset();
    m_cancel->setEnabled(true);
    connect(m_cancel, &QAbstractButton::clicked, this, [this] {
        m_cancelled = true;
        m_cancel->setEnabled(false);
    });
    if (m_inputTo)
        qApp->installEventFilter(this);
    m_sincePaint.start();
}

CopyProgressDriver::~CopyProgressDriver() {
    if (m_inputTo)
        qApp->removeEventFilter(this);
}

bool CopyProgressDriver::eventFilter(QObject* watched, QEvent* event) {
    if (!isInput(event->type()) || !watched->isWidgetType() || !m_inputTo)
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    return widget != m_inputTo && !m_inputTo->isAncestorOf(widget);
}

bool CopyProgressDriver::report(qint64 done, qint64 total) {
    const int permille = total > 0 ? int(std::clamp<qint64>(done * 1000 / total, 0, 1000)) : 0;
    if (m_bar && m_bar->value() != permille)
        m_bar->setValue(permille);
    if (m_sincePaint.elapsed() >= PaintEveryMs) {
        QApplication::processEvents();
        m_sincePaint.restart();
    }
    return !m_cancelled;
}

frmProgress::frmProgress(const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(caption);
    setWindowModality(Qt::ApplicationModal);
    prgWork = new QProgressBar(this);
    prgWork->setObjectName(QStringLiteral("prgWork"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prgWork);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    setMinimumWidth(360);
}

void frmProgress::reject() {
    cmdCancel->click();
}

bool runWithProgress(QWidget* parent, const QString& caption,
                     const std::function<void(const engine::CopyProgress&)>& work) {
    frmProgress window(caption, parent);
    CopyProgressDriver driver(window.prgWork, window.cmdCancel);
    window.show();
    QApplication::processEvents();
    try {
        work(driver.progress());
    } catch (const engine::CopyCancelled&) {
        return false;
    }
    return true;
}

} // namespace quillory
