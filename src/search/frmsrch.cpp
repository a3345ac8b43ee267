#include "search/frmsrch.h"

#include "core/AppContext.h"
#include "core/ContactRecord.h"
#include "core/FieldBinder.h"
#include "core/frmMain.h"
#include "core/GridModel.h"
#include "core/StatusPanels.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

namespace quillory {

namespace {

struct SearchField {
    const char* caption;
    const char* field;
};

constexpr std::array<SearchField, 6> SearchFields = {{{"Last Name", "name"},
                                                      {"First Name", "namef"},
                                                      {"Street Address", "address1"},
                                                      {"City", "city"},
                                                      {"Zip Code", "zip"},
                                                      {"Email", "email"}}};

const QStringList& operators() {
    static const QStringList list = {
        QStringLiteral("Like"), QStringLiteral("="),  QStringLiteral("<>"), QStringLiteral("<"),
        QStringLiteral(">"),    QStringLiteral("=>"), QStringLiteral("<=")};
    return list;
}

void tell(QWidget* parent, const QString& text) {
    ui::MessageBoxService::show({text, ui::Buttons::Ok, ui::Icon::None, 0, {}}, parent);
}

template <typename Step> void passOver(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

QString quoted(QString text) {
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

const QString OperatorMissing =
    QStringLiteral("You must first enter an 'operator' and a 'search string'.");

} // namespace

QString frmsrch::findCriterion(const QString& field, const QString& op, const QString& text,
                               const QString& wildcard) {
    return (QStringLiteral("[") + field + QStringLiteral("] ") + op + QStringLiteral(" '") +
            quoted(text) + wildcard + QStringLiteral("'"))
        .trimmed();
}

frmsrch::frmsrch(AppContext& app, QWidget* parent)
    : QDialog(parent), Data1(new engine::DataSource(this)), m_app(app) {
    setObjectName(QStringLiteral("frmsrch"));
    setWindowTitle(QStringLiteral("Search"));
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setConnect(QStringLiteral("Access 2000;"));
    Data1->setRecordSource(contact::source::Table);
    m_binder = new FieldBinder(*Data1, this);

    // Where, operator, string and the two buttons stand left; the list of names right.
    Frame1 = new QGroupBox(QStringLiteral("Where"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* whereLayout = new QGridLayout(Frame1);
    for (int i = 0; i < int(SearchFields.size()); ++i) {
        auto* option =
            new QRadioButton(QString::fromLatin1(SearchFields[size_t(i)].caption), Frame1);
        option->setObjectName(QStringLiteral("opt_%1").arg(i));
        opt[size_t(i)] = option;
        whereLayout->addWidget(option, i % 3, i / 3);
    }
    opt[0]->setChecked(true);

    auto* isLabel = new QLabel(QStringLiteral("Is"), this);
    cboOpList = new QComboBox(this);
    cboOpList->setObjectName(QStringLiteral("cboOpList"));
    cboOpList->addItems(operators());
    auto* stringLabel = new QLabel(QStringLiteral("Search string"), this);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    isLabel->setBuddy(cboOpList);
    stringLabel->setBuddy(Text1);

    Command1 = new QPushButton(QStringLiteral("&Find it"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("&Close"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command5 = new QPushButton(QStringLiteral("Find &Next"), this);
    Command5->setObjectName(QStringLiteral("Command5"));

    lblInstructions = new QLabel(
        QStringLiteral(
            "Select the item you want to search for in the \"Where\" box and then select "
            "the operator in the drop down list.  Type in the STRING you want to find and "
            "click on \"Find it\".  If it finds a match it will show that record in the "
            "Grid to the right. Scroll down and select the Name you would like to open."),
        this);
    lblInstructions->setObjectName(QStringLiteral("lblInstructions"));
    lblInstructions->setWordWrap(true);
    lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInstructions->setStyleSheet(QStringLiteral("color: #34495e;"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Select Name"));
    DBGrid1->setToolTip(QStringLiteral("Click on the Name you would like to jump to in the book."));
    auto* model = new GridModel(*Data1,
                                {{QStringLiteral("Last Name"), QStringLiteral("name")},
                                 {QStringLiteral("First Name"), QStringLiteral("namef")}},
                                DBGrid1);
    model->setEditable(false);
    DBGrid1->setModel(model);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The two columns share the grid's width, so no horizontal scroll bar is ever needed.
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    DBGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->setMinimumWidth(ui::twipsToPixels(3400));
    auto* gridCaption = new QLabel(QStringLiteral("Select Name"), this);
    QFont captionFont = gridCaption->font();
    captionFont.setBold(true);
    gridCaption->setFont(captionFont);

    auto* left = new QVBoxLayout;
    left->addWidget(Frame1);
    auto* entry = new QGridLayout;
    entry->addWidget(isLabel, 0, 0);
    entry->addWidget(cboOpList, 0, 1);
    entry->addWidget(stringLabel, 1, 0);
    entry->addWidget(Text1, 1, 1);
    left->addLayout(entry);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command5);
    buttons->addWidget(Command2);
    left->addLayout(buttons);
    left->addWidget(lblInstructions, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(gridCaption);
    right->addWidget(DBGrid1, 1);
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);

    // The confirmation panel covers the whole dialog when shown.
    Frame2 = new QFrame(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Frame2->setAutoFillBackground(true);
    auto* confirm = new QVBoxLayout(Frame2);
    auto* question =
        new QLabel(QStringLiteral("Are you looking for the following individual?"), Frame2);
    QFont questionFont = question->font();
    questionFont.setBold(true);
    questionFont.setPointSizeF(questionFont.pointSizeF() * 1.2);
    question->setFont(questionFont);
    question->setAlignment(Qt::AlignCenter);
    confirm->addWidget(question);
    lblName = new QLineEdit(QStringLiteral("Unknown"), Frame2);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblName->setReadOnly(true);
    lblName->setAlignment(Qt::AlignCenter);
    QFont nameFont = lblName->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
    lblName->setFont(nameFont);
    m_binder->bind(lblName, QStringLiteral("extra8"));
    confirm->addWidget(lblName);
    auto* details = new QFormLayout;
    const std::array<SearchField, 6> confirmed = {{{"Name:", "extra8"},
                                                   {"Address1:", "address1"},
                                                   {"Address2:", "address2"},
                                                   {"City:", "city"},
                                                   {"State:", "state"},
                                                   {"Zip code:", "zip"}}};
    for (size_t i = 0; i < confirmed.size(); ++i) {
        const QString field = QString::fromLatin1(confirmed[i].field);
        auto* box = new QLineEdit(QStringLiteral("Unknown"), Frame2);
        box->setObjectName(QStringLiteral("txtConfirm_") + field);
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
        m_binder->bind(box, field);
        confirmBoxes[i] = box;
        details->addRow(QString::fromLatin1(confirmed[i].caption), box);
    }
    confirm->addLayout(details);
    confirm->addStretch();
    auto* answers = new QHBoxLayout;
    Command3 = new QPushButton(QStringLiteral("YES, this is the one!"), Frame2);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command4 = new QPushButton(QStringLiteral("NO, I need to search again!"), Frame2);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command6 = new QPushButton(QStringLiteral("Ne&xt match"), Frame2);
    Command6->setObjectName(QStringLiteral("Command6"));
    answers->addStretch();
    answers->addWidget(Command3);
    answers->addWidget(Command6);
    answers->addWidget(Command4);
    answers->addStretch();
    confirm->addLayout(answers);
    Frame2->hide();

    // Working fields the dialog keeps for itself.
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->hide();
    lbloplist = new QLabel(this);
    lbloplist->setObjectName(QStringLiteral("lbloplist"));
    lbloplist->hide();
    txtWhere = new QLineEdit(this);
    txtWhere->setObjectName(QStringLiteral("txtWhere"));
    txtWhere->hide();
    lblWhere = new QLabel(this);
    lblWhere->setObjectName(QStringLiteral("lblWhere"));
    lblWhere->hide();

    connect(cboOpList, &QComboBox::activated, this, &frmsrch::cboOpList_Click);
    connect(Command1, &QPushButton::clicked, this, &frmsrch::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmsrch::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmsrch::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmsrch::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmsrch::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &frmsrch::Command5_Click);
    connect(Data1, &engine::DataSource::repositioned, this, &frmsrch::Data1_Reposition);
    connect(DBGrid1, &QTableView::clicked, this,
            [this](const QModelIndex& index) { DBGrid1_RowClick(index.row()); });
    connect(DBGrid1, &QTableView::activated, this,
            [this](const QModelIndex& index) { DBGrid1_RowClick(index.row()); });

    resize(ui::twipsToPixels(6105) + 160, ui::twipsToPixels(4290) + 40);
    // The wrapped instructions ask for more height the narrower the dialog is, which the layout
    // does not enforce: below this size the "Where" options were drawn over one another.
    setMinimumSize(size());
}

frmsrch::~frmsrch() {
    Form_Unload();
}

frmMain& frmsrch::main() const {
    return m_app.mainWindow();
}

bool frmsrch::Form_Load() {
    // The re-query below would drop what the user typed on the main window's card: it is
    // written first, and the dialog does not open when it cannot be.
    if (!main().writePendingCard())
        return false;
    m_before = cardPlace(main());
    engine::DataSource& book = *main().Data1;
    // The main window's card follows the dialog while it is open; its status panel follows too,
    // so it never names a contact the card no longer shows.
    connect(&book, &engine::DataSource::repositioned, this, [this] {
        if (m_app.hasMainWindow())
            main().ShowContactStatus();
    });
    const QString path = m_app.folder().file(contact::file::Book);
    // The main window browses the whole book in stored order while the dialog is open.
    passOver([&] {
        book.setDatabaseName(path);
        book.setRecordSource(contact::source::StoredOrder);
        book.refresh();
    });
    main().StatusBar1->setPanelText(StatusPanels::View, QStringLiteral("All Contacts"));
    if (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    // "Like" shows at opening and counts as picked, so a first search works as it looks.
    cboOpList->setCurrentIndex(0);
    cboOpList_Click(0);
    passOver([&] {
        Data1->setDatabaseName(path);
        Data1->refresh();
    });
    ui::CenterForm(*this);
    // The user types the search string first.
    Text1->setFocus();
    return true;
}

void frmsrch::cboOpList_Click(int index) {
    const QString op = cboOpList->itemText(index);
    lbloplist->setText(op);
    Text2->setText(op == QLatin1String("Like") ? QStringLiteral("*") : QString());
}

void frmsrch::takeCriterion() {
    QString field;
    for (size_t i = 0; i < opt.size(); ++i) {
        if (opt[i]->isChecked())
            field = QString::fromLatin1(SearchFields[i].field);
    }
    if (!field.isEmpty()) {
        const int at = cboOpList->currentIndex();
        const QString op = at >= 0 ? cboOpList->itemText(at) : QString();
        m_criterion = findCriterion(field, op, Text1->text(), Text2->text());
    }
    txtWhere->setText(m_criterion);
    lblWhere->setText(m_criterion);
}

void frmsrch::Command1_Click() {
    takeCriterion();
    engine::DataSource& book = *main().Data1;
    try {
        book.findFirst(m_criterion);
    } catch (const PlatformError& error) {
        if (error.number() == ErrorNumber::EngineSyntax) {
            tell(this, OperatorMissing);
            return;
        }
    }
    passOver([&] { Data1->findFirst(m_criterion); });
    if (!book.isOpen() || book.noMatch()) {
        tell(this,
             QStringLiteral("No match could be found. Try using the 'Like' operator! If you have "
                            "used the 'Like' operator, then try to shorten the search string. "
                            "It will match the first few characters in the string."));
        return;
    }
    m_searched = m_criterion;
    showConfirmation();
}

void frmsrch::Command5_Click() {
    takeCriterion();
    const qint64 from = Data1->rowId();
    // A search changed since the last find starts from the top, as "&Find it" does.
    if (m_criterion != m_searched || from < 0) {
        Command1_Click();
        return;
    }
    // The list stands in stored order, the order of the row ids: the next match is the first
    // one with a larger id.
    try {
        Data1->findFirst(QStringLiteral("(%1) AND rowid > %2").arg(m_criterion).arg(from));
    } catch (const PlatformError& error) {
        if (error.number() == ErrorNumber::EngineSyntax)
            tell(this, OperatorMissing);
        return;
    }
    if (Data1->noMatch()) {
        tell(this, QStringLiteral("There are no more matches."));
        return;
    }
    showConfirmation();
}

void frmsrch::DBGrid1_RowClick(int row) {
    if (row < 0)
        return;
    passOver([&] {
        if (row != Data1->absolutePosition())
            Data1->moveTo(row);
    });
    showConfirmation();
}

void frmsrch::Data1_Reposition() {
    showCurrentRow();
    // The main window follows by the row id, not the full name: of two people with the same
    // name, the card then shows the one the confirmation panel shows.
    const qint64 contact = Data1->rowId();
    if (contact >= 0 && m_app.hasMainWindow())
        passOver([&] { moveToContact(*main().Data1, contact); });
}

void frmsrch::showConfirmation() {
    Frame2->setGeometry(rect());
    Frame2->raise();
    Frame2->show();
    Command3->setDefault(true);
    Command3->setFocus();
}

void frmsrch::showCurrentRow() {
    const int row = Data1->absolutePosition();
    if (row < 0 || row >= DBGrid1->model()->rowCount())
        return;
    const QModelIndex index = DBGrid1->model()->index(row, 0);
    DBGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    DBGrid1->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void frmsrch::Command3_Click() {
    accept();
}

void frmsrch::Command2_Click() {
    reject();
}

void frmsrch::Command4_Click() {
    Frame2->hide();
    Command1->setDefault(true);
    Text1->setFocus();
}

void frmsrch::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    Data1->setDatabaseName(QString());
    Data1->close();
}

void frmsrch::done(int result) {
    // The main window goes back to the view it was in, so its order, its letter index and its
    // status texts agree again, on the contact confirmed or, after "&Close", the one it showed.
    std::optional<CardPlace> back = std::exchange(m_before, std::nullopt);
    if (back && result == QDialog::Accepted && Data1->rowId() >= 0)
        back->contact = Data1->rowId();
    Form_Unload();
    if (back && m_app.hasMainWindow())
        passOver([&] { reopenAt(main(), *back); });
    QDialog::done(result);
}

void frmsrch::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Frame2->setGeometry(rect());
}

void registerSearchCommands(AppContext& app) {
    app.commands().add(QStringLiteral("search"), [&app](CommandOrigin) {
        frmsrch dialog(app, &app.mainWindow());
        if (dialog.Form_Load())
            ui::Modal::exec(dialog);
    });
}

} // namespace quillory
