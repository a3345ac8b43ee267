#include "EngineFixtures.h"
#include "EngineTest.h"
#include "platform/engine/Database.h"
#include "platform/engine/Dialect.h"
#include "platform/engine/RecordSource.h"
#include "platform/files/PlatformError.h"
#include "TestSupport.h"

#include <cctype>
#include <QRandomGenerator>
#include <QtTest>
#include <sqlite3.h>
#include <string>
#include <vector>

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
    QTest::newRow("range from punctuation into letters") << "[#-c]*"
                                                         << "Evans" << true;
    QTest::newRow("range of digits and capitals lacks underscore") << "[0-Z]*"
                                                                   << "_under" << false;
    QTest::newRow("range of digits and capitals holds small letters") << "[0-Z]*"
                                                                      << "under" << true;
    QTest::newRow("reversed range holds nothing") << "[`-Z]*"
                                                  << "abc" << false;
    QTest::newRow("reversed range holds not its ends") << "[z-a]"
                                                       << "a" << false;
    QTest::newRow("negated reversed range holds all") << "[!z-a]"
                                                      << "m" << true;
    QTest::newRow("accented capital in a small range")
        << QStringLiteral("[à-ö]*") << QStringLiteral("Émile") << true;
    QTest::newRow("accented small in a capital range")
        << QStringLiteral("[À-Ö]*") << QStringLiteral("émile") << true;
}

namespace {

// Like's rules written out plainly, character by character, for comparison with the compiled
// pattern: `*` any run, `?` one character, `#` one digit, `[...]` a set up to the first `]`
// (`!` first negates; `x-y` the characters x to y by code; `[]` nothing), anything else itself;
// a character matches a set or a literal when it or its other letter case does.
bool referenceLike(const std::string& p, size_t pi, const std::string& t, size_t ti) {
    const auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    const auto upper = [](char c) { return char(std::toupper(static_cast<unsigned char>(c))); };
    if (pi == p.size())
        return ti == t.size();
    const char c = p[pi];
    if (c == '*')
        return referenceLike(p, pi + 1, t, ti) ||
               (ti < t.size() && referenceLike(p, pi, t, ti + 1));
    if (c == '[' && p.find(']', pi + 1) != std::string::npos) {
        const size_t close = p.find(']', pi + 1);
        std::string body = p.substr(pi + 1, close - pi - 1);
        const bool negate = !body.empty() && body[0] == '!';
        if (negate)
            body.erase(0, 1);
        if (body.empty() && !negate)
            return referenceLike(p, close + 1, t, ti);
        if (ti == t.size())
            return false;
        const char x = t[ti];
        bool in = false;
        for (size_t k = 0; k < body.size();) {
            char first = body[k];
            char last = first;
            if (k + 2 < body.size() && body[k + 1] == '-') {
                last = body[k + 2];
                k += 3;
            } else {
                k += 1;
            }
            for (const char y : {x, lower(x), upper(x)})
                in = in || (first <= y && y <= last);
        }
        return in != negate && referenceLike(p, close + 1, t, ti + 1);
    }
    if (ti == t.size())
        return false;
    const char x = t[ti];
    bool one = false;
    if (c == '?')
        one = true;
    else if (c == '#')
        one = x >= '0' && x <= '9';
    else
        one = lower(c) == lower(x);
    return one && referenceLike(p, pi + 1, t, ti + 1);
}

// Characters around and between the letters, so that ranges span letters and punctuation.
const std::string RangeEnds = "!#*-0159?@AHMZ[\\]^_`ahmz{|~";

char pick(QRandomGenerator& random, const std::string& from) {
    return from[random.bounded(static_cast<quint32>(from.size()))];
}

std::string generatedText(QRandomGenerator& random) {
    std::string text;
    const int length = random.bounded(0, 6);
    for (int i = 0; i < length; ++i)
        text += char(random.bounded(0x20, 0x7f));
    return text;
}

std::string generatedSet(QRandomGenerator& random, bool reversed) {
    std::string set = "[";
    if (random.bounded(4) == 0)
        set += '!';
    const int parts = random.bounded(1, 4);
    for (int i = 0; i < parts; ++i) {
        char first = pick(random, RangeEnds);
        char last = pick(random, RangeEnds);
        if (first == ']' || last == ']')
            continue;
        if ((first > last) != reversed)
            std::swap(first, last);
        set += first;
        if (random.bounded(4) != 0) {
            set += '-';
            set += last;
        }
    }
    return set + "]";
}

std::string generatedPattern(QRandomGenerator& random, bool reversed) {
    std::string pattern;
    const int items = random.bounded(1, 5);
    for (int i = 0; i < items; ++i) {
        switch (random.bounded(7)) {
        case 0:
            pattern += '*';
            break;
        case 1:
            pattern += '?';
            break;
        case 2:
            pattern += '#';
            break;
        case 3:
            pattern += char(random.bounded(0x20, 0x7f)); // a bracket here opens or stays literal
            break;
        default:
            pattern += generatedSet(random, reversed);
            break;
        }
    }
    return pattern;
}

QString qs(const std::string& text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

} // namespace

void EngineTest::likeAgreesWithAReference_data() {
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("reversed");
    QTest::newRow("ranges in order") << 12u << false;
    QTest::newRow("reversed ranges") << 34u << true;
    QTest::newRow("more ranges in order") << 56u << false;
}

// Many generated patterns and texts, through the compiled pattern and through SQL (where one
// compiled pattern serves every row), against the plain rules.
void EngineTest::likeAgreesWithAReference() {
    QFETCH(quint32, seed);
    QFETCH(bool, reversed);
    QRandomGenerator random(seed);
    std::vector<std::string> texts;
    for (int i = 0; i < 120; ++i)
        texts.push_back(generatedText(random));
    texts.push_back("Evans");
    texts.push_back("_under");

    test::TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("b.mdb"));
    auto db = Database::createNew(path);
    db->exec(QStringLiteral("CREATE TABLE texts (t TEXT)"));
    for (const std::string& text : texts)
        db->scalar(QStringLiteral("INSERT INTO texts VALUES (?)"), {qs(text)});

