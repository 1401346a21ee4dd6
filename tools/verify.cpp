#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"
#include "store/codepage.h"

#include <QHash>
#include <QImage>

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tabletool {
namespace {

constexpr int kEjemplos = 5;

// Problems of one kind are counted and shown with their first few examples, so that a table
// with a million bad rows still gives a readable report.
class Hallazgos
{
public:
    explicit Hallazgos(QString archivo) : m_archivo(std::move(archivo)) { }

    void anotar(const QString &clase, const QString &ejemplo)
    {
        auto it = m_indice.constFind(clase);
        if (it == m_indice.constEnd()) {
            it = m_indice.insert(clase, qsizetype(m_clases.size()));
            m_clases.push_back({clase, 0, {}});
        }
        Clase &c = m_clases[std::size_t(*it)];
        ++c.cuenta;
        if (c.ejemplos.size() < kEjemplos)
            c.ejemplos << ejemplo;
    }

    void volcar(QStringList &problemas) const
    {
        for (const Clase &c : m_clases) {
            QString linea = QStringLiteral("%1: %2: %3").arg(m_archivo, c.clase).arg(c.cuenta);
            linea += QStringLiteral(" (%1%2)").arg(c.cuenta > c.ejemplos.size() ? QStringLiteral("p. ej. ") : QString(),
                                                  c.ejemplos.join(QStringLiteral("; ")));
            problemas << linea;
        }
    }

private:
    struct Clase
    {
        QString clase;
        qint64 cuenta;
        QStringList ejemplos;
    };
    QString m_archivo;
    std::vector<Clase> m_clases;
    QHash<QString, qsizetype> m_indice;
};

void revisarTexto(Hallazgos &h, const QString &quien, const QString &campo, const QString &texto, int tamano)
{
    if (tamano > 0 && texto.size() > tamano)
        h.anotar(QStringLiteral("textos de %1 más largos de %2 caracteres").arg(campo).arg(tamano),
                 QStringLiteral("%1 con %2").arg(quien).arg(texto.size()));
    if (const qsizetype p = codepage::firstOutside(texto); p >= 0)
        h.anotar(QStringLiteral("textos de %1 con caracteres fuera de Windows-1252").arg(campo),
                 QStringLiteral("%1: %2").arg(quien, describirCaracter(texto, p)));
}

void revisarFlores(store::TableFile &table, QStringList &problemas, std::unordered_set<qint32> &claves,
                   RowCounts &recuento)
{
    const store::TableDef def = catalogue::floresDef();
    Hallazgos h(table.displayName());
    store::Statement st = table.prepare(
        QStringLiteral("SELECT Clave, Tipo, Nom1, Nom2, Nom3, Memo1, Memo2, Memo3, Foto FROM Flores"));
    while (st.step()) {
        ++recuento.flores;
        const qint64 clave = st.integer(0);
        const QString quien = QStringLiteral("flor %1").arg(clave);
        if (clave < 1)
            h.anotar(QStringLiteral("claves que no son positivas"), quien);
        claves.insert(qint32(clave));
        if (!tipoValido(st.text(1)))
            h.anotar(QStringLiteral("flores con Tipo que no es un sistema de 1 a 13"),
                     QStringLiteral("%1: «%2»").arg(quien, st.text(1)));
        for (int c = 2; c <= 7; ++c) {
            const store::FieldDef &campo = def.fields[std::size_t(c)];
            revisarTexto(h, quien, campo.name, st.text(c), campo.type == store::FieldType::Text ? campo.size : 0);
        }
        if (!st.isNull(8) && QImage::fromData(st.blob(8)).isNull())
            h.anotar(QStringLiteral("fotos que no son imágenes"), quien);
    }
    h.volcar(problemas);
}

void revisarSintomas(store::TableFile &table, QStringList &problemas, std::unordered_set<qint32> &claves,
                     RowCounts &recuento)
{
    const int tamanoNom = catalogue::sintomasDef().fields[1].size;
    Hallazgos h(table.displayName());
    store::Statement st = table.prepare(QStringLiteral("SELECT Clave, Nom FROM Sintomas"));
    while (st.step()) {
        ++recuento.sintomas;
        const qint64 clave = st.integer(0);
        const QString quien = QStringLiteral("síntoma %1").arg(clave);
        if (clave < 1)
            h.anotar(QStringLiteral("claves que no son positivas"), quien);
        claves.insert(qint32(clave));
        revisarTexto(h, quien, QStringLiteral("Nom"), st.text(1), tamanoNom);
    }
    h.volcar(problemas);
}

// A missing key set means its table could not be read: links to it are not judged.
void revisarEnlaces(store::TableFile &table, QStringList &problemas, const std::optional<std::unordered_set<qint32>> &flores,
                    const std::optional<std::unordered_set<qint32>> &sintomas, RowCounts &recuento)
{
    Hallazgos h(table.displayName());
    std::vector<quint64> pares;
    store::Statement st = table.prepare(QStringLiteral("SELECT KFlor, KSint FROM Rel"));
    while (st.step()) {
        ++recuento.enlaces;
        const QString par = QStringLiteral("flor %1 con síntoma %2")
                                .arg(st.isNull(0) ? QStringLiteral("vacía") : QString::number(st.integer(0)),
                                     st.isNull(1) ? QStringLiteral("vacío") : QString::number(st.integer(1)));
        if (st.isNull(0) || st.isNull(1)) {
            h.anotar(QStringLiteral("enlaces sin flor o sin síntoma"), par);
            continue;
        }
        const qint32 flor = qint32(st.integer(0));
        const qint32 sintoma = qint32(st.integer(1));
        if (flores && !flores->count(flor))
            h.anotar(QStringLiteral("enlaces a flores que no existen"), par);
        if (sintomas && !sintomas->count(sintoma))
            h.anotar(QStringLiteral("enlaces a síntomas que no existen"), par);
        pares.push_back(quint64(quint32(flor)) << 32 | quint32(sintoma));
    }
    std::sort(pares.begin(), pares.end());
    for (std::size_t i = 1; i < pares.size(); ++i)
        if (pares[i] == pares[i - 1])
            h.anotar(QStringLiteral("enlaces repetidos"), QStringLiteral("flor %1 con síntoma %2")
                                                              .arg(qint32(pares[i] >> 32))
                                                              .arg(qint32(pares[i] & 0xFFFFFFFFu)));
    h.volcar(problemas);
}

} // namespace

QStringList verifyTables(const QString &carpeta, RowCounts *recuento)
{
    QStringList problemas;
    RowCounts cuenta;
    std::optional<std::unordered_set<qint32>> flores, sintomas;
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        std::optional<store::TableFile> table;
        try {
            table.emplace(store::TableFile::open(rutaTabla(carpeta, def), def, store::TableFile::Durability::Full));
        } catch (const store::Error &e) {
            // Missing or not ours: it is only named, never touched.
            problemas << e.message();
            continue;
        }
        try {
            const QStringList estructura = table->check(def);
            for (const QString &p : estructura)
                problemas << QStringLiteral("%1: %2").arg(def.fileName(), p);
            if (def.tableName == QLatin1String("Flores"))
                revisarFlores(*table, problemas, flores.emplace(), cuenta);
            else if (def.tableName == QLatin1String("Sintomas"))
                revisarSintomas(*table, problemas, sintomas.emplace(), cuenta);
            else if (def.tableName == QLatin1String("Rel"))
                revisarEnlaces(*table, problemas, flores, sintomas, cuenta);
        } catch (const store::Error &e) {
            problemas << QStringLiteral("%1: %2").arg(def.fileName(), e.message());
            // Keys read only in part would make sound links look broken.
            if (def.tableName == QLatin1String("Flores"))
                flores.reset();
            else if (def.tableName == QLatin1String("Sintomas"))
                sintomas.reset();
        }
    }
    if (recuento)
        *recuento = cuenta;
    return problemas;
}

} // namespace tabletool
