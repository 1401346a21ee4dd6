#include "rowset.h"

#include "datasource.h"
#include "sortedvector.h"
#include "view.h"

#include <algorithm>

namespace store {

std::optional<FilterExpression> FilterExpression::parse(const Table &table, const QString &text)
{
    FilterExpression expression;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return expression;
    const int eq = t.indexOf(QLatin1Char('='));
    expression.field = eq > 0 ? table.fieldIndex(t.left(eq).trimmed()) : -1;
    if (expression.field < 0)
        return std::nullopt;
    bool ok = false;
    const int number = t.mid(eq + 1).trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    // Stored numbers carry no leading zeros or blanks, so the text compares as the number.
    expression.value = QString::number(number);
    return expression;
}

void RowSet::setFilterCallback(FilterFunction filter, std::optional<std::vector<Slot>> passing)
{
    m_filter = std::move(filter);
    m_passing = std::move(passing);
}

void RowSet::setMaster(DataSource *source, const QString &field)
{
    m_master = source;
    m_masterField = field;
}

bool RowSet::passesExpression(Slot s) const
{
    return m_table->value(s, m_expression.field).toString() == m_expression.value;
}

bool RowSet::passesFilters(Slot s) const
{
    if (m_expression.field >= 0 && !passesExpression(s))
        return false;
    return !m_filter || m_filter(s);
}

bool RowSet::inMasterRange(Slot s) const
{
    if (!m_master)
        return true;
    const View *master = m_master->view();
    if (!master->isOpen() || !master->currentSlotOrInsert())
        return false;
    return m_table->compareLeading(m_index, s, master->value(m_masterField)) == 0;
}

bool RowSet::accepts(Slot s) const
{
    return m_table->isAlive(s) && inMasterRange(s) && passesFilters(s);
}

void RowSet::computeRange()
{
    m_lo = 0;
    m_hi = m_table->order(m_index).size();
    if (!m_master)
        return;
    const View *master = m_master->view();
    if (!master->isOpen() || !master->currentSlotOrInsert()) {
        m_hi = 0;
        return;
    }
    const QVariant key = master->value(m_masterField);
    if (key.isNull()) {
        m_hi = 0;
        return;
    }
    std::tie(m_lo, m_hi) = m_table->equalRange(m_index, key);
}

void RowSet::rebuild()
{
    computeRange();
    m_rows.clear();
    if (!materialized())
        return;
    const auto &order = m_table->order(m_index);
    const bool expression = m_expression.field >= 0;
    if (m_passing && m_passing->size() * 8 < m_hi - m_lo) {
        // Few rows pass: order them by their place in the index instead of walking it.
        const auto &rank = m_table->ranks(m_index);
        for (const Slot s : *m_passing)
            if (m_table->isAlive(s) && rank[s] >= m_lo && rank[s] < m_hi && (!expression || passesExpression(s)))
                m_rows.push_back(s);
        std::sort(m_rows.begin(), m_rows.end(), [&](Slot a, Slot b) { return rank[a] < rank[b]; });
        return;
    }
    std::vector<quint8> passing;
    if (m_passing) {
        passing.assign(m_table->slotCount(), 0);
        for (const Slot s : *m_passing)
            if (s < passing.size())
                passing[s] = 1;
    }
    m_rows.reserve(m_hi - m_lo);
    for (std::size_t i = m_lo; i < m_hi; ++i) {
        const Slot s = order[i];
        const bool passes = m_passing ? passing[s] && (!expression || passesExpression(s)) : passesFilters(s);
        if (passes)
            m_rows.push_back(s);
    }
}

void RowSet::clear()
{
    m_rows.clear();
    m_lo = m_hi = 0;
}

int RowSet::count() const
{
    return int(materialized() ? m_rows.size() : m_hi - m_lo);
}

std::optional<Slot> RowSet::slotAt(int row) const
{
    if (row < 0 || row >= count())
        return std::nullopt;
    return materialized() ? m_rows[std::size_t(row)] : m_table->order(m_index)[m_lo + std::size_t(row)];
}

std::size_t RowSet::lowerBound(Slot s) const
{
    auto less = [&](Slot a, Slot b) { return m_table->compare(m_index, a, b) < 0; };
    if (materialized())
        return std::size_t(std::lower_bound(m_rows.begin(), m_rows.end(), s, less) - m_rows.begin());
    const auto &order = m_table->order(m_index);
    const auto begin = order.begin() + std::ptrdiff_t(m_lo), end = order.begin() + std::ptrdiff_t(m_hi);
    return std::size_t(std::lower_bound(begin, end, s, less) - begin);
}

std::optional<int> RowSet::rowOf(Slot s) const
{
    if (!m_table->isAlive(s))
        return std::nullopt;
    const int row = int(lowerBound(s));
    if (slotAt(row) == s)
        return row;
    return std::nullopt;
}

// ---- searching ----

std::optional<int> RowSet::findPrimary(qint32 key) const
{
    const auto s = m_table->findPrimary(key);
    return s ? rowOf(*s) : std::nullopt;
}

std::optional<int> RowSet::findKey(qint32 key) const
{
    if (m_index == 0 && m_table->def().primary.fields.size() == 1)
        return findPrimary(key);
    const auto [lo, hi] = m_table->equalRange(m_index, key);
    return lo < hi ? rowOf(m_table->order(m_index)[lo]) : std::nullopt;
}

int RowSet::findNearest(const QString &text) const
{
    const int n = count();
    // Rows are in index order, so the first row at or after the text is found by halving.
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_table->compareLeading(m_index, *slotAt(mid), text) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return n == 0 ? -1 : std::min(lo, n - 1);
}

int RowSet::indexLedBy(int field1, int field2) const
{
    for (int i = 0; i < m_table->indexCount(); ++i) {
        const IndexDef &def = m_table->indexDef(i);
        if (def.fields.size() >= 2 && m_table->fieldIndex(def.fields[0].name) == field1
            && m_table->fieldIndex(def.fields[1].name) == field2)
            return i;
    }
    return -1;
}

std::optional<int> RowSet::findPair(int index, qint32 value1, qint32 value2) const
{
    const IndexDef &def = m_table->indexDef(index);
    const int f1 = m_table->fieldIndex(def.fields[0].name), f2 = m_table->fieldIndex(def.fields[1].name);
    const auto &order = m_table->order(index);
    const auto first = std::lower_bound(order.begin(), order.end(), 0, [&](Slot s, int) {
        const qint32 a = m_table->integer(s, f1), b = m_table->integer(s, f2);
        return a != value1 ? a < value1 : b < value2;
    });
    // Rows of the pair that this set does not show are passed over.
    for (auto it = first; it != order.end() && m_table->integer(*it, f1) == value1 && m_table->integer(*it, f2) == value2;
         ++it)
        if (const auto row = rowOf(*it))
            return row;
    return std::nullopt;
}

std::optional<int> RowSet::firstRowWhere(const std::function<bool(Slot)> &matches) const
{
    for (int row = 0, n = count(); row < n; ++row)
        if (matches(*slotAt(row)))
            return row;
    return std::nullopt;
}

// ---- changes made through any view of the table ----

void RowSet::rowAboutToChange(Slot s)
{
    m_passing.reset();
    if (!materialized())
        return;
    // Values still stand, so the row can be found by halving.
    if (const auto row = rowOf(s))
        m_rows.erase(m_rows.begin() + *row);
}

void RowSet::rowsInserted(const std::vector<Slot> &rows)
{
    m_passing.reset();
    computeRange();
    if (!materialized())
        return;
    std::vector<Slot> shown;
    for (const Slot s : rows)
        if (inMasterRange(s) && passesFilters(s))
            shown.push_back(s);
    auto less = [&](Slot a, Slot b) { return m_table->compare(m_index, a, b) < 0; };
    std::sort(shown.begin(), shown.end(), less);
    std::vector<std::size_t> positions;
    positions.reserve(shown.size());
    for (const Slot s : shown)
        positions.push_back(lowerBound(s));
    insertAt(m_rows, positions, shown);
}

void RowSet::rowsAboutToBeRemoved(const std::vector<Slot> &rows)
{
    m_passing.reset();
    if (!materialized())
        return;
    std::vector<std::size_t> positions;
    for (const Slot s : rows)
        if (const auto row = rowOf(s))
            positions.push_back(std::size_t(*row));
    std::sort(positions.begin(), positions.end());
    eraseAt(m_rows, positions);
}

void RowSet::rowsRemoved()
{
    m_passing.reset();
    computeRange();
}

void RowSet::reloaded()
{
    m_passing.reset();
    rebuild();
}

} // namespace store
