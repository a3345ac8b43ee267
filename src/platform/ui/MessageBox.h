#pragma once

#include <functional>
#include <QString>

class QWidget;

namespace quillory::ui {

// The buttons and icons of the program's message boxes, with the classic values so that an
// answer compares the way the program's messages were designed.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Question, Exclamation, Information, Critical };
enum class Answer { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

struct MessageRequest {
    QString text;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultButton = 0; // 0: the first button; 1: the second; 2: the third
    QString caption;       // empty: the program's name
};

// Every message box of the program goes through here, so that tests can answer them.
class MessageBoxService {
public:
    using Responder = std::function<Answer(const MessageRequest&)>;

    // Shows the box (or hands it to the installed responder) and returns the answer.
    static Answer show(const MessageRequest& request, QWidget* parent = nullptr);

    // Shorthand for a box with an OK button.
    static void inform(const QString& text, const QString& caption = {}, Icon icon = Icon::None,
                       QWidget* parent = nullptr);

    // Tests install a responder; an empty one restores the real boxes.
    static void setResponder(Responder responder);

    // The caption used when a request names none.
    static QString applicationCaption();
};

} // namespace quillory::ui
