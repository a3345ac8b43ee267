#pragma once

#include "exchange/Exchange.h"

#include <memory>
#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

class QIODevice;

namespace quillory::exchange::detail {

// The longest line (after unfolding) or CSV record that is read; anything longer is reported
// and passed over without being held in memory. Large enough for a photo of several MB.
constexpr qsizetype maxRecordBytes = 16 * 1024 * 1024;
// Problems kept in a summary; past this only their number grows.
constexpr int maxProblems = 1000;
// A UTF-16 file is turned into UTF-8 in memory before it is read; larger ones are refused.
constexpr qint64 maxUtf16Bytes = 256 * 1024 * 1024;

// Reads a file line by line in bounded memory. Lines end with LF, CRLF or a lone CR.
class LineReader {
public:
    explicit LineReader(QIODevice& device);

    enum class Status { Line, TooLong, End };
    // The next line without its end (`end` gets "\r\n", "\n", "\r" or nothing at the file's
    // end). A line longer than maxRecordBytes gives TooLong and is skipped to its end.
    Status next(QByteArray& line, QByteArray& end);
    qint64 lineNumber() const { return m_lineNumber; } // of the line returned last
    qint64 bytesRead() const { return m_consumed; }

private:
    bool fill();
    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_lineNumber = 0;
    qint64 m_consumed = 0;
};

bool isUtf8(const QByteArray& bytes);
QString fromWindows1252(const QByteArray& bytes);
// Text in the named character set; an empty or unknown name takes UTF-8 when the bytes are
// valid UTF-8 and Windows-1252 otherwise.
QString decodeText(const QByteArray& bytes, const QByteArray& charset = {});

// The bytes the book stores for a picture file's bytes (a JPEG or PNG as it is, others as PNG);
// empty when they are no picture.
QByteArray storedPhoto(const QByteArray& pictureBytes);

// "04/12/85" for the date forms of vCard and the mail programs (19850412, 1985-04-12,
// 1985-04-12T10:00:00Z, --0412, 4/12/1985); an empty string when `text` is not a date.
QString cardBirthday(const QString& text);
// "1906-05-05" when `text` is a date written with its century; empty otherwise.
QString fullBirthdate(const QString& text);
// The contact's birthday with its century ("birthdate") while the card's Birthday still says
// that day; empty when it is not known.
QString knownBirthdate(const Contact& contact);
// The vCard form of a contact's birthday: the full date when it is known ("1906-05-05"), else
// the day without a year ("--0412" in the `basic` form, "--04-12" otherwise), for a card's
// year of two digits says no century; empty when the card's text is no date.
QString isoBirthday(const Contact& contact, bool basic);

// The vCard property that keeps the card's own birthday text ("04/12/85") beside a BDAY written
// without the year, whose century the card does not know.
constexpr char birthdayTextProperty[] = "X-QUILLORY-BIRTHDAY";

// Gathers one contact: the first value for a field takes the field, later ones go to remarks
// with their label, so nothing is dropped.
class ContactBuilder {
public:
    // `keepBlanks`: a value of blanks only is a value too (a vCard says exactly what a field
    // holds); otherwise it counts as empty, as in the columns of a spreadsheet.
    explicit ContactBuilder(bool keepBlanks = false) : m_keepBlanks(keepBlanks) {}

    // Puts `value` into the first of `fields` that is still empty; when all are taken it is kept
    // in remarks as "<label>: <value>".
    void put(const QStringList& fields, const QString& value, const QString& label);
    void put(const QString& field, const QString& value, const QString& label) {
        put(QStringList{field}, value, label);
    }
    // Puts `value` into `field` as it is, replacing what the field held.
    void set(const QString& field, const QString& value) { m_contact.fields[field] = value; }
    // Takes `value` for `field` exactly as it stands, blanks too: the program's own files hold
    // the book's texts, and what was written comes back.
    void keep(const QString& field, const QString& value);
    void remark(const QString& label, const QString& value);
    // A birthday in any form cardBirthday reads; one given with its century is kept whole too.
    void birthday(const QString& value, const QString& label);
    // The card's own birthday text (birthdayTextProperty): it takes the place of a birthday of
    // the same day read without its year.
    void birthdayText(const QString& text) { m_birthdayText = text; }
    void note(const QString& text); // the contact's own remarks, before the labelled ones
    void fullName(const QString& text) { m_fullName = text; }
    void category(const QString& value); // "Business", "Personal Contact", ... or a remark
    void photo(const QByteArray& pictureBytes, const QString& label);
    bool isEmpty() const;
    Contact finish();

private:
    bool isNothing(const QString& value) const {
        return m_keepBlanks ? value.isEmpty() : value.trimmed().isEmpty();
    }
    bool m_keepBlanks = false;
    Contact m_contact;
    QStringList m_notes;
    QStringList m_remarks;
    QSet<QString> m_remarkSet; // the same remarks, to pass over repeats quickly
    QString m_fullName;
    QString m_birthdayText;
};

// Phone slots of the book for a phone's types ("home", "work", "cell", "fax", "pager", ...).
QStringList phoneSlots(const QStringList& types);
QString phoneLabel(const QStringList& types);

// Pulls records out of a file one at a time.
class RecordReader {
public:
    virtual ~RecordReader() = default;
    // False at the end of the file.
    virtual bool next(ReadRecord& record) = 0;
    QVector<Problem>& problems() { return m_problems; }
    qint64 problemCount() const { return m_problemCount; }
    virtual qint64 bytesRead() const = 0;
    Preview info;
    // The text the reader reads when it is not the file itself (a UTF-16 file made UTF-8).
    std::unique_ptr<QIODevice> ownedInput;

protected:
    void problem(qint64 line, const QString& reason);

private:
    QVector<Problem> m_problems;
    qint64 m_problemCount = 0;
};

// Opens a reader on `device` (positioned at the start). Throws PlatformError, naming `name`,
// when the file is empty or holds neither vCards nor CSV.
std::unique_ptr<RecordReader> openReader(QIODevice& device, const QString& name,
                                         const ReadOptions& options);

std::unique_ptr<RecordReader> openVCardReader(QIODevice& device);
// Whether the first line of `head` is a CSV header with a column for a name, an e-mail address,
// a phone or an address; such a file is CSV whatever characters its values hold.
bool startsWithContactHeader(const QByteArray& head);
// Throws PlatformError when the header cannot be read or names no such column.
std::unique_ptr<RecordReader> openCsvReader(QIODevice& device, const QString& name,
                                            const ReadOptions& options);

// Gives the book's contacts without a UID one before an export reads them; a book that cannot
// be written is left as it is.
void giveUidsBeforeExport(const QString& bookPath);

// Writing: one contact as text.
QByteArray vCardOf(const Contact& contact, VCardVersion version);
QByteArray csvHeaderLine();
QByteArray csvLineOf(const Contact& contact);

} // namespace quillory::exchange::detail
