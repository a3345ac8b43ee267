// The real program on a real X server with a window manager: the main window comes back where
// and as large as the user left it, start after start, and a stored geometry that no screen can
// hold neither crashes the program nor puts the window out of reach. The test starts its own
// Xvfb and openbox, drives the window with xdotool as a user would (the close box's key, the
// title bar) and measures it with xwininfo and xprop. It waits for what it looks at (a window,
// a size, a question, the program's end), never for a time.

#include <functional>
#include <optional>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

constexpr int ScreenWidth = 1600;
constexpr int ScreenHeight = 1200;

// Waits until `done` holds, checking every `stepMs`, for at most `limitMs`.
template <typename Check> bool waitFor(Check done, int limitMs, int stepMs = 100) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QThread::msleep(stepMs);
    }
    return true;
}

// An X server of our own with openbox managing it, torn down with the test.
class Desktop {
public:
    ~Desktop() {
        for (QProcess* process : {&m_windowManager, &m_server}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000))
                    process->kill();
                process->waitForFinished(1000);
            }
        }
    }

    // The tools the test drives the desktop with that are not installed.
    static QStringList missingTools() {
        QStringList missing;
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                missing.append(QString::fromLatin1(tool));
        }
        return missing;
    }

    // Empty when the server runs with openbox on it; otherwise what went wrong.
    QString start() {
        const QStringList screen = {QStringLiteral("-screen"), QStringLiteral("0"),
                                    QStringLiteral("%1x%2x24").arg(ScreenWidth).arg(ScreenHeight),
                                    QStringLiteral("-nolisten"), QStringLiteral("tcp")};
        // A display number may be given; otherwise the server takes the first free one.
        const QString fixed = qEnvironmentVariable("QUILLORY_TEST_DISPLAY");
        if (!fixed.isEmpty()) {
            m_display = QStringLiteral(":") + fixed;
            // A server of an earlier run may still be going away.
            const QString lock = QStringLiteral("/tmp/.X%1-lock").arg(fixed);
            waitFor([&] { return !QFile::exists(lock); }, 10000);
            m_server.start(QStringLiteral("Xvfb"), QStringList{m_display} + screen);
            m_server.waitForStarted(10000);
        } else {
            m_server.start(QStringLiteral("Xvfb"),
                           QStringList{QStringLiteral("-displayfd"), QStringLiteral("1")} + screen);
            if (!waitFor(
                    [&] {
                        m_server.waitForReadyRead(100);
                        return m_server.canReadLine() || m_server.state() == QProcess::NotRunning;
                    },
                    10000))
                return QStringLiteral("Xvfb did not name its display");
            m_display = QStringLiteral(":") + QString::fromLatin1(m_server.readLine().trimmed());
        }
        if (!waitFor([&] { return tool(QStringLiteral("xprop"), {QStringLiteral("-root")}).ok; },
                     15000) ||
            m_server.waitForFinished(0) || m_server.state() != QProcess::Running)
            return QStringLiteral("Xvfb did not start on %1: %2")
                .arg(m_display, QString::fromLocal8Bit(m_server.readAllStandardError()));

        m_windowManager.setProcessEnvironment(environment());
        QString trouble;
        // A window manager that ends at once (seen on a busy machine) is given another try.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_windowManager.start(QStringLiteral("openbox"), {});
            m_windowManager.waitForStarted(10000);
            if (waitFor(
                    [&] {
                        return m_windowManager.waitForFinished(0) ||
                               tool(QStringLiteral("xprop"),
                                    {QStringLiteral("-root"),
                                     QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                                   .out.contains("window id");
                    },
                    30000) &&
                m_windowManager.state() == QProcess::Running)
                return {};
            trouble = QStringLiteral("openbox did not take %1 over (%2, exit %3): %4")
                          .arg(m_display, m_windowManager.errorString())
                          .arg(m_windowManager.exitCode())
                          .arg(QString::fromLocal8Bit(m_windowManager.readAllStandardError()));
            if (m_windowManager.state() != QProcess::NotRunning) {
                m_windowManager.kill();
                m_windowManager.waitForFinished(3000);
            }
        }
        return trouble;
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }

    struct Result {
        bool ok = false;
        QByteArray out;
    };
    Result tool(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(1000);
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                process.readAllStandardOutput()};
    }

