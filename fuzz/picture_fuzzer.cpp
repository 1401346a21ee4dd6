// Feeds arbitrary bytes to every picture loader the flower photos use: JPEG through libjpeg
// (at full size and shrunk for a preview), bitmaps and icons through the toolkit's readers,
// Windows metafiles through libwmf, and the stored photo's own reading. None may crash, hang or
// take pixel memory beyond the size limits, whatever the bytes.
#include "maintenance/jpegdecoder.h"
#include "maintenance/metafiledecoder.h"
#include "maintenance/picturefile.h"
#include "maintenance/storedphoto.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

namespace {

// The toolkit's image readers are plugins, found through an application object.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "picture_fuzzer";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication app(argc, argv);
    }
}

void check(const photo::DecodedPicture &decoded)
{
    if (decoded.ok() && !photo::sizeAllowed(decoded.image.size()))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ensureApplication();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // The first byte picks the loader, so that each one sees every kind of input.
    const int which = size > 0 ? data[0] % 6 : 0;
    const QByteArray rest = size > 0 ? bytes.mid(1) : bytes;
    switch (which) {
    case 0:
        check(photo::decodeJpeg(rest));
        break;
    case 1:
        check(photo::decodeJpeg(rest, QSize(100, 100)));
        break;
    case 2:
        check(photo::decodeBitmap(rest));
        break;
    case 3:
        check(photo::decodeIcon(rest));
        break;
    case 4:
        check(photo::decodeMetafile(rest));
        break;
    case 5: {
        const photo::StoredPhoto head = photo::peekPhoto(rest);
        if (!head.preview.isNull() && (head.preview.width() > photo::kPreviewSide || head.preview.height() > photo::kPreviewSide))
            __builtin_trap();
        const QImage whole = photo::decodePhoto(rest);
        if (!whole.isNull() && !photo::sizeAllowed(whole.size()))
            __builtin_trap();
        break;
    }
    }
    return 0;
}
