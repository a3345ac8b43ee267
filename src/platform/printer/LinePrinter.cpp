#include "platform/printer/LinePrinter.h"

#include "platform/files/OwnFiles.h"
#include "platform/files/PlatformError.h"
#include "platform/printer/LinePage.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace quillory::printer {

namespace {

[[noreturn]] void fail(const QString& reason) {
    throw PlatformError(ErrorNumber::DeviceUnavailable, reason);
}

} // namespace

QString LinePrinter::defaultPrinterName() {
    return QPrinterInfo::defaultPrinter().printerName();
}

void LinePrinter::printOnDefault(const LinePage& page, const QString& jobName) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        fail(QStringLiteral("No printer is installed."));
    // A stopped queue would take the job and keep it; the user learns it now instead.
    if (info.state() == QPrinter::Error || info.state() == QPrinter::Aborted)
        fail(QStringLiteral("The printer is stopped and takes no jobs."));
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(jobName);
    print(page, printer);
}

void LinePrinter::print(const LinePage& page, QPrinter& printer) {
    // A PDF, or the printer dialog's print to a file.
    if (!printer.outputFileName().isEmpty())
        files::refuseOwnFile(printer.outputFileName());
    printer.setFullPage(true);
    if (!printer.setPageLayout(page.pageLayout())) {
        printer.setPageSize(page.pageLayout().pageSize());
        printer.setPageOrientation(page.pageLayout().orientation());
    }
    QPainter painter;
    if (!painter.begin(&printer))
        fail(QStringLiteral("The printer could not start the job."));
    page.draw(painter);
    if (!painter.end() || printer.printerState() == QPrinter::Error ||
        printer.printerState() == QPrinter::Aborted)
        fail(QStringLiteral("The printer did not accept the job."));
}

void LinePrinter::writePdf(const LinePage& page, const QString& path, const QString& title) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setDocName(title);
    printer.setCreator(QStringLiteral("Quillory"));
    print(page, printer);
}

} // namespace quillory::printer
