#include "tabletool.h"

#include "catalogue/flowersystems.h"
#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"

#include <algorithm>
#include <vector>

namespace tabletool {
namespace {

// splitmix64: tiny, fast and the same on every platform and compiler, unlike the standard
// distributions, so a seed names one catalogue everywhere.
class Azar
{
public:
    Azar(quint32 semilla, quint64 flujo) : m_estado(quint64(semilla) * 0x9E3779B97F4A7C15ull ^ flujo) { }

    quint64 siguiente()
    {
        quint64 z = (m_estado += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n, by a multiply-shift: the bias is far below anything that matters here.
    quint32 menorQue(quint32 n) { return quint32(((siguiente() >> 32) * n) >> 32); }
    const QString &elegir(const QStringList &lista) { return lista[menorQue(quint32(lista.size()))]; }

private:
    quint64 m_estado;
};

QStringList lista(std::initializer_list<const char *> words)
{
    QStringList l;
    for (const char *p : words)
        l << QString::fromUtf8(p);
    return l;
}

struct Frase
{
    QString texto;
    int words;
};

// Words of the symptoms. The same words come back often, as in a real repertory, so that a
// search for one of them finds many symptoms.
struct Vocabulario
{
    QStringList cabezas = lista({
        "Dolor", "Dolor", "Dolor", "Miedo", "Miedo", "Miedo", "Ansiedad", "Tristeza", "Angustia", "Temor",
        "Sensación", "Falta", "Exceso", "Agotamiento", "Cansancio", "Insomnio", "Irritabilidad", "Celos",
        "Culpa", "Vergüenza", "Añoranza", "Nostalgia", "Impaciencia", "Resentimiento", "Desánimo",
        "Inquietud", "Pesadillas", "Rigidez", "Corazón", "Estómago", "Llanto", "Apatía", "Confusión",
        "Indecisión", "Timidez", "Pánico", "Preocupación", "Envidia", "Rencor", "Desesperación", "Soledad",
        "Orgullo", "Obsesión", "Náuseas", "Zumbido", "Mareo", "Sueño", "Enojo", "Añoranza", "Pena"});
    // What the symptom is about, how it is, and when or with what it comes: "Dolor de cabeza
    // persistente por la mañana". The adjectives fit either gender.
    std::vector<Frase> objetos = frases({
        "de cabeza", "de espalda", "en el pecho", "a la oscuridad", "a lo desconocido", "a las alturas",
        "de los niños", "ante el cambio", "en el trabajo", "por los demás", "de fracasar", "por el dinero",
        "de perder el control", "en los oídos", "por la familia", "en el estómago", "por la pérdida",
        "a la muerte", "ante la crítica", "en la garganta", "del año nuevo", "al hablar en público",
        "frente a extraños", "de hacer daño", "de muelas", "a la soledad", "por el futuro"});
    std::vector<Frase> adjetivos = frases({
        "persistente", "constante", "leve", "fuerte", "frecuente", "permanente", "grave", "insoportable",
        "recurrente", "creciente", "muy fuerte", "intermitente"});
    std::vector<Frase> circunstancias = frases({
        "por la mañana", "por la noche", "al despertar", "tras un esfuerzo", "sin motivo", "con llanto",
        "antes de dormir", "después de comer", "con sudor frío", "en soledad", "en invierno",
        "en la niñez", "durante el día", "y cansancio", "con sueño ligero", "tras un engaño",
        "sin compañía", "al caminar", "con frío", "de día y de noche", "tras el parto",
        "al amanecer", "al recordar", "en el año nuevo", "con dolor", "tras una sonrisa"});
    QStringList nombres = lista({
        "Rosa", "Lirio", "Castaño", "Álamo", "Orquídea", "Violeta", "Jazmín", "Madreselva", "Aulaga",
        "Brezo", "Acebo", "Nogal", "Olivo", "Pino", "Sauce", "Roble", "Clemátide", "Genciana",
        "Achicoria", "Verbena", "Vid", "Haya", "Alerce", "Manzano", "Ñire", "Ceibo", "Amapola",
        "Girasol", "Margarita", "Caléndula", "Lavanda", "Malva", "Espino", "Cardo", "Helecho",
        "Azucena", "Camelia", "Dalia", "Begonia", "Hiedra", "Salvia", "Milenrama", "Banksia", "Mímulo"});
    QStringList modificadores = lista({
        "Silvestre", "Dulce", "Azul", "Roja", "Blanca", "Dorada", "Común", "Real", "Menor", "Mayor",
        "Celeste", "Fragante", "de Montaña", "del Desierto", "de Roca", "de Agua", "de Otoño",
        "de Monte", "del Inca", "de Estrella", "del Norte", "del Sur", "de Campo", "de Jardín"});
    QStringList adjetivosIngleses = lista({
        "Wild", "Sweet", "Red", "Blue", "Golden", "White", "Rock", "Mountain", "Desert", "Star",
        "Water", "Crab", "Cherry", "Yellow", "Black", "Scarlet", "Purple", "Little", "Tall", "Shy"});
    QStringList nombresIngleses = lista({
        "Rose", "Chestnut", "Willow", "Pine", "Oak", "Beech", "Holly", "Gorse", "Heather", "Larch",
        "Elm", "Vine", "Olive", "Walnut", "Mustard", "Aspen", "Orchid", "Lily", "Violet", "Poppy",
        "Sage", "Daisy", "Yarrow", "Iris", "Fern", "Thistle", "Lotus", "Bell", "Banksia", "Mallow"});
    QStringList generos = lista({
        "Rosa", "Salix", "Pinus", "Quercus", "Fagus", "Ilex", "Ulex", "Calluna", "Larix", "Ulmus",
        "Vitis", "Olea", "Juglans", "Sinapis", "Populus", "Castanea", "Masdevallia", "Banksia",
        "Achillea", "Salvia", "Lilium", "Viola", "Papaver", "Iris", "Mimulus", "Agrimonia",
        "Clematis", "Gentiana", "Cichorium", "Verbena"});
    QStringList especies = lista({
        "alba", "rubra", "canina", "vulgaris", "officinalis", "sativa", "tremula", "montana", "aurea",
        "azurea", "coccinea", "europaea", "glabra", "major", "minor", "sylvestris", "orientalis",
        "nigra", "lutea", "grandiflora", "guttatus", "millefolium", "decidua", "arvensis"});
    QStringList portes = lista({"baja", "trepadora", "de hoja perenne", "de hoja caduca", "rastrera",
                                "alta y delgada", "espinosa", "aromática"});
    QStringList colores = lista({"amarillas", "azules", "blancas", "rojas", "violetas", "rosadas",
                                 "anaranjadas", "verdosas"});
    QStringList lugares = lista({"los bosques húmedos", "las laderas secas", "la orilla de los ríos",
                                 "los prados de montaña", "los jardines", "el desierto", "la costa",
                                 "los campos de cultivo"});

    static std::vector<Frase> frases(std::initializer_list<const char *> textos)
    {
        std::vector<Frase> f;
        for (const char *t : textos) {
            const QString s = QString::fromUtf8(t);
            f.push_back({s, int(s.count(QLatin1Char(' '))) + 1});
        }
        return f;
    }
};

constexpr int kMinPalabras = 3;
constexpr int kMaxPalabras = 8;

QString textoDeSintoma(Azar &azar, const Vocabulario &v, int tamano)
{
    const int objetivo = kMinPalabras + int(azar.menorQue(kMaxPalabras - kMinPalabras + 1));
    QString texto = azar.elegir(v.cabezas);
    int words = 1;
    auto agregar = [&](const Frase &f) {
        if (words + f.words > kMaxPalabras || texto.size() + 1 + f.texto.size() > tamano
            || texto.contains(f.texto))
            return;
        texto += QLatin1Char(' ') + f.texto;
        words += f.words;
    };
    auto elegir = [&](const std::vector<Frase> &frases) -> const Frase & {
        return frases[azar.menorQue(quint32(frases.size()))];
    };
    if (azar.menorQue(100) < 80)
        agregar(elegir(v.objetos));
    if (azar.menorQue(100) < 35)
        agregar(elegir(v.adjetivos));
    for (int intento = 0; words < objetivo && intento < 8; ++intento)
        agregar(elegir(v.circunstancias));
    while (words < kMinPalabras)
        agregar(elegir(v.circunstancias));
    // Some texts shout their first word, some are all in lower case: the search ignores case.
    const quint32 forma = azar.menorQue(100);
    if (forma < 7) {
        const qsizetype espacio = texto.indexOf(QLatin1Char(' '));
        texto = texto.left(espacio).toUpper() + texto.mid(espacio);
    } else if (forma < 12) {
        texto = texto.toLower();
    }
    return texto;
}

// Each draw is a statement of its own: the order in which a compiler evaluates the operands
// of one expression is not fixed, and the seed must give the same names everywhere.
QString nombreEspanol(Azar &azar, const Vocabulario &v)
{
    const QString nombre = azar.elegir(v.nombres);
    const QString modificador = azar.elegir(v.modificadores);
    return nombre + QLatin1Char(' ') + modificador;
}

QString nombreIngles(Azar &azar, const Vocabulario &v, int tamano)
{
    QString adjetivos = azar.elegir(v.adjetivosIngleses);
    const QString nombre = azar.elegir(v.nombresIngleses);
    if (azar.menorQue(4) == 0) {
        const QString otro = azar.elegir(v.adjetivosIngleses);
        if (otro != adjetivos && adjetivos.size() + otro.size() + nombre.size() + 2 <= tamano)
            adjetivos += QLatin1Char(' ') + otro;
    }
    return adjetivos + QLatin1Char(' ') + nombre;
}

QString nombreCientifico(Azar &azar, const Vocabulario &v)
{
    const QString genero = azar.elegir(v.generos);
    const QString especie = azar.elegir(v.especies);
    return genero + QLatin1Char(' ') + especie;
}

void comprobarTamanos(int flores, int sintomas, int enlacesPorSintoma)
{
    if (flores < 0 || sintomas < 0 || enlacesPorSintoma < 0)
        throw store::Error(QStringLiteral("Las cantidades de flores, síntomas y enlaces no pueden ser negativas"));
    if (flores > 1000000 || sintomas > 10000000)
        throw store::Error(QStringLiteral("Como mucho 1.000.000 de flores y 10.000.000 de síntomas"));
    if (sintomas > 0 && enlacesPorSintoma > flores)
        throw store::Error(
            QStringLiteral("No se puede enlazar cada síntoma con %1 flores distintas si solo hay %2 flores")
                .arg(enlacesPorSintoma)
                .arg(flores));
    if (qint64(sintomas) * enlacesPorSintoma > 100000000)
        throw store::Error(QStringLiteral("Como mucho 100.000.000 de enlaces"));
}

// The rows of one table, in one transaction through one prepared statement.
template <typename Generar>
void cargar(NewTableFolder &nueva, const store::TableDef &def, Generar generar)
{
    store::TableFile table = nueva.crear(def);
    {
        store::Statement st = table.prepare(sqlInsertar(def));
        table.begin();
        generar(st);
        table.commit();
    }
    nueva.terminar(table);
}

} // namespace

void generateSynthetic(const QString &carpeta, int flores, int sintomas, int enlacesPorSintoma, quint32 semilla)
{
    comprobarTamanos(flores, sintomas, enlacesPorSintoma);
    comprobarDestinoLibre(carpeta);
    const Vocabulario v;
    const int tamanoNombre = catalogue::floresDef().fields[2].size;
    const int tamanoNom = catalogue::sintomasDef().fields[1].size;
    NewTableFolder nueva(carpeta);

    // One stream of chance per table, so that changing how many links there are leaves the
    // flowers and the symptom texts as they were.
    cargar(nueva, catalogue::floresDef(), [&](store::Statement &st) {
        Azar azar(semilla, 1);
        for (int clave = 1; clave <= flores; ++clave) {
            const int tipo = 1 + int(azar.menorQue(catalogue::kSystemCount));
            st.bindInt(1, clave);
            st.bindText(2, QString::number(tipo));
            st.bindText(3, nombreEspanol(azar, v));
            st.bindText(4, nombreIngles(azar, v, tamanoNombre));
            st.bindText(5, nombreCientifico(azar, v));
            const QString indicacion = textoDeSintoma(azar, v, tamanoNom).toLower();
            st.bindText(6, QStringLiteral("Esencia del sistema %1. Indicada para %2.")
                               .arg(catalogue::systemName(tipo), indicacion));
            const QString porte = azar.elegir(v.portes);
            const QString color = azar.elegir(v.colores);
            const QString lugar = azar.elegir(v.lugares);
            st.bindText(7, QStringLiteral("Planta %1 de flores %2, que crece en %3.").arg(porte, color, lugar));
            st.bindNull(8);
            st.bindNull(9);
            st.run();
        }
    });

    cargar(nueva, catalogue::sintomasDef(), [&](store::Statement &st) {
        Azar azar(semilla, 2);
        for (int clave = 1; clave <= sintomas; ++clave) {
            st.bindInt(1, clave);
            st.bindText(2, textoDeSintoma(azar, v, tamanoNom));
            st.bindInt(3, clave);
            st.run();
        }
    });

    cargar(nueva, catalogue::relDef(), [&](store::Statement &st) {
        if (enlacesPorSintoma == 0)
            return;
        Azar azar(semilla, 3);
        // A partial shuffle of every flower: the first few places are the symptom's flowers.
        std::vector<qint32> baraja(static_cast<std::size_t>(flores));
        for (int i = 0; i < flores; ++i)
            baraja[std::size_t(i)] = i + 1;
        std::vector<qint32> elegidas(static_cast<std::size_t>(enlacesPorSintoma));
        for (int clave = 1; clave <= sintomas; ++clave) {
            for (int j = 0; j < enlacesPorSintoma; ++j) {
                const std::size_t k = std::size_t(j) + azar.menorQue(quint32(flores - j));
                std::swap(baraja[std::size_t(j)], baraja[k]);
            }
            std::copy_n(baraja.begin(), enlacesPorSintoma, elegidas.begin());
            std::sort(elegidas.begin(), elegidas.end());
            for (qint32 flor : elegidas) {
                st.bindInt(1, flor);
                st.bindInt(2, clave);
                st.bindInt(3, clave); // the symptom's Orden, which is its key
                st.run();
            }
        }
    });

    nueva.instalar();
}

} // namespace tabletool
