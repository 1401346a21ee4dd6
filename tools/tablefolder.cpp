#include "tablefolder.h"

#include "catalogue/tabledefinitions.h"
#include "store/error.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace tabletool {
namespace {

} // namespace

QString describirCaracter(QStringView texto, qsizetype pos)
{
    char32_t codigo = texto[pos].unicode();
    QString visible(texto[pos]);
    if (texto[pos].isHighSurrogate() && pos + 1 < texto.size() && texto[pos + 1].isLowSurrogate()) {
        codigo = QChar::surrogateToUcs4(texto[pos], texto[pos + 1]);
        visible = texto.mid(pos, 2).toString();
    }
    if (codigo < 0x20 || (codigo >= 0x7F && codigo < 0xA0))
        return QStringLiteral("U+%1").arg(uint(codigo), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("«%1» (U+%2)").arg(visible).arg(uint(codigo), 4, 16, QLatin1Char('0')).toUpper();
}

qsizetype caracterDeControl(QStringView texto, bool admiteSaltos)
{
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const char16_t c = texto[i].unicode();
        if (c >= 0x20 && c != 0x7F)
            continue;
        if (admiteSaltos && (c == '\n' || c == '\r' || c == '\t'))
            continue;
        return i;
    }
    return -1;
}

bool tipoValido(const QString &tipo)
{
    if (tipo.isEmpty() || tipo.size() > 2 || tipo.front() == QLatin1Char('0'))
        return false;
    int n = 0;
    for (QChar c : tipo) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        n = n * 10 + (c.unicode() - '0');
    }
    return n >= 1 && n <= 13;
}

QString rutaTabla(const QString &carpeta, const store::TableDef &def)
{
    return QDir(carpeta).filePath(def.fileName());
}

QString sqlInsertar(const store::TableDef &def)
{
    QStringList campos, marcas;
    for (const store::FieldDef &f : def.fields) {
        campos << QLatin1Char('"') + f.name + QLatin1Char('"');
        marcas << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
        .arg(def.tableName, campos.join(QStringLiteral(", ")), marcas.join(QStringLiteral(", ")));
}

void comprobarDestinoLibre(const QString &carpeta)
{
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        const QString ruta = rutaTabla(carpeta, def);
        // A dangling link or a folder under the name counts too: nothing is put in its place.
        if (QFileInfo::exists(ruta) || QFileInfo(ruta).isSymLink())
            throw store::Error(
                QStringLiteral("Ya existe %1: no se sobrescribe ninguna tabla; elija una carpeta sin tablas")
                    .arg(QDir::toNativeSeparators(ruta)));
    }
}

NewTableFolder::NewTableFolder(const QString &carpeta) : m_carpeta(carpeta)
{
    comprobarDestinoLibre(carpeta);
    QDir dir(carpeta);
    if (!dir.exists()) {
        if (!QDir().mkpath(carpeta))
            throw store::Error(QStringLiteral("No se puede crear la carpeta %1").arg(carpeta));
        m_carpetaCreada = true;
    }
    m_temporal = std::make_unique<QTemporaryDir>(dir.filePath(QStringLiteral(".vantolia-tablas-XXXXXX")));
    if (!m_temporal->isValid()) {
        const QString motivo = m_temporal->errorString();
        m_temporal.reset();
        if (m_carpetaCreada)
            QDir().rmdir(carpeta);
        throw store::Error(QStringLiteral("No se puede escribir en la carpeta %1: %2").arg(carpeta, motivo));
    }
}

NewTableFolder::~NewTableFolder()
{
    m_temporal.reset();
    if (!m_instalada && m_carpetaCreada)
        QDir().rmdir(m_carpeta);
}

store::TableFile NewTableFolder::crear(const store::TableDef &def)
{
    store::TableFile table = store::TableFile::create(rutaTabla(m_temporal->path(), def), def);
    table.exec(QStringLiteral("PRAGMA journal_mode = OFF"));
    table.exec(QStringLiteral("PRAGMA synchronous = OFF"));
    table.exec(QStringLiteral("PRAGMA cache_size = -131072"));
    QStringList nombres, indices;
    {
        store::Statement st = table.prepare(
            QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"));
        while (st.step()) {
            nombres << st.text(0);
            indices << st.text(1);
        }
    }
    for (const QString &nombre : std::as_const(nombres))
        table.exec(QStringLiteral("DROP INDEX \"%1\"").arg(nombre));
    m_indicesPendientes.emplace_back(table.path(), indices);
    return table;
}

void NewTableFolder::terminar(store::TableFile &table)
{
    const QString ruta = table.path();
    for (auto &[archivo, indices] : m_indicesPendientes) {
        if (archivo != ruta)
            continue;
        for (const QString &sql : std::as_const(indices))
            table.exec(sql);
        indices.clear();
    }
    // Closing the file, then making sure it reached the disk: it was written without syncs.
    { store::TableFile cerrada = std::move(table); }
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly) || ::fsync(archivo.handle()) != 0)
        throw store::Error(QStringLiteral("No se puede guardar la tabla %1").arg(QFileInfo(ruta).fileName()));
}

void NewTableFolder::instalar()
{
    const std::vector<store::TableDef> defs = catalogue::allTableDefs();
    for (const store::TableDef &def : defs) {
        if (!QFileInfo::exists(rutaTabla(m_temporal->path(), def))) {
            store::TableFile table = crear(def);
            terminar(table);
        }
    }
    QStringList movidas;
    for (const store::TableDef &def : defs) {
        const QString destino = rutaTabla(m_carpeta, def);
        // rename never replaces an existing file, so a table that appeared meanwhile is kept.
        if (!QFile::rename(rutaTabla(m_temporal->path(), def), destino)) {
            for (const QString &hecha : std::as_const(movidas))
                QFile::remove(hecha);
            throw store::Error(QStringLiteral("No se puede poner la tabla %1 en %2")
                                        .arg(def.fileName(), QDir::toNativeSeparators(m_carpeta)));
        }
        movidas << destino;
    }
    m_instalada = true;
}

} // namespace tabletool
