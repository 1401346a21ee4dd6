#include "decodedpicture.h"

#include <QPainter>

namespace photo {

bool sizeAllowed(QSize size)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= kMaxSide && size.height() <= kMaxSide
        && qint64(size.width()) * size.height() <= kMaxPixels;
}

QString tooLargeNotice(QSize size)
{
    return QStringLiteral("La imagen mide %1 x %2 píxeles: el programa acepta fotos de hasta %3 x %3 píxeles "
                          "y %4 megapíxeles.\rLa foto de la flor no cambió.")
        .arg(size.width())
        .arg(size.height())
        .arg(kMaxSide)
        .arg(kMaxPixels / 1'000'000);
}

QImage toBitmap(const QImage &picture)
{
    if (picture.isNull())
        return {};
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage bitmap(picture.size(), QImage::Format_RGB32);
    if (bitmap.isNull())
        return {};
    bitmap.fill(Qt::white);
    QPainter painter(&bitmap);
    painter.drawImage(0, 0, picture);
    return bitmap;
}

} // namespace photo
