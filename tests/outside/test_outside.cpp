// E-mail and web pages of the current contact, the support dialog and the word processor,
// through the main window's menus and toolbars, with the desktop replaced by a recorder and
// the programs by scripts on a search path of the test's own.

#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "outside/frmInfo.h"
#include "outside/frmSend.h"
#include "outside/Outside.h"
#include "ShellTestKit.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quillory;
using test::FakeDesktop;
using test::RecordedOpens;
using test::StartedProgram;

namespace {

QList<QVariantMap> oneContact(const QString& email, const QString& web) {
    return {{{QStringLiteral("name"), QStringLiteral("Adams")},
             {QStringLiteral("namef"), QStringLiteral("Ann")},
             {QStringLiteral("extra8"), QStringLiteral("Ann Adams")},
             {QStringLiteral("email"), email},
             {QStringLiteral("extra6"), web},
             {QStringLiteral("phone"), QStringLiteral("555-0101")}}};
}

// How a command is given: its menu item or a button of either toolbar.
enum class Via { Menu, Toolbar1, Toolbar2 };

void give(frmMain& main, Via via, QAction* item, int button) {
    switch (via) {
    case Via::Menu:
        item->trigger();
        break;
    case Via::Toolbar1:
        main.Toolbar1->clickButton(button);
        break;
    case Via::Toolbar2:
        main.Toolbar2->clickButton(button);
        break;
    }
}

template <typename Dialog> Dialog* as(QDialog& dialog) {
    auto* typed = qobject_cast<Dialog*>(&dialog);
    if (!typed)
        qWarning() << "an unexpected dialog was shown:" << dialog.objectName();
    return typed;
}

constexpr int EmailButton = 13;
constexpr int WriteButton = 17;

} // namespace

Q_DECLARE_METATYPE(Via)

class TestOutside : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendDialogShowsTheCard_data();
    void sendDialogShowsTheCard();
    void sendButtons_data();
    void sendButtons();
    void supportDialog_data();
    void supportDialog();
    void wordProcessor_data();
    void wordProcessor();
    void wordProcessorUsesTheSavedChoice();
    void withoutAProgramEachCommandSaysWhy_data();
    void withoutAProgramEachCommandSaysWhy();
};

void TestOutside::sendDialogShowsTheCard_data() {
    QTest::addColumn<Via>("via");
    QTest::newRow("menu") << Via::Menu;
    QTest::newRow("small toolbar") << Via::Toolbar1;
    QTest::newRow("large toolbar") << Via::Toolbar2;
}

void TestOutside::sendDialogShowsTheCard() {
    QFETCH(Via, via);
    StartedProgram p({.contacts = oneContact(QStringLiteral("ann@example.org"),
                                             QStringLiteral("www.example.org/ann"))});
    // A first name typed but not yet stored: the dialog shows the stored display name.
    p.main->Text12->setText(QStringLiteral("Annie"));
    QStringList seen;
    bool closed = false;
    test::ModalScript script([&](QDialog& dialog) {
        frmSend* send = as<frmSend>(dialog);
        QVERIFY(send);
        seen = QStringList{send->windowTitle(),    send->Label1->text(),  send->Label2->text(),
                           send->Label3->text(),   send->Label6->text(),  send->Label4->text(),
                           send->Label7->text(),   send->Label5->text(),  send->Command1->text(),
                           send->Command2->text(), send->Command3->text()};
        send->Command3->click();
        closed = send->result() == QDialog::Rejected && !send->isVisible();
    });

    give(*p.main, via, p.main->mnuEmail, EmailButton);

    QCOMPARE(script.shown(), 1);
    QCOMPARE(seen, (QStringList{"Email & Web",
                                "From here you can send an email or jump to the persons personal "
                                "web page. Select your choice below.",
                                "Data for:", "Ann Adams", "Email Address", "ann@example.org",
                                "Web Page Address", "www.example.org/ann", "&Send Email",
                                "&Go to web page", "&Close"}));
    QVERIFY(closed);
    QVERIFY(p.boxes.asked().isEmpty());
}

