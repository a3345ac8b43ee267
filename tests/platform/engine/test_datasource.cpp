#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/engine/EngineError.h"
#include "platform/engine/RowCache.h"
#include "platform/files/PlatformError.h"
#include "TestSupport.h"

#include <optional>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

using namespace quillory;
using namespace quillory::engine;
using test::Contact;
using test::errorOf;

namespace {

const QString startUp = QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef");
const QString personalView =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");
const QString businessView =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Business Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");

// Stored in this order (ids 1 to 6); sorted by name, then first name, without regard to case:
// Al, Zoe, Carl, Anne, Dana, Bob.
QVector<Contact> sixContacts() {
    const QString business = QStringLiteral("Business Contact");
    const QString personal = QStringLiteral("Personal Contact");
    return {
        {QStringLiteral("Carter"), QStringLiteral("Anne"), QStringLiteral("Boston"),
         QStringLiteral("02101"), business},
        {QStringLiteral("adams"), QStringLiteral("Zoe"), QStringLiteral("Miami"),
         QStringLiteral("33101"), personal},
        {QStringLiteral("Evans"), QStringLiteral("Bob"), QStringLiteral("Denver"),
         QStringLiteral("80201"), personal},
        {QStringLiteral("baker"), QStringLiteral("Carl"), QStringLiteral("Austin"),
         QStringLiteral("73301"), business},
        {QStringLiteral("Davis"), QStringLiteral("Dana"), QStringLiteral("Chicago"),
         QStringLiteral("60601"), QStringLiteral("Select Contact-type")},
        {QStringLiteral("Adams"), QStringLiteral("Al"), QStringLiteral("Newark"),
         QStringLiteral("07101"), personal},
    };
}

struct Book {
    test::TempProgramFolder folder;
    QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    DataSource source;

    explicit Book(const QVector<Contact>& contacts = sixContacts(),
                  const QString& recordSource = startUp) {
        test::writeBook(path, contacts);
        source.setConnect(QStringLiteral("Access"));
        source.setDatabaseName(path);
        source.setRecordSource(recordSource);
        source.refresh();
    }

    QVariant stored(const QString& sql, qint64 id) const {
        test::RawConnection raw(path, true);
        return raw.scalar(sql, id);
    }
};

// First names by walking the source from the first row to EOF.
QStringList walk(DataSource& source) {
    QStringList names;
    if (source.eof())
        return names;
    source.moveFirst();
    while (!source.eof()) {
        names.append(source.value(QStringLiteral("namef")).toString());
        source.moveNext();
    }
    return names;
}

QStringList gridColumn(const DataSource& source, const QString& field) {
    QStringList values;
    for (int i = 0; i < source.rowCount(); ++i)
        values.append(source.valueAt(i, field).toString());
    return values;
}

} // namespace

void EngineTest::recordSourcesSortAndFilter_data() {
    QTest::addColumn<QString>("recordSource");
    QTest::addColumn<QStringList>("firstNames");

    const QStringList sorted{"Al", "Zoe", "Carl", "Anne", "Dana", "Bob"};
    const QStringList stored{"Anne", "Zoe", "Bob", "Carl", "Dana", "Al"};
    QTest::newRow("start-up") << startUp << sorted;
    QTest::newRow("all contacts") << "SELECT * FROM PhoneBK ORDER BY PhoneBK.name, PhoneBK.namef;"
                                  << sorted;
    QTest::newRow("personal, no blank before ORDER")
        << personalView << QStringList{"Al", "Zoe", "Bob"};
    QTest::newRow("business, no blank before ORDER") << businessView << QStringList{"Carl", "Anne"};
    QTest::newRow("search dialog, stored order") << "SELECT * FROM PhoneBK" << stored;
    QTest::newRow("table name, stored order") << "PhoneBK" << stored;
    QTest::newRow("dialect in the source")
        << "SELECT * FROM PhoneBK WHERE [city] => 'm' OR [name] Like 'c*' ORDER BY namef"
        << QStringList{"Al", "Anne", "Zoe"};
    QTest::newRow("other shape, through a subquery")
        << "SELECT id, name, namef FROM PhoneBK WHERE city <> 'Miami' ORDER BY namef DESC"
        << QStringList{"Dana", "Carl", "Bob", "Anne", "Al"};
}

