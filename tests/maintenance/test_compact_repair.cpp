// Compacting and repairing the book from the main window, on real files, with faults brought
// about at each step.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "MaintenanceTestKit.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "TestSupport.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

using namespace quillory;
using namespace quillory::test;
using bookfiles::Step;

namespace {

const QString Compacted = QStringLiteral("The Database has been Compacted.");
const QString Repaired = QStringLiteral("The Database has been repaired.");

// The numbers a sentence gives, in order.
QList<int> countsIn(const QString& sentence) {
    QList<int> counts;
    static const QRegularExpression number(QStringLiteral("\\d+"));
    for (auto it = number.globalMatch(sentence); it.hasNext();)
        counts.append(it.next().captured().toInt());
    return counts;
}

// The books kept by the repairs.
QStringList keptBeforeRepair(const TempProgramFolder& folder) {
    return QDir(folder.path())
        .entryList({QStringLiteral("Corvanel-before-repair-*")}, QDir::Files, QDir::Name);
}

} // namespace

class TestCompactRepair : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compactPacksTheBookKeepingEveryContact();
    void commandsArriveFromMenusAndToolbarMenus();
    void compactWorksWithoutUsableStandBy_data();
    void compactWorksWithoutUsableStandBy();
    void staleTemporaryIsClearedNeverPromoted();
    void failedCompactionLeavesBookAsItWas_data();
    void failedCompactionLeavesBookAsItWas();
    void compactionOnFullDiskLeavesBookAsItWas();
    void pendingCardEditsAreWrittenBeforeTheBookIsLetGo();
    void repairLeavesHealthyBookByteForByte();
    void repairKeepsEveryReadableContactOfDamagedBook();
    void failedRepairSaysSoAndLeavesBook();
    void fileThatIsNotABookIsNotRepaired_data();
    void fileThatIsNotABookIsNotRepaired();
    void startOnAMisshapenBookOffersRepair_data();
    void startOnAMisshapenBookOffersRepair();
    void startOnADamagedBookOffersRepair();
};

void TestCompactRepair::compactPacksTheBookKeepingEveryContact() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(60));
    test::deleteEveryOther(folder.file(Book));
    const auto before = test::bookRows(folder.file(Book));
    const qint64 sizeBefore = QFileInfo(folder.file(Book)).size();
    StartedProgram program(folder);
    program.main->Data1->moveLast(); // the command puts the view back on its first contact

    program.main->mnuComDB->trigger();

    QCOMPARE(program.boxes.texts(), QStringList{Compacted});
    QCOMPARE(program.boxes.asked().first().icon, ui::Icon::None);
    QCOMPARE(program.boxes.asked().first().buttons, ui::Buttons::Ok);
    QCOMPARE(program.boxes.asked().first().caption, QStringLiteral("Quillory"));
    QCOMPARE(test::bookRows(folder.file(Book)), before);
    QVERIFY2(QFileInfo(folder.file(Book)).size() < sizeBefore,
             "the free pages were not given back");
    QVERIFY(test::isHealthy(folder.file(Book)));
    QCOMPARE(test::leftovers(folder.path()), QStringList());
    test::verifyBackOnBook(program);
}

void TestCompactRepair::commandsArriveFromMenusAndToolbarMenus() {
    StartedProgram program({.contacts = test::contactsWithPhotos(5)});

    program.main->Toolbar1_ButtonMenuClick(QStringLiteral("CD"));
    program.main->Toolbar2_ButtonMenuClick(QStringLiteral("RD"));
    program.main->mnuRepDB->trigger();

    QCOMPARE(program.boxes.texts(), (QStringList{Compacted, Repaired, Repaired}));
    for (const char* key : {"CD", "RD", "BD", "RsD"})
        QVERIFY2(program.context->commands().contains(QString::fromLatin1(key)), key);
}

void TestCompactRepair::compactWorksWithoutUsableStandBy_data() {
    QTest::addColumn<QByteArray>("standBy"); // empty: the file is missing
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not a database") << QByteArray("no database here\n").repeated(300);
}

