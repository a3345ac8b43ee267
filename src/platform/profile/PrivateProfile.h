#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillory {

// A private-profile text file: "[Section]" header lines followed by "key=value" lines. The
// program keeps its preferences and window geometry in such files.
//
// Reading follows the platform's rules: section and key names match without regard to letter
// case (the first matching section, and the first matching key in it, count); a value loses
// its surrounding blanks and then one pair of enclosing double or single quotes; and callers
// receive at most MaxValueLength characters, as they read through a buffer of ReadBufferSize.
//
// Writing creates the file, the section and the key as needed and replaces an existing value
// on its own line; every other line (other sections and keys, blank lines, ";" comments) is
// kept as it was. A file is replaced as a whole through a temporary file, so a failed save
// leaves the previous file intact.
class PrivateProfile {
public:
    static constexpr qsizetype ReadBufferSize = 1028;
    static constexpr qsizetype MaxValueLength = ReadBufferSize - 1;

    // The value of `key` in `section` of the file at `path`; empty when the file, the section
    // or the key is missing or the value is empty.
    static QString getString(const QString& section, const QString& key, const QString& path);

    // Sets one value and saves the file. False when the file could not be read or written, or
    // the section or key name cannot be stored in the format.
    static bool writeString(const QString& section, const QString& key, const QString& value,
                            const QString& path);

    // An empty document, saved as a new file.
    PrivateProfile() = default;

    // Reads a whole file. A missing file gives an empty document; a file that exists but
    // cannot be read gives an empty document that refuses to be saved, so that saving cannot
    // wipe out contents it never saw.
    static PrivateProfile load(const QString& path);

    // Parses file contents: UTF-8, or Latin-1 when the bytes are not valid UTF-8.
    static PrivateProfile fromBytes(const QByteArray& bytes);

    bool isReadable() const { return !m_readFailed; }

    // Read with the platform's rules described above.
    QString value(const QString& section, const QString& key) const;

    // Whether the key is present in the section, even with an empty value.
    bool contains(const QString& section, const QString& key) const;

    // Sets a value, adding the section and the key when missing. False, and nothing changed,
    // when the section or key name cannot be stored (empty, or holding characters that would
    // change the meaning of the line).
    bool setValue(const QString& section, const QString& key, const QString& value);

    // The document as file contents, with the line ending the file was read with.
    QByteArray toBytes() const;

    // Writes the document to `path` through a temporary file that is swapped in once complete.
    bool save(const QString& path) const;

private:
    struct KeyLine {
        qsizetype index = -1; // -1: not found
        qsizetype equalsAt = -1;
    };

    qsizetype findSection(const QString& section) const;
    qsizetype sectionEnd(qsizetype headerIndex) const;
    KeyLine findKey(qsizetype headerIndex, const QString& key) const;

    QStringList m_lines;
    bool m_crlf = false;
    bool m_bom = false;
    bool m_readFailed = false;
};

} // namespace quillory
