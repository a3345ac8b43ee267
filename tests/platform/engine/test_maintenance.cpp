#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QtTest>

using namespace quillory;
using namespace quillory::engine;
using test::errorOf;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString integrity(const QString& path) {
    test::RawConnection raw(path, true);
    return raw.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
}

void writeGeneratedBook(const QString& path, int rows) {
    QVector<test::Contact> contacts;
    for (int id = 1; id <= rows; ++id)
        contacts.append(test::generatedContact(id));
    test::writeBook(path, contacts);
}

// The ids whose rows a lookup by id can still read, found from the outside before repair.
QSet<qint64> readableIds(const QString& path, int rows) {
    test::RawConnection raw(path, true);
    QSet<qint64> ids;
    for (int id = 1; id <= rows; ++id) {
        if (raw.scalar(QStringLiteral("SELECT length(name || remarks) FROM PhoneBK WHERE id = ?"),
                       id)
                .isValid())
            ids.insert(id);
    }
    return ids;
}

// Every row of a repaired book must be the row that was written under its id.
void verifyRowsIntact(const QString& path, QSet<qint64>* ids) {
    test::RawConnection raw(path, true);
    const auto rows = raw.rows(QStringLiteral(
        "SELECT id, name, namef, city, zip, extra4, remarks FROM PhoneBK ORDER BY id"));
    for (const QVariantList& row : rows) {
        const int id = row[0].toInt();
        const test::Contact expected = test::generatedContact(id);
        QCOMPARE(row[1].toString(), expected.name);
        QCOMPARE(row[2].toString(), expected.namef);
        QCOMPARE(row[3].toString(), expected.city);
        QCOMPARE(row[4].toString(), expected.zip);
        QCOMPARE(row[5].toString(), expected.extra4);
        QCOMPARE(row[6].toString(), expected.remarks);
        ids->insert(id);
    }
}

} // namespace

void EngineTest::createdBookHasTheLayout() {
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    book::create(path);
    {
        test::RawConnection raw(path);
        QCOMPARE(raw.scalar(QStringLiteral("PRAGMA application_id")).toLongLong(),
                 qlonglong(book::applicationId));
        QCOMPARE(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(), book::schemaVersion);
        const auto columns =
            raw.rows(QStringLiteral("SELECT name, type, pk FROM pragma_table_info('PhoneBK')"));
        QStringList names;
        for (const auto& column : columns)
            names.append(column[0].toString());
        QCOMPARE(names, QStringList{"id"} + book::fieldNames() + book::keptFields());
        QCOMPARE(columns[0][1].toString(), QStringLiteral("INTEGER"));
        QCOMPARE(columns[0][2].toInt(), 1);
        QCOMPARE(columns[book::fieldNames().size()][1].toString(), QStringLiteral("BLOB"));
        // Text compares and sorts without regard to letter case.
        raw.exec(QStringLiteral(
            "INSERT INTO PhoneBK (name, city) VALUES ('smith', 'b'), ('Jones', 'A')"));
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM PhoneBK WHERE name = 'SMITH'")),
                 QVariant(1LL));
        QCOMPARE(raw.scalar(QStringLiteral("SELECT group_concat(city, '') FROM "
                                           "(SELECT city FROM PhoneBK ORDER BY city)")),
                 QVariant(QStringLiteral("Ab")));
        const auto indexes =
            raw.rows(QStringLiteral("SELECT name FROM pragma_index_list('PhoneBK') ORDER BY name"));
        QCOMPARE(indexes.size(), 3);
        QCOMPARE(indexes[1][0].toString(), QStringLiteral("PhoneBK_extra8"));
    }
    QVERIFY(Database::open(path)->isBook());
    QCOMPARE(errorOf([&] { book::create(path); }), ErrorNumber::EngineAlreadyExists);

    // Recognised by its marks, not by its name or its table alone.
    const QString foreign = folder.file(QStringLiteral("foreign.MDB"));
    {
        auto db = Database::createNew(foreign);
        db->exec(QStringLiteral("CREATE TABLE PhoneBK (id INTEGER PRIMARY KEY, name TEXT)"));
        QVERIFY(!db->isBook());
    }
    {
        auto db = Database::open(path);
        db->exec(QStringLiteral("DROP TABLE PhoneBK"));
        QVERIFY(!db->isBook());
    }
    folder.write(QStringLiteral("zero.MDB"), QByteArray());
    QCOMPARE(errorOf([&] { Database::open(folder.file(QStringLiteral("zero.MDB"))); }),
             ErrorNumber::EngineNotReadable);
}

