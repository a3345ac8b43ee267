// A whole sorted table shows its first row before the rest of its row ids are read; whatever
// the user does next gives what it gives once they are all read.

#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QtTest>

using namespace quillory;
using namespace quillory::engine;

namespace {

constexpr int rows = 20000;

// The book's zips in the record source's order, as SQLite gives them.
QStringList zipsInOrder(const QString& path, const QString& sql) {
    auto db = Database::open(path, Database::Mode::ReadOnly);
    Statement all(*db, sql);
    QStringList zips;
    while (all.step())
        zips.append(all.column(0).toString());
    return zips;
}

} // namespace

void EngineTest::firstRowBeforeTheRestIsRead_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("eventLoopRan"); // the reader has begun when the event loop ran
    const QString sorted = QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef");
    const QString stored = QStringLiteral("SELECT * FROM PhoneBK");
    for (const QString& source : {sorted, stored}) {
        const char* kind = source == sorted ? "sorted" : "stored order";
        for (const char* action :
             {"next", "last", "to the middle", "grid, last row", "previous from the first",
              "find the last", "find among the first rows", "find with no match", "add a row", "delete the first", "edit the first", "close",
              "refresh again"}) {
            for (const bool ran : {false, true})
                QTest::addRow("%s: %s%s", kind, action, ran ? ", reader begun" : "")
                    << source << QString::fromLatin1(action) << ran;
        }
    }
}

void EngineTest::firstRowBeforeTheRestIsRead() {
    QFETCH(QString, source);
    QFETCH(QString, action);
    QFETCH(bool, eventLoopRan);
    static test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("large.mdb"));
    if (!QFile::exists(path)) {
        QVector<test::Contact> contacts;
        for (int id = 1; id <= rows; ++id)
            contacts.append(test::generatedContact(id));
        test::writeBook(path, contacts);
    }
    const bool sorted = source.contains(QLatin1String("ORDER BY"));
    const QStringList order =
        zipsInOrder(path, sorted ? QStringLiteral("SELECT zip FROM PhoneBK ORDER BY name, namef")
                                 : QStringLiteral("SELECT zip FROM PhoneBK ORDER BY rowid"));
    QCOMPARE(order.size(), rows);

    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(source);
    data.refresh();
    // Right away: the first card and the number of rows.
    QCOMPARE(data.value(QStringLiteral("zip")).toString(), order.first());
    QCOMPARE(data.recordCount(), rows);
    QVERIFY(!data.bof() && !data.eof());
    if (eventLoopRan)
        QCoreApplication::processEvents();

    const QString zip = QStringLiteral("zip");
    if (action == QLatin1String("next")) {
        data.moveNext();
        QCOMPARE(data.value(zip).toString(), order[1]);
        QCOMPARE(data.absolutePosition(), 1);
    } else if (action == QLatin1String("last")) {
        data.moveLast();
        QCOMPARE(data.value(zip).toString(), order.last());
        data.moveNext();
        QVERIFY(data.eof());
    } else if (action == QLatin1String("to the middle")) {
        data.moveTo(rows / 2);
        QCOMPARE(data.value(zip).toString(), order[rows / 2]);
    } else if (action == QLatin1String("grid, last row")) {
        QCOMPARE(data.valueAt(rows - 1, zip).toString(), order.last());
        QCOMPARE(data.valueAt(0, zip).toString(), order.first());
    } else if (action == QLatin1String("previous from the first")) {
        data.movePrevious();
        QVERIFY(data.bof());
        data.moveNext();
        QCOMPARE(data.value(zip).toString(), order.first());
    } else if (action == QLatin1String("find the last")) {
        data.findFirst(QStringLiteral("[zip] = '%1'").arg(order.last()));
        QCOMPARE(data.absolutePosition(), rows - 1);
    } else if (action == QLatin1String("find among the first rows")) {
        data.findFirst(QStringLiteral("[zip] = '%1'").arg(order[10]));
        QCOMPARE(data.absolutePosition(), 10);
        QCOMPARE(data.value(zip).toString(), order[10]);
        data.moveNext();
        QCOMPARE(data.value(zip).toString(), order[11]);
    } else if (action == QLatin1String("find with no match")) {
        data.findFirst(QStringLiteral("[zip] = 'nowhere'"));
        QVERIFY(data.noMatch());
        QCOMPARE(data.absolutePosition(), 0);
    } else if (action == QLatin1String("add a row")) {
        data.addNew();
        data.setValue(QStringLiteral("name"), QStringLiteral("Aaa"));
        data.setValue(zip, QStringLiteral("new"));
        data.update();
        QCOMPARE(data.recordCount(), rows + 1);
        QCOMPARE(data.absolutePosition(), rows);
        QCOMPARE(data.valueAt(rows - 1, zip).toString(), order.last());
        data.deleteCurrent(); // the book is shared by the rows of this test
    } else if (action == QLatin1String("delete the first")) {
        const QVariantMap kept = {{zip, data.value(zip)},
                                  {QStringLiteral("name"), data.value(QStringLiteral("name"))},
                                  {QStringLiteral("namef"), data.value(QStringLiteral("namef"))}};
        data.deleteCurrent();
        data.moveNext();
        QCOMPARE(data.value(zip).toString(), order[1]);
        QCOMPARE(data.recordCount(), rows - 1);
        QStringList walked;
        for (data.moveLast(); !data.bof(); data.movePrevious())
            walked.prepend(data.value(zip).toString());
        QCOMPARE(walked, order.mid(1));
        data.close();
        auto db = Database::open(path); // the book is shared by the rows of this test
        db->scalar(QStringLiteral("INSERT INTO PhoneBK (zip, name, namef) VALUES (?, ?, ?)"),
                   {kept[zip], kept[QStringLiteral("name")], kept[QStringLiteral("namef")]});
        return;
    } else if (action == QLatin1String("edit the first")) {
        const QString before = data.value(QStringLiteral("city")).toString();
        data.setValue(QStringLiteral("city"), QStringLiteral("Elsewhere"));
        data.moveLast();
        QCOMPARE(data.value(zip).toString(), order.last());
        data.moveFirst();
        QCOMPARE(data.value(QStringLiteral("city")).toString(), QStringLiteral("Elsewhere"));
        data.setValue(QStringLiteral("city"), before);
        data.update();
    } else if (action == QLatin1String("close")) {
        data.close();
        QVERIFY(!data.isOpen());
        QCOMPARE(data.recordCount(), 0);
        // Nothing holds the file any more: it can be renamed and written.
        QVERIFY(!isHeldOpen(path));
        auto db = Database::open(path);
        db->exec(QStringLiteral("BEGIN IMMEDIATE; COMMIT"));
    } else if (action == QLatin1String("refresh again")) {
        data.refresh();
        data.moveLast();
        QCOMPARE(data.value(zip).toString(), order.last());
    }
    if (action != QLatin1String("close")) {
        // Walking from the end back to the start gives the whole order.
        QStringList walked;
        for (data.moveLast(); !data.bof(); data.movePrevious())
            walked.prepend(data.value(zip).toString());
        QCOMPARE(walked.size(), data.recordCount());
        QCOMPARE(walked, zipsInOrder(path, sorted ? QStringLiteral("SELECT zip FROM PhoneBK "
                                                                   "ORDER BY name, namef")
                                                  : QStringLiteral("SELECT zip FROM PhoneBK "
                                                                   "ORDER BY rowid")));
    }
}

