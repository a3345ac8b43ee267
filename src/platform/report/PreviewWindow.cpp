#include "platform/report/PreviewWindow.h"

#include "platform/files/PlatformError.h"
#include "platform/report/PageSource.h"
#include "platform/report/Preview.h"
#include "platform/report/PreviewPage.h"
#include "platform/report/PrinterDialog.h"
#include "platform/report/PrintOutput.h"
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace quillory::report {

namespace {

constexpr double MinimumZoom = 0.1;
constexpr double MaximumZoom = 8.0;
constexpr double ZoomStep = 1.25;
// How long one idle step may spend laying out pages before the window answers again.
constexpr int CountStepMs = 15;
// The window's size, frame included, where the screen has room for it.
constexpr QSize PreferredSize(820, 1000);
// How far a preview stands from one already open at its place, right and down.
constexpr int CascadeStep = 32;
// The window manager frames a mapped window some time after it is shown: polled this often,
// this many times (3 s) at most; without a window manager no frame comes.
constexpr int FrameCheckMs = 20;
constexpr int FrameChecks = 150;

// Where a new preview stands, frame included: in the middle of the available area of its
// screen and no larger than it, so that its status line is never cut off; moved right and down
// past each preview already standing there, and made smaller where the move would take it off
// the screen, so that two previews of one job never hide each other exactly.
QRect placeOnScreen(const QRect& available, const QList<QPoint>& taken) {
    const QSize size = PreferredSize.boundedTo(available.size());
    QRect place(available.topLeft() + QPoint((available.width() - size.width()) / 2,
                                             (available.height() - size.height()) / 2),
                size);
    while (taken.contains(place.topLeft()) && place.width() > CascadeStep &&
           place.height() > CascadeStep) {
        place.translate(CascadeStep, CascadeStep);
        if (place.right() > available.right())
            place.setRight(available.right());
        if (place.bottom() > available.bottom())
            place.setBottom(available.bottom());
    }
    return place;
}

QString reasonOf(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error))
        return platform->description();
    return QString::fromLocal8Bit(error.what());
}

// The toolbar's own pictures, drawn so that they look the same under every style and theme.
enum class Picture { ZoomIn, ZoomOut, FitPage, FitWidth, ActualSize, Print, Pdf };

