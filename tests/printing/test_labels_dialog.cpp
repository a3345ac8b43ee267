// The label dialog as the user opens it from Printing Options: the print copy it makes, the
// print flags set through the grid's buttons and stored in the book, the runs of its three jobs
// as the report controls receive them, the return-address database, and the refusals.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/engine/DataSource.h"
#include "platform/report/Formula.h"
#include "platform/report/PrinterDialog.h"
#include "platform/report/ReportControl.h"
#include "printing/frmLabel.h"
#include "printing/frmPrint.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <functional>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

using namespace quillory;
using test::ModalScript;
using test::StartedProgram;

namespace {

const QByteArray Stock5160 = "5160=True\n";

QByteArray returnAddress(const QByteArray& secondLine) {
    return "USERName=Ann Writer\nUSERAddress1=1 Main St\nUSERAddress2=" + secondLine +
           "\nUSERCity=Albany\nUSERState=NY\nUSERZip=12201\n";
}

QVariantMap contact(const char* last, const char* first, const QVariant& secondLine = {},
                    const QVariant& flag = {}) {
    QVariantMap row = test::contactNamed(QString::fromLatin1(last), QString::fromLatin1(first));
    row[QStringLiteral("address2")] = secondLine;
    row[QStringLiteral("extra7")] = flag;
    return row;
}

QList<QVariantMap> sampleBook() {
    return {contact("Baker", "Bob", QStringLiteral("Suite 4")), contact("Adams", "Amy"),
            contact("Cole", "Cy", {}, QStringLiteral("Y"))};
}

// The rows of table PhoneBK of `path`, each the values of `fields`, in stored order.
QList<QStringList> rowsOf(const QString& path, const QStringList& fields) {
    engine::DataSource source;
    source.setDatabaseName(path);
    source.setRecordSource(QStringLiteral("PhoneBK"));
    source.refresh();
    QList<QStringList> rows;
    for (int row = 0; row < source.rowCount(); ++row) {
        QStringList values;
        for (const QString& field : fields)
            values << source.valueAt(row, field).toString();
        rows << values;
    }
    source.close();
    return rows;
}

// Puts the templates of stock 5160 beside the program, where the label runs find them.
void installTemplates(const StartedProgram& program) {
    const QDir assets(qEnvironmentVariable("QUILLORY_ASSETS"));
    for (const QString& name : {QStringLiteral("5160-1.rpt"), QStringLiteral("5160-2.rpt")})
        QVERIFY(QFile::copy(assets.filePath(name), program.folder.file(name)));
}

// What happened while the label dialog was open: the printer dialogs asked, the report runs,
// and how often the dialog was shown.
struct Outcome {
    int printerDialogs = 0;
    QList<report::ReportRequest> runs;
    int labelDialogs = 0;
};

// Opens Printing Options from the menu, chooses "Print &Labels" and "&Print"; `action` works the
// label dialog each time it is shown (given the how-many-th showing, from 1).
Outcome withLabelDialog(StartedProgram& program, bool acceptPrinter,
                        const std::function<void(frmLabel&, int)>& action) {
    Outcome outcome;
    report::PrinterDialogService::setResponder([&](const report::PrinterDialogRequest&, QPrinter&) {
        ++outcome.printerDialogs;
        return acceptPrinter;
    });
    report::ReportControl::setRunner([&](const report::ReportRequest& request, const ProgramFolder&,
                                         QWidget*) { outcome.runs.append(request); });
    {
        ModalScript script([&](QDialog& dialog) {
            if (auto* print = qobject_cast<frmPrint*>(&dialog)) {
                print->OptLabel->click();
                print->Command1->click();
                print->Command2->click();
            } else if (auto* labels = qobject_cast<frmLabel*>(&dialog)) {
                ++outcome.labelDialogs;
                labels->show();
                action(*labels, outcome.labelDialogs);
                labels->hide();
            }
        });
        program.main->mnuPrint->trigger();
    }
    report::PrinterDialogService::setResponder({});
    report::ReportControl::setRunner({});
    return outcome;
}

// Clicks the button at the right edge of the "Print?" cell of `row`.
void clickFlagButton(frmLabel& dialog, int row) {
    const QModelIndex cell = dialog.DBGrid1->model()->index(row, 0);
    const QRect rect = dialog.DBGrid1->visualRect(cell);
    QTest::mouseClick(dialog.DBGrid1->viewport(), Qt::LeftButton, {},
                      QPoint(rect.right() - 4, rect.center().y()));
}

int rowNamed(frmLabel& dialog, const QString& last) {
    for (int row = 0; row < dialog.DBGrid1->model()->rowCount(); ++row)
        if (dialog.DBGrid1->model()->index(row, 1).data().toString() == last)
            return row;
    return -1;
}

const QString Sort0 = QStringLiteral("+{PhoneBK.name}");
const QString Sort1 = QStringLiteral("+{PhoneBK.namef}");

report::ReportRequest labelRun(const char* file, const QString& formula, int blanks = 0) {
    return {QString::fromLatin1(file), {}, formula, {Sort0, Sort1}, 0, {}, blanks};
}

} // namespace

