// The main window as a user meets it: its frame, start-up and shutdown, on real book files.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/FieldBinder.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/report/PrinterDialog.h"
#include "platform/ui/Geometry.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <functional>
#include <memory>
#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

using namespace quillory;
using quillory::test::StartedProgram;
using quillory::test::TempProgramFolder;

namespace {

QList<QVariantMap> threeContacts() {
    return {test::contactNamed(QStringLiteral("Smith"), QStringLiteral("Anna")),
            test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Carl")),
            test::contactNamed(QStringLiteral("Jones"), QStringLiteral("Beth"))};
}

// Counts how often a widget is shown.
class ShowSpy : public QObject {
public:
    explicit ShowSpy(QWidget* widget) { widget->installEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++shown;
        return false;
    }
};

// Shows the main window and closes it, answering Yes to the question; `whileShown` runs before
// the close. Returns how often the back-up notice was shown.
int closeAnsweringYes(StartedProgram& program, const std::function<void()>& whileShown = {}) {
    program.main->show();
    ShowSpy notice(program.main->frmBU);
    if (whileShown)
        whileShown();
    program.boxes.answer(ui::Answer::Yes);
    program.main->close();
    return notice.shown;
}

QString storedCity(const StartedProgram& program, const QString& last) {
    auto db = engine::Database::open(program.folder.file(QStringLiteral("Corvanel.MDB")));
    return db->scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE name = ?"), {last}).toString();
}

// The program with its window shown and active, its book holding `contacts` contacts named
// "N00", "N01", ..., and the help file and the address book's templates beside it.
std::unique_ptr<StartedProgram> activeProgram(int contacts = 3) {
    QList<QVariantMap> book;
    for (int i = 0; i < contacts; ++i)
        book.append(test::contactNamed(QStringLiteral("N%1").arg(i, 2, 10, QLatin1Char('0')), {}));
    auto program = std::make_unique<StartedProgram>(test::ProgramSetup{.contacts = book});
    for (const char* name : {"CORVANEL.hlp", "combook1.rpt", "combook2.rpt"})
        QFile::copy(QDir(qEnvironmentVariable("QUILLORY_ASSETS")).filePath(QLatin1String(name)),
                    program->folder.file(QLatin1String(name)));
    program->main->show();
    return QTest::qWaitForWindowActive(program->main) ? std::move(program) : nullptr;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startupShowsFirstSortedContact();
    void missingBookIsCreatedWithStandBy();
    void unreadableBookIsReportedAndLeftAlone();
    void menuTree_data();
    void menuTree();
    void popupMenuItems();
    void toolbarButtons();
    void toolbarDropDownItems();
    void toolbarStyleFromSettings_data();
    void toolbarStyleFromSettings();
    void boldAfterLoad();
    void boldNotReleasedByUnpressedKey();
    void statusBarPanels();
    void cardBoxesLimitsAndFocusOrder();
    void longerValuesStayWhole_data();
    void longerValuesStayWhole();
    void refusedTypingIsToldNotThrown();
    void gridHiddenWithItsColumns();
    void gridWidthsComeFromSettings();
    void unknownCommandKeysDoNothing();
    void quitAnsweredNoKeepsRunningWithFilesWritten();
    void quitAnsweredYesMakesBackup();
    void quitWithoutAutoBackupWritesNone();
    void failedAutoBackupKeepsPreviousBackup_data();
    void failedAutoBackupKeepsPreviousBackup();
    void quitWritesTheTyping_data();
    void quitWritesTheTyping();
    void quitWithTypingThatCannotBeWritten_data();
    void quitWithTypingThatCannotBeWritten();
    void sessionEndAsksOnlyWhenAllowed_data();
    void sessionEndAsksOnlyWhenAllowed();
    void windowGeometryRoundTrips();
    void keysDoWhatTheirMenuItemsDo_data();
    void keysDoWhatTheirMenuItemsDo();
    void altLettersOpenMenusAndNeverType_data();
    void altLettersOpenMenusAndNeverType();
    void gridColumnsNamedForUsers();
    void centerFormAllowsNegativeCoordinates();
    // Runs the application's event loop to its end: kept last.
    void sessionEndWritesTheTyping();
};

void TestMainWindow::startupShowsFirstSortedContact() {
    StartedProgram program({.contacts = threeContacts()});
    frmMain& main = *program.main;

    QCOMPARE(main.windowTitle(), QStringLiteral("Quillory"));
    QCOMPARE(main.Data1->recordSource(),
             QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef"));
    QCOMPARE(main.Text1->text(), QStringLiteral("Brown"));
    QCOMPARE(main.Text12->text(), QStringLiteral("Carl"));
    QCOMPARE(main.PositionLBL->text(), QStringLiteral("1"));
    QCOMPARE(main.StatusBar1->panelText(StatusPanels::Contact),
             QStringLiteral("Data for Carl Brown"));
    QVERIFY(main.DBGrid2->isHidden());
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestMainWindow::missingBookIsCreatedWithStandBy() {
    StartedProgram program;

    QVERIFY(program.folder.exists(QStringLiteral("Corvanel.MDB")));
    QVERIFY(program.folder.exists(QStringLiteral("db.MDB")));
    QVERIFY(engine::Database::open(program.folder.file(QStringLiteral("db.MDB")))->isBook());
    QVERIFY(program.main->Data1->bof() && program.main->Data1->eof());
    QCOMPARE(program.main->PositionLBL->text(), QStringLiteral("0"));
    QCOMPARE(program.main->StatusBar1->panelText(StatusPanels::Contact),
             QStringLiteral("Data for  "));
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestMainWindow::unreadableBookIsReportedAndLeftAlone() {
    TempProgramFolder folder;
    const QByteArray garbage = QByteArray("This is a letter, not an address book.\n").repeated(200);
    folder.write(QStringLiteral("Corvanel.MDB"), garbage);
    StartedProgram program(folder);

    QCOMPARE(program.boxes.asked().size(), 1);
    const QString text = program.boxes.asked().first().text;
    QVERIFY2(text.contains(QStringLiteral("Corvanel.MDB")), qPrintable(text));
    QCOMPARE(folder.read(QStringLiteral("Corvanel.MDB")), garbage);

    // Still usable: moves and the toolbar do not crash, nothing is written over the file.
    program.main->Toolbar1->clickButton(9);
    program.main->Toolbar2->clickButton(7);
    QVERIFY(program.main->isEnabled());
    QCOMPARE(folder.read(QStringLiteral("Corvanel.MDB")), garbage);
}

void TestMainWindow::menuTree_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("parent");
    const char* rows[][3] = {
        {"mnuAdd", "Add &new record", "mnuFile"},
        {"mnuSave", "&Save current record", "mnuFile"},
        {"mnuDel", "&Delete current record", "mnuFile"},
        {"mnuUser", "&User settings", "mnuFile"},
        {"mnuExit", "&Exit ", "mnuFile"},
        {"mnuPer", "&Personal contacts", "mnuCon"},
        {"mnuBus", "&Business contacts", "mnuCon"},
        {"mnuAll", "&All contacts", "mnuCon"},
        {"mnuBOF", "Move to &first record", "mnuData"},
        {"mnuUp", "Move &up one record", "mnuData"},
        {"mnuDown", "Move &down one record", "mnuData"},
        {"mnuEOF", "Move to &last record", "mnuData"},
        {"mnuBold", "&Bold font", "mnuUtil"},
        {"mnuEmail", "S&end Email or go to Web Page", "mnuUtil"},
        {"mnuDial", "&Dial a number", "mnuUtil"},
        {"mnuPrint", "&Printing options", "mnuUtil"},
        {"mnuSearch", "&Search for an individual", "mnuUtil"},
        {"mnuWrite", "&Word processor", "mnuUtil"},
        {"mnuComDB", "&Compact Database", "mnuDBU"},
        {"mnuRepDB", "&Repair Database", "mnuDBU"},
        {"mnuBUDB", "&Back-up Database", "mnuDBU"},
        {"mnuResDB", "Res&tore Database from Back-up", "mnuDBU"},
        {"mnuHelpfile", "Help &contents", "mnuHelp"},
        {"mnuTip", "Show &Tips", "mnuHelp"},
        {"mnuSupp", "&Support and Updates", "mnuHelp"},
        {"mnuAbout", "&About the program", "mnuHelp"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1])
                              << QString::fromLatin1(row[2]);
}

void TestMainWindow::menuTree() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, parent);
    StartedProgram program;

    auto* action = program.main->findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->text(), caption);
    QVERIFY(!action->isCheckable());
    auto* menu = program.main->findChild<QMenu*>(parent);
    QVERIFY(menu);
    QVERIFY(menu->actions().contains(action));
}

