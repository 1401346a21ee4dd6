#include "photofiles.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

QColor quarterColour(int quarter)
{
    static const QColor colours[] = {QColor(220, 30, 30), QColor(30, 200, 40), QColor(250, 220, 30), QColor(30, 40, 210)};
    return colours[quarter];
}

QImage quarteredPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    const int w = size.width(), h = size.height();
    QPainter painter(&picture);
    painter.fillRect(0, 0, w / 2, h / 2, quarterColour(0));
    painter.fillRect(w / 2, 0, w - w / 2, h / 2, quarterColour(1));
    painter.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, quarterColour(2));
    painter.fillRect(0, h / 2, w / 2, h - h / 2, quarterColour(3));
    return picture;
}

QByteArray jpegOf(const QImage &picture, int quality, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(picture))
        qFatal("cannot write a JPEG: %s", qPrintable(writer.errorString()));
    return bytes;
}

QByteArray formatOf(const QImage &picture, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, format))
        qFatal("cannot write a %s file", format);
    return bytes;
}

namespace {

QByteArray compress(QSize size, J_COLOR_SPACE space, int components, const std::vector<JSAMPLE> &pixel, bool adobe)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = JDIMENSION(size.width());
    info.image_height = JDIMENSION(size.height());
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, space);
    info.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row;
    for (int x = 0; x < size.width(); ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(outSize));
    std::free(out);
    return bytes;
}

} // namespace

QByteArray greyJpeg(QSize size, int grey)
{
    return compress(size, JCS_GRAYSCALE, 1, {JSAMPLE(grey)}, false);
}

QByteArray cmykJpeg(QSize size, int c, int m, int y, int k, CmykStorage storage)
{
    const bool inverted = storage == CmykStorage::AdobeInverted;
    const auto ink = [inverted](int amount) { return JSAMPLE(inverted ? 255 - amount : amount); };
    return compress(size, JCS_CMYK, 4, {ink(c), ink(m), ink(y), ink(k)}, inverted);
}

QByteArray withJpegSize(QByteArray jpeg, QSize claimed)
{
    // The baseline or progressive frame header: marker, length, precision, height, width.
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = quint8(jpeg[i + 1]);
        if (quint8(jpeg[i]) == 0xff && (marker == 0xc0 || marker == 0xc2)) {
            qToBigEndian<quint16>(quint16(claimed.height()), jpeg.data() + i + 5);
            qToBigEndian<quint16>(quint16(claimed.width()), jpeg.data() + i + 7);
            return jpeg;
        }
    }
    qFatal("no frame header in the JPEG");
}

QByteArray withBitmapSize(QByteArray bmp, QSize claimed)
{
    qToLittleEndian<qint32>(claimed.width(), bmp.data() + 18);
    qToLittleEndian<qint32>(claimed.height(), bmp.data() + 22);
    return bmp;
}

namespace {

class Metafile
{
public:
    void record(quint16 function, std::initializer_list<quint16> params)
    {
        const quint32 words = 3 + quint32(params.size());
        dword(words);
        word(function);
        for (quint16 p : params)
            word(p);
        m_largest = std::max(m_largest, words);
    }
    QByteArray bytes(qint16 width, qint16 height, quint16 unitsPerInch) const
    {
        QByteArray out;
        const auto put16 = [&out](quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
        // Placeable header: key, handle, bounding box, units per inch, reserved, checksum.
        const quint16 head[] = {0xCDD7, 0x9AC6, 0, 0, 0, quint16(width), quint16(height), unitsPerInch, 0, 0};
        quint16 sum = 0;
        for (quint16 w : head) {
            put16(w);
            sum ^= w;
        }
        put16(sum);
        // Metafile header: in memory, nine words long, version 3.
        const quint32 total = 9 + quint32(m_records.size() / 2);
        for (quint16 w : {quint16(1), quint16(9), quint16(0x0300), quint16(total & 0xffff), quint16(total >> 16), quint16(2),
                          quint16(m_largest & 0xffff), quint16(m_largest >> 16), quint16(0)})
            put16(w);
        return out + m_records;
    }

private:
    void word(quint16 v) { m_records.append(char(v & 0xff)).append(char(v >> 8)); }
    void dword(quint32 v)
    {
        word(quint16(v & 0xffff));
        word(quint16(v >> 16));
    }
    QByteArray m_records;
    quint32 m_largest = 0;
};

} // namespace

QByteArray metafileWithRectangle(QColor colour)
{
    constexpr quint16 kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kCreateBrush = 0x02FC, kSelectObject = 0x012D,
                      kCreatePen = 0x02FA, kRectangle = 0x041B, kEof = 0x0000;
    Metafile wmf;
    wmf.record(kSetWindowOrg, {0, 0});
    wmf.record(kSetWindowExt, {720, 1440}); // height, width
    const quint32 rgb = quint32(colour.red()) | quint32(colour.green()) << 8 | quint32(colour.blue()) << 16;
    wmf.record(kCreateBrush, {0, quint16(rgb & 0xffff), quint16(rgb >> 16), 0}); // solid
    wmf.record(kSelectObject, {0});
    wmf.record(kCreatePen, {5, 0, 0, 0, 0}); // no pen
    wmf.record(kSelectObject, {1});
    wmf.record(kRectangle, {720, 720, 0, 0}); // bottom, right, top, left
    wmf.record(kEof, {});
    return wmf.bytes(1440, 720, 1440);
}

QByteArray garbage(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

bool near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}
