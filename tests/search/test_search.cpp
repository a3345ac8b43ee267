// The search dialog through its controls, on real book files.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "search/frmsrch.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <memory>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using namespace quillory;
using test::StartedProgram;

namespace {

QVariantMap person(const QString& last, const QString& first, const QString& city,
                   const QString& zip = QStringLiteral("10001")) {
    return {{QStringLiteral("name"), last},
            {QStringLiteral("namef"), first},
            {QStringLiteral("city"), city},
            {QStringLiteral("zip"), zip},
            {QStringLiteral("address1"), QStringLiteral("1 Main St")},
            {QStringLiteral("email"), first.toLower() + QStringLiteral("@example.org")},
            {QStringLiteral("extra8"), first + QLatin1Char(' ') + last},
            {QStringLiteral("extra4"), last == u"Adams" ? QStringLiteral("Business Contact")
                                                        : QStringLiteral("Personal Contact")}};
}

// Stored order differs from name order on purpose.
QList<QVariantMap> book() {
    QVariantMap twinA =
        person(QStringLiteral("Jones"), QStringLiteral("Mary"), QStringLiteral("Austin"));
    QVariantMap twinB =
        person(QStringLiteral("Jones"), QStringLiteral("Mary"), QStringLiteral("Boston"));
    return {person(QStringLiteral("Smithers"), QStringLiteral("Wayland"),
                   QStringLiteral("Springfield")),
            twinA,
            person(QStringLiteral("O'Brien"), QStringLiteral("Pat"), QStringLiteral("Dublin"),
                   QStringLiteral("D02")),
            person(QStringLiteral("Adams"), QStringLiteral("Ann"), QStringLiteral("Albany"),
                   QStringLiteral("12201")),
            person(QStringLiteral("smith"), QStringLiteral("john"), QStringLiteral("Chicago"),
                   QStringLiteral("60601")),
            twinB};
}

// Does to the control `name` of `window` what a user does: "name=value" types the value (blanks
// written as '_') into a box or clicks row `value` of a list; a bare name clicks a button.
void act(QWidget& window, const QString& action) {
    const QString name = action.section(u'=', 0, 0);
    const QString value = action.section(u'=', 1).replace(u'_', u' ');
    if (auto* box = window.findChild<QLineEdit*>(name)) {
        box->setText(value);
    } else if (auto* choice = window.findChild<QComboBox*>(name)) {
        choice->setCurrentText(value);
    } else if (auto* list = window.findChild<QTableView*>(name)) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect row = list->visualRect(list->model()->index(value.toInt(), 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    } else {
        auto* button = window.findChild<QAbstractButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }
}

// The started program with its search dialog loaded.
struct Program : StartedProgram {
    Program() : StartedProgram({.contacts = book()}) {
        dialog = std::make_unique<frmsrch>(*context, main);
        dialog->Form_Load();
    }
    QString card() const { return main->Text12->text() + QLatin1Char(' ') + main->Text1->text(); }
    // Searches as a user does: the field, the operator picked from the list, the string.
    void find(int option, const QString& op, const QString& text) {
        dialog->opt[size_t(option)]->setChecked(true);
        const int at = dialog->cboOpList->findText(op);
        QVERIFY(at >= 0);
        dialog->cboOpList->setCurrentIndex(at);
        Q_EMIT dialog->cboOpList->activated(at);
        dialog->Text1->setText(text);
        dialog->Command1->click();
    }
    int rows() const { return main->Data1->rowCount(); }

    std::unique_ptr<frmsrch> dialog;
};

QString storedCity(const StartedProgram& program, const QString& last) {
    auto db = engine::Database::open(program.folder.file(QStringLiteral("Corvanel.MDB")));
    return db->scalar(QStringLiteral("SELECT city FROM PhoneBK WHERE name = ?"), {last}).toString();
}

const QString NoMatch = QStringLiteral(
    "No match could be found. Try using the 'Like' operator! If you have used the 'Like' "
    "operator, then try to shorten the search string. It will match the first few characters in "
    "the string.");

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensInStoredOrderWithLikePicked();
    void dialogTexts();
    void likeIsPrefixWithoutLetterCase();
    void equalsAfterLikeClearsWildcard();
    void emptyStringWithLikeFindsFirstNamed();
    void noMatchKeepsPanelHidden();
    void everyOperator_data();
    void everyOperator();
    void otherFields_data();
    void otherFields();
    void apostropheIsFound();
    void quotesCannotBreakOut_data();
    void quotesCannotBreakOut();
    void noOperatorIsRefused();
    void gridPickFollowsTheRowPicked();
    void confirmationButtons();
    void cardStaysOnThePerson_data();
    void cardStaysOnThePerson();
    void criteriaAreBuiltAsDesigned();
    void statusFollowsTheCardWhileOpen();
    void smallestSizeKeepsEveryControlReadable();
    void openingWritesTheTypingFirst();
    void typingThatCannotBeWrittenKeepsTheDialogShut();
    void findShowsTheRowInTheGrid_data();
    void findShowsTheRowInTheGrid();
};

void TestSearch::opensInStoredOrderWithLikePicked() {
    Program p;
    QCOMPARE(p.main->Data1->recordSource(), QStringLiteral("SELECT * FROM PhoneBK"));
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
    QCOMPARE(p.dialog->cboOpList->currentText(), QStringLiteral("Like"));
    QCOMPARE(p.dialog->Text2->text(), QStringLiteral("*"));
    QVERIFY(p.dialog->opt[0]->isChecked());
    QVERIFY(p.dialog->Frame2->isHidden());
    QCOMPARE(p.dialog->Data1->connect(), QStringLiteral("Access 2000;"));
    QCOMPARE(p.dialog->DBGrid1->model()->rowCount(), 6);
    QCOMPARE(p.dialog->DBGrid1->model()->index(1, 0).data().toString(), QStringLiteral("Jones"));
}

void TestSearch::dialogTexts() {
    Program p;
    QCOMPARE(p.dialog->windowTitle(), QStringLiteral("Search"));
    QCOMPARE(p.dialog->Frame1->title(), QStringLiteral("Where"));
    const QStringList captions = {QStringLiteral("Last Name"),      QStringLiteral("First Name"),
                                  QStringLiteral("Street Address"), QStringLiteral("City"),
                                  QStringLiteral("Zip Code"),       QStringLiteral("Email")};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(p.dialog->opt[size_t(i)]->text(), captions[i]);
    QStringList ops;
    for (int i = 0; i < p.dialog->cboOpList->count(); ++i)
        ops.append(p.dialog->cboOpList->itemText(i));
    QCOMPARE(ops, (QStringList{QStringLiteral("Like"), QStringLiteral("="), QStringLiteral("<>"),
                               QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("=>"),
                               QStringLiteral("<=")}));
    QCOMPARE(p.dialog->Command1->text(), QStringLiteral("&Find it"));
    QCOMPARE(p.dialog->Command2->text(), QStringLiteral("&Close"));
    QCOMPARE(p.dialog->Command3->text(), QStringLiteral("YES, this is the one!"));
    QCOMPARE(p.dialog->Command4->text(), QStringLiteral("NO, I need to search again!"));
    QCOMPARE(p.dialog->DBGrid1->toolTip(),
             QStringLiteral("Click on the Name you would like to jump to in the book."));
    QVERIFY(p.dialog->lblInstructions->text().contains(
        QStringLiteral("drop down list.  Type in the STRING")));
    QCOMPARE(p.dialog->DBGrid1->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Last Name"));
    QCOMPARE(p.dialog->DBGrid1->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("First Name"));
}

void TestSearch::likeIsPrefixWithoutLetterCase() {
    Program p;
    p.find(0, QStringLiteral("Like"), QStringLiteral("Smi"));
    QCOMPARE(p.dialog->criterion(), QStringLiteral("[name] Like 'Smi*'"));
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
    QVERIFY(!p.dialog->Frame2->isHidden());
    QCOMPARE(p.dialog->lblName->text(), QStringLiteral("Wayland Smithers"));
    p.dialog->Command4->click();
    p.find(0, QStringLiteral("Like"), QStringLiteral("SMITH"));
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers")); // first in stored order
    QVERIFY(p.boxes.asked().isEmpty());
}

void TestSearch::equalsAfterLikeClearsWildcard() {
    Program p;
    p.find(0, QStringLiteral("Like"), QStringLiteral("smith"));
    p.dialog->Command4->click();
    p.find(0, QStringLiteral("="), QStringLiteral("smith"));
    QCOMPARE(p.dialog->Text2->text(), QString());
    QCOMPARE(p.dialog->txtWhere->text(), QStringLiteral("[name] = 'smith'"));
    QCOMPARE(p.card(), QStringLiteral("john smith"));
}

void TestSearch::emptyStringWithLikeFindsFirstNamed() {
    Program p;
    p.main->Data1->moveLast();
    p.find(0, QStringLiteral("Like"), QString());
    QCOMPARE(p.dialog->criterion(), QStringLiteral("[name] Like '*'"));
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
}

void TestSearch::noMatchKeepsPanelHidden() {
    Program p;
    p.find(0, QStringLiteral("Like"), QStringLiteral("Zz"));
    QCOMPARE(p.boxes.texts(), QStringList{NoMatch});
    QVERIFY(p.dialog->Frame2->isHidden());
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
}

void TestSearch::everyOperator_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");
    // Stored order: Smithers, Jones, O'Brien, Adams, smith, Jones.
    QTest::newRow("Like") << "Like"
                          << "ad"
                          << "Ann Adams";
    QTest::newRow("=") << "="
                       << "ADAMS"
                       << "Ann Adams";
    QTest::newRow("<>") << "<>"
                        << "Smithers"
                        << "Mary Jones";
    QTest::newRow("<") << "<"
                       << "B"
                       << "Ann Adams";
    QTest::newRow(">") << ">"
                       << "P"
                       << "Wayland Smithers";
    QTest::newRow("=>") << "=>"
                        << "O"
                        << "Wayland Smithers";
    QTest::newRow("<=") << "<="
                        << "Jones"
                        << "Mary Jones";
}

void TestSearch::everyOperator() {
    QFETCH(QString, op);
    QFETCH(QString, text);
    QFETCH(QString, found);
    Program p;
    p.find(0, op, text);
    QCOMPARE(p.card(), found);
    QVERIFY2(p.boxes.asked().isEmpty(), qPrintable(p.boxes.texts().join(QLatin1Char('|'))));
}

void TestSearch::otherFields_data() {
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");
    QTest::newRow("first name") << 1 << "Pa"
                                << "Pat O'Brien";
    QTest::newRow("street") << 2 << "1 Main"
                            << "Wayland Smithers";
    QTest::newRow("city") << 3 << "chi"
                          << "john smith";
    QTest::newRow("zip") << 4 << "122"
                         << "Ann Adams";
    QTest::newRow("email") << 5 << "pat@"
                           << "Pat O'Brien";
}

void TestSearch::otherFields() {
    QFETCH(int, option);
    QFETCH(QString, text);
    QFETCH(QString, found);
    Program p;
    p.find(option, QStringLiteral("Like"), text);
    QCOMPARE(p.card(), found);
}

void TestSearch::apostropheIsFound() {
    Program p;
    p.find(0, QStringLiteral("="), QStringLiteral("O'Brien"));
    QVERIFY(p.boxes.asked().isEmpty());
    QCOMPARE(p.card(), QStringLiteral("Pat O'Brien"));
    p.dialog->DBGrid1_RowClick(0);
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
    p.dialog->DBGrid1_RowClick(2);
    QCOMPARE(p.card(), QStringLiteral("Pat O'Brien"));
}

void TestSearch::quotesCannotBreakOut_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("always true") << "x' OR '1'='1";
    QTest::newRow("trailing statement") << "'; DELETE FROM PhoneBK; --";
    QTest::newRow("comment") << "x' --";
    QTest::newRow("subquery") << "' OR (SELECT count(*) FROM PhoneBK) > 0 OR '";
}

