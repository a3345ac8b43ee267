#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace quillory::ui {

namespace {

MessageBoxService::Responder& responder() {
    static MessageBoxService::Responder instance;
    return instance;
}

struct ButtonChoice {
    QMessageBox::StandardButton button;
    Answer answer;
};

QList<ButtonChoice> buttonsFor(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return {{QMessageBox::Ok, Answer::Ok}};
    case Buttons::OkCancel:
        return {{QMessageBox::Ok, Answer::Ok}, {QMessageBox::Cancel, Answer::Cancel}};
    case Buttons::YesNo:
        return {{QMessageBox::Yes, Answer::Yes}, {QMessageBox::No, Answer::No}};
    case Buttons::YesNoCancel:
        return {{QMessageBox::Yes, Answer::Yes},
                {QMessageBox::No, Answer::No},
                {QMessageBox::Cancel, Answer::Cancel}};
    case Buttons::RetryCancel:
        return {{QMessageBox::Retry, Answer::Retry}, {QMessageBox::Cancel, Answer::Cancel}};
    }
    return {{QMessageBox::Ok, Answer::Ok}};
}

QMessageBox::Icon iconFor(Icon icon) {
    switch (icon) {
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString MessageBoxService::applicationCaption() {
    return QStringLiteral("Quillory");
}

Answer MessageBoxService::show(const MessageRequest& request, QWidget* parent) {
    MessageRequest effective = request;
    if (effective.caption.isEmpty())
        effective.caption = applicationCaption();
    if (responder())
        return responder()(effective);

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(effective.caption);
    box.setText(effective.text);
    box.setIcon(iconFor(effective.icon));
    const QList<ButtonChoice> choices = buttonsFor(effective.buttons);
    for (const ButtonChoice& choice : choices) {
        // Desktop styles that put pictures on dialog buttons would give these the old
        // check-mark and cross icons, jammed against the text; the buttons show words only.
        box.addButton(choice.button)->setIcon(QIcon());
    }
    const int defaultIndex = qBound(0, effective.defaultButton, int(choices.size()) - 1);
    box.setDefaultButton(choices[defaultIndex].button);
    if (effective.buttons == Buttons::Ok || effective.buttons == Buttons::OkCancel ||
        effective.buttons == Buttons::YesNoCancel || effective.buttons == Buttons::RetryCancel)
        box.setEscapeButton(choices.last().button);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonChoice& choice : choices) {
        if (choice.button == clicked)
            return choice.answer;
    }
    // Closed without a button: the answer a closed box gives is its cancelling one.
    return effective.buttons == Buttons::YesNo ? Answer::No : choices.last().answer;
}

void MessageBoxService::inform(const QString& text, const QString& caption, Icon icon,
                               QWidget* parent) {
    show({text, Buttons::Ok, icon, 0, caption}, parent);
}

void MessageBoxService::setResponder(Responder newResponder) {
    responder() = std::move(newResponder);
}

} // namespace quillory::ui
