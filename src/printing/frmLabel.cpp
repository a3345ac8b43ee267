#include "printing/frmLabel.h"

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/CardPlace.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/GridModel.h"
#include "core/UserSettings.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/files/FileOps.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/help/HelpWindow.h"
#include "platform/report/PrinterDialog.h"
#include "platform/report/ReportSource.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"

#include <algorithm>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace quillory {

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

const QString Table = QStringLiteral("PhoneBK");
const QString BookFile = contact::file::Book;
const QString PrintCopy = contact::file::PrintCopy;
const QString ReturnAddresses = contact::file::ReturnAddresses;
const QString ReturnCopy = contact::file::ReturnCopy;
const QString NoStockMessage = QStringLiteral("Choose a label stock in User Settings first");
const QString NoReturnAddressMessage =
    QStringLiteral("Enter your return address in User Settings first");
// One sheet of the return-address stock 5267.
constexpr int ReturnSheet = 80;

// The stocks in the order the chosen one is looked up.
constexpr std::array<int, 10> StockLookupOrder = {5160, 5161, 5162, 5260, 5261,
                                                  5262, 5267, 5660, 5662, 5163};

// The "Print?" cells carry a small button at their right edge; a click on it toggles the flag.
class ButtonCellDelegate final : public QStyledItemDelegate {
public:
    ButtonCellDelegate(frmLabel& dialog, QObject* parent)
        : QStyledItemDelegate(parent), m_dialog(dialog) {}

