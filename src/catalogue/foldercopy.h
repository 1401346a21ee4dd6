#pragma once

#include <QString>

// Copying a working folder's contents: the starter catalogue into a new user folder, the help
// into a folder the tables tool makes.
namespace catalogue {

// Copies the folders and regular files under `from` into the existing folder `to`, leaving
// whatever `to` already holds as it is: a file of the same name is not copied over, a folder
// of the same name is filled with what it lacks. Each copied file is on the disk before the
// call returns. Anything that is not a folder or a regular file (a FIFO, a device, a broken
// link) stops the copy, as does a tree deeper than a catalogue's. Returns an empty text, or
// why the copy stopped, in Spanish.
QString copyMissing(const QString &from, const QString &to);

} // namespace catalogue
