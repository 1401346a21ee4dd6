// Build-time helper: writes the program's icon, as the program itself draws it, as one PNG per
// size in the layout of the hicolor icon theme: OUTDIR/NxN/apps/NAME.png.
#include "ui/logoartwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "Uso: %s CARPETA NOMBRE TAMAÑO...\n", qPrintable(args.value(0)));
        return 2;
    }
    const QIcon icon = applicationIcon();
    for (const QString &text : args.mid(3)) {
        bool ok = false;
        const int size = text.toInt(&ok);
        const QImage image = ok ? icon.pixmap(QSize(size, size)).toImage() : QImage();
        // The icon holds a drawing for each usual size; any other would be a scaled copy.
        if (image.size() != QSize(size, size) || !icon.availableSizes().contains(QSize(size, size))) {
            std::fprintf(stderr, "El icono no tiene el tamaño %s\n", qPrintable(text));
            return 1;
        }
        const QString folder = QDir(args[1]).filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString file = QDir(folder).filePath(args[2] + QStringLiteral(".png"));
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "No se pudo escribir %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
