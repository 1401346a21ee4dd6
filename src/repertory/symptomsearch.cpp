#include "symptomsearch.h"

#include "store/codepage.h"

#include <algorithm>
#include <cstring>

namespace search {
namespace {

// Where a word first occurs in a stretch of the buffer.
const char *hallar(const char *p, std::size_t n, const QByteArray &palabra)
{
    return static_cast<const char *>(memmem(p, n, palabra.constData(), std::size_t(palabra.size())));
}

// Bytes no name and no search word can hold, so that neither ever matches the other.
constexpr char kAusenteEnNombre = char(0x81);
constexpr char kAusenteEnPalabra = char(0x8D);

bool contieneTodas(const QString &n, const QStringList &words)
{
    for (const QString &p : words)
        if (p.isEmpty() || !n.contains(p))
            return false;
    return true;
}

bool contieneAlguna(const QString &n, const QStringList &words)
{
    for (const QString &p : words)
        if (!p.isEmpty() && n.contains(p))
            return true;
    return false;
}

bool algunaContenidaEn(const QString &palabra, const QStringList &words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](const QString &p) { return !p.isEmpty() && palabra.contains(p); });
}

} // namespace

void SepararPalabras(const QString &texto, QStringList &words)
{
    words.clear();
    QString actual;
    for (const QChar c : texto) {
        if (c == QLatin1Char(' ')) {
            if (!actual.isEmpty())
                words << std::exchange(actual, QString());
        } else {
            actual += c;
        }
    }
    if (!actual.isEmpty())
        words << actual;
}

