#pragma once

#include "tabledef.h"

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// Marks a database file as one of this application's tables.
inline constexpr int kApplicationId = 0x56544C41;
inline constexpr int kSchemaVersion = 1;

class Statement;

// One table file: an SQLite database holding one table of the catalogue.
class TableFile
{
public:
    enum class Durability { Full, Relaxed };

    // Creates a new, empty table file; fails when the file exists already.
    static TableFile create(const QString &path, const TableDef &def);
    // Opens an existing table file. A missing file, or one that is not a table of ours with
    // the expected fields, fails with a message naming the file; such a file is never written,
    // and its header is read by hand before SQLite opens it (fileheader.h).
    static TableFile open(const QString &path, const TableDef &def, Durability durability);

    TableFile(TableFile &&other) noexcept;
    TableFile &operator=(TableFile &&other) noexcept;
    TableFile(const TableFile &) = delete;
    TableFile &operator=(const TableFile &) = delete;
    ~TableFile();

    sqlite3 *handle() const { return m_db; }
    const QString &path() const { return m_path; }
    QString displayName() const;

    void exec(const QString &sql);
    // `shownAs` names the file in its errors, for a statement on another table's file attached
    // to this one.
    Statement prepare(const QString &sql, const QString &shownAs = {});
    void begin();
    void commit();
    void rollback() noexcept;

    // Throws the store's error for the last failed call, in Spanish words, with this file's name
    // or `shownAs`.
    [[noreturn]] void fail(int code, const QString &shownAs = {}) const;

    // The problems found in the file's fields, indexes and integrity; empty when sound.
    QStringList check(const TableDef &def);

private:
    TableFile(sqlite3 *db, QString path);
    void verifySchema(const TableDef &def);

    sqlite3 *m_db = nullptr;
    QString m_path;
};

// A prepared statement with typed binding and reading.
class Statement
{
public:
    Statement(TableFile *file, sqlite3_stmt *stmt, QString shownAs = {});
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    void bindNull(int i);
    void bindInt(int i, qint64 value);
    void bindText(int i, const QString &value);
    void bindBlob(int i, const QByteArray &value);

    bool step(); // true while a row is available
    qint64 lastRowid() const; // of the last row this statement's connection inserted
    void run();  // step to completion, then reset
    void reset();

    bool isNull(int col) const;
    bool isInteger(int col) const; // holds a whole number, not a text or a real
    qint64 integer(int col) const;
    QString text(int col) const;
    QByteArray blob(int col) const;

private:
    TableFile *m_file = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_shownAs;
};

QString sqlType(FieldType type);
QStringList createStatements(const TableDef &def);

} // namespace store
