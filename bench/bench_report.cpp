// Figures for the report engine on a large book: how soon the address book's first page is
// ready, and how long the whole address book (both of its runs) takes to write as PDF with how
// much memory. Run it with the program's templates beside it (build/bin) or name their folder:
//
//     build/bench/bench_report [--templates build/bin] [--contacts 100000]
//
// The book is generated once into $QUILLORY_BENCH_DIR (default /tmp/quillory-bench).

#include "BookGenerator.h"
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
                                            QStringLiteral("N"), QStringLiteral("100000"));
    parser.addOptions({templatesOption, contactsOption});
    parser.process(application);

    const int contacts = parser.value(contactsOption).toInt();
    try {
        const QString folderPath =
            quillory::bench::benchBookFolder(QStringLiteral("report"), contacts);
        const QString book = QDir(folderPath).filePath(QStringLiteral("Corvanel.MDB"));
        const quillory::ProgramFolder folder(folderPath, parser.value(templatesOption));
        std::printf("Address book of %d contacts (%s)\n", contacts, qPrintable(book));

        // First page: the runs are opened as the print job opens them and page 1 is drawn.
        QElapsedTimer clock;
        clock.start();
        {
            const auto source = quillory::report::openReport(
                quillory::report::defaultRequest(QStringLiteral("combook2.rpt")), folder);
            QImage page(source->pageLayout().fullRectPoints().size(), QImage::Format_RGB32);
            page.fill(Qt::white);
            QPainter painter(&page);
            source->drawPage(0, painter);
        }
        quillory::bench::printFigure("first page of page 2 ready", clock.elapsed() / 1000.0, "s",
                                     1);

        // Writing "5" to clear_refs restarts the peak-memory count from the current size.
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const double before = memoryMb("VmRSS:");
        int pages = 0;
        clock.restart();
        for (const QString& name :
             {QStringLiteral("combook2.rpt"), QStringLiteral("combook1.rpt")}) {
            const auto source =
                quillory::report::openReport(quillory::report::defaultRequest(name), folder);
            quillory::report::writePdf(*source, QDir(folderPath).filePath(name + ".pdf"));
            pages += source->pageCount();
        }
        const double seconds = clock.elapsed() / 1000.0;
        std::printf("%-44s %10d\n", "pages written (both runs)", pages);
        quillory::bench::printFigure("whole address book to PDF", seconds, "s", 15);
        quillory::bench::printFigure("memory growth while writing (peak RSS)",
                                     memoryMb("VmHWM:") - before, "MB", 100);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "bench_report: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
