#include "exchange/ui/frmExport.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "exchange/ui/BackgroundRun.h"
#include "platform/engine/DataSource.h"
#include "platform/files/OwnFiles.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace quillory {

namespace {

const QString Caption = QStringLiteral("Export Contacts");

enum FormatChoice { VCard4, VCard3, VCard21, Csv };

QString suffixOf(int format) {
    return format == Csv ? QStringLiteral("csv") : QStringLiteral("vcf");
}

} // namespace

frmExport::frmExport(AppContext& app, QWidget* parent)
    : QDialog(parent), m_app(app), m_scopes(new QButtonGroup(this)),
      m_formats(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(Caption);

    fraScope = new QGroupBox(QStringLiteral("Which contacts"), this);
    auto scope = [this](const char* name, const QString& caption, exchange::ExportScope value) {
        auto* button = new QRadioButton(caption, fraScope);
        button->setObjectName(QString::fromLatin1(name));
        m_scopes->addButton(button, int(value));
        return button;
    };
    optWhole =
        scope("optWhole", QStringLiteral("The &whole book"), exchange::ExportScope::WholeBook);
    optView = scope("optView", QStringLiteral("The contacts &shown now"),
                    exchange::ExportScope::RecordSource);
    optMarked = scope("optMarked", QStringLiteral("The contacts &marked for printing"),
                      exchange::ExportScope::FlaggedForPrinting);
    optWhole->setChecked(true);
    auto* scopes = new QVBoxLayout(fraScope);
    for (QRadioButton* button : {optWhole, optView, optMarked})
        scopes->addWidget(button);

    fraFormat = new QGroupBox(QStringLiteral("Format"), this);
    auto format = [this](const char* name, const QString& caption, int value) {
        auto* button = new QRadioButton(caption, fraFormat);
        button->setObjectName(QString::fromLatin1(name));
        m_formats->addButton(button, value);
        return button;
    };
    optVCard4 = format("optVCard4", QStringLiteral("vCard &4.0 (.vcf)"), VCard4);
    optVCard3 =
        format("optVCard3", QStringLiteral("vCard &3.0 (.vcf), for older programs"), VCard3);
    optVCard21 = format(
        "optVCard21", QStringLiteral("vCard &2.1 (.vcf), for older phones and car kits"), VCard21);
    optCsv = format("optCsv", QStringLiteral("&CSV (.csv), for spreadsheets"), Csv);
    optVCard4->setChecked(true);
    auto* formats = new QVBoxLayout(fraFormat);
    for (QRadioButton* button : {optVCard4, optVCard3, optVCard21, optCsv})
        formats->addWidget(button);

    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    fileLabel->setBuddy(txtFile);
    cmdChoose = new QPushButton(QStringLiteral("C&hoose..."), this);
    cmdChoose->setObjectName(QStringLiteral("cmdChoose"));

    prgExport = new QProgressBar(this);
    prgExport->setObjectName(QStringLiteral("prgExport"));
    prgExport->hide();
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);
    cmdExport = new QPushButton(QStringLiteral("&Export"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setDefault(true);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* choices = new QHBoxLayout;
    choices->addWidget(fraScope, 1);
    choices->addWidget(fraFormat, 1);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdChoose);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(prgExport, 1);
    buttons->addWidget(lblStatus, 1);
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addLayout(fileRow);
    layout->addLayout(buttons);

    m_run = new exchange::BackgroundRun(prgExport, this);
    connect(m_run, &exchange::BackgroundRun::finished, this, &frmExport::exportFinished);
    connect(m_formats, &QButtonGroup::idClicked, this, &frmExport::formatChanged);
    connect(cmdChoose, &QPushButton::clicked, this, &frmExport::cmdChoose_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmExport::cmdExport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmExport::cmdClose_Click);
    setMinimumWidth(ui::twipsToPixels(7800));
}

frmExport::~frmExport() {
    m_run->stop();
}

void frmExport::Form_Load() {
    const frmMain& main = m_app.mainWindow();
    optView->setText(QStringLiteral("The contacts &shown now (%1)")
                         .arg(main.StatusBar1->panelText(StatusPanels::View)));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    setFile(QDir(folder).filePath(QStringLiteral("contacts.vcf")));
    adjustSize();
    // Only a long file name gains from more room: the dialog widens but keeps its height.
    setFixedHeight(sizeHint().height());
    ui::CenterForm(*this);
}

