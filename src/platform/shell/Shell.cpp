#include "platform/shell/Shell.h"

#include "platform/files/PlatformError.h"
#include "platform/shell/DesktopApplications.h"
#include "platform/shell/PhoneNumber.h"
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <QDesktopServices>
#include <QRegularExpression>

namespace quillory::shell {

namespace {

ShellService::Opener& opener() {
    static ShellService::Opener instance;
    return instance;
}

Target refused() {
    return {Target::Kind::Refused, {}};
}

Target accepted(const QUrl& url) {
    return {Target::Kind::Open, url};
}

// Line breaks, tabs and the like have no place in an address; a text holding them is refused
// rather than cut, since the desktop would read the pieces on its own terms.
bool hasControlCharacters(const QString& text) {
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return true;
    }
    return false;
}

// "name:" at the start, as a URL's scheme is written. "example.org:8080" is a host and port,
// not a scheme, and is told apart by the digits after the colon.
QString schemeOf(const QString& text) {
    static const QRegularExpression scheme(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):(?!\\d+(?:[/?#]|$))"));
    const QRegularExpressionMatch match = scheme.match(text);
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

// One label of a host name: letters and digits, with hyphens inside.
const QString HostLabel = QStringLiteral("[\\p{L}\\p{N}](?:[\\p{L}\\p{N}\\-]*[\\p{L}\\p{N}])?");

// A host name as users type it: labels of letters, digits and hyphens joined by dots, at least
// two of them, then an optional port and path. A file path never looks like this.
bool looksLikeBareHost(const QString& text) {
    static const QRegularExpression host(
        QStringLiteral("^(?:%1\\.)+%1(?::\\d+)?(?:[/?#].*)?$").arg(HostLabel));
    return host.match(text).hasMatch();
}

// The characters an address may hold before its "@": letters and digits of any script and the
// marks addresses use. '?', '&', '#', '%', ',' and ';' are not among them: a mail program that
// decodes the address before it splits it would read them as the start of headers, a
// fragment or a second recipient.
bool isMailboxCharacter(QChar c) {
    return c.isLetterOrNumber() || QStringView(u".!$'*+-/=^_`{|}~").contains(c);
}

// The address of "Name <address>", or the text itself.
QString bareAddress(const QString& text) {
    const QString trimmed = text.trimmed();
    const qsizetype open = trimmed.lastIndexOf(QLatin1Char('<'));
    if (open < 0 || !trimmed.endsWith(QLatin1Char('>')))
        return trimmed;
    return trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
}

Target classifyWeb(const QString& text) {
    const QUrl url(text, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return refused();
    return accepted(url);
}

// Shows a text as it is, with any control character drawn as its visible picture, and a very
// long one shortened, so that the message stays readable.
QString shown(const QString& text) {
    constexpr qsizetype Longest = 200;
    QString result;
    for (const QChar c : text.left(Longest)) {
        if (c.unicode() < 0x20)
            result += QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            result += QChar(0x2421);
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
                 c.category() == QChar::Separator_Paragraph)
            result += QChar(0xfffd);
        else
            result += c;
    }
    if (text.size() > Longest)
        result += QChar(0x2026);
    return result;
}

[[noreturn]] void cannotOpen(const QString& what, int number, const QString& why) {
    throw PlatformError(number, QStringLiteral("\"") + what +
                                    QStringLiteral("\" could not be opened: ") + why);
}

QString kindOfAddress(const QString& scheme) {
    if (scheme == QLatin1String("mailto"))
        return QStringLiteral("e-mail addresses");
    if (scheme == QLatin1String("tel"))
        return QStringLiteral("phone numbers");
    return QStringLiteral("web pages");
}

// The desktop, or the recorder a test installed, gets the address, once we know the desktop
// has a program for its kind: the desktop itself says nothing when it has none.
void giveToDesktop(const QUrl& url) {
    const QString what = shown(url.toDisplayString());
    if (!desktopHandles(url.scheme()))
        cannotOpen(what, ErrorNumber::FileNotFound,
                   QStringLiteral("no program on this computer is set to open ") +
                       kindOfAddress(url.scheme()) +
                       QStringLiteral(". Choose one among the desktop's default applications."));
    const bool started = opener() ? opener()(url) : QDesktopServices::openUrl(url);
    if (!started)
        cannotOpen(what, ErrorNumber::PathFileAccess,
                   findOnPath(QStringLiteral("xdg-open")).isEmpty()
                       ? QStringLiteral("the desktop could not start a program for it "
                                        "(xdg-open, of the package xdg-utils, is not "
                                        "installed).")
                       : QStringLiteral("the desktop could not start a program for it."));
}

// The address a target stands for; an empty or refused one throws what the user is told.
QUrl addressOf(const Target& target, const QString& text, const QString& nothingToOpen) {
    switch (target.kind) {
    case Target::Kind::Empty:
        throw PlatformError(ErrorNumber::BadFileName, nothingToOpen);
    case Target::Kind::Refused:
        throw PlatformError(ErrorNumber::BadFileName, ShellService::refusalMessage(text));
    case Target::Kind::Open:
        break;
    }
    return target.url;
}

} // namespace

bool handOver(QWidget* parent, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const PlatformError& error) {
        ui::MessageBoxService::show(
            {error.description(), ui::Buttons::Ok, ui::Icon::Exclamation, 0, {}}, parent);
        return false;
    }
}

Target ShellService::classify(const QString& text) {
    if (hasControlCharacters(text))
        return refused();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {Target::Kind::Empty, {}};
    const QString scheme = schemeOf(trimmed);
    if (scheme == QLatin1String("mailto"))
        return mailTarget(QUrl::fromPercentEncoding(trimmed.mid(scheme.size() + 1).toUtf8()));
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return classifyWeb(trimmed);
    if (scheme.isEmpty() && looksLikeBareHost(trimmed))
        return classifyWeb(QStringLiteral("http://") + trimmed);
    return refused();
}

Target ShellService::mailTarget(const QString& text) {
    static const QRegularExpression domainForm(QStringLiteral("^(?:%1\\.)*%1$").arg(HostLabel));
    if (hasControlCharacters(text))
        return refused();
    const QString address = bareAddress(text);
    if (address.isEmpty())
        return accepted(QUrl(QStringLiteral("mailto:")));
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    const QString mailbox = address.left(at);
    const QString domain = address.mid(at + 1);
    if (at <= 0 || !std::all_of(mailbox.begin(), mailbox.end(), isMailboxCharacter) ||
        !domainForm.match(domain).hasMatch())
        return refused();
    return accepted(QUrl::fromEncoded("mailto:" + QUrl::toPercentEncoding(mailbox, "!$'*+") + '@' +
                                          QUrl::toPercentEncoding(domain),
                                      QUrl::StrictMode));
}

QString ShellService::refusalMessage(const QString& text) {
    return QStringLiteral("\"") + shown(text) +
           QStringLiteral("\" is not an e-mail address or a web page address, so it was not "
                          "opened.");
}

bool ShellService::open(const QString& text, QWidget* parent) {
    return handOver(parent, [&] {
        giveToDesktop(addressOf(classify(text), text,
                                QStringLiteral("There is no web page address to open.")));
    });
}

bool ShellService::mail(const QString& address, QWidget* parent) {
    return handOver(parent, [&] { giveToDesktop(addressOf(mailTarget(address), address, {})); });
}

QUrl ShellService::phoneAddress(const QString& number) {
    const std::optional<PhoneNumber> read = readPhoneNumber(number);
    return read ? telAddress(*read) : QUrl();
}

QString ShellService::numberProblem(const QString& number) {
    const std::optional<PhoneNumber> read = readPhoneNumber(number);
    if (!read)
        return QStringLiteral("\"") + shown(number) +
               QStringLiteral("\" holds characters that are not part of a phone number, so it "
                              "was not dialled.");
    if (!read->hasDigits)
        return QStringLiteral("There is no phone number to call.");
    return {};
}

bool ShellService::call(const QString& number, QWidget* parent) {
    return handOver(parent, [&] {
        const QString problem = numberProblem(number);
        if (!problem.isEmpty())
            throw PlatformError(ErrorNumber::BadFileName, problem);
        giveToDesktop(phoneAddress(number));
    });
}

void ShellService::setOpener(Opener newOpener) {
    opener() = std::move(newOpener);
}

} // namespace quillory::shell
