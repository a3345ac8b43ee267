#pragma once

#include <functional>
#include <memory>
#include <QMainWindow>
#include <QRect>
#include <QTimer>

class QAction;
class QLabel;
class QScrollArea;

namespace quillory::report {

class PageSource;
class PreviewPage;

// The preview of a print job: one page at a time, drawn only when it is shown, with page
// navigation, zoom, printing and PDF export. The page count is found in idle steps, so that a
// long job opens at once and the window answers while the rest of it is laid out.
class PreviewWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PreviewWindow(std::unique_ptr<PageSource> pages, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Shows the first page and starts counting the pages; called once the window is shown.
    void start();

    enum class Zoom { FitPage, FitWidth, Fixed };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QAction* addCommand(const QString& name, const QString& text, const QIcon& icon,
                        const QList<QKeySequence>& keys, void (PreviewWindow::*slot)());
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void zoomIn();
    void zoomOut();
    void fitPage();
    void fitWidth();
    void actualSize();
    void print();
    void exportPdf();

    void showPage(int index);
    void setZoom(Zoom zoom, double factor);
    double pixelsPerPoint() const;
    void render();
    void countStep();
    void updateState();
    void layoutFailed(const QString& reason);
    // Runs a print or export with the wait cursor; returns its failure, empty when none.
    QString runWaiting(const std::function<void()>& output);
    void tell(const QString& text);
    void fitFrame();

    std::unique_ptr<PageSource> m_pages;
    QSizeF m_paper;        // the page in points
    int m_current = -1;    // the page shown; -1 while there is none
    int m_lastKnown = -1;  // the highest page known to exist
    int m_count = -1;      // the page count once known
    bool m_broken = false; // laying out failed: stop asking for more pages
    int m_failedPage = -1; // the page whose drawing failure the user was told of
    Zoom m_zoom = Zoom::FitWidth;
    double m_factor = 1.0;        // the zoom of Zoom::Fixed (1.0: the page's real size)
    double m_renderedScale = 0.0; // the pixels per point of the page drawn last
    QScrollArea* m_scroll = nullptr;
    PreviewPage* m_sheet = nullptr;
    QLabel* m_pageLabel = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QAction* m_first = nullptr;
    QAction* m_previous = nullptr;
    QAction* m_next = nullptr;
    QAction* m_last = nullptr;
    QTimer m_counter;
    QTimer m_refit;
    QRect m_place;      // where the window stands, frame included, until the frame is known
    QTimer m_frameWait; // polls for the window manager's frame after the first show
    int m_frameChecks = 0;
};

} // namespace quillory::report
