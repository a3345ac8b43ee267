// The baseline for start-up times: the least a Qt Widgets program does to show a window with a
// menu bar, a toolbar and a status bar. It exits once that window has been painted, as the
// program does with --exit-after-start once its first card is shown.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

namespace {

class Painted final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        }
    }

private:
    bool m_done = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open"));
    file->addAction(QStringLiteral("E&xit"));
    window.menuBar()->addMenu(QStringLiteral("&Edit"))->addAction(QStringLiteral("&Copy"));
    QToolBar* tools = window.addToolBar(QStringLiteral("Tools"));
    tools->addAction(window.style()->standardIcon(QStyle::SP_DialogOpenButton),
                     QStringLiteral("Open"));
    tools->addAction(window.style()->standardIcon(QStyle::SP_DialogSaveButton),
                     QStringLiteral("Save"));
    window.setCentralWidget(new Painted(QStringLiteral("A card would be here.")));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.resize(640, 480);
    window.show();
    return application.exec();
}
