#include "core/frmMain.h"

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/CardMessages.h"
#include "core/CardPicture.h"
#include "core/CommandToolbar.h"
#include "core/ContactRecord.h"
#include "core/FieldBinder.h"
#include "core/GridModel.h"
#include "core/SettingsStore.h"
#include "core/StatusPanels.h"
#include "core/WorkProgress.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/MessageBox.h"

#include <cmath>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSessionManager>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillory {

namespace {

// The states in which the window does not stand at the rectangle the user gave it.
constexpr Qt::WindowStates NotNormal =
    Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

// The band of the window above the card that the toolbars take, in design twips.
constexpr double CardTop = 600;

// Where each box of the card stands at design time, in twips.
struct DesignRect {
    const char* control;
    double left, top, width, height;
};

constexpr DesignRect CardDesign[] = {
    {"CboContact", 1440, 750, 3122, 315}, {"Text1", 1440, 1080, 1410, 285},
    {"Text12", 3270, 1080, 1290, 285},    {"Text2", 1440, 1395, 3120, 285},
    {"Text3", 1440, 1710, 3120, 285},     {"Text4", 1440, 2025, 3120, 285},
    {"Text5", 1440, 2340, 465, 285},      {"Text6", 2835, 2340, 1725, 285},
    {"Text7", 1890, 2655, 2670, 285},     {"Text13", 1890, 2970, 2670, 285},
    {"Text14", 1890, 3285, 2670, 285},    {"Text16", 1890, 3600, 2670, 285},
    {"Text8", 1890, 3915, 2670, 285},     {"Text15", 1890, 4230, 2670, 285},
    {"Text10", 2475, 4545, 2085, 285},    {"Text9", 1440, 4860, 3120, 285},
    {"Text18", 1440, 5190, 3135, 285},    {"Text11", 1440, 5535, 3150, 405},
};

const DesignRect* designOf(const QString& control) {
    for (const DesignRect& rect : CardDesign) {
        if (control == QLatin1String(rect.control))
            return &rect;
    }
    return nullptr;
}

// Field labels stand left of their boxes: from the card's left margin to just short of the
// box, except "First:" (placed by the layout) and "Zip code:" (right of the state box).
constexpr double LabelLeft = 120;
constexpr double LabelGap = 60;

template <typename Step> void passOver(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

QString errorText(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error))
        return platform->description();
    return QString::fromLocal8Bit(error.what());
}

// The grid's column titles with a band above them for the grid's caption; the band is left
// out of the header's own area so the titles, their clicks and their resizing stay below it.
class CaptionedHeader final : public QHeaderView {
public:
    CaptionedHeader(int band, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), m_band(band) {
        setViewportMargins(0, band, 0, 0);
    }
    QSize sizeHint() const override { return QHeaderView::sizeHint() + QSize(0, m_band); }

private:
    int m_band;
};

// The grid `DBGrid2` with its caption shown across its top, above the column titles, as a
// data-bound grid shows its caption.
class CaptionedGrid final : public QTableView {
public:
    CaptionedGrid(const QString& caption, QWidget* parent)
        : QTableView(parent), m_caption(new QLabel(caption, this)) {
        m_caption->setObjectName(QStringLiteral("DBGrid2_Caption"));
        m_caption->setAlignment(Qt::AlignCenter);
        m_caption->setAutoFillBackground(true);
        m_caption->setBackgroundRole(QPalette::Button);
        m_caption->setForegroundRole(QPalette::ButtonText);
        setHorizontalHeader(new CaptionedHeader(bandHeight(), this));
        m_caption->raise();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QTableView::resizeEvent(event);
        const int edge = frameWidth();
        m_caption->setGeometry(edge, edge, width() - 2 * edge, bandHeight());
        m_caption->raise();
    }

private:
    int bandHeight() const { return m_caption->fontMetrics().height() + 6; }
    QLabel* m_caption;
};

// The desktop's key for quitting; a key scheme without one (Windows') gets the usual Ctrl+Q.
QList<QKeySequence> quitKeys() {
    const QList<QKeySequence> standard = QKeySequence::keyBindings(QKeySequence::Quit);
    return standard.isEmpty() ? QList{QKeySequence(Qt::CTRL | Qt::Key_Q)} : standard;
}

// Keys of the card's boxes that belong to the window. A letter typed with Alt is a menu's
// access letter and never text: where no menu has it, nothing happens. The record moves' keys
// move the card from a one-line box, where Ctrl+Home and Ctrl+End would only do what Home and
// End do; the remarks box and the grid keep them for paging through their own lines.
class CardKeys final : public QObject {
public:
    enum class PageKeys { Window, Own };

    CardKeys(std::function<bool(const QKeyEvent&)> isMoveKey, QObject* parent)
        : QObject(parent), m_isMoveKey(std::move(isMoveKey)) {}

    void watch(QWidget* box, PageKeys pageKeys) {
        if (pageKeys == PageKeys::Own)
            m_ownPageKeys.insert(box);
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!m_isMoveKey(*key))
                return false;
            // Accepted, the key goes to the box; filtered out unaccepted, to the window.
            if (m_ownPageKeys.contains(watched))
                key->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            const Qt::KeyboardModifiers modifiers = key->modifiers();
            // Ctrl+Alt is how some keyboards type the characters of their third level.
            return modifiers.testFlag(Qt::AltModifier) &&
                   !modifiers.testFlag(Qt::ControlModifier) && !key->text().isEmpty();
        }
        return false;
    }

private:
    std::function<bool(const QKeyEvent&)> m_isMoveKey;
    QSet<QObject*> m_ownPageKeys;
};

} // namespace

