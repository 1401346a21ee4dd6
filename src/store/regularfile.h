#pragma once

#include <QByteArray>
#include <QString>

// Small files that the program reads whole and that anybody may have put in their place: a
// FIFO, a device, a folder, a huge file or a name that is not UTF-8.
namespace store {

// A path's bytes as the system holds them.
QByteArray nativePath(const QString &path);
// A file name as the user reads it: UTF-8 when its bytes are, otherwise Windows-1252, the code
// page of the machines old files come from.
QString decodedName(const QByteArray &name);
// A path for messages: decoded as above, with the platform's separators.
QString shownPath(const QByteArray &path);

// What reading the start of a file found.
struct RegularFileRead
{
    enum Kind { Missing, Regular, NotRegular };
    Kind kind = Missing;
    QByteArray bytes; // at most the limit asked for
    qint64 size = 0;  // the whole file's size when it was opened
};

// Reads at most `limit` bytes from the start of `path` when it is a regular file, or one
// reached through symbolic links. Anything else is left unopened, and what is opened is opened
// without waiting, so that a FIFO put in its place meanwhile cannot hold the program. Throws
// Error "No se pudo abrir el archivo X: motivo" or "No se pudo leer el archivo X: motivo".
RegularFileRead readRegularFile(const QByteArray &path, qint64 limit);

// "es una carpeta, no un archivo" or "no es un archivo común", for an entry that is not a
// regular file.
QString notRegularReason(const QByteArray &path);

} // namespace store
