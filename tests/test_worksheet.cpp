// The worksheet as data: its cells, the weighted ordering, the copy text and the widths, and
// the sheet built from the tables against a search of the whole link table for every cell.
#include "catalogue/catalogue.h"
#include "repertory/worksheet.h"
#include "repertory/processing.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <set>

using worksheet::Sheet;

namespace {

// A sheet from its flower names and, for each flower, the symptom columns it is linked to.
Sheet sheet(int sintomas, const QStringList &nombres, const std::vector<std::vector<int>> &marcas)
{
    Sheet h;
    for (int k = 1; k <= sintomas; ++k)
        h.referencias << QStringLiteral("%1: S%1").arg(k);
    for (std::size_t r = 0; r < marcas.size(); ++r)
        h.agregarFila(nombres[qsizetype(r)], int(marcas[r].size()), marcas[r]);
    return h;
}

QStringList nombres(const Sheet &h)
{
    QStringList n;
    for (const QString &s : h.nombres)
        n << s;
    return n;
}

// Where the ordering puts each row, counted the long way: one place for every row with a
// higher score, and one for every earlier row with the same score.
std::vector<int> colocacionContada(const std::vector<int> &scores)
{
    std::vector<int> orden(scores.size());
    for (std::size_t i = 0; i < scores.size(); ++i) {
        std::size_t lugar = 0;
        for (std::size_t j = 0; j < scores.size(); ++j)
            if (scores[j] > scores[i] || (j < i && scores[j] == scores[i]))
                ++lugar;
        orden[lugar] = int(i);
    }
    return orden;
}

void elegir(Catalogue &c, const std::vector<qint32> &claves)
{
    std::vector<store::Record> filas;
    for (const qint32 k : claves)
        filas.push_back({{k}, {true}});
    c.TRepS.table()->insertMany(filas);
}

} // namespace

class TestPlanilla : public QObject
{
    Q_OBJECT

