#include "exchange/ui/frmImport.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "exchange/ui/BackgroundRun.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillory {

namespace {

using exchange::ColumnTarget;
using Kind = ColumnTarget::Kind;

const QString Caption = QStringLiteral("Import Contacts");

// Where a column can go, as the user reads it: the book's fields and the targets that take a
// column apart, then the remarks and nowhere.
struct TargetChoice {
    QString label;
    ColumnTarget target;
};

const QList<TargetChoice>& targetChoices() {
    static const QList<TargetChoice> choices = [] {
        QList<TargetChoice> list;
        for (const exchange::FieldChoice& choice : exchange::fieldChoices())
            list.append({choice.caption, {Kind::Field, choice.field}});
        list.append({QStringLiteral("Keep in remarks"), {Kind::Remarks, {}}});
        list.append({QStringLiteral("Leave out"), {Kind::Ignore, {}}});
        return list;
    }();
    return choices;
}

QComboBox* targetBox(const ColumnTarget& current, QWidget* parent) {
    auto* box = new QComboBox(parent);
    int selected = -1;
    for (const TargetChoice& choice : targetChoices()) {
        box->addItem(choice.label);
        if (choice.target == current ||
            (current.kind != Kind::Field && choice.target.kind == current.kind))
            selected = box->count() - 1;
    }
    if (selected < 0) {
        // A field the list does not name is kept as it was detected.
        box->addItem(current.field);
        selected = box->count() - 1;
    }
    box->setCurrentIndex(selected);
    return box;
}

ColumnTarget targetOf(const QComboBox* box, const ColumnTarget& detected) {
    const int index = box->currentIndex();
    if (index >= 0 && index < targetChoices().size())
        return targetChoices()[index].target;
    return detected;
}

QString formatName(const exchange::Preview& preview) {
    if (preview.format == exchange::Format::VCard)
        return QStringLiteral("vCard");
    const QString separator = preview.separator == '\t'  ? QStringLiteral("tab")
                              : preview.separator == ';' ? QStringLiteral("semicolon")
                                                         : QStringLiteral("comma");
    return QStringLiteral("CSV (%1 layout, %2 separated)").arg(preview.layout, separator);
}

// The columns of the first contacts, as the card will show them.
const QList<std::pair<QString, QString>>& previewColumns() {
    static const QList<std::pair<QString, QString>> columns = {
        {QStringLiteral("Last Name"), QStringLiteral("name")},
        {QStringLiteral("First Name"), QStringLiteral("namef")},
        {QStringLiteral("Home Phone"), QStringLiteral("phone")},
        {QStringLiteral("Work Phone"), QStringLiteral("phone2")},
        {QStringLiteral("E-mail"), QStringLiteral("email")},
        {QStringLiteral("City"), QStringLiteral("city")},
        {QStringLiteral("Contact Type"), QStringLiteral("extra4")},
        {QStringLiteral("Remarks"), QStringLiteral("remarks")}};
    return columns;
}

QTableWidget* table(const char* name, QWidget* parent) {
    auto* grid = new QTableWidget(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setWordWrap(false);
    return grid;
}

} // namespace

frmImport::frmImport(AppContext& app, QWidget* parent)
    : QDialog(parent), m_app(app), m_duplicates(new QButtonGroup(this)),
      m_types(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(Caption);

    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    txtFile->setReadOnly(true);
    txtFile->setPlaceholderText(QStringLiteral("Choose a vCard (.vcf) or CSV (.csv) file"));
    fileLabel->setBuddy(txtFile);
    cmdChoose = new QPushButton(QStringLiteral("&Choose..."), this);
    cmdChoose->setObjectName(QStringLiteral("cmdChoose"));
    auto* formatLabel = new QLabel(QStringLiteral("F&ormat:"), this);
    cboFormat = new QComboBox(this);
    cboFormat->setObjectName(QStringLiteral("cboFormat"));
    cboFormat->addItem(QStringLiteral("Automatic"), int(exchange::Format::Unknown));
    cboFormat->addItem(QStringLiteral("vCard"), int(exchange::Format::VCard));
    cboFormat->addItem(QStringLiteral("CSV"), int(exchange::Format::Csv));
    formatLabel->setBuddy(cboFormat);
    lblFormat = new QLabel(this);
    lblFormat->setObjectName(QStringLiteral("lblFormat"));
    lblFormat->setTextFormat(Qt::PlainText);
    lblFormat->setWordWrap(true);

    fraMapping = new QGroupBox(QStringLiteral("Where each column of the file goes"), this);
    fraMapping->setObjectName(QStringLiteral("fraMapping"));
    grdMapping = table("grdMapping", fraMapping);
    grdMapping->setColumnCount(3);
    grdMapping->setHorizontalHeaderLabels({QStringLiteral("Column in the file"),
                                           QStringLiteral("Goes to"),
                                           QStringLiteral("First value")});
    grdMapping->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    grdMapping->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    grdMapping->horizontalHeader()->setStretchLastSection(true);
    (new QVBoxLayout(fraMapping))->addWidget(grdMapping);

    auto* previewFrame =
        new QGroupBox(QStringLiteral("The first contacts, as they will be stored"), this);
    grdPreview = table("grdPreview", previewFrame);
    grdPreview->setColumnCount(int(previewColumns().size()));
    QStringList headers;
    for (const auto& [caption, field] : previewColumns())
        headers << caption;
    grdPreview->setHorizontalHeaderLabels(headers);
    grdPreview->horizontalHeader()->setStretchLastSection(true);
    (new QVBoxLayout(previewFrame))->addWidget(grdPreview);

    fraDuplicates = new QGroupBox(QStringLiteral("Contacts the book already has (the same UID, or "
                                                 "the same name and a phone or e-mail shared)"),
                                  this);
    fraDuplicates->setObjectName(QStringLiteral("fraDuplicates"));
    auto option = [this](const char* name, const QString& caption, exchange::OnDuplicate value) {
        auto* button = new QRadioButton(caption, fraDuplicates);
        button->setObjectName(QString::fromLatin1(name));
        m_duplicates->addButton(button, int(value));
        return button;
    };
    optSkip = option("optSkip", QStringLiteral("&Skip them"), exchange::OnDuplicate::Skip);
    optAdd = option("optAdd", QStringLiteral("Import them &anyway"), exchange::OnDuplicate::Add);
    optUpdate = option("optUpdate", QStringLiteral("&Update the book's contacts from the file"),
                       exchange::OnDuplicate::Update);
    optSkip->setChecked(true);
    auto* duplicates = new QHBoxLayout(fraDuplicates);
    duplicates->addWidget(optSkip);
    duplicates->addWidget(optAdd);
    duplicates->addWidget(optUpdate);
    duplicates->addStretch(1);

    fraTypes = new QGroupBox(QStringLiteral("Contact type, where the file gives none"), this);
    fraTypes->setObjectName(QStringLiteral("fraTypes"));
    auto type = [this](const char* name, const QString& caption,
                       exchange::ContactTypeChoice value) {
        auto* button = new QRadioButton(caption, fraTypes);
        button->setObjectName(QString::fromLatin1(name));
        m_types->addButton(button, int(value));
        return button;
    };
    optTypeAuto = type("optTypeAuto",
                       QStringLiteral("Au&tomatic: business for a company or work phones only"),
                       exchange::ContactTypeChoice::Automatic);
    optTypePersonal = type("optTypePersonal", QStringLiteral("All &personal"),
                           exchange::ContactTypeChoice::Personal);
    optTypeBusiness = type("optTypeBusiness", QStringLiteral("All &business"),
                           exchange::ContactTypeChoice::Business);
    optTypeAuto->setChecked(true);
    connect(m_types, &QButtonGroup::idClicked, this, &frmImport::showFirstContacts);
    auto* types = new QHBoxLayout(fraTypes);
    types->addWidget(optTypeAuto);
    types->addWidget(optTypePersonal);
    types->addWidget(optTypeBusiness);
    types->addStretch(1);

    prgImport = new QProgressBar(this);
    prgImport->setObjectName(QStringLiteral("prgImport"));
    prgImport->hide();
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    cmdImport = new QPushButton(QStringLiteral("&Import"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setEnabled(false);
    cmdImport->setDefault(true);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdChoose);
    fileRow->addWidget(formatLabel);
    fileRow->addWidget(cboFormat);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgImport, 1);
    buttons->addWidget(lblStatus, 1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(lblFormat);
    layout->addWidget(fraMapping, 3);
    layout->addWidget(previewFrame, 2);
    layout->addWidget(fraDuplicates);
    layout->addWidget(fraTypes);
    layout->addLayout(buttons);

    m_run = new exchange::BackgroundRun(prgImport, this);
    connect(m_run, &exchange::BackgroundRun::finished, this, &frmImport::importFinished);
    connect(cmdChoose, &QPushButton::clicked, this, &frmImport::cmdChoose_Click);
    connect(cboFormat, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_path.isEmpty())
            openFile(m_path);
    });
    connect(cmdImport, &QPushButton::clicked, this, &frmImport::cmdImport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmImport::cmdClose_Click);

