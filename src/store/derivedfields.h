#pragma once

#include "table.h"

#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace store {

class View;

// One row as a calculated field sees it: a stored row, or the row being inserted.
class RowRef
{
public:
    RowRef(const View *view, std::optional<Slot> slot) : m_view(view), m_slot(slot) { }
    QVariant value(const QString &field) const;
    QString text(const QString &field) const { return value(field).toString(); }

private:
    const View *m_view;
    std::optional<Slot> m_slot;
};

using CalcFunction = std::function<QVariant(const RowRef &row)>;

// The fields a view adds to its table's, numbered after the stored ones in the order they were
// added: lookups, which copy a field of the row of another view found by key, and calculated
// fields, which a hook fills whenever a row is read.
class DerivedFields
{
public:
    void addLookup(const FieldDef &def, const QString &keyField, View *lookupView,
                   const QString &lookupKeyField, const QString &resultField);
    void addCalculated(const FieldDef &def, CalcFunction calc);

    int count() const { return int(m_fields.size()); }
    int find(const QString &name) const; // -1 when unknown
    const FieldDef &def(int i) const { return m_fields[std::size_t(i)].def; }
    QVariant value(int i, const RowRef &row) const;

    // The views that the lookups read through.
    std::vector<View *> lookupViews() const;

private:
    struct Field
    {
        FieldDef def;
        CalcFunction calc;
        // Lookups.
        QString keyField;
        View *lookupView = nullptr;
        QString lookupKeyField;
        QString resultField;
    };

    static QVariant lookup(const View &through, const QString &keyField, const QVariant &key,
                           const QString &resultField);

    std::vector<Field> m_fields;
};

} // namespace store
