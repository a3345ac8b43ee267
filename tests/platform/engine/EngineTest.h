#pragma once

#include <QObject>

// The database engine: the dialect, the data source and the file maintenance, each against
// real SQLite files in a throw-away folder.
class EngineTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // test_dialect.cpp
    void likeWildcards_data();
    void likeWildcards();
    void likeAgreesWithAReference_data();
    void likeAgreesWithAReference();
    void likeThroughSql_data();
    void likeThroughSql();
    void translateKeepsLiterals_data();
    void translateKeepsLiterals();
    void everyConnectionIsDefensive();
    void keysetQueriesSkipThePhotos_data();
    void keysetQueriesSkipThePhotos();
    void readOnlyStatementsRefuseWrites_data();
    void readOnlyStatementsRefuseWrites();
    void malformedRecordSourcesAreRefused_data();
    void malformedRecordSourcesAreRefused();

    // test_datasource.cpp
    void recordSourcesSortAndFilter_data();
    void recordSourcesSortAndFilter();
    void movesAndBofEof();
    void emptyResult();
    void repositionedBeforeTheCallReturns();
    void pendingEditsAreWrittenOnTheMove();
    void failedWriteKeepsEdits_data();
    void failedWriteKeepsEdits();
    void addNewAndUpdate();
    void cardWritesKeepTheContactsIdentity_data();
    void cardWritesKeepTheContactsIdentity();
    void addNewThenMove();
    void deleteRows();
    void findFirst_data();
    void findFirst();
    void findFirstKeepsRowOnNoMatch();
    void findFirstRefusesCriteria_data();
    void findFirstRefusesCriteria();
    void gridReadsThroughTheCache();
    void rowCacheIsBounded();
    void refreshReopensAndOpenErrors_data();
    void refreshReopensAndOpenErrors();
    void refreshOpensTheRenamedFileAnew();

    // test_maintenance.cpp
    void createdBookHasTheLayout();
    void compactWritesAPackedCopy();
    void compactRefuses_data();
    void compactRefuses();
    void compactOnAFullDiskLeavesNoCopy();
    void repairLeavesAHealthyFileAlone();
    void repairSalvagesADamagedBook_data();
    void repairSalvagesADamagedBook();
    void repairKeepsTheNamesOfARowWithADamagedPhoto();
    void repairRefuses_data();
    void repairRefuses();

    // test_find_in_order.cpp
    void findAgreesWithReadingEveryRow_data();
    void findAgreesWithReadingEveryRow();
    void resultOrderIsSqlitesOrder_data();
    void resultOrderIsSqlitesOrder();

    // test_keyset_fill.cpp
    void firstRowBeforeTheRestIsRead_data();
    void firstRowBeforeTheRestIsRead();
    void unreadableRestOfTheKeysetIsToldEveryTime_data();
    void unreadableRestOfTheKeysetIsToldEveryTime();

    // test_backup_copy.cpp
    void backupCopyIsWholeAndCompact_data();
    void backupCopyIsWholeAndCompact();
    void backupCopyRefuses_data();
    void backupCopyRefuses();

    // test_durability.cpp
    void finishedChangesOutlastAPowerCut_data();
    void finishedChangesOutlastAPowerCut();
};
