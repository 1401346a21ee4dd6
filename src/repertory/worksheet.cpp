#include "worksheet.h"

#include "processing.h"

#include "catalogue/catalogue.h"
#include "store/error.h"
#include "store/table.h"
#include "store/view.h"

#include <QFontMetrics>
#include <QFontMetricsF>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <limits>
#include <numeric>
#include <optional>

namespace worksheet {

bool Sheet::marca(int fila, int sintoma) const
{
    const auto m = marcadas(fila);
    return std::binary_search(m.begin(), m.end(), sintoma);
}

void Sheet::agregarFila(QString nombre, int cuenta, std::span<const int> marcadas)
{
    nombres.push_back(std::move(nombre));
    cuentas.push_back(cuenta);
    columnas.insert(columnas.end(), marcadas.begin(), marcadas.end());
    inicio.push_back(int(columnas.size()));
}

QString Sheet::texto(int fila, int columna) const
{
    if (fila == 0) {
        if (columna == 0)
            return {};
        return columna == 1 ? QStringLiteral("C") : QString::number(columna - 1);
    }
    if (columna == 0)
        return nombres[std::size_t(fila - 1)];
    if (columna == 1)
        return QString::number(cuentas[std::size_t(fila - 1)]);
    return marca(fila - 1, columna - 2) ? QStringLiteral("X") : QString();
}

LinksByFlower::LinksByFlower(const store::Table &rel, const std::vector<qint32> &sintomas)
{
    // The flower of every link of every chosen symptom, column by column.
    std::vector<int> columnaDe;
    const std::vector<qint32> flores = repertory::linkedFlowers(rel, sintomas, &columnaDe);
    if (flores.empty())
        return;
    const auto [menor, mayor] = std::minmax_element(flores.begin(), flores.end());
    const qint64 rango = qint64(*mayor) - *menor + 1;
    m_columnas.resize(flores.size());
    if (rango <= qint64(flores.size()) * 4 + 4096) {
        // Keys close together: count per key, then place each link in its flower's run. The
        // links come column by column, so each run is in column order.
        m_menor = *menor;
        m_inicioPorClave.assign(std::size_t(rango) + 1, 0);
        for (const qint32 f : flores)
            ++m_inicioPorClave[std::size_t(f - m_menor) + 1];
        for (std::size_t k = 1; k < m_inicioPorClave.size(); ++k)
            m_inicioPorClave[k] += m_inicioPorClave[k - 1];
        std::vector<int> siguiente(m_inicioPorClave.begin(), m_inicioPorClave.end() - 1);
        for (std::size_t i = 0; i < flores.size(); ++i)
            m_columnas[std::size_t(siguiente[std::size_t(flores[i] - m_menor)]++)] = columnaDe[i];
        return;
    }
    // Otherwise sort flower over column.
    std::vector<quint64> pares(flores.size());
    for (std::size_t i = 0; i < flores.size(); ++i)
        pares[i] = quint64(quint32(flores[i]) ^ 0x80000000u) << 32 | quint64(columnaDe[i]);
    std::sort(pares.begin(), pares.end());
    m_flores.resize(pares.size());
    for (std::size_t i = 0; i < pares.size(); ++i) {
        m_flores[i] = qint32(quint32(pares[i] >> 32) ^ 0x80000000u);
        m_columnas[i] = int(quint32(pares[i]));
    }
}

std::span<const int> LinksByFlower::columnas(qint32 flor) const
{
    if (!m_inicioPorClave.empty()) {
        const qint64 k = qint64(flor) - m_menor;
        if (k < 0 || k + 1 >= qint64(m_inicioPorClave.size()))
            return {};
        const int lo = m_inicioPorClave[std::size_t(k)], hi = m_inicioPorClave[std::size_t(k) + 1];
        return {m_columnas.data() + lo, std::size_t(hi - lo)};
    }
    const auto [lo, hi] = std::equal_range(m_flores.begin(), m_flores.end(), flor);
    return {m_columnas.data() + (lo - m_flores.begin()), std::size_t(hi - lo)};
}

namespace {

// A looked-up text read straight from the table it comes from, as the lookup reads it: the
// row with the key, if the lookup's view lets it through.
QString porClave(const store::View &vista, int campo, qint32 clave)
{
    const store::Table &table = *vista.table();
    const auto s = table.findPrimary(clave);
    return s && vista.accepts(*s) ? table.text(*s, campo) : QString();
}

} // namespace

// For about as many look-ups as the table has rows, with keys close together, a table of rows
// by key, filled in one pass over the primary index, answers faster than the key directory.
TextByKey::TextByKey(const store::View &vista, const QString &campo, int consultas)
    : m_vista(vista), m_campo(vista.table() ? vista.table()->fieldIndex(campo) : -1)
{
    if (m_campo < 0)
        return;
    const store::Table &table = *vista.table();
    const auto &orden = table.order(0);
    const int clave = table.fieldIndex(table.def().primary.fields.front().name);
    if (orden.empty() || qsizetype(orden.size()) > 4 * qsizetype(consultas) + 4096)
        return;
    m_menor = table.integer(orden.front(), clave);
    const qint64 rango = qint64(table.integer(orden.back(), clave)) - m_menor + 1;
    if (rango > 4 * qint64(orden.size()) + 4096)
        return;
    m_filaPorClave.assign(std::size_t(rango), kSinFila);
    for (const store::Slot s : orden)
        m_filaPorClave[std::size_t(table.integer(s, clave) - m_menor)] = s;
}

QString TextByKey::texto(qint32 clave) const
{
    if (m_campo < 0)
        return {};
    if (m_filaPorClave.empty())
        return porClave(m_vista, m_campo, clave);
    const qint64 k = qint64(clave) - m_menor;
    if (k < 0 || k >= qint64(m_filaPorClave.size()) || m_filaPorClave[std::size_t(k)] == kSinFila)
        return {};
    const store::Slot s = m_filaPorClave[std::size_t(k)];
    return m_vista.accepts(s) ? m_vista.table()->text(s, m_campo) : QString();
}

Sintomas readSymptoms(const Catalogue &c)
{
    const store::View &sel = c.TRepS;
    const store::Table &table = *sel.table();
    const int clave = table.fieldIndex(QStringLiteral("Clave"));
    // The selection names its symptoms through the list that sees every symptom.
    const int nom = c.TSintNames.table()->fieldIndex(QStringLiteral("Nom"));
    Sintomas s;
    const int n = sel.recordCount();
    s.claves.reserve(std::size_t(n));
    s.referencias.reserve(n);
    for (int row = 0; row < n; ++row) {
        const qint32 k = table.integer(*sel.slotAt(row), clave);
        s.claves.push_back(k);
        const QString texto = porClave(c.TSintNames, nom, k);
        QString linea;
        linea.reserve(texto.size() + 8);
        linea.append(QString::number(row + 1)).append(QLatin1String(": ")).append(texto);
        s.referencias << linea;
    }
    return s;
}

SheetReader::SheetReader(const Catalogue &c, const QString &campoNombre)
    : m_catalogo(c), m_sintomas(readSymptoms(c)), m_enlaces(*c.TRelS.table(), m_sintomas.claves),
      m_nombres(c.TFlores, campoNombre, c.TRepF.recordCount())
{
    const store::View &res = c.TRepF;
    m_total = res.recordCount();
    m_campoClave = res.table()->fieldIndex(QStringLiteral("Clave"));
    m_campoCant = res.table()->fieldIndex(QStringLiteral("Cant"));
    // The result's flower names are looked up in the flower list by key.
    m_campoEnFlores = c.TFlores.table() ? c.TFlores.table()->fieldIndex(campoNombre) : -1;
    m_campoNombre = res.fieldNumber(campoNombre);
    m_hoja.referencias = std::move(m_sintomas.referencias);
    m_hoja.nombres.reserve(std::size_t(m_total));
    m_hoja.cuentas.reserve(std::size_t(m_total));
    m_hoja.inicio.reserve(std::size_t(m_total) + 1);
}

QString SheetReader::nombre(int fila, qint32 flor) const
{
    if (m_campoEnFlores >= 0)
        return m_nombres.texto(flor);
    return m_campoNombre < 0 ? QString() : m_catalogo.TRepF.valueAt(fila, m_campoNombre).toString();
}

void SheetReader::leerFila(int fila)
{
    const store::View &res = m_catalogo.TRepF;
    const store::Table &table = *res.table();
    const auto slot = res.slotAt(fila);
    if (!slot)
        throw store::Error(QStringLiteral("El resultado cambió mientras se armaba la planilla"));
    const qint32 flor = table.integer(*slot, m_campoClave);
    m_hoja.agregarFila(nombre(fila, flor), table.integer(*slot, m_campoCant), m_enlaces.columnas(flor));
}

Sheet buildSheet(const Catalogue &c, const QString &campoNombre)
{
    SheetReader lector(c, campoNombre);
    for (int fila = 0; fila < lector.filasPorLeer(); ++fila)
        lector.leerFila(fila);
    return lector.tomarHoja();
}

std::vector<int> weights(const Sheet &sheet)
{
    std::vector<int> p(std::size_t(sheet.sintomas()), sheet.filas());
    for (const int c : sheet.columnas)
        --p[std::size_t(c)];
    return p;
}

std::vector<int> scores(const Sheet &sheet, const std::vector<int> &weights)
{
    std::vector<int> suma(std::size_t(sheet.filas()), 0);
    for (int r = 0; r < sheet.filas(); ++r)
        for (const int c : sheet.marcadas(r))
            suma[std::size_t(r)] += weights[std::size_t(c)];
    return suma;
}

std::vector<int> orderByScore(const std::vector<int> &scores)
{
    std::vector<int> orden(scores.size());
    if (scores.empty())
        return orden;
    const int mayor = *std::max_element(scores.begin(), scores.end());
    if (mayor <= 4 * int(scores.size()) + 4096 && *std::min_element(scores.begin(), scores.end()) >= 0) {
        // Few distinct scores: count the rows of each score and lay them out from the highest,
        // each score's rows in their own order.
        std::vector<int> desde(std::size_t(mayor) + 2, 0);
        for (const int p : scores)
            ++desde[std::size_t(mayor - p) + 1];
        for (std::size_t i = 1; i < desde.size(); ++i)
            desde[i] += desde[i - 1];
        for (std::size_t r = 0; r < scores.size(); ++r)
            orden[std::size_t(desde[std::size_t(mayor - scores[r])]++)] = int(r);
        return orden;
    }
    // Otherwise higher scores first, then the earlier row: one sort of numbers that hold both.
    std::vector<quint64> claves(scores.size());
    for (std::size_t i = 0; i < scores.size(); ++i)
        claves[i] = quint64(quint32(std::numeric_limits<qint32>::max() - scores[i])) << 32 | quint64(i);
    std::sort(claves.begin(), claves.end());
    for (std::size_t i = 0; i < claves.size(); ++i)
        orden[i] = int(quint32(claves[i]));
    return orden;
}

void OrdenarPorPuntaje(Sheet &sheet)
{
    const std::vector<int> orden = orderByScore(scores(sheet, weights(sheet)));
    Sheet nueva;
    nueva.referencias = sheet.referencias;
    nueva.nombres.reserve(orden.size());
    nueva.cuentas.reserve(orden.size());
    nueva.columnas.reserve(sheet.columnas.size());
    nueva.inicio.reserve(orden.size() + 1);
    for (const int r : orden)
        nueva.agregarFila(std::move(sheet.nombres[std::size_t(r)]), sheet.cuentas[std::size_t(r)], sheet.marcadas(r));
    sheet = std::move(nueva);
}

QString copyText(const QStringList &referencias, const Sheet &sheet)
{
    const QString fin = QStringLiteral("\r\n");
    const QString barra = QStringLiteral("| ");
    QString texto;
    for (qsizetype i = 0; i < referencias.size(); ++i) {
        const QString &linea = referencias[i];
        // The number and ": " in front of the symptom's text are dropped.
        texto += barra.repeated(i) + linea.mid(linea.indexOf(QLatin1Char(':')) + 2, 100) + fin;
    }
    texto += barra.repeated(referencias.size()) + fin;
    const QString marca = QStringLiteral("X ");
    for (int r = 0; r < sheet.filas(); ++r) {
        QString prefijo;
        for (int c = 0; c < sheet.sintomas(); ++c)
            prefijo += sheet.marca(r, c) ? marca : barra;
        texto += prefijo + QLatin1Char('(') + QString::number(sheet.cuentas[std::size_t(r)]) + QLatin1String(") ")
                 + sheet.nombres[std::size_t(r)] + fin;
    }
    return texto;
}

namespace {

// Shaping a text to measure it is slow next to everything else the worksheet does. A text's
// width is first estimated from the advance of its first character and, for each following
// one, its advance after the one before it (which takes in kerning and ligatures); both are
// measured once per font and kept, in 64ths of a pixel as the font gives them. Only the texts
// that might be the widest are then measured whole.
class Estimador
{
public:
    static constexpr qint32 kDesconocido = std::numeric_limits<qint32>::min();
    // Steps fit in 16 bits (up to 511 pixels); a smaller table stays in the cache.
    static constexpr qint16 kPasoDesconocido = std::numeric_limits<qint16>::min();

