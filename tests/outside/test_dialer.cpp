// The phone dialer through the main window: a modem emulated on a real pseudo-terminal answers
// each dial as the row says, and what the program sent, asked and showed is checked. Also the
// devices the four ports stand for, in the settings dialog and in the environment, and the hand-
// over of a number to the desktop's phone program.

#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "ModemEmulator.h"
#include "outside/frmPhone.h"
#include "platform/serial/MSComm.h"
#include "platform/serial/SerialDevices.h"
#include "platform/ui/MessageBox.h"
#include "prefs/frmUser.h"
#include "ShellTestKit.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <grp.h>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTest>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillory;
using namespace std::chrono_literals;
using test::ModemEmulator;
using test::ScopedEnv;
using test::StartedProgram;
using Replies = QList<ModemEmulator::Reply>;

Q_DECLARE_METATYPE(Replies)

namespace {

constexpr int DialButton = 14;
constexpr int NextButton = 9;
const QString PortUnavailable =
    QStringLiteral("CommPORT not available. Change the CommPort property to another port.");
const QString PickUp =
    QStringLiteral("Please pick up the phone and either press Enter or click OK");

QVariantMap contact(const QString& last, const QString& home, const QString& work = {},
                    const QString& pager = {}, const QString& other = {}) {
    return {
        {QStringLiteral("name"), last},           {QStringLiteral("namef"), QStringLiteral("Ann")},
        {QStringLiteral("phone"), home},          {QStringLiteral("phone2"), work},
        {QStringLiteral("pager"), pager},         {QStringLiteral("phone3"), other},
        {QStringLiteral("extra8"), "Ann " + last}};
}

// A message box answered OK that notes what the modem had been sent when it was asked.
struct PromptWatch {
    explicit PromptWatch(const ModemEmulator& modem) {
        ui::MessageBoxService::setResponder([this, &modem](const ui::MessageRequest& request) {
            texts.append(request.text);
            sentWhenAsked.append(modem.received());
            return ui::Answer::Ok;
        });
    }
    ~PromptWatch() { ui::MessageBoxService::setResponder({}); }
    QStringList texts;
    QList<QByteArray> sentWhenAsked;
};

frmPhone* openDialer(frmMain& main) {
    main.Toolbar1->clickButton(DialButton);
    return main.findChild<frmPhone*>();
}

bool waitUntilIdle(frmPhone& dialer) {
    return QTest::qWaitFor([&] { return !dialer.isDialling(); }, 5000);
}

} // namespace

class TestDialer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void modemAnswers_data();
    void modemAnswers();
    void numberFollowsTheOption_data();
    void numberFollowsTheOption();
    void portThatCannotBeOpened_data();
    void portThatCannotBeOpened();
    void noPermissionNamesTheGroup();
    void leavingDuringTheWaitHangsUp_data();
    void leavingDuringTheWaitHangsUp();
    void mainWindowStaysUsableWhileDialling();
    void modemThatGoesAway_data();
    void modemThatGoesAway();
    void heldEnterDoesNotDialAgain();
    void portStandsForTheChosenDevice_data();
    void portStandsForTheChosenDevice();
    void devicesOffered_data();
    void devicesOffered();
    void settingsChooseTheDevice();
    void phoneProgram_data();
    void phoneProgram();
};

