// The report engine as the print jobs and scripts use it: which contacts a template lists and in
// what order, where its bands land on which page, what a broken template or run tells the user,
// and quillory --report --pdf.

#include "BookFiller.h"
#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/report/ReportControl.h"
#include "platform/report/ReportSource.h"
#include "RecordingPage.h"
#include "TestSupport.h"

#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTextItem>
#include <QtTest>

using namespace quillory;
using namespace quillory::report;

namespace {

// The texts drawn on each page of a report, top to bottom as drawn.
QList<test::DrawnText> drawPage(ReportSource& source, int index) {
    test::RecordingPage page(source.pageLayout().fullRectPoints().size());
    QPainter painter(&page);
    source.drawPage(index, painter);
    painter.end();
    return page.drawn();
}

QStringList textsOf(const QList<test::DrawnText>& drawn) {
    QStringList out;
    for (const auto& d : drawn)
        out.append(d.text);
    return out;
}

QVariantMap contact(const QString& last, const QString& first, const QVariant& address2 = {}) {
    QVariantMap row = test::contactNamed(last, first);
    row.insert(QStringLiteral("address1"), QStringLiteral("1 Main St"));
    if (address2.isValid())
        row.insert(QStringLiteral("address2"), address2);
    return row;
}

// A small test template: pages 3 in high with no margins, a 1 in detail band that shows
// "last/first", and a 1/2 in group header showing the letter.
QByteArray smallTemplate(const QString& extra = {}, const QString& group = {}) {
    return QStringLiteral(R"({
 "title": "Test", "database": "Corvanel.MDB", "unit": "in",
 %3
 %1
 %2
 "bands": {
  "groupHeader": {"height": 0.5, "objects": [{"type": "text", "x": 0, "y": 0, "text": "[{Group}]"}]},
  "pageFooter": {"height": 0, "objects": [{"type": "text", "x": 0, "y": 0, "text": "tab:{Group}"}]},
  "detail": {"height": 1, "objects": [
    {"type": "text", "x": 0, "y": 0, "width": 1.5, "text": "{PhoneBK.name}/{PhoneBK.namef}"}]}
 }
})")
        .arg(group, extra,
             extra.contains("\"page\"") ? QString() : R"("page": {"width": 4, "height": 3},)")
        .toUtf8();
}

struct Fixture {
    test::TempProgramFolder dir;
    ProgramFolder folder{dir.path()};
    void book(const QList<QVariantMap>& contacts) {
        test::writeBook(dir.file(QStringLiteral("Corvanel.MDB")), contacts);
    }
    std::unique_ptr<ReportSource> open(const QString& name, const QString& selection,
                                       const QStringList& sorts = {}) {
        ReportRequest request;
        request.reportFileName = name;
        request.selectionFormula = selection;
        request.sortFields = {sorts.value(0), sorts.value(1)};
        return openReport(request, folder);
    }
    // "last/first" of every row on every page, one list per page, and the group tab each
    // page's foot shows.
    QList<QStringList> pages(ReportSource& source, QStringList* tabs = nullptr) {
        QList<QStringList> out;
        for (int i = 0; source.hasPage(i); ++i) {
            QStringList texts = textsOf(drawPage(source, i));
            const QStringList tab = texts.filter(QRegularExpression("^tab:"));
            if (tabs)
                *tabs += tab.isEmpty() ? QString() : tab.first().mid(4);
            texts.removeIf([](const QString& text) { return text.startsWith("tab:"); });
            out.append(texts);
        }
        return out;
    }
};

QString shippedTemplate(const QString& name) {
    return QDir(qEnvironmentVariable("QUILLORY_ASSETS")).filePath(name);
}

} // namespace

class ReportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { ReportControl::setRunner({}); }

    // Each print job's template and choice of contacts over one book whose second address
    // lines and last names are missing, empty, blank or odd: every contact is on exactly one
    // address-book page, sorted by last then first name whatever their letter case.
    void jobSelection_data() {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("shown");
        const QStringList named{"Adams/Zoe", "adams/zoe", "Baker/Al", "BLANK/two", "Cole/Amy",
                                "empty/one", "hash/y",    "Young/Bo", "zero/x"};
        QTest::newRow("address book page 1: no second line")
            << "combook1.rpt"
            << QStringList{"Adams/Zoe", "adams/zoe", "BLANK/two", "Cole/Amy", "empty/one"}
            << "Adams, Zoe";
        QTest::newRow("address book page 2: a second line")
            << "combook2.rpt"
            << QStringList{"/null", "  /nameless", "Baker/Al", "hash/y", "Young/Bo", "zero/x"}
            << "Baker, Al";
        QTest::newRow("planner 3 3/4 x 6 3/4: a last name")
            << "runner.rpt" << named << "Adams, Zoe";
        QTest::newRow("planner 5 1/2 x 8 1/2: a last name")
            << "runner1.rpt" << named << "Adams, Zoe";
    }
    void jobSelection() {
        QFETCH(QString, templateName);
        QFETCH(QStringList, listed);
        QFETCH(QString, shown);
        Fixture f;
        f.book({contact("Young", "Bo", "Apt 1"), contact("Cole", "Amy"), contact("Adams", "Zoe"),
                contact("adams", "zoe"), contact("empty", "one", ""),
                contact("BLANK", "two", "   "), contact("zero", "x", "0"),
                contact("hash", "y", "#4"), contact("Baker", "Al", "Suite 9"),
                contact("  ", "nameless", "Apt 2"), contact(QString(), "null", "Apt 3")});
        QVERIFY(QFile::copy(shippedTemplate(templateName), f.dir.file(templateName)));
        const ReportRequest job = defaultRequest(templateName);
        const auto source = openReport(job, f.folder);
        // Read the names back through the engine's own row ids, in the report's order.
        auto db = engine::Database::open(f.dir.file("Corvanel.MDB"));
        QStringList got;
        for (qint64 row : source->rows()) {
            got.append(
                db->scalar("SELECT ifnull(name, '') || '/' || namef FROM PhoneBK WHERE rowid = ?",
                           {row})
                    .toString());
        }
        // Two spellings of one name keep the book's order (its row ids) between them; a
        // missing last name sorts first.
        QCOMPARE(got, listed);
        QVERIFY(source->pageCount() >= 1);
        const QStringList firstPage = textsOf(drawPage(*source, 0));
        QVERIFY2(firstPage.contains(shown), qPrintable(firstPage.join(" | ")));
    }

    // Sort fields as the command line and the jobs give them, and a selection of every row.
    void sorting_data() {
        QTest::addColumn<QStringList>("sorts");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("last then first") << QStringList{"+{PhoneBK.name}", "+{PhoneBK.namef}"}
                                         << QStringList{"ant/b", "Ant/c", "bee/a", "Bee/z"};
        QTest::newRow("last down, first up") << QStringList{"-{PhoneBK.name}", "+{PhoneBK.namef}"}
                                             << QStringList{"bee/a", "Bee/z", "ant/b", "Ant/c"};
        QTest::newRow("first name only")
            << QStringList{"+{PhoneBK.namef}"} << QStringList{"bee/a", "ant/b", "Ant/c", "Bee/z"};
        QTest::newRow("none: the book's order")
            << QStringList{} << QStringList{"Bee/z", "ant/b", "Ant/c", "bee/a"};
    }
    void sorting() {
        QFETCH(QStringList, sorts);
        QFETCH(QStringList, order);
        Fixture f;
        f.book(
            {contact("Bee", "z"), contact("ant", "b"), contact("Ant", "c"), contact("bee", "a")});
        f.dir.write("t.rpt", smallTemplate(R"("columns": {"count": 1},)"));
        const auto source = f.open("t.rpt", QString(), sorts);
        QStringList got;
        for (const QStringList& page : f.pages(*source))
            got += page;
        QCOMPARE(got, order);
    }

    // Where rows and group headings fall: three 1 in rows to a 3 in page; a heading of 1/2 in
    // never stands alone at the foot; columns fill down, or across for label sheets, and a
    // repeat count prints each row that many times.
    void pagination_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<QStringList>>("pages");
        const QStringList seven{"A1", "A2", "A3", "A4", "A5", "B1", "B2"};
        const QString byLetter = R"("group": {"field": "PhoneBK.name", "letters": 1},)";
        QTest::newRow("one column, page breaks")
            << QString() << QString() << seven
            << QList<QStringList>{{"A1/x", "A2/x", "A3/x"}, {"A4/x", "A5/x", "B1/x"}, {"B2/x"}};
        QTest::newRow("groups: heading moves with its first row")
            << QString() << byLetter << seven
            << QList<QStringList>{
                   {"[A]", "A1/x", "A2/x"}, {"A3/x", "A4/x", "A5/x"}, {"[B]", "B1/x", "B2/x"}};
        QTest::newRow("groups: one heading for a letter in either case")
            << QString() << byLetter << QStringList{"a1", "A2", "b1"}
            << QList<QStringList>{{"[A]", "a1/x", "A2/x"}, {"[B]", "b1/x"}};
        QTest::newRow("groups: a heading that fits without its row moves on")
            << QString() << byLetter << QStringList{"A1", "A2", "B1"}
            << QList<QStringList>{{"[A]", "A1/x", "A2/x"}, {"[B]", "B1/x"}};
        QTest::newRow("landscape: the sheet turned")
            << R"("page": {"width": 3, "height": 4, "orientation": "landscape"},)" << QString()
            << seven
            << QList<QStringList>{{"A1/x", "A2/x", "A3/x"}, {"A4/x", "A5/x", "B1/x"}, {"B2/x"}};
        QTest::newRow("two columns down")
            << R"("columns": {"count": 2, "order": "down"},)" << QString() << seven
            << QList<QStringList>{{"A1/x", "A2/x", "A3/x", "A4/x", "A5/x", "B1/x"}, {"B2/x"}};
        QTest::newRow("labels: two across, each row twice")
            << R"("columns": {"count": 2, "order": "across"}, "repeat": 2,)" << QString()
            << QStringList{"A1", "A2", "A3"}
            << QList<QStringList>{{"A1/x", "A1/x", "A2/x", "A2/x", "A3/x", "A3/x"}};
        QTest::newRow("empty selection: one page")
            << QString() << QString() << QStringList{} << QList<QStringList>{{}};
    }
    void pagination() {
        QFETCH(QString, layout);
        QFETCH(QString, group);
        QFETCH(QStringList, names);
        QFETCH(QList<QStringList>, pages);
        Fixture f;
        QList<QVariantMap> rows;
        for (const QString& name : names)
            rows.append(contact(name, "x"));
        f.book(rows);
        f.dir.write("t.rpt", smallTemplate(layout, group));
        const auto source = f.open("t.rpt", QString(), {"+{PhoneBK.name}"});
        QStringList tabs;
        QCOMPARE(f.pages(*source, &tabs), pages);
        // With groups, each page's tab names the letter its first row is filed under.
        if (!group.isEmpty()) {
            QStringList letters;
            for (const QStringList& page : pages)
                letters.append(page.first().mid(page.first().startsWith('[') ? 1 : 0, 1));
            QCOMPARE(tabs, letters);
        }
        QCOMPARE(source->pageCount(), int(pages.size()));
        // Cells across: the second copy of a label sits to the right of the first.
        if (layout.contains("across")) {
            const auto drawn = drawPage(*source, 0);
            QCOMPARE(drawn.at(0).baseline.y(), drawn.at(1).baseline.y());
            QVERIFY(drawn.at(1).baseline.x() >= 144 - 1);
            QVERIFY(drawn.at(2).baseline.y() >= drawn.at(0).baseline.y() + 72 - 1);
        }
    }

    // Each shipped template with the longest record it was made for, every field it shows filled:
    // every word of the record is printed, whole. Without the fields that stand on lines of their
    // own, no line is printed without its value, and lines below move up into the room.
    void everyLinePrinted_data() {
        QTest::addColumn<QString>("templateName");
        for (const QString& name :
             QDir(qEnvironmentVariable("QUILLORY_ASSETS")).entryList({"*.rpt"}, QDir::Files))
            QTest::newRow(qPrintable(name)) << name;
    }
    void everyLinePrinted() {
        QFETCH(QString, templateName);
        Fixture f;
        QVERIFY(QFile::copy(shippedTemplate(templateName), f.dir.file(templateName)));
        const Template shape = loadTemplate(f.dir.file(templateName));
        QVariantMap full{{"name", "Montgomery"},
                         {"namef", "Alexandra"},
                         {"city", "Albuquerque"},
                         {"address1", "1234 Pennsylvania Avenue"},
                         {"address2", "Apartment 56B"},
                         {"state", "NM"},
                         {"zip", "87101-4321"},
                         {"Birthday", "12/31/59"},
                         {"email", "alexandra.montgomery@example.org"},
                         {"extra8", "Alexandra Montgomery"}};
        for (const char* phone : {"phone", "phone2", "pager", "phone3", "fax", "fax2"})
            full.insert(phone, QStringLiteral("505-555-01%1").arg(full.size()));
        const auto print = [&](const QVariantMap& record) {
            test::writeBook(f.dir.file(shape.database), {record});
            return drawPage(*f.open(templateName, QString()), 0);
        };
        const QList<test::DrawnText> lines = print(full);
        const QStringList words =
            textsOf(lines).join(' ').remove(',').split(' ', Qt::SkipEmptyParts);
        for (const QString& field : shape.fields()) {
            for (const QString& word : full.value(field.section('.', 1)).toString().split(' '))
                QVERIFY2(words.contains(word), qPrintable(field + ": " + words.join(' ')));
        }

        QVariantMap sparse = full;
        for (const char* field : {"address1", "address2", "Birthday", "pager", "phone3"})
            sparse.remove(field);
        const QList<test::DrawnText> left = print(sparse);
        QSet<double> lost, moved; // the left edges of lines left out, and of lines moved up
        qsizetype kept = 0;
        for (const test::DrawnText& line : lines) {
            const auto same = std::find_if(left.begin(), left.end(), [&](const auto& other) {
                return other.text == line.text && other.baseline.x() == line.baseline.x();
            });
            if (same == left.end()) {
                lost.insert(line.baseline.x());
                continue;
            }
            ++kept;
            QVERIFY2(same->baseline.y() <= line.baseline.y() + 0.01, qPrintable(line.text));
            if (same->baseline.y() < line.baseline.y() - 0.01)
                moved.insert(line.baseline.x());
        }
        QCOMPARE(kept, left.size());
        QCOMPARE(moved, lost);
    }

    // A template that cannot be used says why; the reason names what is wrong.
    void templateErrors_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << int(ErrorNumber::FileNotFound)
                                 << "t.rpt was not found";
        QTest::newRow("not JSON") << QByteArray("{ \"title\": ") << 3077 << "not valid JSON";
        QTest::newRow("no database") << QByteArray(R"({"page":{"width":4,"height":3},
            "bands":{"detail":{"height":1}}})")
                                     << 3077 << "\"database\"";
        QTest::newRow("unknown object")
            << smallTemplate().replace("\"type\": \"text\", \"x\": 0, \"y\": 0, \"width\"",
                                       "\"type\": \"picture\", \"x\": 0, \"y\": 0, \"width\"")
            << 3077 << "Unknown object type \"picture\"";
        QTest::newRow("rows taller than the page")
            << smallTemplate().replace("\"height\": 1,", "\"height\": 9,") << 3077
            << "do not fit on the page";
        QTest::newRow("bad group field") << smallTemplate({}, R"("group": {"field": "name"},)")
                                         << 3077 << "group field \"name\"";
        QTest::newRow("bad unit")
            << smallTemplate(R"("unit": "cubit",)").replace("\"unit\": \"in\",", "") << 3077
            << "\"unit\" must be";
        QTest::newRow("a later format") << smallTemplate(R"("format": "quillory-report 2",)")
                                        << 3077 << "format \"quillory-report 2\"";
        QTest::newRow("unknown field in a band")
            << smallTemplate().replace("{PhoneBK.namef}", "{PhoneBK.nickname}") << 3077
            << "{PhoneBK.nickname} is not in the table";
    }
    void templateErrors() {
        QFETCH(QByteArray, contents);
        QFETCH(int, number);
        QFETCH(QString, reason);
        Fixture f;
        f.book({contact("Adams", "Zoe")});
        if (!contents.isEmpty())
            f.dir.write("t.rpt", contents);
        try {
            f.open("t.rpt", QString());
            QFAIL("the template was accepted");
        } catch (const PlatformError& error) {
            QCOMPARE(error.number(), number);
            QVERIFY2(error.description().contains(reason), qPrintable(error.description()));
        }
    }

    // A run that fails tells the user once, naming the template and the reason, and the next
    // run of the same control still runs.
    void failedRun_data() {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<QString>("selection");
        QTest::addColumn<bool>("withBook");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing template") << "nothere.rpt" << QString() << true << "not found";
        QTest::newRow("missing book") << "runner.rpt" << QString() << false << "Corvanel.MDB";
        QTest::newRow("unknown field in the selection")
            << "runner.rpt"
            << "IsNull ({PhoneBK.nickname})" << true << "{PhoneBK.nickname} is not in the table";
        QTest::newRow("bad sort") << "runner.rpt"
                                  << "sort" << true
                                  << "sort field \"+PhoneBK.namef\" cannot be used";
    }
    void failedRun() {
        QFETCH(QString, templateName);
        QFETCH(QString, selection);
        QFETCH(bool, withBook);
        QFETCH(QString, reason);
        Fixture f;
        if (withBook)
            f.book({contact("Adams", "Zoe")});
        QFile::copy(shippedTemplate("runner.rpt"), f.dir.file("runner.rpt"));
        installReportRunner();
        test::ScriptedMessageBoxes boxes;
        ReportControl control(f.folder);
        control.ReportFileName = templateName;
        control.WindowTitle = "Preview Runner";
        control.SortFields = {"+{PhoneBK.name}", "+{PhoneBK.namef}"};
        if (selection == "sort")
            control.SortFields[1] = "+PhoneBK.namef"; // a field without its braces
        else
            control.SelectionFormula = selection;
        control.Destination = 0;
        control.setAction(1);
        QCOMPARE(boxes.asked().size(), 1);
        const QString text = boxes.asked().first().text;
        QVERIFY2(text.contains(templateName) && text.contains(reason), qPrintable(text));

        // The same control, mended, runs without a word.
        if (!withBook)
            f.book({contact("Adams", "Zoe")});
        control.ReportFileName = "runner.rpt";
        control.SelectionFormula.clear();
        control.SortFields = {"+{PhoneBK.name}", "+{PhoneBK.namef}"};
        control.setAction(1);
        QCOMPARE(boxes.asked().size(), 1);
    }

    // quillory --report: exits 0 with a PDF whose text has the names, or non-zero with one
    // line on standard error.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("inText");
        QTest::addColumn<QStringList>("notInText");
        QTest::addColumn<QString>("error");
        QTest::newRow("page 1: the job's own choice")
            << QStringList{"--report", "combook1.rpt"} << 0 << QStringList{"Cole, Amy"}
            << QStringList{"Baker, Al"} << QString();
        QTest::newRow("page 2") << QStringList{"--report", "combook2.rpt"} << 0
                                << QStringList{"Baker, Al"} << QStringList{"Cole, Amy"}
                                << QString();
        QTest::newRow("every row")
            << QStringList{"--report", "combook1.rpt", "--selection", ""} << 0
            << QStringList{"Baker, Al", "Cole, Amy"} << QStringList{} << QString();
        QTest::newRow("sorted downwards")
            << QStringList{"--report", "runner1.rpt", "--sort", "-{PhoneBK.name}"} << 0
            << QStringList{"Cole, Amy"} << QStringList{} << QString();
        QTest::newRow("missing template") << QStringList{"--report", "none.rpt"} << 1
                                          << QStringList{} << QStringList{} << "none.rpt";
        QTest::newRow("bad sort") << QStringList{"--report", "runner.rpt", "--sort", "name"} << 1
                                  << QStringList{} << QStringList{} << "runner.rpt";
        QTest::newRow("unknown field")
            << QStringList{"--report", "runner.rpt", "--sort", "+{PhoneBK.nick}"} << 1
            << QStringList{} << QStringList{} << "{PhoneBK.nick}";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, inText);
        QFETCH(QStringList, notInText);
        QFETCH(QString, error);
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed");
        Fixture f;
        f.book({contact("Cole", "Amy"), contact("Baker", "Al", "Suite 9")});
        const QString pdf = f.dir.file("out.pdf");
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        program.setProcessEnvironment(environment);
        program.start(QDir(qEnvironmentVariable("QUILLORY_ASSETS")).filePath("quillory"),
                      QStringList{"--home", f.dir.path(), "--pdf", pdf} + arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), exitCode);
        const QStringList errors = QString::fromLocal8Bit(program.readAllStandardError())
                                       .split('\n', Qt::SkipEmptyParts)
                                       .filter(QRegularExpression("^quillory"));
        if (exitCode != 0) {
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors.first().contains(error), qPrintable(errors.first()));
            return;
        }
        QVERIFY(errors.isEmpty());
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString& name : inText)
            QVERIFY2(out.contains(name), qPrintable(out));
        for (const QString& name : notInText)
            QVERIFY2(!out.contains(name), qPrintable(out));
    }
};

QTEST_MAIN(ReportTest)
#include "test_report.moc"