void TestMainWindow::popupMenuItems() {
    StartedProgram program;
    frmMain& main = *program.main;

    // The menu bar: five menus and "View Photo" as an item of the bar itself, in this order.
    QStringList bar;
    for (QAction* action : main.menuBar()->actions())
        bar.append(action->text());
    QCOMPARE(bar, (QStringList{QStringLiteral("&File"), QStringLiteral("&Data"),
                               QStringLiteral("&Utilities"), QStringLiteral("&View Photo"),
                               QStringLiteral("&Help")}));
    QVERIFY(!main.mnuVeiw->menu());

    // "Data Options" is a popup only.
    QCOMPARE(main.mnuDataHid->title(), QStringLiteral("Data Options"));
    QVERIFY(!main.menuBar()->actions().contains(main.mnuDataHid->menuAction()));
    QStringList items;
    for (QAction* action : main.mnuDataHid->actions())
        items.append(action->objectName() + QLatin1Char('=') + action->text());
    QCOMPARE(items, (QStringList{QStringLiteral("mnuAddHid=Add New Entry"),
                                 QStringLiteral("mnuSaveHid=Save Entry"),
                                 QStringLiteral("mnuDelHid=Delete current entry"),
                                 QStringLiteral("mnuUndoDelHid=Undo delete")}));
}

