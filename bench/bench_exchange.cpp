// Figures for import and export: a book of 100,000 contacts exported to vCard 4.0 and to CSV,
// and each file imported into an empty book, with the time and the growth of the peak memory.
//
//     build/bench/bench_exchange [--contacts 100000] [--photos]
//
// The book is generated once into $QUILLORY_BENCH_DIR (default /tmp/quillory-bench).

#include "BookGenerator.h"
#include "exchange/Exchange.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "ReportFigures.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

using quillory::bench::memoryMb;
using quillory::bench::printFigure;
namespace exchange = quillory::exchange;

namespace {

// Writing "5" to clear_refs restarts the peak-memory count from the current size.
double resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return memoryMb("VmRSS:");
}

QString photoBook(const QString& folder, int contacts) {
    const QString book = QDir(folder).filePath(QStringLiteral("Photos.MDB"));
    if (!QFile::exists(book)) {
        quillory::bench::BookPlan plan;
        plan.contacts = contacts;
        plan.photos = true;
        quillory::bench::generateBook(book, plan);
    }
    return book;
}

void measure(const QString& book, const QString& folder, exchange::Format format, const char* name,
             int contacts) {
    const QString file = QDir(folder).filePath(QString::fromLatin1(name));
    const QString target = QDir(folder).filePath(QStringLiteral("imported.mdb"));
    QFile::remove(file);
    QFile::remove(target);

    exchange::ExportOptions options;
    options.format = format;
    double before = resetPeak();
    QElapsedTimer clock;
    clock.start();
    const exchange::ExportSummary written = exchange::exportBook(book, file, options);
    const double exportSeconds = clock.elapsed() / 1000.0;
    const double exportMemory = memoryMb("VmHWM:") - before;
    std::printf("%s: %lld contacts, %.1f MB\n", name, static_cast<long long>(written.exported),
                QFileInfo(file).size() / 1e6);
    printFigure("  export", exportSeconds, "s", 5);
    printFigure("  memory growth while exporting (peak RSS)", exportMemory, "MB", 200);

    quillory::engine::book::create(target);
    before = resetPeak();
    clock.restart();
    // Every contact is written: the generated book has namesakes that share a phone or an
    // e-mail address, which the default choice would skip.
    exchange::ImportOptions importOptions;
    importOptions.onDuplicate = exchange::OnDuplicate::Add;
    const exchange::ImportSummary read = exchange::importFile(target, file, importOptions);
    const double importSeconds = clock.elapsed() / 1000.0;
    const double importMemory = memoryMb("VmHWM:") - before;
    if (read.imported != contacts || !read.unreadable.isEmpty())
        std::printf("  UNEXPECTED: %s\n", qPrintable(read.text().left(300)));
    printFigure("  import into an empty book", importSeconds, "s", 10);
    printFigure("  memory growth while importing (peak RSS)", importMemory, "MB", 200);

    // The same file again with duplicates skipped, into a book that already holds it: every
    // record is looked up and none written.
    before = resetPeak();
    clock.restart();
    const exchange::ImportSummary again = exchange::importFile(target, file);
    std::printf("  again, duplicates skipped: imported %lld, skipped %lld\n",
                static_cast<long long>(again.imported), static_cast<long long>(again.skipped));
    printFigure("  import with every record a duplicate", clock.elapsed() / 1000.0, "s", 10);
    printFigure("  memory growth (peak RSS)", memoryMb("VmHWM:") - before, "MB", 200);
    QFile::remove(file);
    QFile::remove(target);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption contactsOption(QStringLiteral("contacts"),
                                            QStringLiteral("Contacts in the book."),
                                            QStringLiteral("N"), QStringLiteral("100000"));
    const QCommandLineOption photosOption(QStringLiteral("photos"),
                                          QStringLiteral("Also the book with a photo on every "
                                                         "contact."));
    parser.addOptions({contactsOption, photosOption});
    parser.process(application);
    const int contacts = parser.value(contactsOption).toInt();
    try {
        const QString folder =
            quillory::bench::benchBookFolder(QStringLiteral("exchange"), contacts);
        const QString book = QDir(folder).filePath(QStringLiteral("Corvanel.MDB"));
        std::printf("Import and export of %d contacts (%s)\n", contacts, qPrintable(book));
        measure(book, folder, exchange::Format::VCard, "book.vcf", contacts);
        measure(book, folder, exchange::Format::Csv, "book.csv", contacts);
        if (parser.isSet(photosOption)) {
            const QString photos = photoBook(folder, contacts);
            std::printf("With a photo on every contact (%s)\n", qPrintable(photos));
            measure(photos, folder, exchange::Format::VCard, "photos.vcf", contacts);
        }
        printFigure("the process's own peak RSS", memoryMb("VmHWM:"), "MB", 200);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "bench_exchange: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
