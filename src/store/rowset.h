#pragma once

#include "table.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace store {

class DataSource;

using FilterFunction = std::function<bool(Slot)>;

// "Field=N": the rows whose field holds the number N.
struct FilterExpression
{
    int field = -1; // -1: no expression
    QString value;

    // The expression a filter text asks for; nullopt when the text is not one. The empty text
    // asks for none.
    static std::optional<FilterExpression> parse(const Table &table, const QString &text);
};

// Which rows of its table a view shows, and in what order: the rows of the current index,
// narrowed to the master's key and to what the filter expression and the filter callback let
// through. It holds no cursor; rows are counted from 0 in the order shown. Each setting takes
// effect at the next rebuild.
class RowSet
{
public:
    void setTable(Table *table) { m_table = table; }

    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }

    void setFilterExpression(FilterExpression expression) { m_expression = std::move(expression); }
    // `passing` are the rows the callback lets through, found by faster means: they are taken as
    // they are instead of asking the callback row by row, until the table next changes.
    void setFilterCallback(FilterFunction filter, std::optional<std::vector<Slot>> passing);

    // Rows whose leading index field equals `field` of the master's current row.
    void setMaster(DataSource *source, const QString &field);
    DataSource *master() const { return m_master; }

    void rebuild();
    void clear();

    int count() const;
    std::optional<Slot> slotAt(int row) const;
    std::optional<int> rowOf(Slot s) const;
    // Whether the row belongs to the set, shown or not yet placed.
    bool accepts(Slot s) const;

    // Searching. Each gives the row found, counted in the order shown.
    std::optional<int> findKey(qint32 key) const;      // in the current index
    std::optional<int> findPrimary(qint32 key) const;  // in the primary key
    int findNearest(const QString &text) const;        // -1 when no row is shown
    // The first index whose two leading fields are these, or -1.
    int indexLedBy(int field1, int field2) const;
    std::optional<int> findPair(int index, qint32 value1, qint32 value2) const;
    std::optional<int> firstRowWhere(const std::function<bool(Slot)> &matches) const;

    // Changes made through any view of the table.
    void rowAboutToChange(Slot s); // before an update, while its values stand
    void rowsInserted(const std::vector<Slot> &rows); // new, or updated

    void rowsAboutToBeRemoved(const std::vector<Slot> &rows); // while their values stand
    void rowsRemoved();
    void reloaded();

private:
    bool materialized() const { return bool(m_filter) || m_expression.field >= 0; }
    bool passesExpression(Slot s) const;
    bool passesFilters(Slot s) const;
    bool inMasterRange(Slot s) const;
    void computeRange();
    std::size_t lowerBound(Slot s) const;

    Table *m_table = nullptr;
    int m_index = 0;
    FilterExpression m_expression;
    FilterFunction m_filter;
    std::optional<std::vector<Slot>> m_passing; // valid until the table changes
    DataSource *m_master = nullptr;
    QString m_masterField;

    // Rows shown: m_rows when a filter is on, otherwise order()[m_lo, m_hi).
    std::vector<Slot> m_rows;
    std::size_t m_lo = 0;
    std::size_t m_hi = 0;
};

} // namespace store