    static QRect buttonRect(const QRect& cell) {
        const int side = qMin(cell.height(), 22);
        return {cell.right() - side + 1, cell.top(), side, cell.height()};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionButton button;
        button.rect = buttonRect(option.rect);
        button.text = QStringLiteral("...");
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (buttonRect(option.rect).contains(mouse->position().toPoint())) {
                m_dialog.DBGrid1->setCurrentIndex(index);
                m_dialog.DBGrid1_ButtonClick(index.column());
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

private:
    frmLabel& m_dialog;
};

void tell(const QString& text, QWidget* parent) {
    ui::MessageBoxService::inform(text, {}, ui::Icon::Exclamation, parent);
}

QString reasonOf(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error))
        return platform->description();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

const QString frmLabel::SecondLineSelection =
    QStringLiteral("Not IsNull ({PhoneBK.address2}) And Trim ({PhoneBK.address2}) <> ''");
const QString frmLabel::NoSecondLineSelection =
    QStringLiteral("IsNull ({PhoneBK.address2}) Or Trim ({PhoneBK.address2}) = ''");
const QString frmLabel::FlaggedOnly = QStringLiteral("{PhoneBK.extra7} = 'Y'");

int frmLabel::labelsPerSheet(int stock) {
    switch (stock) {
    case 5160:
    case 5260:
    case 5660:
        return 30;
    case 5161:
    case 5261:
        return 20;
    case 5162:
    case 5262:
    case 5662:
        return 14;
    case 5163:
        return 10;
    case 5267:
        return 80;
    default:
        return 0;
    }
}

frmLabel::frmLabel(AppContext& app, QWidget* parent)
    : QDialog(parent), Report1(app.folder(), this), Report2(app.folder(), this), m_app(app) {
    setObjectName(QStringLiteral("frmLabel"));
    setWindowTitle(QStringLiteral("Print Labels"));
    setModal(true);

    Data1 = named(new engine::DataSource(this), "Data1");
    Data2 = named(new engine::DataSource(this), "Data2");
    Data3 = named(new engine::DataSource(this), "Data3");

    Label1 = named(
        new QLabel(QStringLiteral(
                       "If you are printing selected names, select a \"Y\" in the 'Print?' "
                       "selection box by clicking on the button in the grid cell. CLICK button "
                       "again to clear the \"Y\" for names that you do not want to print. When "
                       "finished selecting, CLICK on the \"Update Grid\" button at the bottom and "
                       "then Select \"Print Selected Labels\"."),
                   this),
        "Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);

    DBGrid1 = named(new QTableView(this), "DBGrid1");
    DBGrid1->setToolTip(
        QStringLiteral("Add  or remove a \"y\" for printing, then click on the button below!"));
    m_gridModel = new GridModel(*Data1,
                                {{QStringLiteral("Print?"), QStringLiteral("extra7")},
                                 {QStringLiteral("Last Name"), QStringLiteral("name")},
                                 {QStringLiteral("First Name"), QStringLiteral("namef")},
                                 {QStringLiteral("Address"), QStringLiteral("address1")},
                                 {QStringLiteral("Address 2"), QStringLiteral("address2")},
                                 {QStringLiteral("City"), QStringLiteral("city")},
                                 {QStringLiteral("State"), QStringLiteral("state")},
                                 {QStringLiteral("Zip"), QStringLiteral("zip")}},
                                this);
    // The flags change through the cells' buttons only.
    m_gridModel->setEditable(false);
    DBGrid1->setModel(m_gridModel);
    DBGrid1->setItemDelegateForColumn(0, new ButtonCellDelegate(*this, DBGrid1));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setColumnWidth(0, 70);
    DBGrid1->verticalHeader()->setDefaultSectionSize(22);
    DBGrid1->installEventFilter(this);

    Frame1 = named(new QGroupBox(QStringLiteral("Advanced"), this), "Frame1");
    Label2 = named(new QLabel(QStringLiteral("Enter number of missing labels for the FIRST sheet "
                                             "that will be printed.>>>>>"),
                              Frame1),
                   "Label2");
    Label2->setTextFormat(Qt::PlainText);
    CountTXT = named(new QLineEdit(QStringLiteral("0"), Frame1), "CountTXT");
    CountTXT->setMaximumWidth(60);

    Command2 = named(new QPushButton(QStringLiteral("Print &Labels for complete database"), this),
                     "Command2");
    Command2->setToolTip(QStringLiteral("Print the entire phone book on labels"));
    Command3 = named(new QPushButton(QStringLiteral("Print &Selected Labels"), this), "Command3");
    Command3->setToolTip(QStringLiteral("Print select entries in the book from the Grid below"));
    Command6 = named(
        new QPushButton(
            QStringLiteral("Print \"1\" sheet of 'Return Address' Labels-- Avery (5267) "), this),
        "Command6");
    Command4 = named(new QPushButton(QStringLiteral("&Update Grid!"), this), "Command4");
    Command4->setToolTip(QStringLiteral("Update the grid above when finished"));
    cmdReset = named(new QPushButton(QStringLiteral("&Reset Form"), this), "cmdReset");
    cmdReset->setToolTip(
        QStringLiteral("Reset the form if you change the number of missing labels above"));
    Command5 = named(new QPushButton(QStringLiteral("&?"), this), "Command5");
    Command5->setToolTip(QStringLiteral("display the HELP for this dialog"));
    Command1 = named(new QPushButton(QStringLiteral("&Close"), this), "Command1");
    Command1->setToolTip(QStringLiteral("Close this Label dialog"));
    Label6 = named(new QLabel(QStringLiteral("Select the HELP button at right to bring up the "
                                             "help for this label printing dialog."),
                              this),
                   "Label6");
    Label6->setTextFormat(Qt::PlainText);
    Label6->setWordWrap(true);

    // The template names of the chosen stock, kept out of sight.
    Label4 = named(new QLabel(this), "Label4");
    Label5 = named(new QLabel(this), "Label5");
    Label4->hide();
    Label5->hide();

    auto* frame = new QHBoxLayout(Frame1);
    frame->addWidget(Label2, 1);
    frame->addWidget(CountTXT);
    auto* jobs = new QHBoxLayout;
    jobs->addWidget(Command2);
    jobs->addWidget(Command3);
    jobs->addWidget(Command6);
    auto* lower = new QHBoxLayout;
    lower->addWidget(Command4);
    lower->addWidget(cmdReset);
    lower->addStretch(1);
    lower->addWidget(Label6, 2);
    lower->addWidget(Command5);
    lower->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(Frame1);
    layout->addLayout(jobs);
    layout->addLayout(lower);
    resize(ui::twipsToPixels(11000), ui::twipsToPixels(7200));

    connect(Command1, &QPushButton::clicked, this, &frmLabel::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmLabel::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmLabel::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmLabel::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmLabel::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &frmLabel::Command6_Click);
    connect(cmdReset, &QPushButton::clicked, this, &frmLabel::cmdReset_Click);
}

frmLabel::~frmLabel() = default;

bool frmLabel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DBGrid1 && event->type() == QEvent::FocusIn)
        DBGrid1_GotFocus();
    return QDialog::eventFilter(watched, event);
}

