#include "prefs/frmUser.h"

#include "core/AppContext.h"
#include "core/frmMain.h"
#include "platform/files/PlatformError.h"
#include "platform/report/LabelTestSheet.h"
#include "platform/report/Preview.h"
#include "platform/serial/SerialDevices.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"
#include "prefs/frmFind.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillory {

namespace {

using Style = UserSettings::ToolbarStyle;
using Feed = UserSettings::EnvelopeFeed;
using WordProcessor = UserSettings::WordProcessor;

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The explanation beside the controls of a panel, worded as the user reads it.
QLabel* helpLabel(const QString& text, const char* name, QWidget* parent) {
    auto* label = named(new QLabel(text, parent), name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color: #34495e;"));
    return label;
}

QRadioButton* option(const QString& caption, const char* name, QButtonGroup* group, int id,
                     QWidget* parent) {
    auto* button = named(new QRadioButton(caption, parent), name);
    group->addButton(button, id);
    return button;
}

// Selects the option `id` of `group`, or none: a group may stand with nothing chosen.
void choose(QButtonGroup* group, int id) {
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(group->id(button) == id);
    group->setExclusive(true);
}

void showCheckState(QCheckBox* box, int state) {
    // The undetermined state shows as such; a click on the box then ticks it, and from there
    // it is only ever ticked or clear, as a user expects of a check box.
    box->setTristate(state == 2);
    box->setCheckState(state == 2 ? Qt::PartiallyChecked
                                  : (state == 1 ? Qt::Checked : Qt::Unchecked));
}

int checkState(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

QWidget* envelopePicture(const char* file, const char* name, QWidget* parent) {
    auto* picture = named(
        new QSvgWidget(QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(file)), parent), name);
    picture->setFixedSize(ui::twipsToPixels(1440), ui::twipsToPixels(960));
    return picture;
}

} // namespace

frmUser::frmUser(AppContext& app, QWidget* parent)
    : QDialog(parent), m_app(app), m_ports(new QButtonGroup(this)),
      m_wordProcessors(new QButtonGroup(this)), m_feeds(new QButtonGroup(this)),
      m_stocks(new QButtonGroup(this)), m_toolbarStyles(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("frmUser"));
    setWindowTitle(QStringLiteral("User Settings"));
    setModal(true);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("Frame1Stack"));
    TabStrip1 = named(tabs->tabBar(), "TabStrip1");
    for (size_t i = 0; i < Frame1.size(); ++i) {
        Frame1[i] = new QFrame(tabs);
        Frame1[i]->setObjectName(QStringLiteral("Frame1_%1").arg(i));
    }
    buildReturnAddress();
    buildCommPort();
    buildWordProcessor();
    buildEnvelope();
    buildLabels();
    buildMisc();
    const char* captions[] = {"Return Address",  "COM Port",     "Word Processor",
                              "Envelope Set-up", "Label Set-up", "Misc. Settings"};
    for (size_t i = 0; i < Frame1.size(); ++i)
        tabs->addTab(Frame1[i], QString::fromLatin1(captions[i]));
    // The dialog opens on the first tab, "Return Address".
    tabs->setCurrentIndex(0);

    useSave = named(new QPushButton(QStringLiteral("&Save"), this), "useSave");
    useDelete = named(new QPushButton(QStringLiteral("&Delete"), this), "useDelete");
    useExit = named(new QPushButton(QStringLiteral("&Exit"), this), "useExit");
    // Enter in a return-address box must not close the dialog unsaved.
    for (QPushButton* button : {useSave, useDelete, useExit})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(useSave);
    buttons->addWidget(useDelete);
    buttons->addWidget(useExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    setMinimumWidth(ui::twipsToPixels(8640));

    connect(Command1, &QPushButton::clicked, this, &frmUser::Command1_Click);
    connect(OptIO, &QRadioButton::clicked, this, &frmUser::OptIO_Click);
    connect(OptTI, &QRadioButton::clicked, this, &frmUser::OptTI_Click);
    connect(useSave, &QPushButton::clicked, this, &frmUser::useSave_Click);
    connect(useDelete, &QPushButton::clicked, this, &frmUser::useDelete_Click);
    connect(CmdTestSheet, &QPushButton::clicked, this, &frmUser::CmdTestSheet_Click);
    connect(useExit, &QPushButton::clicked, this, &frmUser::useExit_Click);
    for (QCheckBox* box : {ChkTip, ChkBU})
        connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
}

