// The user settings dialog and the word-processor picker, opened as the user opens them, on a
// real settings file.

#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "platform/ui/DirList.h"
#include "platform/ui/DriveList.h"
#include "platform/ui/FileList.h"
#include "prefs/frmFind.h"
#include "prefs/frmUser.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <functional>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

using namespace quillory;
using test::ModalScript;
using test::StartedProgram;

namespace {

using UserStep = std::function<void(frmUser&)>;
using FindStep = std::function<void(frmFind&)>;

// Opens the settings dialog from the menu (or the toolbar), runs `step` on it and, when it
// opens the picker, `find` on that; returns how many dialogs were shown.
int openSettings(StartedProgram& program, const UserStep& step, const FindStep& find = {},
                 bool fromToolbar = false) {
    ModalScript script([&](QDialog& dialog) {
        if (auto* user = qobject_cast<frmUser*>(&dialog))
            step(*user);
        else if (auto* picker = qobject_cast<frmFind*>(&dialog); picker && find)
            find(*picker);
    });
    if (fromToolbar)
        program.main->Toolbar2_ButtonClick(0, QStringLiteral("user"));
    else
        program.main->mnuUser->trigger();
    return script.shown();
}

// The value of `key` in the settings file; a null string when the key is not there.
QString stored(const StartedProgram& program, const QString& key) {
    const QString text = QString::fromUtf8(program.folder.read(QStringLiteral("Corvanel.hig")));
    const QString prefix = key + QLatin1Char('=');
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    }
    return {};
}

const QByteArray StoredAddress = "USERName=Ann Adams\nUSERAddress1=1 Main St\nUSERAddress2=Apt 2\n"
                                 "USERCity=Albany\nUSERState=NY\nUSERZip=12201\n";

QStringList address(const frmUser& dialog) {
    return {dialog.Text12->text(), dialog.Text13->text(), dialog.Text14->text(),
            dialog.Text15->text(), dialog.Text16->text(), dialog.Text17->text()};
}

bool textToolbarShown(const StartedProgram& program) {
    return !program.main->Toolbar1->isHidden() && program.main->Toolbar2->isHidden();
}

void writeFile(const QString& path, QFileDevice::Permissions permissions) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

const auto Plain = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const auto Program = Plain | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

class TestPrefs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void texts_data();
    void texts();
    void eachTabBringsItsPanel();
    void opensWithTheFileValues_data();
    void opensWithTheFileValues();
    void saveWritesTheEditsAndStaysOpen();
    void deleteEmptiesTheAddressOnly_data();
    void deleteEmptiesTheAddressOnly();
    void exitDropsEveryUnsavedEdit();
    void toolbarSwitchesOnClickAndIsStoredOnlyBySave_data();
    void toolbarSwitchesOnClickAndIsStoredOnlyBySave();
    void eachChoiceIsSavedUnderItsKey_data();
    void eachChoiceIsSavedUnderItsKey();
    void choicesLeftOpenKeepTheirKeys();
    void undeterminedCheckStateStaysUntilClicked();
    void pickerStartsAtTheProgramsAndListsOnlyThem();
    void pickedFileBecomesThePathOnOk_data();
    void pickedFileBecomesThePathOnOk();
    void pathHasOneSeparator_data();
    void pathHasOneSeparator();
};

