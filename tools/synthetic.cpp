#include "tabletool.h"

#include "catalogue/flowersystems.h"
#include "catalogue/tabledefinitions.h"
#include "reasons.h"
#include "tablefolder.h"

#include <algorithm>
#include <vector>

namespace tabletool {
namespace {

// splitmix64: tiny, fast and the same on every platform and compiler, unlike the standard
// distributions, so a seed names one catalogue everywhere.
class Random
{
public:
    Random(quint32 seed, quint64 stream) : m_state(quint64(seed) * 0x9E3779B97F4A7C15ull ^ stream) { }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n, by a multiply-shift: the bias is far below anything that matters here.
    quint32 below(quint32 n) { return quint32(((next() >> 32) * n) >> 32); }
    const QString &pick(const QStringList &list) { return list[below(quint32(list.size()))]; }

private:
    quint64 m_state;
};

QStringList wordList(std::initializer_list<const char *> words)
{
    QStringList l;
    for (const char *p : words)
        l << QString::fromUtf8(p);
    return l;
}

struct Phrase
{
    QString text;
    int words;
};

// Words of the symptoms. The same words come back often, as in a real repertory, so that a
// search for one of them finds many symptoms.
struct Vocabulary
{
    QStringList heads = wordList({
        "Dolor", "Dolor", "Dolor", "Miedo", "Miedo", "Miedo", "Ansiedad", "Tristeza", "Angustia", "Temor",
        "Sensación", "Falta", "Exceso", "Agotamiento", "Cansancio", "Insomnio", "Irritabilidad", "Celos",
        "Culpa", "Vergüenza", "Añoranza", "Nostalgia", "Impaciencia", "Resentimiento", "Desánimo",
        "Inquietud", "Pesadillas", "Rigidez", "Corazón", "Estómago", "Llanto", "Apatía", "Confusión",
        "Indecisión", "Timidez", "Pánico", "Preocupación", "Envidia", "Rencor", "Desesperación", "Soledad",
        "Orgullo", "Obsesión", "Náuseas", "Zumbido", "Mareo", "Sueño", "Enojo", "Añoranza", "Pena"});
    // What the symptom is about, how it is, and when or with what it comes: "Dolor de cabeza
    // persistente por la mañana". The adjectives fit either gender.
    std::vector<Phrase> objects = phrases({
        "de cabeza", "de espalda", "en el pecho", "a la oscuridad", "a lo desconocido", "a las alturas",
        "de los niños", "ante el cambio", "en el trabajo", "por los demás", "de fracasar", "por el dinero",
        "de perder el control", "en los oídos", "por la familia", "en el estómago", "por la pérdida",
        "a la muerte", "ante la crítica", "en la garganta", "del año nuevo", "al hablar en público",
        "frente a extraños", "de hacer daño", "de muelas", "a la soledad", "por el futuro"});
    std::vector<Phrase> adjectives = phrases({
        "persistente", "constante", "leve", "fuerte", "frecuente", "permanente", "grave", "insoportable",
        "recurrente", "creciente", "muy fuerte", "intermitente"});
    std::vector<Phrase> circumstances = phrases({
        "por la mañana", "por la noche", "al despertar", "tras un esfuerzo", "sin motivo", "con llanto",
        "antes de dormir", "después de comer", "con sudor frío", "en soledad", "en invierno",
        "en la niñez", "durante el día", "y cansancio", "con sueño ligero", "tras un engaño",
        "sin compañía", "al caminar", "con frío", "de día y de noche", "tras el parto",
        "al amanecer", "al recordar", "en el año nuevo", "con dolor", "tras una sonrisa"});
    QStringList flowerNames = wordList({
        "Rosa", "Lirio", "Castaño", "Álamo", "Orquídea", "Violeta", "Jazmín", "Madreselva", "Aulaga",
        "Brezo", "Acebo", "Nogal", "Olivo", "Pino", "Sauce", "Roble", "Clemátide", "Genciana",
        "Achicoria", "Verbena", "Vid", "Haya", "Alerce", "Manzano", "Ñire", "Ceibo", "Amapola",
        "Girasol", "Margarita", "Caléndula", "Lavanda", "Malva", "Espino", "Cardo", "Helecho",
        "Azucena", "Camelia", "Dalia", "Begonia", "Hiedra", "Salvia", "Milenrama", "Banksia", "Mímulo"});
    QStringList modifiers = wordList({
        "Silvestre", "Dulce", "Azul", "Roja", "Blanca", "Dorada", "Común", "Real", "Menor", "Mayor",
        "Celeste", "Fragante", "de Montaña", "del Desierto", "de Roca", "de Agua", "de Otoño",
        "de Monte", "del Inca", "de Estrella", "del Norte", "del Sur", "de Campo", "de Jardín"});
    QStringList englishAdjectives = wordList({
        "Wild", "Sweet", "Red", "Blue", "Golden", "White", "Rock", "Mountain", "Desert", "Star",
        "Water", "Crab", "Cherry", "Yellow", "Black", "Scarlet", "Purple", "Little", "Tall", "Shy"});
    QStringList englishNames = wordList({
        "Rose", "Chestnut", "Willow", "Pine", "Oak", "Beech", "Holly", "Gorse", "Heather", "Larch",
        "Elm", "Vine", "Olive", "Walnut", "Mustard", "Aspen", "Orchid", "Lily", "Violet", "Poppy",
        "Sage", "Daisy", "Yarrow", "Iris", "Fern", "Thistle", "Lotus", "Bell", "Banksia", "Mallow"});
    QStringList genera = wordList({
        "Rosa", "Salix", "Pinus", "Quercus", "Fagus", "Ilex", "Ulex", "Calluna", "Larix", "Ulmus",
        "Vitis", "Olea", "Juglans", "Sinapis", "Populus", "Castanea", "Masdevallia", "Banksia",
        "Achillea", "Salvia", "Lilium", "Viola", "Papaver", "Iris", "Mimulus", "Agrimonia",
        "Clematis", "Gentiana", "Cichorium", "Verbena"});
    QStringList species = wordList({
        "alba", "rubra", "canina", "vulgaris", "officinalis", "sativa", "tremula", "montana", "aurea",
        "azurea", "coccinea", "europaea", "glabra", "major", "minor", "sylvestris", "orientalis",
        "nigra", "lutea", "grandiflora", "guttatus", "millefolium", "decidua", "arvensis"});
    QStringList habits = wordList({"baja", "trepadora", "de hoja perenne", "de hoja caduca", "rastrera",
                                   "alta y delgada", "espinosa", "aromática"});
    QStringList colours = wordList({"amarillas", "azules", "blancas", "rojas", "violetas", "rosadas",
                                    "anaranjadas", "verdosas"});
    QStringList places = wordList({"los bosques húmedos", "las laderas secas", "la orilla de los ríos",
                                   "los prados de montaña", "los jardines", "el desierto", "la costa",
                                   "los campos de cultivo"});