void frmUser::buildReturnAddress() {
    QFrame* panel = Frame1[0];
    auto* fields = new QGridLayout;
    const std::array<std::pair<QLineEdit**, const char*>, 6> boxes = {{{&Text12, "Text12"},
                                                                       {&Text13, "Text13"},
                                                                       {&Text14, "Text14"},
                                                                       {&Text15, "Text15"},
                                                                       {&Text16, "Text16"},
                                                                       {&Text17, "Text17"}}};
    const char* captions[] = {"Name", "Address1", "Address2", "City", "State", "Zip Code"};
    for (size_t i = 0; i < boxes.size(); ++i) {
        auto* box = named(new QLineEdit(panel), boxes[i].second);
        *boxes[i].first = box;
        auto* label = new QLabel(QString::fromLatin1(captions[i]), panel);
        label->setBuddy(box);
        fields->addWidget(label, int(i), 0);
        fields->addWidget(box, int(i), 1);
    }
    fields->setColumnMinimumWidth(1, ui::twipsToPixels(3600));
    Label21 = helpLabel(
        QStringLiteral("Enter your Name and Address in the blocks to the left and CLICK on save.  "
                       "This will be printed as the SENDER's Address at the top left of the "
                       "envelope. To change your address, CLICK Delete and re-enter new Data. "
                       "Remember to SAVE."),
        "Label21", panel);

    auto* layout = new QHBoxLayout(panel);
    layout->addLayout(fields, 3);
    layout->addSpacing(ui::twipsToPixels(240));
    layout->addWidget(Label21, 2);
}

void frmUser::buildCommPort() {
    QFrame* panel = Frame1[1];
    OptComm1 = option(QStringLiteral("COM1"), "OptComm1", m_ports, 1, panel);
    OptComm2 = option(QStringLiteral("COM2"), "OptComm2", m_ports, 2, panel);
    OptComm3 = option(QStringLiteral("COM3"), "OptComm3", m_ports, 3, panel);
    OptComm4 = option(QStringLiteral("COM4"), "OptComm4", m_ports, 4, panel);
    Label2 = helpLabel(QStringLiteral("Select the COM port your modem is configured for. "),
                       "Label2", panel);
    lblDevices = helpLabel(QStringLiteral("Each port stands for the device of this computer shown "
                                          "beside it. A modem on a USB adaptor is usually "
                                          "/dev/ttyUSB0 or /dev/ttyACM0."),
                           "lblDevices", panel);

    auto* ports = new QGridLayout;
    ports->setColumnStretch(1, 1);
    const std::array<QRadioButton*, UserSettings::CommPorts> options = {OptComm1, OptComm2,
                                                                        OptComm3, OptComm4};
    for (int index = 0; index < UserSettings::CommPorts; ++index) {
        auto* devices = new QComboBox(panel);
        devices->setObjectName(QStringLiteral("cboComm%1").arg(index + 1));
        devices->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        devices->setAccessibleName(options[std::size_t(index)]->text() + QStringLiteral(" device"));
        cboComm[std::size_t(index)] = devices;
        ports->addWidget(options[std::size_t(index)], index, 0);
        ports->addWidget(devices, index, 1);
    }
    ports->setRowStretch(UserSettings::CommPorts, 1);
    lblFixedDevices = helpLabel(QString(), "lblFixedDevices", panel);
    auto* help = new QVBoxLayout;
    help->addWidget(Label2);
    help->addWidget(lblDevices);
    help->addWidget(lblFixedDevices);
    help->addStretch(1);
    auto* layout = new QHBoxLayout(panel);
    layout->addLayout(ports, 3);
    layout->addSpacing(ui::twipsToPixels(240));
    layout->addLayout(help, 2);
}

