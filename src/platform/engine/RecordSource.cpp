#include "platform/engine/RecordSource.h"

#include "platform/engine/Dialect.h"
#include "platform/files/PlatformError.h"

#include <QVector>

namespace quillory::engine {

namespace {

using dialect::Token;

[[noreturn]] void refuse(const QString& why) {
    throw PlatformError(ErrorNumber::EngineSyntax, why);
}

struct Piece {
    Token token;
    QStringView text;
};

// The tokens that carry meaning: no blanks, no comments. A text, name or comment that runs
// off the end would swallow whatever the data source puts after the record source.
QVector<Piece> significant(QStringView sql) {
    QVector<Piece> out;
    for (const Token& token : dialect::tokenize(sql)) {
        if (token.unterminated)
            refuse(QStringLiteral("The record source has an unterminated text, name or comment."));
        if (token.kind == Token::Kind::Space || token.kind == Token::Kind::Comment)
            continue;
        out.append({token, sql.mid(token.start, token.length)});
    }
    return out;
}

bool isKeyword(const Piece& piece, QLatin1String word) {
    return piece.token.kind == Token::Kind::Word &&
           piece.text.compare(word, Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Piece& piece, char symbol) {
    return piece.token.kind == Token::Kind::Symbol && piece.text.size() == 1 &&
           piece.text[0] == QLatin1Char(symbol);
}

bool isName(const Piece& piece) {
    return piece.token.kind == Token::Kind::Word || piece.token.kind == Token::Kind::String ||
           (piece.token.kind == Token::Kind::QuotedName && !piece.token.unterminated);
}

QString unquote(const Piece& piece) {
    if (piece.token.kind == Token::Kind::Word)
        return piece.text.toString();
    const QString inner = piece.text.mid(1, piece.text.size() - 2).toString();
    const QChar quote = piece.text[0];
    if (quote == QLatin1Char('['))
        return inner;
    QString doubled(2, quote);
    return QString(inner).replace(doubled, QString(quote));
}

QString nonEmptyName(const Piece& piece) {
    QString name = unquote(piece);
    if (name.isEmpty())
        refuse(QStringLiteral("The record source names a table without a name."));
    return name;
}

// The table named at `pieces[at]`, skipping a schema name ("main.PhoneBK").
QString tableAt(const QVector<Piece>& pieces, qsizetype at) {
    if (at >= pieces.size() || !isName(pieces[at]))
        refuse(QStringLiteral("The record source names no table after FROM."));
    if (at + 1 < pieces.size() && isSymbol(pieces[at + 1], '.')) {
        if (at + 2 >= pieces.size() || !isName(pieces[at + 2]))
            refuse(QStringLiteral("The record source names a schema but no table."));
        return nonEmptyName(pieces[at + 2]);
    }
    return nonEmptyName(pieces[at]);
}

// One statement with balanced parentheses; only semicolons may follow its end.
void refuseUnlessOneStatement(const QVector<Piece>& pieces) {
    int depth = 0;
    bool ended = false;
    for (const Piece& piece : pieces) {
        if (isSymbol(piece, ';')) {
            ended = true;
            continue;
        }
        if (ended)
            refuse(QStringLiteral("The record source holds more than one statement."));
        if (isSymbol(piece, '('))
            ++depth;
        else if (isSymbol(piece, ')') && --depth < 0)
            refuse(QStringLiteral("The record source closes a parenthesis it did not open."));
    }
    if (depth != 0)
        refuse(QStringLiteral("The record source leaves a parenthesis open."));
}

QString withoutTrailingSemicolons(QString sql) {
    sql = sql.trimmed();
    while (sql.endsWith(QLatin1Char(';')))
        sql = sql.chopped(1).trimmed();
    return sql;
}

bool hasOrderBy(const QVector<Piece>& pieces) {
    int depth = 0;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        if (isSymbol(pieces[i], '('))
            ++depth;
        else if (isSymbol(pieces[i], ')'))
            --depth;
        else if (depth == 0 && isKeyword(pieces[i], QLatin1String("ORDER")) &&
                 isKeyword(pieces[i + 1], QLatin1String("BY")))
            return true;
    }
    return false;
}

// A source without ORDER BY lists the rows in stored order. Asked for row ids alone, SQLite
// would walk the smallest index instead and hand them over sorted by name; "+rowid" keeps the
// stored order while still reading that small index rather than every row with its photo.
QString inStoredOrder(const QString& rowidQuery, const QVector<Piece>& pieces) {
    if (hasOrderBy(pieces))
        return rowidQuery;
    // On a line of its own, so a trailing "--" comment cannot hide it.
    return withoutTrailingSemicolons(rowidQuery) + QStringLiteral("\nORDER BY +rowid");
}

bool isDepthZeroClause(const Piece& piece) {
    for (const char* word : {"GROUP", "HAVING", "LIMIT", "UNION", "EXCEPT", "INTERSECT", "WINDOW",
                             "ORDER", "FROM", "JOIN"}) {
        if (isKeyword(piece, QLatin1String(word)))
            return true;
    }
    return false;
}

// Reads "[WHERE filter] [ORDER BY column [ASC], ...]" from `at` on into `plan`; leaves the
// order unknown for anything else.
void planOrder(RecordSourcePlan& plan, const QString& sql, const QVector<Piece>& pieces,
               qsizetype at) {
    qsizetype end = pieces.size();
    while (end > at && isSymbol(pieces[end - 1], ';'))
        --end;
    RecordSourcePlan found = plan;
    if (at < end && isKeyword(pieces[at], QLatin1String("WHERE"))) {
        const qsizetype first = at + 1;
        int depth = 0;
        qsizetype i = first;
        for (; i < end; ++i) {
            if (isSymbol(pieces[i], '('))
                ++depth;
            else if (isSymbol(pieces[i], ')'))
                --depth;
            else if (depth == 0 && isDepthZeroClause(pieces[i]))
                break;
            if (pieces[i].token.kind == Token::Kind::Word ||
                pieces[i].token.kind == Token::Kind::QuotedName)
                found.filterWords.append(unquote(pieces[i]).toLower());
        }
        if (i == first)
            return;
        const qsizetype from = pieces[first].token.start;
        const qsizetype to = i < pieces.size() ? pieces[i].token.start : sql.size();
        found.filter = sql.mid(from, to - from).trimmed();
        at = i;
    }
    if (at == end) {
        found.order = RecordSourcePlan::Order::Stored;
        plan = found;
        return;
    }
    if (at + 2 >= end || !isKeyword(pieces[at], QLatin1String("ORDER")) ||
        !isKeyword(pieces[at + 1], QLatin1String("BY")))
        return;
    at += 2;
    while (true) {
        // column, or table.column naming the source's own table
        if (at >= end || !isName(pieces[at]) || pieces[at].token.kind == Token::Kind::String)
            return;
        QString column = unquote(pieces[at]);
        ++at;
        if (at < end && isSymbol(pieces[at], '.')) {
            if (column.compare(plan.baseTable, Qt::CaseInsensitive) != 0 || at + 1 >= end ||
                !isName(pieces[at + 1]) || pieces[at + 1].token.kind == Token::Kind::String)
                return;
            column = unquote(pieces[at + 1]);
            at += 2;
        }
        if (column.isEmpty() || column.front().isDigit())
            return;
        found.orderColumns.append(column);
        if (at < end && isKeyword(pieces[at], QLatin1String("ASC")))
            ++at;
        if (at == end)
            break;
        if (!isSymbol(pieces[at], ','))
            return;
        ++at;
    }
    found.order = RecordSourcePlan::Order::Columns;
    plan = found;
}

// The keyset query of a source whose order is known: the ids alone, with the row id breaking
// ties so that the order is exactly the one the data source searches by.
QString orderedRowidQuery(const RecordSourcePlan& plan) {
    QString sql = QStringLiteral("SELECT rowid FROM ") + plan.from;
    if (!plan.filter.isEmpty())
        sql += QStringLiteral(" WHERE (\n") + plan.filter + QStringLiteral("\n)");
    if (plan.order == RecordSourcePlan::Order::Columns) {
        QStringList terms;
        for (const QString& column : plan.orderColumns)
            terms.append(dialect::quoteName(column));
        terms.append(QStringLiteral("rowid"));
        sql += QStringLiteral("\nORDER BY ") + terms.join(QStringLiteral(", "));
    }
    return sql;
}

} // namespace

RecordSourcePlan planRecordSource(const QString& source) {
    const QString sql = dialect::translate(source).trimmed();
    const QVector<Piece> pieces = significant(sql);
    if (pieces.isEmpty())
        refuse(QStringLiteral("The record source is empty."));
    refuseUnlessOneStatement(pieces);

    RecordSourcePlan plan;
    // A bare table name: "PhoneBK".
    if (isName(pieces[0]) &&
        (pieces.size() == 1 || (pieces.size() == 2 && isSymbol(pieces[1], ';'))) &&
        !isKeyword(pieces[0], QLatin1String("SELECT"))) {
        plan.baseTable = nonEmptyName(pieces[0]);
        const QString table = dialect::quoteName(plan.baseTable);
        plan.sql = QStringLiteral("SELECT * FROM ") + table;
        plan.from = table;
        plan.order = RecordSourcePlan::Order::Stored;
        plan.rowidQuery = orderedRowidQuery(plan);
        return plan;
    }
    plan.sql = sql;
    // "SELECT * FROM table ...": the same query with only the row ids selected.
    if (pieces.size() >= 4 && isKeyword(pieces[0], QLatin1String("SELECT")) &&
        isSymbol(pieces[1], '*') && isKeyword(pieces[2], QLatin1String("FROM"))) {
        plan.baseTable = tableAt(pieces, 3);
        const qsizetype afterTable = pieces.size() > 4 && isSymbol(pieces[4], '.') ? 6 : 4;
        const qsizetype tableEnd =
            pieces[afterTable - 1].token.start + pieces[afterTable - 1].token.length;
        plan.from = sql.mid(pieces[3].token.start, tableEnd - pieces[3].token.start);
        planOrder(plan, sql, pieces, afterTable);
        if (plan.order != RecordSourcePlan::Order::Unknown) {
            plan.rowidQuery = orderedRowidQuery(plan);
            return plan;
        }
        const qsizetype star = pieces[1].token.start;
        plan.rowidQuery =
            inStoredOrder(sql.left(star) + QStringLiteral("rowid") + sql.mid(star + 1), pieces);
        return plan;
    }
    // Any other shape: the first FROM outside parentheses names the table.
    int depth = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (isSymbol(pieces[i], '('))
            ++depth;
        else if (isSymbol(pieces[i], ')'))
            --depth;
        else if (depth == 0 && isKeyword(pieces[i], QLatin1String("FROM"))) {
            plan.baseTable = tableAt(pieces, i + 1);
            return plan;
        }
    }
    refuse(QStringLiteral("The record source names no table."));
}

