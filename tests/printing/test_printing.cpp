// The Printing Options dialog as the user opens it from the main window: the report jobs' runs
// as the report control receives them, the printer dialog's cancel, and the envelope, checked
// line by line on a recording device and in the PDF the program writes when no printer takes it.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "core/UserSettings.h"
#include "platform/files/PlatformError.h"
#include "platform/printer/LinePage.h"
#include "platform/report/Formula.h"
#include "platform/report/PrinterDialog.h"
#include "platform/report/ReportControl.h"
#include "printing/Envelope.h"
#include "printing/frmPrint.h"
#include "RecordingPage.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <functional>
#include <QAction>
#include <QFile>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextItem>

using namespace quillory;
using test::ModalScript;
using test::StartedProgram;

namespace {

using test::DrawnText;

QList<DrawnText> drawnLines(const printer::LinePage& page) {
    test::RecordingPage device;
    QPainter painter(&device);
    page.draw(painter);
    painter.end();
    return device.drawn();
}

QByteArray feedSetting(const QString& feed) {
    if (feed == QLatin1String("left"))
        return "EnvLeft=1\n";
    if (feed == QLatin1String("right"))
        return "EnvRight=1\n";
    if (feed == QLatin1String("manual"))
        return "EnvMan=1\n";
    return {};
}

UserSettings::EnvelopeFeed feedOf(const QString& feed) {
    using Feed = UserSettings::EnvelopeFeed;
    if (feed == QLatin1String("left"))
        return Feed::Left;
    if (feed == QLatin1String("right"))
        return Feed::Right;
    if (feed == QLatin1String("manual"))
        return Feed::Manual;
    return Feed::None;
}

QByteArray returnAddress(bool secondLine) {
    return QByteArray("USERName=Ann Writer\nUSERAddress1=1 Main St\nUSERAddress2=") +
           (secondLine ? "PO Box 7" : "") + "\nUSERCity=Albany\nUSERState=NY\nUSERZip=12201\n";
}

QVariantMap recipient(bool secondLine) {
    QVariantMap contact = test::contactNamed(QStringLiteral("Baker"), QStringLiteral("Bob"));
    contact[QStringLiteral("address1")] = QStringLiteral("12 Oak Street");
    contact[QStringLiteral("address2")] = secondLine ? QStringLiteral("Suite 4") : QString();
    contact[QStringLiteral("city")] = QStringLiteral("Springfield");
    contact[QStringLiteral("state")] = QStringLiteral("IL");
    contact[QStringLiteral("zip")] = QStringLiteral("62701");
    return contact;
}

QStringList returnLines(bool secondLine) {
    QStringList lines = {QStringLiteral("Ann Writer"), QStringLiteral("1 Main St")};
    if (secondLine)
        lines << QStringLiteral("PO Box 7");
    return lines << QStringLiteral("Albany") << QStringLiteral("NY,  12201");
}

QStringList recipientLines(bool secondLine) {
    QStringList lines = {QStringLiteral("Bob Baker"), QStringLiteral("12 Oak Street")};
    if (secondLine)
        lines << QStringLiteral("Suite 4");
    return lines << QStringLiteral("Springfield") << QStringLiteral("IL,  62701");
}

printer::LinePage::Line sample(double points) {
    printer::LinePage page;
    page.setFont(QStringLiteral("Arial"), points, true);
    page.printLine(1, QStringLiteral("x"));
    return page.lines().front();
}

// What the user's Printing Options did: the printer dialogs asked, the report runs received,
// and whether the dialog closed.
struct Outcome {
    QList<report::PrinterDialogRequest> printerDialogs;
    QList<report::ReportRequest> runs;
    bool closed = false;
    int shown = 0;
};

// Opens Printing Options from the menu, picks `option` and clicks "&Print"; the printer dialog
// is accepted or cancelled as `acceptPrinter` says.
Outcome printWith(StartedProgram& program, const char* option, bool acceptPrinter,
                  const std::function<void(frmPrint&)>& more = {}) {
    Outcome outcome;
    report::PrinterDialogService::setResponder(
        [&](const report::PrinterDialogRequest& request, QPrinter&) {
            outcome.printerDialogs.append(request);
            return acceptPrinter;
        });
    report::ReportControl::setRunner([&](const report::ReportRequest& request, const ProgramFolder&,
                                         QWidget*) { outcome.runs.append(request); });
    {
        ModalScript script([&](QDialog& dialog) {
            auto* print = qobject_cast<frmPrint*>(&dialog);
            if (!print)
                return;
            print->findChild<QRadioButton*>(QString::fromLatin1(option))->click();
            print->Command1->click();
            if (more)
                more(*print);
            outcome.closed = print->isUnloaded();
        });
        program.main->mnuPrint->trigger();
        outcome.shown = script.shown();
    }
    report::PrinterDialogService::setResponder({});
    report::ReportControl::setRunner({});
    return outcome;
}

const QString Sort0 = QStringLiteral("+{PhoneBK.name}");
const QString Sort1 = QStringLiteral("+{PhoneBK.namef}");

report::ReportRequest run(const char* file, const QString& title, const QString& formula) {
    return {QString::fromLatin1(file), title, formula, {Sort0, Sort1}, 0, {}};
}

// A program whose default printer cannot be reached: the envelope falls back to a PDF.
const QByteArray NoPrinterServer = "/nonexistent/quillory-test/cups.sock";

QString pdfText(const QString& path, bool layout) {
    QProcess process;
    QStringList arguments;
    if (layout)
        arguments << QStringLiteral("-layout");
    else
        arguments << QStringLiteral("-bbox");
    process.start(QStringLiteral("pdftotext"), arguments << path << QStringLiteral("-"));
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

Q_DECLARE_METATYPE(QList<report::ReportRequest>)

class TestPrinting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void texts_data();
    void texts();
    void opensWithTheEnvelopeChosenEveryTime();
    void reportJobsRunInOrder_data();
    void reportJobsRunInOrder();
    void cancelledPrinterDialogClosesWithoutRuns_data();
    void cancelledPrinterDialogClosesWithoutRuns();
    void closingSavesTheSettings();
    void failedRunIsToldAndTheNextRunStillRuns();
    void labelsLeaveTheDialogOpen();
    void envelopeLines_data();
    void envelopeLines();
    void envelopeWithMissingParts_data();
    void envelopeWithMissingParts();
    void envelopeOnAMissingPrinterOffersAPdf_data();
    void envelopeOnAMissingPrinterOffersAPdf();
    void envelopeFromTheCommandLine();
    void mendedSelectionsPutEveryContactOnOneRun_data();
    void mendedSelectionsPutEveryContactOnOneRun();
};

void TestPrinting::initTestCase() {
    qputenv("CUPS_SERVER", NoPrinterServer);
}

void TestPrinting::texts_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::newRow("title") << "frmPrint"
                           << "Printing Options";
    QTest::newRow("frame") << "Frame1"
                           << "Print Options";
    QTest::newRow("envelope") << "OptEnv"
                              << "Print &Envelope";
    QTest::newRow("address book") << "OptAdd"
                                  << "Print &Address Book";
    QTest::newRow("small planner") << "Optrunner"
                                   << "Print Day Runner (R)  [3 3/4\" X 6 3/4\"]";
    QTest::newRow("large planner") << "Optrunner1"
                                   << "Print Day Runner (R)  [5 1/2\" X 8 1/2\"]";
    QTest::newRow("labels") << "OptLabel"
                            << "Print &Labels";
    QTest::newRow("print") << "Command1"
                           << "&Print";
    QTest::newRow("close") << "Command2"
                           << "&Close";
    QTest::newRow("label") << "Label1"
                           << "Select the print option you want and click PRINT.";
}

