// Browsing and editing through the real main window: moves, add, save, delete, views, the
// letter index, the grid and the toolbar's own forms of these commands.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/CardPicture.h"
#include "core/CommandToolbar.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace quillory;

namespace {

QList<QVariantMap> book() {
    return {test::contactNamed(QStringLiteral("Adams"), QStringLiteral("Amy"),
                               QStringLiteral("Business Contact")),
            test::contactNamed(QStringLiteral("Baker"), QStringLiteral("Bob"),
                               QStringLiteral("Personal Contact")),
            test::contactNamed(QStringLiteral("Carter"), QStringLiteral("Cy"),
                               QStringLiteral("Select Contact-type")),
            test::contactNamed(QStringLiteral("Mason"), QStringLiteral("Mia"),
                               QStringLiteral("Personal Contact")),
            test::contactNamed(QStringLiteral("Miller"), QStringLiteral("Max"),
                               QStringLiteral("Business Contact"))};
}

struct Program : test::StartedProgram {
    explicit Program(const QList<QVariantMap>& contacts = book())
        : StartedProgram({.contacts = contacts}) {}
    void run(const QString& key, CommandOrigin origin = CommandOrigin::Menu) {
        context->commands().run(key, origin);
    }
    QString card() const { return main->Text12->text() + QLatin1Char(' ') + main->Text1->text(); }
    QString status(int panel = StatusPanels::Contact) const {
        return main->StatusBar1->panelText(panel);
    }
    QString stored(const QString& last, const QString& field) const {
        auto db = engine::Database::open(folder.file(QStringLiteral("Corvanel.MDB")));
        return db
            ->scalar(QStringLiteral("SELECT %1 FROM PhoneBK WHERE name = ?").arg(field), {last})
            .toString();
    }
    int count() const {
        auto db = engine::Database::open(folder.file(QStringLiteral("Corvanel.MDB")));
        return db->scalar(QStringLiteral("SELECT count(*) FROM PhoneBK")).toInt();
    }
};

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void upOnFirstRowBounces();
    void downOnLastRowBouncesAndStoresName();
    void firstOnFirstRowStoresNameAndRewritesStatus();
    void nextDoesNotStoreDisplayName();
    void addWithoutNameIsRefusedThenSaved();
    void saveKeepsTheContactInItsView();
    void deleteShowsNextOrNewLast();
    void deleteRefusedForEmptyName();
    void deleteAnsweredNoKeepsContact();
    void viewsFilterByExactType_data();
    void viewsFilterByExactType();
    void emptyViewLeavesNoCurrentContact();
    void letterJumpStaysInsideView();
    void letterWithoutMatchStaysPut();
    void failedWriteIsReportedAndTypingKept();
    void emptyBookCommandsWriteNothing();
    void viewSwitchWritesTyping();
    void gridCellBeingEditedIsWritten_data();
    void gridCellBeingEditedIsWritten();
    void statusNamesTheCard_data();
    void statusNamesTheCard();
    void reopenedBookKeepsTheView();
    void toolbarFaces();
    void boldTogglesKeepButtonsInStep();
    void menuBoldDecidesByFont();
    void focusAfterAdd_data();
    void focusAfterAdd();
    void gridToggleTexts();
    void gridRowClickMovesCard();
    void gridEditIsWrittenOnMove();
    void gridDeletesSelectedRows();
    void popupOnRightReleaseOnly();
    void laterCommandsDoNothingYet();
};

void TestNavigation::upOnFirstRowBounces() {
    Program p;
    const QString before = p.status();
    p.run(QStringLiteral("up"));
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("You are at the FIRST record!")});
    QCOMPARE(p.boxes.asked().first().caption, QStringLiteral("Quillory"));
    QCOMPARE(p.main->Data1->absolutePosition(), 0);
    QCOMPARE(p.status(), before);
}

