#pragma once

#include <QString>
#include <QStringView>

// Judging and showing the texts of a field: the characters a table can hold, the flower
// systems, and how a field is quoted in a message.
namespace tabletool {

// "«☺» (U+263A)": the character at `pos`, for messages.
QString describeCharacter(QStringView text, qsizetype pos);
// A control character other than tab, CR and LF; -1 when there is none.
qsizetype controlCharacter(QStringView text, bool allowBreaks);

// A flower system number written as the table keeps it: "1" to "13", no zeros or blanks.
bool isSystemNumber(const QString &text);

// A field as a message shows it, between « »: at most 80 characters, control characters
// drawn as visible symbols, so that a 10 MB field or an escape sequence never reaches the
// terminal whole.
QString quoted(QStringView text);

// The first byte of `bytes` that does not belong to a well-formed UTF-8 sequence (a stray or
// missing continuation byte, an overlong form, a surrogate, a sequence cut short at the end);
// -1 when all is well.
qsizetype invalidUtf8(const char *bytes, qsizetype size);

} // namespace tabletool
