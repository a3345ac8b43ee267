// The program's real message boxes, as the message box service shows them when no test
// responder answers: the buttons, the default, the icon, and the answer a click gives.

#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using quillory::ui::Answer;
using quillory::ui::Buttons;
using quillory::ui::Icon;
using quillory::ui::MessageBoxService;
using quillory::ui::MessageRequest;

Q_DECLARE_METATYPE(quillory::ui::Buttons)
Q_DECLARE_METATYPE(quillory::ui::Icon)
Q_DECLARE_METATYPE(quillory::ui::Answer)

namespace {

// A desktop style of the kind that puts pictures on a dialog's standard buttons.
class IconButtonsStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// What the box looked like while it was open.
struct SeenBox {
    QString title;
    QString text;
    QStringList buttons;      // texts, mnemonics taken out
    int buttonsWithIcons = 0; // buttons that show a picture
    QString defaultButton;
    bool hasIcon = false;
};

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

// Looks at the modal box once it is open, then clicks the button whose text is `click`.
void inspectThenClick(SeenBox& seen, const QString& click) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
        QTimer::singleShot(10, [&seen, click] { inspectThenClick(seen, click); });
        return;
    }
    seen.title = box->windowTitle();
    seen.text = box->text();
    QPushButton* toClick = nullptr;
    for (QPushButton* button : box->findChildren<QPushButton*>()) {
        seen.buttons.append(plain(button->text()));
        if (!button->icon().isNull())
            ++seen.buttonsWithIcons;
        if (button->isDefault())
            seen.defaultButton = plain(button->text());
        if (plain(button->text()) == click)
            toClick = button;
    }
    seen.hasIcon = !box->iconPixmap().isNull();
    if (toClick)
        toClick->click();
    else
        box->reject();
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setStyle(new IconButtonsStyle); }
    void realBox_data();
    void realBox();
};

void TestMessageBox::realBox_data() {
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<QStringList>("expectedButtons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<Answer>("answer");
    QTest::newRow("quit question") << Buttons::YesNo << Icon::Question << 1
                                   << QStringList{"Yes", "No"} << "Yes" << Answer::Yes;
    QTest::newRow("plain notice") << Buttons::Ok << Icon::None << 0 << QStringList{"OK"} << "OK"
                                  << Answer::Ok;
    QTest::newRow("disk error") << Buttons::RetryCancel << Icon::Exclamation << 0
                                << QStringList{"Retry", "Cancel"} << "Cancel" << Answer::Cancel;
    QTest::newRow("three choices") << Buttons::YesNoCancel << Icon::Information << 2
                                   << QStringList{"Yes", "No", "Cancel"} << "No" << Answer::No;
    QTest::newRow("critical") << Buttons::OkCancel << Icon::Critical << 0
                              << QStringList{"OK", "Cancel"} << "OK" << Answer::Ok;
}

void TestMessageBox::realBox() {
    QFETCH(Buttons, buttons);
    QFETCH(Icon, icon);
    QFETCH(int, defaultButton);
    QFETCH(QStringList, expectedButtons);
    QFETCH(QString, click);
    QFETCH(Answer, answer);

    SeenBox seen;
    QTimer::singleShot(0, [&seen, click] { inspectThenClick(seen, click); });
    const Answer given = MessageBoxService::show(
        MessageRequest{QStringLiteral("Are you sure?"), buttons, icon, defaultButton, {}});

    QCOMPARE(given, answer);
    QCOMPARE(seen.title, QStringLiteral("Quillory"));
    QCOMPARE(seen.text, QStringLiteral("Are you sure?"));
    QCOMPARE(seen.defaultButton, expectedButtons.at(defaultButton));
    std::sort(seen.buttons.begin(), seen.buttons.end());
    std::sort(expectedButtons.begin(), expectedButtons.end());
    QCOMPARE(seen.buttons, expectedButtons);
    QCOMPARE(seen.buttonsWithIcons, 0);
    QCOMPARE(seen.hasIcon, icon != Icon::None);
}

QTEST_MAIN(TestMessageBox)
#include "test_message_box.moc"