    explicit Estimador(const QFont &fuente) : m_f(fuente), m_exacto(fuente)
    {
        m_avance.fill(kDesconocido);
        m_despues.assign(256 * 256, kPasoDesconocido);
    }

    // Empty for a text outside the single-byte range: it is measured whole.
    std::optional<qint32> estimar(const QString &t)
    {
        const QChar *p = t.constData();
        const qsizetype n = t.size();
        if (n == 0)
            return 0;
        uint anterior = p[0].unicode();
        if (anterior > 255)
            return std::nullopt;
        qint32 suma = avance(anterior);
        for (qsizetype i = 1; i < n; ++i) {
            const uint c = p[i].unicode();
            if (c > 255)
                return std::nullopt;
            qint16 &d = m_despues[anterior * 256 + c];
            if (d == kPasoDesconocido) {
                const qint32 paso = medirDespues(anterior, c);
                if (paso <= kPasoDesconocido || paso > std::numeric_limits<qint16>::max())
                    return std::nullopt; // a glyph this wide is no name's: measure the text whole
                d = qint16(paso);
            }
            suma += d;
            anterior = c;
        }
        return suma;
    }
    int exacto(const QString &t) const { return m_exacto.horizontalAdvance(t); }

private:
    static qint32 sesentaycuatroavos(qreal pixeles) { return qint32(std::lround(pixeles * 64)); }
    qint32 avance(uint c)
    {
        qint32 &a = m_avance[c];
        if (a == kDesconocido)
            a = sesentaycuatroavos(m_f.horizontalAdvance(QChar(char16_t(c))));
        return a;
    }
    qint32 medirDespues(uint a, uint b)
    {
        const QChar dos[2] = {QChar(char16_t(a)), QChar(char16_t(b))};
        return sesentaycuatroavos(m_f.horizontalAdvance(QString(dos, 2))) - avance(a);
    }

