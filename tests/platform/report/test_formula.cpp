// The report formula language as print jobs use it: what formulas give for rows of the book,
// the selection formulas the printing dialog passes, sort fields, the book's text order, and
// formulas that are wrong or hostile, which must fail with a position and never crash.

#include "platform/files/PlatformError.h"
#include "platform/report/Formula.h"

#include <QRandomGenerator>
#include <QTest>
#include <sqlite3.h>

using namespace quillory;
using namespace quillory::report;

namespace {

using Row = QVariantMap; // "PhoneBK.field" -> value; a field not in the map is missing

FieldLookup lookup(const Row& row) {
    return [row](const QString& table, const QString& field) {
        return row.value(table + u'.' + field);
    };
}

const QVariant Null;

// The number and description of the error a formula is refused with; 0 when it is accepted.
std::pair<int, QString> refusal(const QString& text) {
    try {
        Formula::parse(text);
    } catch (const PlatformError& error) {
        return {error.number(), error.description()};
    }
    return {0, QString()};
}

// How SQLite's COLLATE NOCASE orders two texts: -1, 0 or 1.
int sqliteOrder(const QString& a, const QString& b) {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT (?1 COLLATE NOCASE > ?2) - (?1 COLLATE NOCASE < ?2)", -1,
                       &statement, nullptr);
    const QByteArray left = a.toUtf8();
    const QByteArray right = b.toUtf8();
    sqlite3_bind_text(statement, 1, left.constData(), int(left.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, right.constData(), int(right.size()), SQLITE_TRANSIENT);
    const int step = sqlite3_step(statement);
    const int order = step == SQLITE_ROW ? sqlite3_column_int(statement, 0) : 99;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return order;
}

int sign(int value) {
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

const QString AddressPage1 =
    QStringLiteral("IsNull ({PhoneBK.address2}) Or Trim ({PhoneBK.address2}) = ''");
const QString AddressPage2 =
    QStringLiteral("Not IsNull ({PhoneBK.address2}) And Trim ({PhoneBK.address2}) <> ''");
const QString PlannerPages =
    QStringLiteral("Not IsNull ({PhoneBK.name}) And Trim ({PhoneBK.name}) <> ''");

} // namespace

class TestFormula : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesForRows_data();
    void valuesForRows();
    void refusedWithPosition_data();
    void refusedWithPosition();
    void hostileInputNeverCrashes_data();
    void hostileInputNeverCrashes();
    void randomBytesNeverCrash();
    void addressBookPages_data();
    void addressBookPages();
    void plannerPages_data();
    void plannerPages();
    void selectionMustBeTrueOrFalse();
    void fieldsReferenced();
    void sortFields_data();
    void sortFields();
    void textOrderMatchesTheBook_data();
    void textOrderMatchesTheBook();
};

