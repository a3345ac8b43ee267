#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace quillory::bench {

// What a generated book holds.
struct BookPlan {
    int contacts = 0;
    bool photos = false;
    quint64 seed = 1;
    // The size each photo's PNG bytes are tuned towards; the noise in the pictures is what
    // keeps them from compressing to nothing.
    int photoBytes = 5000;
};

struct BookReport {
    double seconds = 0;
    qint64 photoBytesTotal = 0;
    qint64 fileBytes = 0;
};

// Portraits of 320 x 400 pixels as PNG bytes: a backdrop, shoulders, a head and hair, with
// noise added until each picture is about `targetBytes` long. The same seed gives the same
// pictures.
QVector<QByteArray> makePhotos(int count, quint64 seed, int targetBytes);

// Writes a book of plausible contacts to `path` in one transaction. The book is built under a
// temporary name beside `path` and renamed into place only when it is complete, so a cut-off
// run never leaves a half-filled book under the final name. Fails (PlatformError) when `path`
// exists.
BookReport generateBook(const QString& path, const BookPlan& plan);

} // namespace quillory::bench