void TestMainWindow::toolbarButtons() {
    StartedProgram program;
    frmMain& main = *program.main;

    const QStringList keys = {QStringLiteral("type"),
                              QString(),
                              QStringLiteral("add"),
                              QStringLiteral("save"),
                              QStringLiteral("delete"),
                              QString(),
                              QStringLiteral("bof"),
                              QStringLiteral("up"),
                              QStringLiteral("down"),
                              QStringLiteral("eof"),
                              QString(),
                              QStringLiteral("font"),
                              QStringLiteral("Send"),
                              QStringLiteral("dial"),
                              QStringLiteral("search"),
                              QStringLiteral("print"),
                              QStringLiteral("write"),
                              QStringLiteral("prevpic"),
                              QString(),
                              QStringLiteral("user"),
                              QStringLiteral("grid"),
                              QStringLiteral("help"),
                              QStringLiteral("utils"),
                              QStringLiteral("exit")};
    for (CommandToolbar* bar : {main.Toolbar1, main.Toolbar2}) {
        for (int i = 1; i <= 24; ++i) {
            QCOMPARE(bar->key(i), keys[i - 1]);
            QCOMPARE(bar->button(i) == nullptr, keys[i - 1].isEmpty());
        }
        QVERIFY(bar->button(12)->isCheckable());
        QVERIFY(bar->button(21)->isCheckable());
        QVERIFY(!bar->button(3)->isCheckable());
        QVERIFY(bar->button(1)->menu());
        QVERIFY(bar->button(23)->menu());
        QCOMPARE(bar->button(12)->toolTip(), QStringLiteral("Select \"Bold\" fonts in book"));
    }
    QCOMPARE(main.Toolbar1->button(3)->text(), QStringLiteral("New"));
    QCOMPARE(main.Toolbar1->button(24)->text(), QStringLiteral("Exit"));
    QVERIFY(main.Toolbar2->button(3)->text().isEmpty());
    QCOMPARE(main.Toolbar1->button(4)->toolTip(),
             QStringLiteral("Save current entry into database"));
    QCOMPARE(main.Toolbar2->button(4)->toolTip(), QStringLiteral("Save a new entry into database"));
    QCOMPARE(main.Toolbar1->button(5)->toolTip(),
             QStringLiteral("Delete current entry into database"));
    QCOMPARE(main.Toolbar2->button(5)->toolTip(),
             QStringLiteral("Delete current entry in database"));
    // Where the two toolbars say the same, the large one shows the small one's tip.
    QCOMPARE(main.Toolbar2->button(24)->toolTip(), QStringLiteral("Exit the program"));
    QCOMPARE(main.Toolbar2->button(1)->toolTip(),
             QStringLiteral("Select which contacts you would like to view"));
    QCOMPARE(main.Toolbar1->iconSize(), QSize(16, 16));
    QCOMPARE(main.Toolbar2->iconSize(), QSize(24, 24));
    // Every picture is there: an icon that failed to load has no sizes.
    for (CommandToolbar* bar : {main.Toolbar1, main.Toolbar2}) {
        for (int i = 1; i <= 24; ++i) {
            if (bar->button(i))
                QVERIFY2(!bar->button(i)->icon().availableSizes().isEmpty() ||
                             !bar->button(i)->icon().pixmap(16, 16).isNull(),
                         qPrintable(bar->key(i)));
        }
    }
}

void TestMainWindow::toolbarDropDownItems() {
    StartedProgram program;
    for (CommandToolbar* bar : {program.main->Toolbar1, program.main->Toolbar2}) {
        QStringList type;
        for (QAction* a : bar->button(1)->menu()->actions())
            type.append(a->text() + QLatin1Char('/') + a->data().toString());
        QCOMPARE(type, (QStringList{QStringLiteral("Personal/pers"), QStringLiteral("Business/bus"),
                                    QStringLiteral("Show all/all")}));
        QStringList utils;
        for (QAction* a : bar->button(23)->menu()->actions())
            utils.append(a->text() + QLatin1Char('/') + a->data().toString());
        QCOMPARE(utils, (QStringList{QStringLiteral("Compact Database/CD"),
                                     QStringLiteral("Repair Database/RD"),
                                     QStringLiteral("Backup Database/BD"),
                                     QStringLiteral("Restore Database/RsD")}));
    }
}

void TestMainWindow::toolbarStyleFromSettings_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("large");
    QTest::newRow("no file") << QByteArray() << true;
    QTest::newRow("large images") << QByteArray("IO=True\nTI=False\n") << true;
    QTest::newRow("text and images") << QByteArray("IO=False\nTI=True\n") << false;
}

void TestMainWindow::toolbarStyleFromSettings() {
    QFETCH(QByteArray, settings);
    QFETCH(bool, large);
    StartedProgram program({.settings = settings});
    QCOMPARE(!program.main->Toolbar2->isHidden(), large);
    QCOMPARE(!program.main->Toolbar1->isHidden(), !large);
}

void TestMainWindow::boldAfterLoad() {
    StartedProgram program({.settings = "fontType=tbrPressed\n"});
    frmMain& main = *program.main;
    QVERIFY(main.Toolbar1->value(12));
    QVERIFY(main.Toolbar2->value(12));
    for (QWidget* box :
         std::initializer_list<QWidget*>{main.Text1, main.Text11, main.Text18, main.CboContact})
        QVERIFY2(box->font().bold(), qPrintable(box->objectName()));
}

void TestMainWindow::boldNotReleasedByUnpressedKey() {
    StartedProgram program;
    frmMain& main = *program.main;
    QVERIFY(!main.Text1->font().bold());
    main.Toolbar1->setValue(12, true);
    main.Toolbar2->setValue(12, true);
    main.ApplyBoldFont();
    test::writeSettings(program.folder, "fontType=tbrUnpressed\n");
    program.context->LoadSettings();
    QVERIFY(main.Toolbar2->value(12));
    QVERIFY(main.Text1->font().bold());
    // Only a save records the new state.
    program.context->SaveSettings();
    QVERIFY(program.folder.read(QStringLiteral("Corvanel.hig")).contains("fontType=tbrPressed"));
}

