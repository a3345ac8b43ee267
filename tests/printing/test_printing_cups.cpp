// Printing through a real print queue: a private print server with a PDF printer is started
// for the test, the user prints an envelope, and the address book from its preview, from Printing
// Options, through the real printer dialogs, and the pages that arrive are read back. A stopped
// queue is told to the user, who may save a PDF instead.

#include "BookFiller.h"
#include "core/frmMain.h"
#include "printing/frmPrint.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <pwd.h>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <unistd.h>

using namespace quillory;
using test::ModalScript;
using test::StartedProgram;

namespace {

const QString Queue = QStringLiteral("quillory-pdf");

bool run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return false;
    const QString text = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = text;
    else if (process.exitCode() != 0)
        qWarning("%s: %s", qPrintable(program), qPrintable(text));
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void write(const QString& path, const QString& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

// Where the PDF printer puts the jobs of the user who runs the test.
QString pdfFolder() {
    const passwd* user = getpwuid(getuid());
    return QDir(QString::fromLocal8Bit(user ? user->pw_dir : "/root"))
        .filePath(QStringLiteral("PDF"));
}

QVariantMap recipient() {
    QVariantMap contact = test::contactNamed(QStringLiteral("Quintero"), QStringLiteral("Rosa"));
    contact[QStringLiteral("address1")] = QStringLiteral("77 Harbor Road");
    contact[QStringLiteral("address2")] = QString();
    contact[QStringLiteral("city")] = QStringLiteral("Mystic");
    contact[QStringLiteral("state")] = QStringLiteral("CT");
    contact[QStringLiteral("zip")] = QStringLiteral("06355");
    return contact;
}

const QByteArray Settings = "USERName=Ann Writer\nUSERAddress1=1 Main St\nUSERAddress2=\n"
                            "USERCity=Albany\nUSERState=NY\nUSERZip=12201\nEnvLeft=1\n";

// The newest non-empty PDF the printer wrote since `since` whose name starts with `prefix`, once
// its text holds `expected`; empty when none arrives in time.
QString arrivedPdf(const QDateTime& since, const QString& expected, QString* text) {
    for (int waited = 0; waited < 120; ++waited) {
        const QFileInfoList files =
            QDir(pdfFolder()).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
        for (const QFileInfo& file : files) {
            if (file.lastModified() < since || file.size() == 0)
                continue;
            if (run(QStringLiteral("pdftotext"),
                    {QStringLiteral("-layout"), file.filePath(), QStringLiteral("-")}, text) &&
                text->contains(expected))
                return file.filePath();
        }
        QTest::qWait(500);
    }
    return {};
}

bool printEnvelope(StartedProgram& program) {
    bool closed = false;
    ModalScript script([&](QDialog& dialog) {
        auto& print = static_cast<frmPrint&>(dialog);
        print.OptEnv->click();
        print.Command1->click();
        closed = print.isUnloaded();
    });
    program.main->mnuPrint->trigger();
    return closed;
}

} // namespace

class TestPrintingCups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void envelopeArrivesAtThePrinter();
    void stoppedQueueIsToldAndOffersAPdf();
    void addressBookPrintedFromItsPreview();

private:
    QTemporaryDir m_root{QStringLiteral("/tmp/quillory-cups-XXXXXX")};
    QProcess m_server;
};

void TestPrintingCups::initTestCase() {
    if (getuid() != 0)
        QSKIP("the print server needs root to run its PDF printer");
    if (QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")})
            .isEmpty() ||
        !QFile::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")))
        QSKIP("cups and printer-driver-cups-pdf are not installed (scripts/deps installs them)");
    QVERIFY(m_root.isValid());
    const QString d = m_root.path();
    for (const char* sub : {"spool", "cache", "log", "run"})
        QVERIFY(QDir(d).mkpath(QString::fromLatin1(sub)));
    QFile::setPermissions(d, QFileDevice::Permissions(0x7755));
    write(d + QStringLiteral("/cupsd.conf"),
          QStringLiteral("Listen %1/run/cups.sock\nLogLevel warn\n<Location />\n  Allow all\n"
                         "</Location>\n<Location /admin>\n  Allow all\n</Location>\n")
              .arg(d));
    write(d + QStringLiteral("/cups-files.conf"),
          QStringLiteral("ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool\n"
                         "CacheDir %1/cache\nStateDir %1/run\nErrorLog %1/log/error_log\n"
                         "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                         "SystemGroup root\nUser lp\nGroup lp\nSandboxing relaxed\n")
              .arg(d));
    for (const char* sub : {"spool", "cache", "log", "run"})
        QVERIFY(run(QStringLiteral("chmod"),
                    {QStringLiteral("a+rwx"), d + QLatin1Char('/') + QLatin1String(sub)}));
    m_server.start(QStringLiteral("/usr/sbin/cupsd"),
                   {QStringLiteral("-c"), d + QStringLiteral("/cupsd.conf"), QStringLiteral("-s"),
                    d + QStringLiteral("/cups-files.conf"), QStringLiteral("-f")});
    QVERIFY(m_server.waitForStarted());
    const QString socket = d + QStringLiteral("/run/cups.sock");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(socket).exists(), 10000);
    // The program's printer back-end and the admin tools find the private server here.
    qputenv("CUPS_SERVER", socket.toLocal8Bit());
    QVERIFY(run(QStringLiteral("lpadmin"),
                {QStringLiteral("-p"), Queue, QStringLiteral("-E"), QStringLiteral("-v"),
                 QStringLiteral("cups-pdf:/"), QStringLiteral("-m"),
                 QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd"),
                 // This renderer keeps the text of the page searchable in the PDF that arrives.
                 QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo"),
                 // A4 paper by default, so that a job's own paper size shows.
                 QStringLiteral("-o"), QStringLiteral("PageSize=A4")}));
    QVERIFY(run(QStringLiteral("lpadmin"), {QStringLiteral("-d"), Queue}));
}

void TestPrintingCups::cleanupTestCase() {
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(10000))
            m_server.kill();
    }
}

