#pragma once

#include "testsupport.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

// Picture files made at test time, the way other programs write them, and damaged on purpose.

// A picture in four coloured quarters (red, green, blue, yellow from the top left, clockwise),
// so that a test can tell where each part of it went.
QImage quarteredPicture(QSize size);
QColor quarterColour(int quarter);

// The picture through the toolkit's writers.
QByteArray jpegOf(const QImage &picture, int quality = 95, bool progressive = false);
QByteArray formatOf(const QImage &picture, const char *format);

// A JPEG written through libjpeg itself, of one flat colour: greyscale (the grey level), or
// CMYK with the four inks given as amounts of ink (0 none, 255 full), stored inverted behind an
// Adobe marker as Adobe programs write them, or plain without one.
QByteArray greyJpeg(QSize size, int grey);
enum class CmykStorage { AdobeInverted, Plain };
QByteArray cmykJpeg(QSize size, int c, int m, int y, int k, CmykStorage storage);

// The JPEG with its frame header claiming another size; the BMP with its header claiming one.
QByteArray withJpegSize(QByteArray jpeg, QSize claimed);
QByteArray withBitmapSize(QByteArray bmp, QSize claimed);

// A placeable Windows metafile one inch wide and half an inch high whose left half is a solid
// rectangle of the given colour on a clear background.
QByteArray metafileWithRectangle(QColor colour);

// Random bytes, the same for the same seed.
QByteArray garbage(int size, quint32 seed);


// Close enough, for colours that went through a lossy JPEG.
bool near(QColor a, QColor b, int tolerance = 12);
