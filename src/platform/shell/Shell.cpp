#include "platform/shell/Shell.h"

#include "platform/ui/MessageBox.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrlQuery>

namespace quillory::shell {

namespace {

ShellService::Opener& opener() {
    static ShellService::Opener instance;
    return instance;
}

// The desktop, or the recorder a test installed, gets the address.
void handOver(const QUrl& url) {
    if (opener())
        opener()(url);
    else
        QDesktopServices::openUrl(url);
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

// A host name as users type it: labels of letters, digits and hyphens joined by dots, at least
// two of them, then an optional port and path. A file path never looks like this.
bool looksLikeBareHost(const QString& text) {
    static const QRegularExpression host(
        QStringLiteral("^(?:[\\p{L}\\p{N}](?:[\\p{L}\\p{N}\\-]*[\\p{L}\\p{N}])?\\.)+"
                       "[\\p{L}\\p{N}](?:[\\p{L}\\p{N}\\-]*[\\p{L}\\p{N}])?"
                       "(?::\\d+)?(?:[/?#].*)?$"));
    return host.match(text).hasMatch();
}

// The headers a mailto: address may carry: a subject and a text are what a message opens
// with; anything else (attach=, extra recipients, other headers) is refused.
bool mailHeadersAllowed(const QUrl& url) {
    const QUrlQuery query(url);
    for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
        const QString header = item.first.trimmed().toLower();
        if (header != QLatin1String("subject") && header != QLatin1String("body"))
            return false;
    }
    return true;
}

Target classifyMail(const QString& text) {
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().toLower() != QLatin1String("mailto") ||
        !mailHeadersAllowed(url))
        return refused();
    // An address part that decodes to a '?' or a line break would smuggle headers past the
    // check above in a mail program that decodes before it splits.
    const QString address = url.path(QUrl::FullyDecoded);
    if (address.contains(QLatin1Char('?')) || hasControlCharacters(address))
        return refused();
    return accepted(url);
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

} // namespace

Target ShellService::classify(const QString& text) {
    if (hasControlCharacters(text))
        return refused();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {Target::Kind::Empty, {}};
    const QString scheme = schemeOf(trimmed);
    if (scheme == QLatin1String("mailto"))
        return classifyMail(trimmed);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return classifyWeb(trimmed);
    if (scheme.isEmpty() && looksLikeBareHost(trimmed))
        return classifyWeb(QStringLiteral("http://") + trimmed);
    return refused();
}

QString ShellService::refusalMessage(const QString& text) {
    return QStringLiteral("\"") + shown(text) +
           QStringLiteral("\" is not an e-mail address or a web page address, so it was not "
                          "opened.");
}

bool ShellService::open(const QString& text, QWidget* parent) {
    const Target target = classify(text);
    switch (target.kind) {
    case Target::Kind::Empty:
        return false;
    case Target::Kind::Refused:
        ui::MessageBoxService::show(
            {refusalMessage(text), ui::Buttons::Ok, ui::Icon::Exclamation, 0, {}}, parent);
        return false;
    case Target::Kind::Open:
        break;
    }
    handOver(target.url);
    return true;
}

QUrl ShellService::phoneAddress(const QString& number) {
    QString kept;
    bool hasDigit = false;
    for (const QChar c : number) {
        const bool digit = c >= u'0' && c <= u'9';
        hasDigit = hasDigit || digit;
        if (digit || c == u'+' || c == u'*' || c == u'#' || c == u' ')
            kept += c;
    }
    if (!hasDigit)
        return {};
    QUrl address;
    address.setScheme(QStringLiteral("tel"));
    address.setPath(kept.trimmed());
    return address;
}

bool ShellService::call(const QString& number, QWidget* parent) {
    const QUrl address = phoneAddress(number);
    if (address.isEmpty()) {
        ui::MessageBoxService::show({QStringLiteral("There is no phone number to call."),
                                     ui::Buttons::Ok,
                                     ui::Icon::Exclamation,
                                     0,
                                     {}},
                                    parent);
        return false;
    }
    handOver(address);
    return true;
}

void ShellService::setOpener(Opener newOpener) {
    opener() = std::move(newOpener);
}

} // namespace quillory::shell
