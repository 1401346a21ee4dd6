#include "table.h"

#include "collation.h"
#include "error.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <thread>

#include <QTimer>

namespace store {
namespace {

bool isTextType(FieldType t) { return t == FieldType::Text || t == FieldType::Memo; }

quint32 orderedBits(qint32 v, bool descending)
{
    const quint32 bits = quint32(v) ^ 0x80000000u;
    return descending ? ~bits : bits;
}

} // namespace

Table::Table(const QString &path, TableDef def, TableFile::Durability durability)
    : m_def(std::move(def)), m_file(TableFile::open(path, m_def, durability))
{
    m_columns.resize(m_def.fields.size());
    compileIndexes();
    if (m_def.primary.fields.size() == 1) {
        const int f = m_def.fieldIndex(m_def.primary.fields.front().name);
        if (m_def.fields[std::size_t(f)].isNumeric())
            m_primaryField = f;
    }
    m_writeBehind = durability == TableFile::Durability::Relaxed && m_primaryField >= 0
        && std::none_of(m_def.indexes.begin(), m_def.indexes.end(), [](const IndexDef &i) { return i.unique; });
    load();
}

Table::~Table()
{
    try {
        flush();
    } catch (const Error &e) {
        qWarning("%s", qPrintable(e.message()));
    }
}

qint64 Table::rowidOf(Slot s) const
{
    return m_rowidsDense ? qint64(s) + 1 : m_rowids[s];
}

void Table::setRowid(Slot s, qint64 rowid)
{
    // Tables written in one go number their rows 1, 2, 3...: then no list of row ids is kept.
    if (m_rowidsDense && rowid == qint64(s) + 1)
        return;
    if (m_rowidsDense) {
        m_rowids.resize(s);
        for (Slot i = 0; i < s; ++i)
            m_rowids[i] = qint64(i) + 1;
        m_rowidsDense = false;
    }
    if (m_rowids.size() <= s)
        m_rowids.resize(std::size_t(s) + 1);
    m_rowids[s] = rowid;
}

void Table::markDirty()
{
    m_dirty = true;
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_flushScheduled = false;
        try {
            flush();
        } catch (const Error &e) {
            // Stays pending: the next change or the closing tries again.
            qWarning("%s", qPrintable(e.message()));
        }
    });
}

void Table::flush()
{
    if (!m_dirty)
        return;
    m_file.begin();
    try {
        m_file.exec(QStringLiteral("DELETE FROM \"%1\"").arg(m_def.tableName));
        for (const Slot s : m_indexes[0].order) {
            Record r;
            r.values.reserve(m_def.fields.size());
            for (int f = 0; f < fieldCount(); ++f)
                r.values.push_back(value(s, f));
            writeInsert(r);
        }
        m_file.commit();
    } catch (...) {
        m_file.rollback();
        throw;
    }
    m_dirty = false;
}

