#pragma once

// Texts a contact's field can hold that contact files tend to get wrong: separators and quotes
// of each format, line breaks, NUL and control characters, blanks at the ends, formula starts,
// characters outside the BMP, very long values. Made from a fixed seed, so failures repeat.

#include <QList>
#include <QString>
#include <QStringList>
#include <random>

namespace quillory::test {

struct HostileText {
    QString name; // what the text tries, for a test row's name
    QString text;
};

// Each piece alone, first and last in a text, a few fixed cases, a very long text and
// `generated` texts of 1 to 12 random pieces.
inline QList<HostileText> hostileTexts(int generated = 40, unsigned seed = 19) {
    // Separated by "|"; NUL is added on its own. Before "word": a BOM, u-umlaut, euro sign and
    // line separator, then two characters outside the BMP.
    QStringList pieces =
        QString::fromUtf8(
            "\"|\"\"|,|;|:|\\|\\n|\t|\r|\n|\r\n|\n\r|\x01\x1B\x7F\x0B\x0C| ::: |'|=|+|-|@|"
            "=HYPERLINK(\"http://x\")|BEGIN:VCARD|END:VCARD|  |=?utf-8?q?=C3=BC?=|"
            "\xEF\xBB\xBF\xC3\xBC\xE2\x82\xAC\xE2\x80\xA8|\xF0\x9F\x98\x80\xF0\x9D\x84\x9E|word")
            .split(u'|');
    pieces.append(QString(QChar(0)));
    QList<HostileText> texts = {{"blanks around", "  padded  "},
                                {"only blanks", "   "},
                                {"apostrophe and formula", "'=1+2"},
                                {"two apostrophes", "''x"}};
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        texts.append({QStringLiteral("piece %1 alone").arg(i), pieces[i]});
        texts.append({QStringLiteral("piece %1 first").arg(i), pieces[i] + "x y"});
        texts.append({QStringLiteral("piece %1 last").arg(i), "x y" + pieces[i]});
    }
    std::mt19937 random(seed);
    const auto piece = [&] {
        return pieces[std::uniform_int_distribution<qsizetype>(0, pieces.size() - 1)(random)];
    };
    QString text;
    while (text.size() < 200000)
        text += piece();
    texts.append({"very long", text});
    for (int i = 0; i < generated; ++i) {
        text.clear();
        for (int p = std::uniform_int_distribution<int>(1, 12)(random); p > 0; --p)
            text += piece();
        texts.append({QStringLiteral("generated %1").arg(i), text});
    }
    return texts;
}

} // namespace quillory::test