private:
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};

// The stored geometry, in twips, as the file holds it.
struct Stored {
    double left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Stored&) const = default;
    // 96 dots per inch: 15 twips to the pixel.
    QRect pixels() const {
        return {qRound(left / 15), qRound(top / 15), qRound(width / 15), qRound(height / 15)};
    }
};

QString describe(const Stored& s) {
    return QStringLiteral("%1,%2 %3x%4").arg(s.left).arg(s.top).arg(s.width).arg(s.height);
}

QString describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

std::optional<Stored> readStored(const QString& home) {
    QFile file(QDir(home).filePath(QStringLiteral("Corvanel.win")));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Stored s;
    int found = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const double value = line.mid(equals + 1).trimmed().toDouble();
        double* target = key == "Left"     ? &s.left
                         : key == "Top"    ? &s.top
                         : key == "Width"  ? &s.width
                         : key == "Height" ? &s.height
                                           : nullptr;
        if (target) {
            *target = value;
            ++found;
        }
    }
    return found == 4 ? std::optional<Stored>(s) : std::nullopt;
}

// The most a test waits for one thing the program does (to start, to show a window, to end).
// The program built with sanitizers on a busy machine takes many seconds for each; nothing
// waits this long unless it has already failed.
constexpr int Patience = 180000;

// The pixels that differ between two pictures of a window above its status bar, whose clock
// goes on; -1 when their sizes differ.
int differingAboveStatusBar(const QImage& a, const QImage& b) {
    constexpr int StatusBar = 40;
    if (a.isNull() || a.size() != b.size())
        return -1;
    int differing = 0;
    for (int y = 0; y < a.height() - StatusBar; ++y) {
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y);
    }
    return differing;
}

// The program started on a program folder, and its main window as the X server sees it.
class Program {
public:
    Program(Desktop& desktop, const QString& home) : m_desktop(desktop) {
        // The tip of the day would stand over the window these tests look at.
        QFile settings(QDir(home).filePath(QStringLiteral("Corvanel.hig")));
        if (!settings.exists() && settings.open(QIODevice::WriteOnly))
            settings.write("[User Prefs]\nTIP=0\n");
        settings.close();
        m_process.setProcessEnvironment(desktop.environment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(QUILLORY_PROGRAM), {QStringLiteral("--home"), home});
        m_process.waitForStarted(10000);
    }
    ~Program() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool running() {
        // Without an event loop the process's end is noticed only when asked for.
        if (m_process.state() == QProcess::Running)
            m_process.waitForFinished(0);
        return m_process.state() == QProcess::Running;
    }

