// The starter catalogue shipped in catalogue/: it imports cleanly, every flower can be found
// through its symptoms, and a few textbook cases rank the flower a practitioner expects.
#include "catalogue/tabledefinitions.h"
#include "repertory/processing.h"
#include "store/error.h"
#include "store/table.h"
#include "tabletool.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using store::Table;

namespace {

const QString kCatalogue = QStringLiteral(VANTOLIA_TEST_DATA "/../../startercatalogue");

} // namespace

class TestStarterCatalogue : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Table> m_flowers, m_symptoms, m_rel;

    std::unique_ptr<Table> open(const store::TableDef &def)
    {
        return std::make_unique<Table>(m_dir.filePath(def.fileName()), def, store::TableFile::Durability::Full);
    }

    qint32 symptomKey(const QString &name) const
    {
        const int nomField = m_symptoms->fieldIndex(QStringLiteral("Nom"));
        const int keyField = m_symptoms->fieldIndex(QStringLiteral("Clave"));
        for (const store::Slot s : m_symptoms->order(0))
            if (m_symptoms->text(s, nomField) == name)
                return m_symptoms->integer(s, keyField);
        return 0;
    }

    QString flowerName(qint32 key) const
    {
        const auto slot = m_flowers->findPrimary(key);
        return slot ? m_flowers->text(*slot, m_flowers->fieldIndex(QStringLiteral("Nom1"))) : QString();
    }

    int linkCount(const char *index, qint32 key) const
    {
        const auto [lo, hi] = m_rel->equalRange(m_rel->indexNumber(QString::fromLatin1(index)), key);
        return int(hi - lo);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        try {
            tabletool::importCsv(kCatalogue, m_dir.path());
        } catch (const store::Error &e) {
            QFAIL(qPrintable(e.message()));
        }
        m_flowers = open(catalogue::floresDef());
        m_symptoms = open(catalogue::sintomasDef());
        m_rel = open(catalogue::relDef());
    }

    void importedTablesPassTheCheck()
    {
        tabletool::RowCounts counts;
        const QStringList problems = tabletool::verifyTables(m_dir.path(), &counts);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QVERIFY(counts.symptoms >= 300);
    }

    void bachSystemIsComplete()
    {
        const int systemField = m_flowers->fieldIndex(QStringLiteral("Tipo"));
        int bachFlowers = 0;
        for (const store::Slot s : m_flowers->order(0))
            bachFlowers += m_flowers->text(s, systemField) == QLatin1String("1");
        QCOMPARE(bachFlowers, 38);
    }

    // A flower without links never shows up in a result; a Bach flower needs its classic
    // indications to compete with the others.
    void everyFlowerAndSymptomIsLinked()
    {
        const int keyField = m_flowers->fieldIndex(QStringLiteral("Clave"));
        const int systemField = m_flowers->fieldIndex(QStringLiteral("Tipo"));
        for (const store::Slot s : m_flowers->order(0)) {
            const int n = linkCount("PorFlor", m_flowers->integer(s, keyField));
            const int minimum = m_flowers->text(s, systemField) == QLatin1String("1") ? 8 : 1;
            QVERIFY2(n >= minimum, qPrintable(QStringLiteral("%1: %2 links")
                                                  .arg(flowerName(m_flowers->integer(s, keyField)))
                                                  .arg(n)));
        }
        const int symptomKeyField = m_symptoms->fieldIndex(QStringLiteral("Clave"));
        const int nomField = m_symptoms->fieldIndex(QStringLiteral("Nom"));
        for (const store::Slot s : m_symptoms->order(0))
            QVERIFY2(linkCount("PorSint", m_symptoms->integer(s, symptomKeyField)) > 0,
                     qPrintable(m_symptoms->text(s, nomField)));
    }

    void classicCases_data()
    {
        QTest::addColumn<QStringList>("symptoms");
        QTest::addColumn<QString>("first");
        QTest::newRow("known fears and shyness")
            << QStringList{QStringLiteral("Miedo a cosas conocidas"), QStringLiteral("Timidez"),
                           QStringLiteral("Se sonroja con facilidad")}
            << QStringLiteral("Mímulo");
        QTest::newRow("keeps going although exhausted")
            << QStringList{QStringLiteral("Agotamiento tras un esfuerzo prolongado"),
                           QStringLiteral("Sigue luchando a pesar del agotamiento"),
                           QStringLiteral("Sentido del deber excesivo"),
                           QStringLiteral("Nunca se queja aunque esté agotado")}
            << QStringLiteral("Roble");
        QTest::newRow("thoughts that keep one awake")
            << QStringList{QStringLiteral("Pensamientos repetitivos que no cesan"),
                           QStringLiteral("Insomnio por pensamientos que no se detienen"),
                           QStringLiteral("Discusiones mentales consigo mismo")}
            << QStringLiteral("Castaño Blanco");
    }

    // The expected flower comes first, ahead of the next one by at least one symptom.
    void classicCases()
    {
        QFETCH(QStringList, symptoms);
        QFETCH(QString, first);
        std::vector<qint32> keys;
        for (const QString &name : symptoms) {
            const qint32 key = symptomKey(name);
            QVERIFY2(key > 0, qPrintable(name));
            keys.push_back(key);
        }
        auto counts = repertory::countFlowers(*m_rel, keys);
        QVERIFY(counts.size() >= 2);
        std::stable_sort(counts.begin(), counts.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
        QCOMPARE(flowerName(counts[0].first), first);
        QVERIFY(counts[0].second > counts[1].second);
    }
};

QTEST_GUILESS_MAIN(TestStarterCatalogue)
#include "test_startercatalogue.moc"