void TestSearch::quotesCannotBreakOut() {
    QFETCH(QString, text);
    Program p;
    const QByteArray before = p.folder.read(QStringLiteral("Corvanel.MDB"));
    p.main->Data1->moveLast();
    const QString card = p.card();
    p.find(0, QStringLiteral("="), text);
    QCOMPARE(p.boxes.texts(), QStringList{NoMatch});
    QCOMPARE(p.card(), card);
    p.dialog.reset();
    QCOMPARE(p.rows(), 6);
    QCOMPARE(test::bookNames(p.folder.file(QStringLiteral("Corvanel.MDB"))).size(), 6);
    QCOMPARE(p.folder.read(QStringLiteral("Corvanel.MDB")), before);
}

void TestSearch::noOperatorIsRefused() {
    Program p;
    p.dialog->cboOpList->setCurrentIndex(-1);
    p.dialog->Text1->setText(QStringLiteral("Adams"));
    p.dialog->Command1->click();
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral(
                                  "You must first enter an 'operator' and a 'search string'.")});
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
    QVERIFY(p.dialog->Frame2->isHidden());
}

void TestSearch::gridPickFollowsTheRowPicked() {
    Program p;
    p.dialog->DBGrid1_RowClick(5); // the second Mary Jones, in Boston
    QVERIFY(!p.dialog->Frame2->isHidden());
    QCOMPARE(p.dialog->confirmBoxes[3]->text(), QStringLiteral("Boston"));
    QCOMPARE(p.card(), QStringLiteral("Mary Jones"));
    QCOMPARE(p.main->Text4->text(), QStringLiteral("Boston"));
    p.dialog->DBGrid1_RowClick(1); // and back to the first of the two
    QCOMPARE(p.main->Text4->text(), QStringLiteral("Austin"));
}

