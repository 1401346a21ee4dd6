#include "tabledef.h"

namespace store {

int TableDef::fieldIndex(const QString &name) const
{
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

const IndexDef *TableDef::index(const QString &name) const
{
    if (name.isEmpty())
        return &primary;
    for (const IndexDef &idx : indexes)
        if (idx.name.compare(name, Qt::CaseInsensitive) == 0)
            return &idx;
    return nullptr;
}

} // namespace store
