// Table: every change, checked, written to the file and then to memory.
#include "table.h"

#include "collation.h"
#include "error.h"

#include <sqlite3.h>

#include <QTimer>

#include <algorithm>

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
            if (n < fd.minimum() || n > fd.maximum())
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
    const auto &byKey = m_indexes[0].order;
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
    indexErase(s);
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
    indexInsert(s);
    emit rowUpdated(s);
}

void Table::remove(Slot s)
{
    if (m_writeBehind)
        markDirty();
    else
        deleteFromFile(s);
    forget(s);
}

void Table::removeMany(const std::vector<Slot> &gone)
{
    if (gone.empty())
        return;
    if (m_writeBehind) {
        markDirty();
    } else {
        m_file.begin();
        try {
            for (const Slot s : gone)
                deleteFromFile(s);
            m_file.commit();
        } catch (...) {
            m_file.rollback();
            throw;
        }
    }
    for (const Slot s : gone)
        forget(s);
}

void Table::deleteFromFile(Slot s)
{
    if (!m_delete)
        m_delete = m_file.prepare(QStringLiteral("DELETE FROM \"%1\" WHERE rowid = ?").arg(m_def.tableName));
    m_delete->bindInt(1, rowidOf(s));
    m_delete->run();
}

void Table::forget(Slot s)
{
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

} // namespace store