frmMain::frmMain(AppContext& app, QWidget* parent)
    : QMainWindow(parent), Data1(new engine::DataSource(this)), m_app(app) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillory.svg")));
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setConnect(QStringLiteral("Access"));
    Data1->setDatabaseName(contact::file::BookName);
    Data1->setRecordSource(contact::source::Table);
    m_binder = new FieldBinder(*Data1, this);

    buildMenus();
    buildToolbars();
    buildCard();
    buildGrid();
    installCardKeys();

    connect(Data1, &engine::DataSource::repositioned, this, &frmMain::updatePosition);
    // Whatever ends the program, the typing on the card is written first. At the end of the
    // desktop session a question is put only when the session manager allows it; when the
    // event loop ends nobody can be asked any more.
#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, &frmMain::commitSessionData);
#endif
    connect(qApp, &QCoreApplication::aboutToQuit, this,
            [this] { typingKeptForQuit([] { return false; }); });

    m_frameWait = new QTimer(this);
    m_frameWait->setInterval(20);
    connect(m_frameWait, &QTimer::timeout, this, &frmMain::waitForFrame);

    // The card was designed for 9930 by 8835 twips; today's toolbar captions need a little
    // more width than that, so a first start opens somewhat larger.
    resize(ui::twipsToPixels(12600), ui::twipsToPixels(9600));
}

frmMain::~frmMain() {
    Q_EMIT aboutToBeDestroyed();
}

QAction* frmMain::addMenuItem(QMenu* menu, const char* name, const QString& caption,
                              const QString& key) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        connect(action, &QAction::triggered, this, [this, key] { runMenuCommand(key); });
    return action;
}

