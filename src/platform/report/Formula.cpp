#include "platform/report/Formula.h"

#include "platform/files/PlatformError.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace quillory::report {

namespace {

// How deeply parentheses, Not and function calls may nest. The reader descends once per level,
// so a bound keeps hostile or runaway formulas from exhausting the stack; no formula a person
// writes comes near it.
constexpr int MaxDepth = 64;

enum class Type { Text, Number, Bool };

enum class Kind {
    Field,
    Text,
    Number,
    Bool,
    Not,
    And,
    Or,
    Compare,
    Join,
    Add,
    IsNull,
    Trim,
    UpperCase,
    Left,
    Len
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

QString typeName(Type type) {
    switch (type) {
    case Type::Text:
        return QStringLiteral("text");
    case Type::Number:
        return QStringLiteral("a number");
    case Type::Bool:
        return QStringLiteral("True or False");
    }
    return {};
}

[[noreturn]] void fail(qsizetype position, const QString& what) {
    throw PlatformError(ErrorNumber::EngineSyntax,
                        QStringLiteral("The formula has an error at character %1: %2.")
                            .arg(position + 1)
                            .arg(what));
}

bool isIdentifierStart(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool isIdentifierPart(QChar c) {
    return isIdentifierStart(c) || (c >= u'0' && c <= u'9');
}

// Blanks only, as the book's own trimming does; other white space is kept.
QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

struct Formula::Node {
    Kind kind = Kind::Text;
    Type type = Type::Text;
    CompareOp compare = CompareOp::Equal;
    QString table;
    QString field;
    QString text;
    qlonglong number = 0;
    bool flag = false;
    std::vector<Node> operands;
};

namespace {

using Node = Formula::Node;

struct Token {
    enum Kind { End, Field, Text, Number, Word, Compare, Plus, Minus, Open, Close, Comma };
    Kind kind = End;
    qsizetype position = 0;
    QString text;  // a literal's text, a word, a field's table
    QString field; // a field's name
    qlonglong number = 0;
    CompareOp compare = CompareOp::Equal;
};

// Splits formula text into tokens, one at a time.
class Lexer {
public:
    explicit Lexer(const QString& text) : m_text(text) {}

    Token next() {
        while (m_at < m_text.size() && m_text.at(m_at).isSpace())
            ++m_at;
        Token token;
        token.position = m_at;
        if (m_at >= m_text.size())
            return token;
        const QChar c = m_text.at(m_at);
        if (c == u'{')
            return field(token);
        if (c == u'\'' || c == u'"')
            return literal(token, c);
        if (c >= u'0' && c <= u'9')
            return numberToken(token);
        if (isIdentifierStart(c)) {
            const qsizetype start = m_at;
            while (m_at < m_text.size() && isIdentifierPart(m_text.at(m_at)))
                ++m_at;
            token.kind = Token::Word;
            token.text = m_text.mid(start, m_at - start);
            return token;
        }
        ++m_at;
        switch (c.unicode()) {
        case u'(':
            token.kind = Token::Open;
            return token;
        case u')':
            token.kind = Token::Close;
            return token;
        case u',':
            token.kind = Token::Comma;
            return token;
        case u'+':
            token.kind = Token::Plus;
            return token;
        case u'-':
            token.kind = Token::Minus;
            return token;
        case u'=':
            token.kind = Token::Compare;
            token.compare = CompareOp::Equal;
            return token;
        case u'<':
            token.kind = Token::Compare;
            token.compare = CompareOp::Less;
            if (follows(u'>'))
                token.compare = CompareOp::NotEqual;
            else if (follows(u'='))
                token.compare = CompareOp::LessEqual;
            return token;
        case u'>':
            token.kind = Token::Compare;
            token.compare = follows(u'=') ? CompareOp::GreaterEqual : CompareOp::Greater;
            return token;
        default:
            break;
        }
        const QString shown =
            c.isPrint() ? QStringLiteral("\"%1\"").arg(c)
                        : QStringLiteral("U+%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0'));
        fail(token.position,
             QStringLiteral("the character %1 has no meaning in a formula").arg(shown));
    }

private:
    bool follows(char16_t c) {
        if (m_at < m_text.size() && m_text.at(m_at) == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    // {Table.field}: letters, digits and underscores on both sides of the one dot.
    Token field(Token& token) {
        const qsizetype close = m_text.indexOf(u'}', m_at + 1);
        const QString inside =
            close < 0 ? QString() : m_text.mid(m_at + 1, close - m_at - 1).trimmed();
        const qsizetype dot = inside.indexOf(u'.');
        const auto isName = [](const QString& name) {
            if (name.isEmpty() || !isIdentifierStart(name.at(0)))
                return false;
            for (const QChar c : name) {
                if (!isIdentifierPart(c))
                    return false;
            }
            return true;
        };
        if (close < 0 || dot < 0 || !isName(inside.left(dot)) || !isName(inside.mid(dot + 1)))
            fail(token.position, QStringLiteral("a field written as {Table.field} was expected"));
        token.kind = Token::Field;
        token.text = inside.left(dot);
        token.field = inside.mid(dot + 1);
        m_at = close + 1;
        return token;
    }

    // 'text' or "text"; the quote doubled inside stands for itself.
    Token literal(Token& token, QChar quote) {
        ++m_at;
        QString text;
        for (;;) {
            if (m_at >= m_text.size())
                fail(token.position,
                     QStringLiteral("the text that starts here has no closing %1").arg(quote));
            const QChar c = m_text.at(m_at++);
            if (c == quote) {
                if (m_at < m_text.size() && m_text.at(m_at) == quote) {
                    ++m_at;
                    text += quote;
                    continue;
                }
                break;
            }
            text += c;
        }
        token.kind = Token::Text;
        token.text = text;
        return token;
    }

    Token numberToken(Token& token) {
        qlonglong value = 0;
        while (m_at < m_text.size() && m_text.at(m_at) >= u'0' && m_text.at(m_at) <= u'9') {
            const int digit = m_text.at(m_at).unicode() - u'0';
            if (value > (std::numeric_limits<qlonglong>::max() - digit) / 10)
                fail(token.position, QStringLiteral("the number is too large"));
            value = value * 10 + digit;
            ++m_at;
        }
        if (m_at < m_text.size() && (m_text.at(m_at) == u'.' || isIdentifierPart(m_text.at(m_at))))
            fail(m_at, QStringLiteral("a whole number was expected"));
        token.kind = Token::Number;
        token.number = value;
        return token;
    }

    const QString& m_text;
    qsizetype m_at = 0;
};

bool isWord(const Token& token, QStringView word) {
    return token.kind == Token::Word && token.text.compare(word, Qt::CaseInsensitive) == 0;
}

// Reads a formula by recursive descent, from the loosest operator to the tightest:
// Or, And, comparison, +, Not, and the single values.
class Parser {
public:
    Parser(const QString& text, QStringList& fields) : m_lexer(text), m_fields(fields) {
        advance();
    }

    Node formula() {
        Node node = orExpression();
        if (m_token.kind != Token::End)
            fail(m_token.position,
                 m_token.kind == Token::Close
                     ? QStringLiteral("this closing parenthesis has no opening one")
                     : QStringLiteral("And, Or or the end of the formula was expected"));
        return node;
    }

private:
    class Level {
    public:
        Level(Parser& parser, qsizetype position) : m_parser(parser) {
            if (++m_parser.m_depth > MaxDepth)
                fail(position,
                     QStringLiteral("the formula nests more than %1 levels deep").arg(MaxDepth));
        }
        ~Level() { --m_parser.m_depth; }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

    private:
        Parser& m_parser;
    };

    void advance() { m_token = m_lexer.next(); }

    void requireType(const Node& node, Type type, qsizetype position, const QString& where) {
        if (node.type != type)
            fail(position, QStringLiteral("%1 needs %2 but is given %3")
                               .arg(where, typeName(type), typeName(node.type)));
    }

    // Or and And: any number of True/False operands, kept in one node so that long chains
    // do not make the formula deep.
    Node chain(Kind kind, QStringView word, Node (Parser::*operand)()) {
        const qsizetype firstPosition = m_token.position;
        Node first = (this->*operand)();
        if (!isWord(m_token, word))
            return first;
        Node node;
        node.kind = kind;
        node.type = Type::Bool;
        requireType(first, Type::Bool, firstPosition, word.toString());
        node.operands.push_back(std::move(first));
        while (isWord(m_token, word)) {
            advance();
            const qsizetype position = m_token.position;
            Node next = (this->*operand)();
            requireType(next, Type::Bool, position, word.toString());
            node.operands.push_back(std::move(next));
        }
        return node;
    }

    Node orExpression() { return chain(Kind::Or, u"Or", &Parser::andExpression); }

    Node andExpression() { return chain(Kind::And, u"And", &Parser::comparison); }

    // One comparison at most: "a = b = c" is refused rather than read one way or the other.
    Node comparison() {
        Node left = sum();
        if (m_token.kind != Token::Compare)
            return left;
        const Token op = m_token;
        advance();
        const qsizetype rightPosition = m_token.position;
        Node right = sum();
        if (left.type != right.type)
            fail(rightPosition, QStringLiteral("%1 cannot be compared with %2")
                                    .arg(typeName(left.type), typeName(right.type)));
        if (left.type == Type::Bool && op.compare != CompareOp::Equal &&
            op.compare != CompareOp::NotEqual)
            fail(op.position, QStringLiteral("True and False can only be compared with = or <>"));
        if (m_token.kind == Token::Compare)
            fail(m_token.position,
                 QStringLiteral("And or Or was expected between two comparisons"));
        Node node;
        node.kind = Kind::Compare;
        node.type = Type::Bool;
        node.compare = op.compare;
        node.operands.push_back(std::move(left));
        node.operands.push_back(std::move(right));
        return node;
    }

    // + joins texts or adds numbers, never a mixture.
    Node sum() {
        Node first = unary();
        if (m_token.kind != Token::Plus)
            return first;
        if (first.type == Type::Bool)
            fail(m_token.position, QStringLiteral("+ cannot take True or False"));
        Node node;
        node.kind = first.type == Type::Text ? Kind::Join : Kind::Add;
        node.type = first.type;
        node.operands.push_back(std::move(first));
        while (m_token.kind == Token::Plus) {
            advance();
            const qsizetype position = m_token.position;
            Node next = unary();
            requireType(next, node.type, position, QStringLiteral("+"));
            node.operands.push_back(std::move(next));
        }
        return node;
    }

    Node unary() {
        if (!isWord(m_token, u"Not"))
            return value();
        const Level level(*this, m_token.position);
        advance();
        const qsizetype position = m_token.position;
        Node operand = unary();
        requireType(operand, Type::Bool, position, QStringLiteral("Not"));
        Node node;
        node.kind = Kind::Not;
        node.type = Type::Bool;
        node.operands.push_back(std::move(operand));
        return node;
    }

    Node value() {
        Node node;
        switch (m_token.kind) {
        case Token::Field: {
            node.kind = Kind::Field;
            node.type = Type::Text;
            node.table = m_token.text;
            node.field = m_token.field;
            const QString name = node.table + u'.' + node.field;
            if (!m_fields.contains(name))
                m_fields.append(name);
            advance();
            return node;
        }
        case Token::Text:
            node.kind = Kind::Text;
            node.type = Type::Text;
            node.text = m_token.text;
            advance();
            return node;
        case Token::Number:
            node.kind = Kind::Number;
            node.type = Type::Number;
            node.number = m_token.number;
            advance();
            return node;
        case Token::Open: {
            const Level level(*this, m_token.position);
            advance();
            node = orExpression();
            expectClose();
            return node;
        }
        case Token::Word:
            return word();
        case Token::End:
            fail(m_token.position, QStringLiteral("the formula ends where a value was expected"));
        default:
            fail(m_token.position, QStringLiteral("a field, a text, a number, Not, a function or "
                                                  "an opening parenthesis was expected"));
        }
    }

    void expectClose() {
        if (m_token.kind != Token::Close)
            fail(m_token.position, QStringLiteral("a closing parenthesis was expected"));
        advance();
    }

    // True, False, or a function call; a blank may stand before the parenthesis.
    Node word() {
        const Token name = m_token;
        Node node;
        if (isWord(name, u"True") || isWord(name, u"False")) {
            node.kind = Kind::Bool;
            node.type = Type::Bool;
            node.flag = isWord(name, u"True");
            advance();
            return node;
        }
        struct Function {
            QStringView name;
            Kind kind;
            Type result;
            std::vector<Type> arguments;
        };
        static const std::vector<Function> functions = {
            {u"IsNull", Kind::IsNull, Type::Bool, {Type::Text}},
            {u"Trim", Kind::Trim, Type::Text, {Type::Text}},
            {u"UpperCase", Kind::UpperCase, Type::Text, {Type::Text}},
            {u"Left", Kind::Left, Type::Text, {Type::Text, Type::Number}},
            {u"Len", Kind::Len, Type::Number, {Type::Text}},
        };
        const Function* function = nullptr;
        for (const Function& candidate : functions) {
            if (isWord(name, candidate.name))
                function = &candidate;
        }
        if (!function)
            fail(name.position,
                 isWord(name, u"And") || isWord(name, u"Or")
                     ? QStringLiteral("a value was expected before %1").arg(name.text)
                     : QStringLiteral("%1 is not a function of the formula language")
                           .arg(name.text));
        const Level level(*this, name.position);
        advance();
        if (m_token.kind != Token::Open)
            fail(m_token.position,
                 QStringLiteral("an opening parenthesis was expected after %1").arg(name.text));
        advance();
        node.kind = function->kind;
        node.type = function->result;
        for (std::size_t i = 0; i < function->arguments.size(); ++i) {
            if (i > 0) {
                if (m_token.kind != Token::Comma)
                    fail(m_token.position,
                         QStringLiteral("%1 takes %2 values; a comma was expected")
                             .arg(name.text)
                             .arg(function->arguments.size()));
                advance();
            }
            const qsizetype position = m_token.position;
            Node argument = orExpression();
            requireType(argument, function->arguments[i], position, name.text);
            node.operands.push_back(std::move(argument));
        }
        if (m_token.kind == Token::Comma)
            fail(m_token.position, QStringLiteral("%1 takes %2 value(s); a closing parenthesis "
                                                  "was expected")
                                       .arg(name.text)
                                       .arg(function->arguments.size()));
        expectClose();
        return node;
    }

    Lexer m_lexer;
    QStringList& m_fields;
    Token m_token;
    int m_depth = 0;
};

bool isNull(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

// Code points, so that Left and Len never split a character in two.
QList<uint> codePoints(const QString& text) {
    return text.toUcs4();
}

QVariant evaluateNode(const Node& node, const FieldLookup& row) {
    switch (node.kind) {
    case Kind::Field: {
        const QVariant value = row(node.table, node.field);
        return isNull(value) ? QVariant() : QVariant(value.toString());
    }
    case Kind::Text:
        return node.text;
    case Kind::Number:
        return node.number;
    case Kind::Bool:
        return node.flag;
    case Kind::Not:
        return !evaluateNode(node.operands.front(), row).toBool();
    case Kind::And:
        for (const Node& operand : node.operands) {
            if (!evaluateNode(operand, row).toBool())
                return false;
        }
        return true;
    case Kind::Or:
        for (const Node& operand : node.operands) {
            if (evaluateNode(operand, row).toBool())
                return true;
        }
        return false;
    case Kind::Compare: {
        const QVariant left = evaluateNode(node.operands[0], row);
        const QVariant right = evaluateNode(node.operands[1], row);
        if (isNull(left) || isNull(right))
            return false;
        int order = 0;
        switch (node.operands[0].type) {
        case Type::Text:
            order = compareText(left.toString(), right.toString());
            break;
        case Type::Number:
            order = left.toLongLong() < right.toLongLong()   ? -1
                    : left.toLongLong() > right.toLongLong() ? 1
                                                             : 0;
            break;
        case Type::Bool:
            order = int(left.toBool()) - int(right.toBool());
            break;
        }
        switch (node.compare) {
        case CompareOp::Equal:
            return order == 0;
        case CompareOp::NotEqual:
            return order != 0;
        case CompareOp::Less:
            return order < 0;
        case CompareOp::Greater:
            return order > 0;
        case CompareOp::LessEqual:
            return order <= 0;
        case CompareOp::GreaterEqual:
            return order >= 0;
        }
        return false;
    }
    case Kind::Join: {
        // A missing value adds nothing to the text; only missing values give none.
        QString joined;
        bool any = false;
        for (const Node& operand : node.operands) {
            const QVariant value = evaluateNode(operand, row);
            if (isNull(value))
                continue;
            any = true;
            joined += value.toString();
        }
        return any ? QVariant(joined) : QVariant();
    }
    case Kind::Add: {
        qlonglong total = 0;
        for (const Node& operand : node.operands) {
            const QVariant value = evaluateNode(operand, row);
            if (isNull(value) || __builtin_add_overflow(total, value.toLongLong(), &total))
                return {};
        }
        return total;
    }
    case Kind::IsNull:
        return isNull(evaluateNode(node.operands.front(), row));
    case Kind::Trim:
    case Kind::UpperCase:
    case Kind::Len: {
        const QVariant value = evaluateNode(node.operands.front(), row);
        if (isNull(value))
            return {};
        const QString text = value.toString();
        if (node.kind == Kind::Trim)
            return trimBlanks(text);
        if (node.kind == Kind::UpperCase)
            return text.toUpper();
        return qlonglong(codePoints(text).size());
    }
    case Kind::Left: {
        const QVariant value = evaluateNode(node.operands[0], row);
        const QVariant count = evaluateNode(node.operands[1], row);
        if (isNull(value) || isNull(count))
            return {};
        const QList<uint> points = codePoints(value.toString());
        const qsizetype n = qBound<qlonglong>(0, count.toLongLong(), points.size());
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), n);
    }
    }
    return {};
}

} // namespace

Formula Formula::parse(const QString& text) {
    Formula formula;
    if (text.trimmed().isEmpty())
        return formula;
    QStringList fields;
    Parser parser(text, fields);
    formula.m_root = std::make_shared<const Node>(parser.formula());
    formula.m_fields = fields;
    return formula;
}

QVariant Formula::evaluate(const FieldLookup& row) const {
    if (!m_root)
        return true;
    return evaluateNode(*m_root, row);
}

bool Formula::selects(const FieldLookup& row) const {
    if (!m_root)
        return true;
    if (m_root->type != Type::Bool)
        throw PlatformError(ErrorNumber::EngineSyntax,
                            QStringLiteral("A selection formula must give True or False, not %1.")
                                .arg(typeName(m_root->type)));
    return evaluateNode(*m_root, row).toBool();
}

QStringList Formula::fields() const {
    return m_fields;
}

SortField parseSortField(const QString& text) {
    Lexer lexer(text);
    Token token = lexer.next();
    SortField sort;
    if (token.kind == Token::Plus || token.kind == Token::Minus) {
        sort.ascending = token.kind == Token::Plus;
        token = lexer.next();
    }
    if (token.kind != Token::Field)
        fail(token.position, QStringLiteral("a sort field written as +{Table.field} or "
                                            "-{Table.field} was expected"));
    sort.table = token.text;
    sort.field = token.field;
    token = lexer.next();
    if (token.kind != Token::End)
        fail(token.position, QStringLiteral("the sort field was expected to end here"));
    return sort;
}

int compareText(const QString& a, const QString& b) {
    // SQLite's NOCASE folds only A to Z and compares the rest by UTF-8 bytes, which order as
    // code points do; UTF-16 units would not (surrogates sort below U+E000 there).
    const QList<uint> left = a.toUcs4();
    const QList<uint> right = b.toUcs4();
    const auto fold = [](uint c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        const uint l = fold(left[i]);
        const uint r = fold(right[i]);
        if (l != r)
            return l < r ? -1 : 1;
    }
    return left.size() < right.size() ? -1 : left.size() > right.size() ? 1 : 0;
}

} // namespace quillory::report
