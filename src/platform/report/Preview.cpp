#include "platform/report/Preview.h"

#include "platform/report/PageSource.h"
#include "platform/report/PreviewWindow.h"
#include "platform/ui/Modal.h"

#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QPointer>

namespace quillory::report {

namespace {

PdfFileChooser& installedChooser() {
    static PdfFileChooser chooser;
    return chooser;
}

// A preview opened from a dialog is that dialog's child, so the user can page through it while
// the dialog is still up; when the dialog goes, the preview moves to the dialog's own parent
// window and stays open where it is, as a print job's previews outlive the job's dialog. When
// that window is a dialog too (the label dialog stands over Printing Options), the preview moves
// on again when it goes.
class PreviewKeeper final : public QObject {
public:
    PreviewKeeper(QWidget* dialog, QWidget* preview) : QObject(preview), m_preview(preview) {
        watch(dialog);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide)
            keep(static_cast<QWidget*>(watched));
        return false;
    }

private:
    void watch(QWidget* dialog) {
        dialog->installEventFilter(this);
        // A dialog may also go without being hidden first (deleted while never shown).
        connect(dialog, &QObject::destroyed, this, [this, dialog] { keep(dialog); });
    }

    void keep(QWidget* dialog) {
        if (!m_preview || m_preview->parentWidget() != dialog)
            return;
        dialog->removeEventFilter(this);
        QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
        const QRect geometry = m_preview->geometry();
        m_preview->setParent(owner, m_preview->windowFlags());
        m_preview->setGeometry(geometry);
        m_preview->show();
        if (qobject_cast<QDialog*>(owner))
            watch(owner);
    }

    QPointer<QWidget> m_preview;
};

} // namespace

QWidget* showPreview(std::unique_ptr<PageSource> pages, QWidget* parent) {
    QWidget* owner = parent ? parent->window() : nullptr;
    auto* window = new PreviewWindow(std::move(pages), owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (qobject_cast<QDialog*>(owner))
        new PreviewKeeper(owner, window);
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