void TestPrefs::texts_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    const QString user = QStringLiteral("frmUser");
    const QString find = QStringLiteral("frmFind");
    auto row = [](const QString& window, const char* control, const QString& text) {
        QTest::addRow("%s %s", qPrintable(window), control)
            << window << QString::fromLatin1(control) << text;
    };
    row(user, "frmUser", QStringLiteral("User Settings"));
    row(user, "Label21",
        QStringLiteral("Enter your Name and Address in the blocks to the left and CLICK on save.  "
                       "This will be printed as the SENDER's Address at the top left of the "
                       "envelope. To change your address, CLICK Delete and re-enter new Data. "
                       "Remember to SAVE."));
    row(user, "Label2", QStringLiteral("Select the COM port your modem is configured for. "));
    row(user, "Label1",
        QStringLiteral("  You may add a word processor of your choice to the menu bar from here "
                       "if you like.  WordPad in Windows is the default. For help on selecting a "
                       "word processor, see the help file under SELECTING A WORD PROCESSOR. "
                       "Don't forget to save when you are finished!"));
    row(user, "Label3",
        QStringLiteral("Select the envelope option that you will use on your printer. The options "
                       "are for feeding the envelope from the front if you have a built on "
                       "envelope tray. If not, choose manual and feed it through the paper tray."));
    row(user, "Label5",
        QStringLiteral("Select below the labels you would like to print the Address Book onto. "
                       "This will always be the default unless you change it again here."));
    row(user, "Label6",
        QStringLiteral("Select to the left if you would like Images only or Text and Images to be "
                       "visible on the Toolbar. Remember to save your settings."));
    row(user, "OptComm1", QStringLiteral("COM1"));
    row(user, "OptComm4", QStringLiteral("COM4"));
    row(user, "OptWord", QStringLiteral("WordPad selected"));
    row(user, "OptOther", QStringLiteral("Other Word Processor"));
    row(user, "Command1", QStringLiteral("&Find"));
    row(user, "OptLeft", QStringLiteral("Envelope feed tray from \"LEFT SIDE\""));
    row(user, "OptRight", QStringLiteral("Envelope feed tray from \"RIGHT SIDE\""));
    row(user, "OptMan", QStringLiteral("Envelope feed Manual through paper tray"));
    row(user, "Opt5160", QStringLiteral("Address (Avery 5160)"));
    row(user, "Opt5267", QStringLiteral("Address (Avery 5267)"));
    row(user, "Opt5163", QStringLiteral("Address/Shipping (Avery 5163)"));
    row(user, "Opt5660", QStringLiteral("Clear Address (Avery 5660)"));
    row(user, "Opt5662", QStringLiteral("Clear Address (Avery 5662)"));
    row(user, "OptIO", QStringLiteral("Show Large Images only"));
    row(user, "OptTI", QStringLiteral("Show Text and Images"));
    row(user, "ChkTip", QStringLiteral("Show Tips at start-up"));
    row(user, "ChkBU", QStringLiteral("Auto Back-up Database on Exit"));
    row(user, "useSave", QStringLiteral("&Save"));
    row(user, "useDelete", QStringLiteral("&Delete"));
    row(user, "useExit", QStringLiteral("&Exit"));
    row(user, "TabStrip1",
        QStringLiteral("Return Address|COM Port|Word Processor|Envelope Set-up|Label Set-up|"
                       "Misc. Settings"));
    row(find, "frmFind", QStringLiteral("Find Word Processor"));
    row(find, "Label1",
        QStringLiteral("Search the Drive and the Folder where your word processor is.  Double "
                       "click on the EXE file in the list box on the right.  If it is the correct "
                       "file you want, CLICK OK below."));
    row(find, "Label2", QString());
    row(find, "Command1", QStringLiteral("&OK"));
    row(find, "Command2", QStringLiteral("&Cancel"));
    row(find, "Drive2", QStringLiteral("Select drive to load text file from"));
    row(find, "Dir2", QStringLiteral("Select directory to load text file from"));
    row(find, "File2", QStringLiteral("Double-click to select text file to save"));
}

// A window's caption, a label's or a button's text, a list's tool tip, the tab captions.
void TestPrefs::texts() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, text);
    auto textOf = [&](QDialog& dialog) {
        QWidget* widget = control == dialog.objectName()
                              ? &dialog
                              : dialog.findChild<QWidget*>(control, Qt::FindChildrenRecursively);
        QVERIFY2(widget, qPrintable(control));
        if (widget == &dialog)
            QCOMPARE(dialog.windowTitle(), text);
        else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
            QStringList captions;
            for (int i = 0; i < tabs->count(); ++i)
                captions << tabs->tabText(i);
            QCOMPARE(captions.join(QLatin1Char('|')), text);
            QCOMPARE(tabs->currentIndex(), 0);
        } else if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), text);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QCOMPARE(button->text(), text);
        else
            QCOMPARE(widget->toolTip(), text);
    };
    StartedProgram program;
    const int shown = openSettings(
        program,
        [&](frmUser& dialog) {
            if (window == QLatin1String("frmUser"))
                textOf(dialog);
            else
                dialog.Command1->click();
            dialog.useExit->click();
        },
        [&](frmFind& picker) {
            textOf(picker);
            picker.Command2->click();
        });
    QCOMPARE(shown, window == QLatin1String("frmUser") ? 1 : 2);
}

