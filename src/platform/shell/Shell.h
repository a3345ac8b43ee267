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

// Runs `work`, which hands something to another program and throws PlatformError saying why
// when it cannot, and tells the user that reason in a message. Every command that hands work
// over reports through here, so each says it the same way, whether it was given from a menu, a
// toolbar or a dialog's button. True when the work was handed over.
bool handOver(QWidget* parent, const std::function<void()>& work);

// Hands e-mail addresses, web pages and phone numbers to the desktop's programs for them. Card
// data reaches the desktop only through here, so that a card cannot make the desktop open a
// file, run a script or attach a file to a message: only mailto: with one address, http: and
// https: pass; a web address typed without a scheme ("www.example.org") is read as http. When
// the desktop has no program for an address, or cannot start one, the user is told so.
class ShellService {
public:
    using Opener = std::function<bool(const QUrl&)>;

    // Decides what `text` stands for; nothing is opened. A "mailto:" text is the address that
    // follows it, percent-encoded as in a URL.
    static Target classify(const QString& text);

    // The mailto: address of one e-mail address as a card holds it ("ann@example.org", or
    // "Ann Adams <ann@example.org>"): every character outside the address's own is
    // percent-encoded, so nothing of the text can become a header, a second recipient or a
    // fragment. Refused when the text is not one address; an empty text gives "mailto:", a
    // message without addressee.
    static Target mailTarget(const QString& address);

    // Opens `text` with the desktop's program for it. A refused text, an empty one and an
    // address no program takes are said in a message, and nothing is started. Whether the
    // program then managed to open the address is not known: true means it was handed over.
    static bool open(const QString& text, QWidget* parent = nullptr);

    // Opens a new message to `address` (see mailTarget) in the desktop's mail program.
    static bool mail(const QString& address, QWidget* parent = nullptr);

    // The tel: address of a phone number as a card holds it, dialled as a keypad would dial it
    // (see PhoneNumber.h). Empty when the text has no digit or holds a character that no phone
    // number has.
    static QUrl phoneAddress(const QString& number);

    // Why `number` can be neither called nor dialled: it has no digit, or it holds characters
    // that no phone number has. Empty when it can be.
    static QString numberProblem(const QString& number);

    // Hands `number` to the desktop's phone program as a tel: address. This is the one way a
    // tel: address leaves the program. A number without digits, or with characters no number
    // has, is said in a message and nothing is opened.
    static bool call(const QString& number, QWidget* parent = nullptr);

    // The message a refused `text` gets.
    static QString refusalMessage(const QString& text);

    // Tests install an opener that records what would be opened; an empty one restores the
    // desktop's.
    static void setOpener(Opener opener);
};

} // namespace quillory::shell
