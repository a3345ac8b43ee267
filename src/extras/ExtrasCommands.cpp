#include "core/AppContext.h"
#include "core/frmMain.h"
#include "extras/About.h"
#include "extras/Extras.h"
#include "extras/frmTip.h"
#include "platform/ui/Modal.h"

#include <QEvent>
#include <QTimer>
#include <QWindow>

namespace quillory {

namespace {

// Runs an action once, as soon as a window is on the screen. Until then the window manager
// has not placed the window, and a window meant to stand over it would be put beside it.
class WhenOnScreen final : public QObject {
public:
    WhenOnScreen(QWindow& window, std::function<void()> action)
        : QObject(&window), m_window(window), m_action(std::move(action)) {
        window.installEventFilter(this);
        // A window manager that never reports the window as shown does not keep the action back.
        QTimer::singleShot(2000, this, &WhenOnScreen::run);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::Expose && m_window.isExposed())
            QTimer::singleShot(0, this, &WhenOnScreen::run);
        return false;
    }

private:
    void run() {
        if (m_done)
            return;
        m_done = true;
        m_window.removeEventFilter(this);
        try {
            m_action();
        } catch (const std::exception&) {
            // The start-up tip is a courtesy; it never stops the program.
        }
        deleteLater();
    }

    QWindow& m_window;
    std::function<void()> m_action;
    bool m_done = false;
};

} // namespace

void registerExtrasCommands(AppContext& app) {
    app.commands().add(QStringLiteral("tip"), [&app](CommandOrigin) { showTipWindow(app); });
    app.commands().add(QStringLiteral("about"), [&app](CommandOrigin) {
        About box(&app.mainWindow());
        box.Form_Load();
        ui::Modal::exec(box);
    });
    // Only a ticked setting shows the tip at start-up; the undetermined state does not. It
    // opens once the main window is on the screen, over it.
    app.setAfterShowHook([&app] {
        if (app.settings().showTips != 1)
            return;
        QWindow* window = app.mainWindow().windowHandle();
        if (!window || window->isExposed())
            showTipWindow(app);
        else
            new WhenOnScreen(*window, [&app] { showTipWindow(app); });
    });
}

} // namespace quillory