void TestCompactRepair::compactWorksWithoutUsableStandBy() {
    QFETCH(QByteArray, standBy);
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(20));
    const auto before = test::bookRows(folder.file(Book));
    StartedProgram program(folder);
    QFile::remove(folder.file(QStringLiteral("db.MDB")));
    if (!standBy.isEmpty())
        folder.write(QStringLiteral("db.MDB"), standBy);

    program.main->mnuComDB->trigger();

    QCOMPARE(program.boxes.texts(), QStringList{Compacted});
    QCOMPARE(test::bookRows(folder.file(Book)), before);
    if (standBy.isEmpty()) // a missing stand-by is made again; another file is left alone
        QVERIFY(engine::Database::open(folder.file(QStringLiteral("db.MDB")))->isBook());
    else
        QCOMPARE(folder.read(QStringLiteral("db.MDB")), standBy);
    test::verifyBackOnBook(program);
}

void TestCompactRepair::staleTemporaryIsClearedNeverPromoted() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(12));
    // A complete-looking copy from an interrupted run, with a journal, holding other contacts.
    test::writeBook(folder.file(QStringLiteral("Corvan1.MDB")),
                    {test::contactNamed(QStringLiteral("Stale"), QStringLiteral("Copy"))});
    folder.write(QStringLiteral("Corvan1.MDB-journal"), QByteArray(600, 'j'));
    const auto before = test::bookRows(folder.file(Book));
    StartedProgram program(folder);

    program.main->mnuComDB->trigger();

    QCOMPARE(program.boxes.texts(), QStringList{Compacted});
    QCOMPARE(test::bookRows(folder.file(Book)), before);
    QCOMPARE(test::leftovers(folder.path()), QStringList());
}

void TestCompactRepair::failedCompactionLeavesBookAsItWas_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("fault");
    QTest::newRow("book held open by another data source")
        << int(Step::Compact) << QStringLiteral("held");
    QTest::newRow("copy misses a contact") << int(Step::CheckCopy) << QStringLiteral("short");
    QTest::newRow("rename refused") << int(Step::Swap) << QStringLiteral("read-only");
    QTest::newRow("folder read-only from the start")
        << int(Step::ReleaseBook) << QStringLiteral("read-only");
}

void TestCompactRepair::failedCompactionLeavesBookAsItWas() {
    QFETCH(int, step);
    QFETCH(QString, fault);
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(30));
    test::deleteEveryOther(folder.file(Book));
    const QByteArray bookBytes = folder.read(Book);
    test::ReadOnlyFolder readOnly(folder.path());
    StartedProgram program(folder);
    Faults faults(folder, &readOnly);
    StepScript script;
    script.at(Step(step), [&](const QString& path) { faults.bringAbout(fault, path); });

    program.main->mnuComDB->trigger();
    if (!faults.whyNot().isEmpty())
        QSKIP(qPrintable(QStringLiteral("cannot make the folder read-only: ") + faults.whyNot()));

    QCOMPARE(program.boxes.asked().size(), 1);
    const QString text = program.boxes.texts().first();
    QVERIFY2(text.startsWith(QStringLiteral("The Database could not be compacted.")),
             qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("The book is unchanged.")), qPrintable(text));
    QCOMPARE(program.boxes.asked().first().icon, ui::Icon::Exclamation);
    QCOMPARE(folder.read(Book), bookBytes);
    QVERIFY(!folder.exists(QStringLiteral("Corvanel.BAK")));
    test::verifyBackOnBook(program);

    // Once the cause is gone, the next compaction clears whatever the failed one could not.
    faults.undo();
    program.boxes.clear();
    program.main->mnuComDB->trigger();
    QCOMPARE(program.boxes.texts(), QStringList{Compacted});
    QCOMPARE(test::leftovers(folder.path()), QStringList());
}

