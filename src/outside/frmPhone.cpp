#include "outside/frmPhone.h"

#include "core/AppContext.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "outside/OutsideWindows.h"
#include "platform/files/PlatformError.h"
#include "platform/serial/MSComm.h"
#include "platform/shell/PhoneNumber.h"
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

constexpr frmPhone::ResultCode ResultCodes[] = {
    {"OK", "0", frmPhone::ResultCode::Dialled},
    {"NO CARRIER", "3", frmPhone::ResultCode::Failed},
    {"ERROR", "4", frmPhone::ResultCode::NotDialled},
    {"NO DIALTONE", "6", frmPhone::ResultCode::NotDialled},
    {"BUSY", "7", frmPhone::ResultCode::NotReached},
    {"NO ANSWER", "8", frmPhone::ResultCode::NotReached},
};

// The result code a whole line of the modem's answer is, if any: its letter case, blanks and
// any control characters the line picked up do not matter ("o\0k", "No Dial Tone"). Anything
// else on the line, as the echo of a number spelt "1-800-OK-TAXI", makes it no answer.
const frmPhone::ResultCode* resultCodeOf(const QByteArray& line) {
    QByteArray bare;
    for (const char c : line) {
        if (static_cast<unsigned char>(c) > ' ' && c != '\x7f')
            bare += c;
    }
    for (const frmPhone::ResultCode& code : ResultCodes) {
        if (bare == code.number ||
            bare.compare(QByteArray(code.words).replace(' ', ""), Qt::CaseInsensitive) == 0)
            return &code;
    }
    return nullptr;
}

// A modem's lines are short; a longer one is noise, and is not kept while it lasts, so that
// a line that sends nothing but noise cannot fill the memory.
constexpr qsizetype LongestLine = 256;

// Errors of the serial port after it was opened are passed over: a dial that cannot send
// ends in the wait's own time limit or when the port says the modem is gone, and a hang-up
// that fails leaves nothing to do.
template <typename Call> void ignoringErrors(Call call) {
    try {
        call();
    } catch (const PlatformError&) {
    }
}

// The message for a port that cannot be opened names the device that was tried and why.
QString portUnavailableMessage(const serial::MSComm& port) {
    QString text =
        QStringLiteral("CommPORT not available. Change the CommPort property to another port.\n\n");
    const QString device = port.devicePath();
    const serial::OpenFailure failure = port.lastOpenFailure();
    switch (failure.kind) {
    case serial::OpenFailure::Kind::Missing:
        return text + QStringLiteral("There is no device %1.").arg(device);
    case serial::OpenFailure::Kind::InUse:
        return text + QStringLiteral("%1 is in use by another program.").arg(device);
    case serial::OpenFailure::Kind::NoPermission:
        break;
    }
    text += QStringLiteral("You may not use %1").arg(device);
    return text + (failure.group.isEmpty()
                       ? QStringLiteral(".")
                       : QStringLiteral(": your user must be in the group \"%1\", which owns it "
                                        "(log out and in again after being added).")
                             .arg(failure.group));
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

    lblContact = new QLabel(this);
    lblContact->setObjectName(QStringLiteral("lblContact"));
    lblContact->setAccessibleName(QStringLiteral("Contact"));
    lblContact->setTextFormat(Qt::PlainText);
    QFont nameFont = lblContact->font();
    nameFont.setBold(true);
    lblContact->setFont(nameFont);

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
    grid->addWidget(lblContact, 0, 0, 1, 2);
    grid->addWidget(Label1, 1, 0, 1, 2);
    grid->addWidget(Frame1, 2, 0);
    grid->addWidget(phNum, 3, 0);
    grid->addLayout(buttons, 2, 1, 2, 1);
    grid->addWidget(Label5, 4, 0, 1, 2);
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
    connect(phNum, &QLineEdit::textEdited, this, &frmPhone::lineFree);
    connect(MSComm1, &serial::MSComm::OnComm, this, &frmPhone::MSComm1_OnComm);
    connect(MSComm1, &serial::MSComm::Lost, this, &frmPhone::MSComm1_Lost);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &frmPhone::answerWaitEnded);

    adjustSize();
}

frmPhone::~frmPhone() {
    // A dialer that goes while the modem is off the hook puts it back first, without
    // listening to the port any more.
    MSComm1->disconnect(this);
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
    // The number as the card shows it, typing not yet saved included, and whose it is: the
    // main window may move to another card while this dialer stays open.
    const frmMain& main = m_app.mainWindow();
    phNum->setText(box->text());
    lblContact->setText(contact::displayName(main.Text12->text(), main.Text1->text()).trimmed());
    lineFree();
}

