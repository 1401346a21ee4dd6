#pragma once

#include <QByteArray>
#include <QStringView>

namespace store {

// Spanish dictionary order at the first level: case and accents are ignored, ñ is a letter of
// its own after n, digits come before letters and blanks and punctuation before digits.
// Comparing two keys bytewise compares the texts in that order.
QByteArray spanishSortKey(QStringView text);

// Compares two texts in that order without building keys.
int spanishCompare(QStringView a, QStringView b);

// Eight bytes of a text's key from position `from` on, the first in the highest byte, zeros
// past the end: comparing them compares that stretch of the keys.
quint64 spanishSortBytes(QStringView text, qsizetype from);

} // namespace store
