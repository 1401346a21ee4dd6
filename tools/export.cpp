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

constexpr qsizetype kVolcado = 1 << 20;

// RFC 4180 quoting, also around leading or trailing blanks, which some readers would drop.
void agregarCampo(QByteArray &linea, const QString &texto)
{
    const bool comillas = texto.contains(QLatin1Char(',')) || texto.contains(QLatin1Char('"'))
        || texto.contains(QLatin1Char('\n')) || texto.contains(QLatin1Char('\r'))
        || (!texto.isEmpty() && (texto.front().isSpace() || texto.back().isSpace()));
    if (!comillas) {
        linea += texto.toUtf8();
        return;
    }
    QString doble = texto;
    doble.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    linea += '"';
    linea += doble.toUtf8();
    linea += '"';
}

// One CSV file, written aside and put in place only when complete.
class Salida
{
public:
    Salida(const QString &ruta) : m_archivo(ruta)
    {
        if (QFileInfo::exists(ruta))
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(QDir::toNativeSeparators(ruta)));
        if (!m_archivo.open(QIODevice::WriteOnly))
            throw store::Error(QStringLiteral("No se puede escribir %1: %2").arg(ruta, m_archivo.errorString()));
    }

    void fila(const QStringList &campos)
    {
        for (qsizetype i = 0; i < campos.size(); ++i) {
            if (i > 0)
                m_buffer += ',';
            agregarCampo(m_buffer, campos[i]);
        }
        m_buffer += "\r\n";
        if (m_buffer.size() > kVolcado)
            volcar();
    }

    void close()
    {
        volcar();
        if (!m_archivo.commit())
            throw store::Error(
                QStringLiteral("No se puede escribir %1: %2").arg(m_archivo.fileName(), m_archivo.errorString()));
    }

private:
    void volcar()
    {
        if (m_archivo.write(m_buffer) != m_buffer.size())
            throw store::Error(
                QStringLiteral("No se puede escribir %1: %2").arg(m_archivo.fileName(), m_archivo.errorString()));
        m_buffer.clear();
    }

    QSaveFile m_archivo;
    QByteArray m_buffer;
};

// Files written so far, removed again if the export does not finish.
struct Escritos
{
    QStringList archivos;
    QString carpetaFotos;
    bool terminado = false;
    ~Escritos()
    {
        if (terminado)
            return;
        for (const QString &a : std::as_const(archivos))
            QFile::remove(a);
        if (!carpetaFotos.isEmpty())
            QDir().rmdir(carpetaFotos);
    }
};

QString numero(const store::Statement &st, int col)
{
    return st.isNull(col) ? QString() : QString::number(st.integer(col));
}

QByteArray comoPng(const QByteArray &foto, qint64 clave)
{
    static const QByteArray firma("\x89PNG\r\n\x1a\n", 8);
    if (foto.startsWith(firma))
        return foto;
    const QImage imagen = QImage::fromData(foto);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (imagen.isNull() || !imagen.save(&buffer, "PNG"))
        throw store::Error(QStringLiteral("La foto de la flor %1 no es una imagen").arg(clave));
    return png;
}

store::TableFile open(const QString &carpeta, const store::TableDef &def)
{
    return store::TableFile::open(rutaTabla(carpeta, def), def, store::TableFile::Durability::Full);
}

} // namespace

void exportCsv(const QString &carpeta, const QString &carpetaCsv)
{
    store::TableFile flores = open(carpeta, catalogue::floresDef());
    store::TableFile sintomas = open(carpeta, catalogue::sintomasDef());
    store::TableFile rel = open(carpeta, catalogue::relDef());

    const QDir destino(carpetaCsv);
    for (const char *nombre : {"Flores.csv", "Sintomas.csv", "Rel.csv"}) {
        const QString ruta = destino.filePath(QLatin1String(nombre));
        if (QFileInfo::exists(ruta))
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(QDir::toNativeSeparators(ruta)));
    }
    if (!QDir().mkpath(carpetaCsv))
        throw store::Error(QStringLiteral("No se puede crear la carpeta %1").arg(carpetaCsv));

    Escritos escritos;
    const QString carpetaFotos = destino.filePath(QStringLiteral("fotos"));
    {
        Salida csv(destino.filePath(QStringLiteral("Flores.csv")));
        csv.fila({QStringLiteral("Clave"), QStringLiteral("Tipo"), QStringLiteral("Nom1"), QStringLiteral("Nom2"),
                  QStringLiteral("Nom3"), QStringLiteral("Memo1"), QStringLiteral("Memo2"), QStringLiteral("Memo3"),
                  QStringLiteral("Foto")});
        store::Statement st = flores.prepare(QStringLiteral(
            "SELECT Clave, Tipo, Nom1, Nom2, Nom3, Memo1, Memo2, Memo3, Foto FROM Flores ORDER BY Clave"));
        while (st.step()) {
            QStringList campos{numero(st, 0)};
            for (int c = 1; c <= 7; ++c)
                campos << st.text(c);
            QString nombreFoto;
            if (!st.isNull(8)) {
                const qint64 clave = st.integer(0);
                if (!QFileInfo(carpetaFotos).isDir()) {
                    if (!QDir().mkpath(carpetaFotos))
                        throw store::Error(QStringLiteral("No se puede crear la carpeta %1").arg(carpetaFotos));
                    escritos.carpetaFotos = carpetaFotos;
                }
                nombreFoto = QStringLiteral("fotos/%1.png").arg(clave);
                QFile archivo(destino.filePath(nombreFoto));
                // NewOnly: a photo already there is somebody else's file.
                if (!archivo.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                    throw store::Error(QStringLiteral("No se puede escribir %1: %2")
                                                .arg(QDir::toNativeSeparators(archivo.fileName()), archivo.errorString()));
                escritos.archivos << archivo.fileName();
                const QByteArray png = comoPng(st.blob(8), clave);
                if (archivo.write(png) != png.size() || !archivo.flush())
                    throw store::Error(
                        QStringLiteral("No se puede escribir %1: %2").arg(archivo.fileName(), archivo.errorString()));
            }
            campos << nombreFoto;
            csv.fila(campos);
        }
        csv.close();
        escritos.archivos << destino.filePath(QStringLiteral("Flores.csv"));
    }
    {
        Salida csv(destino.filePath(QStringLiteral("Sintomas.csv")));
        csv.fila({QStringLiteral("Clave"), QStringLiteral("Nom"), QStringLiteral("Orden")});
        store::Statement st = sintomas.prepare(QStringLiteral("SELECT Clave, Nom, Orden FROM Sintomas ORDER BY Clave"));
        while (st.step())
            csv.fila({numero(st, 0), st.text(1), numero(st, 2)});
        csv.close();
        escritos.archivos << destino.filePath(QStringLiteral("Sintomas.csv"));
    }
    {
        // In the order the links were made, so that importing them again rebuilds the same table.
        Salida csv(destino.filePath(QStringLiteral("Rel.csv")));
        csv.fila({QStringLiteral("KFlor"), QStringLiteral("KSint"), QStringLiteral("OSint")});
        store::Statement st = rel.prepare(QStringLiteral("SELECT KFlor, KSint, OSint FROM Rel ORDER BY rowid"));
        while (st.step())
            csv.fila({numero(st, 0), numero(st, 1), numero(st, 2)});
        csv.close();
        escritos.archivos << destino.filePath(QStringLiteral("Rel.csv"));
    }
    escritos.terminado = true;
}

} // namespace tabletool