// A click on a tab shows its panel alone; a long stored path does not widen the dialog.
void TestPrefs::eachTabBringsItsPanel() {
    StartedProgram program({.settings = "WordProc=/" + QByteArray(400, 'w') + "\n"});
    openSettings(program, [&](frmUser& dialog) {
        QVERIFY(dialog.minimumSizeHint().width() < 1000);
        const std::array<QWidget*, 6> member = {dialog.Text12,  dialog.OptComm1, dialog.OptWord,
                                                dialog.OptLeft, dialog.Opt5160,  dialog.OptIO};
        for (int tab : {5, 2, 0, 3, 1, 4}) {
            const QRect at = dialog.TabStrip1->tabRect(tab);
            QTest::mouseClick(dialog.TabStrip1, Qt::LeftButton, {}, at.center());
            for (size_t panel = 0; panel < dialog.Frame1.size(); ++panel) {
                QCOMPARE(dialog.Frame1[panel]->isVisible(), int(panel) == tab);
                QCOMPARE(member[panel]->isVisible(), int(panel) == tab);
            }
        }
        dialog.useExit->click();
    });
}

void TestPrefs::opensWithTheFileValues_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("checked"); // the options and boxes ticked, by name
    QTest::addColumn<QString>("path");
    QTest::newRow("only the address stored")
        << QByteArray() << QStringLiteral("OptWord OptIO ChkTip ChkBU") << QString();
    QTest::newRow("every choice made")
        << QByteArray("CommPort1=False\nCommPort3=True\nWordProc=/opt/writer/bin/writer\n"
                      "WordPad=False\nWordOther=True\nEnvRight=True\n5163=True\nIO=False\n"
                      "TI=True\nTIP=0\nBUdata=1\n")
        << QStringLiteral("OptComm3 OptOther OptRight Opt5163 OptTI ChkBU")
        << QStringLiteral("/opt/writer/bin/writer");
    QTest::newRow("path kept apart from the choice")
        << QByteArray("WordProc=/usr/bin/abiword\nEnvMan=True\n5662=True\nTIP=1\nBUdata=0\n")
        << QStringLiteral("OptWord OptMan Opt5662 OptIO ChkTip")
        << QStringLiteral("/usr/bin/abiword");
}

void TestPrefs::opensWithTheFileValues() {
    QFETCH(QByteArray, file);
    QFETCH(QString, checked);
    QFETCH(QString, path);
    // Written while the program runs, as a hand edit or another part of the program does: the
    // dialog shows the file, not what the program read at its start.
    StartedProgram program;
    test::writeSettings(program.folder, file + StoredAddress);
    openSettings(program, [&](frmUser& dialog) {
        QCOMPARE(address(dialog),
                 QStringList({QStringLiteral("Ann Adams"), QStringLiteral("1 Main St"),
                              QStringLiteral("Apt 2"), QStringLiteral("Albany"),
                              QStringLiteral("NY"), QStringLiteral("12201")}));
        QStringList ticked;
        for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            if ((qobject_cast<const QRadioButton*>(button) ||
                 qobject_cast<const QCheckBox*>(button)) &&
                button->isChecked())
                ticked << button->objectName();
        }
        ticked.sort();
        QStringList expected = checked.split(QLatin1Char(' '));
        expected.sort();
        QCOMPARE(ticked, expected);
        QCOMPARE(dialog.Label4->text(), path);
        dialog.useExit->click();
    });
}