Q_DECLARE_METATYPE(QList<report::ReportRequest>)

class TestLabelsDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void texts_data();
    void texts();
    void printCopyMadeAtOpening();
    void flagButtonTogglesAndStoresInTheBook_data();
    void flagButtonTogglesAndStoresInTheBook();
    void gridFocusDisablesPrintingUntilTheGridIsUpdated();
    void addressJobsRunInOrder_data();
    void addressJobsRunInOrder();
    void missingLabelsAndTheSecondRunShareSheets_data();
    void missingLabelsAndTheSecondRunShareSheets();
    void everyContactOnExactlyOneRun_data();
    void everyContactOnExactlyOneRun();
    void returnAddressSheet_data();
    void returnAddressSheet();
    void cancelledPrinterDialogPreviewsNothing_data();
    void cancelledPrinterDialogPreviewsNothing();
    void noStockChosenIsTold_data();
    void noStockChosenIsTold();
    void badMissingCountIsRefused_data();
    void badMissingCountIsRefused();
    void failingStepIsToldAndTheDialogStaysUsable();
};

void TestLabelsDialog::texts_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("title") << "frmLabel"
                           << "Print Labels"
                           << "";
    QTest::newRow("instruction")
        << "Label1"
        << "If you are printing selected names, select a \"Y\" in the 'Print?' selection box by "
           "clicking on the button in the grid cell. CLICK button again to clear the \"Y\" for "
           "names that you do not want to print. When finished selecting, CLICK on the \"Update "
           "Grid\" button at the bottom and then Select \"Print Selected Labels\"."
        << "";
    QTest::newRow("grid") << "DBGrid1"
                          << "Print?"
                          << "Add  or remove a \"y\" for printing, then click on the button below!";
    QTest::newRow("frame") << "Frame1"
                           << "Advanced"
                           << "";
    QTest::newRow("frame label")
        << "Label2"
        << "Enter number of missing labels for the FIRST sheet that will be printed.>>>>>"
        << "";
    QTest::newRow("count") << "CountTXT"
                           << "0"
                           << "";
    QTest::newRow("complete") << "Command2"
                              << "Print &Labels for complete database"
                              << "Print the entire phone book on labels";
    QTest::newRow("selected") << "Command3"
                              << "Print &Selected Labels"
                              << "Print select entries in the book from the Grid below";
    QTest::newRow("return address")
        << "Command6"
        << "Print \"1\" sheet of 'Return Address' Labels-- Avery (5267) "
        << "";
    QTest::newRow("update") << "Command4"
                            << "&Update Grid!"
                            << "Update the grid above when finished";
    QTest::newRow("reset") << "cmdReset"
                           << "&Reset Form"
                           << "Reset the form if you change the number of missing labels above";
    QTest::newRow("help") << "Command5"
                          << "&?"
                          << "display the HELP for this dialog";
    QTest::newRow("close") << "Command1"
                           << "&Close"
                           << "Close this Label dialog";
    QTest::newRow("help text")
        << "Label6"
        << "Select the HELP button at right to bring up the help for this label printing dialog."
        << "";
}

