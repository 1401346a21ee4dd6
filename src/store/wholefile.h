#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace store {

// Replaces the file at `path` with `bytes` through a new file beside it that is renamed over
// it once complete and on disk, so that a failure, a full disk or a kill leaves the old file
// whole. Only a regular file is replaced: a folder, a link, a FIFO or a device in its place is
// refused, as is a file the user may not write. Throws Error naming the file and the reason,
// in Spanish.
void saveWholeFile(const QString &path, const QByteArray &bytes);
void saveWholeFile(const QByteArray &nativePath, const QByteArray &bytes);

// The new file is hidden until it takes its place: ".NAME" followed by this mark and six
// random letters or digits, held locked while it is written.
inline constexpr char kSaveMark[] = ".vantolia-";

// Removes from `folder` the new files that a save killed before its rename left behind:
// regular files named as above whose lock nobody holds. Only those, and only in that folder.
// Returns the names removed.
QStringList removeAbandonedSaves(const QByteArray &folder);

} // namespace store