void TestMainWindow::statusBarPanels() {
    StartedProgram program(
        {.contacts = QList{test::contactNamed(QStringLiteral("Ng"), QString())}});
    StatusPanels* bar = program.main->StatusBar1;
    QCOMPARE(bar->panelText(StatusPanels::View), QStringLiteral("All Contacts"));
    // An empty first name keeps its blank: "Data for " + "" + " " + "Ng".
    QCOMPARE(bar->panelText(StatusPanels::Contact), QStringLiteral("Data for  Ng"));
    QCOMPARE(bar->panelText(StatusPanels::CapsLock), QStringLiteral("CAPS"));
    QCOMPARE(bar->panelText(StatusPanels::NumLock), QStringLiteral("NUM"));
    QCOMPARE(bar->panelText(StatusPanels::ScrollLock), QStringLiteral("SCRL"));
    QCOMPARE(bar->panelText(StatusPanels::Insert), QStringLiteral("INS"));
    QVERIFY(!bar->panelText(StatusPanels::Time).isEmpty());
    QVERIFY(!bar->panelText(StatusPanels::Date).isEmpty());

    // Insert flips the insert indicator wherever the caret is.
    program.main->show();
    QVERIFY(QTest::qWaitForWindowActive(program.main));
    program.main->Text4->setFocus();
    QVERIFY(bar->insertMode());
    QTest::keyClick(program.main->Text4, Qt::Key_Insert);
    QVERIFY(!bar->insertMode());
    QVERIFY(!bar->findChild<QLabel*>(QStringLiteral("StatusBar1_insert"))->isEnabled());
    QTest::keyClick(program.main->Text4, Qt::Key_Insert);
    QVERIFY(bar->insertMode());
}

void TestMainWindow::cardBoxesLimitsAndFocusOrder() {
    StartedProgram program;
    frmMain& main = *program.main;

    const QList<QPair<QString, int>> limits = {
        {QStringLiteral("Text1"), 50},  {QStringLiteral("Text12"), 50},
        {QStringLiteral("Text2"), 50},  {QStringLiteral("Text3"), 50},
        {QStringLiteral("Text4"), 30},  {QStringLiteral("Text5"), 2},
        {QStringLiteral("Text6"), 20},  {QStringLiteral("Text7"), 30},
        {QStringLiteral("Text13"), 30}, {QStringLiteral("Text14"), 30},
        {QStringLiteral("Text16"), 30}, {QStringLiteral("Text8"), 30},
        {QStringLiteral("Text15"), 30}, {QStringLiteral("Text10"), 9},
        {QStringLiteral("Text9"), 50},  {QStringLiteral("Text18"), 32767}};
    for (const auto& [name, limit] : limits) {
        auto* box = main.findChild<QLineEdit*>(name);
        QVERIFY2(box, qPrintable(name));
        QCOMPARE(box->maxLength(), limit);
    }

    // The keyboard visits the fields in the card's order, remarks last.
    QStringList order;
    QWidget* w = main.Text1;
    for (int i = 0; i < 17; ++i) {
        order.append(w->objectName());
        w = w->nextInFocusChain();
        while (w && (!w->isVisibleTo(&main) || w->focusPolicy() == Qt::NoFocus ||
                     w->objectName().isEmpty()))
            w = w->nextInFocusChain();
    }
    QCOMPARE(order, (QStringList{
                        QStringLiteral("Text1"), QStringLiteral("Text12"), QStringLiteral("Text2"),
                        QStringLiteral("Text3"), QStringLiteral("Text4"), QStringLiteral("Text5"),
                        QStringLiteral("Text6"), QStringLiteral("Text7"), QStringLiteral("Text13"),
                        QStringLiteral("Text14"), QStringLiteral("Text16"), QStringLiteral("Text8"),
                        QStringLiteral("Text15"), QStringLiteral("Text10"), QStringLiteral("Text9"),
                        QStringLiteral("Text18"), QStringLiteral("Text11")}));

    // Captions of the labels and the hidden controls.
    QCOMPARE(main.fieldLabels.value(QStringLiteral("Text1"))->text(), QStringLiteral("Name-Last:"));
    QCOMPARE(main.fieldLabels.value(QStringLiteral("Text10"))->text(),
             QStringLiteral("Birthdate MM/DD/YY:"));
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             main.Text17, main.Label5, main.PositionLBL, main.lblFontT, main.lblDrive, main.pix1})
        QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
    QCOMPARE(main.lblDrive->text(), QStringLiteral("Unknown"));
    QCOMPARE(main.CboContact->count(), 2);
    QCOMPARE(main.CboContact->itemText(0), QStringLiteral("Personal Contact"));
    QCOMPARE(main.CboContact->itemText(1), QStringLiteral("Business Contact"));
    QCOMPARE(main.pic->toolTip(), QStringLiteral("Your photos will be here"));
    QCOMPARE(main.Command5->text(), QStringLiteral("Add Photo"));
    QCOMPARE(main.Command4->text(), QStringLiteral("Delete Photo"));
    for (int k = 0; k < 26; ++k)
        QCOMPARE(main.Command2[size_t(k)]->text(), QString(QChar(u'A' + k)));
}

