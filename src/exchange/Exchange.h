#pragma once

#include <functional>
#include <optional>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace quillory::exchange {

// Bringing contacts into the book from vCard and CSV files, and writing them out again.
// Nothing here shows a window: the import dialog and the command line both call this.
//
// Failures that stop a whole import or export (a file that cannot be read or holds no
// contacts at all, a book that cannot be opened or is being written by another program, a
// file that cannot be written) throw PlatformError with a one-line description. Problems of
// single records (a card without END, a field too long to read) are collected with their line
// numbers and never stop the rest.

enum class Format { Unknown, VCard, Csv };
// 2.1 for older phones and car kits, which read no other.
enum class VCardVersion { V3, V4, V21 };
enum class OnDuplicate { Skip, Add, Update };
// The contact type (extra4) an import gives contacts whose file names none: Automatic takes
// "Business Contact" for a card with a company or with work phones only, else "Personal
// Contact".
enum class ContactTypeChoice { Automatic, Personal, Business };

// A contact as the book holds it: field names of table PhoneBK ("name", "namef", "address1",
// ..., "remarks", "extra4" for the contact type, "extra8" for the display name) to texts, and
// the photo as the book stores it (JPEG or PNG bytes; empty when there is none).
//
// Besides the contact fields, `fields` may hold "uid" (the contact's identity, kept as a file
// gives it) and "birthdate" (the birthday with its century, yyyy-mm-dd).
struct Contact {
    QHash<QString, QString> fields;
    QByteArray photo;
    // The card names a company (kept in remarks): an import then takes it for a business
    // contact when the file gives no type.
    bool organisation = false;

    QString value(const QString& field) const { return fields.value(field); }
    bool operator==(const Contact& other) const {
        return fields == other.fields && photo == other.photo;
    }
};

// Something in the input that could not be taken: where (1-based line of the file) and why.
struct Problem {
    qint64 line = 0;
    QString reason;
};

// Where one column of a CSV file goes.
//
// Besides the fields of PhoneBK a Field target may name: "photo" (the picture, base64 or
// data: URI), "fullname" (split into first and last name when neither has a value),
// "telephone" (a phone whose slot follows the type in the column of the same number named
// "... - Type" or "... - Label", as webmail exports have them), "category" (the contact type
// when one of its values says personal or business, the rest kept in remarks), and
// "birthyear", "birthmonth", "birthdayofmonth" (a birthday given in three columns).
struct ColumnTarget {
    enum class Kind {
        Field,   // into the book field `field`
        Remarks, // kept in remarks as "<field or, when empty, column>: <value>"
        Ignore,  // left out
    };
    Kind kind = Kind::Remarks;
    QString field;

    bool operator==(const ColumnTarget&) const = default;
};

// The CSV header's columns in file order, each with where it goes. Detected from the header
// (see csvLayoutName for which known layout was recognised); a caller may change any target
// and hand the mapping back in ReadOptions.
struct ColumnMapping {
    QString column;
    ColumnTarget target;
};
using Mapping = QVector<ColumnMapping>;

struct ReadOptions {
    Format format = Format::Unknown; // Unknown: detected from the file's first bytes
    // For CSV: used instead of the detected mapping when given; its columns are matched to the
    // header's by position.
    std::optional<Mapping> mapping;
};

// One contact read from the file, with the line its record starts on.
struct ReadRecord {
    qint64 line = 0;
    Contact contact;
};

// What a look at the file found, before anything is written.
struct Preview {
    Format format = Format::Unknown;
    QString layout;            // CSV: "Google", "Outlook", "Thunderbird", "Quillory" or "Other"
    QString encoding;          // "UTF-8", "UTF-8 with BOM", "UTF-16LE", "Windows-1252" (CSV)
    char separator = ',';      // CSV
    Mapping mapping;           // CSV: the mapping the import will use
    QStringList firstValues;   // CSV: the first record's fields as the file holds them
    qint64 records = 0;        // readable records in the whole file
    QVector<ReadRecord> first; // the first few readable records, as they would be imported
    QVector<Problem> problems; // records that cannot be read (the first 1000)
    qint64 problemCount = 0;   // all of them
};

