#pragma once

#include "core/CommandTable.h"
#include "core/UserSettings.h"

#include <array>
#include <functional>
#include <optional>
#include <QMainWindow>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSessionManager;
class QTableView;
class QTimer;

namespace quillory {

class AppContext;
class CardPicture;
class CommandToolbar;
class FieldBinder;
class GridModel;
class StatusPanels;
namespace engine {
class DataSource;
}
namespace bookfiles {
struct BookCheck;
}

// The main window: the card of the current contact over its data source `Data1`, the menus,
// the two toolbars, the popup menu, the grid, the letter index and the status bar. Its menu
// and toolbar handlers hand command keys to the application's command table.
class frmMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(AppContext& app, QWidget* parent = nullptr);
    ~frmMain() override;

    AppContext& app() const { return m_app; }
    engine::DataSource& data() const { return *Data1; }

    // Start-up: settings, photo pattern, load, title.
    void Form_Initialize();
    // The main window's load: geometry, splash closed, the book opened, texts, settings,
    // toolbar style, photo.
    void Form_Load();
    // Lays the card out for the window's size (also run when the window is first shown).
    void Form_Resize();

    // Shared steps of the card.
    void StoreDisplayName();
    void ShowContactStatus();
    // After the book was changed behind the card (an import, a sync): the view read again, on
    // the contact it showed before where it can.
    void showBookAgain();
    void ApplyBoldFont();
    // Makes one toolbar visible: large images only, or text and images.
    void applyToolbarStyle(UserSettings::ToolbarStyle style);
    // Writes the current position into PositionLBL.
    void updatePosition();

    // Writes what the user typed on the card (or into the grid) to the book. Every path that
    // re-queries or closes the data source runs this first. When the write fails the user is told
    // why (over `messageParent`, the main window when none), the typing stays on the card and
    // false comes back.
    bool writePendingCard(QWidget* messageParent = nullptr);
    // The same write without a report: the reason of a failure, nothing when it was written.
    std::optional<QString> storeCardTyping();
    // The program is about to end: the typing is written. When that fails and `mayAsk` says a
    // question may be put, the user chooses between quitting without it and staying; true when
    // the program may end.
    bool typingKeptForQuit(const std::function<bool()>& mayAsk);

    // Settings held by the window itself (bold, grid widths, last back-up location).
    void collectHeldSettings(UserSettings& settings) const;
    void applyLoadedSettings(const UserSettings& before);

    // Runs the command for `key` as the menus do; failures are reported in a message.
    void runMenuCommand(const QString& key);

    // Set by the browsing part: how the card is laid out for a size, and how the photo fits.
    void setLayoutRule(std::function<void(frmMain&)> rule) { m_layoutRule = std::move(rule); }
    void setFitPhoto(std::function<void(frmMain&)> fit) { m_fitPhoto = std::move(fit); }
    void FitPhoto();

    // The splash window to close during the load (set by the start-up).
    void setSplash(QWidget* splash) { m_splash = splash; }