// Every edit reaches the file in one click, without a word, and the dialog stays for more.
void TestPrefs::saveWritesTheEditsAndStaysOpen() {
    StartedProgram program({.settings = StoredAddress});
    openSettings(program, [&](frmUser& dialog) {
        dialog.Text12->setText(QStringLiteral("Bea Brown"));
        dialog.Text17->setText(QStringLiteral("02134"));
        dialog.OptComm2->click();
        dialog.OptOther->click();
        dialog.OptLeft->click();
        dialog.Opt5261->click();
        dialog.ChkTip->click();
        dialog.useSave->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        dialog.useExit->click();
    });
    QVERIFY(program.boxes.asked().isEmpty());
    const QList<std::pair<const char*, const char*>> expected = {{"USERName", "Bea Brown"},
                                                                 {"USERAddress1", "1 Main St"},
                                                                 {"USERZip", "02134"},
                                                                 {"CommPort1", "False"},
                                                                 {"CommPort2", "True"},
                                                                 {"WordPad", "False"},
                                                                 {"WordOther", "True"},
                                                                 {"EnvLeft", "True"},
                                                                 {"EnvMan", "False"},
                                                                 {"5261", "True"},
                                                                 {"5160", "False"},
                                                                 {"IO", "True"},
                                                                 {"TIP", "0"},
                                                                 {"BUdata", "1"}};
    for (const auto& [key, value] : expected)
        QCOMPARE(stored(program, QString::fromLatin1(key)), QString::fromLatin1(value));
    QCOMPARE(program.context->settings().userName, QStringLiteral("Bea Brown"));
}

void TestPrefs::deleteEmptiesTheAddressOnly_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("then exit: the file keeps the address") << false;
    QTest::newRow("then save: six empty values") << true;
}

void TestPrefs::deleteEmptiesTheAddressOnly() {
    QFETCH(bool, save);
    StartedProgram program({.settings = StoredAddress + "WordProc=/usr/bin/abiword\n"});
    openSettings(program, [&](frmUser& dialog) {
        dialog.useDelete->click();
        QCOMPARE(address(dialog), QStringList(6, QString()));
        QCOMPARE(dialog.focusWidget(), dialog.Text12);
        QCOMPARE(dialog.Label4->text(), QStringLiteral("/usr/bin/abiword"));
        // Nothing is written by the deletion itself.
        QCOMPARE(stored(program, QStringLiteral("USERName")), QStringLiteral("Ann Adams"));
        (save ? dialog.useSave : dialog.useExit)->click();
        if (save)
            dialog.useExit->click();
    });
    for (const char* key :
         {"USERName", "USERAddress1", "USERAddress2", "USERCity", "USERState", "USERZip"}) {
        const QString value = stored(program, QString::fromLatin1(key));
        QVERIFY2(!value.isNull(), key);
        QCOMPARE(value.isEmpty(), save);
    }
    QCOMPARE(stored(program, QStringLiteral("WordProc")), QStringLiteral("/usr/bin/abiword"));
    // The next opening shows what the file holds: an empty value read back keeps what the
    // program held, which after an exit is still the stored address.
    openSettings(program, [&](frmUser& dialog) {
        QCOMPARE(dialog.Text15->text(), save ? QString() : QStringLiteral("Albany"));
        dialog.useExit->click();
    });
}

