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

constexpr int kExamples = 5;

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

void checkText(Findings &findings, const QString &who, const QString &field, const QString &text, int size)
{
    if (size > 0 && text.size() > size)
        findings.note(QStringLiteral("textos de %1 más largos de %2 caracteres").arg(field).arg(size),
                      QStringLiteral("%1 con %2").arg(who).arg(text.size()));
    if (const qsizetype p = codepage::firstOutside(text); p >= 0)
        findings.note(QStringLiteral("textos de %1 con caracteres fuera de Windows-1252").arg(field),
                      QStringLiteral("%1: %2").arg(who, describeCharacter(text, p)));
}

// The row's key in column 0, kept in `keys`; returns how examples name the row ("flor 7").
QString readKey(Findings &findings, const store::Statement &st, const char *noun, std::unordered_set<qint32> &keys)
{
    const qint64 key = st.integer(0);
    const QString who = QStringLiteral("%1 %2").arg(QString::fromUtf8(noun)).arg(key);
    if (key < 1)
        findings.note(QStringLiteral("claves que no son positivas"), who);
    keys.insert(qint32(key));
    return who;
}

void checkFlowers(store::TableFile &table, QStringList &problems, std::unordered_set<qint32> &keys, RowCounts &counts)
{
    const store::TableDef def = catalogue::floresDef();
    Findings findings(table.displayName());
    store::Statement st = table.prepare(
        QStringLiteral("SELECT Clave, Tipo, Nom1, Nom2, Nom3, Memo1, Memo2, Memo3, Foto FROM Flores"));
    while (st.step()) {
        ++counts.flowers;
        const QString who = readKey(findings, st, "flor", keys);
        if (!isSystemNumber(st.text(1)))
            findings.note(QStringLiteral("flores con Tipo que no es un sistema de 1 a 13"),
                          QStringLiteral("%1: «%2»").arg(who, st.text(1)));
        for (int c = 2; c <= 7; ++c) {
            const store::FieldDef &field = def.fields[std::size_t(c)];
            checkText(findings, who, field.name, st.text(c), field.type == store::FieldType::Text ? field.size : 0);
        }
        if (!st.isNull(8) && QImage::fromData(st.blob(8)).isNull())
            findings.note(QStringLiteral("fotos que no son imágenes"), who);
    }
    findings.report(problems);
}

void checkSymptoms(store::TableFile &table, QStringList &problems, std::unordered_set<qint32> &keys,
                   RowCounts &counts)
{
    const int nomSize = catalogue::sintomasDef().fields[1].size;
    Findings findings(table.displayName());
    store::Statement st = table.prepare(QStringLiteral("SELECT Clave, Nom FROM Sintomas"));
    while (st.step()) {
        ++counts.symptoms;
        const QString who = readKey(findings, st, "síntoma", keys);
        checkText(findings, who, QStringLiteral("Nom"), st.text(1), nomSize);
    }
    findings.report(problems);
}

// A missing key set means its table could not be read: links to it are not judged.
void checkLinks(store::TableFile &table, QStringList &problems, const std::optional<std::unordered_set<qint32>> &flowers,
                const std::optional<std::unordered_set<qint32>> &symptoms, RowCounts &counts)
{
    Findings findings(table.displayName());
    std::vector<quint64> pairs;
    store::Statement st = table.prepare(QStringLiteral("SELECT KFlor, KSint FROM Rel"));
    while (st.step()) {
        ++counts.links;
        const QString pair = QStringLiteral("flor %1 con síntoma %2")
                                 .arg(st.isNull(0) ? QStringLiteral("vacía") : QString::number(st.integer(0)),
                                      st.isNull(1) ? QStringLiteral("vacío") : QString::number(st.integer(1)));
        if (st.isNull(0) || st.isNull(1)) {
            findings.note(QStringLiteral("enlaces sin flor o sin síntoma"), pair);
            continue;
        }
        const qint32 flower = qint32(st.integer(0));
        const qint32 symptom = qint32(st.integer(1));
        if (flowers && !flowers->count(flower))
            findings.note(QStringLiteral("enlaces a flores que no existen"), pair);
        if (symptoms && !symptoms->count(symptom))
            findings.note(QStringLiteral("enlaces a síntomas que no existen"), pair);
        pairs.push_back(quint64(quint32(flower)) << 32 | quint32(symptom));
    }
    std::sort(pairs.begin(), pairs.end());
    for (std::size_t i = 1; i < pairs.size(); ++i)
        if (pairs[i] == pairs[i - 1])
            findings.note(QStringLiteral("enlaces repetidos"), QStringLiteral("flor %1 con síntoma %2")
                                                                   .arg(qint32(pairs[i] >> 32))
                                                                   .arg(qint32(pairs[i] & 0xFFFFFFFFu)));
    findings.report(problems);
}

} // namespace

QStringList verifyTables(const QString &folder, RowCounts *counts)
{
    QStringList problems;
    RowCounts found;
    std::optional<std::unordered_set<qint32>> flowers, symptoms;
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        std::optional<store::TableFile> table;
        try {
            table.emplace(store::TableFile::open(tablePath(folder, def), def, store::TableFile::Durability::Full));
        } catch (const store::Error &e) {
            // Missing or not ours: it is only named, never touched.
            problems << e.message();
            continue;
        }
        try {
            const QStringList structure = table->check(def);
            for (const QString &p : structure)
                problems << QStringLiteral("%1: %2").arg(def.fileName(), p);
            if (def.tableName == QLatin1String("Flores"))
                checkFlowers(*table, problems, flowers.emplace(), found);
            else if (def.tableName == QLatin1String("Sintomas"))
                checkSymptoms(*table, problems, symptoms.emplace(), found);
            else if (def.tableName == QLatin1String("Rel"))
                checkLinks(*table, problems, flowers, symptoms, found);
        } catch (const store::Error &e) {
            problems << QStringLiteral("%1: %2").arg(def.fileName(), e.message());
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
