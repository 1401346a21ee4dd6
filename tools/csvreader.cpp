#include "csvreader.h"

#include "tabletool.h"

#include <QStringDecoder>

namespace tabletool {
namespace {

constexpr qint64 kBlockSize = 256 * 1024;

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

} // namespace

CsvReader::CsvReader(const QString &path, const QString &name) : m_file(path), m_name(name)
{
    if (!m_file.exists())
        throw store::Error(QStringLiteral("No se encuentra el archivo %1").arg(path));
    if (!m_file.open(QIODevice::ReadOnly))
        throw store::Error(QStringLiteral("No se puede leer el archivo %1: %2").arg(path, m_file.errorString()));
    // Every unquoted CR and LF is reported, blank lines included, so that lines can be counted.
    if (csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0)
        throw store::Error(QStringLiteral("No hay memoria para leer %1").arg(name));
    m_parserReady = true;
    csv_set_space_func(&m_parser, noBlanks);
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

// Callbacks run inside the C parser: they must not throw, so a fault is kept and raised once
// the rows before it have been handed out.
void CsvReader::onField(void *data, size_t bytes, void *reader)
{
    auto *self = static_cast<CsvReader *>(reader);
    self->m_afterCr = false;
    const char *p = static_cast<const char *>(data);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString field = utf8(QByteArrayView(p, qsizetype(bytes)));
    if (utf8.hasError() && self->m_errorLine == 0) {
        self->m_errorLine = self->m_rowStart;
        self->m_errorReason = QStringLiteral("el texto no está en UTF-8");
    }
    self->m_fields.append(std::move(field));
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
    QByteArray block = m_file.read(kBlockSize);
    if (block.isEmpty() && !m_file.atEnd())
        throw store::Error(QStringLiteral("No se puede leer el archivo %1: %2")
                                    .arg(m_file.fileName(), m_file.errorString()));
    qsizetype from = 0;
    if (m_firstBlock) {
        m_firstBlock = false;
        if (block.startsWith("\xEF\xBB\xBF"))
            from = 3;
    }
    if (block.isEmpty()) {
        m_finished = true;
        if (csv_fini(&m_parser, onField, onEndOfLine, this) != 0 && m_errorLine == 0) {
            m_errorLine = m_rowStart;
            m_errorReason = QStringLiteral("falta la comilla que cierra un campo");
        }
        return;
    }
    const size_t n = size_t(block.size() - from);
    const size_t parsed = csv_parse(&m_parser, block.constData() + from, n, onField, onEndOfLine, this);
    if (parsed != n && m_errorLine == 0) {
        m_errorLine = m_rowStart;
        m_errorReason = csv_error(&m_parser) == CSV_EPARSE
            ? QStringLiteral("comillas mal puestas: un campo con comillas debe ir entero entre ellas, "
                             "y una comilla dentro de él se escribe doble")
            : QStringLiteral("no hay memoria para leer la fila");
    }
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