// Whatever was edited and not saved is gone when the dialog is left, by "&Exit" or its close
// box, and also when the program then saves its settings on closing.
void TestPrefs::exitDropsEveryUnsavedEdit() {
    StartedProgram program({.settings = StoredAddress + "CommPort1=True\n"});
    const QByteArray before = program.folder.read(QStringLiteral("Corvanel.hig"));
    for (bool closeBox : {false, true}) {
        openSettings(program, [&](frmUser& dialog) {
            dialog.Text12->setText(QStringLiteral("Someone Else"));
            dialog.OptComm4->click();
            dialog.OptOther->click();
            dialog.Opt5160->click();
            dialog.ChkBU->click();
            if (closeBox)
                dialog.close();
            else
                dialog.useExit->click();
        });
        QCOMPARE(program.folder.read(QStringLiteral("Corvanel.hig")), before);
    }
    program.context->SaveSettings();
    QCOMPARE(stored(program, QStringLiteral("USERName")), QStringLiteral("Ann Adams"));
    QCOMPARE(stored(program, QStringLiteral("CommPort1")), QStringLiteral("True"));
    QCOMPARE(stored(program, QStringLiteral("CommPort4")), QStringLiteral("False"));
    QCOMPARE(stored(program, QStringLiteral("WordPad")), QStringLiteral("True"));
    QVERIFY(stored(program, QStringLiteral("5160")).isNull());
    QCOMPARE(stored(program, QStringLiteral("BUdata")), QStringLiteral("1"));
    openSettings(program, [&](frmUser& dialog) {
        QCOMPARE(dialog.Text12->text(), QStringLiteral("Ann Adams"));
        QVERIFY(dialog.OptComm1->isChecked());
        QVERIFY(!dialog.Opt5160->isChecked());
        QVERIFY(dialog.ChkBU->isChecked());
        dialog.useExit->click();
    });
}

void TestPrefs::toolbarSwitchesOnClickAndIsStoredOnlyBySave_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("fromToolbar");
    QTest::newRow("large images saved, menu") << QByteArray("IO=True\nTI=False\n") << false;
    QTest::newRow("large images saved, toolbar") << QByteArray("IO=True\nTI=False\n") << true;
    QTest::newRow("text and images saved") << QByteArray("IO=False\nTI=True\n") << false;
}

void TestPrefs::toolbarSwitchesOnClickAndIsStoredOnlyBySave() {
    QFETCH(QByteArray, file);
    QFETCH(bool, fromToolbar);
    StartedProgram program({.settings = file});
    const bool savedText = file.startsWith("IO=False");
    QCOMPARE(textToolbarShown(program), savedText);
    const QString savedIO = stored(program, QStringLiteral("IO"));

    // The other style shows the moment it is clicked, and leaving does not store it.
    const int shown = openSettings(
        program,
        [&](frmUser& dialog) {
            QCOMPARE(dialog.OptTI->isChecked(), savedText);
            (savedText ? dialog.OptIO : dialog.OptTI)->click();
            QCOMPARE(textToolbarShown(program), !savedText);
            dialog.useExit->click();
        },
        {}, fromToolbar);
    QCOMPARE(shown, 1);
    QCOMPARE(textToolbarShown(program), !savedText);
    QCOMPARE(stored(program, QStringLiteral("IO")), savedIO);

    // Opened again, the dialog reads the file; the window keeps the style until a click.
    openSettings(program, [&](frmUser& dialog) {
        QCOMPARE(dialog.OptTI->isChecked(), savedText);
        QCOMPARE(textToolbarShown(program), !savedText);
        (savedText ? dialog.OptIO : dialog.OptTI)->click();
        dialog.useSave->click();
        dialog.useExit->click();
    });
    QCOMPARE(textToolbarShown(program), !savedText);
    QCOMPARE(stored(program, QStringLiteral("TI")),
             savedText ? QStringLiteral("False") : QStringLiteral("True"));
}

void TestPrefs::eachChoiceIsSavedUnderItsKey_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("control"); // clicked
    QTest::addColumn<QString>("key");     // then holds "True", or the box's new state
    QTest::addColumn<QString>("value");
    for (const int stock : UserSettings::LabelStocks)
        QTest::addRow("%d", stock) << QByteArray() << QStringLiteral("Opt%1").arg(stock)
                                   << QString::number(stock) << "True";
    for (const auto& [box, key] : {std::pair{"ChkTip", "TIP"}, std::pair{"ChkBU", "BUdata"}}) {
        QTest::addRow("%s cleared", box) << QByteArray(key) + "=1\n" << box << key << "0";
        QTest::addRow("%s ticked", box) << QByteArray(key) + "=0\n" << box << key << "1";
    }
}

