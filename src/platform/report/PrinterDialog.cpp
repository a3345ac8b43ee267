#include "platform/report/PrinterDialog.h"

#include "platform/files/PlatformError.h"
#include "platform/ui/Modal.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace quillory::report {

namespace {

PrinterDialogService::Responder& responder() {
    static PrinterDialogService::Responder installed;
    return installed;
}

} // namespace

void PrinterDialogService::setResponder(Responder installed) {
    responder() = std::move(installed);
}

void PrinterDialogService::show(const PrinterDialogRequest& request, QPrinter& printer,
                                QWidget* parent) {
    printer.setPageOrientation(request.orientation == 2 ? QPageLayout::Landscape
                                                        : QPageLayout::Portrait);
    bool accepted = false;
    if (responder()) {
        accepted = responder()(request, printer);
    } else {
        // Without a printer the dialog would offer nothing to print on (printing to a file is
        // hidden); the caller is told instead, and may offer a PDF.
        if (QPrinterInfo::availablePrinterNames().isEmpty())
            throw PlatformError(ErrorNumber::DeviceUnavailable,
                                QStringLiteral("No printer is installed."));
        QPrintDialog dialog(&printer, parent);
        // No print-to-file box, no page range, no selection.
        dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        accepted = ui::Modal::exec(dialog) == QDialog::Accepted;
    }
    if (!accepted)
        throw PlatformError(DialogCancelled, QStringLiteral("Cancel was selected."));
}

} // namespace quillory::report
