#pragma once

#include <QByteArray>
#include <QStringList>

namespace tabletool {

// One row as the export writes it, in UTF-8: fields joined by commas, quoted as RFC 4180 asks
// and also around leading or trailing blanks, which some readers would drop, and before a
// leading U+FEFF, which would read as a byte order mark; CRLF at the end.
// A row of a single empty field is written as "" so that it does not read as a blank line.
void appendRow(QByteArray &out, const QStringList &fields);

} // namespace tabletool
