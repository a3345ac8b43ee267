// quillory-genbook: writes a large book of made-up contacts, for timing the program and its engine.

#include "BookGenerator.h"
#include "platform/files/PlatformError.h"

#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillory-genbook"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a book of made-up contacts (a new file; an existing one is left "
                       "alone)."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("The book to write; it must not exist."),
                                       QStringLiteral("PATH"));
    const QCommandLineOption contactsOption(QStringLiteral("contacts"),
                                            QStringLiteral("How many contacts to write."),
                                            QStringLiteral("N"));
    const QCommandLineOption photosOption(QStringLiteral("photos"),
                                          QStringLiteral("Give every contact a photo."));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the made-up data (default 1)."),
                                        QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption photoBytesOption(
        QStringLiteral("photo-bytes"),
        QStringLiteral("About how many bytes each photo takes (default 5000)."),
        QStringLiteral("BYTES"), QStringLiteral("5000"));
    parser.addOptions({outOption, contactsOption, photosOption, seedOption, photoBytesOption});
    parser.process(application);

    bool contactsOk = false;
    bool seedOk = false;
    bool bytesOk = false;
    quillory::bench::BookPlan plan;
    plan.contacts = parser.value(contactsOption).toInt(&contactsOk);
    plan.seed = parser.value(seedOption).toULongLong(&seedOk);
    plan.photoBytes = parser.value(photoBytesOption).toInt(&bytesOk);
    plan.photos = parser.isSet(photosOption);
    const QString out = parser.value(outOption);
    if (out.isEmpty() || !contactsOk || plan.contacts < 0 || !seedOk || !bytesOk ||
        plan.photoBytes <= 0) {
        std::fprintf(stderr, "usage: quillory-genbook --out PATH --contacts N [--photos] "
                             "[--seed S] [--photo-bytes BYTES]\n");
        return 2;
    }

    try {
        const quillory::bench::BookReport report = quillory::bench::generateBook(out, plan);
        std::printf(
            "%s: %d contacts%s, %.1f MB, written in %.2f s\n", qPrintable(out), plan.contacts,
            plan.photos ? qPrintable(QStringLiteral(" with photos (%1 MB of PNG)")
                                         .arg(double(report.photoBytesTotal) / 1e6, 0, 'f', 1))
                        : "",
            double(report.fileBytes) / 1e6, report.seconds);
    } catch (const quillory::PlatformError& error) {
        std::fprintf(stderr, "quillory-genbook: %s (error %d)\n", qPrintable(error.description()),
                     error.number());
        return 1;
    }
    return 0;
}
