// Table: every change, checked, written to the file and then to memory.
#include "table.h"

#include "batch.h"
#include "collation.h"
#include "error.h"

#include <sqlite3.h>

#include <QTimer>

#include <algorithm>
#include <utility>

namespace store {

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
            if (n < minimum(int(f)) || n > fd.maximum())
                throw Error(outOfRangeMessage(n, fd.name));
        }
    }
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

void Table::assignKey(Record &record) const
{
    QVariant &key = record.values[std::size_t(m_primaryField)];
    if (!key.isNull() || m_def.fields[std::size_t(m_primaryField)].type != FieldType::AutoInc)
        return;
    const auto &byKey = order(0);
    key = byKey.empty() ? 1 : integer(byKey.back(), m_primaryField) + 1;
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

QString Table::insertSql(const QString &schema) const
{
    QStringList names, marks;
    for (const FieldDef &f : m_def.fields) {
        names << QLatin1Char('"') + f.name + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO \"%1\".\"%2\" (%3) VALUES (%4)")
        .arg(schema, m_def.tableName, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

QString Table::deleteSql(const QString &schema) const
{
    return QStringLiteral("DELETE FROM \"%1\".\"%2\" WHERE rowid = ?").arg(schema, m_def.tableName);
}

// Writes one row through `insert` and returns its row id; a key left for the store to give is
// filled in from it.
qint64 Table::writeInsert(Statement &insert, Record &record)
{
    int next = 1;
    bindRecord(insert, record, false, next);
    try {
        insert.run();
    } catch (...) {
        insert.reset();
        throw;
    }
    const qint64 rowid = insert.lastRowid();
    if (m_primaryField >= 0 && record.values[std::size_t(m_primaryField)].isNull())
        record.values[std::size_t(m_primaryField)] = qint32(rowid);
    return rowid;
}

Statement &Table::insertStatement()
{
    if (!m_insert)
        m_insert = m_file.prepare(insertSql(QStringLiteral("main")));
    return *m_insert;
}

Statement &Table::deleteStatement()
{
    if (!m_delete)
        m_delete = m_file.prepare(deleteSql(QStringLiteral("main")));
    return *m_delete;
}

qint64 Table::writeInsert(Record &record)
{
    return writeInsert(insertStatement(), record);
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
        else if (fd.isText())
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
    } else if (fd.isText()) {
        c.texts[s] = null ? QString() : v.toString();
        if (c.keyed)
            c.sortKeys[s] = spanishSortKey(c.texts[s]);
    }
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
    return storeMany({record}, {rowid}).front();
}

void Table::update(Slot s, const Record &record)
{
    validate(record);
    if (std::find(record.changed.begin(), record.changed.end(), true) == record.changed.end())
        return;
    const bool keyChanged = m_primaryField >= 0 && record.changed[std::size_t(m_primaryField)];
    if (m_writeBehind) {
        if (keyChanged)
            requireUniqueKey(record, s);
    } else {
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
    }

    emit rowAboutToChange(s);
    indexErase({s});
    for (std::size_t f = 0; f < m_def.fields.size(); ++f)
        if (record.changed[f])
            assign(s, int(f), record.values[f]);
    if (m_writeBehind) {
        setRowid(s, m_columns[std::size_t(m_primaryField)].ints[s]);
        markDirty();
    } else if (keyChanged) {
        // A primary key written by hand moves the row's identity in the file as well.
        Statement rid = m_file.prepare(QStringLiteral("SELECT rowid FROM \"%1\" WHERE \"%2\" = ?")
                                           .arg(m_def.tableName, m_def.fields[std::size_t(m_primaryField)].name));
        rid.bindInt(1, m_columns[std::size_t(m_primaryField)].ints[s]);
        if (rid.step())
            setRowid(s, rid.integer(0));
    }
    indexInsert({s});
    emit rowUpdated(s);
}

void Table::remove(Slot s)
{
    if (m_writeBehind) {
        markDirty();
    } else {
        Statement &del = deleteStatement();
        del.bindInt(1, rowidOf(s));
        del.run();
    }
    forget({s});
}

// Takes rows that are gone from the file out of memory, all at once, and tells those who follow.
void Table::forget(const std::vector<Slot> &rows)
{
    if (rows.empty())
        return;
    emit rowsAboutToBeRemoved(rows);
    indexErase(rows);
    for (const Slot s : rows) {
        m_alive[s] = 0;
        for (Column &c : m_columns) {
            if (!c.texts.empty())
                c.texts[s] = QString();
            if (c.keyed)
                c.sortKeys[s] = QByteArray();
        }
    }
    emit rowsRemoved(rows);
    for (const Slot s : rows)
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
    if (!m_writeBehind) {
        Batch batch;
        batch.insert(*this, records);
        batch.commit();
        return;
    }
    for (const Record &r : records)
        validate(r);
    requireKeysToWrite(records);
    std::vector<qint64> rowids;
    rowids.reserve(records.size());
    for (const Record &r : records)
        rowids.push_back(r.values[std::size_t(m_primaryField)].toLongLong());
    markDirty();
    storeMany(records, rowids);
}

// New rows keyed by one integer: each key given (unless the file gives it), new to the table
// and to the batch.
void Table::requireKeysToWrite(const std::vector<Record> &records) const
{
    if (m_primaryField < 0)
        return;
    const bool fileGivesKeys = m_def.fields[std::size_t(m_primaryField)].type == FieldType::AutoInc && !m_writeBehind;
    std::vector<qint64> keys;
    keys.reserve(records.size());
    for (const Record &r : records) {
        const QVariant &key = r.values[std::size_t(m_primaryField)];
        if (key.isNull() && fileGivesKeys)
            continue;
        requireUniqueKey(r, std::nullopt);
        keys.push_back(key.toLongLong());
    }
    std::sort(keys.begin(), keys.end());
    if (std::adjacent_find(keys.begin(), keys.end()) != keys.end())
        throw Error(QString::fromLatin1(kKeyViolation));
}

// Puts rows written to the file into memory, in the indexes by one merge, and tells those who
// follow. Returns their rows, in the order of the records.
std::vector<Slot> Table::storeMany(const std::vector<Record> &records, const std::vector<qint64> &rowids)
{
    const bool wasEmpty = order(0).empty();
    const std::size_t after = m_alive.size() + records.size();
    if (wasEmpty) {
        // Room made once for a table filled from nothing; rows added to others take the
        // vectors' own growth, which does not copy every column at every change.
        m_alive.reserve(after);
        for (std::size_t f = 0; f < m_columns.size(); ++f) {
            m_columns[f].nulls.reserve(after);
            if (m_def.fields[f].isNumeric())
                m_columns[f].ints.reserve(after);
        }
    }
    std::vector<Slot> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        rows.push_back(store(records[i], rowids[i]));
    if (wasEmpty && records.size() > 1) {
        // A table filled from nothing is sorted whole, which is faster than merging.
        m_primary.reserve(after);
        if (m_primaryField >= 0)
            for (const Slot s : rows)
                m_primary[m_columns[std::size_t(m_primaryField)].ints[s]] = s;
        sortAllIndexes();
        emit reloaded();
        return rows;
    }
    indexInsert(rows);
    emit rowsInserted(rows);
    for (const Slot s : rows)
        emit rowInserted(s);
    return rows;
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
            // Stays pending: the next change or the closing tries again. The user hears of it
            // once, not at every change that fails the same way.
            if (!std::exchange(m_writeFailureTold, true))
                emit writeFailed(QStringLiteral("No se pudieron guardar los cambios de la tabla %1.\n%2")
                                     .arg(displayName(), e.message()));
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
        for (const Slot s : order(0)) {
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
    m_writeFailureTold = false;
}

} // namespace store