void EngineTest::recordSourcesSortAndFilter() {
    QFETCH(QString, recordSource);
    QFETCH(QStringList, firstNames);
    Book book(sixContacts(), recordSource);
    QCOMPARE(book.source.recordCount(), firstNames.size());
    QCOMPARE(book.source.absolutePosition(), 0);
    QCOMPARE(gridColumn(book.source, QStringLiteral("namef")), firstNames);
    QCOMPARE(walk(book.source), firstNames);
    QCOMPARE(book.source.recordSource(), recordSource);
}

void EngineTest::movesAndBofEof() {
    Book book;
    DataSource& ds = book.source;
    QSignalSpy moved(&ds, &DataSource::repositioned);
    auto at = [&](int position, bool bof, bool eof) {
        QCOMPARE(ds.absolutePosition(), position);
        QCOMPARE(ds.bof(), bof);
        QCOMPARE(ds.eof(), eof);
    };
    at(0, false, false);
    QCOMPARE(ds.recordCount(), 6);

    ds.movePrevious();
    at(-1, true, false);
    QVERIFY(!ds.value(QStringLiteral("name")).isValid());
    ds.movePrevious(); // stays before the first row
    at(-1, true, false);
    ds.moveNext();
    at(0, false, false);
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Al"));

    ds.moveLast();
    at(5, false, false);
    ds.moveNext(); // one past the last: the position reads -1
    at(-1, false, true);
    ds.moveNext();
    at(-1, false, true);
    ds.movePrevious();
    at(5, false, false);
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Bob"));

    ds.moveTo(3);
    at(3, false, false);
    QCOMPARE(ds.value(QStringLiteral("NAMEF")).toString(), QStringLiteral("Anne"));
    QCOMPARE(errorOf([&] { ds.moveTo(6); }), ErrorNumber::EngineNoCurrentRecord);
    at(3, false, false);
    ds.moveFirst();
    at(0, false, false);
    // One notification for every move call, including those that stayed put.
    QCOMPARE(moved.count(), 9);
    QCOMPARE(ds.fieldNames(), book::fieldNames() + book::keptFields());
    QVERIFY(!ds.value(QStringLiteral("id")).isValid());
}

void EngineTest::emptyResult() {
    // Only business contacts, opened on the personal view: an empty result.
    QVector<Contact> contacts = sixContacts();
    contacts.removeIf(
        [](const Contact& c) { return c.extra4 != QLatin1String("Business Contact"); });
    Book book(contacts, personalView);
    DataSource& ds = book.source;
    auto empty = [&] {
        QVERIFY(ds.bof());
        QVERIFY(ds.eof());
        QCOMPARE(ds.absolutePosition(), -1);
        QCOMPARE(ds.recordCount(), 0);
    };
    empty();
    ds.moveFirst();
    empty();
    ds.moveLast();
    empty();
    ds.moveNext();
    empty();
    ds.movePrevious();
    empty();
    QCOMPARE(errorOf([&] { ds.setValue(QStringLiteral("name"), QStringLiteral("x")); }),
             ErrorNumber::EngineNoCurrentRecord);
    QCOMPARE(errorOf([&] { ds.deleteCurrent(); }), ErrorNumber::EngineNoCurrentRecord);
    QVERIFY(!ds.valueAt(0, QStringLiteral("name")).isValid());
}

void EngineTest::repositionedBeforeTheCallReturns() {
    Book book;
    DataSource& ds = book.source;
    QStringList seen;
    QObject::connect(&ds, &DataSource::repositioned, &ds, [&] {
        seen.append(QStringLiteral("%1:%2")
                        .arg(ds.absolutePosition())
                        .arg(ds.value(QStringLiteral("namef")).toString()));
    });
    ds.moveNext();
    QCOMPARE(seen, QStringList{"1:Zoe"});
    ds.moveLast();
    ds.moveNext();
    ds.refresh();
    QCOMPARE(seen, (QStringList{"1:Zoe", "5:Bob", "-1:", "0:Al"}));
}

