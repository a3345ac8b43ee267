#pragma once

#include <optional>
#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

namespace quillory::images {

// Reading and storing the pictures of the contacts' photos. A photo is chosen from a picture
// file (Windows bitmap, JPEG, PNG, GIF or Windows metafile, recognised by their contents, not
// by the file's name). A JPEG or PNG is stored in the book as the bytes of its file; any other
// picture as PNG bytes, which keep its pixel size. Pictures are decoded at the size they are
// shown at (a JPEG is read scaled, which reads a camera's photo many times faster), and every
// picture is read within Qt's default allocation limit, so a hostile file cannot make the
// program claim gigabytes.

// What reading a picture gave: the picture, or a message that names the file.
struct ReadResult {
    QImage image;
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

// A picture file as chosen: its bytes and the size of its picture, read from its header.
struct PictureFile {
    QByteArray bytes;
    QSize size;    // upright, as shown (a camera's portrait photo turned back)
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

// Reads the picture file at `path` and checks that it is a picture of a known size. An empty
// path gives an empty file without an error, which is how the card's photo is cleared.
PictureFile readPictureFile(const QString& path);

// The message that the picture file `name` cannot be read, for `reason`.
QString cannotRead(const QString& name, const QString& reason);

// Decodes a whole picture held in memory; `name` is only used in the message when it cannot be
// read.
ReadResult readPicture(const QByteArray& bytes, const QString& name);

// True when `bytes` start like a Windows metafile (with or without the placeable header).
bool looksLikeMetafile(const QByteArray& bytes);

// The bytes the book stores for the bytes of a picture file: a JPEG or PNG as it is, any
// other picture encoded as PNG. Empty when `bytes` are empty or no picture.
QByteArray storedBytes(const QByteArray& fileBytes);

// A picture encoded as PNG; an empty picture encodes as empty bytes.
QByteArray encodeStored(const QImage& image);

// The size of the picture of stored (or file) bytes, upright, from its header where the format
// has one; an invalid size when they are empty or no picture.
QSize pictureSize(const QByteArray& bytes);

// `natural` made as large as fits into `within` with its shape kept (at least one pixel each
// way); `natural` itself when `within` is empty.
QSize fittedSize(const QSize& natural, const QSize& within);

// The picture of stored (or file) bytes fitted into `within` with its shape kept (its natural
// size when `within` is empty), decoding only as many pixels as that needs where the format
// allows. A null image when the bytes are empty or cannot be decoded.
QImage decodeStored(const QByteArray& bytes, const QSize& within = {});

// Decodes pictures for a display that follows a current picture (the card, the chooser's
// preview). A small picture is decoded at once; a large one, such as a camera's, on a thread of
// the decoder's own, so that the window goes on while it is read. Only the latest request is
// answered: a card left before its photo was read never shows it.
class PictureDecoder final : public QObject {
    Q_OBJECT
public:
    explicit PictureDecoder(QObject* parent = nullptr);
    ~PictureDecoder() override;

    // Decodes `bytes`, a picture of `size`, fitted into `within`. Returns the picture (null when
    // it cannot be decoded) when it was decoded at once; nothing when `decoded` will bring it.
    std::optional<QImage> request(const QByteArray& bytes, const QSize& size, const QSize& within);

    // Forgets the request in flight: its answer is not delivered.
    void cancel() { ++m_latest; }

Q_SIGNALS:
    void decoded(const QImage& picture);

private:
    QThreadPool m_worker;
    quint64 m_latest = 0;
};

} // namespace quillory::images