QIcon drawIcon(Picture picture) {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(50, 60, 75);
    const QColor paper(255, 255, 255);
    const QColor accent(40, 110, 200);
    QPen pen(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const auto sheet = [&p, &paper](const QRectF& r) {
        p.setBrush(paper);
        p.drawRect(r);
    };
    switch (picture) {
    case Picture::ZoomIn:
    case Picture::ZoomOut:
        p.setBrush(paper);
        p.drawEllipse(QPointF(26, 26), 17, 17);
        p.setPen(QPen(ink, 8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(39, 39), QPointF(56, 56));
        p.setPen(QPen(accent, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(17, 26), QPointF(35, 26));
        if (picture == Picture::ZoomIn)
            p.drawLine(QPointF(26, 17), QPointF(26, 35));
        break;
    case Picture::FitPage:
        sheet(QRectF(16, 6, 32, 52));
        p.setPen(QPen(accent, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(32, 12), QPointF(32, 52));
        p.drawLine(QPointF(26, 18), QPointF(32, 12));
        p.drawLine(QPointF(38, 18), QPointF(32, 12));
        p.drawLine(QPointF(26, 46), QPointF(32, 52));
        p.drawLine(QPointF(38, 46), QPointF(32, 52));
        break;
    case Picture::FitWidth:
        sheet(QRectF(6, 12, 52, 40));
        p.setPen(QPen(accent, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 32), QPointF(52, 32));
        p.drawLine(QPointF(18, 26), QPointF(12, 32));
        p.drawLine(QPointF(18, 38), QPointF(12, 32));
        p.drawLine(QPointF(46, 26), QPointF(52, 32));
        p.drawLine(QPointF(46, 38), QPointF(52, 32));
        break;
    case Picture::ActualSize: {
        sheet(QRectF(8, 8, 48, 48));
        QFont font = p.font();
        font.setPixelSize(24);
        font.setBold(true);
        p.setFont(font);
        p.setPen(accent);
        p.drawText(QRectF(8, 8, 48, 48), Qt::AlignCenter, QStringLiteral("1:1"));
        break;
    }
    case Picture::Print:
        sheet(QRectF(18, 6, 28, 18));
        p.setBrush(QColor(200, 205, 212));
        p.drawRoundedRect(QRectF(6, 22, 52, 24), 5, 5);
        sheet(QRectF(16, 38, 32, 20));
        p.setPen(QPen(ink, 3));
        p.drawLine(QPointF(22, 46), QPointF(42, 46));
        p.drawLine(QPointF(22, 52), QPointF(36, 52));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 170, 80));
        p.drawEllipse(QPointF(50, 30), 3, 3);
        break;
    case Picture::Pdf: {
        QPainterPath page;
        page.moveTo(12, 4);
        page.lineTo(40, 4);
        page.lineTo(52, 16);
        page.lineTo(52, 60);
        page.lineTo(12, 60);
        page.closeSubpath();
        p.setBrush(paper);
        p.drawPath(page);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(QRectF(6, 30, 40, 20));
        QFont font = p.font();
        font.setPixelSize(16);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(6, 30, 40, 20), Qt::AlignCenter, QStringLiteral("PDF"));
        break;
    }
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace

PreviewWindow::PreviewWindow(std::unique_ptr<PageSource> pages, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_pages(std::move(pages)),
      m_paper(m_pages->pageLayout().fullRectPoints().size()) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(m_pages->title());

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrPages"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setFocusPolicy(Qt::StrongFocus);
    m_sheet = new PreviewPage;
    m_scroll->setWidget(m_sheet);
    m_scroll->viewport()->installEventFilter(this);
    setCentralWidget(m_scroll);

    auto* tools = addToolBar(QStringLiteral("Preview"));
    tools->setObjectName(QStringLiteral("tbrPreview"));
    tools->setMovable(false);
    tools->setIconSize(QSize(24, 24));
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QStyle* look = style();
    m_first = addCommand(QStringLiteral("actFirst"), QStringLiteral("First Page"),
                         look->standardIcon(QStyle::SP_MediaSkipBackward),
                         {QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_Home)},
                         &PreviewWindow::firstPage);
    m_previous = addCommand(QStringLiteral("actPrevious"), QStringLiteral("Previous Page"),
                            look->standardIcon(QStyle::SP_ArrowLeft),
                            {QKeySequence(Qt::Key_PageUp)}, &PreviewWindow::previousPage);
    m_next = addCommand(QStringLiteral("actNext"), QStringLiteral("Next Page"),
                        look->standardIcon(QStyle::SP_ArrowRight), {QKeySequence(Qt::Key_PageDown)},
                        &PreviewWindow::nextPage);
    m_last = addCommand(QStringLiteral("actLast"), QStringLiteral("Last Page"),
                        look->standardIcon(QStyle::SP_MediaSkipForward),
                        {QKeySequence(Qt::Key_End), QKeySequence(Qt::CTRL | Qt::Key_End)},
                        &PreviewWindow::lastPage);
    tools->addActions({m_first, m_previous, m_next, m_last});
    tools->addSeparator();
    tools->addAction(addCommand(QStringLiteral("actZoomOut"), QStringLiteral("Zoom Out"),
                                drawIcon(Picture::ZoomOut),
                                {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &PreviewWindow::zoomOut));
    tools->addAction(addCommand(
        QStringLiteral("actZoomIn"), QStringLiteral("Zoom In"), drawIcon(Picture::ZoomIn),
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        &PreviewWindow::zoomIn));
    tools->addAction(addCommand(QStringLiteral("actFitPage"), QStringLiteral("Fit Page"),
                                drawIcon(Picture::FitPage), {}, &PreviewWindow::fitPage));
    tools->addAction(addCommand(QStringLiteral("actFitWidth"), QStringLiteral("Fit Width"),
                                drawIcon(Picture::FitWidth), {}, &PreviewWindow::fitWidth));
    tools->addAction(addCommand(QStringLiteral("actActualSize"), QStringLiteral("100%"),
                                drawIcon(Picture::ActualSize), {}, &PreviewWindow::actualSize));
    tools->addSeparator();
    tools->addAction(addCommand(QStringLiteral("actPrint"), QStringLiteral("Print"),
                                drawIcon(Picture::Print), {QKeySequence(QKeySequence::Print)},
                                &PreviewWindow::print));
    QAction* pdf = addCommand(QStringLiteral("actExportPdf"), QStringLiteral("Export PDF"),
                              drawIcon(Picture::Pdf), {}, &PreviewWindow::exportPdf);
    tools->addAction(pdf);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::close);

    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("lblPage"));
    m_zoomLabel = new QLabel(this);
    m_zoomLabel->setObjectName(QStringLiteral("lblZoom"));
    statusBar()->addWidget(m_pageLabel, 1);
    statusBar()->addPermanentWidget(m_zoomLabel);

    m_counter.setInterval(0);
    connect(&m_counter, &QTimer::timeout, this, &PreviewWindow::countStep);
    m_refit.setInterval(0);
    m_refit.setSingleShot(true);
    connect(&m_refit, &QTimer::timeout, this, &PreviewWindow::render);

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    QList<QPoint> taken;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible() &&
            window->objectName() == QLatin1String("frmPreview"))
            taken.append(window->frameGeometry().topLeft());
    }
    m_place = screen ? placeOnScreen(screen->availableGeometry(), taken)
                     : QRect(QPoint(0, 0), PreferredSize);
    // Until the frame is known, the inner size is the outer one.
    resize(m_place.size());
    move(m_place.topLeft());
    m_frameWait.setInterval(FrameCheckMs);
    connect(&m_frameWait, &QTimer::timeout, this, &PreviewWindow::fitFrame);
    updateState();
}

