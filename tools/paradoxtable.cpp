#include "paradoxtable.h"

#include "paradoxcipher.h"
#include "readonlyfile.h"
#include "store/codepage.h"
#include "store/error.h"

#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <limits>

namespace tabletool {

namespace {

constexpr int kCommonHeader = 0x58; // the fixed part every version has
constexpr int kDataHeader = 0x78;   // with the part tables gained in version 4
constexpr int kBlockHeader = 6;
constexpr int kBlobPointer = 10; // offset and index, length, modification number
constexpr int kBlobBlock = 4096;
constexpr int kSubBlobs = 64;
constexpr int kSubBlobTable = 12 + kSubBlobs * 5;

quint16 u16(const char *p)
{
    const auto *b = reinterpret_cast<const uchar *>(p);
    return quint16(b[0] | b[1] << 8);
}

quint32 u32(const char *p)
{
    const auto *b = reinterpret_cast<const uchar *>(p);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

bool allZero(const char *p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// Numbers in rows are big-endian with the sign bit turned over, so that they sort as bytes and
// an all-zero field is blank.
quint64 bigEndian(const char *p, int n)
{
    quint64 v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | uchar(p[i]);
    return v;
}

} // namespace

QString paradoxTypeName(quint8 type)
{
    switch (type) {
    case paradoxtype::kAlpha: return QStringLiteral("alfanumérico");
    case 0x02: return QStringLiteral("fecha");
    case paradoxtype::kShort: return QStringLiteral("entero corto");
    case paradoxtype::kLong: return QStringLiteral("entero largo");
    case 0x05: return QStringLiteral("moneda");
    case paradoxtype::kNumber: return QStringLiteral("número");
    case 0x09: return QStringLiteral("lógico");
    case paradoxtype::kMemo: return QStringLiteral("memo");
    case paradoxtype::kBinary: return QStringLiteral("binario");
    case paradoxtype::kFormattedMemo: return QStringLiteral("memo con formato");
    case 0x0F: return QStringLiteral("OLE");
    case paradoxtype::kGraphic: return QStringLiteral("gráfico");
    case 0x14: return QStringLiteral("hora");
    case 0x15: return QStringLiteral("fecha y hora");
    case paradoxtype::kAutoIncrement: return QStringLiteral("autoincremental");
    case paradoxtype::kBcd: return QStringLiteral("BCD");
    case 0x18: return QStringLiteral("bytes");
    default: return QStringLiteral("desconocido (%1)").arg(type);
    }
}

ParadoxTable::ParadoxTable(const QString &dbPath, const QString &mbPath, const std::optional<QByteArray> &password)
    : m_name(QFileInfo(dbPath).fileName()), m_mbPath(mbPath)
{
    m_db = std::make_unique<ReadOnlyFile>(dbPath, m_name);
    readHeader(password);
}

ParadoxTable::~ParadoxTable() = default;

void ParadoxTable::fail(const QString &reason) const
{
    throw store::Error(QStringLiteral("%1: %2").arg(m_name, reason));
}

void ParadoxTable::readHeader(const std::optional<QByteArray> &password)
{
    const qint64 size = m_db->size();
    const QByteArray start = m_db->read(0, std::min<qint64>(size, kCommonHeader));
    if (start.startsWith(QByteArrayLiteral("SQLite format 3")))
        fail(QStringLiteral("no está en formato Paradox: es una base SQLite, como las tablas de este programa"));
    if (size < kCommonHeader)
        fail(QStringLiteral("el archivo es demasiado corto para ser una tabla Paradox (%1 bytes)").arg(size));
    const char *h = start.constData();

    const int fileType = uchar(h[4]);
    const int version = uchar(h[0x39]);
    if (fileType == 1 || (fileType >= 3 && fileType <= 8))
        fail(QStringLiteral("es un índice de Paradox, no una tabla de datos"));
    if ((fileType != 0 && fileType != 2) || version < 3 || version > 15)
        fail(QStringLiteral("no es una tabla en formato Paradox: la cabecera no se reconoce"));

    const int sizeCode = uchar(h[5]);
    if (sizeCode < 1 || sizeCode > 32)
        fail(QStringLiteral("la cabecera indica un tamaño de bloque imposible (%1)").arg(sizeCode));
    m_blockSize = sizeCode * 1024;
    m_recordSize = u16(h);
    if (m_recordSize < 1 || m_recordSize > m_blockSize - kBlockHeader)
        fail(QStringLiteral("la cabecera indica filas de %1 bytes, que no caben en bloques de %2")
                 .arg(m_recordSize)
                 .arg(m_blockSize));
    const int fieldCount = u16(h + 0x21);
    if (fieldCount < 1 || fieldCount > 255)
        fail(QStringLiteral("la cabecera indica %1 campos").arg(fieldCount));
    m_headerSize = u16(h + 2);
    // Tables from version 4 on carry a second part of the header before the fields.
    const int fieldInfo = version >= 5 ? kDataHeader : kCommonHeader;
    if (m_headerSize < fieldInfo + 2 * fieldCount)
        fail(QStringLiteral("la cabecera mide %1 bytes y no caben en ella sus %2 campos").arg(m_headerSize).arg(fieldCount));
    if (m_headerSize > size)
        fail(QStringLiteral("el archivo está truncado: mide %1 bytes y su cabecera %2").arg(size).arg(m_headerSize));
    m_declaredRows = u32(h + 6);
    m_firstBlock = u16(h + 0x0E);

    const QByteArray header = m_db->read(0, m_headerSize);
    m_key = fieldInfo == kDataHeader ? u32(header.constData() + 0x5C) : u32(h + 0x25);

    int offset = 0;
    for (int i = 0; i < fieldCount; ++i) {
        ParadoxField f;
        f.type = uchar(header[fieldInfo + 2 * i]);
        f.size = f.type == paradoxtype::kBcd ? 17 : uchar(header[fieldInfo + 2 * i + 1]);
        f.offset = offset;
        offset += f.size;
        m_fields.push_back(f);
    }
    if (offset != m_recordSize)
        fail(QStringLiteral("los campos suman %1 bytes y la cabecera dice que cada fila mide %2").arg(offset).arg(m_recordSize));
    // After the field types come a pointer, one pointer per field and the table's own name,
    // which grew from 79 to 261 bytes in version 7.
    const int tableName = version >= 12 ? 261 : 79;
    readFieldNames(header, fieldInfo + 2 * fieldCount + 4 + 4 * fieldCount + tableName);

    for (const ParadoxField &f : m_fields) {
        const bool isBlob = f.type == paradoxtype::kMemo || f.type == paradoxtype::kBinary
            || f.type == paradoxtype::kFormattedMemo || f.type == paradoxtype::kGraphic || f.type == 0x0F;
        const int expected = f.type == paradoxtype::kShort                                           ? 2
            : f.type == paradoxtype::kLong || f.type == paradoxtype::kAutoIncrement                  ? 4
            : f.type == paradoxtype::kNumber                                                         ? 8
                                                                                                     : 0;
        if ((expected != 0 && f.size != expected) || (isBlob && f.size < kBlobPointer) || f.size == 0)
            fail(QStringLiteral("el campo %1 es de tipo %2 y mide %3 bytes, lo que no puede ser")
                     .arg(f.name, paradoxTypeName(f.type))
                     .arg(f.size));
    }

    if (m_key != 0) {
        if (!password)
            fail(QStringLiteral("la tabla está protegida con contraseña; indíquela con --clave"));
        if (paradoxcipher::passwordKey(*password) != m_key)
            fail(QStringLiteral("la contraseña indicada no es la de esta tabla"));
    }

    m_blocksInFile = int(std::min<qint64>((size - m_headerSize) / m_blockSize, 0xFFFF));
    m_visited.assign(std::size_t(m_blocksInFile) + 1, false);
    m_block.resize(std::size_t(m_blockSize));
}

void ParadoxTable::readFieldNames(const QByteArray &header, int at)
{
    for (ParadoxField &f : m_fields) {
        const qsizetype end = at < header.size() ? header.indexOf('\0', at) : -1;
        if (end < 0)
            fail(QStringLiteral("los nombres de los campos no caben en la cabecera"));
        f.name = codepage::fromWindows1252(header.mid(at, end - at));
        at = int(end) + 1;
    }
}

int ParadoxTable::fieldIndex(QStringView name) const
{
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool ParadoxTable::loadNextBlock()
{
    const quint16 number = m_chainStarted ? m_nextBlock : m_firstBlock;
    m_chainStarted = true;
    if (number == 0)
        return false;
    if (number > m_blocksInFile)
        fail(QStringLiteral("el bloque de datos %1 queda fuera del archivo: está truncado o dañado").arg(number));
    if (m_visited[number])
        fail(QStringLiteral("la cadena de bloques de datos vuelve al bloque %1: el archivo está dañado").arg(number));
    m_visited[number] = true;
    m_db->read(qint64(m_headerSize) + qint64(number - 1) * m_blockSize, m_block.data(), m_blockSize);
    if (m_key != 0)
        paradoxcipher::decipherDataBlock(m_block.data(), m_blockSize, m_key, number);

    m_nextBlock = u16(m_block.data());
    // The offset of the block's last row; negative when the block is empty. Bytes after that
    // row are left over from deleted rows and are no data.
    const int lastRow = qint16(u16(m_block.data() + 4));
    if (lastRow < 0) {
        m_rowsInBlock = 0;
    } else {
        if (lastRow % m_recordSize != 0 || kBlockHeader + lastRow + m_recordSize > m_blockSize)
            fail(QStringLiteral("el bloque de datos %1 dice tener filas hasta el byte %2, lo que no puede ser")
                     .arg(number)
                     .arg(kBlockHeader + lastRow + m_recordSize));
        m_rowsInBlock = lastRow / m_recordSize + 1;
    }
    m_rowInBlock = -1;
    return true;
}

bool ParadoxTable::next()
{
    while (m_rowInBlock + 1 >= m_rowsInBlock) {
        if (!loadNextBlock()) {
            if (m_rowNumber != m_declaredRows)
                fail(QStringLiteral("la cabecera anuncia %1 filas y los bloques de datos tienen %2: el archivo está dañado")
                         .arg(m_declaredRows)
                         .arg(m_rowNumber));
            return false;
        }
    }
    ++m_rowInBlock;
    ++m_rowNumber;
    return true;
}

const char *ParadoxTable::fieldBytes(int field) const
{
    return m_block.data() + kBlockHeader + m_rowInBlock * m_recordSize + m_fields[std::size_t(field)].offset;
}

QString ParadoxTable::where(int field) const
{
    return QStringLiteral("el campo %1 de la fila %2").arg(m_fields[std::size_t(field)].name).arg(m_rowNumber);
}

bool ParadoxTable::isNull(int field) const
{
    const ParadoxField &f = m_fields[std::size_t(field)];
    const char *p = fieldBytes(field);
    if (f.type == paradoxtype::kAlpha)
        return p[0] == 0;
    if (f.size >= kBlobPointer && (f.type == paradoxtype::kMemo || f.type == paradoxtype::kBinary
                                   || f.type == paradoxtype::kFormattedMemo || f.type == paradoxtype::kGraphic))
        return u32(p + f.size - kBlobPointer + 4) == 0;
    return allZero(p, f.size);
}

std::optional<qint64> ParadoxTable::integer(int field) const
{
    const ParadoxField &f = m_fields[std::size_t(field)];
    const char *p = fieldBytes(field);
    if (allZero(p, f.size))
        return std::nullopt;
    switch (f.type) {
    case paradoxtype::kShort:
        return qint16(quint16(bigEndian(p, 2) ^ 0x8000u));
    case paradoxtype::kLong:
    case paradoxtype::kAutoIncrement:
        return qint32(quint32(bigEndian(p, 4) ^ 0x80000000u));
    case paradoxtype::kNumber: {
        // Positive numbers have the sign bit set; negative ones are stored with every bit turned.
        quint64 bits = bigEndian(p, 8);
        bits = bits & 0x8000000000000000ull ? bits & 0x7FFFFFFFFFFFFFFFull : ~bits;
        double value = 0;
        static_assert(sizeof value == sizeof bits);
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value) || value != std::trunc(value) || value < std::numeric_limits<qint32>::min()
            || value > std::numeric_limits<qint32>::max())
            fail(QStringLiteral("%1 vale %2, que no es un número entero de 32 bits")
                     .arg(where(field), QString::number(value, 'g', 17)));
        return qint64(value);
    }
    default:
        fail(QStringLiteral("%1 es de tipo %2 y no guarda un número entero").arg(where(field), paradoxTypeName(f.type)));
    }
}

QString ParadoxTable::text(int field) const
{
    const ParadoxField &f = m_fields[std::size_t(field)];
    const char *p = fieldBytes(field);
    const void *end = std::memchr(p, 0, std::size_t(f.size));
    const qsizetype length = end ? static_cast<const char *>(end) - p : f.size;
    return codepage::fromWindows1252(QByteArray::fromRawData(p, length));
}

QByteArray ParadoxTable::blob(int field) const
{
    const ParadoxField &f = m_fields[std::size_t(field)];
    const char *p = fieldBytes(field);
    const int leader = f.size - kBlobPointer;
    const quint32 pointer = u32(p + leader);
    const quint32 length = u32(p + leader + 4);
    if (length == 0)
        return {};
    // A short value lives whole in the row; a longer one lives in the .MB file, and the row
    // keeps a copy of its beginning.
    if (length <= quint32(leader))
        return QByteArray(p, length);
    QByteArray data = blobFromFile(field, pointer, length);
    if (!data.startsWith(QByteArray::fromRawData(p, leader)))
        throw store::Error(QStringLiteral("%1: %2 no empieza como su copia en %3: el archivo no es el de "
                                          "esta tabla o está dañado")
                               .arg(m_mb->name(), where(field), m_name));
    return data;
}

QByteArray ParadoxTable::readBlobFile(qint64 at, qint64 size) const
{
    if (m_mbKey == 0)
        return m_mb->read(at, size);
    // An enciphered file is read in whole chunks around what is wanted.
    const qint64 from = at / paradoxcipher::kChunk * paradoxcipher::kChunk;
    const qint64 to = (at + size + paradoxcipher::kChunk - 1) / paradoxcipher::kChunk * paradoxcipher::kChunk;
    QByteArray chunks = m_mb->read(from, to - from);
    paradoxcipher::decipherBlobBytes(chunks.data(), chunks.size(), m_mbKey);
    return chunks.mid(at - from, size);
}

QByteArray ParadoxTable::blobFromFile(int field, quint32 pointer, quint32 length) const
{
    const QString mbName = m_mbPath.isEmpty() ? QFileInfo(m_name).completeBaseName() + QStringLiteral(".MB")
                                              : QFileInfo(m_mbPath).fileName();
    if (!m_mb) {
        if (m_mbPath.isEmpty())
            fail(QStringLiteral("%1 está guardado en %2, que no existe").arg(where(field), mbName));
        m_mb = std::make_unique<ReadOnlyFile>(m_mbPath, mbName);
        // The header block: type 0, one 4 KiB unit. A protected table has its .MB enciphered
        // too, but some writers leave it plain; whichever reading gives a header is the one.
        auto isHeader = [](const QByteArray &b) { return b[0] == 0 && u16(b.constData() + 1) == 1; };
        if (m_mb->size() < kBlobBlock)
            throw store::Error(QStringLiteral("%1: no es un archivo de memos de Paradox").arg(mbName));
        m_mbKey = m_key;
        if (!isHeader(readBlobFile(0, 3))) {
            m_mbKey = 0;
            if (m_key == 0 || !isHeader(readBlobFile(0, 3)))
                throw store::Error(QStringLiteral("%1: no es un archivo de memos de Paradox").arg(mbName));
        }
    }
    auto failHere = [&](const QString &reason) {
        throw store::Error(QStringLiteral("%1: %2 %3").arg(mbName, where(field), reason));
    };

    const qint64 block = pointer & 0xFFFFFF00u;
    const int index = int(pointer & 0xFF);
    if (block < kBlobBlock || block > m_mb->size() - kBlobBlock)
        failHere(QStringLiteral("apunta fuera del archivo (byte %1)").arg(block));
    const QByteArray head = readBlobFile(block, kSubBlobTable);
    const int type = uchar(head[0]);
    if (type == 2) {
        // A block of its own: type, size in 4 KiB units, length, modification number, data.
        if (index != 0xFF)
            failHere(QStringLiteral("apunta a un bloque de un solo dato con el índice %1").arg(index));
        const qint64 room = qint64(u16(head.constData() + 1)) * kBlobBlock - 9;
        if (u32(head.constData() + 3) != length)
            failHere(QStringLiteral("mide %1 bytes según la tabla y %2 según este archivo").arg(length).arg(u32(head.constData() + 3)));
        if (length > room || block + 9 + qint64(length) > m_mb->size())
            failHere(QStringLiteral("dice medir %1 bytes, más de lo que cabe en su bloque o en el archivo").arg(length));
        return readBlobFile(block + 9, length);
    }
    if (type == 3) {
        // A 4 KiB block shared by up to 64 short values, found through a table of 5-byte
        // entries: offset / 16, length in 16-byte units, modification number, bytes used in the
        // last unit.
        if (index >= kSubBlobs)
            failHere(QStringLiteral("apunta a la entrada %1 de un bloque compartido, que solo tiene %2").arg(index).arg(kSubBlobs));
        const char *entry = head.constData() + 12 + 5 * index;
        const int start = uchar(entry[0]) * 16;
        const int units = uchar(entry[1]);
        const int last = uchar(entry[4]);
        if (start == 0 || last == 0)
            failHere(QStringLiteral("fue borrado del archivo"));
        if (units == 0 || last > 16 || (units - 1) * 16 + last != qint64(length))
            failHere(QStringLiteral("mide %1 bytes según la tabla y no según este archivo").arg(length));
        if (start < kSubBlobTable || start + qint64(length) > kBlobBlock)
            failHere(QStringLiteral("queda fuera de su bloque"));
        return readBlobFile(block + start, length);
    }
    failHere(QStringLiteral("apunta a un bloque de tipo %1, que no guarda datos").arg(type));
    return {};
}

} // namespace tabletool