// Reads the whole file once and tells what an import would take. Throws PlatformError when the
// file cannot be opened, is empty, or holds neither vCards nor CSV.
Preview preview(const QString& path, const ReadOptions& options = {}, int firstCount = 5);

// The format the first bytes of a file show (a BOM is passed over); Unknown for anything else.
Format detectFormat(const QByteArray& head);

// Reads every record of a file: the contacts and the problems. Throws as preview() does.
struct ReadResult {
    Format format = Format::Unknown;
    QVector<ReadRecord> records;
    QVector<Problem> problems; // the first 1000
    qint64 problemCount = 0;
};
ReadResult readFile(const QString& path, const ReadOptions& options = {});
ReadResult readBytes(const QByteArray& bytes, const ReadOptions& options = {});

// Progress of a long run, called every few records: an import tells the bytes of the file read
// so far and the file's size, an export the contacts written and how many there are. Returning
// false cancels; an import then leaves the book as it was, an export leaves no file.
using Progress = std::function<bool(qint64 done, qint64 total)>;

struct ImportOptions {
    ReadOptions read;
    OnDuplicate onDuplicate = OnDuplicate::Skip;
    ContactTypeChoice contactType = ContactTypeChoice::Automatic;
    Progress progress;
};

// The contact type an import gives `contact`: the file's own, else the one `choice` says.
QString importedType(const Contact& contact, ContactTypeChoice choice);

struct ImportSummary {
    qint64 imported = 0;
    qint64 updated = 0;
    qint64 skipped = 0;          // duplicates left alone
    QVector<Problem> unreadable; // the first 1000
    qint64 unreadableCount = 0;  // all of them
    bool cancelled = false;      // nothing was written
    // "Imported 3, updated 0, skipped 1 (duplicates), unreadable 1." and one line per problem.
    QString text() const;
};

// Imports the file into the book file `bookPath` in one transaction: every readable record is
// written, or (cancelled, or any failure) none. A duplicate is a contact the book held before
// the import began (two cards of the file are never duplicates of each other): the one whose
// UID the card carries, whatever its name, else one with the same last and first name that
// shares a phone number or the e-mail address. A UID match is never added as a second
// contact: "Add" updates it. Every contact written gets the time of the write, and a new one a
// UID (the card's own, unless the book already gives it to another contact).
ImportSummary importFile(const QString& bookPath, const QString& filePath,
                         const ImportOptions& options = {});

enum class ExportScope {
    WholeBook,          // every contact, sorted by name
    RecordSource,       // the rows of `recordSource` (the program's SELECT, as a view uses)
    FlaggedForPrinting, // the contacts marked for printing, sorted by name
};

struct ExportOptions {
    Format format = Format::VCard;
    VCardVersion version = VCardVersion::V4;
    ExportScope scope = ExportScope::WholeBook;
    QString recordSource;
    Progress progress;
};

struct ExportSummary {
    qint64 exported = 0;
    bool cancelled = false; // the file was not written
};

// Writes the contacts of the book `bookPath` to `filePath` (replaced as a whole, only when
// complete): vCard with CRLF line ends folded at 75 octets, or CSV in the program's own layout
// (UTF-8 with BOM, CRLF). Contacts without a UID get one first, in one write, when the book
// can be written; the contacts are then read with the book opened for reading only.
ExportSummary exportBook(const QString& bookPath, const QString& filePath,
                         const ExportOptions& options = {});

// The texts behind the files, for callers that keep contacts in memory.
QByteArray writeVCards(const QVector<Contact>& contacts, VCardVersion version);
QByteArray writeCsv(const QVector<Contact>& contacts);

// The Field targets a column can be given, with a caption to show for each: the card's fields
// by their captions, "Contact Type", "Photo", then the targets that are read specially.
struct FieldChoice {
    QString field;
    QString caption;
};
QVector<FieldChoice> fieldChoices();

// The program's own CSV layout: the card's captions, then "Contact Type", "Photo" and "UID".
QStringList ownCsvHeader();
// The mapping the header `columns` gets, and the name of the layout it was recognised as.
Mapping detectMapping(const QStringList& columns, QString* layoutName = nullptr);

} // namespace quillory::exchange