void TestOutside::sendButtons_data() {
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("web");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("opened");  // empty: nothing
    QTest::addColumn<QString>("refused"); // the text shown as refused; empty: no message

    QTest::newRow("e-mail") << "ann@example.org"
                            << ""
                            << "Command1"
                            << "mailto:ann@example.org"
                            << "";
    QTest::newRow("e-mail without an address") << ""
                                               << ""
                                               << "Command1"
                                               << "mailto:"
                                               << "";
    QTest::newRow("web page") << ""
                              << "https://www.example.org/ann"
                              << "Command2"
                              << "https://www.example.org/ann"
                              << "";
    QTest::newRow("web page typed without scheme") << ""
                                                   << "www.example.org"
                                                   << "Command2"
                                                   << "http://www.example.org"
                                                   << "";
    QTest::newRow("no web page") << "ann@example.org"
                                 << ""
                                 << "Command2"
                                 << ""
                                 << "";
    QTest::newRow("e-mail with an attachment") << "ann@example.org?attach=/home/ann/.ssh/id_rsa"
                                               << ""
                                               << "Command1"
                                               << ""
                                               << "ann@example.org?attach=/home/ann/.ssh/id_rsa";
    QTest::newRow("web page that is a file") << ""
                                             << "file:///etc/passwd"
                                             << "Command2"
                                             << ""
                                             << "file:///etc/passwd";
}

void TestOutside::sendButtons() {
    QFETCH(QString, email);
    QFETCH(QString, web);
    QFETCH(QString, button);
    QFETCH(QString, opened);
    QFETCH(QString, refused);
    StartedProgram p({.contacts = oneContact(email, web)});
    FakeDesktop programs(true);
    RecordedOpens desktop;
    bool stayedOpen = false;
    test::ModalScript script([&](QDialog& dialog) {
        auto* pressed = dialog.findChild<QPushButton*>(button);
        QVERIFY(pressed);
        pressed->click();
        stayedOpen = dialog.isVisible();
        dialog.reject();
    });

    p.main->mnuEmail->trigger();

    QCOMPARE(script.shown(), 1);
    QVERIFY(stayedOpen);
    QCOMPARE(desktop.opened, opened.isEmpty() ? QStringList() : QStringList{opened});
    QCOMPARE(p.boxes.asked().size(), opened.isEmpty() ? 1 : 0); // what is not opened is said
    if (!refused.isEmpty())
        QCOMPARE(p.boxes.texts().first(), shell::ShellService::refusalMessage(refused));
}

void TestOutside::supportDialog_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("opened");

    const outside::SupportTargets targets = outside::supportTargets();
    QTest::newRow("web support") << "Command1" << targets.webPage;
    QTest::newRow("e-mail support") << "Command3" << targets.email;
    QTest::newRow("updates") << "Command4" << targets.updatePage;
}

void TestOutside::supportDialog() {
    QFETCH(QString, button);
    QFETCH(QString, opened);
    StartedProgram p;
    FakeDesktop programs(true);
    RecordedOpens desktop;
    QStringList seen;
    bool closed = false;
    test::ModalScript script([&](QDialog& dialog) {
        frmInfo* info = as<frmInfo>(dialog);
        QVERIFY(info);
        seen = QStringList{info->windowTitle(),    info->Label1->text(),   info->Label3->text(),
                           info->Label4->text(),   info->Label2->text(),   info->Command1->text(),
                           info->Command3->text(), info->Command4->text(), info->Command2->text()};
        info->findChild<QPushButton*>(button)->click();
        QVERIFY(info->isVisible());
        info->Command2->click();
        closed = info->result() == QDialog::Rejected && !info->isVisible();
    });

    p.main->mnuSupp->trigger();

    QCOMPARE(script.shown(), 1);
    QCOMPARE(seen, (QStringList{"Support", "For Support, send email or go to the Support Web page.",
                                "You are currently running:", "Version 9.01",
                                "For updates to the program, click the button below to go to the "
                                "web page for Updates.",
                                "&Web Support", "&Email Support", "&Check for Update", "CL&OSE"}));
    QVERIFY(closed);
    QCOMPARE(desktop.opened, QStringList{QUrl(opened).toString(QUrl::FullyEncoded)});
    // The addresses the program is built with by default are placeholders of example.org.
    QVERIFY2(opened.contains(QLatin1String("example.org")), qPrintable(opened));
    QVERIFY(p.boxes.asked().isEmpty());
}

