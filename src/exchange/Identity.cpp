// Who an imported or exported contact is: its UID and its contact type.

#include "core/ContactRecord.h"
#include "exchange/ExchangeDetail.h"
#include "platform/engine/Database.h"
#include "platform/engine/Transaction.h"
#include "platform/files/PlatformError.h"

namespace quillory::exchange {

QString importedType(const Contact& contact, ContactTypeChoice choice) {
    const QString given = contact.value(QStringLiteral("extra4"));
    if (!given.isEmpty())
        return given;
    const QStringList types = contact::contactTypes(); // personal, business
    switch (choice) {
    case ContactTypeChoice::Personal:
        return types[0];
    case ContactTypeChoice::Business:
        return types[1];
    case ContactTypeChoice::Automatic:
        break;
    }
    const auto has = [&contact](const char* field) {
        return !contact.value(QString::fromLatin1(field)).isEmpty();
    };
    const bool workOnly = (has("phone2") || has("fax2")) && !has("phone") && !has("fax");
    return contact.organisation || workOnly ? types[1] : types[0];
}

namespace detail {

void giveUidsBeforeExport(const QString& bookPath) {
    try {
        const auto db = engine::Database::open(bookPath, engine::Database::Mode::ReadWrite);
        if (!db->isBook())
            return; // the export's own open says what is wrong
        engine::Transaction transaction(*db);
        engine::book::addKeptFields(*db);
        engine::book::giveMissingUids(*db);
        transaction.commit();
    } catch (const PlatformError&) {
        // A book that cannot be written now (read-only, or busy) is exported as it is: its
        // contacts without a UID go out without one rather than with one the book forgets.
    }
}

} // namespace detail

} // namespace quillory::exchange