void frmMain::buildMenus() {
    auto separator = [](QMenu* menu, const char* name) {
        QAction* line = menu->addSeparator();
        line->setObjectName(QString::fromLatin1(name));
        return line;
    };
    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    mnuFile = menu("mnuFile", QStringLiteral("&File"));
    mnuAdd =
        addMenuItem(mnuFile, "mnuAdd", QStringLiteral("Add &new record"), QStringLiteral("add"));
    mnuSave = addMenuItem(mnuFile, "mnuSave", QStringLiteral("&Save current record"),
                          QStringLiteral("save"));
    mnuDel = addMenuItem(mnuFile, "mnuDel", QStringLiteral("&Delete current record"),
                         QStringLiteral("delete"));
    // Enabled by the trash after a delete of this session.
    mnuUndoDel = addMenuItem(mnuFile, "mnuUndoDel", QStringLiteral("Undo de&lete"),
                             QStringLiteral("undodelete"));
    mnuUndoDel->setEnabled(false);
    mnusep1 = separator(mnuFile, "mnusep1");
    mnuImport = addMenuItem(mnuFile, "mnuImport", QStringLiteral("&Import contacts..."),
                            QStringLiteral("import"));
    mnuExport = addMenuItem(mnuFile, "mnuExport", QStringLiteral("E&xport contacts..."),
                            QStringLiteral("export"));
    sepExchange = separator(mnuFile, "sepExchange");
    mnuSyncSetup = addMenuItem(mnuFile, "mnuSyncSetup", QStringLiteral("Sync with se&rver..."),
                               QStringLiteral("syncsetup"));
    mnuSyncNow =
        addMenuItem(mnuFile, "mnuSyncNow", QStringLiteral("Sync n&ow"), QStringLiteral("syncnow"));
    sepSync = separator(mnuFile, "sepSync");
    mnuUser =
        addMenuItem(mnuFile, "mnuUser", QStringLiteral("&User settings"), QStringLiteral("user"));
    sep2 = separator(mnuFile, "sep2");
    mnuExit = addMenuItem(mnuFile, "mnuExit", QStringLiteral("&Exit "), QStringLiteral("exit"));

    mnuData = menu("mnuData", QStringLiteral("&Data"));
    mnuCon = mnuData->addMenu(QStringLiteral("&Contacts"));
    mnuCon->setObjectName(QStringLiteral("mnuCon"));
    mnuPer =
        addMenuItem(mnuCon, "mnuPer", QStringLiteral("&Personal contacts"), QStringLiteral("pers"));
    mnuBus =
        addMenuItem(mnuCon, "mnuBus", QStringLiteral("&Business contacts"), QStringLiteral("bus"));
    mnuAll = addMenuItem(mnuCon, "mnuAll", QStringLiteral("&All contacts"), QStringLiteral("all"));
    mnuBOF = addMenuItem(mnuData, "mnuBOF", QStringLiteral("Move to &first record"),
                         QStringLiteral("bof"));
    mnuUp =
        addMenuItem(mnuData, "mnuUp", QStringLiteral("Move &up one record"), QStringLiteral("up"));
    mnuDown = addMenuItem(mnuData, "mnuDown", QStringLiteral("Move &down one record"),
                          QStringLiteral("down"));
    mnuEOF = addMenuItem(mnuData, "mnuEOF", QStringLiteral("Move to &last record"),
                         QStringLiteral("eof"));

    mnuUtil = menu("mnuUtil", QStringLiteral("&Utilities"));
    mnuBold = addMenuItem(mnuUtil, "mnuBold", QStringLiteral("&Bold font"), QStringLiteral("font"));
    mnuEmail = addMenuItem(mnuUtil, "mnuEmail", QStringLiteral("S&end Email or go to Web Page"),
                           QStringLiteral("Send"));
    mnuDial =
        addMenuItem(mnuUtil, "mnuDial", QStringLiteral("&Dial a number"), QStringLiteral("dial"));
    mnuPrint = addMenuItem(mnuUtil, "mnuPrint", QStringLiteral("&Printing options"),
                           QStringLiteral("print"));
    mnuSearch = addMenuItem(mnuUtil, "mnuSearch", QStringLiteral("&Search for an individual"),
                            QStringLiteral("search"));
    mnuDuplicates = addMenuItem(mnuUtil, "mnuDuplicates", QStringLiteral("Find d&uplicates..."),
                                QStringLiteral("duplicates"));
    mnuTrash = addMenuItem(mnuUtil, "mnuTrash", QStringLiteral("Deleted &contacts..."),
                           QStringLiteral("trash"));
    mnuWrite = addMenuItem(mnuUtil, "mnuWrite", QStringLiteral("&Word processor"),
                           QStringLiteral("write"));
    sep5 = separator(mnuUtil, "sep5");
    mnuDBU = mnuUtil->addMenu(QStringLiteral("Database U&tilities"));
    mnuDBU->setObjectName(QStringLiteral("mnuDBU"));
    mnuComDB =
        addMenuItem(mnuDBU, "mnuComDB", QStringLiteral("&Compact Database"), QStringLiteral("CD"));
    mnuRepDB =
        addMenuItem(mnuDBU, "mnuRepDB", QStringLiteral("&Repair Database"), QStringLiteral("RD"));
    mnuBUDB =
        addMenuItem(mnuDBU, "mnuBUDB", QStringLiteral("&Back-up Database"), QStringLiteral("BD"));
    mnuResDB = addMenuItem(mnuDBU, "mnuResDB", QStringLiteral("Res&tore Database from Back-up"),
                           QStringLiteral("RsD"));

    // "View Photo" is an item of the menu bar itself and acts at once.
    mnuVeiw = menuBar()->addAction(QStringLiteral("&View Photo"));
    mnuVeiw->setObjectName(QStringLiteral("mnuVeiw"));
    connect(mnuVeiw, &QAction::triggered, this,
            [this] { runMenuCommand(QStringLiteral("prevpic")); });

    mnuHelp = menu("mnuHelp", QStringLiteral("&Help"));
    mnuHelpfile = addMenuItem(mnuHelp, "mnuHelpfile", QStringLiteral("Help &contents"),
                              QStringLiteral("help"));
    mnuTip = addMenuItem(mnuHelp, "mnuTip", QStringLiteral("Show &Tips"), QStringLiteral("tip"));
    sep3 = separator(mnuHelp, "sep3");
    mnuSupp = addMenuItem(mnuHelp, "mnuSupp", QStringLiteral("&Support and Updates"),
                          QStringLiteral("support"));
    sep4 = separator(mnuHelp, "sep4");
    mnuAbout = addMenuItem(mnuHelp, "mnuAbout", QStringLiteral("&About the program"),
                           QStringLiteral("about"));

    // The popup menu of the card; never shown in the menu bar.
    mnuDataHid = new QMenu(QStringLiteral("Data Options"), this);
    mnuDataHid->setObjectName(QStringLiteral("mnuDataHid"));
    mnuAddHid = addMenuItem(mnuDataHid, "mnuAddHid", QStringLiteral("Add New Entry"),
                            QStringLiteral("add"));
    mnuSaveHid =
        addMenuItem(mnuDataHid, "mnuSaveHid", QStringLiteral("Save Entry"), QStringLiteral("save"));
    mnuDelHid = addMenuItem(mnuDataHid, "mnuDelHid", QStringLiteral("Delete current entry"),
                            QStringLiteral("delete"));
    mnuUndoDelHid = addMenuItem(mnuDataHid, "mnuUndoDelHid", QStringLiteral("Undo delete"),
                                QStringLiteral("undodelete"));
    mnuUndoDelHid->setEnabled(false);

    // The desktop's usual keys for the commands that have one, beside the menus' own letters.
    // A key runs its menu item, so the focus stays where the user is typing.
    const std::pair<QAction*, QList<QKeySequence>> keys[] = {
        {mnuAdd, QKeySequence::keyBindings(QKeySequence::New)},
        {mnuSave, QKeySequence::keyBindings(QKeySequence::Save)},
        {mnuSearch, QKeySequence::keyBindings(QKeySequence::Find)},
        {mnuPrint, QKeySequence::keyBindings(QKeySequence::Print)},
        {mnuHelpfile, QKeySequence::keyBindings(QKeySequence::HelpContents)},
        {mnuExit, quitKeys()},
        // Sync has no toolbar button; F9 is the key mail programs give send and receive.
        {mnuSyncNow, {QKeySequence(Qt::Key_F9)}},
        {mnuBOF, {QKeySequence(Qt::CTRL | Qt::Key_Home)}},
        {mnuUp, {QKeySequence(Qt::Key_PageUp)}},
        {mnuDown, {QKeySequence(Qt::Key_PageDown)}},
        {mnuEOF, {QKeySequence(Qt::CTRL | Qt::Key_End)}},
    };
    for (const auto& [action, sequences] : keys)
        action->setShortcuts(sequences);
}

bool frmMain::isRecordMoveKey(const QKeyEvent& key) const {
    const QKeySequence pressed(key.keyCombination());
    for (const QAction* move : {mnuBOF, mnuUp, mnuDown, mnuEOF}) {
        if (move->shortcuts().contains(pressed))
            return true;
    }
    return false;
}

void frmMain::installCardKeys() {
    auto* keys = new CardKeys([this](const QKeyEvent& key) { return isRecordMoveKey(key); }, this);
    for (QWidget* box : std::initializer_list<QWidget*>{
             CboContact, Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10,
             Text12, Text13, Text14, Text15, Text16, Text18})
        keys->watch(box, CardKeys::PageKeys::Window);
    keys->watch(Text11, CardKeys::PageKeys::Own);
    keys->watch(DBGrid2, CardKeys::PageKeys::Own);
}

