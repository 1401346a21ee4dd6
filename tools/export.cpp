#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

namespace tabletool {
namespace {

constexpr qsizetype kFlushSize = 1 << 20;

// RFC 4180 quoting, also around leading or trailing blanks, which some readers would drop.
void appendField(QByteArray &line, const QString &text)
{
    const bool quotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))
        || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quotes) {
        line += text.toUtf8();
        return;
    }
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    line += '"';
    line += doubled.toUtf8();
    line += '"';
}

// One CSV file, written aside and put in place only when complete.
class CsvOutput
{
public:
    CsvOutput(const QString &path) : m_file(path)
    {
        if (QFileInfo::exists(path))
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(QDir::toNativeSeparators(path)));
        if (!m_file.open(QIODevice::WriteOnly))
            throw store::Error(QStringLiteral("No se puede escribir %1: %2").arg(path, m_file.errorString()));
    }

    void row(const QStringList &fields)
    {
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0)
                m_buffer += ',';
            appendField(m_buffer, fields[i]);
        }
        m_buffer += "\r\n";
        if (m_buffer.size() > kFlushSize)
            flush();
    }

    void close()
    {
        flush();
        if (!m_file.commit())
            throw store::Error(
                QStringLiteral("No se puede escribir %1: %2").arg(m_file.fileName(), m_file.errorString()));
    }

private:
    void flush()
    {
        if (m_file.write(m_buffer) != m_buffer.size())
            throw store::Error(
                QStringLiteral("No se puede escribir %1: %2").arg(m_file.fileName(), m_file.errorString()));
        m_buffer.clear();
    }

    QSaveFile m_file;
    QByteArray m_buffer;
};

// Files written so far, removed again if the export does not finish.
struct WrittenFiles
{
    QStringList files;
    QString photoFolder;
    bool finished = false;
    ~WrittenFiles()
    {
        if (finished)
            return;
        for (const QString &f : std::as_const(files))
            QFile::remove(f);
        if (!photoFolder.isEmpty())
            QDir().rmdir(photoFolder);
    }
};

QString number(const store::Statement &st, int col)
{
    return st.isNull(col) ? QString() : QString::number(st.integer(col));
}

QByteArray asPng(const QByteArray &photo, qint64 key)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (photo.startsWith(signature))
        return photo;
    const QImage image = QImage::fromData(photo);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG"))
        throw store::Error(QStringLiteral("La foto de la flor %1 no es una imagen").arg(key));
    return png;
}

store::TableFile openTable(const QString &folder, const store::TableDef &def)
{
    return store::TableFile::open(tablePath(folder, def), def, store::TableFile::Durability::Full);
}

} // namespace

void exportCsv(const QString &folder, const QString &csvFolder)
{
    store::TableFile flowerTable = openTable(folder, catalogue::floresDef());
    store::TableFile symptomTable = openTable(folder, catalogue::sintomasDef());
    store::TableFile linkTable = openTable(folder, catalogue::relDef());

    const QDir target(csvFolder);
    for (const char *name : {"Flores.csv", "Sintomas.csv", "Rel.csv"}) {
        const QString path = target.filePath(QLatin1String(name));
        if (QFileInfo::exists(path))
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(QDir::toNativeSeparators(path)));
    }
    if (!QDir().mkpath(csvFolder))
        throw store::Error(QStringLiteral("No se puede crear la carpeta %1").arg(csvFolder));

    WrittenFiles written;
    const QString photoFolder = target.filePath(QStringLiteral("fotos"));
    {
        CsvOutput csv(target.filePath(QStringLiteral("Flores.csv")));
        csv.row({QStringLiteral("Clave"), QStringLiteral("Tipo"), QStringLiteral("Nom1"), QStringLiteral("Nom2"),
                 QStringLiteral("Nom3"), QStringLiteral("Memo1"), QStringLiteral("Memo2"), QStringLiteral("Memo3"),
                 QStringLiteral("Foto")});
        store::Statement st = flowerTable.prepare(QStringLiteral(
            "SELECT Clave, Tipo, Nom1, Nom2, Nom3, Memo1, Memo2, Memo3, Foto FROM Flores ORDER BY Clave"));
        while (st.step()) {
            QStringList fields{number(st, 0)};
            for (int c = 1; c <= 7; ++c)
                fields << st.text(c);
            QString photoName;
            if (!st.isNull(8)) {
                const qint64 key = st.integer(0);
                if (!QFileInfo(photoFolder).isDir()) {
                    if (!QDir().mkpath(photoFolder))
                        throw store::Error(QStringLiteral("No se puede crear la carpeta %1").arg(photoFolder));
                    written.photoFolder = photoFolder;
                }
                photoName = QStringLiteral("fotos/%1.png").arg(key);
                QFile file(target.filePath(photoName));
                // NewOnly: a photo already there is somebody else's file.
                if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                    throw store::Error(QStringLiteral("No se puede escribir %1: %2")
                                                .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
                written.files << file.fileName();
                const QByteArray png = asPng(st.blob(8), key);
                if (file.write(png) != png.size() || !file.flush())
                    throw store::Error(
                        QStringLiteral("No se puede escribir %1: %2").arg(file.fileName(), file.errorString()));
            }
            fields << photoName;
            csv.row(fields);
        }
        csv.close();
        written.files << target.filePath(QStringLiteral("Flores.csv"));
    }
    {
        CsvOutput csv(target.filePath(QStringLiteral("Sintomas.csv")));
        csv.row({QStringLiteral("Clave"), QStringLiteral("Nom"), QStringLiteral("Orden")});
        store::Statement st = symptomTable.prepare(QStringLiteral("SELECT Clave, Nom, Orden FROM Sintomas ORDER BY Clave"));
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
}

} // namespace tabletool