void TestMainWindow::longerValuesStayWhole_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("imported state") << "Text5"
                                    << "state"
                                    << "California";
    QTest::newRow("31-character phone") << "Text7"
                                        << "phone" << QString(31, u'5');
    QTest::newRow("60-character name") << "Text1"
                                       << "name" << QString(60, u'L');
}

void TestMainWindow::longerValuesStayWhole() {
    QFETCH(QString, box);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QVariantMap contact = test::contactNamed(QStringLiteral("Brown"), QStringLiteral("Carl"));
    contact.insert(field, value);
    StartedProgram program({.contacts = QList{contact, threeContacts().first()}});
    auto stored = [&](const QString& name) {
        auto db = engine::Database::open(program.folder.file(QStringLiteral("Corvanel.MDB")));
        return db->scalar(QStringLiteral("SELECT %1 FROM PhoneBK WHERE id = 1").arg(name));
    };
    auto* shown = program.main->findChild<QLineEdit*>(box);
    QCOMPARE(shown->text(), value);
    QVERIFY(!shown->toolTip().isEmpty());
    // Another box edited and saved: the value is stored whole, in the display name too.
    QTest::keyClicks(program.main->Text4, QStringLiteral("x"));
    program.main->runMenuCommand(QStringLiteral("save"));
    QCOMPARE(stored(field).toString(), value);
    QVERIFY(stored(QStringLiteral("extra8")).toString().endsWith(stored("name").toString()));
    // Edited by the user: only what was edited changes.
    QTest::keyClick(shown, Qt::Key_End);
    QTest::keyClick(shown, Qt::Key_Backspace);
    program.main->runMenuCommand(QStringLiteral("down"));
    QCOMPARE(stored(field).toString(), value.chopped(1));
    // A contact whose value fits: unmarked, and the box's limit holds for typing.
    QVERIFY(shown->toolTip().isEmpty());
    QTest::keyClicks(shown, value);
    QVERIFY(shown->text().size() < value.size());
}

void TestMainWindow::refusedTypingIsToldNotThrown() {
    // A book whose table lost a column the card shows.
    TempProgramFolder folder;
    const QString path = folder.file(QStringLiteral("Corvanel.MDB"));
    test::writeBook(path, threeContacts());
    engine::Database::open(path)->exec(QStringLiteral("ALTER TABLE PhoneBK DROP COLUMN city"));
    test::ScriptedMessageBoxes boxes;
    engine::DataSource source;
    source.setDatabaseName(path);
    source.setRecordSource(QStringLiteral("PhoneBK"));
    source.refresh();
    QLineEdit city;
    FieldBinder binder(source);
    binder.bind(&city, QStringLiteral("city"));
    QTest::keyClicks(&city, QStringLiteral("Oslo"));
    QCOMPARE(boxes.asked().size(), 1); // told once, not at every key
}

void TestMainWindow::gridHiddenWithItsColumns() {
    StartedProgram program({.contacts = threeContacts()});
    QTableView* grid = program.main->DBGrid2;
    QVERIFY(grid->isHidden());
    QCOMPARE(grid->model()->columnCount(), 24);
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Contact Type"));
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("Brown"));
    QCOMPARE(grid->model()->index(2, 2).data().toString(), QStringLiteral("Anna"));
}

void TestMainWindow::gridWidthsComeFromSettings() {
    StartedProgram program({.settings = "Grid0=3000\nGrid16=1035.5\n"});
    QTableView* grid = program.main->DBGrid2;
    QCOMPARE(grid->columnWidth(0), ui::twipsToPixels(3000));
    QCOMPARE(grid->columnWidth(16), ui::twipsToPixels(1035.5));
    // Resized by the user, then the settings are loaded again: back to the stored widths.
    grid->setColumnWidth(0, 40);
    program.context->LoadSettings();
    QCOMPARE(grid->columnWidth(0), ui::twipsToPixels(3000));
    // An unchanged fractional width is written back as it was.
    program.context->SaveSettings();
    QVERIFY(program.folder.read(QStringLiteral("Corvanel.hig")).contains("Grid16=1035.5"));
}

void TestMainWindow::unknownCommandKeysDoNothing() {
    StartedProgram program({.contacts = threeContacts()});
    QVERIFY(!program.context->commands().run(QStringLiteral("EXIT"), CommandOrigin::Menu));
    QVERIFY(!program.context->commands().run(QStringLiteral("nothing"), CommandOrigin::Toolbar1));
    QVERIFY(program.context->commands().contains(QStringLiteral("exit")));
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestMainWindow::quitAnsweredNoKeepsRunningWithFilesWritten() {
    StartedProgram program({.contacts = threeContacts()});
    program.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.main));
    program.boxes.answer(ui::Answer::No);

    program.main->Toolbar1->clickButton(24); // "exit"

    QCOMPARE(program.boxes.asked().size(), 1);
    test::verifyQuestion(program.boxes, QStringLiteral("Are you sure you want to QUIT!"),
                         QStringLiteral("Quillory"));
    QVERIFY(program.main->isVisible());
    QVERIFY(program.folder.exists(QStringLiteral("Corvanel.hig")));
    QVERIFY(program.folder.exists(QStringLiteral("Corvanel.win")));
    const QByteArray geometry = program.folder.read(QStringLiteral("Corvanel.win"));
    for (const char* key : {"Left=", "Top=", "Width=", "Height="})
        QVERIFY2(geometry.contains(key), key);
    QVERIFY(!program.folder.exists(QStringLiteral("Corvanel.MD1")));
    QCOMPARE(program.main->Text1->text(), QStringLiteral("Brown"));
}

