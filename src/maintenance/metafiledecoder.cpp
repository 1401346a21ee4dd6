#include "metafiledecoder.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QtEndian>

#include <iterator>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libwmf/api.h>
#include <libwmf/gd.h>

namespace photo {
namespace {

constexpr qint64 kTimeBudgetMs = 5000;
constexpr double kPointsPerInch = 72;
constexpr std::size_t kMemoryBudget = std::size_t(512) << 20;
constexpr double kScreenDpi = 96;

// The library's memory, counted: each block carries its size in front of it.
struct Budget
{
    std::size_t used = 0;
    QElapsedTimer clock;
};

constexpr std::size_t kHeader = alignof(std::max_align_t);

void *allocate(void *context, std::size_t size)
{
    auto *budget = static_cast<Budget *>(context);
    if (size > kMemoryBudget - budget->used)
        return nullptr;
    auto *block = static_cast<char *>(std::malloc(size + kHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    budget->used += size;
    return block + kHeader;
}

void release(void *context, void *memory)
{
    if (!memory)
        return;
    char *block = static_cast<char *>(memory) - kHeader;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    static_cast<Budget *>(context)->used -= size;
    std::free(block);
}

void *reallocate(void *context, void *memory, std::size_t size)
{
    if (!memory)
        return allocate(context, size);
    std::size_t old = 0;
    std::memcpy(&old, static_cast<char *>(memory) - kHeader, sizeof old);
    void *fresh = allocate(context, size);
    if (!fresh)
        return nullptr;
    std::memcpy(fresh, memory, std::min(old, size));
    release(context, memory);
    return fresh;
}

int keepGoing(void *context, float)
{
    return static_cast<Budget *>(context)->clock.elapsed() > kTimeBudgetMs ? 1 : 0;
}

// The library draws text only with the fonts it is told of: the standard PostScript faces,
// here the metric-compatible Liberation faces the program installs for its own text.
char kFontFolder[] = "/usr/share/fonts/truetype/liberation2";
char *kFontFolders[] = {kFontFolder, nullptr};

wmfMapping *standardFaces()
{
    static const char *const pairs[][2] = {
        {"Times-Roman", "LiberationSerif-Regular.ttf"},   {"Times-Italic", "LiberationSerif-Italic.ttf"},
        {"Times-Bold", "LiberationSerif-Bold.ttf"},       {"Times-BoldItalic", "LiberationSerif-BoldItalic.ttf"},
        {"Helvetica", "LiberationSans-Regular.ttf"},      {"Helvetica-Oblique", "LiberationSans-Italic.ttf"},
        {"Helvetica-Bold", "LiberationSans-Bold.ttf"},    {"Helvetica-BoldOblique", "LiberationSans-BoldItalic.ttf"},
        {"Courier", "LiberationMono-Regular.ttf"},        {"Courier-Oblique", "LiberationMono-Italic.ttf"},
        {"Courier-Bold", "LiberationMono-Bold.ttf"},      {"Courier-BoldOblique", "LiberationMono-BoldItalic.ttf"},
    };
    static wmfMapping faces[std::size(pairs) + 1] = {};
    static const bool filled = [] {
        for (std::size_t i = 0; i < std::size(pairs); ++i)
            // The library only reads these names.
            faces[i] = {const_cast<char *>(pairs[i][0]), const_cast<char *>(pairs[i][1]), FT_ENCODING_NONE};
        return true;
    }();
    Q_UNUSED(filled);
    return faces;
}

// A placeable metafile says which part of its drawing is the picture; the library's own
// bounds are those of what is drawn, which would crop the picture's margins away.
bool placeableFrame(const QByteArray &data, wmfD_Rect &frame)
{
    constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
    if (data.size() < 22)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const int unitsPerInch = qFromLittleEndian<quint16>(p + 14);
    if (qFromLittleEndian<quint32>(p) != kPlaceableKey || unitsPerInch == 0)
        return false;
    const auto at = [&](int offset) { return float(qFromLittleEndian<qint16>(p + offset) * kPointsPerInch / unitsPerInch); };
    frame.TL = {std::min(at(6), at(10)), std::min(at(8), at(12))};
    frame.BR = {std::max(at(6), at(10)), std::max(at(8), at(12))};
    return frame.BR.x > frame.TL.x && frame.BR.y > frame.TL.y;
}

// The drawing size at screen resolution, shrunk to the side limit with its proportions kept.
QSize drawingSize(wmfAPI *api)
{
    unsigned int width = 0, height = 0;
    if (wmf_display_size(api, &width, &height, kScreenDpi, kScreenDpi) != wmf_E_None || width == 0 || height == 0)
        return {};
    const double scale = std::min(1.0, double(kMaxMetafileSide) / std::max(width, height));
    return QSize(std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale))));
}

QImage copyPixels(const int *pixels, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const auto p = static_cast<quint32>(*pixels++);
            // 0 is opaque and 127 clear; what shows through is white.
            const int clear = int((p >> 24) & 0x7f);
            const auto over = [clear](int c) { return (c * (127 - clear) + 255 * clear + 63) / 127; };
            row[x] = qRgb(over(qRed(p)), over(qGreen(p)), over(qBlue(p)));
        }
    }
    return image;
}


