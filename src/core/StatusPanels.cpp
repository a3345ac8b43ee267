#include "core/StatusPanels.h"

#include "platform/ui/KeyboardLocks.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace quillory {

namespace {
void setIndicator(QLabel* label, bool on) {
    label->setEnabled(on);
}
} // namespace

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent), m_clock(new QTimer(this)) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(true);
    const std::array<QString, PanelCount> initial = {QStringLiteral("All Contacts"),
                                                     QString(),
                                                     QStringLiteral("CAPS"),
                                                     QStringLiteral("NUM"),
                                                     QStringLiteral("SCRL"),
                                                     QStringLiteral("INS"),
                                                     QString(),
                                                     QString()};
    const std::array<const char*, PanelCount> names = {"view",   "status", "caps", "num",
                                                       "scroll", "insert", "time", "date"};
    for (int i = 0; i < PanelCount; ++i) {
        auto* panel = new QLabel(initial[size_t(i)], this);
        panel->setObjectName(
            QStringLiteral("StatusBar1_%1").arg(QString::fromLatin1(names[size_t(i)])));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        if (i == 0)
            panel->setMinimumWidth(130);
        if (i >= 2)
            panel->setAlignment(Qt::AlignCenter);
        m_labels[size_t(i)] = panel;
        if (i == 1)
            addWidget(panel, 1);
        else if (i == 0)
            addWidget(panel);
        else
            addPermanentWidget(panel);
    }
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    connect(m_clock, &QTimer::timeout, this, &StatusPanels::refreshIndicators);
    m_clock->start(1000);
    refreshIndicators();
}

QString StatusPanels::panelText(int panel) const {
    if (panel < 1 || panel > PanelCount)
        return {};
    return label(panel)->text();
}

void StatusPanels::setPanelText(int panel, const QString& text) {
    if (panel >= 1 && panel <= PanelCount)
        label(panel)->setText(text);
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Insert:
            // A key press reaches the filter once for each widget it travels through.
            if (watched == QApplication::focusWidget())
                toggleInsertMode();
            break;
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
            QTimer::singleShot(50, this, &StatusPanels::refreshIndicators);
            break;
        default:
            break;
        }
    }
    return QStatusBar::eventFilter(watched, event);
}

void StatusPanels::toggleInsertMode() {
    m_insertMode = !m_insertMode;
    refreshIndicators();
}

void StatusPanels::refreshIndicators() {
    const ui::KeyboardLocks locks = ui::KeyboardLocks::read();
    setIndicator(label(CapsLock), locks.capsLock);
    setIndicator(label(NumLock), locks.numLock);
    setIndicator(label(ScrollLock), locks.scrollLock);
    setIndicator(label(Insert), m_insertMode);
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    label(Time)->setText(locale.toString(now.time(), QLocale::ShortFormat));
    label(Date)->setText(locale.toString(now.date(), QLocale::ShortFormat));
}

} // namespace quillory
