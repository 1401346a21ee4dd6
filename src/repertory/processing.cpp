#include "processing.h"

#include "catalogue/catalogue.h"

#include <algorithm>

namespace repertory {

std::vector<qint32> linkedFlowers(const store::Table &rel, const std::vector<qint32> &sintomas,
                                    std::vector<int> *posicion)
{
    const int porSint = rel.indexNumber(QStringLiteral("PorSint"));
    const int kflor = rel.fieldIndex(QStringLiteral("KFlor"));
    const auto &orden = rel.order(porSint);
    const std::vector<quint64> *claves = rel.packedKeys(porSint);
    // The ranges first, so that the flowers are gathered into one allocation.
    std::vector<std::pair<std::size_t, std::size_t>> rangos;
    rangos.reserve(sintomas.size());
    std::size_t enlaces = 0;
    for (const qint32 sintoma : sintomas) {
        rangos.push_back(rel.equalRange(porSint, sintoma));
        enlaces += rangos.back().second - rangos.back().first;
    }
    std::vector<qint32> flores;
    flores.reserve(enlaces);
    if (posicion)
        posicion->reserve(enlaces);
    for (std::size_t s = 0; s < rangos.size(); ++s) {
        for (std::size_t i = rangos[s].first; i < rangos[s].second; ++i) {
            flores.push_back(claves ? store::Table::packedSecond((*claves)[i]) : rel.integer(orden[i], kflor));
            if (posicion)
                posicion->push_back(int(s));
        }
    }
    return flores;
}

std::vector<std::pair<qint32, int>> countFlowers(const store::Table &rel, const std::vector<qint32> &sintomas)
{
    std::vector<qint32> flores = linkedFlowers(rel, sintomas);
    std::vector<std::pair<qint32, int>> cuentas;
    if (flores.empty())
        return cuentas;
    const auto [menor, mayor] = std::minmax_element(flores.begin(), flores.end());
    const qint64 rango = qint64(*mayor) - *menor + 1;
    if (rango <= qint64(flores.size()) * 16 + 4096) {
        // Flower keys lie close together: count in a table indexed by key.
        std::vector<int> cuenta(std::size_t(rango), 0);
        for (const qint32 f : flores)
            ++cuenta[std::size_t(f - *menor)];
        for (std::size_t i = 0; i < cuenta.size(); ++i)
            if (cuenta[i] > 0)
                cuentas.emplace_back(qint32(*menor + qint64(i)), cuenta[i]);
        return cuentas;
    }
    // Otherwise sorting the keys groups each flower's links: the count is the length of its run.
    std::sort(flores.begin(), flores.end());
    for (std::size_t i = 0; i < flores.size();) {
        std::size_t j = i;
        while (j < flores.size() && flores[j] == flores[i])
            ++j;
        cuentas.emplace_back(flores[i], int(j - i));
        i = j;
    }
    return cuentas;
}

std::vector<qint32> selectedKeys(const Catalogue &catalogue)
{
    const store::View &sel = catalogue.TRepS;
    const store::Table &table = *sel.table();
    const int clave = table.fieldIndex(QStringLiteral("Clave"));
    std::vector<qint32> claves;
    claves.reserve(std::size_t(sel.recordCount()));
    for (int row = 0; row < sel.recordCount(); ++row)
        claves.push_back(table.integer(*sel.slotAt(row), clave));
    return claves;
}

void processSelection(Catalogue &c)
{
    c.emptyResult();
    c.TRepF.setIndexName(QString());
    c.TRelS.setMasterSource(&c.SRepS);

    const auto cuentas = countFlowers(*c.TRelS.table(), selectedKeys(c));
    store::Table &repFlor = *c.TRepF.table();
    std::vector<store::Record> filas;
    filas.reserve(cuentas.size());
    for (const auto &[flor, cant] : cuentas) {
        store::Record r;
        r.values = {flor, cant};
        r.changed = {true, true};
        filas.push_back(std::move(r));
    }
    repFlor.insertMany(filas); // all or nothing: a count too large for the field stores none
    if (c.TRepS.recordCount() > 0)
        c.TRepS.last();
    c.TRepF.setIndexName(QStringLiteral("PorCant"));
    c.TRepF.first();
}

} // namespace repertory