void NormalizarTexto(QString &texto)
{
    static const QString de = QStringLiteral("áéíóúñ");
    static const QString a = QStringLiteral("AEIOUÑ");
    for (QChar &c : texto) {
        const qsizetype i = de.indexOf(c);
        if (i >= 0)
            c = a[i];
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
}

bool nameMatches(const QString &nombre, int modo, const QStringList &words, const QString &texto)
{
    if (modo < AnyWord || modo > Exact)
        return true;
    QString n = nombre;
    NormalizarTexto(n);
    switch (modo) {
    case AnyWord: return contieneAlguna(n, words);
    case AllWords: return contieneTodas(n, words);
    default: return !texto.isEmpty() && n.contains(texto);
    }
}

NameIndex::NameIndex(store::Table &sintomas, const QString &campo, QObject *parent)
    : QObject(parent), m_tabla(sintomas), m_campo(sintomas.fieldIndex(campo))
{
    reconstruir();
    connect(&m_tabla, &store::Table::rowInserted, this, [this](store::Slot s) {
        olvidarConsulta();
        agregar(s);
    });
    connect(&m_tabla, &store::Table::rowUpdated, this, [this](store::Slot s) {
        olvidarConsulta();
        quitar(s);
        agregar(s);
    });
    connect(&m_tabla, &store::Table::rowRemoved, this, [this](store::Slot s) {
        olvidarConsulta();
        quitar(s);
    });
    connect(&m_tabla, &store::Table::reloaded, this, [this] {
        olvidarConsulta();
        reconstruir();
    });
}

void NameIndex::reconstruir()
{
    m_buffer.clear();
    m_entradas.clear();
    m_entradaDe.clear();
    m_muertos = 0;
    for (const store::Slot s : m_tabla.order(0))
        agregar(s);
}

void NameIndex::agregar(store::Slot s)
{
    QString nombre = m_tabla.text(s, m_campo);
    NormalizarTexto(nombre);
    const QByteArray b = codepage::toWindows1252(nombre, kAusenteEnNombre);
    if (m_entradaDe.size() <= s)
        m_entradaDe.resize(std::size_t(s) + 1, -1);
    m_entradaDe[s] = qint64(m_entradas.size());
    m_entradas.push_back({quint32(m_buffer.size()), quint32(b.size()), s});
    m_buffer += b;
    m_buffer += '\0';
}

void NameIndex::quitar(store::Slot s)
{
    if (s >= m_entradaDe.size() || m_entradaDe[s] < 0)
        return;
    Entrada &e = m_entradas[std::size_t(m_entradaDe[s])];
    // The old name stays in the buffer as zeros, which no word matches.
    std::memset(m_buffer.data() + e.inicio, 0, e.largo);
    m_muertos += e.largo + 1;
    e.largo = 0;
    m_entradaDe[s] = -1;
    if (m_muertos > std::size_t(m_buffer.size()) / 2)
        reconstruir();
}

bool NameIndex::contiene(store::Slot s, const QByteArray &palabra) const
{
    const Entrada &e = m_entradas[std::size_t(m_entradaDe[s])];
    return !palabra.isEmpty() && hallar(m_buffer.constData() + e.inicio, e.largo, palabra);
}

std::vector<store::Slot> NameIndex::recorrer(const QByteArray &palabra)
{
    std::vector<store::Slot> filas;
    if (palabra.isEmpty())
        return filas;
    const char *base = m_buffer.constData();
    const char *fin = base + m_buffer.size();
    const char *p = base;
    std::size_t entrada = 0;
    while (p < fin) {
        const char *hit = hallar(p, std::size_t(fin - p), palabra);
        if (!hit)
            break;
        const auto off = quint32(hit - base);
        // Hits come in buffer order, so the name holding each one is found walking forward.
        while (entrada + 1 < m_entradas.size() && m_entradas[entrada + 1].inicio <= off)
            ++entrada;
        const Entrada &e = m_entradas[entrada];
        filas.push_back(e.fila);
        // One hit per name is enough: go on after its end.
        p = base + e.inicio + e.largo + 1;
    }
    return filas;
}

std::vector<store::Slot> NameIndex::filtrar(int modo, const std::vector<QByteArray> &words,
                                                const std::vector<store::Slot> &candidatas) const
{
    std::vector<store::Slot> filas;
    for (const store::Slot s : candidatas) {
        if (s >= m_entradaDe.size() || m_entradaDe[s] < 0)
            continue;
        bool pasa = modo == AllWords;
        for (const QByteArray &p : words) {
            const bool esta = contiene(s, p);
            if (modo == AllWords && !esta) {
                pasa = false;
                break;
            }
            if (modo != AllWords && esta) {
                pasa = true;
                break;
            }
        }
        if (pasa)
            filas.push_back(s);
    }
    return filas;
}

const std::vector<store::Slot> &NameIndex::filasCon(const QByteArray &palabra, std::vector<Apariciones> &nuevas)
{
    for (const Apariciones &a : nuevas)
        if (a.palabra == palabra)
            return a.filas;
    const Apariciones *base = nullptr;
    for (const Apariciones &a : m_apariciones)
        if (!a.palabra.isEmpty() && palabra.contains(a.palabra) && (!base || a.filas.size() < base->filas.size()))
            base = &a;
    Apariciones hallada{palabra, {}};
    if (palabra.isEmpty()) {
        // An empty word is never found.
    } else if (base && base->palabra == palabra) {
        hallada.filas = base->filas;
    } else if (base && base->filas.size() < m_entradas.size() / 8) {
        // Few rows hold the beginning of the word: test just those. With many, one pass over
        // the buffer is quicker than a search per name.
        for (const store::Slot s : base->filas)
            if (s < m_entradaDe.size() && m_entradaDe[s] >= 0 && contiene(s, palabra))
                hallada.filas.push_back(s);
    } else {
        hallada.filas = recorrer(palabra);
    }
    nuevas.push_back(std::move(hallada));
    return nuevas.back().filas;
}

void NameIndex::recordar(std::vector<Apariciones> &&nuevas)
{
    // The words of this search go first; older ones stay while they fit, since typing back
    // and forth comes back to them.
    constexpr std::size_t kFilasRecordadas = 4'000'000;
    std::size_t total = 0;
    for (const Apariciones &a : nuevas)
        total += a.filas.size();
    for (Apariciones &a : m_apariciones) {
        const bool repeated = std::any_of(nuevas.begin(), nuevas.end(),
                                          [&](const Apariciones &n) { return n.palabra == a.palabra; });
        if (repeated || total + a.filas.size() > kFilasRecordadas || nuevas.size() >= 64)
            continue;
        total += a.filas.size();
        nuevas.push_back(std::move(a));
    }
    m_apariciones = std::move(nuevas);
}

bool NameIndex::estrecha(int modo, const QStringList &words, const QString &texto) const
{
    const Consulta &u = m_ultima;
    if (u.modo != modo)
        return false;
    switch (modo) {
    case Exact:
        return !u.texto.isEmpty() && texto.startsWith(u.texto);
    case AllWords: // every old word lies inside some new word: no new row can pass
        return !u.words.isEmpty()
            && std::all_of(u.words.begin(), u.words.end(),
                           [&](const QString &viejo) {
                               return std::any_of(words.begin(), words.end(),
                                                  [&](const QString &nuevo) { return nuevo.contains(viejo); });
                           });
    case AnyWord: // every new word holds an old one: what passes now passed before
        return !words.isEmpty()
            && std::all_of(words.begin(), words.end(),
                           [&](const QString &nuevo) { return algunaContenidaEn(nuevo, u.words); });
    default:
        return false;
    }
}

std::vector<store::Slot> NameIndex::find(int modo, const QStringList &words, const QString &texto)
{
    std::vector<store::Slot> filas;
    if (modo < AnyWord || modo > Exact || (modo == AllWords && words.isEmpty())) {
        for (std::size_t i = 0; i < m_entradas.size(); ++i)
            if (m_entradaDe[m_entradas[i].fila] == qint64(i))
                filas.push_back(m_entradas[i].fila);
        return filas;
    }
    std::vector<QByteArray> claves;
    if (modo == Exact)
        claves.push_back(codepage::toWindows1252(texto, kAusenteEnPalabra));
    else
        for (const QString &p : words)
            claves.push_back(codepage::toWindows1252(p, kAusenteEnPalabra));

    std::vector<Apariciones> nuevas;
    nuevas.reserve(claves.size()); // rows are handed out by reference: no reallocation
    if (estrecha(modo, words, texto) && m_ultima.resultado.size() < m_entradas.size() / 4) {
        filas = filtrar(modo == Exact ? AllWords : modo, claves, m_ultima.resultado);
    } else if (modo == AnyWord) {
        std::vector<quint8> marca(m_entradaDe.size(), 0);
        for (const QByteArray &p : claves)
            for (const store::Slot s : filasCon(p, nuevas))
                if (!std::exchange(marca[s], quint8(1)))
                    filas.push_back(s);
    } else {
        // The rows of the rarest word, tested per name for the others.
        const std::vector<store::Slot> *menor = nullptr;
        for (const QByteArray &p : claves) {
            const std::vector<store::Slot> &f = filasCon(p, nuevas);
            if (!menor || f.size() < menor->size())
                menor = &f;
        }
        filas = claves.size() == 1 ? *menor : filtrar(AllWords, claves, *menor);
    }
    recordar(std::move(nuevas));
    m_ultima = {modo, words, texto, filas};
    return filas;
}

int applySearch(store::View &sintomas, NameIndex &indice, int modo, const QString &texto,
                    QStringList &words, store::FilterFunction prueba)
{
    if (modo == Nearest) {
        sintomas.clearFilterCallback();
        sintomas.findNearest(texto);
    } else {
        SepararPalabras(texto, words);
        sintomas.setFilterCallback(std::move(prueba), indice.find(modo, words, texto));
    }
    return sintomas.recordCount();
}

} // namespace search