// A click on a label stock or a check box, then "&Save", stores it under its own key.
void TestPrefs::eachChoiceIsSavedUnderItsKey() {
    QFETCH(QByteArray, file);
    QFETCH(QString, control);
    QFETCH(QString, key);
    QFETCH(QString, value);
    StartedProgram program({.settings = file});
    openSettings(program, [&](frmUser& dialog) {
        dialog.findChild<QAbstractButton*>(control)->click();
        dialog.useSave->click();
        dialog.useExit->click();
    });
    QCOMPARE(stored(program, key), value);
}

// With no serial port, envelope feed or label stock chosen, a save leaves those keys as the
// file holds them, also a hand-written "False".
void TestPrefs::choicesLeftOpenKeepTheirKeys() {
    StartedProgram program({.settings = "5160=False\nCommPort2=False\n"});
    openSettings(program, [&](frmUser& dialog) {
        for (QAbstractButton* stock :
             {dialog.Opt5160, dialog.Opt5267, dialog.Opt5662, dialog.OptComm2, dialog.OptLeft})
            QVERIFY(!stock->isChecked());
        dialog.Text16->setText(QStringLiteral("VT"));
        dialog.useSave->click();
        dialog.useExit->click();
    });
    QCOMPARE(stored(program, QStringLiteral("USERState")), QStringLiteral("VT"));
    QCOMPARE(stored(program, QStringLiteral("5160")), QStringLiteral("False"));
    QCOMPARE(stored(program, QStringLiteral("CommPort2")), QStringLiteral("False"));
    for (const char* key : {"5267", "5662", "CommPort1", "EnvLeft", "EnvRight", "EnvMan"})
        QVERIFY2(stored(program, QString::fromLatin1(key)).isNull(), key);
}

// A check state of 2 shows undetermined and is saved as it stands; a click on the box makes it
// an ordinary one, ticked and cleared.
void TestPrefs::undeterminedCheckStateStaysUntilClicked() {
    StartedProgram program({.settings = "TIP=2\nBUdata=2\n"});
    openSettings(program, [&](frmUser& dialog) {
        QCOMPARE(dialog.ChkTip->checkState(), Qt::PartiallyChecked);
        QCOMPARE(dialog.ChkBU->checkState(), Qt::PartiallyChecked);
        dialog.useSave->click();
        QCOMPARE(stored(program, QStringLiteral("TIP")), QStringLiteral("2"));
        dialog.ChkTip->click();
        QCOMPARE(dialog.ChkTip->checkState(), Qt::Checked);
        dialog.ChkTip->click();
        QCOMPARE(dialog.ChkTip->checkState(), Qt::Unchecked);
        dialog.ChkTip->click();
        QCOMPARE(dialog.ChkTip->checkState(), Qt::Checked);
        dialog.ChkTip->click();
        dialog.useSave->click();
        dialog.useExit->click();
    });
    QCOMPARE(stored(program, QStringLiteral("TIP")), QStringLiteral("0"));
    QCOMPARE(stored(program, QStringLiteral("BUdata")), QStringLiteral("2"));
}

// The picker opens where programs are installed, and lists only what the user may start: the
// execute bit counts, not the name.
void TestPrefs::pickerStartsAtTheProgramsAndListsOnlyThem() {
    QTemporaryDir folder;
    writeFile(folder.filePath(QStringLiteral("writer")), Program);
    writeFile(folder.filePath(QStringLiteral("Setup.EXE")), Program);
    writeFile(folder.filePath(QStringLiteral("notes.txt")), Plain);
    writeFile(folder.filePath(QStringLiteral("old.exe")), Plain);
    writeFile(folder.filePath(QStringLiteral(".hidden")), Program);
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("tools")));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("writer")),
                        folder.filePath(QStringLiteral("writer-link"))));

    StartedProgram program;
    openSettings(
        program,
        [&](frmUser& dialog) {
            dialog.Command1->click();
            dialog.useExit->click();
        },
        [&](frmFind& picker) {
            QCOMPARE(picker.Dir2->path(), frmFind::ProgramsFolder);
            QCOMPARE(picker.File2->path(), frmFind::ProgramsFolder);
            QCOMPARE(picker.Drive2->drive(), QStringLiteral("/"));
            QVERIFY(picker.File2->files().contains(QStringLiteral("sh")));
            QVERIFY(picker.Dir2->setPath(folder.path()));
            QCOMPARE(picker.File2->path(), folder.path());
            QCOMPARE(picker.File2->files(),
                     QStringList({QStringLiteral("Setup.EXE"), QStringLiteral("writer"),
                                  QStringLiteral("writer-link")}));
            picker.Command2->click();
        });
}

