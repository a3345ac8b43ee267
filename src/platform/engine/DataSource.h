#pragma once

#include <functional>
#include <memory>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace quillory::engine {

class Database;

// A bound data source: a database name, a connect string and a record source (an SQL text
// in the program's dialect or a table name). Refresh runs the record source once and keeps
// the ordered list of row ids; moves walk that list and read only the new current row.
// Edits are pending until the source moves; the move writes them, and a write that fails
// throws with the edits kept and the position unchanged.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject* parent = nullptr);
    ~DataSource() override;

    void setDatabaseName(const QString& path);
    QString databaseName() const;
    void setConnect(const QString& connect);
    QString connect() const;
    void setRecordSource(const QString& source);
    QString recordSource() const;

    // Re-opens the database, runs the record source and makes the first row current (none
    // when the result is empty). Pending edits are dropped. On failure the source is closed
    // (no current row, BOF and EOF true) and PlatformError is thrown.
    void refresh();
    // Lets go of the database file.
    void close();
    bool isOpen() const;

    bool bof() const;
    bool eof() const;
    int absolutePosition() const; // 0-based; -1 with no current row
    // The row id of the current row, which stays the row's across refreshes; -1 with no
    // current row. A find on "rowid = <id>" makes that row current again.
    qint64 rowId() const;
    int recordCount() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    void moveTo(int position); // grid row clicks

    // Starts an empty new row (AbsolutePosition -1, BOF and EOF false); pending edits of the
    // current row are written first. The next move or update() stores the row, at the end of
    // the result, when anything was set in it.
    void addNew();
    bool isAdding() const;
    void update(); // writes pending edits (or the new row) without moving
    // Drops the pending edits, and a new row that was not stored yet.
    void cancelUpdate();
    // Removes the current row. No move follows: the current row is then a deleted one (no
    // values, no position) until the caller moves; MoveNext goes to the row that followed it.
    void deleteCurrent();
    // Removes the rows at `positions` (a grid's selection) in one step, after the move to the
    // first of them that writes pending edits. The current row is then the first one's deleted
    // row, as after deleteCurrent.
    void deleteRows(QList<int> positions);
    bool isDeleted() const;
    // What a delete does with the rows it removes, by row id, inside the delete's transaction
    // (the main window's source hands them to the trash, which removes them). Without one they
    // are deleted.
    using Remover = std::function<void(Database& db, const QVector<qint64>& rowIds)>;
    void setRemover(Remover remover);

    // Finds the first row, in record-source order, matching `criterion` (a WHERE expression
    // in the dialect). Refused criteria throw PlatformError 3077.
    void findFirst(const QString& criterion);
    bool noMatch() const;

    // Field values of the current row, pending edits included. Unknown fields are invalid.
    QStringList fieldNames() const;
    QVariant value(const QString& field) const;
    void setValue(const QString& field, const QVariant& value);
    bool hasPendingEdits() const;

    // Values of any row by position, read through a bounded cache (the grid's model). Photos
    // (BLOB fields) are read for the current row only; other rows give an invalid value there.
    // SQL NULL reads as an invalid QVariant.
    int rowCount() const;
    QVariant valueAt(int position, const QString& field) const;

Q_SIGNALS:
    // After every change of the current row, before the moving call returns.
    void repositioned();
    // After the rows of the result changed (refresh, delete, a new row stored, close).
    void rowsReset();
    // After pending edits were written to the row at `position`.
    void rowChanged(int position);

private:
    class Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quillory::engine
