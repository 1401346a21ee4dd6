#pragma once

#include "decodedpicture.h"

#include <QByteArray>
#include <QString>

namespace photo {

// A picture file may be a bitmap of 100 megapixels at four bytes each, and nothing bigger.
inline constexpr qint64 kMaxFileBytes = qint64(512) << 20;

// The whole of a picture file. Only a plain file is read, and opening it never waits (a FIFO
// or a device is refused at once).
struct FileContents
{
    QByteArray data;
    Failure failure = Failure::None;
};
FileContents readPictureFile(const QString &path);

// Bitmap and icon files through the toolkit's readers, the size read from the header before
// any pixel is decoded. An icon gives its largest image, laid on white.
DecodedPicture decodeBitmap(const QByteArray &data);
DecodedPicture decodeIcon(const QByteArray &data);

// What loading a picture file gave: the bitmap, or nothing and what the user is to be told: a
// notice, an error in the words the table store uses, or nothing at all.
struct PictureLoad
{
    QImage image;
    QString notice;
    QString error;

    bool ok() const { return !image.isNull(); }
};

// A JPEG file, whatever its name. Failures are silent, except a picture refused for its size.
PictureLoad CargarJpeg(const QString &fileName);

// A picture file whose kind its extension says: bitmap, icon, metafile, or JPEG. An extension
// outside these fails with "Unknown picture file extension (.ext)" and a damaged bitmap with
// "Bitmap image is not valid"; everything else that fails is explained in a notice.
PictureLoad loadPictureFile(const QString &fileName);

// Any of the picture kinds above, by its extension, shrunk to fit `within`: what the file
// dialog's preview shows. Null on any failure, and for files too big to look at in passing.
QImage previewPicture(const QString &fileName, QSize within);

} // namespace photo
