#pragma once

#include "store/tabledef.h"
#include "store/tablefile.h"

#include <QString>
#include <QStringView>

#include <memory>

class QTemporaryDir;

// What the commands share: the character set, the flower systems, and building a table folder.
namespace tabletool {

// "«☺» (U+263A)": the character at `pos`, for messages.
QString describeCharacter(QStringView text, qsizetype pos);
// A control character other than tab, CR and LF; -1 when there is none.
qsizetype controlCharacter(QStringView text, bool allowBreaks);

// A flower system number written as the table keeps it: "1" to "13", no zeros or blanks.
bool isSystemNumber(const QString &text);

QString tablePath(const QString &folder, const store::TableDef &def);
// "INSERT INTO T (every field in order) VALUES (?, ...)".
QString insertSql(const store::TableDef &def);

// Fails, naming the file, when `folder` holds any of the five table files.
void ensureNoTables(const QString &folder);

// The five tables built in a hidden temporary folder inside the target and moved in together at
// the end. Until then nothing is visible in the target; if the work fails, the temporary folder
// goes, and so does the target folder when it was made here.
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

    // Creates whatever tables were not made yet, empty, and moves all five into the target.
    void install();

private:
    QString m_folder;
    bool m_madeFolder = false;
    bool m_installed = false;
    std::unique_ptr<QTemporaryDir> m_temporary;
    std::vector<std::pair<QString, QStringList>> m_pendingIndexes; // file, CREATE INDEX sql
};

} // namespace tabletool