void TestLabelsDialog::texts() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    StartedProgram program({.contacts = sampleBook(), .settings = Stock5160});
    QString seen;
    QString seenTip;
    withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        QWidget* widget =
            dialog.objectName() == control ? &dialog : dialog.findChild<QWidget*>(control);
        QVERIFY2(widget, qPrintable(control));
        seenTip = widget->toolTip();
        if (widget == &dialog)
            seen = dialog.windowTitle();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            seen = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            seen = label->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(widget))
            seen = frame->title();
        else if (auto* box = qobject_cast<QLineEdit*>(widget))
            seen = box->text();
        else if (auto* grid = qobject_cast<QTableView*>(widget))
            seen = grid->model()->headerData(0, Qt::Horizontal).toString();
        dialog.Command1->click();
    });
    QCOMPARE(seen, text);
    QCOMPARE(seenTip, toolTip);
}

void TestLabelsDialog::printCopyMadeAtOpening() {
    StartedProgram program({.contacts = sampleBook(), .settings = Stock5160});
    const QString print = program.folder.path() + QStringLiteral("/print.mdb");
    QList<QStringList> copy;
    QStringList templates;
    const Outcome outcome = withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        copy = rowsOf(print, {QStringLiteral("name"), QStringLiteral("extra7")});
        templates << dialog.Label4->text() << dialog.Label5->text();
        dialog.Command1->click();
    });
    QCOMPARE(outcome.labelDialogs, 1);
    QCOMPARE(copy.size(), 3);
    QVERIFY(copy.contains(QStringList({QStringLiteral("Cole"), QStringLiteral("Y")})));
    QCOMPARE(templates, QStringList({QStringLiteral("5160-1.rpt"), QStringLiteral("5160-2.rpt")}));
    // The main window has the book again.
    QCOMPARE(program.main->data().recordCount(), 3);
}

void TestLabelsDialog::flagButtonTogglesAndStoresInTheBook_data() {
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("after");
    QTest::newRow("unflagged, once") << QVariant() << 1 << "Y";
    QTest::newRow("unflagged, twice") << QVariant() << 2 << "";
    QTest::newRow("Y, once") << QVariant(QStringLiteral("Y")) << 1 << "";
    QTest::newRow("lower-case y") << QVariant(QStringLiteral("y")) << 1 << "Y";
    QTest::newRow("N") << QVariant(QStringLiteral("N")) << 1 << "Y";
}

void TestLabelsDialog::flagButtonTogglesAndStoresInTheBook() {
    QFETCH(QVariant, before);
    QFETCH(int, clicks);
    QFETCH(QString, after);
    StartedProgram program({.contacts = QList<QVariantMap>{contact("Adams", "Amy", {}, before),
                                                           contact("Baker", "Bob")},
                            .settings = Stock5160});
    withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        const int row = rowNamed(dialog, QStringLiteral("Adams"));
        QVERIFY(row >= 0);
        for (int i = 0; i < clicks; ++i)
            clickFlagButton(dialog, row);
        QCOMPARE(dialog.DBGrid1->model()->index(row, 0).data().toString(), after);
        dialog.Command1->click();
    });
    const QList<QStringList> book = rowsOf(program.folder.path() + QStringLiteral("/Corvanel.MDB"),
                                           {QStringLiteral("name"), QStringLiteral("extra7")});
    QVERIFY(book.contains(QStringList({QStringLiteral("Adams"), after})));
    QVERIFY(book.contains(QStringList({QStringLiteral("Baker"), QString()})));
}

