#pragma once

#include <functional>
#include <memory>
#include <QString>

class QWidget;

namespace quillory::report {

class PageSource;

// Opens the preview window of `pages` (modeless, owned by itself, deleted on close).
QWidget* showPreview(std::unique_ptr<PageSource> pages, QWidget* parent);

// Where "Export PDF" writes: the chooser gets the window and a suggested file name and returns the
// chosen path, empty when the user cancels. Tests install one that answers; an empty chooser
// restores the save dialog.
using PdfFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
void setPdfFileChooser(PdfFileChooser chooser);
QString choosePdfFile(QWidget* parent, const QString& suggested);

} // namespace quillory::report
