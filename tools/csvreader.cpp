#include "csvreader.h"

#include "tabletool.h"

#include <QStringDecoder>

namespace tabletool {
namespace {

constexpr qint64 kBloque = 256 * 1024;

// Blanks are data: a name may begin or end with one, and nothing may change it on the way in.
int ningunBlanco(unsigned char) { return 0; }

// Line breaks inside a quoted field: CRLF, LF and a lone CR each count once.
int saltosDeLinea(const char *p, size_t n)
{
    int saltos = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '\n')
            ++saltos;
        else if (p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n'))
            ++saltos;
    }
    return saltos;
}

} // namespace

CsvReader::CsvReader(const QString &ruta, const QString &nombre) : m_archivo(ruta), m_nombre(nombre)
{
    if (!m_archivo.exists())
        throw store::Error(QStringLiteral("No se encuentra el archivo %1").arg(ruta));
    if (!m_archivo.open(QIODevice::ReadOnly))
        throw store::Error(QStringLiteral("No se puede leer el archivo %1: %2").arg(ruta, m_archivo.errorString()));
    // Every unquoted CR and LF is reported, blank lines included, so that lines can be counted.
    if (csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0)
        throw store::Error(QStringLiteral("No hay memoria para leer %1").arg(nombre));
    m_parserListo = true;
    csv_set_space_func(&m_parser, ningunBlanco);
}

CsvReader::~CsvReader()
{
    if (m_parserListo)
        csv_free(&m_parser);
}

void CsvReader::fallar(int linea, const QString &motivo) const
{
    throw CsvError(m_nombre, linea, motivo);
}

// Callbacks run inside the C parser: they must not throw, so a fault is kept and raised once
// the rows before it have been handed out.
void CsvReader::alCampo(void *datos, size_t bytes, void *lector)
{
    auto *self = static_cast<CsvReader *>(lector);
    self->m_trasCr = false;
    const char *p = static_cast<const char *>(datos);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString campo = utf8(QByteArrayView(p, qsizetype(bytes)));
    if (utf8.hasError() && self->m_lineaError == 0) {
        self->m_lineaError = self->m_inicioFila;
        self->m_motivoError = QStringLiteral("el texto no está en UTF-8");
    }
    self->m_campos.append(std::move(campo));
    self->m_linea += saltosDeLinea(p, bytes);
}

void CsvReader::alFinDeLinea(int caracter, void *lector)
{
    auto *self = static_cast<CsvReader *>(lector);
    // The LF of a CRLF belongs to the line its CR ended.
    const bool lfDeCrlf = caracter == '\n' && self->m_trasCr && self->m_campos.isEmpty();
    if (!self->m_campos.isEmpty() && self->m_lineaError == 0)
        self->m_filas.push_back({self->m_inicioFila, std::move(self->m_campos)});
    self->m_campos.clear();
    if (caracter == '\n' || caracter == '\r') {
        if (!lfDeCrlf)
            ++self->m_linea;
        self->m_trasCr = caracter == '\r';
    }
    self->m_inicioFila = self->m_linea;
}

void CsvReader::leerBloque()
{
    QByteArray bloque = m_archivo.read(kBloque);
    if (bloque.isEmpty() && !m_archivo.atEnd())
        throw store::Error(QStringLiteral("No se puede leer el archivo %1: %2")
                                    .arg(m_archivo.fileName(), m_archivo.errorString()));
    qsizetype desde = 0;
    if (m_primerBloque) {
        m_primerBloque = false;
        if (bloque.startsWith("\xEF\xBB\xBF"))
            desde = 3;
    }
    if (bloque.isEmpty()) {
        m_terminado = true;
        if (csv_fini(&m_parser, alCampo, alFinDeLinea, this) != 0 && m_lineaError == 0) {
            m_lineaError = m_inicioFila;
            m_motivoError = QStringLiteral("falta la comilla que cierra un campo");
        }
        return;
    }
    const size_t n = size_t(bloque.size() - desde);
    const size_t leidos = csv_parse(&m_parser, bloque.constData() + desde, n, alCampo, alFinDeLinea, this);
    if (leidos != n && m_lineaError == 0) {
        m_lineaError = m_inicioFila;
        m_motivoError = csv_error(&m_parser) == CSV_EPARSE
            ? QStringLiteral("comillas mal puestas: un campo con comillas debe ir entero entre ellas, "
                             "y una comilla dentro de él se escribe doble")
            : QStringLiteral("no hay memoria para leer la fila");
    }
}

bool CsvReader::siguiente(CsvRow &fila)
{
    while (m_filas.empty()) {
        if (m_lineaError != 0)
            fallar(m_lineaError, m_motivoError);
        if (m_terminado)
            return false;
        leerBloque();
    }
    fila = std::move(m_filas.front());
    m_filas.pop_front();
    return true;
}

} // namespace tabletool
