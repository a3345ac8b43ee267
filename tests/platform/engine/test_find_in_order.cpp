// Finds in the record source's order, checked against every row read in that order: the
// first row of the result for which SQLite says the criterion holds.

#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "TestSupport.h"

#include <QSet>
#include <QtTest>

using namespace quillory;
using namespace quillory::engine;

namespace {

const QString sorted = QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef");
const QString personal =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");
const QString stored = QStringLiteral("SELECT * FROM PhoneBK");

// Each contact carries a unique tag in zip, so a row can be told by its values alone.
QVector<test::Contact> contactsWithTwins() {
    const QStringList names[] = {
        {"Smith", "Ann"}, {"Adams", "Zoe"},      {"smith", "Ann"},   {"Smith", "Ann"},
        {"Zuber", "Al"},  {"", "Nobody"},        {"Smith", "ann"},   {"\u212Aelvin", "Kay"},
        {"Kelly", "Ken"}, {"\u00D6lund", "Ola"}, {"Brown", ""},      {"Smith", "Anna"},
        {"Zuber", "Al"},  {"Adams", "Zoe"},      {"O'Brien", "Pat"}, {"smythe", "Ann"},
        {"Zz", "Last"},   {"\u00E9mile", "E"},   {"Kelly", ""},      {"Smith", "Ann"},
    };
    QVector<test::Contact> contacts;
    int i = 0;
    for (const QStringList& n : names) {
        test::Contact c;
        c.name = n[0].isEmpty() && n[1] == QLatin1String("Nobody") ? QString() : n[0];
        c.namef = n[1];
        c.zip = QStringLiteral("T%1").arg(i, 2, 10, QLatin1Char('0'));
        c.city = i % 3 == 0 ? QStringLiteral("Portland") : QStringLiteral("Bend");
        c.extra4 =
            i % 2 == 0 ? QStringLiteral("Personal Contact") : QStringLiteral("Business Contact");
        contacts.append(c);
        ++i;
    }
    return contacts;
}

// The position of the first row of the result that the criterion picks, read row by row.
int firstByWalking(const QString& path, DataSource& data, const QString& criterion) {
    auto db = Database::open(path, Database::Mode::ReadOnly);
    Statement matches(*db, QStringLiteral("SELECT zip FROM PhoneBK WHERE ") + criterion);
    QSet<QString> tags;
    while (matches.step())
        tags.insert(matches.column(0).toString());
    for (int row = 0; row < data.rowCount(); ++row) {
        if (tags.contains(data.valueAt(row, QStringLiteral("zip")).toString()))
            return row;
    }
    return -1;
}

} // namespace

void EngineTest::findAgreesWithReadingEveryRow_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("before"); // what the user did before the find
    QTest::addColumn<QString>("criterion");

    const QStringList criteria = {
        "[name]Like'S*'",      // twins of a name, in two letter cases
        "[name] Like 's*'",    //
        "[name]Like'A*'",      // the first rows
        "[name]Like'Z*'",      // the last rows
        "[name]Like'K*'",      // a name starting with the Kelvin sign matches K
        "[name]Like'kelv*'",   // and only that one matches here
        "[name]Like'\u00D6*'", // beyond ASCII
        "[name]Like'O''*'",    // a quote
        "[name]Like'Q*'",      // no match
        "[namef] Like 'Ann*'", // a field the order does not start with
        "[name] = 'Smith' AND [namef] = 'Ann'",
        "[city] Like 'Port*'",
        "[name] Is Null",
        "[namef] = ''",
    };
    const QStringList sources = {sorted, personal, stored, QStringLiteral("PhoneBK"),
                                 QStringLiteral("SELECT * FROM PhoneBK ORDER BY name DESC, zip")};
    const QStringList befores = {
        "nothing",       "a name edited",         "a row added",
        "a row deleted", "the view field edited", "changed by another program"};
    for (const QString& source : sources) {
        for (const QString& before : befores) {
            for (const QString& criterion : criteria) {
                QTest::addRow("%s | %s | %s", qPrintable(source.left(40)), qPrintable(before),
                              qPrintable(criterion))
                    << source << before << criterion;
            }
        }
    }
}