void EngineTest::compactWritesAPackedCopy() {
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("Corvanel.MDB"));
    const QString copy = folder.file(QStringLiteral("Corvan1.MDB"));
    test::writeBookWithPhotos(source, 400, 3000);
    {
        test::RawConnection raw(source);
        raw.exec(QStringLiteral("DELETE FROM PhoneBK WHERE id > 100"));
    }
    const QByteArray before = contents(source);

    CompactDatabase(source, copy);
    QCOMPARE(contents(source), before);
    QVERIFY(QFileInfo(copy).size() < before.size() / 2);
    QVERIFY(!QFile::exists(copy + QStringLiteral("-journal")));
    QCOMPARE(integrity(copy), QStringLiteral("ok"));
    auto db = Database::open(copy);
    QVERIFY(db->isBook());
    QCOMPARE(db->scalar(QStringLiteral("PRAGMA user_version")).toInt(), book::schemaVersion);
    QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM PhoneBK")), QVariant(100LL));
    QCOMPARE(db->scalar(QStringLiteral("SELECT bitmap FROM PhoneBK WHERE id = 77")).toByteArray(),
             QByteArray(3000, char(77)));
}

void EngineTest::compactRefuses_data() {
    test::addErrorRows("situation",
                       {{"source missing", "missing", ErrorNumber::EngineFileNotFound},
                        {"destination exists", "exists", ErrorNumber::EngineAlreadyExists},
                        {"source held open", "held", ErrorNumber::EngineLocked},
                        {"source not a database", "text", ErrorNumber::EngineNotReadable},
                        {"destination name invalid", "bad name", ErrorNumber::EngineInvalidName}});
}

void EngineTest::compactRefuses() {
    QFETCH(QString, situation);
    QFETCH(int, number);
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("Corvanel.MDB"));
    QString copy = folder.file(QStringLiteral("Corvan1.MDB"));
    const QByteArray leftover("an interrupted run left this");
    DataSource holder;
    if (situation != QLatin1String("missing") && situation != QLatin1String("text"))
        writeGeneratedBook(source, 20);
    if (situation == QLatin1String("text"))
        folder.write(QStringLiteral("Corvanel.MDB"),
                     QByteArray("plain text, no database\n").repeated(300));
    if (situation == QLatin1String("exists"))
        folder.write(QStringLiteral("Corvan1.MDB"), leftover);
    if (situation == QLatin1String("bad name"))
        copy = folder.file(QString(400, QLatin1Char('c')));
    if (situation == QLatin1String("held")) {
        holder.setDatabaseName(source);
        holder.setRecordSource(QStringLiteral("PhoneBK"));
        holder.refresh();
    }

    QCOMPARE(errorOf([&] { CompactDatabase(source, copy); }), number);
    if (situation == QLatin1String("exists"))
        QCOMPARE(contents(copy), leftover);
    else
        QVERIFY(!QFile::exists(copy));
    QVERIFY(!QFile::exists(copy + QStringLiteral("-journal")));
}

void EngineTest::compactOnAFullDiskLeavesNoCopy() {
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("Corvanel.MDB"));
    QVector<test::Contact> contacts;
    for (int id = 1; id <= 200; ++id) {
        test::Contact c = test::generatedContact(id);
        c.bitmap = QByteArray(2000, char(id));
        contacts.append(c);
    }
    test::writeBook(source, contacts);
    const QString small = folder.file(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(small));
    test::SmallTmpfs disk(small, "64k");
    if (!disk.mounted())
        QSKIP("a small tmpfs cannot be mounted here");

    const QString copy = small + QStringLiteral("/Corvan1.MDB");
    QCOMPARE(errorOf([&] { CompactDatabase(source, copy); }), ErrorNumber::EngineDiskFull);
    QVERIFY(!QFile::exists(copy));
    QVERIFY(!QFile::exists(copy + QStringLiteral("-journal")));
    QCOMPARE(integrity(source), QStringLiteral("ok"));
}

