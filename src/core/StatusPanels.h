#pragma once

#include <array>
#include <QStatusBar>

class QLabel;
class QTimer;

namespace quillory {

// The main window's status bar: the open view, the current contact, the Caps Lock, Num Lock,
// Scroll Lock and Insert indicators, the time and the date. Panels are numbered from 1.
class StatusPanels final : public QStatusBar {
    Q_OBJECT
public:
    enum Panel { View = 1, Contact, CapsLock, NumLock, ScrollLock, Insert, Time, Date };
    static constexpr int PanelCount = 8;

    explicit StatusPanels(QWidget* parent = nullptr);

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

    // Keyboard states shown by the indicator panels.
    bool insertMode() const { return m_insertMode; }
    void toggleInsertMode();
    void refreshIndicators();

protected:
    // Watches the keyboard of the whole program: Insert flips the insert indicator, the lock
    // keys are read again at once instead of on the next tick of the clock.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* label(int panel) const { return m_labels[size_t(panel - 1)]; }
    std::array<QLabel*, PanelCount> m_labels{};
    QTimer* m_clock;
    bool m_insertMode = true;
};

} // namespace quillory
