// Flower photos without a window: the fit arithmetic, the picture loaders with every kind of
// damaged or hostile file, and the stored encoding of the Foto field.

#include "photofiles.h"

#include "maintenance/jpegdecoder.h"
#include "maintenance/metafiledecoder.h"
#include "maintenance/photofit.h"
#include "maintenance/picturefile.h"
#include "maintenance/storedphoto.h"

#include "catalogue/tabledefinitions.h"
#include "store/table.h"
#include "tabletool.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using photo::Alignment;
using photo::Failure;
using photo::PhotoLayout;

Q_DECLARE_METATYPE(PhotoLayout)

namespace {

PhotoLayout layout(Alignment alignment, bool stretch, int width = 0, int height = 0, int hRange = 0, int vRange = 0)
{
    return {alignment, stretch, width, height, hRange, vRange};
}

constexpr int kAnyFailure = -1;

QColor pixel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

// Where each quarter's middle lies.
QPoint quarterMiddle(QSize size, int quarter)
{
    const int x = quarter == 0 || quarter == 3 ? size.width() / 4 : size.width() * 3 / 4;
    const int y = quarter < 2 ? size.height() / 4 : size.height() * 3 / 4;
    return {x, y};
}

bool quartersKept(const QImage &image, int tolerance = 12)
{
    for (int q = 0; q < 4; ++q) {
        const QPoint at = quarterMiddle(image.size(), q);
        if (!near(pixel(image, at.x(), at.y()), quarterColour(q), tolerance))
            return false;
    }
    return true;
}

} // namespace

class TestPhotos : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }

private slots:
    void fit_data();
    void fit();

    void jpegColourGreyAndProgressive();
    void jpegCmykPlainAndAdobeInverted_data();
    void jpegCmykPlainAndAdobeInverted();
    void jpegShrinksWhileDecodingForAPreview();
    void damagedJpegsFail_data();
    void damagedJpegsFail();
    void bitmapsAndIcons();
    void damagedBitmapsAndIconsFail_data();
    void damagedBitmapsAndIconsFail();
    void metafilesAreDrawnOnWhite();
    void damagedMetafilesFail();

    void cargarJpegIsSilentExceptForSize();
    void loadingByExtension_data();
    void loadingByExtension();
    void filesThatAreNotPlainFilesNeverBlock();

    void storedPhotoIsLosslessWithAShrunkCopy_data();
    void storedPhotoIsLosslessWithAShrunkCopy();
    void plainPngFromOtherProgramsIsRead();
    void hostileStoredBytesShowNothing_data();
    void hostileStoredBytesShowNothing();
    void theTablesToolExportsStoredPhotosAsPngFiles();
};

// ---- fit arithmetic ----

