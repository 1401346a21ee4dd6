#include "reasons.h"

#include "store/systemreason.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <utility>
#include <vector>

namespace tabletool {

QString systemReason(int error)
{
    return store::systemReason(error);
}

namespace {

// SQLite's own words for each result code, so that they are matched exactly as it writes them.
const std::vector<std::pair<QString, QString>> &sqliteReasons()
{
    static const std::vector<std::pair<QString, QString>> reasons = [] {
        const std::pair<int, const char *> spanish[] = {
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
            {SQLITE_RANGE, "error interno de la base de datos"},
            {SQLITE_MISUSE, "error interno de la base de datos"},
            {SQLITE_INTERNAL, "error interno de la base de datos"},
            {SQLITE_ERROR, "error interno de la base de datos"},
        };
        std::vector<std::pair<QString, QString>> list;
        for (const auto &[code, words] : spanish)
            list.emplace_back(QString::fromUtf8(sqlite3_errstr(code)), QString::fromUtf8(words));
        return list;
    }();
    return reasons;
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

QString withSpanishReasons(const QString &message)
{
    static const std::vector<Pattern> patterns = {
        pattern("(?:CHECK|NOT NULL) constraint failed: ?", "un valor no cumple las condiciones del campo "),
        pattern("UNIQUE constraint failed: ?", "un valor está repetido en "),
        pattern("no such table: ", "no existe la tabla "),
        pattern("no such column: ", "no existe el campo "),
        pattern("no such collation sequence: ", "falta el orden alfabético "),
        {QRegularExpression(QRegularExpression::escape(QString::fromLatin1(store::kKeyViolation))),
         QStringLiteral("una clave está repetida")},
    };
    QString result = message;
    for (const Pattern &p : patterns)
        result.replace(p.english, p.spanish);
    for (const auto &[english, spanish] : sqliteReasons())
        result.replace(english, spanish);
    return result;
}

IntegrityProblem integrityProblem(const QString &line)
{
    static const std::vector<Pattern> rules = {
        pattern("^row (\\d+) missing from index (.+)$", "a la fila \\1 le falta su entrada en el índice \\2"),
        pattern("^wrong # of entries in index (.+)$", "el índice \\1 no tiene una entrada por fila"),
        pattern("^non-unique entry in index (.+)$", "el índice único \\1 tiene una entrada repetida"),
        pattern("^NULL value in (.+)$", "falta un valor obligatorio en \\1"),
        pattern("^non-\\w+ value in (.+)$", "un valor de \\1 no es del tipo del campo"),
        pattern("^CHECK constraint failed in (.+)$", "una fila de \\1 no cumple las condiciones de sus campos"),
    };
    static const QRegularExpression page(QStringLiteral("^(?:On tree page|On page|Page|Tree) (\\d+)"));
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1String("*** in database")))
        return {};
    for (const Pattern &p : rules) {
        const QRegularExpressionMatch m = p.english.match(trimmed);
        if (m.hasMatch()) {
            QString result = p.spanish;
            for (int i = m.lastCapturedIndex(); i >= 1; --i)
                result.replace(QStringLiteral("\\%1").arg(i), m.captured(i));
            return {result, false};
        }
    }
    // Whatever else SQLite finds is damage to the file's inner structure.
    if (const QRegularExpressionMatch m = page.match(trimmed); m.hasMatch())
        return {QStringLiteral("el archivo está dañado (página %1)").arg(m.captured(1)), true};
    return {QStringLiteral("el archivo está dañado"), true};
}

QString imageReason(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::FileNotFoundError: return QStringLiteral("no existe");
    case QImageReader::DeviceError: return QStringLiteral("no se puede leer");
    case QImageReader::UnsupportedFormatError: return QStringLiteral("el formato no es uno de los que conoce");
    case QImageReader::InvalidDataError: return QStringLiteral("los datos de la imagen están dañados o incompletos");
    case QImageReader::UnknownError: break;
    }
    return QStringLiteral("no se pudo leer la imagen");
}

} // namespace tabletool
