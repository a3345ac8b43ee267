#include "core/BookFiles.h"

#include "core/ContactRecord.h"
#include "platform/engine/DataSource.h"
#include "platform/engine/Database.h"
#include "platform/files/FileOps.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"

#include <QFileInfo>

namespace quillory::bookfiles {

namespace {

void removeIfPresent(const QString& path) {
    for (const QString& file : {path, path + QStringLiteral("-journal")}) {
        if (QFileInfo::exists(file))
            files::deleteFile(file);
    }
}

template <typename Step> void passOver(Step step) {
    try {
        step();
    } catch (const PlatformError&) {
    } catch (const std::exception&) {
    }
}

} // namespace

void ensureBookFiles(const ProgramFolder& folder) {
    const QString book = folder.file(contact::file::Book);
    if (!QFileInfo::exists(book))
        engine::book::create(book);
    const QString standBy = folder.file(contact::file::StandBy);
    if (!QFileInfo::exists(standBy))
        engine::book::create(standBy);
}

void ReleaseBook(engine::DataSource& data, const ProgramFolder& folder) {
    data.setDatabaseName(folder.file(contact::file::StandBy));
    data.refresh();
}

void ReopenBook(engine::DataSource& data, const ProgramFolder& folder) {
    data.setDatabaseName(folder.file(contact::file::Book));
    data.refresh();
}

void writeCompactedCopy(const QString& source, const QString& target) {
    const QString temporary = target + QStringLiteral(".new");
    // A copy left by an interrupted run may look complete; it is never promoted.
    removeIfPresent(temporary);
    try {
        engine::CompactDatabase(source, temporary);
        {
            auto copy = engine::Database::open(temporary, engine::Database::Mode::ReadOnly);
            if (!copy->isBook())
                throw PlatformError(ErrorNumber::EngineNotReadable,
                                    QStringLiteral("The copy of \"%1\" is not readable.").arg(source));
        }
        files::syncFile(temporary);
        files::replaceFile(temporary, target);
    } catch (...) {
        passOver([&] { removeIfPresent(temporary); });
        throw;
    }
}

void AutoBackupOnExit(engine::DataSource& data, const ProgramFolder& folder) {
    passOver([&] { ReleaseBook(data, folder); });
    passOver([&] {
        writeCompactedCopy(folder.file(contact::file::Book), folder.file(contact::file::Backup));
    });
    passOver([&] { ReopenBook(data, folder); });
}

} // namespace quillory::bookfiles