    // The visible windows of the program of one kind ("NORMAL", "DIALOG"), by the type a window
    // names first: Qt names "normal" last for every window, the splash (which bears the
    // program's name as its title too) among them.
    QStringList windows(const QString& kind) const {
        const Desktop::Result found =
            m_desktop.tool(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--pid"), QString::number(m_process.processId()),
                            QStringLiteral("--name"), QStringLiteral("^Quillory$")});
        const QRegularExpression firstType(QStringLiteral("= _NET_WM_WINDOW_TYPE_(\\w+)"));
        QStringList matching;
        for (const QByteArray& id : found.out.split('\n')) {
            if (id.trimmed().isEmpty())
                continue;
            const QByteArray type =
                m_desktop
                    .tool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::fromLatin1(id),
                                                    QStringLiteral("_NET_WM_WINDOW_TYPE")})
                    .out;
            if (firstType.match(QString::fromLatin1(type)).captured(1) == kind)
                matching.append(QString::fromLatin1(id.trimmed()));
        }
        return matching;
    }

    // Waits until the main window is on the screen with its frame and, when `wanted` is given,
    // its outer rectangle is as wanted; gives the rectangle seen last (nothing when no main
    // window came, or the program ended).
    std::optional<QRect> waitForMainWindow(const std::function<bool(const QRect&)>& wanted = {}) {
        std::optional<QRect> seen;
        waitFor(
            [&] {
                if (!running())
                    return true;
                seen = m_window.isEmpty() ? std::nullopt : outer();
                // The window found is gone (or none was found yet): look again.
                if (!seen) {
                    m_window = windows(QStringLiteral("NORMAL")).value(0);
                    seen = m_window.isEmpty() ? std::nullopt : outer();
                }
                return seen && (!wanted || wanted(*seen));
            },
            Patience, 200);
        return running() ? seen : std::nullopt;
    }

    // The window's rectangle with the window manager's frame.
    std::optional<QRect> outer() const {
        const QByteArray info =
            m_desktop.tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_window}).out;
        const QByteArray extents =
            m_desktop
                .tool(QStringLiteral("xprop"),
                      {QStringLiteral("-id"), m_window, QStringLiteral("_NET_FRAME_EXTENTS")})
                .out;
        auto number = [&](const char* label) -> std::optional<int> {
            const QRegularExpression pattern(QString::fromLatin1(label) +
                                             QStringLiteral(":\\s*(-?\\d+)"));
            const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(info));
            return match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
        };
        const auto x = number("Absolute upper-left X"), y = number("Absolute upper-left Y");
        const auto w = number("Width"), h = number("Height");
        const QRegularExpressionMatch frame =
            QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"))
                .match(QString::fromLatin1(extents));
        // A window not mapped (any more) or not framed yet is not where it will stand.
        if (!x || !y || !w || !h || !frame.hasMatch() || !info.contains("IsViewable"))
            return std::nullopt;
        const int left = frame.captured(1).toInt(), right = frame.captured(2).toInt();
        const int top = frame.captured(3).toInt(), bottom = frame.captured(4).toInt();
        return QRect(*x - left, *y - top, *w + left + right, *h + top + bottom);
    }

    bool isMaximized() const {
        return m_desktop
            .tool(QStringLiteral("xprop"),
                  {QStringLiteral("-id"), m_window, QStringLiteral("_NET_WM_STATE")})
            .out.contains("_NET_WM_STATE_MAXIMIZED_VERT");
    }

    // Double-clicks the title bar, which maximizes the window under openbox or restores a
    // maximized one, until the window is as wanted.
    bool setMaximized(bool maximized) {
        const std::optional<QRect> frame = outer();
        if (!frame)
            return false;
        const QPoint title(frame->center().x(), frame->top() + 8);
        m_desktop.tool(QStringLiteral("xdotool"),
                       {QStringLiteral("mousemove"), QString::number(title.x()),
                        QString::number(title.y()), QStringLiteral("click"),
                        QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
                        QStringLiteral("80"), QStringLiteral("1")});
        return waitFor([&] { return isMaximized() == maximized; }, Patience, 200);
    }

    // Gives the window a new inner size, as dragging its border does, and waits until it has it.
    bool resizeTo(const QSize& inner) {
        return m_desktop
                   .tool(QStringLiteral("xdotool"),
                         {QStringLiteral("windowsize"), QStringLiteral("--sync"), m_window,
                          QString::number(inner.width()), QString::number(inner.height())})
                   .ok &&
               running();
    }

    // The window's contents as the X server shows them, the pointer moved out of the way and
    // the picture settled (two pictures in a row alike).
    QImage grab(const QString& file) const {
        m_desktop.tool(QStringLiteral("xdotool"),
                       {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                        QString::number(ScreenWidth - 1), QString::number(ScreenHeight - 1)});
        QImage previous;
        QImage now;
        waitFor(
            [&] {
                previous = now;
                m_desktop.tool(QStringLiteral("import"),
                               {QStringLiteral("-window"), m_window, file});
                now = QImage(file);
                return differingAboveStatusBar(previous, now) == 0;
            },
            Patience);
        return now;
    }

    // Closes the window with the window manager's close key and answers Yes to the question.
    bool closeAnsweringYes() {
        for (int attempt = 0; attempt < 3 && running(); ++attempt) {
            m_desktop.tool(QStringLiteral("xdotool"),
                           {QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_window});
            m_desktop.tool(QStringLiteral("xdotool"),
                           {QStringLiteral("key"), QStringLiteral("--clearmodifiers"),
                            QStringLiteral("alt+F4")});
            QString question;
            // A close key that went to no window (the window was not active yet) brings no
            // question; it is pressed again.
            if (!waitFor(
                    [&] {
                        question = windows(QStringLiteral("DIALOG")).value(0);
                        return !question.isEmpty() || !running();
                    },
                    20000, 200) ||
                question.isEmpty())
                continue;
            m_desktop.tool(QStringLiteral("xdotool"),
                           {QStringLiteral("windowactivate"), QStringLiteral("--sync"), question});
            m_desktop.tool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("y")});
            waitFor([&] { return !running(); }, Patience, 200);
        }
        return !running() && m_process.exitStatus() == QProcess::NormalExit;
    }

