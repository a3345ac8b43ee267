// Label sheets as quillory --report writes them: every label's text lands inside that label on
// the stock's published layout, long lines stay inside their label, and --missing leaves the
// first labels of a used sheet empty.

#include "BookFiller.h"
#include "platform/files/PlatformError.h"
#include "platform/report/Template.h"
#include "TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace quillory;

namespace {

// A stock's layout as the maker publishes it, in inches.
struct Stock {
    double width, height;
    int across, down;
    double left, top, pitchAcross, pitchDown;
    int count() const { return across * down; }
    QRectF label(int index) const {
        return QRectF((left + (index % across) * pitchAcross) * 72,
                      (top + (index / across) * pitchDown) * 72, width * 72, height * 72);
    }
};

const Stock Up30{2.625, 1, 3, 10, 0.15625, 0.5, 2.78125, 1};
const Stock Up20{4, 1, 2, 10, 0.15625, 0.5, 4.1875, 1};
const Stock Up14{4, 4.0 / 3, 2, 7, 0.15625, 2.5 / 3, 4.1875, 4.0 / 3};
const Stock Up10{4, 2, 2, 5, 0.1625, 0.5, 4.1875, 2};
const Stock Up80{1.75, 0.5, 4, 20, 0.28125, 0.5, 2.0625, 0.5};

struct Word {
    int page;
    QRectF box;
    QString text;
};

QList<Word> wordsOf(const QString& pdf, QSizeF* pageSize) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!text.waitForFinished(30000))
        return {};
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    static const QRegularExpression page(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    const auto firstPage = page.match(out);
    if (pageSize && firstPage.hasMatch())
        *pageSize = QSizeF(firstPage.captured(1).toDouble(), firstPage.captured(2).toDouble());
    QList<Word> words;
    int pageNumber = 0;
    qsizetype at = 0;
    for (auto it = word.globalMatch(out); it.hasNext();) {
        const auto match = it.next();
        for (qsizetype p = out.indexOf(QLatin1String("<page "), at);
             p >= 0 && p < match.capturedStart(); p = out.indexOf(QLatin1String("<page "), p + 1))
            ++pageNumber, at = p + 1;
        words.append({pageNumber,
                      QRectF(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                             QPointF(match.captured(3).toDouble(), match.captured(4).toDouble())),
                      match.captured(5)});
    }
    return words;
}

struct Run {
    int exitCode = -1;
    QString errors;
    QList<Word> words;
    QSizeF pageSize;
};

Run runProgram(const test::TempProgramFolder& dir, const QStringList& arguments) {
    const QString pdf = dir.file(QStringLiteral("labels.pdf"));
    QFile::remove(pdf);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(
        QDir(qEnvironmentVariable("QUILLORY_ASSETS")).filePath(QStringLiteral("quillory")),
        QStringList{QStringLiteral("--home"), dir.path(), QStringLiteral("--pdf"), pdf} +
            arguments);
    Run run;
    if (!program.waitForFinished(60000))
        return run;
    run.exitCode = program.exitCode();
    run.errors = QString::fromLocal8Bit(program.readAllStandardError());
    if (run.exitCode == 0)
        run.words = wordsOf(pdf, &run.pageSize);
    return run;
}

// Contacts "F000 L000" ... whose names sort in that order; the ones with a second address
// line are for the "-2" sheets.
QList<QVariantMap> numbered(int count, bool secondLine) {
    QList<QVariantMap> out;
    for (int i = 0; i < count; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        QVariantMap row = test::contactNamed(QStringLiteral("L") + n, QStringLiteral("F") + n);
        row.insert(QStringLiteral("address1"), QStringLiteral("1 Main St"));
        row.insert(QStringLiteral("state"), QStringLiteral("IL"));
        row.insert(QStringLiteral("zip"), QStringLiteral("62701"));
        if (secondLine)
            row.insert(QStringLiteral("address2"), QStringLiteral("Suite 9"));
        out.append(row);
    }
    return out;
}

// The label of page 1 whose rectangle holds the word's top left corner, or -1.
int labelAt(const Stock& stock, const Word& word) {
    for (int i = 0; i < stock.count(); ++i) {
        if (stock.label(i).contains(word.box.topLeft()))
            return i;
    }
    return -1;
}

void skipWithoutPdftotext() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is not installed");
}

} // namespace

Q_DECLARE_METATYPE(Stock)

class LabelsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stockLayout_data() {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<Stock>("stock");
        const QList<QPair<QString, Stock>> stocks{
            {"5160", Up30}, {"5260", Up30}, {"5660", Up30}, {"5161", Up20}, {"5261", Up20},
            {"5162", Up14}, {"5262", Up14}, {"5662", Up14}, {"5163", Up10}, {"5267", Up80}};
        for (const auto& [number, stock] : stocks) {
            for (const char* sheet : {"-1.rpt", "-2.rpt"}) {
                const QString name = number + QLatin1String(sheet);
                QTest::newRow(qPrintable(name)) << name << stock;
            }
        }
    }
    // A sheet and one more label: the first, a middle and the last label of the first page
    // each begin with their contact's name, inside that label's rectangle; every word of the
    // page lies whole inside one label, even the long ones, and the extra contact goes on to a
    // second page. The contacts of the other sheet ("-1" or "-2") are on neither.
    void stockLayout() {
        QFETCH(QString, templateName);
        QFETCH(Stock, stock);
        skipWithoutPdftotext();
        const bool secondLine = templateName.contains(QLatin1String("-2"));
        QList<QVariantMap> book = numbered(stock.count() + 1, secondLine);
        book[1].insert(QStringLiteral("address1"),
                       QStringLiteral("Apartment 12345 Of The Exceedingly Long Street Name That "
                                      "Never Ends Anywhere Near Here"));
        book[2].insert(QStringLiteral("name"), QStringLiteral("L002Averyveryverylonglastname"
                                                              "thatgoesonandonandon"));
        QVariantMap other = test::contactNamed(QStringLiteral("Other"), QStringLiteral("Sheet"));
        if (!secondLine)
            other.insert(QStringLiteral("address2"), QStringLiteral("Suite 9"));
        book.append(other);
        test::TempProgramFolder dir;
        test::writeBook(dir.file(QStringLiteral("Corvanel.MDB")), book);

        const Run run = runProgram(dir, {QStringLiteral("--report"), templateName});
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QVERIFY(dir.exists(QStringLiteral("print.mdb")));
        QCOMPARE(run.pageSize, QSizeF(612, 792));

        for (int index : {0, stock.count() / 2, stock.count() - 1}) {
            const QString first = QStringLiteral("F%1").arg(index, 3, 10, QLatin1Char('0'));
            const auto found = std::find_if(run.words.begin(), run.words.end(),
                                            [&](const Word& w) { return w.text == first; });
            QVERIFY2(found != run.words.end(), qPrintable(first));
            QCOMPARE(found->page, 1);
            QCOMPARE(labelAt(stock, *found), index);
        }
        bool elided = false, secondLinePrinted = false;
        for (const Word& word : run.words) {
            QVERIFY2(word.text != QLatin1String("Other"), "a contact of the other sheet");
            if (word.page != 1)
                continue;
            elided = elided || word.text.endsWith(QChar(0x2026));
            secondLinePrinted = secondLinePrinted || word.text == QLatin1String("Suite");
            const int label = labelAt(stock, word);
            QVERIFY2(label >= 0, qPrintable(word.text));
            QVERIFY2(stock.label(label).adjusted(0, 0, 0.5, 0.5).contains(word.box),
                     qPrintable(QStringLiteral("%1 leaves label %2").arg(word.text).arg(label)));
        }
        QVERIFY(elided);
        QCOMPARE(secondLinePrinted, secondLine);
        const QString last = QStringLiteral("F%1").arg(stock.count(), 3, 10, QLatin1Char('0'));
        const auto extra = std::find_if(run.words.begin(), run.words.end(),
                                        [&](const Word& w) { return w.text == last; });
        QVERIFY(extra != run.words.end());
        QCOMPARE(extra->page, 2);
        QCOMPARE(labelAt(stock, *extra), 0);
    }

    // --missing N: the first N labels of the first sheet stay empty and the first contact
    // takes label N; a count past the sheet still leaves the sheet's last label for it; a
    // count that is not a number is refused.
    void missingLabels_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("firstLabel");
        QTest::newRow("none") << "0" << 0;
        QTest::newRow("four") << "4" << 4;
        QTest::newRow("all but one") << "29" << 29;
        QTest::newRow("past the sheet") << "500" << 29;
        QTest::newRow("not a number") << "x" << -1;
        QTest::newRow("negative") << "-2" << -1;
    }
    void missingLabels() {
        QFETCH(QString, count);
        QFETCH(int, firstLabel);
        skipWithoutPdftotext();
        test::TempProgramFolder dir;
        test::writeBook(dir.file(QStringLiteral("Corvanel.MDB")), numbered(40, false));
        const Run run = runProgram(dir, {QStringLiteral("--report"), QStringLiteral("5160-1.rpt"),
                                         QStringLiteral("--missing"), count});
        if (firstLabel < 0) {
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.errors.contains(QLatin1String("--missing")), qPrintable(run.errors));
            return;
        }
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        int lowest = Up30.count();
        for (const Word& word : run.words) {
            if (word.page == 1)
                lowest = std::min(lowest, labelAt(Up30, word));
        }
        QCOMPARE(lowest, firstLabel);
        const auto first = std::find_if(run.words.begin(), run.words.end(), [](const Word& w) {
            return w.text == QLatin1String("F000");
        });
        QVERIFY(first != run.words.end());
        QCOMPARE(labelAt(Up30, *first), firstLabel);
        // Every contact is printed once, wherever the sheet starts.
        const qsizetype printed =
            std::count_if(run.words.begin(), run.words.end(), [](const Word& w) {
                return w.text.startsWith(QLatin1Char('F')) && w.text.size() == 4;
            });
        QCOMPARE(printed, qsizetype(40));
    }

    // A label sheet that cannot be printed is refused when its template is read, naming why.
    void badSheet_data() {
        QTest::addColumn<QString>("labels");
        QTest::addColumn<QString>("reason");
        const QString fine = R"("width": 2, "height": 1, "across": 3, "down": 10, "left": 0.25,
            "top": 0.5, "pitchAcross": 2.5, "pitchDown": 1)";
        QTest::newRow("a good sheet") << fine << QString();
        QTest::newRow("labels overlap across")
            << QString(fine).replace("\"pitchAcross\": 2.5", "\"pitchAcross\": 1.9") << "overlap";
        QTest::newRow("labels overlap down")
            << QString(fine).replace("\"pitchDown\": 1", "\"pitchDown\": 0.9") << "overlap";
        QTest::newRow("too wide for the page")
            << QString(fine).replace("\"across\": 3", "\"across\": 4") << "do not fit";
        QTest::newRow("too many down")
            << QString(fine).replace("\"down\": 10", "\"down\": 11") << "do not fit";
        QTest::newRow("no labels across")
            << QString(fine).replace("\"across\": 3", "\"across\": 0") << "across";
    }
    void badSheet() {
        QFETCH(QString, labels);
        QFETCH(QString, reason);
        test::TempProgramFolder dir;
        dir.write(QStringLiteral("sheet.rpt"),
                  QStringLiteral(R"({"database": "print.mdb", "unit": "in",
                     "page": {"width": 8.5, "height": 11}, "labels": {%1},
                     "bands": {"detail": {"objects": [{"type": "text", "x": 0, "y": 0,
                     "text": "{PhoneBK.name}"}]}}})")
                      .arg(labels)
                      .toUtf8());
        try {
            const report::Template sheet =
                report::loadTemplate(dir.file(QStringLiteral("sheet.rpt")));
            QVERIFY2(reason.isEmpty(), "a bad sheet was read");
            QCOMPARE(sheet.labels.labelRect(4),
                     QRectF(0.25 * 72 + 2.5 * 72, 0.5 * 72 + 72, 144, 72));
            QCOMPARE(sheet.detail.height, 72.0);
        } catch (const PlatformError& error) {
            QVERIFY2(!reason.isEmpty() && error.description().contains(reason),
                     qPrintable(error.description()));
        }
    }

    // Return-address labels read the return-address copy: its name and both address lines
    // inside the 80-up labels of stock 5267.
    void returnAddress_data() {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<bool>("secondLine");
        QTest::newRow("self1") << "self1.rpt" << false;
        QTest::newRow("self2") << "self2.rpt" << true;
    }
    void returnAddress() {
        QFETCH(QString, templateName);
        QFETCH(bool, secondLine);
        skipWithoutPdftotext();
        test::TempProgramFolder dir;
        QList<QVariantMap> rows;
        for (int i = 0; i < 80; ++i) {
            rows.append({{"extra8", "Pat Sender"},
                         {"address1", "9 Home Road"},
                         {"address2", secondLine ? QVariant("Flat 2") : QVariant()},
                         {"city", "Dover"},
                         {"state", "DE"},
                         {"zip", "19901"}});
        }
        test::writeBook(dir.file(QStringLiteral("name.mdb")), rows);
        test::writeBook(dir.file(QStringLiteral("Corvanel.MDB")), {});
        const Run run = runProgram(dir, {QStringLiteral("--report"), templateName});
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QList<int> senders;
        bool flat = false;
        for (const Word& word : run.words) {
            QCOMPARE(word.page, 1);
            const int label = labelAt(Up80, word);
            QVERIFY2(label >= 0 && Up80.label(label).adjusted(0, 0, 0.5, 0.5).contains(word.box),
                     qPrintable(word.text));
            if (word.text == QLatin1String("Sender"))
                senders.append(label);
            flat = flat || word.text == QLatin1String("Flat");
        }
        QCOMPARE(senders.size(), 80);
        QCOMPARE(senders.first(), 0);
        QCOMPARE(senders.last(), 79);
        QCOMPARE(flat, secondLine);
    }
};

QTEST_MAIN(LabelsTest)
#include "test_labels.moc"
