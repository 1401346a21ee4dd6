#include "repertorytext.h"

namespace repertory {
namespace {

const QString kFinDeLinea = QStringLiteral("\r\n");

void encabezado(QString &texto, const QString &titulo)
{
    texto += titulo + kFinDeLinea;
    texto += QString(titulo.size(), u'-') + kFinDeLinea;
}

} // namespace

QString repertoryText(const QStringList &sintomas, const std::vector<ExportedFlower> &flores)
{
    QString texto;
    encabezado(texto, QStringLiteral("%1 Síntomas:").arg(sintomas.size()));
    for (const QString &s : sintomas)
        texto += QStringLiteral("- ") + s + kFinDeLinea;
    texto += QStringLiteral(" ") + kFinDeLinea;
    encabezado(texto, QStringLiteral("%1 Plantas:").arg(flores.size()));
    for (const ExportedFlower &f : flores)
        texto += QStringLiteral("(%1) [%2] %3").arg(f.cant).arg(f.tipo, f.nombre) + kFinDeLinea;
    return texto;
}

} // namespace repertory