void frmUser::showDevices(const UserSettings& settings) {
    const QStringList present = serial::presentDevices();
    QStringList fixed;
    for (int port = 1; port <= UserSettings::CommPorts; ++port) {
        QComboBox* devices = cboComm[std::size_t(port - 1)];
        const QString own = serial::defaultDevice(port);
        const QString chosen = settings.commDevices[std::size_t(port - 1)].trimmed();
        devices->clear();
        // The port's own device is stored as no choice, so the file keeps following it.
        devices->addItem(own, QString());
        for (const QString& device : present)
            if (device != own)
                devices->addItem(device, device);
        if (!chosen.isEmpty() && chosen != own && devices->findData(chosen) < 0)
            devices->addItem(chosen + QStringLiteral(" (not present)"), chosen);
        devices->setCurrentIndex(chosen == own ? 0 : std::max(0, devices->findData(chosen)));

        // A device named in the environment wins over any choice here, so the box shows it and
        // cannot be changed.
        const QString variable = serial::environmentVariable(port);
        const QString fromEnvironment = serial::environmentDevice(port);
        devices->setEnabled(fromEnvironment.isEmpty());
        if (fromEnvironment.isEmpty()) {
            devices->setToolTip(QString());
        } else {
            devices->insertItem(0, fromEnvironment, chosen);
            devices->setCurrentIndex(0);
            fixed.append(variable);
            devices->setToolTip(
                QStringLiteral("Set by %1 in the environment, which comes before the choice "
                               "saved here.")
                    .arg(variable));
        }
    }
    // A greyed list says why, without the user having to find its tool tip.
    lblFixedDevices->setText(
        fixed.isEmpty() ? QString()
                        : QStringLiteral("Set in the environment, and so not changed here: %1.")
                              .arg(fixed.join(QStringLiteral(", "))));
    lblFixedDevices->setVisible(!fixed.isEmpty());
}

void frmUser::buildWordProcessor() {
    QFrame* panel = Frame1[2];
    OptWord = option(QStringLiteral("WordPad selected"), "OptWord", m_wordProcessors,
                     int(WordProcessor::WordPad), panel);
    OptOther = option(QStringLiteral("Other Word Processor"), "OptOther", m_wordProcessors,
                      int(WordProcessor::Other), panel);
    Command1 = named(new QPushButton(QStringLiteral("&Find"), panel), "Command1");
    Command1->setAutoDefault(false);
    Label4 = named(new QLabel(panel), "Label4");
    Label4->setTextFormat(Qt::PlainText);
    Label4->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Label4->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label4->setMinimumHeight(fontMetrics().height() + fontMetrics().height() / 2);
    // A long path is cut at the label's edge rather than widening the dialog.
    Label4->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Label1 = helpLabel(
        QStringLiteral("  You may add a word processor of your choice to the menu bar from here "
                       "if you like.  WordPad in Windows is the default. For help on selecting a "
                       "word processor, see the help file under SELECTING A WORD PROCESSOR. "
                       "Don't forget to save when you are finished!"),
        "Label1", panel);

    auto* other = new QHBoxLayout;
    other->addWidget(OptOther);
    other->addStretch(1);
    other->addWidget(Command1);
    auto* choice = new QVBoxLayout;
    choice->addWidget(OptWord);
    choice->addLayout(other);
    choice->addWidget(Label4);
    choice->addStretch(1);
    auto* layout = new QHBoxLayout(panel);
    layout->addLayout(choice, 3);
    layout->addSpacing(ui::twipsToPixels(240));
    layout->addWidget(Label1, 2);
}

void frmUser::buildEnvelope() {
    QFrame* panel = Frame1[3];
    OptLeft = option(QStringLiteral("Envelope feed tray from \"LEFT SIDE\""), "OptLeft", m_feeds,
                     int(Feed::Left), panel);
    OptRight = option(QStringLiteral("Envelope feed tray from \"RIGHT SIDE\""), "OptRight", m_feeds,
                      int(Feed::Right), panel);
    OptMan = option(QStringLiteral("Envelope feed Manual through paper tray"), "OptMan", m_feeds,
                    int(Feed::Manual), panel);
    Image1 = envelopePicture("envelope-left", "Image1", panel);
    Image2 = envelopePicture("envelope-right", "Image2", panel);
    Image3 = envelopePicture("envelope-manual", "Image3", panel);
    Label3 = helpLabel(
        QStringLiteral("Select the envelope option that you will use on your printer. The options "
                       "are for feeding the envelope from the front if you have a built on "
                       "envelope tray. If not, choose manual and feed it through the paper tray."),
        "Label3", panel);

    // Each feed beside the picture of it.
    auto* feeds = new QGridLayout;
    const std::array<std::pair<QRadioButton*, QWidget*>, 3> rows = {
        {{OptLeft, Image1}, {OptRight, Image2}, {OptMan, Image3}}};
    for (size_t i = 0; i < rows.size(); ++i) {
        feeds->addWidget(rows[i].second, int(i), 0);
        feeds->addWidget(rows[i].first, int(i), 1);
    }
    feeds->setColumnStretch(1, 1);
    auto* layout = new QHBoxLayout(panel);
    layout->addLayout(feeds, 3);
    layout->addSpacing(ui::twipsToPixels(240));
    layout->addWidget(Label3, 2);
}

