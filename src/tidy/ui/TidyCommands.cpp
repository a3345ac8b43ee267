#include "tidy/ui/TidyCommands.h"

#include "core/AppContext.h"
#include "core/CardPlace.h"
#include "core/frmMain.h"
#include "platform/engine/Database.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Modal.h"
#include "tidy/Trash.h"
#include "tidy/ui/frmDuplicates.h"
#include "tidy/ui/frmTrash.h"

#include <memory>
#include <QAction>

namespace quillory {

namespace {

// The batch the last delete of this session put into the trash, which "Undo delete" brings back.
struct UndoState {
    qint64 batch = 0;
};

void offerUndo(frmMain& main, bool offered) {
    main.mnuUndoDel->setEnabled(offered);
    main.mnuUndoDelHid->setEnabled(offered);
}

// The card shows the first restored contact: in the view the user is in when it belongs there,
// else among all contacts.
void showRestored(frmMain& main, const QVector<qint64>& ids) {
    if (ids.isEmpty())
        return;
    CardPlace place = cardPlace(main);
    place.contact = ids.first();
    reopenAt(main, place);
}

void undoDelete(frmMain& main, UndoState& state) {
    if (state.batch == 0 || !main.writePendingCard(&main))
        return;
    QVector<qint64> restored;
    {
        const std::unique_ptr<engine::Database> db =
            engine::Database::open(main.Data1->databaseName());
        restored = tidy::restoreBatch(*db, state.batch);
    }
    state.batch = 0;
    offerUndo(main, false);
    if (restored.isEmpty()) {
        ui::MessageBoxService::inform(
            QStringLiteral("The contacts of the last delete are no longer in the trash: they "
                           "were restored already or the trash was emptied."),
            QStringLiteral("Undo delete"), ui::Icon::Information, &main);
        return;
    }
    showRestored(main, restored);
}

void showTrash(frmMain& main, UndoState& state) {
    // A restore opens the view again, which would drop the card's typing.
    if (!main.writePendingCard(&main))
        return;
    frmTrash dialog(main.Data1->databaseName(), &main);
    dialog.Form_Load();
    ui::Modal::exec(dialog);
    if (dialog.emptied()) {
        state.batch = 0;
        offerUndo(main, false);
    }
    showRestored(main, dialog.restored());
}

} // namespace

void registerTidyCommands(AppContext& app) {
    auto state = std::make_shared<UndoState>();
    // Every delete of the main window goes to the trash, in the delete's own transaction.
    app.onMainWindowCreated([state](frmMain& main) {
        main.Data1->setRemover([&main, state](engine::Database& db, const QVector<qint64>& rowIds) {
            state->batch = tidy::moveToTrash(db, rowIds, tidy::TrashReason::Deleted);
            offerUndo(main, true);
        });
    });
    app.commands().add(QStringLiteral("undodelete"),
                       [&app, state](CommandOrigin) { undoDelete(app.mainWindow(), *state); });
    app.commands().add(QStringLiteral("trash"),
                       [&app, state](CommandOrigin) { showTrash(app.mainWindow(), *state); });
    app.commands().add(QStringLiteral("duplicates"), [&app](CommandOrigin) {
        frmDuplicates dialog(app, &app.mainWindow());
        dialog.Form_Load();
        ui::Modal::exec(dialog);
    });
}

} // namespace quillory
