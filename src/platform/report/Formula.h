#pragma once

#include <functional>
#include <memory>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace quillory::report {

// A field's value as the book holds it; a null QVariant for a missing value.
using FieldLookup = std::function<QVariant(const QString& table, const QString& field)>;

// A formula in the report language, as selection formulas and templates write it:
//   {Table.field}  'text' or "text" (a doubled quote stands for one)  whole numbers
//   =  <>  <  >  <=  >=  (text compared letter-case-blind, as the book sorts)
//   +  (joins texts, adds numbers)  Not  And  Or  ( )
//   IsNull (x)  Trim (x)  UpperCase (x)  Left (x, n)  Len (x)
// Not binds tighter than a comparison, a comparison tighter than And, And tighter than Or.
// Keywords are read in any letter case. Types are checked when the formula is read, so a
// formula that parses always evaluates.
//
// A missing value (null) is no text at all: IsNull of it is true (of '' false), a comparison
// with it is false, null + text is the text, and Trim, UpperCase, Left and Len of it are null.
class Formula {
public:
    struct Node;

    Formula() = default; // empty: true for every row

    // Reads `text`; blank text gives the empty formula. Throws PlatformError 3077 saying at
    // which character the formula goes wrong and what was expected there.
    static Formula parse(const QString& text);

    // The formula's value for one row: a QString, a qlonglong, a bool, or a null QVariant.
    // The empty formula gives true.
    QVariant evaluate(const FieldLookup& row) const;

    // Whether a selection formula takes the row. Throws PlatformError 3077 when the formula
    // gives text or a number instead of True or False, so that such a run fails instead of
    // quietly printing nothing.
    bool selects(const FieldLookup& row) const;

    // The fields the formula reads, "PhoneBK.address2", in the order first referenced.
    QStringList fields() const;

    bool isEmpty() const { return !m_root; }

private:
    std::shared_ptr<const Node> m_root;
    QStringList m_fields;
};

// One sort field of a report: "+{PhoneBK.name}" ascending, "-{PhoneBK.namef}" descending.
struct SortField {
    QString table;
    QString field;
    bool ascending = true;
};

// Reads a sort field; a field without a sign sorts ascending. Throws PlatformError 3077.
SortField parseSortField(const QString& text);

// The book's letter-case-blind text order (what the SQL's COLLATE NOCASE gives): ASCII letters
// compare without regard to case, every other character by its code point. Negative, zero or
// positive as `a` sorts before, with or after `b`.
int compareText(const QString& a, const QString& b);

} // namespace quillory::report
