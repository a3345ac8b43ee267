#include "core/GridModel.h"

#include "core/ContactRecord.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "core/CardMessages.h"
#include "platform/ui/MessageBox.h"

namespace quillory {

GridModel::GridModel(engine::DataSource& source, QObject* parent)
    : QAbstractTableModel(parent), m_source(source) {
    connect(&m_source, &engine::DataSource::rowsReset, this, [this] {
        beginResetModel();
        m_rows = m_source.isOpen() ? m_source.rowCount() : 0;
        endResetModel();
    });
    connect(&m_source, &engine::DataSource::rowChanged, this, [this](int position) {
        if (position >= 0 && position < m_rows)
            Q_EMIT dataChanged(index(position, 0), index(position, columnCount() - 1));
    });
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() >= m_rows)
        return false;
    const QString field = QString::fromLatin1(contact::gridColumns()[size_t(index.column())].field);
    try {
        if (m_source.absolutePosition() != index.row())
            m_source.moveTo(index.row());
        m_source.setValue(field, value.toString());
    } catch (const PlatformError& error) {
        reportUnsavedCard(error.description(), nullptr);
        return false;
    }
    Q_EMIT dataChanged(index, index);
    Q_EMIT currentRowEdited();
    return true;
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
    const QString field = QString::fromLatin1(column.field);
    // The current row shows its pending edits too, as the card does.
    if (index.row() == m_source.absolutePosition())
        return m_source.value(field);
    return m_source.valueAt(index.row(), field);
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