void TestCompactRepair::compactionOnFullDiskLeavesBookAsItWas() {
    TempProgramFolder folder;
    test::SmallDisk disk(folder.path(), "256k");
    if (!disk.mounted())
        QSKIP(qPrintable(disk.whyNot()));
    test::writeBook(folder.file(Book), test::contactsWithPhotos(9));
    const QByteArray bookBytes = folder.read(Book);
    {
        StartedProgram program(folder);
        StepScript script;
        script.at(Step::Compact, [&](const QString&) { disk.fill(); });

        program.main->mnuComDB->trigger();

        QCOMPARE(program.boxes.asked().size(), 1);
        const QString text = program.boxes.texts().first();
        QVERIFY2(text.startsWith(QStringLiteral("The Database could not be compacted.")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("full"), Qt::CaseInsensitive), qPrintable(text));
        QCOMPARE(folder.read(Book), bookBytes);
        QCOMPARE(test::leftovers(folder.path()), QStringList());
        test::verifyBackOnBook(program);
    }
}

void TestCompactRepair::pendingCardEditsAreWrittenBeforeTheBookIsLetGo() {
    StartedProgram program({.contacts = test::contactsWithPhotos(6)});
    program.main->Data1->moveNext();
    const QString name = program.main->Data1->value(QStringLiteral("name")).toString();
    program.main->Data1->setValue(QStringLiteral("city"), QStringLiteral("Typed but not saved"));

    program.main->mnuComDB->trigger();

    QCOMPARE(program.boxes.texts(), QStringList{Compacted});
    auto db = engine::Database::open(program.folder.file(Book), engine::Database::Mode::ReadOnly);
    QCOMPARE(
        db->scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE name = ?"), {name}).toString(),
        QStringLiteral("Typed but not saved"));
}

void TestCompactRepair::repairLeavesHealthyBookByteForByte() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(15));
    const QByteArray bookBytes = folder.read(Book);
    StartedProgram program(folder);

    program.main->mnuRepDB->trigger();

    QCOMPARE(program.boxes.texts(), QStringList{Repaired});
    QCOMPARE(program.boxes.asked().first().icon, ui::Icon::None);
    QCOMPARE(folder.read(Book), bookBytes);
    test::verifyBackOnBook(program);
}

void TestCompactRepair::repairKeepsEveryReadableContactOfDamagedBook() {
    TempProgramFolder folder;
    const int count = 400;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(count));
    const auto original = test::bookRows(folder.file(Book));
    test::damageMiddleOfTable(folder.file(Book));
    const auto readable = test::readableRows(folder.file(Book), count);
    QVERIFY2(readable.size() < count, "the damage must cost some contacts for this test");
    QVERIFY(readable.size() > count / 2);
    const QByteArray damaged = folder.read(Book);
    StartedProgram program(folder);
    program.boxes.clear(); // what the start-up said about the damaged book

    program.main->mnuRepDB->trigger();

    QVERIFY(test::isHealthy(folder.file(Book)));
    const auto repaired = test::bookRows(folder.file(Book));
    // Told with what the repaired book holds against what the damaged one was counted to hold,
    // and where the damaged book is kept, byte for byte.
    QCOMPARE(program.boxes.asked().size(), 1);
    const QStringList told = program.boxes.texts().first().split(QStringLiteral("\n\n"));
    QCOMPARE(told.first(), Repaired);
    QCOMPARE(countsIn(told.value(1)), (QList<int>{int(repaired.size()), count}));
    const QStringList kept = keptBeforeRepair(folder);
    QCOMPARE(kept.size(), 1);
    QVERIFY2(told.value(2).contains(QDir::toNativeSeparators(folder.file(kept.first()))),
             qPrintable(told.value(2)));
    QCOMPARE(folder.read(kept.first()), damaged);
    for (const QVariantList& row : readable)
        QVERIFY2(repaired.contains(row), qPrintable(row.value(1).toString()));
    for (const QVariantList& row : repaired) // nothing made up: each row is an original's
        QVERIFY(std::any_of(original.begin(), original.end(), [&](const QVariantList& o) {
            return o.first() == row.first() && o.value(1) == row.value(1);
        }));
    QCOMPARE(test::leftovers(folder.path()), QStringList());
    QVERIFY(program.main->Data1->isOpen());
    QCOMPARE(program.main->Data1->recordCount(), repaired.size());

    // A later repair keeps its own damaged book and leaves the one kept before alone.
    test::damageMiddleOfTable(folder.file(Book));
    program.main->mnuRepDB->trigger();
    QCOMPARE(keptBeforeRepair(folder).size(), 2);
    QCOMPARE(folder.read(kept.first()), damaged);
}

