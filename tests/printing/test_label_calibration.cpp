// Printer calibration for label sheets: the offsets the user sets on the "Label Set-up" tab are
// kept in the settings file, move every label of a printed sheet, and move the outlines of the
// test sheet the user holds against a blank sheet of labels.

#include "BookFiller.h"
#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/files/ProgramFolder.h"
#include "platform/report/PrinterDialog.h"
#include "platform/report/ReportControl.h"
#include "prefs/frmUser.h"
#include "printing/frmLabel.h"
#include "printing/frmPrint.h"
#include "platform/report/LabelTestSheet.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace quillory;
using test::ModalScript;
using test::StartedProgram;

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;

// A stock's layout as the maker publishes it, in inches.
struct Stock {
    int number;
    double width, height;
    int across, down;
    double left, top, pitchAcross, pitchDown;
    int count() const { return across * down; }
    QRectF label(int index) const {
        return QRectF((left + (index % across) * pitchAcross) * 72,
                      (top + (index / across) * pitchDown) * 72, width * 72, height * 72);
    }
};

const Stock Stock5160{5160, 2.625, 1, 3, 10, 0.15625, 0.5, 2.78125, 1};
const Stock Stock5163{5163, 4, 2, 2, 5, 0.1625, 0.5, 4.1875, 2};
const Stock Stock5267{5267, 1.75, 0.5, 4, 20, 0.28125, 0.5, 2.0625, 0.5};

// A letter page at 72 dots per inch that keeps the bounds of every shape drawn on it, in page
// points, and the words of every text.
class ShapeRecorder final : public QPaintDevice {
public:
    QList<QRectF> shapes;
    int texts = 0;

    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth:
            return 612;
        case PdmHeight:
            return 792;
        case PdmWidthMM:
            return 216;
        case PdmHeightMM:
            return 279;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 72;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 256;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(ShapeRecorder& owner) : QPaintEngine(AllFeatures), m_owner(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& changed) override {
            if (changed.state() & DirtyTransform)
                m_transform = changed.transform();
        }
        void drawPath(const QPainterPath& path) override {
            m_owner.shapes.append(m_transform.map(path).boundingRect());
        }
        void drawRects(const QRectF* rects, int count) override {
            for (int i = 0; i < count; ++i)
                m_owner.shapes.append(m_transform.mapRect(rects[i]));
        }
        void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override {
            m_owner.shapes.append(
                m_transform.map(QPolygonF(points, points + count)).boundingRect());
        }
        void drawTextItem(const QPointF&, const QTextItem&) override { ++m_owner.texts; }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        Type type() const override { return User; }

    private:
        ShapeRecorder& m_owner;
        QTransform m_transform;
    };
    mutable Engine m_engine{*this};
};

bool near(const QRectF& a, const QRectF& b) {
    const double slack = 0.05;
    return std::abs(a.left() - b.left()) < slack && std::abs(a.top() - b.top()) < slack &&
           std::abs(a.right() - b.right()) < slack && std::abs(a.bottom() - b.bottom()) < slack;
}

// The top left corner of the first word `text` on the first page of `pdf`, in points.
std::optional<QPointF> wordAt(const QString& pdf, const QString& text) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                   QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return std::nullopt;
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" "
                       "yMax=\"[\\d.]+\">([^<]*)</word>"));
    for (auto it = word.globalMatch(out); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(3) == text)
            return QPointF(match.captured(1).toDouble(), match.captured(2).toDouble());
    }
    return std::nullopt;
}

// Writes the label sheet `templateName` of the folder's book as PDF with the program's command
// line; the error stream when it fails.
QString writeLabels(const test::TempProgramFolder& dir, const QString& templateName,
                    const QString& pdf) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLORY_PROGRAM),
                  {QStringLiteral("--home"), dir.path(), QStringLiteral("--report"), templateName,
                   QStringLiteral("--pdf"), pdf});
    if (!program.waitForFinished(60000))
        return QStringLiteral("the program did not finish");
    if (program.exitCode() != 0)
        return QString::fromLocal8Bit(program.readAllStandardError()) + QStringLiteral(" (failed)");
    return {};
}

