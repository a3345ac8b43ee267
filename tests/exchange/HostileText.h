#pragma once

// Texts a field can hold that contact files tend to get wrong: separators and quotes, line
// breaks, NUL and control characters, blanks at the ends, formula starts and apostrophes, a BOM,
// characters outside the BMP, a very long value. Made from a fixed seed, so failures repeat.

#include <QList>
#include <QString>
#include <QStringList>
#include <random>

namespace quillory::test {

struct HostileText {
    QString name; // what the text tries, for a test row's name
    QString text;
};

// Each piece alone, first and last, then random mixtures of pieces, the last one very long.
inline QList<HostileText> hostileTexts(int generated = 40, unsigned seed = 19) {
    // Separated by "|"; NUL is added on its own. Before "word": a BOM, u-umlaut, euro sign and
    // line separator, then two characters outside the BMP.
    QStringList pieces =
        QString::fromUtf8(
            "\"|\"\"|,|;|:|\\|\\n|\t|\r|\n|\r\n|\n\r|\x01\x1B\x7F\x0B\x0C| ::: |'|''|=|+|-|@|"
            "=HYPERLINK(\"http://x\")|BEGIN:VCARD|END:VCARD|  |=?utf-8?q?=C3=BC?=|"
            "\xEF\xBB\xBF\xC3\xBC\xE2\x82\xAC\xE2\x80\xA8|\xF0\x9F\x98\x80\xF0\x9D\x84\x9E|word")
            .split(u'|');
    pieces.append(QString(QChar(0)));
    QList<HostileText> texts;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        texts.append({QStringLiteral("piece %1 alone").arg(i), pieces[i]});
        texts.append({QStringLiteral("piece %1 first").arg(i), pieces[i] + "x y"});
        texts.append({QStringLiteral("piece %1 last").arg(i), "x y" + pieces[i]});
    }
    std::mt19937 random(seed);
    const auto piece = [&] { return pieces[qsizetype(random() % pieces.size())]; };
    for (int i = 0; i <= generated; ++i) {
        QString text = piece();
        while (i == generated ? text.size() < 200000 : random() % 5 != 0)
            text += piece();
        texts.append({QStringLiteral("generated %1").arg(i), text});
    }
    return texts;
}

} // namespace quillory::test
