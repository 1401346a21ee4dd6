#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

class Catalogue;
namespace store {
class Table;
}

namespace repertory {

// The flower of every link of each symptom, symptom after symptom; `positions`, when given,
// receives for each of them the position of its symptom in `symptoms`.
std::vector<qint32> linkedFlowers(const store::Table &rel, const std::vector<qint32> &symptoms,
                                  std::vector<int> *positions = nullptr);

// For every flower linked to one of the symptoms, the number of such links, by flower key.
std::vector<std::pair<qint32, int>> countFlowers(const store::Table &rel, const std::vector<qint32> &symptoms);

// The selected symptoms' keys in the selection's order, read without moving its cursor.
std::vector<qint32> selectedKeys(const Catalogue &catalogue);

// Fills the result afresh from the selection and leaves it ordered by count, on its first row;
// the selection's link view follows the chosen symptoms, and the selection stands on its last
// row. On a store failure the result stays empty, on its primary key.
void processSelection(Catalogue &catalogue);

} // namespace repertory
