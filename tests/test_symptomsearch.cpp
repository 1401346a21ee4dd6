// Symptom search: folding, word splitting, the per-name test, and the in-memory index that
// must give exactly the per-name test's results.
#include "catalogue/tabledefinitions.h"
#include "repertory/symptomsearch.h"
#include "store/codepage.h"
#include "store/tablefile.h"
#include "store/view.h"

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
        QTest::newRow("four accents of a, both cases") << "àáâä ÀÁÂÄ" << "AAAA AAAA";
        QTest::newRow("four accents of e, i, o, u") << "èéêë ìíîï òóôö ùúûü" << "EEEE IIII OOOO UUUU";
        QTest::newRow("capital accents") << "ÈÉÊË ÌÍÎÏ ÒÓÔÖ ÙÚÛÜ" << "EEEE IIII OOOO UUUU";
        QTest::newRow("tilde and ring on vowels") << "ãõå ÃÕÅ" << "AOA AOA";
        QTest::newRow("ü of Pingüino") << "Pingüino PINGÜINO" << "PINGUINO PINGUINO";
        QTest::newRow("ç and Ç become C") << "açúcar Çedro" << "ACUCAR CEDRO";
        QTest::newRow("ñ and Ñ stay Ñ") << "año AÑO" << "AÑO AÑO";
        QTest::newRow("other letters to their capitals") << "æøýþð ÿšœž" << "ÆØÝÞÐ ŸŠŒŽ";
        QTest::newRow("ß as the box writes it") << "Weißdorn" << "WEISSDORN";
        QTest::newRow("µ and ƒ keep their letter") << "5 µg \u039C ƒ \u0191" << "5 µG µ ƒ ƒ";
        QTest::newRow("digits, signs and blanks stay") << "2 veces/día\t(¿?) ¡ya! \u00A0«»" << "2 VECES/DIA\t(¿?) ¡YA! \u00A0«»";
        QTest::newRow("outside the code page stays") << "Ωω ŝ μ" << "Ωω ŝ μ";
        QTest::newRow("empty") << "" << "";
    }
    void folding()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        NormalizarTexto(text);
        QCOMPARE(text, folded);
        NormalizarTexto(text);
        QCOMPARE(text, folded); // folding twice changes nothing
    }

    // Every character of the code page: its fold stays in the code page (the index keeps
    // names in it) and is the fold of what the search box writes for it (its capitals).
    void foldingOfEveryCharacterOfTheCodePage()
    {
        for (char16_t c = 1; c < 0xFFFF; ++c) {
            if (!codepage::holds(c))
                continue;
            QString f(QChar{c});
            NormalizarTexto(f);
            QVERIFY2(codepage::firstOutside(f) < 0, qPrintable(QString("U+%1").arg(int(c), 4, 16, QChar('0'))));
            QString boxed = QString(QChar{c}).toUpper();
            NormalizarTexto(boxed);
            QVERIFY2(boxed == f, qPrintable(QString("U+%1: %2 and %3").arg(int(c), 4, 16, QChar('0')).arg(boxed, f)));
            QVERIFY(f != " " || c == u' '); // no blank is made: folding before or after splitting is the same
        }
    }

    // The one-pass fold into code-page bytes, which the index keeps names in, against the fold
    // followed by the code page, for every character and for texts of several.
    void foldingIntoBytesOfTheCodePage()
    {
        const char missing = char(0x81);
        for (char16_t c = 0; c < 0xFFFF; ++c) {
            QString f(QChar{c});
            NormalizarTexto(f);
            QByteArray bytes("x");
            appendFolded(QString(QChar{c}), missing, bytes);
            QVERIFY2(bytes == "x" + codepage::toWindows1252(f, missing),
                     qPrintable(QString("U+%1").arg(int(c), 4, 16, QChar('0'))));
        }
        for (const QString text : {"Weißdorn ß Ωmega ÿ", "", "ßßß", "año Çedro Μg"}) {
            QString f = text;
            NormalizarTexto(f);
            QByteArray bytes;
            appendFolded(text, missing, bytes);
            QCOMPARE(bytes, codepage::toWindows1252(f, missing));
        }
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
        QTest::newRow("typed Ó finds ó") << "Corazón" << 1 << "CORAZÓN" << true;
        QTest::newRow("capital Ó by Ó") << "CORAZÓN" << 1 << "CORAZÓN" << true;
        QTest::newRow("capital Ó by O") << "CORAZÓN" << 1 << "CORAZON" << true;
        QTest::newRow("año by AÑO") << "Tristeza de año nuevo" << 1 << "AÑO" << true;
        QTest::newRow("año by AÑ") << "Tristeza de año nuevo" << 1 << "AÑ" << true;
        QTest::newRow("año not ANO") << "Tristeza de año nuevo" << 1 << "ANO" << false;
        QTest::newRow("AÑO not ANO") << "FIN DE AÑO" << 2 << "ANO" << false;
        QTest::newRow("ano not AÑO") << "Dolor en el ano" << 1 << "AÑO" << false;
        QTest::newRow("ç by C") << "Açúcar" << 2 << "ACUCAR" << true;
        QTest::newRow("ß by SS") << "Weißdorn" << 1 << "WEISS" << true;
        QTest::newRow("ß by ß") << "Weißdorn" << 3 << "weiß" << true;
        QTest::newRow("µ as the box writes it") << "Dosis de 5 µg" << 3 << "5 \u039CG" << true;
        QTest::newRow("typed in small letters") << "Dolor de cabeza" << 2 << "dolor cabeza" << true;
        QTest::newRow("word outside the code page") << "Ω" << 1 << "Ω" << false;
        QTest::newRow("word with a zero") << QString("A") + QChar(0) + "B" << 1 << QString("A") + QChar(0) + "B" << false;
        QTest::newRow("exact keeps blanks") << "Dolor de cabeza" << 3 << "DE " << true;
        QTest::newRow("exact trailing blank misses") << "Dolor de" << 3 << "DE " << false;
        QTest::newRow("empty any") << "Dolor" << 1 << "" << false;
        QTest::newRow("empty all") << "Dolor" << 2 << "" << true;
        QTest::newRow("empty exact") << "Dolor" << 3 << "" << false;
        QTest::newRow("mode 0 passes") << "Dolor" << 0 << "XYZ" << true;
        // Both spellings of a name are found by both spellings of the word, in every mode.
        for (const char *name : {"Emoción contenida", "EMOCIÓN CONTENIDA"})
            for (const char *typed : {"EMOCION", "EMOCIÓN", "emoción", "EMOCIÓN CONT"})
                for (int mode = 1; mode <= 3; ++mode)
                    QTest::addRow("%s by %s, mode %d", name, typed, mode) << QString(name) << mode << QString(typed) << true;
        for (const char *typed : {"pingüino", "PINGUINO", "PINGÜINO", "GÜI"})
            for (int mode = 1; mode <= 3; ++mode)
                QTest::addRow("Pingüino by %s, mode %d", typed, mode) << "Pingüino emperador" << mode << QString(typed) << true;
    }
    void perName()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        // The words as the box's search splits them, and also unfolded: the test folds them.
        QStringList words;
        SepararPalabras(text, words);
        QCOMPARE(nameMatches(name, mode, words, text), accepted);
        QString folded = text;
        NormalizarTexto(folded);
        SepararPalabras(folded, words);
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
        // Spellings that fold alike, letters that fold apart, and a character outside the code
        // page, which no name of the catalogue holds but which nothing stops a table from holding.
        const QStringList vocabulary{"dolor", "de", "cabeza", "Corazón", "CORAZÓN", "año", "ano", "miedo",
                                     "a", "la", "oscuridad", "ÑANDÚ", "pingüino", "tras", "esfuerzo",
                                     "Emoción", "EMOCIÓN", "emocion", "Pingüino", "PINGÜINO", "açúcar",
                                     "Weißdorn", "WEISS", "µg", "ÿ", "naïve", "Ω", "Ågua", "ŒIL"};
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

        // As typed in the box (capitals) and as given by other callers (unfolded), in sequences
        // that narrow and widen.
        const QStringList typed{"D", "DO", "DOLOR", "DOLOR ", "DOLOR D", "DOLOR DE", "DOLOR DE C",
                                "DOLOR DE CABEZA", "DOLOR", "A", "AÑ", "AÑO", "AN", "ANO", "CORAZ",
                                "CORAZÓN", "CORAZON", "  ", "", "PINGüINO", "Ñ", "TRAS ESF",
                                "EMOC", "EMOCI", "EMOCIÓ", "EMOCIÓN", "EMOCION", "emoción", "EMOCIÓN DE",
                                "PINGÜ", "PINGUINO", "pingüino", "ACUCAR", "Ç", "WEIß", "WEISS", "SS",
                                "5 \u039CG", "µ", "Ÿ", "NAIVE", "Ω", "Ω A", "A Ω", "AGUA", "œil"};
        for (int round = 0; round < 3; ++round) {
            for (int mode = 1; mode <= 3; ++mode) {
                for (const QString &text : typed) {
                    QStringList words;
                    // Words split from the text as typed, or from the folded text as a search
                    // does it: the two give the same answer.
                    QString folded = text;
                    if (round == 1)
                        NormalizarTexto(folded);
                    SepararPalabras(folded, words);
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

    // A search folds what is typed before it splits the words, and the first mode moves to the
    // nearest name for the text as it is typed.
    void applyingASearchFoldsTheTypedText()
    {
        QTemporaryDir dir;
        const store::TableDef def = catalogue::sintomasDef();
        store::TableFile::create(dir.filePath(def.fileName()), def);
        store::Table table(dir.filePath(def.fileName()), def, store::TableFile::Durability::Relaxed);
        std::vector<store::Record> rows;
        int key = 0;
        for (const char *name : {"Emoción contenida", "EMOCIÓN CONTENIDA", "Pingüino", "Dolor de cabeza"}) {
            ++key;
            rows.push_back({{key, QString(name), key}, {true, true, true}});
        }
        table.insertMany(rows);
        store::View view("TSint");
        view.setTable(&table);
        view.setIndexName("PorNom");
        view.open();
        NameIndex index(table, "Nom");
        QStringList words;
        int mode = AnyWord;
        QString text;
        const auto search = [&](int m, const QString &t) {
            mode = m;
            text = t;
            return applySearch(view, index, mode, text, words,
                               [&](store::Slot s) { return nameMatches(table.text(s, 1), mode, words, text); });
        };

        QCOMPARE(search(AnyWord, "emoción  pingüino"), 3);
        QCOMPARE(words, QStringList({"EMOCION", "PINGUINO"}));
        QCOMPARE(search(AllWords, "EMOCION CONTENIDA"), 2);
        QCOMPARE(search(Exact, "EMOCIÓN CONT"), 2);
        QCOMPARE(search(Exact, "PINGÜINO"), 1);
        QCOMPARE(view.valueAt(0, view.fieldNumber("Nom")).toString(), QString("Pingüino"));
        // A name changed while the search is on is tested by the per-row test, folded alike.
        store::Record renamed{{QVariant(), QStringLiteral("PINGUINO REY"), QVariant()}, {false, true, false}};
        table.update(*table.findPrimary(4), renamed);
        QCOMPARE(view.recordCount(), 2);

        QCOMPARE(search(Nearest, "Emoción contenida"), 4);
        QCOMPARE(words, QStringList({"PINGUINO"})); // kept from the last narrowing search
        QCOMPARE(view.value("Nom").toString(), QString("Emoción contenida"));
    }
};

QTEST_GUILESS_MAIN(TestSymptomSearch)
#include "test_symptomsearch.moc"
