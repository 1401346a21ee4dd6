#include "jpegdecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace photo {
namespace {

// libjpeg's own error handling ends the process; ours jumps back to the step that called it.
struct ErrorManager
{
    jpeg_error_mgr pub; // first, so that libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
};

[[noreturn]] void fail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void onMessage(j_common_ptr info, int level)
{
    // A warning means damaged or missing data, which libjpeg would fill with grey: a photo
    // that is not what the file holds is worse than none.
    if (level < 0)
        fail(info);
}

void silent(j_common_ptr) { }

// A progressive file may repeat its scans without end, each a full pass over the picture.
constexpr int kMaxScans = 1000;
// Progressive files keep every coefficient in memory: enough for the largest picture taken.
constexpr long kMaxLibraryMemory = 1L << 30;

void onProgress(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans)
        fail(info);
}

struct Session
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    bool created = false;
    bool cmyk = false;
};

// Each step arms its own jump point and builds no C++ object after it, so that a jump skips
// no destructor; what a step must keep lives in the session.
bool readHeader(Session &s, const QByteArray &data)
{
    if (setjmp(s.errors.jump))
        return false;
    jpeg_create_decompress(&s.info);
    s.created = true;
    s.info.mem->max_memory_to_use = kMaxLibraryMemory;
    s.info.progress = &s.progress;
    jpeg_mem_src(&s.info, reinterpret_cast<const unsigned char *>(data.constData()), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&s.info, TRUE);
    return true;
}

bool chooseOutput(Session &s, int denominator)
{
    if (setjmp(s.errors.jump))
        return false;
    switch (s.info.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
        s.info.out_color_space = JCS_CMYK;
        s.cmyk = true;
        break;
    default:
        // Colour and greyscale alike come out in the bitmap's own byte order.
        s.info.out_color_space = JCS_EXT_BGRX;
        break;
    }
    s.info.scale_num = 1;
    s.info.scale_denom = static_cast<unsigned int>(denominator);
    jpeg_calc_output_dimensions(&s.info);
    return s.info.output_components == 4;
}

bool readPixels(Session &s, QImage &image)
{
    JSAMPROW row = nullptr;
    if (setjmp(s.errors.jump))
        return false;
    jpeg_start_decompress(&s.info);
    while (s.info.output_scanline < s.info.output_height) {
        row = image.scanLine(int(s.info.output_scanline));
        jpeg_read_scanlines(&s.info, &row, 1);
    }
    jpeg_finish_decompress(&s.info);
    return s.errors.pub.num_warnings == 0;
}

// Four inks per pixel, in place, to the bitmap's blue, green, red and an opaque fourth byte.
// Adobe programs store each ink inverted (255 for none).
void cmykToBitmap(QImage &image, bool inverted)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            int c = p[0], m = p[1], yellow = p[2], k = p[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yellow = 255 - yellow;
                k = 255 - k;
            }
            // Each value is now the light left after the ink: the product of two of them.
            p[0] = uchar((yellow * k + 127) / 255);
            p[1] = uchar((m * k + 127) / 255);
            p[2] = uchar((c * k + 127) / 255);
            p[3] = 0xff;
        }
    }
}

// libjpeg shrinks while decoding by 1/2, 1/4 and 1/8 at little cost.
int scaleDenominator(QSize size, QSize atLeast)
{
    int denominator = 1;
    if (atLeast.isValid())
        while (denominator < 8 && size.width() / (denominator * 2) >= atLeast.width()
               && size.height() / (denominator * 2) >= atLeast.height())
            denominator *= 2;
    return denominator;
}

} // namespace

DecodedPicture decodeJpeg(const QByteArray &data, QSize atLeast)
{
    Session s;
    s.info.err = jpeg_std_error(&s.errors.pub);
    s.errors.pub.error_exit = fail;
    s.errors.pub.emit_message = onMessage;
    s.errors.pub.output_message = silent;
    s.progress.progress_monitor = onProgress;

    DecodedPicture result = DecodedPicture::failed(Failure::Corrupt);
    if (readHeader(s, data)) {
        const QSize size(int(s.info.image_width), int(s.info.image_height));
        if (!sizeAllowed(size)) {
            result = DecodedPicture::failed(Failure::TooLarge, size);
        } else if (chooseOutput(s, scaleDenominator(size, atLeast))) {
            QImage image(int(s.info.output_width), int(s.info.output_height), QImage::Format_RGB32);
            if (image.isNull())
                result = DecodedPicture::failed(Failure::TooLarge, size);
            else if (readPixels(s, image)) {
                if (s.cmyk)
                    cmykToBitmap(image, s.info.saw_Adobe_marker);
                result = {std::move(image), Failure::None, size};
            }
        }
    }
    if (s.created)
        jpeg_destroy_decompress(&s.info);
    return result;
}

} // namespace photo
