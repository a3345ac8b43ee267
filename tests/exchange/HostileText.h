#pragma once

// Texts a contact's field can hold that writers and readers of contact files tend to get wrong:
// separators and quotes of every format, line breaks of every kind, NUL and other control
// characters, blanks at either end, formula starts, characters outside the BMP and very long
// values. Made from a fixed seed, so a failing text fails again on the next run.

#include <QList>
#include <QString>
#include <QStringList>
#include <random>

namespace quillory::test {

struct HostileText {
    QString name; // says what the text tries, for the test's row name
    QString text;
};

// The pieces the texts are made of.
inline QStringList hostilePieces() {
    return {QStringLiteral("\""),
            QStringLiteral("\"\""),
            QStringLiteral(","),
            QStringLiteral(";"),
            QStringLiteral(":"),
            QStringLiteral("\\"),
            QStringLiteral("\\n"),
            QStringLiteral("\t"),
            QStringLiteral("\r"),
            QStringLiteral("\n"),
            QStringLiteral("\r\n"),
            QStringLiteral("\n\r"),
            QString(QChar(0)),
            QString(QChar(0x01)) + QChar(0x1B) + QChar(0x7F),
            QString(QChar(0x0B)) + QChar(0x0C),
            QStringLiteral(" ::: "),
            QStringLiteral("'"),
            QStringLiteral("="),
            QStringLiteral("+"),
            QStringLiteral("-"),
            QStringLiteral("@"),
            QStringLiteral("=HYPERLINK(\"http://x\")"),
            QStringLiteral("BEGIN:VCARD"),
            QStringLiteral("END:VCARD"),
            QStringLiteral("  "),
            QString(QChar(0xFEFF)),
            QString::fromUtf8("\xC3\xBC\xE2\x82\xAC"), // u-umlaut, euro sign
            QString::fromUtf8("\xF0\x9F\x98\x80"),     // outside the BMP
            QString::fromUtf8("\xF0\x9D\x84\x9E"),     // outside the BMP
            QString::fromUtf8("\xE2\x80\xA8"),         // line separator
            QStringLiteral("=?utf-8?q?=C3=BC?="),
            QStringLiteral("word")};
}

// Each piece alone, each piece at the start and at the end of a word, a few fixed hard cases,
// then `generated` texts of 1 to 12 random pieces.
inline QList<HostileText> hostileTexts(int generated = 40, unsigned seed = 19) {
    const QStringList pieces = hostilePieces();
    QList<HostileText> texts;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        texts.append({QStringLiteral("piece %1 alone").arg(i), pieces[i]});
        texts.append({QStringLiteral("piece %1 first").arg(i), pieces[i] + QStringLiteral("x y")});
        texts.append({QStringLiteral("piece %1 last").arg(i), QStringLiteral("x y") + pieces[i]});
    }
    texts.append({QStringLiteral("blanks around"), QStringLiteral("  padded  ")});
    texts.append({QStringLiteral("only blanks"), QStringLiteral("   ")});
    texts.append({QStringLiteral("apostrophe and formula"), QStringLiteral("'=1+2")});
    texts.append({QStringLiteral("two apostrophes"), QStringLiteral("''x")});
    std::mt19937 random(seed);
    const auto below = [&random](qsizetype n) {
        return qsizetype(std::uniform_int_distribution<qsizetype>(0, n - 1)(random));
    };
    QString longText;
    while (longText.size() < 200000)
        longText += pieces[below(pieces.size())];
    texts.append({QStringLiteral("very long"), longText});
    for (int i = 0; i < generated; ++i) {
        QString text;
        const qsizetype count = 1 + below(12);
        for (qsizetype p = 0; p < count; ++p)
            text += pieces[below(pieces.size())];
        texts.append({QStringLiteral("generated %1").arg(i), text});
    }
    return texts;
}

} // namespace quillory::test
