#include "browse/Navigation.h"

#include "core/CardMessages.h"
#include "core/CardPlace.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace quillory::navigation {

namespace {

void tell(frmMain& main, const QString& text) {
    ui::MessageBoxService::show({text, ui::Buttons::Ok, ui::Icon::None, 0, {}}, &main);
}

// An empty book or an empty view: there is no row to move to, and nothing to write.
bool noRows(const engine::DataSource& data) {
    return !data.isOpen() || (data.rowCount() == 0 && !data.isAdding());
}

// Stores the display name with the card being left. A new card the user has not typed into is
// left untouched, so the move drops it: its display name alone would make an empty contact.
void storeDisplayName(frmMain& main) {
    const engine::DataSource& data = *main.Data1;
    if (data.isAdding() && !data.hasPendingEdits())
        return;
    main.StoreDisplayName();
}

} // namespace

bool writeOrReport(frmMain& main, const std::function<void()>& step) {
    engine::DataSource& data = *main.Data1;
    const bool hadEdits = data.hasPendingEdits() || data.isAdding();
    try {
        step();
        return true;
    } catch (const PlatformError& error) {
        if (!hadEdits)
            throw;
        reportUnsavedCard(error.description(), &main);
        return false;
    }
}

void addNew(frmMain& main, [[maybe_unused]] CommandOrigin origin) {
    engine::DataSource& data = *main.Data1;
    if (!data.isOpen())
        return;
    if (!writeOrReport(main, [&] { data.addNew(); }))
        return;
    // The card is blank now; the panel must not go on naming the contact left.
    main.ShowContactStatus();
    // Whichever way New was given, typing goes on with the last name, the card's first field.
    main.Text1->setFocus();
}

void save(frmMain& main) {
    engine::DataSource& data = *main.Data1;
    if (main.Text1->text().isEmpty()) {
        tell(main, QStringLiteral("You must first enter a Name"));
        return;
    }
    if (!data.isOpen())
        return;
    main.StoreDisplayName();
    if (data.eof()) {
        if (writeOrReport(main, [&] { data.movePrevious(); }))
            main.ShowContactStatus();
        return;
    }
    // The card is written where it stands, then the book is opened again in the user's view
    // with the saved contact on the card.
    CardPlace place = cardPlace(main);
    if (!writeOrReport(main, [&] { data.update(); }))
        return;
    place.contact = data.rowId();
    try {
        reopenAt(main, place);
    } catch (const PlatformError&) {
        // The contact is stored; a failed re-query leaves the book closed until the next view.
    }
}

void deleteCurrent(frmMain& main) {
    engine::DataSource& data = *main.Data1;
    if (main.Text1->text().isEmpty()) {
        tell(main, QStringLiteral("There is no record to delete!"));
        return;
    }
    const ui::Answer answer = ui::MessageBoxService::show(
        {QStringLiteral("Do you really want to DELETE this Entry?"), ui::Buttons::YesNo,
         ui::Icon::None, 1, QStringLiteral(" Delete!")},
        &main);
    if (answer != ui::Answer::Yes || !data.isOpen())
        return;
    if (data.isAdding()) {
        // A card that was never stored has nothing to delete but its typing.
        data.cancelUpdate();
        if (data.rowCount() > 0)
            data.moveLast();
    } else if (data.absolutePosition() >= 0) {
        data.deleteCurrent();
        data.moveNext();
        if (data.eof() && data.rowCount() > 0)
            data.movePrevious();
    }
    main.Text1->setFocus();
    // The deleted contact is gone from the card; the panel names the one shown now.
    main.ShowContactStatus();
}

void moveFirst(frmMain& main) {
    engine::DataSource& data = *main.Data1;
    if (data.isOpen() && !data.bof()) {
        storeDisplayName(main);
        if (!writeOrReport(main, [&] { data.moveFirst(); }))
            return;
    }
    main.ShowContactStatus();
}

void moveUp(frmMain& main) {
    engine::DataSource& data = *main.Data1;
    if (noRows(data))
        return;
    if (data.absolutePosition() == 0) {
        tell(main, QStringLiteral("You are at the FIRST record!"));
        return;
    }
    storeDisplayName(main);
    if (!writeOrReport(main, [&] { data.movePrevious(); }))
        return;
    main.ShowContactStatus();
}

void moveDown(frmMain& main) {
    engine::DataSource& data = *main.Data1;
    if (noRows(data))
        return;
    if (!writeOrReport(main, [&] { data.moveNext(); }))
        return;
    if (main.PositionLBL->text() == QLatin1String("0")) {
        tell(main, QStringLiteral("You are at the LAST record!"));
        data.movePrevious();
        main.StoreDisplayName();
    }
    main.ShowContactStatus();
}

void moveLast(frmMain& main) {
    engine::DataSource& data = *main.Data1;
    if (data.isOpen() && !data.eof()) {
        storeDisplayName(main);
        if (!writeOrReport(main, [&] { data.moveLast(); }))
            return;
    }
    main.ShowContactStatus();
}

void openView(frmMain& main, const QString& recordSource, const QString& panelText) {
    engine::DataSource& data = *main.Data1;
    // Typing not yet written would be dropped by the re-query; it is written first.
    if (!main.writePendingCard())
        return;
    data.setRecordSource(recordSource);
    data.refresh();
    main.StatusBar1->setPanelText(StatusPanels::View, panelText);
    main.ShowContactStatus();
}

void showPersonal(frmMain& main) {
    openView(main, contact::source::PersonalContacts, QStringLiteral("Personal Contacts"));
}

void showBusiness(frmMain& main) {
    openView(main, contact::source::BusinessContacts, QStringLiteral("Business Contacts"));
}

void showAll(frmMain& main) {
    openView(main, contact::source::AllContacts, QStringLiteral("All Contacts"));
}

void jumpToLetter(frmMain& main, QChar letter) {
    engine::DataSource& data = *main.Data1;
    if (data.isOpen() &&
        !writeOrReport(main, [&] { data.findFirst(contact::letterCriterion(letter)); }))
        return;
    main.ShowContactStatus();
}

void moveToRow(frmMain& main, int row) {
    engine::DataSource& data = *main.Data1;
    if (!data.isOpen() || row < 0 || row >= data.rowCount() || row == data.absolutePosition())
        return;
    writeOrReport(main, [&] { data.moveTo(row); });
}

} // namespace quillory::navigation