void TestSearch::confirmationButtons() {
    Program p;
    p.find(0, QStringLiteral("Like"), QStringLiteral("ad"));
    QVERIFY(!p.dialog->Frame2->isHidden());
    p.dialog->Command4->click();
    QVERIFY(p.dialog->Frame2->isHidden());
    QVERIFY(p.dialog->isVisible() || !p.dialog->result());
    p.find(0, QStringLiteral("Like"), QStringLiteral("ad"));
    p.dialog->Command3->click();
    QCOMPARE(p.dialog->result(), int(QDialog::Accepted));
    QCOMPARE(p.card(), QStringLiteral("Ann Adams"));
}

void TestSearch::cardStaysOnThePerson_data() {
    QTest::addColumn<QString>("steps");   // on the main window: command keys, typing
    QTest::addColumn<QString>("dialogs"); // the actions in each dialog shown, '|' between dialogs
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("told");
    const auto row = [](const char* name, const char* steps, const char* dialogs, const char* card,
                        const char* view, const char* told = "") {
        QTest::newRow(name) << steps << dialogs << card << view << told;
    };
    const char* twinB = "Mary Jones Boston";
    const char* personal = "Personal Contacts";
    const char* labels = "OptLabel Command1 Command2|Command1";
    // Stored order: Smithers, Jones (Austin), O'Brien, Adams, smith, Jones (Boston).
    row("second twin picked", "pers search", "DBGrid1=5 Command3", twinB, personal);
    row("next past the last match", "all search", "Text1=jones Command1 Command6 Command6 Command3",
        twinB, "All Contacts", "There are no more matches.");
    row("changed search starts over, outside the view", "pers search",
        "Text1=jones Command1 Command6 Command4 Text1=ad Command5 Command3", "Ann Adams Albany",
        "All Contacts");
    row("search closed on a twin", "pers down search", "DBGrid1=1 Command2", twinB, personal);
    row("save of a rename", "pers Text1=Zane save", "", "Mary Zane Austin", personal);
    row("save of a type leaving the view", "pers down CboContact=Business_Contact save", "", twinB,
        "All Contacts");
    row("save of a new contact", "pers add CboContact=Personal_Contact Text1=Young save", "",
        " Young ", personal);
    row("labels", "pers down print", labels, twinB, personal);
    row("labels over a new contact", "all add Text1=Young print", labels, " Young ",
        "All Contacts");
}