private:
    Desktop& m_desktop;
    QProcess m_process;
    QString m_window;
};

} // namespace

class TestDesktopWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void geometryStaysPut_data();
    void geometryStaysPut();
    void maximizedComesBackMaximized();
    void geometryNoScreenHoldsComesBackOnScreen_data();
    void geometryNoScreenHoldsComesBackOnScreen();
    void nothingStaleAfterShrinking();

private:
    std::unique_ptr<Desktop> m_desktop;
};

void TestDesktopWindow::initTestCase() {
    const QStringList missing = Desktop::missingTools();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no desktop to test on: %1 not installed (scripts/deps "
                                        "installs them)")
                             .arg(missing.join(QStringLiteral(", ")))));
    m_desktop = std::make_unique<Desktop>();
    const QString trouble = m_desktop->start();
    QVERIFY2(trouble.isEmpty(), qPrintable(trouble));
}

void TestDesktopWindow::geometryStaysPut_data() {
    QTest::addColumn<QByteArray>("stored"); // "Corvanel.win" before the first start
    QTest::addColumn<QRect>("expected");    // the outer rectangle from the first start on
    QTest::newRow("first start") << QByteArray() << QRect();
    QTest::newRow("1200x900")
        << QByteArray("[User Prefs]\nLeft=3000\nTop=2250\nWidth=18000\nHeight=13500\n")
        << QRect(200, 150, 1200, 900);
}