void TestCompactRepair::startOnAMisshapenBookOffersRepair_data() {
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("named"); // what the start-up's message must name
    QTest::newRow("card fields missing") << "fields missing"
                                         << "address1, city";
    QTest::newRow("contacts behind a view") << "view"
                                            << "view";
    QTest::newRow("a trigger that empties the book") << "trigger"
                                                     << "wipe";
}

void TestCompactRepair::startOnAMisshapenBookOffersRepair() {
    QFETCH(QString, shape);
    QFETCH(QString, named);
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(12));
    const QStringList names = test::bookNames(folder.file(Book));
    {
        auto db = engine::Database::open(folder.file(Book));
        if (shape == QLatin1String("fields missing"))
            db->exec(QStringLiteral("ALTER TABLE PhoneBK DROP COLUMN address1; "
                                    "ALTER TABLE PhoneBK DROP COLUMN city;"));
        else if (shape == QLatin1String("view"))
            db->exec(QStringLiteral("ALTER TABLE PhoneBK RENAME TO Contacts; "
                                    "CREATE VIEW PhoneBK AS SELECT * FROM Contacts;"));
        else
            db->exec(QStringLiteral("CREATE TRIGGER wipe AFTER UPDATE ON PhoneBK "
                                    "BEGIN DELETE FROM PhoneBK; END;"));
    }
    const QByteArray before = folder.read(Book);
    auto verifyOffer = [&](const StartedProgram& program) {
        QVERIFY(!program.boxes.asked().isEmpty());
        const ui::MessageRequest& offer = program.boxes.asked().first();
        QVERIFY2(offer.text.contains(named), qPrintable(offer.text));
        QCOMPARE(offer.buttons, ui::Buttons::YesNo);
    };

    {
        // Refused: the book is not opened, and not touched.
        StartedProgram program(folder, {.answers = {ui::Answer::No}});
        verifyOffer(program);
        QCOMPARE(program.boxes.asked().size(), 1);
        QVERIFY(!program.main->Data1->isOpen());
    }
    QCOMPARE(folder.read(Book), before);

    StartedProgram program(folder, {.answers = {ui::Answer::Yes}});
    verifyOffer(program);
    QVERIFY2(program.boxes.texts().value(1).startsWith(Repaired),
             qPrintable(program.boxes.texts().join(u'|')));
    QCOMPARE(test::bookNames(folder.file(Book)), names);
    QCOMPARE(program.main->Data1->recordCount(), names.size());
    QCOMPARE(folder.read(keptBeforeRepair(folder).value(0)), before);
    // The card's boxes have their fields again, and saving a card runs nothing of the file's.
    const QString current = program.main->Text1->text();
    program.main->Text4->selectAll();
    QTest::keyClicks(program.main->Text4, QStringLiteral("Albany"));
    program.main->mnuSave->trigger();
    auto db = engine::Database::open(folder.file(Book), engine::Database::Mode::ReadOnly);
    QCOMPARE(db->scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE name = ?"), {current}),
             QVariant(QStringLiteral("Albany")));
    QCOMPARE(test::bookNames(folder.file(Book)), names);
}

