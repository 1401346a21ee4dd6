// Table: reading a table file into memory and sorting its indexes.
#include "table.h"

#include "collation.h"
#include "error.h"

#include <algorithm>
#include <thread>

namespace store {
namespace {

quint32 orderedBits(qint32 v, bool descending)
{
    const quint32 bits = quint32(v) ^ 0x80000000u;
    return descending ? ~bits : bits;
}

} // namespace

void Table::compileIndexes()
{
    auto compile = [this](const IndexDef &def) {
        Index idx;
        idx.def = def;
        for (const IndexField &f : def.fields) {
            const int fi = m_def.fieldIndex(f.name);
            if (fi < 0)
                throw Error(QStringLiteral("El índice %1 nombra un campo que no existe: %2")
                                     .arg(def.name, f.name));
            idx.fields.push_back({fi, m_def.fields[std::size_t(fi)].isText(),
                                  f.order == Order::Descending});
        }
        return idx;
    };
    m_indexes.push_back(compile(m_def.primary));
    for (const IndexDef &def : m_def.indexes)
        m_indexes.push_back(compile(def));
}

void Table::load()
{
    QStringList cols{QStringLiteral("rowid")};
    // Pictures are only asked whether they are there: typeof() answers from the row's header,
    // where IS NULL would read every picture whole from the file.
    for (const FieldDef &f : m_def.fields)
        cols << (f.type == FieldType::Graphic ? QStringLiteral("typeof(\"%1\") = 'null'").arg(f.name)
                                              : QStringLiteral("\"%1\"").arg(f.name));
    {
        Statement count = m_file.prepare(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(m_def.tableName));
        const std::size_t n = count.step() ? std::size_t(count.integer(0)) : 0;
        m_alive.reserve(n);
        for (std::size_t f = 0; f < m_columns.size(); ++f) {
            const FieldDef &fd = m_def.fields[f];
            m_columns[f].nulls.reserve(n);
            if (fd.isNumeric())
                m_columns[f].ints.reserve(n);
            else if (fd.isText())
                m_columns[f].texts.reserve(n);
        }
    }
    Statement st = m_file.prepare(QStringLiteral("SELECT %1 FROM \"%2\"")
                                      .arg(cols.join(QStringLiteral(", ")), m_def.tableName));
    const int nf = fieldCount();
    while (st.step()) {
        const Slot s = Slot(m_alive.size());
        setRowid(s, st.integer(0));
        m_alive.push_back(1);
        for (int f = 0; f < nf; ++f) {
            Column &c = m_columns[std::size_t(f)];
            const FieldDef &fd = m_def.fields[std::size_t(f)];
            const int col = f + 1;
            if (fd.type == FieldType::Graphic) {
                c.nulls.push_back(st.integer(col) != 0);
            } else if (fd.isNumeric()) {
                bool null = false;
                c.ints.push_back(storedInteger(st, col, f, null));
                c.nulls.push_back(null);
            } else {
                c.texts.push_back(st.text(col)); // a null text only for an empty value
                c.nulls.push_back(c.texts.back().isNull());
            }
        }
    }
    // Texts are slow to sort and the file keeps them sorted already: the indexes led by a text
    // take the file's order where it holds; the others are sorted below.
    std::vector<bool> fromFile(m_indexes.size(), false);
    for (std::size_t i = 1; i < m_indexes.size(); ++i)
        if (!m_indexes[i].fields.empty() && m_indexes[i].fields[0].text)
            fromFile[i] = orderFromFile(m_indexes[i]);
    sortAllIndexes(fromFile);
}

void Table::sortAllIndexes(const std::vector<bool> &done)
{
    // Large tables sort their indexes side by side; each sort writes only its own list.
    constexpr std::size_t kWorthAThread = 100000;
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < m_indexes.size(); ++i) {
        if (i < done.size() && done[i])
            continue;
        if (m_alive.size() >= kWorthAThread)
            workers.emplace_back([this, i] { sortIndex(m_indexes[i]); });
        else
            sortIndex(m_indexes[i]);
    }
    sortIndex(m_indexes[0]);
    for (std::thread &t : workers)
        t.join();
}

