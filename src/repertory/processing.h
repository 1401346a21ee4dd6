#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

class Catalogo;
namespace store {
class Table;
}

namespace repertorio {

// The flower of every link of each symptom, symptom after symptom; `posicion`, when given,
// receives for each of them the position of its symptom in `sintomas`.
std::vector<qint32> floresEnlazadas(const store::Table &rel, const std::vector<qint32> &sintomas,
                                    std::vector<int> *posicion = nullptr);

// For every flower linked to one of the symptoms, the number of such links, by flower key.
std::vector<std::pair<qint32, int>> contarFlores(const store::Table &rel, const std::vector<qint32> &sintomas);

// The selected symptoms' keys in the selection's order, read without moving its cursor.
std::vector<qint32> clavesSeleccionadas(const Catalogo &catalogo);

// Fills the result afresh from the selection and leaves it ordered by count, on its first row;
// the selection's link view follows the chosen symptoms, and the selection stands on its last
// row. On a store failure the result stays empty, on its primary key.
void procesarSeleccion(Catalogo &catalogo);

} // namespace repertorio