void EngineTest::pendingEditsAreWrittenOnTheMove() {
    Book book;
    DataSource& ds = book.source;
    QSignalSpy written(&ds, &DataSource::rowChanged);
    const QString city = QStringLiteral("SELECT city FROM PhoneBK WHERE id = ?");
    // The first row is Al Adams, id 6.
    ds.setValue(QStringLiteral("city"), QStringLiteral("Paris"));
    ds.setValue(QStringLiteral("zip"), QString());              // emptied: stored as NULL
    ds.setValue(QStringLiteral("remarks"), QStringLiteral("")); // was NULL already: no edit
    QVERIFY(ds.hasPendingEdits());
    QCOMPARE(ds.value(QStringLiteral("city")).toString(), QStringLiteral("Paris"));
    QCOMPARE(ds.valueAt(0, QStringLiteral("city")).toString(), QStringLiteral("Paris"));
    QCOMPARE(book.stored(city, 6).toString(), QStringLiteral("Newark"));

    ds.moveNext();
    QVERIFY(!ds.hasPendingEdits());
    QCOMPARE(book.stored(city, 6).toString(), QStringLiteral("Paris"));
    QCOMPARE(book.stored(QStringLiteral("SELECT zip IS NULL FROM PhoneBK WHERE id = ?"), 6),
             QVariant(1LL));
    QCOMPARE(book.stored(QStringLiteral("SELECT remarks IS NULL FROM PhoneBK WHERE id = ?"), 6),
             QVariant(1LL));
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.first().first().toInt(), 0);
    // The grid's cached copy of the row was refreshed.
    QCOMPARE(ds.valueAt(0, QStringLiteral("city")).toString(), QStringLiteral("Paris"));

    // Typing a value and then the stored one back leaves nothing to write.
    ds.setValue(QStringLiteral("city"), QStringLiteral("Rome"));
    ds.setValue(QStringLiteral("city"), QStringLiteral("Miami"));
    QVERIFY(!ds.hasPendingEdits());
    QCOMPARE(errorOf([&] { ds.setValue(QStringLiteral("nosuch"), 1); }),
             EngineNumber::ItemNotFound);
}

void EngineTest::failedWriteKeepsEdits_data() {
    test::addErrorRows("obstacle",
                       {{"locked by another program", "lock", ErrorNumber::EngineLocked},
                        {"file made read-only", "immutable", ErrorNumber::EngineLocked},
                        {"disk full", "full", ErrorNumber::EngineDiskFull}});
}

