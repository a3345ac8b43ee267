#include "exchange/CommandLine.h"

#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "exchange/Exchange.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"

#include <cstdio>

namespace quillory::exchange {

namespace {

int refuse(const QString& why) {
    std::fprintf(stderr, "quillory: %s\n", qPrintable(why));
    return 2;
}

QString oneLine(const QString& text) {
    return QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

} // namespace

int runCommandLine(const ProgramFolder& folder, const CommandLineRequest& request) {
    const bool importing = !request.importFile.isEmpty();
    if (importing == !request.exportFile.isEmpty())
        return refuse(QStringLiteral("give either --import FILE or --export FILE."));
    const QString format = request.format.toLower();
    ImportOptions importOptions;
    ExportOptions exportOptions;
    if (importing) {
        if (format == QLatin1String("vcard"))
            importOptions.read.format = Format::VCard;
        else if (format == QLatin1String("csv"))
            importOptions.read.format = Format::Csv;
        else if (!format.isEmpty())
            return refuse(QStringLiteral("--format for --import is vcard or csv, not \"%1\".")
                              .arg(request.format));
        const QString policy = request.onDuplicate.toLower();
        if (policy.isEmpty() || policy == QLatin1String("skip"))
            importOptions.onDuplicate = OnDuplicate::Skip;
        else if (policy == QLatin1String("add"))
            importOptions.onDuplicate = OnDuplicate::Add;
        else if (policy == QLatin1String("update"))
            importOptions.onDuplicate = OnDuplicate::Update;
        else
            return refuse(QStringLiteral("--on-duplicate is skip, add or update, not \"%1\".")
                              .arg(request.onDuplicate));
        const QString type = request.contactType.toLower();
        if (type.isEmpty() || type == QLatin1String("auto"))
            importOptions.contactType = ContactTypeChoice::Automatic;
        else if (type == QLatin1String("personal"))
            importOptions.contactType = ContactTypeChoice::Personal;
        else if (type == QLatin1String("business"))
            importOptions.contactType = ContactTypeChoice::Business;
        else
            return refuse(
                QStringLiteral("--contact-type is auto, personal or business, not \"%1\".")
                    .arg(request.contactType));
    } else {
        if (!request.onDuplicate.isEmpty())
            return refuse(QStringLiteral("--on-duplicate goes with --import."));
        if (!request.contactType.isEmpty())
            return refuse(QStringLiteral("--contact-type goes with --import."));
        const bool csvName =
            request.exportFile.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        if (format == QLatin1String("csv") || (format.isEmpty() && csvName))
            exportOptions.format = Format::Csv;
        else if (format == QLatin1String("vcard") || format.isEmpty())
            exportOptions.version = VCardVersion::V4;
        else if (format == QLatin1String("vcard3"))
            exportOptions.version = VCardVersion::V3;
        else if (format == QLatin1String("vcard21"))
            exportOptions.version = VCardVersion::V21;
        else
            return refuse(QStringLiteral("--format for --export is vcard, vcard3, vcard21 or csv, "
                                         "not \"%1\".")
                              .arg(request.format));
    }

    try {
        bookfiles::ensureBookFiles(folder);
        const QString book = folder.file(contact::file::Book);
        if (importing) {
            const ImportSummary summary = importFile(book, request.importFile, importOptions);
            std::printf("%s\n", qPrintable(summary.text()));
            if (summary.imported + summary.updated + summary.skipped == 0 &&
                !summary.unreadable.isEmpty()) {
                const Problem& first = summary.unreadable.first();
                std::fprintf(stderr, "quillory: %s: nothing was imported; line %lld: %s\n",
                             qPrintable(request.importFile), static_cast<long long>(first.line),
                             qPrintable(oneLine(first.reason)));
                return 1;
            }
        } else {
            const ExportSummary summary = exportBook(book, request.exportFile, exportOptions);
            std::printf("Exported %lld contacts to %s.\n", static_cast<long long>(summary.exported),
                        qPrintable(request.exportFile));
        }
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "quillory: %s\n", qPrintable(oneLine(error.description())));
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillory: %s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace quillory::exchange
