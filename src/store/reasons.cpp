#include "reasons.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace store {

QString systemReason(int error)
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

namespace {

struct CodeReason
{
    int code;
    const char *spanish;
};

constexpr CodeReason kSqliteReasons[] = {
    {SQLITE_FULL, "el disco está lleno"},
    {SQLITE_READONLY, "la tabla es de solo lectura"},
    {SQLITE_IOERR, "error de lectura o escritura en el disco"},
    {SQLITE_CORRUPT, "el archivo está dañado"},
    {SQLITE_NOTADB, "el archivo no es una base de datos"},
    {SQLITE_CANTOPEN, "no se puede abrir el archivo"},
    {SQLITE_PERM, "no hay permiso"},
    {SQLITE_BUSY, "otro programa está usando la tabla"},
    {SQLITE_LOCKED, "otro programa está usando la tabla"},
    {SQLITE_NOMEM, "no hay memoria suficiente"},
    {SQLITE_TOOBIG, "un texto o una imagen es demasiado grande"},
    {SQLITE_MISMATCH, "un dato no es del tipo que admite el campo"},
    {SQLITE_NOLFS, "el sistema no admite archivos tan grandes"},
    {SQLITE_PROTOCOL, "no se pudo bloquear el archivo"},
    {SQLITE_SCHEMA, "la estructura de la tabla cambió"},
    {SQLITE_INTERRUPT, "la operación se interrumpió"},
    {SQLITE_ABORT, "la operación se interrumpió"},
    {SQLITE_AUTH, "no hay autorización"},
    {SQLITE_CONSTRAINT, "un valor no cumple las condiciones de la tabla"},
    {SQLITE_RANGE, "error interno de la base de datos"},
    {SQLITE_MISUSE, "error interno de la base de datos"},
    {SQLITE_INTERNAL, "error interno de la base de datos"},
    {SQLITE_ERROR, "error interno de la base de datos"},
};

// SQLite's own words for each result code, so that they are matched exactly as it writes them.
const std::vector<std::pair<QString, QString>> &sqliteWords()
{
    static const std::vector<std::pair<QString, QString>> words = [] {
        std::vector<std::pair<QString, QString>> list;
        for (const CodeReason &r : kSqliteReasons)
            // "constraint failed" stands inside longer messages that the patterns put in words.
            if (r.code != SQLITE_CONSTRAINT)
                list.emplace_back(QString::fromUtf8(sqlite3_errstr(r.code)), QString::fromUtf8(r.spanish));
        return list;
    }();
    return words;
}

struct Pattern
{
    QRegularExpression english;
    QString spanish;
};

Pattern pattern(const char *english, const char *spanish)
{
    return {QRegularExpression(QString::fromUtf8(english)), QString::fromUtf8(spanish)};
}

} // namespace

QString sqliteReason(int code)
{
    const int primary = code & 0xFF;
    for (const CodeReason &r : kSqliteReasons)
        if (r.code == primary)
            return QString::fromUtf8(r.spanish);
    return QStringLiteral("error de la base de datos número %1").arg(code);
}

QString withSpanishReasons(const QString &message)
{
    static const std::vector<Pattern> patterns = {
        pattern("(?:CHECK|NOT NULL) constraint failed: ?", "un valor no cumple las condiciones del campo "),
        pattern("UNIQUE constraint failed: ?", "un valor está repetido en "),
        pattern("no such table: ", "no existe la tabla "),
        pattern("no such column: ", "no existe el campo "),
        pattern("no such collation sequence: ", "falta el orden alfabético "),
    };
    QString result = message;
    for (const Pattern &p : patterns)
        result.replace(p.english, p.spanish);
    for (const auto &[english, spanish] : sqliteWords())
        result.replace(english, spanish);
    return result;
}

} // namespace store
