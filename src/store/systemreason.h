#pragma once

#include <QString>

#include <cerrno>

namespace store {

// Why a system call failed, from its errno, in Spanish words: "el sistema de archivos es de
// solo lectura". The system's own descriptions follow the locale and are English on most
// installations, so the program never shows them. Inline, so that the command-line tool's
// file layer, which links no table code, tells its reasons in the same words.
inline QString systemReason(int error)
{
    switch (error) {
    case ENOENT: return QStringLiteral("no existe");
    case EACCES:
    case EPERM: return QStringLiteral("no hay permiso");
    case EROFS: return QStringLiteral("el sistema de archivos es de solo lectura");
    case ENOSPC: return QStringLiteral("el disco está lleno");
    case EDQUOT: return QStringLiteral("se agotó la cuota de disco");
    case EFBIG: return QStringLiteral("el archivo supera el tamaño permitido");
    case EISDIR: return QStringLiteral("es una carpeta, no un archivo");
    case ENOTDIR: return QStringLiteral("una parte de la ruta no es una carpeta");
    case EEXIST: return QStringLiteral("ya existe");
    case ENOTEMPTY: return QStringLiteral("la carpeta no está vacía");
    case ENAMETOOLONG: return QStringLiteral("el nombre es demasiado largo");
    case ELOOP: return QStringLiteral("hay demasiados enlaces simbólicos en la ruta");
    case EMFILE:
    case ENFILE: return QStringLiteral("hay demasiados archivos abiertos");
    case ENOMEM: return QStringLiteral("no hay memoria suficiente");
    case EIO: return QStringLiteral("error de lectura o escritura en el disco");
    case EXDEV: return QStringLiteral("no se puede mover entre discos distintos");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("el archivo está en uso");
    case EINVAL: return QStringLiteral("el sistema de archivos no admite la operación");
    case ENXIO:
    case ENODEV: return QStringLiteral("no es un archivo sino un dispositivo");
    default: return QStringLiteral("error del sistema número %1").arg(error);
    }
}

} // namespace store
