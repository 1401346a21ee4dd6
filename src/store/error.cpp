#include "error.h"

#include <new>

namespace store {

QString errorText(const std::exception &error)
{
    if (const auto *ours = dynamic_cast<const Error *>(&error))
        return ours->message();
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return QStringLiteral("No hay memoria suficiente para terminar la operación");
    return QString::fromUtf8(error.what());
}

QString notAnIntegerMessage(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString outOfRangeMessage(qint64 number, const QString &field)
{
    return QStringLiteral("El valor %1 está fuera del rango del campo %2").arg(number).arg(field);
}

} // namespace store
