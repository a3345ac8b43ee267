#include "tidy/Trash.h"

#include <stdexcept>

namespace quillory::tidy {

namespace {

[[noreturn]] void notYet() {
    throw std::logic_error("the trash is not built yet");
}

} // namespace

qint64 moveToTrash(engine::Database&, const QVector<qint64>&, TrashReason, const QString&) {
    notYet();
}

QVector<TrashEntry> trashEntries(engine::Database&) {
    notYet();
}

qint64 latestBatch(engine::Database&) {
    notYet();
}

QVector<qint64> restore(engine::Database&, const QVector<qint64>&) {
    notYet();
}

QVector<qint64> restoreBatch(engine::Database&, qint64) {
    notYet();
}

void emptyTrash(engine::Database&) {
    notYet();
}

void pruneTrash(engine::Database&) {
    notYet();
}

void rememberMergedUid(engine::Database&, const QString&, const QString&) {
    notYet();
}

QString mergedUidOf(engine::Database&, const QString&) {
    notYet();
}

} // namespace quillory::tidy
