#include "tidy/DuplicatesCommand.h"

#include "core/ContactRecord.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "tidy/Duplicates.h"

#include <cstdio>

namespace quillory::tidy {

namespace {

// A name as one field of a tab-separated line: its own tabs and line breaks would start another
// field or line.
QString oneField(const QString& text) {
    QString field = text;
    for (QChar& c : field) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return field;
}

} // namespace

int runFindDuplicatesCommandLine(const ProgramFolder& folder) {
    const QString book = folder.file(contact::file::Book);
    try {
        const auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
        const QVector<DuplicateGroup> groups = findDuplicates(*db);
        for (qsizetype g = 0; g < groups.size(); ++g) {
            const QString reason = reasonText(groups[g].reason);
            for (const DuplicateContact& contact : describeContacts(*db, groups[g].ids))
                std::printf("%lld\t%lld\t%s\t%s\n", static_cast<long long>(g + 1),
                            static_cast<long long>(contact.id),
                            oneField(contact.name).toUtf8().constData(),
                            reason.toUtf8().constData());
        }
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "quillory: %s: %s\n", qPrintable(book),
                     qPrintable(error.description().simplified()));
        return 1;
    }
    std::fflush(stdout);
    return 0;
}

} // namespace quillory::tidy
