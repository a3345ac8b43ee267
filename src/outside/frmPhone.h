#pragma once

#include <chrono>
#include <QByteArray>
#include <QDialog>
#include <QTimer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillory {

class AppContext;

namespace serial {
class MSComm;
}

// "Dial phone number": dials one of the current contact's numbers through the modem on the
// chosen serial port, waits for the modem to say it has dialled, asks the user to pick up the
// handset and hangs the modem up again. The wait runs on the modem's answers and a timer, so
// the program stays usable meanwhile; it ends on "OK", on a failure the modem reports, after
// AnswerWait without either, when the modem goes away or when the dialog is left, and each end
// but "OK" hangs up and closes the port at once. The number can also be handed to the
// desktop's phone program.
class frmPhone final : public QDialog {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds AnswerWait{30000};

    explicit frmPhone(AppContext& app, QWidget* parent = nullptr);
    ~frmPhone() override;

    // Centres the dialog, reads the settings, selects "Home phone" with its number and sets up
    // the port (closed).
    void Form_Load();

    void optHome_Click();
    void optWork_Click();
    void optPager_Click();
    void OptOther_Click();
    void Command1_Click();
    void Command2_Click();
    void exit_Click();

    // Dials `number` as written: opens the port, sends the dial string and waits.
    void Dial(const QString& number);

    // True from the dial string sent until the line is hung up.
    bool isDialling() const { return m_state != State::Idle; }
    // How long a dial waits for the modem's "OK"; tests shorten it.
    void setAnswerWait(std::chrono::milliseconds wait) { m_answerWait = wait; }

    // An answer a modem gives to a dial, in words (ATV1) and as a number (ATV0), with what it
    // says about the number.
    struct ResultCode {
        enum Outcome { Dialled, NotReached, NotDialled, Failed };
        const char* words;
        const char* number;
        Outcome outcome;
    };

    // Controls, named as designed.
    QGroupBox* Frame1;
    QRadioButton *optHome, *optWork, *optPager, *OptOther;
    QLineEdit* phNum;
    QPushButton* Command1;
    QPushButton* Command2; // hands the number to the desktop's phone program
    QPushButton* exit;
    QLabel* Label5;
    QLabel* Label1;
    QLabel* lblContact; // whose number is being dialled
    serial::MSComm* MSComm1;

Q_SIGNALS:
    // The line was hung up and the port closed after a dial, whichever way the dial ended.
    void dialEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    enum class State { Idle, Waiting, Prompting };

    void copyNumber(const QLineEdit* box);
    void MSComm1_OnComm();
    void MSComm1_Lost();
    void answered(const ResultCode& code);
    void pickUp();
    // Dial is the default button again: the user has asked for a number anew.
    void lineFree();
    void answerWaitEnded();
    // Hangs up, closes the port and, when `status` is given, says it in the status line.
    void hangUp(const QString& status = {});

    AppContext& m_app;
    State m_state = State::Idle;
    QByteArray m_answer;     // the line of the modem's answer that has begun
    bool m_longLine = false; // that line is too long to be an answer
    QTimer m_wait;
    std::chrono::milliseconds m_answerWait = AnswerWait;
};

// Puts "dial" into the command table: the dialer, modal from the menu and modeless from the
// toolbars. While a modeless dialer is open, either way brings it to the front.
void registerDialerCommand(AppContext& app);

} // namespace quillory
