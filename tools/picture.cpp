#include "picture.h"

#include <QBuffer>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tabletool {
namespace {

// Standard error sent to /dev/null for as long as this lives.
class SilencedStderr
{
public:
    SilencedStderr()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~SilencedStderr()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    SilencedStderr(const SilencedStderr &) = delete;
    SilencedStderr &operator=(const SilencedStderr &) = delete;

private:
    int m_saved = -1;
};

} // namespace

QImage readPicture(const QByteArray &bytes, QImageReader::ImageReaderError *error)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image;
    {
        SilencedStderr quiet;
        image = reader.read();
    }
    if (error)
        *error = reader.error();
    return image;
}

QByteArray asPng(const QByteArray &bytes, QImageReader::ImageReaderError *error)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    const QImage image = readPicture(bytes, error);
    if (image.isNull())
        return {};
    if (bytes.startsWith(signature))
        return bytes;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return png;
}

} // namespace tabletool