void TestFormula::valuesForRows_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<Row>("row");
    QTest::addColumn<QVariant>("expected");

    const Row smith{{"PhoneBK.name", "Smith"}, {"PhoneBK.namef", "Ann"}};
    const Row empty{{"PhoneBK.name", ""}};
    const Row none{};

    // Precedence: Not, then comparison, then And, then Or.
    QTest::newRow("And before Or") << "True Or True And False" << Row{} << QVariant(true);
    QTest::newRow("And before Or, left") << "False And True Or True" << Row{} << QVariant(true);
    QTest::newRow("parentheses") << "(True Or True) And False" << Row{} << QVariant(false);
    QTest::newRow("Not before And") << "Not False And False" << Row{} << QVariant(false);
    QTest::newRow("Not before Or") << "Not True Or True" << Row{} << QVariant(true);
    QTest::newRow("comparison before And")
        << "{PhoneBK.name} = 'smith' And {PhoneBK.namef} = 'Ann'" << smith << QVariant(true);
    QTest::newRow("Not of a function") << "Not IsNull ({PhoneBK.name})" << smith << QVariant(true);
    QTest::newRow("Not Not") << "Not Not True" << Row{} << QVariant(true);
    QTest::newRow("keywords in any case")
        << "not isnull({PhoneBK.name}) AND trim ({PhoneBK.name}) = 'SMITH' oR FALSE" << smith
        << QVariant(true);

    // IsNull tells a missing value from an empty one.
    QTest::newRow("IsNull missing") << "IsNull ({PhoneBK.name})" << none << QVariant(true);
    QTest::newRow("IsNull null variant")
        << "IsNull({PhoneBK.name})" << Row{{"PhoneBK.name", QVariant()}} << QVariant(true);
    QTest::newRow("IsNull empty") << "IsNull ({PhoneBK.name})" << empty << QVariant(false);
    QTest::newRow("IsNull text") << "IsNull ({PhoneBK.name})" << smith << QVariant(false);
    QTest::newRow("IsNull literal") << "IsNull ('')" << none << QVariant(false);

    // Comparisons: text in the book's case-blind order; with a missing value always false.
    QTest::newRow("text equal any case") << "'ABC' = 'abc'" << none << QVariant(true);
    QTest::newRow("text greater than 0") << "{PhoneBK.name} > '0'" << smith << QVariant(true);
    QTest::newRow("'-' is below '0'") << "'-' > '0'" << none << QVariant(false);
    QTest::newRow("'_' below folded Z") << "'_' > 'Z'" << none << QVariant(false);
    QTest::newRow("'_' below a") << "'_' < 'a'" << none << QVariant(true);
    QTest::newRow("<=") << "'abc' <= 'ABD'" << none << QVariant(true);
    QTest::newRow(">=") << "'b' >= 'B'" << none << QVariant(true);
    QTest::newRow("<>") << "'b' <> 'B'" << none << QVariant(false);
    QTest::newRow("prefix sorts first") << "'Smi' < 'smith'" << none << QVariant(true);
    QTest::newRow("null = ''") << "{PhoneBK.name} = ''" << none << QVariant(false);
    QTest::newRow("null <> ''") << "{PhoneBK.name} <> ''" << none << QVariant(false);
    QTest::newRow("null > '0'") << "{PhoneBK.name} > '0'" << none << QVariant(false);
    QTest::newRow("Not of null comparison")
        << "Not ({PhoneBK.name} = 'x')" << none << QVariant(true);
    QTest::newRow("numbers") << "Len ({PhoneBK.name}) >= 5" << smith << QVariant(true);
    QTest::newRow("numbers not text") << "Len ('abcdefghij') > 9" << none << QVariant(true);
    QTest::newRow("True = True") << "IsNull({PhoneBK.x}) = True" << none << QVariant(true);

    // Quotes: either kind, the other kind inside, a doubled quote for itself.
    QTest::newRow("single quotes") << "'it''s'" << none << QVariant("it's");
    QTest::newRow("double quotes") << "\"say \"\"hi\"\"\"" << none << QVariant("say \"hi\"");
    QTest::newRow("other quote inside") << "\"it's\"" << none << QVariant("it's");
    QTest::newRow("empty literal") << "''" << none << QVariant("");
    QTest::newRow("braces in text") << "'{PhoneBK.name}'" << smith << QVariant("{PhoneBK.name}");

    // + joins texts; a missing value adds nothing.
    QTest::newRow("join") << "{PhoneBK.namef} + ' ' + {PhoneBK.name}" << smith
                          << QVariant("Ann Smith");
    QTest::newRow("join with null") << "'Dear ' + {PhoneBK.namef}" << none << QVariant("Dear ");
    QTest::newRow("null + null") << "{PhoneBK.a} + {PhoneBK.b}" << none << Null;
    QTest::newRow("join then compare") << "'a' + 'b' = 'AB'" << none << QVariant(true);
    QTest::newRow("add numbers") << "Len('ab') + 3" << none << QVariant(qlonglong(5));

    // Functions, with or without a blank before the parenthesis.
    QTest::newRow("Trim") << "Trim ('  a b  ')" << none << QVariant("a b");
    QTest::newRow("Trim keeps tabs") << "Len(Trim('\ta '))" << none << QVariant(qlonglong(2));
    QTest::newRow("Trim null") << "Trim({PhoneBK.name})" << none << Null;
    QTest::newRow("UpperCase") << "UpperCase ({PhoneBK.name})" << smith << QVariant("SMITH");
    QTest::newRow("UpperCase null") << "UpperCase({PhoneBK.name})" << none << Null;
    QTest::newRow("Left") << "Left ({PhoneBK.name}, 3)" << smith << QVariant("Smi");
    QTest::newRow("Left beyond") << "Left ({PhoneBK.name}, 30)" << smith << QVariant("Smith");
    QTest::newRow("Left 0") << "Left ({PhoneBK.name}, 0)" << smith << QVariant("");
    QTest::newRow("Left keeps pairs") << QString::fromUtf8("Left ('\xF0\x9F\x98\x80x', 1)") << none
                                      << QVariant(QString::fromUtf8("\xF0\x9F\x98\x80"));
    QTest::newRow("Left null") << "Left ({PhoneBK.name}, 2)" << none << Null;
    QTest::newRow("Len") << "Len ({PhoneBK.name})" << smith << QVariant(qlonglong(5));
    QTest::newRow("Len empty") << "Len ({PhoneBK.name})" << empty << QVariant(qlonglong(0));
    QTest::newRow("Len null") << "Len ({PhoneBK.name})" << none << Null;
    QTest::newRow("nested") << "UpperCase (Left (Trim (' ann '), 1)) + 'nn'" << none
                            << QVariant("Ann");
    QTest::newRow("empty formula") << "  " << none << QVariant(true);
}