    fraMapping->hide();
    // Small enough for a small screen, large enough that both tables show a few rows.
    grdMapping->setMinimumHeight(5 * fontMetrics().lineSpacing() + 20);
    grdPreview->setMinimumHeight(4 * fontMetrics().lineSpacing() + 20);
    setMinimumWidth(ui::twipsToPixels(9000));
    resize(ui::twipsToPixels(11000), ui::twipsToPixels(9600));
}

frmImport::~frmImport() {
    m_run->stop();
}

void frmImport::Form_Load() {
    ui::CenterForm(*this);
}

bool frmImport::isImporting() const {
    return m_run->isRunning();
}

void frmImport::cmdChoose_Click() {
    const QString start = m_path.isEmpty() ? QDir::homePath() : QFileInfo(m_path).absolutePath();
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Choose the contacts to import"), start,
        QStringLiteral("Contact files (*.vcf *.vcard *.csv *.txt);;vCard files (*.vcf *.vcard);;"
                       "CSV files (*.csv *.txt);;All files (*)"));
    if (!path.isEmpty())
        openFile(path);
}

void frmImport::openFile(const QString& path) {
    m_path = path;
    txtFile->setText(QDir::toNativeSeparators(path));
    m_readable = false;
    m_showingMapping = false;
    try {
        showPreview(exchange::preview(path, readOptions()));
        m_readable = true;
    } catch (const PlatformError& error) {
        m_format = exchange::Format::Unknown;
        lblFormat->setText(error.description());
        fraMapping->hide();
        m_first.clear();
        grdPreview->setRowCount(0);
    }
    lblStatus->clear();
    cmdImport->setEnabled(m_readable);
}