void EngineTest::repairLeavesAHealthyFileAlone() {
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    writeGeneratedBook(path, 300);
    // A rebuild that was cut short earlier: thrown away, never promoted.
    folder.write(QStringLiteral("Corvanel.MDB.repair"), QByteArray("half a rebuild"));
    folder.write(QStringLiteral("Corvanel.MDB.repair-journal"), QByteArray("its journal"));
    const QByteArray before = contents(path);
    const QDateTime modified = QFileInfo(path).lastModified();

    RepairDatabase(path);
    QCOMPARE(contents(path), before);
    QCOMPARE(QFileInfo(path).lastModified(), modified);
    QVERIFY(!folder.exists(QStringLiteral("Corvanel.MDB.repair")));
    QVERIFY(!folder.exists(QStringLiteral("Corvanel.MDB.repair-journal")));
}

void EngineTest::repairSalvagesADamagedBook_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("mostLost");
    QTest::newRow("three table pages in the middle") << "middle" << 60;
    QTest::newRow("two separate places") << "two places" << 60;
    QTest::newRow("the last table page") << "last" << 40;
    QTest::newRow("an index page only") << "index" << 0;
}

// A book of 2000 rows over about 150 pages gets garbage written over whole pages; the repair
// must bring back every row that can still be read, each one exactly as it was written.
void EngineTest::repairSalvagesADamagedBook() {
    QFETCH(QString, damage);
    QFETCH(int, mostLost);
    constexpr int rows = 2000;
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    writeGeneratedBook(path, rows);

    QVector<qint64> tablePages;
    QVector<qint64> indexPages;
    {
        test::RawConnection raw(path, true);
        for (const auto& row :
             raw.rows(QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'PhoneBK' AND "
                                     "pagetype = 'leaf' ORDER BY path")))
            tablePages.append(row[0].toLongLong());
        for (const auto& row :
             raw.rows(QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'PhoneBK_name' AND "
                                     "pagetype = 'leaf' ORDER BY path")))
            indexPages.append(row[0].toLongLong());
    }
    QVERIFY2(tablePages.size() > 100, "the book should span many pages");
    QVector<qint64> spoiled;
    const qsizetype n = tablePages.size();
    if (damage == QLatin1String("middle"))
        spoiled = {tablePages[n / 2], tablePages[n / 2 + 1], tablePages[n / 2 + 2]};
    else if (damage == QLatin1String("two places"))
        spoiled = {tablePages[n / 3], tablePages[2 * n / 3]};
    else if (damage == QLatin1String("last"))
        spoiled = {tablePages.last()};
    else
        spoiled = {indexPages[indexPages.size() / 2]};
    for (qint64 page : spoiled)
        test::scribbleOverPage(path, page);

    // The damage is real: the check fails and a plain read of all rows stops part-way.
    QVERIFY(integrity(path) != QLatin1String("ok"));
    const QSet<qint64> readable = readableIds(path, rows);
    QVERIFY(rows - readable.size() <= mostLost);
    if (damage != QLatin1String("index"))
        QVERIFY(readable.size() < rows);

    RepairDatabase(path);
    QCOMPARE(integrity(path), QStringLiteral("ok"));
    QVERIFY(Database::open(path)->isBook());
    QVERIFY(!folder.exists(QStringLiteral("Corvanel.MDB.repair")));
    QSet<qint64> survivors;
    verifyRowsIntact(path, &survivors);
    QCOMPARE(survivors, readable);
    QVERIFY(survivors.contains(1));
    if (damage != QLatin1String("last"))
        QVERIFY(survivors.contains(rows));

    // The repaired book opens and sorts through its rebuilt index.
    DataSource ds;
    ds.setDatabaseName(path);
    ds.setRecordSource(QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef"));
    ds.refresh();
    QCOMPARE(ds.recordCount(), survivors.size());
    QCOMPARE(ds.value(QStringLiteral("name")).toString(), test::generatedContact(1).name);
}