void TestDialer::modemAnswers_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<Replies>("replies");
    QTest::addColumn<bool>("prompted");
    QTest::addColumn<QString>("status"); // the status line after the dial

    const QString dialling = QStringLiteral("Attempting to dial - 555-0101");
    const QString silent = QStringLiteral("The modem did not answer within 0.4 seconds. The line "
                                          "has been hung up; check the modem and the port chosen "
                                          "in the settings.");
    const auto answered = [&](const char* row, const QByteArray& answer, const QString& status) {
        QTest::newRow(row) << "555-0101" << Replies{{answer, 20ms}} << status.isEmpty()
                           << (status.isEmpty() ? dialling : status);
    };
    const QString notDialled = "The modem answered %1, so the number was not dialled. The line has "
                               "been hung up.";
    const QString dialled = "The number was dialled, but the modem answered %1. The line has been "
                            "hung up.";
    answered("OK ended by CR", "OK\r", {});
    QTest::newRow("O and K in two reads")
        << "555-0101" << Replies{{"\r\nO", 0ms}, {"K\r\n", 150ms}} << true << dialling;
    QTest::newRow("noise before OK")
        << "555-0101"
        << Replies{{QByteArray::fromHex("00fffe801b5b324a7fc3"), 0ms},
                   {QByteArray(300, '\xa5'), 20ms},
                   {"\r\nOK\r\n", 20ms}}
        << true << dialling;
    answered("a flood on one line ending in OK", QByteArray(100000, 'x') + "OK\r\n", silent);
    answered("NUL between O and K", QByteArray("\r\nO\0K\r\n", 7), {});
    answered("ERROR", "\r\nERROR\r\n", notDialled.arg("ERROR"));
    answered("BUSY", "\r\nBUSY\r\n", dialled.arg("BUSY"));
    answered("lower-case busy", "\r\nbusy\r\n", dialled.arg("BUSY"));
    answered("0 is OK", "0\r", {});
    answered("3 is NO CARRIER", "3\r",
             "The modem answered NO CARRIER, so the call could not be made. The line has been "
             "hung up.");
    answered("6 is NO DIALTONE", "6\r", notDialled.arg("NO DIALTONE"));
    answered("7 is BUSY", "7\r", dialled.arg("BUSY"));
    answered("8 is NO ANSWER", "8\r", dialled.arg("NO ANSWER"));
    QTest::newRow("nothing at all") << "555-0101" << Replies{} << false << silent;
    QTest::newRow("OK within the echo of the dial line")
        << "555-0101" << Replies{{"ATDT555-OK", 0ms}, {"-0101;\r", 50ms}} << false << silent;
    QTest::newRow("empty number") << "" << Replies{{"OK\r\n", 0ms}} << true
                                  << "Attempting to dial - ";
}

void TestDialer::modemAnswers() {
    QFETCH(QString, number);
    QFETCH(Replies, replies);
    QFETCH(bool, prompted);
    QFETCH(QString, status);
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    modem.answerDial(replies);
    ScopedEnv port("QUILLORY_COM1", modem.devicePath().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", number)},
                      .settings = "CommPort1=True\r\n"});
    PromptWatch prompts(modem);
    QString shownStatus;
    bool portClosed = false;
    test::ModalScript script([&](QDialog& dialog) {
        auto* dialer = qobject_cast<frmPhone*>(&dialog);
        QVERIFY(dialer);
        dialer->setAnswerWait(400ms);
        dialer->Command1->click();
        QVERIFY(dialer->isDialling());
        QVERIFY(waitUntilIdle(*dialer));
        shownStatus = dialer->Label5->text();
        portClosed = !dialer->MSComm1->PortOpen();
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();

    QCOMPARE(script.shown(), 1);
    const QByteArray dial = "ATDT" + number.toLatin1().replace("-", "") + ";\r";
    QVERIFY(modem.waitForReceived("ATH\r", 2s));
    QCOMPARE(modem.received(), dial + "ATH\r");
    QCOMPARE(prompts.texts, prompted ? QStringList{PickUp} : QStringList());
    // The modem stays off the hook until the user has answered.
    if (prompted)
        QCOMPARE(prompts.sentWhenAsked.first(), dial);
    QCOMPARE(shownStatus, status);
    QVERIFY(portClosed);
}

void TestDialer::numberFollowsTheOption_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("number");
    QTest::newRow("home") << "optHome"
                          << "555-0101";
    QTest::newRow("work, typed and not saved") << "optWork"
                                               << "555-9999";
    QTest::newRow("pager") << "optPager"
                           << "555-0103";
    QTest::newRow("other") << "OptOther"
                           << "555-0104";
}