void frmImport::showPreview(const exchange::Preview& preview) {
    m_format = preview.format;
    const QLocale locale;
    QString text = QStringLiteral("%1, %2, %3 contact%4")
                       .arg(formatName(preview), preview.encoding, locale.toString(preview.records),
                            preview.records == 1 ? QString() : QStringLiteral("s"));
    if (!preview.problems.isEmpty())
        text += QStringLiteral("; %1 record%2 cannot be read and will be left out (the first: "
                               "line %3, %4)")
                    .arg(locale.toString(preview.problems.size()),
                         preview.problems.size() == 1 ? QString() : QStringLiteral("s"))
                    .arg(preview.problems.first().line)
                    .arg(preview.problems.first().reason);
    lblFormat->setText(text + u'.');

    const bool csv = preview.format == exchange::Format::Csv;
    fraMapping->setVisible(csv);
    if (csv && !m_showingMapping)
        showMapping(preview);

    m_first = preview.first;
    showFirstContacts();
}

void frmImport::showFirstContacts() {
    const auto type = exchange::ContactTypeChoice(m_types->checkedId());
    grdPreview->setRowCount(int(m_first.size()));
    for (int row = 0; row < m_first.size(); ++row) {
        exchange::Contact contact = m_first[row].contact;
        contact.fields.insert(QStringLiteral("extra4"), exchange::importedType(contact, type));
        for (int column = 0; column < previewColumns().size(); ++column) {
            QString value = contact.value(previewColumns()[column].second);
            value.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
            value.replace(u'\n', QStringLiteral(" / "));
            grdPreview->setItem(row, column, new QTableWidgetItem(value));
        }
    }
    grdPreview->resizeColumnsToContents();
}