void TestNavigation::downOnLastRowBouncesAndStoresName() {
    Program p;
    p.run(QStringLiteral("eof"));
    QCOMPARE(p.card(), QStringLiteral("Max Miller"));
    p.main->Text12->setText(QStringLiteral("Maxim"));
    p.run(QStringLiteral("down"));
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("You are at the LAST record!")});
    QCOMPARE(p.main->PositionLBL->text(), QStringLiteral("5"));
    QCOMPARE(p.card(), QStringLiteral("Maxim Miller"));
    QCOMPARE(p.status(), QStringLiteral("Data for Maxim Miller"));
    // The bounce stores the display name on the last row; the next move writes it. The letter
    // index stores no name of its own, so what reaches the book is the bounce's.
    QCOMPARE(p.main->Text17->text(), QStringLiteral("Maxim Miller"));
    p.main->Command2[0]->click(); // "A"
    QCOMPARE(p.card(), QStringLiteral("Amy Adams"));
    QCOMPARE(p.stored(QStringLiteral("Miller"), QStringLiteral("extra8")),
             QStringLiteral("Maxim Miller"));
    QCOMPARE(p.stored(QStringLiteral("Miller"), QStringLiteral("namef")), QStringLiteral("Maxim"));
}

void TestNavigation::firstOnFirstRowStoresNameAndRewritesStatus() {
    Program p;
    p.main->StatusBar1->setPanelText(StatusPanels::Contact, QStringLiteral("stale"));
    p.run(QStringLiteral("bof"));
    QCOMPARE(p.main->Data1->absolutePosition(), 0);
    QCOMPARE(p.status(), QStringLiteral("Data for Amy Adams"));
    p.run(QStringLiteral("down"));
    QCOMPARE(p.stored(QStringLiteral("Adams"), QStringLiteral("extra8")),
             QStringLiteral("Amy Adams"));
}

void TestNavigation::nextDoesNotStoreDisplayName() {
    Program p;
    p.main->Text1->setText(QStringLiteral("Addams"));
    p.run(QStringLiteral("down"));
    QCOMPARE(p.stored(QStringLiteral("Addams"), QStringLiteral("namef")), QStringLiteral("Amy"));
    QVERIFY(p.stored(QStringLiteral("Addams"), QStringLiteral("extra8")).isEmpty());
    QCOMPARE(p.status(), QStringLiteral("Data for Bob Baker"));
}

void TestNavigation::addWithoutNameIsRefusedThenSaved() {
    Program p;
    p.run(QStringLiteral("add"));
    QVERIFY(p.main->Text1->text().isEmpty());
    p.main->Text4->setText(QStringLiteral("Oslo"));
    p.run(QStringLiteral("save"));
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("You must first enter a Name")});
    QVERIFY(p.main->Data1->isAdding());
    QCOMPARE(p.main->Text4->text(), QStringLiteral("Oslo"));
    QCOMPARE(p.count(), 5);

    p.main->Text1->setText(QStringLiteral("Zed"));
    p.main->Text12->setText(QStringLiteral("Zoe"));
    p.run(QStringLiteral("save"));
    QCOMPARE(p.count(), 6);
    QCOMPARE(p.stored(QStringLiteral("Zed"), QStringLiteral("city")), QStringLiteral("Oslo"));
    QCOMPARE(p.stored(QStringLiteral("Zed"), QStringLiteral("extra8")), QStringLiteral("Zoe Zed"));
    QCOMPARE(p.card(), QStringLiteral("Zoe Zed"));
}

void TestNavigation::saveKeepsTheContactInItsView() {
    Program p;
    p.run(QStringLiteral("pers"));
    QCOMPARE(p.card(), QStringLiteral("Bob Baker"));
    p.run(QStringLiteral("down"));
    QCOMPARE(p.card(), QStringLiteral("Mia Mason"));
    p.main->Text7->setText(QStringLiteral("555-0199"));
    p.run(QStringLiteral("save"));
    QCOMPARE(p.stored(QStringLiteral("Mason"), QStringLiteral("phone")),
             QStringLiteral("555-0199"));
    QCOMPARE(p.main->Data1->recordSource(), contact::source::PersonalContacts);
    QCOMPARE(p.main->Data1->rowCount(), 2);
    QCOMPARE(p.card(), QStringLiteral("Mia Mason"));
    QCOMPARE(p.status(StatusPanels::View), QStringLiteral("Personal Contacts"));
}

