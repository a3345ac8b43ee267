#include "printing/frmPrint.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/files/PlatformError.h"
#include "platform/report/PrinterDialog.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Modal.h"
#include "printing/Envelope.h"
#include "printing/frmLabel.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillory {

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

const QString SortByLastName = QStringLiteral("+{PhoneBK.name}");
const QString SortByFirstName = QStringLiteral("+{PhoneBK.namef}");
const QString PlannerTitle =
    QStringLiteral("Preview Runner (Click on the Printer Icon below to PRINT!)");

} // namespace

const QString frmPrint::AddressBookPage2Selection =
    QStringLiteral("Not IsNull ({PhoneBK.address2}) And Trim ({PhoneBK.address2}) <> ''");
const QString frmPrint::AddressBookPage1Selection =
    QStringLiteral("IsNull ({PhoneBK.address2}) Or Trim ({PhoneBK.address2}) = ''");
const QString frmPrint::PlannerSelection =
    QStringLiteral("Not IsNull ({PhoneBK.name}) And Trim ({PhoneBK.name}) <> ''");

frmPrint::frmPrint(AppContext& app, QWidget* parent)
    : QDialog(parent), Report1(app.folder(), this), m_app(app) {
    setObjectName(QStringLiteral("frmPrint"));
    setWindowTitle(QStringLiteral("Printing Options"));
    setModal(true);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    Frame1 = named(new QGroupBox(QStringLiteral("Print Options"), this), "Frame1");
    OptEnv = named(new QRadioButton(QStringLiteral("Print &Envelope"), Frame1), "OptEnv");
    OptAdd = named(new QRadioButton(QStringLiteral("Print &Address Book"), Frame1), "OptAdd");
    Optrunner =
        named(new QRadioButton(QStringLiteral("Print Day Runner (R)  [3 3/4\" X 6 3/4\"]"), Frame1),
              "Optrunner");
    Optrunner1 =
        named(new QRadioButton(QStringLiteral("Print Day Runner (R)  [5 1/2\" X 8 1/2\"]"), Frame1),
              "Optrunner1");
    OptLabel = named(new QRadioButton(QStringLiteral("Print &Labels"), Frame1), "OptLabel");
    Command1 = named(new QPushButton(QStringLiteral("&Print"), Frame1), "Command1");
    Command2 = named(new QPushButton(QStringLiteral("&Close"), Frame1), "Command2");
    Label1 =
        named(new QLabel(QStringLiteral("Select the print option you want and click PRINT."), this),
              "Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Command1->setDefault(true);
    // A new dialog each time it is shown, so the envelope is the choice at every opening.
    OptEnv->setChecked(true);

    auto* options = new QVBoxLayout;
    for (QRadioButton* option : {OptEnv, OptAdd, Optrunner, Optrunner1, OptLabel})
        options->addWidget(option);
    options->addStretch(1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch(1);
    auto* frame = new QHBoxLayout(Frame1);
    frame->addLayout(options, 1);
    frame->addSpacing(ui::twipsToPixels(240));
    frame->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Frame1, 1);

    connect(Command1, &QPushButton::clicked, this, &frmPrint::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmPrint::Command2_Click);
}

void frmPrint::Form_Load() {
    adjustSize();
    setFixedSize(size());
    ui::CenterForm(*this);
}

void frmPrint::Form_Unload() {
    m_app.SaveSettings();
}

void frmPrint::done(int result) {
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmPrint::Command2_Click() {
    reject();
}

void frmPrint::Command1_Click() {
    m_app.LoadSettings();
    if (OptEnv->isChecked()) {
        printEnvelope();
    } else if (OptAdd->isChecked()) {
        const QString page2 =
            QStringLiteral("Address Book [Page 2] (Click on the Printer Icon below to PRINT!)");
        const QString page1 =
            QStringLiteral("Address Book [Page 1] (Click on the Printer Icon below to PRINT!)");
        runReports(1, {{QStringLiteral("combook2.rpt"), page2, AddressBookPage2Selection},
                       {QStringLiteral("combook1.rpt"), page1, AddressBookPage1Selection}});
    } else if (Optrunner->isChecked()) {
        runReports(1, {{QStringLiteral("runner.rpt"), PlannerTitle, PlannerSelection}});
    } else if (Optrunner1->isChecked()) {
        runReports(2, {{QStringLiteral("runner1.rpt"), PlannerTitle, PlannerSelection}});
    } else if (OptLabel->isChecked()) {
        // The Printing Options stay open behind the label dialog.
        showLabelDialog(m_app, this);
    }
}

void frmPrint::printEnvelope() {
    const UserSettings& settings = m_app.settings();
    const printer::LinePage page = envelopePage(settings, recipientOf(m_app.mainWindow()));
    quillory::printEnvelope(page, this);
    if (!printsRightSide(settings.envelopeFeed))
        accept();
}

void frmPrint::runReports(int orientation, const QList<Run>& runs) {
    try {
        QPrinter printer;
        report::PrinterDialogService::show({orientation}, printer, this);
    } catch (const PlatformError& error) {
        if (error.number() == report::DialogCancelled) {
            reject();
            return;
        }
    } catch (const std::exception&) {
        // Any other failure of the dialog is passed over; the reports still run.
    }
    Report1.Destination = 0;
    for (const Run& run : runs) {
        Report1.ReportFileName = run.reportFileName;
        Report1.WindowTitle = run.windowTitle;
        Report1.SelectionFormula = run.selectionFormula;
        Report1.SortFields[0] = SortByLastName;
        Report1.SortFields[1] = SortByFirstName;
        // A failed run tells the user and the next run goes on.
        Report1.setAction(1);
    }
}

void registerPrintingCommands(AppContext& app) {
    app.commands().add(QStringLiteral("print"), [&app](CommandOrigin) {
        frmPrint dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
}

} // namespace quillory
