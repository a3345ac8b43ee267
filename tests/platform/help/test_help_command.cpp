// The help command as the user gives it: "Help contents" in the Help menu and the Help button
// of either toolbar open the program's help window on its contents page.

#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "platform/help/HelpWindow.h"
#include "StartedProgram.h"

#include <QAction>
#include <QFile>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

using namespace quillory;
using help::HelpWindow;

namespace {

enum class From { Menu, Toolbar1, Toolbar2 };
constexpr int HelpButton = 22;

void giveHelp(frmMain& main, From from) {
    switch (from) {
    case From::Menu:
        main.mnuHelpfile->trigger();
        break;
    case From::Toolbar1:
        main.Toolbar1->clickButton(HelpButton);
        break;
    case From::Toolbar2:
        main.Toolbar2->clickButton(HelpButton);
        break;
    }
}

void addRows() {
    QTest::addColumn<From>("from");
    QTest::newRow("Help contents") << From::Menu;
    QTest::newRow("Toolbar1 Help") << From::Toolbar1;
    QTest::newRow("Toolbar2 Help") << From::Toolbar2;
}

} // namespace

class HelpCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensContents_data() { addRows(); }

    void opensContents() {
        QFETCH(From, from);
        test::TempProgramFolder folder;
        QVERIFY(QFile::copy(QString::fromLocal8Bit(qgetenv("QUILLORY_ASSETS")) +
                                QStringLiteral("/CORVANEL.hlp"),
                            folder.file(QStringLiteral("CORVANEL.hlp"))));
        test::StartedProgram program(folder);
        giveHelp(*program.main, from);

        auto windows = program.main->findChildren<HelpWindow*>();
        QCOMPARE(windows.size(), 1);
        HelpWindow* window = windows.first();
        QVERIFY(window->isVisible());
        QVERIFY(window->isWindow());
        QCOMPARE(window->findChild<QTabWidget*>(QStringLiteral("helpTabs"))->currentIndex(), 0);
        QCOMPARE(window->currentPage(), window->contentsPage());
        auto* page = window->findChild<QTextBrowser*>(QStringLiteral("helpPage"));
        QCOMPARE(page->documentTitle(), QStringLiteral("Quillory Help"));
        QVERIFY(page->toPlainText().contains(QLatin1String("SELECTING A WORD PROCESSOR")));
        QVERIFY(program.boxes.asked().isEmpty());

        // Modeless: the main window's commands go on working while help is open.
        program.main->mnuEOF->trigger();
        QVERIFY(window->isVisible());

        // Asked again from the page of another topic, the same window returns to the contents.
        QVERIFY(window->showKeyword(QStringLiteral("COM1")));
        giveHelp(*program.main, from);
        QCOMPARE(program.main->findChildren<HelpWindow*>().size(), 1);
        QCOMPARE(window->currentPage(), window->contentsPage());
    }

    void missingFileIsNamed_data() { addRows(); }

    // The message names the file and the folder it was looked for in, from the menu and from
    // the toolbars alike: it is the help viewer's own report, not a failing step.
    void missingFileIsNamed() {
        QFETCH(From, from);
        test::TempProgramFolder folder;
        test::StartedProgram program(folder);
        program.boxes.clear();
        giveHelp(*program.main, from);
        QCOMPARE(program.boxes.texts(),
                 QStringList{QStringLiteral("The help file \"CORVANEL.hlp\" could not be found.\n\n"
                                            "It was looked for in:\n%1")
                                 .arg(folder.path())});
        QVERIFY(program.main->findChildren<HelpWindow*>().isEmpty());
    }
};

QTEST_MAIN(HelpCommandTest)
#include "test_help_command.moc"
