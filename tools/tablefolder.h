#pragma once

#include "filesystem.h"
#include "store/tabledef.h"
#include "store/tablefile.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Building a folder of tables so that it never holds some of the five and not the others.
namespace tabletool {

QString tablePath(const QString &folder, const store::TableDef &def);
// "INSERT INTO T (every field in order) VALUES (?, ...)".
QString insertSql(const store::TableDef &def);

// Fails, naming the file, when `folder` holds any of the five table files.
void ensureNoTables(const QString &folder);

// Finishes, or clears away, what a run killed while making tables in `folder` left behind:
// five complete tables waiting under the completion mark are moved in; work that never got
// the mark is removed.
void recoverInterruptedInstall(const QString &folder);
// Work folders in `folder` holding five complete tables not yet all moved in.
QStringList interruptedInstalls(const QString &folder);

// The five tables built in a hidden work folder and put in place together at the end.
// When the target does not exist, the work folder sits beside it and is renamed to it in one
// step. When it does, the work folder sits inside it; once all five are complete a mark is
// written, and only then are they moved in, so that a run killed half-way leaves a mark that
// the next run follows. If the work fails, everything made goes again, folders included.
class NewTableFolder
{
public:
    explicit NewTableFolder(const QString &folder);
    ~NewTableFolder();
    NewTableFolder(const NewTableFolder &) = delete;
    NewTableFolder &operator=(const NewTableFolder &) = delete;

    // A new empty table ready for a bulk load: no journal and no waiting for the disk, since a
    // file that fails half-way is thrown away; the secondary indexes are built once at the end,
    // which is much faster than keeping them up to date row by row.
    store::TableFile create(const store::TableDef &def);
    // Builds the deferred indexes, closes the file and flushes it to disk.
    void finish(store::TableFile &table);

    // A whole table: `fillRows` gets the prepared INSERT of every field and runs it for each
    // row, all in one transaction.
    template <typename Fill>
    void fill(const store::TableDef &def, Fill fillRows)
    {
        store::TableFile table = create(def);
        {
            store::Statement insert = table.prepare(insertSql(def));
            table.begin();
            fillRows(insert);
            table.commit();
        }
        finish(table);
    }

    // Creates whatever tables were not made yet, empty, and puts all five into the target.
    void install();

private:
    void installInPlace();

    QString m_folder;
    bool m_inPlace = false;
    bool m_installed = false;
    MadeFolders m_madeFolders;
    std::unique_ptr<WorkFolder> m_work;
    std::vector<std::pair<QString, QStringList>> m_pendingIndexes; // file, CREATE INDEX sql
};

// A text, or NULL when it is empty; a number, or NULL when there is none.
inline void bindTextOrNull(store::Statement &st, int i, const QString &text)
{
    if (text.isEmpty())
        st.bindNull(i);
    else
        st.bindText(i, text);
}

inline void bindIntOrNull(store::Statement &st, int i, const std::optional<qint64> &value)
{
    if (value)
        st.bindInt(i, *value);
    else
        st.bindNull(i);
}

// Every row into a new table of `tables`, through one statement in one transaction; `bind`
// sets the statement's values for a row.
template <typename Row, typename Bind>
void fillRows(NewTableFolder &tables, const store::TableDef &def, const std::vector<Row> &rows, Bind bind)
{
    tables.fill(def, [&](store::Statement &insert) {
        for (const Row &row : rows) {
            bind(insert, row);
            insert.run();
        }
    });
}

// For tests that stop a run the way a kill would: called at each step of making and putting
// the tables in place ("Flores.db hecha", "marca escrita", "Flores.db movida", ...).
using InstallStepHook = void (*)(const char *step);
void setInstallStepHook(InstallStepHook hook);

} // namespace tabletool