void TestMainWindow::quitAnsweredYesMakesBackup() {
    StartedProgram program({.contacts = threeContacts()});

    const int noticeShown = closeAnsweringYes(program);

    QVERIFY(!program.main->isVisible());
    QCOMPARE(noticeShown, 1);
    QVERIFY(program.main->frmBU->isHidden());
    QVERIFY(program.folder.exists(QStringLiteral("Corvanel.MD1")));
    QCOMPARE(test::bookNames(program.folder.file(QStringLiteral("Corvanel.MD1"))),
             test::bookNames(program.folder.file(QStringLiteral("Corvanel.MDB"))));
    QCOMPARE(test::bookNames(program.folder.file(QStringLiteral("Corvanel.MD1"))).size(), 3);
    QVERIFY(!program.folder.exists(QStringLiteral("Corvanel.MD1.new")));
}

void TestMainWindow::quitWithoutAutoBackupWritesNone() {
    StartedProgram program({.contacts = threeContacts(), .settings = "BUdata=0\n"});
    QCOMPARE(closeAnsweringYes(program), 0);
    QVERIFY(!program.folder.exists(QStringLiteral("Corvanel.MD1")));
}

void TestMainWindow::failedAutoBackupKeepsPreviousBackup_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("book turned unreadable") << "unreadable";
    QTest::newRow("a folder where the new back-up goes") << "in the way";
}

void TestMainWindow::failedAutoBackupKeepsPreviousBackup() {
    QFETCH(QString, fault);
    StartedProgram program({.contacts = threeContacts()});
    test::writeBook(program.folder.file(QStringLiteral("Corvanel.MD1")),
                    {test::contactNamed(QStringLiteral("Old"), QStringLiteral("Backup"))});
    const QByteArray previous = program.folder.read(QStringLiteral("Corvanel.MD1"));
    // Something happens while the program runs, so that the new back-up cannot be made.
    closeAnsweringYes(program, [&] {
        if (fault == QLatin1String("unreadable")) {
            QFile::remove(program.folder.file(QStringLiteral("Corvanel.MDB")));
            program.folder.write(QStringLiteral("Corvanel.MDB"), QByteArray(8192, 'x'));
        } else {
            QDir(program.folder.path()).mkpath(QStringLiteral("Corvanel.MD1.new/inside"));
        }
    });

    QCOMPARE(program.folder.read(QStringLiteral("Corvanel.MD1")), previous);
    QVERIFY(!program.main->isVisible());
    // The question, then the news that no back-up was made, before the program ends.
    QCOMPARE(program.boxes.asked().size(), 2);
    const ui::MessageRequest told = program.boxes.asked().at(1);
    QVERIFY2(
        told.text.startsWith(QStringLiteral("The address book could not be backed up on exit.")),
        qPrintable(told.text));
    QCOMPARE(told.buttons, ui::Buttons::Ok);
    QCOMPARE(told.icon, ui::Icon::Exclamation);
}

void TestMainWindow::quitWritesTheTyping_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Exit, automatic back-up off") << QByteArray("BUdata=0\n") << false;
    QTest::newRow("Exit, automatic back-up on") << QByteArray("BUdata=1\n") << false;
    QTest::newRow("close box, automatic back-up off") << QByteArray("BUdata=0\n") << true;
    QTest::newRow("close box, automatic back-up on") << QByteArray("BUdata=1\n") << true;
}

void TestMainWindow::quitWritesTheTyping() {
    QFETCH(QByteArray, settings);
    QFETCH(bool, closeBox);
    StartedProgram program({.contacts = threeContacts(), .settings = settings});
    program.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.main));
    program.main->Text4->setText(QStringLiteral("Lisbon"));
    program.boxes.answer(ui::Answer::Yes);
    if (closeBox) {
        QCloseEvent close;
        QApplication::sendEvent(program.main->windowHandle(), &close);
    } else {
        program.main->Toolbar1->clickButton(24);
    }
    QVERIFY(!program.main->isVisible());
    QCOMPARE(program.boxes.asked().size(), 1);
    QCOMPARE(storedCity(program, QStringLiteral("Brown")), QStringLiteral("Lisbon"));
}

void TestMainWindow::quitWithTypingThatCannotBeWritten_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ends");
    QTest::newRow("stay") << int(ui::Answer::No) << false;
    QTest::newRow("quit without it") << int(ui::Answer::Yes) << true;
}