void TestFormula::valuesForRows() {
    QFETCH(QString, formula);
    QFETCH(Row, row);
    QFETCH(QVariant, expected);

    const QVariant value = Formula::parse(formula).evaluate(lookup(row));
    QCOMPARE(value.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(value.typeId(), expected.typeId());
        QCOMPARE(value, expected);
    }
}

void TestFormula::refusedWithPosition_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("says"); // a piece of the description

    QTest::newRow("missing close") << "(True"
                                   << "character 6: a closing parenthesis";
    QTest::newRow("extra close") << "True)"
                                 << "character 5: this closing parenthesis";
    QTest::newRow("unterminated text") << "{PhoneBK.name} = 'abc"
                                       << "character 18: the text";
    QTest::newRow("unterminated double") << "\"abc"
                                         << "character 1: the text";
    QTest::newRow("bad field") << "{PhoneBK} = 'a'"
                               << "character 1: a field written as";
    QTest::newRow("field not closed") << "{PhoneBK.name = 'a'"
                                      << "character 1: a field";
    QTest::newRow("unknown function") << "Mid ({PhoneBK.name}, 2)"
                                      << "character 1: Mid is not";
    QTest::newRow("no operand") << "{PhoneBK.name} ="
                                << "character 17: the formula ends";
    QTest::newRow("And without left") << "And True"
                                      << "character 1: a value was expected";
    QTest::newRow("two values") << "'a' 'b'"
                                << "character 5: And, Or or the end";
    QTest::newRow("chained comparison") << "'a' = 'b' = 'c'"
                                        << "character 11: And or Or";
    QTest::newRow("unknown character") << "'a' # 'b'"
                                       << "character 5: the character \"#\"";
    QTest::newRow("control character")
        << QString("'a' \x01") << "character 5: the character U+0001";
    QTest::newRow("Not of text") << "Not {PhoneBK.name} = 'a'"
                                 << "character 5: Not needs";
    QTest::newRow("And of text") << "True And 'x'"
                                 << "character 10: And needs";
    QTest::newRow("text with number") << "'a' = 1"
                                      << "character 7: text cannot be compared";
    QTest::newRow("text + number") << "'a' + 1"
                                   << "character 7: + needs text";
    QTest::newRow("bool order") << "True < False"
                                << "character 6: True and False";
    QTest::newRow("Left wants number") << "Left ('abc', 'x')"
                                       << "character 14: Left needs";
    QTest::newRow("Left one value") << "Left ('abc')"
                                    << "character 12: Left takes 2";
    QTest::newRow("Len two values") << "Len ('abc', 1)"
                                    << "character 11: Len takes 1";
    QTest::newRow("no parenthesis") << "Trim 'a'"
                                    << "character 6: an opening parenthesis";
    QTest::newRow("decimal") << "Len('a') > 1.5"
                             << "character 13: a whole number";
    QTest::newRow("huge number") << "Len('a') > 99999999999999999999"
                                 << "character 12: the number";
    QTest::newRow("lone minus") << "- 1"
                                << "character 1: a field, a text";
    QTest::newRow("empty parentheses") << "()"
                                       << "character 2: a field, a text";
}