void TestPrinting::texts() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    StartedProgram program;
    QString seen;
    ModalScript script([&](QDialog& dialog) {
        QWidget* widget =
            dialog.objectName() == control ? &dialog : dialog.findChild<QWidget*>(control);
        QVERIFY2(widget, qPrintable(control));
        if (widget == &dialog)
            seen = dialog.windowTitle();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            seen = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            seen = label->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(widget))
            seen = frame->title();
        if (control.startsWith(QLatin1String("Opt")) || control.startsWith(QLatin1String("Comm")))
            QVERIFY(dialog.findChild<QGroupBox*>(QStringLiteral("Frame1"))->isAncestorOf(widget));
    });
    program.main->Toolbar1_ButtonClick(0, QStringLiteral("print"));
    QCOMPARE(script.shown(), 1);
    QCOMPARE(seen, text);
}

void TestPrinting::opensWithTheEnvelopeChosenEveryTime() {
    StartedProgram program;
    QList<bool> envelopeChosen;
    ModalScript script([&](QDialog& dialog) {
        auto& print = static_cast<frmPrint&>(dialog);
        envelopeChosen << print.OptEnv->isChecked();
        print.Optrunner1->click();
        print.Command2->click();
    });
    program.main->mnuPrint->trigger();
    program.main->mnuPrint->trigger();
    QCOMPARE(envelopeChosen, QList<bool>({true, true}));
}

