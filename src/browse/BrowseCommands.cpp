#include "browse/BrowseCommands.h"

#include "browse/MainLayout.h"
#include "browse/Navigation.h"
#include "browse/Photos.h"
#include "core/AppContext.h"
#include "core/CommandToolbar.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/DataSource.h"
#include "platform/ui/MessageBox.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace quillory {

namespace browse {

void toggleBoldFromToolbar(frmMain& main, bool fromToolbar1) {
    CommandToolbar* clicked = fromToolbar1 ? main.Toolbar1 : main.Toolbar2;
    CommandToolbar* other = fromToolbar1 ? main.Toolbar2 : main.Toolbar1;
    other->setValue(toolbar::BoldButton, clicked->value(toolbar::BoldButton));
    main.ApplyBoldFont();
}

void toggleBoldFromMenu(frmMain& main) {
    const bool bold = !main.Text1->font().bold();
    main.Toolbar1->setValue(toolbar::BoldButton, bold);
    main.Toolbar2->setValue(toolbar::BoldButton, bold);
    main.ApplyBoldFont();
}

void toggleGrid(frmMain& main, bool pressed) {
    if (pressed) {
        main.DBGrid2->raise();
        main.DBGrid2->show();
        main.DBGrid2->setFocus();
        main.StatusBar1->setPanelText(StatusPanels::Contact,
                                      QStringLiteral("Click in the Grid to move to that entry"));
    } else {
        main.DBGrid2->hide();
        main.ShowContactStatus();
    }
}

} // namespace browse

namespace {

// Deletes the rows selected in the grid, last first so the positions of the others hold.
class GridKeys final : public QObject {
public:
    explicit GridKeys(frmMain& main) : QObject(&main), m_main(main) {
        main.DBGrid2->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Delete)
            return false;
        deleteSelectedRows();
        return true;
    }

private:
    void deleteSelectedRows() {
        engine::DataSource& data = *m_main.Data1;
        QList<int> rows;
        for (const QModelIndex& index : m_main.DBGrid2->selectionModel()->selectedRows())
            rows.append(index.row());
        if (rows.isEmpty() || !data.isOpen())
            return;
        const ui::Answer answer = ui::MessageBoxService::show(
            {rows.size() == 1 ? QStringLiteral("Do you really want to DELETE this Entry?")
                              : QStringLiteral("Do you really want to DELETE these %1 entries?")
                                    .arg(rows.size()),
             ui::Buttons::YesNo, ui::Icon::None, 1, QStringLiteral(" Delete!")},
            &m_main);
        if (answer != ui::Answer::Yes)
            return;
        // One step, so the selection goes to the trash together and comes back together.
        navigation::writeOrReport(m_main, [&] {
            data.deleteRows(rows);
            data.moveNext();
            if (data.eof() && data.rowCount() > 0)
                data.movePrevious();
        });
    }

    frmMain& m_main;
};

void connectCard(frmMain& main) {
    for (int k = 0; k < 26; ++k) {
        QObject::connect(main.Command2[size_t(k)], &QPushButton::clicked, &main,
                         [&main, k] { navigation::jumpToLetter(main, QChar(u'A' + k)); });
    }
    // A row click moves the card; the grid's cursor follows the card's moves.
    QTableView* grid = main.DBGrid2;
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, &main,
                     [&main](const QModelIndex& current) {
                         if (current.isValid())
                             navigation::moveToRow(main, current.row());
                     });
    QObject::connect(main.Data1, &engine::DataSource::repositioned, grid, [&main, grid] {
        const int row = main.Data1->absolutePosition();
        if (row < 0 || !grid->model() || row >= grid->model()->rowCount())
            return;
        const QModelIndex index =
            grid->model()->index(row, std::max(0, grid->currentIndex().column()));
        if (grid->currentIndex().row() != row) {
            QSignalBlocker block(grid->selectionModel());
            grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
            grid->viewport()->update();
        }
    });
    new GridKeys(main);
}

} // namespace

void registerBrowseCommands(AppContext& app) {
    CommandTable& commands = app.commands();
    auto main = [&app]() -> frmMain& { return app.mainWindow(); };
    // The toolbar's moves put the caret into the last-name box first.
    auto move = [main](void (*step)(frmMain&)) {
        return [main, step](CommandOrigin origin) {
            frmMain& window = main();
            if (origin != CommandOrigin::Menu)
                window.Text1->setFocus();
            step(window);
        };
    };

    commands.add(QStringLiteral("add"),
                 [main](CommandOrigin origin) { navigation::addNew(main(), origin); });
    commands.add(QStringLiteral("save"), [main](CommandOrigin) { navigation::save(main()); });
    commands.add(QStringLiteral("delete"),
                 [main](CommandOrigin) { navigation::deleteCurrent(main()); });
    commands.add(QStringLiteral("bof"), move(&navigation::moveFirst));
    commands.add(QStringLiteral("up"), move(&navigation::moveUp));
    commands.add(QStringLiteral("down"), move(&navigation::moveDown));
    commands.add(QStringLiteral("eof"), move(&navigation::moveLast));

    commands.add(QStringLiteral("pers"),
                 [main](CommandOrigin) { navigation::showPersonal(main()); });
    commands.add(QStringLiteral("bus"),
                 [main](CommandOrigin) { navigation::showBusiness(main()); });
    commands.add(QStringLiteral("all"), [main](CommandOrigin) { navigation::showAll(main()); });
    // The face of "Type" shows all contacts; its arrow offers the three views.
    commands.add(QStringLiteral("type"), [main](CommandOrigin) { navigation::showAll(main()); });

    commands.add(QStringLiteral("font"), [main](CommandOrigin origin) {
        if (origin == CommandOrigin::Menu)
            browse::toggleBoldFromMenu(main());
        else
            browse::toggleBoldFromToolbar(main(), origin == CommandOrigin::Toolbar1);
    });
    commands.add(QStringLiteral("grid"), [main](CommandOrigin origin) {
        frmMain& window = main();
        CommandToolbar* bar = origin == CommandOrigin::Toolbar2 ? window.Toolbar2 : window.Toolbar1;
        browse::toggleGrid(window, bar->value(toolbar::GridButton));
    });
    commands.add(QStringLiteral("utils"), [main](CommandOrigin) {
        ui::MessageBoxService::show(
            {QStringLiteral("Select drop-down arrow at right to select database tools."),
             ui::Buttons::Ok,
             ui::Icon::None,
             0,
             {}},
            &main());
    });

    app.onMainWindowCreated(&connectCard);
    app.onMainWindowCreated(&installLayout);
    registerPhotoCommands(app);
    app.onMainWindowCreated([&app](frmMain& window) { installPhotos(app, window); });
}

} // namespace quillory