// Opens the settings dialog from the menu and runs `step` on it.
void openSettings(StartedProgram& program, const std::function<void(frmUser&)>& step) {
    ModalScript script([&](QDialog& dialog) {
        if (auto* user = qobject_cast<frmUser*>(&dialog))
            step(*user);
    });
    program.main->mnuUser->trigger();
    QCOMPARE(script.shown(), 1);
}

QString stored(const StartedProgram& program, const QString& key) {
    const QString text = QString::fromUtf8(program.folder.read(QStringLiteral("Corvanel.hig")));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

QWidget* windowTitled(const QString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == title)
            return widget;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Stock)

class LabelCalibrationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The first contact's name on a sheet printed with the offsets saved in the settings file
    // is moved from where it is printed without them by exactly the offsets.
    void offsetsMovePrintedLabels_data() {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<QPointF>("offset");
        QTest::newRow("5160 right and up") << "5160-1.rpt" << QPointF(2.5, -1.5);
        QTest::newRow("5163 left and down") << "5163-1.rpt" << QPointF(-4.0, 3.2);
        QTest::newRow("5267 full reach") << "5267-2.rpt" << QPointF(10.0, -10.0);
    }
    void offsetsMovePrintedLabels() {
        QFETCH(QString, templateName);
        QFETCH(QPointF, offset);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        QVariantMap contact = test::contactNamed(QStringLiteral("Adams"), QStringLiteral("Ann"));
        contact.insert(QStringLiteral("address1"), QStringLiteral("1 Main St"));
        if (templateName.contains(QLatin1String("-2")))
            contact.insert(QStringLiteral("address2"), QStringLiteral("Suite 9"));
        test::TempProgramFolder dir;
        test::writeBook(dir.file(QStringLiteral("Corvanel.MDB")), {contact});
        // A print copy left behind is not what is printed: each run copies the book afresh.
        test::writeBook(dir.file(QStringLiteral("print.mdb")), {});

        const QString plain = dir.file(QStringLiteral("plain.pdf"));
        QCOMPARE(writeLabels(dir, templateName, plain), QString());
        const auto before = wordAt(plain, QStringLiteral("Ann"));
        QVERIFY(before);

        test::writeSettings(dir, QStringLiteral("5160=True\nLabelOffsetX=%1\nLabelOffsetY=%2\n")
                                     .arg(offset.x())
                                     .arg(offset.y())
                                     .toUtf8());
        const QString moved = dir.file(QStringLiteral("moved.pdf"));
        QCOMPARE(writeLabels(dir, templateName, moved), QString());
        const auto after = wordAt(moved, QStringLiteral("Ann"));
        QVERIFY(after);
        const QPointF shift = (*after - *before) / PointsPerMillimetre;
        QVERIFY2(std::abs(shift.x() - offset.x()) < 0.05 && std::abs(shift.y() - offset.y()) < 0.05,
                 qPrintable(QStringLiteral("moved by %1, %2 mm").arg(shift.x()).arg(shift.y())));
    }

    // What the file holds shows in the spin boxes; a save writes the boxes' values under the
    // keys of their own and leaves every other key as it was. Values out of reach are taken as
    // the nearest in reach, and what is no number leaves the offset at zero.
    void offsetsKeptInSettingsFile_data() {
        QTest::addColumn<QByteArray>("storedX");
        QTest::addColumn<QByteArray>("storedY");
        QTest::addColumn<double>("shownX");
        QTest::addColumn<double>("shownY");
        QTest::newRow("none stored") << QByteArray() << QByteArray() << 0.0 << 0.0;
        QTest::newRow("tenths") << QByteArray("1.5") << QByteArray("-0.3") << 1.5 << -0.3;
        QTest::newRow("out of reach") << QByteArray("25") << QByteArray("-12.5") << 10.0 << -10.0;
        QTest::newRow("hundredths") << QByteArray("2.26") << QByteArray("-2.24") << 2.3 << -2.2;
        QTest::newRow("no number") << QByteArray("left") << QByteArray("1.2.3") << 0.0 << 0.0;
    }
    void offsetsKeptInSettingsFile() {
        QFETCH(QByteArray, storedX);
        QFETCH(QByteArray, storedY);
        QFETCH(double, shownX);
        QFETCH(double, shownY);
        QByteArray lines = "USERName=Ann Adams\n5162=True\nGrid3=1440\nLegacyKey=kept\n";
        if (!storedX.isNull())
            lines += "LabelOffsetX=" + storedX + "\nLabelOffsetY=" + storedY + "\n";
        StartedProgram program({.contacts = QList<QVariantMap>{}, .settings = lines});

        openSettings(program, [&](frmUser& dialog) {
            QCOMPARE(dialog.SpinOffsetX->value(), shownX);
            QCOMPARE(dialog.SpinOffsetY->value(), shownY);
            dialog.SpinOffsetX->setValue(-7.4);
            dialog.SpinOffsetY->setValue(3.0);
            dialog.useSave->click();
            dialog.useExit->click();
        });
        QCOMPARE(stored(program, QStringLiteral("LabelOffsetX")), QStringLiteral("-7.4"));
        QCOMPARE(stored(program, QStringLiteral("LabelOffsetY")), QStringLiteral("3.0"));
        QCOMPARE(stored(program, QStringLiteral("USERName")), QStringLiteral("Ann Adams"));
        QCOMPARE(stored(program, QStringLiteral("5162")), QStringLiteral("True"));
        QCOMPARE(stored(program, QStringLiteral("Grid3")), QStringLiteral("1440"));
        QCOMPARE(stored(program, QStringLiteral("LegacyKey")), QStringLiteral("kept"));
        QCOMPARE(program.context->settings().labelOffsetX, -7.4);
        openSettings(program, [&](frmUser& dialog) {
            QCOMPARE(dialog.SpinOffsetX->value(), -7.4);
            QCOMPARE(dialog.SpinOffsetY->value(), 3.0);
            // Back to no calibration: the keys stay, saying so.
            dialog.SpinOffsetX->setValue(0.0);
            dialog.SpinOffsetY->setValue(0.0);
            dialog.useSave->click();
            dialog.useExit->click();
        });
        QCOMPARE(stored(program, QStringLiteral("LabelOffsetX")), QStringLiteral("0.0"));
        QCOMPARE(stored(program, QStringLiteral("LabelOffsetY")), QStringLiteral("0.0"));
    }

    // The test sheet draws one outline per label of the stock, where the maker puts the label,
    // moved by the offsets, and nothing else.
    void testSheetOutlines_data() {
        QTest::addColumn<Stock>("stock");
        QTest::addColumn<QPointF>("offset");
        QTest::newRow("5160 unmoved") << Stock5160 << QPointF();
        QTest::newRow("5160 moved") << Stock5160 << QPointF(1.5, -2.0);
        QTest::newRow("5163 moved") << Stock5163 << QPointF(-10.0, 10.0);
        QTest::newRow("5267 moved") << Stock5267 << QPointF(0.1, 0.7);
    }
    void testSheetOutlines() {
        QFETCH(Stock, stock);
        QFETCH(QPointF, offset);
        test::TempProgramFolder dir;
        LabelTestSheet sheet(stock.number, offset,
                             ProgramFolder(dir.path(), qEnvironmentVariable("QUILLORY_ASSETS")));
        QCOMPARE(sheet.pageCount(), 1);
        QVERIFY(!sheet.hasPage(1));
        ShapeRecorder page;
        {
            QPainter painter(&page);
            sheet.drawPage(0, painter);
        }
        QCOMPARE(page.shapes.size(), stock.count());
        QCOMPARE(page.texts, 0);
        const QPointF shift = offset * PointsPerMillimetre;
        for (int i = 0; i < stock.count(); ++i) {
            const QRectF expected = stock.label(i).translated(shift);
            QVERIFY2(near(page.shapes.at(i), expected),
                     qPrintable(QStringLiteral("label %1 drawn at %2,%3")
                                    .arg(i)
                                    .arg(page.shapes.at(i).left())
                                    .arg(page.shapes.at(i).top())));
        }
    }

    // "Print test sheet" shows the chosen stock's sheet, with the offsets as they stand in the
    // boxes, in the preview window; with no stock chosen it asks for one first.
    void testSheetFromSettings_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("window");
        QTest::newRow("stock chosen")
            << QByteArray("5163=True\n") << QString() << QStringLiteral("Label test sheet (5163)");
        QTest::newRow("no stock") << QByteArray("USERName=Ann\n")
                                  << QStringLiteral("Choose a label stock in User Settings first")
                                  << QString();
    }
    void testSheetFromSettings() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, message);
        QFETCH(QString, window);
        // The stock's template as an installed program keeps it, in the program folder.
        test::TempProgramFolder dir;
        QFile sheet(
            QDir(qEnvironmentVariable("QUILLORY_ASSETS")).filePath(QStringLiteral("5163-1.rpt")));
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        dir.write(QStringLiteral("5163-1.rpt"), sheet.readAll());
        StartedProgram program(dir, {.contacts = QList<QVariantMap>{}, .settings = settings});
        program.boxes.clear();
        openSettings(program, [&](frmUser& dialog) {
            dialog.SpinOffsetX->setValue(2.0);
            dialog.CmdTestSheet->click();
            dialog.useExit->click();
        });
        QCOMPARE(program.boxes.texts().join(QLatin1Char('|')), message);
        QWidget* preview = windowTitled(QStringLiteral("Label test sheet (5163)"));
        QCOMPARE(preview != nullptr, !window.isEmpty());
        if (preview)
            preview->close();
        // Showing the sheet saves nothing.
        QCOMPARE(stored(program, QStringLiteral("LabelOffsetX")), QString());
    }

    // Both runs of the label dialog's address job carry the saved offsets to the report.
    void labelDialogPassesOffsets() {
        StartedProgram program({.contacts = QList<QVariantMap>{test::contactNamed(
                                    QStringLiteral("Adams"), QStringLiteral("Ann"))},
                                .settings = "5160=True\nLabelOffsetX=-1.2\nLabelOffsetY=0.8\n"});
        QList<report::ReportRequest> runs;
        report::PrinterDialogService::setResponder(
            [](const report::PrinterDialogRequest&, QPrinter&) { return true; });
        report::ReportControl::setRunner([&](const report::ReportRequest& request,
                                             const ProgramFolder&,
                                             QWidget*) { runs.append(request); });
        {
            ModalScript script([](QDialog& dialog) {
                if (auto* print = qobject_cast<frmPrint*>(&dialog)) {
                    print->OptLabel->click();
                    print->Command1->click();
                    print->Command2->click();
                } else if (auto* labels = qobject_cast<frmLabel*>(&dialog)) {
                    labels->show();
                    labels->Command2->click();
                    labels->Command1->click();
                    labels->hide();
                }
            });
            program.main->mnuPrint->trigger();
        }
        report::PrinterDialogService::setResponder({});
        report::ReportControl::setRunner({});
        QCOMPARE(runs.size(), 2);
        for (const report::ReportRequest& run : runs)
            QCOMPARE(run.labelOffset, QPointF(-1.2, 0.8));
    }
};

QTEST_MAIN(LabelCalibrationTest)
#include "test_label_calibration.moc"
