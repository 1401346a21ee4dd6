#include "filesystem.h"

#include "reasons.h"
#include "store/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabletool {
namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

int closeKeepingErrno(int fd)
{
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

// Opens and locks a work file or folder; -1 when somebody else holds the lock.
int lockedOpen(const QString &path, int flags)
{
    const int fd = ::open(native(path).constData(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return closeKeepingErrno(fd);
    return fd;
}

bool isWorkName(const QString &name, const QString &prefix)
{
    if (prefix == QLatin1String("*")) {
        const qsizetype mark = name.lastIndexOf(QLatin1String(kWorkMark));
        return name.startsWith(QLatin1Char('.')) && mark >= 0 && name.size() == mark + qsizetype(strlen(kWorkMark)) + 6;
    }
    const QString start = QLatin1Char('.') + prefix + QLatin1String(kWorkMark);
    return name.startsWith(start) && name.size() == start.size() + 6;
}

} // namespace

void failWith(const QString &what, int error)
{
    throw store::Error(QStringLiteral("%1: %2").arg(what, systemReason(error)));
}

InputFile::InputFile(const QString &path, const QString &shownAs) : m_shownAs(shownAs)
{
    const QString cannot = QStringLiteral("No se puede leer el archivo %1: %2");
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    m_fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
        const int error = errno;
        if (error == ENOENT)
            throw FileError(QStringLiteral("No se encuentra el archivo %1").arg(shown(shownAs)),
                            systemReason(error), true);
        throw FileError(cannot.arg(shown(shownAs), systemReason(error)), systemReason(error), false);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        const QString reason = S_ISDIR(info.st_mode) ? QStringLiteral("es una carpeta, no un archivo")
                                                     : QStringLiteral("no es un archivo normal");
        throw FileError(cannot.arg(shown(shownAs), reason), reason, false);
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qsizetype InputFile::read(char *buffer, qsizetype max)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size_t(max));
        if (n >= 0)
            return qsizetype(n);
        if (errno != EINTR)
            throw FileError(QStringLiteral("No se puede leer el archivo %1: %2").arg(shown(m_shownAs), systemReason(errno)),
                            systemReason(errno), false);
    }
}

QByteArray InputFile::readAll(qint64 limit)
{
    QByteArray data;
    constexpr qsizetype kChunk = 1 << 16;
    for (;;) {
        const qsizetype before = data.size();
        data.resize(before + kChunk);
        const qsizetype n = read(data.data() + before, kChunk);
        data.resize(before + n);
        if (n == 0)
            return data;
        if (data.size() > limit) {
            const QString reason = QStringLiteral("pasa de %1 MB").arg(limit / (1024 * 1024));
            throw FileError(QStringLiteral("No se puede leer el archivo %1: %2").arg(shown(m_shownAs), reason), reason,
                            false);
        }
    }
}

MadeFolders::~MadeFolders()
{
    for (auto it = m_made.crbegin(); it != m_made.crend(); ++it)
        if (::rmdir(native(*it).constData()) != 0)
            break;
}

