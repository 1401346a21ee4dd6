#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace store {

enum class FieldType {
    AutoInc,  // 32-bit key the store assigns at the first post
    Integer,  // 32-bit signed
    SmallInt, // 16-bit signed
    Text,     // single-line text of at most `size` characters
    Memo,     // text of any length
    Graphic,  // binary picture
};

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Integer;
    int size = 0; // characters, for Text
    QString displayLabel;

    bool isNumeric() const
    {
        return type == FieldType::AutoInc || type == FieldType::Integer
            || type == FieldType::SmallInt;
    }
    bool isText() const { return type == FieldType::Text || type == FieldType::Memo; }
    // The range of a numeric field.
    qint64 minimum() const { return type == FieldType::SmallInt ? -32768 : -2147483648LL; }
    qint64 maximum() const { return type == FieldType::SmallInt ? 32767 : 2147483647; }
    QString label() const { return displayLabel.isEmpty() ? name : displayLabel; }
};

enum class Order { Ascending, Descending };

struct IndexField
{
    QString name;
    Order order = Order::Ascending;
};

// A named ordering of a table. Text fields sort in Spanish dictionary order, ignoring case
// and accents; the last fields make every index a total order.
struct IndexDef
{
    QString name; // empty for the primary key
    std::vector<IndexField> fields;
    bool unique = false;
    // For an index of two integer fields that is walked over long ranges: both values of each
    // position are kept side by side, so that a walk reads them in order. Costs eight bytes a row.
    bool pairsKept = false;
};

struct TableDef
{
    QString tableName; // also the file's base name: Flores -> Flores.db
    std::vector<FieldDef> fields;
    IndexDef primary; // no fields when the table has no primary key
    std::vector<IndexDef> indexes;

    QString fileName() const { return tableName + QStringLiteral(".db"); }
    int fieldIndex(const QString &name) const;
    const IndexDef *index(const QString &name) const; // empty name: the primary key
};

} // namespace store