void EngineTest::unreadableRestOfTheKeysetIsToldEveryTime_data() {
    QTest::addColumn<bool>("eventLoopRan");
    QTest::newRow("read when needed") << false;
    QTest::newRow("reader begun") << true;
}

// A damaged page among the row ids after the first screen: the first card shows, and every
// move that needs the rest reports the damage; the result never passes for a shorter one.
void EngineTest::unreadableRestOfTheKeysetIsToldEveryTime() {
    QFETCH(bool, eventLoopRan);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("damaged.mdb"));
    QVector<test::Contact> contacts;
    for (int id = 1; id <= 3000; ++id)
        contacts.append(test::generatedContact(id));
    test::writeBook(path, contacts);
    qint64 lastLeaf = 0;
    {
        test::RawConnection raw(path, true);
        lastLeaf = raw.scalar(QStringLiteral("SELECT pageno FROM dbstat WHERE name = "
                                             "'PhoneBK_name' AND pagetype = 'leaf' "
                                             "ORDER BY path DESC LIMIT 1"))
                       .toLongLong();
    }
    QVERIFY(lastLeaf > 1);
    test::scribbleOverPage(path, lastLeaf);

    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef"));
    data.refresh();
    QVERIFY(data.value(QStringLiteral("zip")).isValid());
    QCOMPARE(data.recordCount(), 3000);
    if (eventLoopRan)
        QCoreApplication::processEvents();
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(test::errorOf([&] { data.moveLast(); }) != 0);
        QCOMPARE(data.recordCount(), 3000);
        QCOMPARE(data.absolutePosition(), 0);
    }
}
