// The preview window of a print job as the user drives it: paging with the keyboard and the
// toolbar, the zoom modes, the page count found while the window stays usable, printing to a
// PDF-format printer, "Export PDF", and pages that cannot be drawn or laid out.

#include "platform/files/PlatformError.h"
#include "platform/report/PageSource.h"
#include "platform/report/Preview.h"
#include "platform/report/PreviewPage.h"
#include "platform/report/PrinterDialog.h"
#include "platform/report/PrintOutput.h"
#include "TestSupport.h"

#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace quillory;
using namespace quillory::report;

namespace {

// Pages that print their own number, counting what the window asks of them.
class NumberedPages final : public PageSource {
public:
    explicit NumberedPages(int count) : m_count(count) {}

    int failDrawing = -1;  // drawPage of this page throws
    int failLayout = -1;   // hasPage of this page throws
    QList<int> drawn;      // every drawPage call, in order
    int countCalls = 0;    // pageCount calls
    int highestAsked = -1; // the furthest page hasPage was asked about

    QString title() const override { return QStringLiteral("Preview Book (Numbers)"); }
    QPageLayout pageLayout() const override {
        return QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                           QMarginsF(36, 36, 36, 36), QPageLayout::Point);
    }
    bool hasPage(int index) override {
        highestAsked = std::max(highestAsked, index);
        if (index == failLayout)
            throw PlatformError(3049, QStringLiteral("The book cannot be read."));
        return index >= 0 && index < m_count;
    }
    int pageCount() override {
        ++countCalls;
        return m_count;
    }
    void drawPage(int index, QPainter& painter) override {
        drawn.append(index);
        if (index == failDrawing)
            throw PlatformError(3049, QStringLiteral("Row 7 cannot be read."));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(28); // 28 points: the painter counts in points
        painter.setFont(font);
        painter.drawText(QRectF(36, 36, 540, 100), Qt::AlignLeft,
                         QStringLiteral("Page %1").arg(index + 1));
        painter.drawRect(QRectF(36, 36, 540, 720));
    }

private:
    int m_count;
};

struct Opened {
    QPointer<QMainWindow> window;
    NumberedPages* pages = nullptr;
};

Opened open(int count, int failDrawing = -1, int failLayout = -1) {
    auto pages = std::make_unique<NumberedPages>(count);
    pages->failDrawing = failDrawing;
    pages->failLayout = failLayout;
    Opened opened;
    opened.pages = pages.get();
    opened.window = qobject_cast<QMainWindow*>(showPreview(std::move(pages), nullptr));
    return opened;
}

QString pageText(QWidget* window) {
    return window->findChild<QLabel*>(QStringLiteral("lblPage"))->text();
}

QString zoomText(QWidget* window) {
    return window->findChild<QLabel*>(QStringLiteral("lblZoom"))->text();
}

QSize sheetSize(QWidget* window) {
    const int border = 2 * PreviewPage::Border;
    return window->findChild<PreviewPage*>()->size() - QSize(border, border);
}

// Clicks the toolbar button of an action, as the user does.
void click(QWidget* window, const QString& action) {
    auto* tools = window->findChild<QToolBar*>(QStringLiteral("tbrPreview"));
    QWidget* button = tools->widgetForAction(window->findChild<QAction*>(action));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// One step of the user's: a key ("PgDn", "Ctrl+P", ...) or a toolbar button ("act...").
void step(QWidget* window, const QString& what) {
    if (what.startsWith(QStringLiteral("act"))) {
        click(window, what);
        return;
    }
    const QKeySequence keys = QKeySequence::fromString(what);
    QTest::keySequence(window, keys);
}

void closeAndForget(const Opened& opened) {
    if (opened.window)
        opened.window->close();
    QTRY_VERIFY(opened.window.isNull());
}

// The text of each page of a PDF file, as a reader finds it.
QStringList pdfPages(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {QStringLiteral("<pdftotext failed>")};
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString& page : pages)
        page = page.simplified();
    return pages;
}

