#include "platform/report/Preview.h"

#include "platform/report/PageSource.h"
#include "platform/report/PreviewWindow.h"
#include "platform/ui/Modal.h"

#include <QDir>
#include <QFileDialog>

namespace quillory::report {

namespace {

PdfFileChooser& installedChooser() {
    static PdfFileChooser chooser;
    return chooser;
}

} // namespace

QWidget* showPreview(std::unique_ptr<PageSource> pages, QWidget* parent) {
    auto* window = new PreviewWindow(std::move(pages), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->start();
    return window;
}

void setPdfFileChooser(PdfFileChooser chooser) {
    installedChooser() = std::move(chooser);
}

QString choosePdfFile(QWidget* parent, const QString& suggested) {
    if (installedChooser())
        return installedChooser()(parent, suggested);
    QFileDialog dialog(parent, QStringLiteral("Export PDF"), QDir::homePath());
    dialog.setObjectName(QStringLiteral("dlgExportPdf"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.selectFile(suggested);
    if (ui::Modal::exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace quillory::report