void frmUser::buildLabels() {
    QFrame* panel = Frame1[4];
    Label5 = helpLabel(
        QStringLiteral("Select below the labels you would like to print the Address Book onto. "
                       "This will always be the default unless you change it again here."),
        "Label5", panel);
    // In the order of the design: the plain address labels by size, then the others.
    Opt5160 = option(QStringLiteral("Address (Avery 5160)"), "Opt5160", m_stocks, 5160, panel);
    Opt5161 = option(QStringLiteral("Address (Avery 5161)"), "Opt5161", m_stocks, 5161, panel);
    Opt5162 = option(QStringLiteral("Address (Avery 5162)"), "Opt5162", m_stocks, 5162, panel);
    Opt5260 = option(QStringLiteral("Address (Avery 5260)"), "Opt5260", m_stocks, 5260, panel);
    Opt5261 = option(QStringLiteral("Address (Avery 5261)"), "Opt5261", m_stocks, 5261, panel);
    Opt5262 = option(QStringLiteral("Address (Avery 5262)"), "Opt5262", m_stocks, 5262, panel);
    Opt5267 = option(QStringLiteral("Address (Avery 5267)"), "Opt5267", m_stocks, 5267, panel);
    Opt5163 =
        option(QStringLiteral("Address/Shipping (Avery 5163)"), "Opt5163", m_stocks, 5163, panel);
    Opt5660 =
        option(QStringLiteral("Clear Address (Avery 5660)"), "Opt5660", m_stocks, 5660, panel);
    Opt5662 =
        option(QStringLiteral("Clear Address (Avery 5662)"), "Opt5662", m_stocks, 5662, panel);

    auto* stocks = new QGridLayout;
    QRadioButton* const order[] = {Opt5160, Opt5161, Opt5162, Opt5260, Opt5261,
                                   Opt5262, Opt5267, Opt5163, Opt5660, Opt5662};
    for (int i = 0; i < 10; ++i)
        stocks->addWidget(order[i], i % 5, i / 5);
    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(Label5);
    layout->addSpacing(ui::twipsToPixels(120));
    layout->addLayout(stocks);

    const auto offsetBox = [panel](const char* name) {
        auto* box = new QDoubleSpinBox(panel);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(-UserSettings::MaxLabelOffset, UserSettings::MaxLabelOffset);
        box->setDecimals(1);
        box->setSingleStep(0.1);
        return box;
    };
    SpinOffsetX = offsetBox("SpinOffsetX");
    SpinOffsetY = offsetBox("SpinOffsetY");
    CmdTestSheet =
        named(new QPushButton(QStringLiteral("Print test sheet"), panel), "CmdTestSheet");
    CmdTestSheet->setAutoDefault(false);
    auto* calibration = new QFormLayout;
    calibration->addRow(QStringLiteral("Horizontal offset (mm)"), SpinOffsetX);
    calibration->addRow(QStringLiteral("Vertical offset (mm)"), SpinOffsetY);
    auto* calibrationRow = new QHBoxLayout;
    calibrationRow->addLayout(calibration);
    calibrationRow->addSpacing(ui::twipsToPixels(240));
    calibrationRow->addWidget(CmdTestSheet, 0, Qt::AlignBottom);
    calibrationRow->addStretch(1);
    layout->addSpacing(ui::twipsToPixels(120));
    layout->addLayout(calibrationRow);
    layout->addStretch(1);
}

void frmUser::buildMisc() {
    QFrame* panel = Frame1[5];
    OptIO = option(QStringLiteral("Show Large Images only"), "OptIO", m_toolbarStyles,
                   int(Style::LargeImagesOnly), panel);
    OptTI = option(QStringLiteral("Show Text and Images"), "OptTI", m_toolbarStyles,
                   int(Style::TextAndImages), panel);
    ChkTip = named(new QCheckBox(QStringLiteral("Show Tips at start-up"), panel), "ChkTip");
    ChkBU = named(new QCheckBox(QStringLiteral("Auto Back-up Database on Exit"), panel), "ChkBU");
    Label6 = helpLabel(
        QStringLiteral("Select to the left if you would like Images only or Text and Images to be "
                       "visible on the Toolbar. Remember to save your settings."),
        "Label6", panel);

    auto* choices = new QVBoxLayout;
    choices->addWidget(OptIO);
    choices->addWidget(OptTI);
    choices->addSpacing(ui::twipsToPixels(240));
    choices->addWidget(ChkTip);
    choices->addWidget(ChkBU);
    choices->addStretch(1);
    auto* layout = new QHBoxLayout(panel);
    layout->addLayout(choices, 3);
    layout->addSpacing(ui::twipsToPixels(240));
    layout->addWidget(Label6, 2);
}

