#pragma once

#include <QByteArray>
#include <QString>

namespace store {

// Replaces the file at `path` with `bytes` through a new file beside it that is renamed over
// it once complete, so that a failure, a full disk or a crash leaves the old file whole.
// Throws Error naming the file and the reason.
void saveWholeFile(const QString &path, const QByteArray &bytes);

} // namespace store
