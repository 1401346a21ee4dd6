#include "documentopener.h"

#include "store/error.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

bool AbrirDocumento(const QString &target)
{
    if (target.isEmpty())
        return false;
    const QUrl given(target);
    const bool isLink = given.isValid() && given.scheme().size() > 1;
    QUrl url = given;
    if (!isLink) {
        const QFileInfo file(QDir::current(), target);
        if (!file.exists())
            throw store::Error(QStringLiteral("No se encuentra el archivo %1").arg(QDir::toNativeSeparators(file.absoluteFilePath())));
        url = QUrl::fromLocalFile(file.absoluteFilePath());
    }
    if (!QDesktopServices::openUrl(url))
        throw store::Error(QStringLiteral("No hay ningún programa para abrir %1").arg(
            isLink ? target : QDir::toNativeSeparators(url.toLocalFile())));
    return true;
}
