#include "platform/ui/DirList.h"

#include "platform/ui/FileSystemLists.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

namespace quillory::ui {

namespace {
constexpr int PathRole = Qt::UserRole;
} // namespace

DirList::DirList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIndentation(fontMetrics().averageCharWidth() * 2);
    setMinimumSize(lists::minimumListSize(*this));

    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](const QTreeWidgetItem* item) { openItem(item); });

    m_path = lists::absolutePath(QDir::currentPath(), {});
    populate();
}

bool DirList::setPath(const QString& path) {
    if (path.isEmpty())
        return false;
    const QString absolute = lists::absolutePath(path, m_path);
    if (!QFileInfo(absolute).isDir())
        return false;
    if (!lists::isListableFolder(absolute)) {
        Q_EMIT folderNotReadable(absolute);
        return false;
    }
    if (absolute == m_path)
        return true;
    m_path = absolute;
    populate();
    Q_EMIT pathChanged(m_path);
    return true;
}

void DirList::refresh() {
    QString existing = m_path;
    while (!lists::isListableFolder(existing) && existing != QLatin1String("/"))
        existing = QFileInfo(existing).path();
    if (existing != m_path) {
        m_path = existing;
        populate();
        Q_EMIT pathChanged(m_path);
        return;
    }
    populate();
}

QStringList DirList::subfolders() const {
    QStringList names;
    if (m_currentItem == nullptr)
        return names;
    names.reserve(m_currentItem->childCount());
    for (int i = 0; i < m_currentItem->childCount(); ++i)
        names.append(m_currentItem->child(i)->text(0));
    return names;
}

void DirList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        openItem(currentItem());
        event->accept();
        return;
    case Qt::Key_Backspace:
        setPath(QStringLiteral(".."));
        event->accept();
        return;
    default:
        QTreeWidget::keyPressEvent(event);
    }
}

void DirList::drawBranches(QPainter* /*painter*/, const QRect& /*rect*/,
                           const QModelIndex& /*index*/) const {}

void DirList::populate() {
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    setUpdatesEnabled(false);
    clear();

    // The way down: "/" and one level per part of the path, each nested in the one above.
    auto* level = new QTreeWidgetItem(this, {QStringLiteral("/")});
    level->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
    level->setData(0, PathRole, QStringLiteral("/"));
    level->setToolTip(0, QStringLiteral("/"));
    QString walked;
    const QStringList parts = m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        walked += QLatin1Char('/') + part;
        level = new QTreeWidgetItem(level, {part});
        level->setIcon(0, openIcon);
        level->setData(0, PathRole, walked);
        level->setToolTip(0, walked);
    }
    m_currentItem = level;

    // No QDir::Hidden: dot-folders stay out of the list, as they do in the desktop's own file
    // manager. An unreadable folder simply lists nothing.
    QStringList names = QDir(m_path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    lists::sortNames(names);
    QList<QTreeWidgetItem*> children;
    children.reserve(names.size());
    const QDir folder(m_path);
    for (const QString& name : names) {
        auto* child = new QTreeWidgetItem({name});
        child->setIcon(0, closedIcon);
        child->setData(0, PathRole, folder.filePath(name));
        children.append(child);
    }
    m_currentItem->addChildren(children);

    expandAll();
    setCurrentItem(m_currentItem);
    setUpdatesEnabled(true);
    scrollToItem(m_currentItem);
}

void DirList::openItem(const QTreeWidgetItem* item) {
    if (item != nullptr)
        setPath(item->data(0, PathRole).toString());
}

} // namespace quillory::ui