    // Handlers.
    void Toolbar1_ButtonClick(int index, const QString& key);
    void Toolbar2_ButtonClick(int index, const QString& key);
    void Toolbar1_ButtonMenuClick(const QString& key);
    void Toolbar2_ButtonMenuClick(const QString& key);
    void Image1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint position);

    // Controls, named as designed. Tests and the other parts of the program reach them by
    // objectName; the parts that act on the card use these members.
    engine::DataSource* Data1;
    CommandToolbar* Toolbar1;
    CommandToolbar* Toolbar2;
    StatusPanels* StatusBar1;
    CardPicture* Image1;
    QComboBox* CboContact;
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text5, *Text6, *Text7, *Text8, *Text9, *Text10,
        *Text12, *Text13, *Text14, *Text15, *Text16, *Text17, *Text18;
    QPlainTextEdit* Text11;
    QLabel* Label5;
    QLabel* PositionLBL;
    QLabel* lblFontT;
    QLabel* lblDrive;
    QFrame* Frame1;
    QLabel* pic;
    QLabel* pix1;
    QLabel* Label2;
    QPushButton* Command5;
    QPushButton* Command4;
    QFrame* Frame2;
    std::array<QPushButton*, 26> Command2{};
    QFrame* frmBU;
    QTableView* DBGrid2;
    GridModel* gridModel;
    QWidget* card; // the surface the card's controls stand on
    // Field labels by the box they belong to ("Text1" -> its "Name-Last:" label).
    QHash<QString, QLabel*> fieldLabels;

    // Menus.
    QMenu *mnuFile, *mnuData, *mnuCon, *mnuUtil, *mnuDBU, *mnuHelp, *mnuDataHid;
    QAction *mnuAdd, *mnuSave, *mnuDel, *mnusep1, *mnuUser, *sep2, *mnuExit;
    // Contacts brought in from and written out to vCard and CSV files.
    QAction *mnuImport, *mnuExport, *sepExchange;
    // The book kept in step with an address book on a server.
    QAction *mnuSyncSetup, *mnuSyncNow, *sepSync;
    QAction *mnuPer, *mnuBus, *mnuAll, *mnuBOF, *mnuUp, *mnuDown, *mnuEOF;
    QAction *mnuBold, *mnuEmail, *mnuDial, *mnuPrint, *mnuSearch, *mnuWrite, *sep5;
    QAction* mnuDuplicates;
    QAction *mnuComDB, *mnuRepDB, *mnuBUDB, *mnuResDB;
    QAction* mnuVeiw;
    QAction *mnuHelpfile, *mnuTip, *sep3, *mnuSupp, *sep4, *mnuAbout;
    QAction *mnuAddHid, *mnuSaveHid, *mnuDelHid;
    // The trash: the last delete undone, and the deleted contacts listed.
    QAction *mnuUndoDel, *mnuUndoDelHid, *mnuTrash;

    // Placement of a control in twips on the card (top measured from the window's client
    // top, as designed; the toolbar band above the card is 600 high).
    void placeTwips(QWidget* control, double left, double top, double width, double height);
    QRectF twipsRect(const QWidget* control) const;

Q_SIGNALS:
    // Emitted first thing in the destructor, while every control still stands: whoever watches
    // the window's controls lets go of them here.
    void aboutToBeDestroyed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbars();
    void buildCard();
    void buildGrid();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption, const QString& key);
    bool isRecordMoveKey(const QKeyEvent& key) const;
    void installCardKeys();
    void toolbarClick(CommandOrigin origin, const QString& key);
    void openBook();
    // Says why the book cannot be opened and, where Repair can help, offers it.
    void refuseBook(const bookfiles::BookCheck& check);
    void commitSessionData(QSessionManager& manager);

    AppContext& m_app;
    FieldBinder* m_binder;
    QWidget* m_splash = nullptr;
    std::function<void(frmMain&)> m_layoutRule;
    std::function<void(frmMain&)> m_fitPhoto;
    bool m_closing = false;
    // The outer rectangle restored from the settings, until the window manager's frame is known
    // and the window has been fitted to it (see waitForFrame).
    std::optional<QRect> m_restoredOuter;
    bool m_restoredPosition = false;
    QTimer* m_frameWait = nullptr;
    int m_frameChecks = 0;
    int m_fitHeld = 0; // checks in a row that found the window fitted
    // The outer rectangle of the window in its normal state, as the user last had it: what is
    // stored, also for a maximized window, which comes back maximized.
    std::optional<QRect> m_normalOuter;
    QRect normalOuter() const;
    void restoreGeometry();
    void restoreOuter(const WindowGeometry& stored);
    void waitForFrame();
    // The shape the card was last laid out for.
    struct LaidOutFor {
        QSize window;
        QSize card;
        Qt::WindowStates state;
        bool operator==(const LaidOutFor&) const = default;
    };
    LaidOutFor m_laidOutFor;
    void layOutIfResized();
};

} // namespace quillory
