// The about box through the Help menu, shown modally and acted on by the test.

#include "core/frmMain.h"
#include "core/ProgramInfo.h"
#include "extras/About.h"
#include "extras/PictureBox.h"
#include "StartedProgram.h"
#include "TestSupport.h"

#include <QAction>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace quillory;
using test::ModalScript;
using test::StartedProgram;

class AboutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsNameAndVersion();
    void clicksSwapTheTwoPictures_data();
    void clicksSwapTheTwoPictures();
    void theSecondPictureIsHiddenAtEveryOpening();
    void okHasTheFocusAndCloses();
};

void AboutTest::showsNameAndVersion() {
    StartedProgram started;
    QString version, name, title;
    bool centred = false;
    ModalScript script([&](QDialog& box) {
        auto& about = dynamic_cast<About&>(box);
        version = about.Label1->text();
        name = about.Label3->text();
        title = about.windowTitle();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        // The window frame is known only once the box is shown, after it was centred.
        const QPoint off = about.frameGeometry().center() - screen.center();
        centred = std::abs(off.x()) <= 4 && std::abs(off.y()) <= 4;
        about.Command1->click();
    });
    started.main->mnuAbout->trigger();
    QCOMPARE(script.shown(), 1);
    QCOMPARE(version, QStringLiteral("Version 9.01"));
    QCOMPARE(version, program::versionCaption());
    QCOMPARE(name.split(QLatin1Char('\n')), (QStringList{"Quillory", "for", "Windows 95/98/Me"}));
    QCOMPARE(title, QStringLiteral("About Quillory"));
    QVERIFY(centred);
    QVERIFY(started.boxes.asked().isEmpty());
}

void AboutTest::clicksSwapTheTwoPictures_data() {
    QTest::addColumn<QString>("clicks"); // P: the product picture, D: the second picture
    QTest::addColumn<bool>("secondShown");
    QTest::newRow("none") << "" << false;
    QTest::newRow("product picture") << "P" << true;
    QTest::newRow("and back") << "PD" << false;
    QTest::newRow("and again") << "PDP" << true;
    QTest::newRow("the right button does nothing") << "r" << false;
}

void AboutTest::clicksSwapTheTwoPictures() {
    QFETCH(QString, clicks);
    QFETCH(bool, secondShown);
    StartedProgram started;
    bool shown = !secondShown;
    ModalScript script([&](QDialog& box) {
        auto& about = dynamic_cast<About&>(box);
        for (const QChar click : clicks) {
            if (click == QLatin1Char('P'))
                QTest::mouseClick(about.Image1, Qt::LeftButton);
            else if (click == QLatin1Char('D'))
                QTest::mouseClick(about.DevImage, Qt::LeftButton);
            else
                QTest::mouseClick(about.Image1, Qt::RightButton);
        }
        shown = about.DevImage->isVisible();
        about.Command1->click();
    });
    started.main->mnuAbout->trigger();
    QCOMPARE(script.shown(), 1);
    QCOMPARE(shown, secondShown);
}

void AboutTest::theSecondPictureIsHiddenAtEveryOpening() {
    StartedProgram started;
    QList<bool> hiddenAtOpening;
    ModalScript script([&](QDialog& box) {
        auto& about = dynamic_cast<About&>(box);
        hiddenAtOpening.append(about.DevImage->isHidden());
        QTest::mouseClick(about.Image1, Qt::LeftButton);
        QVERIFY(about.DevImage->isVisible());
        about.reject(); // the close box
    });
    started.main->mnuAbout->trigger();
    started.main->mnuAbout->trigger();
    QCOMPARE(hiddenAtOpening, (QList<bool>{true, true}));
}

void AboutTest::okHasTheFocusAndCloses() {
    StartedProgram started;
    bool focused = false;
    bool closed = false;
    ModalScript script([&](QDialog& box) {
        auto& about = dynamic_cast<About&>(box);
        about.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        focused = about.focusWidget() == about.Command1;
        QTest::keyClick(&about, Qt::Key_Return);
        closed = about.isHidden() && about.result() == QDialog::Accepted;
    });
    started.main->mnuAbout->trigger();
    QVERIFY(focused);
    QVERIFY(closed);
}

QTEST_MAIN(AboutTest)
#include "test_about.moc"