void TestLabelsDialog::gridFocusDisablesPrintingUntilTheGridIsUpdated() {
    StartedProgram program({.contacts = sampleBook(), .settings = Stock5160});
    QList<bool> enabledAfterFocus;
    QList<bool> enabledAfterUpdate;
    QString countAfterUpdate;
    QList<QStringList> copyAfterUpdate;
    withLabelDialog(program, true, [&](frmLabel& dialog, int showing) {
        if (showing == 1) {
            // Opening does not put the focus into the grid, which would lock the buttons.
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QVERIFY(dialog.Command2->isEnabled());
            dialog.CountTXT->setText(QStringLiteral("2"));
            QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
            QApplication::sendEvent(dialog.DBGrid1, &focus);
            clickFlagButton(dialog, rowNamed(dialog, QStringLiteral("Adams")));
            enabledAfterFocus << dialog.Command1->isEnabled() << dialog.Command2->isEnabled()
                              << dialog.Command3->isEnabled() << dialog.Command4->isEnabled();
            dialog.Command4->click();
        } else {
            enabledAfterUpdate << dialog.Command1->isEnabled() << dialog.Command2->isEnabled()
                               << dialog.Command3->isEnabled() << dialog.Command4->isEnabled();
            countAfterUpdate = dialog.CountTXT->text();
            copyAfterUpdate = rowsOf(program.folder.path() + QStringLiteral("/print.mdb"),
                                     {QStringLiteral("name"), QStringLiteral("extra7")});
            dialog.Command1->click();
        }
    });
    QCOMPARE(enabledAfterFocus, QList<bool>({false, false, false, true}));
    QCOMPARE(enabledAfterUpdate, QList<bool>({true, true, true, true}));
    QCOMPARE(countAfterUpdate, QStringLiteral("0"));
    QVERIFY(copyAfterUpdate.contains(QStringList({QStringLiteral("Adams"), QStringLiteral("Y")})));
}

void TestLabelsDialog::addressJobsRunInOrder_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<report::ReportRequest>>("runs");
    QTest::newRow("complete book: -2, then -1")
        << "Command2"
        << QList<report::ReportRequest>{labelRun("5160-2.rpt", frmLabel::SecondLineSelection),
                                        labelRun("5160-1.rpt", frmLabel::NoSecondLineSelection, 1)};
    QTest::newRow("selected: flagged only")
        << "Command3"
        << QList<report::ReportRequest>{
               labelRun("5160-2.rpt", QStringLiteral("(Not IsNull ({PhoneBK.address2}) And Trim "
                                                     "({PhoneBK.address2}) <> '') And "
                                                     "{PhoneBK.extra7} = 'Y'")),
               labelRun("5160-1.rpt", QStringLiteral("(IsNull ({PhoneBK.address2}) Or Trim "
                                                     "({PhoneBK.address2}) = '') And "
                                                     "{PhoneBK.extra7} = 'Y'"))};
}

void TestLabelsDialog::addressJobsRunInOrder() {
    QFETCH(QString, button);
    QFETCH(QList<report::ReportRequest>, runs);
    StartedProgram program({.contacts = sampleBook(), .settings = Stock5160});
    installTemplates(program);
    const Outcome outcome = withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        dialog.findChild<QPushButton*>(button)->click();
        dialog.Command1->click();
    });
    QCOMPARE(outcome.printerDialogs, 1);
    QList<report::ReportRequest> seen = outcome.runs;
    seen.last().windowTitle.clear();
    QCOMPARE(seen, runs);
    QVERIFY(program.boxes.asked().isEmpty());
}

// The report leaves the missing labels empty, even after a cancelled print; the "-1" run goes
// on where the "-2" run's 25 labels (12 flagged) end, and its preview says so.
void TestLabelsDialog::missingLabelsAndTheSecondRunShareSheets_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<int>>("blanks"); // the missing count, then the "-1" run's
    QTest::newRow("second run goes on") << "Command2" << QList<int>{2, 27};
    QTest::newRow("first run ends a sheet") << "Command2" << QList<int>{5, 0};
    QTest::newRow("flagged only") << "Command3" << QList<int>{20, 2};
}

