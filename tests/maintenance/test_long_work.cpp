// Back-up and compaction of a large book, watched and cancelled as a user does it, and killed
// half-way as a power cut does: the book and the previous back-up stay as they were, byte for
// byte.

#include "BookFiller.h"
#include "core/frmMain.h"
#include "MaintenanceTestKit.h"

#include <csignal>
#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillory;
using namespace quillory::test;
using bookfiles::Step;

namespace {

// Large enough that every way of copying reports several times before it ends.
QList<QVariantMap> largeBook() {
    QList<QVariantMap> contacts = contactsWithPhotos(600);
    for (QVariantMap& contact : contacts)
        contact.insert(QStringLiteral("extra5"), QString(30000, u'x'));
    return contacts;
}

// Presses `cancel` as soon as `bar` shows at least `share` (of 1000); the values it showed are
// kept.
struct CancelAt {
    QList<int> shown;
    void watch(QProgressBar* bar, QAbstractButton* cancel, int share) {
        QVERIFY(bar && cancel);
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [this, cancel, share](int value) {
            shown.append(value);
            if (value >= share && cancel->isEnabled())
                cancel->click();
        });
    }
};

QWidget* progressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("frmProgress") && widget->isVisible())
            return widget;
    return nullptr;
}

} // namespace

class TestLongWork : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cancelLeavesBookAndBackup_data();
    void cancelLeavesBookAndBackup();
    void killLeavesBookAndBackup_data();
    void killLeavesBookAndBackup();
};

void TestLongWork::cancelLeavesBookAndBackup_data() {
    QTest::addColumn<QString>("command"); // "backup", "compact" or "exit"
    QTest::addColumn<bool>("freePages");  // much of the book free: copied by compacting
    QTest::addColumn<int>("share");       // cancelled once the bar shows this much of 1000
    for (const char* command : {"backup", "compact", "exit"})
        for (bool freePages : {false, true})
            for (int share : {0, 300, 700})
                QTest::addRow("%s%s at %d", command, freePages ? ", free pages" : "", share)
                    << QString::fromLatin1(command) << freePages << share;
}

void TestLongWork::cancelLeavesBookAndBackup() {
    QFETCH(QString, command);
    QFETCH(bool, freePages);
    QFETCH(int, share);
    TempProgramFolder folder;
    writeBook(folder.file(Book), largeBook());
    if (freePages)
        deleteEveryOther(folder.file(Book));
    writeBook(folder.file(Backup), {contactNamed(QStringLiteral("Older"), QStringLiteral("Sam"))});
    writeSettings(folder, "BUdata=1\n");
    const QByteArray book = folder.read(Book);
    const QByteArray backup = folder.read(Backup);

    CancelAt cancel;
    {
        StartedProgram program(folder);
        MaintenanceDialogs dialogs;
        StepScript steps;
        program.boxes.answer(ui::Answer::Yes);
        if (command == QLatin1String("exit")) {
            program.main->show();
            cancel.watch(
                program.main->frmBU->findChild<QProgressBar*>(QStringLiteral("prgBU")),
                program.main->frmBU->findChild<QPushButton*>(QStringLiteral("cmdBUCancel")), share);
            program.main->close();
            QVERIFY(!program.main->isVisible());
        } else {
            steps.at(Step::Compact, [&](const QString&) {
                QWidget* window = progressWindow();
                QVERIFY(window);
                cancel.watch(window->findChild<QProgressBar*>(QStringLiteral("prgWork")),
                             window->findChild<QPushButton*>(QStringLiteral("cmdCancel")), share);
            });
            program.main->Toolbar1_ButtonMenuClick(
                command == QLatin1String("backup") ? QStringLiteral("BD") : QStringLiteral("CD"));
            verifyBackOnBook(program);
            QCOMPARE(progressWindow(), nullptr);
        }
        // Only the question the command asks first: no news of success or failure.
        QCOMPARE(program.boxes.asked().size(), command == QLatin1String("compact") ? 0 : 1);
    }
    QVERIFY2(!cancel.shown.isEmpty() && cancel.shown.last() >= share,
             "the bar never reached the share");
    QVERIFY(cancel.shown.last() < 1000);
    QCOMPARE(folder.read(Book), book);
    QCOMPARE(folder.read(Backup), backup);
    QCOMPARE(leftovers(folder.path()), QStringList());
}

void TestLongWork::killLeavesBookAndBackup_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("freePages");
    QTest::addColumn<int>("killAt"); // the report of progress the copy is killed at
    for (const char* command : {"backup", "compact", "exit"})
        for (bool freePages : {false, true})
            for (int report : {1, 3, 6})
                QTest::addRow("%s%s at report %d", command, freePages ? ", free pages" : "", report)
                    << QString::fromLatin1(command) << freePages << report;
}

// The copy runs in a child process that kills itself at a chosen report, as the power going
// off would stop the program; the next start finds the files as the copy began with them.
void TestLongWork::killLeavesBookAndBackup() {
    QFETCH(QString, command);
    QFETCH(bool, freePages);
    QFETCH(int, killAt);
    TempProgramFolder folder;
    writeBook(folder.file(Book), largeBook());
    if (freePages)
        deleteEveryOther(folder.file(Book));
    writeBook(folder.file(Backup), {contactNamed(QStringLiteral("Older"), QStringLiteral("Sam"))});
    const QByteArray book = folder.read(Book);
    const QByteArray backup = folder.read(Backup);
    const QString target =
        command == QLatin1String("compact") ? folder.file(Book) : folder.file(Backup);
    const pid_t child = ::fork();
    if (child == 0) {
        int left = killAt;
        try {
            const engine::CopyProgress killer = [&](qint64, qint64) {
                if (--left == 0)
                    ::kill(::getpid(), SIGKILL);
                return true;
            };
            if (command == QLatin1String("exit")) // the copy the exit makes
                bookfiles::writeBackup(folder.file(Book), target, killer);
            else
                bookfiles::writeCompactedCopy(folder.file(Book), target, killer);
        } catch (...) {
        }
        ::_exit(0); // reaching here: the copy ended before the report
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, "the copy ended before the kill");

    StartedProgram program(folder);
    verifyBackOnBook(program);
    QCOMPARE(folder.read(Book), book);
    QCOMPARE(folder.read(Backup), backup);
}

QTEST_MAIN(TestLongWork)
#include "test_long_work.moc"
