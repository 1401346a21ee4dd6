#include "readonlyfile.h"

#include "store/error.h"
#include "store/reasons.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabletool {
using store::systemReason;

ReadOnlyFile::ReadOnlyFile(const QString &path, const QString &name) : m_name(name)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0)
        throw store::Error(QStringLiteral("%1: %2").arg(name, systemReason(errno)));
    struct stat st{};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        throw store::Error(QStringLiteral("%1: no es un archivo común").arg(name));
    }
    m_size = st.st_size;
}

ReadOnlyFile::~ReadOnlyFile()
{
    ::close(m_fd);
}

void ReadOnlyFile::failTruncated(qint64 end) const
{
    throw store::Error(QStringLiteral("%1: el archivo está truncado: termina antes del byte %2").arg(m_name).arg(end));
}

void ReadOnlyFile::read(qint64 at, char *into, qint64 n) const
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t got = ::pread(m_fd, into + done, std::size_t(n - done), off_t(at + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw store::Error(QStringLiteral("%1: %2").arg(m_name, systemReason(errno)));
        if (got == 0)
            failTruncated(at + n);
        done += got;
    }
}

QByteArray ReadOnlyFile::read(qint64 at, qint64 n) const
{
    if (at < 0 || n < 0 || at > m_size || n > m_size - at)
        failTruncated(at + n);
    QByteArray bytes(n, Qt::Uninitialized);
    read(at, bytes.data(), n);
    return bytes;
}

} // namespace tabletool
