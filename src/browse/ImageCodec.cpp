#include "browse/ImageCodec.h"

#include "browse/metafile/MetafileRenderer.h"
#include "core/PhotoBytes.h"

#include <cstring>
#include <memory>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLibrary>

namespace quillory::images {

namespace {

// The formats Qt decodes for us. A picture file is taken by its contents, so a bitmap named
// ".jpg" still loads.
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
    return QStringLiteral(
        "It is not a Windows bitmap, JPEG, PNG, GIF or Windows metafile picture.");
}

// The renderer library, loaded on the first metafile and kept for the rest of the run.
struct Renderer {
    QuilloryMetafileRender render = nullptr;
    QuilloryMetafileFree free = nullptr;
    QString problem;
};

const Renderer& renderer() {
    static const Renderer loaded = [] {
        Renderer r;
        QStringList places;
        const QString name = QStringLiteral("quillory_metafile.so");
        if (QCoreApplication::instance())
            places.append(QDir(QCoreApplication::applicationDirPath()).filePath(name));
        const QString assets = qEnvironmentVariable("QUILLORY_ASSETS");
        if (!assets.isEmpty())
            places.append(QDir(assets).filePath(name));
        places.append(QStringLiteral(QUILLORY_METAFILE_INSTALLED));
        places.append(QStringLiteral(QUILLORY_METAFILE_BUILT));
        for (const QString& place : places) {
            if (!QFile::exists(place))
                continue;
            static QLibrary library;
            library.setFileName(place);
            if (!library.load()) {
                r.problem = library.errorString();
                continue;
            }
            r.render =
                reinterpret_cast<QuilloryMetafileRender>(library.resolve(QUILLORY_METAFILE_RENDER));
            r.free =
                reinterpret_cast<QuilloryMetafileFree>(library.resolve(QUILLORY_METAFILE_FREE));
            if (r.render && r.free)
                return r;
            r.render = nullptr;
            r.free = nullptr;
            r.problem = library.errorString();
            library.unload();
        }
        if (r.problem.isEmpty())
            r.problem = QStringLiteral("The metafile reader (%1) is not installed.").arg(name);
        return r;
    }();
    return loaded;
}

// Windows metafiles are drawings, not pixels: the renderer library draws them.
ReadResult readMetafile(const QByteArray& bytes, const QString& name) {
    const Renderer& library = renderer();
    if (!library.render)
        return failure(name, library.problem);
    QuilloryMetafilePicture picture{};
    if (library.render(bytes.constData(), size_t(bytes.size()), MaxSide, allocationLimitBytes(),
                       &picture) != 0)
        return failure(name, QString::fromUtf8(picture.message));
    QImage image(picture.width, picture.height, QImage::Format_RGBA8888);
    if (image.isNull()) {
        library.free(&picture);
        return failure(name, QStringLiteral("The metafile could not be drawn."));
    }
    const qsizetype rowBytes = qsizetype(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y), picture.pixels + rowBytes * y, size_t(rowBytes));
    library.free(&picture);
    return {image.convertToFormat(QImage::Format_ARGB32), {}};
}

// A picture file is held whole in memory (a metafile to be drawn, a JPEG or PNG to be stored as
// it is); one larger than the allocation limit is not.
bool tooLarge(const QIODevice& device) {
    const qint64 limit = allocationLimitBytes();
    return limit > 0 && device.size() > limit;
}

