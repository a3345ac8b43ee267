#include "core/GridModel.h"

#include "core/CardMessages.h"
#include "core/ContactRecord.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/MessageBox.h"

#include <QLineEdit>

namespace quillory {

namespace {

// A field's name is no caption a user can read. The grid heads the fields that the book names
// only by a number ("extra1" ...) as the card heads them, and the ones the card does not show
// by what they hold; the spare fields are numbered in their order.
QString captionOf(const contact::GridColumn& column, int& spares) {
    const QString field = QString::fromLatin1(column.field);
    const QString caption = QString::fromLatin1(column.caption);
    if (caption != field || !field.startsWith(QLatin1String("extra")))
        return caption;
    for (const contact::CardField& card : contact::cardFields()) {
        if (field == QLatin1String(card.field)) {
            QString shown = QString::fromUtf8(card.caption);
            if (shown.endsWith(QLatin1Char(':')))
                shown.chop(1);
            return shown;
        }
    }
    if (field == QLatin1String("extra7"))
        return QStringLiteral("Print?");
    if (field == QLatin1String("extra8"))
        return QStringLiteral("Display Name");
    return QStringLiteral("Spare %1").arg(++spares);
}

QVector<GridModel::Column> contactColumns() {
    QVector<GridModel::Column> columns;
    int spares = 0;
    for (const auto& column : contact::gridColumns())
        columns.append({captionOf(column, spares), QString::fromLatin1(column.field)});
    return columns;
}

} // namespace

GridModel::GridModel(engine::DataSource& source, QObject* parent)
    : GridModel(source, contactColumns(), parent) {}

GridModel::GridModel(engine::DataSource& source, QVector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_source(source), m_columns(std::move(columns)) {
    m_rows = m_source.isOpen() ? m_source.rowCount() : 0;
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
    const Qt::ItemFlags shown = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return m_editable ? shown | Qt::ItemIsEditable : shown;
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_editable || !index.isValid() || role != Qt::EditRole || index.row() >= m_rows)
        return false;
    const QString field = m_columns[index.column()].field;
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

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (index.row() >= m_source.rowCount())
        return {};
    const QString& field = m_columns[index.column()].field;
    // The current row shows its pending edits too, as the card does.
    if (index.row() == m_source.absolutePosition())
        return m_source.value(field);
    return m_source.valueAt(index.row(), field);
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < int(m_columns.size()))
        return m_columns[section].caption;
    if (orientation == Qt::Vertical)
        return section + 1;
    return {};
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        connect(box, &QLineEdit::textEdited, this,
                [this, box] { Q_EMIT const_cast<GridCellDelegate*>(this)->commitData(box); });
    }
    return editor;
}

} // namespace quillory
