#include "baselines.h"

#include "catalogue/tabledefinitions.h"
#include "repertory/symptomsearch.h"

#include <QDir>
#include <QElapsedTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

void require(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "SQLite (%s): %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void exec(sqlite3 *db, const char *sql)
{
    require(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// A word as a GLOB pattern of a substring: its own wildcard characters stand for themselves.
QByteArray substringPattern(const QString &word)
{
    QByteArray p = "*";
    for (const char c : word.toUtf8()) {
        if (c == '*' || c == '?' || c == '[')
            p += QByteArray("[") + c + "]";
        else
            p += c;
    }
    return p + "*";
}

} // namespace

SqliteBaseline::SqliteBaseline(const QString &folder)
    : m_symptoms(store::TableFile::open(QDir(folder).filePath(QStringLiteral("Sintomas.db")),
                                        catalogue::sintomasDef(), store::TableFile::Durability::Full))
{
    sqlite3 *db = handle();
    const QByteArray rel = QDir(folder).filePath(QStringLiteral("Rel.db")).toUtf8();
    sqlite3_stmt *attach = prepare("ATTACH DATABASE ?1 AS r");
    sqlite3_bind_text(attach, 1, rel.constData(), int(rel.size()), SQLITE_TRANSIENT);
    require(db, sqlite3_step(attach), "ATTACH");
    sqlite3_finalize(attach);
    // Caches that hold both files whole (the sizes are limits, taken only as pages are read).
    for (const char *sql : {"PRAGMA main.cache_size = -1000000", "PRAGMA r.cache_size = -1000000",
                            "PRAGMA main.mmap_size = 1073741824", "PRAGMA r.mmap_size = 1073741824",
                            "PRAGMA temp_store = MEMORY", "CREATE TEMP TABLE sel(Clave INTEGER PRIMARY KEY)"})
        exec(db, sql);
    // Every page read once: the table, and each index walked in its own order.
    for (const char *sql : {"SELECT sum(KFlor + KSint + OSint) FROM r.Rel",
                            "SELECT sum(KSint + KFlor) FROM r.Rel INDEXED BY PorSint WHERE KSint > -2147483649",
                            "SELECT sum(KFlor + KSint) FROM r.Rel INDEXED BY PorFlor WHERE KFlor > -2147483649",
                            "SELECT sum(length(Nom) + Clave + Orden) FROM Sintomas",
                            "SELECT count(*) FROM Sintomas INDEXED BY PorNom WHERE Nom COLLATE ES >= ''"}) {
        sqlite3_stmt *st = prepare(sql);
        while (sqlite3_step(st) == SQLITE_ROW) { }
        sqlite3_finalize(st);
    }
}

SqliteBaseline::~SqliteBaseline() = default;

sqlite3_stmt *SqliteBaseline::prepare(const char *sql)
{
    sqlite3_stmt *st = nullptr;
    require(handle(), sqlite3_prepare_v2(handle(), sql, -1, &st, nullptr), sql);
    return st;
}

void SqliteBaseline::choose(const std::vector<qint32> &symptoms)
{
    exec(handle(), "DELETE FROM temp.sel");
    exec(handle(), "BEGIN");
    sqlite3_stmt *insert = prepare("INSERT INTO temp.sel VALUES (?1)");
    for (const qint32 k : symptoms) {
        sqlite3_bind_int(insert, 1, k);
        require(handle(), sqlite3_step(insert), "INSERT");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(handle(), "COMMIT");
}

Timing SqliteBaseline::run(sqlite3_stmt *query, int times, int checkColumns, bool weighted)
{
    Timing t;
    // Once untimed: the plan is made and the pages are where the timed runs find them.
    for (int i = -1; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        qint64 rows = 0, check = 0;
        while (sqlite3_step(query) == SQLITE_ROW) {
            ++rows;
            if (weighted)
                check += sqlite3_column_int64(query, 0) * sqlite3_column_int64(query, 1);
            else
                for (int c = 0; c < checkColumns; ++c)
                    check += sqlite3_column_int64(query, c);
            if (rows == 1 && checkColumns == 0)
                t.first = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(query, 0)));
        }
        sqlite3_reset(query);
        if (i >= 0)
            t.ms.push_back(elapsedMs(timer));
        t.rows = rows;
        t.check = check;
    }
    sqlite3_finalize(query);
    return t;
}

Timing SqliteBaseline::grouped(const std::vector<qint32> &symptoms, int times)
{
    choose(symptoms);
    return run(prepare("SELECT KFlor, count(*) AS n FROM r.Rel WHERE KSint IN (SELECT Clave FROM temp.sel) "
                       "GROUP BY KFlor ORDER BY n DESC, KFlor"),
               times, 2, true);
}

Timing SqliteBaseline::pairs(const std::vector<qint32> &symptoms, int times)
{
    choose(symptoms);
    return run(prepare("SELECT KFlor, KSint FROM r.Rel WHERE KSint IN (SELECT Clave FROM temp.sel)"), times, 2,
               false);
}

Timing SqliteBaseline::flowerSymptoms(qint32 flower, int times)
{
    sqlite3_stmt *q = prepare("SELECT s.Nom FROM r.Rel AS l JOIN Sintomas AS s ON s.Clave = l.KSint "
                              "WHERE l.KFlor = ?1 ORDER BY l.KSint");
    sqlite3_bind_int(q, 1, flower);
    return run(q, times, 0, false);
}

Timing SqliteBaseline::nearest(const QString &text, int times)
{
    sqlite3_stmt *q = prepare("SELECT Nom FROM Sintomas WHERE Nom COLLATE ES >= ?1 ORDER BY Nom COLLATE ES, Clave "
                              "LIMIT 1");
    const QByteArray t = text.toUtf8();
    sqlite3_bind_text(q, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    return run(q, times, 0, false);
}

TrigramSearch::TrigramSearch(sqlite3 *symptoms)
{
    require(nullptr, sqlite3_open(":memory:", &m_db), "memoria");
    QElapsedTimer timer;
    timer.start();
    exec(m_db, "CREATE VIRTUAL TABLE f USING fts5(nom, tokenize = 'trigram case_sensitive 1')");
    exec(m_db, "BEGIN");
    sqlite3_stmt *read = nullptr, *insert = nullptr;
    require(symptoms, sqlite3_prepare_v2(symptoms, "SELECT Clave, Nom FROM Sintomas", -1, &read, nullptr), "leer");
    require(m_db, sqlite3_prepare_v2(m_db, "INSERT INTO f(rowid, nom) VALUES (?1, ?2)", -1, &insert, nullptr),
            "insertar");
    while (sqlite3_step(read) == SQLITE_ROW) {
        // Names folded as the program folds them, so that both answer the same question.
        QString name = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(read, 1)));
        search::NormalizarTexto(name);
        const QByteArray folded = name.toUtf8();
        sqlite3_bind_int64(insert, 1, sqlite3_column_int64(read, 0));
        sqlite3_bind_text(insert, 2, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
        require(m_db, sqlite3_step(insert), "insertar");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(read);
    sqlite3_finalize(insert);
    exec(m_db, "COMMIT");
    exec(m_db, "INSERT INTO f(f) VALUES ('optimize')");
    m_buildMs = elapsedMs(timer);
}

TrigramSearch::~TrigramSearch()
{
    sqlite3_close(m_db);
}

Timing TrigramSearch::find(int mode, const QString &text, int times)
{
    QString folded = text;
    search::NormalizarTexto(folded);
    QStringList words;
    if (mode == search::Exact)
        words << folded;
    else
        search::SepararPalabras(folded, words);
    // All words: every pattern on one row, the longest first. A pattern of fewer than three
    // characters cannot use the trigram index, and SQLite 3.40 fails on one that the index is
    // asked for after another: such patterns are tested on the rows that the others give.
    if (mode == search::AllWords)
        std::stable_sort(words.begin(), words.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    // Any word: the rows of each word, once each.
    QByteArray sql;
    for (int i = 0; i < words.size(); ++i) {
        const QByteArray column = i > 0 && words[i].size() < 3 ? "+nom" : "nom";
        const QByteArray test = column + " GLOB ?" + QByteArray::number(i + 1);
        if (mode == search::AnyWord)
            sql += (i ? " UNION SELECT rowid FROM f WHERE nom GLOB ?" + QByteArray::number(i + 1)
                      : "SELECT rowid FROM f WHERE " + test);
        else
            sql += (i ? " AND " : "SELECT rowid FROM f WHERE ") + test;
    }
    Timing t;
    if (words.isEmpty() || (mode == search::Exact && folded.isEmpty())) {
        t.ms.assign(std::size_t(times), 0.0);
        return t;
    }
    sqlite3_stmt *q = nullptr;
    require(m_db, sqlite3_prepare_v2(m_db, sql.constData(), -1, &q, nullptr), "buscar");
    for (int i = 0; i < words.size(); ++i) {
        const QByteArray p = substringPattern(words[i]);
        sqlite3_bind_text(q, i + 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    }
    for (int i = -1; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        qint64 rows = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(q);
        if (i >= 0)
            t.ms.push_back(elapsedMs(timer));
        t.rows = rows;
    }
    sqlite3_finalize(q);
    return t;
}