void TestNavigation::deleteShowsNextOrNewLast() {
    Program p;
    p.run(QStringLiteral("down")); // Baker
    p.boxes.answer(ui::Answer::Yes);
    p.run(QStringLiteral("delete"));
    const ui::MessageRequest question = p.boxes.asked().first();
    QCOMPARE(question.text, QStringLiteral("Do you really want to DELETE this Entry?"));
    QCOMPARE(question.caption, QStringLiteral(" Delete!"));
    QCOMPARE(question.buttons, ui::Buttons::YesNo);
    QCOMPARE(question.defaultButton, 1);
    QCOMPARE(question.icon, ui::Icon::None);
    QCOMPARE(p.count(), 4);
    QCOMPARE(p.card(), QStringLiteral("Cy Carter"));
    // The status names the contact now on the card, not the deleted one.
    QCOMPARE(p.status(), QStringLiteral("Data for Cy Carter"));

    p.run(QStringLiteral("eof"));
    p.boxes.answer(ui::Answer::Yes);
    p.run(QStringLiteral("delete"));
    QCOMPARE(p.card(), QStringLiteral("Mia Mason"));
    QCOMPARE(p.main->PositionLBL->text(), QStringLiteral("3"));
    QCOMPARE(p.status(), QStringLiteral("Data for Mia Mason"));
}

void TestNavigation::statusNamesTheCard_data() {
    QTest::addColumn<QString>("commands");
    QTest::addColumn<bool>("emptyBook");
    QTest::addColumn<QString>("card");
    // Commands are run in order; "type:" puts a last name on the card, "yes" answers the next
    // question.
    QTest::newRow("save in a view") << "pers down type:Mason save" << false << "Mia Mason";
    QTest::newRow("save of a new contact at the end") << "eof add type:Zed save" << false << " Zed";
    QTest::newRow("first save in a new book") << "add type:First save" << true << " First";
    QTest::newRow("typed into a new book, saved") << "type:First save" << true << " First";
    QTest::newRow("typed into a new book, view") << "type:First all" << true << " First";
    QTest::newRow("delete") << "down yes delete" << false << "Cy Carter";
    QTest::newRow("delete of the last") << "eof yes delete" << false << "Mia Mason";
    QTest::newRow("add shows the blank card") << "down add" << false << " ";
    QTest::newRow("compaction re-opens the book") << "down CD" << false << "Amy Adams";
    QTest::newRow("search dialog opened and closed") << "eof search" << false << "Max Miller";
}

void TestNavigation::statusNamesTheCard() {
    QFETCH(QString, commands);
    QFETCH(bool, emptyBook);
    QFETCH(QString, card);
    Program p(emptyBook ? QList<QVariantMap>{} : book());
    test::ModalScript closeEach([](QDialog& dialog) { dialog.reject(); });
    for (const QString& command : commands.split(QLatin1Char(' '))) {
        if (command.startsWith(QLatin1String("type:")))
            p.main->Text1->setText(command.mid(5));
        else if (command == QLatin1String("yes"))
            p.boxes.answer(ui::Answer::Yes);
        else
            p.run(command);
    }
    QCOMPARE(p.card(), card);
    QCOMPARE(p.status(), QStringLiteral("Data for ") + card);
}

void TestNavigation::reopenedBookKeepsTheView() {
    Program p;
    p.run(QStringLiteral("pers"));
    p.run(QStringLiteral("down"));
    QCOMPARE(p.card(), QStringLiteral("Mia Mason"));
    p.run(QStringLiteral("CD")); // compaction lets go of the book and opens it again
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("The Database has been Compacted.")});
    // Still the personal view, whose first contact is not the first of the whole book.
    QCOMPARE(p.main->Data1->recordSource(), contact::source::PersonalContacts);
    QCOMPARE(p.main->Data1->rowCount(), 2);
    QCOMPARE(p.card(), QStringLiteral("Bob Baker"));
    QCOMPARE(p.status(StatusPanels::View), QStringLiteral("Personal Contacts"));
    QCOMPARE(p.status(), QStringLiteral("Data for Bob Baker"));
}

void TestNavigation::deleteRefusedForEmptyName() {
    Program p({test::contactNamed(QString(), QStringLiteral("Nameless"))});
    p.run(QStringLiteral("delete"));
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("There is no record to delete!")});
    QCOMPARE(p.count(), 1);
}

void TestNavigation::deleteAnsweredNoKeepsContact() {
    Program p;
    p.boxes.answer(ui::Answer::No);
    p.run(QStringLiteral("delete"));
    QCOMPARE(p.count(), 5);
    QCOMPARE(p.card(), QStringLiteral("Amy Adams"));
}

