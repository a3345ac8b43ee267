// Figures for label sheets: a book of 10,000 contacts printed on 30-up stock 5160, every
// contact on one label. How soon the first sheet is ready, how long the whole run takes to
// write as PDF and with how much memory. Run it with the templates beside it (build/bin):
//
//     build/bench/bench_labels [--templates build/bin] [--contacts 10000]
//
// The book and its print copy are generated once into $QUILLORY_BENCH_DIR
// (default /tmp/quillory-bench).

#include "BookGenerator.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/report/PrintOutput.h"
#include "platform/report/ReportSource.h"
#include "ReportFigures.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

using quillory::bench::memoryMb;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption templatesOption(QStringLiteral("templates"),
                                             QStringLiteral("Where the .rpt files are."),
                                             QStringLiteral("DIR"), QStringLiteral("build/bin"));
    const QCommandLineOption contactsOption(QStringLiteral("contacts"),
                                            QStringLiteral("Contacts in the book."),
                                            QStringLiteral("N"), QStringLiteral("10000"));
    parser.addOptions({templatesOption, contactsOption});
    parser.process(application);

    const int contacts = parser.value(contactsOption).toInt();
    try {
        const QString folderPath =
            quillory::bench::benchBookFolder(QStringLiteral("labels"), contacts);
        const QString book = QDir(folderPath).filePath(QStringLiteral("Corvanel.MDB"));
        const QString printCopy = QDir(folderPath).filePath(QStringLiteral("print.mdb"));
        if (!QFile::exists(printCopy))
            quillory::engine::CompactDatabase(book, printCopy);
        const quillory::ProgramFolder folder(folderPath, parser.value(templatesOption));
        std::printf("Labels 5160 for %d contacts (%s)\n", contacts, qPrintable(printCopy));
        // Every contact, not only those without a second address line, so that the run prints
        // one label per contact.
        quillory::report::ReportRequest request =
            quillory::report::defaultRequest(QStringLiteral("5160-1.rpt"));
        request.selectionFormula.clear();

        QElapsedTimer clock;
        clock.start();
        {
            const auto source = quillory::report::openReport(request, folder);
            QImage page(source->pageLayout().fullRectPoints().size(), QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter painter(&page);
            source->drawPage(0, painter);
        }
        quillory::bench::printFigure("first sheet ready", clock.elapsed() / 1000.0, "s", 0.5);

        // Writing "5" to clear_refs restarts the peak-memory count from the current size.
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const double before = memoryMb("VmRSS:");
        clock.restart();
        const auto source = quillory::report::openReport(request, folder);
        quillory::report::writePdf(*source, QDir(folderPath).filePath(QStringLiteral("5160.pdf")));
        const double seconds = clock.elapsed() / 1000.0;
        std::printf("%-44s %10lld\n", "labels written",
                    static_cast<long long>(source->rows().size()));
        std::printf("%-44s %10d\n", "sheets written", source->pageCount());
        quillory::bench::printFigure("all labels to PDF", seconds, "s", 5);
        quillory::bench::printFigure("memory growth while writing (peak RSS)",
                                     memoryMb("VmHWM:") - before, "MB", 100);
        quillory::bench::printFigure("the process's own peak RSS", memoryMb("VmHWM:"), "MB", 100);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "bench_labels: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
