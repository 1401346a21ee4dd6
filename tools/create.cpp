#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "reasons.h"
#include "tablefolder.h"

namespace tabletool {

void createTables(const QString &folder)
{
    withSpanishErrors([&] {
        NewTableFolder tables(folder);
        tables.install();
    });
}

} // namespace tabletool