void TestLabelsDialog::missingLabelsAndTheSecondRunShareSheets() {
    QFETCH(QString, button);
    QFETCH(QList<int>, blanks);
    QList<QVariantMap> book{contact("'t Hooft", "G", {}, QStringLiteral("Y")), contact("", "Al")};
    for (int i = 0; i < 25; ++i)
        book << contact("Line", "Al", QStringLiteral("Suite 4"), QString(i < 12 ? "Y" : ""));
    StartedProgram program({.contacts = book, .settings = Stock5160});
    installTemplates(program);
    qsizetype copyRows = 0;
    const Outcome outcome = withLabelDialog(program, false, [&](frmLabel& dialog, int) {
        dialog.CountTXT->setText(QString::number(blanks[0]));
        dialog.findChild<QPushButton*>(button)->click();
        report::PrinterDialogService::setResponder([](auto&, auto&) { return true; });
        dialog.findChild<QPushButton*>(button)->click();
        copyRows = rowsOf(program.folder.file(QStringLiteral("print.mdb")), {}).size();
        dialog.Command1->click();
    });
    QCOMPARE(copyRows, book.size());
    QCOMPARE(QList<int>({outcome.runs.value(0).leaveBlank, outcome.runs.value(1).leaveBlank}),
             blanks);
    QCOMPARE(outcome.runs[1].windowTitle.contains(QString::number(blanks[1] + 1)), blanks[1] > 0);
}

void TestLabelsDialog::everyContactOnExactlyOneRun_data() {
    QTest::addColumn<QVariant>("secondLine");
    QTest::addColumn<int>("run");
    QTest::newRow("missing") << QVariant() << 1;
    QTest::newRow("empty text") << QVariant(QString()) << 1;
    QTest::newRow("blanks only") << QVariant(QStringLiteral("   ")) << 1;
    QTest::newRow("zero") << QVariant(QStringLiteral("0")) << 2;
    QTest::newRow("number sign") << QVariant(QStringLiteral("#12")) << 2;
    QTest::newRow("plain") << QVariant(QStringLiteral("Suite 4")) << 2;
}

void TestLabelsDialog::everyContactOnExactlyOneRun() {
    QFETCH(QVariant, secondLine);
    QFETCH(int, run);
    const report::FieldLookup row = [&](const QString&, const QString&) { return secondLine; };
    QCOMPARE(report::Formula::parse(frmLabel::NoSecondLineSelection).selects(row), run == 1);
    QCOMPARE(report::Formula::parse(frmLabel::SecondLineSelection).selects(row), run == 2);
}

void TestLabelsDialog::returnAddressSheet_data() {
    QTest::addColumn<QByteArray>("secondLine");
    QTest::addColumn<int>("suppliedRows");
    QTest::addColumn<QString>("report");
    QTest::newRow("no second line, no supplied database") << QByteArray() << -1 << "self1.rpt";
    QTest::newRow("second line, empty supplied database")
        << QByteArray("PO Box 7") << 0 << "self2.rpt";
    QTest::newRow("supplied rows count towards the sheet") << QByteArray() << 5 << "self1.rpt";
}

void TestLabelsDialog::returnAddressSheet() {
    QFETCH(QByteArray, secondLine);
    QFETCH(int, suppliedRows);
    QFETCH(QString, report);
    test::TempProgramFolder folder;
    if (suppliedRows >= 0) {
        QList<QVariantMap> rows;
        for (int i = 0; i < suppliedRows; ++i)
            rows << contact("Old", "Row");
        test::writeBook(folder.path() + QStringLiteral("/name1.mdb"), rows);
    }
    StartedProgram program(
        folder, {.contacts = sampleBook(), .settings = Stock5160 + returnAddress(secondLine)});
    const Outcome outcome = withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        dialog.Command6->click();
        dialog.Command1->click();
    });
    QCOMPARE(outcome.printerDialogs, 1);
    QCOMPARE(outcome.runs, QList<report::ReportRequest>({{report, {}, {}, {}, 0, {}}}));
    const QList<QStringList> sheet =
        rowsOf(folder.path() + QStringLiteral("/name.mdb"),
               {QStringLiteral("extra8"), QStringLiteral("address1"), QStringLiteral("address2"),
                QStringLiteral("city"), QStringLiteral("state"), QStringLiteral("zip")});
    QCOMPARE(sheet.size(), 80);
    const QStringList mine = {
        QStringLiteral("Ann Writer"), QStringLiteral("1 Main St"), QString::fromLatin1(secondLine),
        QStringLiteral("Albany"),     QStringLiteral("NY"),        QStringLiteral("12201")};
    QCOMPARE(sheet.count(mine), 80 - qMax(suppliedRows, 0));
}

