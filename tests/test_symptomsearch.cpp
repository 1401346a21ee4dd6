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

class TestBusqueda : public QObject
{
    Q_OBJECT

private slots:
    void folding_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("plegado");
        QTest::newRow("accents and case") << "Corazón áéíóú" << "CORAZON AEIOU";
        QTest::newRow("ñ becomes Ñ") << "año" << "AÑO";
        QTest::newRow("capital accents stay") << "CORAZÓN Ú" << "CORAZÓN Ú";
        QTest::newRow("ü and à stay") << "pingüino à" << "PINGüINO à";
        QTest::newRow("digits and signs stay") << "2 veces/día" << "2 VECES/DIA";
    }
    void folding()
    {
        QFETCH(QString, texto);
        QFETCH(QString, plegado);
        NormalizarTexto(texto);
        QCOMPARE(texto, plegado);
    }

    void splitting_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks around and between") << "  DOLOR   CABEZA " << QStringList{"DOLOR", "CABEZA"};
        QTest::newRow("tab belongs to the word") << "A\tB C" << QStringList{"A\tB", "C"};
        QTest::newRow("only blanks") << "   " << QStringList{};
        QTest::newRow("repeated word kept") << "DE DE" << QStringList{"DE", "DE"};
    }
    void splitting()
    {
        QFETCH(QString, texto);
        QFETCH(QStringList, words);
        QStringList out{"stale"};
        SepararPalabras(texto, out);
        QCOMPARE(out, words);
    }

    void perName_data()
    {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<int>("modo");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("acepta");
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
        QFETCH(QString, nombre);
        QFETCH(int, modo);
        QFETCH(QString, texto);
        QFETCH(bool, acepta);
        QStringList words;
        SepararPalabras(texto, words);
        QCOMPARE(nameMatches(nombre, modo, words, texto), acepta);
    }

    // The index answers exactly as the per-name test over random names, typed sequences that
    // narrow and widen, and edits of the table in between.
    void indexMatchesPerNameTest()
    {
        QTemporaryDir dir;
        const store::TableDef def = catalogue::sintomasDef();
        store::TableFile::create(dir.filePath(def.fileName()), def);
        store::Table table(dir.filePath(def.fileName()), def, store::TableFile::Durability::Relaxed);
        const QStringList vocabulario{"dolor", "de", "cabeza", "Corazón", "CORAZÓN", "año", "ano", "miedo",
                                      "a", "la", "oscuridad", "ÑANDÚ", "pingüino", "tras", "esfuerzo"};
        QRandomGenerator azar(7);
        auto nombreAlAzar = [&] {
            QStringList w;
            for (int i = 0, n = 1 + int(azar.bounded(5)); i < n; ++i)
                w << vocabulario[int(azar.bounded(vocabulario.size()))];
            return w.join(' ').left(60);
        };
        std::vector<store::Record> filas;
        for (int k = 1; k <= 400; ++k)
            filas.push_back({{k, nombreAlAzar(), k}, {true, true, true}});
        table.insertMany(filas);
        NameIndex indice(table, "Nom");

        const QStringList escritos{"D", "DO", "DOLOR", "DOLOR ", "DOLOR D", "DOLOR DE", "DOLOR DE C",
                                   "DOLOR DE CABEZA", "DOLOR", "A", "AÑ", "AÑO", "AN", "ANO", "CORAZ",
                                   "CORAZÓN", "CORAZON", "  ", "", "PINGüINO", "Ñ", "TRAS ESF"};
        for (int ronda = 0; ronda < 3; ++ronda) {
            for (int modo = 1; modo <= 3; ++modo) {
                for (const QString &texto : escritos) {
                    QStringList words;
                    SepararPalabras(texto, words);
                    const auto hallados = indice.find(modo, words, texto);
                    std::set<store::Slot> esperados;
                    for (const store::Slot s : table.order(0))
                        if (nameMatches(table.text(s, 1), modo, words, texto))
                            esperados.insert(s);
                    const std::set<store::Slot> obtenidos(hallados.begin(), hallados.end());
                    QVERIFY2(obtenidos == esperados,
                             qPrintable(QString("modo %1, texto '%2', ronda %3").arg(modo).arg(texto).arg(ronda)));
                    QCOMPARE(obtenidos.size(), hallados.size()); // each row once
                }
            }
            // Rename, add and remove names between rounds.
            for (int i = 0; i < 60; ++i) {
                const store::Slot s = table.order(0)[azar.bounded(int(table.order(0).size()))];
                store::Record r{{QVariant(), nombreAlAzar(), QVariant()}, {false, true, false}};
                table.update(s, r);
            }
            for (int i = 0; i < 20; ++i)
                table.remove(table.order(0)[azar.bounded(int(table.order(0).size()))]);
            store::Record nuevo{{QVariant(), QStringLiteral("Dolor de cabeza nuevo"), QVariant()}, {true, true, true}};
            table.insert(nuevo);
        }
    }
};

QTEST_GUILESS_MAIN(TestBusqueda)
#include "test_symptomsearch.moc"