void frmMain::buildToolbars() {
    Toolbar1 = new CommandToolbar(QStringLiteral("Toolbar1"),
                                  CommandToolbar::Size::SmallWithCaptions, this);
    Toolbar2 =
        new CommandToolbar(QStringLiteral("Toolbar2"), CommandToolbar::Size::LargeImagesOnly, this);
    addToolBar(Qt::TopToolBarArea, Toolbar1);
    addToolBar(Qt::TopToolBarArea, Toolbar2);
    Toolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
    Toolbar2->setContextMenuPolicy(Qt::PreventContextMenu);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(Toolbar1, &CommandToolbar::buttonClicked, this, &frmMain::Toolbar1_ButtonClick);
    connect(Toolbar2, &CommandToolbar::buttonClicked, this, &frmMain::Toolbar2_ButtonClick);
    connect(Toolbar1, &CommandToolbar::buttonMenuClicked, this, &frmMain::Toolbar1_ButtonMenuClick);
    connect(Toolbar2, &CommandToolbar::buttonMenuClicked, this, &frmMain::Toolbar2_ButtonMenuClick);

    StatusBar1 = new StatusPanels(this);
    setStatusBar(StatusBar1);
}

void frmMain::placeTwips(QWidget* control, double left, double top, double width, double height) {
    control->setGeometry(ui::twipsToPixels(QRectF(left, top - CardTop, width, height)));
}

QRectF frmMain::twipsRect(const QWidget* control) const {
    const QRect g = control->geometry();
    return {ui::pixelsToTwips(g.x()), ui::pixelsToTwips(g.y()) + CardTop,
            ui::pixelsToTwips(g.width()), ui::pixelsToTwips(g.height())};
}

