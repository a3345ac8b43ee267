#pragma once

#include <optional>
#include <QString>
#include <QStringView>
#include <QVector>
#include <string>

struct sqlite3;

namespace quillory::engine::dialect {

// The program's SQL keeps the old engine's habits: [field] names, Like with *, ?, # and [...]
// wildcards without regard to letter case, double-quoted texts and the operators => and =<.
// These helpers turn it into SQLite's SQL and give every connection the matching like().

// One piece of an SQL text. Literals, quoted names and comments are kept whole so that nothing
// inside them is ever rewritten.
struct Token {
    enum class Kind { Space, Comment, String, DoubleQuoted, QuotedName, Word, Symbol };
    Kind kind;
    qsizetype start;
    qsizetype length;
    bool unterminated = false; // a literal, quoted name or block comment that runs off the end
};

QVector<Token> tokenize(QStringView sql);

// Rewrites dialect SQL into SQLite's: `=>` and `=<` become `>=` and `<=`, a double-quoted text
// becomes a single-quoted literal. Everything inside literals, names and comments is kept.
QString translate(QStringView sql);

// Quotes a name for SQLite ("name", with inner quotes doubled).
QString quoteName(QStringView name);

// A Like pattern compiled once: `*` any run, `?` any one character, `#` one digit, `[a-c]` and
// `[!a-c]` sets; letters compare without regard to case. `escape`, when given, makes the
// character after it literal.
//
// A range in a set holds the characters from its first to its last end by code point, so
// [#-c] holds the upper-case letters and [0-Z] does not hold "_"; a range whose first end
// lies after its last ([z-a]) holds nothing. Letter case is ignored by testing the character
// and its other-case forms against the set, never by folding the range's ends, which would
// change which characters the range holds.
class LikePattern {
public:
    explicit LikePattern(QStringView pattern, std::optional<char32_t> escape = std::nullopt);
    bool matches(QStringView text) const;
    // The same for text already split into code points (see codePointsInto).
    bool matchesCodePoints(const std::u32string& text) const;

private:
    struct Item {
        enum class Kind { Literal, AnyOne, Digit, AnyRun, Set } kind = Kind::Literal;
        char32_t ch = 0; // a literal's case-folded form
        bool negate = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
    };
    bool matchOne(const Item& item, char32_t c) const;
    std::vector<Item> m_items;
};

// Splits text into code points, the form LikePattern compares.
void codePointsInto(QStringView text, std::u32string& out);

// Replaces SQLite's like() (both the two- and three-argument forms) on `db` with the dialect's.
// Returns SQLite's result code.
int registerFunctions(sqlite3* db);

} // namespace quillory::engine::dialect
