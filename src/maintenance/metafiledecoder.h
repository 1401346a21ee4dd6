#pragma once

#include "decodedpicture.h"

#include <QByteArray>

namespace photo {

// Draws a Windows metafile (WMF) into an opaque bitmap at the screen's 96 dots per inch, laid on
// white, at most kMaxMetafileSide pixels a side. The drawing is done by a child process that is
// ended past a few seconds, and fails past a memory budget, so that no file can keep the
// program waiting.
inline constexpr int kMaxMetafileSide = 4096;
DecodedPicture decodeMetafile(const QByteArray &data);

} // namespace photo
