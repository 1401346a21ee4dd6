#pragma once

#include "store/tabledef.h"

#include <vector>

// The five tables of the catalogue and of the working selection.
namespace catalogo {

store::TableDef defFlores();
store::TableDef defSintomas();
store::TableDef defRel();
store::TableDef defRepSint();
store::TableDef defRepFlor();

// In the order the views open them.
std::vector<store::TableDef> todasLasTablas();

// Display labels of the three flower names.
QString etiquetaNombre(int idioma);

} // namespace catalogo