// What the drawing process sends back: a head, then the pixels when it drew.
struct DrawingHead
{
    qint32 failure = qint32(Failure::Corrupt);
    qint32 width = 0;
    qint32 height = 0;
};

bool writeAll(int fd, const void *bytes, std::size_t size)
{
    const auto *p = static_cast<const char *>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

// Draws the metafile and writes the outcome to `fd`. Runs in a process of its own: only the
// library, the heap and plain system calls, nothing of the toolkit.
void drawInto(int fd, const QByteArray &data)
{
    Budget budget;
    budget.clock.start();
    wmfAPI_Options options{};
    options.context = &budget;
    options.malloc = allocate;
    options.realloc = reallocate;
    options.free = release;
    options.function = wmf_gd_function;
    options.fontdirs = kFontFolders;
    options.font.ps = standardFaces();
    const unsigned long flags = WMF_OPT_ALLOC | WMF_OPT_FUNCTION | WMF_OPT_FONTDIRS | WMF_OPT_FONTMAP
        | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    DrawingHead head;
    wmfAPI *api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        head.failure = qint32(Failure::Unsupported);
        writeAll(fd, &head, sizeof head);
        return;
    }
    wmf_status_function(api, &budget, keepGoing);

    // The library reads through this pointer and never writes.
    auto *bytes = reinterpret_cast<unsigned char *>(const_cast<char *>(data.constData()));
    wmfD_Rect bounds{};
    const int *pixels = nullptr;
    wmf_gd_t *device = nullptr;
    if (wmf_mem_open(api, bytes, long(data.size())) == wmf_E_None) {
        if (wmf_scan(api, 0, &bounds) == wmf_E_None) {
            placeableFrame(data, bounds);
            const QSize size = drawingSize(api);
            device = WMF_GD_GetData(api);
            if (size.isValid() && !sizeAllowed(size)) {
                head = {qint32(Failure::TooLarge), size.width(), size.height()};
            } else if (size.isValid()) {
                device->type = wmf_gd_image;
                device->bbox = bounds;
                device->width = unsigned(size.width());
                device->height = unsigned(size.height());
                if (wmf_play(api, 0, &bounds) == wmf_E_None && device->gd_image)
                    pixels = wmf_gd_image_pixels(device->gd_image);
                if (pixels)
                    head = {qint32(Failure::None), size.width(), size.height()};
            }
        }
    }
    if (writeAll(fd, &head, sizeof head) && pixels)
        writeAll(fd, pixels, std::size_t(head.width) * std::size_t(head.height) * sizeof(int));
    // The process ends right after: what the library holds goes with it.
}

// Reads what the drawing process sends until it closes its end, the deadline passes or more
// arrives than a picture of the largest size.
bool readUntil(int fd, QByteArray &into, const QDeadlineTimer &deadline)
{
    constexpr qsizetype kMost = qsizetype(sizeof(DrawingHead)) + qsizetype(kMaxMetafileSide) * kMaxMetafileSide * 4;
    char chunk[1 << 16];
    while (true) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (into.size() + n > kMost)
            return false;
        into.append(chunk, n);
    }
}

DecodedPicture picture(const QByteArray &sent)
{
    DrawingHead head;
    if (sent.size() < qsizetype(sizeof head))
        return DecodedPicture::failed(Failure::Corrupt);
    std::memcpy(&head, sent.constData(), sizeof head);
    const QSize size(head.width, head.height);
    if (head.failure != qint32(Failure::None))
        return DecodedPicture::failed(Failure(head.failure), size);
    if (!size.isValid() || !sizeAllowed(size)
        || sent.size() - qsizetype(sizeof head) != qsizetype(size.width()) * size.height() * qsizetype(sizeof(int)))
        return DecodedPicture::failed(Failure::Corrupt);
    QImage image = copyPixels(reinterpret_cast<const int *>(sent.constData() + sizeof head), size);
    return image.isNull() ? DecodedPicture::failed(Failure::TooLarge, size) : DecodedPicture{image, Failure::None, size};
}

} // namespace

// The library can spend minutes inside one record of a crafted file, where it never asks
// whether to go on, so the drawing runs in a child process that is ended at the deadline.
DecodedPicture decodeMetafile(const QByteArray &data)
{
    if (data.isEmpty())
        return DecodedPicture::failed(Failure::Corrupt);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return DecodedPicture::failed(Failure::Unsupported);
    const QDeadlineTimer deadline(kTimeBudgetMs);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        drawInto(ends[1], data);
        ::_exit(0);
    }
    ::close(ends[1]);
    if (child < 0) {
        ::close(ends[0]);
        return DecodedPicture::failed(Failure::Unsupported);
    }
    QByteArray sent;
    const bool whole = readUntil(ends[0], sent, deadline);
    ::close(ends[0]);
    if (!whole)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!whole || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return DecodedPicture::failed(Failure::Corrupt);
    return picture(sent);
}

} // namespace photo
