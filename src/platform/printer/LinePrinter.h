#pragma once

#include <QString>

class QPrinter;

namespace quillory::printer {

class LinePage;

// Sends line pages to a printer or a PDF file. Every failure throws PlatformError whose
// description is the reason as the user reads it; nothing is left half sent.
class LinePrinter {
public:
    // The name of the system's default printer; empty when none is installed.
    static QString defaultPrinterName();

    // Prints `page` on the system's default printer as one job named `jobName`.
    static void printOnDefault(const LinePage& page, const QString& jobName);

    // Prints `page` on `printer` as it is set up (a named printer or a PDF output file).
    static void print(const LinePage& page, QPrinter& printer);

    // Writes `page` as a one-page PDF file.
    static void writePdf(const LinePage& page, const QString& path, const QString& title);
};

} // namespace quillory::printer