void TestMainWindow::quitWithTypingThatCannotBeWritten() {
    QFETCH(int, answer);
    QFETCH(bool, ends);
    StartedProgram program({.contacts = threeContacts(), .settings = "BUdata=0\n"});
    program.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.main));
    program.main->Text4->setText(QStringLiteral("Lisbon"));
    test::BookWriteLock lock(program.folder.file(QStringLiteral("Corvanel.MDB")));

    program.boxes.answer(ui::Answer::Yes);
    program.boxes.answer(ui::Answer(answer));
    program.main->close();

    QCOMPARE(program.boxes.asked().size(), 2);
    const ui::MessageRequest asked = program.boxes.asked().at(1);
    QVERIFY2(asked.text.startsWith(QStringLiteral("The changes to this card could not be saved.")),
             qPrintable(asked.text));
    QCOMPARE(asked.buttons, ui::Buttons::YesNo);
    QCOMPARE(asked.defaultButton, 1);
    QCOMPARE(program.main->isVisible(), !ends);
    if (!ends) {
        // Still there to be written once the book is free.
        QCOMPARE(program.main->Text4->text(), QStringLiteral("Lisbon"));
        lock.release();
        program.boxes.clear();
        program.boxes.answer(ui::Answer::Yes);
        program.main->close();
        QVERIFY(!program.main->isVisible());
        QCOMPARE(storedCity(program, QStringLiteral("Brown")), QStringLiteral("Lisbon"));
    }
}

void TestMainWindow::sessionEndWritesTheTyping() {
    StartedProgram program({.contacts = threeContacts()});
    program.main->Text4->setText(QStringLiteral("Lisbon"));
    // The event loop ends without the window being closed, as when the desktop session ends.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    QVERIFY(program.boxes.asked().isEmpty());
    QCOMPARE(storedCity(program, QStringLiteral("Brown")), QStringLiteral("Lisbon"));
}

void TestMainWindow::sessionEndAsksOnlyWhenAllowed_data() {
    QTest::addColumn<bool>("mayAsk");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("ends");
    QTest::newRow("no question allowed") << false << int(ui::Answer::No) << true;
    QTest::newRow("allowed, the user stays") << true << int(ui::Answer::No) << false;
    QTest::newRow("allowed, the user quits") << true << int(ui::Answer::Yes) << true;
}

void TestMainWindow::sessionEndAsksOnlyWhenAllowed() {
    QFETCH(bool, mayAsk);
    QFETCH(int, answer);
    QFETCH(bool, ends);
    StartedProgram program({.contacts = threeContacts()});
    program.main->Text4->setText(QStringLiteral("Lisbon"));
    test::BookWriteLock lock(program.folder.file(QStringLiteral("Corvanel.MDB")));
    program.boxes.answer(ui::Answer(answer));
    QCOMPARE(program.main->typingKeptForQuit([mayAsk] { return mayAsk; }), ends);
    QCOMPARE(program.boxes.asked().size(), mayAsk ? 1 : 0);
    QCOMPARE(program.main->Text4->text(), QStringLiteral("Lisbon"));
}

void TestMainWindow::windowGeometryRoundTrips() {
    // The window comes back where and as large as it was left, start after start: the frame
    // is not added to the stored size each time.
    TempProgramFolder folder;
    folder.write(QStringLiteral("Corvanel.win"),
                 "[User Prefs]\nLeft=1500\nTop=1200\nWidth=12000\nHeight=9000\n");
    for (int start = 0; start < 2; ++start) {
        StartedProgram program(folder);
        program.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(program.main));
        QTest::qWait(20);
        program.boxes.answer(ui::Answer::No);
        program.main->close();
        const QByteArray stored = folder.read(QStringLiteral("Corvanel.win"));
        QVERIFY2(stored.contains("Width=12000") && stored.contains("Height=9000"),
                 stored.constData());
    }
}

void TestMainWindow::keysDoWhatTheirMenuItemsDo_data() {
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("box");      // where the caret is
    QTest::addColumn<QString>("menuItem"); // none: the box uses the key for itself
    const auto row = [](const char* name, const QKeySequence& key, const char* box,
                        const char* item) {
        QTest::newRow(name) << key << QString::fromLatin1(box) << QString::fromLatin1(item);
    };
    row("New", QKeySequence::New, "Text4", "mnuAdd");
    row("Save", QKeySequence::Save, "Text4", "mnuSave");
    row("Find", QKeySequence::Find, "Text4", "mnuSearch");
    row("Print", QKeySequence::Print, "Text4", "mnuPrint");
    row("Help", QKeySequence::HelpContents, "Text4", "mnuHelpfile");
    // Where the desktop's key scheme has a key to quit, it is this one.
    row("Quit", Qt::CTRL | Qt::Key_Q, "Text4", "mnuExit");
    for (const char* box : {"Text4", "CboContact"}) {
        QTest::addRow("%s PageDown", box) << QKeySequence(Qt::Key_PageDown) << box << "mnuDown";
        QTest::addRow("%s PageUp", box) << QKeySequence(Qt::Key_PageUp) << box << "mnuUp";
        QTest::addRow("%s Ctrl+Home", box)
            << QKeySequence(Qt::CTRL | Qt::Key_Home) << box << "mnuBOF";
        QTest::addRow("%s Ctrl+End", box)
            << QKeySequence(Qt::CTRL | Qt::Key_End) << box << "mnuEOF";
    }
    // The remarks page through their own lines, the grid through its rows (to the first).
    row("remarks PageDown", Qt::Key_PageDown, "Text11", "");
    row("grid PageUp", Qt::Key_PageUp, "DBGrid2", "mnuBOF");
}