void frmExport::setFile(const QString& path) {
    txtFile->setText(QDir::toNativeSeparators(path));
}

bool frmExport::isExporting() const {
    return m_run->isRunning();
}

void frmExport::formatChanged() {
    // The file's suffix follows the format, unless the user wrote a name of another kind.
    QString path = QDir::fromNativeSeparators(txtFile->text());
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("csv"))
        setFile(
            info.dir().filePath(info.completeBaseName() + u'.' + suffixOf(m_formats->checkedId())));
}

void frmExport::cmdChoose_Click() {
    const int format = m_formats->checkedId();
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export the contacts to"), QDir::fromNativeSeparators(txtFile->text()),
        format == Csv ? QStringLiteral("CSV files (*.csv)")
                      : QStringLiteral("vCard files (*.vcf)"));
    if (!path.isEmpty())
        setFile(path);
}

void frmExport::setBusy(bool busy) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{fraScope, fraFormat, txtFile, cmdChoose, cmdExport})
        control->setEnabled(!busy);
    cmdClose->setText(busy ? QStringLiteral("Cancel") : QStringLiteral("Close"));
    lblStatus->setVisible(!busy);
}

void frmExport::cmdExport_Click() {
    if (isExporting())
        return;
    const QString path = QDir::fromNativeSeparators(txtFile->text().trimmed());
    if (path.isEmpty() || QFileInfo(path).isDir()) {
        ui::MessageBoxService::show({QStringLiteral("Name the file to export to."), ui::Buttons::Ok,
                                     ui::Icon::Exclamation, 0, Caption},
                                    this);
        return;
    }
    frmMain& main = m_app.mainWindow();
    // The book and the files the program keeps beside it are never offered for replacing.
    try {
        files::refuseOwnFile(path, {main.data().databaseName()});
    } catch (const PlatformError& error) {
        ui::MessageBoxService::show(
            {error.description(), ui::Buttons::Ok, ui::Icon::Exclamation, 0, Caption}, this);
        return;
    }
    if (QFileInfo::exists(path) &&
        ui::MessageBoxService::show({QStringLiteral("\"%1\" exists already. Replace it?")
                                         .arg(QDir::toNativeSeparators(path)),
                                     ui::Buttons::YesNo, ui::Icon::Question, 1, Caption},
                                    this) != ui::Answer::Yes)
        return;
    // The card's typing is part of what the user exports.
    if (!main.writePendingCard(this))
        return;
    exchange::ExportOptions options;
    const int format = m_formats->checkedId();
    options.format = format == Csv ? exchange::Format::Csv : exchange::Format::VCard;
    options.version = format == VCard3    ? exchange::VCardVersion::V3
                      : format == VCard21 ? exchange::VCardVersion::V21
                                          : exchange::VCardVersion::V4;
    options.scope = exchange::ExportScope(m_scopes->checkedId());
    options.recordSource = main.data().recordSource();
    const QString book = main.data().databaseName();
    m_summary = {};
    setBusy(true);
    m_run->start([this, book, path, options](const exchange::BackgroundRun::Progress& progress) {
        exchange::ExportOptions withProgress = options;
        withProgress.progress = progress;
        m_summary = exchange::exportBook(book, path, withProgress);
    });
}

void frmExport::exportFinished(const QString& error) {
    setBusy(false);
    const QString file = txtFile->text();
    if (!error.isEmpty()) {
        lblStatus->setText(QStringLiteral("Nothing was exported."));
        ui::MessageBoxService::show({QStringLiteral("Nothing was exported: ") + error,
                                     ui::Buttons::Ok, ui::Icon::Exclamation, 0, Caption},
                                    this);
    } else if (m_summary.cancelled) {
        lblStatus->setText(QStringLiteral("Cancelled: no file was written."));
    } else {
        const QString text =
            QStringLiteral("Exported %1 contact%2 to \"%3\".")
                .arg(m_summary.exported)
                .arg(m_summary.exported == 1 ? QString() : QStringLiteral("s"), file);
        lblStatus->setText(text);
        ui::MessageBoxService::show({text, ui::Buttons::Ok, ui::Icon::Information, 0, Caption},
                                    this);
    }
    Q_EMIT exportEnded();
}

void frmExport::cmdClose_Click() {
    reject();
}

void frmExport::reject() {
    // Leaving while the work runs cancels it, and the dialog stays until it has stopped.
    if (m_run->cancelIfRunning())
        return;
    QDialog::reject();
}

} // namespace quillory
