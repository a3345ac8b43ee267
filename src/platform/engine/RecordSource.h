#pragma once

#include <QString>
#include <QStringList>

namespace quillory::engine {

// How a data source runs its record source: the SQL to run, the table its rows are read from
// and written to, and a query that yields only the row ids in the record source's order, so
// that sorting a book of photos never reads the photos.
struct RecordSourcePlan {
    QString sql;       // the record source in SQLite's SQL (a bare table name becomes a SELECT)
    QString baseTable; // the table after FROM
    // "SELECT rowid FROM ..." when the source is a SELECT * over one table; empty when the ids
    // must be taken from the whole query run as a subquery (see keysetQuery).
    QString rowidQuery;

    // How the rows are ordered, when the source is plain enough to be sure of it:
    // "SELECT * FROM table [WHERE filter] [ORDER BY column [ASC], ...]". Such a source's rows
    // can be found by their sort key rather than by reading every one of them.
    enum class Order {
        Unknown, // anything else: only the query itself knows its order
        Stored,  // no ORDER BY: by row id. rowidQuery then has no ORDER BY either, and the ids
                 // it yields are sorted by the data source.
        Columns, // by orderColumns, then by row id (rowidQuery says so), NULLs first
    };
    Order order = Order::Unknown;
    QStringList orderColumns; // the ORDER BY columns, as named (without a table name)
    QString from;             // the text after FROM that names the table
    QString filter;           // the WHERE expression, empty when there is none
    QStringList filterWords;  // the names the WHERE expression uses, lower case
};

// Plans a record source written in the program's dialect. A text that names no table (or a
// table without a name), holds an unterminated text, name or comment, leaves parentheses
// unbalanced or holds a second statement is refused with 3077.
RecordSourcePlan planRecordSource(const QString& source);

// The query that yields the ordered row ids: the plan's rowid query, or the record source run
// as a subquery from which `idColumn` is taken.
QString subqueryKeysetQuery(const RecordSourcePlan& plan, const QString& idColumn);

// The fixed SELECT a FindFirst criterion is run in: the row ids of `table` for which the
// criterion holds. A criterion that could reach outside one expression (a semicolon, a
// parenthesis closed that it did not open, an unterminated literal or comment) or an empty one
// is refused with 3077.
QString criterionQuery(const QString& table, const QString& criterion);
// The criterion alone, checked as criterionQuery checks it, in SQLite's SQL.
QString criterionExpression(const QString& criterion);

} // namespace quillory::engine