void TestOutside::wordProcessor_data() {
    QTest::addColumn<QStringList>("onPath");  // fake programs on the search path
    QTest::addColumn<bool>("odtApplication"); // the desktop names a program for .odt
    QTest::addColumn<QByteArray>("settings"); // %1: the test's folder
    QTest::addColumn<Via>("via");
    QTest::addColumn<QString>("ran");     // what the started program wrote; empty: none
    QTest::addColumn<QString>("message"); // %1: the test's folder; empty: none

    const QStringList all = {"lowriter", "libreoffice", "abiword", "calligrawords"};
    const QByteArray other = "WordPad=False\nWordOther=True\nWordProc=%1/other/my writer -n\n";
    const QByteArray gone = "WordPad=False\nWordOther=True\nWordProc=%1/other/gone\n";
    const QString none = QStringLiteral(
        "The word processor could not be started: none of LibreOffice Writer, AbiWord or "
        "Calligra Words is installed, and no program is set to open .odt documents.");

    QTest::newRow("LibreOffice Writer first")
        << all << true << QByteArray() << Via::Menu << "lowriter"
        << "";
    QTest::newRow("LibreOffice by its own name")
        << QStringList{"libreoffice", "abiword"} << true << QByteArray() << Via::Menu
        << "libreoffice --writer"
        << "";
    QTest::newRow("then AbiWord") << QStringList{"abiword", "calligrawords"} << true
                                  << QByteArray("WordPad=True\nWordOther=False\n") << Via::Menu
                                  << "abiword"
                                  << "";
    QTest::newRow("then Calligra Words")
        << QStringList{"calligrawords"} << true << QByteArray() << Via::Toolbar1 << "calligrawords"
        << "";
    QTest::newRow("then the program for .odt documents")
        << QStringList() << true << QByteArray() << Via::Toolbar2 << "odtwriter --new"
        << "";
    QTest::newRow("no word processor, menu")
        << QStringList() << false << QByteArray() << Via::Menu << "" << none;
    QTest::newRow("no word processor, toolbar")
        << QStringList() << false << QByteArray() << Via::Toolbar1 << "" << none;
    QTest::newRow("the other word processor") << all << true << other << Via::Menu << "mywriter"
                                              << "";
    QTest::newRow("the other word processor from the toolbar")
        << all << true << other << Via::Toolbar2 << "mywriter"
        << "";
    QTest::newRow("the other word processor is gone, menu")
        << all << true << gone << Via::Menu << ""
        << "\"%1/other/gone\" could not be started: the file \"%1/other/gone\" does not exist.";
    QTest::newRow("the other word processor is gone, toolbar")
        << all << true << gone << Via::Toolbar1 << ""
        << "\"%1/other/gone\" could not be started: the file \"%1/other/gone\" does not exist.";
    QTest::newRow("no other program chosen")
        << all << true << QByteArray("WordPad=False\nWordOther=True\nWordProc=\n") << Via::Menu
        << ""
        << "\"Other Word Processor\" could not be started: no program file is set.";
    QTest::newRow("neither chosen")
        << all << true << QByteArray("WordPad=False\nWordOther=False\n") << Via::Menu << ""
        << "";
}

void TestOutside::wordProcessor() {
    QFETCH(QStringList, onPath);
    QFETCH(bool, odtApplication);
    QFETCH(QByteArray, settings);
    QFETCH(Via, via);
    QFETCH(QString, ran);
    QFETCH(QString, message);
    FakeDesktop desktop;
    const QString marker = desktop.path(QStringLiteral("ran"));
    // Each fake program writes its name and arguments, after a moment, so that a start that
    // waited for it would be seen too.
    const auto fake = [&](const QString& path, const QString& name) {
        test::writeFile(path,
                        "#!/bin/sh\n/bin/sleep 0.3\necho \"" + name.toUtf8() + " $*\" > '" +
                            marker.toUtf8() + "'\n",
                        test::Runnable);
    };
    for (const QString& name : onPath)
        fake(desktop.path(QStringLiteral("bin/") + name), name);
    fake(desktop.path(QStringLiteral("other/my writer -n")), QStringLiteral("mywriter"));
    fake(desktop.path(QStringLiteral("apps/odtwriter")), QStringLiteral("odtwriter"));
    if (odtApplication) {
        test::writeFile(desktop.path(QStringLiteral("usr/applications/odt.desktop")),
                        "[Desktop Entry]\nType=Application\nName=Odt Writer\nExec=" +
                            desktop.path(QStringLiteral("apps/odtwriter")).toUtf8() +
                            " --new %U\n");
        test::writeFile(desktop.path(QStringLiteral("config/mimeapps.list")),
                        "[Default Applications]\n"
                        "application/vnd.oasis.opendocument.text=odt.desktop\n");
    }
    const auto inFolder = [&](QString text) {
        return text.replace(QStringLiteral("%1"), desktop.dir.path());
    };
    StartedProgram p({.settings = inFolder(QString::fromUtf8(settings)).toUtf8()});

    QElapsedTimer clock;
    clock.start();
    give(*p.main, via, p.main->mnuWrite, WriteButton);
    QVERIFY2(clock.elapsed() < 250, "the command waited for the program");

    QCOMPARE(p.boxes.texts(), message.isEmpty() ? QStringList() : QStringList{inFolder(message)});
    if (!message.isEmpty())
        QCOMPARE(p.boxes.asked().first().icon, ui::Icon::Exclamation);
    if (ran.isEmpty()) {
        QTest::qWait(600);
        QVERIFY(!QFile::exists(marker));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 10000);
    QFile written(marker);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()).trimmed(), ran);
}

