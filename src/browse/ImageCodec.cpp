#include "browse/ImageCodec.h"

#include <cstring>
#include <Magick++.h>
#include <mutex>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>

namespace quillory::images {

namespace {

// The formats Qt decodes for us. A picture file is taken by its contents, so a bitmap named
// ".jpg" still loads; PNG is here because the photos are stored that way.
bool isQtPictureFormat(const QByteArray& format) {
    return format == "bmp" || format == "jpeg" || format == "jpg" || format == "gif" ||
           format == "png";
}

// The widest and tallest picture the window system can show.
constexpr size_t MaxSide = 32767;

// Qt's allocation limit in bytes (zero: none), the same bound for the metafiles we render.
qint64 allocationLimitBytes() {
    return qint64(QImageReader::allocationLimit()) * 1024 * 1024;
}

ReadResult failure(const QString& name, const QString& reason) {
    return {QImage(), QStringLiteral("The picture file \"%1\" cannot be read.\n\n%2")
                          .arg(QDir::toNativeSeparators(name), reason)};
}

QString notAPicture() {
    return QStringLiteral("It is not a Windows bitmap, JPEG, GIF or Windows metafile picture.");
}

void initialiseMagick() {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

// Windows metafiles are drawings, not pixels: ImageMagick renders them through libwmf.
// ImageMagick is told the format, so it never guesses a coder for what it is given.
ReadResult readMetafile(const QByteArray& bytes, const QString& name) {
    initialiseMagick();
    try {
        const Magick::Blob blob(bytes.constData(), size_t(bytes.size()));
        Magick::Image probe;
        probe.quiet(true);
        probe.magick("WMF");
        probe.ping(blob);
        const size_t width = probe.columns();
        const size_t height = probe.rows();
        if (width == 0 || height == 0)
            return failure(name, QStringLiteral("The metafile draws nothing."));
        const qint64 limit = allocationLimitBytes();
        if (width > MaxSide || height > MaxSide ||
            (limit > 0 && double(width) * double(height) * 4 > double(limit)))
            return failure(name, QStringLiteral("The picture is too large."));

        Magick::Image picture;
        picture.quiet(true);
        picture.magick("WMF");
        picture.read(blob);
        Magick::Blob pixels;
        picture.write(&pixels, "RGBA", 8);
        const int w = int(picture.columns());
        const int h = int(picture.rows());
        QImage image(w, h, QImage::Format_RGBA8888);
        const qsizetype rowBytes = qsizetype(w) * 4;
        if (image.isNull() || pixels.length() < size_t(rowBytes * h))
            return failure(name, QStringLiteral("The metafile could not be drawn."));
        const auto* source = static_cast<const uchar*>(pixels.data());
        for (int y = 0; y < h; ++y)
            std::memcpy(image.scanLine(y), source + rowBytes * y, size_t(rowBytes));
        return {image.convertToFormat(QImage::Format_ARGB32), {}};
    } catch (const Magick::Exception& error) {
        return failure(name, QString::fromLocal8Bit(error.what()));
    }
}

ReadResult readFrom(QIODevice& device, const QString& name) {
    const QByteArray head = device.peek(32);
    if (head.isEmpty())
        return failure(name, QStringLiteral("The file is empty."));
    if (looksLikeMetafile(head)) {
        const qint64 limit = allocationLimitBytes();
        if (limit > 0 && device.size() > limit)
            return failure(name, QStringLiteral("The picture is too large."));
        return readMetafile(device.readAll(), name);
    }
    const QByteArray format = QImageReader::imageFormat(&device);
    if (!isQtPictureFormat(format))
        return failure(name, notAPicture());
    QImageReader reader(&device, format);
    // Cameras store portrait photos turned on their side with a note to turn them back.
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image))
        return failure(name, reader.errorString());
    return {image, {}};
}

} // namespace

bool looksLikeMetafile(const QByteArray& bytes) {
    if (bytes.size() < 4)
        return false;
    const auto byte = [&bytes](int i) { return quint8(bytes.at(i)); };
    // The placeable header's key, 0x9AC6CDD7 little-endian.
    if (byte(0) == 0xD7 && byte(1) == 0xCD && byte(2) == 0xC6 && byte(3) == 0x9A)
        return true;
    // A bare header: type 1 (memory) or 2 (disk), header size 9 words, version 1 or 3.
    return bytes.size() >= 6 && (byte(0) == 1 || byte(0) == 2) && byte(1) == 0 && byte(2) == 9 &&
           byte(3) == 0 && byte(4) == 0 && (byte(5) == 1 || byte(5) == 3);
}

ReadResult readPictureFile(const QString& path) {
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(path, file.errorString());
    return readFrom(file, path);
}

ReadResult readPicture(const QByteArray& bytes, const QString& name) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readFrom(buffer, name);
}

QByteArray encodeStored(const QImage& image) {
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return bytes;
}

QImage decodeStored(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    return readPicture(bytes, {}).image;
}

} // namespace quillory::images
