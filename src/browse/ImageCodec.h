#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quillory::images {

// Reading and storing the pictures of the contacts' photos. A photo is chosen from a picture
// file (Windows bitmap, JPEG, GIF or Windows metafile, recognised by their contents, not by
// the file's name) and stored in the book as PNG bytes, which keep its pixel size. Every
// picture is read within Qt's default allocation limit, so a hostile file cannot make the
// program claim gigabytes.

// What reading a picture file gave: the picture, or a message that names the file.
struct ReadResult {
    QImage image;
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

// Reads the picture file at `path`. An empty path gives an empty picture without an error,
// which is how the card's photo is cleared.
ReadResult readPictureFile(const QString& path);

// Reads a picture held in memory; `name` is only used in the message when it cannot be read.
ReadResult readPicture(const QByteArray& bytes, const QString& name);

// True when `bytes` start like a Windows metafile (with or without the placeable header).
bool looksLikeMetafile(const QByteArray& bytes);

// The bytes a photo is stored as (PNG); an empty picture stores as empty bytes.
QByteArray encodeStored(const QImage& image);

// The picture of stored bytes; a null image when they are empty or cannot be decoded.
QImage decodeStored(const QByteArray& bytes);

} // namespace quillory::images