// The write really fails (a lock held by another connection, an immutable file, a full
// tmpfs); the edits stay pending, the position stays, and the next move writes them.
void EngineTest::failedWriteKeepsEdits() {
    QFETCH(QString, obstacle);
    QFETCH(int, number);
    test::TempProgramFolder folder;
    QString bookFolder = folder.path();
    std::optional<test::SmallTmpfs> smallDisk;
    std::function<void()> release = [] {};
    auto cleanup = qScopeGuard([&] { release(); });

    if (obstacle == QLatin1String("full")) {
        bookFolder = folder.file(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(bookFolder));
        if (!smallDisk.emplace(bookFolder, "96k").mounted())
            QSKIP("a small tmpfs cannot be mounted here");
    }
    const QString path = bookFolder + QStringLiteral("/Corvanel.MDB");
    test::writeBook(path, sixContacts());
    DataSource ds;
    ds.setDatabaseName(path);
    ds.setRecordSource(startUp);
    ds.refresh();
    ds.moveTo(2); // Carl Baker, id 4

    std::unique_ptr<test::RawConnection> locker;
    std::function<void()> removeObstacle;
    if (obstacle == QLatin1String("lock")) {
        locker = std::make_unique<test::RawConnection>(path);
        locker->exec(QStringLiteral("BEGIN IMMEDIATE"));
        removeObstacle = [&] { locker->exec(QStringLiteral("COMMIT")); };
    } else if (obstacle == QLatin1String("immutable")) {
        if (!test::runTool(QStringLiteral("chattr"), {QStringLiteral("+i"), path}))
            QSKIP("chattr +i is not available on this file system");
        removeObstacle = [path] {
            test::runTool(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
        };
        release = removeObstacle;
    } else {
        // Fill the rest of the tmpfs so that not even the journal fits.
        QFile filler(bookFolder + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray chunk(1024, 'x');
        while (filler.write(chunk) == chunk.size() && filler.flush()) {
        }
        filler.close();
        removeObstacle = [name = filler.fileName()] { QFile::remove(name); };
    }

    const QByteArray photo(20000, '\x42');
    ds.setValue(QStringLiteral("city"), QStringLiteral("Paris"));
    ds.setValue(QStringLiteral("bitmap"), photo);
    QCOMPARE(errorOf([&] { ds.moveNext(); }), number);
    QCOMPARE(ds.absolutePosition(), 2);
    QVERIFY(ds.hasPendingEdits());
    QCOMPARE(ds.value(QStringLiteral("city")).toString(), QStringLiteral("Paris"));
    // The failed write leaves a hot journal beside the immutable file, which a reader cannot
    // roll back; the other obstacles leave the stored row readable and unchanged.
    if (obstacle != QLatin1String("immutable"))
        QCOMPARE(test::RawConnection(path, true)
                     .scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE id = 4")),
                 QVariant(QStringLiteral("Austin")));

    removeObstacle();
    ds.moveNext();
    QCOMPARE(ds.absolutePosition(), 3);
    QVERIFY(!ds.hasPendingEdits());
    test::RawConnection raw(path, true);
    QCOMPARE(raw.scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE id = 4")),
             QVariant(QStringLiteral("Paris")));
    QCOMPARE(raw.scalar(QStringLiteral("SELECT length(bitmap) FROM PhoneBK WHERE id = 4")),
             QVariant(qlonglong(photo.size())));
    ds.close();
}

void EngineTest::addNewAndUpdate() {
    Book book;
    DataSource& ds = book.source;
    ds.moveTo(1);
    QSignalSpy moved(&ds, &DataSource::repositioned);
    QSignalSpy reset(&ds, &DataSource::rowsReset);
    ds.addNew();
    QVERIFY(ds.isAdding());
    QCOMPARE(ds.absolutePosition(), -1);
    QVERIFY(!ds.bof());
    QVERIFY(!ds.eof());
    QVERIFY(!ds.value(QStringLiteral("name")).isValid());
    QCOMPARE(moved.count(), 1);

    const QByteArray photo("\x89PNG fake picture bytes", 24);
    ds.setValue(QStringLiteral("name"), QStringLiteral("Aaron"));
    ds.setValue(QStringLiteral("bitmap"), photo);
    ds.update();
    QVERIFY(!ds.isAdding());
    QCOMPARE(ds.recordCount(), 7);
    // Stored at the end of the result, not at its sorted place, until the next refresh.
    QCOMPARE(ds.absolutePosition(), 6);
    QCOMPARE(ds.value(QStringLiteral("name")).toString(), QStringLiteral("Aaron"));
    QCOMPARE(ds.value(QStringLiteral("bitmap")).toByteArray(), photo);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(test::RawConnection(book.path, true)
                 .scalar(QStringLiteral("SELECT count(*) FROM PhoneBK WHERE name = 'Aaron'")),
             QVariant(1LL));

    ds.refresh();
    QCOMPARE(ds.value(QStringLiteral("name")).toString(), QStringLiteral("Aaron"));

    // A new row left empty stores nothing, and cancelling goes back to where the add began.
    ds.moveTo(4);
    ds.addNew();
    ds.setValue(QStringLiteral("city"), QStringLiteral(""));
    ds.update();
    QCOMPARE(ds.recordCount(), 7);
    QCOMPARE(ds.absolutePosition(), 4);
    ds.addNew();
    ds.setValue(QStringLiteral("city"), QStringLiteral("Oslo"));
    ds.cancelUpdate();
    QCOMPARE(ds.absolutePosition(), 4);
    ds.moveNext();
    QCOMPARE(ds.recordCount(), 7);
}

// A book of the first layout is usable and gains the kept fields when the card opens it; a card
// added gets a UID, every write the time of the write, and a repair keeps both.
void EngineTest::cardWritesKeepTheContactsIdentity_data() {
    QTest::addColumn<bool>("firstLayout");
    QTest::newRow("book of the first layout") << true;
    QTest::newRow("new book") << false;
}

void EngineTest::cardWritesKeepTheContactsIdentity() {
    QFETCH(bool, firstLayout);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    test::writeBook(path, sixContacts());
    if (firstLayout) {
        test::RawConnection(path).exec(QStringLiteral(
            "ALTER TABLE PhoneBK DROP COLUMN uid; ALTER TABLE PhoneBK DROP COLUMN rev; "
            "ALTER TABLE PhoneBK DROP COLUMN birthdate; PRAGMA user_version = 1"));
        QCOMPARE(book::checkShape(*Database::open(path)).verdict, book::Shape::Verdict::Usable);
    }
    DataSource ds;
    ds.setDatabaseName(path);
    ds.setRecordSource(startUp);
    ds.refresh();
    ds.addNew();
    ds.setValue(QStringLiteral("name"), QStringLiteral("Aaron"));
    ds.moveFirst(); // Adams, Al
    ds.setValue(QStringLiteral("city"), QStringLiteral("Oslo"));
    ds.moveNext();
    ds.close();
    QVERIFY(RepairDatabase(path, {{}, [](Database&) { return true; }, {}}));
    test::RawConnection raw(path, true);
    QCOMPARE(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(), book::schemaVersion);
    const auto rows = raw.rows(QStringLiteral(
        "SELECT name, coalesce(uid LIKE 'urn:uuid:________-____-____-____-____________', -1), "
        "rev FROM PhoneBK WHERE rev IS NOT NULL OR uid IS NOT NULL ORDER BY id"));
    // The edited contact gets its UID only when one is needed (an export or an import's match).
    QCOMPARE(rows.size(), 2);
    for (const QVariantList& row : rows)
        QCOMPARE(QDateTime::fromString(row[2].toString(), Qt::ISODate).timeSpec(), Qt::UTC);
    QCOMPARE(rows[0].mid(0, 2), (QVariantList{QStringLiteral("Adams"), -1LL}));
    QCOMPARE(rows[1].mid(0, 2), (QVariantList{QStringLiteral("Aaron"), 1LL}));
}

void EngineTest::addNewThenMove() {
    Book book;
    DataSource& ds = book.source;
    ds.moveTo(2);
    ds.addNew();
    ds.setValue(QStringLiteral("name"), QStringLiteral("Aaron"));
    ds.moveNext(); // stores the row, then steps past it: past the end
    QVERIFY(ds.eof());
    QCOMPARE(ds.recordCount(), 7);
    ds.movePrevious();
    QCOMPARE(ds.value(QStringLiteral("name")).toString(), QStringLiteral("Aaron"));

    ds.addNew();
    ds.setValue(QStringLiteral("name"), QStringLiteral("Abe"));
    ds.movePrevious(); // the row before the new one
    QCOMPARE(ds.absolutePosition(), 6);
    QCOMPARE(ds.value(QStringLiteral("name")).toString(), QStringLiteral("Aaron"));
    QCOMPARE(ds.recordCount(), 8);

    // Nothing typed: nothing stored, and the move goes from where the add began.
    ds.moveTo(2);
    ds.addNew();
    ds.moveNext();
    QCOMPARE(ds.recordCount(), 8);
    QCOMPARE(ds.absolutePosition(), 3);

    // A new row with edits pending on the card before it: the card is written first.
    ds.setValue(QStringLiteral("city"), QStringLiteral("Lima"));
    ds.addNew();
    QCOMPARE(test::RawConnection(book.path, true)
                 .scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE id = 1")),
             QVariant(QStringLiteral("Lima")));
    ds.deleteCurrent(); // drops the unsaved new row
    ds.movePrevious();
    QCOMPARE(ds.absolutePosition(), 7);
    QCOMPARE(ds.recordCount(), 8);
}

void EngineTest::deleteRows() {
    Book book;
    DataSource& ds = book.source;
    QSignalSpy reset(&ds, &DataSource::rowsReset);
    auto storedCount = [&] {
        return test::RawConnection(book.path, true)
            .scalar(QStringLiteral("SELECT count(*) FROM PhoneBK"))
            .toInt();
    };

    // Middle row: Carl (position 2) goes; the next move lands on the row that followed.
    ds.moveTo(2);
    ds.valueAt(3, QStringLiteral("namef")); // fill the grid's cache first
    ds.deleteCurrent();
    QCOMPARE(reset.count(), 1);
    QVERIFY(ds.isDeleted());
    QCOMPARE(ds.absolutePosition(), -1);
    QVERIFY(!ds.bof());
    QVERIFY(!ds.eof());
    QVERIFY(!ds.value(QStringLiteral("name")).isValid());
    QCOMPARE(ds.recordCount(), 5);
    QCOMPARE(storedCount(), 5);
    QCOMPARE(ds.valueAt(2, QStringLiteral("namef")).toString(), QStringLiteral("Anne"));
    ds.moveNext();
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Anne"));
    QCOMPARE(ds.absolutePosition(), 2);

    // MovePrevious after a delete goes to the row before it.
    ds.moveTo(1);
    ds.deleteCurrent();
    ds.movePrevious();
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Al"));

    // Last row: the next move is past the end; back from there is the new last row.
    ds.moveLast();
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Bob"));
    ds.setValue(QStringLiteral("city"), QStringLiteral("dropped with the row"));
    ds.deleteCurrent();
    ds.moveNext();
    QVERIFY(ds.eof());
    ds.movePrevious();
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Dana"));
    QCOMPARE(walk(ds), (QStringList{"Al", "Anne", "Dana"}));

    // Deleting every row leaves an empty result.
    while (ds.recordCount() > 0) {
        ds.moveFirst();
        ds.deleteCurrent();
    }
    ds.moveNext();
    QVERIFY(ds.bof());
    QVERIFY(ds.eof());
    QCOMPARE(storedCount(), 0);
}

void EngineTest::findFirst_data() {
    QTest::addColumn<QString>("recordSource");
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("found"); // first name; empty for no match

    QTest::newRow("quick index, no blanks") << startUp << "[name]Like'C*'"
                                            << "Anne";
    QTest::newRow("first in record-source order, not in id order") << startUp << "[name] Like 'a*'"
                                                                   << "Al";
    QTest::newRow("letter case") << startUp << "[name] Like 'ADAMS' AND [namef] Like 'z*'"
                                 << "Zoe";
    QTest::newRow("question mark") << startUp << "[namef] Like '?oe'"
                                   << "Zoe";
    QTest::newRow("hash") << startUp << "[zip] Like '8####'"
                          << "Bob";
    QTest::newRow("hash counts digits") << startUp << "[zip] Like '8###'"
                                        << "";
    QTest::newRow("set") << startUp << "[name] Like '[b-c]*'"
                         << "Carl";
    QTest::newRow("negated set") << startUp << "[name] Like '[!a-c]*'"
                                 << "Dana";
    QTest::newRow("=>") << startUp << "[city] => 'N'"
                        << "Al";
    QTest::newRow("=<") << startUp << "[city] =< 'B'"
                        << "Carl";
    QTest::newRow("range without regard to case") << startUp << "[city] => 'm' AND [city] =< 'n'"
                                                  << "Zoe";
    QTest::newRow("double-quoted text") << startUp << "[extra4] = \"Business Contact\""
                                        << "Carl";
    QTest::newRow("no match") << startUp << "[name] Like 'Q*'"
                              << "";
    QTest::newRow("view: rows outside it are not found")
        << personalView << "[extra4] Like 'Business*'"
        << "";
    QTest::newRow("view: rows inside it are") << personalView << "[name] Like 'E*'"
                                              << "Bob";
    QTest::newRow("unsorted source") << "SELECT * FROM PhoneBK"
                                     << "[name] Like 'a*'"
                                     << "Zoe";
}

void EngineTest::findFirst() {
    QFETCH(QString, recordSource);
    QFETCH(QString, criterion);
    QFETCH(QString, found);
    Book book(sixContacts(), recordSource);
    DataSource& ds = book.source;
    ds.moveLast();
    ds.findFirst(criterion);
    QCOMPARE(ds.noMatch(), found.isEmpty());
    if (!found.isEmpty())
        QCOMPARE(ds.value(QStringLiteral("namef")).toString(), found);
}

void EngineTest::findFirstKeepsRowOnNoMatch() {
    Book book;
    DataSource& ds = book.source;
    ds.moveTo(3);
    QSignalSpy moved(&ds, &DataSource::repositioned);
    ds.findFirst(QStringLiteral("[name] Like 'Q*'"));
    QVERIFY(ds.noMatch());
    QCOMPARE(ds.absolutePosition(), 3);
    QCOMPARE(moved.count(), 0);

    // Pending edits are written before the search, so the search sees them.
    ds.moveTo(4);
    ds.setValue(QStringLiteral("city"), QStringLiteral("Quito"));
    ds.moveFirst();
    ds.findFirst(QStringLiteral("[city] = 'Quito'"));
    QVERIFY(!ds.noMatch());
    QCOMPARE(ds.value(QStringLiteral("namef")).toString(), QStringLiteral("Dana"));
    ds.setValue(QStringLiteral("city"), QStringLiteral("Lagos"));
    ds.findFirst(QStringLiteral("[city] = 'Lagos'"));
    QCOMPARE(ds.absolutePosition(), 4);
    QVERIFY(!ds.hasPendingEdits());
}

void EngineTest::findFirstRefusesCriteria_data() {
    QTest::addColumn<QString>("criterion");
    QTest::newRow("trailing statement") << "[name] = 'x'; DELETE FROM PhoneBK; --";
    QTest::newRow("quote then statement") << "x' ; DELETE FROM PhoneBK; --";
    QTest::newRow("breaking out of the expression")
        << "1) UNION SELECT rowid FROM PhoneBK WHERE (1";
    QTest::newRow("comment swallowing the rest") << "[name] = 'x' /*";
    QTest::newRow("unknown field") << "[nosuch] = 1";
    QTest::newRow("unfinished") << "[name] Like";
    QTest::newRow("nonsense") << "blah blah blah";
    QTest::newRow("empty") << "   ";
    QTest::newRow("loading an extension") << "load_extension('/tmp/none.so') IS NULL";
}

void EngineTest::findFirstRefusesCriteria() {
    QFETCH(QString, criterion);
    Book book;
    DataSource& ds = book.source;
    ds.moveTo(2);
    QCOMPARE(errorOf([&] { ds.findFirst(criterion); }), ErrorNumber::EngineSyntax);
    QCOMPARE(ds.absolutePosition(), 2);
    QCOMPARE(test::RawConnection(book.path, true)
                 .scalar(QStringLiteral("SELECT count(*) FROM PhoneBK"))
                 .toInt(),
             6);
    // The source still works after the refusal, writes included.
    ds.setValue(QStringLiteral("city"), QStringLiteral("Kyiv"));
    ds.findFirst(QStringLiteral("[city] = 'Kyiv'"));
    QCOMPARE(ds.absolutePosition(), 2);
}

void EngineTest::gridReadsThroughTheCache() {
    QVector<Contact> contacts;
    for (int id = 1; id <= 300; ++id) {
        Contact c = test::generatedContact(id);
        c.bitmap = QByteArray(200, char(id));
        contacts.append(c);
    }
    Book book(contacts);
    DataSource& ds = book.source;
    QCOMPARE(ds.rowCount(), 300);
    for (int i = 0; i < 300; i += 7)
        QCOMPARE(ds.valueAt(i, QStringLiteral("name")).toString(), contacts[i].name);
    QCOMPARE(ds.valueAt(299, QStringLiteral("zip")).toString(), contacts[299].zip);
    QVERIFY(!ds.valueAt(-1, QStringLiteral("name")).isValid());
    QVERIFY(!ds.valueAt(300, QStringLiteral("name")).isValid());
    QVERIFY(!ds.valueAt(5, QStringLiteral("nosuch")).isValid());

    // Photos are read for the current row only.
    ds.moveTo(150);
    QCOMPARE(ds.valueAt(150, QStringLiteral("bitmap")).toByteArray(), contacts[150].bitmap);
    QVERIFY(!ds.valueAt(151, QStringLiteral("bitmap")).isValid());

    // The current row shows its pending edits; once written, the cache shows them too.
    ds.setValue(QStringLiteral("name"), QStringLiteral("Changed"));
    QCOMPARE(ds.valueAt(150, QStringLiteral("name")).toString(), QStringLiteral("Changed"));
    ds.moveNext();
    QCOMPARE(ds.valueAt(150, QStringLiteral("name")).toString(), QStringLiteral("Changed"));
}

void EngineTest::rowCacheIsBounded() {
    RowCache cache(4, 3);
    auto block = [](int b) {
        QVector<QVariantList> rows;
        for (int i = 0; i < 4; ++i)
            rows.append(QVariantList{b * 4 + i});
        return rows;
    };
    for (int b = 0; b < 3; ++b)
        cache.storeBlock(b, block(b));
    QCOMPARE(cache.blockCount(), 3);
    QCOMPARE(cache.row(9)->first().toInt(), 9);
    QVERIFY(cache.row(0)); // block 0 used now, so block 1 is the oldest
    cache.storeBlock(3, block(3));
    QCOMPARE(cache.blockCount(), 3);
    QVERIFY(!cache.row(4));
    QVERIFY(cache.row(0));
    QCOMPARE(cache.row(13)->first().toInt(), 13);
    cache.dropBlockOf(13);
    QVERIFY(!cache.row(13));
}

void EngineTest::refreshReopensAndOpenErrors_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("recordSource");
    QTest::addColumn<int>("number");

    QTest::newRow("missing file") << "missing" << startUp << ErrorNumber::EngineFileNotFound;
    QTest::newRow("missing folder") << "no folder" << startUp << ErrorNumber::EngineFileNotFound;
    QTest::newRow("text file") << "text" << startUp << ErrorNumber::EngineNotReadable;
    QTest::newRow("zero bytes") << "empty" << startUp << ErrorNumber::EngineNotReadable;
    QTest::newRow("name too long") << "long name" << startUp << ErrorNumber::EngineInvalidName;
    QTest::newRow("record source that deletes")
        << "book"
        << "DELETE FROM PhoneBK" << ErrorNumber::EngineSyntax;
    QTest::newRow("record source with a second statement")
        << "book"
        << "SELECT * FROM PhoneBK; DELETE FROM PhoneBK" << ErrorNumber::EngineSyntax;
    QTest::newRow("record source without a table") << "book"
                                                   << "SELECT 1" << ErrorNumber::EngineSyntax;
    QTest::newRow("unknown table") << "book"
                                   << "SELECT * FROM Nowhere" << EngineNumber::TableNotFound;
}

void EngineTest::refreshReopensAndOpenErrors() {
    QFETCH(QString, setup);
    QFETCH(QString, recordSource);
    QFETCH(int, number);
    test::TempProgramFolder folder;
    QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    if (setup == QLatin1String("no folder"))
        path = folder.file(QStringLiteral("nowhere/Corvanel.MDB"));
    else if (setup == QLatin1String("text"))
        folder.write(QStringLiteral("Corvanel.MDB"),
                     QByteArray("Name,Phone\nSmith,555-1234\n").repeated(200));
    else if (setup == QLatin1String("empty"))
        folder.write(QStringLiteral("Corvanel.MDB"), QByteArray());
    else if (setup == QLatin1String("long name"))
        path = folder.file(QString(300, QLatin1Char('x')) + QStringLiteral(".MDB"));
    else if (setup == QLatin1String("book"))
        test::writeBook(path, sixContacts());

    DataSource ds;
    ds.setDatabaseName(path);
    ds.setRecordSource(recordSource);
    QSignalSpy moved(&ds, &DataSource::repositioned);
    try {
        ds.refresh();
        QFAIL("the refresh succeeded");
    } catch (const PlatformError& error) {
        QCOMPARE(error.number(), number);
        QVERIFY(!error.description().isEmpty());
        if (setup == QLatin1String("text"))
            QVERIFY2(error.description().contains(QLatin1String("not a database")),
                     qPrintable(error.description()));
    }
    QVERIFY(!ds.isOpen());
    QVERIFY(ds.bof());
    QVERIFY(ds.eof());
    QCOMPARE(ds.absolutePosition(), -1);
    QCOMPARE(moved.count(), 1);
    QVERIFY(!isHeldOpen(path));
    if (setup == QLatin1String("book"))
        QCOMPARE(
            test::RawConnection(path, true).scalar(QStringLiteral("SELECT count(*) FROM PhoneBK")),
            QVariant(6LL));
    if (setup == QLatin1String("empty"))
        QCOMPARE(QFileInfo(path).size(), 0); // not turned into a database behind our back
}

// The compaction sequence: the data source lets go of the book, the book is replaced by its
// compacted copy, and the data source opens the new file.
void EngineTest::refreshOpensTheRenamedFileAnew() {
    Book book;
    DataSource& ds = book.source;
    const QString standby = book.folder.file(QStringLiteral("db.MDB"));
    const QString copy = book.folder.file(QStringLiteral("Corvan1.MDB"));
    const QString aside = book.folder.file(QStringLiteral("Corvanel.BAK"));
    book::create(standby);

    QVERIFY(isHeldOpen(book.path));
    QCOMPARE(errorOf([&] { CompactDatabase(book.path, copy); }), ErrorNumber::EngineLocked);
    QVERIFY(!QFile::exists(copy));

    ds.setDatabaseName(standby);
    ds.refresh();
    QVERIFY(!isHeldOpen(book.path));
    QVERIFY(isHeldOpen(standby));
    CompactDatabase(book.path, copy);
    QVERIFY(QFile::rename(book.path, aside));
    QVERIFY(QFile::remove(aside));
    QVERIFY(QFile::rename(copy, book.path));
    ds.setDatabaseName(book.path);
    ds.refresh();
    QCOMPARE(walk(ds), (QStringList{"Al", "Zoe", "Carl", "Anne", "Dana", "Bob"}));
    ds.moveFirst();
    ds.setValue(QStringLiteral("city"), QStringLiteral("Turin"));
    ds.moveNext();
    QCOMPARE(test::RawConnection(book.path, true)
                 .scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE id = 6")),
             QVariant(QStringLiteral("Turin")));

    // A connection kept across a rename cannot write any more; the edits are kept, and a
    // refresh on the new name works again.
    const QString moved = book.folder.file(QStringLiteral("Moved.MDB"));
    QVERIFY(QFile::rename(book.path, moved));
    ds.setValue(QStringLiteral("city"), QStringLiteral("Oslo"));
    QCOMPARE(errorOf([&] { ds.moveNext(); }), ErrorNumber::EngineLocked);
    QVERIFY(ds.hasPendingEdits());
    ds.setDatabaseName(moved);
    ds.refresh();
    QCOMPARE(ds.recordCount(), 6);
    ds.close();
    QVERIFY(!isHeldOpen(moved));
    QVERIFY(!ds.isOpen());
}