void TestNavigation::viewsFilterByExactType_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("first");
    QTest::newRow("personal") << "pers"
                              << "Personal Contacts" << 2 << "Bob Baker";
    QTest::newRow("business") << "bus"
                              << "Business Contacts" << 2 << "Amy Adams";
    QTest::newRow("all") << "all"
                         << "All Contacts" << 5 << "Amy Adams";
}

void TestNavigation::viewsFilterByExactType() {
    QFETCH(QString, key);
    QFETCH(QString, panel);
    QFETCH(int, rows);
    QFETCH(QString, first);
    Program p;
    p.run(key);
    QCOMPARE(p.main->Data1->rowCount(), rows);
    QCOMPARE(p.card(), first);
    QCOMPARE(p.status(StatusPanels::View), panel);
    QCOMPARE(p.status(), QStringLiteral("Data for ") + first);
}

void TestNavigation::emptyViewLeavesNoCurrentContact() {
    Program p({test::contactNamed(QStringLiteral("Solo"), QStringLiteral("Han"),
                                  QStringLiteral("Personal Contact"))});
    p.run(QStringLiteral("bus"));
    QCOMPARE(p.main->Data1->absolutePosition(), -1);
    QVERIFY(p.main->Text1->text().isEmpty());
    QCOMPARE(p.status(StatusPanels::View), QStringLiteral("Business Contacts"));
    // A new card left untouched is not stored.
    for (const char* key : {"add", "up", "add", "bof", "add", "eof", "down", "save", "delete"})
        p.run(QString::fromLatin1(key));
    QCOMPARE(p.count(), 1);
    QVERIFY(!p.boxes.texts().contains(QStringLiteral("You are at the LAST record!")));
}

void TestNavigation::letterJumpStaysInsideView() {
    Program p;
    p.run(QStringLiteral("bus"));
    p.main->Command2[12]->click();                    // "M"
    QCOMPARE(p.card(), QStringLiteral("Max Miller")); // Mason is personal
    QCOMPARE(p.status(), QStringLiteral("Data for Max Miller"));
    p.run(QStringLiteral("all"));
    p.main->Command2[12]->click();
    QCOMPARE(p.card(), QStringLiteral("Mia Mason"));
    p.main->Command2[2]->click(); // "C" ignores letter case of the stored names too
    QCOMPARE(p.card(), QStringLiteral("Cy Carter"));
}

void TestNavigation::letterWithoutMatchStaysPut() {
    Program p;
    p.run(QStringLiteral("down"));
    p.main->StatusBar1->setPanelText(StatusPanels::Contact, QString());
    p.main->Command2[23]->click(); // "X"
    QCOMPARE(p.card(), QStringLiteral("Bob Baker"));
    QCOMPARE(p.status(), QStringLiteral("Data for Bob Baker"));
    QVERIFY(p.boxes.asked().isEmpty());
}

void TestNavigation::failedWriteIsReportedAndTypingKept() {
    Program p;
    p.main->Text4->setText(QStringLiteral("Lisbon"));
    // Another program holds the book's write lock: the move cannot write the card.
    test::BookWriteLock lock(p.folder.file(QStringLiteral("Corvanel.MDB")));

    p.main->Toolbar1->clickButton(9); // "Next": toolbar failures are otherwise silent
    QCOMPARE(p.boxes.asked().size(), 1);
    QVERIFY(p.boxes.texts().first().startsWith(
        QStringLiteral("The changes to this card could not be saved.")));
    QCOMPARE(p.main->Text4->text(), QStringLiteral("Lisbon"));
    QCOMPARE(p.main->Data1->absolutePosition(), 0);

    lock.release();
    p.run(QStringLiteral("down"));
    QCOMPARE(p.stored(QStringLiteral("Adams"), QStringLiteral("city")), QStringLiteral("Lisbon"));
}

void TestNavigation::emptyBookCommandsWriteNothing() {
    Program p(QList<QVariantMap>{});
    const QByteArray before = p.folder.read(QStringLiteral("Corvanel.MDB"));
    for (const char* key : {"add", "bof", "add", "eof", "up", "down", "bof", "eof", "save",
                            "delete", "pers", "bus", "all", "type"})
        p.run(QString::fromLatin1(key));
    for (int k = 0; k < 26; ++k)
        p.main->Command2[size_t(k)]->click();
    QCOMPARE(p.count(), 0);
    QCOMPARE(p.folder.read(QStringLiteral("Corvanel.MDB")), before);
    QCOMPARE(p.main->PositionLBL->text(), QStringLiteral("0"));
    // Nothing broken: a first contact can be added and saved.
    p.run(QStringLiteral("add"));
    p.main->Text1->setText(QStringLiteral("First"));
    p.run(QStringLiteral("save"));
    QCOMPARE(p.count(), 1);
    QCOMPARE(p.main->Text1->text(), QStringLiteral("First"));
}

