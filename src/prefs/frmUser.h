#pragma once

#include "core/UserSettings.h"

#include <array>
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;

namespace quillory {

class AppContext;

// "User Settings": the user's preferences on six tabs. The dialog edits what the settings file
// holds: its load reads the file, "&Save" hands the controls' values to the program and writes
// the file, and "&Exit" (or the close box) drops every edit that was not saved, so the next
// opening reads the file again. The one edit that acts before a save is the toolbar style,
// which the main window takes on the moment its option is clicked.
class frmUser final : public QDialog {
    Q_OBJECT
public:
    explicit frmUser(AppContext& app, QWidget* parent = nullptr);

    // Reads the settings file, shows its values and centres the dialog on the screen.
    void Form_Load();

    void Command1_Click();
    void OptIO_Click();
    void OptTI_Click();
    void useSave_Click();
    void useDelete_Click();
    void useExit_Click();
    // Shows the chosen stock's label outlines, moved by the offsets as they stand (saved or
    // not), in the preview window, from which the user prints them.
    void CmdTestSheet_Click();

    // The controls' values written into `settings`: the return address, the four choices, the
    // word processor's path, the toolbar style and the two check states. A choice with nothing
    // selected is "none", which a save leaves as the file holds it.
    void collect(UserSettings& settings) const;

    // Controls, named as designed. The tab strip brings its panel to the front itself.
    QTabBar* TabStrip1;
    std::array<QFrame*, 6> Frame1{};
    // Return Address
    QLineEdit *Text12, *Text13, *Text14, *Text15, *Text16, *Text17;
    QLabel* Label21;
    // COM Port
    QRadioButton *OptComm1, *OptComm2, *OptComm3, *OptComm4;
    QLabel* Label2;
    // The device each port stands for, beside its option, and what the list means.
    std::array<QComboBox*, UserSettings::CommPorts> cboComm{};
    QLabel* lblDevices;
    QLabel* lblFixedDevices; // names the ports whose device the environment sets
    // Word Processor
    QRadioButton *OptWord, *OptOther;
    QPushButton* Command1;
    QLabel* Label4;
    QLabel* Label1;
    // Envelope Set-up
    QRadioButton *OptLeft, *OptRight, *OptMan;
    QWidget *Image1, *Image2, *Image3;
    QLabel* Label3;
    // Label Set-up, in the order of the settings file's stock numbers.
    QRadioButton *Opt5267, *Opt5160, *Opt5260, *Opt5161, *Opt5261, *Opt5162, *Opt5262, *Opt5163,
        *Opt5660, *Opt5662;
    QLabel* Label5;
    // The printer calibration: how far label pages are moved, and a sheet of outlines to check it.
    QDoubleSpinBox *SpinOffsetX, *SpinOffsetY;
    QPushButton* CmdTestSheet;
    // Misc. Settings
    QRadioButton *OptIO, *OptTI;
    QCheckBox *ChkTip, *ChkBU;
    QLabel* Label6;

    QPushButton* useSave;
    QPushButton* useDelete;
    QPushButton* useExit;

private:
    void buildReturnAddress();
    void buildCommPort();
    void buildWordProcessor();
    void buildEnvelope();
    void buildLabels();
    void buildMisc();
    void showSettings(const UserSettings& settings);
    void showDevices(const UserSettings& settings);

    AppContext& m_app;
    QButtonGroup *m_ports, *m_wordProcessors, *m_feeds, *m_stocks, *m_toolbarStyles;
};

// Puts "user" into the command table: the settings dialog, modal, with the file's values.
void registerPrefsCommands(AppContext& app);

} // namespace quillory
