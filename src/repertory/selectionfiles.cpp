#include "selectionfiles.h"

#include "store/codepage.h"

#include "store/collation.h"
#include "store/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <unordered_set>

namespace repertory {
namespace {

constexpr qsizetype kRegistro = 4;
constexpr qint64 kBloque = 64 * 1024;

QString conSeparadores(std::initializer_list<QString> partes)
{
    QStringList lista(partes);
    return lista.join(QDir::separator());
}

// Lines as the companion application's text files end them: CR LF, CR or LF. A break at the
// very end starts no further line.
QStringList lineas(const QString &texto)
{
    QStringList resultado;
    qsizetype inicio = 0;
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        if (c != u'\r' && c != u'\n')
            continue;
        resultado << texto.mid(inicio, i - inicio);
        if (c == u'\r' && i + 1 < texto.size() && texto[i + 1] == u'\n')
            ++i;
        inicio = i + 1;
    }
    if (inicio < texto.size())
        resultado << texto.mid(inicio);
    return resultado;
}

} // namespace

QString repertoryFolder()
{
    return QStringLiteral("Repertorio");
}

QString repertoryPath(const QString &nombre)
{
    return conSeparadores({repertoryFolder(), nombre + QStringLiteral(".Dat")});
}

QString patientPath(int numero)
{
    return repertoryPath(QStringLiteral("{%1}").arg(numero));
}

QString patientFilePath()
{
    return conSeparadores({QStringLiteral(".."), QStringLiteral("Dorvek"), QStringLiteral("Usuario.$$$")});
}

QByteArray encodeKeys(const std::vector<qint32> &claves)
{
    QByteArray bytes(qsizetype(claves.size()) * kRegistro, Qt::Uninitialized);
    char *p = bytes.data();
    for (const qint32 clave : claves) {
        qToLittleEndian(clave, p);
        p += kRegistro;
    }
    return bytes;
}

std::vector<qint32> decodeKeys(const QByteArray &bytes)
{
    std::vector<qint32> claves;
    const qsizetype n = bytes.size() / kRegistro;
    claves.reserve(std::size_t(n));
    for (qsizetype i = 0; i < n; ++i)
        claves.push_back(qFromLittleEndian<qint32>(bytes.constData() + i * kRegistro));
    return claves;
}

void saveKeys(const QString &ruta, const std::vector<qint32> &claves)
{
    const QString carpeta = QFileInfo(ruta).path();
    if (!QDir().mkpath(carpeta))
        throw store::Error(QStringLiteral("No se pudo crear la carpeta %1").arg(carpeta));
    // The keys go to a new file beside the old one, which is renamed over it once complete.
    // Unbuffered, and written until every byte is taken: a buffered write that fails when the
    // buffer is flushed, or a short write, is not always reported by commit().
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw store::Error(QStringLiteral("No se pudo crear el archivo %1: %2").arg(ruta, archivo.errorString()));
    const QByteArray bytes = encodeKeys(claves);
    for (qint64 escritos = 0; escritos < bytes.size();) {
        const qint64 n = archivo.write(bytes.constData() + escritos, bytes.size() - escritos);
        if (n <= 0) {
            const QString motivo = archivo.errorString();
            archivo.cancelWriting();
            throw store::Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(ruta, motivo));
        }
        escritos += n;
    }
    if (!archivo.commit())
        throw store::Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(ruta, archivo.errorString()));
}

KeysRead readKeys(const QString &ruta)
{
    KeysRead lectura;
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly)) {
        lectura.error = QStringLiteral("No se pudo abrir el archivo %1: %2").arg(ruta, archivo.errorString());
        return lectura;
    }
    QByteArray bytes;
    for (;;) {
        const QByteArray bloque = archivo.read(kBloque);
        if (bloque.isEmpty()) {
            if (archivo.error() != QFileDevice::NoError)
                lectura.error = QStringLiteral("No se pudo leer el archivo %1: %2").arg(ruta, archivo.errorString());
            break;
        }
        bytes += bloque;
    }
    lectura.claves = decodeKeys(bytes);
    return lectura;
}

KeysToLoad keysToLoad(const std::vector<qint32> &leidas, const std::function<bool(qint32)> &existe)
{
    KeysToLoad carga;
    std::unordered_set<qint32> vistas;
    for (const qint32 clave : leidas) {
        if (!existe(clave))
            continue;
        if (!vistas.insert(clave).second) {
            carga.repeated = clave;
            break;
        }
        carga.claves.push_back(clave);
    }
    return carga;
}

bool listsBefore(const QString &a, const QString &b)
{
    if (const int c = store::spanishCompare(a, b))
        return c < 0;
    if (const int c = a.compare(b, Qt::CaseInsensitive))
        return c < 0;
    return a < b;
}

QStringList listFiles(const QString &carpeta)
{
    if (!QDir().mkpath(carpeta))
        throw store::Error(QStringLiteral("No se pudo crear la carpeta %1").arg(carpeta));
    const QString extension = QStringLiteral(".dat");
    const QStringList entradas =
        QDir(carpeta).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    QStringList nombres;
    for (const QString &entrada : entradas) {
        if (!entrada.endsWith(extension, Qt::CaseInsensitive) || entrada.startsWith(u'{'))
            continue;
        const QString nombre = entrada.chopped(extension.size());
        // ".Dat" alone would be an empty name, which cannot be chosen or saved.
        if (!nombre.isEmpty())
            nombres << nombre;
    }
    std::sort(nombres.begin(), nombres.end(), listsBefore);
    return nombres;
}

QString nameRefusal(const QString &nombre)
{
    if (nombre.isEmpty())
        return QStringLiteral("Escriba el nombre con el que se guardará el repertorio");
    if (nombre.contains(u'/') || nombre.contains(u'\\'))
        return QStringLiteral("El nombre del repertorio no puede contener los caracteres / ni \\");
    if (nombre.contains(QStringLiteral("..")))
        return QStringLiteral("El nombre del repertorio no puede contener dos puntos seguidos (..)");
    if (nombre.startsWith(u'{'))
        return QStringLiteral("Los nombres que empiezan con { están reservados para los pacientes");
    if (std::any_of(nombre.begin(), nombre.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
        return QStringLiteral("El nombre del repertorio no puede contener caracteres de control");
    return {};
}

std::optional<Patient> parsePatient(const QByteArray &contenido)
{
    const QStringList l = lineas(codepage::fromWindows1252(contenido));
    if (l.size() < 2)
        return std::nullopt;
    bool ok = false;
    const int numero = l[0].trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return Patient{numero, l[1]};
}

std::optional<Patient> readPatient(const QString &ruta)
{
    if (!QFileInfo::exists(ruta))
        return std::nullopt;
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        throw store::Error(QStringLiteral("No se pudo abrir el archivo %1: %2").arg(ruta, archivo.errorString()));
    const QByteArray contenido = archivo.readAll();
    if (archivo.error() != QFileDevice::NoError)
        throw store::Error(QStringLiteral("No se pudo leer el archivo %1: %2").arg(ruta, archivo.errorString()));
    return parsePatient(contenido);
}

} // namespace repertory
