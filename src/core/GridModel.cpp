#include "core/GridModel.h"

#include "core/ContactRecord.h"
#include "platform/engine/DataSource.h"

namespace quillory {

GridModel::GridModel(engine::DataSource& source, QObject* parent)
    : QAbstractTableModel(parent), m_source(source) {
    connect(&m_source, &engine::DataSource::rowsReset, this, [this] {
        beginResetModel();
        m_rows = m_source.isOpen() ? m_source.rowCount() : 0;
        endResetModel();
    });
}

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(contact::gridColumns().size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (index.row() >= m_source.rowCount())
        return {};
    const auto& column = contact::gridColumns()[size_t(index.column())];
    return m_source.valueAt(index.row(), QString::fromLatin1(column.field));
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 &&
        section < int(contact::gridColumns().size()))
        return QString::fromLatin1(contact::gridColumns()[size_t(section)].caption);
    if (orientation == Qt::Vertical)
        return section + 1;
    return {};
}

} // namespace quillory