    int compared = 0;
    int matched = 0;
    for (int p = 0; p < 400; ++p) {
        const std::string pattern = generatedPattern(random, reversed);
        const dialect::LikePattern compiled(qs(pattern));
        QStringList expected;
        for (const std::string& text : texts) {
            const bool want = referenceLike(pattern, 0, text, 0);
            QVERIFY2(compiled.matches(qs(text)) == want,
                     qPrintable(QStringLiteral("'%1' Like '%2' should be %3")
                                    .arg(qs(text), qs(pattern), want ? "true" : "false")));
            if (want)
                expected.append(qs(text));
            ++compared;
        }
        matched += int(expected.size());
        Statement query(*db, QStringLiteral("SELECT t FROM texts WHERE t LIKE ? ORDER BY rowid"));
        query.bind(1, qs(pattern));
        QStringList found;
        while (query.step())
            found.append(query.column(0).toString());
        QCOMPARE(found, expected);
    }
    // The generated cases are worth something only if both answers occur often.
    QVERIFY2(matched > compared / 20 && matched < compared - compared / 20,
             qPrintable(QStringLiteral("%1 of %2 matched").arg(matched).arg(compared)));
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
    QCOMPARE(db->scalar(QStringLiteral("PRAGMA user_version")).toInt(), book::schemaVersion);
}

void EngineTest::malformedRecordSourcesAreRefused_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks and a comment") << "  -- nothing\n";
    QTest::newRow("lone apostrophe") << "'";
    QTest::newRow("unterminated text as a table") << "'PhoneBK";
    QTest::newRow("empty quoted name") << "''";
    QTest::newRow("empty bracketed name") << "[]";
    QTest::newRow("empty double-quoted name") << "\"\"";
    QTest::newRow("lone bracket") << "[";
    QTest::newRow("unterminated bracketed table") << "SELECT * FROM [PhoneBK";
    QTest::newRow("unterminated text in the filter") << "SELECT * FROM PhoneBK WHERE name = 'Smith";
    QTest::newRow("unterminated comment") << "SELECT * FROM PhoneBK /* sorted";
    QTest::newRow("no table after FROM") << "SELECT * FROM";
    QTest::newRow("empty table after FROM") << "SELECT * FROM '' ORDER BY name";
    QTest::newRow("schema without table") << "SELECT * FROM main.";
    QTest::newRow("open parenthesis") << "SELECT * FROM PhoneBK WHERE (name = 'a' ORDER BY name";
    QTest::newRow("closed parenthesis never opened")
        << "SELECT * FROM PhoneBK WHERE name = 'a') ORDER BY name";
    QTest::newRow("second statement") << "SELECT * FROM PhoneBK; DELETE FROM PhoneBK";
    QTest::newRow("table then more") << "PhoneBK; PhoneBK";
    QTest::newRow("no FROM") << "SELECT 1";
}

void EngineTest::malformedRecordSourcesAreRefused() {
    QFETCH(QString, source);
    QCOMPARE(test::errorOf([&] { planRecordSource(source); }),
             static_cast<int>(ErrorNumber::EngineSyntax));
}