void TestSearch::cardStaysOnThePerson() {
    QFETCH(QString, steps);
    QFETCH(QString, dialogs);
    QFETCH(QString, card);
    QFETCH(QString, view);
    QFETCH(QString, told);
    StartedProgram program({.contacts = book()});
    frmMain& main = *program.main;
    QStringList groups = dialogs.split(u'|');
    test::ModalScript script([&](QDialog& dialog) {
        for (const QString& action : groups.takeFirst().split(u' '))
            act(dialog, action);
    });
    for (const QString& step : steps.split(u' ')) {
        if (step.contains(u'='))
            act(main, step);
        else
            program.context->commands().run(step, CommandOrigin::Menu);
    }
    QCOMPARE(program.boxes.texts().join(u'|'), told);
    QCOMPARE(main.Text12->text() + u' ' + main.Text1->text() + u' ' + main.Text4->text(), card);
    QCOMPARE(main.StatusBar1->panelText(StatusPanels::View), view);
    QCOMPARE(main.StatusBar1->panelText(StatusPanels::Contact),
             QStringLiteral("Data for ") + card.section(u' ', 0, 1));
    // The view is in name order again: the letter index finds smith before Smithers.
    main.Command2[18]->click(); // "S"
    QCOMPARE(main.Text1->text(), QStringLiteral("smith"));
}

void TestSearch::openingWritesTheTypingFirst() {
    StartedProgram program({.contacts = book()});
    frmMain& main = *program.main;
    QCOMPARE(main.Text1->text(), QStringLiteral("Adams"));
    main.Text4->setText(QStringLiteral("Lisbon"));
    test::ModalScript script([](QDialog& dialog) { dialog.reject(); });
    main.Toolbar2->clickButton(15); // "search"
    QCOMPARE(script.shown(), 1);
    QCOMPARE(storedCity(program, QStringLiteral("Adams")), QStringLiteral("Lisbon"));
    QVERIFY(program.boxes.asked().isEmpty());
}