void TestCompactRepair::startOnADamagedBookOffersRepair() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(300));
    const auto original = test::bookRows(folder.file(Book));
    // The index the sorted book is opened through.
    test::damageRootOf(folder.file(Book), QStringLiteral("PhoneBK_name"));

    StartedProgram program(folder, {.answers = {ui::Answer::Yes}});

    // The start names the commands that can help, and the Yes runs the repair, which gets
    // every contact back from the table.
    QCOMPARE(program.boxes.asked().size(), 2);
    const ui::MessageRequest& offer = program.boxes.asked().first();
    QVERIFY2(offer.text.contains(QStringLiteral("Repair")) &&
                 offer.text.contains(QStringLiteral("Restore")),
             qPrintable(offer.text));
    QCOMPARE(offer.buttons, ui::Buttons::YesNo);
    QVERIFY(program.boxes.texts().last().startsWith(Repaired));
    QCOMPARE(test::bookRows(folder.file(Book)), original);
    test::verifyBackOnBook(program);
}

void TestCompactRepair::failedRepairSaysSoAndLeavesBook() {
    TempProgramFolder folder;
    test::writeBook(folder.file(Book), test::contactsWithPhotos(200));
    test::damageMiddleOfTable(folder.file(Book));
    const QByteArray damaged = folder.read(Book);
    test::ReadOnlyFolder readOnly(folder.path());
    StartedProgram program(folder);
    program.boxes.clear();
    QString why;
    StepScript script;
    script.at(Step::Repair, [&](const QString&) { readOnly.apply(&why); });

    program.main->mnuRepDB->trigger();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));

    QCOMPARE(program.boxes.asked().size(), 1);
    const QString text = program.boxes.texts().first();
    QVERIFY2(text.startsWith(QStringLiteral("The Database could not be repaired.")),
             qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("The book is unchanged.")), qPrintable(text));
    QCOMPARE(folder.read(Book), damaged);
    QCOMPARE(QFileInfo(program.main->Data1->databaseName()).fileName(), Book);
}

void TestCompactRepair::fileThatIsNotABookIsNotRepaired_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("another program's database") << QStringLiteral("other database");
    QTest::newRow("a database with a table PhoneBK but not ours") << QStringLiteral("unmarked");
    QTest::newRow("an empty file") << QStringLiteral("empty");
    QTest::newRow("a text file") << QStringLiteral("text");
}

void TestCompactRepair::fileThatIsNotABookIsNotRepaired() {
    QFETCH(QString, kind);
    TempProgramFolder folder;
    if (kind == QLatin1String("empty")) {
        folder.write(Book, QByteArray());
    } else if (kind == QLatin1String("text")) {
        folder.write(Book, QByteArray("Names and numbers, one a line.\n").repeated(300));
    } else {
        auto db = engine::Database::createNew(folder.file(Book));
        db->exec(kind == QLatin1String("unmarked")
                     ? QStringLiteral("CREATE TABLE PhoneBK (name TEXT, namef TEXT); "
                                      "INSERT INTO PhoneBK VALUES ('Mine', 'Not yours');")
                     : QStringLiteral("CREATE TABLE Recipes (title TEXT); "
                                      "INSERT INTO Recipes VALUES ('Bread');"));
    }
    const QByteArray bytes = folder.read(Book);
    StartedProgram program(folder);
    program.boxes.clear(); // what the start-up said about the file

    program.main->mnuRepDB->trigger();

    // Refused before anything is done, naming the file; never "repaired".
    QCOMPARE(program.boxes.texts(),
             QStringList{QStringLiteral("\"%1\" is not an address book of Quillory, so it has "
                                        "not been repaired.\n\nThe file has been left as it is.")
                             .arg(QDir::toNativeSeparators(folder.file(Book)))});
    QCOMPARE(program.boxes.asked().first().icon, ui::Icon::Exclamation);
    QCOMPARE(folder.read(Book), bytes);
    QCOMPARE(test::leftovers(folder.path()), QStringList());
}

QTEST_MAIN(TestCompactRepair)
#include "test_compact_repair.moc"