void TestPrinting::reportJobsRunInOrder_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QList<report::ReportRequest>>("runs");
    const QString runner =
        QStringLiteral("Preview Runner (Click on the Printer Icon below to PRINT!)");
    QTest::newRow("address book: page 2, then page 1")
        << "OptAdd" << 1
        << QList<report::ReportRequest>{
               run("combook2.rpt",
                   QStringLiteral(
                       "Address Book [Page 2] (Click on the Printer Icon below to PRINT!)"),
                   QStringLiteral("Not IsNull ({PhoneBK.address2}) And Trim "
                                  "({PhoneBK.address2}) <> ''")),
               run("combook1.rpt",
                   QStringLiteral(
                       "Address Book [Page 1] (Click on the Printer Icon below to PRINT!)"),
                   QStringLiteral(
                       "IsNull ({PhoneBK.address2}) Or Trim ({PhoneBK.address2}) = ''"))};
    const QString planner =
        QStringLiteral("Not IsNull ({PhoneBK.name}) And Trim ({PhoneBK.name}) <> ''");
    QTest::newRow("small planner")
        << "Optrunner" << 1 << QList<report::ReportRequest>{run("runner.rpt", runner, planner)};
    QTest::newRow("large planner, landscape dialog")
        << "Optrunner1" << 2 << QList<report::ReportRequest>{run("runner1.rpt", runner, planner)};
}

