#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"

namespace tabletool {

CsvError::CsvError(const QString &archivo, int linea, const QString &motivo)
    : store::Error(QStringLiteral("%1:%2: %3").arg(archivo).arg(linea).arg(motivo)),
      m_archivo(archivo), m_linea(linea), m_motivo(motivo)
{
}

QStringList tableFileNames()
{
    QStringList nombres;
    for (const store::TableDef &def : catalogue::allTableDefs())
        nombres << def.fileName();
    return nombres;
}

void createTables(const QString &carpeta)
{
    NewTableFolder nueva(carpeta);
    nueva.instalar();
}

} // namespace tabletool
