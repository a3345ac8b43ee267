#include "tidy/ui/frmDuplicates.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "exchange/ui/BackgroundRun.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "tidy/ui/MergeWindow.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace quillory {

namespace tidy {

// The groups as a tree read straight from the finder's answer, so that a book with many
// duplicates lists them at once: a group row (its reason, its size) over its contacts, each
// contact with a tick saying whether it goes into the merge.
class DuplicatesModel final : public QAbstractItemModel {
public:
    enum ColumnIndex { NameColumn, PhoneColumn, EmailColumn, AddressColumn, Columns };

    explicit DuplicatesModel(QObject* parent) : QAbstractItemModel(parent) {}

    void setGroups(QVector<DuplicateGroup> groups, QVector<QVector<DuplicateContact>> contacts) {
        beginResetModel();
        m_groups = std::move(groups);
        m_contacts = std::move(contacts);
        m_ticked.clear();
        for (qsizetype g = 0; g < m_groups.size(); ++g)
            m_ticked.append(QVector<bool>(m_contacts[g].size(),
                                          m_groups[g].reason != DuplicateReason::NameOnly));
        endResetModel();
    }

    // The group a row of the tree belongs to, -1 for none.
    int groupOf(const QModelIndex& index) const {
        if (!index.isValid())
            return -1;
        return index.internalId() == 0 ? index.row() : int(index.internalId() - 1);
    }
    QVector<qint64> tickedIn(int group) const {
        QVector<qint64> ids;
        for (qsizetype c = 0; group >= 0 && c < m_contacts[group].size(); ++c) {
            if (m_ticked[group][c])
                ids.append(m_contacts[group][c].id);
        }
        return ids;
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (!hasIndex(row, column, parent))
            return {};
        return createIndex(row, column, parent.isValid() ? quintptr(parent.row() + 1) : 0);
    }
    QModelIndex parent(const QModelIndex& child) const override {
        if (!child.isValid() || child.internalId() == 0)
            return {};
        return createIndex(int(child.internalId() - 1), 0, quintptr(0));
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        if (!parent.isValid())
            return int(m_groups.size());
        return parent.internalId() == 0 && parent.column() == 0
                   ? int(m_contacts[parent.row()].size())
                   : 0;
    }
    int columnCount(const QModelIndex& = {}) const override { return Columns; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        if (index.internalId() == 0)
            return groupData(index.row(), index.column(), role);
        const int group = int(index.internalId() - 1);
        const DuplicateContact& contact = m_contacts[group][index.row()];
        if (role == Qt::CheckStateRole && index.column() == NameColumn)
            return m_ticked[group][index.row()] ? Qt::Checked : Qt::Unchecked;
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        switch (index.column()) {
        case NameColumn:
            return contact.name;
        case PhoneColumn:
            return contact.phone;
        case EmailColumn:
            return contact.email;
        default:
            return contact.address;
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::CheckStateRole || !index.isValid() || index.internalId() == 0)
            return false;
        const int group = int(index.internalId() - 1);
        m_ticked[group][index.row()] = value.toInt() == Qt::Checked;
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QAbstractItemModel::flags(index);
        if (index.isValid() && index.internalId() != 0 && index.column() == NameColumn)
            flags |= Qt::ItemIsUserCheckable;
        return flags;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QStringList captions = {QStringLiteral("Name"), QStringLiteral("Phone"),
                                             QStringLiteral("E-mail"), QStringLiteral("Address")};
        return captions.value(section);
    }

private:
    QVariant groupData(int group, int column, int role) const {
        if (column != NameColumn || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        return QStringLiteral("%1 (%2 contacts)")
            .arg(reasonText(m_groups[group].reason))
            .arg(m_contacts[group].size());
    }

    QVector<DuplicateGroup> m_groups;
    QVector<QVector<DuplicateContact>> m_contacts;
    QVector<QVector<bool>> m_ticked;
};

} // namespace tidy

namespace {

const QString Caption = QStringLiteral("Find Duplicates");
constexpr int OpenGroups = 500;

} // namespace

frmDuplicates::frmDuplicates(AppContext& app, QWidget* parent)
    : QDialog(parent), m_app(app), m_model(new tidy::DuplicatesModel(this)) {
    setObjectName(QStringLiteral("frmDuplicates"));
    setWindowTitle(Caption);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    tvwGroups = new QTreeView(this);
    tvwGroups->setObjectName(QStringLiteral("tvwGroups"));
    tvwGroups->setModel(m_model);
    tvwGroups->setUniformRowHeights(true);
    tvwGroups->setAllColumnsShowFocus(true);
    tvwGroups->header()->setStretchLastSection(true);
    prgFind = new QProgressBar(this);
    prgFind->setObjectName(QStringLiteral("prgFind"));
    prgFind->hide();
    cmdMerge = new QPushButton(QStringLiteral("&Merge..."), this);
    cmdMerge->setObjectName(QStringLiteral("cmdMerge"));
    cmdMerge->setDefault(true);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgFind, 1);
    buttons->addStretch();
    buttons->addWidget(cmdMerge);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblStatus);
    layout->addWidget(tvwGroups, 1);
    layout->addLayout(buttons);

    m_run = new exchange::BackgroundRun(prgFind, this);
    connect(m_run, &exchange::BackgroundRun::finished, this, &frmDuplicates::searchFinished);
    connect(cmdMerge, &QPushButton::clicked, this, &frmDuplicates::cmdMerge_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmDuplicates::cmdClose_Click);
    setMinimumSize(ui::twipsToPixels(6000), ui::twipsToPixels(3600));
    resize(ui::twipsToPixels(11000), ui::twipsToPixels(6600));
}

