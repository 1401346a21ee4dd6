#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace photo {

// How the Foto field keeps a photo: a PNG file, lossless, that any PNG reader takes whole.
// A photo larger than kPreviewSide a side also carries, ahead of its pixels, a private chunk
// with a copy of itself shrunk to fit kPreviewSide, as plain rows: a photo is shown in its frame
// from that copy at once, and decoded whole only when it is wanted at full size. PNG readers
// pass over such chunks, so the bytes stay an ordinary PNG file for every other program.
inline constexpr int kPreviewSide = 800;

// The bytes for a bitmap (32-bit RGB, as the loaders give it). The PNG is compressed for speed
// of writing and reading rather than for the last byte.
QByteArray encodePhoto(const QImage &bitmap);

// What the head of the stored bytes says, read without decoding the photo.
struct StoredPhoto
{
    QSize size;     // the whole photo's; empty when the bytes hold no picture
    QImage preview; // the shrunk copy, when the bytes carry one
};
StoredPhoto peekPhoto(const QByteArray &bytes);

// The whole photo as a 32-bit bitmap; null when the bytes hold no picture that can be read or
// one beyond the size limits. Any picture format the toolkit reads is taken.
QImage decodePhoto(const QByteArray &bytes);

} // namespace photo