void TestDialer::numberFollowsTheOption() {
    QFETCH(QString, option);
    QFETCH(QString, number);
    StartedProgram p({.contacts = QList<QVariantMap>{
                          contact("Adams", "555-0101", "555-0102", "555-0103", "555-0104")}});
    p.main->Text13->setText(QStringLiteral("555-9999"));
    QStringList seen;
    test::ModalScript script([&](QDialog& dialog) {
        auto* dialer = qobject_cast<frmPhone*>(&dialog);
        QVERIFY(dialer);
        // Every opening starts on the home number, whatever was chosen the time before.
        seen << QString::number(dialer->optHome->isChecked()) << dialer->phNum->text()
             << dialer->lblContact->text();
        dialer->phNum->setText(QStringLiteral("typed by hand"));
        dialer->findChild<QRadioButton*>(option)->click();
        seen << dialer->phNum->text();
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();
    p.main->mnuDial->trigger();

    QCOMPARE(script.shown(), 2);
    QCOMPARE(seen, (QStringList{"1", "555-0101", "Ann Adams", number, "1", "555-0101", "Ann Adams",
                                number}));
}

void TestDialer::portThatCannotBeOpened_data() {
    QTest::addColumn<bool>("heldByAnother");
    QTest::addColumn<QString>("why"); // "%1" stands for the device tried
    QTest::newRow("no such device") << false << "There is no device %1.";
    QTest::newRow("held by another program") << true << "%1 is in use by another program.";
}

void TestDialer::portThatCannotBeOpened() {
    QFETCH(bool, heldByAnother);
    QFETCH(QString, why);
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    QSerialPort other(modem.devicePath());
    if (heldByAnother)
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
    const QString device = heldByAnother ? modem.devicePath() : QStringLiteral("/dev/ttyQuillory9");
    ScopedEnv port("QUILLORY_COM1", device.toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "555-0101")}});
    QString status;
    test::ModalScript script([&](QDialog& dialog) {
        auto* dialer = qobject_cast<frmPhone*>(&dialog);
        dialer->Command1->click();
        QVERIFY(!dialer->isDialling());
        QVERIFY(!dialer->MSComm1->PortOpen());
        status = dialer->Label5->text();
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();

    QCOMPARE(p.boxes.texts(), QStringList{PortUnavailable + "\n\n" + why.arg(device)});
    QCOMPARE(p.boxes.asked().first().icon, ui::Icon::None);
    QCOMPARE(status, QStringLiteral("Attempting to dial - 555-0101"));
    QTest::qWait(100);
    QCOMPARE(modem.received(), QByteArray());
}

void TestDialer::noPermissionNamesTheGroup() {
    // A device that only its owner and group may use, tried by a user who is neither.
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    test::writeFile(device, {},
                    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
    int pipeEnds[2];
    QVERIFY(::pipe(pipeEnds) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const serial::OpenFailure failure = serial::explainOpenFailure(device);
        const QByteArray answer =
            QByteArray::number(int(failure.kind)) + ' ' + failure.group.toUtf8();
        [[maybe_unused]] const auto written = ::write(pipeEnds[1], answer.data(), answer.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    char buffer[256] = {};
    const auto count = ::read(pipeEnds[0], buffer, sizeof buffer - 1);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(count > 0);
    const QString group = QString::fromLocal8Bit(::getgrgid(::getegid())->gr_name);
    QCOMPARE(QString::fromUtf8(buffer, count),
             QString::number(int(serial::OpenFailure::Kind::NoPermission)) + u' ' + group);
    QCOMPARE(int(serial::explainOpenFailure(dir.filePath("ttyUSB7")).kind),
             int(serial::OpenFailure::Kind::Missing));
}

void TestDialer::leavingDuringTheWaitHangsUp_data() {
    QTest::addColumn<bool>("modeless");
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("menu, Exit") << false << false;
    QTest::newRow("menu, close box") << false << true;
    QTest::newRow("toolbar, Exit") << true << false;
    QTest::newRow("toolbar, close box") << true << true;
}

void TestDialer::leavingDuringTheWaitHangsUp() {
    QFETCH(bool, modeless);
    QFETCH(bool, byCloseBox);
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    ScopedEnv port("QUILLORY_COM1", modem.devicePath().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "555-0101")}});
    auto leave = [&](frmPhone& dialer) {
        dialer.Command1->click();
        QVERIFY(modem.waitForReceived("ATDT5550101;\r", 2s));
        QVERIFY(dialer.isDialling());
        if (byCloseBox)
            dialer.close();
        else
            dialer.exit->click();
        QVERIFY(!dialer.isDialling());
        QVERIFY(!dialer.MSComm1->PortOpen());
    };
    test::ModalScript script([&](QDialog& dialog) { leave(*qobject_cast<frmPhone*>(&dialog)); });
    if (modeless) {
        QPointer<frmPhone> dialer = openDialer(*p.main);
        QVERIFY(dialer);
        leave(*dialer);
        QTRY_VERIFY(!dialer);
    } else {
        p.main->mnuDial->trigger();
        QCOMPARE(script.shown(), 1);
    }

    QVERIFY(modem.waitForReceived("ATH\r", 2s));
    QCOMPARE(modem.received(), QByteArray("ATDT5550101;\rATH\r"));
    QVERIFY(p.boxes.asked().isEmpty());
    // The port is free again for the next program.
    QSerialPort next(modem.devicePath());
    QVERIFY2(next.open(QIODevice::ReadWrite), qPrintable(next.errorString()));
}

void TestDialer::mainWindowStaysUsableWhileDialling() {
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    modem.answerDial({{"\r\nOK\r\n", 600ms}});
    ScopedEnv port("QUILLORY_COM1", modem.devicePath().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "555-0101"),
                                                     contact("Baker", "555-0202")}});
    PromptWatch prompts(modem);
    test::ModalScript script([](QDialog& dialog) { dialog.reject(); });

    frmPhone* dialer = openDialer(*p.main);
    QVERIFY(dialer);
    QVERIFY(dialer->isVisible());
    dialer->Command1->click();
    QVERIFY(dialer->isDialling());
    p.main->Toolbar1->clickButton(NextButton);
    QCOMPARE(p.main->Text1->text(), QStringLiteral("Baker"));
    // The button again brings the same dialer forward rather than a second one.
    QCOMPARE(openDialer(*p.main), dialer);
    QCOMPARE(p.main->findChildren<frmPhone*>().size(), 1);
    QVERIFY(dialer->isDialling());

    QVERIFY(waitUntilIdle(*dialer));
    QCOMPARE(script.shown(), 0);
    QCOMPARE(prompts.texts, QStringList{PickUp});
    QVERIFY(modem.waitForReceived("ATH\r", 2s));
    dialer->exit->click();
}

