#include "tablas.h"

#include "catalogue/tables.h"
#include "comun.h"

namespace tablas {

ErrorCsv::ErrorCsv(const QString &archivo, int linea, const QString &motivo)
    : store::StoreError(QStringLiteral("%1:%2: %3").arg(archivo).arg(linea).arg(motivo)),
      m_archivo(archivo), m_linea(linea), m_motivo(motivo)
{
}

QStringList nombresDeTablas()
{
    QStringList nombres;
    for (const store::TableDef &def : catalogo::todasLasTablas())
        nombres << def.fileName();
    return nombres;
}

void crearTablas(const QString &carpeta)
{
    CarpetaNueva nueva(carpeta);
    nueva.instalar();
}

} // namespace tablas