    QFontMetricsF m_f;
    QFontMetrics m_exacto;
    std::array<qint32, 256> m_avance;
    std::vector<qint16> m_despues;
};

Estimador &estimadorPara(const QFont &fuente)
{
    // Kept for the whole run, one per font: the worksheet asks for the same font every time.
    static std::map<QString, std::unique_ptr<Estimador>> porFuente;
    auto &e = porFuente[fuente.key()];
    if (!e)
        e = std::make_unique<Estimador>(fuente);
    return *e;
}

} // namespace

int widestText(const std::vector<QString> &textos, const QFont &fuente)
{
    if (textos.empty())
        return 0;
    Estimador &e = estimadorPara(fuente);
    constexpr qint32 kSinEstimar = -1;
    std::vector<qint32> estimado(textos.size(), kSinEstimar);
    int mayor = 0;
    qint32 mayorEstimado = 0;
    for (std::size_t i = 0; i < textos.size(); ++i) {
        if (const auto est = e.estimar(textos[i])) {
            estimado[i] = *est;
            mayorEstimado = std::max(mayorEstimado, *est);
        } else {
            mayor = std::max(mayor, e.exacto(textos[i])); // no estimate: measured whole
        }
    }
    // The texts that could be the widest are measured whole, from the widest estimate down,
    // until no estimate left can reach the widest measured, allowing for the largest error an
    // estimate has shown (at least the half pixel of rounding a whole text). Texts further
    // than `ventana` below the widest estimate are looked at only if an error that large
    // turns up. All in 64ths of a pixel.
    qint32 cota = 48;
    std::vector<std::pair<QString, int>> medidos;
    for (qint32 ventana = 4 * 64;; ventana *= 8) {
        std::vector<std::pair<qint32, std::size_t>> candidatos;
        for (std::size_t i = 0; i < textos.size(); ++i)
            if (estimado[i] != kSinEstimar && estimado[i] >= mayorEstimado - ventana)
                candidatos.emplace_back(estimado[i], i);
        std::sort(candidatos.begin(), candidatos.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        for (const auto &[est, i] : candidatos) {
            if (est + cota < mayor * 64)
                break;
            // A name that comes back (the same flower in another system) is measured once.
            auto medido = std::find_if(medidos.begin(), medidos.end(), [&](const auto &m) { return m.first == textos[i]; });
            if (medido == medidos.end())
                medido = medidos.insert(medidos.end(), {textos[i], e.exacto(textos[i])});
            mayor = std::max(mayor, medido->second);
            cota = std::max(cota, std::abs(medido->second * 64 - est) + 1);
        }
        if (mayorEstimado - ventana + cota < mayor * 64 || ventana > std::numeric_limits<qint32>::max() / 16)
            return mayor;
    }
}

int referencesWidth(int anchoCliente, std::span<const int> anchosColumnas)
{
    int columnas = 0;
    for (const int w : anchosColumnas)
        columnas += w + 1;
    return std::max(kMinimumReferencesWidth, anchoCliente - columnas - 30);
}

} // namespace worksheet