void frmUser::Form_Load() {
    m_app.LoadSettings();
    showSettings(m_app.settings());
    adjustSize();
    ui::CenterForm(*this);
    update();
}

void frmUser::showSettings(const UserSettings& settings) {
    Text12->setText(settings.userName);
    Text13->setText(settings.userAddress1);
    Text14->setText(settings.userAddress2);
    Text15->setText(settings.userCity);
    Text16->setText(settings.userState);
    Text17->setText(settings.userZip);
    choose(m_ports, settings.commPort);
    showDevices(settings);
    choose(m_wordProcessors, int(settings.wordProcessor));
    Label4->setText(settings.wordProcessorPath);
    choose(m_feeds, int(settings.envelopeFeed));
    choose(m_stocks, settings.labelStock);
    SpinOffsetX->setValue(settings.labelOffsetX);
    SpinOffsetY->setValue(settings.labelOffsetY);
    choose(m_toolbarStyles, int(settings.toolbarStyle));
    showCheckState(ChkTip, settings.showTips);
    showCheckState(ChkBU, settings.autoBackup);
}

void frmUser::collect(UserSettings& settings) const {
    // A group with nothing selected answers -1, which is "none" for every choice.
    auto chosen = [](const QButtonGroup* group) { return std::max(0, group->checkedId()); };
    settings.userName = Text12->text();
    settings.userAddress1 = Text13->text();
    settings.userAddress2 = Text14->text();
    settings.userCity = Text15->text();
    settings.userState = Text16->text();
    settings.userZip = Text17->text();
    settings.commPort = chosen(m_ports);
    for (int port = 1; port <= UserSettings::CommPorts; ++port)
        settings.commDevices[std::size_t(port - 1)] =
            cboComm[std::size_t(port - 1)]->currentData().toString();
    settings.wordProcessor = WordProcessor(chosen(m_wordProcessors));
    settings.wordProcessorPath = Label4->text();
    settings.envelopeFeed = Feed(chosen(m_feeds));
    settings.labelStock = chosen(m_stocks);
    settings.labelOffsetX = SpinOffsetX->value();
    settings.labelOffsetY = SpinOffsetY->value();
    settings.toolbarStyle = Style(chosen(m_toolbarStyles));
    settings.showTips = checkState(ChkTip);
    settings.autoBackup = checkState(ChkBU);
}

void frmUser::Command1_Click() {
    frmFind picker(*Label4, this);
    picker.Form_Load();
    ui::Modal::exec(picker);
}

void frmUser::OptIO_Click() {
    m_app.mainWindow().applyToolbarStyle(Style::LargeImagesOnly);
}

void frmUser::OptTI_Click() {
    m_app.mainWindow().applyToolbarStyle(Style::TextAndImages);
}

void frmUser::useSave_Click() {
    collect(m_app.settings());
    m_app.SaveSettings();
}

void frmUser::CmdTestSheet_Click() {
    const int stock = m_stocks->checkedId();
    if (stock <= 0) {
        ui::MessageBoxService::inform(QStringLiteral("Choose a label stock in User Settings first"),
                                      {}, ui::Icon::Exclamation, this);
        return;
    }
    try {
        report::showPreview(
            std::make_unique<LabelTestSheet>(
                stock, QPointF(SpinOffsetX->value(), SpinOffsetY->value()), m_app.folder()),
            this);
    } catch (const PlatformError& error) {
        ui::MessageBoxService::inform(
            QStringLiteral("The test sheet could not be made.\n\n%1").arg(error.description()), {},
            ui::Icon::Exclamation, this);
    }
}

void frmUser::useDelete_Click() {
    for (QLineEdit* box : {Text12, Text13, Text14, Text15, Text16, Text17})
        box->clear();
    Text12->setFocus();
}

void frmUser::useExit_Click() {
    reject();
}

void registerPrefsCommands(AppContext& app) {
    app.commands().add(QStringLiteral("user"), [&app](CommandOrigin) {
        frmUser dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
}

} // namespace quillory