void frmLabel::Form_Load() {
    const ProgramFolder& folder = m_app.folder();
    // Any failure ends the preparation where it happened; the dialog shows as far as it got.
    try {
        frmMain& main = m_app.mainWindow();
        // The main window comes back in its view on the card it showed, a new contact included:
        // the card's typing is written first (a failure to write it stops ReleaseBook below).
        main.storeCardTyping();
        const CardPlace place = cardPlace(main);
        bookfiles::ReleaseBook(main.data(), folder);
        try {
            makePrintCopy(folder);
        } catch (...) {
            reopenAt(main, place);
            throw;
        }
        reopenAt(main, place);
        if (parentWidget())
            parentWidget()->repaint();
        Data1->setDatabaseName(folder.file(BookFile));
        Data1->setRecordSource(Table);
        Data1->refresh();
        Data2->setDatabaseName(folder.file(PrintCopy));
        Data2->setRecordSource(Table);
        Data2->refresh();
        const int chosen = m_app.settings().labelStock;
        for (int stock : StockLookupOrder) {
            if (stock == chosen) {
                Label4->setText(QString::number(stock) + QStringLiteral("-1.rpt"));
                Label5->setText(QString::number(stock) + QStringLiteral("-2.rpt"));
            }
        }
    } catch (const std::exception&) {
    }
    // The focus starts on the missing-label count: a grid holding it would lock the buttons
    // before the user has touched a flag.
    CountTXT->setFocus();
    ui::CenterForm(*this);
}

void frmLabel::DBGrid1_ButtonClick(int column) {
    const QModelIndex current = DBGrid1->currentIndex();
    if (!current.isValid() || column != 0)
        return;
    const QModelIndex cell = m_gridModel->index(current.row(), column);
    const QString text = cell.data().toString();
    const QString flag = text == QLatin1String("Y") ? QString() : QStringLiteral("Y");
    try {
        if (Data1->absolutePosition() != cell.row())
            Data1->moveTo(cell.row());
        Data1->setValue(QStringLiteral("extra7"), flag);
        Data1->update();
        Q_EMIT m_gridModel->dataChanged(cell, cell);
    } catch (const std::exception& error) {
        Data1->cancelUpdate();
        tell(QStringLiteral("The print flag could not be stored: ") + reasonOf(error), this);
    }
}

void frmLabel::DBGrid1_GotFocus() {
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    Command3->setEnabled(false);
}

void frmLabel::Command4_Click() {
    m_reopen = true;
    accept();
}

void frmLabel::cmdReset_Click() {
    m_reopen = true;
    accept();
}

void frmLabel::Command1_Click() {
    reject();
}

void frmLabel::Command5_Click() {
    help::HelpWindow::showContents(m_app.folder(), QStringLiteral("LABELS.hlp"), this);
}

void frmLabel::Command2_Click() {
    printAddressLabels({});
}

void frmLabel::Command3_Click() {
    printAddressLabels(FlaggedOnly);
}

bool frmLabel::askPrinter() {
    try {
        QPrinter printer;
        report::PrinterDialogService::show({1}, printer, this);
    } catch (const PlatformError& error) {
        if (error.number() == report::DialogCancelled)
            return false;
    } catch (const std::exception&) {
        // The reports still run on the default printer's settings.
    }
    return true;
}

void frmLabel::printAddressLabels(const QString& extraSelection) {
    if (Label4->text().isEmpty() || Label5->text().isEmpty()) {
        tell(NoStockMessage, this);
        return;
    }
    const int perSheet = labelsPerSheet(m_app.settings().labelStock);
    // The first sheet keeps at least one label to print on.
    bool numeric = false;
    const int missing = CountTXT->text().trimmed().toInt(&numeric);
    if (!numeric || missing < 0 || missing >= perSheet) {
        tell(QStringLiteral("Enter the number of missing labels as a whole number from 0 to ") +
                 QString::number(perSheet - 1) +
                 QStringLiteral(", so that the first sheet keeps a label to print on."),
             this);
        return;
    }
    if (!askPrinter())
        return;
    const auto withFlag = [&](const QString& selection) {
        return extraSelection.isEmpty()
                   ? selection
                   : QStringLiteral("(") + selection + QStringLiteral(") And ") + extraSelection;
    };
    Report1.Destination = 0;
    Report1.LabelOffset = QPointF(m_app.settings().labelOffsetX, m_app.settings().labelOffsetY);
    Report1.SortFields[0] = QStringLiteral("+{PhoneBK.name}");
    Report1.SortFields[1] = QStringLiteral("+{PhoneBK.namef}");
    // The report leaves the missing labels of the first sheet empty itself; nothing is added to
    // the print copy, so a cancelled print or a second one starts from the count as it stands.
    // The "-1" run goes on where the "-2" run's last sheet ends, so the two share that sheet.
    Report1.ReportFileName = Label5->text();
    Report1.SelectionFormula = withFlag(SecondLineSelection);
    Report1.LeaveBlank = missing;
    const qsizetype firstRunLabels = labelsSelected(Report1.request());
    // A failed run tells the user itself and the next run goes on.
    Report1.setAction(1);
    Report1.ReportFileName = Label4->text();
    Report1.SelectionFormula = withFlag(NoSecondLineSelection);
    Report1.LeaveBlank = int((missing + firstRunLabels) % perSheet);
    // Both previews would be called "Labels": this one says which sheet it is printed on.
    if (firstRunLabels > 0 && Report1.LeaveBlank > 0)
        Report1.WindowTitle =
            QStringLiteral("Labels, second run: print on the last sheet of the first run, from "
                           "label %1")
                .arg(Report1.LeaveBlank + 1);
    Report1.setAction(1);
    Report1.WindowTitle.clear();
}