void MadeFolders::make(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    QString at = clean;
    for (;;) {
        struct stat info {};
        if (::stat(native(at).constData(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                throw store::Error(QStringLiteral("No se puede crear la carpeta %1: %2 no es una carpeta")
                                       .arg(shown(path), shown(at)));
            break;
        }
        if (errno != ENOENT)
            failWith(QStringLiteral("No se puede crear la carpeta %1").arg(shown(path)), errno);
        missing.prepend(at);
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    for (const QString &folder : std::as_const(missing)) {
        if (::mkdir(native(folder).constData(), 0777) != 0 && errno != EEXIST)
            failWith(QStringLiteral("No se puede crear la carpeta %1").arg(shown(path)), errno);
        m_made << folder;
    }
}

NewFile::NewFile(const QString &path) : m_path(path)
{
    const QFileInfo info(path);
    QByteArray name = native(QDir(info.path()).filePath(QLatin1Char('.') + info.fileName()
                                                        + QLatin1String(kWorkMark) + QStringLiteral("XXXXXX")));
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        failWith(QStringLiteral("No se puede escribir %1").arg(shown(path)), errno);
    m_temporary = QFile::decodeName(name);
    ::flock(m_fd, LOCK_EX | LOCK_NB);
}

NewFile::~NewFile()
{
    if (m_fd >= 0) {
        ::unlink(native(m_temporary).constData());
        ::close(m_fd);
    }
}

void NewFile::write(const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failWith(QStringLiteral("No se puede escribir %1").arg(shown(m_path)), n < 0 ? errno : ENOSPC);
        p += n;
        left -= n;
    }
}

void NewFile::commit()
{
    if (::fsync(m_fd) != 0)
        failWith(QStringLiteral("No se puede escribir %1").arg(shown(m_path)), errno);
    // link, unlike rename, fails when the name is taken: a file that appeared meanwhile stays.
    if (::link(native(m_temporary).constData(), native(m_path).constData()) != 0) {
        if (errno == EEXIST)
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(shown(m_path)));
        failWith(QStringLiteral("No se puede escribir %1").arg(shown(m_path)), errno);
    }
    ::unlink(native(m_temporary).constData());
    ::close(m_fd);
    m_fd = -1;
}

WorkFolder::WorkFolder(const QString &place, const QString &name)
{
    const QString folder = name.isEmpty() ? place : QFileInfo(place).path();
    QByteArray path = native(QDir(folder).filePath(QLatin1Char('.') + name + QLatin1String(kWorkMark)
                                                   + QStringLiteral("XXXXXX")));
    if (::mkdtemp(path.data()) == nullptr)
        failWith(QStringLiteral("No se puede escribir en la carpeta %1").arg(shown(folder)), errno);
    m_path = QFile::decodeName(path);
    m_fd = lockedOpen(m_path, O_RDONLY | O_DIRECTORY);
    // mkdtemp makes it private; renamed into place it must look like any folder made here.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(path.constData(), 0777 & ~mask);
}

WorkFolder::~WorkFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString WorkFolder::filePath(const QString &name) const
{
    return QDir(m_path).filePath(name);
}

bool WorkFolder::remove(const QStringList &ours)
{
    if (m_path.isEmpty())
        return true;
    const bool removed = removeWorkFolder(m_path, ours);
    forget();
    return removed;
}

void WorkFolder::forget()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

bool moveNoReplace(const QString &from, const QString &to)
{
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a file is linked, which fails on a taken name.
    struct stat info {};
    if (::lstat(native(to).constData(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    if (::lstat(native(from).constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        if (::link(native(from).constData(), native(to).constData()) != 0)
            return false;
        ::unlink(native(from).constData());
        return true;
    }
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

void syncFolder(const QString &path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

void syncFile(const QString &path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        failWith(QStringLiteral("No se puede guardar %1").arg(shown(path)), error);
    }
    ::close(fd);
}

QStringList abandonedWork(const QString &folder, const QString &prefix, bool folders)
{
    QStringList found;
    DIR *dir = ::opendir(native(folder).constData());
    if (!dir)
        return found;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!isWorkName(name, prefix))
            continue;
        const QString path = QDir(folder).filePath(name);
        struct stat info {};
        if (::lstat(native(path).constData(), &info) != 0 || S_ISDIR(info.st_mode) != folders
            || (!folders && !S_ISREG(info.st_mode)))
            continue;
        const int fd = lockedOpen(path, folders ? O_RDONLY | O_DIRECTORY : O_RDONLY);
        if (fd < 0)
            continue; // a living run holds it
        ::close(fd);
        found << path;
    }
    ::closedir(dir);
    found.sort();
    return found;
}

bool removeWorkFolder(const QString &path, const QStringList &ours)
{
    for (const QString &name : ours)
        ::unlink(native(QDir(path).filePath(name)).constData());
    return ::rmdir(native(path).constData()) == 0;
}

} // namespace tabletool
