#include "wholefile.h"

#include "error.h"

#include <QDir>
#include <QSaveFile>

namespace store {

void saveWholeFile(const QString &path, const QByteArray &bytes)
{
    const QString shown = QDir::toNativeSeparators(path);
    // Unbuffered, and written until every byte is taken: a buffered write that fails when the
    // buffer is flushed, or a short write, is not always reported by commit().
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw Error(QStringLiteral("No se pudo crear el archivo %1: %2").arg(shown, file.errorString()));
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(shown, reason));
        }
        written += n;
    }
    if (!file.commit())
        throw Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(shown, file.errorString()));
}

} // namespace store
