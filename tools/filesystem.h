#pragma once

#include "store/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The file system steps of the commands, taken with the system's own calls so that each
// failure can be told in Spanish words and no step ever blocks, replaces or follows into a
// file that is not ours.
//
// Work in progress lives under hidden names that end in kWorkMark and six random characters,
// held locked while their writer lives. What a killed run leaves behind is recognised by the
// name and by the lock being free, and removed by the next run.
namespace tabletool {

inline constexpr char kWorkMark[] = ".vantolia-tablas-";

// Why a file could not be read, kept apart from the message for callers that word it their way.
class FileError : public store::Error
{
public:
    FileError(const QString &message, const QString &reason, bool missing)
        : store::Error(message), m_reason(reason), m_missing(missing)
    {
    }
    const QString &reason() const { return m_reason; }
    bool missing() const { return m_missing; }

private:
    QString m_reason;
    bool m_missing;
};

// A file opened for reading only when it is a regular file: a FIFO, a device or a folder is
// refused at once, never waited on. `shownAs` is how messages call it. Throws FileError.
class InputFile
{
public:
    InputFile(const QString &path, const QString &shownAs);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // Up to `max` bytes; 0 at the end of the file.
    qsizetype read(char *buffer, qsizetype max);
    // The whole file, refused when longer than `limit` bytes.
    QByteArray readAll(qint64 limit);

private:
    int m_fd = -1;
    QString m_shownAs;
};

// Folders made on the way to a path; unless kept, the ones still empty go again, deepest
// first, so that a failed command leaves no empty folders behind.
class MadeFolders
{
public:
    MadeFolders() = default;
    ~MadeFolders();
    MadeFolders(const MadeFolders &) = delete;
    MadeFolders &operator=(const MadeFolders &) = delete;

    // `path` and whichever folders above it are missing.
    void make(const QString &path);
    void keep() { m_made.clear(); }

private:
    QStringList m_made;
};

// A new file written under a hidden name beside its place and moved there, complete and on
// disk, by commit(); it never replaces a file that is there by then.
class NewFile
{
public:
    explicit NewFile(const QString &path);
    ~NewFile();
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    void write(const QByteArray &data);
    void commit();

private:
    QString m_path;
    QString m_temporary;
    int m_fd = -1;
};

// A hidden folder for work in progress, made beside `place` (".NAME.vantolia-tablas-XXXXXX")
// or, with an empty `name`, inside it (".vantolia-tablas-XXXXXX"); locked while it lives.
class WorkFolder
{
public:
    WorkFolder(const QString &place, const QString &name);
    ~WorkFolder();
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    const QString &path() const { return m_path; }
    QString filePath(const QString &name) const;
    // The folder and the files of `ours` in it are gone; false when something else is in it.
    bool remove(const QStringList &ours);
    // After a rename of the folder itself: the lock goes with it and nothing is left to remove.
    void forget();

private:
    QString m_path;
    int m_fd = -1;
};

// Moves a file or folder within one file system; false, with errno EEXIST, when `to` exists.
bool moveNoReplace(const QString &from, const QString &to);
// Makes the entries of a folder (a new name, a rename, a removal) reach the disk.
void syncFolder(const QString &path);
// The file's own data reached the disk.
void syncFile(const QString &path);

// Hidden work left in `folder` by killed runs whose name starts with `prefix` (after the
// dot; "*" for any): folders when `folders`, files otherwise. Those still locked by a living
// run are left.
QStringList abandonedWork(const QString &folder, const QString &prefix, bool folders);
// Removes a folder of abandoned work holding only the files named in `ours`; false otherwise.
bool removeWorkFolder(const QString &path, const QStringList &ours);

// "No se puede crear la carpeta X: el disco está lleno": throws with the reason of `error`.
[[noreturn]] void failWith(const QString &what, int error);

} // namespace tabletool
