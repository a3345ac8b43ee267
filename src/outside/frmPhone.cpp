#include "outside/frmPhone.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "outside/OutsideWindows.h"
#include "platform/files/PlatformError.h"
#include "platform/serial/MSComm.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillory {

namespace {

const QString LineSettings = QStringLiteral("9600,N,8,1");
const QByteArray HangUp = QByteArrayLiteral("ATH\r");

// What a modem answers when it could not dial, as the status line names it.
const QList<QByteArray>& failureAnswers() {
    static const QList<QByteArray> answers = {"NO DIALTONE", "NO CARRIER", "NO ANSWER", "BUSY",
                                              "ERROR"};
    return answers;
}

// A line that sends nothing but noise must not fill the memory while the wait lasts: the
// answer keeps its last characters only, far more than any answer a modem gives.
constexpr qsizetype AnswerKept = 4096;

// Errors of the serial port after it was opened are passed over: a dial that cannot send
// ends in the wait's own time limit, and a hang-up that fails leaves nothing to do.
template <typename Call> void ignoringErrors(Call call) {
    try {
        call();
    } catch (const PlatformError&) {
    }
}

QString portUnavailableMessage(const serial::MSComm& port) {
    QString text =
        QStringLiteral("CommPORT not available. Change the CommPort property to another port.");
    const serial::OpenFailure failure = port.lastOpenFailure();
    if (failure.kind == serial::OpenFailure::Kind::NoPermission) {
        text += QStringLiteral("\n\nYou may not use %1").arg(port.devicePath());
        text += failure.group.isEmpty()
                    ? QStringLiteral(".")
                    : QStringLiteral(": your user must be in the group \"%1\", which owns it "
                                     "(log out and in again after being added).")
                          .arg(failure.group);
    }
    return text;
}

} // namespace