void TestPrintingCups::envelopeArrivesAtThePrinter() {
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    StartedProgram program({.contacts = QList<QVariantMap>{recipient()}, .settings = Settings});
    QVERIFY2(printEnvelope(program), "a left-side envelope closes Printing Options");
    QVERIFY2(program.boxes.asked().isEmpty(), qPrintable(program.boxes.texts().join(u'\n')));

    // The job reaches the PDF printer, which writes it into the user's PDF folder.
    QString arrived;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QFileInfoList files =
                QDir(pdfFolder())
                    .entryInfoList({QStringLiteral("Envelope*.pdf")}, QDir::Files, QDir::Time);
            for (const QFileInfo& file : files) {
                if (file.lastModified() >= started && file.size() > 0) {
                    arrived = file.filePath();
                    return true;
                }
            }
            return false;
        }(),
        60000);
    QString text;
    QTRY_VERIFY_WITH_TIMEOUT(run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), arrived, QStringLiteral("-")},
                                 &text) &&
                                 text.contains(QLatin1String("Rosa Quintero")),
                             20000);
    QVERIFY2(text.contains(QLatin1String("77 Harbor Road")), qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("Ann Writer")), qPrintable(text));
    QFile::remove(arrived);
}

void TestPrintingCups::stoppedQueueIsToldAndOffersAPdf() {
    QVERIFY(run(QStringLiteral("cupsdisable"), {Queue}));
    StartedProgram program({.contacts = QList<QVariantMap>{recipient()}, .settings = Settings});
    program.boxes.answer(ui::Answer::No);
    printEnvelope(program);
    QVERIFY(run(QStringLiteral("cupsenable"), {Queue}));
    QCOMPARE(program.boxes.asked().size(), 1);
    const QString message = program.boxes.texts().front();
    QVERIFY2(message.contains(QStringLiteral("\"%1\"").arg(Queue)), qPrintable(message));
    QVERIFY2(message.contains(QLatin1String("stopped")), qPrintable(message));
    QVERIFY2(message.contains(QLatin1String("PDF")), qPrintable(message));
}

void TestPrintingCups::addressBookPrintedFromItsPreview() {
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    QVariantMap second = test::contactNamed(QStringLiteral("Zeller"), QStringLiteral("Otto"));
    second[QStringLiteral("address2")] = QStringLiteral("Suite 12");
    test::TempProgramFolder folder;
    // The address book's templates as the program ships them.
    for (const char* name : {"combook1.rpt", "combook2.rpt"})
        QVERIFY(
            QFile::copy(QDir(qEnvironmentVariable("QUILLORY_ASSETS")).filePath(QLatin1String(name)),
                        folder.file(QLatin1String(name))));
    StartedProgram program(folder, {.contacts = QList<QVariantMap>{recipient(), second}});
    // Both printer dialogs (the job's, then the preview's) are the real ones, and the user
    // prints on the default printer, which is the test's PDF queue.
    int dialogs = 0;
    ModalScript script([&dialogs](QDialog& dialog) {
        if (qobject_cast<QPrintDialog*>(&dialog)) {
            ++dialogs;
            dialog.show();
            dialog.accept();
            return;
        }
        auto& print = static_cast<frmPrint&>(dialog);
        print.OptAdd->click();
        print.Command1->click();
        print.Command2->click();
    });
    program.main->mnuPrint->trigger();
    // The job opened the two previews, page 2 first; page 1 lists the contact without a second
    // address line. Its printer button prints on the queue.
    QWidget* page1 = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("frmPreview") &&
            window->windowTitle().startsWith(QLatin1String("Address Book [Page 1]")))
            page1 = window;
    }
    QVERIFY2(page1, "no preview of the address book's page 1");
    auto* print = page1->findChild<QAction*>(QStringLiteral("actPrint"));
    QVERIFY(print);
    print->trigger();
    QCOMPARE(dialogs, 2);
    QVERIFY2(program.boxes.asked().isEmpty(), qPrintable(program.boxes.texts().join(u'\n')));

    QString text;
    const QString arrived = arrivedPdf(started, QStringLiteral("Quintero"), &text);
    QVERIFY2(!arrived.isEmpty(), "the address book's page did not arrive at the printer");
    QVERIFY2(text.contains(QLatin1String("77 Harbor Road")), qPrintable(text));
    QVERIFY2(!text.contains(QLatin1String("Zeller")), qPrintable(text));
    // The Letter page comes out on Letter, at its own size, though the queue's paper is A4.
    QVERIFY(run(QStringLiteral("pdfinfo"), {arrived}, &text));
    QVERIFY2(text.contains(QLatin1String("612 x 792")), qPrintable(text));
    QFile::remove(arrived);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("frmPreview"))
            window->close();
    }
}

QTEST_MAIN(TestPrintingCups)
#include "test_printing_cups.moc"
