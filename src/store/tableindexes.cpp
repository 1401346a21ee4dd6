// Table: comparing rows, searching the indexes and keeping them in order as rows change.
#include "table.h"

#include "collation.h"
#include "sortedvector.h"

#include <algorithm>

namespace store {

int Table::indexNumber(const QString &name) const
{
    if (name.isEmpty())
        return 0;
    for (std::size_t i = 1; i < m_indexes.size(); ++i)
        if (m_indexes[i].def.name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const Table::Index &Table::current(int index) const
{
    const Index &idx = m_indexes[std::size_t(index)];
    if (idx.stale) {
        idx.order.clear();
        for (Slot s = 0; s < m_alive.size(); ++s)
            if (m_alive[s])
                idx.order.push_back(s);
        idx.stale = false;
    }
    return idx;
}

const std::vector<Slot> &Table::order(int index) const { return current(index).order; }

const IndexDef &Table::indexDef(int index) const { return m_indexes[std::size_t(index)].def; }

const std::vector<quint64> *Table::packedKeys(int index) const
{
    const Index &idx = m_indexes[std::size_t(index)];
    return idx.covering ? &idx.packed : nullptr;
}

int Table::compareField(const CompiledField &f, Slot a, Slot b) const
{
    const Column &c = m_columns[std::size_t(f.field)];
    const bool na = c.nulls[a] != 0, nb = c.nulls[b] != 0;
    int r = 0;
    if (na || nb) {
        r = na == nb ? 0 : (na ? -1 : 1);
    } else if (f.text) {
        const QByteArray &ka = c.sortKeys[a], &kb = c.sortKeys[b];
        r = ka < kb ? -1 : (kb < ka ? 1 : 0);
    } else {
        r = c.ints[a] < c.ints[b] ? -1 : (c.ints[b] < c.ints[a] ? 1 : 0);
    }
    return f.descending ? -r : r;
}

int Table::compare(int index, Slot a, Slot b) const
{
    for (const CompiledField &f : m_indexes[std::size_t(index)].fields)
        if (const int r = compareField(f, a, b))
            return r;
    return a < b ? -1 : (b < a ? 1 : 0);
}

int Table::compareLeading(int index, Slot a, const QVariant &key) const
{
    const CompiledField &f = m_indexes[std::size_t(index)].fields.front();
    const Column &c = m_columns[std::size_t(f.field)];
    int r = 0;
    if (c.nulls[a] || key.isNull()) {
        r = (c.nulls[a] != 0) == key.isNull() ? 0 : (c.nulls[a] ? -1 : 1);
    } else if (f.text) {
        const QByteArray k = spanishSortKey(key.toString());
        r = c.sortKeys[a] < k ? -1 : (k < c.sortKeys[a] ? 1 : 0);
    } else {
        const qint64 v = key.toLongLong();
        r = c.ints[a] < v ? -1 : (v < c.ints[a] ? 1 : 0);
    }
    return f.descending ? -r : r;
}

void Table::invalidate(Index &idx) const
{
    idx.stale = false; // its rows are about to be listed afresh
    idx.ranksValid = false;
    idx.directoryValid = false;
    idx.directory.clear();
}

bool Table::buildDirectory(const Index &idx) const
{
    if (idx.fields.empty() || idx.fields[0].text || idx.fields[0].descending || idx.order.empty())
        return false;
    const Column &c = m_columns[std::size_t(idx.fields[0].field)];
    const qint64 lo = c.ints[idx.order.front()], hi = c.ints[idx.order.back()];
    if (c.nulls[idx.order.front()] || hi - lo > qint64(idx.order.size()) * 4 + 1024)
        return false; // keys too far apart for a table of positions
    idx.directory.assign(std::size_t(hi - lo + 2), 0);
    idx.directoryBase = lo;
    // directory[k - lo] is the first position whose key is k or more.
    std::size_t pos = 0;
    for (qint64 k = lo; k <= hi + 1; ++k) {
        while (pos < idx.order.size() && c.ints[idx.order[pos]] < k)
            ++pos;
        idx.directory[std::size_t(k - lo)] = quint32(pos);
    }
    idx.directoryValid = true;
    return true;
}

std::pair<std::size_t, std::size_t> Table::equalRange(int index, const QVariant &key) const
{
    const Index &idx = m_indexes[std::size_t(index)];
    if (!key.isNull() && !idx.fields.empty() && !idx.fields[0].text) {
        // Looking a key up in the table of positions avoids a search through a large index.
        if (idx.directoryValid || buildDirectory(idx)) {
            const qint64 k = key.toLongLong();
            const qint64 last = idx.directoryBase + qint64(idx.directory.size()) - 2;
            if (k < idx.directoryBase || k > last) {
                const std::size_t at = k < idx.directoryBase ? 0 : idx.order.size();
                return {at, at};
            }
            const auto d = std::size_t(k - idx.directoryBase);
            return {idx.directory[d], idx.directory[d + 1]};
        }
    }
    const auto &ord = order(index);
    const auto lo = std::lower_bound(ord.begin(), ord.end(), key,
                                     [&](Slot s, const QVariant &k) { return compareLeading(index, s, k) < 0; });
    const auto hi = std::upper_bound(lo, ord.end(), key,
                                     [&](const QVariant &k, Slot s) { return compareLeading(index, s, k) > 0; });
    return {std::size_t(lo - ord.begin()), std::size_t(hi - ord.begin())};
}

std::size_t Table::positionOf(int index, Slot s) const
{
    const Index &idx = current(index);
    const auto &ord = idx.order;
    if (idx.fields.empty())
        return std::size_t(std::lower_bound(ord.begin(), ord.end(), s) - ord.begin());
    if (idx.covering) {
        // Halving over the packed keys reads two lists in order instead of the columns.
        const quint64 key = packKey(idx, s);
        std::size_t lo = 0, hi = ord.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (idx.packed[mid] < key || (idx.packed[mid] == key && ord[mid] < s))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    const auto it = std::lower_bound(ord.begin(), ord.end(), s,
                                     [&](Slot x, Slot y) { return compare(index, x, y) < 0; });
    return std::size_t(it - ord.begin());
}

const std::vector<quint32> &Table::ranks(int index) const
{
    const Index &idx = current(index);
    if (!idx.ranksValid) {
        idx.ranks.assign(m_alive.size(), 0);
        for (std::size_t i = 0; i < idx.order.size(); ++i)
            idx.ranks[idx.order[i]] = quint32(i);
        idx.ranksValid = true;
    }
    return idx.ranks;
}

std::optional<Slot> Table::findPrimary(qint32 key) const
{
    const auto it = m_primary.find(key);
    if (it == m_primary.end())
        return std::nullopt;
    return it->second;
}

std::vector<Slot> Table::rowsWhere(int field, qint32 value) const
{
    std::vector<Slot> rows;
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        const Index &idx = m_indexes[i];
        if (!idx.fields.empty() && idx.fields.front().field == field) {
            const auto [lo, hi] = equalRange(int(i), value);
            rows.assign(idx.order.begin() + std::ptrdiff_t(lo), idx.order.begin() + std::ptrdiff_t(hi));
            return rows;
        }
    }
    const Column &c = m_columns[std::size_t(field)];
    for (Slot s = 0; s < m_alive.size(); ++s)
        if (m_alive[s] && !c.nulls[s] && c.ints[s] == value)
            rows.push_back(s);
    return rows;
}

// Keeps a table of positions right as rows come or go, instead of building it again: every
// key after a row's key starts `by` places further on. A key outside the table, or empty,
// leaves it to be built again when next asked for.
void Table::shiftDirectory(Index &idx, const std::vector<Slot> &rows, int by) const
{
    if (!idx.directoryValid)
        return;
    const Column &c = m_columns[std::size_t(idx.fields.front().field)];
    const qint64 last = idx.directoryBase + qint64(idx.directory.size()) - 2;
    std::vector<qint32> change(idx.directory.size(), 0);
    for (const Slot s : rows) {
        const qint64 key = c.ints[s];
        if (c.nulls[s] || key < idx.directoryBase || key > last) {
            idx.directoryValid = false;
            idx.directory.clear();
            return;
        }
        change[std::size_t(key - idx.directoryBase) + 1] += by;
    }
    qint64 running = 0;
    for (std::size_t d = 0; d < change.size(); ++d) {
        running += change[d];
        idx.directory[d] = quint32(qint64(idx.directory[d]) + running);
    }
}

void Table::indexInsert(const std::vector<Slot> &added)
{
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        Index &idx = m_indexes[i];
        idx.ranksValid = false;
        if (idx.stale)
            continue; // made whole when next read
        const int number = int(i);
        std::vector<Slot> sorted(added);
        std::sort(sorted.begin(), sorted.end(), [&](Slot x, Slot y) { return compare(number, x, y) < 0; });
        if (idx.covering)
            for (const Slot s : sorted)
                for (const CompiledField &f : idx.fields)
                    if (m_columns[std::size_t(f.field)].nulls[s]) { // a packed list cannot hold an empty value
                        idx.covering = false;
                        idx.packed.clear();
                    }
        std::vector<std::size_t> positions;
        positions.reserve(sorted.size());
        for (const Slot s : sorted)
            positions.push_back(positionOf(number, s));
        if (idx.covering) {
            std::vector<quint64> keys;
            keys.reserve(sorted.size());
            for (const Slot s : sorted)
                keys.push_back(packKey(idx, s));
            insertAt(idx.packed, positions, keys);
        }
        insertAt(idx.order, positions, sorted);
        if (!idx.fields.empty())
            shiftDirectory(idx, sorted, 1);
    }
    if (m_primaryField >= 0)
        for (const Slot s : added)
            m_primary[m_columns[std::size_t(m_primaryField)].ints[s]] = s;
}

// Takes rows out of every index while their values still stand, each index in one pass.
void Table::indexErase(const std::vector<Slot> &gone)
{
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        Index &idx = m_indexes[i];
        idx.ranksValid = false;
        if (idx.fields.empty()) {
            idx.stale = true;
            continue;
        }
        std::vector<std::size_t> positions;
        positions.reserve(gone.size());
        for (const Slot s : gone) {
            const std::size_t pos = positionOf(int(i), s);
            if (pos < idx.order.size() && idx.order[pos] == s)
                positions.push_back(pos);
        }
        std::sort(positions.begin(), positions.end());
        eraseAt(idx.order, positions);
        if (idx.covering)
            eraseAt(idx.packed, positions);
        if (!idx.fields.empty())
            shiftDirectory(idx, gone, -1);
    }
    if (m_primaryField >= 0)
        for (const Slot s : gone) {
            const auto it = m_primary.find(m_columns[std::size_t(m_primaryField)].ints[s]);
            if (it != m_primary.end() && it->second == s)
                m_primary.erase(it);
        }
}

} // namespace store
