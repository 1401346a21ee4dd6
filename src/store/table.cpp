// Table: opening, and reading the rows kept in memory.
#include "table.h"

#include "error.h"

#include <algorithm>

namespace store {

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
    computeMinimums();
    load();
}

void Table::computeMinimums()
{
    m_minimum.clear();
    for (const FieldDef &f : m_def.fields)
        m_minimum.push_back(f.type == FieldType::AutoInc ? 1 : f.minimum());
    // The fields that say which row is which hold keys, and keys are positive.
    auto keys = [this](const IndexDef &idx) {
        for (const IndexField &f : idx.fields)
            if (const int fi = m_def.fieldIndex(f.name); fi >= 0 && m_def.fields[std::size_t(fi)].isNumeric())
                m_minimum[std::size_t(fi)] = 1;
    };
    keys(m_def.primary);
    for (const IndexDef &idx : m_def.indexes)
        if (idx.unique)
            keys(idx);
}

// A number read from the file as it is kept in memory. One that does not fit its field is
// refused with the table, never cut down to another number: a key cut short names another row.
qint32 Table::storedInteger(const Statement &st, int col, int field) const
{
    if (st.isNull(col))
        return 0;
    const FieldDef &fd = m_def.fields[std::size_t(field)];
    const bool whole = st.isInteger(col);
    const qint64 n = st.integer(col);
    if (whole && n >= minimum(field) && n <= fd.maximum())
        return qint32(n);
    const QString cannot = QStringLiteral("La tabla %1 no se puede abrir: el campo %2 de una fila tiene ")
                               .arg(displayName(), fd.name);
    if (!whole)
        throw Error(cannot + QStringLiteral("el valor '%1', que no es un número entero").arg(st.text(col).left(80)));
    throw Error(cannot + QStringLiteral("el valor %1, fuera del intervalo de %2 a %3")
                             .arg(n)
                             .arg(minimum(field))
                             .arg(fd.maximum()));
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
    if (fd.isText())
        return text(s, field);
    return blob(s, field);
}

} // namespace store
