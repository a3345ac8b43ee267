#include "core/CardPlace.h"

#include "core/AppContext.h"
#include "core/BookFiles.h"
#include "core/ContactRecord.h"
#include "core/frmMain.h"
#include "core/StatusPanels.h"
#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"

namespace quillory {

namespace {

void openView(frmMain& main, const QString& recordSource, const QString& viewText) {
    main.Data1->setRecordSource(recordSource);
    main.StatusBar1->setPanelText(StatusPanels::View, viewText);
    bookfiles::ReopenBook(*main.Data1, main.app().folder());
}

} // namespace

bool moveToContact(engine::DataSource& data, qint64 contact) {
    if (data.rowId() == contact)
        return true;
    data.findFirst(QStringLiteral("rowid = %1").arg(contact));
    return !data.noMatch();
}

CardPlace cardPlace(const frmMain& main) {
    return {main.Data1->recordSource(), main.StatusBar1->panelText(StatusPanels::View),
            main.Data1->rowId()};
}

void reopenAt(frmMain& main, const CardPlace& place) {
    engine::DataSource& data = *main.Data1;
    try {
        openView(main, place.recordSource, place.viewText);
        if (place.contact >= 0 && !moveToContact(data, place.contact)) {
            openView(main, contact::source::AllContacts, QStringLiteral("All Contacts"));
            // Gone from the book as well: the user stays in their view.
            if (!moveToContact(data, place.contact))
                openView(main, place.recordSource, place.viewText);
        }
    } catch (const PlatformError&) {
        main.ShowContactStatus();
        throw;
    }
    main.ShowContactStatus();
}

} // namespace quillory