void TestPrinting::reportJobsRunInOrder() {
    QFETCH(QString, option);
    QFETCH(int, orientation);
    QFETCH(QList<report::ReportRequest>, runs);
    StartedProgram program;
    const Outcome outcome = printWith(program, qPrintable(option), true);
    QCOMPARE(outcome.printerDialogs.size(), 1);
    QCOMPARE(outcome.printerDialogs.front().orientation, orientation);
    QCOMPARE(outcome.runs.size(), runs.size());
    for (qsizetype i = 0; i < runs.size(); ++i) {
        QCOMPARE(outcome.runs[i].reportFileName, runs[i].reportFileName);
        QCOMPARE(outcome.runs[i].windowTitle, runs[i].windowTitle);
        QCOMPARE(outcome.runs[i].selectionFormula, runs[i].selectionFormula);
        QCOMPARE(outcome.runs[i].sortFields, runs[i].sortFields);
        QCOMPARE(outcome.runs[i].destination, 0);
    }
    QVERIFY2(!outcome.closed, "the dialog stays open after a report job");
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestPrinting::cancelledPrinterDialogClosesWithoutRuns_data() {
    QTest::addColumn<QString>("option");
    QTest::newRow("address book") << "OptAdd";
    QTest::newRow("small planner") << "Optrunner";
    QTest::newRow("large planner") << "Optrunner1";
}

void TestPrinting::cancelledPrinterDialogClosesWithoutRuns() {
    QFETCH(QString, option);
    StartedProgram program;
    const Outcome outcome = printWith(program, qPrintable(option), false);
    QCOMPARE(outcome.printerDialogs.size(), 1);
    QVERIFY(outcome.runs.isEmpty());
    QVERIFY(outcome.closed);
    // The close saved the settings file.
    QVERIFY(program.folder.exists(QStringLiteral("Corvanel.hig")));
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestPrinting::closingSavesTheSettings() {
    StartedProgram program({.settings = returnAddress(false)});
    QFile::remove(program.folder.file(QStringLiteral("Corvanel.hig")));
    ModalScript script([](QDialog& dialog) { static_cast<frmPrint&>(dialog).Command2->click(); });
    program.main->mnuPrint->trigger();
    QCOMPARE(script.shown(), 1);
    QVERIFY(program.folder.read(QStringLiteral("Corvanel.hig")).contains("USERName=Ann Writer"));
}

void TestPrinting::failedRunIsToldAndTheNextRunStillRuns() {
    StartedProgram program;
    QStringList runs;
    report::PrinterDialogService::setResponder(
        [](const report::PrinterDialogRequest&, QPrinter&) { return true; });
    report::ReportControl::setRunner(
        [&](const report::ReportRequest& request, const ProgramFolder&, QWidget*) {
            runs << request.reportFileName;
            if (request.reportFileName == QLatin1String("combook2.rpt"))
                throw PlatformError(3024, QStringLiteral("The template was not found."));
        });
    ModalScript script([](QDialog& dialog) {
        auto& print = static_cast<frmPrint&>(dialog);
        print.OptAdd->click();
        print.Command1->click();
    });
    program.main->mnuPrint->trigger();
    report::PrinterDialogService::setResponder({});
    report::ReportControl::setRunner({});
    QCOMPARE(runs, QStringList({QStringLiteral("combook2.rpt"), QStringLiteral("combook1.rpt")}));
    QCOMPARE(program.boxes.asked().size(), 1);
    QVERIFY(program.boxes.texts().front().contains(QLatin1String("combook2.rpt")));
    QVERIFY(program.boxes.texts().front().contains(QLatin1String("The template was not found.")));
}

void TestPrinting::labelsLeaveTheDialogOpen() {
    StartedProgram program;
    const Outcome outcome = printWith(program, "OptLabel", true);
    // Printing Options, then the label dialog over it.
    QCOMPARE(outcome.shown, 2);
    QVERIFY(outcome.printerDialogs.isEmpty());
    QVERIFY(outcome.runs.isEmpty());
    QVERIFY(!outcome.closed);
}

void TestPrinting::envelopeLines_data() {
    QTest::addColumn<QString>("feed");
    QTest::addColumn<bool>("returnSecondLine");
    QTest::addColumn<bool>("recipientSecondLine");
    QTest::addColumn<int>("emptyBefore");
    QTest::addColumn<int>("emptyBetween");
    QTest::addColumn<int>("feedValue"); // 0: none
    for (const bool returnLine2 : {false, true}) {
        for (const bool recipientLine2 : {false, true}) {
            const QByteArray shape = QByteArray(returnLine2 ? "5" : "4") + "-line return, " +
                                     (recipientLine2 ? "5" : "4") + "-line recipient";
            QTest::newRow(("no feed yet, " + shape).constData())
                << "" << returnLine2 << recipientLine2 << 0 << 6 << 0;
            QTest::newRow(("left side, " + shape).constData())
                << "left" << returnLine2 << recipientLine2 << 0 << 6 << 2;
            QTest::newRow(("right side, " + shape).constData())
                << "right" << returnLine2 << recipientLine2 << 35 << 11 << 2;
            QTest::newRow(("manual, " + shape).constData())
                << "manual" << returnLine2 << recipientLine2 << 0 << 6 << 1;
        }
    }
}

void TestPrinting::envelopeLines() {
    QFETCH(QString, feed);
    QFETCH(bool, returnSecondLine);
    QFETCH(bool, recipientSecondLine);
    QFETCH(int, emptyBefore);
    QFETCH(int, emptyBetween);
    QFETCH(int, feedValue);

    UserSettings settings;
    settings.userName = QStringLiteral("Ann Writer");
    settings.userAddress1 = QStringLiteral("1 Main St");
    settings.userAddress2 = returnSecondLine ? QStringLiteral("PO Box 7") : QString();
    settings.userCity = QStringLiteral("Albany");
    settings.userState = QStringLiteral("NY");
    settings.userZip = QStringLiteral("12201");
    settings.envelopeFeed = feedOf(feed);
    const EnvelopeAddress to = recipientFrom(
        QStringLiteral("Bob"), QStringLiteral("Baker"), QStringLiteral("12 Oak Street"),
        recipientSecondLine ? QStringLiteral("Suite 4") : QString(), QStringLiteral("Springfield"),
        QStringLiteral("IL"), QStringLiteral("62701"));
    const printer::LinePage page = envelopePage(settings, to);
    QCOMPARE(page.feed().value_or(0), feedValue);

    const QList<DrawnText> drawn = drawnLines(page);
    const QStringList from = returnLines(returnSecondLine);
    const QStringList toLines = recipientLines(recipientSecondLine);
    QCOMPARE(drawn.size(), from.size() + toLines.size());

    // Lines go down by the line height of their own font; empty lines take their place.
    const printer::LinePage::Line small = sample(8);
    const printer::LinePage::Line large = sample(10);
    QVERIFY(small.font.family().contains(QLatin1String("Liberation Sans")));
    QImage points(1, 1, QImage::Format_ARGB32);
    points.setDotsPerMeterX(qRound(72 / 0.0254));
    points.setDotsPerMeterY(qRound(72 / 0.0254));
    const QFontMetricsF smallAt72(small.font, &points);
    const QFontMetricsF largeAt72(large.font, &points);
    double top = printer::LinePage::Margin + emptyBefore * smallAt72.lineSpacing();
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        const bool isReturn = i < from.size();
        const DrawnText& line = drawn[i];
        const QFontMetricsF& metrics = isReturn ? smallAt72 : largeAt72;
        if (i == from.size())
            top += emptyBetween * smallAt72.lineSpacing();
        QCOMPARE(line.text, isReturn ? from[i] : toLines[i - from.size()]);
        QCOMPARE(line.family, QStringLiteral("Liberation Sans"));
        QCOMPARE(line.points, isReturn ? 8.0 : 10.0);
        QVERIFY(line.bold);
        const double column = isReturn ? 10 : 48;
        QVERIFY2(qAbs(line.baseline.x() - (printer::LinePage::Margin +
                                           (column - 1) * metrics.averageCharWidth())) < 0.01,
                 qPrintable(QStringLiteral("%1 at x %2").arg(line.text).arg(line.baseline.x())));
        QVERIFY2(qAbs(line.baseline.y() - (top + metrics.ascent())) < 0.01,
                 qPrintable(QStringLiteral("%1 at y %2").arg(line.text).arg(line.baseline.y())));
        top += metrics.lineSpacing();
    }
}

// An address with parts missing (the return address never saved, a state or zip left out)
// prints what it has, with no comma dangling at a line's end or start, and the recipient stays
// where it stands on a full envelope.
void TestPrinting::envelopeWithMissingParts_data() {
    QTest::addColumn<QStringList>("from"); // name, address1, city, state, zip
    QTest::addColumn<QStringList>("to");   // first, last, address1, city, state, zip
    const QStringList to{"Bob", "Baker", "12 Oak Street", "Springfield", "IL", "62701"};
    QTest::newRow("no return address saved") << QStringList(5) << to;
    QTest::newRow("return address without a zip")
        << QStringList{"Ann Writer", "1 Main St", "Albany", "NY", ""} << to;
    QTest::newRow("recipient without a state")
        << QStringList{"Ann Writer", "1 Main St", "Albany", "NY", "12201"}
        << QStringList{"Bob", "Baker", "12 Oak Street", "Springfield", "", "62701"};
}

void TestPrinting::envelopeWithMissingParts() {
    QFETCH(QStringList, from);
    QFETCH(QStringList, to);
    const auto envelope = [&to](const QStringList& sender) {
        UserSettings settings;
        settings.userName = sender[0];
        settings.userAddress1 = sender[1];
        settings.userCity = sender[2];
        settings.userState = sender[3];
        settings.userZip = sender[4];
        return drawnLines(
            envelopePage(settings, recipientFrom(to[0], to[1], to[2], {}, to[3], to[4], to[5])));
    };
    const QList<DrawnText> drawn = envelope(from);
    QString texts;
    for (const DrawnText& line : drawn) {
        texts += line.text + u'|';
        QVERIFY2(!line.text.startsWith(u',') && !line.text.trimmed().endsWith(u','),
                 qPrintable(line.text));
    }
    for (const QString& part : from + to)
        QVERIFY2(texts.contains(part), qPrintable(part + " is not in " + texts));
    const QStringList full{"Ann Writer", "1 Main St", "Albany", "NY", "12201"};
    QCOMPARE(drawn.last().baseline.y(), envelope(full).last().baseline.y());
}

void TestPrinting::envelopeOnAMissingPrinterOffersAPdf_data() {
    QTest::addColumn<QString>("feed");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("closes");
    QTest::newRow("left side, saved") << "left" << true << true;
    QTest::newRow("manual, saved") << "manual" << true << true;
    QTest::newRow("no feed, saved") << "" << true << true;
    QTest::newRow("right side, saved") << "right" << true << false;
    QTest::newRow("left side, not saved") << "left" << false << true;
    QTest::newRow("right side, not saved") << "right" << false << false;
}

void TestPrinting::envelopeOnAMissingPrinterOffersAPdf() {
    QFETCH(QString, feed);
    QFETCH(bool, save);
    QFETCH(bool, closes);
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("envelope.pdf"));
    StartedProgram program({.contacts = QList<QVariantMap>{recipient(true)},
                            .settings = returnAddress(false) + feedSetting(feed)});
    // An unsaved edit on the card is what the envelope shows.
    program.main->Text4->setText(QStringLiteral("Shelbyville"));
    program.boxes.answer(save ? ui::Answer::Yes : ui::Answer::No);
    int asked = 0;
    setEnvelopePdfChooser([&](QWidget*) {
        ++asked;
        return pdf;
    });
    const Outcome outcome = printWith(program, "OptEnv", true);
    setEnvelopePdfChooser({});

    QCOMPARE(program.boxes.asked().size(), 1);
    const ui::MessageRequest& box = program.boxes.asked().front();
    QVERIFY2(box.text.contains(QLatin1String("could not be printed")), qPrintable(box.text));
    QVERIFY2(box.text.contains(QLatin1String("save the envelope as a PDF")), qPrintable(box.text));
    QCOMPARE(box.buttons, ui::Buttons::YesNo);
    QCOMPARE(outcome.closed, closes);
    QCOMPARE(asked, save ? 1 : 0);
    QCOMPARE(QFile::exists(pdf), save);
    if (!save)
        return;

    // The PDF holds the lines as printed: return address at column 10 in 8 points, recipient
    // at column 48 in 10 points.
    const QString layout = pdfText(pdf, true).simplified();
    for (const QString& line :
         returnLines(false) + QStringList{QStringLiteral("Bob Baker"), QStringLiteral("Suite 4"),
                                          QStringLiteral("Shelbyville"),
                                          QStringLiteral("IL,  62701")})
        QVERIFY2(layout.contains(line.simplified()),
                 qPrintable(line + QStringLiteral(" in\n") + layout));
    const QString boxes = pdfText(pdf, false);
    QImage points(1, 1, QImage::Format_ARGB32);
    points.setDotsPerMeterX(qRound(72 / 0.0254));
    points.setDotsPerMeterY(qRound(72 / 0.0254));
    auto firstWordAt = [&](const QString& word) {
        const QRegularExpression pattern(
            QStringLiteral("xMin=\"([0-9.]+)\"[^>]*>%1<").arg(QRegularExpression::escape(word)));
        const auto match = pattern.match(boxes);
        return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
    };
    const double returnX =
        printer::LinePage::Margin + 9 * QFontMetricsF(sample(8).font, &points).averageCharWidth();
    const double recipientX =
        printer::LinePage::Margin + 47 * QFontMetricsF(sample(10).font, &points).averageCharWidth();
    QVERIFY2(
        qAbs(firstWordAt(QStringLiteral("Ann")) - returnX) < 1.0,
        qPrintable(QStringLiteral("%1 %2").arg(firstWordAt(QStringLiteral("Ann"))).arg(returnX)));
    QVERIFY2(qAbs(firstWordAt(QStringLiteral("Bob")) - recipientX) < 1.0, qPrintable(boxes));
}

