#include "core/BookFiles.h"

#include "core/ContactRecord.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/engine/EngineError.h"
#include "platform/files/FileOps.h"
#include "platform/files/OwnFiles.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"

#include <cerrno>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
#include <sys/stat.h>
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

// What tells one state of a file from another without reading it: a write changes the
// modification time and size, a write or a rename the change time (which nobody can set back),
// and a file put in its place has another inode.
struct FileState {
    qint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    friend bool operator==(const FileState&, const FileState&) = default;
};

std::optional<FileState> fileState(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileState{qint64(info.st_ino), qint64(info.st_size),
                     qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                     qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
}

// The header of a database file: the count SQLite raises with every change it writes, and
// whether the file is as long as the pages the header says it has.
struct DatabaseHeader {
    quint32 changeCounter = 0;
    bool whole = false;
};

std::optional<DatabaseHeader> databaseHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return std::nullopt;
    auto number = [&header](int at, int bytes) {
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | quint8(header[at + i]);
        return value;
    };
    const quint32 pageSize = number(16, 2) == 1 ? 65536 : number(16, 2);
    const quint32 changeCounter = number(24, 4);
    const quint32 pages = number(28, 4);
    // The page count is kept up to date only when it was written with the change counter.
    const bool countValid = number(92, 4) == changeCounter && pages > 0;
    const bool whole = countValid && qint64(pages) * pageSize == file.size();
    return DatabaseHeader{changeCounter, whole};
}

// What the exit back-up was made from and what it wrote, kept beside the back-up: while the
// book and the back-up are both as recorded, a new back-up would be the same file again.
struct BackupRecord {
    FileState book;
    quint32 bookChangeCounter = 0;
    FileState backup;
    friend bool operator==(const BackupRecord&, const BackupRecord&) = default;
};

QString backupRecordName(const QString& backup) {
    return besideName(backup, QStringLiteral(".state"));
}

QString recordLine(const char* key, const FileState& state, qint64 extra) {
    return QStringLiteral("%1=%2 %3 %4 %5 %6\n")
        .arg(QLatin1String(key))
        .arg(state.inode)
        .arg(state.size)
        .arg(state.modifiedNs)
        .arg(state.changedNs)
        .arg(extra);
}

std::optional<BackupRecord> readBackupRecord(const QString& backup) {
    QFile file(backupRecordName(backup));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    BackupRecord record;
    int found = 0;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QStringList numbers = line.mid(equals + 1).split(QLatin1Char(' '));
        if (numbers.size() != 5)
            return std::nullopt;
        qint64 values[5] = {};
        for (int i = 0; i < 5; ++i) {
            bool ok = false;
            values[i] = numbers[i].toLongLong(&ok);
            if (!ok)
                return std::nullopt;
        }
        const FileState state{values[0], values[1], values[2], values[3]};
        const QStringView key = QStringView(line).left(equals);
        if (key == QLatin1String("book")) {
            record.book = state;
            record.bookChangeCounter = quint32(values[4]);
            found |= 1;
        } else if (key == QLatin1String("backup")) {
            record.backup = state;
            found |= 2;
        }
    }
    if (found != 3)
        return std::nullopt;
    return record;
}

void writeBackupRecord(const QString& backup, const BackupRecord& record) {
    QSaveFile file(backupRecordName(backup));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    file.write(recordLine("book", record.book, record.bookChangeCounter).toLatin1());
    file.write(recordLine("backup", record.backup, 0).toLatin1());
    // The record's rename is made durable with the back-up it describes.
    if (file.commit())
        files::syncFolder(QFileInfo(backup).absolutePath());
}

void dropBackupRecord(const QString& backup) {
    QFile::remove(backupRecordName(backup));
}

// The book's state now, read while no writer can change it.
std::optional<BackupRecord> bookState(const QString& book) {
    const std::optional<FileState> state = fileState(book);
    const std::optional<DatabaseHeader> header = databaseHeader(book);
    if (!state || !header)
        return std::nullopt;
    BackupRecord record;
    record.book = *state;
    record.bookChangeCounter = header->changeCounter;
    return record;
}