PreviewWindow::~PreviewWindow() = default;

QAction* PreviewWindow::addCommand(const QString& name, const QString& text, const QIcon& icon,
                                   const QList<QKeySequence>& keys, void (PreviewWindow::*slot)()) {
    auto* action = new QAction(icon, text, this);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    if (!keys.isEmpty())
        action->setToolTip(
            QStringLiteral("%1 (%2)").arg(text, keys.first().toString(QKeySequence::NativeText)));
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
    return action;
}

void PreviewWindow::start() {
    m_counter.start();
    showPage(0);
    m_scroll->setFocus();
}

void PreviewWindow::showPage(int index) {
    if (index < 0 || (m_count >= 0 && index >= m_count))
        return;
    try {
        if (index > m_lastKnown && !m_pages->hasPage(index)) {
            updateState();
            return;
        }
    } catch (const std::exception& error) {
        layoutFailed(reasonOf(error));
        return;
    }
    m_lastKnown = std::max(m_lastKnown, index);
    m_current = index;
    m_renderedScale = 0.0;
    render();
    m_scroll->verticalScrollBar()->setValue(0);
    m_scroll->horizontalScrollBar()->setValue(0);
    updateState();
}

void PreviewWindow::firstPage() {
    showPage(0);
}

void PreviewWindow::previousPage() {
    showPage(m_current - 1);
}

void PreviewWindow::nextPage() {
    showPage(m_current + 1);
}

void PreviewWindow::lastPage() {
    if (m_count < 0 && !m_broken) {
        // The user asked for the end: lay the whole job out now.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            m_count = m_pages->pageCount();
            m_lastKnown = m_count - 1;
            m_counter.stop();
        } catch (const std::exception& error) {
            QApplication::restoreOverrideCursor();
            layoutFailed(reasonOf(error));
            return;
        }
        QApplication::restoreOverrideCursor();
    }
    showPage(m_count >= 0 ? m_count - 1 : m_lastKnown);
}

