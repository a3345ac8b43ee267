#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QVector>

namespace quillory {

namespace engine {
class DataSource;
}

// The main window's grid over the book's data source: the 24 columns of the contact, one line
// per row of the open record source, read lazily through the data source's row cache.
class GridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // A column: its header and the field it shows.
    struct Column {
        QString caption;
        QString field;
    };

    // The main window's grid: the 24 columns of the contact.
    explicit GridModel(engine::DataSource& source, QObject* parent = nullptr);
    GridModel(engine::DataSource& source, QVector<Column> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A grid that only shows rows (the search dialog's list) takes no edits.
    void setEditable(bool editable) { m_editable = editable; }
    // An edited cell makes its row the current row and becomes a pending edit of that row,
    // written when the data source moves, as the card's edits are.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // A cell of the current row was edited: the card shows the new value.
    void currentRowEdited();

private:
    engine::DataSource& m_source;
    QVector<Column> m_columns;
    int m_rows = 0;
    bool m_editable = true;
};

// The cells of the main window's grid take typing as the card's boxes do: every change in a
// cell's editor becomes a pending value of its row at once, so nothing typed waits in an editor
// where a re-query or the end of the program would drop it.
class GridCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

} // namespace quillory