void TestSearch::typingThatCannotBeWrittenKeepsTheDialogShut() {
    StartedProgram program({.contacts = book()});
    frmMain& main = *program.main;
    main.Text4->setText(QStringLiteral("Lisbon"));
    // Another program holds the book's write lock.
    test::BookWriteLock lock(program.folder.file(QStringLiteral("Corvanel.MDB")));
    test::ModalScript script([](QDialog& dialog) { dialog.reject(); });
    main.mnuSearch->trigger();
    lock.release();

    QCOMPARE(script.shown(), 0);
    QCOMPARE(program.boxes.asked().size(), 1);
    QVERIFY(program.boxes.texts().first().startsWith(
        QStringLiteral("The changes to this card could not be saved.")));
    // The card is as the user left it, in the view it was in.
    QCOMPARE(main.Text4->text(), QStringLiteral("Lisbon"));
    QCOMPARE(main.Data1->recordSource(),
             QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef"));
    main.Data1->moveNext();
    QCOMPARE(storedCity(program, QStringLiteral("Adams")), QStringLiteral("Lisbon"));
}

void TestSearch::findShowsTheRowInTheGrid_data() {
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("row");
    QTest::newRow("far down") << "Zimmer" << 79;
    QTest::newRow("in the middle") << "Middleton" << 40;
    QTest::newRow("at the top") << "Smithers" << 0;
}

void TestSearch::findShowsTheRowInTheGrid() {
    QFETCH(QString, last);
    QFETCH(int, row);
    QList<QVariantMap> contacts;
    for (int i = 0; i < 80; ++i) {
        const QString name = i == 0    ? QStringLiteral("Smithers")
                             : i == 40 ? QStringLiteral("Middleton")
                             : i == 79 ? QStringLiteral("Zimmer")
                                       : QStringLiteral("Filler%1").arg(i, 2, 10, QLatin1Char('0'));
        contacts.append(person(name, QStringLiteral("Someone Withaverylongfirstname%1").arg(i),
                               QStringLiteral("Town")));
    }
    StartedProgram program({.contacts = contacts});
    frmsrch dialog(*program.context, program.main);
    QVERIFY(dialog.Form_Load());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTableView* grid = dialog.DBGrid1;
    // The grid stands away from the row to be found.
    if (row > 40)
        grid->scrollToTop();
    else
        grid->scrollToBottom();

    dialog.opt[0]->setChecked(true);
    dialog.Text1->setText(last);
    dialog.Command1->click();
    dialog.Command4->click(); // back from the confirmation to the grid
    QCoreApplication::processEvents();

    const QModelIndex found = grid->model()->index(row, 0);
    QCOMPARE(found.data().toString(), last);
    QCOMPARE(grid->currentIndex().row(), row);
    QCOMPARE(grid->selectionModel()->selectedRows(), QModelIndexList{found});
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(found)));
    // Both columns fit the grid's width: nothing to scroll sideways.
    QVERIFY(!grid->horizontalScrollBar()->isVisible());
    QVERIFY(grid->horizontalHeader()->length() <= grid->viewport()->width());
    QVERIFY(grid->columnWidth(1) > 0);
}

void TestSearch::statusFollowsTheCardWhileOpen() {
    Program p;
    const auto names = [&p] {
        return p.main->StatusBar1->panelText(StatusPanels::Contact) ==
               QStringLiteral("Data for ") + p.card();
    };
    // Opened: the book in stored order, its first contact on the card.
    QCOMPARE(p.card(), QStringLiteral("Wayland Smithers"));
    QVERIFY(names());
    p.find(3, QStringLiteral("Like"), QStringLiteral("chi"));
    QCOMPARE(p.card(), QStringLiteral("john smith"));
    QVERIFY(names());
    p.dialog->Command4->click();
    p.dialog->DBGrid1_RowClick(3);
    QCOMPARE(p.card(), QStringLiteral("Ann Adams"));
    QVERIFY(names());
}

void TestSearch::criteriaAreBuiltAsDesigned() {
    QCOMPARE(frmsrch::findCriterion(QStringLiteral("name"), QStringLiteral("Like"),
                                    QStringLiteral("smi"), QStringLiteral("*")),
             QStringLiteral("[name] Like 'smi*'"));
    QCOMPARE(
        frmsrch::findCriterion(QStringLiteral("city"), QString(), QStringLiteral("x"), QString()),
        QStringLiteral("[city]  'x'"));
}

void TestSearch::smallestSizeKeepsEveryControlReadable() {
    Program p;
    p.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.dialog.get()));
    p.dialog->resize(1, 1);
    QCoreApplication::processEvents();
    QLabel* text = p.dialog->lblInstructions;
    QVERIFY(text->height() >= text->heightForWidth(text->width()));
}

QTEST_MAIN(TestSearch)
#include "test_search.moc"
