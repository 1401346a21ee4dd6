#include "tablefolder.h"

#include "catalogue/tabledefinitions.h"
#include "reasons.h"
#include "store/error.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tabletool {
namespace {

// Written in the work folder once all five tables there are complete.
const QString kCompleteMark = QStringLiteral("complete");

InstallStepHook g_stepHook = nullptr;

void step(const QString &what)
{
    if (g_stepHook)
        g_stepHook(what.toUtf8().constData());
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Everything a run may leave in a work folder: the tables, the journals SQLite keeps while it
// creates them, and the mark.
QStringList workFiles()
{
    QStringList names{kCompleteMark};
    for (const store::TableDef &def : catalogue::allTableDefs())
        for (const char *suffix : {"", "-journal", "-wal", "-shm"})
            names << def.fileName() + QLatin1String(suffix);
    return names;
}

void writeMark(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        failWith(QStringLiteral("No se puede escribir %1").arg(shown(path)), errno);
    ::close(fd);
    syncFile(path);
}

// The tables of a marked work folder moved into `folder`; none is moved if any is in the way.
void finishMarkedInstall(const QString &work, const QString &folder)
{
    const std::vector<store::TableDef> defs = catalogue::allTableDefs();
    for (const store::TableDef &def : defs)
        if (QFileInfo::exists(tablePath(work, def)) && QFileInfo(tablePath(folder, def)).exists())
            throw store::Error(QStringLiteral("En %1 quedó a medias la instalación de unas tablas (%2), que no se "
                                              "puede terminar porque ya existe %3; revise la carpeta")
                                   .arg(shown(folder), QFileInfo(work).fileName(), def.fileName()));
    for (const store::TableDef &def : defs) {
        if (!QFileInfo::exists(tablePath(work, def)))
            continue;
        if (!moveNoReplace(tablePath(work, def), tablePath(folder, def)))
            failWith(QStringLiteral("No se puede poner la tabla %1 en %2").arg(def.fileName(), shown(folder)), errno);
    }
    syncFolder(folder);
}

} // namespace

void setInstallStepHook(InstallStepHook hook)
{
    g_stepHook = hook;
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
                    .arg(shown(path)));
    }
}

QStringList interruptedInstalls(const QString &folder)
{
    QStringList marked;
    for (const QString &work : abandonedWork(folder, QString(), true))
        if (QFileInfo::exists(QDir(work).filePath(kCompleteMark)))
            marked << work;
    return marked;
}

void recoverInterruptedInstall(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    const QFileInfo info(clean);
    // Work beside the target is never marked: its rename is the single step that installs it.
    for (const QString &work : abandonedWork(info.path(), info.fileName(), true))
        removeWorkFolder(work, workFiles());
    if (!info.isDir())
        return;
    for (const QString &work : abandonedWork(clean, QString(), true)) {
        if (QFileInfo::exists(QDir(work).filePath(kCompleteMark)))
            finishMarkedInstall(work, clean);
        removeWorkFolder(work, workFiles());
    }
}

NewTableFolder::NewTableFolder(const QString &folder) : m_folder(QDir::cleanPath(folder))
{
    recoverInterruptedInstall(m_folder);
    ensureNoTables(m_folder);
    const QFileInfo info(m_folder);
    if (info.exists() && !info.isDir())
        throw store::Error(QStringLiteral("%1 no es una carpeta").arg(shown(folder)));
    m_inPlace = info.exists();
    if (!m_inPlace)
        m_madeFolders.make(info.path());
    m_work = std::make_unique<WorkFolder>(m_folder, m_inPlace ? QString() : info.fileName());
}

NewTableFolder::~NewTableFolder()
{
    if (!m_installed && m_work)
        m_work->remove(workFiles());
}

store::TableFile NewTableFolder::create(const store::TableDef &def)
{
    store::TableFile table = store::TableFile::create(m_work->filePath(def.fileName()), def);
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
    syncFile(path);
    step(QStringLiteral("written ") + QFileInfo(path).fileName());
}

void NewTableFolder::install()
{
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        if (!QFileInfo::exists(m_work->filePath(def.fileName()))) {
            store::TableFile table = create(def);
            finish(table);
        }
    }
    syncFolder(m_work->path());
    if (m_inPlace) {
        installInPlace();
        return;
    }
    if (!moveNoReplace(m_work->path(), m_folder)) {
        if (errno == EEXIST || errno == ENOTEMPTY)
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe").arg(shown(m_folder)));
        failWith(QStringLiteral("No se pueden poner las tablas en %1").arg(shown(m_folder)), errno);
    }
    m_work->forget();
    m_installed = true;
    m_madeFolders.keep();
    syncFolder(QFileInfo(m_folder).path());
    step(QStringLiteral("renamed"));
}

void NewTableFolder::installInPlace()
{
    ensureNoTables(m_folder);
    const QString mark = m_work->filePath(kCompleteMark);
    writeMark(mark);
    syncFolder(m_work->path());
    step(QStringLiteral("marked"));
    QStringList moved;
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        if (!moveNoReplace(m_work->filePath(def.fileName()), tablePath(m_folder, def))) {
            const int error = errno;
            // Back where they were, so that the target holds none of the five again.
            for (const QString &name : std::as_const(moved))
                moveNoReplace(QDir(m_folder).filePath(name), m_work->filePath(name));
            ::unlink(QFile::encodeName(mark).constData());
            if (error == EEXIST)
                throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe ninguna tabla")
                                       .arg(shown(tablePath(m_folder, def))));
            failWith(QStringLiteral("No se puede poner la tabla %1 en %2").arg(def.fileName(), shown(m_folder)), error);
        }
        moved << def.fileName();
        step(QStringLiteral("moved ") + def.fileName());
    }
    syncFolder(m_folder);
    m_installed = true;
    ::unlink(QFile::encodeName(mark).constData());
    step(QStringLiteral("unmarked"));
    m_work->remove(workFiles());
}

} // namespace tabletool
