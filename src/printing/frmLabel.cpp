#include "printing/frmLabel.h"

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/CardPlace.h"
#include "core/frmMain.h"
#include "core/GridModel.h"
#include "core/UserSettings.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/files/ProgramFolder.h"
#include "platform/help/HelpWindow.h"
#include "platform/report/PrinterDialog.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
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
const QString BookFile = QStringLiteral("\\Corvanel.MDB");
const QString PrintCopy = QStringLiteral("\\print.mdb");
const QString ReturnAddresses = QStringLiteral("\\name1.mdb");
const QString ReturnCopy = QStringLiteral("\\name.mdb");
const QString NoStockMessage = QStringLiteral("Choose a label stock in User Settings first");
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
    const QString book = folder.file(BookFile);
    const QString print = folder.file(PrintCopy);
    // Any failure ends the preparation where it happened; the dialog shows as far as it got.
    try {
        if (QFile::exists(print) && !QFile::remove(print))
            throw PlatformError(75, QStringLiteral("Path/File access error"));
        frmMain& main = m_app.mainWindow();
        // The main window comes back in its view on the card it showed, a new contact included:
        // the card's typing is written first (a failure to write it stops ReleaseBook below).
        main.storeCardTyping();
        const CardPlace place = cardPlace(main);
        bookfiles::ReleaseBook(main.data(), folder);
        try {
            engine::CompactDatabase(book, print);
        } catch (...) {
            reopenAt(main, place);
            throw;
        }
        reopenAt(main, place);
        if (parentWidget())
            parentWidget()->repaint();
        Data1->setDatabaseName(book);
        Data1->setRecordSource(Table);
        Data1->refresh();
        Data2->setDatabaseName(print);
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

bool frmLabel::addFillers(int count) {
    try {
        for (int i = 0; i < count; ++i) {
            Data2->addNew();
            Data2->setValue(QStringLiteral("name"), QStringLiteral("."));
            Data2->setValue(QStringLiteral("extra7"), QStringLiteral("Y"));
            Data2->update();
        }
        Data2->refresh();
    } catch (const std::exception& error) {
        if (Data2->isAdding())
            Data2->cancelUpdate();
        tell(QStringLiteral("The labels to leave out could not be added to the print copy: ") +
                 reasonOf(error),
             this);
        return false;
    }
    return true;
}

void frmLabel::printAddressLabels(const QString& extraSelection) {
    if (Label4->text().isEmpty() || Label5->text().isEmpty()) {
        tell(NoStockMessage, this);
        return;
    }
    const int perSheet = labelsPerSheet(m_app.settings().labelStock);
    const QString countText = CountTXT->text();
    if (countText != QLatin1String("0")) {
        bool numeric = false;
        const int count = countText.trimmed().toInt(&numeric);
        if (!numeric || count < 0 || count > perSheet) {
            tell(QStringLiteral("Enter the number of missing labels as a whole number from 0 to ") +
                     QString::number(perSheet) + QStringLiteral(", the labels of one sheet."),
                 this);
            return;
        }
        if (!addFillers(count))
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
    const std::array<std::pair<QString, QString>, 2> runs = {
        std::pair{Label5->text(), withFlag(SecondLineSelection)},
        std::pair{Label4->text(), withFlag(NoSecondLineSelection)}};
    for (const auto& [file, selection] : runs) {
        Report1.ReportFileName = file;
        Report1.SelectionFormula = selection;
        Report1.SortFields[0] = QStringLiteral("+{PhoneBK.name}");
        Report1.SortFields[1] = QStringLiteral("+{PhoneBK.namef}");
        // A failed run tells the user itself and the next run goes on.
        Report1.setAction(1);
    }
}

void frmLabel::Command6_Click() {
    const ProgramFolder& folder = m_app.folder();
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
        const UserSettings& user = m_app.settings();
        const auto addReturnAddress = [&] {
            Data3->addNew();
            Data3->setValue(QStringLiteral("extra8"), user.userName);
            Data3->setValue(QStringLiteral("address1"), user.userAddress1);
            Data3->setValue(QStringLiteral("address2"), user.userAddress2);
            Data3->setValue(QStringLiteral("city"), user.userCity);
            Data3->setValue(QStringLiteral("state"), user.userState);
            Data3->setValue(QStringLiteral("zip"), user.userZip);
            Data3->update();
        };
        addReturnAddress();
        Data3->refresh();
        while (Data3->recordCount() < ReturnSheet) {
            addReturnAddress();
            Data3->refresh();
        }
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