bool Table::orderFromFile(Index &idx)
{
    invalidate(idx);
    idx.order.clear();
    idx.packed.clear();
    idx.covering = false;
    std::size_t alive = 0;
    for (const quint8 a : m_alive)
        alive += a;
    std::vector<quint8> seen(m_alive.size(), 0);
    const bool rowidsSorted = m_rowidsDense || std::is_sorted(m_rowids.begin(), m_rowids.end());
    if (!rowidsSorted)
        return false;
    try {
        // Only row ids: a walk over the index alone, in its order.
        Statement st = m_file.prepare(QStringLiteral("SELECT rowid FROM \"%1\" INDEXED BY \"%2\"")
                                          .arg(m_def.tableName, idx.def.name));
        idx.order.reserve(alive);
        while (st.step()) {
            const qint64 rowid = st.integer(0);
            Slot s = 0;
            if (m_rowidsDense) {
                if (rowid < 1 || rowid > qint64(m_alive.size()))
                    return false;
                s = Slot(rowid - 1);
            } else {
                const auto it = std::lower_bound(m_rowids.begin(), m_rowids.end(), rowid);
                if (it == m_rowids.end() || *it != rowid)
                    return false;
                s = Slot(it - m_rowids.begin());
            }
            if (!m_alive[s] || std::exchange(seen[s], quint8(1)))
                return false;
            idx.order.push_back(s);
        }
    } catch (const Error &) {
        idx.order.clear();
        return false; // no such index in the file, or one that cannot be read: sorted instead
    }
    if (idx.order.size() != alive) {
        idx.order.clear();
        return false;
    }
    // The file's index must order the leading texts as memory does; names equal letter for
    // letter then stand together, ordered by their characters, where memory orders them by the
    // fields that follow: each such run is sorted in place. Any other disorder means the file's
    // index is not what its name says, and the whole index is sorted afresh.
    const CompiledField &lead = idx.fields[0];
    auto &ord = idx.order;
    // Neighbours in the index are rows far apart in memory: the texts a few places ahead are
    // fetched early, so that the comparisons do not wait for them one by one.
    const std::vector<QString> &texts = m_columns[std::size_t(lead.field)].texts;
    std::size_t runStart = 0;
    for (std::size_t j = 1; j <= ord.size(); ++j) {
        int r = -1;
        if (j < ord.size()) {
            if (lead.text && j + 16 < ord.size()) {
                __builtin_prefetch(&texts[ord[j + 16]]);
                __builtin_prefetch(texts[ord[j + 8]].constData());
            }
            r = compareField(lead, ord[j - 1], ord[j]);
            if (r > 0) {
                ord.clear();
                return false;
            }
        }
        if (r == 0)
            continue;
        // Within a run the leading texts are equal: the fields after them decide, then the slot.
        if (j - runStart > 1)
            std::sort(ord.begin() + std::ptrdiff_t(runStart), ord.begin() + std::ptrdiff_t(j), [&](Slot a, Slot b) {
                for (std::size_t f = 1; f < idx.fields.size(); ++f)
                    if (const int byField = compareField(idx.fields[f], a, b))
                        return byField < 0;
                return a < b;
            });
        runStart = j;
    }
    return true;
}

void Table::sortIndex(Index &idx)
{
    invalidate(idx);
    idx.order.clear();
    idx.order.reserve(m_alive.size());
    for (Slot s = 0; s < m_alive.size(); ++s)
        if (m_alive[s])
            idx.order.push_back(s);

    bool packable = !idx.fields.empty() && idx.fields.size() <= 2;
    for (const CompiledField &f : idx.fields) {
        if (f.text)
            packable = false;
        else {
            const auto &nulls = m_columns[std::size_t(f.field)].nulls;
            if (std::find(nulls.begin(), nulls.end(), quint8(1)) != nulls.end())
                packable = false;
        }
    }
    if (idx.fields.empty())
        return; // rows in the order they were stored: the slots are that order already
    const int number = int(&idx - m_indexes.data());
    if (!packable && idx.fields[0].text && !idx.fields[0].descending) {
        // Texts: sort on the first sixteen bytes of each key, and compare whole rows only where
        // those are equal.
        struct Prefixed
        {
            quint64 high;
            quint64 low;
            Slot slot;
        };
        const auto &texts = m_columns[std::size_t(idx.fields[0].field)].texts;
        std::vector<Prefixed> rows;
        rows.reserve(idx.order.size());
        for (const Slot s : idx.order)
            rows.push_back({spanishSortBytes(texts[s], 0), spanishSortBytes(texts[s], 8), s});
        std::sort(rows.begin(), rows.end(), [&](const Prefixed &a, const Prefixed &b) {
            if (a.high != b.high)
                return a.high < b.high;
            if (a.low != b.low)
                return a.low < b.low;
            return compare(number, a.slot, b.slot) < 0;
        });
        for (std::size_t i = 0; i < rows.size(); ++i)
            idx.order[i] = rows[i].slot;
        return;
    }
    if (!packable) {
        std::sort(idx.order.begin(), idx.order.end(), [&](Slot a, Slot b) { return compare(number, a, b) < 0; });
        return;
    }
    if (sortByBuckets(idx))
        return;
    // Integer keys: sort packed 64-bit keys, which is several times faster on large tables.
    struct Packed
    {
        quint64 key;
        Slot slot;
    };
    std::vector<Packed> packed;
    packed.reserve(idx.order.size());
    for (Slot s : idx.order)
        packed.push_back({packKey(idx, s), s});
    std::sort(packed.begin(), packed.end(), [](const Packed &a, const Packed &b) {
        return a.key != b.key ? a.key < b.key : a.slot < b.slot;
    });
    for (std::size_t i = 0; i < packed.size(); ++i)
        idx.order[i] = packed[i].slot;
    idx.covering = idx.fields.size() == 2 && idx.def.pairsKept;
    idx.packed.clear();
    if (idx.covering) {
        idx.packed.reserve(packed.size());
        for (const Packed &p : packed)
            idx.packed.push_back(p.key);
    }
}

