// A change reported done outlasts a power cut right after it: the rollback journal's deletion,
// which is what commits it, reaches the disk with the folder that listed the journal.

#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "TestSupport.h"

#include <atomic>
#include <QtTest>
#include <sqlite3.h>

using namespace quillory;
using namespace quillory::engine;

namespace {

// The system's file layer with its deletions watched: a journal deleted without syncing its
// folder may be back after a power cut, and a journal that is back rolls its change back.
struct JournalDeletions {
    std::atomic<int> synced{0};
    std::atomic<int> unsynced{0};
};
JournalDeletions journalDeletions;
sqlite3_vfs* systemFiles = nullptr;
sqlite3_vfs watchedFiles;

int deleteWatched(sqlite3_vfs*, const char* name, int syncFolder) {
    if (QByteArray(name).endsWith("-journal"))
        ++(syncFolder ? journalDeletions.synced : journalDeletions.unsynced);
    return systemFiles->xDelete(systemFiles, name, syncFolder);
}

class WatchedDeletions {
public:
    WatchedDeletions() {
        systemFiles = sqlite3_vfs_find(nullptr);
        watchedFiles = *systemFiles;
        watchedFiles.zName = "watched-deletions";
        watchedFiles.pNext = nullptr;
        watchedFiles.xDelete = &deleteWatched;
        journalDeletions.synced = journalDeletions.unsynced = 0;
        sqlite3_vfs_register(&watchedFiles, 1);
    }
    ~WatchedDeletions() { sqlite3_vfs_unregister(&watchedFiles); }
    WatchedDeletions(const WatchedDeletions&) = delete;
    WatchedDeletions& operator=(const WatchedDeletions&) = delete;
};

} // namespace

void EngineTest::finishedChangesOutlastAPowerCut_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("a card saved") << "card";
    QTest::newRow("many contacts in one transaction, as an import writes them") << "import";
}

void EngineTest::finishedChangesOutlastAPowerCut() {
    QFETCH(QString, change);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    test::writeBook(path, {test::generatedContact(1), test::generatedContact(2)});
    {
        const WatchedDeletions watched;
        DataSource source;
        source.setDatabaseName(path);
        source.setRecordSource(QStringLiteral("SELECT * FROM PhoneBK ORDER BY name"));
        source.refresh();
        if (change == QLatin1String("card")) {
            source.setValue(QStringLiteral("city"), QStringLiteral("Albany"));
            source.update();
        } else {
            source.close();
            auto db = Database::open(path);
            db->exec(QStringLiteral("BEGIN IMMEDIATE"));
            for (int i = 0; i < 50; ++i)
                db->exec(QStringLiteral("INSERT INTO PhoneBK (name) VALUES ('Imported')"));
            db->exec(QStringLiteral("COMMIT"));
        }
        source.close();
    }
    QVERIFY(journalDeletions.synced > 0);
    QCOMPARE(journalDeletions.unsynced.load(), 0);
}