void TestPrefs::pickedFileBecomesThePathOnOk_data() {
    QTest::addColumn<bool>("clickFile");
    QTest::addColumn<bool>("ok");
    QTest::newRow("file clicked, OK") << true << true;
    QTest::newRow("no file clicked, OK empties the path") << false << true;
    QTest::newRow("file clicked, Cancel") << true << false;
}

// "&OK" hands over whatever the path label shows, also nothing; picking does not choose "Other
// Word Processor"; the file learns the path only through "&Save".
void TestPrefs::pickedFileBecomesThePathOnOk() {
    QFETCH(bool, clickFile);
    QFETCH(bool, ok);
    QTemporaryDir folder;
    writeFile(folder.filePath(QStringLiteral("my writer")), Program); // the blank is kept
    const QString before = QStringLiteral("/usr/bin/abiword");
    const QString picked = folder.filePath(QStringLiteral("my writer"));
    StartedProgram program({.settings = "WordProc=" + before.toUtf8() + "\n"});
    QString expected = ok ? (clickFile ? picked : QString()) : before;

    const int shown = openSettings(
        program,
        [&](frmUser& dialog) {
            dialog.Command1->click();
            QCOMPARE(dialog.Label4->text(), expected);
            QVERIFY(dialog.OptWord->isChecked());
            QVERIFY(!dialog.OptOther->isChecked());
            QCOMPARE(stored(program, QStringLiteral("WordProc")), before);
            dialog.useSave->click();
            dialog.useExit->click();
        },
        [&](frmFind& picker) {
            QVERIFY(picker.Dir2->setPath(folder.path()));
            if (clickFile) {
                const QList<QListWidgetItem*> items =
                    picker.File2->findItems(QStringLiteral("my writer"), Qt::MatchExactly);
                QCOMPARE(items.size(), 1);
                const QRect where = picker.File2->visualItemRect(items.first());
                QTest::mouseClick(picker.File2->viewport(), Qt::LeftButton, {}, where.center());
                QCOMPARE(picker.Label2->text(), picked);
            }
            (ok ? picker.Command1 : picker.Command2)->click();
        });
    QCOMPARE(shown, 2);
    // An empty path is written as an empty value, which a load passes over.
    QCOMPARE(stored(program, QStringLiteral("WordProc")), expected);
}

void TestPrefs::pathHasOneSeparator_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("path");
    QTest::newRow("root of the file system") << "/"
                                             << "vmlinuz"
                                             << "/vmlinuz";
    QTest::newRow("a folder") << "/usr/bin"
                              << "sh"
                              << "/usr/bin/sh";
    QTest::newRow("folder named like its file") << "/bin"
                                                << "bin"
                                                << "/bin/bin";
}

// The list's folder ends in a separator only at the root; the path never doubles it.
void TestPrefs::pathHasOneSeparator() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, path);
    StartedProgram program;
    openSettings(
        program,
        [&](frmUser& dialog) {
            dialog.Command1->click();
            QCOMPARE(dialog.Label4->text(), path);
            dialog.useExit->click();
        },
        [&](frmFind& picker) {
            QVERIFY(picker.File2->setPath(folder));
            QCOMPARE(picker.File2->path(), folder);
            // The click on a file of that folder, as the list reports it.
            Q_EMIT picker.File2->fileClicked(file);
            QCOMPARE(picker.Label2->text(), path);
            picker.Command1->click();
        });
}

QTEST_MAIN(TestPrefs)
#include "test_prefs.moc"
