#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "reasons.h"
#include "tablefolder.h"

namespace tabletool {

QStringList tableFileNames()
{
    QStringList names;
    for (const store::TableDef &def : catalogue::allTableDefs())
        names << def.fileName();
    return names;
}

void createTables(const QString &folder)
{
    withSpanishErrors([&] {
        NewTableFolder tables(folder);
        tables.install();
    });
}

} // namespace tabletool
