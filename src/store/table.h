#pragma once

#include "tabledef.h"
#include "tablefile.h"

#include <QByteArray>
#include <QObject>
#include <QVariant>

#include <optional>
#include <unordered_map>
#include <vector>

namespace store {

using Slot = quint32;

// One row's values in field order, as handed to insert and update. For a picture field an
// invalid QVariant is the empty picture; `changed` says which fields an update writes.
struct Record
{
    std::vector<QVariant> values;
    std::vector<bool> changed;
};

class Batch;

// One open table: the file holds the truth, and every row is also kept in memory, with each
// index as a sorted list of rows, so that views move, search and count without asking the
// file. Every change reaches the file before memory, and before the call returns. Changes of
// many rows, or of rows of several tables, that must happen together go through a Batch.
class Table : public QObject
{
    Q_OBJECT
public:
    Table(const QString &path, TableDef def, TableFile::Durability durability);
    ~Table() override;

    const TableDef &def() const { return m_def; }
    QString displayName() const { return m_file.displayName(); }
    int fieldCount() const { return int(m_def.fields.size()); }
    int fieldIndex(const QString &name) const { return m_def.fieldIndex(name); }
    quint64 generation() const { return m_generation; }

    std::size_t slotCount() const { return m_alive.size(); }
    bool isAlive(Slot s) const { return s < m_alive.size() && m_alive[s]; }
    bool isNull(Slot s, int field) const;
    qint32 integer(Slot s, int field) const;
    const QString &text(Slot s, int field) const;
    QByteArray blob(Slot s, int field) const; // read from the file on demand
    QVariant value(Slot s, int field) const;

    // Index 0 is the primary key; 1.. the secondary indexes in definition order.
    int indexCount() const { return int(m_indexes.size()); }
    int indexNumber(const QString &name) const; // -1 when unknown
    const std::vector<Slot> &order(int index) const;
    const IndexDef &indexDef(int index) const;
    // <0, 0, >0 as a sorts before, with, after b in the index (0 only for a == b).
    int compare(int index, Slot a, Slot b) const;
    // The same against a slot's leading index field only.
    int compareLeading(int index, Slot a, const QVariant &key) const;
    // The positions [first, last) of the rows whose leading index field equals key.
    std::pair<std::size_t, std::size_t> equalRange(int index, const QVariant &key) const;
    // Position of a live slot in an index.
    std::size_t positionOf(int index, Slot s) const;

    // Both fields of each position of a two-integer index, packed as by packKey; null when
    // the index keeps no such list.
    const std::vector<quint64> *packedKeys(int index) const;
    static qint32 packedSecond(quint64 key) { return qint32(quint32(key) ^ 0x80000000u); }

    // Each live row's position in an index, by slot.
    const std::vector<quint32> &ranks(int index) const;

    // The field of a primary key of one integer, or -1.
    int primaryField() const { return m_primaryField; }
    std::optional<Slot> findPrimary(qint32 key) const;
    // The live rows whose integer field holds `value`, through an index led by the field when
    // there is one.
    std::vector<Slot> rowsWhere(int field, qint32 value) const;

    // The smallest number a numeric field takes: 1 for the fields that hold a key (the
    // primary key's, and those of a unique index), otherwise the least its size allows.
    qint64 minimum(int field) const { return m_minimum[std::size_t(field)]; }
    // Throws the store's error for a row that insert or update would refuse for its values:
    // a text too long, a number out of its field's range.
    void validate(const Record &record) const;

    Slot insert(Record &record);
    void update(Slot s, const Record &record);
    void remove(Slot s);
    void empty();
    // Many new rows in one transaction; all or nothing.
    void insertMany(std::vector<Record> &records);