void TestPrinting::envelopeFromTheCommandLine() {
    const QString program = QStringLiteral(QUILLORY_PROGRAM);
    test::TempProgramFolder home;
    test::writeBook(home.file(QStringLiteral("Corvanel.MDB")), {});
    test::writeSettings(home, returnAddress(true) + "EnvRight=1\n");
    const QString pdf = home.file(QStringLiteral("out.pdf"));
    QProcess process;
    process.start(program, {QStringLiteral("--home"), home.path(), QStringLiteral("--envelope"),
                            QStringLiteral("--pdf"), pdf});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY(process.exitCode() != 0);
    const QStringList reason = QString::fromLocal8Bit(process.readAllStandardError())
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                   .filter(QStringLiteral("quillory:"));
    QCOMPARE(reason, QStringList{QStringLiteral("quillory: The book holds no contacts.")});

    QVariantMap zed = recipient(false);
    zed[QStringLiteral("name")] = QStringLiteral("Zed");
    zed[QStringLiteral("namef")] = QStringLiteral("Zoe");
    test::writeBook(home.file(QStringLiteral("Corvanel.MDB")), {zed, recipient(false)});
    process.start(program, {QStringLiteral("--home"), home.path(), QStringLiteral("--envelope"),
                            QStringLiteral("--pdf"), pdf});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QString text = pdfText(pdf, true);
    QVERIFY2(text.contains(QLatin1String("Bob Baker")), qPrintable(text));
    QVERIFY2(!text.contains(QLatin1String("Zoe")), qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("PO Box 7")), qPrintable(text));
}

