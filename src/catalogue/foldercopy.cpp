#include "foldercopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace catalogue {

namespace {

// Deep enough for the help's picture folders; a symbolic link that loops ends here.
constexpr int kMaxDepth = 8;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Copies one regular file and puts its bytes on the disk, so a power cut after the folder is
// put in place cannot leave empty tables.
QString copyFile(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("No se pudo leer %1: %2").arg(shown(from), source.errorString());
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QStringLiteral("No se pudo escribir %1: %2").arg(shown(to), target.errorString());
    constexpr qint64 kChunk = 1 << 20;
    while (true) {
        const QByteArray bytes = source.read(kChunk);
        if (bytes.isEmpty()) {
            if (source.error() != QFileDevice::NoError)
                return QStringLiteral("No se pudo leer %1: %2").arg(shown(from), source.errorString());
            break;
        }
        if (target.write(bytes) != bytes.size())
            return QStringLiteral("No se pudo escribir %1: %2").arg(shown(to), target.errorString());
    }
    if (!target.flush() || ::fsync(target.handle()) != 0)
        return QStringLiteral("No se pudo escribir %1: %2").arg(shown(to), target.errorString());
    return {};
}

QString copyTree(const QString &from, const QString &to, int depth)
{
    if (depth > kMaxDepth)
        return QStringLiteral("%1 tiene demasiados niveles de carpetas").arg(shown(from));
    const QFileInfoList entries = QDir(from).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString target = QDir(to).filePath(entry.fileName());
        const QFileInfo existing(target);
        const bool present = existing.exists() || existing.isSymLink();
        QString failure;
        if (entry.isDir()) {
            if (present && !existing.isDir())
                continue;
            if (!present && !QDir().mkdir(target))
                return QStringLiteral("No se pudo crear la carpeta %1").arg(shown(target));
            failure = copyTree(entry.filePath(), target, depth + 1);
        } else if (entry.isFile()) {
            if (!present)
                failure = copyFile(entry.filePath(), target);
        } else {
            failure = QStringLiteral("%1 no es un archivo común").arg(shown(entry.filePath()));
        }
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

} // namespace

QString copyMissing(const QString &from, const QString &to)
{
    return copyTree(from, to, 0);
}

} // namespace catalogue
