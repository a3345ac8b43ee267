#pragma once

#include <QString>

namespace quillory {

class frmMain;
namespace engine {
class DataSource;
}

// Where the user stands in the book: the view (the record source and the status text that
// names it) and the contact on the card, known by its row id, since two contacts may share a
// name.
struct CardPlace {
    QString recordSource;
    QString viewText;
    qint64 contact = -1; // none
};

// Makes the row `contact` of the open record source current, found by its id (one row, not a
// walk through the source); false when the source does not hold it.
bool moveToContact(engine::DataSource& data, qint64 contact);

// The place the main window shows now.
CardPlace cardPlace(const frmMain& main);

// Opens the book again on the place's view with its contact on the card, so the order of the
// moves, the letter index and status panel 1 agree, and panel 2 names the card. A contact that
// has left the view (its type was changed) is shown among all contacts, and panel 1 says so;
// with no contact, or one no longer in the book, the view's first contact is current. Throws
// PlatformError when the book cannot be opened; panel 2 then follows the empty card.
void reopenAt(frmMain& main, const CardPlace& place);

} // namespace quillory
