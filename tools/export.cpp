#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "csvwriter.h"
#include "filesystem.h"
#include "picture.h"
#include "reasons.h"
#include "tablefolder.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace tabletool {
namespace {

constexpr qsizetype kFlushSize = 1 << 20;
const char *const kCsvNames[] = {"Flores.csv", "Sintomas.csv", "Rel.csv"};

// One CSV file, written aside and put in place only when complete.
class CsvOutput
{
public:
    explicit CsvOutput(const QString &path) : m_file(path) { }

    void row(const QStringList &fields)
    {
        appendRow(m_buffer, fields);
        if (m_buffer.size() > kFlushSize)
            flush();
    }

    void close()
    {
        flush();
        m_file.commit();
    }

private:
    void flush()
    {
        m_file.write(m_buffer);
        m_buffer.clear();
    }

    NewFile m_file;
    QByteArray m_buffer;
};

// Files written so far, removed again if the export does not finish.
struct WrittenFiles
{
    QStringList files;
    bool finished = false;
    ~WrittenFiles()
    {
        if (finished)
            return;
        for (const QString &f : std::as_const(files))
            QFile::remove(f);
    }
};

QString number(const store::Statement &st, int col)
{
    return st.isNull(col) ? QString() : QString::number(st.integer(col));
}

store::TableFile openTable(const QString &folder, const store::TableDef &def)
{
    return store::TableFile::open(tablePath(folder, def), def, store::TableFile::Durability::Full);
}

// Hidden files of exports that were killed half-way.
void removeAbandonedFiles(const QString &folder, const QStringList &names)
{
    for (const QString &name : names)
        for (const QString &file : abandonedWork(folder, name, false))
            QFile::remove(file);
}

void writeFlowers(store::TableFile &table, const QDir &target, MadeFolders &madeFolders, WrittenFiles &written)
{
    const QString photoFolder = target.filePath(QStringLiteral("fotos"));
    CsvOutput csv(target.filePath(QStringLiteral("Flores.csv")));
    csv.row({QStringLiteral("Clave"), QStringLiteral("Tipo"), QStringLiteral("Nom1"), QStringLiteral("Nom2"),
             QStringLiteral("Nom3"), QStringLiteral("Memo1"), QStringLiteral("Memo2"), QStringLiteral("Memo3"),
             QStringLiteral("Foto")});
    store::Statement st = table.prepare(QStringLiteral(
        "SELECT Clave, Tipo, Nom1, Nom2, Nom3, Memo1, Memo2, Memo3, Foto FROM Flores ORDER BY Clave"));
    bool photoFolderReady = false;
    while (st.step()) {
        QStringList fields{number(st, 0)};
        for (int c = 1; c <= 7; ++c)
            fields << st.text(c);
        QString photoName;
        if (!st.isNull(8)) {
            const qint64 key = st.integer(0);
            if (!photoFolderReady) {
                madeFolders.make(photoFolder);
                removeAbandonedFiles(photoFolder, {QStringLiteral("*")});
                photoFolderReady = true;
            }
            photoName = QStringLiteral("fotos/%1.png").arg(key);
            const QString path = target.filePath(photoName);
            if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
                throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(QDir::toNativeSeparators(path)));
            NewFile file(path);
            const QByteArray png = asPng(st.blob(8));
            if (png.isEmpty())
                throw store::Error(QStringLiteral("La foto de la flor %1 no es una imagen").arg(key));
            file.write(png);
            file.commit();
            written.files << path;
        }
        fields << photoName;
        csv.row(fields);
    }
    csv.close();
    written.files << target.filePath(QStringLiteral("Flores.csv"));
}

} // namespace

void exportCsv(const QString &folder, const QString &csvFolder)
{
    withSpanishErrors([&] {
        store::TableFile flowerTable = openTable(folder, catalogue::floresDef());
        store::TableFile symptomTable = openTable(folder, catalogue::sintomasDef());
        store::TableFile linkTable = openTable(folder, catalogue::relDef());

        const QDir target(csvFolder);
        for (const char *name : kCsvNames) {
            const QString path = target.filePath(QLatin1String(name));
            if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
                throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(QDir::toNativeSeparators(path)));
        }
        MadeFolders madeFolders;
        madeFolders.make(csvFolder);
        QStringList csvNames;
        for (const char *name : kCsvNames)
            csvNames << QLatin1String(name);
        removeAbandonedFiles(csvFolder, csvNames);

        WrittenFiles written;
        writeFlowers(flowerTable, target, madeFolders, written);
        {
            CsvOutput csv(target.filePath(QStringLiteral("Sintomas.csv")));
            csv.row({QStringLiteral("Clave"), QStringLiteral("Nom"), QStringLiteral("Orden")});
            store::Statement st =
                symptomTable.prepare(QStringLiteral("SELECT Clave, Nom, Orden FROM Sintomas ORDER BY Clave"));
            while (st.step())
                csv.row({number(st, 0), st.text(1), number(st, 2)});
            csv.close();
            written.files << target.filePath(QStringLiteral("Sintomas.csv"));
        }
        {
            // In the order the links were made, so that importing them again rebuilds the same table.
            CsvOutput csv(target.filePath(QStringLiteral("Rel.csv")));
            csv.row({QStringLiteral("KFlor"), QStringLiteral("KSint"), QStringLiteral("OSint")});
            store::Statement st = linkTable.prepare(QStringLiteral("SELECT KFlor, KSint, OSint FROM Rel ORDER BY rowid"));
            while (st.step())
                csv.row({number(st, 0), number(st, 1), number(st, 2)});
            csv.close();
            written.files << target.filePath(QStringLiteral("Rel.csv"));
        }
        written.finished = true;
        madeFolders.keep();
        syncFolder(csvFolder);
    });
}

} // namespace tabletool
