// The rows a table holds in memory: whatever order they were stored in, and whatever the
// file's own indexes say, every index comes out in its own order; rows are found by key as
// they come, change and go.
#include "catalogue/tabledefinitions.h"
#include "store/collation.h"
#include "store/error.h"
#include "store/table.h"
#include "store/tablefile.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <tuple>

using namespace store;

namespace {

// Rows written straight into a new file, in the order given, as another program might.
void writeRows(const QString &path, const TableDef &def, const QStringList &rows,
               const QStringList &afterwards = {})
{
    TableFile file = TableFile::create(path, def);
    file.begin();
    for (const QString &values : rows)
        file.exec(QStringLiteral("INSERT INTO \"%1\" VALUES (%2)").arg(def.tableName, values));
    for (const QString &sql : afterwards)
        file.exec(sql);
    file.commit();
}

// The values of `fields` along an index, one text per row.
QStringList along(const Table &t, const QString &index, const QStringList &fields)
{
    QStringList out;
    for (const Slot s : t.order(t.indexNumber(index))) {
        QStringList values;
        for (const QString &f : fields)
            values << (t.isNull(s, t.fieldIndex(f)) ? QStringLiteral("-") : t.value(s, t.fieldIndex(f)).toString());
        out << values.join(QLatin1Char('/'));
    }
    return out;
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

} // namespace

class TestTableMemory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const TableDef &def) const { return m_dir.filePath(def.fileName()); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &f : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(f));
    }

    // Names equal letter for letter stand by key in memory, while the file's index puts them
    // by their characters; a file whose index of that name orders something else, or that has
    // none, is sorted all the same.
    void textIndexesFollowTheirOwnOrder_data()
    {
        QTest::addColumn<QStringList>("afterwards");
        QTest::newRow("file's own index") << QStringList();
        QTest::newRow("no index") << QStringList{"DROP INDEX PorNom"};
        QTest::newRow("index of another field")
            << QStringList{"DROP INDEX PorNom", "CREATE INDEX PorNom ON Sintomas(Orden DESC)"};
    }
    void textIndexesFollowTheirOwnOrder()
    {
        QFETCH(QStringList, afterwards);
        const TableDef def = catalogue::sintomasDef();
        writeRows(path(def), def,
                  {"1, 'dolor', 5", "2, 'DOLOR', 4", "3, 'Dolor', 3", "4, 'Ñandú', 2", "5, 'nube', 1", "6, 'álamo', 6",
                   "7, 'Alamo', 0", "8, 'dolor de cabeza', 9"},
                  afterwards);
        const Table t(path(def), def, TableFile::Durability::Full);
        QCOMPARE(along(t, "PorNom", {"Clave"}), QStringList({"6", "7", "1", "2", "3", "8", "5", "4"}));
        QCOMPARE(along(t, "", {"Clave"}), QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
    }

    // Many rows in a random order, some removed so that the row ids leave gaps, the names
    // drawn from few words in every case: each index against a plain sort of its values.
    void manyShuffledRowsLoadSorted()
    {
        QRandomGenerator random(13);
        const QStringList words{"dolor", "Dolor", "DOLOR", "año", "ANO", "miedo", "Miedo a", "ñu", "nu", "óleo"};
        QStringList symptoms, links;
        std::vector<std::tuple<QByteArray, int>> names;
        std::vector<std::pair<int, int>> pairs;
        for (int key = 1; key <= 3000; ++key) {
            const QString name = words[random.bounded(int(words.size()))] + QLatin1Char(' ')
                + words[random.bounded(int(words.size()))];
            symptoms << QStringLiteral("%1, %2, %3").arg(key).arg(quoted(name)).arg(random.bounded(100));
            if (key % 7 != 0)
                names.emplace_back(spanishSortKey(name), key);
            for (int flower = 1; flower <= 40; ++flower)
                if (random.bounded(10) == 0)
                    pairs.emplace_back(flower, key);
        }
        std::shuffle(pairs.begin(), pairs.end(), random);
        for (const auto &[flower, symptom] : pairs)
            links << QStringLiteral("%1, %2, %3").arg(flower).arg(symptom).arg(symptom);
        std::shuffle(symptoms.begin(), symptoms.end(), random);
        const TableDef sint = catalogue::sintomasDef(), rel = catalogue::relDef();
        writeRows(path(sint), sint, symptoms, {"DELETE FROM Sintomas WHERE Clave % 7 = 0"});
        writeRows(path(rel), rel, links, {"DELETE FROM Rel WHERE KSint % 5 = 0"});

        const Table symptomsTable(path(sint), sint, TableFile::Durability::Full);
        std::sort(names.begin(), names.end());
        QStringList expected;
        for (const auto &[sortKey, key] : names)
            expected << QString::number(key);
        QCOMPARE(along(symptomsTable, "PorNom", {"Clave"}), expected);

        const Table linkTable(path(rel), rel, TableFile::Durability::Full);
        std::erase_if(pairs, [](const std::pair<int, int> &p) { return p.second % 5 == 0; });
        for (const bool bySymptom : {false, true}) {
            std::vector<std::pair<int, int>> sorted;
            for (const auto &[flower, symptom] : pairs)
                sorted.emplace_back(bySymptom ? symptom : flower, bySymptom ? flower : symptom);
            std::sort(sorted.begin(), sorted.end());
            QStringList pairsInOrder;
            for (const auto &[first, second] : sorted)
                pairsInOrder << QStringLiteral("%1/%2").arg(first).arg(second);
            const QString index = bySymptom ? "PorSint" : "PorFlor";
            QCOMPARE(along(linkTable, index, bySymptom ? QStringList{"KSint", "KFlor"} : QStringList{"KFlor", "KSint"}),
                     pairsInOrder);
            // Looking a key up finds exactly its rows.
            const int number = linkTable.indexNumber(index);
            // The symptom index keeps each position's pair beside it, the flower index does not.
            const std::vector<quint64> *kept = linkTable.packedKeys(number);
            QCOMPARE(kept != nullptr, bySymptom);
            for (std::size_t i = 0; kept && i < kept->size(); ++i)
                QCOMPARE(Table::packedSecond((*kept)[i]), linkTable.integer(linkTable.order(number)[i], 0));
            for (const int key : {0, 1, 3, 5, 40, 2999, 3001}) {
                const auto [lo, hi] = linkTable.equalRange(number, key);
                const auto count = std::count_if(sorted.begin(), sorted.end(), [&](const auto &p) { return p.first == key; });
                QCOMPARE(qint64(hi - lo), qint64(count));
                for (std::size_t i = lo; i < hi; ++i)
                    QCOMPARE(linkTable.integer(linkTable.order(number)[i], linkTable.fieldIndex(bySymptom ? "KSint" : "KFlor")),
                             key);
            }
        }
    }

    // Keys far apart, empty values and descending fields: orders that cannot be counted into
    // one bucket per key still come out right.
    void integerIndexesOfEveryShape()
    {
        const TableDef rel = catalogue::relDef();
        writeRows(path(rel), rel,
                  {"7, 2000000000, 1", "7, 1, 2", "NULL, 5, 3", "3, 5, 4", "7, 5, 5", "3, NULL, 6",
                   "2, 5, 7"});
        const Table links(path(rel), rel, TableFile::Durability::Full);
        QCOMPARE(along(links, "PorFlor", {"KFlor", "KSint"}),
                 QStringList({"-/5", "2/5", "3/-", "3/5", "7/1", "7/5", "7/2000000000"}));
        QCOMPARE(along(links, "PorSint", {"KSint", "KFlor"}),
                 QStringList({"-/3", "1/7", "5/-", "5/2", "5/3", "5/7", "2000000000/7"}));

        // Highest count first, by key within a count; counts close together and far apart.
        const TableDef result = catalogue::repFlorDef();
        for (const QString &highest : {QStringLiteral("5"), QStringLiteral("32767")}) {
            QFile::remove(path(result));
            writeRows(path(result), result, {"9, 1", "2, 3", "4, 1", "1, 3", "30, 2", "8, " + highest});
            const Table counts(path(result), result, TableFile::Durability::Full);
            QCOMPARE(along(counts, "PorCant", {"Clave"}), QStringList({"8", "1", "2", "30", "4", "9"}));
            QCOMPARE(along(counts, "", {"Clave"}), QStringList({"1", "2", "4", "8", "9", "30"}));
            QVERIFY(counts.findPrimary(30).has_value());
        }
    }

    // Keys close together and far apart, found right after loading and after every kind of
    // change, in a table written at once and in one written behind.
    void rowsAreFoundByKeyAfterEveryChange()
    {
        for (const auto durability : {TableFile::Durability::Full, TableFile::Durability::Relaxed}) {
            init();
            const TableDef def = catalogue::repFlorDef();
            writeRows(path(def), def, {"3, 1", "1, 1", "2, 5", "7, 2"});
            Table t(path(def), def, durability);
            auto key = [&](qint32 k) {
                const auto s = t.findPrimary(k);
                return s ? t.integer(*s, 0) * 100 + t.integer(*s, 1) : -1;
            };
            QCOMPARE(key(1), 101);
            QCOMPARE(key(7), 702);
            for (const qint32 missing : {0, 4, 8, -3, 2000000000})
                QCOMPARE(key(missing), -1);
            Record far{{1000000, 9}, {true, true}};
            const Slot added = t.insert(far);
            QCOMPARE(key(1000000), 100000009);
            QCOMPARE(key(7), 702);
            Record moved{{5, 9}, {true, false}};
            t.update(added, moved);
            QCOMPARE(key(1000000), -1);
            QCOMPARE(key(5), 509);
            QCOMPARE(t.equalRange(0, 5).second - t.equalRange(0, 5).first, std::size_t(1));
            t.remove(*t.findPrimary(2));
            QCOMPARE(key(2), -1);
            QCOMPARE(key(3), 301);
            std::vector<Record> again{{{3, 4}, {true, true}}};
            QVERIFY_THROWS_EXCEPTION(Error, t.insertMany(again)); // a key that stands already
            QCOMPARE(key(3), 301);
            t.empty();
            QCOMPARE(key(3), -1);
        }
    }

    // Numbers arrive as 32- and 64-bit integers, text, floating point or truth values, and are
    // checked against the field's range before they are kept.
    void integerFieldsTakeNumbersOfEveryKind()
    {
        const TableDef def = catalogue::repFlorDef();
        writeRows(path(def), def, {});
        Table t(path(def), def, TableFile::Durability::Relaxed);
        std::vector<Record> rows{{{7, qint64(3)}, {}},
                                 {{qint64(9), QStringLiteral("12")}, {}},
                                 {{QStringLiteral("11"), true}, {}},
                                 {{2.0, -32768}, {}}};
        t.insertMany(rows);
        QCOMPARE(along(t, "", {"Clave", "Cant"}), QStringList({"2/-32768", "7/3", "9/12", "11/1"}));
        for (const QVariant &tooLarge : {QVariant(qint64(1) << 33), QVariant(QStringLiteral("3000000000")), QVariant(40000)}) {
            std::vector<Record> bad{{{20, tooLarge}, {}}};
            QVERIFY_THROWS_EXCEPTION(Error, t.insertMany(bad));
        }
        std::vector<Record> twice{{{qint64(7), 1}, {}}};
        QVERIFY_THROWS_EXCEPTION(Error, t.insertMany(twice)); // 7 stands already, however it is given
        QCOMPARE(t.slotCount(), std::size_t(4));
    }
};

QTEST_GUILESS_MAIN(TestTableMemory)
#include "test_tablememory.moc"
