#pragma once

#include <QString>

class QPrinter;

namespace quillory::report {

class PageSource;

// The classic runtime's number for a print job that could not be carried out.
inline constexpr int PrinterError = 482;

// Draws every page of `pages` on `printer`, which the printer dialog has already set up. The pages
// are drawn from the paper's corner at their own size (shrunk to fit a smaller paper). Throws
// PlatformError naming the printer and the reason when the job cannot be started or fails.
void printPages(PageSource& pages, QPrinter& printer);

// Writes every page to the PDF file `path`. The file is written beside its final name and only
// replaces it once every page is drawn, so a failed export leaves any earlier file as it was.
// Throws PlatformError with the reason.
void writePdf(PageSource& pages, const QString& path);

} // namespace quillory::report