void frmMain::buildCard() {
    card = new QWidget(this);
    card->setObjectName(QStringLiteral("card"));
    setCentralWidget(card);
    card->installEventFilter(this);

    Image1 = new CardPicture(card);
    connect(Image1, &CardPicture::mouseReleased, this, &frmMain::Image1_MouseUp);

    CboContact = new QComboBox(card);
    CboContact->setObjectName(QStringLiteral("CboContact"));
    CboContact->setEditable(true);
    CboContact->setInsertPolicy(QComboBox::NoInsert);
    CboContact->addItems(contact::contactTypes());
    CboContact->setEditText(contact::contactTypePrompt());
    CboContact->lineEdit()->setPlaceholderText(contact::contactTypePrompt());
    const DesignRect* comboRect = designOf(QStringLiteral("CboContact"));
    placeTwips(CboContact, comboRect->left, comboRect->top, comboRect->width, comboRect->height);
    m_binder->bind(CboContact, QStringLiteral("extra4"));

    auto label = [this](const QString& name, const QString& caption) {
        auto* l = new QLabel(caption, card);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        return l;
    };
    QLabel* contactLabel = label(QStringLiteral("lblContact"), QStringLiteral("Contact:"));
    placeTwips(contactLabel, LabelLeft, comboRect->top + 30, comboRect->left - LabelGap - LabelLeft,
               255);
    fieldLabels.insert(QStringLiteral("CboContact"), contactLabel);

    QWidget* previous = CboContact;
    std::array<QLineEdit**, 17> boxes = {&Text1,  &Text12, &Text2,  &Text3,  &Text4,  &Text5,
                                         &Text6,  &Text7,  &Text13, &Text14, &Text16, &Text8,
                                         &Text15, &Text10, &Text9,  &Text18, nullptr};
    const auto& fields = contact::cardFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const contact::CardField& field = fields[i];
        const QString control = QString::fromLatin1(field.control);
        const DesignRect* rect = designOf(control);
        QWidget* box = nullptr;
        if (boxes[i]) {
            auto* line = new QLineEdit(card);
            if (field.maxLength > 0)
                line->setMaxLength(field.maxLength);
            *boxes[i] = line;
            m_binder->bind(line, QString::fromLatin1(field.field));
            box = line;
        } else {
            Text11 = new QPlainTextEdit(card);
            Text11->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            Text11->setTabChangesFocus(true);
            m_binder->bind(Text11, QString::fromLatin1(field.field));
            box = Text11;
        }
        box->setObjectName(control);
        placeTwips(box, rect->left, rect->top, rect->width, rect->height);
        setTabOrder(previous, box);
        previous = box;

        const QString caption = QString::fromUtf8(field.caption);
        QLabel* fieldLabel =
            label(control == QLatin1String("Text12") ? QStringLiteral("Label1_0")
                                                     : QStringLiteral("lbl") + control,
                  caption);
        if (control == QLatin1String("Text12")) {
            fieldLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            placeTwips(fieldLabel, 2850, 1110 - 45, 405, 285);
        } else if (control == QLatin1String("Text6")) {
            const double left = 1440 + 465 + 90;
            placeTwips(fieldLabel, left, rect->top, rect->left - LabelGap - left, 285);
        } else {
            placeTwips(fieldLabel, LabelLeft, rect->top, rect->left - LabelGap - LabelLeft, 285);
        }
        fieldLabels.insert(control, fieldLabel);
    }

    // Hidden controls the program keeps for its own use.
    Text17 = new QLineEdit(card);
    Text17->setObjectName(QStringLiteral("Text17"));
    Text17->hide();
    m_binder->bind(Text17, QStringLiteral("extra8"));
    Label5 = new QLabel(card);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->hide();
    m_binder->bind(Label5, QStringLiteral("extra8"));
    PositionLBL = new QLabel(card);
    PositionLBL->setObjectName(QStringLiteral("PositionLBL"));
    PositionLBL->hide();
    lblFontT = new QLabel(card);
    lblFontT->setObjectName(QStringLiteral("lblFontT"));
    lblFontT->hide();
    lblDrive = new QLabel(QStringLiteral("Unknown"), card);
    lblDrive->setObjectName(QStringLiteral("lblDrive"));
    lblDrive->hide();

    // The photo frame.
    Frame1 = new QFrame(card);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    Frame1->setAutoFillBackground(true);
    placeTwips(Frame1, 5040, 720, 3765, 5295);
    // The frame's caption line: small enough to sit above the photo like a frame title.
    QFont captionFont = font();
    captionFont.setPixelSize(9);
    auto* photoCaption = new QLabel(QStringLiteral("PHOTO:"), Frame1);
    photoCaption->setObjectName(QStringLiteral("lblPhoto"));
    photoCaption->setFont(captionFont);
    photoCaption->setGeometry(4, 0, ui::twipsToPixels(700), ui::twipsToPixels(150));
    Label2 = new QLabel(Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(captionFont);
    Label2->setGeometry(ui::twipsToPixels(760), 0, ui::twipsToPixels(2900), ui::twipsToPixels(150));
    pic = new QLabel(Frame1);
    pic->setObjectName(QStringLiteral("pic"));
    pic->setScaledContents(true);
    pic->setToolTip(QStringLiteral("Your photos will be here"));
    pic->setFrameStyle(QFrame::Box | QFrame::Plain);
    pic->setStyleSheet(QStringLiteral("QLabel#pic { background: #f4f2ea; color: #9a9486; }"));
    pic->setGeometry(ui::twipsToPixels(QRectF(60, 150, 3645, 4665)));
    pix1 = new QLabel(card);
    pix1->setObjectName(QStringLiteral("pix1"));
    pix1->hide();
    Command5 = new QPushButton(QStringLiteral("Add Photo"), Frame1);
    Command5->setObjectName(QStringLiteral("Command5"));
    Command5->setGeometry(ui::twipsToPixels(QRectF(960, 4890, 1100, 375)));
    Command4 = new QPushButton(QStringLiteral("Delete Photo"), Frame1);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command4->setGeometry(ui::twipsToPixels(QRectF(2070, 4890, 1100, 375)));

    // The letter index: two staggered columns of buttons A to Z.
    Frame2 = new QFrame(card);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    placeTwips(Frame2, 8820, 720, 645, 4815);
    QFont letterFont = font();
    letterFont.setPointSizeF(std::max(6.0, letterFont.pointSizeF() - 1));
    letterFont.setBold(true);
    for (int k = 0; k < 26; ++k) {
        auto* button = new QPushButton(QString(QChar(u'A' + k)), Frame2);
        button->setObjectName(QStringLiteral("Command2_%1").arg(k));
        button->setFont(letterFont);
        button->setFocusPolicy(Qt::NoFocus);
        const double left = (k % 2 == 0) ? 0 : 315;
        const double top = (k % 2 == 0) ? 180.0 * k : 180.0 * k - 45;
        button->setGeometry(ui::twipsToPixels(QRectF(left, top, 295, 345)));
        Command2[size_t(k)] = button;
    }

    // The notice shown while the book is backed up on closing.
    frmBU = new QFrame(card);
    frmBU->setObjectName(QStringLiteral("frmBU"));
    frmBU->setFrameStyle(QFrame::Box | QFrame::Raised);
    frmBU->setLineWidth(2);
    frmBU->setAutoFillBackground(true);
    placeTwips(frmBU, 2790, 1260, 3165, 1485);
    auto* buLayout = new QVBoxLayout(frmBU);
    auto* buLine1 = new QLabel(QStringLiteral("Backing up Database!  Please stand by..."), frmBU);
    buLine1->setObjectName(QStringLiteral("lblBU1"));
    QFont noticeFont = buLine1->font();
    noticeFont.setBold(true);
    buLine1->setFont(noticeFont);
    auto* buLine2 =
        new QLabel(QStringLiteral("This dialog will close automatically when finished."), frmBU);
    buLine2->setObjectName(QStringLiteral("lblBU2"));
    for (QLabel* line : {buLine1, buLine2}) {
        line->setAlignment(Qt::AlignCenter);
        buLayout->addWidget(line);
    }
    // How much of the book is copied, and a way out that leaves the previous back-up as it was.
    auto* buBar = new QProgressBar(frmBU);
    buBar->setObjectName(QStringLiteral("prgBU"));
    buLayout->addWidget(buBar);
    auto* buCancel = new QPushButton(QStringLiteral("Cancel"), frmBU);
    buCancel->setObjectName(QStringLiteral("cmdBUCancel"));
    buLayout->addWidget(buCancel, 0, Qt::AlignRight);
    // The designed box was measured for the fonts of its day; today's need more room, so the
    // notice is at least as large as its two lines in the fonts it is shown in. The layout
    // moves it, keeping its size.
    frmBU->resize(frmBU->size().expandedTo(frmBU->sizeHint()));
    frmBU->hide();
}

void frmMain::buildGrid() {
    DBGrid2 = new CaptionedGrid(QStringLiteral("Grid View"), card);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("Grid View"));
    DBGrid2->setWindowTitle(QStringLiteral("Grid View"));
    gridModel = new GridModel(*Data1, DBGrid2);
    DBGrid2->setModel(gridModel);
    DBGrid2->setItemDelegate(new GridCellDelegate(DBGrid2));
    connect(gridModel, &GridModel::currentRowEdited, m_binder, &FieldBinder::fill);
    DBGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid2->setAlternatingRowColors(true);
    DBGrid2->verticalHeader()->setDefaultSectionSize(DBGrid2->fontMetrics().height() + 6);
    DBGrid2->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const auto& columns = contact::gridColumns();
    for (size_t column = 0; column < columns.size(); ++column)
        DBGrid2->setColumnWidth(int(column), ui::twipsToPixels(columns[column].width));
    DBGrid2->hide();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    // The window manager says the window is maximized (or minimized) before it moves it: the
    // window still stands where the user had it, and that is where it goes when restored.
    if (!(before & NotNormal) && (windowState() & NotNormal) && !m_restoredOuter)
        m_normalOuter = frameGeometry();
    // A window that came back maximized takes its stored rectangle once it is restored.
    if (!(windowState() & NotNormal) && m_restoredOuter && !m_frameWait->isActive()) {
        m_frameChecks = 0;
        m_fitHeld = 0;
        m_frameWait->start();
    }
}

