// The trash behind every delete, through the main window: deleting and undoing, restoring from
// "Deleted contacts...", emptying, the trash carried by the book's maintenance, and the rule of
// what the trash keeps.

#include "BookFiller.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "MaintenanceTestKit.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "tidy/Trash.h"

#include <QAction>
#include <QDateTime>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

using namespace quillory;
using namespace quillory::test;

namespace {

std::unique_ptr<engine::Database> openBook(const StartedProgram& program) {
    return engine::Database::open(program.folder.file(Book));
}

// The rows of the trash, every column, in order; empty when the book has no trash.
QList<QVariantList> trashRows(const QString& book) {
    auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
    QList<QVariantList> rows;
    if (engine::tableColumns(*db, QStringLiteral("Trash")).names.isEmpty())
        return rows;
    engine::Statement query(*db, QStringLiteral("SELECT * FROM Trash ORDER BY trash_id"));
    while (query.step()) {
        QVariantList row;
        for (int c = 0; c < query.columnCount(); ++c)
            row.append(query.column(c));
        rows.append(row);
    }
    return rows;
}

// A contact's row without what a restore gives anew: the row id and the revision.
QVariantList withoutIdAndRevision(QVariantList row) {
    row.removeAt(1 + engine::book::fieldNames().size() + 1); // uid, then rev
    row.removeFirst();
    return row;
}

// The listed entries as "name|why".
QStringList listed(const QTreeWidget& list) {
    QStringList entries;
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        entries.append(list.topLevelItem(row)->text(0) + u'|' + list.topLevelItem(row)->text(2));
    return entries;
}

} // namespace

class TestTrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deleteIsUndone_data();
    void deleteIsUndone();
    void gridDeleteComesBackFromDeletedContacts();
    void emptyingAsksFirst_data();
    void emptyingAsksFirst();
    void trashSurvivesMaintenance_data();
    void trashSurvivesMaintenance();
    void keepingRule_data();
    void keepingRule();
    void mergedAwayContactComesBackBesideTheMergedOne();
};

void TestTrash::deleteIsUndone_data() {
    QTest::addColumn<QString>("deleteItem");
    QTest::addColumn<QString>("undoItem");
    QTest::addColumn<ui::Answer>("answer");
    QTest::newRow("File menu") << "mnuDel"
                               << "mnuUndoDel" << ui::Answer::Yes;
    QTest::newRow("card's popup") << "mnuDelHid"
                                  << "mnuUndoDelHid" << ui::Answer::Yes;
    QTest::newRow("not deleted") << "mnuDel"
                                 << "mnuUndoDel" << ui::Answer::No;
}

void TestTrash::deleteIsUndone() {
    QFETCH(QString, deleteItem);
    QFETCH(QString, undoItem);
    QFETCH(ui::Answer, answer);
    StartedProgram program({.contacts = test::contactsWithPhotos(6)});
    frmMain& main = *program.main;
    auto* remove = main.findChild<QAction*>(deleteItem);
    auto* undo = main.findChild<QAction*>(undoItem);
    QVERIFY(remove && undo);
    QVERIFY(!undo->isEnabled());
    const auto before = test::bookRows(program.folder.file(Book));
    const QString shown = main.Text1->text();
    const qint64 deleted = main.Data1->rowId();
    QVERIFY(!main.Data1->value(QStringLiteral("bitmap")).toByteArray().isEmpty());

    program.boxes.answer(answer);
    remove->trigger();

    QCOMPARE(program.boxes.texts(), {QStringLiteral("Do you really want to DELETE this Entry?")});
    if (answer == ui::Answer::No) {
        QCOMPARE(test::bookRows(program.folder.file(Book)), before);
        QVERIFY(!undo->isEnabled());
        QVERIFY2(trashRows(program.folder.file(Book)).isEmpty(), "no trash without a delete");
        return;
    }
    QCOMPARE(test::bookRows(program.folder.file(Book)).size(), before.size() - 1);
    QVERIFY(main.mnuUndoDel->isEnabled() && main.mnuUndoDelHid->isEnabled());
    QVERIFY(main.Text1->text() != shown);
    const QString undoneAfter = engine::book::revisionNow();

    undo->trigger();

    QCOMPARE(main.Text1->text(), shown);
    QVERIFY(!main.mnuUndoDel->isEnabled() && !main.mnuUndoDelHid->isEnabled());
    auto after = test::bookRows(program.folder.file(Book));
    QCOMPARE(after.size(), before.size());
    const QVariantList restored = after.takeLast();
    QCOMPARE(main.Data1->rowId(), restored.first().toLongLong());
    auto others = before;
    const auto original = std::find_if(others.begin(), others.end(), [&](const QVariantList& row) {
        return row.first().toLongLong() == deleted;
    });
    QCOMPARE(withoutIdAndRevision(restored), withoutIdAndRevision(*original)); // photo, UID too
    QVERIFY(restored.at(1 + engine::book::fieldNames().size() + 1).toString() >= undoneAfter);
    others.erase(original);
    QCOMPARE(after, others);
    QVERIFY(tidy::trashEntries(*openBook(program)).isEmpty());
}

