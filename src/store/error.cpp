#include "error.h"

namespace store {

QString errorText(const std::exception &error)
{
    if (const auto *ours = dynamic_cast<const Error *>(&error))
        return ours->message();
    return QString::fromUtf8(error.what());
}

} // namespace store
