#include "fileheader.h"

#include "error.h"
#include "reasons.h"
#include "tablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {
namespace {

QString &storePassword()
{
    static QString password;
    return password;
}

quint32 bigEndian(const QByteArray &b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

quint32 littleEndian(const QByteArray &b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

[[noreturn]] void notOurs(const QString &path, const QString &why)
{
    throw Error(notOurTableMessage(QFileInfo(path).fileName(), why));
}

// The first bytes of a regular file, read without waiting on a FIFO or a device.
QByteArray readHead(const QString &path, qint64 &size)
{
    const QString name = QFileInfo(path).fileName();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw Error(errno == ENOENT ? QStringLiteral("No se encuentra la tabla %1").arg(path)
                                    : QStringLiteral("No se puede leer la tabla %1: %2").arg(name, systemReason(errno)));
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        notOurs(path, QStringLiteral("no es un archivo común"));
    }
    size = st.st_size;
    QByteArray head(int(std::min<qint64>(size, kHeaderBytes)), '\0');
    qsizetype done = 0;
    while (done < head.size()) {
        const ssize_t got = ::pread(fd, head.data() + done, std::size_t(head.size() - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            const int error = got < 0 ? errno : 0;
            ::close(fd);
            throw Error(QStringLiteral("No se puede leer la tabla %1: %2")
                            .arg(name, error ? systemReason(error) : QStringLiteral("el archivo se acortó")));
        }
        done += got;
    }
    ::close(fd);
    return head;
}

// A page size SQLite can have written: a power of two from 512 to 65536 (stored as 1).
bool soundPageSize(quint32 stored)
{
    const quint32 size = stored == 1 ? 65536 : stored;
    return size >= 512 && size <= 65536 && (size & (size - 1)) == 0;
}

// A name for the new folder that does not exist yet: the old one's with "-nueva".
QString newFolderBeside(const QString &folder)
{
    const QString base = QDir::cleanPath(folder) + QStringLiteral("-nueva");
    QString candidate = base;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = base + QStringLiteral("-%1").arg(n);
    return candidate;
}

// A word of a shell command, quoted when the shell would split or change it.
QString shellWord(const QString &word)
{
    static const QString plain = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@%");
    bool needsQuotes = word.isEmpty();
    for (const QChar c : word)
        needsQuotes = needsQuotes || !plain.contains(c);
    if (!needsQuotes)
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

QString notOurTableMessage(const QString &fileName, const QString &why)
{
    return QStringLiteral("La tabla %1 no es una tabla de Vantolia: %2").arg(fileName, why);
}

void setPassword(const QString &password)
{
    storePassword() = password;
}

bool isParadoxTable(const QByteArray &head, qint64 fileSize)
{
    // The fixed part of the header that every version of the format has.
    constexpr int kCommonHeader = 0x58;
    if (head.size() < kCommonHeader)
        return false;
    const quint32 recordSize = littleEndian(head, 0, 2);
    const quint32 headerSize = littleEndian(head, 2, 2);
    const quint32 fileType = quint8(head[4]);
    const quint32 blockSize = quint32(quint8(head[5])) * 1024;
    const quint32 fieldCount = littleEndian(head, 0x21, 2);
    const quint32 version = quint8(head[0x39]);
    // File types 0 and 2 are the data tables, keyed or not; the others are its index files.
    return (fileType == 0 || fileType == 2) && version >= 3 && version <= 15 && blockSize >= 1024
        && blockSize <= 32 * 1024 && recordSize >= 1 && recordSize + 6 <= blockSize && fieldCount >= 1
        && fieldCount <= 255 && headerSize >= kCommonHeader + 2 * fieldCount && qint64(headerSize) <= fileSize;
}

bool isProtectedParadoxTable(const QByteArray &head)
{
    // Tables from version 5 on keep the key in the second part of their header.
    const bool secondPart = quint8(head[0x39]) >= 5;
    if (secondPart)
        return head.size() >= 0x60 && littleEndian(head, 0x5C, 4) != 0;
    return littleEndian(head, 0x25, 4) != 0;
}

QString paradoxTableMessage(const QString &path, bool isProtected)
{
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    QString command = QStringLiteral("vantolia-tablas migrar %1 %2")
                          .arg(shellWord(folder), shellWord(QDir::toNativeSeparators(newFolderBeside(folder))));
    if (isProtected && !storePassword().isEmpty())
        command += QStringLiteral(" --clave ") + shellWord(storePassword());
    return QStringLiteral("La tabla %1 está en el formato de las tablas antiguas (Paradox): el programa no la abre "
                          "ni la modifica. Puede traer el catálogo a una carpeta nueva con la orden\n\n%2\n\n"
                          "y abrir después el programa en esa carpeta.")
        .arg(QFileInfo(path).fileName(), command);
}

void requireOwnTableFile(const QString &path)
{
    qint64 size = 0;
    const QByteArray head = readHead(path, size);
    static const QByteArray kMagic("SQLite format 3\0", 16);
    if (!head.startsWith(kMagic)) {
        if (isParadoxTable(head, size))
            throw Error(paradoxTableMessage(path, isProtectedParadoxTable(head)));
        notOurs(path, size == 0 ? QStringLiteral("el archivo está vacío")
                                : QStringLiteral("el archivo no es una base de datos de tablas"));
    }
    if (head.size() < kHeaderBytes || !soundPageSize(bigEndian(head, 16, 2)))
        notOurs(path, QStringLiteral("la cabecera del archivo está dañada"));
    if (qint32(bigEndian(head, 68, 4)) != kApplicationId)
        notOurs(path, QStringLiteral("el archivo no lleva la marca de las tablas del programa"));
    // Our tables keep a rollback journal, which makes a change to several of them one; a file
    // in write-ahead mode, or a -wal file that SQLite would take in, is not of our making.
    if (quint8(head[18]) != 1 || quint8(head[19]) != 1)
        notOurs(path, QStringLiteral("el archivo está en modo WAL, que el programa no usa"));
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        notOurs(path, QStringLiteral("junto a ella hay un archivo %1-wal que el programa no escribe")
                          .arg(QFileInfo(path).fileName()));
}

} // namespace store
