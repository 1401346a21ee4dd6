#pragma once

#include "store/tablefile.h"

#include <QString>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One measured answer: the time of each run, and what the last run found, so that the answer
// can be compared with the program's.
struct Timing
{
    std::vector<double> ms;
    qint64 rows = 0;
    qint64 check = 0; // a sum over the rows found, where one is defined
    QString first;    // the first text found, where one is defined
};

// SQLite given what the program has: every page of the symptom and link files in its cache,
// the files mapped into memory, temporary tables in memory. Each question is asked once untimed
// before it is timed.
class SqliteBaseline
{
public:
    explicit SqliteBaseline(const QString &folder);
    ~SqliteBaseline();
    SqliteBaseline(const SqliteBaseline &) = delete;
    SqliteBaseline &operator=(const SqliteBaseline &) = delete;

    // The processing's question: every flower linked to the symptoms with its number of links,
    // highest first. `check` sums flower key times count.
    Timing grouped(const std::vector<qint32> &symptoms, int times);
    // The worksheet's material: every link pair of the symptoms. `check` sums both keys.
    Timing pairs(const std::vector<qint32> &symptoms, int times);
    // The flower page's symptom list: the names of the flower's symptoms in key order.
    Timing flowerSymptoms(qint32 flower, int times);
    // The first search mode: the first name at or after the text in the name index. `first`
    // is that name.
    Timing nearest(const QString &text, int times);

    sqlite3 *handle() const { return m_symptoms.handle(); }

private:
    void choose(const std::vector<qint32> &symptoms);
    sqlite3_stmt *prepare(const char *sql);
    Timing run(sqlite3_stmt *query, int times, int checkColumns, bool weighted);

    store::TableFile m_symptoms; // Sintomas.db, with the link file attached
};

// An FTS5 trigram index of the folded symptom names, in memory, asked each search mode's
// question as the program asks it: names holding any word, all words, or the whole text.
class TrigramSearch
{
public:
    explicit TrigramSearch(sqlite3 *symptoms);
    ~TrigramSearch();
    TrigramSearch(const TrigramSearch &) = delete;
    TrigramSearch &operator=(const TrigramSearch &) = delete;

    double buildMs() const { return m_buildMs; }
    // The rows of the names that pass in the mode (1 to 3) for the text of the box.
    Timing find(int mode, const QString &text, int times);

private:
    sqlite3 *m_db = nullptr;
    double m_buildMs = 0;
};