    static std::vector<Phrase> phrases(std::initializer_list<const char *> texts)
    {
        std::vector<Phrase> f;
        for (const char *t : texts) {
            const QString s = QString::fromUtf8(t);
            f.push_back({s, int(s.count(QLatin1Char(' '))) + 1});
        }
        return f;
    }
};

constexpr int kMinWords = 3;
constexpr int kMaxWords = 8;

QString symptomText(Random &random, const Vocabulary &v, int size)
{
    const int target = kMinWords + int(random.below(kMaxWords - kMinWords + 1));
    QString text = random.pick(v.heads);
    int words = 1;
    auto add = [&](const Phrase &f) {
        if (words + f.words > kMaxWords || text.size() + 1 + f.text.size() > size
            || text.contains(f.text))
            return;
        text += QLatin1Char(' ') + f.text;
        words += f.words;
    };
    auto pick = [&](const std::vector<Phrase> &phrases) -> const Phrase & {
        return phrases[random.below(quint32(phrases.size()))];
    };
    if (random.below(100) < 80)
        add(pick(v.objects));
    if (random.below(100) < 35)
        add(pick(v.adjectives));
    for (int attempt = 0; words < target && attempt < 8; ++attempt)
        add(pick(v.circumstances));
    while (words < kMinWords)
        add(pick(v.circumstances));
    // Some texts shout their first word, some are all in lower case: the search ignores case.
    const quint32 shape = random.below(100);
    if (shape < 7) {
        const qsizetype space = text.indexOf(QLatin1Char(' '));
        text = text.left(space).toUpper() + text.mid(space);
    } else if (shape < 12) {
        text = text.toLower();
    }
    return text;
}

// Each draw is a statement of its own: the order in which a compiler evaluates the operands
// of one expression is not fixed, and the seed must give the same names everywhere.
QString spanishName(Random &random, const Vocabulary &v)
{
    const QString name = random.pick(v.flowerNames);
    const QString modifier = random.pick(v.modifiers);
    return name + QLatin1Char(' ') + modifier;
}

QString englishName(Random &random, const Vocabulary &v, int size)
{
    QString adjectives = random.pick(v.englishAdjectives);
    const QString name = random.pick(v.englishNames);
    if (random.below(4) == 0) {
        const QString other = random.pick(v.englishAdjectives);
        if (other != adjectives && adjectives.size() + other.size() + name.size() + 2 <= size)
            adjectives += QLatin1Char(' ') + other;
    }
    return adjectives + QLatin1Char(' ') + name;
}

QString scientificName(Random &random, const Vocabulary &v)
{
    const QString genus = random.pick(v.genera);
    const QString speciesName = random.pick(v.species);
    return genus + QLatin1Char(' ') + speciesName;
}

void checkSizes(int flowers, int symptoms, int linksPerSymptom)
{
    if (flowers < 0 || symptoms < 0 || linksPerSymptom < 0)
        throw store::Error(QStringLiteral("Las cantidades de flores, síntomas y enlaces no pueden ser negativas"));
    if (flowers > 1000000 || symptoms > 10000000)
        throw store::Error(QStringLiteral("Como mucho 1.000.000 de flores y 10.000.000 de síntomas"));
    if (symptoms > 0 && linksPerSymptom > flowers)
        throw store::Error(
            QStringLiteral("No se puede enlazar cada síntoma con %1 flores distintas si solo hay %2 flores")
                .arg(linksPerSymptom)
                .arg(flowers));
    if (qint64(symptoms) * linksPerSymptom > 100000000)
        throw store::Error(QStringLiteral("Como mucho 100.000.000 de enlaces"));
}

} // namespace

void generateSynthetic(const QString &folder, int flowers, int symptoms, int linksPerSymptom, quint32 seed)
{
    withSpanishErrors([&] {
        checkSizes(flowers, symptoms, linksPerSymptom);
        recoverInterruptedInstall(folder);
        ensureNoTables(folder);
        const Vocabulary v;
        const int nameSize = catalogue::floresDef().fields[2].size;
        const int nomSize = catalogue::sintomasDef().fields[1].size;
        NewTableFolder tables(folder);

        // One stream of chance per table, so that changing how many links there are leaves the
        // flowers and the symptom texts as they were.
        tables.fill(catalogue::floresDef(), [&](store::Statement &st) {
            Random random(seed, 1);
            for (int key = 1; key <= flowers; ++key) {
                const int system = 1 + int(random.below(catalogue::kSystemCount));
                st.bindInt(1, key);
                st.bindText(2, QString::number(system));
                st.bindText(3, spanishName(random, v));
                st.bindText(4, englishName(random, v, nameSize));
                st.bindText(5, scientificName(random, v));
                const QString indication = symptomText(random, v, nomSize).toLower();
                st.bindText(6, QStringLiteral("Esencia del sistema %1. Indicada para %2.")
                                   .arg(catalogue::systemName(system), indication));
                const QString habit = random.pick(v.habits);
                const QString colour = random.pick(v.colours);
                const QString place = random.pick(v.places);
                st.bindText(7, QStringLiteral("Planta %1 de flores %2, que crece en %3.").arg(habit, colour, place));
                st.bindNull(8);
                st.bindNull(9);
                st.run();
            }
        });

        tables.fill(catalogue::sintomasDef(), [&](store::Statement &st) {
            Random random(seed, 2);
            for (int key = 1; key <= symptoms; ++key) {
                st.bindInt(1, key);
                st.bindText(2, symptomText(random, v, nomSize));
                st.bindInt(3, key);
                st.run();
            }
        });

        tables.fill(catalogue::relDef(), [&](store::Statement &st) {
            if (linksPerSymptom == 0)
                return;
            Random random(seed, 3);
            // A partial shuffle of every flower: the first few places are the symptom's flowers.
            std::vector<qint32> deck(static_cast<std::size_t>(flowers));
            for (int i = 0; i < flowers; ++i)
                deck[std::size_t(i)] = i + 1;
            std::vector<qint32> chosen(static_cast<std::size_t>(linksPerSymptom));
            for (int key = 1; key <= symptoms; ++key) {
                for (int j = 0; j < linksPerSymptom; ++j) {
                    const std::size_t k = std::size_t(j) + random.below(quint32(flowers - j));
                    std::swap(deck[std::size_t(j)], deck[k]);
                }
                std::copy_n(deck.begin(), linksPerSymptom, chosen.begin());
                std::sort(chosen.begin(), chosen.end());
                for (qint32 flower : chosen) {
                    st.bindInt(1, flower);
                    st.bindInt(2, key);
                    st.bindInt(3, key); // the symptom's Orden, which is its key
                    st.run();
                }
            }
        });

        tables.install();
    });
}

} // namespace tabletool
