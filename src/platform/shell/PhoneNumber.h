#pragma once

#include <optional>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace quillory::shell {

// A phone number as a card holds it, read the way a telephone's keypad dials it: digits of any
// width or script are 0 to 9, the letters of a vanity number are their keypad digits (ITU
// E.161: ABC 2 ... WXYZ 9), a lone W, P or T between digits is a dial modifier (wait for a dial
// tone, pulse, tone), blanks and - . ( ) / only group the digits for the eye, and an extension
// written after the number ("ext. 42", "x42", ";ext=42") is kept apart.
struct PhoneNumber {
    // The groups of the number as written, each of 0-9, '*', '#', ',' and the modifiers W, P
    // and T; the first may begin with '+'.
    QStringList groups;
    QString extension; // digits only; empty when none was written
    // The text holds a digit of its own: a word alone is not a number.
    bool hasDigits = false;
};

// Reads `text`; nullopt when it holds a character no phone number has (a line break, a colon,
// a letter outside A to Z, ...), since dialling what is left of such a text would call a number
// nobody wrote down.
std::optional<PhoneNumber> readPhoneNumber(const QString& text);

// What a modem dials for `number`: its digits, '+', '*', '#' and modifiers, and after a pause
// (',') the extension. Nothing else, so no character of a card can end the dial command.
QByteArray modemDigits(const PhoneNumber& number);

// The tel: address (RFC 3966) of `number`: the groups joined by '-' as visual separators, the
// modifiers and pauses left out, the extension as ";ext=". Empty when the number has no digit.
// A number without '+' is written as a local number without phone-context: which network it
// belongs to is not known here, and the desktop's phone program dials it as the user would.
QUrl telAddress(const PhoneNumber& number);

} // namespace quillory::shell
