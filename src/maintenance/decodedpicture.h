#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace photo {

// The largest picture the program takes: 12,000 pixels a side and 100 megapixels in all. A
// header that claims more is refused before any pixel memory is taken.
inline constexpr int kMaxSide = 12000;
inline constexpr qint64 kMaxPixels = 100'000'000;

// Why a picture could not be had.
enum class Failure {
    None,
    Unreadable,  // the file could not be read: missing, not a plain file, no permission
    Corrupt,     // not a picture of its kind, or damaged or cut short
    TooLarge,    // a size beyond the limits above, or a file too big to be a photo
    Unsupported, // a kind of picture the program cannot turn into a bitmap
};

// A picture decoded into a bitmap (32-bit RGB, opaque), or the reason there is none.
struct DecodedPicture
{
    QImage image;
    Failure failure = Failure::None;
    QSize size; // the size the picture claims, also when it is refused

    bool ok() const { return failure == Failure::None && !image.isNull(); }
    static DecodedPicture failed(Failure why, QSize size = {}) { return {QImage(), why, size}; }
};

bool sizeAllowed(QSize size);

// The notice for a picture refused for its size.
QString tooLargeNotice(QSize size);

// The picture as an opaque 32-bit bitmap: what has transparency is laid on white.
QImage toBitmap(const QImage &picture);

} // namespace photo