void TestPhotos::fit_data()
{
    QTest::addColumn<PhotoLayout>("before");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<int>("mode");
    QTest::addColumn<PhotoLayout>("after");

    const PhotoLayout start = layout(Alignment::Client, false);
    const PhotoLayout original = layout(Alignment::None, false, 400, 300, 400, 300);
    const QSize box(200, 200);

    QTest::newRow("landscape, proportional: along the top, 300 x 200 div 400")
        << start << QSize(400, 300) << box << photo::kProportional << layout(Alignment::Top, true, 0, 150);
    QTest::newRow("portrait, proportional: along the left, 300 x 200 div 400")
        << start << QSize(300, 400) << box << photo::kProportional << layout(Alignment::Left, true, 150, 0);
    QTest::newRow("square in a square: equal ratios go left")
        << start << QSize(300, 300) << box << photo::kProportional << layout(Alignment::Left, true, 200, 0);
    QTest::newRow("equal ratios, not square") << start << QSize(400, 200) << QSize(200, 100) << photo::kProportional
                                              << layout(Alignment::Left, true, 200, 0);
    QTest::newRow("divisions truncate: 100 x 200 div 333 is 60")
        << start << QSize(333, 100) << box << photo::kProportional << layout(Alignment::Top, true, 0, 60);
    QTest::newRow("divisions truncate on the left too")
        << start << QSize(100, 333) << box << photo::kProportional << layout(Alignment::Left, true, 60, 0);
    QTest::newRow("proportional keeps the other side and clears the ranges")
        << original << QSize(400, 300) << box << photo::kProportional << layout(Alignment::Top, true, 400, 150);
    QTest::newRow("original: own size, scroll ranges of the photo, no stretching")
        << layout(Alignment::Client, true) << QSize(400, 300) << box << photo::kOriginal << original;
    QTest::newRow("stretched after original: the whole box, ranges gone")
        << original << QSize(400, 300) << box << photo::kStretched << layout(Alignment::Client, true, 400, 300);
    QTest::newRow("no photo: the whole box, ranges gone, stretching kept off")
        << original << QSize() << box << photo::kProportional << layout(Alignment::Client, false, 400, 300);
    QTest::newRow("no photo: stretching kept on")
        << layout(Alignment::Top, true, 0, 150) << QSize(0, 0) << box << photo::kOriginal
        << layout(Alignment::Client, true, 0, 150);
    QTest::newRow("no mode chosen: nothing changes")
        << original << QSize(300, 400) << box << -1 << original;
    QTest::newRow("a box squeezed to nothing divides by nothing")
        << start << QSize(400, 300) << QSize(0, 0) << photo::kProportional << layout(Alignment::Left, true, 0, 0);
    QTest::newRow("the largest photo in a wide box stays in range")
        << start << QSize(12000, 8000) << QSize(30000, 200) << photo::kProportional
        << layout(Alignment::Left, true, 300, 0);
}

void TestPhotos::fit()
{
    QFETCH(PhotoLayout, before);
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(int, mode);
    QFETCH(PhotoLayout, after);
    const PhotoLayout got = photo::fitPhoto(before, picture, box, mode);
    QCOMPARE(int(got.alignment), int(after.alignment));
    QCOMPARE(got.stretch, after.stretch);
    QCOMPARE(got.width, after.width);
    QCOMPARE(got.height, after.height);
    QCOMPARE(got.horizontalRange, after.horizontalRange);
    QCOMPARE(got.verticalRange, after.verticalRange);
}

// ---- JPEG ----

void TestPhotos::jpegColourGreyAndProgressive()
{
    const QImage picture = quarteredPicture(QSize(64, 48));
    for (const bool progressive : {false, true}) {
        const photo::DecodedPicture decoded = photo::decodeJpeg(jpegOf(picture, 95, progressive));
        QVERIFY2(decoded.ok(), progressive ? "progressive" : "baseline");
        QCOMPARE(decoded.image.format(), QImage::Format_RGB32);
        QCOMPARE(decoded.image.size(), picture.size());
        QVERIFY(quartersKept(decoded.image));
    }
    const photo::DecodedPicture grey = photo::decodeJpeg(greyJpeg(QSize(40, 30), 90));
    QVERIFY(grey.ok());
    QCOMPARE(grey.image.size(), QSize(40, 30));
    QVERIFY(near(pixel(grey.image, 20, 15), QColor(90, 90, 90), 2));
}

void TestPhotos::jpegCmykPlainAndAdobeInverted_data()
{
    QTest::addColumn<int>("storage");
    QTest::newRow("Adobe, inverted") << int(CmykStorage::AdobeInverted);
    QTest::newRow("plain") << int(CmykStorage::Plain);
}

void TestPhotos::jpegCmykPlainAndAdobeInverted()
{
    QFETCH(int, storage);
    // Full cyan and half magenta: no red, some green, all the blue.
    const photo::DecodedPicture decoded =
        photo::decodeJpeg(cmykJpeg(QSize(32, 16), 255, 128, 0, 0, CmykStorage(storage)));
    QVERIFY(decoded.ok());
    QVERIFY2(near(pixel(decoded.image, 16, 8), QColor(0, 127, 255), 4), qPrintable(pixel(decoded.image, 16, 8).name()));
    // Black ink darkens every channel alike.
    const photo::DecodedPicture dark = photo::decodeJpeg(cmykJpeg(QSize(8, 8), 0, 0, 0, 128, CmykStorage(storage)));
    QVERIFY(near(pixel(dark.image, 4, 4), QColor(127, 127, 127), 4));
}

