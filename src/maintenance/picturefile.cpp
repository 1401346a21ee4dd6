#include "picturefile.h"

#include "jpegdecoder.h"
#include "metafiledecoder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace photo {
namespace {

// The file dialog's preview reads the file under the cursor each time it moves: nothing that
// would make it wait.
constexpr qint64 kMaxPreviewBytes = qint64(64) << 20;

FileContents readFile(const QString &path, qint64 limit)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {{}, Failure::Unreadable};
    FileContents contents;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        contents.failure = Failure::Unreadable;
    } else if (st.st_size > limit) {
        contents.failure = Failure::TooLarge;
    } else {
        contents.data = QByteArray(qsizetype(st.st_size), Qt::Uninitialized);
        qint64 done = 0;
        while (done < st.st_size) {
            const ssize_t got = ::read(fd, contents.data.data() + done, std::size_t(st.st_size - done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
        // A file that shrank while read is read as far as it went: the decoders judge it.
        contents.data.truncate(qsizetype(done));
        if (done == 0 && st.st_size > 0)
            contents.failure = Failure::Unreadable;
    }
    ::close(fd);
    return contents;
}

// The toolkit's reader for exactly one format: a bitmap named .bmp that holds something else
// is not a bitmap.
struct StrictReader
{
    QBuffer buffer;
    QImageReader reader;

    StrictReader(const QByteArray &data, const char *format)
    {
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat(format);
        reader.setAutoDetectImageFormat(false);
    }
};

// What a bitmap's header says: its size, read before the toolkit's reader sees the file, and
// whether the rows it promises are there; the toolkit's reader would leave missing ones blank.
struct BitmapHeader
{
    QSize size;
    bool complete = false;
};

BitmapHeader readBitmapHeader(const QByteArray &data)
{
    constexpr int kFileHeader = 14;
    if (data.size() < kFileHeader + 16 || !data.startsWith("BM"))
        return {};
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const quint32 offset = qFromLittleEndian<quint32>(p + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(p + kFileHeader);
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    if (infoSize == 12) {
        width = qFromLittleEndian<quint16>(p + 18);
        height = qFromLittleEndian<quint16>(p + 20);
        bits = qFromLittleEndian<quint16>(p + 24);
    } else if (infoSize >= 40 && data.size() >= kFileHeader + 40) {
        width = qFromLittleEndian<qint32>(p + 18);
        // Negative for rows stored from the top.
        height = qAbs(qint64(qFromLittleEndian<qint32>(p + 22)));
        bits = qFromLittleEndian<quint16>(p + 28);
        compression = qFromLittleEndian<quint32>(p + 30);
    } else {
        return {};
    }
    BitmapHeader header;
    header.size = QSize(int(std::clamp<qint64>(width, 0, INT_MAX)), int(std::clamp<qint64>(height, 0, INT_MAX)));
    // Run-length and embedded pictures cannot be measured from the header; the reader checks them.
    constexpr int kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
    if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields) {
        header.complete = true;
    } else if (width > 0 && height > 0 && bits > 0 && bits <= 32) {
        const qint64 rowBytes = (width * bits + 31) / 32 * 4;
        header.complete = qint64(offset) + rowBytes * height <= data.size();
    }
    return header;
}

DecodedPicture readStrictly(StrictReader &r)
{
    const QSize size = r.reader.size();
    if (!size.isValid())
        return DecodedPicture::failed(Failure::Corrupt);
    if (!sizeAllowed(size))
        return DecodedPicture::failed(Failure::TooLarge, size);
    QImage image;
    if (!r.reader.read(&image) || image.isNull())
        return DecodedPicture::failed(Failure::Corrupt, size);
    if (!sizeAllowed(image.size()))
        return DecodedPicture::failed(Failure::TooLarge, image.size());
    image = toBitmap(image);
    if (image.isNull())
        return DecodedPicture::failed(Failure::TooLarge, size);
    return {image, Failure::None, image.size()};
}

QString extensionOf(const QString &fileName)
{
    return QFileInfo(fileName).suffix().toLower();
}

QString shownName(const QString &fileName)
{
    return QFileInfo(fileName).fileName();
}

PictureLoad refused(const DecodedPicture &decoded, const QString &fileName, const QString &corrupt)
{
    PictureLoad load;
    switch (decoded.failure) {
    case Failure::TooLarge:
        load.notice = decoded.size.isValid()
            ? tooLargeNotice(decoded.size)
            : QStringLiteral("El archivo %1 es demasiado grande para ser una foto.\rLa foto de la flor no cambió.")
                  .arg(shownName(fileName));
        break;
    case Failure::Unreadable:
        load.notice = QStringLiteral("No se puede leer el archivo %1.\rLa foto de la flor no cambió.").arg(shownName(fileName));
        break;
    case Failure::Unsupported:
        load.notice = QStringLiteral("El programa no puede convertir el metarchivo %1 en una foto.\rGuarde la "
                                     "imagen como JPEG o BMP y cárguela de nuevo; la foto de la flor no cambió.")
                          .arg(shownName(fileName));
        break;
    case Failure::Corrupt:
    case Failure::None:
        load.notice = corrupt.arg(shownName(fileName));
        break;
    }
    return load;
}

DecodedPicture decodeFile(const FileContents &file, DecodedPicture (*decode)(const QByteArray &))
{
    if (file.failure != Failure::None)
        return DecodedPicture::failed(file.failure);
    return decode(file.data);
}

DecodedPicture decodeJpegFully(const QByteArray &data)
{
    return decodeJpeg(data);
}

} // namespace

FileContents readPictureFile(const QString &path)
{
    return readFile(path, kMaxFileBytes);
}

DecodedPicture decodeBitmap(const QByteArray &data)
{
    const BitmapHeader header = readBitmapHeader(data);
    if (header.size.isValid() && !header.size.isEmpty() && !sizeAllowed(header.size))
        return DecodedPicture::failed(Failure::TooLarge, header.size);
    if (!header.complete)
        return DecodedPicture::failed(Failure::Corrupt);
    StrictReader r(data, "bmp");
    return readStrictly(r);
}

DecodedPicture decodeIcon(const QByteArray &data)
{
    StrictReader r(data, "ico");
    // Icons hold the same picture at several sizes: a photo wants the largest.
    int best = -1;
    qint64 bestArea = 0;
    // A header may claim 65535 of them; real icons carry a handful.
    constexpr int kMostImages = 64;
    const int count = std::min(r.reader.imageCount(), kMostImages);
    for (int i = 0; i < count && r.reader.jumpToImage(i); ++i) {
        const QSize size = r.reader.size();
        const qint64 area = qint64(size.width()) * size.height();
        if (sizeAllowed(size) && area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (best < 0 || !r.reader.jumpToImage(best))
        return DecodedPicture::failed(Failure::Corrupt);
    return readStrictly(r);
}

PictureLoad CargarJpeg(const QString &fileName)
{
    const DecodedPicture decoded = decodeFile(readPictureFile(fileName), decodeJpegFully);
    if (decoded.ok())
        return {decoded.image, {}, {}};
    PictureLoad load;
    // Nothing read, nothing said; only a picture refused for its size is explained.
    if (decoded.failure == Failure::TooLarge)
        load = refused(decoded, fileName, {});
    return load;
}

PictureLoad loadPictureFile(const QString &fileName)
{
    const QString extension = extensionOf(fileName);
    DecodedPicture (*decode)(const QByteArray &) = nullptr;
    QString corrupt;
    if (extension == QLatin1String("bmp")) {
        decode = decodeBitmap;
    } else if (extension == QLatin1String("ico")) {
        decode = decodeIcon;
        corrupt = QStringLiteral("El archivo %1 no es un icono válido.\rLa foto de la flor no cambió.");
    } else if (extension == QLatin1String("wmf")) {
        decode = decodeMetafile;
        corrupt = QStringLiteral("El archivo %1 no es un metarchivo que el programa pueda dibujar.\rLa foto de "
                                 "la flor no cambió.");
    } else if (extension == QLatin1String("emf")) {
        return refused(DecodedPicture::failed(Failure::Unsupported), fileName, {});
    } else if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg")) {
        decode = decodeJpegFully;
        corrupt = QStringLiteral("El archivo %1 no es una imagen JPEG válida.\rLa foto de la flor no cambió.");
    } else {
        PictureLoad load;
        load.error = QStringLiteral("Unknown picture file extension (.%1)").arg(extension);
        return load;
    }
    const DecodedPicture decoded = decodeFile(readPictureFile(fileName), decode);
    if (decoded.ok())
        return {decoded.image, {}, {}};
    if (decode == decodeBitmap && decoded.failure == Failure::Corrupt) {
        PictureLoad load;
        load.error = QStringLiteral("Bitmap image is not valid");
        return load;
    }
    return refused(decoded, fileName, corrupt);
}

QImage previewPicture(const QString &fileName, QSize within)
{
    const QString ext = extensionOf(fileName);
    const FileContents file = readFile(fileName, kMaxPreviewBytes);
    if (file.failure != Failure::None)
        return {};
    const QByteArray &data = file.data;
    DecodedPicture decoded;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        decoded = decodeJpeg(data, within);
    else if (ext == QLatin1String("bmp"))
        decoded = decodeBitmap(data);
    else if (ext == QLatin1String("ico"))
        decoded = decodeIcon(data);
    else if (ext == QLatin1String("wmf"))
        decoded = decodeMetafile(data);
    if (!decoded.ok())
        return {};
    if (decoded.image.width() <= within.width() && decoded.image.height() <= within.height())
        return decoded.image;
    return decoded.image.scaled(within, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace photo