void TestMainWindow::keysDoWhatTheirMenuItemsDo() {
    QFETCH(QKeySequence, key);
    QFETCH(QString, box);
    QFETCH(QString, menuItem);
    // What a user sees of a command on the third card, with typing on it: the dialogs and
    // windows it opens (the printing options print the address book), each of which Escape
    // closes, the questions it asks and the card it leaves.
    const auto observe = [&](const std::function<void(frmMain&)>& act, QStringList& seen) {
        const auto program = activeProgram(40);
        QVERIFY(program);
        frmMain& main = *program->main;
        main.mnuDown->trigger();
        main.mnuDown->trigger();
        QTest::keyClicks(main.Text4, QStringLiteral("x"));
        if (box == QLatin1String("DBGrid2"))
            main.Toolbar2->clickButton(21);
        main.findChild<QWidget*>(box)->setFocus();
        report::PrinterDialogService::setResponder([](const auto&, QPrinter&) { return true; });
        const auto restore = qScopeGuard([] { report::PrinterDialogService::setResponder({}); });
        test::ModalScript dialogs([&](QDialog& dialog) {
            seen.append(dialog.objectName());
            if (auto* book = dialog.findChild<QAbstractButton*>(QStringLiteral("OptAdd"))) {
                book->click();
                dialog.findChild<QAbstractButton*>(QStringLiteral("Command1"))->click();
            }
        });
        program->boxes.answer(ui::Answer::No);
        act(main);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible() || window == &main)
                continue;
            seen.append(window->objectName());
            window->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), window);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QTRY_VERIFY(!window->isVisible());
        }
        seen += program->boxes.texts();
        seen << main.Text1->text() << main.Text4->text()
             << QStringLiteral("new card: %1, typing kept: %2")
                    .arg(main.Data1->isAdding())
                    .arg(main.Data1->hasPendingEdits());
    };
    QStringList untouched, byMenu, byKey;
    observe([](frmMain&) {}, untouched);
    if (!menuItem.isEmpty())
        observe([&](frmMain& main) { main.findChild<QAction*>(menuItem)->trigger(); }, byMenu);
    observe([&](frmMain&) { QTest::keySequence(QApplication::focusWidget(), key); }, byKey);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(menuItem.isEmpty() || byMenu != untouched);
    QCOMPARE(byKey, menuItem.isEmpty() ? untouched : byMenu);
}

void TestMainWindow::altLettersOpenMenusAndNeverType_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("letter");
    QTest::addColumn<QString>("menu"); // opened by the letter; none for a letter no menu has
    for (const char* box : {"Text4", "Text11", "CboContact"}) {
        QTest::addRow("%s Alt+F", box) << box << int(Qt::Key_F) << "mnuFile";
        QTest::addRow("%s Alt+D", box) << box << int(Qt::Key_D) << "mnuData";
        QTest::addRow("%s Alt+U", box) << box << int(Qt::Key_U) << "mnuUtil";
        QTest::addRow("%s Alt+H", box) << box << int(Qt::Key_H) << "mnuHelp";
        QTest::addRow("%s Alt+P", box) << box << int(Qt::Key_P) << "";
    }
}

void TestMainWindow::altLettersOpenMenusAndNeverType() {
    QFETCH(QString, box);
    QFETCH(int, letter);
    QFETCH(QString, menu);
    const auto program = activeProgram();
    QVERIFY(program);
    auto* focus = program->main->findChild<QWidget*>(box);
    focus->setFocus();

    QTest::keyClick(focus, Qt::Key(letter), Qt::AltModifier);

    QWidget* popup = QApplication::activePopupWidget();
    QCOMPARE(popup ? popup->objectName() : QString(), menu);
    if (popup)
        popup->close();
    QVERIFY(!program->main->Data1->hasPendingEdits());
}

void TestMainWindow::gridColumnsNamedForUsers() {
    QVariantMap contact = test::contactNamed(QStringLiteral("Lund"), QStringLiteral("Eva"));
    contact.insert(QStringLiteral("extra6"), QStringLiteral("www.lund.example"));
    StartedProgram program({.contacts = QList{contact}});
    frmMain& main = *program.main;
    main.Toolbar2->clickButton(21);
    QAbstractItemModel* grid = main.DBGrid2->model();
    QStringList headers, cells;
    for (int column = 0; column < grid->columnCount(); ++column) {
        headers.append(grid->headerData(column, Qt::Horizontal).toString());
        cells.append(grid->index(0, column).data().toString());
    }
    // No column is headed by a field's name in the book, and each can be told from the others.
    QCOMPARE(headers.filter(QRegularExpression(QStringLiteral("^extra\\d$"))), QStringList());
    QCOMPARE(QSet<QString>(headers.begin(), headers.end()).size(), headers.size());
    // The web page's column is headed as its box on the card is.
    QCOMPARE(headers.value(cells.indexOf(main.Text18->text())) + QLatin1Char(':'),
             main.fieldLabels.value(QStringLiteral("Text18"))->text());
}

void TestMainWindow::centerFormAllowsNegativeCoordinates() {
    QDialog huge;
    huge.resize(20000, 20000);
    ui::CenterForm(huge);
    QVERIFY(huge.x() < 0);
    QVERIFY(huge.y() < 0);
    QDialog small;
    small.resize(200, 100);
    ui::CenterForm(small);
    QVERIFY(small.x() > 0);
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