void TestFormula::refusedWithPosition() {
    QFETCH(QString, formula);
    QFETCH(QString, says);

    const auto [number, description] = refusal(formula);
    QCOMPARE(number, ErrorNumber::EngineSyntax);
    QVERIFY2(description.contains(says), qPrintable(description));
}

void TestFormula::hostileInputNeverCrashes_data() {
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("10000 open parentheses") << QString(10000, u'(') + "True" << false;
    QTest::newRow("10000 nested parentheses")
        << QString(10000, u'(') + "True" + QString(10000, u')') << false;
    QTest::newRow("10000 Not") << QString("Not ").repeated(10000) + "True" << false;
    QTest::newRow("10000 nested Trim")
        << QString("Trim(").repeated(10000) + "'a'" + QString(10000, u')') << false;
    QTest::newRow("40 nested parentheses")
        << QString(40, u'(') + "True" + QString(40, u')') << true;
    QTest::newRow("100000 Or") << QString("{PhoneBK.name} = 'x' Or ").repeated(100000) + "True"
                               << true;
    QTest::newRow("100000 +") << QString("'' + ").repeated(100000) + "'a' = 'A'" << true;
    QTest::newRow("only a quote") << "'" << false;
    QTest::newRow("only a brace") << "{" << false;
    QTest::newRow("nul character") << QString(QChar(0)) << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "'" << false;
}

void TestFormula::hostileInputNeverCrashes() {
    QFETCH(QString, formula);
    QFETCH(bool, accepted);

    const auto [number, description] = refusal(formula);
    if (accepted) {
        QCOMPARE(number, 0);
        const Formula parsed = Formula::parse(formula);
        QVERIFY(parsed.selects(lookup(Row{{"PhoneBK.name", "y"}})));
    } else {
        QCOMPARE(number, ErrorNumber::EngineSyntax);
        QVERIFY(description.contains(QStringLiteral("character")));
    }
}

void TestFormula::randomBytesNeverCrash() {
    // Random text of the formula's own characters and of any bytes: every one either parses
    // and evaluates, or is refused with 3077.
    QRandomGenerator random(20261207);
    const QString alphabet = QStringLiteral("{}()'\",.+-=<> aAnNdDoOtTrRiIsSuUlLeEfF01PhoneBK");
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int length = random.bounded(1, 60);
        for (int j = 0; j < length; ++j) {
            text += i % 2 ? QChar(char16_t(random.bounded(0, 0x10000)))
                          : alphabet.at(random.bounded(alphabet.size()));
        }
        try {
            const Formula formula = Formula::parse(text);
            formula.evaluate(lookup(Row{{"PhoneBK.name", "x"}}));
        } catch (const PlatformError& error) {
            QCOMPARE(error.number(), ErrorNumber::EngineSyntax);
            ++refused;
        }
    }
    QVERIFY(refused > 0);
}

void TestFormula::addressBookPages_data() {
    QTest::addColumn<QVariant>("address2");
    QTest::addColumn<bool>("onPage2");

    QTest::newRow("missing") << QVariant() << false;
    QTest::newRow("empty") << QVariant("") << false;
    QTest::newRow("blanks") << QVariant("   ") << false;
    QTest::newRow("0") << QVariant("0") << true;
    QTest::newRow("blank x") << QVariant(" x") << true;
    QTest::newRow("#5") << QVariant("#5") << true;
    QTest::newRow("-") << QVariant("-") << true;
    QTest::newRow("Apt 2") << QVariant("Apt 2") << true;
}

void TestFormula::addressBookPages() {
    // Every contact is printed on exactly one of the two address-book runs.
    QFETCH(QVariant, address2);
    QFETCH(bool, onPage2);

    Row row{{"PhoneBK.name", "Smith"}};
    if (address2.isValid())
        row.insert("PhoneBK.address2", address2);
    const bool page1 = Formula::parse(AddressPage1).selects(lookup(row));
    const bool page2 = Formula::parse(AddressPage2).selects(lookup(row));
    QCOMPARE(page2, onPage2);
    QCOMPARE(page1, !onPage2);
}

void TestFormula::plannerPages_data() {
    QTest::addColumn<QVariant>("name");
    QTest::addColumn<bool>("listed");

    QTest::newRow("missing") << QVariant() << false;
    QTest::newRow("empty") << QVariant("") << false;
    QTest::newRow("blank") << QVariant(" ") << false;
    QTest::newRow("0") << QVariant("0") << true;
    QTest::newRow("Zed") << QVariant("Zed") << true;
}

