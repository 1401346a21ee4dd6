#include "workingfolder.h"

#include "catalogue/tabledefinitions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace workingfolder {

namespace {

const QString kFolderName = QStringLiteral("vantolia");

// Deep enough for the help's picture folders; a symbolic link that loops ends here.
constexpr int kMaxDepth = 8;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isAbsolute(const QString &path)
{
    return !path.isEmpty() && QDir::isAbsolutePath(path);
}

// Copies one regular file and puts its bytes on the disk before the folder is renamed into
// place, so a power cut after the rename cannot leave empty tables.
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

// Copies the folders and regular files under `from` into the existing folder `to`. Anything
// else (a FIFO, a device, a broken link) stops the copy: it is not part of a catalogue, and
// opening a FIFO would wait forever.
QString copyTree(const QString &from, const QString &to, int depth)
{
    if (depth > kMaxDepth)
        return QStringLiteral("%1 tiene demasiados niveles de carpetas").arg(shown(from));
    const QFileInfoList entries = QDir(from).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString target = QDir(to).filePath(entry.fileName());
        QString failure;
        if (entry.isDir()) {
            if (!QDir().mkdir(target))
                return QStringLiteral("No se pudo crear la carpeta %1").arg(shown(target));
            failure = copyTree(entry.filePath(), target, depth + 1);
        } else if (entry.isFile()) {
            failure = copyFile(entry.filePath(), target);
        } else {
            failure = QStringLiteral("%1 no es un archivo común").arg(shown(entry.filePath()));
        }
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

QString starterProblem(const QString &starter)
{
    if (!QFileInfo(starter).isDir())
        return QStringLiteral("no se encuentra el catálogo inicial en %1; ¿está instalado Vantolia?")
            .arg(shown(starter));
    QStringList missing;
    for (const QString &name : tableFileNames())
        if (!QFileInfo(QDir(starter).filePath(name)).isFile())
            missing << name;
    if (!missing.isEmpty())
        return QStringLiteral("al catálogo inicial de %1 le falta %2")
            .arg(shown(starter), missing.join(QStringLiteral(", ")));
    return {};
}

} // namespace

QStringList tableFileNames()
{
    QStringList names;
    for (const store::TableDef &def : catalogue::allTableDefs())
        names << def.fileName();
    return names;
}

QString dataFolder(const QString &xdgDataHome, const QString &home)
{
    QString base;
    if (isAbsolute(xdgDataHome))
        base = xdgDataHome;
    else if (isAbsolute(home))
        base = QDir(home).filePath(QStringLiteral(".local/share"));
    else
        return {};
    return QDir::cleanPath(QDir(base).filePath(kFolderName));
}

Choice choose(const StartPlace &place)
{
    Choice choice;
    if (place.arguments.size() > 1) {
        choice.error = QStringLiteral("Se indicaron %1 carpetas de trabajo y Vantolia usa una sola "
                                      "(vantolia [CARPETA])")
                           .arg(place.arguments.size());
    } else if (place.arguments.size() == 1) {
        if (place.arguments[0].isEmpty())
            choice.error = QStringLiteral("El nombre de la carpeta de trabajo está vacío");
        else
            choice.folder = QDir::cleanPath(QDir(place.currentFolder).absoluteFilePath(place.arguments[0]));
    } else if (!place.tablesHere.isEmpty()) {
        // Even one table means the user meant this folder; the store then names what is missing.
        choice.folder = QDir::cleanPath(place.currentFolder);
    } else {
        choice.folder = dataFolder(place.xdgDataHome, place.home);
        choice.createIfMissing = true;
        if (choice.folder.isEmpty())
            choice.error = QStringLiteral("No se sabe dónde guardar los datos: ni XDG_DATA_HOME ni HOME "
                                          "indican una carpeta.\rInicie Vantolia con su carpeta de trabajo "
                                          "(vantolia CARPETA)");
    }
    return choice;
}

QString createFromStarter(const QString &folder, const QString &starter)
{
    const QFileInfo existing(folder);
    bool emptyFolder = false;
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isDir())
            return QStringLiteral("No se pudo crear la carpeta de datos %1: ya existe y no es una carpeta")
                .arg(shown(folder));
        emptyFolder = QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (!emptyFolder)
            return {};
    }

    const QString because = QStringLiteral("No se pudo crear la carpeta de datos %1: %2");
    if (const QString problem = starterProblem(starter); !problem.isEmpty())
        return because.arg(shown(folder), problem);

    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        return because.arg(shown(folder), QStringLiteral("no se pudo crear %1").arg(shown(parent)));

    // Hidden and with a name of its own, so that what a killed run leaves is never taken for
    // the data folder.
    QTemporaryDir staging(QDir(parent).filePath(QStringLiteral(".vantolia-XXXXXX")));
    if (!staging.isValid())
        return because.arg(shown(folder), staging.errorString());
    if (const QString failure = copyTree(starter, staging.path(), 0); !failure.isEmpty())
        return because.arg(shown(folder), failure);

    if (emptyFolder)
        QDir().rmdir(folder);
    if (std::rename(QFile::encodeName(staging.path()).constData(), QFile::encodeName(folder).constData()) != 0) {
        const int error = errno;
        // Another copy of the program started at the same moment may have made it first.
        if (QFileInfo(folder).isDir() && !QDir(folder).isEmpty())
            return {};
        return because.arg(shown(folder), QString::fromLocal8Bit(std::strerror(error)));
    }
    staging.setAutoRemove(false);
    return {};
}

QString enter(const Choice &choice, const QString &starter)
{
    if (!choice.error.isEmpty())
        return choice.error;
    if (choice.createIfMissing) {
        if (const QString failure = createFromStarter(choice.folder, starter); !failure.isEmpty())
            return failure;
    }
    const QFileInfo info(choice.folder);
    if (!info.exists())
        return QStringLiteral("La carpeta de trabajo %1 no existe").arg(shown(choice.folder));
    if (!info.isDir())
        return QStringLiteral("%1 no es una carpeta").arg(shown(choice.folder));
    if (!QDir::setCurrent(choice.folder))
        return QStringLiteral("No se pudo entrar en la carpeta de trabajo %1").arg(shown(choice.folder));
    return {};
}

StartPlace thisProcess(const QStringList &arguments)
{
    StartPlace place;
    place.arguments = arguments;
    place.currentFolder = QDir::currentPath();
    for (const QString &name : tableFileNames())
        if (QFileInfo::exists(name))
            place.tablesHere << name;
    place.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    place.home = qEnvironmentVariable("HOME");
    return place;
}

} // namespace workingfolder
