#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/Dialect.h"
#include "platform/engine/RecordSource.h"
#include "platform/files/PlatformError.h"
#include "TestSupport.h"

#include <QtTest>
#include <sqlite3.h>

using namespace quillory;
using namespace quillory::engine;

void EngineTest::likeWildcards_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");

    QTest::newRow("star at end") << "Sm*"
                                 << "Smith" << true;
    QTest::newRow("letter case ignored") << "sm*"
                                         << "SMITH" << true;
    QTest::newRow("star at start") << "*ith"
                                   << "Smith" << true;
    QTest::newRow("star needs the rest") << "*ith"
                                         << "Smithe" << false;
    QTest::newRow("stars between") << "a*b*c"
                                   << "aXXbYc" << true;
    QTest::newRow("stars backtrack") << "a*b*c"
                                     << "abcbcx" << false;
    QTest::newRow("star matches nothing") << "*"
                                          << "" << true;
    QTest::newRow("question mark one char") << "S?ith"
                                            << "Smith" << true;
    QTest::newRow("question mark not zero") << "S?ith"
                                            << "Sith" << false;
    QTest::newRow("hash digits") << "1###"
                                 << "1234" << true;
    QTest::newRow("hash not a letter") << "1###"
                                       << "12a4" << false;
    QTest::newRow("set range") << "[a-c]*"
                               << "Baker" << true;
    QTest::newRow("set range misses") << "[a-c]*"
                                      << "Davis" << false;
    QTest::newRow("upper range, lower text") << "[A-C]*"
                                             << "baker" << true;
    QTest::newRow("negated set") << "[!a-c]*"
                                 << "Davis" << true;
    QTest::newRow("negated set misses") << "[!a-c]*"
                                        << "carter" << false;
    QTest::newRow("set of letters") << "[xyz]"
                                    << "Y" << true;
    QTest::newRow("bracketed star is literal") << "[*]*"
                                               << "*star" << true;
    QTest::newRow("bracketed star needs a star") << "[*]*"
                                                 << "star" << false;
    QTest::newRow("percent is literal") << "100%"
                                        << "100%" << true;
    QTest::newRow("percent is not a wildcard") << "a%"
                                               << "abc" << false;
    QTest::newRow("underscore is literal") << "a_c"
                                           << "abc" << false;
    QTest::newRow("unclosed bracket is literal") << "[ab"
                                                 << "[ab" << true;
    QTest::newRow("empty pattern") << ""
                                   << "x" << false;
    QTest::newRow("accented letters fold")
        << QStringLiteral("ÖST*") << QStringLiteral("östlich") << true;
}

void EngineTest::likeWildcards() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    QCOMPARE(dialect::LikePattern(pattern).matches(text), matches);
}

void EngineTest::likeThroughSql_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariant>("result");

    QTest::newRow("operator form") << "SELECT 'SMITH' LIKE 'sm*'" << QVariant(1LL);
    QTest::newRow("SQL wildcard is gone") << "SELECT 'Smith' LIKE 'S%'" << QVariant(0LL);
    QTest::newRow("two-argument function") << "SELECT like('#b', '1B')" << QVariant(1LL);
    QTest::newRow("escape makes star literal")
        << "SELECT 'a*c' LIKE 'a!*c' ESCAPE '!'" << QVariant(1LL);
    QTest::newRow("escaped star matches only a star")
        << "SELECT 'abc' LIKE 'a!*c' ESCAPE '!'" << QVariant(0LL);
    QTest::newRow("NULL stays NULL") << "SELECT NULL LIKE 'a*'" << QVariant();
}

void EngineTest::likeThroughSql() {
    QFETCH(QString, sql);
    QFETCH(QVariant, result);
    test::TempProgramFolder folder;
    book::create(folder.file(QStringLiteral("b.mdb")));
    auto db = Database::open(folder.file(QStringLiteral("b.mdb")));
    QCOMPARE(db->scalar(sql), result);
}

void EngineTest::translateKeepsLiterals_data() {
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("sqlite");

    QTest::newRow("=> and =<") << "[city] => 'M' AND [zip]=<'5'"
                               << "[city] >= 'M' AND [zip]<='5'";
    QTest::newRow("operators inside a literal stay") << "[name] = 'a=>b' OR [name] = 'it''s =<'"
                                                     << "[name] = 'a=>b' OR [name] = 'it''s =<'";
    QTest::newRow("inside a bracketed name") << "[a=>b] => 1"
                                             << "[a=>b] >= 1";
    QTest::newRow("double quotes become a literal") << "[name] = \"O'Neil \"\"Jr\"\"\""
                                                    << "[name] = 'O''Neil \"Jr\"'";
    QTest::newRow("comments stay") << "-- =>\n[a] => 1 /* =< */"
                                   << "-- =>\n[a] >= 1 /* =< */";
    QTest::newRow("missing blank before ORDER")
        << "SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY PhoneBK.name"
        << "SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY PhoneBK.name";
}