QRect frmMain::normalOuter() const {
    if (m_restoredOuter)
        return *m_restoredOuter;
    if (windowState() & NotNormal)
        return m_normalOuter.value_or(frameGeometry());
    return frameGeometry();
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_restoredOuter && !m_frameWait->isActive()) {
        m_frameChecks = 0;
        m_fitHeld = 0;
        m_frameWait->start();
    }
}

void frmMain::waitForFrame() {
    // The stored size is the outer one, frame included, and the frame is known only once the
    // window manager has framed the mapped window, some time after it was shown. Until then
    // the window stands with the outer size as its inner one; once the frame is there the
    // window is fitted into the stored rectangle, so it does not grow by its frame at every
    // start. Without a window manager no frame ever comes and the two sizes are the same.
    // The frame can still change after the first fit (a maximized window's frame is thinner,
    // and the window manager may say so only after it has restored the window), so the fit is
    // made again until the window has stood in the rectangle for a few checks in a row.
    constexpr int MostChecks = 150; // 3 s at 20 ms
    constexpr int ChecksHeld = 5;
    // A maximized or minimized window is fitted once it is restored (see changeEvent).
    if (windowState() & NotNormal) {
        m_frameWait->stop();
        return;
    }
    const QRect outer = frameGeometry();
    const QSize frame = outer.size() - size();
    const bool framed = frame.width() > 0 || frame.height() > 0;
    if (framed && m_restoredOuter) {
        const bool fits = outer.size() == m_restoredOuter->size() &&
                          (!m_restoredPosition || outer.topLeft() == m_restoredOuter->topLeft());
        m_fitHeld = fits ? m_fitHeld + 1 : 0;
        if (!fits) {
            resize(m_restoredOuter->size() - frame);
            if (m_restoredPosition)
                move(m_restoredOuter->topLeft());
        }
    }
    if (m_fitHeld >= ChecksHeld || ++m_frameChecks >= MostChecks) {
        m_frameWait->stop();
        m_restoredOuter.reset();
    }
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layOutIfResized();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    // The card changes size without the window doing so when a toolbar of another height is
    // shown; it is laid out anew then, too.
    if (watched == card && event->type() == QEvent::Resize)
        layOutIfResized();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::layOutIfResized() {
    // A window resize reaches here twice, once for the window and once for its card; the
    // card is laid out once for each new shape.
    const LaidOutFor now{size(), card->size(), windowState()};
    if (now == m_laidOutFor)
        return;
    m_laidOutFor = now;
    Form_Resize();
}

void frmMain::Form_Resize() {
    if (m_layoutRule) {
        m_layoutRule(*this);
        return;
    }
    // Without the browsing part's rules the card picture and the grid fill the card.
    const QRect area = card->rect().adjusted(1, 0, -1, 0);
    Image1->setGeometry(area);
    DBGrid2->setGeometry(area);
}

void frmMain::FitPhoto() {
    if (m_fitPhoto)
        m_fitPhoto(*this);
}

void frmMain::Form_Initialize() {
    m_app.LoadSettings();
    Form_Load();
    setWindowTitle(QStringLiteral("Quillory"));
}

void frmMain::Form_Load() {
    // 1. The window where the user left it.
    restoreGeometry();
    // 2. The splash has done its work.
    if (m_splash)
        m_splash->close();
    // 3. The book, sorted, with the first contact current.
    openBook();
    // 4.-5.
    DBGrid2->hide();
    updatePosition();
    ShowContactStatus();
    // 6. The values that belong to this window now that it exists.
    m_app.LoadSettings();
    // 7.
    applyToolbarStyle(m_app.settings().toolbarStyle);
    // 8.-9.
    FitPhoto();
    update();
}

void frmMain::restoreGeometry() {
    const WindowGeometry stored = SettingsStore(m_app.folder().path()).loadWindowGeometry();
    if (stored.left || stored.top || stored.width || stored.height)
        restoreOuter(stored);
    // A window left maximized comes back maximized; restored, it takes the stored rectangle.
    if (stored.maximized.value_or(false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::restoreOuter(const WindowGeometry& stored) {
    // Each stored measure replaces the window's own; the window's frame is not known yet, so
    // its outer rectangle is its inner one.
    QRect outer = geometry();
    if (stored.left)
        outer.moveLeft(ui::storedTwipsToPixels(*stored.left));
    if (stored.top)
        outer.moveTop(ui::storedTwipsToPixels(*stored.top));
    if (stored.width)
        outer.setWidth(ui::storedTwipsToPixels(*stored.width));
    if (stored.height)
        outer.setHeight(ui::storedTwipsToPixels(*stored.height));
    // A hand-edited or foreign file can hold a window far larger than any screen (whose
    // pixels could not even be allocated) or one that stands off every screen.
    outer = ui::fitOnScreens(outer);
    // Without a stored position the window manager places the window.
    m_restoredPosition = stored.left || stored.top;
    if (m_restoredPosition)
        move(outer.topLeft());
    resize(outer.size());
    m_restoredOuter = outer;
}

void frmMain::openBook() {
    const QString bookPath = m_app.folder().file(contact::file::Book);
    try {
        bookfiles::ensureBookFiles(m_app.folder());
        // A repair started from here reopens the book on this record source.
        Data1->setRecordSource(contact::source::Sorted);
        const bookfiles::BookCheck check = bookfiles::checkBook(bookPath);
        if (check.condition != bookfiles::BookCondition::Usable) {
            refuseBook(check);
            return;
        }
        Data1->setDatabaseName(bookPath);
        Data1->refresh();
    } catch (const std::exception& error) {
        const auto* platform = dynamic_cast<const PlatformError*>(&error);
        if (platform && bookfiles::isDamage(*platform, bookPath)) {
            refuseBook({bookfiles::BookCondition::Damaged, platform->description()});
            return;
        }
        // The program stays usable without a book; nothing is written over the file. Where
        // there is no file (a folder that cannot be written), there is nothing to leave alone.
        const QString text =
            QFileInfo::exists(bookPath)
                ? QStringLiteral("The address book \"%1\" cannot be opened.\n\n%2\n\nThe file "
                                 "has been left as it is.")
                : QStringLiteral("The address book \"%1\" cannot be made.\n\n%2");
        ui::MessageBoxService::show({text.arg(QDir::toNativeSeparators(bookPath), errorText(error)),
                                     ui::Buttons::Ok,
                                     ui::Icon::Exclamation,
                                     0,
                                     {}},
                                    this);
    }
}

void frmMain::refuseBook(const bookfiles::BookCheck& check) {
    // Nothing opens the file by accident while it stands refused; Repair and Restore name
    // the book themselves.
    Data1->close();
    Data1->setDatabaseName(QString());
    const QString book = QDir::toNativeSeparators(m_app.folder().file(contact::file::Book));
    QString text;
    switch (check.condition) {
    case bookfiles::BookCondition::Damaged:
        text = QStringLiteral("The address book \"%1\" is damaged and cannot be opened.\n\n%2"
                              "\n\nRepair Database rebuilds it from every contact that can still "
                              "be read and keeps the damaged file beside it. Restore Database puts "
                              "back your last back-up. Both are under Utilities, Database "
                              "Utilities.\n\nRepair it now?");
        break;
    case bookfiles::BookCondition::Mendable:
        text = QStringLiteral("The address book \"%1\" cannot be used: %2.\n\nRepair Database "
                              "(Utilities, Database Utilities) rebuilds it in the shape the card "
                              "needs, keeping every contact, and keeps the file as it is now "
                              "beside it.\n\nRepair it now?");
        break;
    default:
        ui::MessageBoxService::show(
            {QStringLiteral("The address book \"%1\" cannot be opened: %2.\n\nRestore Database "
                            "(Utilities, Database Utilities) puts back your last back-up.\n\n"
                            "The file has been left as it is.")
                 .arg(book, check.problem),
             ui::Buttons::Ok,
             ui::Icon::Exclamation,
             0,
             {}},
            this);
        return;
    }
    const ui::Answer answer = ui::MessageBoxService::show(
        {text.arg(book, check.problem), ui::Buttons::YesNo, ui::Icon::Exclamation, 0, {}}, this);
    if (answer == ui::Answer::Yes)
        runMenuCommand(QStringLiteral("RD"));
}

void frmMain::updatePosition() {
    PositionLBL->setText(QString::number(Data1->absolutePosition() + 1));
}

std::optional<QString> frmMain::storeCardTyping() {
    if (!Data1->isOpen() || !(Data1->hasPendingEdits() || Data1->isAdding()))
        return std::nullopt;
    try {
        Data1->update();
    } catch (const std::exception& error) {
        return errorText(error);
    }
    return std::nullopt;
}

bool frmMain::writePendingCard(QWidget* messageParent) {
    const std::optional<QString> failure = storeCardTyping();
    if (failure)
        reportUnsavedCard(*failure, messageParent ? messageParent : this);
    return !failure;
}

bool frmMain::typingKeptForQuit(const std::function<bool()>& mayAsk) {
    const std::optional<QString> failure = storeCardTyping();
    if (!failure || !mayAsk())
        return true;
    const ui::Answer answer = ui::MessageBoxService::show(
        {QStringLiteral("The changes to this card could not be saved.\n\n%1\n\nQuit all the same "
                        "and lose them? Answer No to stay, with your typing kept on the card.")
             .arg(*failure),
         ui::Buttons::YesNo, ui::Icon::Exclamation, 1, QStringLiteral("Quillory")},
        this);
    return answer == ui::Answer::Yes;
}

void frmMain::commitSessionData(QSessionManager& manager) {
#ifndef QT_NO_SESSIONMANAGER
    bool asked = false;
    const bool mayEnd = typingKeptForQuit([&manager, &asked] {
        asked = manager.allowsInteraction();
        return asked;
    });
    if (!mayEnd)
        manager.cancel();
    if (asked)
        manager.release();
#else
    Q_UNUSED(manager);
#endif
}

void frmMain::StoreDisplayName() {
    Text17->setText(contact::displayName(Text12->text(), Text1->text()));
}

void frmMain::showBookAgain() {
    const int position = Data1->absolutePosition();
    try {
        Data1->refresh();
        if (position > 0 && Data1->recordCount() > 0)
            Data1->moveTo(std::min(position, Data1->recordCount() - 1));
    } catch (const PlatformError&) {
    }
    ShowContactStatus();
}

void frmMain::ShowContactStatus() {
    StatusBar1->setPanelText(StatusPanels::Contact, QStringLiteral("Data for ") + Text12->text() +
                                                        QStringLiteral(" ") + Text1->text());
}

void frmMain::ApplyBoldFont() {
    const bool bold = Toolbar2->value(toolbar::BoldButton) || Toolbar1->value(toolbar::BoldButton);
    QList<QWidget*> boxes = {CboContact, Text1,  Text2,  Text3,  Text4,  Text5,  Text6,
                             Text7,      Text8,  Text9,  Text10, Text11, Text12, Text13,
                             Text14,     Text15, Text16, Text17, Text18};
    for (QWidget* box : boxes) {
        QFont f = box->font();
        f.setBold(bold);
        box->setFont(f);
    }
    update();
}

void frmMain::applyToolbarStyle(UserSettings::ToolbarStyle style) {
    const bool large = style == UserSettings::ToolbarStyle::LargeImagesOnly;
    Toolbar2->setVisible(large);
    Toolbar1->setVisible(!large);
    update();
}

void frmMain::collectHeldSettings(UserSettings& settings) const {
    settings.boldPressed = Toolbar2->value(toolbar::BoldButton);
    settings.lastBackupLocation = lblDrive->text();
    for (int column = 0; column < UserSettings::StoredGridColumns; ++column) {
        const int pixels = DBGrid2->columnWidth(column);
        auto& stored = settings.gridWidths[size_t(column)];
        // A stored width that still gives the same pixels keeps its exact (fractional) value.
        if (!stored || ui::twipsToPixels(*stored) != pixels)
            stored = ui::pixelsToTwips(pixels);
    }
}

void frmMain::applyLoadedSettings(const UserSettings& before) {
    const UserSettings& now = m_app.settings();
    if (now.boldPressed) {
        Toolbar2->setValue(toolbar::BoldButton, true);
        Toolbar1->setValue(toolbar::BoldButton, true);
        ApplyBoldFont();
    }
    lblDrive->setText(now.lastBackupLocation);
    for (int column = 0; column < UserSettings::StoredGridColumns; ++column) {
        if (const auto& width = now.gridWidths[size_t(column)])
            DBGrid2->setColumnWidth(column, std::max(0, ui::twipsToPixels(*width)));
    }
    if (now.toolbarStyle != before.toolbarStyle &&
        now.toolbarStyle != UserSettings::ToolbarStyle::None)
        applyToolbarStyle(now.toolbarStyle);
}

void frmMain::runMenuCommand(const QString& key) {
    try {
        m_app.commands().run(key, CommandOrigin::Menu);
    } catch (const std::exception& error) {
        ui::MessageBoxService::show(
            {errorText(error), ui::Buttons::Ok, ui::Icon::Exclamation, 0, {}}, this);
    }
}

void frmMain::toolbarClick(CommandOrigin origin, const QString& key) {
    // A toolbar action that fails is passed over without a report.
    passOver([&] { m_app.commands().run(key, origin); });
}

void frmMain::Toolbar1_ButtonClick(int, const QString& key) {
    toolbarClick(CommandOrigin::Toolbar1, key);
}

void frmMain::Toolbar2_ButtonClick(int, const QString& key) {
    toolbarClick(CommandOrigin::Toolbar2, key);
}

void frmMain::Toolbar1_ButtonMenuClick(const QString& key) {
    runMenuCommand(key);
}

void frmMain::Toolbar2_ButtonMenuClick(const QString& key) {
    runMenuCommand(key);
}

void frmMain::Image1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint position) {
    if (button == Qt::RightButton)
        mnuDataHid->popup(Image1->mapToGlobal(position));
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->accept();
        return;
    }
    // 1.-2. Saved before the question, so they stand even when the user stays. A window closed
    // right after its frame came is fitted to its stored rectangle first.
    // A maximized window stores the rectangle it had before, and that it was maximized.
    if (m_restoredOuter)
        waitForFrame();
    const QRect outer = normalOuter();
    SettingsStore(m_app.folder().path())
        .saveWindowGeometry({ui::pixelsToTwips(outer.x()), ui::pixelsToTwips(outer.y()),
                             ui::pixelsToTwips(outer.width()), ui::pixelsToTwips(outer.height()),
                             windowState().testFlag(Qt::WindowMaximized)});
    m_app.SaveSettings();
    // 3.-4.
    const ui::Answer answer = ui::MessageBoxService::show(
        {QStringLiteral("Are you sure you want to QUIT!"), ui::Buttons::YesNo, ui::Icon::Question,
         1, QStringLiteral("Quillory")},
        this);
    if (answer != ui::Answer::Yes) {
        event->ignore();
        return;
    }
    // The typing on the card is written whether or not a back-up follows; when it cannot be,
    // the user decides between quitting without it and staying.
    if (!typingKeptForQuit([] { return true; })) {
        event->ignore();
        return;
    }
    // What the book syncs before exit goes into the back-up too.
    m_app.beforeExit();
    // 5.-6.
    if (m_app.settings().autoBackup == 1) {
        frmBU->raise();
        frmBU->show();
        repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::optional<QString> failure;
        {
            CopyProgressDriver driver(frmBU->findChild<QProgressBar*>(QStringLiteral("prgBU")),
                                      frmBU->findChild<QPushButton*>(QStringLiteral("cmdBUCancel")),
                                      frmBU);
            failure = bookfiles::AutoBackupOnExit(*Data1, m_app.folder(), driver.progress(),
                                                  bookfiles::AfterBackup::LeaveClosed);
        }
        frmBU->hide();
        repaint();
        // Nobody should leave believing a back-up was made.
        if (failure) {
            ui::MessageBoxService::show(
                {QStringLiteral("The address book could not be backed up on exit.\n\n%1\n\nAn "
                                "earlier back-up, if there is one, has been left as it was.")
                     .arg(*failure),
                 ui::Buttons::Ok,
                 ui::Icon::Exclamation,
                 0,
                 {}},
                this);
        }
    }
    m_closing = true;
    event->accept();
    QApplication::quit();
}

} // namespace quillory