void EngineTest::findAgreesWithReadingEveryRow() {
    QFETCH(QString, source);
    QFETCH(QString, before);
    QFETCH(QString, criterion);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("b.mdb"));
    test::writeBook(path, contactsWithTwins());
    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(source);
    data.refresh();

    auto goToTag = [&](const QString& tag) {
        for (int row = 0; row < data.rowCount(); ++row) {
            if (data.valueAt(row, QStringLiteral("zip")).toString() == tag) {
                data.moveTo(row);
                return true;
            }
        }
        return false;
    };
    if (before == QLatin1String("a name edited")) {
        // Moves sort keys across the book: a Z to the A's, another past the S's.
        QVERIFY(goToTag(QStringLiteral("T04")));
        data.setValue(QStringLiteral("name"), QStringLiteral("Aaron"));
        QVERIFY(goToTag(QStringLiteral("T16")));
        data.setValue(QStringLiteral("name"), QStringLiteral("Sz"));
        data.moveFirst();
    } else if (before == QLatin1String("a row added")) {
        data.addNew();
        data.setValue(QStringLiteral("name"), QStringLiteral("Abbot"));
        data.setValue(QStringLiteral("namef"), QStringLiteral("Ann"));
        data.setValue(QStringLiteral("zip"), QStringLiteral("T99"));
        data.update();
        data.moveFirst();
    } else if (before == QLatin1String("a row deleted")) {
        QVERIFY(goToTag(QStringLiteral("T06")));
        data.deleteCurrent();
        data.moveFirst();
    } else if (before == QLatin1String("the view field edited")) {
        QVERIFY(goToTag(QStringLiteral("T00")));
        data.setValue(QStringLiteral("extra4"), QStringLiteral("Business Contact"));
        data.setValue(QStringLiteral("city"), QStringLiteral("Portsmouth"));
        data.moveLast();
    } else if (before == QLatin1String("changed by another program")) {
        auto other = Database::open(path);
        other->exec(QStringLiteral("UPDATE PhoneBK SET name = 'Aardvark' WHERE zip = 'T12'"));
    }

    const int expected = firstByWalking(path, data, criterion);
    const int startedAt = data.absolutePosition();
    data.findFirst(criterion);
    QCOMPARE(data.noMatch(), expected < 0);
    QCOMPARE(data.absolutePosition(), expected < 0 ? startedAt : expected);
    // A second find from elsewhere lands on the same row.
    data.moveLast();
    data.findFirst(criterion);
    QCOMPARE(data.absolutePosition(), expected < 0 ? data.rowCount() - 1 : expected);
}

void EngineTest::resultOrderIsSqlitesOrder_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("sorted") << sorted;
    QTest::newRow("personal") << personal;
    QTest::newRow("stored order") << stored;
    QTest::newRow("table name") << QStringLiteral("PhoneBK");
    QTest::newRow("stored order, filtered")
        << QStringLiteral("SELECT * FROM PhoneBK WHERE city = 'Bend'");
    QTest::newRow("sorted the other way")
        << QStringLiteral("SELECT * FROM PhoneBK ORDER BY name DESC, zip");
    QTest::newRow("sorted by a third column")
        << QStringLiteral("SELECT * FROM PhoneBK ORDER BY name, namef, city");
}

// The rows come in the order SQLite itself gives the record source, ties by row id.
void EngineTest::resultOrderIsSqlitesOrder() {
    QFETCH(QString, source);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("b.mdb"));
    test::writeBook(path, contactsWithTwins());
    DataSource data;
    data.setDatabaseName(path);
    data.setRecordSource(source);
    data.refresh();
    QStringList shown;
    for (int row = 0; row < data.rowCount(); ++row)
        shown.append(data.valueAt(row, QStringLiteral("zip")).toString());

    auto db = Database::open(path, Database::Mode::ReadOnly);
    QString sql =
        source == QLatin1String("PhoneBK") ? QStringLiteral("SELECT * FROM PhoneBK") : source;
    sql.remove(QLatin1Char(';'));
    Statement all(*db, QStringLiteral("SELECT zip FROM (%1) ").arg(sql) +
                           (sql.contains(QLatin1String("ORDER")) ? QString()
                                                                 : QStringLiteral("ORDER BY id")));
    QStringList expected;
    while (all.step())
        expected.append(all.column(0).toString());
    QCOMPARE(shown, expected);
}