    // Every cell of the sheet against the link table searched for the pair, flower by symptom.
    static void compararConLaTablaDeEnlaces(Catalogue &c, const Sheet &h, const QString &campoNombre)
    {
        const std::vector<qint32> claves = repertory::selectedKeys(c);
        QCOMPARE(h.sintomas(), int(claves.size()));
        QCOMPARE(h.filas(), c.TRepF.recordCount());
        for (int k = 0; k < h.sintomas(); ++k)
            QCOMPARE(h.referencias[k], QStringLiteral("%1: %2").arg(k + 1).arg(c.TRepS.valueAt(k, c.TRepS.fieldNumber("Nom")).toString()));
        c.TRelS.setMasterSource(nullptr);
        for (int r = 0; r < h.filas(); ++r) {
            const QVariant flor = c.TRepF.valueAt(r, c.TRepF.fieldNumber("Clave"));
            QCOMPARE(h.nombres[std::size_t(r)], c.TRepF.valueAt(r, c.TRepF.fieldNumber(campoNombre)).toString());
            QCOMPARE(h.texto(r + 1, 1), c.TRepF.valueAt(r, c.TRepF.fieldNumber("Cant")).toString());
            for (int k = 0; k < h.sintomas(); ++k)
                QCOMPARE(h.marca(r, k), c.TRelS.locate("KSint", claves[std::size_t(k)], "KFlor", flor));
        }
        c.TRelS.setMasterSource(&c.SSint);
    }

private slots:
    void cellsHoldNumbersNamesCountsAndMarks()
    {
        const Sheet h = sheet(2, {"A", "B"}, {{0, 1}, {1}});
        const QStringList fila0 = {"", "C", "1", "2"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(h.texto(0, c), fila0[c]);
        QCOMPARE(h.texto(1, 0), QString("A"));
        QCOMPARE(h.texto(1, 1), QString("2"));
        QCOMPARE(h.texto(1, 2), QString("X"));
        QCOMPARE(h.texto(1, 3), QString("X"));
        QCOMPARE(h.texto(2, 2), QString());
        QCOMPARE(h.texto(2, 3), QString("X"));
    }

    void rowsRunByWeightedScore_data()
    {
        QTest::addColumn<int>("sintomas");
        QTest::addColumn<QStringList>("entrada");
        QTest::addColumn<std::vector<std::vector<int>>>("marcas");
        QTest::addColumn<QList<int>>("pesosEsperados");
        QTest::addColumn<QList<int>>("puntajesEsperados");
        QTest::addColumn<QStringList>("salida");
        QTest::newRow("one symptom, three flowers: nothing moves")
            << 1 << QStringList{"A", "B", "C"} << std::vector<std::vector<int>>{{0}, {0}, {0}} << QList<int>{0}
            << QList<int>{0, 0, 0} << QStringList{"A", "B", "C"};
        QTest::newRow("A has both, B the first, C the second")
            << 2 << QStringList{"A", "B", "C"} << std::vector<std::vector<int>>{{0, 1}, {0}, {1}} << QList<int>{1, 1}
            << QList<int>{2, 1, 1} << QStringList{"A", "B", "C"};
        QTest::newRow("ties keep the result's order")
            << 2 << QStringList{"C", "B", "A"} << std::vector<std::vector<int>>{{1}, {0}, {0, 1}} << QList<int>{1, 1}
            << QList<int>{1, 1, 2} << QStringList{"A", "C", "B"};
        QTest::newRow("a symptom every flower has weighs nothing")
            << 2 << QStringList{"P", "Q", "R"} << std::vector<std::vector<int>>{{0}, {0, 1}, {0}}
            << QList<int>{0, 2} << QList<int>{0, 2, 0} << QStringList{"Q", "P", "R"};
        QTest::newRow("a rare symptom outweighs two common ones")
            << 3 << QStringList{"P", "Q", "R", "S"} << std::vector<std::vector<int>>{{0, 1}, {0, 1}, {2}, {0, 1}}
            << QList<int>{1, 1, 3} << QList<int>{2, 2, 3, 2} << QStringList{"R", "P", "Q", "S"};
        QTest::newRow("no flowers") << 2 << QStringList{} << std::vector<std::vector<int>>{} << QList<int>{0, 0}
                                    << QList<int>{} << QStringList{};
    }
    void rowsRunByWeightedScore()
    {
        QFETCH(int, sintomas);
        QFETCH(QStringList, entrada);
        QFETCH(std::vector<std::vector<int>>, marcas);
        QFETCH(QList<int>, pesosEsperados);
        QFETCH(QList<int>, puntajesEsperados);
        QFETCH(QStringList, salida);
        Sheet h = sheet(sintomas, entrada, marcas);
        const std::vector<int> p = worksheet::weights(h);
        QCOMPARE(QList<int>(p.begin(), p.end()), pesosEsperados);
        const std::vector<int> s = worksheet::scores(h, p);
        QCOMPARE(QList<int>(s.begin(), s.end()), puntajesEsperados);
        worksheet::OrdenarPorPuntaje(h);
        QCOMPARE(nombres(h), salida);
        // Each name keeps its own count and marks.
        const Sheet antes = sheet(sintomas, entrada, marcas);
        for (int r = 0; r < h.filas(); ++r) {
            const int era = int(entrada.indexOf(h.nombres[std::size_t(r)]));
            QCOMPARE(h.cuentas[std::size_t(r)], antes.cuentas[std::size_t(era)]);
            for (int k = 0; k < sintomas; ++k)
                QCOMPARE(h.marca(r, k), antes.marca(era, k));
        }
    }

    void orderingMatchesTheCountedPlacementAndIsStable()
    {
        QRandomGenerator azar(5);
        for (int vuelta = 0; vuelta < 50; ++vuelta) {
            // Small sheets, with few distinct scores; then large ones where a few flowers have
            // nearly every symptom and the others almost none, so scores run into thousands.
            const bool grande = vuelta >= 40;
            const int n = grande ? 60 : 1 + int(azar.bounded(7)), m = grande ? 100 : int(azar.bounded(30));
            QStringList nom;
            auto marcas = std::vector<std::vector<int>>(std::size_t(m));
            for (int r = 0; r < m; ++r) {
                nom << QStringLiteral("F%1").arg(r);
                const int entre = !grande ? 3 : (r == 0 || azar.bounded(25) == 0 ? 1 : 50);
                for (int k = 0; k < n; ++k)
                    if (azar.bounded(entre) == 0)
                        marcas[std::size_t(r)].push_back(k);
            }
            Sheet h = sheet(n, nom, marcas);
            const std::vector<int> scores = worksheet::scores(h, worksheet::weights(h));
            if (grande)
                QVERIFY(*std::max_element(scores.begin(), scores.end()) > 5000);
            const std::vector<int> esperado = colocacionContada(scores);
            worksheet::OrdenarPorPuntaje(h);
            QStringList porColocacion;
            for (const int i : esperado)
                porColocacion << nom[i];
            QCOMPARE(nombres(h), porColocacion);
            // Sorting a sorted sheet leaves it as it is.
            const Sheet ordenada = h;
            worksheet::OrdenarPorPuntaje(h);
            QCOMPARE(nombres(h), nombres(ordenada));
            QCOMPARE(h.columnas, ordenada.columnas);
            QCOMPARE(h.inicio, ordenada.inicio);
        }
    }

    void copyTextIsAStaircaseOverTheMarks()
    {
        Sheet h;
        h.referencias = QStringList{"1: S1", "2: S2"};
        h.agregarFila("A", 2, std::vector<int>{0, 1});
        h.agregarFila("B", 1, std::vector<int>{0});
        QCOMPARE(worksheet::copyText(h.referencias, h), QString("S1\r\n"
                                                                 "| S2\r\n"
                                                                 "| | \r\n"
                                                                 "X X (2) A\r\n"
                                                                 "X | (1) B\r\n"));

        Sheet tres;
        tres.referencias = QStringList{"1: Dolor: de cabeza", "2: Timidez", "3: " + QString(120, 'x')};
        tres.agregarFila("Mímulo", 1, std::vector<int>{1});
        const QStringList lineas = worksheet::copyText(tres.referencias, tres).split("\r\n");
        QCOMPARE(lineas, QStringList({"Dolor: de cabeza", "| Timidez", "| | " + QString(100, 'x'), "| | | ",
                                      "| X | (1) Mímulo", ""}));

        Sheet vacia;
        QCOMPARE(worksheet::copyText({}, vacia), QString("\r\n"));
    }

    void referencesTakeWhatTheGridLeavesButNeverLessThanThreeButtons_data()
    {
        QTest::addColumn<int>("cliente");
        QTest::addColumn<QList<int>>("columnas");
        QTest::addColumn<int>("ancho");
        QTest::newRow("narrow sheet") << 1024 << QList<int>{110, 24, 24, 24} << 1024 - (111 + 3 * 25) - 30;
        QTest::newRow("exactly three buttons") << 1024 << QList<int>{771} << 222;
        QTest::newRow("wide sheet") << 1024 << QList<int>(60, 24) << 222;
    }
    void referencesTakeWhatTheGridLeavesButNeverLessThanThreeButtons()
    {
        QFETCH(int, cliente);
        QFETCH(QList<int>, columnas);
        QFETCH(int, ancho);
        const std::vector<int> anchos(columnas.begin(), columnas.end());
        QCOMPARE(worksheet::referencesWidth(cliente, anchos), ancho);
    }

    void widestTextIsMeasuredAsTheFontMeasuresEachText_data()
    {
        QTest::addColumn<QFont>("fuente");
        QFont arial("Arial");
        arial.setPointSize(11);
        QTest::newRow("Arial 11") << arial;
        QFont negrita("Arial");
        negrita.setPixelSize(17);
        negrita.setBold(true);
        QTest::newRow("Arial bold 17 px") << negrita;
        QFont serif("Liberation Serif");
        serif.setPointSize(14);
        serif.setItalic(true);
        QTest::newRow("serif italic") << serif;
        QFont dejavu("DejaVu Sans");
        dejavu.setPointSize(9);
        QTest::newRow("DejaVu 9") << dejavu;
    }
    void widestTextIsMeasuredAsTheFontMeasuresEachText()
    {
        QFETCH(QFont, fuente);
        const QFontMetrics fm(fuente);
        // Pairs that kern or join, accents, and one text outside the single-byte range.
        const QString letras = QString::fromUtf8("AVWTYLPFfilo.,'ÁÑñéúr yaeA ");
        QRandomGenerator azar(3);
        std::vector<QString> textos = {"Ñandú Azul", "Álamo Temblón", "AVATAR", "office fiffle", "Ω-omega"};
        for (int i = 0; i < 1500; ++i) {
            QString t;
            for (int n = 1 + int(azar.bounded(25)); n > 0; --n)
                t += letras[azar.bounded(int(letras.size()))];
            textos.push_back(t);
        }
        int mayor = 0;
        for (const QString &t : textos) {
            mayor = std::max(mayor, fm.horizontalAdvance(t));
            QCOMPARE(worksheet::widestText({t}, fuente), fm.horizontalAdvance(t));
        }
        QCOMPARE(worksheet::widestText(textos, fuente), mayor);
        QCOMPARE(worksheet::widestText({}, fuente), 0);
    }

    void theFixtureSheetHasTheChosenNamesAndMarks()
    {
        WorkingFolder carpeta;
        Catalogue c;
        c.open();
        elegir(c, {5, 4}); // Timidez, Miedo a cosas conocidas
        repertory::processSelection(c);
        const int filaSeleccion = c.TRepS.currentRow();
        c.TRepF.moveTo(1);
        Sheet h = worksheet::buildSheet(c, "Nom3");
        QCOMPARE(h.referencias, QStringList({"1: Miedo a cosas conocidas", "2: Timidez"}));
        QCOMPARE(nombres(h), QStringList({"Mimulus guttatus", "Populus tremula", "Rosa canina"}));
        QCOMPARE(h.cuentas, std::vector<int>({2, 1, 1}));
        QCOMPARE(h.columnas, std::vector<int>({0, 1, 0, 1}));
        QCOMPARE(h.inicio, std::vector<int>({0, 2, 3, 4}));
        compararConLaTablaDeEnlaces(c, h, "Nom3");
        // Reading the tables moves no cursor.
        QCOMPARE(c.TRepS.currentRow(), filaSeleccion);
        QCOMPARE(c.TRepF.currentRow(), 1);

        // Names come through the flower list, which shows one system only while one is chosen.
        c.TFlores.setFilterText("Tipo=1");
        h = worksheet::buildSheet(c, "Nom1");
        QCOMPARE(nombres(h), QStringList({"Mímulo", "Álamo Temblón", ""}));
        compararConLaTablaDeEnlaces(c, h, "Nom1");
    }

    void flowerKeysFarApartGiveTheSameSheet()
    {
        // Keys a million apart: no table by key pays, so keys are searched for instead.
        QTemporaryDir dir;
        QFile flores(dir.filePath("Flores.csv")), sintomas(dir.filePath("Sintomas.csv")), rel(dir.filePath("Rel.csv"));
        QVERIFY(flores.open(QIODevice::WriteOnly) && sintomas.open(QIODevice::WriteOnly) && rel.open(QIODevice::WriteOnly));
        flores.write("Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto\n");
        sintomas.write("Clave,Nom,Orden\n");
        rel.write("KFlor,KSint,OSint\n");
        QRandomGenerator azar(23);
        for (int i = 0; i < 40; ++i)
            flores.write(QString("%1,%2,Flor %3,Flower %3,Flos %3,,,,\n").arg(1 + i * 1000003).arg(1 + i % 13).arg(i).toUtf8());
        for (int k = 1; k <= 60; ++k) {
            sintomas.write(QString("%1,Síntoma %1,%1\n").arg(k).toUtf8());
            std::set<int> enlazadas;
            while (enlazadas.size() < 4)
                enlazadas.insert(1 + int(azar.bounded(40)) * 1000003);
            for (const int f : enlazadas)
                rel.write(QString("%1,%2,%2\n").arg(f).arg(k).toUtf8());
        }
        flores.close();
        sintomas.close();
        rel.close();
        const QString carpeta = dir.filePath("cat");
        tabletool::importCsv(dir.path(), carpeta);
        const QString antes = QDir::currentPath();
        QDir::setCurrent(carpeta);
        {
            Catalogue c;
            c.open();
            elegir(c, {3, 9, 17, 18, 30, 41, 59, 60});
            repertory::processSelection(c);
            c.TFlores.setFilterText("Tipo=2"); // names of other systems read as empty
            const Sheet h = worksheet::buildSheet(c, "Nom2");
            QVERIFY(h.filas() > 15);
            compararConLaTablaDeEnlaces(c, h, "Nom2");
        }
        QDir::setCurrent(antes);
    }

    void aSyntheticSheetAgreesWithTheLinkTableCellByCell()
    {
        QTemporaryDir dir;
        const QString carpeta = dir.filePath("cat");
        tabletool::generateSynthetic(carpeta, 90, 700, 7, 9);
        const QString antes = QDir::currentPath();
        QDir::setCurrent(carpeta);
        {
            Catalogue c;
            c.open();
            QRandomGenerator azar(17);
            std::set<qint32> claves;
            while (claves.size() < 45)
                claves.insert(1 + qint32(azar.bounded(710))); // a few beyond the catalogue, without links
            elegir(c, std::vector<qint32>(claves.begin(), claves.end()));
            repertory::processSelection(c);
            const Sheet h = worksheet::buildSheet(c, "Nom1");
            QVERIFY(h.filas() > 40);
            compararConLaTablaDeEnlaces(c, h, "Nom1");
        }
        QDir::setCurrent(antes);
    }
};

QTEST_MAIN(TestPlanilla)
#include "test_worksheet.moc"
