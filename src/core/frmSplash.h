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

private:
    AppContext& m_app;
    bool m_activated = false;
};

} // namespace quillory
