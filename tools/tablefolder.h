#pragma once

#include "store/tabledef.h"
#include "store/tablefile.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

class QTemporaryDir;

// What the commands share: the character set, the flower systems, and building a table folder.
namespace tabletool {

// "«☺» (U+263A)": the character at `pos`, for messages.
QString describirCaracter(QStringView texto, qsizetype pos);
// A control character other than tab, CR and LF; -1 when there is none.
qsizetype caracterDeControl(QStringView texto, bool admiteSaltos);

// A flower system number written as the table keeps it: "1" to "13", no zeros or blanks.
bool tipoValido(const QString &tipo);

QString rutaTabla(const QString &carpeta, const store::TableDef &def);
// "INSERT INTO T (every field in order) VALUES (?, ...)".
QString sqlInsertar(const store::TableDef &def);

// Fails, naming the file, when `carpeta` holds any of the five table files.
void comprobarDestinoLibre(const QString &carpeta);

// The five tables built in a hidden temporary folder inside the target and moved in together at
// the end. Until then nothing is visible in the target; if the work fails, the temporary folder
// goes, and so does the target folder when it was made here.
class NewTableFolder
{
public:
    explicit NewTableFolder(const QString &carpeta);
    ~NewTableFolder();
    NewTableFolder(const NewTableFolder &) = delete;
    NewTableFolder &operator=(const NewTableFolder &) = delete;

    // A new empty table ready for a bulk load: no journal and no waiting for the disk, since a
    // file that fails half-way is thrown away; the secondary indexes are built once at the end,
    // which is much faster than keeping them up to date row by row.
    store::TableFile crear(const store::TableDef &def);
    // Builds the deferred indexes, closes the file and flushes it to disk.
    void terminar(store::TableFile &table);

    // Creates whatever tables were not made yet, empty, and moves all five into the target.
    void instalar();

private:
    QString m_carpeta;
    bool m_carpetaCreada = false;
    bool m_instalada = false;
    std::unique_ptr<QTemporaryDir> m_temporal;
    std::vector<std::pair<QString, QStringList>> m_indicesPendientes; // file, CREATE INDEX sql
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

// Every row into a new table of `folder`, through one statement in one transaction; `bind`
// sets the statement's values for a row.
template <typename Row, typename Bind>
void fillTable(NewTableFolder &folder, const store::TableDef &def, const std::vector<Row> &rows, Bind bind)
{
    store::TableFile table = folder.crear(def);
    {
        store::Statement st = table.prepare(sqlInsertar(def));
        table.begin();
        for (const Row &row : rows) {
            bind(st, row);
            st.run();
        }
        table.commit();
    }
    folder.terminar(table);
}

} // namespace tabletool
