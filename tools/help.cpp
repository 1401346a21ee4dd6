#include "tabletool.h"

#include "catalogue/foldercopy.h"

#include <QDir>
#include <QFileInfo>

namespace tabletool {

QString addHelp(const QString &helpFolder, const QString &folder)
{
    if (!QFileInfo(QDir(helpFolder).filePath(QStringLiteral("index.htm"))).isFile())
        return QStringLiteral("no se encuentra la ayuda en %1").arg(QDir::toNativeSeparators(helpFolder));
    return catalogue::copyMissing(helpFolder, folder);
}

} // namespace tabletool
