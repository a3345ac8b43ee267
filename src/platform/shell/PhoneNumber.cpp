#include "platform/shell/PhoneNumber.h"

#include <QRegularExpression>

namespace quillory::shell {

namespace {

// The keypad digit of each letter A to Z.
constexpr char KeypadDigits[] = "22233344455566677778889999";

bool isAsciiLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Blanks and the marks people group digits with; they are not dialled.
bool isGroupMark(QChar c) {
    return c == u' ' || QStringView(u"-.()/").contains(c);
}

bool isModifier(QChar c) {
    return QStringView(u"WPT").contains(c);
}

// The digits of a letter run: a single W, P or T is a dial modifier, any other run is a word
// of a vanity number.
QString lettersDialled(QStringView run) {
    const QChar first = run.front().toUpper();
    if (run.size() == 1 && isModifier(first))
        return QString(first);
    QString digits;
    for (const QChar c : run)
        digits += QLatin1Char(KeypadDigits[c.toUpper().unicode() - u'A']);
    return digits;
}

// Splits "number ext. 42" into the number and the extension's digits.
std::pair<QString, QString> splitExtension(const QString& text) {
    static const QRegularExpression extension(
        QStringLiteral("^(.*?)[\\s,]*(?:;\\s*ext\\s*=|(?<![a-z])(?:ext(?:ension)?\\.?|x)\\s*:?)"
                       "\\s*([0-9]+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = extension.match(text);
    if (!match.hasMatch())
        return {text, {}};
    return {match.captured(1), match.captured(2)};
}

} // namespace

std::optional<PhoneNumber> readPhoneNumber(const QString& text) {
    // Full-width and other compatibility forms ("５５５－０１０１") become their plain forms.
    const QString plain = text.normalized(QString::NormalizationForm_KC);
    const auto [main, extension] = splitExtension(plain);
    PhoneNumber number;
    number.extension = extension;
    QString group;
    const auto endGroup = [&] {
        if (!group.isEmpty())
            number.groups.append(group);
        group.clear();
    };
    for (qsizetype i = 0; i < main.size(); ++i) {
        const QChar c = main.at(i);
        if (c.isDigit()) {
            group += QChar(u'0' + c.digitValue());
            number.hasDigits = true;
        } else if (isAsciiLetter(c)) {
            qsizetype end = i + 1;
            while (end < main.size() && isAsciiLetter(main.at(end)))
                ++end;
            group += lettersDialled(QStringView(main).mid(i, end - i));
            i = end - 1;
        } else if (QStringView(u"*#,").contains(c) ||
                   (c == u'+' && group.isEmpty() && number.groups.isEmpty())) {
            group += c;
        } else if (isGroupMark(c)) {
            endGroup();
        } else {
            return std::nullopt;
        }
    }
    endGroup();
    return number;
}

QByteArray modemDigits(const PhoneNumber& number) {
    QByteArray dialled = number.groups.join(QString()).toLatin1();
    if (!number.extension.isEmpty())
        dialled += ',' + number.extension.toLatin1();
    return dialled;
}

QUrl telAddress(const PhoneNumber& number) {
    if (!number.hasDigits)
        return {};
    QStringList groups;
    for (QString group : number.groups) {
        group.removeIf([](QChar c) { return c == u',' || isModifier(c); });
        if (group.isEmpty())
            continue;
        // "+ 1 212 ..." is one number, not a lone "+".
        if (groups.size() == 1 && groups.front() == QLatin1String("+"))
            groups.front() += group;
        else
            groups.append(group);
    }
    QString address = QStringLiteral("tel:") + groups.join(u'-');
    address.replace(u'#', QStringLiteral("%23"));
    if (!number.extension.isEmpty())
        address += QStringLiteral(";ext=") + number.extension;
    return QUrl::fromEncoded(address.toLatin1(), QUrl::StrictMode);
}

} // namespace quillory::shell