void frmImport::showMapping(const exchange::Preview& preview) {
    const exchange::Mapping& mapping = preview.mapping;
    m_showingMapping = true;
    // The first value of each column, straight from the file, helps to tell columns apart.
    const QStringList& firstValues = preview.firstValues;

    grdMapping->setRowCount(int(mapping.size()));
    for (int row = 0; row < mapping.size(); ++row) {
        grdMapping->setItem(row, 0, new QTableWidgetItem(mapping[row].column));
        QComboBox* box = targetBox(mapping[row].target, grdMapping);
        box->setProperty("detectedField", mapping[row].target.field);
        box->setProperty("detectedKind", int(mapping[row].target.kind));
        grdMapping->setCellWidget(row, 1, box);
        connect(box, &QComboBox::currentIndexChanged, this, &frmImport::mappingChanged);
        QString first = firstValues.value(row);
        first.replace(u'\n', QStringLiteral(" / "));
        grdMapping->setItem(row, 2, new QTableWidgetItem(first));
    }
    grdMapping->resizeColumnToContents(0);
    grdMapping->resizeColumnToContents(1);
}

exchange::ReadOptions frmImport::readOptions() const {
    exchange::ReadOptions options;
    options.format = exchange::Format(cboFormat->currentData().toInt());
    return options;
}

exchange::Mapping frmImport::mapping() const {
    exchange::Mapping result;
    for (int row = 0; row < grdMapping->rowCount(); ++row) {
        const auto* box = qobject_cast<const QComboBox*>(grdMapping->cellWidget(row, 1));
        const ColumnTarget detected{Kind(box->property("detectedKind").toInt()),
                                    box->property("detectedField").toString()};
        result.append({grdMapping->item(row, 0)->text(), targetOf(box, detected)});
    }
    return result;
}

void frmImport::mappingChanged() {
    exchange::ReadOptions options = readOptions();
    options.mapping = mapping();
    try {
        showPreview(exchange::preview(m_path, options));
    } catch (const PlatformError& error) {
        lblFormat->setText(error.description());
    }
}

void frmImport::setBusy(bool busy) {
    for (QWidget* control : std::initializer_list<QWidget*>{cmdChoose, cboFormat, fraMapping,
                                                            fraDuplicates, fraTypes, cmdImport})
        control->setEnabled(!busy);
    cmdClose->setText(busy ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    lblStatus->setVisible(!busy);
}

void frmImport::cmdImport_Click() {
    if (!m_readable || isImporting())
        return;
    frmMain& main = m_app.mainWindow();
    // The card's typing goes into the book before the book takes in the file.
    if (!main.writePendingCard(this))
        return;
    exchange::ImportOptions options;
    options.onDuplicate = exchange::OnDuplicate(m_duplicates->checkedId());
    options.contactType = exchange::ContactTypeChoice(m_types->checkedId());
    if (m_format == exchange::Format::Csv)
        options.read.mapping = mapping();
    options.read.format = m_format;
    const QString book = main.data().databaseName();
    const QString path = m_path;
    m_summary = {};
    setBusy(true);
    m_run->start([this, book, path, options](const exchange::BackgroundRun::Progress& progress) {
        exchange::ImportOptions withProgress = options;
        withProgress.progress = progress;
        m_summary = exchange::importFile(book, path, withProgress);
    });
}

void frmImport::importFinished(const QString& error) {
    setBusy(false);
    frmMain& main = m_app.mainWindow();
    if (!error.isEmpty()) {
        lblStatus->setText(QStringLiteral("Nothing was imported."));
        ui::MessageBoxService::show({QStringLiteral("Nothing was imported: ") + error,
                                     ui::Buttons::Ok, ui::Icon::Exclamation, 0, Caption},
                                    this);
        Q_EMIT importEnded();
        return;
    }
    if (m_summary.cancelled) {
        lblStatus->setText(QStringLiteral("Cancelled: the book is as it was."));
        Q_EMIT importEnded();
        return;
    }
    main.showBookAgain();
    lblStatus->setText(QStringLiteral("Imported %1.").arg(m_summary.imported));
    ui::MessageBoxService::show(
        {m_summary.text(), ui::Buttons::Ok,
         m_summary.unreadable.isEmpty() ? ui::Icon::Information : ui::Icon::Exclamation, 0,
         Caption},
        this);
    Q_EMIT importEnded();
}

void frmImport::cmdClose_Click() {
    reject();
}

void frmImport::reject() {
    // Leaving while the work runs cancels it, and the dialog stays until it has stopped.
    if (m_run->cancelIfRunning())
        return;
    QDialog::reject();
}

} // namespace quillory
