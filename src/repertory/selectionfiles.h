#pragma once

#include "store/error.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// Stored selections: files of symptom keys in the folder Repertorio of the working folder, and
// the patient file that the companion application writes beside it.
namespace repertory {

// Relative to the working folder, with the platform's separator.
QString repertoryFolder();                 // Repertorio
QString repertoryPath(const QString &name); // Repertorio/<name>.Dat
QString patientPath(int number);            // Repertorio/{<number>}.Dat
QString patientFilePath();                 // ../Dorvek/Usuario.$$$

// The file's bytes: each key a signed 32-bit little-endian integer, nothing else.
QByteArray encodeKeys(const std::vector<qint32> &keys);
// Whole 4-byte records only; 1 to 3 bytes left over at the end are ignored.
std::vector<qint32> decodeKeys(const QByteArray &bytes);

// More keys than any catalogue has symptoms: a larger file is not a stored selection, and is
// not read.
inline constexpr std::size_t kMostKeys = 1'000'000;

// Writes the keys to `path` (the system's bytes of its name), making its folder when missing.
// The old file is replaced only once the new one is complete, so a save that fails or is
// killed leaves what was stored before; and only a regular file is replaced.
void saveKeys(const QByteArray &path, const std::vector<qint32> &keys);

// What could be read of a file: its keys, or why it could not be read, in which case nothing
// was taken from it. A missing file is not a fault.
struct KeysRead
{
    std::vector<qint32> keys;
    QString error;
    bool missing = false;
};
// Only a regular file is opened, without waiting, and only up to kMostKeys keys.
KeysRead readKeys(const QByteArray &path);

// The keys that go into the selection, in the file's order: those of symptoms that no longer
// exist are dropped; a key met a second time stops the loading there, since the application
// never writes one and the rest of such a file cannot be trusted.
struct KeysToLoad
{
    std::vector<qint32> keys;
    std::optional<qint32> repeated;
};
KeysToLoad keysToLoad(const std::vector<qint32> &stored, const std::function<bool(qint32)> &exists);

// A stored selection as the chooser lists it: the name shown and the file's own name, as the
// system holds its bytes, which is what opens it.
struct StoredFile
{
    QString name;
    QByteArray fileName;
};
// The files stored in `folder` (made when missing): entries whose name ends in ".dat" in any
// mix of cases, folders included, shown without the extension; a name that is not UTF-8 is
// read as Windows-1252. Names beginning with "{" belong to patients and are left out. Sorted
// as the list sorts them.
QList<StoredFile> listFiles(const QString &folder);
// The path that opens a listed file.
QByteArray storedFilePath(const QString &folder, const StoredFile &file);
// The list's order: letters without regard to case or accents, then case, then code points.
bool listsBefore(const QString &a, const QString &b);

// Why a name typed for saving cannot be used, or an empty text when it can: it must be one
// name inside the folder (not empty, no separators, not ".."), hold no control characters and
// not take a patient's name.
QString nameRefusal(const QString &name);

// The patient open in the companion application.
struct Patient
{
    int number = 0;
    QString name;
};
// Windows-1252 text, lines ended by CR LF, CR or LF: the number on the first line, the name on
// the second; nothing when either is missing or the first is not a number.
std::optional<Patient> parsePatient(const QByteArray &contents);
// The first two lines are all the file is for: no more than this is read of it.
inline constexpr qint64 kPatientFileBytes = 4096;
// Nothing when the file does not exist or cannot be understood; store::Error when it exists
// but cannot be read, or is not a regular file.
std::optional<Patient> readPatient(const QString &path);

} // namespace repertory
