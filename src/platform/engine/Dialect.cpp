#include "platform/engine/Dialect.h"

#include <QChar>
#include <sqlite3.h>

namespace quillory::engine::dialect {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c.unicode() >= 0x80;
}

// Index just past a quoted piece that opened at `start` with `open` and closes with `close`;
// a doubled closing character stands for itself when `doubled` is set.
qsizetype skipQuoted(QStringView sql, qsizetype start, QChar close, bool doubled,
                     bool& unterminated) {
    qsizetype i = start + 1;
    while (i < sql.size()) {
        if (sql[i] == close) {
            if (doubled && i + 1 < sql.size() && sql[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    unterminated = true;
    return sql.size();
}

std::u32string codePoints(QStringView text) {
    std::u32string out;
    codePointsInto(text, out);
    return out;
}

char32_t fold(char32_t c) {
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

bool inRanges(const std::vector<std::pair<char32_t, char32_t>>& ranges, char32_t c) {
    for (const auto& [first, last] : ranges) {
        if (c >= first && c <= last)
            return true;
    }
    return false;
}

// Whether `c` or one of its other-case forms lies in the ranges.
bool inRangesIgnoringCase(const std::vector<std::pair<char32_t, char32_t>>& ranges, char32_t c) {
    if (inRanges(ranges, c))
        return true;
    if (c < 0x80) {
        if (c >= U'A' && c <= U'Z')
            return inRanges(ranges, c + 32);
        if (c >= U'a' && c <= U'z')
            return inRanges(ranges, c - 32);
        return false;
    }
    for (const char32_t other :
         {char32_t(QChar::toLower(c)), char32_t(QChar::toUpper(c)), char32_t(QChar::toTitleCase(c)),
          char32_t(QChar::toCaseFolded(c))}) {
        if (other != c && inRanges(ranges, other))
            return true;
    }
    return false;
}

} // namespace

QVector<Token> tokenize(QStringView sql) {
    QVector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql[i];
        Token token{Token::Kind::Symbol, i, 1};
        qsizetype end = i + 1;
        if (c.isSpace()) {
            token.kind = Token::Kind::Space;
            while (end < n && sql[end].isSpace())
                ++end;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            token.kind = Token::Kind::Comment;
            end = i + 2;
            while (end < n && sql[end] != QLatin1Char('\n'))
                ++end;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            token.kind = Token::Kind::Comment;
            const qsizetype close = sql.indexOf(QLatin1String("*/"), i + 2);
            if (close < 0) {
                token.unterminated = true;
                end = n;
            } else {
                end = close + 2;
            }
        } else if (c == QLatin1Char('\'')) {
            token.kind = Token::Kind::String;
            end = skipQuoted(sql, i, c, true, token.unterminated);
        } else if (c == QLatin1Char('"')) {
            token.kind = Token::Kind::DoubleQuoted;
            end = skipQuoted(sql, i, c, true, token.unterminated);
        } else if (c == QLatin1Char('[')) {
            token.kind = Token::Kind::QuotedName;
            end = skipQuoted(sql, i, QLatin1Char(']'), false, token.unterminated);
        } else if (c == QLatin1Char('`')) {
            token.kind = Token::Kind::QuotedName;
            end = skipQuoted(sql, i, c, true, token.unterminated);
        } else if (isWordChar(c)) {
            token.kind = Token::Kind::Word;
            while (end < n && isWordChar(sql[end]))
                ++end;
        }
        token.length = end - i;
        tokens.append(token);
        i = end;
    }
    return tokens;
}

QString translate(QStringView sql) {
    const QVector<Token> tokens = tokenize(sql);
    QString out;
    out.reserve(sql.size() + 8);
    for (qsizetype t = 0; t < tokens.size(); ++t) {
        const Token& token = tokens[t];
        const QStringView text = sql.mid(token.start, token.length);
        if (token.kind == Token::Kind::DoubleQuoted && !token.unterminated) {
            // The old engine reads "text" as a literal, not as a name.
            QString inner = text.mid(1, text.size() - 2).toString();
            inner.replace(QLatin1String("\"\""), QLatin1String("\""));
            inner.replace(QLatin1String("'"), QLatin1String("''"));
            out += QLatin1Char('\'') + inner + QLatin1Char('\'');
            continue;
        }
        if (token.kind == Token::Kind::Symbol && text == QLatin1String("=") &&
            t + 1 < tokens.size() && tokens[t + 1].kind == Token::Kind::Symbol) {
            const QChar next = sql[tokens[t + 1].start];
            if (next == QLatin1Char('>') || next == QLatin1Char('<')) {
                out += next;
                out += QLatin1Char('=');
                ++t;
                continue;
            }
        }
        out += text;
    }
    return out;
}

QString quoteName(QStringView name) {
    QString inner = name.toString();
    inner.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

void codePointsInto(QStringView text, std::u32string& out) {
    out.clear();
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.push_back(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            out.push_back(c.unicode());
        }
    }
}

LikePattern::LikePattern(QStringView pattern, std::optional<char32_t> escape) {
    const std::u32string cps = codePoints(pattern);
    const size_t n = cps.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t c = cps[i];
        Item item;
        item.kind = Item::Kind::Literal;
        if (escape && c == *escape && i + 1 < n) {
            item.ch = fold(cps[++i]);
        } else if (c == U'*') {
            if (!m_items.empty() && m_items.back().kind == Item::Kind::AnyRun)
                continue;
            item.kind = Item::Kind::AnyRun;
        } else if (c == U'?') {
            item.kind = Item::Kind::AnyOne;
        } else if (c == U'#') {
            item.kind = Item::Kind::Digit;
        } else if (c == U'[' && cps.find(U']', i + 1) != std::u32string::npos) {
            const size_t close = cps.find(U']', i + 1);
            size_t j = i + 1;
            item.kind = Item::Kind::Set;
            if (j < close && cps[j] == U'!') {
                item.negate = true;
                ++j;
            }
            if (j == close && !item.negate) {
                // "[]" stands for nothing at all.
                i = close;
                continue;
            }
            while (j < close) {
                char32_t lo = cps[j];
                char32_t hi = lo;
                if (j + 2 < close && cps[j + 1] == U'-') {
                    hi = cps[j + 2];
                    j += 3;
                } else {
                    ++j;
                }
                // A reversed range holds nothing; left out, it cannot match by accident.
                if (lo <= hi)
                    item.ranges.emplace_back(lo, hi);
            }
            i = close;
        } else {
            item.ch = fold(c);
        }
        m_items.push_back(std::move(item));
    }
}

bool LikePattern::matchOne(const Item& item, char32_t c) const {
    switch (item.kind) {
    case Item::Kind::Literal:
        return item.ch == fold(c);
    case Item::Kind::AnyOne:
        return true;
    case Item::Kind::Digit:
        return c >= U'0' && c <= U'9';
    case Item::Kind::Set:
        return inRangesIgnoringCase(item.ranges, c) != item.negate;
    case Item::Kind::AnyRun:
        return false;
    }
    return false;
}

bool LikePattern::matchesCodePoints(const std::u32string& text) const {
    const size_t m = m_items.size();
    const size_t n = text.size();
    size_t p = 0;
    size_t t = 0;
    size_t starItem = SIZE_MAX;
    size_t starText = 0;
    // Every item but `*` takes exactly one character, so remembering the last `*` is enough.
    while (t < n) {
        if (p < m && m_items[p].kind == Item::Kind::AnyRun) {
            starItem = p++;
            starText = t;
        } else if (p < m && matchOne(m_items[p], text[t])) {
            ++p;
            ++t;
        } else if (starItem != SIZE_MAX) {
            p = starItem + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < m && m_items[p].kind == Item::Kind::AnyRun)
        ++p;
    return p == m;
}

bool LikePattern::matches(QStringView text) const {
    return matchesCodePoints(codePoints(text));
}

namespace {

QString valueText(sqlite3_value* value) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return QString::fromUtf8(bytes, sqlite3_value_bytes(value));
}

void deletePattern(void* p) {
    delete static_cast<LikePattern*>(p);
}

// like(pattern, text[, escape]): SQLite calls it for `text LIKE pattern [ESCAPE escape]`.
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    std::optional<char32_t> escape;
    if (argc == 3) {
        const std::u32string esc = codePoints(valueText(argv[2]));
        if (esc.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        escape = esc.front();
    }
    if (escape) {
        // The escape may change from row to row while the pattern stays, so no caching.
        const LikePattern once(valueText(argv[0]), escape);
        sqlite3_result_int(ctx, once.matches(valueText(argv[1])) ? 1 : 0);
        return;
    }
    auto* pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!pattern) {
        pattern = new LikePattern(valueText(argv[0]), escape);
        sqlite3_set_auxdata(ctx, 0, pattern, &deletePattern);
        // SQLite may drop the pattern at once; fetch it again so it is never used freed.
        pattern = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!pattern) {
            const LikePattern once(valueText(argv[0]), escape);
            sqlite3_result_int(ctx, once.matches(valueText(argv[1])) ? 1 : 0);
            return;
        }
    }
    thread_local std::u32string text;
    codePointsInto(valueText(argv[1]), text);
    sqlite3_result_int(ctx, pattern->matchesCodePoints(text) ? 1 : 0);
}

} // namespace

int registerFunctions(sqlite3* db) {
    // like() is a pure function of its arguments, so a view or index in a file may use it.
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    for (int argc : {2, 3}) {
        const int rc = sqlite3_create_function_v2(db, "like", argc, flags, nullptr, &likeFunction,
                                                  nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

} // namespace quillory::engine::dialect
