#include "reasons.h"

#include <QRegularExpression>

#include <utility>
#include <vector>

namespace tabletool {

QString withSpanishReasons(const QString &message)
{
    QString result = store::withSpanishReasons(message);
    result.replace(QString::fromLatin1(store::kKeyViolation), QStringLiteral("una clave está repetida"));
    return result;
}

IntegrityProblem integrityProblem(const QString &line)
{
    using Rule = std::pair<QRegularExpression, QString>;
    static const std::vector<Rule> rules = {
        {QRegularExpression(QStringLiteral("^row (\\d+) missing from index (.+)$")),
         QStringLiteral("a la fila \\1 le falta su entrada en el índice \\2")},
        {QRegularExpression(QStringLiteral("^wrong # of entries in index (.+)$")),
         QStringLiteral("el índice \\1 no tiene una entrada por fila")},
        {QRegularExpression(QStringLiteral("^non-unique entry in index (.+)$")),
         QStringLiteral("el índice único \\1 tiene una entrada repetida")},
        {QRegularExpression(QStringLiteral("^NULL value in (.+)$")), QStringLiteral("falta un valor obligatorio en \\1")},
        {QRegularExpression(QStringLiteral("^non-\\w+ value in (.+)$")),
         QStringLiteral("un valor de \\1 no es del tipo del campo")},
        {QRegularExpression(QStringLiteral("^CHECK constraint failed in (.+)$")),
         QStringLiteral("una fila de \\1 no cumple las condiciones de sus campos")},
    };
    static const QRegularExpression page(QStringLiteral("^(?:On tree page|On page|Page|Tree) (\\d+)"));
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1String("*** in database")))
        return {};
    for (const auto &[english, spanish] : rules) {
        const QRegularExpressionMatch m = english.match(trimmed);
        if (m.hasMatch()) {
            QString result = spanish;
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