// True when the back-up was made from the book as it is now and is itself as it was written.
bool backupIsCurrent(const QString& book, const QString& backup) {
    const std::optional<BackupRecord> recorded = readBackupRecord(backup);
    if (!recorded)
        return false;
    std::optional<BackupRecord> now = bookState(book);
    const std::optional<FileState> backupNow = fileState(backup);
    const std::optional<DatabaseHeader> backupHeader = databaseHeader(backup);
    if (!now || !backupNow || !backupHeader || !backupHeader->whole)
        return false;
    now->backup = *backupNow;
    return *now == *recorded;
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

bool isDamage(const PlatformError& error, const QString& path) {
    return error.number() == ErrorNumber::EngineNotReadable && databaseHeader(path).has_value();
}

BookCheck checkBook(const QString& path) {
    try {
        auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
        const engine::book::Shape shape = engine::book::checkShape(*db);
        switch (shape.verdict) {
        case engine::book::Shape::Verdict::Usable:
            return {};
        case engine::book::Shape::Verdict::Mendable:
            return {BookCondition::Mendable, shape.problem};
        case engine::book::Shape::Verdict::Foreign:
            break;
        }
        return {BookCondition::NotABook, shape.problem};
    } catch (const PlatformError& error) {
        if (isDamage(error, path))
            return {BookCondition::Damaged, error.description()};
        if (error.number() == ErrorNumber::EngineNotReadable)
            return {BookCondition::NotABook, QStringLiteral("it is not a database file")};
        throw;
    }
}

namespace {

// "Corvanel-before-repair-20240501-153012.MDB" beside the book, with "-2", "-3", ... when a
// repair in the same second kept one already: no repair ever writes over what another kept.
QString beforeRepairName(const QString& path) {
    const QFileInfo info(path);
    const QString stem = info.completeBaseName() + QStringLiteral("-before-repair-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    for (int n = 1;; ++n) {
        const QString name =
            n == 1 ? stem + suffix : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
        const QString candidate = files::resolveName(info.path(), name);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool wantsMending(engine::Database& db) {
    return engine::book::checkShape(db).verdict == engine::book::Shape::Verdict::Mendable;
}

} // namespace

RepairOutcome repairBook(const QString& path) {
    RepairOutcome outcome;
    try {
        auto db = engine::Database::open(path, engine::Database::Mode::ReadOnly);
        outcome.before = engine::countableRows(*db, engine::book::tableName());
    } catch (const PlatformError&) {
        // Not even the table list can be read: the repair says why.
    }
    const QString keep = beforeRepairName(path);
    outcome.rewritten =
        engine::RepairDatabase(path, {keep, &wantsMending, &engine::book::mendShape});
    if (outcome.rewritten) {
        outcome.keptAs = keep;
        outcome.after = contactCount(path);
    }
    return outcome;
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

QStringList ownFiles(const ProgramFolder& folder) {
    QStringList own;
    for (const QString& name :
         {contact::file::Book, contact::file::StandBy, contact::file::CompactTemp,
          contact::file::CompactOld, contact::file::Backup, contact::file::Settings,
          contact::file::WindowGeometry, contact::file::PrintCopy, contact::file::ReturnAddresses,
          contact::file::ReturnCopy}) {
        const QString path = folder.file(name);
        own << path << path + QStringLiteral("-journal");
    }
    own << backupRecordName(folder.file(contact::file::Backup)) << leftoverFiles(folder);
    static const QRegularExpression beforeRepair(
        QStringLiteral("^corvanel-before-repair-.*\\.mdb$"),
        QRegularExpression::CaseInsensitiveOption);
    const QStringList entries = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries) {
        if (beforeRepair.match(entry).hasMatch())
            own << files::joinPath(folder.path(), entry);
    }
    return own;
}

void protectOwnFiles(const ProgramFolder& folder) {
    files::setOwnFiles([folder] { return ownFiles(folder); });
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
    const QString book = folder.file(contact::file::Book);
    // The card's boxes are bound to the fields of a table of contacts; a book without them
    // is not opened, so that no box is left without its field.
    const BookCheck check = checkBook(book);
    if (check.condition != BookCondition::Usable)
        throw PlatformError(ErrorNumber::EngineNotReadable,
                            QStringLiteral("\"%1\" cannot be used: %2.")
                                .arg(QDir::toNativeSeparators(book), check.problem));
    data.setDatabaseName(book);
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
    if (!files::linkFile(path, aside)) {
        files::renameFile(path, aside);
        files::syncFolder(QFileInfo(aside).absolutePath());
    }
}

void putBack(const QString& path) {
    reportStep(Step::PutBack, path);
    files::replaceFile(keptAsideName(path), path);
}

void dropKeptAside(const QString& path) {
    reportStep(Step::DropKeptAside, path);
    passOver([&] { removeIfPresent(keptAsideName(path)); });
}

void prepareCompactedCopy(const QString& source, const QString& temporary,
                          const engine::CopyProgress& progress) {
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
        engine::CompactDatabase(source, temporary, progress); // durable when it returns
        reportStep(Step::CheckCopy, temporary);
        checkCopy(source, temporary);
    } catch (...) {
        passOver([&] { removeIfPresent(temporary); });
        throw;
    }
}

void writeCompactedCopy(const QString& source, const QString& target,
                        const engine::CopyProgress& progress) {
    writeCompactedCopy(source, target, beingWrittenName(target), progress);
}

void writeCompactedCopy(const QString& source, const QString& target, const QString& temporary,
                        const engine::CopyProgress& progress) {
    prepareCompactedCopy(source, temporary, progress);
    try {
        reportStep(Step::Swap, target);
        files::replaceFile(temporary, target);
    } catch (...) {
        passOver([&] { removeIfPresent(temporary); });
        throw;
    }
}

std::optional<QString> AutoBackupOnExit(engine::DataSource& data, const ProgramFolder& folder,
                                        const engine::CopyProgress& progress,
                                        AfterBackup afterwards) {
    passOver([&] {
        try {
            ReleaseBook(data, folder);
        } catch (const PlatformError&) {
            // The card's typing cannot be written and the program is ending without it (the
            // user was told why): the back-up is of the book as it is on the disk.
            data.cancelUpdate();
            ReleaseBook(data, folder);
        }
    });
    const std::optional<QString> failure = BackUpBook(folder, progress);
    // Opening the book again reads and checks it, which is all wasted on a program that
    // closes it next.
    if (afterwards == AfterBackup::Reopen)
        passOver([&] { ReopenBook(data, folder); });
    return failure;
}

std::optional<QString> BackUpBook(const ProgramFolder& folder,
                                  const engine::CopyProgress& progress) {
    const QString book = folder.file(contact::file::Book);
    const QString backup = folder.file(contact::file::Backup);
    // A book still held goes the whole way, and fails there.
    if (!engine::isHeldOpen(book) && backupIsCurrent(book, backup))
        return std::nullopt;
    try {
        writeBackup(book, backup, progress);
    } catch (const engine::CopyCancelled&) {
        return std::nullopt; // the user's choice; the previous back-up is as it was
    } catch (const PlatformError& error) {
        return error.description();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    }
    return std::nullopt;
}

void writeBackup(const QString& book, const QString& backup, const engine::CopyProgress& progress) {
    engine::checkFileName(book);
    if (!QFileInfo::exists(book))
        throw PlatformError(ErrorNumber::EngineFileNotFound,
                            QStringLiteral("The file \"%1\" could not be found.").arg(book));
    const QString temporary = beingWrittenName(backup);
    reportStep(Step::ClearLeftover, temporary);
    removeIfPresent(temporary);
    std::optional<BackupRecord> record;
    try {
        reportStep(Step::Compact, temporary);
        engine::BackUpDatabase(
            book, temporary, [&] { record = bookState(book); }, progress);
        reportStep(Step::CheckCopy, temporary);
        checkCopy(book, temporary);
        // From here until the new record is written, the old one describes nothing; until
        // now it still describes the previous back-up, which a cancel leaves as it was.
        dropBackupRecord(backup);
        reportStep(Step::Swap, backup);
        files::replaceFile(temporary, backup);
    } catch (...) {
        passOver([&] { removeIfPresent(temporary); });
        throw;
    }
    // The back-up's own state after the rename, which changes it.
    const std::optional<FileState> written = fileState(backup);
    if (record && written) {
        record->backup = *written;
        writeBackupRecord(backup, *record);
    }
}

} // namespace quillory::bookfiles
