#include "wholefile.h"

#include "error.h"
#include "regularfile.h"
#include "reasons.h"

#include <QRandomGenerator>

#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {
namespace {

constexpr int kRandomLength = 6;
constexpr int kAttempts = 100;

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray fileNameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray inFolder(const QByteArray &folder, const QByteArray &name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool isSaveName(const QByteArray &name)
{
    const qsizetype mark = qsizetype(sizeof kSaveMark) - 1;
    if (name.size() < 2 + mark + kRandomLength || !name.startsWith('.'))
        return false;
    if (name.mid(name.size() - kRandomLength - mark, mark) != kSaveMark)
        return false;
    for (qsizetype i = name.size() - kRandomLength; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

QByteArray randomLetters()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray out(kRandomLength, Qt::Uninitialized);
    for (char &c : out)
        c = kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    return out;
}

// The new file, made with the permissions any new file gets here, and locked so that the
// removal of abandoned saves leaves it while it is written.
int createNew(const QByteArray &path, QByteArray &made)
{
    const QByteArray stem = inFolder(folderOf(path), '.' + fileNameOf(path) + kSaveMark);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        made = stem + randomLetters();
        const int fd = ::open(made.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return -1;
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return fd;
        // Taken for abandoned by another run's clean-up in the instant before the lock: that
        // run removes it.
        ::close(fd);
    }
    return -1;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        written += n;
    }
    return true;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void saveWholeFile(const QString &path, const QByteArray &bytes)
{
    saveWholeFile(nativePath(path), bytes);
}

void saveWholeFile(const QByteArray &path, const QByteArray &bytes)
{
    const auto fail = [&path](const char *what, const QString &reason) {
        throw Error(QStringLiteral("No se pudo %1 el archivo %2: %3").arg(QLatin1String(what), shownPath(path), reason));
    };
    struct stat old {};
    const bool replacing = ::lstat(path.constData(), &old) == 0;
    if (!replacing && errno != ENOENT)
        fail("escribir", systemReason(errno));
    if (replacing && !S_ISREG(old.st_mode))
        fail("escribir", notRegularReason(path));
    // A file the user made read-only is kept as it is.
    if (replacing && ::access(path.constData(), W_OK) != 0)
        fail("escribir", systemReason(errno));

    const QByteArray folder = folderOf(path);
    removeAbandonedSaves(folder);
    QByteArray made;
    const int fd = createNew(path, made);
    if (fd < 0)
        fail("crear", systemReason(errno));
    const auto abandon = [&](const char *what, int error) {
        ::unlink(made.constData());
        ::close(fd);
        fail(what, systemReason(error));
    };
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        abandon("escribir", errno);
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        abandon("escribir", errno);
    if (::rename(made.constData(), path.constData()) != 0)
        abandon("escribir", errno);
    ::close(fd);
    // The new name must reach the disk too, or a power cut could bring the old file back.
    syncFolder(folder);
}

QStringList removeAbandonedSaves(const QByteArray &folder)
{
    QStringList removed;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return removed;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!isSaveName(name))
            continue;
        const QByteArray path = inFolder(folder, name);
        struct stat info {};
        // Nothing but a regular file is even opened: opening a device may do something.
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A save still under way holds the lock: its file stays.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(path.constData()) == 0)
            removed << decodedName(name);
        ::close(fd);
    }
    ::closedir(dir);
    removed.sort();
    return removed;
}

} // namespace store