void TestOutside::wordProcessorUsesTheSavedChoice() {
    FakeDesktop desktop;
    const QString marker = desktop.path(QStringLiteral("ran"));
    for (const char* name : {"lowriter", "mywriter"})
        test::writeFile(desktop.path(QStringLiteral("bin/") + QLatin1String(name)),
                        QByteArray("#!/bin/sh\necho ") + name + " > '" + marker.toUtf8() + "'\n",
                        test::Runnable);
    StartedProgram p({.settings = "WordPad=True\nWordOther=False\nWordProc=\n"});
    // Chosen in the settings but not saved: the command goes by the file.
    p.context->settings().wordProcessor = UserSettings::WordProcessor::Other;
    p.context->settings().wordProcessorPath = desktop.path(QStringLiteral("bin/mywriter"));

    p.main->mnuWrite->trigger();

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 10000);
    QFile written(marker);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("lowriter\n"));
    QVERIFY(p.boxes.asked().isEmpty());
}

void TestOutside::withoutAProgramEachCommandSaysWhy_data() {
    QTest::addColumn<QString>("item"); // the menu item; the toolbars have the write button
    QTest::addColumn<Via>("via");
    QTest::addColumn<QString>("button"); // pressed in the dialog the item opens
    QTest::addColumn<bool>("programs");  // the desktop has them but cannot start them
    QTest::newRow("Send Email") << "mnuEmail" << Via::Menu << "Command1" << false;
    QTest::newRow("Go to web page") << "mnuEmail" << Via::Menu << "Command2" << false;
    QTest::newRow("Call with phone app") << "mnuDial" << Via::Menu << "Command2" << false;
    QTest::newRow("Web Support") << "mnuSupp" << Via::Menu << "Command1" << false;
    QTest::newRow("Email Support") << "mnuSupp" << Via::Menu << "Command3" << false;
    QTest::newRow("Check for Update") << "mnuSupp" << Via::Menu << "Command4" << false;
    QTest::newRow("Write, menu") << "mnuWrite" << Via::Menu << "" << false;
    QTest::newRow("Write, small toolbar") << "mnuWrite" << Via::Toolbar1 << "" << false;
    QTest::newRow("Write, large toolbar") << "mnuWrite" << Via::Toolbar2 << "" << false;
    QTest::newRow("Web Support, not started") << "mnuSupp" << Via::Menu << "Command1" << true;
}

// On a desktop without programs for mail, web pages, phone numbers and documents, every
// command that hands work over says why, the same way, and starts nothing.
void TestOutside::withoutAProgramEachCommandSaysWhy() {
    QFETCH(QString, item);
    QFETCH(Via, via);
    QFETCH(QString, button);
    QFETCH(bool, programs);
    FakeDesktop desktop(programs);
    RecordedOpens opens;
    opens.accepts = false;
    StartedProgram p({.contacts = oneContact("ann@example.org", "www.example.org/ann")});
    test::ModalScript script([&](QDialog& dialog) {
        dialog.findChild<QPushButton*>(button)->click();
        dialog.reject();
    });
    give(*p.main, via, p.main->findChild<QAction*>(item), WriteButton);
    QCOMPARE(script.shown(), button.isEmpty() ? 0 : 1);
    QCOMPARE(opens.opened.size(), programs ? 1 : 0);
    QCOMPARE(p.boxes.asked().size(), 1);
    QVERIFY2(p.boxes.texts().first().contains(" could not be "), qPrintable(p.boxes.texts()[0]));
}

QTEST_MAIN(TestOutside)
#include "test_outside.moc"