void PreviewWindow::setZoom(Zoom zoom, double factor) {
    m_zoom = zoom;
    m_factor = std::clamp(factor, MinimumZoom, MaximumZoom);
    render();
    updateState();
}

double PreviewWindow::pixelsPerPoint() const {
    const double real = logicalDpiX() / 72.0;
    if (m_zoom == Zoom::Fixed || m_paper.isEmpty())
        return m_factor * real;
    const QSize room =
        m_scroll->maximumViewportSize() - QSize(2 * PreviewPage::Border, 2 * PreviewPage::Border);
    double scale = room.width() / m_paper.width();
    if (m_zoom == Zoom::FitPage)
        return std::max(0.01, std::min(scale, room.height() / m_paper.height()));
    if (scale * m_paper.height() > room.height()) {
        // The page will be taller than the window: leave room for the scroll bar.
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
        scale = (room.width() - bar) / m_paper.width();
    }
    return std::max(0.01, scale);
}

void PreviewWindow::zoomIn() {
    setZoom(Zoom::Fixed, pixelsPerPoint() / (logicalDpiX() / 72.0) * ZoomStep);
}

void PreviewWindow::zoomOut() {
    setZoom(Zoom::Fixed, pixelsPerPoint() / (logicalDpiX() / 72.0) / ZoomStep);
}

void PreviewWindow::fitPage() {
    setZoom(Zoom::FitPage, m_factor);
}

void PreviewWindow::fitWidth() {
    setZoom(Zoom::FitWidth, m_factor);
}

void PreviewWindow::actualSize() {
    setZoom(Zoom::Fixed, 1.0);
}

void PreviewWindow::render() {
    const double scale = pixelsPerPoint();
    const QSize logical(qRound(m_paper.width() * scale), qRound(m_paper.height() * scale));
    if (m_current < 0) {
        m_sheet->setImage({}, logical);
        return;
    }
    if (std::abs(scale - m_renderedScale) < 1e-9)
        return;
    m_renderedScale = scale;
    // Drawn at the screen's own pixels; fonts are sized for a device of that many dots per point,
    // as they are on the printer, so that lines break the same way on screen and on paper.
    const double dpr = devicePixelRatioF();
    QImage image(logical * dpr, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMeter = qRound(72.0 * scale * dpr / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QString failure;
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                               QPainter::SmoothPixmapTransform);
        painter.scale(scale * dpr, scale * dpr);
        try {
            m_pages->drawPage(m_current, painter);
        } catch (const std::exception& error) {
            failure = reasonOf(error);
        }
    }
    if (failure.isEmpty()) {
        m_sheet->setImage(image, logical);
        return;
    }
    m_sheet->setImage({}, logical);
    if (m_failedPage != m_current) {
        m_failedPage = m_current;
        tell(QStringLiteral("Page %1 could not be drawn: %2").arg(m_current + 1).arg(failure));
    }
}

void PreviewWindow::countStep() {
    if (m_count >= 0 || m_broken) {
        m_counter.stop();
        return;
    }
    QElapsedTimer spent;
    spent.start();
    try {
        do {
            if (!m_pages->hasPage(m_lastKnown + 1)) {
                m_count = m_lastKnown + 1;
                m_counter.stop();
                break;
            }
            ++m_lastKnown;
        } while (spent.elapsed() < CountStepMs);
    } catch (const std::exception& error) {
        layoutFailed(reasonOf(error));
        return;
    }
    updateState();
}

