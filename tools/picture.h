#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageReader>

namespace tabletool {

// The picture in `bytes`, of any format the program reads; a null image when it is none, with
// the reader's reason in `error`. The picture libraries write their complaints straight to
// the terminal, ahead of the tool's own message; while reading they are sent nowhere.
QImage readPicture(const QByteArray &bytes, QImageReader::ImageReaderError *error = nullptr);

// The picture as PNG bytes; empty when it cannot be read or converted.
QByteArray asPng(const QByteArray &bytes, QImageReader::ImageReaderError *error = nullptr);

} // namespace tabletool
