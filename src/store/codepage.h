#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The single-byte code page of the catalogue's texts and of the files shared with Windows
// programs (Windows-1252). Tables keep their texts as Unicode, but every text must fit this code
// page, and the patient file and old stored names arrive in it.
namespace codepage {

// The byte of a character, or `missing` when the code page lacks it.
char toByte(char16_t c, char missing);
// The bytes of a text; characters the code page lacks become `missing`.
QByteArray toWindows1252(QStringView text, char missing);
// The five bytes the code page leaves free keep their own code.
QString fromWindows1252(const QByteArray &bytes);

// Whether the code page holds the character.
bool holds(char16_t c);
// Where the first character that the code page cannot hold sits in `text`; -1 when none.
qsizetype firstOutside(QStringView text);

} // namespace codepage
