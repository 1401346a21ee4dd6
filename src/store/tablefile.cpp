#include "tablefile.h"

#include "collation.h"
#include "error.h"
#include "fileheader.h"
#include "reasons.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <utility>

namespace store {
namespace {

constexpr const char *kCollation = "ES";

int compareSpanish(void *, int lenA, const void *a, int lenB, const void *b)
{
    const QStringView va(static_cast<const char16_t *>(a), lenA / 2);
    const QStringView vb(static_cast<const char16_t *>(b), lenB / 2);
    const int byLetters = spanishCompare(va, vb);
    return byLetters != 0 ? byLetters : va.compare(vb);
}

void registerCollation(sqlite3 *db)
{
    sqlite3_create_collation_v2(db, kCollation, SQLITE_UTF16, nullptr, compareSpanish, nullptr);
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString columnDef(const FieldDef &f, const TableDef &def)
{
    QString sql = quoted(f.name) + QLatin1Char(' ') + sqlType(f.type);
    const bool singleKey = def.primary.fields.size() == 1
        && def.primary.fields.front().name == f.name;
    if (singleKey) {
        sql += QStringLiteral(" PRIMARY KEY");
        if (f.type == FieldType::AutoInc)
            sql += QStringLiteral(" AUTOINCREMENT");
    }
    switch (f.type) {
    case FieldType::Text:
        sql += QStringLiteral(" CHECK(length(%1) <= %2)").arg(quoted(f.name)).arg(f.size);
        break;
    case FieldType::SmallInt:
        sql += QStringLiteral(" CHECK(%1 BETWEEN -32768 AND 32767)").arg(quoted(f.name));
        break;
    case FieldType::Integer:
        sql += QStringLiteral(" CHECK(%1 BETWEEN -2147483648 AND 2147483647)").arg(quoted(f.name));
        break;
    default:
        break;
    }
    return sql;
}

QString indexColumns(const IndexDef &idx, const TableDef &def)
{
    QStringList cols;
    for (const IndexField &f : idx.fields) {
        QString col = quoted(f.name);
        const int fi = def.fieldIndex(f.name);
        if (fi >= 0 && def.fields[std::size_t(fi)].type == FieldType::Text)
            col += QStringLiteral(" COLLATE ") + QLatin1String(kCollation);
        if (f.order == Order::Descending)
            col += QStringLiteral(" DESC");
        cols << col;
    }
    return cols.join(QStringLiteral(", "));
}

} // namespace

QString sqlType(FieldType type)
{
    switch (type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
    case FieldType::SmallInt:
        return QStringLiteral("INTEGER");
    case FieldType::Text:
    case FieldType::Memo:
        return QStringLiteral("TEXT");
    case FieldType::Graphic:
        return QStringLiteral("BLOB");
    }
    return QStringLiteral("BLOB");
}

QStringList createStatements(const TableDef &def)
{
    QStringList cols;
    for (const FieldDef &f : def.fields)
        cols << columnDef(f, def);
    QStringList sql;
    sql << QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId)
        << QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)
        << QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(def.tableName), cols.join(QStringLiteral(", ")));
    if (def.primary.fields.size() > 1)
        sql << QStringLiteral("CREATE UNIQUE INDEX \"%1_Primaria\" ON %2 (%3)")
                   .arg(def.tableName, quoted(def.tableName), indexColumns(def.primary, def));
    for (const IndexDef &idx : def.indexes)
        sql << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                   .arg(idx.unique ? QStringLiteral("UNIQUE ") : QString(), quoted(idx.name),
                        quoted(def.tableName), indexColumns(idx, def));
    return sql;
}

TableFile::TableFile(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) { }

TableFile::TableFile(TableFile &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path))
{
}

TableFile &TableFile::operator=(TableFile &&other) noexcept
{
    if (this != &other) {
        sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

TableFile::~TableFile()
{
    sqlite3_close_v2(m_db);
}

QString TableFile::displayName() const
{
    return QFileInfo(m_path).fileName();
}

TableFile TableFile::create(const QString &path, const TableDef &def)
{
    if (QFileInfo::exists(path))
        throw Error(QStringLiteral("La tabla %1 ya existe").arg(path));
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    TableFile file(db, path);
    if (rc != SQLITE_OK)
        file.fail(rc);
    registerCollation(db);
    try {
        file.begin();
        for (const QString &sql : createStatements(def))
            file.exec(sql);
        file.commit();
    } catch (...) {
        // No half-made table is left behind.
        file = TableFile(nullptr, path);
        QFile::remove(path);
        throw;
    }
    return file;
}

TableFile TableFile::open(const QString &path, const TableDef &def, Durability durability)
{
    // Read by hand first: SQLite would roll back another program's journal before we could
    // refuse its file.
    requireOwnTableFile(path);
    sqlite3 *db = nullptr;
    // One thread uses each handle: SQLite's own locking would only cost time.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    TableFile file(db, path);
    if (rc != SQLITE_OK)
        file.fail(rc);
    registerCollation(db);
    file.verifySchema(def);
    // Only now, with the file known to be ours, may anything be written to it.
    if (durability == Durability::Full) {
        file.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    } else {
        // Working tables are emptied at every start: speed matters more than surviving a
        // power cut, and the rollback journal still keeps the file itself sound.
        file.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        file.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"));
    }
    return file;
}

void TableFile::verifySchema(const TableDef &def)
{
    const QString name = displayName();
    auto notOurs = [&](const QString &why) {
        throw Error(notOurTableMessage(name, why));
    };
    qint64 appId = 0;
    try {
        Statement st = prepare(QStringLiteral("PRAGMA application_id"));
        if (st.step())
            appId = st.integer(0);
    } catch (const Error &) {
        notOurs(QStringLiteral("el archivo no es una base de datos de tablas"));
    }
    if (appId != kApplicationId)
        notOurs(QStringLiteral("el archivo no lleva la marca de las tablas del programa"));

    QStringList columns;
    Statement info = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(def.tableName)));
    while (info.step())
        columns << info.text(1);
    if (columns.isEmpty())
        notOurs(QStringLiteral("no contiene la tabla %1").arg(def.tableName));
    for (const FieldDef &f : def.fields)
        if (!columns.contains(f.name, Qt::CaseInsensitive))
            notOurs(QStringLiteral("falta el campo %1").arg(f.name));
}