void TestPhotos::jpegShrinksWhileDecodingForAPreview()
{
    const QByteArray jpeg = jpegOf(quarteredPicture(QSize(800, 600)));
    QCOMPARE(photo::decodeJpeg(jpeg, QSize(200, 150)).image.size(), QSize(200, 150));
    QCOMPARE(photo::decodeJpeg(jpeg, QSize(300, 150)).image.size(), QSize(400, 300));
    QCOMPARE(photo::decodeJpeg(jpeg, QSize(50, 50)).image.size(), QSize(100, 75));
    const photo::DecodedPicture full = photo::decodeJpeg(jpeg);
    QCOMPARE(full.image.size(), QSize(800, 600));
    QCOMPARE(full.size, QSize(800, 600));
}

void TestPhotos::damagedJpegsFail_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QSize>("claimed");
    const QByteArray good = jpegOf(quarteredPicture(QSize(120, 90)), 90);
    const QByteArray progressive = jpegOf(quarteredPicture(QSize(120, 90)), 90, true);
    QTest::newRow("empty") << QByteArray() << int(Failure::Corrupt) << QSize();
    QTest::newRow("cut in half") << good.left(good.size() / 2) << int(Failure::Corrupt) << QSize();
    QTest::newRow("progressive cut in half") << progressive.left(progressive.size() / 2) << int(Failure::Corrupt) << QSize();
    QTest::newRow("only the start marker") << good.left(2) << int(Failure::Corrupt) << QSize();
    QTest::newRow("random bytes") << garbage(5000, 1) << int(Failure::Corrupt) << QSize();
    QTest::newRow("random bytes after a start marker") << QByteArray("\xff\xd8", 2) + garbage(5000, 2)
                                                       << int(Failure::Corrupt) << QSize();
    QByteArray scrambled = good;
    for (qsizetype i = scrambled.size() / 2; i < scrambled.size() / 2 + 64; ++i)
        scrambled[i] = char(0x5a);
    QTest::newRow("damaged in the middle") << scrambled << int(Failure::Corrupt) << QSize();
    QTest::newRow("60000 x 60000 claimed") << withJpegSize(good, QSize(60000, 60000)) << int(Failure::TooLarge)
                                           << QSize(60000, 60000);
    QTest::newRow("12001 wide") << withJpegSize(good, QSize(12001, 10)) << int(Failure::TooLarge) << QSize(12001, 10);
    QTest::newRow("over 100 megapixels within the sides") << withJpegSize(good, QSize(11000, 10000))
                                                          << int(Failure::TooLarge) << QSize(11000, 10000);
    QTest::newRow("a PNG") << formatOf(quarteredPicture(QSize(20, 20)), "PNG") << int(Failure::Corrupt) << QSize();
}

void TestPhotos::damagedJpegsFail()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, failure);
    QFETCH(QSize, claimed);
    const photo::DecodedPicture decoded = photo::decodeJpeg(bytes);
    QVERIFY(!decoded.ok());
    QVERIFY(decoded.image.isNull());
    QCOMPARE(int(decoded.failure), failure);
    if (claimed.isValid())
        QCOMPARE(decoded.size, claimed);
}

// ---- bitmaps, icons, metafiles ----