void Table::requireUniqueKey(const Record &record, std::optional<Slot> except) const
{
    const QVariant &key = record.values[std::size_t(m_primaryField)];
    if (key.isNull())
        throw Error(QStringLiteral("Falta la clave de la fila en la tabla %1").arg(displayName()));
    const auto found = findPrimary(key.toInt());
    if (found && found != except)
        throw Error(QString::fromLatin1(kKeyViolation));
}

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
            idx.fields.push_back({fi, isTextType(m_def.fields[std::size_t(fi)].type),
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
            else if (isTextType(fd.type))
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
                c.ints.push_back(qint32(st.integer(col)));
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

const std::vector<quint64> *Table::packedKeys(int index) const
{
    const Index &idx = m_indexes[std::size_t(index)];
    return idx.covering ? &idx.packed : nullptr;
}

bool Table::isNull(Slot s, int field) const
{
    return m_columns[std::size_t(field)].nulls[s] != 0;
}

qint32 Table::integer(Slot s, int field) const
{
    const Column &c = m_columns[std::size_t(field)];
    return c.ints.empty() ? 0 : c.ints[s];
}

const QString &Table::text(Slot s, int field) const
{
    static const QString empty;
    const Column &c = m_columns[std::size_t(field)];
    return c.texts.empty() ? empty : c.texts[s];
}

QByteArray Table::blob(Slot s, int field) const
{
    if (isNull(s, field))
        return {};
    auto *self = const_cast<Table *>(this);
    Statement st = self->m_file.prepare(QStringLiteral("SELECT \"%1\" FROM \"%2\" WHERE rowid = ?")
                                            .arg(m_def.fields[std::size_t(field)].name, m_def.tableName));
    st.bindInt(1, rowidOf(s));
    return st.step() ? st.blob(0) : QByteArray();
}

QVariant Table::value(Slot s, int field) const
{
    if (isNull(s, field))
        return {};
    const FieldDef &fd = m_def.fields[std::size_t(field)];
    if (fd.isNumeric())
        return integer(s, field);
    if (isTextType(fd.type))
        return text(s, field);
    return blob(s, field);
}

int Table::indexNumber(const QString &name) const
{
    if (name.isEmpty())
        return 0;
    for (std::size_t i = 1; i < m_indexes.size(); ++i)
        if (m_indexes[i].def.name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const std::vector<Slot> &Table::order(int index) const { return m_indexes[std::size_t(index)].order; }
const IndexDef &Table::indexDef(int index) const { return m_indexes[std::size_t(index)].def; }

const QByteArray &Table::sortKey(Slot s, int field) const
{
    return m_columns[std::size_t(field)].sortKeys[s];
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
    const auto &ord = order(index);
    const auto it = std::lower_bound(ord.begin(), ord.end(), s,
                                     [&](Slot x, Slot y) { return compare(index, x, y) < 0; });
    return std::size_t(it - ord.begin());
}

const std::vector<quint32> &Table::ranks(int index) const
{
    const Index &idx = m_indexes[std::size_t(index)];
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

void Table::validate(const Record &record) const
{
    for (std::size_t f = 0; f < m_def.fields.size(); ++f) {
        const QVariant &v = record.values[f];
        if (v.isNull())
            continue;
        const FieldDef &fd = m_def.fields[f];
        if (fd.type == FieldType::Text && v.toString().size() > fd.size)
            throw Error(QStringLiteral("El texto del campo %1 supera los %2 caracteres permitidos")
                                 .arg(fd.name)
                                 .arg(fd.size));
        if (fd.isNumeric()) {
            const qint64 n = v.toLongLong();
            const qint64 lo = fd.type == FieldType::SmallInt ? -32768 : std::numeric_limits<qint32>::min();
            const qint64 hi = fd.type == FieldType::SmallInt ? 32767 : std::numeric_limits<qint32>::max();
            if (n < lo || n > hi)
                throw Error(QStringLiteral("El valor %1 está fuera del rango del campo %2").arg(n).arg(fd.name));
        }
    }
}

void Table::bindRecord(Statement &st, const Record &record, bool onlyChanged, int &next) const
{
    for (std::size_t f = 0; f < m_def.fields.size(); ++f) {
        if (onlyChanged && !record.changed[f])
            continue;
        const QVariant &v = record.values[f];
        const FieldDef &fd = m_def.fields[f];
        const int i = next++;
        if (v.isNull() || !v.isValid())
            st.bindNull(i);
        else if (fd.isNumeric())
            st.bindInt(i, v.toLongLong());
        else if (fd.type == FieldType::Graphic)
            st.bindBlob(i, v.toByteArray());
        else
            st.bindText(i, v.toString());
    }
}

qint64 Table::writeInsert(Record &record)
{
    if (!m_insert) {
        QStringList names, marks;
        for (const FieldDef &f : m_def.fields) {
            names << QLatin1Char('"') + f.name + QLatin1Char('"');
            marks << QStringLiteral("?");
        }
        m_insert = m_file.prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                      .arg(m_def.tableName, names.join(QLatin1Char(',')),
                                           marks.join(QLatin1Char(','))));
    }
    int next = 1;
    bindRecord(*m_insert, record, false, next);
    try {
        m_insert->run();
    } catch (...) {
        m_insert->reset();
        throw;
    }
    const qint64 rowid = sqlite3_last_insert_rowid(m_file.handle());
    if (m_primaryField >= 0 && record.values[std::size_t(m_primaryField)].isNull())
        record.values[std::size_t(m_primaryField)] = qint32(rowid);
    return rowid;
}

Slot Table::store(const Record &record, qint64 rowid)
{
    const Slot s = Slot(m_alive.size());
    setRowid(s, rowid);
    m_alive.push_back(1);
    for (std::size_t f = 0; f < m_columns.size(); ++f) {
        Column &c = m_columns[f];
        const FieldDef &fd = m_def.fields[f];
        c.nulls.push_back(1);
        if (fd.isNumeric())
            c.ints.push_back(0);
        else if (isTextType(fd.type))
            c.texts.emplace_back();
        if (c.keyed)
            c.sortKeys.emplace_back();
        assign(s, int(f), record.values[f]);
    }
    return s;
}

void Table::assign(Slot s, int field, const QVariant &v)
{
    Column &c = m_columns[std::size_t(field)];
    const FieldDef &fd = m_def.fields[std::size_t(field)];
    const bool null = v.isNull() || !v.isValid();
    c.nulls[s] = null;
    if (fd.isNumeric()) {
        c.ints[s] = null ? 0 : v.toInt();
    } else if (isTextType(fd.type)) {
        c.texts[s] = null ? QString() : v.toString();
        if (c.keyed)
            c.sortKeys[s] = spanishSortKey(c.texts[s]);
    }
}

void Table::indexInsert(Slot s)
{
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        Index &idx = m_indexes[i];
        invalidate(idx);
        auto &ord = idx.order;
        const auto it = std::lower_bound(ord.begin(), ord.end(), s,
                                         [&](Slot x, Slot y) { return compare(int(i), x, y) < 0; });
        if (idx.covering) {
            bool null = false;
            for (const CompiledField &f : idx.fields)
                null = null || m_columns[std::size_t(f.field)].nulls[s];
            if (null) { // a packed list cannot hold an empty value: give it up
                idx.covering = false;
                idx.packed.clear();
            } else {
                idx.packed.insert(idx.packed.begin() + (it - ord.begin()), packKey(idx, s));
            }
        }
        ord.insert(it, s);
    }
    if (m_primaryField >= 0)
        m_primary[m_columns[std::size_t(m_primaryField)].ints[s]] = s;
}

void Table::indexErase(Slot s)
{
    for (std::size_t i = 0; i < m_indexes.size(); ++i) {
        Index &idx = m_indexes[i];
        invalidate(idx);
        auto &ord = idx.order;
        const std::size_t pos = positionOf(int(i), s);
        if (pos < ord.size() && ord[pos] == s) {
            ord.erase(ord.begin() + std::ptrdiff_t(pos));
            if (idx.covering)
                idx.packed.erase(idx.packed.begin() + std::ptrdiff_t(pos));
        }
    }
    if (m_primaryField >= 0) {
        const auto it = m_primary.find(m_columns[std::size_t(m_primaryField)].ints[s]);
        if (it != m_primary.end() && it->second == s)
            m_primary.erase(it);
    }
}

void Table::assignKey(Record &record) const
{
    QVariant &key = record.values[std::size_t(m_primaryField)];
    if (!key.isNull() || m_def.fields[std::size_t(m_primaryField)].type != FieldType::AutoInc)
        return;
    const auto &byKey = m_indexes[0].order;
    key = byKey.empty() ? 1 : integer(byKey.back(), m_primaryField) + 1;
}

Slot Table::insert(Record &record)
{
    validate(record);
    if (m_writeBehind) {
        assignKey(record);
        requireUniqueKey(record, std::nullopt);
    }
    const qint64 rowid = m_writeBehind ? record.values[std::size_t(m_primaryField)].toLongLong() : writeInsert(record);
    if (m_writeBehind)
        markDirty();
    const Slot s = store(record, rowid);
    indexInsert(s);
    emit rowInserted(s);
    return s;
}

void Table::update(Slot s, const Record &record)
{
    validate(record);
    if (std::find(record.changed.begin(), record.changed.end(), true) == record.changed.end())
        return;
    if (m_writeBehind) {
        if (record.changed[std::size_t(m_primaryField)])
            requireUniqueKey(record, s);
        emit rowAboutToChange(s);
        indexErase(s);
        for (std::size_t f = 0; f < m_def.fields.size(); ++f)
            if (record.changed[f])
                assign(s, int(f), record.values[f]);
        setRowid(s, m_columns[std::size_t(m_primaryField)].ints[s]);
        indexInsert(s);
        markDirty();
        emit rowUpdated(s);
        return;
    }
    QStringList sets;
    for (std::size_t f = 0; f < m_def.fields.size(); ++f)
        if (record.changed[f])
            sets << QStringLiteral("\"%1\" = ?").arg(m_def.fields[f].name);
    Statement st = m_file.prepare(QStringLiteral("UPDATE \"%1\" SET %2 WHERE rowid = ?")
                                      .arg(m_def.tableName, sets.join(QStringLiteral(", "))));
    int next = 1;
    bindRecord(st, record, true, next);
    st.bindInt(next, rowidOf(s));
    st.run();

    emit rowAboutToChange(s);
    indexErase(s);
    for (std::size_t f = 0; f < m_def.fields.size(); ++f)
        if (record.changed[f])
            assign(s, int(f), record.values[f]);
    // A primary key written by hand moves the row's identity in the file as well.
    if (m_primaryField >= 0 && record.changed[std::size_t(m_primaryField)]
        && m_def.fields[std::size_t(m_primaryField)].type != FieldType::Graphic) {
        Statement rid = m_file.prepare(QStringLiteral("SELECT rowid FROM \"%1\" WHERE \"%2\" = ?")
                                           .arg(m_def.tableName, m_def.fields[std::size_t(m_primaryField)].name));
        rid.bindInt(1, m_columns[std::size_t(m_primaryField)].ints[s]);
        if (rid.step())
            setRowid(s, rid.integer(0));
    }
    indexInsert(s);
    emit rowUpdated(s);
}

void Table::remove(Slot s)
{
    if (m_writeBehind)
        markDirty();
    else if (!m_delete)
        m_delete = m_file.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?").arg(m_def.tableName));
    if (!m_writeBehind) {
        m_delete->bindInt(1, rowidOf(s));
        m_delete->run();
    }
    emit rowAboutToChange(s);
    indexErase(s);
    m_alive[s] = 0;
    for (Column &c : m_columns) {
        if (!c.texts.empty())
            c.texts[s] = QString();
        if (c.keyed)
            c.sortKeys[s] = QByteArray();
    }
    emit rowRemoved(s);
}

void Table::resetMemory()
{
    for (Column &c : m_columns) {
        c.ints.clear();
        c.texts.clear();
        c.nulls.clear();
        c.sortKeys.clear();
    }
    m_rowids.clear();
    m_rowidsDense = true;
    m_alive.clear();
    m_primary.clear();
    for (Index &idx : m_indexes) {
        idx.order.clear();
        idx.packed.clear();
        invalidate(idx);
    }
    ++m_generation;
}

void Table::empty()
{
    if (m_writeBehind)
        markDirty();
    else
        m_file.exec(QStringLiteral("DELETE FROM \"%1\"").arg(m_def.tableName));
    resetMemory();
    emit reloaded();
}

void Table::insertMany(std::vector<Record> &records)
{
    if (records.empty())
        return;
    for (const Record &r : records)
        validate(r);
    std::vector<qint64> rowids;
    rowids.reserve(records.size());
    if (m_writeBehind) {
        for (Record &r : records) {
            if (r.values[std::size_t(m_primaryField)].isNull())
                throw Error(QStringLiteral("Falta la clave de la fila en la tabla %1").arg(displayName()));
            requireUniqueKey(r, std::nullopt);
            rowids.push_back(r.values[std::size_t(m_primaryField)].toLongLong());
        }
        // A key given twice in the batch is refused like one that stands already.
        std::vector<qint64> sorted(rowids);
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
            throw Error(QString::fromLatin1(kKeyViolation));
        markDirty();
    } else {
        writeMany(records, rowids);
    }
    storeMany(records, rowids);
}

void Table::writeMany(std::vector<Record> &records, std::vector<qint64> &rowids)
{
    m_file.begin();
    try {
        for (Record &r : records)
            rowids.push_back(writeInsert(r));
        m_file.commit();
    } catch (...) {
        m_file.rollback();
        // Keys handed out for the rolled-back rows are void.
        if (m_primaryField >= 0 && m_def.fields[std::size_t(m_primaryField)].type == FieldType::AutoInc)
            for (std::size_t i = 0; i < rowids.size(); ++i)
                records[i].values[std::size_t(m_primaryField)] = QVariant();
        throw;
    }
}

void Table::storeMany(const std::vector<Record> &records, const std::vector<qint64> &rowids)
{
    const std::size_t before = m_alive.size();
    const std::size_t after = before + records.size();
    m_alive.reserve(after);
    m_primary.reserve(after);
    for (std::size_t f = 0; f < m_columns.size(); ++f) {
        m_columns[f].nulls.reserve(after);
        if (m_def.fields[f].isNumeric())
            m_columns[f].ints.reserve(after);
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        store(records[i], rowids[i]);
    if (records.size() * 8 > before) {
        for (Slot s = Slot(before); s < m_alive.size(); ++s)
            if (m_primaryField >= 0)
                m_primary[m_columns[std::size_t(m_primaryField)].ints[s]] = s;
        sortAllIndexes();
    } else {
        for (Slot s = Slot(before); s < m_alive.size(); ++s)
            indexInsert(s);
    }
    emit reloaded();
}

} // namespace store
