#include "editbuffer.h"

#include "error.h"

namespace store {

void EditBuffer::setOpen(bool open)
{
    m_state = open ? State::Browse : State::Inactive;
    m_record = {};
    m_modified = false;
}

void EditBuffer::start(const Table &table, State state)
{
    const auto n = std::size_t(table.fieldCount());
    m_record.values.assign(n, QVariant());
    m_record.changed.assign(n, false);
    m_modified = false;
    m_state = state;
}

void EditBuffer::startInsert(const Table &table)
{
    start(table, State::Insert);
}

void EditBuffer::startEdit(const Table &table, Slot current)
{
    start(table, State::Edit);
    // Pictures are read from the file only when asked for; updates write changed fields only.
    for (int f = 0; f < table.fieldCount(); ++f)
        if (table.def().fields[std::size_t(f)].type != FieldType::Graphic)
            m_record.values[std::size_t(f)] = table.value(current, f);
}

void EditBuffer::set(const Table &table, int field, const QVariant &value)
{
    const FieldDef &fd = table.def().fields[std::size_t(field)];
    QVariant v = value;
    if (fd.isNumeric() && !v.isNull()) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw Error(notAnIntegerMessage(v.toString()));
        if (n < fd.minimum() || n > fd.maximum())
            throw Error(outOfRangeMessage(n, fd.name));
        v = qint32(n);
    } else if (fd.isText()) {
        v = v.isNull() ? QVariant() : QVariant(v.toString());
    }
    m_record.values[std::size_t(field)] = v;
    m_record.changed[std::size_t(field)] = true;
    m_modified = true;
}

bool EditBuffer::holds(const Table &table, int field) const
{
    if (m_state == State::Insert)
        return true;
    return m_state == State::Edit
        && (m_record.changed[std::size_t(field)]
            || table.def().fields[std::size_t(field)].type != FieldType::Graphic);
}

QVariant EditBuffer::value(int field) const
{
    return m_record.values.empty() ? QVariant() : m_record.values[std::size_t(field)];
}

Slot EditBuffer::post(Table &table, std::optional<Slot> current)
{
    const Slot s = m_state == State::Insert ? table.insert(m_record) : *current;
    if (m_state == State::Edit)
        table.update(s, m_record);
    setOpen(true);
    return s;
}

void EditBuffer::cancel()
{
    setOpen(true);
}

} // namespace store
