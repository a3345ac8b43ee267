#include "core/AppContext.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"
#include "sync/SyncEngine.h"
#include "sync/ui/frmSync.h"
#include "sync/ui/frmSyncProgress.h"
#include "sync/ui/Password.h"

namespace quillory {

namespace {

const QString Caption = QStringLiteral("Sync with server");

// File, "Sync now": the saved account, its password, the sync with progress and Cancel, and
// its summary in a message box and on the status bar. Says why when it cannot sync.
void syncNow(AppContext& app) {
    frmMain& main = app.mainWindow();
    const QString folder = app.folder().path();
    const sync::SyncAccount account = sync::SyncAccount::load(folder);
    if (!account.isSet()) {
        ui::MessageBoxService::inform(
            QStringLiteral("No sync account is set up yet: choose File, Sync with server... "
                           "first."),
            Caption, ui::Icon::Exclamation, &main);
        return;
    }
    sync::SyncOptions options = sync::SyncOptions::load(folder);
    // The user's Yes to plain http holds for this address until it changes.
    const bool agreedBefore = options.plainHttpAllowed(account.url);
    if (!sync::plainHttpAgreed(account.url, options, &main))
        return;
    if (!agreedBefore && options.plainHttpAllowed(account.url))
        options.save(folder);
    const QString key = sync::Password::keyOf(account.url, account.user);
    const std::optional<QString> password = sync::Password::obtain(key, account.user, &main);
    if (!password)
        return;
    // The card's typing goes to the server too.
    if (!main.writePendingCard(&main))
        return;
    sync::CardDavClient client(sync::clientAccount(account, options, *password));
    const QString book = main.data().databaseName();
    frmSyncProgress progress(
        [&client, book](const sync::SyncProgress& step) {
            return sync::synchronize(book, client, step).text();
        },
        [&client] { client.cancel(); }, &main);
    ui::Modal::exec(progress);
    if (progress.isRunning()) // a test's hook that left before the end
        return;
    // A password the server refused is not offered to it again: the next sync asks anew.
    if (progress.refusedLogin())
        sync::Password::forgetTyped(key);
    main.showBookAgain();
    main.StatusBar1->showMessage(progress.text(), 15000);
    ui::MessageBoxService::inform(
        progress.ok() ? progress.text()
                      : QStringLiteral("The sync did not complete: ") + progress.text(),
        Caption, progress.ok() ? ui::Icon::Information : ui::Icon::Exclamation, &main);
}

} // namespace

void registerSyncCommands(AppContext& app) {
    app.commands().add(QStringLiteral("syncsetup"), [&app](CommandOrigin) {
        frmSync dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
    app.commands().add(QStringLiteral("syncnow"), [&app](CommandOrigin) { syncNow(app); });
    app.onAfterShow([&app] {
        if (sync::SyncOptions::load(app.folder().path()).atStart)
            syncNow(app);
    });
    app.onBeforeExit([&app] {
        if (sync::SyncOptions::load(app.folder().path()).beforeExit)
            syncNow(app);
    });
}

} // namespace quillory