void TestNavigation::viewSwitchWritesTyping() {
    Program p;
    p.main->Text9->setText(QStringLiteral("amy@example.org"));
    p.run(QStringLiteral("pers"));
    QCOMPARE(p.stored(QStringLiteral("Adams"), QStringLiteral("email")),
             QStringLiteral("amy@example.org"));
}

void TestNavigation::gridCellBeingEditedIsWritten_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("view switch") << "pers";
    QTest::newRow("search dialog") << "search";
    QTest::newRow("compaction") << "CD";
}

void TestNavigation::gridCellBeingEditedIsWritten() {
    QFETCH(QString, command);
    Program p;
    p.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.main));
    p.main->Toolbar1->clickButton(21);
    QTableView* grid = p.main->DBGrid2;
    // The user types into a city cell and, without leaving it, runs a command from the menu.
    const QModelIndex city = grid->model()->index(2, 5);
    grid->setCurrentIndex(city);
    grid->edit(city);
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Quito"));
    test::ModalScript closeEach([](QDialog& dialog) { dialog.reject(); });
    p.run(command);
    QCOMPARE(p.stored(QStringLiteral("Carter"), QStringLiteral("city")), QStringLiteral("Quito"));
}

void TestNavigation::toolbarFaces() {
    Program p;
    p.run(QStringLiteral("pers"));
    p.main->Toolbar2->clickButton(1); // the face of "Type"
    QCOMPARE(p.status(StatusPanels::View), QStringLiteral("All Contacts"));
    QCOMPARE(p.main->Data1->rowCount(), 5);
    p.main->Toolbar2->chooseMenuItem(1, QStringLiteral("bus"));
    QCOMPARE(p.status(StatusPanels::View), QStringLiteral("Business Contacts"));

    const int rowsBefore = p.main->Data1->rowCount();
    p.main->Toolbar1->clickButton(23); // the face of "Utils"
    QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral(
                                  "Select drop-down arrow at right to select database tools.")});
    QCOMPARE(p.main->Data1->rowCount(), rowsBefore);
}

void TestNavigation::boldTogglesKeepButtonsInStep() {
    Program p;
    p.main->Toolbar1->clickButton(12);
    QVERIFY(p.main->Toolbar1->value(12));
    QVERIFY(p.main->Toolbar2->value(12));
    QVERIFY(p.main->Text1->font().bold());
    p.main->applyToolbarStyle(UserSettings::ToolbarStyle::LargeImagesOnly);
    QVERIFY(p.main->Toolbar2->value(12));
    p.main->Toolbar2->clickButton(12);
    QVERIFY(!p.main->Toolbar2->value(12));
    QVERIFY(!p.main->Toolbar1->value(12));
    QVERIFY(!p.main->Text1->font().bold());
    QVERIFY(!p.main->CboContact->font().bold());
}

void TestNavigation::menuBoldDecidesByFont() {
    Program p;
    p.main->mnuBold->trigger();
    QVERIFY(p.main->Text1->font().bold());
    QVERIFY(p.main->Toolbar1->value(12) && p.main->Toolbar2->value(12));
    // Out of step on purpose: the menu goes by the font, not by the buttons.
    p.main->Toolbar1->setValue(12, false);
    p.main->mnuBold->trigger();
    QVERIFY(!p.main->Text1->font().bold());
    QVERIFY(!p.main->Toolbar1->value(12) && !p.main->Toolbar2->value(12));
}

void TestNavigation::focusAfterAdd_data() {
    QTest::addColumn<int>("origin");
    QTest::newRow("Toolbar1") << 1;
    QTest::newRow("Toolbar2") << 2;
    QTest::newRow("menu") << 0;
    QTest::newRow("popup") << 3;
}