void TestDialer::modemThatGoesAway_data() {
    QTest::addColumn<bool>("asked"); // gone while the user is asked to pick up
    QTest::newRow("while waiting for the answer") << false;
    QTest::newRow("while asked to pick up") << true;
}

void TestDialer::modemThatGoesAway() {
    QFETCH(bool, asked);
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    if (asked)
        modem.answerDial({{"\r\nOK\r\n", 0ms}});
    ScopedEnv port("QUILLORY_COM1", modem.devicePath().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "555-0101")}});
    frmPhone* dialer = nullptr;
    bool closedWhileAsked = false;
    ui::MessageBoxService::setResponder([&](const ui::MessageRequest&) {
        modem.unplug();
        closedWhileAsked = QTest::qWaitFor([&] { return !dialer->MSComm1->PortOpen(); }, 5000);
        return ui::Answer::Ok;
    });
    const auto restore = qScopeGuard([] { ui::MessageBoxService::setResponder({}); });
    QString status;
    test::ModalScript script([&](QDialog& dialog) {
        dialer = qobject_cast<frmPhone*>(&dialog);
        // Only the port's own report can end this dial in time.
        dialer->setAnswerWait(60s);
        dialer->Command1->click();
        QVERIFY(modem.waitForReceived("ATDT5550101;\r", 2s));
        if (!asked)
            modem.unplug();
        QVERIFY(waitUntilIdle(*dialer));
        QVERIFY(!dialer->MSComm1->PortOpen());
        status = dialer->Label5->text();
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();

    QCOMPARE(script.shown(), 1);
    QCOMPARE(closedWhileAsked, asked);
    QCOMPARE(status, QStringLiteral("The modem is no longer there: %1 went away. Check that it is "
                                    "plugged in and switched on, then dial again.")
                         .arg(modem.devicePath()));
}

void TestDialer::heldEnterDoesNotDialAgain() {
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    modem.answerDial({{"\r\nOK\r\n", 0ms}});
    ScopedEnv port("QUILLORY_COM1", modem.devicePath().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "555-0101")}});
    PromptWatch prompts(modem);
    QList<bool> dialling; // after each Enter
    test::ModalScript script([&](QDialog& dialog) {
        auto* dialer = qobject_cast<frmPhone*>(&dialog);
        const auto pressEnter = [&] {
            QTest::keyClick(dialer->phNum, Qt::Key_Return);
            dialling << dialer->isDialling();
            QVERIFY(waitUntilIdle(*dialer));
        };
        pressEnter();
        pressEnter();
        pressEnter();
        // Choosing the number again asks for a new call.
        dialer->optHome->click();
        pressEnter();
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();

    QCOMPARE(dialling, (QList<bool>{true, false, false, true}));
    QCOMPARE(prompts.texts, (QStringList{PickUp, PickUp}));
}

void TestDialer::portStandsForTheChosenDevice_data() {
    QTest::addColumn<QByteArray>("settings"); // "%1" stands for the emulator's device
    QTest::addColumn<QByteArray>("variable"); // set to the emulator's device; empty: none
    QTest::newRow("device chosen in the settings")
        << QByteArray("CommPort2=True\r\nCommDevice2=%1\r\n") << QByteArray();
    QTest::newRow("the environment comes before the choice")
        << QByteArray("CommPort2=True\r\nCommDevice2=/dev/ttyQuillory9\r\n")
        << QByteArray("QUILLORY_COM2");
    QTest::newRow("no port chosen is the first")
        << QByteArray("CommDevice2=/dev/ttyQuillory9\r\n") << QByteArray("QUILLORY_COM1");
}

void TestDialer::portStandsForTheChosenDevice() {
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, variable);
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    modem.answerDial({{"OK\r\n", 0ms}});
    std::optional<ScopedEnv> port;
    if (!variable.isEmpty())
        port.emplace(variable.constData(), modem.devicePath().toUtf8());
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", "555-0101")},
                      .settings = settings.replace("%1", modem.devicePath().toUtf8())});
    test::ModalScript script([&](QDialog& dialog) {
        auto* dialer = qobject_cast<frmPhone*>(&dialog);
        dialer->Command1->click();
        QVERIFY(waitUntilIdle(*dialer));
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();

    QVERIFY(modem.waitForReceived("ATH\r", 2s));
    QCOMPARE(p.boxes.texts(), QStringList{PickUp});
}

void TestDialer::devicesOffered_data() {
    QTest::addColumn<QStringList>("files");  // in the device folder
    QTest::addColumn<QStringList>("absent"); // built-in ports that sysfs says have no UART
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("by kind, then by number")
        << QStringList{"ttyS1", "ttyUSB10", "ttyS0", "ttyACM0", "ttyUSB2", "tty0", "ttySX"}
        << QStringList{} << QStringList{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1"};
    QTest::newRow("built-in ports without hardware")
        << QStringList{"ttyS0", "ttyS1", "ttyS2"} << QStringList{"ttyS1", "ttyS2"}
        << QStringList{"ttyS0"};
    QTest::newRow("none") << QStringList{"console"} << QStringList{} << QStringList{};
}

void TestDialer::devicesOffered() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, absent);
    QFETCH(QStringList, offered);
    QTemporaryDir devices;
    QTemporaryDir sysfs;
    for (const QString& name : files)
        test::writeFile(devices.filePath(name), {});
    for (const QString& name : files)
        test::writeFile(sysfs.filePath(name + "/type"), absent.contains(name) ? "0\n" : "4\n");
    QStringList expected;
    for (const QString& name : offered)
        expected << devices.filePath(name);
    QCOMPARE(serial::presentDevices(devices.path(), sysfs.path()), expected);
}

