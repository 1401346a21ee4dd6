#include "batch.h"

#include "error.h"
#include "regularfile.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>

namespace store {
namespace {

// The files of other tables joined to one connection for as long as this lives.
class Attachments
{
public:
    explicit Attachments(TableFile &host) : m_host(host) { }
    ~Attachments()
    {
        for (const QString &name : m_names)
            sqlite3_exec(m_host.handle(), QStringLiteral("DETACH DATABASE \"%1\"").arg(name).toUtf8().constData(),
                         nullptr, nullptr, nullptr);
    }
    Attachments(const Attachments &) = delete;
    Attachments &operator=(const Attachments &) = delete;

    // The schema name under which `table`'s file is reached from the host.
    QString schemaOf(const Table &table, const QString &path)
    {
        if (path == m_host.path())
            return QStringLiteral("main");
        for (std::size_t i = 0; i < m_paths.size(); ++i)
            if (m_paths[i] == path)
                return m_names[qsizetype(i)];
        const QString name = QStringLiteral("lote%1").arg(m_names.size() + 1);
        Statement attach = m_host.prepare(QStringLiteral("ATTACH DATABASE ? AS \"%1\"").arg(name), table.displayName());
        attach.bindText(1, path);
        attach.run();
        m_names << name;
        m_paths.push_back(path);
        // Catalogue tables wait for the disk at every commit, attached or not.
        m_host.exec(QStringLiteral("PRAGMA \"%1\".synchronous = FULL").arg(name));
        return name;
    }

private:
    TableFile &m_host;
    QStringList m_names;
    std::vector<QString> m_paths;
};

// SQLite names the super-journal of a transaction over several files after the file that led
// it: "-mj", six hex digits, a 9 and two hex digits.
bool isSuperJournalOf(const QString &name, const QString &fileName)
{
    const QString mark = fileName + QStringLiteral("-mj");
    if (name.size() != mark.size() + 9 || !name.startsWith(mark) || name[mark.size() + 6] != u'9')
        return false;
    for (qsizetype i = mark.size(); i < name.size(); ++i)
        if (!QStringLiteral("0123456789ABCDEF").contains(name[i]))
            return false;
    return true;
}

// A kill while a transaction over several files commits can leave its super-journal, the list
// of their journals, with no journal pointing to it; SQLite then never removes it. Called with
// the write lock of every file of the batch held, so their own journals have been played back
// and no other run can be committing through a super-journal named after `host`. One is
// removed when no journal it lists could still be played back; while one could, SQLite removes
// it itself once it plays that journal back.
void removeAbandonedSuperJournals(const QString &host)
{
    static constexpr char kJournalMark[] = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
    constexpr qint64 kListLimit = 1 << 16;
    const QFileInfo hostFile(host);
    const QDir folder = hostFile.absoluteDir();
    const QStringList found = folder.entryList({hostFile.fileName() + QStringLiteral("-mj*")},
                                               QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : found) {
        if (!isSuperJournalOf(name, hostFile.fileName()))
            continue;
        const QByteArray path = nativePath(folder.filePath(name));
        try {
            const RegularFileRead list = readRegularFile(path, kListLimit);
            if (list.kind != RegularFileRead::Regular || list.size > kListLimit)
                continue;
            bool needed = false;
            for (const QByteArray &journal : list.bytes.split('\0'))
                if (!journal.isEmpty() && readRegularFile(journal, 8).bytes == QByteArray(kJournalMark, 8))
                    needed = true;
            if (!needed)
                ::unlink(path.constData());
        } catch (const Error &) {
            // Unreadable, it is left: it is not the batch's business to fail for it.
        }
    }
}

} // namespace

void Batch::remove(Table &table, std::vector<Slot> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    m_steps.push_back({&table, std::move(rows), nullptr});
}

void Batch::insert(Table &table, std::vector<Record> &records)
{
    m_steps.push_back({&table, {}, &records});
}

void Batch::check()
{
    for (const Step &step : m_steps) {
        const Table &table = *step.table;
        if (table.writesBehind())
            throw Error(QStringLiteral("La tabla %1 no admite cambios en lote").arg(table.displayName()));
        for (const Slot s : step.removed)
            if (!table.isAlive(s))
                throw Error(QStringLiteral("La fila que se iba a borrar de la tabla %1 ya no existe").arg(table.displayName()));
        if (step.added) {
            for (const Record &r : *step.added)
                table.validate(r);
            table.requireKeysToWrite(*step.added);
        }
    }
}

void Batch::write(std::vector<std::vector<qint64>> &rowids)
{
    Table &hostTable = *m_steps.front().table;
    TableFile &host = hostTable.m_file;
    Attachments attached(host);
    std::vector<QString> schemas;
    for (const Step &step : m_steps)
        schemas.push_back(attached.schemaOf(*step.table, step.table->m_file.path()));

    // Which records were left for the file to give a key, so that a rollback takes it back.
    std::vector<std::vector<bool>> keyless(m_steps.size());
    host.begin();
    try {
        removeAbandonedSuperJournals(host.path());
        for (std::size_t i = 0; i < m_steps.size(); ++i) {
            Step &step = m_steps[i];
            Table &table = *step.table;
            const bool own = &table == &hostTable;
            if (!step.removed.empty()) {
                std::optional<Statement> prepared;
                if (!own)
                    prepared = host.prepare(table.deleteSql(schemas[i]), table.displayName());
                Statement &del = own ? table.deleteStatement() : *prepared;
                for (const Slot s : step.removed) {
                    del.bindInt(1, table.rowidOf(s));
                    del.run();
                }
            }
            if (step.added) {
                std::optional<Statement> prepared;
                if (!own)
                    prepared = host.prepare(table.insertSql(schemas[i]), table.displayName());
                Statement &ins = own ? table.insertStatement() : *prepared;
                for (Record &r : *step.added) {
                    const int key = table.primaryField();
                    keyless[i].push_back(key >= 0 && r.values[std::size_t(key)].isNull());
                    rowids[i].push_back(table.writeInsert(ins, r));
                }
            }
        }
        host.commit();
    } catch (...) {
        host.rollback();
        for (std::size_t i = 0; i < m_steps.size(); ++i)
            for (std::size_t r = 0; r < keyless[i].size(); ++r)
                if (keyless[i][r])
                    (*m_steps[i].added)[r].values[std::size_t(m_steps[i].table->primaryField())] = QVariant();
        throw;
    }
}

void Batch::commit()
{
    const std::vector<Step> given = std::move(m_steps);
    m_steps.clear();
    for (const Step &step : given)
        if (!step.removed.empty() || (step.added && !step.added->empty()))
            m_steps.push_back(step);
    if (m_steps.empty())
        return;
    check();
    std::vector<std::vector<qint64>> rowids(m_steps.size());
    write(rowids);
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
        Table &table = *m_steps[i].table;
        table.forget(m_steps[i].removed);
        if (m_steps[i].added)
            table.storeMany(*m_steps[i].added, rowids[i]);
    }
    m_steps.clear();
}

} // namespace store
