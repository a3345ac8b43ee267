#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace quillory {

// A private-profile text file: "[Section]" header lines followed by "key=value" lines. The
// program keeps its preferences and window geometry in such files.
//
// Reading follows the platform's rules: a line ends at LF, at CR LF and at a CR on its own;
// section and key names match without regard to letter case (the first matching section, and
// the first matching key in it, count); names and values lose surrounding blanks, tabs,
// vertical tabs, form feeds, CRs and ^Z, and a value then loses one pair of enclosing double or
// single quotes; callers receive at most MaxValueLength characters, as they read through a
// buffer of ReadBufferSize. A file is UTF-8 when its bytes are valid UTF-8 and Windows-1252
// otherwise, as the platform reads files that are not UTF-8, or when its first line is the
// comment "; Windows-1252".
//
// Writing creates the file, the section and the key as needed and replaces an existing key's
// line in place; every other byte of the file (other lines, their line ends, the encoding) is
// kept as it was. A Windows-1252 file whose bytes would pass for UTF-8 is written with that
// comment first, so that it is read in the same encoding the next time. Only a value that the
// file's encoding cannot hold turns a Windows-1252 file into UTF-8, so that no character is lost. A
// file is replaced as a whole through a temporary file, so a failed save leaves the previous file
// intact.
//
// Only regular files of at most MaxFileSize bytes are read: a named pipe would block the
// program for ever and a device such as /dev/zero would be read until memory runs out. Such a
// file is treated as missing, and the document read from it refuses to be saved, so that
// nothing is written into it or put in its place.
class PrivateProfile {
public:
    static constexpr qsizetype ReadBufferSize = 1028;
    static constexpr qsizetype MaxValueLength = ReadBufferSize - 1;
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    // What load() found at the path.
    enum class Source {
        Missing,        // no file: an empty document, saved as a new file
        Read,           // a regular file, read whole
        Unreadable,     // a regular file that could not be read
        NotRegularFile, // a folder, named pipe, device, socket or a link that leads nowhere
        TooLarge,       // a regular file larger than MaxFileSize
    };

    // The value of `key` in `section` of the file at `path`; empty when the file, the section
    // or the key is missing or the value is empty.
    static QString getString(const QString& section, const QString& key, const QString& path);

    // Sets one value and saves the file. False when the file could not be read or written, or
    // the section or key name cannot be stored in the format.
    static bool writeString(const QString& section, const QString& key, const QString& value,
                            const QString& path);

    // An empty document, saved as a new file.
    PrivateProfile() = default;

    // Reads a whole file. A missing file gives an empty document; anything at the path that
    // is not a readable regular file of a sane size gives an empty document that refuses to be
    // saved, so that saving can neither wipe out contents it never saw nor write into a pipe
    // or a device.
    static PrivateProfile load(const QString& path);

    // Parses file contents.
    static PrivateProfile fromBytes(const QByteArray& bytes);

    Source source() const { return m_source; }
    // Why the file is not used, in words for a message ("it is a named pipe"); empty when it
    // was read or is missing.
    QString problem() const { return m_problem; }
    bool isReadable() const { return m_source == Source::Missing || m_source == Source::Read; }

    // Read with the platform's rules described above.
    QString value(const QString& section, const QString& key) const;

    // Whether the key is present in the section, even with an empty value.
    bool contains(const QString& section, const QString& key) const;

    // Sets a value, adding the section and the key when missing. False, and nothing changed,
    // when the section or key name cannot be stored (empty, or holding characters that would
    // change the meaning of the line).
    bool setValue(const QString& section, const QString& key, const QString& value);

    // The document as file contents: the bytes read, with the lines that were set re-encoded.
    QByteArray toBytes() const;

    // Writes the document to `path` through a temporary file that is swapped in once complete.
    // Refused when the document was not read from a usable file, or when `path` is now taken
    // by something other than a regular file.
    bool save(const QString& path) const;

private:
    enum class Encoding { Utf8, Windows1252 };

    struct Line {
        QString text;     // without its line end
        QByteArray bytes; // `text` in the file's encoding
        QByteArray end;   // "\r\n", "\n", "\r", or empty for a last line without one
    };

    struct KeyLine {
        qsizetype index = -1; // -1: not found
        qsizetype equalsAt = -1;
    };

    static PrivateProfile refused(Source source, QString problem);

    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype headerIndex) const;
    KeyLine findKey(qsizetype headerIndex, const QString& key) const;
    void setLineText(Line& line, const QString& text);
    void insertLine(qsizetype at, const QString& text);

    QVector<Line> m_lines;
    QByteArray m_newLineEnd = QByteArrayLiteral("\n");
    Encoding m_encoding = Encoding::Utf8;
    QByteArray m_markEnd; // the line end of the Windows-1252 mark the file was read with
    bool m_bom = false;
    Source m_source = Source::Missing;
    QString m_problem;
};

} // namespace quillory