void frmPhone::lineFree() {
    Command1->setDefault(true);
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
    // Only what a modem dials goes after "ATDT": a line break of the card's text would end the
    // command and run the rest as commands of its own. An empty number is dialled as it is.
    const QString problem =
        number.trimmed().isEmpty() ? QString() : shell::ShellService::numberProblem(number);
    if (!problem.isEmpty()) {
        Label5->setText(QStringLiteral("The number was not dialled."));
        ui::MessageBoxService::show({problem, ui::Buttons::Ok, ui::Icon::Exclamation, 0, {}}, this);
        return;
    }
    const QByteArray dialString =
        QByteArrayLiteral("ATDT") +
        shell::modemDigits(shell::readPhoneNumber(number).value_or(shell::PhoneNumber{})) +
        QByteArrayLiteral(";\r");
    ignoringErrors([this] { MSComm1->setSettings(LineSettings); });
    try {
        MSComm1->setPortOpen(true);
    } catch (const PlatformError&) {
        ui::MessageBoxService::show(
            {portUnavailableMessage(*MSComm1), ui::Buttons::Ok, ui::Icon::None, 0, {}}, this);
        return;
    }
    m_answer.clear();
    m_longLine = false;
    m_state = State::Waiting;
    Command1->setEnabled(false);
    // Until the line is free again, Enter must not dial into the call the user picks up.
    Command1->setDefault(false);
    m_wait.start(m_answerWait);
    ignoringErrors([this] { MSComm1->setInBufferCount(0); });
    ignoringErrors([&] { MSComm1->Output(dialString); });
}

void frmPhone::MSComm1_OnComm() {
    if (m_state != State::Waiting) {
        // Characters that come while the user is asked to pick up, or after the hang-up, are
        // not part of any answer.
        ignoringErrors([this] { MSComm1->setInBufferCount(0); });
        return;
    }
    const QByteArray input = MSComm1->Input();
    for (const char c : input) {
        if (c != '\r' && c != '\n') {
            m_longLine = m_longLine || m_answer.size() >= LongestLine;
            if (!m_longLine)
                m_answer += c;
            continue;
        }
        const ResultCode* code = m_longLine ? nullptr : resultCodeOf(m_answer);
        m_answer.clear();
        m_longLine = false;
        if (code) {
            answered(*code);
            return;
        }
    }
}

void frmPhone::answered(const ResultCode& code) {
    const QString words = QLatin1String(code.words);
    switch (code.outcome) {
    case ResultCode::Dialled:
        pickUp();
        return;
    case ResultCode::NotReached:
        hangUp(QStringLiteral("The number was dialled, but the modem answered %1. The line has "
                              "been hung up.")
                   .arg(words));
        return;
    case ResultCode::NotDialled:
        hangUp(QStringLiteral("The modem answered %1, so the number was not dialled. The line "
                              "has been hung up.")
                   .arg(words));
        return;
    case ResultCode::Failed:
        hangUp(QStringLiteral("The modem answered %1, so the call could not be made. The line "
                              "has been hung up.")
                   .arg(words));
        return;
    }
}

void frmPhone::pickUp() {
    m_wait.stop();
    m_state = State::Prompting;
    QApplication::beep();
    ui::MessageBoxService::show(
        {QStringLiteral("Please pick up the phone and either press Enter or click OK"),
         ui::Buttons::Ok,
         ui::Icon::None,
         0,
         {}},
        this);
    hangUp();
}

void frmPhone::MSComm1_Lost() {
    const QString status = QStringLiteral("The modem is no longer there: %1 went away. Check "
                                          "that it is plugged in and switched on, then dial "
                                          "again.")
                               .arg(MSComm1->devicePath());
    if (m_state == State::Waiting)
        hangUp(status);
    else
        Label5->setText(status); // the question to pick up, still open, ends the call
}

void frmPhone::answerWaitEnded() {
    if (m_state != State::Waiting)
        return;
    hangUp(QStringLiteral("The modem did not answer within %1 seconds. The line has been hung "
                          "up; check the modem and the port chosen in the settings.")
               .arg(m_answerWait.count() / 1000.0));
}

void frmPhone::hangUp(const QString& status) {
    // After the user has picked up, the line is theirs: Dial waits to be asked for again before
    // Enter presses it.
    const bool pickedUp = m_state == State::Prompting;
    m_wait.stop();
    ignoringErrors([this] { MSComm1->Output(HangUp); });
    ignoringErrors([this] { MSComm1->setPortOpen(false); });
    m_state = State::Idle;
    Command1->setEnabled(true);
    Command1->setDefault(!pickedUp);
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
