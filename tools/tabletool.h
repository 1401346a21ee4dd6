#pragma once

#include "store/error.h"

#include <QString>
#include <QStringList>

#include <optional>

// Making, filling, exporting and checking a folder of catalogue tables. The application never
// creates its tables; this is where they come from.
//
// Every command that makes tables refuses a folder that holds any of the five table files
// already, whatever they contain: an existing file is never overwritten or altered. The tables
// are built in a hidden temporary folder inside the target and moved in only when all five are
// complete, so a failure leaves the target as it was.
//
// Failures throw store::Error (or CsvError, which is one) with a Spanish message.
namespace tabletool {

// A fault in an input file, at the line where its row begins: "Rel.csv:7: el síntoma 99 no existe".
class CsvError : public store::Error
{
public:
    CsvError(const QString &file, int line, const QString &reason);
    const QString &file() const { return m_file; }
    int line() const { return m_line; }
    const QString &reason() const { return m_reason; }

private:
    QString m_file;
    int m_line;
    QString m_reason;
};

// The five tables, empty, in `folder`, which is made when missing.
void createTables(const QString &folder);

// The help pages beside the tables of a folder the tool made: whatever `helpFolder` holds and
// `folder` lacks, never over a file of the same name. Returns an empty text, or why the help
// could not be put there, in Spanish; the tables stand either way.
QString addHelp(const QString &helpFolder, const QString &folder);

// The three catalogue tables filled from Flores.csv, Sintomas.csv and Rel.csv in `csvFolder`,
// and the two working tables empty. The files are UTF-8, with or without a byte order mark,
// comma separated with RFC 4180 quoting, CRLF or LF, and start with a header row naming the
// columns:
//   Flores.csv    Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto
//   Sintomas.csv  Clave,Nom,Orden
//   Rel.csv       KFlor,KSint,OSint
// Keys are kept as given. An empty text, number or Foto is stored as empty (NULL). Foto names
// a picture file relative to `csvFolder`, in any format the program reads; it is stored as
// PNG. Line breaks inside texts are stored as LF. Every row is checked before anything is
// written; the first fault stops the import with an CsvError.
void importCsv(const QString &csvFolder, const QString &folder);

// The reverse of importCsv: the three CSV files and the photos as fotos/<Clave>.png in
// `csvFolder` (made when missing). Written as UTF-8 without a byte order mark, rows ended by
// CRLF, fields quoted only where RFC 4180 needs it (and around leading or trailing blanks).
// Refuses to replace any file that exists already.
void exportCsv(const QString &folder, const QString &csvFolder);

// A made-up catalogue of the given size with Spanish-looking texts: keys 1..n, flowers spread
// over the thirteen systems, every symptom linked to `linksPerSymptom` distinct flowers.
// The same arguments always give the same rows.
void generateSynthetic(const QString &folder, int flowers, int symptoms, int linksPerSymptom, quint32 seed);

struct RowCounts
{
    qint64 flowers = 0;
    qint64 symptoms = 0;
    qint64 links = 0;
};

// What a migration brought over, and what it changed or left out, one Spanish line each.
struct MigrationReport
{
    qint64 flowers = 0;
    qint64 photos = 0;
    qint64 symptoms = 0;
    qint64 links = 0;
    bool settingsCopied = false;  // Config.Dat
    qint64 storedSelections = -1; // files copied from Repertorio; -1 when there was no such folder
    QStringList decrypted;        // tables that were protected by the password
    QStringList notes;
};

// The catalogue kept in the old Paradox tables Flores.db, Sintomas.db and Rel.db of `oldFolder`
// (file names in any case, memos and photos in their .MB files) made into the five tables in
// `folder`, together with copies of Config.Dat and of the Repertorio folder. Texts come from
// Windows-1252, memo line breaks become LF and photos PNG; keys are kept, so the counters go
// on after the highest one. `password` opens tables that are protected. Everything is read and
// checked before anything is written, and the first fault throws store::Error "archivo: motivo"
// leaving `folder` as it was; links to flowers or symptoms that do not exist, and repeated
// links, are left out and reported. The old files are only read.
MigrationReport migrateParadox(const QString &oldFolder, const QString &folder, const std::optional<QString> &password);

// The problems found in the five tables of `folder`: files that are missing or not ours,
// fields, indexes and integrity, then the data (systems, text sizes and characters, photos,
// links to missing flowers or symptoms, repeated links). Empty when all is sound.
QStringList verifyTables(const QString &folder, RowCounts *counts = nullptr);

} // namespace tabletool