frmDuplicates::~frmDuplicates() {
    m_run->stop();
}

void frmDuplicates::Form_Load() {
    frmMain& main = m_app.mainWindow();
    m_book = main.data().databaseName();
    ui::CenterForm(*this);
    // The card's typing is part of what is compared.
    if (main.writePendingCard(this))
        search();
    else
        lblStatus->setText(QStringLiteral("The card could not be saved, so the book was not "
                                          "searched."));
}

bool frmDuplicates::isSearching() const {
    return m_run->isRunning();
}

void frmDuplicates::setBusy(bool busy) {
    tvwGroups->setEnabled(!busy);
    cmdMerge->setEnabled(!busy);
    cmdClose->setText(busy ? QStringLiteral("Cancel") : QStringLiteral("Close"));
}

void frmDuplicates::search() {
    if (isSearching())
        return;
    m_model->setGroups({}, {});
    m_found.clear();
    m_described.clear();
    m_cancelled = false;
    lblStatus->setText(QStringLiteral("Looking for contacts that are probably one person..."));
    setBusy(true);
    const QString book = m_book;
    m_run->start([this, book](const exchange::BackgroundRun::Progress& progress) {
        // A connection of its own, read-only: the window's card and grid keep theirs.
        const auto db = engine::Database::open(book, engine::Database::Mode::ReadOnly);
        // The scan is the first half of the bar, reading what the list shows the second.
        const auto goOn = [this, &progress](qint64 done, qint64 total) {
            if (!progress(done, total))
                m_cancelled = true;
            return !m_cancelled;
        };
        qint64 scanned = 0;
        m_found = tidy::findDuplicates(*db, [&](qint64 done, qint64 total) {
            scanned = total;
            return goOn(done, 2 * total);
        });
        for (qsizetype g = 0; g < m_found.size() && !m_cancelled; ++g) {
            m_described.append(tidy::describeContacts(*db, m_found[g].ids));
            if (g % 256 == 255)
                goOn(scanned + scanned * g / m_found.size(), 2 * scanned);
        }
    });
}

void frmDuplicates::searchFinished(const QString& error) {
    setBusy(false);
    if (!error.isEmpty()) {
        lblStatus->setText(QStringLiteral("The book could not be searched: ") + error);
        ui::MessageBoxService::show({QStringLiteral("The book could not be searched: ") + error,
                                     ui::Buttons::Ok, ui::Icon::Exclamation, 0, Caption},
                                    this);
    } else if (m_cancelled) {
        lblStatus->setText(QStringLiteral("Cancelled: the book was not searched to the end."));
    } else {
        qsizetype strong = 0;
        for (const tidy::DuplicateGroup& group : std::as_const(m_found))
            strong += group.reason != tidy::DuplicateReason::NameOnly;
        lblStatus->setText(
            m_found.isEmpty()
                ? QStringLiteral("No duplicates were found.")
                : QStringLiteral("%1 group%2 of probable duplicates (ticked), %3 group%4 of "
                                 "contacts who only share a name (at the bottom, not ticked). "
                                 "Tick the contacts that are one person and choose Merge...")
                      .arg(strong)
                      .arg(strong == 1 ? QString() : QStringLiteral("s"))
                      .arg(m_found.size() - strong)
                      .arg(m_found.size() - strong == 1 ? QString() : QStringLiteral("s")));
        m_model->setGroups(std::exchange(m_found, {}), std::exchange(m_described, {}));
        if (m_model->rowCount() > 0) {
            // Opening every group of a book with many thousands would hold the window for long:
            // the first screens of groups are open, the rest open when the user clicks them.
            for (int g = 0; g < std::min(m_model->rowCount(), OpenGroups); ++g)
                tvwGroups->expand(m_model->index(g, 0));
            tvwGroups->setCurrentIndex(m_model->index(0, 0));
            for (int column = 0; column < tidy::DuplicatesModel::AddressColumn; ++column)
                tvwGroups->resizeColumnToContents(column);
        }
    }
    cmdMerge->setEnabled(m_model->rowCount() > 0);
    Q_EMIT searchEnded();
}

QVector<qint64> frmDuplicates::chosenContacts() const {
    return m_model->tickedIn(m_model->groupOf(tvwGroups->currentIndex()));
}

void frmDuplicates::cmdMerge_Click() {
    if (isSearching())
        return;
    const QVector<qint64> ids = chosenContacts();
    if (ids.size() < 2) {
        ui::MessageBoxService::show(
            {QStringLiteral("Tick two or more contacts of one group, then choose Merge..."),
             ui::Buttons::Ok, ui::Icon::Information, 0, Caption},
            this);
        return;
    }
    if (runMerge(m_app, ids, this))
        search();
}

void frmDuplicates::cmdClose_Click() {
    reject();
}

void frmDuplicates::reject() {
    // Leaving while the search runs cancels it, and the window stays until it has stopped.
    if (m_run->cancelIfRunning())
        return;
    QDialog::reject();
}

} // namespace quillory