void TestLabelsDialog::cancelledPrinterDialogPreviewsNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("complete") << "Command2";
    QTest::newRow("selected") << "Command3";
    QTest::newRow("return address") << "Command6";
}

void TestLabelsDialog::cancelledPrinterDialogPreviewsNothing() {
    QFETCH(QString, button);
    StartedProgram program({.contacts = sampleBook(), .settings = Stock5160 + returnAddress({})});
    bool stillOpen = false;
    const Outcome outcome = withLabelDialog(program, false, [&](frmLabel& dialog, int) {
        dialog.findChild<QPushButton*>(button)->click();
        stillOpen = dialog.isVisible();
        dialog.Command1->click();
    });
    QCOMPARE(outcome.printerDialogs, 1);
    QVERIFY(outcome.runs.isEmpty());
    QVERIFY(stillOpen);
}

void TestLabelsDialog::noStockChosenIsTold_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("complete") << "Command2";
    QTest::newRow("selected") << "Command3";
    QTest::newRow("return address") << "Command6";
}

// Without a label stock or a return address the job says where to give it, and prints nothing.
void TestLabelsDialog::noStockChosenIsTold() {
    QFETCH(QString, button);
    StartedProgram program({.contacts = sampleBook()});
    const Outcome outcome = withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        dialog.findChild<QPushButton*>(button)->click();
        dialog.Command1->click();
    });
    QCOMPARE(program.boxes.texts().size(), 1);
    QVERIFY(program.boxes.texts().front().contains(QLatin1String(" in User Settings")));
    QCOMPARE(outcome.printerDialogs, 0);
    QVERIFY(outcome.runs.isEmpty());
}

void TestLabelsDialog::badMissingCountIsRefused_data() {
    QTest::addColumn<QString>("count");
    QTest::newRow("not a number") << "three";
    QTest::newRow("negative") << "-1";
    QTest::newRow("the whole sheet of 30") << "30";
    QTest::newRow("empty") << "";
}

void TestLabelsDialog::badMissingCountIsRefused() {
    QFETCH(QString, count);
    StartedProgram program({.contacts = sampleBook(), .settings = Stock5160});
    int copyRows = 0;
    const Outcome outcome = withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        dialog.CountTXT->setText(count);
        dialog.Command2->click();
        copyRows = int(
            rowsOf(program.folder.path() + QStringLiteral("/print.mdb"), {QStringLiteral("name")})
                .size());
        dialog.Command1->click();
    });
    QCOMPARE(program.boxes.asked().size(), 1);
    QVERIFY2(program.boxes.texts().front().contains(QLatin1String("from 0 to 29")),
             qPrintable(program.boxes.texts().front()));
    QCOMPARE(outcome.printerDialogs, 0);
    QVERIFY(outcome.runs.isEmpty());
    QCOMPARE(copyRows, 3);
}

// A return-address copy that cannot be deleted: one message naming the step, nothing previewed,
// and the next job of the dialog still runs.
void TestLabelsDialog::failingStepIsToldAndTheDialogStaysUsable() {
    test::TempProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("name.mdb/in the way")));
    StartedProgram program(folder,
                           {.contacts = sampleBook(), .settings = Stock5160 + returnAddress({})});
    const Outcome outcome = withLabelDialog(program, true, [&](frmLabel& dialog, int) {
        dialog.Command6->click();
        dialog.Command2->click();
        dialog.Command1->click();
    });
    QCOMPARE(program.boxes.asked().size(), 1);
    QVERIFY2(program.boxes.texts().front().contains(QLatin1String("return-address copy")),
             qPrintable(program.boxes.texts().front()));
    QCOMPARE(outcome.runs.size(), 2);
    QCOMPARE(outcome.runs.front().reportFileName, QStringLiteral("5160-2.rpt"));
}

QTEST_MAIN(TestLabelsDialog)
#include "test_labels_dialog.moc"
