#include "wholefile.h"

#include "error.h"
#include "reasons.h"

#include <QDir>
#include <QSaveFile>

#include <cerrno>

namespace store {
namespace {

// Why the last call failed, in Spanish: the system's reason when it left one, else Qt's words.
QString reasonFor(int error, const QSaveFile &file)
{
    return error != 0 ? systemReason(error) : file.errorString();
}

} // namespace

void saveWholeFile(const QString &path, const QByteArray &bytes)
{
    const QString shown = QDir::toNativeSeparators(path);
    // Unbuffered, and written until every byte is taken: a buffered write that fails when the
    // buffer is flushed, or a short write, is not always reported by commit().
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Error(QStringLiteral("No se pudo crear el archivo %1: %2").arg(shown, reasonFor(errno, file)));
    for (qint64 written = 0; written < bytes.size();) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            const QString reason = reasonFor(errno, file);
            file.cancelWriting();
            throw Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(shown, reason));
        }
        written += n;
    }
    errno = 0;
    if (!file.commit())
        throw Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(shown, reasonFor(errno, file)));
}

} // namespace store