QString subqueryKeysetQuery(const RecordSourcePlan& plan, const QString& idColumn) {
    if (!plan.rowidQuery.isEmpty())
        return plan.rowidQuery;
    // The closing parenthesis goes on a line of its own so a trailing "--" comment cannot hide it.
    return QStringLiteral("SELECT %1 FROM (%2\n)")
        .arg(dialect::quoteName(idColumn), withoutTrailingSemicolons(plan.sql));
}

QString criterionQuery(const QString& table, const QString& criterion) {
    return QStringLiteral("SELECT rowid FROM %1 WHERE (\n%2\n)")
        .arg(dialect::quoteName(table), criterionExpression(criterion));
}

QString criterionExpression(const QString& criterion) {
    const QString expression = dialect::translate(criterion);
    int depth = 0;
    bool empty = true;
    for (const Token& token : dialect::tokenize(expression)) {
        if (token.unterminated)
            refuse(QStringLiteral("The criterion has an unterminated text or comment."));
        if (token.kind == Token::Kind::Space || token.kind == Token::Kind::Comment)
            continue;
        empty = false;
        if (token.kind != Token::Kind::Symbol)
            continue;
        const QChar c = expression[token.start];
        if (c == QLatin1Char(';'))
            refuse(QStringLiteral("The criterion holds more than one statement."));
        if (c == QLatin1Char('('))
            ++depth;
        if (c == QLatin1Char(')') && --depth < 0)
            refuse(QStringLiteral("The criterion closes a parenthesis it did not open."));
    }
    if (empty)
        refuse(QStringLiteral("The criterion is empty."));
    if (depth != 0)
        refuse(QStringLiteral("The criterion leaves a parenthesis open."));
    return expression;
}

} // namespace quillory::engine