QStringList numbered(int count) {
    QStringList pages;
    for (int i = 1; i <= count; ++i)
        pages << QStringLiteral("Page %1").arg(i);
    return pages;
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // No printer is installed unless a test's printer dialog names one.
    void initTestCase() { qputenv("CUPS_SERVER", "/nonexistent/quillory-test-cups.sock"); }

    void cleanup() {
        PrinterDialogService::setResponder({});
        setPdfFileChooser({});
    }

    void navigation_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("shown");
        QTest::newRow("opens on the first page") << 5 << QStringList{} << "Page 1 of 5" << 0;
        QTest::newRow("page down twice")
            << 5 << QStringList{"PgDown", "PgDown"} << "Page 3 of 5" << 2;
        QTest::newRow("down and up")
            << 5 << QStringList{"PgDown", "PgDown", "PgUp"} << "Page 2 of 5" << 1;
        QTest::newRow("end") << 5 << QStringList{"End"} << "Page 5 of 5" << 4;
        QTest::newRow("end then home") << 5 << QStringList{"End", "Home"} << "Page 1 of 5" << 0;
        QTest::newRow("no page before the first")
            << 5 << QStringList{"PgUp", "actPrevious"} << "Page 1 of 5" << 0;
        QTest::newRow("no page after the last")
            << 2 << QStringList{"PgDown", "PgDown", "actNext"} << "Page 2 of 2" << 1;
        QTest::newRow("toolbar buttons")
            << 6 << QStringList{"actNext", "actNext", "actNext", "actPrevious"} << "Page 3 of 6"
            << 2;
        QTest::newRow("toolbar last and first")
            << 6 << QStringList{"actLast", "actFirst", "actNext"} << "Page 2 of 6" << 1;
        QTest::newRow("a single page") << 1 << QStringList{"PgDown", "End"} << "Page 1 of 1" << 0;
    }
    void navigation() {
        QFETCH(int, count);
        QFETCH(QStringList, steps);
        QFETCH(QString, label);
        QFETCH(int, shown);
        test::ScriptedMessageBoxes boxes;
        const Opened opened = open(count);
        QVERIFY(opened.window);
        QVERIFY(QTest::qWaitForWindowActive(opened.window));
        QCOMPARE(opened.window->windowTitle(), QStringLiteral("Preview Book (Numbers)"));
        for (const QString& what : steps)
            step(opened.window, what);
        QTRY_COMPARE(pageText(opened.window), label);
        QCOMPARE(opened.pages->drawn.last(), shown);
        QVERIFY(boxes.asked().isEmpty());
        closeAndForget(opened);
    }

    // Only the page on screen is drawn: paging draws each page passed once, and the rest of a
    // long job is never drawn at all.
    void drawsOnlyThePagesSeen() {
        const Opened opened = open(1000);
        QVERIFY(QTest::qWaitForWindowActive(opened.window));
        step(opened.window, QStringLiteral("PgDown"));
        step(opened.window, QStringLiteral("PgDown"));
        step(opened.window, QStringLiteral("End"));
        QTRY_COMPARE(pageText(opened.window), QStringLiteral("Page 1000 of 1000"));
        QTest::qWait(50);
        const QSet<int> drawn(opened.pages->drawn.cbegin(), opened.pages->drawn.cend());
        QCOMPARE(drawn, (QSet<int>{0, 1, 2, 999}));
        closeAndForget(opened);
    }

    // A job of 100,000 pages opens at once on its first page; the count follows in idle steps
    // ("of 2+" first), and the last page is found when the user asks for it.
    void hugeJobOpensAtOnce() {
        QElapsedTimer clock;
        clock.start();
        const Opened opened = open(100000);
        const qint64 openedIn = clock.elapsed();
        QVERIFY2(openedIn < 1000, qPrintable(QString::number(openedIn)));
        QCOMPARE(opened.pages->countCalls, 0);
        QVERIFY(opened.pages->highestAsked <= 1);
        QCOMPARE(pageText(opened.window), QStringLiteral("Page 1 of 2+"));
        QTRY_COMPARE(pageText(opened.window), QStringLiteral("Page 1 of 100000"));
        QCOMPARE(opened.pages->countCalls, 0);
        step(opened.window, QStringLiteral("End"));
        QTRY_COMPARE(pageText(opened.window), QStringLiteral("Page 100000 of 100000"));
        QCOMPARE(opened.pages->drawn, (QList<int>{0, 99999}));
        closeAndForget(opened);
    }

    void zoom_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<QString>("fits"); // "width", "page" or "" (a fixed zoom)
        QTest::newRow("opens fitting the width") << QStringList{} << QString() << "width";
        QTest::newRow("fit page") << QStringList{"actFitPage"} << QString() << "page";
        QTest::newRow("fit page then width")
            << QStringList{"actFitPage", "actFitWidth"} << QString() << "width";
        QTest::newRow("real size") << QStringList{"actActualSize"} << "100%"
                                   << "";
        QTest::newRow("zoom in from real size") << QStringList{"actActualSize", "Ctrl++"} << "125%"
                                                << "";
        QTest::newRow("zoom out from real size") << QStringList{"actActualSize", "Ctrl+-"} << "80%"
                                                 << "";
        QTest::newRow("toolbar zoom in twice")
            << QStringList{"actActualSize", "actZoomIn", "actZoomIn"} << "156%"
            << "";
        QTest::newRow("zoom out stops at 10%")
            << QStringList(20, QStringLiteral("actZoomOut")) << "10%"
            << "";
    }
    void zoom() {
        QFETCH(QStringList, steps);
        QFETCH(QString, percent);
        QFETCH(QString, fits);
        const Opened opened = open(3);
        opened.window->resize(700, 600);
        QVERIFY(QTest::qWaitForWindowActive(opened.window));
        for (const QString& what : steps)
            step(opened.window, what);
        QTest::qWait(20);
        const QSize sheet = sheetSize(opened.window);
        const QSize room = opened.window->findChild<QScrollArea*>()->maximumViewportSize() -
                           QSize(2 * PreviewPage::Border, 2 * PreviewPage::Border);
        const double real = opened.window->logicalDpiX() / 72.0;
        if (fits == QLatin1String("page")) {
            QVERIFY(sheet.width() <= room.width() && sheet.height() <= room.height());
            QVERIFY(qAbs(sheet.height() - room.height()) <= 1);
        } else if (fits == QLatin1String("width")) {
            QVERIFY(sheet.height() > room.height());
            // The width of the window, less its vertical scroll bar.
            QVERIFY2(sheet.width() <= room.width() && sheet.width() > room.width() - 40,
                     qPrintable(QStringLiteral("%1 in %2").arg(sheet.width()).arg(room.width())));
        } else {
            QCOMPARE(zoomText(opened.window), percent);
            const double factor = percent.chopped(1).toDouble() / 100.0;
            QVERIFY(qAbs(sheet.width() - 612 * real * factor) <= 612 * real * 0.01 + 1);
        }
        // Zooming redraws the page on screen and no other.
        for (int index : opened.pages->drawn)
            QCOMPARE(index, 0);
        closeAndForget(opened);
    }

    // Where nothing can be printed (no printer installed, a printer that does not take the
    // job), the pages are offered as a PDF file instead.
    void printing_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("folder"); // where the printer writes; "none": no printer
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<QStringList>("saved"); // as a PDF instead
        QTest::newRow("three pages") << 3 << true << "" << numbered(3) << QStringList{};
        QTest::newRow("one page") << 1 << true << "" << numbered(1) << QStringList{};
        QTest::newRow("cancelled") << 3 << false << "" << QStringList{} << QStringList{};
        QTest::newRow("printer cannot start")
            << 2 << true << "missing/deeper" << QStringList{} << numbered(2);
        QTest::newRow("no printer") << 2 << true << "none" << QStringList{} << numbered(2);
    }
    void printing() {
        QFETCH(int, count);
        QFETCH(bool, accept);
        QFETCH(QString, folder);
        QFETCH(QStringList, printed);
        QFETCH(QStringList, saved);
        QTemporaryDir dir;
        const QString path = dir.filePath(folder.isEmpty() ? QStringLiteral("job.pdf")
                                                           : folder + QStringLiteral("/job.pdf"));
        int asked = 0;
        if (folder != "none")
            PrinterDialogService::setResponder(
                [&](const PrinterDialogRequest& request, QPrinter& printer) {
                    ++asked;
                    if (request.orientation != 1)
                        return false;
                    printer.setOutputFormat(QPrinter::PdfFormat);
                    printer.setOutputFileName(path);
                    return accept;
                });
        const QString instead = dir.filePath("instead.pdf");
        setPdfFileChooser([&](QWidget*, const QString&) { return instead; });
        test::ScriptedMessageBoxes boxes;
        const Opened opened = open(count);
        QVERIFY(QTest::qWaitForWindowActive(opened.window));
        step(opened.window, QStringLiteral("Ctrl+P"));
        QCOMPARE(asked, folder == "none" ? 0 : 1);
        if (printed.isEmpty())
            QVERIFY(!QFileInfo::exists(path));
        else
            QCOMPARE(pdfPages(path), printed);
        QCOMPARE(boxes.asked().size(), saved.isEmpty() ? 0 : 1);
        QCOMPARE(QFileInfo::exists(instead) ? pdfPages(instead) : QStringList{}, saved);
        QVERIFY(opened.window->isVisible());
        closeAndForget(opened);
    }

    // A preview opened from the label dialog, over Printing Options, outlives both.
    void previewOutlivesTheDialogsItCameFrom() {
        QMainWindow main;
        auto* options = new QDialog(&main);
        auto* labels = new QDialog(options);
        options->show();
        labels->show();
        const QPointer<QWidget> preview = showPreview(std::make_unique<NumberedPages>(1), labels);
        labels->hide();
        delete options;
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(preview->parentWidget(), &main);
        closeAndForget({qobject_cast<QMainWindow*>(preview.data())});
    }

    // Two previews of one job stand within the screen, not exactly on top of each other.
    void secondPreviewStandsApart() {
        const Opened first = open(1), second = open(1);
        QVERIFY(QTest::qWaitForWindowExposed(second.window));
        const QRect screen = second.window->screen()->availableGeometry();
        QVERIFY(screen.contains(first.window->frameGeometry()));
        QVERIFY(screen.contains(second.window->frameGeometry()));
        QVERIFY(first.window->pos() != second.window->pos());
        closeAndForget(second);
        closeAndForget(first);
    }

    void exportPdf_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("failDrawing");
        QTest::addColumn<QString>("chosen"); // below the temp folder; empty: cancelled
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QString>("message");
        QTest::newRow("four pages") << 4 << -1 << "book.pdf" << numbered(4) << "";
        QTest::newRow("cancelled") << 4 << -1 << "" << QStringList{} << "";
        QTest::newRow("missing folder")
            << 2 << -1 << "gone/book.pdf" << QStringList{} << "could not be written";
        QTest::newRow("a page fails: the earlier file stays")
            << 3 << 2 << "book.pdf" << QStringList{"earlier"} << "Row 7 cannot be read.";
    }
    void exportPdf() {
        QFETCH(int, count);
        QFETCH(int, failDrawing);
        QFETCH(QString, chosen);
        QFETCH(QStringList, written);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = chosen.isEmpty() ? QString() : dir.filePath(chosen);
        if (failDrawing >= 0) {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier");
        }
        QString suggested;
        setPdfFileChooser([&](QWidget*, const QString& name) {
            suggested = name;
            return path;
        });
        test::ScriptedMessageBoxes boxes;
        const Opened opened = open(count, failDrawing);
        QVERIFY(QTest::qWaitForWindowActive(opened.window));
        click(opened.window, QStringLiteral("actExportPdf"));
        QCOMPARE(suggested, QStringLiteral("Preview Book (Numbers).pdf"));
        if (failDrawing >= 0) {
            QFile earlier(path);
            QVERIFY(earlier.open(QIODevice::ReadOnly));
            QCOMPARE(QStringList{QString::fromLatin1(earlier.readAll())}, written);
        } else if (written.isEmpty()) {
            QVERIFY(path.isEmpty() || !QFileInfo::exists(path));
        } else {
            QCOMPARE(pdfPages(path), written);
        }
        if (message.isEmpty()) {
            QVERIFY(boxes.asked().isEmpty());
        } else {
            QCOMPARE(boxes.asked().size(), 1);
            QVERIFY2(boxes.texts().first().contains(message), qPrintable(boxes.texts().first()));
            QVERIFY(boxes.texts().first().contains(path));
        }
        QVERIFY(opened.window->isVisible());
        closeAndForget(opened);
    }

    // A page that cannot be drawn or laid out is told once; the window stays and the other
    // pages can still be seen.
    void failingPages_data() {
        QTest::addColumn<int>("failDrawing");
        QTest::addColumn<int>("failLayout");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("label");
        QTest::newRow("page 2 cannot be drawn")
            << 1 << -1 << "Page 2 could not be drawn: Row 7 cannot be read."
            << "Page 2 of 5";
        QTest::newRow("page 4 cannot be laid out")
            << -1 << 3 << "The pages could not be laid out: The book cannot be read."
            << "Page 2 of 3+";
    }
    void failingPages() {
        QFETCH(int, failDrawing);
        QFETCH(int, failLayout);
        QFETCH(QString, message);
        QFETCH(QString, label);
        test::ScriptedMessageBoxes boxes;
        const Opened opened = open(5, failDrawing, failLayout);
        QVERIFY(QTest::qWaitForWindowActive(opened.window));
        step(opened.window, QStringLiteral("PgDown"));
        QTRY_COMPARE(boxes.texts(), QStringList{message});
        QCOMPARE(boxes.asked().first().caption, QStringLiteral("Preview Book (Numbers)"));
        QTRY_COMPARE(pageText(opened.window), label);
        // Resizing and paging again do not repeat the message.
        opened.window->resize(opened.window->size() + QSize(60, 40));
        QTest::qWait(50);
        step(opened.window, QStringLiteral("End"));
        step(opened.window, QStringLiteral("Home"));
        QTest::qWait(50);
        QCOMPARE(boxes.asked().size(), 1);
        QVERIFY(opened.window->isVisible());
        QCOMPARE(pageText(opened.window).left(7), QStringLiteral("Page 1 "));
        closeAndForget(opened);
    }
};

QTEST_MAIN(TestPreview)
#include "test_preview.moc"
