#include "tablefolder.h"

#include "catalogue/tabledefinitions.h"
#include "store/error.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace tabletool {

QString describeCharacter(QStringView text, qsizetype pos)
{
    char32_t code = text[pos].unicode();
    QString visible(text[pos]);
    if (text[pos].isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[pos], text[pos + 1]);
        visible = text.mid(pos, 2).toString();
    }
    if (code < 0x20 || (code >= 0x7F && code < 0xA0))
        return QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("«%1» (U+%2)").arg(visible).arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}

qsizetype controlCharacter(QStringView text, bool allowBreaks)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c != 0x7F)
            continue;
        if (allowBreaks && (c == '\n' || c == '\r' || c == '\t'))
            continue;
        return i;
    }
    return -1;
}

bool isSystemNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 2 || text.front() == QLatin1Char('0'))
        return false;
    int n = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        n = n * 10 + (c.unicode() - '0');
    }
    return n >= 1 && n <= 13;
}

QString tablePath(const QString &folder, const store::TableDef &def)
{
    return QDir(folder).filePath(def.fileName());
}

QString insertSql(const store::TableDef &def)
{
    QStringList fields, marks;
    for (const store::FieldDef &f : def.fields) {
        fields << QLatin1Char('"') + f.name + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
        .arg(def.tableName, fields.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

void ensureNoTables(const QString &folder)
{
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        const QString path = tablePath(folder, def);
        // A dangling link or a folder under the name counts too: nothing is put in its place.
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            throw store::Error(
                QStringLiteral("Ya existe %1: no se sobrescribe ninguna tabla; elija una carpeta sin tablas")
                    .arg(QDir::toNativeSeparators(path)));
    }
}

NewTableFolder::NewTableFolder(const QString &folder) : m_folder(folder)
{
    ensureNoTables(folder);
    QDir dir(folder);
    if (!dir.exists()) {
        if (!QDir().mkpath(folder))
            throw store::Error(QStringLiteral("No se puede crear la carpeta %1").arg(folder));
        m_madeFolder = true;
    }
    m_temporary = std::make_unique<QTemporaryDir>(dir.filePath(QStringLiteral(".vantolia-tablas-XXXXXX")));
    if (!m_temporary->isValid()) {
        const QString reason = m_temporary->errorString();
        m_temporary.reset();
        if (m_madeFolder)
            QDir().rmdir(folder);
        throw store::Error(QStringLiteral("No se puede escribir en la carpeta %1: %2").arg(folder, reason));
    }
}

NewTableFolder::~NewTableFolder()
{
    m_temporary.reset();
    if (!m_installed && m_madeFolder)
        QDir().rmdir(m_folder);
}

store::TableFile NewTableFolder::create(const store::TableDef &def)
{
    store::TableFile table = store::TableFile::create(tablePath(m_temporary->path(), def), def);
    table.exec(QStringLiteral("PRAGMA journal_mode = OFF"));
    table.exec(QStringLiteral("PRAGMA synchronous = OFF"));
    table.exec(QStringLiteral("PRAGMA cache_size = -131072"));
    QStringList names, indexes;
    {
        store::Statement st = table.prepare(
            QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"));
        while (st.step()) {
            names << st.text(0);
            indexes << st.text(1);
        }
    }
    for (const QString &name : std::as_const(names))
        table.exec(QStringLiteral("DROP INDEX \"%1\"").arg(name));
    m_pendingIndexes.emplace_back(table.path(), indexes);
    return table;
}

void NewTableFolder::finish(store::TableFile &table)
{
    const QString path = table.path();
    for (auto &[file, indexes] : m_pendingIndexes) {
        if (file != path)
            continue;
        for (const QString &sql : std::as_const(indexes))
            table.exec(sql);
        indexes.clear();
    }
    // Closing the file, then making sure it reached the disk: it was written without syncs.
    { store::TableFile closed = std::move(table); }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || ::fsync(file.handle()) != 0)
        throw store::Error(QStringLiteral("No se puede guardar la tabla %1").arg(QFileInfo(path).fileName()));
}

void NewTableFolder::install()
{
    const std::vector<store::TableDef> defs = catalogue::allTableDefs();
    for (const store::TableDef &def : defs) {
        if (!QFileInfo::exists(tablePath(m_temporary->path(), def))) {
            store::TableFile table = create(def);
            finish(table);
        }
    }
    QStringList moved;
    for (const store::TableDef &def : defs) {
        const QString target = tablePath(m_folder, def);
        // rename never replaces an existing file, so a table that appeared meanwhile is kept.
        if (!QFile::rename(tablePath(m_temporary->path(), def), target)) {
            for (const QString &done : std::as_const(moved))
                QFile::remove(done);
            throw store::Error(QStringLiteral("No se puede poner la tabla %1 en %2")
                                        .arg(def.fileName(), QDir::toNativeSeparators(m_folder)));
        }
        moved << target;
    }
    m_installed = true;
}

} // namespace tabletool
