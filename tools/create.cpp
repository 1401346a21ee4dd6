#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"

namespace tabletool {

CsvError::CsvError(const QString &file, int line, const QString &reason)
    : store::Error(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason)),
      m_file(file), m_line(line), m_reason(reason)
{
}

QStringList tableFileNames()
{
    QStringList names;
    for (const store::TableDef &def : catalogue::allTableDefs())
        names << def.fileName();
    return names;
}

void createTables(const QString &folder)
{
    NewTableFolder tables(folder);
    tables.install();
}

} // namespace tabletool