void EngineTest::repairKeepsTheNamesOfARowWithADamagedPhoto() {
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    QVector<test::Contact> contacts;
    for (int id = 1; id <= 50; ++id) {
        test::Contact c = test::generatedContact(id);
        c.bitmap = id == 25 ? QByteArray(30000, '\xa5') : QByteArray(100, char(id));
        contacts.append(c);
    }
    test::writeBook(path, contacts);

    // A page filled with the photo's bytes after its 4-byte link is one of its overflow pages;
    // pointing that link past the end of the file breaks the photo and nothing else.
    const QByteArray file = contents(path);
    const QByteArray photoPage(4092, '\xa5');
    qint64 page = -1;
    for (qint64 at = 0; at + 4096 <= file.size(); at += 4096) {
        if (file.mid(at + 4, 4092) == photoPage) {
            page = at / 4096;
            break;
        }
    }
    QVERIFY(page >= 0);
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::ReadWrite));
        QVERIFY(out.seek(page * 4096));
        out.write(QByteArray("\x7f\xff\xff\xff", 4));
    }
    QVERIFY(integrity(path) != QLatin1String("ok"));

    RepairDatabase(path);
    QCOMPARE(integrity(path), QStringLiteral("ok"));
    QSet<qint64> survivors;
    verifyRowsIntact(path, &survivors);
    QCOMPARE(survivors.size(), 50);
    test::RawConnection raw(path, true);
    QCOMPARE(raw.scalar(QStringLiteral("SELECT bitmap IS NULL FROM PhoneBK WHERE id = 25")),
             QVariant(1LL));
    QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM PhoneBK WHERE length(bitmap) = 100")),
             QVariant(49LL));
}

void EngineTest::repairRefuses_data() {
    test::addErrorRows("situation", {{"missing", "missing", ErrorNumber::EngineFileNotFound},
                                     {"not a database", "text", ErrorNumber::EngineNotReadable},
                                     {"zero bytes", "empty", ErrorNumber::EngineNotReadable},
                                     {"held open", "held", ErrorNumber::EngineLocked},
                                     {"invalid name", "bad name", ErrorNumber::EngineInvalidName},
                                     {"damaged, with a statement hidden in its table list",
                                      "crafted", ErrorNumber::EngineSyntax}});
}

void EngineTest::repairRefuses() {
    QFETCH(QString, situation);
    QFETCH(int, number);
    test::TempProgramFolder folder;
    QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    DataSource holder;
    if (situation == QLatin1String("text"))
        folder.write(QStringLiteral("Corvanel.MDB"), QByteArray("Smith;555-1234\n").repeated(500));
    if (situation == QLatin1String("empty"))
        folder.write(QStringLiteral("Corvanel.MDB"), QByteArray());
    if (situation == QLatin1String("bad name"))
        path = QString();
    if (situation == QLatin1String("crafted")) {
        writeGeneratedBook(path, 300);
        {
            // SQLite itself reads only the first statement of each entry.
            test::RawConnection raw(path);
            raw.exec(
                QStringLiteral("PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                               "sql || '; ATTACH ''elsewhere.db'' AS x' WHERE name = 'PhoneBK'"));
        }
        test::scribbleOverPage(path, QFileInfo(path).size() / 4096 / 2);
    }
    if (situation == QLatin1String("held")) {
        writeGeneratedBook(path, 10);
        holder.setDatabaseName(path);
        holder.setRecordSource(QStringLiteral("PhoneBK"));
        holder.refresh();
    }
    const QByteArray before = contents(path);
    QCOMPARE(errorOf([&] { RepairDatabase(path); }), number);
    QCOMPARE(contents(path), before);
    QVERIFY(!folder.exists(QStringLiteral("Corvanel.MDB.repair")));
    QVERIFY(!folder.exists(QStringLiteral("elsewhere.db")));
}
