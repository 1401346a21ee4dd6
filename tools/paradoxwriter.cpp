#include "paradoxwriter.h"

#include "paradoxcipher.h"
#include "paradoxtable.h"
#include "store/codepage.h"
#include "store/error.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tabletool {
namespace {

constexpr int kBlobBlock = 4096;
constexpr int kSharedLimit = 2048; // values this long or longer get a block of their own
constexpr int kSharedData = 0x150; // where the data of a shared block begins
constexpr int kBlockHeader = 6;

void put16(char *p, quint32 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}

void put32(char *p, quint32 v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

void putBigEndian(char *p, quint64 v, int n)
{
    for (int i = n - 1; i >= 0; --i, v >>= 8)
        p[i] = char(v & 0xFF);
}

qint64 roundUp(qint64 n, qint64 unit)
{
    return (n + unit - 1) / unit * unit;
}

[[noreturn]] void misuse(const QString &what)
{
    throw store::Error(QStringLiteral("ParadoxTableWriter: %1").arg(what));
}

} // namespace

ParadoxTableWriter::ParadoxTableWriter(const QString &dbPath, std::vector<ParadoxFieldSpec> fields,
                                       ParadoxWriterOptions options)
    : m_dbPath(dbPath), m_fields(std::move(fields)), m_options(std::move(options))
{
    for (const ParadoxFieldSpec &f : m_fields)
        m_recordSize += f.size;
    m_blockSize = m_options.blockKiB * 1024;
    m_perBlock = (m_blockSize - kBlockHeader) / m_recordSize;
    if (m_options.rowsPerBlock > 0)
        m_perBlock = std::min(m_perBlock, m_options.rowsPerBlock);
}

QByteArray ParadoxTableWriter::storeBlob(const QByteArray &data)
{
    if (m_mb.isEmpty()) {
        m_mb = QByteArray(kBlobBlock, '\0');
        char *h = m_mb.data();
        put16(h + 1, 1);
        put16(h + 3, 1);
        put16(h + 0x0B, kBlobBlock);
        put16(h + 0x0D, kBlobBlock);
        h[0x10] = 0x10;
        put16(h + 0x11, 64);
        put16(h + 0x13, kSharedLimit);
    }
    QByteArray pointer(10, '\0');
    put32(pointer.data() + 4, quint32(data.size()));
    put16(pointer.data() + 8, 1);
    if (data.size() < kSharedLimit) {
        const int units = int(roundUp(data.size(), 16) / 16);
        if (m_sharedBlock == 0 || m_sharedEntry < 0 || m_sharedFree + units * 16 > kBlobBlock) {
            m_sharedBlock = m_mb.size();
            m_mb.append(QByteArray(kBlobBlock, '\0'));
            m_mb[m_sharedBlock] = 3;
            put16(m_mb.data() + m_sharedBlock + 1, 1);
            m_sharedEntry = 63; // entries are taken from the last one down
            m_sharedFree = kSharedData;
        }
        char *block = m_mb.data() + m_sharedBlock;
        char *entry = block + 12 + 5 * m_sharedEntry;
        entry[0] = char(m_sharedFree / 16);
        entry[1] = char(units);
        put16(entry + 2, 1);
        entry[4] = char(data.size() - (units - 1) * 16);
        std::memcpy(block + m_sharedFree, data.constData(), std::size_t(data.size()));
        put32(pointer.data(), quint32(m_sharedBlock) | quint32(m_sharedEntry));
        m_sharedFree += units * 16;
        --m_sharedEntry;
    } else {
        const qint64 at = m_mb.size();
        const qint64 chunks = roundUp(9 + data.size(), kBlobBlock) / kBlobBlock;
        m_mb.append(QByteArray(chunks * kBlobBlock, '\0'));
        char *block = m_mb.data() + at;
        block[0] = 2;
        put16(block + 1, quint32(chunks));
        put32(block + 3, quint32(data.size()));
        put16(block + 7, 1);
        std::memcpy(block + 9, data.constData(), std::size_t(data.size()));
        put32(pointer.data(), quint32(at) | 0xFF);
    }
    return pointer;
}

QByteArray ParadoxTableWriter::encodeRow(const std::vector<ParadoxValue> &values)
{
    if (values.size() != m_fields.size())
        misuse(QStringLiteral("%1 valores para %2 campos").arg(values.size()).arg(m_fields.size()));
    QByteArray row(m_recordSize, '\0');
    char *p = row.data();
    for (std::size_t i = 0; i < m_fields.size(); p += m_fields[i].size, ++i) {
        const ParadoxFieldSpec &f = m_fields[i];
        const ParadoxValue &v = values[i];
        if (std::holds_alternative<std::monostate>(v))
            continue;
        switch (f.type) {
        case paradoxtype::kShort:
            putBigEndian(p, quint16(std::get<qint64>(v)) ^ 0x8000u, 2);
            break;
        case paradoxtype::kLong:
        case paradoxtype::kAutoIncrement:
            putBigEndian(p, quint32(std::get<qint64>(v)) ^ 0x80000000u, 4);
            break;
        case paradoxtype::kNumber: {
            const double d = std::holds_alternative<double>(v) ? std::get<double>(v) : double(std::get<qint64>(v));
            quint64 bits = 0;
            std::memcpy(&bits, &d, sizeof bits);
            bits = std::signbit(d) ? ~bits : bits | 0x8000000000000000ull;
            putBigEndian(p, bits, 8);
            break;
        }
        case paradoxtype::kAlpha: {
            const QByteArray &text = std::get<QByteArray>(v);
            if (text.size() > f.size)
                misuse(QStringLiteral("%1 no cabe en %2").arg(QString::fromLatin1(text), QString::fromLatin1(f.name)));
            std::memcpy(p, text.constData(), std::size_t(text.size()));
            break;
        }
        default: { // memos and pictures
            const QByteArray &data = std::get<QByteArray>(v);
            const int leader = f.size - 10;
            std::memcpy(p, data.constData(), std::size_t(std::min<qsizetype>(leader, data.size())));
            if (data.size() <= leader) {
                put32(p + leader + 4, quint32(data.size()));
            } else {
                const QByteArray pointer = storeBlob(data);
                std::memcpy(p + leader, pointer.constData(), 10);
            }
            break;
        }
        }
    }
    return row;
}

void ParadoxTableWriter::addRow(const std::vector<ParadoxValue> &values)
{
    const QByteArray row = encodeRow(values);
    if (m_blocks.empty() || m_blockRows.back() >= m_perBlock) {
        m_blocks.emplace_back(m_blockSize, '\0');
        m_blockRows.push_back(0);
    }
    std::memcpy(m_blocks.back().data() + kBlockHeader + m_blockRows.back() * m_recordSize, row.constData(),
                std::size_t(m_recordSize));
    ++m_blockRows.back();
    ++m_rows;
}

void ParadoxTableWriter::deleteLastRow()
{
    if (m_blocks.empty() || m_blockRows.back() == 0)
        misuse(QStringLiteral("no hay fila que borrar"));
    --m_blockRows.back();
    --m_rows;
    // The block takes no more rows, so that the deleted one stays behind the others.
    m_blocks.emplace_back(m_blockSize, '\0');
    m_blockRows.push_back(0);
}

QByteArray ParadoxTableWriter::header(int blocks, quint16 first, quint16 last, quint16 firstFree) const
{
    const int n = int(m_fields.size());
    const bool withDataHeader = m_options.version >= 5;
    const int fieldInfo = withDataHeader ? 0x78 : 0x58;
    const int tableNameSize = m_options.version >= 12 ? 261 : 79;
    const quint32 key = paradoxcipher::passwordKey(m_options.password);

    QByteArray names;
    for (const ParadoxFieldSpec &f : m_fields)
        names += f.name + '\0';
    const int used = fieldInfo + 2 * n + 4 + 4 * n + tableNameSize + int(names.size()) + (key ? n : 0) + 2 * n + 6;
    QByteArray h(roundUp(used, 0x800), '\0');
    char *p = h.data();
    put16(p, quint32(m_recordSize));
    put16(p + 2, quint32(h.size()));
    p[4] = m_options.keyFields > 0 ? 0 : 2;
    p[5] = char(m_options.blockKiB);
    put32(p + 6, m_rows);
    put16(p + 0x0A, quint32(blocks));
    put16(p + 0x0C, quint32(blocks));
    put16(p + 0x0E, first);
    put16(p + 0x10, last);
    put16(p + 0x21, quint32(n));
    put16(p + 0x23, quint32(m_options.keyFields));
    put32(p + 0x25, withDataHeader ? 0xFF00FF00u : key);
    p[0x39] = char(m_options.version);
    put16(p + 0x3A, quint32(blocks));
    p[0x3E] = 0x1F;
    p[0x3F] = 0x0F;
    put32(p + 0x49, m_options.autoIncrement);
    put16(p + 0x4D, firstFree);
    if (withDataHeader) {
        put16(p + 0x58, 0x0100u | quint32(m_options.version));
        put16(p + 0x5A, 0x0100u | quint32(m_options.version));
        put32(p + 0x5C, key);
        put16(p + 0x64, quint32(n + 1));
        put16(p + 0x6A, 0x04E4); // Windows-1252
    }
    int at = fieldInfo;
    for (const ParadoxFieldSpec &f : m_fields) {
        p[at++] = char(f.type);
        p[at++] = char(f.size);
    }
    at += 4 + 4 * n; // pointers that only mean something in memory
    const QByteArray table = QFileInfo(m_dbPath).completeBaseName().toLatin1();
    std::memcpy(p + at, table.constData(), std::size_t(std::min<qsizetype>(table.size(), tableNameSize - 1)));
    at += tableNameSize;
    std::memcpy(p + at, names.constData(), std::size_t(names.size()));
    at += int(names.size()) + (key ? n : 0);
    for (int i = 0; i < n; ++i, at += 2)
        put16(p + at, quint32(i + 1));
    std::memcpy(p + at, "ascii", 6);
    return h;
}

void ParadoxTableWriter::finish()
{
    const int k = int(m_blocks.size());
    if (k + 1 > 0xFFFF)
        misuse(QStringLiteral("demasiados bloques: %1").arg(k));
    // Where each block of the chain sits in the file, from 1; and the free block, if any.
    std::vector<quint16> place(static_cast<std::size_t>(k));
    quint16 freePlace = 0;
    for (int i = 0; i < k; ++i)
        place[std::size_t(i)] = quint16(i + 1);
    if (m_options.scrambleBlocks && k >= 2) {
        // The first block stays first; the rest run backwards through the file, after a free
        // block that still holds the first block's rows.
        freePlace = 2;
        for (int i = 1; i < k; ++i)
            place[std::size_t(i)] = quint16(k + 2 - i);
    }
    const int total = k + (freePlace ? 1 : 0);
    std::vector<QByteArray> file(static_cast<std::size_t>(total));
    for (int i = 0; i < k; ++i) {
        QByteArray block = m_blocks[std::size_t(i)];
        put16(block.data(), i + 1 < k ? place[std::size_t(i) + 1] : 0);
        put16(block.data() + 2, i > 0 ? place[std::size_t(i) - 1] : 0);
        put16(block.data() + 4, quint16(qint16((m_blockRows[std::size_t(i)] - 1) * m_recordSize)));
        file[place[std::size_t(i)] - 1] = block;
    }
    if (freePlace) {
        QByteArray stale = m_blocks.front();
        put16(stale.data(), 0);
        put16(stale.data() + 2, 0);
        put16(stale.data() + 4, quint16((m_perBlock - 1) * m_recordSize));
        file[freePlace - 1] = stale;
    }

    const quint32 key = paradoxcipher::passwordKey(m_options.password);
    QFile db(m_dbPath);
    if (!db.open(QIODevice::WriteOnly))
        misuse(QStringLiteral("no se puede escribir %1").arg(m_dbPath));
    db.write(header(total, k ? place.front() : 0, k ? place.back() : 0, freePlace));
    for (int i = 0; i < total; ++i) {
        QByteArray &block = file[std::size_t(i)];
        if (key)
            paradoxcipher::encipherDataBlock(block.data(), m_blockSize, key, quint16(i + 1));
        db.write(block);
    }
    if (!db.flush())
        misuse(QStringLiteral("no se puede escribir %1").arg(m_dbPath));

    if (!m_mb.isEmpty()) {
        if (key)
            paradoxcipher::encipherBlobBytes(m_mb.data(), m_mb.size(), key);
        const QFileInfo info(m_dbPath);
        QFile mb(info.dir().filePath(info.completeBaseName() + QStringLiteral(".MB")));
        if (!mb.open(QIODevice::WriteOnly) || mb.write(m_mb) != m_mb.size())
            misuse(QStringLiteral("no se puede escribir %1").arg(mb.fileName()));
    }
}

QByteArray paradoxGraphic(const QImage &picture)
{
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    QByteArray graphic(8, '\0');
    put16(graphic.data(), 1);
    put16(graphic.data() + 2, 0x0100);
    put32(graphic.data() + 4, quint32(bmp.size()));
    return graphic + bmp;
}

namespace {

// splitmix64: the same numbers on every platform.
class Chance
{
public:
    explicit Chance(quint64 seed) : m_state(seed) { }
    quint32 below(quint32 n)
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return quint32(((z ^ (z >> 31)) >> 32) * n >> 32);
    }

private:
    quint64 m_state;
};

QByteArray cp1252(const QString &text)
{
    return codepage::toWindows1252(text, '?');
}

QImage photo(Chance &chance, int n)
{
    QImage image(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 3 + n * 40) & 0xFF, (y * 2 + int(chance.below(24))) & 0xFF, (n * 90 + x + y) & 0xFF);
    }
    return image;
}

} // namespace