QStringList TableFile::check(const TableDef &def)
{
    QStringList problems;
    Statement info = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(def.tableName)));
    QHash<QString, QString> types;
    while (info.step())
        types.insert(info.text(1).toLower(), info.text(2).toUpper());
    for (const FieldDef &f : def.fields) {
        const auto it = types.constFind(f.name.toLower());
        if (it == types.constEnd())
            problems << QStringLiteral("falta el campo %1").arg(f.name);
        else if (*it != sqlType(f.type))
            problems << QStringLiteral("el campo %1 es de tipo %2 y debería ser %3").arg(f.name, *it, sqlType(f.type));
    }
    QStringList indexes;
    Statement list = prepare(QStringLiteral("PRAGMA index_list(%1)").arg(quoted(def.tableName)));
    while (list.step())
        indexes << list.text(1);
    for (const IndexDef &idx : def.indexes)
        if (!indexes.contains(idx.name, Qt::CaseInsensitive))
            problems << QStringLiteral("falta el índice %1").arg(idx.name);
    Statement integrity = prepare(QStringLiteral("PRAGMA integrity_check"));
    while (integrity.step()) {
        const QString line = integrity.text(0);
        if (line != QLatin1String("ok"))
            problems << QStringLiteral("integridad: %1").arg(line);
    }
    return problems;
}

void TableFile::exec(const QString &sql)
{
    char *err = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(rc);
}

Statement TableFile::prepare(const QString &sql, const QString &shownAs)
{
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, shownAs);
    return Statement(this, stmt, shownAs);
}

void TableFile::begin() { exec(QStringLiteral("BEGIN IMMEDIATE")); }
void TableFile::commit() { exec(QStringLiteral("COMMIT")); }

void TableFile::rollback() noexcept
{
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void TableFile::fail(int code, const QString &shownAs) const
{
    const QString name = shownAs.isEmpty() ? displayName() : shownAs;
    const QString detail = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString();
    const int primary = code & 0xFF;
    if (primary == SQLITE_CONSTRAINT) {
        const int extended = m_db ? sqlite3_extended_errcode(m_db) : code;
        if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw Error(QString::fromLatin1(kKeyViolation));
        // SQLite names the broken rule, and with it the field: "CHECK constraint failed: ...".
        throw Error(QStringLiteral("Valor no válido para la tabla %1 (%2)").arg(name, withSpanishReasons(detail)));
    }
    // SQLite's message is only its words for the code unless it says more (a missing table).
    QString reason = detail.isEmpty() || detail == QString::fromUtf8(sqlite3_errstr(code)) ? sqliteReason(code)
                                                                                           : withSpanishReasons(detail);
    // Where the disk refused, the system says why: no permission, a read-only disk, no room.
    const int systemError = m_db ? sqlite3_system_errno(m_db) : 0;
    if ((primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR) && systemError != 0)
        reason += QStringLiteral(" (%1)").arg(systemReason(systemError));
    throw Error(QStringLiteral("Error en la tabla %1: %2").arg(name, reason));
}

Statement::Statement(TableFile *file, sqlite3_stmt *stmt, QString shownAs)
    : m_file(file), m_stmt(stmt), m_shownAs(std::move(shownAs))
{
}

Statement::Statement(Statement &&other) noexcept
    : m_file(other.m_file), m_stmt(std::exchange(other.m_stmt, nullptr)), m_shownAs(std::move(other.m_shownAs))
{
}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_file = other.m_file;
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_shownAs = std::move(other.m_shownAs);
    }
    return *this;
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
void Statement::bindInt(int i, qint64 value) { sqlite3_bind_int64(m_stmt, i, value); }

void Statement::bindText(int i, const QString &value)
{
    sqlite3_bind_text16(m_stmt, i, value.utf16(), int(value.size() * 2), SQLITE_TRANSIENT);
}

void Statement::bindBlob(int i, const QByteArray &value)
{
    sqlite3_bind_blob(m_stmt, i, value.constData(), int(value.size()), SQLITE_TRANSIENT);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_file->fail(rc, m_shownAs);
}

qint64 Statement::lastRowid() const
{
    return sqlite3_last_insert_rowid(sqlite3_db_handle(m_stmt));
}

void Statement::run()
{
    while (step()) { }
    reset();
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Statement::isNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }
bool Statement::isInteger(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_INTEGER; }
qint64 Statement::integer(int col) const { return sqlite3_column_int64(m_stmt, col); }

QString Statement::text(int col) const
{
    const void *p = sqlite3_column_text16(m_stmt, col);
    const int bytes = sqlite3_column_bytes16(m_stmt, col);
    return p ? QString(static_cast<const QChar *>(p), bytes / 2) : QString();
}

QByteArray Statement::blob(int col) const
{
    const void *p = sqlite3_column_blob(m_stmt, col);
    const int bytes = sqlite3_column_bytes(m_stmt, col);
    return p ? QByteArray(static_cast<const char *>(p), bytes) : QByteArray();
}

} // namespace store
