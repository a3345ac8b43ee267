#pragma once

#include <array>
#include <QString>
#include <QStringList>

namespace quillory::contact {

// One text field of the card: the column it shows, the box that shows it, the caption of its
// label and the most characters the box accepts (0: no limit).
struct CardField {
    const char* field;
    const char* control;
    const char* caption;
    int maxLength;
};

// The card's text fields in the order the keyboard focus visits them.
const std::array<CardField, 17>& cardFields();

// A column of the main window's grid.
struct GridColumn {
    const char* caption;
    const char* field;
    int width; // the grid's own initial width, in twips, until the settings give one
};
const std::array<GridColumn, 24>& gridColumns();

// The two entries of the contact-type box, and its prompt text.
QStringList contactTypes();
QString contactTypePrompt();

// Record-source texts with which the book is opened or re-queried. They are used exactly as
// written, the missing blank before ORDER included.
namespace source {
inline const QString Sorted = QStringLiteral("SELECT * From PhoneBK ORDER BY name,namef");
inline const QString AllContacts =
    QStringLiteral("SELECT * FROM PhoneBK ORDER BY PhoneBK.name, PhoneBK.namef;");
inline const QString PersonalContacts =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Personal Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");
inline const QString BusinessContacts =
    QStringLiteral("SELECT * FROM PhoneBK WHERE PhoneBK.extra4 = 'Business Contact'ORDER BY "
                   "PhoneBK.name, PhoneBK.namef;");
inline const QString StoredOrder = QStringLiteral("SELECT * FROM PhoneBK");
inline const QString Table = QStringLiteral("PhoneBK");
} // namespace source

// The quick index criterion for a letter: [name]Like'M*'.
QString letterCriterion(QChar letter);

// The display name stored in extra8: first name, one blank, last name.
QString displayName(const QString& firstName, const QString& lastName);

// Files beside the program, named with the leading backslash the program joins them by.
namespace file {
inline const QString Book = QStringLiteral("\\Corvanel.MDB");
inline const QString StandBy = QStringLiteral("\\db.MDB");
inline const QString CompactTemp = QStringLiteral("\\Corvan1.MDB");
inline const QString CompactOld = QStringLiteral("\\Corvanel.BAK");
inline const QString Backup = QStringLiteral("\\Corvanel.MD1");
inline const QString BackupName = QStringLiteral("Corvanel.MD1");
inline const QString Settings = QStringLiteral("\\Corvanel.hig");
inline const QString WindowGeometry = QStringLiteral("\\Corvanel.win");
inline const QString BookName = QStringLiteral("Corvanel.MDB");
// The label dialog's working copy of the book, the return addresses and their working copy.
inline const QString PrintCopy = QStringLiteral("\\print.mdb");
inline const QString ReturnAddresses = QStringLiteral("\\name1.mdb");
inline const QString ReturnCopy = QStringLiteral("\\name.mdb");
} // namespace file

} // namespace quillory::contact