qsizetype frmLabel::labelsSelected(const report::ReportRequest& request) const {
    try {
        return report::openReport(request, m_app.folder())->rows().size();
    } catch (const std::exception&) {
        // The run itself fails the same way and says why; it prints no label.
        return 0;
    }
}

void frmLabel::Command6_Click() {
    const ProgramFolder& folder = m_app.folder();
    const UserSettings& user = m_app.settings();
    const std::array<std::pair<const char*, const QString*>, 6> returnAddress = {
        std::pair{"extra8", &user.userName}, {"address1", &user.userAddress1},
        {"address2", &user.userAddress2},    {"city", &user.userCity},
        {"state", &user.userState},          {"zip", &user.userZip}};
    // A row of nothing but empty fields is never stored, so the sheet could not be filled.
    if (std::all_of(returnAddress.begin(), returnAddress.end(),
                    [](const auto& field) { return field.second->trimmed().isEmpty(); })) {
        tell(NoReturnAddressMessage, this);
        return;
    }
    const QString working = folder.file(ReturnCopy);
    QString step = QStringLiteral("The return-address labels could not be prepared");
    try {
        Data3->close();
        step = QStringLiteral("The old return-address copy could not be deleted");
        if (QFile::exists(working) && !QFile::remove(working))
            throw PlatformError(75, QStringLiteral("Path/File access error"));
        // The supplied empty database; when it is gone an empty one of the same kind serves.
        step = QStringLiteral("The return-address database could not be copied");
        const QString supplied = folder.resource(ReturnAddresses.mid(1));
        if (QFile::exists(supplied))
            engine::CompactDatabase(supplied, working);
        else
            engine::book::create(working);
        step = QStringLiteral("The return address could not be written");
        Data3->setDatabaseName(working);
        Data3->setRecordSource(Table);
        Data3->refresh();
        // Rows the supplied database brought along count towards the sheet; each pass adds one
        // row, so the loop ends after one sheet whatever the engine does with a row.
        for (int rows = Data3->recordCount(); rows < ReturnSheet; ++rows) {
            Data3->addNew();
            for (const auto& [field, value] : returnAddress)
                Data3->setValue(QString::fromLatin1(field), *value);
            Data3->update();
        }
        Data3->refresh();
        if (Data3->recordCount() < ReturnSheet)
            throw PlatformError(ErrorNumber::EngineWriteFailed,
                                QStringLiteral("only %1 of the %2 labels of the sheet were stored.")
                                    .arg(Data3->recordCount())
                                    .arg(ReturnSheet));
        Data3->close();
    } catch (const std::exception& error) {
        Data3->close();
        tell(step + QStringLiteral(": ") + reasonOf(error), this);
        return;
    }
    if (!askPrinter())
        return;
    Report2.Destination = 0;
    Report2.LabelOffset = QPointF(m_app.settings().labelOffsetX, m_app.settings().labelOffsetY);
    Report2.ReportFileName = m_app.settings().userAddress2.trimmed().isEmpty()
                                 ? QStringLiteral("self1.rpt")
                                 : QStringLiteral("self2.rpt");
    Report2.SelectionFormula.clear();
    Report2.SortFields = {};
    Report2.setAction(1);
}

void makePrintCopy(const ProgramFolder& folder) {
    const QString print = folder.file(PrintCopy);
    if (QFileInfo::exists(print))
        files::deleteFile(print);
    engine::CompactDatabase(folder.file(BookFile), print);
}

void showLabelDialog(AppContext& app, QWidget* parent) {
    bool again = true;
    while (again) {
        frmLabel dialog(app, parent);
        dialog.Form_Load();
        ui::Modal::exec(dialog);
        again = dialog.reopenRequested();
    }
}

} // namespace quillory
