// The help files as built, read through the help window: their topics, pages, index and
// full-text search, and what the user is told when a file is missing or damaged.

#include "platform/files/ProgramFolder.h"
#include "platform/help/HelpWindow.h"
#include "TestSupport.h"

#include <QHelpContentWidget>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

using namespace quillory;
using help::HelpWindow;

namespace {

// The folder the build puts the help files in, beside the program.
QString builtFolder() {
    return QString::fromLocal8Bit(qgetenv("QUILLORY_ASSETS"));
}

// A program folder without help files of its own, installed where the build put them.
ProgramFolder installedFolder(const test::TempProgramFolder& home) {
    return ProgramFolder(home.path(), builtFolder());
}

QAbstractItemModel* contentsOf(HelpWindow& window) {
    return window.findChild<QHelpContentWidget*>(QStringLiteral("helpContents"))->model();
}

// Waits for the contents to be read from the file; false when they never arrive.
bool waitForContents(HelpWindow& window) {
    QAbstractItemModel* model = contentsOf(window);
    return QTest::qWaitFor([model] { return model->rowCount() > 0; }, 10000);
}

// The titles of every topic of the contents, depth first.
QStringList topicsOf(HelpWindow& window) {
    QAbstractItemModel* model = contentsOf(window);
    QStringList topics;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            topics << index.data().toString();
            walk(index);
        }
    };
    walk({});
    return topics;
}