void TestPhotos::bitmapsAndIcons()
{
    const QImage picture = quarteredPicture(QSize(30, 20));
    const photo::DecodedPicture bitmap = photo::decodeBitmap(formatOf(picture, "BMP"));
    QVERIFY(bitmap.ok());
    QCOMPARE(bitmap.image.format(), QImage::Format_RGB32);
    QCOMPARE(bitmap.image, picture);

    // An 8-bit bitmap with its colour table comes out as the same colours.
    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8);
    const photo::DecodedPicture fromIndexed = photo::decodeBitmap(formatOf(indexed, "BMP"));
    QVERIFY(fromIndexed.ok());
    QCOMPARE(fromIndexed.image, indexed.convertToFormat(QImage::Format_RGB32));

    // An icon: its clear parts come out white.
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    for (int y = 8; y < 24; ++y)
        for (int x = 8; x < 24; ++x)
            icon.setPixelColor(x, y, QColor(200, 0, 0));
    const photo::DecodedPicture fromIcon = photo::decodeIcon(formatOf(icon, "ICO"));
    QVERIFY(fromIcon.ok());
    QCOMPARE(fromIcon.image.format(), QImage::Format_RGB32);
    QCOMPARE(fromIcon.image.size(), QSize(32, 32));
    QCOMPARE(pixel(fromIcon.image, 16, 16), QColor(200, 0, 0));
    QCOMPARE(pixel(fromIcon.image, 2, 2), QColor(Qt::white));
}

void TestPhotos::damagedBitmapsAndIconsFail_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("icon");
    QTest::addColumn<int>("failure");
    const QByteArray bmp = formatOf(quarteredPicture(QSize(40, 30)), "BMP");
    QTest::newRow("empty bitmap") << QByteArray() << false << int(Failure::Corrupt);
    QTest::newRow("bitmap cut short") << bmp.left(bmp.size() - 100) << false << int(Failure::Corrupt);
    QTest::newRow("bitmap header only") << bmp.left(54) << false << int(Failure::Corrupt);
    QTest::newRow("bitmap claiming 60000 x 60000") << withBitmapSize(bmp, QSize(60000, 60000)) << false
                                                   << int(Failure::TooLarge);
    QTest::newRow("bitmap claiming 60000 x 60000, top-down") << withBitmapSize(bmp, QSize(60000, -60000)) << false
                                                             << int(Failure::TooLarge);
    QTest::newRow("a PNG named as a bitmap") << formatOf(quarteredPicture(QSize(20, 20)), "PNG") << false
                                             << int(Failure::Corrupt);
    QTest::newRow("a JPEG named as a bitmap") << jpegOf(quarteredPicture(QSize(20, 20))) << false
                                              << int(Failure::Corrupt);
    QTest::newRow("random bytes as a bitmap") << garbage(4000, 3) << false << int(Failure::Corrupt);
    // Its header claims whatever sizes the random bytes spell.
    QTest::newRow("random bytes after BM") << QByteArray("BM") + garbage(4000, 4) << false << kAnyFailure;
    QTest::newRow("empty icon") << QByteArray() << true << int(Failure::Corrupt);
    QTest::newRow("random bytes as an icon") << garbage(4000, 5) << true << int(Failure::Corrupt);
    const QByteArray ico = formatOf(quarteredPicture(QSize(32, 32)), "ICO");
    QTest::newRow("icon cut short") << ico.left(ico.size() / 3) << true << int(Failure::Corrupt);
    QTest::newRow("a bitmap named as an icon") << bmp << true << int(Failure::Corrupt);
}

void TestPhotos::damagedBitmapsAndIconsFail()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, icon);
    QFETCH(int, failure);
    const photo::DecodedPicture decoded = icon ? photo::decodeIcon(bytes) : photo::decodeBitmap(bytes);
    QVERIFY(decoded.image.isNull());
    QVERIFY(decoded.failure != Failure::None);
    if (failure != kAnyFailure)
        QCOMPARE(int(decoded.failure), failure);
    if (failure == int(Failure::TooLarge))
        QCOMPARE(decoded.size, QSize(60000, 60000));
}

void TestPhotos::metafilesAreDrawnOnWhite()
{
    const photo::DecodedPicture decoded = photo::decodeMetafile(metafileWithRectangle(QColor(0, 0, 255)));
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.image.format(), QImage::Format_RGB32);
    // One inch by half an inch at the screen's 96 dots per inch.
    QCOMPARE(decoded.image.size(), QSize(96, 48));
    QCOMPARE(pixel(decoded.image, 24, 24), QColor(0, 0, 255));
    QCOMPARE(pixel(decoded.image, 72, 24), QColor(Qt::white));
}

