#include "tidy/ui/frmTrash.h"

#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillory {

namespace {

const QString Caption = QStringLiteral("Deleted contacts");

QString whyText(const tidy::TrashEntry& entry) {
    switch (entry.reason) {
    case tidy::TrashReason::Merged:
        return QStringLiteral("merged into ") + (entry.mergedIntoName.isEmpty()
                                                     ? QStringLiteral("another contact")
                                                     : entry.mergedIntoName);
    case tidy::TrashReason::Server:
        return QStringLiteral("deleted on the server");
    case tidy::TrashReason::Deleted:
        break;
    }
    return QStringLiteral("deleted");
}

} // namespace

frmTrash::frmTrash(QString bookPath, QWidget* parent)
    : QDialog(parent), m_bookPath(std::move(bookPath)) {
    setObjectName(QStringLiteral("frmTrash"));
    setWindowTitle(Caption);
    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    lblKeep = named(new QLabel(QStringLiteral("Deleted contacts are kept for 90 days or the latest "
                                              "1,000, whichever is more."),
                               this),
                    "lblKeep");
    lblKeep->setWordWrap(true);
    lstTrash = named(new QTreeWidget(this), "lstTrash");
    lstTrash->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Deleted on"), QStringLiteral("Why")});
    lstTrash->setRootIsDecorated(false);
    lstTrash->setUniformRowHeights(true);
    lstTrash->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTrash->header()->setStretchLastSection(true);
    cmdRestore = named(new QPushButton(QStringLiteral("&Restore"), this), "cmdRestore");
    cmdEmpty = named(new QPushButton(QStringLiteral("&Empty trash"), this), "cmdEmpty");
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdEmpty);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblKeep);
    layout->addWidget(lstTrash, 1);
    layout->addLayout(buttons);
    setMinimumSize(360, 240);
    resize(560, 380);

    connect(cmdRestore, &QPushButton::clicked, this, &frmTrash::cmdRestore_Click);
    connect(cmdEmpty, &QPushButton::clicked, this, &frmTrash::cmdEmpty_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmTrash::reject);
    connect(lstTrash, &QTreeWidget::itemSelectionChanged, this, &frmTrash::updateButtons);
    connect(lstTrash, &QTreeWidget::itemDoubleClicked, this, &frmTrash::cmdRestore_Click);
}

void frmTrash::Form_Load() {
    ui::CenterForm(*this);
    QVector<tidy::TrashEntry> entries;
    onBook([&entries](engine::Database& db) { entries = tidy::trashEntries(db); });
    showEntries(entries);
}

void frmTrash::showEntries(const QVector<tidy::TrashEntry>& entries) {
    lstTrash->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(entries.size());
    for (const tidy::TrashEntry& entry : entries) {
        auto* item = new QTreeWidgetItem({entry.name, entry.trashedAt, whyText(entry)});
        item->setData(0, Qt::UserRole, entry.trashId);
        items.append(item);
    }
    lstTrash->addTopLevelItems(items);
    lstTrash->resizeColumnToContents(1);
    lstTrash->setColumnWidth(0, std::max(lstTrash->columnWidth(0), 180));
    if (!items.isEmpty())
        lstTrash->setCurrentItem(items.first());
    updateButtons();
}

void frmTrash::updateButtons() {
    cmdRestore->setEnabled(!lstTrash->selectedItems().isEmpty());
    cmdEmpty->setEnabled(lstTrash->topLevelItemCount() > 0);
}

bool frmTrash::onBook(const std::function<void(engine::Database&)>& step) {
    try {
        const std::unique_ptr<engine::Database> db = engine::Database::open(m_bookPath);
        step(*db);
        return true;
    } catch (const PlatformError& error) {
        ui::MessageBoxService::inform(error.description(), Caption, ui::Icon::Exclamation, this);
        return false;
    }
}

void frmTrash::cmdRestore_Click() {
    QVector<qint64> chosen;
    // In the list's order, so the first restored is the newest chosen.
    for (int row = 0; row < lstTrash->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = lstTrash->topLevelItem(row);
        if (item->isSelected())
            chosen.append(item->data(0, Qt::UserRole).toLongLong());
    }
    if (chosen.isEmpty())
        return;
    if (onBook([&](engine::Database& db) { m_restored = tidy::restore(db, chosen); }))
        accept();
}

void frmTrash::cmdEmpty_Click() {
    const ui::Answer answer = ui::MessageBoxService::show(
        {QStringLiteral("Remove every deleted contact for good? They cannot be brought back "
                        "afterwards."),
         ui::Buttons::YesNo, ui::Icon::Question, 1, Caption},
        this);
    if (answer != ui::Answer::Yes)
        return;
    if (onBook([](engine::Database& db) { tidy::emptyTrash(db); })) {
        m_emptied = true;
        showEntries({});
    }
}

} // namespace quillory