void TestDialer::settingsChooseTheDevice() {
    ScopedEnv fourth("QUILLORY_COM4", "/dev/ttyFromEnvironment");
    StartedProgram p({.settings = "CommPort1=True\r\nCommDevice4=/dev/ttyKept\r\nTIP=0\r\n"});
    test::ModalScript script([&](QDialog& dialog) {
        auto* settings = qobject_cast<frmUser*>(&dialog);
        QVERIFY(settings);
        QStringList shown;
        for (QComboBox* box : settings->cboComm)
            shown << box->currentText() + (box->isEnabled() ? "" : " (fixed)");
        QCOMPARE(shown, (QStringList{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2",
                                     "/dev/ttyFromEnvironment (fixed)"}));
        QCOMPARE(settings->lblFixedDevices->text(),
                 QStringLiteral("Set in the environment, and so not changed here: QUILLORY_COM4."));
        QComboBox* third = settings->cboComm[2];
        QCOMPARE(third->itemData(0).toString(), QString());
        third->addItem(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB0"));
        third->setCurrentIndex(third->count() - 1);
        settings->useSave->click();
        settings->useExit->click();
    });

    p.main->findChild<QAction*>(QStringLiteral("mnuUser"))->trigger();

    QCOMPARE(script.shown(), 1);
    const QByteArray file = p.folder.read(QStringLiteral("Corvanel.hig"));
    QVERIFY2(file.contains("CommDevice3=/dev/ttyUSB0\r\n"), file.constData());
    // The environment's device is not saved over the user's own choice.
    QVERIFY2(file.contains("CommDevice4=/dev/ttyKept\r\n"), file.constData());
    QVERIFY2(!file.contains("CommDevice1") && !file.contains("CommDevice2"), file.constData());
    QVERIFY2(file.contains("CommPort1=True\r\n"), file.constData());
}

void TestDialer::phoneProgram_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("dialled"); // by the modem after "ATDT"; empty: nothing
    QTest::addColumn<QString>("opened");     // by the phone program; empty: nothing
    QTest::addColumn<QString>("message");    // why nothing was dialled or opened
    const QString noNumber = QStringLiteral("There is no phone number to call.");
    const auto notANumber = [](const QString& shown) {
        return "\"" + shown +
               "\" holds characters that are not part of a phone number, so it "
               "was not dialled.";
    };
    QTest::newRow("punctuation dropped")
        << "+1 (555) 010-2030" << QByteArray("+15550102030") << "tel:+1-555-010-2030"
        << "";
    QTest::newRow("star and hash kept")
        << "*31#5550102" << QByteArray("*31#5550102") << "tel:*31%235550102"
        << "";
    QTest::newRow("full-width digits") << "\uFF15\uFF15\uFF15\uFF0D\uFF10\uFF11\uFF10\uFF11"
                                       << QByteArray("5550101") << "tel:555-0101"
                                       << "";
    QTest::newRow("letters as on the keypad")
        << "1-800-FLOWERS" << QByteArray("18003569377") << "tel:1-800-3569377"
        << "";
    QTest::newRow("extension") << "+1 (212) 555-0199 ext. 42" << QByteArray("+12125550199,42")
                               << "tel:+1-212-555-0199;ext=42"
                               << "";
    QTest::newRow("wait for a second dial tone")
        << "9w555-0101" << QByteArray("9W5550101") << "tel:9555-0101"
        << "";
    QTest::newRow("commands after line breaks")
        << "555\rAT&F0&W\rATDT1900555" << QByteArray() << ""
        << notANumber(QStringLiteral("555\u240DAT&F0&W\u240DATDT1900555"));
    QTest::newRow("a script") << "javascript:alert(1)" << QByteArray() << ""
                              << notANumber("javascript:alert(1)");
    QTest::newRow("no digits") << "call me" << QByteArray() << "" << noNumber;
}