void TestPrinting::mendedSelectionsPutEveryContactOnOneRun_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("addressBookPage");
    QTest::addColumn<bool>("onPlanner");
    QTest::newRow("missing") << QVariant() << 1 << false;
    QTest::newRow("empty text") << QVariant(QString()) << 1 << false;
    QTest::newRow("blanks only") << QVariant(QStringLiteral("   ")) << 1 << false;
    QTest::newRow("zero") << QVariant(QStringLiteral("0")) << 2 << true;
    QTest::newRow("leading blank") << QVariant(QStringLiteral(" Apt 2")) << 2 << true;
    QTest::newRow("number sign") << QVariant(QStringLiteral("#12")) << 2 << true;
    QTest::newRow("hyphen") << QVariant(QStringLiteral("-B")) << 2 << true;
    QTest::newRow("plain") << QVariant(QStringLiteral("Suite 4")) << 2 << true;
}

// The same value as the second address line (for the address book) and as the last name (for
// the planner pages).
void TestPrinting::mendedSelectionsPutEveryContactOnOneRun() {
    QFETCH(QVariant, value);
    QFETCH(int, addressBookPage);
    QFETCH(bool, onPlanner);
    const report::FieldLookup row = [&](const QString&, const QString&) { return value; };
    const bool page1 = report::Formula::parse(frmPrint::AddressBookPage1Selection).selects(row);
    const bool page2 = report::Formula::parse(frmPrint::AddressBookPage2Selection).selects(row);
    QCOMPARE(page1, addressBookPage == 1);
    QCOMPARE(page2, addressBookPage == 2);
    QCOMPARE(report::Formula::parse(frmPrint::PlannerSelection).selects(row), onPlanner);
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