void TestTrash::gridDeleteComesBackFromDeletedContacts() {
    StartedProgram program({.contacts = test::contactsWithPhotos(8)});
    frmMain& main = *program.main;
    main.Toolbar1->clickButton(21);
    QTableView* grid = main.DBGrid2;
    QStringList deleted;
    grid->clearSelection();
    for (int row : {1, 2, 5}) {
        grid->selectionModel()->select(grid->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        deleted.append(main.Data1->valueAt(row, QStringLiteral("name")).toString() +
                       QStringLiteral(", ") +
                       main.Data1->valueAt(row, QStringLiteral("namef")).toString() +
                       QStringLiteral("|deleted"));
    }
    program.boxes.answer(ui::Answer::Yes);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(grid->model()->rowCount(), 5);

    QStringList shown;
    QString restoredName;
    ModalScript script([&](QDialog& dialog) {
        auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("lstTrash"));
        QVERIFY(list);
        shown = listed(*list);
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(2)->setSelected(true);
        restoredName = list->topLevelItem(0)->text(0);
        dialog.findChild<QPushButton*>(QStringLiteral("cmdRestore"))->click();
    });
    main.mnuTrash->trigger();

    QCOMPARE(script.shown(), 1);
    std::sort(shown.begin(), shown.end());
    QCOMPARE(shown, deleted);
    QCOMPARE(grid->model()->rowCount(), 7);
    QCOMPARE(main.Text1->text() + QStringLiteral(", ") + main.Text12->text(), restoredName);
    QCOMPARE(tidy::trashEntries(*openBook(program)).size(), 1);
    // Undo delete brings back what is left of the grid's one delete.
    main.mnuUndoDel->trigger();
    QCOMPARE(grid->model()->rowCount(), 8);
    QVERIFY(tidy::trashEntries(*openBook(program)).isEmpty());
}

void TestTrash::emptyingAsksFirst_data() {
    QTest::addColumn<ui::Answer>("answer");
    QTest::newRow("yes") << ui::Answer::Yes;
    QTest::newRow("no") << ui::Answer::No;
}

void TestTrash::emptyingAsksFirst() {
    QFETCH(ui::Answer, answer);
    StartedProgram program({.contacts = test::contactsWithPhotos(4)});
    frmMain& main = *program.main;
    program.boxes.answer(ui::Answer::Yes);
    main.mnuDel->trigger();
    program.boxes.clear();
    program.boxes.answer(answer);
    int listedAfter = -1;
    ModalScript script([&](QDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("cmdEmpty"))->click();
        listedAfter =
            dialog.findChild<QTreeWidget*>(QStringLiteral("lstTrash"))->topLevelItemCount();
        dialog.findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
    });
    main.mnuTrash->trigger();

    QCOMPARE(program.boxes.asked().size(), 1);
    QCOMPARE(program.boxes.asked().first().defaultButton, 1); // No
    QCOMPARE(program.boxes.asked().first().buttons, ui::Buttons::YesNo);
    const int kept = answer == ui::Answer::Yes ? 0 : 1;
    QCOMPARE(listedAfter, kept);
    QCOMPARE(tidy::trashEntries(*openBook(program)).size(), kept);
    QCOMPARE(main.mnuUndoDel->isEnabled(), kept == 1);
    QCOMPARE(test::bookRows(program.folder.file(Book)).size(), 3);
}

void TestTrash::trashSurvivesMaintenance_data() {
    QTest::addColumn<QString>("step");
    QTest::newRow("compact") << "compact";
    QTest::newRow("repair") << "repair";
    QTest::newRow("back-up and restore") << "restore";
}

void TestTrash::trashSurvivesMaintenance() {
    QFETCH(QString, step);
    StartedProgram program({.contacts = test::contactsWithPhotos(10)});
    frmMain& main = *program.main;
    const QString book = program.folder.file(Book);
    for (int i = 0; i < 2; ++i) {
        program.boxes.answer(ui::Answer::Yes);
        main.mnuDel->trigger();
    }
    const QString lastDeleted = tidy::trashEntries(*openBook(program)).first().name;
    const auto trash = trashRows(book);
    QCOMPARE(trash.size(), 2);
    program.boxes.clear();

    if (step == QLatin1String("compact")) {
        main.mnuComDB->trigger();
    } else if (step == QLatin1String("repair")) {
        // A view beside the contacts makes the repair rebuild the book.
        openBook(program)->exec(QStringLiteral("CREATE VIEW stray AS SELECT 1"));
        main.mnuRepDB->trigger();
        QCOMPARE(engine::tableColumns(*openBook(program), QStringLiteral("stray")).names,
                 QStringList());
    } else {
        test::MaintenanceDialogs dialogs;
        program.boxes.answer(ui::Answer::Yes);
        main.mnuBUDB->trigger();
        tidy::emptyTrash(*openBook(program));
        program.boxes.answer(ui::Answer::Yes);
        main.mnuResDB->trigger();
    }

    QCOMPARE(trashRows(book), trash);
    QCOMPARE(engine::book::checkShape(*openBook(program)).verdict,
             engine::book::Shape::Verdict::Usable);
    main.mnuUndoDel->trigger();
    QCOMPARE(main.Text1->text() + QStringLiteral(", ") + main.Text12->text(), lastDeleted);
    QCOMPARE(trashRows(book).size(), 1);
}

