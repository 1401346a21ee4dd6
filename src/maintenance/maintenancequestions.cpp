#include "maintenancequestions.h"

namespace maintenance {

QString flowerDeletionQuestion(const QString &name, int links)
{
    QString text = QStringLiteral("%1\rVa a eliminar esta flor").arg(name);
    if (links > 0)
        text = QStringLiteral("%1\ry sus %2 síntomas asignados ?").arg(text, QString::number(links));
    return text;
}

QString symptomDeletionQuestion(const QString &name, int links)
{
    QString text = QStringLiteral("%1\rVa a eliminar este síntoma").arg(name);
    if (links > 0)
        text = QStringLiteral("%1\ry sus %2 flores asignadas ?").arg(text, QString::number(links));
    return text;
}

QString linkRemovalQuestion(const QString &symptom, const QString &spanishName)
{
    return symptom + QStringLiteral("\r\rDesea quitar este síntoma de la flor\r") + spanishName + QStringLiteral(" ?");
}

QString linkBatchQuestion(int symptoms, const QString &name)
{
    return QStringLiteral("Va a agregar %1 síntomas a la flor %2 ?").arg(QString::number(symptoms), name);
}

} // namespace maintenance