    // Working tables keyed by one integer are written behind: changes reach memory at once and
    // the file when the application is next idle, or at the latest when the table closes.
    bool writesBehind() const { return m_writeBehind; }
    bool hasPendingWrites() const { return m_dirty; }
    void flush();

signals:
    // Rows added or removed, once for each change however many rows it took, in the order the
    // rows had in the change (the views follow these)...
    void rowsInserted(const std::vector<store::Slot> &rows);
    void rowsAboutToBeRemoved(const std::vector<store::Slot> &rows); // while their values stand
    void rowsRemoved(const std::vector<store::Slot> &rows);
    // ...and each of those rows on its own, after them, for those that follow rows one by one.
    void rowInserted(store::Slot s);
    void rowRemoved(store::Slot s);
    void rowAboutToChange(store::Slot s); // before an update, while its values stand
    void rowUpdated(store::Slot s);
    void reloaded(); // many rows changed at once: rebuild from scratch
    // Changes written behind could not reach the file: the message, in Spanish, says which
    // table and why. Told once until a write succeeds again; the changes stay pending and are
    // tried again at the next change and when the table closes.
    void writeFailed(const QString &message);

private:
    struct Column
    {
        std::vector<qint32> ints;
        std::vector<QString> texts;
        std::vector<quint8> nulls;
        std::vector<QByteArray> sortKeys; // texts that an index orders by
        bool keyed = false;
    };
    struct CompiledField
    {
        int field;
        bool text;
        bool descending;
    };
    struct Index
    {
        IndexDef def;
        std::vector<CompiledField> fields;
        // Without fields the index is the order the rows were stored in, the slots ascending:
        // removing rows only marks it stale, and it is made again when next read.
        mutable std::vector<Slot> order;
        mutable bool stale = false;
        mutable std::vector<quint32> ranks;
        mutable bool ranksValid = false;
        // For two integer fields: both values of each position, packed, so that walking a
        // range reads them in order instead of jumping through the columns.
        std::vector<quint64> packed;
        bool covering = false;
        // For a leading integer field with keys close together: where each key's rows start.
        mutable std::vector<quint32> directory;
        mutable qint64 directoryBase = 0;
        mutable bool directoryValid = false;
    };

    friend class Batch;

    void load();
    qint32 storedInteger(const Statement &st, int col, int field) const;
    void compileIndexes();
    void sortIndex(Index &idx);
    void sortAllIndexes();
    Slot store(const Record &record, qint64 rowid);
    void assign(Slot s, int field, const QVariant &v);
    void indexInsert(const std::vector<Slot> &added);
    void indexErase(const std::vector<Slot> &gone);
    void shiftDirectory(Index &idx, const std::vector<Slot> &rows, int by) const;
    int compareField(const CompiledField &f, Slot a, Slot b) const;
    void invalidate(Index &idx) const;
    const Index &current(int index) const;
    quint64 packKey(const Index &idx, Slot s) const;
    bool buildDirectory(const Index &idx) const;
    void bindRecord(Statement &st, const Record &record, bool onlyChanged, int &next) const;
    QString insertSql(const QString &schema) const;
    QString deleteSql(const QString &schema) const;
    Statement &insertStatement();
    Statement &deleteStatement();
    qint64 writeInsert(Statement &insert, Record &record);
    qint64 writeInsert(Record &record);
    void resetMemory();
    void assignKey(Record &record) const;
    void requireUniqueKey(const Record &record, std::optional<Slot> except) const;
    void markDirty();
    qint64 rowidOf(Slot s) const;
    void setRowid(Slot s, qint64 rowid);
    void requireKeysToWrite(const std::vector<Record> &records) const;
    std::vector<Slot> storeMany(const std::vector<Record> &records, const std::vector<qint64> &rowids);
    void forget(const std::vector<Slot> &rows);
    void computeMinimums();

    TableDef m_def;
    TableFile m_file;
    std::vector<Column> m_columns;
    std::vector<qint64> m_minimum; // by field
    std::vector<qint64> m_rowids; // empty while row ids are the slots counted from 1
    bool m_rowidsDense = true;
    std::vector<quint8> m_alive;
    std::vector<Index> m_indexes;
    std::unordered_map<qint32, Slot> m_primary;
    int m_primaryField = -1; // single integer primary key, or -1
    std::optional<Statement> m_insert;
    std::optional<Statement> m_delete;
    quint64 m_generation = 1;
    bool m_writeBehind = false;
    bool m_dirty = false;
    bool m_flushScheduled = false;
    bool m_writeFailureTold = false;
};

} // namespace store
