#pragma once

#include "store/tabledef.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

#include <vector>

class Catalogue;

// The fixture catalogue of tests/data (nine flowers, fourteen symptoms, eighteen links, one
// photo), imported into `folder` by the same code as the command-line tool. Returns the folder;
// throws store::Error when the import fails.
QString importFixture(const QString &folder);

// A temporary folder holding the fixture tables, made the process's current folder (where the
// application looks for its tables) for as long as this object lives.
class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// A file's bytes; a test that cannot read or write its own files stops at once.
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &data);
// Every name in a folder, hidden ones included, sorted.
QStringList folderEntries(const QString &folder);

// Every stored value of a table in file order, pictures as their bytes.
using TableRows = QList<QVariantList>;
TableRows dumpTable(const QString &folder, const store::TableDef &def);
// Puts the symptoms with these keys into the selection, in one go.
void chooseSymptoms(Catalogue &catalogue, const std::vector<qint32> &keys);

// The text of each page of a PDF file as pdftotext (poppler-utils) reads it keeping the layout,
// line after line, blanks and line breaks folded to single blanks. Empty when the tool cannot
// read the file.
QStringList pdfPages(const QString &path);

// The page size pdfinfo names, "A4" or "letter", with the page's width and height in points.
QString pdfPageSize(const QString &path);
