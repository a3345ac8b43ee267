#include "core/BookFiles.h"

#include "core/ContactRecord.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/engine/EngineError.h"
#include "platform/files/FileOps.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"

#include <cerrno>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <unistd.h>
#include <utility>

namespace quillory::bookfiles {

namespace {

void removeIfPresent(const QString& path) {
    for (const QString& file : {path, path + QStringLiteral("-journal")}) {
        if (QFileInfo::exists(file))
            files::deleteFile(file);
    }
}

template <typename Work> void passOver(Work work) {
    try {
        work();
    } catch (const PlatformError&) {
    } catch (const std::exception&) {
    }
}

StepObserver& observer() {
    static StepObserver instance;
    return instance;
}

// The name `suffix` appended to the file's own name, matched in its folder without regard to
// letter case, so that a book named "corvanel.mdb" finds its "corvanel.mdb.new".
QString besideName(const QString& path, const QString& suffix) {
    const QFileInfo info(path);
    return files::resolveName(info.path(), info.fileName() + suffix);
}

qint64 contactCount(const QString& path) {
    auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
    return db->scalar(QStringLiteral("SELECT count(*) FROM PhoneBK")).toLongLong();
}

// A compacted copy must be a book holding every contact of its source before anything is
// swapped for it.
void checkCopy(const QString& source, const QString& copy) {
    {
        auto db = engine::Database::open(copy, engine::Database::Mode::ReadOnly);
        if (!db->isBook())
            throw PlatformError(ErrorNumber::EngineNotReadable,
                                QStringLiteral("The copy of \"%1\" is not readable.").arg(source));
    }
    const qint64 expected = contactCount(source);
    const qint64 written = contactCount(copy);
    if (written != expected)
        throw PlatformError(ErrorNumber::EngineNotReadable,
                            QStringLiteral("The copy of \"%1\" holds %2 contacts instead of %3.")
                                .arg(source)
                                .arg(written)
                                .arg(expected));
}

} // namespace

void setStepObserver(StepObserver stepObserver) {
    observer() = std::move(stepObserver);
}

void reportStep(Step step, const QString& path) {
    if (observer())
        observer()(step, path);
}

void ensureBookFiles(const ProgramFolder& folder) {
    const QString book = folder.file(contact::file::Book);
    if (!QFileInfo::exists(book))
        recoverKeptAside(book);
    bool made = false;
    if (!QFileInfo::exists(book)) {
        try {
            engine::book::create(book);
        } catch (const PlatformError&) {
            requireWritableFolder(folder.path());
            throw;
        }
        made = true;
    }
    // Without a stand-by the maintenance commands let go of the book all the same
    // (ReleaseBook), so a folder it cannot be made in does not keep the book from opening.
    const QString standBy = folder.file(contact::file::StandBy);
    if (!QFileInfo::exists(standBy))
        passOver([&] { engine::book::create(standBy); });
    // A book made just now may stand in for one that went missing: what is left beside it
    // could be all that remains of the user's contacts, so it is not touched.
    if (!made)
        clearLeftovers(folder);
}

void requireWritableFolder(const QString& folder) {
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return;
    const int err = errno;
    throw PlatformError(files::errorNumberFor(err, folder),
                        QStringLiteral("The program folder \"%1\" cannot be written to (%2), so "
                                       "no address book can be made in it.")
                            .arg(QDir::toNativeSeparators(folder), systemErrorText(err)));
}

bool isWholeBook(const QString& path) {
    try {
        return engine::Database::open(path, engine::Database::Mode::ReadOnly)->isBook();
    } catch (const PlatformError&) {
        return false;
    }
}

QStringList leftoverFiles(const ProgramFolder& folder) {
    // Names are compared without regard to letter case, in one listing of the folder.
    auto bare = [](const QString& name) { return name.mid(1).toLower(); };
    const QString book = bare(contact::file::Book);
    const QStringList unfinished{bare(contact::file::CompactTemp), book + QStringLiteral(".new"),
                                 book + QStringLiteral(".previous"),
                                 book + QStringLiteral(".repair"),
                                 bare(contact::file::Backup) + QStringLiteral(".new")};
    // A settings save writes a temporary file beside its target, named after it with a dot and
    // six random letters, and renames it over the target when it is complete.
    static const QRegularExpression settingsTemporary(
        QStringLiteral("^corvanel\\.(hig|win)\\.[a-z]{6}$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString journal = QStringLiteral("-journal");
    QStringList found;
    const QStringList entries = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries) {
        QString name = entry.toLower();
        if (name.endsWith(journal))
            name.chop(journal.size());
        if (unfinished.contains(name) || settingsTemporary.match(entry).hasMatch())
            found.append(files::joinPath(folder.path(), entry));
    }
    return found;
}

void clearLeftovers(const ProgramFolder& folder) {
    const QStringList leftovers = leftoverFiles(folder);
    if (leftovers.isEmpty() || !isWholeBook(folder.file(contact::file::Book)))
        return;
    for (const QString& file : leftovers)
        passOver([&] { files::deleteFile(file); });
}

void ReleaseBook(engine::DataSource& data, const ProgramFolder& folder) {
    // Pointing the source elsewhere would drop what the user typed on the card.
    if (data.isOpen() && (data.hasPendingEdits() || data.isAdding()))
        data.update();
    const QString standBy = folder.file(contact::file::StandBy);
    if (!QFileInfo::exists(standBy))
        passOver([&] { engine::book::create(standBy); });
    data.setDatabaseName(standBy);
    try {
        data.refresh();
    } catch (const PlatformError&) {
        // A stand-by that cannot be opened leaves the source closed: the book is let go all
        // the same, which is all the steps after this one need.
        data.close();
    }
}

void ReopenBook(engine::DataSource& data, const ProgramFolder& folder) {
    data.setDatabaseName(folder.file(contact::file::Book));
    data.refresh();
}

QString beingWrittenName(const QString& path) {
    return besideName(path, QStringLiteral(".new"));
}

QString keptAsideName(const QString& path) {
    return besideName(path, QStringLiteral(".previous"));
}

void recoverKeptAside(const QString& path) {
    if (QFileInfo::exists(path))
        return;
    const QString aside = keptAsideName(path);
    if (!QFileInfo::exists(aside))
        return;
    reportStep(Step::PutBack, path);
    files::replaceFile(aside, path);
}

void keepAside(const QString& path) {
    recoverKeptAside(path);
    reportStep(Step::KeepAside, path);
    const QString aside = keptAsideName(path);
    // With `path` there, a file kept aside by an earlier run is older than it.
    removeIfPresent(aside);
    // A second name keeps the file where it is, so a failure in the steps after this one has
    // nothing to put back. A file system without second names gets the file moved aside.
    if (!files::linkFile(path, aside))
        files::renameFile(path, aside);
}

void putBack(const QString& path) {
    reportStep(Step::PutBack, path);
    files::replaceFile(keptAsideName(path), path);
}

void dropKeptAside(const QString& path) {
    reportStep(Step::DropKeptAside, path);
    passOver([&] { removeIfPresent(keptAsideName(path)); });
}

void prepareCompactedCopy(const QString& source, const QString& temporary) {
    // Checked before a leftover is cleared, so nothing is deleted for a book that is not there.
    engine::checkFileName(source);
    if (!QFileInfo::exists(source))
        throw PlatformError(ErrorNumber::EngineFileNotFound,
                            QStringLiteral("The file \"%1\" could not be found.").arg(source));
    // A copy left by an interrupted run may look complete; it is never promoted.
    reportStep(Step::ClearLeftover, temporary);
    removeIfPresent(temporary);
    try {
        reportStep(Step::Compact, temporary);
        engine::CompactDatabase(source, temporary); // durable when it returns
        reportStep(Step::CheckCopy, temporary);
        checkCopy(source, temporary);
    } catch (...) {
        passOver([&] { removeIfPresent(temporary); });
        throw;
    }
}

void writeCompactedCopy(const QString& source, const QString& target) {
    writeCompactedCopy(source, target, beingWrittenName(target));
}

void writeCompactedCopy(const QString& source, const QString& target, const QString& temporary) {
    prepareCompactedCopy(source, temporary);
    try {
        reportStep(Step::Swap, target);
        files::replaceFile(temporary, target);
    } catch (...) {
        passOver([&] { removeIfPresent(temporary); });
        throw;
    }
}

std::optional<QString> AutoBackupOnExit(engine::DataSource& data, const ProgramFolder& folder) {
    passOver([&] { ReleaseBook(data, folder); });
    std::optional<QString> failure;
    try {
        writeCompactedCopy(folder.file(contact::file::Book), folder.file(contact::file::Backup));
    } catch (const PlatformError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    passOver([&] { ReopenBook(data, folder); });
    return failure;
}

} // namespace quillory::bookfiles