void TestTrash::keepingRule_data() {
    QTest::addColumn<int>("earlier"); // entries in the trash before one more contact is deleted
    QTest::addColumn<int>("ageDays"); // their age
    QTest::addColumn<int>("kept");    // entries the trash keeps after that delete
    QTest::newRow("1,000 old ones: the oldest goes") << 1000 << 91 << 1000;
    QTest::newRow("999 old ones: all kept") << 999 << 91 << 1000;
    QTest::newRow("1,500 recent ones: all kept") << 1500 << 89 << 1501;
    QTest::newRow("1,500 old ones: the latest 1,000") << 1500 << 91 << 1000;
}

void TestTrash::keepingRule() {
    QFETCH(int, earlier);
    QFETCH(int, ageDays);
    QFETCH(int, kept);
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), {});
    auto db = engine::Database::open(folder.file(Book));
    engine::Statement fill(*db, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT "
                                               "i + 1 FROM n WHERE i < ?) INSERT INTO PhoneBK "
                                               "(name) SELECT 'Last' || i FROM n"));
    fill.bind(1, earlier);
    fill.step();
    QVector<qint64> ids;
    for (qint64 id = 1; id <= earlier; ++id)
        ids.append(id);
    tidy::moveToTrash(*db, ids, tidy::TrashReason::Deleted);
    engine::Statement age(*db, QStringLiteral("UPDATE Trash SET trash_time = ?"));
    age.bind(1, QDateTime::currentDateTimeUtc().addDays(-ageDays).toString(Qt::ISODate));
    age.step();

    tidy::moveToTrash(*db, {earlier + 1}, tidy::TrashReason::Deleted);

    const auto entries = tidy::trashEntries(*db);
    QCOMPARE(entries.size(), kept);
    // What goes is the oldest: the newest entries are the ones kept.
    QCOMPARE(entries.first().name, QStringLiteral("Last%1").arg(earlier));
    QCOMPARE(entries.last().name, QStringLiteral("Last%1").arg(earlier + 1 - kept));
}

void TestTrash::mergedAwayContactComesBackBesideTheMergedOne() {
    TempProgramFolder folder;
    QList<QVariantMap> contacts;
    for (const char* last : {"Ames", "Bell", "Cole"}) {
        QVariantMap contact = test::contactNamed(QString::fromLatin1(last), QStringLiteral("Ann"));
        contact.insert(QStringLiteral("uid"), QStringLiteral("uid-") + QString::fromLatin1(last));
        contacts.append(contact);
    }
    test::writeBook(folder.file(Book), contacts);
    auto db = engine::Database::open(folder.file(Book));
    QCOMPARE(tidy::mergedUidOf(*db, QStringLiteral("uid-Ames")), QString());
    // Ames merged into Bell, then Bell into Cole.
    tidy::rememberMergedUid(*db, QStringLiteral("uid-Ames"), QStringLiteral("uid-Bell"));
    tidy::moveToTrash(*db, {1}, tidy::TrashReason::Merged, QStringLiteral("uid-Bell"));
    tidy::rememberMergedUid(*db, QStringLiteral("uid-Bell"), QStringLiteral("uid-Cole"));
    tidy::moveToTrash(*db, {2}, tidy::TrashReason::Merged, QStringLiteral("uid-Cole"));
    QCOMPARE(tidy::mergedUidOf(*db, QStringLiteral("uid-Ames")), QStringLiteral("uid-Cole"));
    const auto entries = tidy::trashEntries(*db);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.last().mergedIntoName, QStringLiteral("Bell, Ann"));
    QCOMPARE(entries.first().mergedIntoName, QStringLiteral("Cole, Ann"));

    const auto back = tidy::restore(*db, {entries.last().trashId});

    QCOMPARE(back.size(), 1);
    QCOMPARE(db->scalar(QStringLiteral("SELECT uid FROM PhoneBK WHERE id = ?"), {back.first()})
                 .toString(),
             QStringLiteral("uid-Ames"));
    QCOMPARE(tidy::mergedUidOf(*db, QStringLiteral("uid-Ames")), QString());
    QCOMPARE(tidy::mergedUidOf(*db, QStringLiteral("uid-Bell")), QStringLiteral("uid-Cole"));
}

QTEST_MAIN(TestTrash)
#include "test_trash.moc"
