#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <variant>
#include <vector>

// Writing tables in the Paradox format, laid out as the descriptions of the format give them:
// header, chained data blocks, memos and pictures in the .MB file (in blocks of their own or in
// shared 4 KiB blocks), optionally enciphered with a password. The program never writes such
// tables; this is for the tests and the measurements of the migration, which need old
// catalogues that nobody has to ship.
namespace tabletool {

struct ParadoxFieldSpec
{
    QByteArray name;
    quint8 type = 0;
    int size = 0; // bytes in the row: the alpha length, or for memos and pictures the part kept in
                  // the row plus 10
};

// One field's value: blank, a whole number, a real number, or bytes (an alpha text or a memo in
// Windows-1252, a picture with its header).
using ParadoxValue = std::variant<std::monostate, qint64, double, QByteArray>;

struct ParadoxWriterOptions
{
    int version = 12;       // the header's version code: 9 is 4.x, 12 is 7
    int blockKiB = 4;       // size of the data blocks
    int rowsPerBlock = 0;   // fewer rows than fit, to make many blocks; 0 fills them
    int keyFields = 1;      // fields of the primary key; 0 for an unkeyed table
    QByteArray password;    // empty: not protected
    bool scrambleBlocks = false; // chain the blocks out of file order, and leave a free block
                                 // of stale rows outside the chain
    quint32 autoIncrement = 0;
};

class ParadoxTableWriter
{
public:
    ParadoxTableWriter(const QString &dbPath, std::vector<ParadoxFieldSpec> fields, ParadoxWriterOptions options = {});

    void addRow(const std::vector<ParadoxValue> &values);
    // Deletes the last row added as the format does: the block counts one row less, and the
    // row's bytes stay behind it.
    void deleteLastRow();
    // Writes the .db file, and the .MB file beside it when a value did not fit in its row.
    void finish();

private:
    QByteArray encodeRow(const std::vector<ParadoxValue> &values);
    QByteArray storeBlob(const QByteArray &data);
    QByteArray header(int blocks, quint16 first, quint16 last, quint16 firstFree) const;

    QString m_dbPath;
    std::vector<ParadoxFieldSpec> m_fields;
    ParadoxWriterOptions m_options;
    int m_recordSize = 0;
    int m_blockSize = 0;
    int m_perBlock = 0;
    quint32 m_rows = 0;
    std::vector<QByteArray> m_blocks; // block payloads, in chain order
    std::vector<int> m_blockRows;
    QByteArray m_lastRow;
    QByteArray m_mb;
    qint64 m_sharedBlock = 0; // the .MB block that small values are going into, 0 for none
    int m_sharedEntry = 0;
    int m_sharedFree = 0;
};

// The bytes a graphic field holds for a picture: an 8-byte header, then a Windows bitmap.
QByteArray paradoxGraphic(const QImage &picture);

// An old catalogue of the given size in `folder`: Flores.db with Flores.MB (memos and a photo
// for every flower), Sintomas.db, Rel.db, laid out as the old program kept them. The same
// arguments always give the same files.
void writeParadoxCatalogue(const QString &folder, int flowers, int symptoms, int linksPerSymptom, quint32 seed,
                           const QByteArray &password = {});

} // namespace tabletool