void TestFormula::plannerPages() {
    QFETCH(QVariant, name);
    QFETCH(bool, listed);

    Row row{{"PhoneBK.namef", "Ann"}};
    if (name.isValid())
        row.insert("PhoneBK.name", name);
    QCOMPARE(Formula::parse(PlannerPages).selects(lookup(row)), listed);
}

void TestFormula::selectionMustBeTrueOrFalse() {
    const Row row{{"PhoneBK.name", "Smith"}};
    QVERIFY(Formula().selects(lookup(row)));
    QVERIFY(Formula::parse(QString()).isEmpty());
    QVERIFY(!Formula::parse("{PhoneBK.name} = 'Jones'").selects(lookup(row)));
    QVERIFY(Formula::parse("{PhoneBK.name} = 'SMITH'").selects(lookup(row)));
    try {
        Formula::parse("{PhoneBK.name}").selects(lookup(row));
        QFAIL("a text formula selected rows");
    } catch (const PlatformError& error) {
        QCOMPARE(error.number(), ErrorNumber::EngineSyntax);
    }
}

void TestFormula::fieldsReferenced() {
    const Formula formula = Formula::parse("{PhoneBK.address2} > '0' And {PhoneBK.extra7} = 'Y' "
                                           "Or IsNull ({PhoneBK.address2})");
    QCOMPARE(formula.fields(), QStringList({"PhoneBK.address2", "PhoneBK.extra7"}));
    QVERIFY(!formula.isEmpty());
}

void TestFormula::sortFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field"); // empty: refused
    QTest::addColumn<bool>("ascending");

    QTest::newRow("ascending") << "+{PhoneBK.name}"
                               << "name" << true;
    QTest::newRow("descending") << "-{PhoneBK.namef}"
                                << "namef" << false;
    QTest::newRow("no sign") << "{PhoneBK.name}"
                             << "name" << true;
    QTest::newRow("blanks") << " + {PhoneBK.name} "
                            << "name" << true;
    QTest::newRow("no field") << "+"
                              << "" << true;
    QTest::newRow("two fields") << "+{PhoneBK.name}{PhoneBK.namef}"
                                << "" << true;
    QTest::newRow("no braces") << "+PhoneBK.name"
                               << "" << true;
}

void TestFormula::sortFields() {
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(bool, ascending);

    try {
        const SortField sort = parseSortField(text);
        QVERIFY2(!field.isEmpty(), "a bad sort field was accepted");
        QCOMPARE(sort.table, QStringLiteral("PhoneBK"));
        QCOMPARE(sort.field, field);
        QCOMPARE(sort.ascending, ascending);
    } catch (const PlatformError& error) {
        QVERIFY2(field.isEmpty(), qPrintable(error.description()));
        QCOMPARE(error.number(), ErrorNumber::EngineSyntax);
    }
}

void TestFormula::textOrderMatchesTheBook_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");

    QTest::newRow("case") << "smith"
                          << "SMITH";
    QTest::newRow("letters") << "Adams"
                             << "baker";
    QTest::newRow("prefix") << "Smi"
                            << "smith";
    QTest::newRow("underscore") << "_"
                                << "a";
    QTest::newRow("underscore upper") << "_"
                                      << "A";
    QTest::newRow("bracket") << "["
                             << "a";
    QTest::newRow("digit") << "0"
                           << "-";
    QTest::newRow("empty") << ""
                           << "a";
    QTest::newRow("accents not folded") << "\u00e9"
                                        << "\u00c9";
    QTest::newRow("accent after z") << "\u00e9"
                                    << "z";
    QTest::newRow("beyond the BMP") << QString::fromUtf8("\xF0\x9F\x98\x80") << "\uFF21";
    QTest::newRow("sharp s") << "stra\u00dfe"
                             << "STRASSE";
}

void TestFormula::textOrderMatchesTheBook() {
    QFETCH(QString, a);
    QFETCH(QString, b);

    QCOMPARE(sign(compareText(a, b)), sqliteOrder(a, b));
    QCOMPARE(sign(compareText(b, a)), sqliteOrder(b, a));
}

QTEST_GUILESS_MAIN(TestFormula)
#include "test_formula.moc"