void PreviewWindow::updateState() {
    if (m_current >= 0 && m_count < 0 && m_lastKnown == m_current && !m_broken) {
        // Whether there is a next page: lays out one more page at most.
        try {
            if (m_pages->hasPage(m_current + 1))
                m_lastKnown = m_current + 1;
            else
                m_count = m_current + 1;
        } catch (const std::exception& error) {
            layoutFailed(reasonOf(error));
        }
    }
    const bool any = m_current >= 0;
    m_first->setEnabled(any && m_current > 0);
    m_previous->setEnabled(any && m_current > 0);
    m_next->setEnabled(any && m_current < m_lastKnown);
    m_last->setEnabled(any && (m_count < 0 ? !m_broken : m_current < m_count - 1));
    if (!any) {
        m_pageLabel->setText(m_count == 0 ? QStringLiteral("No pages") : QString());
    } else {
        const QString of =
            m_count >= 0 ? QString::number(m_count) : QStringLiteral("%1+").arg(m_lastKnown + 1);
        m_pageLabel->setText(QStringLiteral("Page %1 of %2").arg(m_current + 1).arg(of));
    }
    const double percent = pixelsPerPoint() / (logicalDpiX() / 72.0) * 100.0;
    m_zoomLabel->setText(QStringLiteral("%1%").arg(qRound(percent)));
}

void PreviewWindow::layoutFailed(const QString& reason) {
    const bool first = !m_broken;
    m_broken = true;
    m_counter.stop();
    updateState();
    if (first)
        tell(QStringLiteral("The pages could not be laid out: %1").arg(reason));
}

void PreviewWindow::tell(const QString& text) {
    ui::MessageBoxService::inform(text, windowTitle(), ui::Icon::Exclamation, this);
}

void PreviewWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    printer.setPageLayout(m_pages->pageLayout());
    PrinterDialogRequest request;
    request.orientation = m_pages->pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    QString failure;
    try {
        PrinterDialogService::show(request, printer, this);
        failure = runWaiting([&] { printPages(*m_pages, printer); });
    } catch (const PlatformError& error) {
        if (error.number() == DialogCancelled)
            return;
        failure = QStringLiteral("The pages could not be printed.\n\n") + error.description();
    }
    if (failure.isEmpty())
        return;
    // As with an envelope, pages that cannot be printed may be kept as a PDF file instead.
    const ui::Answer answer = ui::MessageBoxService::show(
        {failure + QStringLiteral("\n\nDo you want to save the pages as a PDF file instead?"),
         ui::Buttons::YesNo, ui::Icon::Exclamation, 0, windowTitle()},
        this);
    if (answer == ui::Answer::Yes)
        exportPdf();
}

QString PreviewWindow::runWaiting(const std::function<void()>& output) {
    // Writing every page takes a while on a long job.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    try {
        output();
    } catch (const std::exception& error) {
        failure = reasonOf(error);
    }
    QApplication::restoreOverrideCursor();
    return failure;
}

void PreviewWindow::exportPdf() {
    QString suggested = windowTitle().trimmed();
    static const QString unsafe = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : suggested)
        if (unsafe.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    if (suggested.isEmpty())
        suggested = QStringLiteral("Preview");
    const QString path = choosePdfFile(this, suggested + QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;
    const QString failure = runWaiting([&] { writePdf(*m_pages, path); });
    if (!failure.isEmpty())
        tell(failure);
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Only the first showing places the window; one moved to another owner stays where it is.
    if (m_frameChecks == 0 && !m_frameWait.isActive()) {
        fitFrame();
        if (m_frameChecks < FrameChecks)
            m_frameWait.start();
    }
}

void PreviewWindow::fitFrame() {
    const QSize frame = frameGeometry().size() - size();
    const bool framed = frame.width() > 0 || frame.height() > 0;
    // A window the user has resized meanwhile is left as it is.
    const bool untouched = size() == m_place.size();
    if (framed && untouched) {
        resize(m_place.size() - frame);
        move(m_place.topLeft());
    }
    if (framed || !untouched || ++m_frameChecks >= FrameChecks) {
        m_frameWait.stop();
        m_frameChecks = FrameChecks;
    }
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_zoom != Zoom::Fixed)
        m_refit.start();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quillory::report