bool Table::sortByBuckets(Index &idx)
{
    // One bucket per leading value, counted and filled in one pass each: the rows land in slot
    // order within their bucket. Worth it when the leading values lie close together.
    const CompiledField &lead = idx.fields[0];
    const std::vector<qint32> &values = m_columns[std::size_t(lead.field)].ints;
    std::vector<Slot> &ord = idx.order; // the live slots, ascending
    if (ord.empty())
        return false;
    qint64 lo = values[ord.front()], hi = lo;
    for (const Slot s : ord) {
        lo = std::min<qint64>(lo, values[s]);
        hi = std::max<qint64>(hi, values[s]);
    }
    idx.covering = false;
    idx.packed.clear();
    const qint64 span = hi - lo + 1;
    if (span > qint64(ord.size()) * 4 + 1024)
        return false;
    auto bucket = [&](Slot s) {
        return std::size_t(lead.descending ? hi - values[s] : values[s] - lo);
    };
    // start[b] is the first position of bucket b; start[span] the end of the last one.
    std::vector<quint32> start(std::size_t(span) + 1, 0);
    for (const Slot s : ord)
        ++start[bucket(s) + 1];
    for (std::size_t b = 1; b < start.size(); ++b)
        start[b] += start[b - 1];
    // Two fields: both values of a row as one key. Where the index keeps them, they are packed
    // as each row lands, read in slot order rather than at random afterwards.
    const bool twoFields = idx.fields.size() == 2;
    const bool kept = twoFields && idx.def.pairsKept;
    const std::vector<qint32> *seconds = twoFields ? &m_columns[std::size_t(idx.fields[1].field)].ints : nullptr;
    const bool secondDescending = twoFields && idx.fields[1].descending;
    auto pairOf = [&](Slot s) {
        return quint64(orderedBits(values[s], lead.descending)) << 32 | orderedBits((*seconds)[s], secondDescending);
    };
    if (kept)
        idx.packed.resize(ord.size());
    {
        // The live slots again, ascending, straight from the table: the list is overwritten.
        std::vector<quint32> next(start.begin(), start.end() - 1);
        for (Slot s = 0; s < m_alive.size(); ++s) {
            if (!m_alive[s])
                continue;
            const quint32 at = next[bucket(s)]++;
            ord[at] = s;
            if (kept)
                idx.packed[at] = pairOf(s);
        }
    }
    if (twoFields) {
        // Within a bucket, by the second value and then by slot. A table stored in the order of
        // this index is in order already and needs only the look.
        struct Row
        {
            quint64 key;
            Slot slot;
            bool operator<(const Row &o) const { return key != o.key ? key < o.key : slot < o.slot; }
        };
        auto keyAt = [&](std::size_t i) { return kept ? idx.packed[i] : pairOf(ord[i]); };
        std::vector<Row> rows;
        for (std::size_t b = 0; b + 1 < start.size(); ++b) {
            const std::size_t first = start[b], last = start[b + 1];
            bool sorted = true;
            for (std::size_t i = first + 1; i < last && sorted; ++i)
                sorted = keyAt(i - 1) <= keyAt(i); // equal keys stand in slot order
            if (sorted)
                continue;
            rows.clear();
            for (std::size_t i = first; i < last; ++i)
                rows.push_back({keyAt(i), ord[i]});
            std::sort(rows.begin(), rows.end());
            for (std::size_t i = first; i < last; ++i) {
                ord[i] = rows[i - first].slot;
                if (kept)
                    idx.packed[i] = rows[i - first].key;
            }
        }
        idx.covering = kept;
    }
    if (!lead.descending) {
        // The bucket starts are the table of positions by key that searches use.
        idx.directory = std::move(start);
        idx.directoryBase = lo;
        idx.directoryValid = true;
    }
    return true;
}

quint64 Table::packKey(const Index &idx, Slot s) const
{
    const CompiledField &first = idx.fields[0];
    quint64 key = quint64(orderedBits(m_columns[std::size_t(first.field)].ints[s], first.descending)) << 32;
    if (idx.fields.size() == 2) {
        const CompiledField &second = idx.fields[1];
        key |= orderedBits(m_columns[std::size_t(second.field)].ints[s], second.descending);
    }
    return key;
}

} // namespace store