QTextBrowser* pageOf(HelpWindow& window) {
    return window.findChild<QTextBrowser*>(QStringLiteral("helpPage"));
}

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY2(!builtFolder().isEmpty(), "the tests run with QUILLORY_ASSETS set"); }

    void helpFileListsTopic_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("topic");
        const QString program = QStringLiteral("CORVANEL.hlp");
        const QString labels = QStringLiteral("LABELS.hlp");
        const QString programTitle = QStringLiteral("Quillory Help");
        const QString labelsTitle = QStringLiteral("Print Labels Help");
        for (const char* topic : {"The main window",
                                  "Menus and the toolbar",
                                  "Moving through the book",
                                  "Adding, saving and deleting contacts",
                                  "Views, letter buttons and the grid",
                                  "Bold font",
                                  "Searching for an individual",
                                  "Contact photos",
                                  "Printing options",
                                  "Printing labels",
                                  "Dialing a number",
                                  "Mapping a serial port",
                                  "Email and web pages",
                                  "The word processor",
                                  "SELECTING A WORD PROCESSOR",
                                  "User settings",
                                  "Compacting and repairing the database",
                                  "Backing up the database",
                                  "Restoring the database from a back-up",
                                  "Quitting the program",
                                  "Tip of the Day",
                                  "Support and updates",
                                  "About the program",
                                  "Using help"})
            QTest::addRow("%s: %s", "CORVANEL", topic) << program << programTitle << topic;
        for (const char* topic : {"The Print Labels dialog", "Choosing the label stock",
                                  "Labels for the complete book", "Labels for selected names",
                                  "Starting on a partly used sheet", "Return-address labels"})
            QTest::addRow("%s: %s", "LABELS", topic) << labels << labelsTitle << topic;
    }

    // The built file opens in the help window, which is named after the file's contents and
    // lists the topic.
    void helpFileListsTopic() {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QFETCH(QString, topic);
        test::TempProgramFolder home;
        test::ScriptedMessageBoxes boxes;
        QPointer<HelpWindow> window = HelpWindow::showContents(installedFolder(home), file);
        QVERIFY(window);
        QVERIFY(boxes.asked().isEmpty());
        QVERIFY(waitForContents(*window));
        const QStringList titles = topicsOf(*window);
        QVERIFY2(titles.contains(topic), qPrintable(titles.join(QLatin1String(", "))));
        QTRY_COMPARE(window->windowTitle(), title);
        delete window;
    }

    void everyTopicHasItsPage_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("CORVANEL.hlp") << QStringLiteral("CORVANEL.hlp");
        QTest::newRow("LABELS.hlp") << QStringLiteral("LABELS.hlp");
    }

    // A single click on each entry of the contents shows a page titled as the entry: no entry
    // points at a page that is missing from the file or at another topic's page.
    void everyTopicHasItsPage() {
        QFETCH(QString, file);
        test::TempProgramFolder home;
        test::ScriptedMessageBoxes boxes;
        QPointer<HelpWindow> window = HelpWindow::showContents(installedFolder(home), file);
        QVERIFY(window);
        QVERIFY(waitForContents(*window));
        auto* contents = window->findChild<QHelpContentWidget*>(QStringLiteral("helpContents"));
        std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            for (int row = 0; row < contents->model()->rowCount(parent); ++row) {
                const QModelIndex index = contents->model()->index(row, 0, parent);
                pageOf(*window)->clear();
                contents->scrollTo(index);
                QTest::mouseClick(contents->viewport(), Qt::LeftButton, {},
                                  contents->visualRect(index).center());
                QCOMPARE(pageOf(*window)->documentTitle(), index.data().toString());
                QVERIFY(pageOf(*window)->toPlainText().size() > 100);
                contents->expand(index);
                walk(index);
            }
        };
        walk({});
        delete window;
    }

    void indexLeadsToTopic_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("topic");
        const QString program = QStringLiteral("CORVANEL.hlp");
        QTest::newRow("word processor") << program << "SELECTING A WORD PROCESSOR"
                                        << "SELECTING A WORD PROCESSOR";
        QTest::newRow("COM3") << program << "COM3"
                              << "Mapping a serial port";
        QTest::newRow("restore message") << program << "A backed up database file cannot be found."
                                         << "Restoring the database from a back-up";
        QTest::newRow("labels: Update Grid!") << "LABELS.hlp"
                                              << "Update Grid!"
                                              << "Labels for selected names";
        QTest::newRow("labels: Avery 5267") << "LABELS.hlp"
                                            << "Avery 5267"
                                            << "Return-address labels";
    }

    // Asked for a keyword, the window opens on its topic; typing the keyword into the Index
    // tab and pressing Enter shows the same topic.
    void indexLeadsToTopic() {
        QFETCH(QString, file);
        QFETCH(QString, keyword);
        QFETCH(QString, topic);
        test::TempProgramFolder home;
        test::ScriptedMessageBoxes boxes;
        QPointer<HelpWindow> window = HelpWindow::showTopic(installedFolder(home), file, keyword);
        QVERIFY(window);
        QCOMPARE(pageOf(*window)->documentTitle(), topic);

        window->showPage(window->contentsPage());
        QVERIFY(pageOf(*window)->documentTitle() != topic);
        auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("helpTabs"));
        tabs->setCurrentIndex(1);
        auto* filter = window->findChild<QLineEdit*>(QStringLiteral("helpIndexFilter"));
        QTRY_VERIFY(window->findChild<QAbstractItemView*>(QStringLiteral("helpIndex"))
                        ->model()
                        ->rowCount() > 0);
        QTest::keyClicks(filter, keyword);
        QTest::keyClick(filter, Qt::Key_Return);
        QTRY_COMPARE(pageOf(*window)->documentTitle(), topic);
        delete window;
    }

    void searchFindsWordOfPage_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("topic");
        QTest::newRow("dialout") << "CORVANEL.hlp"
                                 << "dialout"
                                 << "Mapping a serial port";
        QTest::newRow("lowriter") << "CORVANEL.hlp"
                                  << "lowriter"
                                  << "SELECTING A WORD PROCESSOR";
        QTest::newRow("apostrophe") << "CORVANEL.hlp"
                                    << "apostrophe"
                                    << "Searching for an individual";
        QTest::newRow("greyed") << "LABELS.hlp"
                                << "greyed"
                                << "Labels for selected names";
    }

    // A word typed into the Search tab lists the page that holds it, and clicking the result
    // shows that page.
    void searchFindsWordOfPage() {
        QFETCH(QString, file);
        QFETCH(QString, word);
        QFETCH(QString, topic);
        test::TempProgramFolder home;
        test::ScriptedMessageBoxes boxes;
        QPointer<HelpWindow> window = HelpWindow::showContents(installedFolder(home), file);
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->searchReady(), 20000);

        auto* query = window->findChild<QHelpSearchQueryWidget*>(QStringLiteral("helpSearchQuery"));
        auto* results =
            window->findChild<QHelpSearchResultWidget*>(QStringLiteral("helpSearchResults"));
        QTest::keyClicks(query->findChild<QLineEdit*>(), word);
        query->findChild<QPushButton*>()->click();
        auto* list = results->findChild<QTextBrowser*>();
        QVERIFY(list);
        QTRY_VERIFY2_WITH_TIMEOUT(list->toPlainText().contains(topic),
                                  qPrintable(list->toPlainText()), 10000);
        delete window;
    }

    void missingFileIsNamed_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("CORVANEL.hlp") << QStringLiteral("CORVANEL.hlp");
        QTest::newRow("LABELS.hlp") << QStringLiteral("LABELS.hlp");
    }

    // Neither the program folder nor the installation holds the file: the message names it
    // and both folders, and no window opens.
    void missingFileIsNamed() {
        QFETCH(QString, file);
        test::TempProgramFolder home;
        test::TempProgramFolder installed;
        test::ScriptedMessageBoxes boxes;
        QVERIFY(!HelpWindow::showContents(ProgramFolder(home.path(), installed.path()), file));
        QCOMPARE(boxes.asked().size(), 1);
        const ui::MessageRequest& box = boxes.asked().first();
        QCOMPARE(box.text, QStringLiteral("The help file \"%1\" could not be found.\n\n"
                                          "It was looked for in:\n%2\n%3")
                               .arg(file, home.path(), installed.path()));
        QCOMPARE(box.icon, ui::Icon::Exclamation);
        QCOMPARE(box.buttons, ui::Buttons::Ok);
    }

    // The program folder's own copy is used before the installed one; a copy that is not a
    // help file is reported as such, not shown as an empty window.
    void programFolderComesFirst() {
        test::TempProgramFolder home;
        test::ScriptedMessageBoxes boxes;
        home.write(QStringLiteral("CORVANEL.hlp"), "not a help file");
        QVERIFY(!HelpWindow::showContents(installedFolder(home), QStringLiteral("CORVANEL.hlp")));
        QCOMPARE(boxes.asked().size(), 1);
        QVERIFY2(boxes.asked().first().text.contains(home.file(QStringLiteral("CORVANEL.hlp"))),
                 qPrintable(boxes.asked().first().text));
        QVERIFY(boxes.asked().first().text.contains(QLatin1String("could not be opened")));
    }

    // Asking again brings the open window forward instead of opening a second one, back on
    // the contents page; once closed, the next request opens a new one.
    void oneWindowPerFile() {
        test::TempProgramFolder home;
        test::ScriptedMessageBoxes boxes;
        const QString file = QStringLiteral("CORVANEL.hlp");
        QPointer<HelpWindow> first = HelpWindow::showContents(installedFolder(home), file);
        QVERIFY(first);
        QVERIFY(first->showKeyword(QStringLiteral("COM1")));
        QCOMPARE(HelpWindow::showContents(installedFolder(home), file), first.data());
        QCOMPARE(first->currentPage(), first->contentsPage());
        QPointer<HelpWindow> labels =
            HelpWindow::showContents(installedFolder(home), QStringLiteral("LABELS.hlp"));
        QVERIFY(labels && labels != first);
        first->close();
        QTRY_VERIFY(!first);
        QPointer<HelpWindow> again = HelpWindow::showContents(installedFolder(home), file);
        QVERIFY(again);
        delete again;
        delete labels;
    }
};

QTEST_MAIN(HelpViewerTest)
#include "test_help_viewer.moc"