void writeParadoxCatalogue(const QString &folder, int flowers, int symptoms, int linksPerSymptom, quint32 seed,
                           const QByteArray &password)
{
    if (flowers < 1 || symptoms < 0 || linksPerSymptom < 0 || linksPerSymptom > flowers)
        misuse(QStringLiteral("tamaños imposibles"));
    QDir().mkpath(folder);
    const QDir dir(folder);
    Chance chance(seed);
    ParadoxWriterOptions options;
    options.password = password;

    const QStringList heads{QStringLiteral("Agrimonia"), QStringLiteral("Mímulo"),  QStringLiteral("Álamo"),
                            QStringLiteral("Castaño"),   QStringLiteral("Ñandubay"), QStringLiteral("Orquídea"),
                            QStringLiteral("Brezo"),     QStringLiteral("Acebo"),    QStringLiteral("Nogal")};
    std::vector<QByteArray> photos;
    for (int i = 0; i < 8; ++i)
        photos.push_back(paradoxGraphic(photo(chance, i)));
    {
        options.autoIncrement = quint32(flowers) + 1;
        ParadoxTableWriter t(dir.filePath(QStringLiteral("Flores.db")),
                             {{"Clave", paradoxtype::kAutoIncrement, 4},
                              {"Tipo", paradoxtype::kAlpha, 2},
                              {"Nom1", paradoxtype::kAlpha, 25},
                              {"Nom2", paradoxtype::kAlpha, 25},
                              {"Nom3", paradoxtype::kAlpha, 25},
                              {"Memo1", paradoxtype::kMemo, 30},
                              {"Memo2", paradoxtype::kMemo, 30},
                              {"Memo3", paradoxtype::kMemo, 30},
                              {"Foto", paradoxtype::kGraphic, 10}},
                             options);
        for (int k = 1; k <= flowers; ++k) {
            QString memo = QStringLiteral("Esencia %1 del sistema %2.").arg(k).arg(1 + k % 13);
            const int sentences = k % 50 == 0 ? 40 + int(chance.below(20)) : int(chance.below(12));
            for (int s = 0; s < sentences; ++s)
                memo += QStringLiteral("\r\nIndicada para la añoranza, el miedo a lo desconocido y la indecisión.");
            const QString memo2 = k % 3 ? QStringLiteral("Hoja perenne, flor %1.").arg(k)
                                        : QStringLiteral("Planta baja de flores amarillas que crece en las laderas "
                                                         "secas y en la orilla de los ríos.");
            t.addRow({qint64(k), cp1252(QString::number(1 + k % 13)),
                      cp1252(heads[k % heads.size()] + QLatin1Char(' ') + QString::number(k)),
                      cp1252(QStringLiteral("Flower %1").arg(k)), cp1252(QStringLiteral("Flos sylvestris %1").arg(k)),
                      cp1252(memo), cp1252(memo2), k % 7 ? ParadoxValue() : cp1252(QStringLiteral("Nota ñ.")),
                      photos[std::size_t(k) % photos.size()]});
        }
        t.finish();
    }
    {
        options.autoIncrement = quint32(symptoms) + 1;
        ParadoxTableWriter t(dir.filePath(QStringLiteral("Sintomas.db")),
                             {{"Clave", paradoxtype::kAutoIncrement, 4},
                              {"Nom", paradoxtype::kAlpha, 60},
                              {"Orden", paradoxtype::kLong, 4}},
                             options);
        const QStringList what{QStringLiteral("Miedo a la oscuridad"), QStringLiteral("Añoranza del pasado"),
                               QStringLiteral("Dolor de cabeza persistente"), QStringLiteral("Indecisión ante el cambio"),
                               QStringLiteral("Pánico sin motivo")};
        for (int k = 1; k <= symptoms; ++k)
            t.addRow({qint64(k), cp1252(QStringLiteral("%1 %2").arg(what[k % what.size()]).arg(k)), qint64(k)});
        t.finish();
    }
    {
        options.autoIncrement = 0;
        options.keyFields = 2;
        std::vector<quint64> pairs;
        pairs.reserve(std::size_t(symptoms) * std::size_t(linksPerSymptom));
        for (int s = 1; s <= symptoms; ++s) {
            const quint32 start = chance.below(quint32(flowers));
            for (int j = 0; j < linksPerSymptom; ++j)
                pairs.push_back(quint64((start + quint32(j)) % quint32(flowers) + 1) << 32 | quint32(s));
        }
        std::sort(pairs.begin(), pairs.end()); // a keyed table keeps its rows in key order
        ParadoxTableWriter t(dir.filePath(QStringLiteral("Rel.db")),
                             {{"KFlor", paradoxtype::kLong, 4}, {"KSint", paradoxtype::kLong, 4}, {"OSint", paradoxtype::kLong, 4}},
                             options);
        for (quint64 pair : pairs)
            t.addRow({qint64(pair >> 32), qint64(pair & 0xFFFFFFFFu), qint64(pair & 0xFFFFFFFFu)});
        t.finish();
    }
}

} // namespace tabletool
