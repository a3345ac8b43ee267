#pragma once

#include <QWidget>

namespace quillory {

class AppContext;

// The start-up window: the program's picture, name and version while the main window loads.
// Its first activation creates the main window, shows it and then runs what comes after.
class frmSplash final : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(AppContext& app, QWidget* parent = nullptr);

    // Loads and shows the main window (the splash's first activation).
    void Form_Activate();

Q_SIGNALS:
    // The main window is shown with its first card filled.
    void started();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void activateOnce();

    // How long a shown splash waits to be painted before it goes on without.
    static constexpr int unexposedWaitMs = 1000;
    AppContext& m_app;
    bool m_activated = false;
    bool m_activationDue = false;
};

} // namespace quillory
