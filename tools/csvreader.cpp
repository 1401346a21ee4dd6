#include "csvreader.h"

#include "fieldtext.h"
#include "filesystem.h"
#include "tabletool.h"

#include <QStringDecoder>

#include <algorithm>

namespace tabletool {
namespace {

constexpr qsizetype kBlockSize = 256 * 1024;
// The parser grows its field buffer by a fixed step; fed in pieces of this size with the step
// raised to the buffer's size in between, it grows geometrically instead, so a field of many
// megabytes is copied a few times rather than once per step.
constexpr size_t kFeedSize = 64 * 1024;

// Blanks are data: a name may begin or end with one, and nothing may change it on the way in.
int noBlanks(unsigned char) { return 0; }

// Line breaks inside a quoted field: CRLF, LF and a lone CR each count once.
int lineBreaks(const char *p, size_t n)
{
    int breaks = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '\n')
            ++breaks;
        else if (p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n'))
            ++breaks;
    }
    return breaks;
}

QString utf8Fault(const char *p, size_t bytes, qsizetype at)
{
    const auto byte = static_cast<unsigned char>(p[at]);
    const QString hex = QString::number(byte, 16).toUpper();
    const bool cut = qsizetype(bytes) - at < 4 && byte >= 0xC2 && byte <= 0xF4
        && std::all_of(p + at + 1, p + bytes, [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; });
    return cut ? QStringLiteral("el texto no está en UTF-8: el campo termina a mitad de un carácter (byte 0x%1)").arg(hex)
               : QStringLiteral("el texto no está en UTF-8: el byte 0x%1 no forma parte de ningún carácter").arg(hex);
}

} // namespace

CsvError::CsvError(const QString &file, int line, const QString &reason)
    : store::Error(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason)),
      m_file(file), m_line(line), m_reason(reason)
{
}

CsvReader::CsvReader(const QString &path, const QString &name)
    : m_file(std::make_unique<InputFile>(path, path)), m_name(name)
{
    startParser();
}

CsvReader::CsvReader(const QByteArray &data, const QString &name) : m_memory(data), m_name(name)
{
    startParser();
}

void CsvReader::startParser()
{
    // Every unquoted CR and LF is reported, blank lines included, so that lines can be counted.
    if (csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0)
        throw store::Error(QStringLiteral("No hay memoria para leer %1").arg(m_name));
    m_parserReady = true;
    csv_set_space_func(&m_parser, noBlanks);
    csv_set_blk_size(&m_parser, kFeedSize);
}

CsvReader::~CsvReader()
{
    if (m_parserReady)
        csv_free(&m_parser);
}

void CsvReader::fail(int line, const QString &reason) const
{
    throw CsvError(m_name, line, reason);
}

void CsvReader::keepFault(const QString &reason)
{
    if (m_errorLine != 0)
        return;
    m_errorLine = m_rowStart;
    m_errorReason = reason;
}

// Callbacks run inside the C parser: they must not throw, so a fault is kept and raised once
// the rows before it have been handed out.
void CsvReader::onField(void *data, size_t bytes, void *reader)
{
    auto *self = static_cast<CsvReader *>(reader);
    self->m_afterCr = false;
    const char *p = static_cast<const char *>(data);
    if (const qsizetype bad = invalidUtf8(p, qsizetype(bytes)); bad >= 0)
        self->keepFault(utf8Fault(p, bytes, bad));
    // Only the file's first bytes may be a byte order mark; one at the start of a field is
    // data, which QString::fromUtf8 would drop.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    self->m_fields.append(utf8(QByteArrayView(p, qsizetype(bytes))));
    self->m_line += lineBreaks(p, bytes);
}

void CsvReader::onEndOfLine(int character, void *reader)
{
    auto *self = static_cast<CsvReader *>(reader);
    // The LF of a CRLF belongs to the line its CR ended.
    const bool lfOfCrlf = character == '\n' && self->m_afterCr && self->m_fields.isEmpty();
    if (!self->m_fields.isEmpty() && self->m_errorLine == 0)
        self->m_rows.push_back({self->m_rowStart, std::move(self->m_fields)});
    self->m_fields.clear();
    if (character == '\n' || character == '\r') {
        if (!lfOfCrlf)
            ++self->m_line;
        self->m_afterCr = character == '\r';
    }
    self->m_rowStart = self->m_line;
}

void CsvReader::readBlock()
{
    QByteArray block;
    if (m_file) {
        block.resize(kBlockSize);
        block.resize(m_file->read(block.data(), kBlockSize));
    } else {
        block = m_memory.mid(m_memoryRead, kBlockSize);
        m_memoryRead += block.size();
    }
    qsizetype from = 0;
    if (m_firstBlock) {
        m_firstBlock = false;
        if (block.startsWith("\xEF\xBB\xBF"))
            from = 3;
    }
    if (block.isEmpty()) {
        m_finished = true;
        if (csv_fini(&m_parser, onField, onEndOfLine, this) != 0)
            keepFault(QStringLiteral("falta la comilla que cierra un campo"));
        return;
    }
    while (from < block.size() && m_errorLine == 0) {
        const size_t n = std::min(size_t(block.size() - from), kFeedSize);
        csv_set_blk_size(&m_parser, std::max(kFeedSize, m_parser.entry_size));
        const size_t parsed = csv_parse(&m_parser, block.constData() + from, n, onField, onEndOfLine, this);
        from += qsizetype(n);
        if (parsed != n)
            keepFault(csv_error(&m_parser) == CSV_EPARSE
                          ? QStringLiteral("comillas mal puestas: un campo con comillas debe ir entero entre ellas, "
                                           "y una comilla dentro de él se escribe doble")
                          : QStringLiteral("no hay memoria para leer la fila"));
        else if (m_parser.entry_pos > size_t(kMaxFieldBytes))
            keepFault(QStringLiteral("un campo pasa de %1 MB").arg(kMaxFieldBytes / (1024 * 1024)));
    }
    // After a fault nothing further is read: the rows before it are handed out, then the fault.
    if (m_errorLine != 0)
        m_finished = true;
}

bool CsvReader::next(CsvRow &row)
{
    while (m_rows.empty()) {
        if (m_errorLine != 0)
            fail(m_errorLine, m_errorReason);
        if (m_finished)
            return false;
        readBlock();
    }
    row = std::move(m_rows.front());
    m_rows.pop_front();
    return true;
}

} // namespace tabletool
