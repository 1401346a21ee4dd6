#include "storedphoto.h"

#include "decodedpicture.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <array>
#include <cstring>

namespace photo {
namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype kSignatureSize = 8;
// Length, type, and the checksum after the data.
constexpr qsizetype kChunkFrame = 12;
constexpr qsizetype kHeaderChunkEnd = kSignatureSize + kChunkFrame + 13;
// Ancillary, private, and unsafe to copy: a program that changes the pixels drops it.
constexpr char kPreviewType[] = "phPV";
constexpr quint8 kPreviewVersion = 1;
constexpr quint8 kRgbRows = 1;
constexpr qsizetype kPreviewHead = 6; // version, layout, width and height as 16-bit numbers
// libpng refuses any chunk but the pixels' from 8,000,000 bytes on, and the photo with it.
static_assert(qint64(kPreviewSide) * kPreviewSide * 3 + kPreviewHead < 8'000'000);

// The writer's quality 80 is zlib's level 1, the fastest that compresses: a photo writes in a
// fifth of the time of the default level, for a file a fifth bigger that reads as fast.
constexpr int kPngQuality = 80;

quint32 crc32(const char *data, qsizetype size, quint32 crc = 0)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ quint8(data[i])) & 0xff] ^ (crc >> 8);
    return ~crc;
}

QByteArray previewChunk(const QImage &bitmap)
{
    const QImage small = bitmap.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const int w = small.width(), h = small.height();
    QByteArray chunk(kChunkFrame + kPreviewHead + qsizetype(w) * h * 3, Qt::Uninitialized);
    auto *p = reinterpret_cast<uchar *>(chunk.data());
    qToBigEndian<quint32>(quint32(chunk.size() - kChunkFrame), p);
    std::memcpy(p + 4, kPreviewType, 4);
    uchar *out = p + 8;
    *out++ = kPreviewVersion;
    *out++ = kRgbRows;
    qToBigEndian<quint16>(quint16(w), out);
    qToBigEndian<quint16>(quint16(h), out + 2);
    out += 4;
    for (int y = 0; y < h; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(small.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            *out++ = uchar(qRed(row[x]));
            *out++ = uchar(qGreen(row[x]));
            *out++ = uchar(qBlue(row[x]));
        }
    }
    qToBigEndian<quint32>(crc32(chunk.constData() + 4, chunk.size() - 8), out);
    return chunk;
}

bool isPng(const QByteArray &bytes)
{
    return bytes.size() >= kHeaderChunkEnd && bytes.startsWith(QByteArrayView(kSignature, kSignatureSize))
        && bytes.mid(kSignatureSize + 4, 4) == "IHDR" && qFromBigEndian<quint32>(bytes.constData() + kSignatureSize) == 13;
}

QImage readPreview(const uchar *data, quint32 length, QSize whole)
{
    if (length < kPreviewHead || data[0] != kPreviewVersion || data[1] != kRgbRows)
        return {};
    const int w = qFromBigEndian<quint16>(data + 2), h = qFromBigEndian<quint16>(data + 4);
    if (w < 1 || h < 1 || w > whole.width() || h > whole.height() || length != kPreviewHead + quint32(w) * h * 3)
        return {};
    QImage preview(w, h, QImage::Format_RGB32);
    if (preview.isNull())
        return {};
    const uchar *in = data + kPreviewHead;
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(preview.scanLine(y));
        for (int x = 0; x < w; ++x, in += 3)
            row[x] = qRgb(in[0], in[1], in[2]);
    }
    return preview;
}

} // namespace

QByteArray encodePhoto(const QImage &bitmap)
{
    if (bitmap.isNull())
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    writer.setQuality(kPngQuality);
    if (!writer.write(bitmap.format() == QImage::Format_RGB32 ? bitmap : toBitmap(bitmap)) || !isPng(png))
        return {};
    if (bitmap.width() > kPreviewSide || bitmap.height() > kPreviewSide)
        png.insert(kHeaderChunkEnd, previewChunk(bitmap));
    return png;
}

StoredPhoto peekPhoto(const QByteArray &bytes)
{
    StoredPhoto stored;
    if (!isPng(bytes)) {
        // Some other picture the toolkit reads: its size from its header, and no preview.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const QSize size = QImageReader(&buffer).size();
        if (sizeAllowed(size))
            stored.size = size;
        return stored;
    }
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const QSize size(int(qFromBigEndian<quint32>(p + 16) & 0x7fffffff), int(qFromBigEndian<quint32>(p + 20) & 0x7fffffff));
    if (!sizeAllowed(size))
        return stored;
    stored.size = size;
    // The preview, when there is one, comes before the first block of pixels.
    qsizetype at = kHeaderChunkEnd;
    while (at + kChunkFrame <= bytes.size()) {
        const quint32 length = qFromBigEndian<quint32>(p + at);
        const QByteArrayView type(bytes.constData() + at + 4, 4);
        if (length > quint32(bytes.size() - at - kChunkFrame) || type == "IDAT" || type == "IEND")
            break;
        if (type == kPreviewType) {
            stored.preview = readPreview(p + at + 8, length, size);
            break;
        }
        at += kChunkFrame + length;
    }
    return stored;
}

QImage decodePhoto(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!sizeAllowed(reader.size()))
        return {};
    QImage image;
    if (!reader.read(&image) || !sizeAllowed(image.size()))
        return {};
    return toBitmap(image);
}

} // namespace photo
