#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

// Reading tables in the Paradox format (.db, with their memos and pictures in the .MB file of
// the same name), the format of the catalogues kept before this program. Only reading: nothing
// here ever writes to those files.
namespace tabletool {

// Field type codes of the format.
namespace paradoxtype {
inline constexpr quint8 kAlpha = 0x01;
inline constexpr quint8 kShort = 0x03;
inline constexpr quint8 kLong = 0x04;
inline constexpr quint8 kNumber = 0x06;
inline constexpr quint8 kMemo = 0x0C;
inline constexpr quint8 kBinary = 0x0D;
inline constexpr quint8 kFormattedMemo = 0x0E;
inline constexpr quint8 kGraphic = 0x10;
inline constexpr quint8 kAutoIncrement = 0x16;
inline constexpr quint8 kBcd = 0x17;
} // namespace paradoxtype

// What the format calls a field type, in the user's words: "alfanumérico", "memo"...
QString paradoxTypeName(quint8 type);

struct ParadoxField
{
    QString name;
    quint8 type = 0;
    int size = 0;   // bytes in the row; for memos and pictures, the part kept in the row plus 10
    int offset = 0; // from the start of the row
};

class ReadOnlyFile;

// One table, read row by row in the order of its chain of data blocks. Every fault of the files
// (truncated, a header or block that cannot be, a pointer outside the file, a wrong password)
// throws store::Error "Archivo.db: motivo"; nothing is ever allocated beyond what the files
// themselves hold, and every chain is walked at most once.
class ParadoxTable
{
public:
    // `dbPath` is the table; `mbPath` its blob file, or empty when there is none. `password` is
    // the password in Windows-1252, or nullopt when none was given.
    ParadoxTable(const QString &dbPath, const QString &mbPath, const std::optional<QByteArray> &password);
    ~ParadoxTable();
    ParadoxTable(const ParadoxTable &) = delete;
    ParadoxTable &operator=(const ParadoxTable &) = delete;

    const QString &fileName() const { return m_name; }
    const std::vector<ParadoxField> &fields() const { return m_fields; }
    // The field of that name, whatever its case; -1 when there is none.
    int fieldIndex(QStringView name) const;
    bool isEncrypted() const { return m_key != 0; }
    // The number of rows the header announces; reading checks that the blocks hold as many.
    quint32 declaredRows() const { return m_declaredRows; }

    // Moves to the next row; false after the last one.
    bool next();
    // The current row's place in the table, from 1.
    qint64 rowNumber() const { return m_rowNumber; }

    // A field left blank.
    bool isNull(int field) const;
    // A short, long, autoincrement or number field; nullopt when blank. A number that is not a
    // whole 32-bit value fails.
    std::optional<qint64> integer(int field) const;
    // An alpha field, from Windows-1252.
    QString text(int field) const;
    // A memo, formatted memo, binary or graphic field: every byte of it, from the row or the
    // .MB file; empty when blank.
    QByteArray blob(int field) const;

    [[noreturn]] void fail(const QString &reason) const;

private:
    void readHeader(const std::optional<QByteArray> &password);
    void readFieldNames(const QByteArray &header, int at);
    bool loadNextBlock();
    const char *fieldBytes(int field) const;
    QByteArray blobFromFile(int field, quint32 pointer, quint32 length) const;
    QByteArray readBlobFile(qint64 at, qint64 size) const;
    QString where(int field) const;

    QString m_name;
    QString m_mbPath;
    std::unique_ptr<ReadOnlyFile> m_db;
    mutable std::unique_ptr<ReadOnlyFile> m_mb;

    std::vector<ParadoxField> m_fields;
    int m_recordSize = 0;
    int m_headerSize = 0;
    int m_blockSize = 0;
    quint32 m_declaredRows = 0;
    quint32 m_key = 0;
    mutable quint32 m_mbKey = 0;
    quint16 m_firstBlock = 0;
    int m_blocksInFile = 0;

    std::vector<char> m_block;
    std::vector<bool> m_visited;
    quint16 m_nextBlock = 0;
    int m_rowsInBlock = 0;
    int m_rowInBlock = 0;
    qint64 m_rowNumber = 0;
    bool m_chainStarted = false;
};

} // namespace tabletool