ReadResult readFrom(QIODevice& device, const QString& name) {
    const QByteArray head = device.peek(32);
    if (head.isEmpty())
        return failure(name, QStringLiteral("The file is empty."));
    if (looksLikeMetafile(head)) {
        if (tooLarge(device))
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

// A reader of Qt's formats over `buffer`, turning pictures upright; null for other bytes.
std::unique_ptr<QImageReader> qtReader(QBuffer& buffer) {
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!isQtPictureFormat(format))
        return nullptr;
    auto reader = std::make_unique<QImageReader>(&buffer, format);
    reader->setAutoTransform(true);
    return reader;
}

bool turnedOnItsSide(const QImageReader& reader) {
    return (reader.transformation() & QImageIOHandler::TransformationRotate90) != 0;
}

// The size of the picture upright, from the header alone; invalid when the header is not read.
QSize uprightSize(const QImageReader& reader) {
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return {};
    return turnedOnItsSide(reader) ? stored.transposed() : stored;
}

QImage scaledTo(const QImage& image, const QSize& size) {
    return image.isNull() || image.size() == size
               ? image
               : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage fittedImage(const QImage& image, const QSize& within) {
    return scaledTo(image, fittedSize(image.size(), within));
}

// Pictures above this many pixels are decoded on the decoder's thread.
constexpr qint64 LargePicturePixels = 2'000'000;

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

PictureFile readPictureFile(const QString& path) {
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, {}, cannotRead(path, file.errorString())};
    if (file.size() == 0)
        return {{}, {}, cannotRead(path, QStringLiteral("The file is empty."))};
    if (tooLarge(file))
        return {{}, {}, cannotRead(path, QStringLiteral("The picture is too large."))};
    PictureFile picture{file.readAll(), {}, {}};
    if (file.error() != QFileDevice::NoError)
        return {{}, {}, cannotRead(path, file.errorString())};
    if (looksLikeMetafile(picture.bytes)) {
        const ReadResult drawn = readMetafile(picture.bytes, path);
        if (!drawn.ok())
            return {{}, {}, drawn.error};
        picture.size = drawn.image.size();
        return picture;
    }
    QBuffer buffer(&picture.bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::unique_ptr<QImageReader> reader = qtReader(buffer);
    if (!reader)
        return {{}, {}, cannotRead(path, notAPicture())};
    picture.size = uprightSize(*reader);
    if (!picture.size.isValid())
        return {{}, {}, cannotRead(path, reader->errorString())};
    return picture;
}

QString cannotRead(const QString& name, const QString& reason) {
    return failure(name, reason).error;
}

ReadResult readPicture(const QByteArray& bytes, const QString& name) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readFrom(buffer, name);
}

QByteArray storedBytes(const QByteArray& fileBytes) {
    if (fileBytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(fileBytes);
    buffer.open(QIODevice::ReadOnly);
    if (contact::keptAsFileBytes(QImageReader::imageFormat(&buffer)))
        return fileBytes;
    return encodeStored(readPicture(fileBytes, {}).image);
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

QSize pictureSize(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    if (looksLikeMetafile(bytes))
        return readPicture(bytes, {}).image.size();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::unique_ptr<QImageReader> reader = qtReader(buffer);
    return reader ? uprightSize(*reader) : QSize();
}

QSize fittedSize(const QSize& natural, const QSize& within) {
    if (within.isEmpty() || natural.isEmpty())
        return natural;
    return natural.scaled(within, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage decodeStored(const QByteArray& bytes, const QSize& within) {
    if (bytes.isEmpty())
        return {};
    if (looksLikeMetafile(bytes))
        return fittedImage(readPicture(bytes, {}).image, within);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::unique_ptr<QImageReader> reader = qtReader(buffer);
    if (!reader)
        return {};
    const QSize upright = uprightSize(*reader);
    const QSize target = fittedSize(upright, within);
    // The reader scales before it turns the picture upright. Enlarging is left to the end.
    if (upright.isValid() && target.width() < upright.width())
        reader->setScaledSize(turnedOnItsSide(*reader) ? target.transposed() : target);
    QImage image;
    if (!reader->read(&image))
        return {};
    return target.isValid() ? scaledTo(image, target) : fittedImage(image, within);
}

PictureDecoder::PictureDecoder(QObject* parent) : QObject(parent) {
    m_worker.setMaxThreadCount(1);
}

PictureDecoder::~PictureDecoder() {
    m_worker.clear();
    m_worker.waitForDone();
}

std::optional<QImage> PictureDecoder::request(const QByteArray& bytes, const QSize& size,
                                              const QSize& within) {
    const quint64 ticket = ++m_latest;
    // A request not yet begun is of no use any more; one being read is let finish unheard.
    m_worker.clear();
    if (!size.isValid() || qint64(size.width()) * size.height() <= LargePicturePixels)
        return decodeStored(bytes, within);
    m_worker.start([this, ticket, bytes, within] {
        QImage picture = decodeStored(bytes, within);
        QMetaObject::invokeMethod(
            this,
            [this, ticket, picture = std::move(picture)] {
                if (ticket == m_latest)
                    Q_EMIT decoded(picture);
            },
            Qt::QueuedConnection);
    });
    return std::nullopt;
}

} // namespace quillory::images
