#pragma once

#include <QByteArray>

namespace quillory::contact {

// How the book keeps a contact's photo in `bitmap`. A JPEG or PNG picture is kept as the bytes
// of its file: both are compressed already and every program reads them, and a camera's JPEG
// would grow several times over as PNG. Any other picture (bitmap, GIF, metafile) is stored as
// PNG, which keeps its pixel size. `format` is the name QImageReader gives the picture's
// format ("jpeg", "png", ...).
inline bool keptAsFileBytes(const QByteArray& format) {
    return format == "jpeg" || format == "png";
}

} // namespace quillory::contact
