#pragma once

#include "decodedpicture.h"

#include <QByteArray>

namespace photo {

// Decodes a JPEG stream through libjpeg into an opaque 32-bit bitmap: colour, greyscale, CMYK
// (plain or as Adobe programs write it, inverted) and progressive files. A damaged or truncated
// stream fails rather than coming out padded with grey, and the size is checked before any pixel
// memory is taken. With `atLeast` given, the picture is decoded at the smallest of its full size,
// a half, a quarter or an eighth that still covers it: much faster for a small preview.
DecodedPicture decodeJpeg(const QByteArray &data, QSize atLeast = {});

} // namespace photo
