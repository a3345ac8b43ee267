#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "TestSupport.h"

#include <QFile>
#include <QtTest>
#include <sqlite3.h>

using namespace quillory;
using namespace quillory::engine;
using test::errorOf;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 pragma(const QString& path, const char* name) {
    test::RawConnection raw(path, true);
    return raw.scalar(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))).toLongLong();
}

} // namespace

void EngineTest::backupCopyIsWholeAndCompact_data() {
    QTest::addColumn<int>("deleted"); // of 400 contacts with photos
    QTest::addColumn<bool>("rebuilt");
    QTest::newRow("nothing deleted: copied page for page") << 0 << false;
    QTest::newRow("a few deleted: copied page for page") << 20 << false;
    QTest::newRow("most deleted: compacted") << 300 << true;
}

void EngineTest::backupCopyIsWholeAndCompact() {
    QFETCH(int, deleted);
    QFETCH(bool, rebuilt);
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("Corvanel.MDB"));
    const QString copy = folder.file(QStringLiteral("Corvanel.MD1.new"));
    test::writeBookWithPhotos(source, 400, 3000);
    if (deleted > 0) {
        test::RawConnection raw(source);
        raw.exec(QStringLiteral("DELETE FROM PhoneBK WHERE id > %1").arg(400 - deleted));
    }
    const QByteArray before = contents(source);
    const qint64 sourcePages = pragma(source, "page_count");
    const qint64 sourceFree = pragma(source, "freelist_count");
    QVERIFY(deleted == 0 || sourceFree > 0);

    bool ranWhileHeld = false;
    BackUpDatabase(source, copy, [&] {
        ranWhileHeld = true;
        // The source is held against writers until the copy is complete and this has run.
        auto writer = Database::open(source);
        sqlite3_busy_timeout(writer->handle(), 0);
        QVERIFY(errorOf([&] { writer->exec(QStringLiteral("DELETE FROM PhoneBK")); }) != 0);
    });

    QVERIFY(ranWhileHeld);
    QCOMPARE(contents(source), before);
    QVERIFY(!QFile::exists(copy + QStringLiteral("-journal")));
    QCOMPARE(pragma(copy, "freelist_count"), rebuilt ? 0 : sourceFree);
    QCOMPARE(pragma(copy, "page_count") < sourcePages, rebuilt);
    if (!rebuilt)
        QCOMPARE(contents(copy), before);
    test::RawConnection check(copy, true);
    QCOMPARE(check.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
             QStringLiteral("ok"));
    QCOMPARE(check.scalar(QStringLiteral("SELECT count(*) FROM PhoneBK")).toInt(), 400 - deleted);
    QCOMPARE(check.scalar(QStringLiteral("SELECT bitmap FROM PhoneBK WHERE id = 77")).toByteArray(),
             QByteArray(3000, char(77)));
}

void EngineTest::backupCopyRefuses_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("number");
    QTest::newRow("source missing") << "missing" << int(ErrorNumber::EngineFileNotFound);
    QTest::newRow("destination exists") << "exists" << int(ErrorNumber::EngineAlreadyExists);
}

void EngineTest::backupCopyRefuses() {
    QFETCH(QString, situation);
    QFETCH(int, number);
    test::TempProgramFolder folder;
    const QString source = folder.file(QStringLiteral("Corvanel.MDB"));
    const QString copy = folder.file(QStringLiteral("Corvanel.MD1.new"));
    if (situation != QLatin1String("missing"))
        test::writeBook(source, {test::generatedContact(1)});
    if (situation == QLatin1String("exists"))
        folder.write(QStringLiteral("Corvanel.MD1.new"), "earlier");
    QCOMPARE(errorOf([&] { BackUpDatabase(source, copy); }), number);
    if (situation == QLatin1String("exists"))
        QCOMPARE(folder.read(QStringLiteral("Corvanel.MD1.new")), QByteArray("earlier"));
    else
        QVERIFY(!QFile::exists(copy));
}
