#pragma once

#include <functional>
#include <QString>
#include <QUrl>

class QWidget;

namespace quillory::shell {

// What handing a text to the desktop means: an address it may open, nothing to open at all,
// or a text refused because it is neither an e-mail address nor a web page.
struct Target {
    enum class Kind { Open, Empty, Refused };
    Kind kind = Kind::Empty;
    QUrl url; // for Open
};

// Hands e-mail addresses and web pages to the desktop's programs for them. Card data reaches
// the desktop only through here, so that a card cannot make the desktop open a file, run a
// script or attach a file to a message: only mailto: (without header tricks), http: and
// https: pass; a web address typed without a scheme ("www.example.org") is read as http.
class ShellService {
public:
    using Opener = std::function<bool(const QUrl&)>;

    // Decides what `text` stands for; nothing is opened.
    static Target classify(const QString& text);

    // Opens `text` with the desktop's program for it. A refused text is shown in a message and
    // nothing is started; an empty one does nothing. Whether the desktop managed to open an
    // accepted address is not reported: true means it was handed over.
    static bool open(const QString& text, QWidget* parent = nullptr);

    // The tel: address of a phone number as a card holds it: only digits, "+", "*", "#" and
    // blanks are kept, so nothing else of the text reaches the phone program. Empty when no
    // digit is left.
    static QUrl phoneAddress(const QString& number);

    // Hands `number` to the desktop's phone program as a tel: address. This is the one way a
    // tel: address leaves the program. A number without digits is said in a message and
    // nothing is opened.
    static bool call(const QString& number, QWidget* parent = nullptr);

    // The message a refused `text` gets.
    static QString refusalMessage(const QString& text);

    // Tests install an opener that records what would be opened; an empty one restores the
    // desktop's.
    static void setOpener(Opener opener);
};

} // namespace quillory::shell
