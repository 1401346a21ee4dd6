#pragma once

#include "table.h"

#include <vector>

namespace store {

// Changes to rows of one table or of several that reach their files in one transaction: a
// failure anywhere writes none of them and leaves memory as it was. The files of the other
// tables are attached to the first one's for the transaction, and SQLite commits a transaction
// over attached files as one through their rollback journals. After the commit memory follows,
// step by step in the order the steps were given, and every view of each table follows as it
// does after a single change. Tables written behind take no part.
class Batch
{
public:
    // Rows to remove; a row given twice goes once.
    void remove(Table &table, std::vector<Slot> rows);
    // New rows. Keys the store gives are written into `records` at the commit: they must
    // outlive it.
    void insert(Table &table, std::vector<Record> &records);

    // Checks every step, writes them all, then changes memory; throws the store's error, with
    // nothing changed, when a row is refused or the files cannot be written.
    void commit();

private:
    struct Step
    {
        Table *table = nullptr;
        std::vector<Slot> removed;
        std::vector<Record> *added = nullptr;
    };

    void check();
    void write(std::vector<std::vector<qint64>> &rowids);

    std::vector<Step> m_steps;
};

} // namespace store
