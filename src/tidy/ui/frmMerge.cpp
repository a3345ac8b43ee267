#include "tidy/ui/frmMerge.h"

#include "core/AppContext.h"
#include "core/CardPlace.h"
#include "core/frmMain.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/DialogButtons.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"
#include "tidy/ui/MergeWindow.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace quillory {

namespace {

const QString Caption = QStringLiteral("Merge contacts");
constexpr int ShownLength = 40; // longer values show their start, the whole in a tip
constexpr int PhotoSide = 64;

// A value as a choice's text: its start when long, and '&' shown rather than taken as a key.
QString choiceText(const QString& value) {
    const QString shown =
        value.size() > ShownLength ? value.left(ShownLength - 1) + QChar(0x2026) : value;
    return QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QPixmap thumbnail(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(PhotoSide, PhotoSide, Qt::KeepAspectRatio));
    return QPixmap::fromImage(reader.read());
}

bool anyValue(const QStringList& values) {
    return std::any_of(values.begin(), values.end(),
                       [](const QString& value) { return !value.trimmed().isEmpty(); });
}

} // namespace

frmMerge::frmMerge(engine::Database& db, tidy::MergePlan plan, QWidget* parent)
    : QDialog(parent), m_db(db), m_plan(std::move(plan)) {
    setObjectName(QStringLiteral("frmMerge"));
    setWindowTitle(Caption);
    auto* intro = new QLabel(
        QStringLiteral("Choose the value to keep for each field. Every value not kept is added "
                       "to the merged contact's remarks; the other contacts go to Deleted "
                       "contacts, from where they can be restored."),
        this);
    intro->setWordWrap(true);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrFields"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(buildGrid());
    txtRemarks = new QPlainTextEdit(this);
    txtRemarks->setObjectName(QStringLiteral("txtRemarks"));
    txtRemarks->setReadOnly(true);
    txtRemarks->setMaximumHeight(fontMetrics().lineSpacing() * 7);
    auto* remarksLabel = new QLabel(QStringLiteral("&Remarks after the merge:"), this);
    remarksLabel->setBuddy(txtRemarks);
    const ui::DialogButtons buttons =
        ui::makeDialogButtons(this, QStringLiteral("&Merge"), QStringLiteral("Cancel"));
    cmdMerge = buttons.Command1;
    cmdCancel = buttons.Command2;
    cmdMerge->setObjectName(QStringLiteral("cmdMerge"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(scroll, 1);
    layout->addWidget(remarksLabel);
    layout->addWidget(txtRemarks);
    layout->addWidget(buttons.box);
    connect(cmdMerge, &QPushButton::clicked, this, &frmMerge::cmdMerge_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    opt_Toggled();

    // Small enough for any screen, yet with the text and a few rows of choices readable.
    setMinimumSize(ui::twipsToPixels(7200), ui::twipsToPixels(6480));
    // As large as the choices need, within the screen; the grid scrolls beyond that.
    const QSize grid = scroll->widget()->sizeHint();
    const int frame = 2 * scroll->frameWidth() + scroll->verticalScrollBar()->sizeHint().width();
    const QRect screen =
        (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    resize(std::min(std::max(grid.width() + frame + layout->contentsMargins().left() +
                                 layout->contentsMargins().right(),
                             sizeHint().width()),
                    screen.width() * 9 / 10),
           std::min(sizeHint().height() - scroll->sizeHint().height() + grid.height() + frame,
                    screen.height() * 9 / 10));
}

QWidget* frmMerge::buildGrid() {
    auto* holder = new QWidget;
    auto* grid = new QGridLayout(holder);
    grid->setHorizontalSpacing(16);
    for (int c = 0; c < m_plan.contacts.size(); ++c) {
        const tidy::MergeContact& contact = m_plan.contacts[c];
        auto* head =
            new QLabel(QStringLiteral("<b>%1</b>%2")
                           .arg(contact.name.isEmpty() ? QStringLiteral("(no name)")
                                                       : contact.name.toHtmlEscaped(),
                                c == 0 ? QStringLiteral("<br>kept, with its UID") : QString()),
                       holder);
        head->setObjectName(QStringLiteral("lblContact_%1").arg(c));
        head->setToolTip(QStringLiteral("UID ") + contact.uid);
        grid->addWidget(head, 0, c + 1);
    }
    int row = 1;
    for (const tidy::MergeField& field : m_plan.fields) {
        if (anyValue(field.values))
            addChoiceRow(grid, row++, field);
        else
            m_fieldChoices.append(nullptr); // nothing to choose; stays empty
    }
    const bool anyPhoto = std::any_of(m_plan.photos.begin(), m_plan.photos.end(),
                                      [](const QByteArray& photo) { return !photo.isEmpty(); });
    if (anyPhoto)
        addPhotoRow(grid, row++);
    if (anyValue(m_plan.remarks)) {
        grid->addWidget(new QLabel(QStringLiteral("Remarks (all kept)"), holder), row, 0,
                        Qt::AlignTop);
        for (int c = 0; c < m_plan.remarks.size(); ++c) {
            auto* remark = new QLabel(m_plan.remarks[c], holder);
            remark->setTextFormat(Qt::PlainText);
            remark->setWordWrap(true);
            grid->addWidget(remark, row, c + 1, Qt::AlignTop);
        }
        ++row;
    }
    grid->setRowStretch(row, 1);
    return holder;
}

void frmMerge::addChoiceRow(QGridLayout* grid, int row, const tidy::MergeField& field) {
    QWidget* holder = grid->parentWidget();
    grid->addWidget(new QLabel(field.caption, holder), row, 0);
    auto* group = new QButtonGroup(this);
    for (int c = 0; c < field.values.size(); ++c) {
        const QString value = field.values[c].trimmed();
        auto* choice = new QRadioButton(
            value.isEmpty() ? QStringLiteral("(empty)") : choiceText(value), holder);
        choice->setObjectName(QStringLiteral("opt_%1_%2").arg(field.field).arg(c));
        choice->setToolTip(value);
        // An empty cell is no value to keep: its row keeps one of the others.
        choice->setEnabled(!value.isEmpty());
        choice->setChecked(c == field.chosen);
        group->addButton(choice, c);
        grid->addWidget(choice, row, c + 1);
    }
    connect(group, &QButtonGroup::idToggled, this, &frmMerge::opt_Toggled);
    m_fieldChoices.append(group);
}

void frmMerge::addPhotoRow(QGridLayout* grid, int row) {
    QWidget* holder = grid->parentWidget();
    grid->addWidget(new QLabel(QStringLiteral("Photo"), holder), row, 0);
    m_photoChoice = new QButtonGroup(this);
    for (int c = 0; c < m_plan.photos.size(); ++c) {
        const QByteArray& photo = m_plan.photos[c];
        auto* choice =
            new QRadioButton(photo.isEmpty() ? QStringLiteral("(none)") : QString(), holder);
        choice->setObjectName(QStringLiteral("optPhoto_%1").arg(c));
        if (!photo.isEmpty()) {
            const QPixmap small = thumbnail(photo);
            choice->setIcon(small);
            choice->setIconSize(small.isNull() ? QSize() : small.size());
            if (small.isNull())
                choice->setText(QStringLiteral("(cannot be shown)"));
        }
        choice->setEnabled(!photo.isEmpty());
        choice->setChecked(c == m_plan.chosenPhoto);
        m_photoChoice->addButton(choice, c);
        grid->addWidget(choice, row, c + 1);
    }
    connect(m_photoChoice, &QButtonGroup::idToggled, this, &frmMerge::opt_Toggled);
}

void frmMerge::opt_Toggled() {
    for (int f = 0; f < m_plan.fields.size(); ++f) {
        if (m_fieldChoices[f] && m_fieldChoices[f]->checkedId() >= 0)
            m_plan.fields[f].chosen = m_fieldChoices[f]->checkedId();
    }
    if (m_photoChoice && m_photoChoice->checkedId() >= 0)
        m_plan.chosenPhoto = m_photoChoice->checkedId();
    txtRemarks->setPlainText(tidy::mergedRemarks(m_plan));
}

void frmMerge::cmdMerge_Click() {
    opt_Toggled();
    try {
        m_mergedId = tidy::applyMerge(m_db, m_plan);
    } catch (const PlatformError& error) {
        ui::MessageBoxService::inform(QStringLiteral("The contacts were not merged: ") +
                                          error.description(),
                                      Caption, ui::Icon::Exclamation, this);
        return;
    }
    accept();
}

bool runMerge(AppContext& app, const QVector<qint64>& ids, QWidget* parent) {
    if (ids.size() < 2)
        return false;
    frmMain& main = app.mainWindow();
    if (!main.writePendingCard(parent))
        return false;
    qint64 merged = 0;
    try {
        const auto db = engine::Database::open(main.data().databaseName());
        tidy::MergePlan plan = tidy::planMerge(*db, ids);
        if (plan.contacts.size() < 2)
            return false;
        frmMerge window(*db, std::move(plan), parent);
        if (ui::Modal::exec(window) != QDialog::Accepted || window.mergedId() == 0)
            return false;
        merged = window.mergedId();
    } catch (const PlatformError& error) {
        ui::MessageBoxService::inform(QStringLiteral("The contacts cannot be merged: ") +
                                          error.description(),
                                      Caption, ui::Icon::Exclamation, parent);
        return false;
    }
    // The merged contact on the card, in the view the user was in.
    CardPlace place = cardPlace(main);
    place.contact = merged;
    try {
        reopenAt(main, place);
    } catch (const PlatformError&) {
        // The merge is stored; a failed re-query leaves the book closed until the next view.
    }
    return true;
}

} // namespace quillory