void TestNavigation::focusAfterAdd() {
    QFETCH(int, origin);
    Program p;
    p.main->show();
    p.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.main));
    p.main->Text9->setFocus();
    switch (origin) {
    case 1:
        p.main->Toolbar1->clickButton(3);
        break;
    case 2:
        p.main->Toolbar2->clickButton(3);
        break;
    case 0:
        p.main->mnuAdd->trigger();
        break;
    default:
        p.main->mnuAddHid->trigger();
        break;
    }
    QVERIFY(p.main->Data1->isAdding());
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused);
    QCOMPARE(focused, p.main->Text1);
}

void TestNavigation::gridToggleTexts() {
    Program p;
    p.main->Toolbar1->clickButton(21);
    QVERIFY(!p.main->DBGrid2->isHidden());
    QCOMPARE(p.status(), QStringLiteral("Click in the Grid to move to that entry"));
    p.run(QStringLiteral("down")); // moves leave the hint as it is only when the grid moves
    p.main->Toolbar1->clickButton(21);
    QVERIFY(p.main->DBGrid2->isHidden());
    QCOMPARE(p.status(), QStringLiteral("Data for Bob Baker"));
}

void TestNavigation::gridRowClickMovesCard() {
    Program p;
    p.main->Toolbar1->clickButton(21);
    QTableView* grid = p.main->DBGrid2;
    grid->setCurrentIndex(grid->model()->index(3, 1));
    QCOMPARE(p.card(), QStringLiteral("Mia Mason"));
    QCOMPARE(p.main->PositionLBL->text(), QStringLiteral("4"));
    QCOMPARE(p.status(), QStringLiteral("Click in the Grid to move to that entry"));
    // And the grid follows the card.
    p.run(QStringLiteral("bof"));
    QCOMPARE(grid->currentIndex().row(), 0);
}

void TestNavigation::gridEditIsWrittenOnMove() {
    Program p;
    QTableView* grid = p.main->DBGrid2;
    QVERIFY(grid->model()->setData(grid->model()->index(2, 5), QStringLiteral("Quito")));
    QCOMPARE(p.card(), QStringLiteral("Cy Carter"));
    QCOMPARE(p.main->Text4->text(), QStringLiteral("Quito"));
    QCOMPARE(p.stored(QStringLiteral("Carter"), QStringLiteral("city")),
             QStringLiteral("Springfield"));
    p.run(QStringLiteral("down"));
    QCOMPARE(p.stored(QStringLiteral("Carter"), QStringLiteral("city")), QStringLiteral("Quito"));
    QCOMPARE(grid->model()->index(2, 5).data().toString(), QStringLiteral("Quito"));
    QVERIFY(!(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsDropEnabled));
    QCOMPARE(grid->model()->rowCount(), 5); // no row can be added in the grid
}

void TestNavigation::gridDeletesSelectedRows() {
    Program p;
    p.main->Toolbar1->clickButton(21);
    QTableView* grid = p.main->DBGrid2;
    grid->selectionModel()->select(grid->model()->index(1, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    grid->selectionModel()->select(grid->model()->index(3, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    p.boxes.answer(ui::Answer::Yes);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(p.count(), 3);
    QVERIFY(p.stored(QStringLiteral("Baker"), QStringLiteral("name")).isEmpty());
    QVERIFY(p.stored(QStringLiteral("Mason"), QStringLiteral("name")).isEmpty());
    QCOMPARE(grid->model()->rowCount(), 3);
}

void TestNavigation::popupOnRightReleaseOnly() {
    Program p;
    p.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(p.main));
    QTest::mouseRelease(p.main->Image1, Qt::LeftButton, {}, QPoint(20, 300));
    QVERIFY(!p.main->mnuDataHid->isVisible());
    QTest::mousePress(p.main->Image1, Qt::RightButton, {}, QPoint(20, 300));
    QVERIFY(!p.main->mnuDataHid->isVisible());
    QTest::mouseRelease(p.main->Image1, Qt::RightButton, {}, QPoint(20, 300));
    QVERIFY(p.main->mnuDataHid->isVisible());
    p.main->mnuDataHid->close();
}

void TestNavigation::laterCommandsDoNothingYet() {
    Program p;
    // Keys with a window of their own get it closed at once; the others do nothing yet.
    test::ModalScript closeEach([](QDialog& dialog) { dialog.reject(); });
    for (int index : {13, 14, 15, 16, 17, 18, 20, 22}) {
        p.main->Toolbar1->clickButton(index);
        p.main->Toolbar2->clickButton(index);
    }
    QVERIFY(p.main->isEnabled());
    QCOMPARE(p.count(), 5);
}

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
