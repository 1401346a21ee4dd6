#include "processing.h"

#include "catalogue/catalogue.h"

#include <algorithm>

namespace repertory {

std::vector<qint32> linkedFlowers(const store::Table &rel, const std::vector<qint32> &symptoms,
                                  std::vector<int> *positions)
{
    const int bySymptom = rel.indexNumber(QStringLiteral("PorSint"));
    const int flowerField = rel.fieldIndex(QStringLiteral("KFlor"));
    const auto &order = rel.order(bySymptom);
    const std::vector<quint64> *keys = rel.packedKeys(bySymptom);
    // The ranges first, so that the flowers are gathered into one allocation.
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    ranges.reserve(symptoms.size());
    std::size_t links = 0;
    for (const qint32 symptom : symptoms) {
        ranges.push_back(rel.equalRange(bySymptom, symptom));
        links += ranges.back().second - ranges.back().first;
    }
    std::vector<qint32> flowers;
    flowers.reserve(links);
    if (positions)
        positions->reserve(links);
    for (std::size_t s = 0; s < ranges.size(); ++s) {
        for (std::size_t i = ranges[s].first; i < ranges[s].second; ++i) {
            flowers.push_back(keys ? store::Table::packedSecond((*keys)[i]) : rel.integer(order[i], flowerField));
            if (positions)
                positions->push_back(int(s));
        }
    }
    return flowers;
}

std::vector<std::pair<qint32, int>> countFlowers(const store::Table &rel, const std::vector<qint32> &symptoms)
{
    std::vector<qint32> flowers = linkedFlowers(rel, symptoms);
    std::vector<std::pair<qint32, int>> counts;
    if (flowers.empty())
        return counts;
    const auto [lowest, highest] = std::minmax_element(flowers.begin(), flowers.end());
    const qint64 span = qint64(*highest) - *lowest + 1;
    if (span <= qint64(flowers.size()) * 16 + 4096) {
        // Flower keys lie close together: count in a table indexed by key.
        std::vector<int> countByKey(std::size_t(span), 0);
        for (const qint32 f : flowers)
            ++countByKey[std::size_t(f - *lowest)];
        for (std::size_t i = 0; i < countByKey.size(); ++i)
            if (countByKey[i] > 0)
                counts.emplace_back(qint32(*lowest + qint64(i)), countByKey[i]);
        return counts;
    }
    // Otherwise sorting the keys groups each flower's links: the count is the length of its run.
    std::sort(flowers.begin(), flowers.end());
    for (std::size_t i = 0; i < flowers.size();) {
        std::size_t j = i;
        while (j < flowers.size() && flowers[j] == flowers[i])
            ++j;
        counts.emplace_back(flowers[i], int(j - i));
        i = j;
    }
    return counts;
}

std::vector<qint32> selectedKeys(const Catalogue &catalogue)
{
    const store::View &selection = catalogue.TRepS;
    const store::Table &table = *selection.table();
    const int keyField = table.fieldIndex(QStringLiteral("Clave"));
    std::vector<qint32> keys;
    keys.reserve(std::size_t(selection.recordCount()));
    for (int row = 0; row < selection.recordCount(); ++row)
        keys.push_back(table.integer(*selection.slotAt(row), keyField));
    return keys;
}

void processSelection(Catalogue &c)
{
    c.emptyResult();
    c.TRepF.setIndexName(QString());
    c.TRelS.setMasterSource(&c.SRepS);

    const auto counts = countFlowers(*c.TRelS.table(), selectedKeys(c));
    store::Table &result = *c.TRepF.table();
    std::vector<store::Record> rows;
    rows.reserve(counts.size());
    // New rows are written whole: which fields changed matters to updates only.
    for (const auto &[flower, count] : counts)
        rows.push_back({{flower, count}, {}});
    result.insertMany(rows); // all or nothing: a count too large for the field stores none
    if (c.TRepS.recordCount() > 0)
        c.TRepS.last();
    c.TRepF.setIndexName(QStringLiteral("PorCant"));
    c.TRepF.first();
}

} // namespace repertory
