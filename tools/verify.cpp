#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "fieldtext.h"
#include "picture.h"
#include "reasons.h"
#include "store/codepage.h"
#include "tablefolder.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tabletool {
namespace {

constexpr int kExamples = 5;
constexpr qint64 kMaxKey = std::numeric_limits<qint32>::max();

using KeySet = std::unordered_set<qint64>;

// Problems of one kind are counted and shown with their first few examples, so that a table
// with a million bad rows still gives a readable report.
class Findings
{
public:
    explicit Findings(QString file) : m_file(std::move(file)) { }

    void note(const QString &kind, const QString &example)
    {
        auto it = m_index.constFind(kind);
        if (it == m_index.constEnd()) {
            it = m_index.insert(kind, qsizetype(m_kinds.size()));
            m_kinds.push_back({kind, 0, {}});
        }
        Kind &k = m_kinds[std::size_t(*it)];
        ++k.count;
        if (k.examples.size() < kExamples)
            k.examples << example;
    }

    void report(QStringList &problems) const
    {
        for (const Kind &k : m_kinds) {
            QString line = QStringLiteral("%1: %2: %3").arg(m_file, k.kind).arg(k.count);
            line += QStringLiteral(" (%1%2)").arg(k.count > k.examples.size() ? QStringLiteral("p. ej. ") : QString(),
                                                 k.examples.join(QStringLiteral("; ")));
            problems << line;
        }
    }

private:
    struct Kind
    {
        QString kind;
        qint64 count;
        QStringList examples;
    };
    QString m_file;
    std::vector<Kind> m_kinds;
    QHash<QString, qsizetype> m_index;
};

// A key as the table holds it: "7", or a value that is not a whole number, shown quoted.
QString shownValue(const store::Statement &st, int col, bool isInteger)
{
    return isInteger ? QString::number(st.integer(col)) : quoted(st.text(col));
}

// What is wrong with the key in column `col`, whose type is in column `col + 1`; empty when sound.
QString keyProblem(const store::Statement &st, int col)
{
    const qint64 key = st.integer(col);
    if (st.text(col + 1) != QLatin1String("integer"))
        return QStringLiteral("claves que no son números enteros");
    if (key < 1 || key > kMaxKey)
        return QStringLiteral("claves fuera del intervalo de 1 a %1").arg(kMaxKey);
    return {};
}

// A row's key in column `col`, kept in `keys` when sound; returns how examples name the row
// ("flor 7").
QString readKey(Findings &findings, const store::Statement &st, int col, const char *noun, KeySet &keys)
{
    const QString problem = keyProblem(st, col);
    const QString who = QStringLiteral("%1 %2").arg(QString::fromUtf8(noun),
                                                    shownValue(st, col, st.text(col + 1) == QLatin1String("integer")));
    if (!problem.isEmpty())
        findings.note(problem, who);
    else if (!keys.insert(st.integer(col)).second)
        findings.note(QStringLiteral("claves repetidas"), who);
    return who;
}

void checkText(Findings &findings, const QString &who, const QString &field, const QString &text, int size)
{
    if (size > 0 && text.size() > size)
        findings.note(QStringLiteral("textos de %1 más largos de %2 caracteres").arg(field).arg(size),
                      QStringLiteral("%1 con %2").arg(who).arg(text.size()));
    if (const qsizetype p = codepage::firstOutside(text); p >= 0)
        findings.note(QStringLiteral("textos de %1 con caracteres fuera de Windows-1252").arg(field),
                      QStringLiteral("%1: %2").arg(who, describeCharacter(text, p)));
}

void checkOrder(Findings &findings, const store::Statement &st, int col, const QString &field, const QString &who)
{
    if (st.isNull(col))
        return;
    const qint64 value = st.integer(col);
    if (st.text(col + 1) != QLatin1String("integer") || value < std::numeric_limits<qint32>::min()
        || value > std::numeric_limits<qint32>::max())
        findings.note(QStringLiteral("valores de %1 que no son números enteros de 32 bits").arg(field),
                      QStringLiteral("%1: %2").arg(who, quoted(st.text(col))));
}

void checkFlowers(store::TableFile &table, QStringList &problems, KeySet &keys, RowCounts &counts)
{
    const store::TableDef def = catalogue::floresDef();
    Findings findings(table.displayName());
    store::Statement st = table.prepare(QStringLiteral(
        "SELECT Clave, typeof(Clave), Tipo, Nom1, Nom2, Nom3, Memo1, Memo2, Memo3, Foto FROM Flores"));
    while (st.step()) {
        ++counts.flowers;
        const QString who = readKey(findings, st, 0, "flor", keys);
        if (!isSystemNumber(st.text(2)))
            findings.note(QStringLiteral("flores con Tipo que no es un sistema de 1 a 13"),
                          QStringLiteral("%1: %2").arg(who, quoted(st.text(2))));
        for (int c = 3; c <= 8; ++c) {
            const store::FieldDef &field = def.fields[std::size_t(c - 1)];
            checkText(findings, who, field.name, st.text(c), field.type == store::FieldType::Text ? field.size : 0);
        }
        if (!st.isNull(9) && readPicture(st.blob(9)).isNull())
            findings.note(QStringLiteral("fotos que no son imágenes"), who);
    }
    findings.report(problems);
}

void checkSymptoms(store::TableFile &table, QStringList &problems, KeySet &keys, RowCounts &counts)
{
    const int nomSize = catalogue::sintomasDef().fields[1].size;
    Findings findings(table.displayName());
    store::Statement st =
        table.prepare(QStringLiteral("SELECT Clave, typeof(Clave), Nom, Orden, typeof(Orden) FROM Sintomas"));
    while (st.step()) {
        ++counts.symptoms;
        const QString who = readKey(findings, st, 0, "síntoma", keys);
        checkText(findings, who, QStringLiteral("Nom"), st.text(2), nomSize);
        checkOrder(findings, st, 3, QStringLiteral("Orden"), who);
    }
    findings.report(problems);
}

// A missing key set means its table could not be read: links to it are not judged.
void checkLinks(store::TableFile &table, QStringList &problems, const std::optional<KeySet> &flowers,
                const std::optional<KeySet> &symptoms, RowCounts &counts)
{
    Findings findings(table.displayName());
    std::vector<std::pair<qint64, qint64>> pairs;
    store::Statement st = table.prepare(
        QStringLiteral("SELECT KFlor, typeof(KFlor), KSint, typeof(KSint), OSint, typeof(OSint) FROM Rel"));
    while (st.step()) {
        ++counts.links;
        const QString pair =
            QStringLiteral("flor %1 con síntoma %2")
                .arg(st.isNull(0) ? QStringLiteral("vacía") : shownValue(st, 0, st.text(1) == QLatin1String("integer")),
                     st.isNull(2) ? QStringLiteral("vacío") : shownValue(st, 2, st.text(3) == QLatin1String("integer")));
        checkOrder(findings, st, 4, QStringLiteral("OSint"), pair);
        if (st.isNull(0) || st.isNull(2)) {
            findings.note(QStringLiteral("enlaces sin flor o sin síntoma"), pair);
            continue;
        }
        const QString flowerProblem = keyProblem(st, 0), symptomProblem = keyProblem(st, 2);
        if (!flowerProblem.isEmpty() || !symptomProblem.isEmpty()) {
            findings.note(flowerProblem.isEmpty() ? symptomProblem : flowerProblem, pair);
            continue;
        }
        const qint64 flower = st.integer(0), symptom = st.integer(2);
        if (flowers && !flowers->count(flower))
            findings.note(QStringLiteral("enlaces a flores que no existen"), pair);
        if (symptoms && !symptoms->count(symptom))
            findings.note(QStringLiteral("enlaces a síntomas que no existen"), pair);
        pairs.emplace_back(flower, symptom);
    }
    std::sort(pairs.begin(), pairs.end());
    for (std::size_t i = 1; i < pairs.size(); ++i)
        if (pairs[i] == pairs[i - 1])
            findings.note(QStringLiteral("enlaces repetidos"),
                          QStringLiteral("flor %1 con síntoma %2").arg(pairs[i].first).arg(pairs[i].second));
    findings.report(problems);
}

// The working tables hold keys too, each once.
void checkWorkingKeys(store::TableFile &table, const store::TableDef &def, QStringList &problems)
{
    Findings findings(table.displayName());
    store::Statement st =
        table.prepare(QStringLiteral("SELECT Clave, typeof(Clave) FROM \"%1\"").arg(def.tableName));
    KeySet keys;
    while (st.step())
        readKey(findings, st, 0, "clave", keys);
    findings.report(problems);
}

// A table rebuilt by another program may have lost its primary key, and with it the guard
// against repeated keys.
void checkPrimaryKey(store::TableFile &table, const store::TableDef &def, QStringList &problems)
{
    if (def.primary.fields.size() != 1)
        return;
    const QString key = def.primary.fields.front().name;
    store::Statement st = table.prepare(
        QStringLiteral("SELECT pk FROM pragma_table_info('%1') WHERE lower(name) = lower('%2')").arg(def.tableName, key));
    if (!st.step() || st.integer(0) != 1)
        problems << QStringLiteral("%1: %2 no es la clave primaria de la tabla").arg(def.fileName(), key);
}

// The structure problems of the store's check, one line each and in Spanish. Returns whether
// the file itself is damaged, so that its data is not read.
bool reportStructure(const QStringList &structure, const store::TableDef &def, QStringList &problems)
{
    bool damaged = false;
    const QString integrity = QStringLiteral("integridad: ");
    for (const QString &problem : structure) {
        if (!problem.startsWith(integrity)) {
            problems << QStringLiteral("%1: %2").arg(def.fileName(), withSpanishReasons(problem));
            continue;
        }
        // One finding of SQLite's may run over several lines, the first naming the database.
        for (const QString &line : problem.mid(integrity.size()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const IntegrityProblem found = integrityProblem(line);
            if (!found.text.isEmpty())
                problems << QStringLiteral("%1: integridad: %2").arg(def.fileName(), found.text);
            damaged = damaged || found.damage;
        }
    }
    return damaged;
}

} // namespace

QStringList verifyTables(const QString &folder, RowCounts *counts)
{
    QStringList problems;
    for (const QString &work : interruptedInstalls(folder))
        problems << QStringLiteral("%1: la instalación de unas tablas quedó a medias; la próxima orden crear, importar "
                                   "o sintetico en esta carpeta la termina")
                        .arg(QDir::toNativeSeparators(work));
    RowCounts found;
    std::optional<KeySet> flowers, symptoms;
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        std::optional<store::TableFile> table;
        try {
            table.emplace(store::TableFile::open(tablePath(folder, def), def, store::TableFile::Durability::Full));
        } catch (const store::Error &e) {
            // Missing or not ours: it is only named, never touched.
            problems << withSpanishReasons(e.message());
            continue;
        }
        try {
            if (reportStructure(table->check(def), def, problems))
                continue;
            checkPrimaryKey(*table, def, problems);
            if (def.tableName == QLatin1String("Flores"))
                checkFlowers(*table, problems, flowers.emplace(), found);
            else if (def.tableName == QLatin1String("Sintomas"))
                checkSymptoms(*table, problems, symptoms.emplace(), found);
            else if (def.tableName == QLatin1String("Rel"))
                checkLinks(*table, problems, flowers, symptoms, found);
            else
                checkWorkingKeys(*table, def, problems);
        } catch (const store::Error &e) {
            problems << QStringLiteral("%1: %2").arg(def.fileName(), withSpanishReasons(e.message()));
            // Keys read only in part would make sound links look broken.
            if (def.tableName == QLatin1String("Flores"))
                flowers.reset();
            else if (def.tableName == QLatin1String("Sintomas"))
                symptoms.reset();
        }
    }
    if (counts)
        *counts = found;
    return problems;
}

} // namespace tabletool
