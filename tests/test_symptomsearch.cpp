// Symptom search: folding, word splitting, the per-name test, and the in-memory index that
// must give exactly the per-name test's results.
#include "catalogue/tabledefinitions.h"
#include "repertory/symptomsearch.h"
#include "store/tablefile.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <set>

using namespace search;

class TestSymptomSearch : public QObject
{
    Q_OBJECT

private slots:
    void folding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("accents and case") << "Corazón áéíóú" << "CORAZON AEIOU";
        QTest::newRow("ñ becomes Ñ") << "año" << "AÑO";
        QTest::newRow("capital accents stay") << "CORAZÓN Ú" << "CORAZÓN Ú";
        QTest::newRow("ü and à stay") << "pingüino à" << "PINGüINO à";
        QTest::newRow("digits and signs stay") << "2 veces/día" << "2 VECES/DIA";
    }
    void folding()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        NormalizarTexto(text);
        QCOMPARE(text, folded);
    }

    void splitting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks around and between") << "  DOLOR   CABEZA " << QStringList{"DOLOR", "CABEZA"};
        QTest::newRow("tab belongs to the word") << "A\tB C" << QStringList{"A\tB", "C"};
        QTest::newRow("only blanks") << "   " << QStringList{};
        QTest::newRow("repeated word kept") << "DE DE" << QStringList{"DE", "DE"};
    }
    void splitting()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QStringList out{"stale"};
        SepararPalabras(text, out);
        QCOMPARE(out, words);
    }

    void perName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("any: one word present") << "Dolor de espalda" << 1 << "DOLOR CABEZA" << true;
        QTest::newRow("all: one word missing") << "Dolor de espalda" << 2 << "DOLOR CABEZA" << false;
        QTest::newRow("all: both") << "Dolor de cabeza" << 2 << "CABEZA DOLOR" << true;
        QTest::newRow("exact: words apart") << "Dolor fuerte de cabeza" << 3 << "DOLOR CABEZA" << false;
        QTest::newRow("exact: in a row") << "mucho dolor cabeza" << 3 << "DOLOR CABEZA" << true;
        QTest::newRow("inside a word") << "Dolor de cabeza" << 1 << "ABEZ" << true;
        QTest::newRow("short word") << "Dolor de cabeza" << 2 << "DE" << true;
        QTest::newRow("lower ó folds to O") << "Corazón" << 1 << "CORAZON" << true;
        QTest::newRow("typed Ó misses ó") << "Corazón" << 1 << "CORAZÓN" << false;
        QTest::newRow("capital Ó matches Ó") << "CORAZÓN" << 1 << "CORAZÓN" << true;
        QTest::newRow("capital Ó not O") << "CORAZÓN" << 1 << "CORAZON" << false;
        QTest::newRow("año by AÑO") << "Tristeza de año nuevo" << 1 << "AÑO" << true;
        QTest::newRow("año by AÑ") << "Tristeza de año nuevo" << 1 << "AÑ" << true;
        QTest::newRow("año not ANO") << "Tristeza de año nuevo" << 1 << "ANO" << false;
        QTest::newRow("exact keeps blanks") << "Dolor de cabeza" << 3 << "DE " << true;
        QTest::newRow("exact trailing blank misses") << "Dolor de" << 3 << "DE " << false;
        QTest::newRow("empty any") << "Dolor" << 1 << "" << false;
        QTest::newRow("empty all") << "Dolor" << 2 << "" << true;
        QTest::newRow("empty exact") << "Dolor" << 3 << "" << false;
        QTest::newRow("mode 0 passes") << "Dolor" << 0 << "XYZ" << true;
    }
    void perName()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QStringList words;
        SepararPalabras(text, words);
        QCOMPARE(nameMatches(name, mode, words, text), accepted);
    }

    // The index answers exactly as the per-name test over random names, typed sequences that
    // narrow and widen, and edits of the table in between.
    void indexMatchesPerNameTest()
    {
        QTemporaryDir dir;
        const store::TableDef def = catalogue::sintomasDef();
        store::TableFile::create(dir.filePath(def.fileName()), def);
        store::Table table(dir.filePath(def.fileName()), def, store::TableFile::Durability::Relaxed);
        const QStringList vocabulary{"dolor", "de", "cabeza", "Corazón", "CORAZÓN", "año", "ano", "miedo",
                                      "a", "la", "oscuridad", "ÑANDÚ", "pingüino", "tras", "esfuerzo"};
        QRandomGenerator random(7);
        auto randomName = [&] {
            QStringList w;
            for (int i = 0, n = 1 + int(random.bounded(5)); i < n; ++i)
                w << vocabulary[int(random.bounded(vocabulary.size()))];
            return w.join(' ').left(60);
        };
        std::vector<store::Record> rows;
        for (int k = 1; k <= 400; ++k)
            rows.push_back({{k, randomName(), k}, {true, true, true}});
        table.insertMany(rows);
        NameIndex index(table, "Nom");

        const QStringList typed{"D", "DO", "DOLOR", "DOLOR ", "DOLOR D", "DOLOR DE", "DOLOR DE C",
                                   "DOLOR DE CABEZA", "DOLOR", "A", "AÑ", "AÑO", "AN", "ANO", "CORAZ",
                                   "CORAZÓN", "CORAZON", "  ", "", "PINGüINO", "Ñ", "TRAS ESF"};
        for (int round = 0; round < 3; ++round) {
            for (int mode = 1; mode <= 3; ++mode) {
                for (const QString &text : typed) {
                    QStringList words;
                    SepararPalabras(text, words);
                    const auto found = index.find(mode, words, text);
                    std::set<store::Slot> expected;
                    for (const store::Slot s : table.order(0))
                        if (nameMatches(table.text(s, 1), mode, words, text))
                            expected.insert(s);
                    const std::set<store::Slot> got(found.begin(), found.end());
                    QVERIFY2(got == expected,
                             qPrintable(QString("mode %1, text '%2', round %3").arg(mode).arg(text).arg(round)));
                    QCOMPARE(got.size(), found.size()); // each row once
                }
            }
            // Rename, add and remove names between rounds.
            for (int i = 0; i < 60; ++i) {
                const store::Slot s = table.order(0)[random.bounded(int(table.order(0).size()))];
                store::Record r{{QVariant(), randomName(), QVariant()}, {false, true, false}};
                table.update(s, r);
            }
            for (int i = 0; i < 20; ++i)
                table.remove(table.order(0)[random.bounded(int(table.order(0).size()))]);
            store::Record added{{QVariant(), QStringLiteral("Dolor de cabeza nuevo"), QVariant()}, {true, true, true}};
            table.insert(added);
        }
    }
};

QTEST_GUILESS_MAIN(TestSymptomSearch)
#include "test_symptomsearch.moc"