void TestPhotos::damagedMetafilesFail()
{
    const QByteArray wmf = metafileWithRectangle(Qt::red);
    for (const QByteArray &bytes : {QByteArray(), wmf.left(30), wmf.left(22), garbage(3000, 6), garbage(100000, 7),
                                    QByteArray("\xd7\xcd\xc6\x9a", 4) + garbage(3000, 8)}) {
        const photo::DecodedPicture decoded = photo::decodeMetafile(bytes);
        QVERIFY(decoded.image.isNull());
        QVERIFY(decoded.failure != Failure::None);
    }
}

// ---- loading files ----

void TestPhotos::cargarJpegIsSilentExceptForSize()
{
    const QImage picture = quarteredPicture(QSize(64, 48));
    // Whatever the name says.
    const photo::PictureLoad good = photo::CargarJpeg(file("foto.bmp", jpegOf(picture)));
    QVERIFY(good.ok());
    QVERIFY(quartersKept(good.image));
    QVERIFY(good.notice.isEmpty() && good.error.isEmpty());

    for (const QString &name : {file("cero.jpg", {}), file("basura.jpg", garbage(2000, 9)),
                                file("corta.jpg", jpegOf(picture).left(300)), dir.filePath("no-existe.jpg"),
                                dir.path()}) {
        const photo::PictureLoad failed = photo::CargarJpeg(name);
        QVERIFY2(!failed.ok() && failed.notice.isEmpty() && failed.error.isEmpty(), qPrintable(name));
    }
    const photo::PictureLoad huge = photo::CargarJpeg(file("enorme.jpg", withJpegSize(jpegOf(picture), QSize(60000, 60000))));
    QVERIFY(!huge.ok());
    QVERIFY(huge.error.isEmpty());
    QCOMPARE(huge.notice, QStringLiteral("La imagen mide 60000 x 60000 píxeles: el programa acepta fotos de hasta 12000 x "
                                         "12000 píxeles y 100 megapíxeles.\rLa foto de la flor no cambió."));
}

void TestPhotos::loadingByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("error");
    const QImage picture = quarteredPicture(QSize(40, 30));
    const QByteArray bmp = formatOf(picture, "BMP");
    const QString unchanged = QStringLiteral("\rLa foto de la flor no cambió.");
    QTest::newRow("bitmap") << "a.bmp" << bmp << true << "" << "";
    QTest::newRow("bitmap, capitals") << "A.BMP" << bmp << true << "" << "";
    QTest::newRow("icon") << "a.ico" << formatOf(picture, "ICO") << true << "" << "";
    QTest::newRow("metafile") << "a.wmf" << metafileWithRectangle(Qt::red) << true << "" << "";
    QTest::newRow("JPEG by name") << "a.jpeg" << jpegOf(picture) << true << "" << "";
    QTest::newRow("JPG by name") << "a.JPG" << jpegOf(picture) << true << "" << "";
    QTest::newRow("unknown extension") << "a.txt" << bmp << false << "" << "Unknown picture file extension (.txt)";
    QTest::newRow("unknown extension, capitals") << "a.PNG" << bmp << false << ""
                                                 << "Unknown picture file extension (.png)";
    QTest::newRow("no extension") << "foto" << bmp << false << "" << "Unknown picture file extension (.)";
    QTest::newRow("damaged bitmap") << "a.bmp" << bmp.left(200) << false << "" << "Bitmap image is not valid";
    QTest::newRow("empty bitmap") << "a.bmp" << QByteArray() << false << "" << "Bitmap image is not valid";
    QTest::newRow("JPEG named as a bitmap") << "a.bmp" << jpegOf(picture) << false << ""
                                            << "Bitmap image is not valid";
    QTest::newRow("bitmap claiming 60000 x 60000")
        << "a.bmp" << withBitmapSize(bmp, QSize(60000, 60000)) << false
        << "La imagen mide 60000 x 60000 píxeles: el programa acepta fotos de hasta 12000 x 12000 píxeles y 100 "
           "megapíxeles."
               + unchanged
        << "";
    QTest::newRow("damaged icon") << "a.ico" << garbage(500, 10) << false
                                  << "El archivo a.ico no es un icono válido." + unchanged << "";
    QTest::newRow("damaged metafile") << "a.wmf" << garbage(500, 11) << false
                                      << "El archivo a.wmf no es un metarchivo que el programa pueda dibujar." + unchanged
                                      << "";
    QTest::newRow("damaged JPEG by name") << "a.jpg" << garbage(500, 12) << false
                                          << "El archivo a.jpg no es una imagen JPEG válida." + unchanged << "";
    QTest::newRow("enhanced metafile") << "a.emf" << garbage(500, 13) << false
                                       << "El programa no puede convertir el metarchivo a.emf en una foto.\rGuarde la "
                                          "imagen como JPEG o BMP y cárguela de nuevo; la foto de la flor no cambió."
                                       << "";
}

