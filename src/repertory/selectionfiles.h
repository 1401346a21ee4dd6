#pragma once

#include "store/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>
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

// Writes the keys to `path`, making its folder when missing. The old file is replaced only once
// the new one is complete, so a save that fails leaves what was stored before.
void saveKeys(const QString &path, const std::vector<qint32> &keys);

// What could be read of a file. `error` is empty when the whole file was read; otherwise it
// says why reading stopped, and `keys` holds the whole records read before that.
struct KeysRead
{
    std::vector<qint32> keys;
    QString error;
};
KeysRead readKeys(const QString &path);

// The keys that go into the selection, in the file's order: those of symptoms that no longer
// exist are dropped; a key met a second time stops the loading there, since the application
// never writes one and the rest of such a file cannot be trusted.
struct KeysToLoad
{
    std::vector<qint32> keys;
    std::optional<qint32> repeated;
};
KeysToLoad keysToLoad(const std::vector<qint32> &stored, const std::function<bool(qint32)> &exists);

// The names stored in `folder` (made when missing), as the chooser lists them: entries whose
// name ends in ".dat" in any mix of cases, folders included, without the extension; names
// beginning with "{" belong to patients and are left out. Sorted as the list sorts them.
QStringList listFiles(const QString &folder);
// The list's order: letters without regard to case or accents, then case, then code points.
bool listsBefore(const QString &a, const QString &b);

// Why a name typed for saving cannot be used, or an empty text when it can: it must not be
// empty, reach outside the folder, hold control characters or take a patient's name.
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
// Nothing when the file does not exist or cannot be understood; store::Error when it exists
// but cannot be read.
std::optional<Patient> readPatient(const QString &path);

} // namespace repertory
