#pragma once

#include "store/tabledef.h"

#include <QStringList>

#include <vector>

// The five tables of the catalogue and of the working selection.
namespace catalogue {

store::TableDef floresDef();
store::TableDef sintomasDef();
store::TableDef relDef();
store::TableDef repSintDef();
store::TableDef repFlorDef();

// In the order the views open them.
std::vector<store::TableDef> allTableDefs();
// Their file names, in the same order.
QStringList tableFileNames();

// Display labels of the three flower names.
QString nameLabel(int language);

} // namespace catalogue