frmPhone::frmPhone(AppContext& app, QWidget* parent)
    : QDialog(parent), MSComm1(new serial::MSComm(this)), m_app(app) {
    setObjectName(QStringLiteral("frmPhone"));
    setWindowTitle(QStringLiteral("Dial phone number"));

    Label1 = outside::textLabel("Label1",
                                QStringLiteral("Check the option for which phone number you want "
                                               "to dial and then click on Dial."),
                                this);
    Frame1 = new QGroupBox(QStringLiteral("Which phone number?"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto option = [this](const char* name, const QString& caption) {
        auto* button = new QRadioButton(caption, Frame1);
        button->setObjectName(QString::fromLatin1(name));
        return button;
    };
    optHome = option("optHome", QStringLiteral("Home phone"));
    optWork = option("optWork", QStringLiteral("Work phone"));
    optPager = option("optPager", QStringLiteral("Pager"));
    OptOther = option("OptOther", QStringLiteral("Other phone"));
    auto* options = new QGridLayout(Frame1);
    options->addWidget(optHome, 0, 0);
    options->addWidget(optWork, 0, 1);
    options->addWidget(optPager, 1, 0);
    options->addWidget(OptOther, 1, 1);

    phNum = new QLineEdit(this);
    phNum->setObjectName(QStringLiteral("phNum"));
    phNum->setAccessibleName(QStringLiteral("Number to dial"));
    QFont numberFont = phNum->font();
    numberFont.setPointSizeF(numberFont.pointSizeF() * 1.25);
    phNum->setFont(numberFont);

    Command1 = outside::button("Command1", QStringLiteral("&Dial number"), this);
    Command2 = outside::button("Command2", QStringLiteral("Call with phone app"), this);
    Command2->setToolTip(
        QStringLiteral("Hands the number to this computer's phone program instead of the modem."));
    exit = outside::button("exit", QStringLiteral("&Exit"), this);
    Command1->setDefault(true);

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setTextFormat(Qt::PlainText);
    Label5->setWordWrap(true);
    Label5->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Label5->setMinimumHeight(2 * fontMetrics().lineSpacing() + 6);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch(1);
    buttons->addWidget(exit);

    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(ui::twipsToPixels(90));
    grid->setHorizontalSpacing(ui::twipsToPixels(180));
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(Frame1, 1, 0);
    grid->addWidget(phNum, 2, 0);
    grid->addLayout(buttons, 1, 1, 2, 1);
    grid->addWidget(Label5, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    // Nothing in the dialog gains from more room, so it keeps the size its contents need.
    grid->setSizeConstraint(QLayout::SetFixedSize);
    Label1->setMinimumWidth(ui::twipsToPixels(5400));

    connect(optHome, &QRadioButton::clicked, this, &frmPhone::optHome_Click);
    connect(optWork, &QRadioButton::clicked, this, &frmPhone::optWork_Click);
    connect(optPager, &QRadioButton::clicked, this, &frmPhone::optPager_Click);
    connect(OptOther, &QRadioButton::clicked, this, &frmPhone::OptOther_Click);
    connect(Command1, &QPushButton::clicked, this, &frmPhone::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmPhone::Command2_Click);
    connect(exit, &QPushButton::clicked, this, &frmPhone::exit_Click);
    connect(MSComm1, &serial::MSComm::OnComm, this, &frmPhone::MSComm1_OnComm);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &frmPhone::answerWaitEnded);

    adjustSize();
}

frmPhone::~frmPhone() {
    // A dialer that goes while the modem is off the hook puts it back first.
    if (MSComm1->PortOpen()) {
        ignoringErrors([this] { MSComm1->Output(HangUp); });
        ignoringErrors([this] { MSComm1->setPortOpen(false); });
    }
}

void frmPhone::Form_Load() {
    ui::CenterForm(*this);
    m_app.LoadSettings();
    optHome->setChecked(true);
    optHome_Click();
    const UserSettings& settings = m_app.settings();
    MSComm1->setChosenDevices(settings.commDevices);
    // No port chosen in the settings leaves the port's own first number.
    ignoringErrors([&] {
        if (settings.commPort > 0)
            MSComm1->setCommPort(settings.commPort);
        MSComm1->setInBufferCount(0);
    });
}

void frmPhone::copyNumber(const QLineEdit* box) {
    // The number as the card shows it, typing not yet saved included.
    phNum->setText(box->text());
}

void frmPhone::optHome_Click() {
    copyNumber(m_app.mainWindow().Text7); // phone
}

void frmPhone::optWork_Click() {
    copyNumber(m_app.mainWindow().Text13); // phone2
}

void frmPhone::optPager_Click() {
    copyNumber(m_app.mainWindow().Text14); // pager
}

void frmPhone::OptOther_Click() {
    copyNumber(m_app.mainWindow().Text16); // phone3
}

void frmPhone::Command1_Click() {
    const QString number = phNum->text();
    Label5->setText(QStringLiteral("Attempting to dial - ") + number);
    Dial(number);
}

void frmPhone::Command2_Click() {
    shell::ShellService::call(phNum->text(), this);
}

void frmPhone::exit_Click() {
    close();
}

void frmPhone::Dial(const QString& number) {
    if (m_state != State::Idle)
        return;
    m_dialString = QByteArrayLiteral("ATDT") + number.toLatin1() + QByteArrayLiteral(";\r");
    ignoringErrors([this] { MSComm1->setSettings(LineSettings); });
    try {
        MSComm1->setPortOpen(true);
    } catch (const PlatformError&) {
        ui::MessageBoxService::show(
            {portUnavailableMessage(*MSComm1), ui::Buttons::Ok, ui::Icon::None, 0, {}}, this);
        return;
    }
    m_answer.clear();
    m_state = State::Waiting;
    Command1->setEnabled(false);
    ignoringErrors([this] { MSComm1->setInBufferCount(0); });
    ignoringErrors([this] { MSComm1->Output(m_dialString); });
    m_wait.start(m_answerWait);
}

QString frmPhone::answerWithoutEcho() const {
    // A modem may echo the dial string; a number written in letters (1-800-BOOKS) must not
    // read as the modem's "OK".
    QByteArray answer = m_answer;
    answer.replace(m_dialString.chopped(1), QByteArray());
    return QString::fromLatin1(answer);
}

void frmPhone::MSComm1_OnComm() {
    if (m_state != State::Waiting) {
        // Characters that come while the user is asked to pick up, or after the hang-up, are
        // not part of any answer.
        ignoringErrors([this] { MSComm1->setInBufferCount(0); });
        return;
    }
    if (MSComm1->InBufferCount() == 0)
        return;
    m_answer += MSComm1->Input();
    if (m_answer.size() > AnswerKept)
        m_answer = m_answer.right(AnswerKept);
    const QString answer = answerWithoutEcho();
    if (answer.contains(QLatin1String("OK"))) {
        m_wait.stop();
        m_state = State::Prompting;
        QApplication::beep();
        ui::MessageBoxService::show({QStringLiteral("Please pick up the phone and either press "
                                                    "Enter or click OK"),
                                     ui::Buttons::Ok,
                                     ui::Icon::None,
                                     0,
                                     {}},
                                    this);
        hangUp();
        return;
    }
    for (const QByteArray& failure : failureAnswers()) {
        if (answer.contains(QLatin1String(failure))) {
            hangUp(QStringLiteral("The modem answered %1, so the number was not dialled. The "
                                  "line has been hung up.")
                       .arg(QLatin1String(failure)));
            return;
        }
    }
}

void frmPhone::answerWaitEnded() {
    if (m_state != State::Waiting)
        return;
    hangUp(QStringLiteral("The modem did not answer within %1 seconds. The line has been hung "
                          "up; check the modem and the port chosen in the settings.")
               .arg(m_answerWait.count() / 1000.0));
}

void frmPhone::hangUp(const QString& status) {
    m_wait.stop();
    ignoringErrors([this] { MSComm1->Output(HangUp); });
    ignoringErrors([this] { MSComm1->setPortOpen(false); });
    m_state = State::Idle;
    Command1->setEnabled(true);
    if (!status.isEmpty())
        Label5->setText(status);
    Q_EMIT dialEnded();
}

void frmPhone::closeEvent(QCloseEvent* event) {
    if (m_state == State::Prompting) {
        // The question to pick up is still open; it ends the call itself.
        event->ignore();
        return;
    }
    if (m_state == State::Waiting)
        hangUp();
    QDialog::closeEvent(event);
}

void frmPhone::reject() {
    if (m_state == State::Prompting)
        return;
    if (m_state == State::Waiting)
        hangUp();
    QDialog::reject();
}

void registerDialerCommand(AppContext& app) {
    app.commands().add(QStringLiteral("dial"), [&app](CommandOrigin origin) {
        static QPointer<frmPhone> modeless;
        if (modeless) {
            modeless->raise();
            modeless->activateWindow();
            return;
        }
        frmMain& main = app.mainWindow();
        if (origin == CommandOrigin::Menu) {
            frmPhone dialog(app, &main);
            dialog.Form_Load();
            ui::Modal::exec(dialog);
            return;
        }
        auto* dialog = new frmPhone(app, &main);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        modeless = dialog;
        dialog->Form_Load();
        dialog->show();
    });
}

} // namespace quillory
