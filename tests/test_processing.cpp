// Counting the links of the chosen symptoms per flower, against a plain count, while the link
// table changes underneath the indexes that make it fast.
#include "catalogue/tabledefinitions.h"
#include "repertory/processing.h"
#include "store/table.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <set>

class TestProcessing : public QObject
{
    Q_OBJECT

    static std::map<qint32, int> plainCount(const store::Table &rel, const std::vector<qint32> &symptoms)
    {
        std::map<qint32, int> count;
        const std::set<qint32> chosen(symptoms.begin(), symptoms.end());
        for (const store::Slot s : rel.order(0))
            if (chosen.count(rel.integer(s, 1)))
                ++count[rel.integer(s, 0)];
        return count;
    }

    static void check(const store::Table &rel, const std::vector<qint32> &symptoms)
    {
        const auto counted = repertory::countFlowers(rel, symptoms);
        const std::map<qint32, int> got(counted.begin(), counted.end());
        QCOMPARE(got.size(), counted.size()); // each flower once
        QCOMPARE(got, plainCount(rel, symptoms));
    }

private slots:
    void countsMatchAPlainCount_data()
    {
        QTest::addColumn<int>("flowerKeySpread");
        QTest::newRow("keys close together") << 1;
        QTest::newRow("keys far apart") << 1000003;
    }
    void countsMatchAPlainCount()
    {
        QFETCH(int, flowerKeySpread);
        QTemporaryDir dir;
        const store::TableDef def = catalogue::relDef();
        store::TableFile::create(dir.filePath(def.fileName()), def);
        store::Table rel(dir.filePath(def.fileName()), def, store::TableFile::Durability::Relaxed);
        QRandomGenerator random(11);
        std::set<std::pair<int, int>> pairs;
        std::vector<store::Record> rows;
        while (rows.size() < 3000) {
            const int flower = 1 + int(random.bounded(200)) * flowerKeySpread;
            const int symptom = 1 + int(random.bounded(500));
            if (pairs.insert({flower, symptom}).second)
                rows.push_back({{flower, symptom, symptom}, {true, true, true}});
        }
        rel.insertMany(rows);
        std::set<qint32> chosen; // chosen symptoms are distinct, as the selection's key makes them
        while (chosen.size() < 120)
            chosen.insert(1 + qint32(random.bounded(520))); // some without links
        const std::vector<qint32> symptoms(chosen.begin(), chosen.end());
        check(rel, symptoms);
        QVERIFY(repertory::countFlowers(rel, {}).empty());

        // Links removed and added one by one keep every index and its packed keys in step.
        for (int i = 0; i < 150; ++i)
            rel.remove(rel.order(0)[random.bounded(int(rel.order(0).size()))]);
        for (int i = 0; i < 150; ++i) {
            const int flower = 1 + int(random.bounded(200)) * flowerKeySpread, symptom = 1 + int(random.bounded(500));
            if (!pairs.insert({flower, symptom}).second)
                continue;
            store::Record r{{flower, symptom, symptom}, {true, true, true}};
            rel.insert(r);
        }
        check(rel, symptoms);
        const int bySymptom = rel.indexNumber("PorSint");
        for (const qint32 symptom : {0, 1, 250, 500, 501, 100000}) {
            const auto [lo, hi] = rel.equalRange(bySymptom, symptom);
            int expected = 0;
            for (const store::Slot s : rel.order(0))
                expected += rel.integer(s, 1) == symptom;
            QCOMPARE(int(hi - lo), expected);
            for (std::size_t i = lo; i < hi; ++i)
                QCOMPARE(rel.integer(rel.order(bySymptom)[i], 1), symptom);
        }
    }
};

QTEST_GUILESS_MAIN(TestProcessing)
#include "test_processing.moc"
