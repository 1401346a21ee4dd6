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
    // Sort keys are kept only for the texts that an index orders by.
    for (const Index &idx : m_indexes)
        for (const CompiledField &f : idx.fields)
            if (f.text)
                m_columns[std::size_t(f.field)].keyed = true;
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
        m_primary.reserve(n);
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
                c.nulls.push_back(st.isNull(col));
                c.ints.push_back(storedInteger(st, col, f));
            } else {
                c.nulls.push_back(st.isNull(col));
                c.texts.push_back(st.text(col));
            }
        }
        if (m_primaryField >= 0)
            m_primary.emplace(m_columns[std::size_t(m_primaryField)].ints[s], s);
    }
    for (Column &c : m_columns)
        if (c.keyed) {
            c.sortKeys.reserve(c.texts.size());
            for (const QString &t : c.texts)
                c.sortKeys.push_back(spanishSortKey(t));
        }
    sortAllIndexes();
}

void Table::sortAllIndexes()
{
    // Large tables sort their indexes side by side; each sort writes only its own list.
    constexpr std::size_t kWorthAThread = 100000;
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < m_indexes.size(); ++i) {
        if (m_alive.size() >= kWorthAThread)
            workers.emplace_back([this, i] { sortIndex(m_indexes[i]); });
        else
            sortIndex(m_indexes[i]);
    }
    sortIndex(m_indexes[0]);
    for (std::thread &t : workers)
        t.join();
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
        const auto &keys = m_columns[std::size_t(idx.fields[0].field)].sortKeys;
        auto bytes = [](const QByteArray &k, int from) {
            quint64 v = 0;
            for (int i = from; i < from + 8; ++i)
                v = (v << 8) | (i < k.size() ? quint8(k[i]) : 0u);
            return v;
        };
        std::vector<Prefixed> rows;
        rows.reserve(idx.order.size());
        for (const Slot s : idx.order)
            rows.push_back({bytes(keys[s], 0), bytes(keys[s], 8), s});
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
    idx.covering = idx.fields.size() == 2;
    idx.packed.clear();
    if (idx.covering) {
        idx.packed.reserve(packed.size());
        for (const Packed &p : packed)
            idx.packed.push_back(p.key);
    }
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
