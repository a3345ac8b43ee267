#include "platform/report/PrintOutput.h"

#include "platform/files/OwnFiles.h"
#include "platform/files/PlatformError.h"
#include "platform/report/PageSource.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace quillory::report {

namespace {

// The same page layout without margins: the pages draw their own margins, so the device's
// painter must start at the paper's corner.
QPageLayout fullPage(const QPageLayout& layout) {
    return QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(0, 0, 0, 0),
                       QPageLayout::Point);
}

// Draws every page on a painter already begun on `device`, one device page each. `paper` is the
// device's paper in points; a page larger than it is shrunk to fit, never enlarged.
void drawEveryPage(PageSource& pages, QPagedPaintDevice& device, QPainter& painter,
                   const QSizeF& paper, int resolution, const std::function<QString()>& failure) {
    const QSizeF page = pages.pageLayout().fullRectPoints().size();
    double shrink = 1.0;
    if (page.width() > 0 && page.height() > 0)
        shrink = std::min({1.0, paper.width() / page.width(), paper.height() / page.height()});
    const double scale = resolution / 72.0 * shrink;
    for (int index = 0; pages.hasPage(index); ++index) {
        if (index > 0 && !device.newPage())
            throw PlatformError(PrinterError, failure());
        // Each page starts from the same painter, whatever the page before left behind.
        struct Restore {
            QPainter& painter;
            ~Restore() { painter.restore(); }
        };
        painter.save();
        const Restore restore{painter};
        painter.scale(scale, scale);
        pages.drawPage(index, painter);
    }
}

QString printerName(const QPrinter& printer) {
    if (!printer.printerName().isEmpty())
        return printer.printerName();
    if (!printer.outputFileName().isEmpty())
        return QFileInfo(printer.outputFileName()).fileName();
    return QStringLiteral("the printer");
}

} // namespace

void printPages(PageSource& pages, QPrinter& printer) {
    // The printer dialog can send the job to a file instead.
    if (!printer.outputFileName().isEmpty())
        files::refuseOwnFile(printer.outputFileName());
    const QString name = printerName(printer);
    const auto failed = [&name](const QString& reason) {
        return QStringLiteral("The job could not be printed on \"%1\": %2").arg(name, reason);
    };
    printer.setFullPage(true);
    // A sheet goes out on its own paper: the printer dialog sets the queue's default paper, and
    // a Letter label sheet drawn shrunk on A4 puts its bottom row into the labels above.
    const QPageLayout own = fullPage(pages.pageLayout());
    if (!printer.setPageLayout(own)) {
        printer.setPageSize(own.pageSize());
        printer.setPageOrientation(own.orientation());
    }
    if (printer.docName().isEmpty())
        printer.setDocName(pages.title());
    QPainter painter;
    if (!painter.begin(&printer))
        throw PlatformError(PrinterError,
                            failed(QStringLiteral("the printer did not accept the job.")));
    try {
        const QSizeF paper = printer.pageLayout().fullRectPoints().size();
        drawEveryPage(pages, printer, painter, paper, printer.resolution(), [&failed] {
            return failed(QStringLiteral("the printer did not accept the next page."));
        });
    } catch (const PlatformError& error) {
        printer.abort();
        painter.end();
        if (error.number() == PrinterError)
            throw;
        throw PlatformError(PrinterError, failed(error.description()));
    } catch (const std::exception& error) {
        printer.abort();
        painter.end();
        throw PlatformError(PrinterError, failed(QString::fromLocal8Bit(error.what())));
    }
    if (!painter.end())
        throw PlatformError(PrinterError, failed(QStringLiteral("the job could not be finished.")));
}

void writePdf(PageSource& pages, const QString& path) {
    const auto failed = [&path](const QString& reason) {
        return QStringLiteral("The PDF file \"%1\" could not be written: %2").arg(path, reason);
    };
    files::refuseOwnFile(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw PlatformError(ErrorNumber::PathFileAccess, failed(file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setTitle(pages.title());
        writer.setCreator(QStringLiteral("Quillory"));
        writer.setPageLayout(fullPage(pages.pageLayout()));
        QPainter painter;
        if (!painter.begin(&writer))
            throw PlatformError(ErrorNumber::PathFileAccess,
                                failed(QStringLiteral("the PDF could not be started.")));
        try {
            const QSizeF paper = writer.pageLayout().fullRectPoints().size();
            drawEveryPage(pages, writer, painter, paper, writer.resolution(),
                          [] { return QStringLiteral("a new page could not be started."); });
        } catch (const PlatformError& error) {
            painter.end();
            file.cancelWriting();
            throw PlatformError(error.number(), failed(error.description()));
        } catch (const std::exception& error) {
            painter.end();
            file.cancelWriting();
            throw PlatformError(ErrorNumber::PathFileAccess,
                                failed(QString::fromLocal8Bit(error.what())));
        }
        painter.end();
    }
    if (!file.commit())
        throw PlatformError(ErrorNumber::PathFileAccess, failed(file.errorString()));
}

} // namespace quillory::report
