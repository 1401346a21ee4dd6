#include "regularfile.h"

#include "codepage.h"
#include "error.h"
#include "reasons.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {
namespace {

bool isDirectory(const QByteArray &path)
{
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

[[noreturn]] void fail(const char *what, const QByteArray &path, const QString &reason)
{
    throw Error(QStringLiteral("No se pudo %1 el archivo %2: %3").arg(QLatin1String(what), shownPath(path), reason));
}

} // namespace

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString decodedName(const QByteArray &name)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(name);
    if (!utf8.hasError())
        return text;
    return codepage::fromWindows1252(name);
}

QString shownPath(const QByteArray &path)
{
    return QDir::toNativeSeparators(decodedName(path));
}

QString notRegularReason(const QByteArray &path)
{
    return isDirectory(path) ? systemReason(EISDIR) : QStringLiteral("no es un archivo común");
}

RegularFileRead readRegularFile(const QByteArray &path, qint64 limit)
{
    RegularFileRead result;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        if (errno == ENOENT)
            return result;
        fail("abrir", path, systemReason(errno));
    }
    // A link is followed; one that leads nowhere is there, and is not a file.
    if (S_ISLNK(info.st_mode) && ::stat(path.constData(), &info) != 0 && errno != ENOENT)
        fail("abrir", path, systemReason(errno));
    result.kind = RegularFileRead::NotRegular;
    if (!S_ISREG(info.st_mode))
        return result;

    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail("abrir", path, systemReason(errno));
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return result;
    }
    result.kind = RegularFileRead::Regular;
    result.size = info.st_size;
    // The file may grow or shrink while it is read: only what is there, and never more than asked.
    result.bytes.resize(qsizetype(std::min<qint64>(limit, std::max<qint64>(info.st_size, 0))));
    qsizetype done = 0;
    while (done < result.bytes.size()) {
        const ssize_t n = ::read(fd, result.bytes.data() + done, std::size_t(result.bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            fail("leer", path, systemReason(error));
        }
        if (n == 0)
            break;
        done += n;
    }
    ::close(fd);
    result.bytes.truncate(done);
    return result;
}

} // namespace store