void TestDialer::phoneProgram() {
    QFETCH(QString, number);
    QFETCH(QByteArray, dialled);
    QFETCH(QString, opened);
    QFETCH(QString, message);
    ModemEmulator modem;
    QVERIFY(modem.isReady());
    modem.answerDial({{"\r\nOK\r\n", 0ms}});
    ScopedEnv port("QUILLORY_COM1", modem.devicePath().toUtf8());
    test::FakeDesktop programs(true);
    test::RecordedOpens desktop;
    StartedProgram p({.contacts = QList<QVariantMap>{contact("Adams", number)}});
    test::ModalScript script([&](QDialog& dialog) {
        auto* dialer = qobject_cast<frmPhone*>(&dialog);
        dialer->Command1->click();
        QVERIFY(waitUntilIdle(*dialer));
        dialer->Command2->click();
        QVERIFY(dialer->isVisible());
        dialer->exit->click();
    });

    p.main->mnuDial->trigger();

    QCOMPARE(desktop.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    if (!dialled.isEmpty())
        QVERIFY(modem.waitForReceived("ATH\r", 2s));
    QCOMPARE(modem.received(), dialled.isEmpty() ? QByteArray() : "ATDT" + dialled + ";\rATH\r");
    QCOMPARE(p.boxes.texts(), QStringList({dialled.isEmpty() ? message : PickUp}) +
                                  (opened.isEmpty() ? QStringList{message} : QStringList()));
}

QTEST_MAIN(TestDialer)
#include "test_dialer.moc"