void TestDesktopWindow::geometryStaysPut() {
    QFETCH(QByteArray, stored);
    QFETCH(QRect, expected);
    QTemporaryDir home;
    if (!stored.isEmpty()) {
        QFile file(home.filePath(QStringLiteral("Corvanel.win")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
    }

    std::optional<Stored> firstStored;
    for (int start = 1; start <= 3; ++start) {
        const QString when = QStringLiteral("start %1: ").arg(start);
        Program program(*m_desktop, home.path());
        // From the second start on, the window shows what was stored.
        const QRect wanted = firstStored ? firstStored->pixels() : expected;
        const std::optional<QRect> shown = program.waitForMainWindow(
            [&](const QRect& now) { return wanted.isNull() || now == wanted; });
        QVERIFY2(shown, qPrintable(when + QStringLiteral("no main window")));
        QVERIFY2(wanted.isNull() || *shown == wanted,
                 qPrintable(when + QStringLiteral("shown ") + describe(*shown) +
                            QStringLiteral(", wanted ") + describe(wanted)));
        QVERIFY2(program.closeAnsweringYes(), qPrintable(when + QStringLiteral("did not end")));
        const std::optional<Stored> saved = readStored(home.path());
        QVERIFY2(saved, qPrintable(when + QStringLiteral("no stored geometry")));
        // ...and stores what it shows.
        QVERIFY2(saved->pixels() == *shown,
                 qPrintable(when + QStringLiteral("stored ") + describe(*saved) +
                            QStringLiteral(", shown ") + describe(*shown)));
        if (firstStored)
            QVERIFY2(*saved == *firstStored,
                     qPrintable(when + describe(*saved) + QStringLiteral(" after ") +
                                describe(*firstStored)));
        firstStored = saved;
    }
}

void TestDesktopWindow::maximizedComesBackMaximized() {
    QTemporaryDir home;
    const auto stored = [&] { return readStored(home.path()).value_or(Stored()).pixels(); };
    // The user maximizes the window and quits: the file keeps the rectangle it had before.
    QRect normal;
    {
        Program program(*m_desktop, home.path());
        normal = program.waitForMainWindow().value_or(QRect());
        QVERIFY2(!normal.isNull(), "no main window");
        QVERIFY(program.setMaximized(true));
        QVERIFY(program.closeAnsweringYes());
        QCOMPARE(stored(), normal);
    }
    // It comes back maximized, start after start; restored at the third start, it takes that
    // rectangle, and comes back so.
    for (int start = 2; start <= 4; ++start) {
        Program program(*m_desktop, home.path());
        const bool maximized = start < 4;
        const QRect wanted = maximized ? QRect(0, 0, ScreenWidth, ScreenHeight) : normal;
        QCOMPARE(program.waitForMainWindow([&](const QRect& now) { return now == wanted; }),
                 std::optional<QRect>(wanted));
        QCOMPARE(program.isMaximized(), maximized);
        if (start == 3) {
            QVERIFY(program.setMaximized(false));
            QCOMPARE(program.waitForMainWindow([&](const QRect& now) { return now == normal; }),
                     std::optional<QRect>(normal));
        }
        QVERIFY(program.closeAnsweringYes());
        QCOMPARE(stored(), normal);
    }
}

void TestDesktopWindow::geometryNoScreenHoldsComesBackOnScreen_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QSize>("size"); // the outer size expected on the screen
    QTest::newRow("huge") << QByteArray(
                                 "[User Prefs]\nLeft=1500\nTop=1200\nWidth=800000\nHeight=800000\n")
                          << QSize(ScreenWidth, ScreenHeight);
    QTest::newRow("off every screen")
        << QByteArray("[User Prefs]\nLeft=-300000\nTop=500000\nWidth=13500\nHeight=10500\n")
        << QSize(900, 700);
}

void TestDesktopWindow::geometryNoScreenHoldsComesBackOnScreen() {
    QFETCH(QByteArray, stored);
    QFETCH(QSize, size);
    QTemporaryDir home;
    QFile file(home.filePath(QStringLiteral("Corvanel.win")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
    file.close();

    const QRect screen(0, 0, ScreenWidth, ScreenHeight);
    Program program(*m_desktop, home.path());
    const std::optional<QRect> shown = program.waitForMainWindow(
        [&](const QRect& now) { return screen.contains(now) && now.size() == size; });
    QVERIFY2(shown, "the program did not show its window (or crashed)");
    QVERIFY2(screen.contains(*shown), qPrintable(describe(*shown)));
    QCOMPARE(shown->size(), size);
    QVERIFY(program.closeAnsweringYes());
    const std::optional<Stored> saved = readStored(home.path());
    QVERIFY(saved);
    QCOMPARE(saved->pixels(), *shown);
}

void TestDesktopWindow::nothingStaleAfterShrinking() {
    QTemporaryDir home;
    const QSize smaller(1200, 900);

    // Shrunk from a large window...
    QImage shrunk;
    QRect shrunkOuter;
    {
        Program program(*m_desktop, home.path());
        QVERIFY(program.waitForMainWindow());
        QVERIFY(program.resizeTo(QSize(1590, 1170)));
        QVERIFY(program.resizeTo(smaller));
        shrunkOuter = program.outer().value_or(QRect());
        shrunk = program.grab(home.filePath(QStringLiteral("shrunk.png")));
        QVERIFY(program.closeAnsweringYes());
    }
    // ...it looks as a window started at that size does.
    Program program(*m_desktop, home.path());
    QVERIFY(program.waitForMainWindow([&](const QRect& now) { return now == shrunkOuter; }));
    const QImage fresh = program.grab(home.filePath(QStringLiteral("fresh.png")));
    QVERIFY(program.closeAnsweringYes());

    QCOMPARE(shrunk.size(), smaller);
    QCOMPARE(fresh.size(), smaller);
    // The caret may blink differently; any stale band of pixels is far larger than that.
    const int differing = differingAboveStatusBar(shrunk, fresh);
    QVERIFY2(differing >= 0 && differing < 60, qPrintable(QString::number(differing)));
}

QTEST_GUILESS_MAIN(TestDesktopWindow)
#include "test_desktop_window.moc"
