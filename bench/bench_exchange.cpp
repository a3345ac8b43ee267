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

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <thread>

using quillory::bench::memoryMb;
using quillory::bench::printFigure;
namespace exchange = quillory::exchange;

namespace {

// The highest resident memory while it lives, sampled every 2 ms, above what the process had
// when it began (the kernel's own peak, VmHWM, cannot be reset everywhere).
class PeakGrowth {
public:
    PeakGrowth() : m_start(memoryMb("VmRSS:")), m_peak(m_start) {
        m_sampler = std::thread([this] {
            while (!m_stop.load()) {
                const double now = memoryMb("VmRSS:");
                if (now > m_peak.load())
                    m_peak.store(now);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~PeakGrowth() { stop(); }
    PeakGrowth(const PeakGrowth&) = delete;
    PeakGrowth& operator=(const PeakGrowth&) = delete;
    double stop() {
        if (m_sampler.joinable()) {
            m_stop.store(true);
            m_sampler.join();
        }
        return std::max(m_peak.load(), memoryMb("VmRSS:")) - m_start;
    }

private:
    double m_start;
    std::atomic<double> m_peak;
    std::atomic<bool> m_stop{false};
    std::thread m_sampler;
};

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
    auto growth = std::make_unique<PeakGrowth>();
    QElapsedTimer clock;
    clock.start();
    const exchange::ExportSummary written = exchange::exportBook(book, file, options);
    const double exportSeconds = clock.elapsed() / 1000.0;
    const double exportMemory = growth->stop();
    std::printf("%s: %lld contacts, %.1f MB\n", name, static_cast<long long>(written.exported),
                QFileInfo(file).size() / 1e6);
    printFigure("  export", exportSeconds, "s", 5);
    printFigure("  memory growth while exporting (peak RSS)", exportMemory, "MB", 200);

    quillory::engine::book::create(target);
    growth = std::make_unique<PeakGrowth>();
    clock.restart();
    // Every contact is written: the generated book has namesakes that share a phone or an
    // e-mail address, which the default choice would skip.
    exchange::ImportOptions importOptions;
    importOptions.onDuplicate = exchange::OnDuplicate::Add;
    const exchange::ImportSummary read = exchange::importFile(target, file, importOptions);
    const double importSeconds = clock.elapsed() / 1000.0;
    const double importMemory = growth->stop();
    if (read.imported != contacts || !read.unreadable.isEmpty())
        std::printf("  UNEXPECTED: %s\n", qPrintable(read.text().left(300)));
    printFigure("  import into an empty book", importSeconds, "s", 10);
    printFigure("  memory growth while importing (peak RSS)", importMemory, "MB", 200);

    // The same file again with duplicates skipped, into a book that already holds it: every
    // record is looked up and none written.
    growth = std::make_unique<PeakGrowth>();
    clock.restart();
    const exchange::ImportSummary again = exchange::importFile(target, file);
    std::printf("  again, duplicates skipped: imported %lld, skipped %lld\n",
                static_cast<long long>(again.imported), static_cast<long long>(again.skipped));
    printFigure("  import with every record a duplicate", clock.elapsed() / 1000.0, "s", 10);
    printFigure("  memory growth (peak RSS)", growth->stop(), "MB", 200);
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
