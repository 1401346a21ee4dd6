#pragma once

#include <QVariant>

namespace store {

// The number a value holds. Values arrive as 32- or 64-bit integers, and reading them straight
// is many times quicker than the general conversion, which a bulk of rows feels.
inline qint64 integerValue(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int: return *static_cast<const int *>(v.constData());
    case QMetaType::LongLong: return *static_cast<const qlonglong *>(v.constData());
    default: return v.toLongLong();
    }
}

} // namespace store