void TestPhotos::loadingByExtension()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    QFETCH(QString, notice);
    QFETCH(QString, error);
    const photo::PictureLoad load = photo::loadPictureFile(file(name, bytes));
    QCOMPARE(load.ok(), loads);
    QCOMPARE(load.notice, notice);
    QCOMPARE(load.error, error);
    if (loads)
        QCOMPARE(load.image.format(), QImage::Format_RGB32);
}

void TestPhotos::filesThatAreNotPlainFilesNeverBlock()
{
    // A FIFO with no writer would keep a plain open() waiting for ever.
    const QString fifo = dir.filePath("tubo.jpg");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!photo::CargarJpeg(fifo).ok());
    const photo::PictureLoad other = photo::loadPictureFile(fifo);
    QCOMPARE(other.notice, QStringLiteral("No se puede leer el archivo tubo.jpg.\rLa foto de la flor no cambió."));
    QVERIFY(photo::previewPicture(fifo, QSize(100, 100)).isNull());
    QCOMPARE(photo::readPictureFile(dir.path()).failure, Failure::Unreadable);
    QCOMPARE(photo::readPictureFile("/dev/zero").failure, Failure::Unreadable);
}

// ---- the stored photo ----

void TestPhotos::storedPhotoIsLosslessWithAShrunkCopy_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("preview");
    QTest::newRow("small: no copy") << QSize(640, 480) << QSize();
    QTest::newRow("as wide as the copy: no copy") << QSize(photo::kPreviewSide, 300) << QSize();
    QTest::newRow("landscape") << QSize(2000, 1500) << QSize(800, 600);
    QTest::newRow("portrait") << QSize(900, 1800) << QSize(400, 800);
    QTest::newRow("one pixel too wide: the side shrinks by truncation") << QSize(801, 10) << QSize(800, 9);
}

void TestPhotos::storedPhotoIsLosslessWithAShrunkCopy()
{
    QFETCH(QSize, size);
    QFETCH(QSize, preview);
    // Noise, which a lossy encoding could not keep.
    QImage picture(size, QImage::Format_RGB32);
    QRandomGenerator random(size.width());
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = 0xff000000u | random.bounded(0x1000000u);
    }
    const QByteArray bytes = photo::encodePhoto(picture);
    QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));

    const photo::StoredPhoto head = photo::peekPhoto(bytes);
    QCOMPARE(head.size, size);
    QCOMPARE(head.preview.isNull() ? QSize() : head.preview.size(), preview);
    QCOMPARE(photo::decodePhoto(bytes), picture);
    // Any PNG reader takes the bytes whole, passing over the copy.
    QCOMPARE(QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_RGB32), picture);
    if (preview.isValid()) {
        // The copy is the photo shrunk, not some other picture.
        const QImage expected = picture.scaled(preview, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(near(head.preview.pixelColor(preview.width() / 2, preview.height() / 2),
                     expected.pixelColor(preview.width() / 2, preview.height() / 2), 1));
    }
}

