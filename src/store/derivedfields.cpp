#include "derivedfields.h"

#include "view.h"

namespace store {

QVariant RowRef::value(const QString &field) const
{
    return m_view->fieldValue(m_slot, m_view->requireField(field));
}

void DerivedFields::addLookup(const FieldDef &def, const QString &keyField, View *lookupView,
                              const QString &lookupKeyField, const QString &resultField)
{
    Field f;
    f.def = def;
    f.keyField = keyField;
    f.lookupView = lookupView;
    f.lookupKeyField = lookupKeyField;
    f.resultField = resultField;
    m_fields.push_back(std::move(f));
}

void DerivedFields::addCalculated(const FieldDef &def, CalcFunction calc)
{
    Field f;
    f.def = def;
    f.calc = std::move(calc);
    m_fields.push_back(std::move(f));
}

int DerivedFields::find(const QString &name) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].def.name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

std::vector<View *> DerivedFields::lookupViews() const
{
    std::vector<View *> views;
    for (const Field &f : m_fields)
        if (f.lookupView)
            views.push_back(f.lookupView);
    return views;
}

QVariant DerivedFields::value(int i, const RowRef &row) const
{
    const Field &f = m_fields[std::size_t(i)];
    if (f.calc)
        return f.calc(row);
    const QVariant key = row.value(f.keyField);
    if (key.isNull())
        return {};
    return lookup(*f.lookupView, f.lookupKeyField, key, f.resultField);
}

QVariant DerivedFields::lookup(const View &through, const QString &keyField, const QVariant &key,
                               const QString &resultField)
{
    if (!through.isOpen())
        return {};
    const Table &table = *through.table();
    const int kf = through.requireField(keyField);
    std::optional<Slot> found;
    if (table.primaryField() == kf) {
        found = table.findPrimary(key.toInt());
    } else {
        for (const Slot s : table.order(0))
            if (table.value(s, kf) == key) {
                found = s;
                break;
            }
    }
    // A lookup sees only the rows that the view it reads through lets through.
    if (!found || !through.accepts(*found))
        return {};
    return through.fieldValue(found, through.requireField(resultField));
}

} // namespace store
