#pragma once

#include <QByteArray>
#include <QString>

// What a table file is, read from its first bytes before SQLite is let near it: SQLite rolls
// back a hot journal, or takes in a -wal file, of any database it opens, which would change a
// file that is not ours. Nothing here ever writes.
namespace store {

// "La tabla X no es una tabla de Vantolia: why".
QString notOurTableMessage(const QString &fileName, const QString &why);

// The first bytes of a file; the most a header check needs.
inline constexpr int kHeaderBytes = 100;

// Refuses, with a message naming the file, anything but one of our own tables: a file that is
// not a regular file, not an SQLite database with our application id and a sound page size, one
// kept in write-ahead mode, or one with a -wal file beside it. A table in the old Paradox format
// gets the message that tells how to bring it over.
void requireOwnTableFile(const QString &path);

// Whether `head` (the first bytes of a file of `fileSize` bytes) begins a table in the Paradox
// format: its file type, version, field count and record and header sizes all as the format has
// them.
bool isParadoxTable(const QByteArray &head, qint64 fileSize);
// Whether that table is protected by a password.
bool isProtectedParadoxTable(const QByteArray &head);

// What the program says on finding a Paradox table at `path` in its working folder: that the
// catalogue can be brought over, with the exact command, a new folder beside the old one
// suggested, and the password when the table needs it.
QString paradoxTableMessage(const QString &path, bool isProtected);

// The password handed to the store before any table opens; it opens the old tables that are
// protected by it.
void setPassword(const QString &password);

} // namespace store