void TestPhotos::plainPngFromOtherProgramsIsRead()
{
    const QImage picture = quarteredPicture(QSize(1500, 1000));
    const QByteArray png = formatOf(picture, "PNG");
    const photo::StoredPhoto head = photo::peekPhoto(png);
    QCOMPARE(head.size, picture.size());
    QVERIFY(head.preview.isNull());
    QCOMPARE(photo::decodePhoto(png), picture);
    // An old bitmap field is read too.
    QCOMPARE(photo::decodePhoto(formatOf(picture, "BMP")), picture);
}

void TestPhotos::hostileStoredBytesShowNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("sized");
    QTest::addColumn<bool>("decodes");
    const QByteArray stored = photo::encodePhoto(quarteredPicture(QSize(1600, 1200)));
    QByteArray huge = formatOf(quarteredPicture(QSize(8, 8)), "PNG");
    qToBigEndian<quint32>(60000, huge.data() + 16);
    qToBigEndian<quint32>(60000, huge.data() + 20);
    QTest::newRow("empty") << QByteArray() << false << false;
    QTest::newRow("random") << garbage(3000, 14) << false << false;
    QTest::newRow("PNG claiming 60000 x 60000") << huge << false << false;
    QTest::newRow("cut inside the copy") << stored.left(100000) << true << false;
    QTest::newRow("cut after the copy") << stored.left(stored.size() - 1000) << true << false;
    QByteArray lying = stored;
    // The copy's own size, doubled: it no longer fits its chunk.
    qToBigEndian<quint16>(1600, lying.data() + 33 + 8 + 2);
    // The photo itself is whole: only the copy is passed over.
    QTest::newRow("copy of the wrong size") << lying << true << true;
    QByteArray longChunk = stored;
    qToBigEndian<quint32>(0x7ffffff0, longChunk.data() + 33);
    QTest::newRow("chunk longer than the bytes") << longChunk << true << false;
}

void TestPhotos::hostileStoredBytesShowNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, sized);
    QFETCH(bool, decodes);
    const photo::StoredPhoto head = photo::peekPhoto(bytes);
    QCOMPARE(head.size.isValid(), sized);
    if (!head.preview.isNull())
        QCOMPARE(head.preview.size(), QSize(800, 600));
    // What cannot be decoded whole decodes to nothing rather than to a half-blank photo.
    const QImage whole = photo::decodePhoto(bytes);
    QCOMPARE(!whole.isNull(), decodes);
    if (decodes)
        QCOMPARE(whole.size(), QSize(1600, 1200));
}

void TestPhotos::theTablesToolExportsStoredPhotosAsPngFiles()
{
    const QString tables = dir.filePath("tablas");
    tabletool::createTables(tables);
    const QImage picture = quarteredPicture(QSize(1200, 900));
    {
        store::Table flowers(QDir(tables).filePath("Flores.db"), catalogue::floresDef(), store::TableFile::Durability::Full);
        store::Record row;
        row.values.resize(std::size_t(flowers.fieldCount()));
        row.changed.assign(std::size_t(flowers.fieldCount()), true);
        row.values[std::size_t(flowers.fieldIndex("Tipo"))] = QStringLiteral("1");
        row.values[std::size_t(flowers.fieldIndex("Nom1"))] = QStringLiteral("Agrimonia");
        row.values[std::size_t(flowers.fieldIndex("Foto"))] = photo::encodePhoto(picture);
        flowers.insert(row);
    }
    const QString csv = dir.filePath("csv");
    tabletool::exportCsv(tables, csv);
    const QStringList exported = QDir(QDir(csv).filePath("fotos")).entryList(QDir::Files);
    QCOMPARE(exported.size(), 1);
    QImageReader reader(QDir(csv).filePath("fotos/" + exported.first()));
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.read().convertToFormat(QImage::Format_RGB32), picture);
}

QTEST_GUILESS_MAIN(TestPhotos)
#include "test_photos.moc"