void EngineTest::translateKeepsLiterals() {
    QFETCH(QString, dialect);
    QFETCH(QString, sqlite);
    QCOMPARE(dialect::translate(dialect), sqlite);
}

void EngineTest::everyConnectionIsDefensive() {
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("b.mdb"));
    book::create(path);
    for (const auto mode : {Database::Mode::ReadWrite, Database::Mode::ReadOnly}) {
        auto db = Database::open(path, mode);
        auto setting = [&](int option) {
            int value = -1;
            sqlite3_db_config(db->handle(), option, -1, &value);
            return value;
        };
        QCOMPARE(setting(SQLITE_DBCONFIG_DEFENSIVE), 1);
        QCOMPARE(setting(SQLITE_DBCONFIG_TRUSTED_SCHEMA), 0);
        QCOMPARE(setting(SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION), 0);
        QCOMPARE(setting(SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER), 0);
        // Defensive mode refuses to let SQL rewrite the schema by hand.
        try {
            db->exec(QStringLiteral("PRAGMA writable_schema = ON; "
                                    "UPDATE sqlite_master SET sql = 'x' WHERE name = 'PhoneBK'"));
            QFAIL("the schema was writable");
        } catch (const PlatformError&) {
        }
        try {
            db->scalar(QStringLiteral("SELECT load_extension('/nonexistent/ext')"));
            QFAIL("an extension could be loaded");
        } catch (const PlatformError&) {
        }
        QCOMPARE(db->scalar(QStringLiteral("SELECT 'ÄRGER' LIKE 'ärg*'")), QVariant(1LL));
    }
}

void EngineTest::keysetQueriesSkipThePhotos_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("plan");

    QTest::newRow("start-up") << "SELECT * From PhoneBK ORDER BY name,namef"
                              << "SCAN PhoneBK USING COVERING INDEX PhoneBK_name";
    QTest::newRow("all contacts") << "SELECT * FROM PhoneBK ORDER BY PhoneBK.name, PhoneBK.namef;"
                                  << "SCAN PhoneBK USING COVERING INDEX PhoneBK_name";
    QTest::newRow("personal")
        << "SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY PhoneBK.name, "
           "PhoneBK.namef;"
        << "SEARCH PhoneBK USING COVERING INDEX PhoneBK_extra4 (extra4=?)";
    QTest::newRow("business")
        << "SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Business Contact'ORDER BY PhoneBK.name, "
           "PhoneBK.namef;"
        << "SEARCH PhoneBK USING COVERING INDEX PhoneBK_extra4 (extra4=?)";
    QTest::newRow("unsorted") << "SELECT * FROM PhoneBK"
                              << "COVERING INDEX";
    QTest::newRow("table name") << "PhoneBK"
                                << "COVERING INDEX";
}

// The ids of a sorted book come from its index alone, never from the rows with their photos.
void EngineTest::keysetQueriesSkipThePhotos() {
    QFETCH(QString, source);
    QFETCH(QString, plan);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("b.mdb"));
    book::create(path);
    const RecordSourcePlan planned = planRecordSource(source);
    QCOMPARE(planned.baseTable, QStringLiteral("PhoneBK"));
    QVERIFY(!planned.rowidQuery.isEmpty());
    auto db = Database::open(path);
    Statement explain(*db, QStringLiteral("EXPLAIN QUERY PLAN ") + planned.rowidQuery);
    QStringList details;
    while (explain.step())
        details.append(explain.column(3).toString());
    QVERIFY2(details.join(u'|').contains(plan), qPrintable(details.join(u'|')));
}

void EngineTest::readOnlyStatementsRefuseWrites_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("delete") << "DELETE FROM PhoneBK";
    QTest::newRow("trailing statement") << "SELECT 1; DELETE FROM PhoneBK";
    QTest::newRow("pragma that writes") << "PRAGMA user_version = 7";
    QTest::newRow("attach") << "ATTACH 'other.db' AS other";
    QTest::newRow("insert through a CTE") << "WITH x AS (SELECT 1) INSERT INTO PhoneBK(name) "
                                             "SELECT * FROM x";
}

void EngineTest::readOnlyStatementsRefuseWrites() {
    QFETCH(QString, sql);
    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("b.mdb"));
    test::writeBook(path, {{QStringLiteral("Adams")}});
    auto db = Database::open(path);
    try {
        Statement statement(*db, sql, Statement::Access::ReadOnly);
        statement.step();
        QFAIL("the statement was accepted");
    } catch (const PlatformError& error) {
        QCOMPARE(error.number(), ErrorNumber::EngineSyntax);
    }
    // The authorizer is gone after the prepare: ordinary statements still write.
    db->exec(QStringLiteral("UPDATE PhoneBK SET city = 'Rome'"));
    QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM PhoneBK WHERE city = 'Rome'")),
             QVariant(1LL));
    QCOMPARE(db->scalar(QStringLiteral("PRAGMA user_version")), QVariant(1LL));
}
