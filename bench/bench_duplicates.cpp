// The duplicate finder on a large book: 100,000 made-up contacts with one in every hundred typed
// in a second time (the last name in capitals, the country prefix and other punctuation on its
// phone, the e-mail address in capitals), scanned for duplicates.
//
//     build/bench/bench_duplicates [--contacts 100000]
//
// The book is generated once into $QUILLORY_BENCH_DIR (default /tmp/quillory-bench).

#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "ReportFigures.h"
#include "tidy/Duplicates.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>

using quillory::bench::memoryMb;
using quillory::bench::printFigure;
namespace engine = quillory::engine;
namespace tidy = quillory::tidy;

namespace {

// A copy of the generated book at `book` with every hundredth contact typed in again after the
// last one. Returns the id of the last original contact: copy k (counted from 1) is the contact
// `last + k` and copies the contact `100 * k`.
qint64 plantDuplicates(const QString& source, const QString& book) {
    QFile::remove(book);
    if (!QFile::copy(source, book))
        throw quillory::PlatformError(quillory::ErrorNumber::FileNotFound,
                                      QStringLiteral("\"%1\" cannot be copied.").arg(source));
    auto db = engine::Database::open(book);
    const qint64 last = db->scalar(QStringLiteral("SELECT max(id) FROM PhoneBK")).toLongLong();
    db->exec(QStringLiteral(
        "INSERT INTO PhoneBK (name, namef, extra8, address1, city, zip, phone, email) "
        "SELECT upper(name), namef, extra8, address1, city, zip, "
        "'+1 ' || replace(replace(replace(phone, '(', ''), ')', ''), ' ', '.'), upper(email) "
        "FROM PhoneBK WHERE id % 100 = 0 ORDER BY id"));
    return last;
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
    parser.addOption(contactsOption);
    parser.process(application);
    const int contacts = parser.value(contactsOption).toInt();
    try {
        const QString folder =
            quillory::bench::benchBookFolder(QStringLiteral("duplicates"), contacts);
        const QString book = QDir(folder).filePath(QStringLiteral("Planted.MDB"));
        const qint64 last =
            plantDuplicates(QDir(folder).filePath(QStringLiteral("Corvanel.MDB")), book);
        auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
        std::printf("Duplicates among %d contacts and %lld typed in again (%s)\n", contacts,
                    static_cast<long long>(last / 100), qPrintable(book));

        qint64 reports = 0;
        QElapsedTimer clock;
        clock.start();
        const QVector<tidy::DuplicateGroup> groups =
            tidy::findDuplicates(*db, [&reports](qint64, qint64) {
                ++reports;
                return true;
            });
        const double seconds = clock.elapsed() / 1000.0;

        // Every copy must be found with its original in a group of a real reason.
        QHash<qint64, qint64> strongGroupOf;
        QHash<tidy::DuplicateReason, int> counts;
        qint64 listed = 0;
        for (qsizetype g = 0; g < groups.size(); ++g) {
            ++counts[groups[g].reason];
            listed += groups[g].ids.size();
            if (groups[g].reason == tidy::DuplicateReason::NameAndPhone) {
                for (qint64 id : groups[g].ids)
                    strongGroupOf.insert(id, g);
            }
        }
        qint64 missed = 0;
        for (qint64 k = 1; k <= last / 100; ++k) {
            const auto copy = strongGroupOf.constFind(last + k);
            if (copy == strongGroupOf.cend() || strongGroupOf.value(100 * k, -1) != *copy)
                ++missed;
        }
        for (const auto reason :
             {tidy::DuplicateReason::NameAndPhone, tidy::DuplicateReason::Email,
              tidy::DuplicateReason::SimilarNameAndAddress, tidy::DuplicateReason::NameOnly})
            std::printf("  %-30s %6d groups\n", qPrintable(tidy::reasonText(reason)),
                        counts.value(reason));
        std::printf("  %lld contacts listed, %lld progress reports\n",
                    static_cast<long long>(listed), static_cast<long long>(reports));
        if (missed > 0)
            std::printf("  UNEXPECTED: %lld copies not found with their original by name and "
                        "phone\n",
                        static_cast<long long>(missed));
        printFigure("find duplicates", seconds, "s", 2);
        printFigure("the process's own peak RSS", memoryMb("VmHWM:"), "MB", 500);
        db.reset();
        QFile::remove(book);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "bench_duplicates: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
