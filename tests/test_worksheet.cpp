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
Sheet sheet(int symptoms, const QStringList &names, const std::vector<std::vector<int>> &marks)
{
    Sheet h;
    for (int k = 1; k <= symptoms; ++k)
        h.references << QStringLiteral("%1: S%1").arg(k);
    for (std::size_t r = 0; r < marks.size(); ++r)
        h.addRow(names[qsizetype(r)], int(marks[r].size()), marks[r]);
    return h;
}

QStringList namesOf(const Sheet &h)
{
    QStringList n;
    for (const QString &s : h.names)
        n << s;
    return n;
}

// Where the ordering puts each row, counted the long way: one place for every row with a
// higher score, and one for every earlier row with the same score.
std::vector<int> countedPlacement(const std::vector<int> &scores)
{
    std::vector<int> order(scores.size());
    for (std::size_t i = 0; i < scores.size(); ++i) {
        std::size_t place = 0;
        for (std::size_t j = 0; j < scores.size(); ++j)
            if (scores[j] > scores[i] || (j < i && scores[j] == scores[i]))
                ++place;
        order[place] = int(i);
    }
    return order;
}

} // namespace

class TestWorksheet : public QObject
{
    Q_OBJECT

    // Every cell of the sheet against the link table searched for the pair, flower by symptom.
    static void compareWithLinkTable(Catalogue &c, const Sheet &h, const QString &nameField)
    {
        const std::vector<qint32> keys = repertory::selectedKeys(c);
        QCOMPARE(h.symptoms(), int(keys.size()));
        QCOMPARE(h.rows(), c.TRepF.recordCount());
        for (int k = 0; k < h.symptoms(); ++k)
            QCOMPARE(h.references[k], QStringLiteral("%1: %2").arg(k + 1).arg(c.TRepS.valueAt(k, c.TRepS.fieldNumber("Nom")).toString()));
        c.TRelS.setMasterSource(nullptr);
        for (int r = 0; r < h.rows(); ++r) {
            const QVariant flower = c.TRepF.valueAt(r, c.TRepF.fieldNumber("Clave"));
            QCOMPARE(h.names[std::size_t(r)], c.TRepF.valueAt(r, c.TRepF.fieldNumber(nameField)).toString());
            QCOMPARE(h.cellText(r + 1, 1), c.TRepF.valueAt(r, c.TRepF.fieldNumber("Cant")).toString());
            for (int k = 0; k < h.symptoms(); ++k)
                QCOMPARE(h.isMarked(r, k), c.TRelS.locate("KSint", keys[std::size_t(k)], "KFlor", flower));
        }
        c.TRelS.setMasterSource(&c.SSint);
    }

private slots:
    void cellsHoldNumbersNamesCountsAndMarks()
    {
        const Sheet h = sheet(2, {"A", "B"}, {{0, 1}, {1}});
        const QStringList row0 = {"", "C", "1", "2"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(h.cellText(0, c), row0[c]);
        QCOMPARE(h.cellText(1, 0), QString("A"));
        QCOMPARE(h.cellText(1, 1), QString("2"));
        QCOMPARE(h.cellText(1, 2), QString("X"));
        QCOMPARE(h.cellText(1, 3), QString("X"));
        QCOMPARE(h.cellText(2, 2), QString());
        QCOMPARE(h.cellText(2, 3), QString("X"));
    }

    void rowsRunByWeightedScore_data()
    {
        QTest::addColumn<int>("symptoms");
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<std::vector<std::vector<int>>>("marks");
        QTest::addColumn<QList<int>>("expectedWeights");
        QTest::addColumn<QList<int>>("expectedScores");
        QTest::addColumn<QStringList>("output");
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
        QFETCH(int, symptoms);
        QFETCH(QStringList, input);
        QFETCH(std::vector<std::vector<int>>, marks);
        QFETCH(QList<int>, expectedWeights);
        QFETCH(QList<int>, expectedScores);
        QFETCH(QStringList, output);
        Sheet h = sheet(symptoms, input, marks);
        const std::vector<int> p = worksheet::weights(h);
        QCOMPARE(QList<int>(p.begin(), p.end()), expectedWeights);
        const std::vector<int> s = worksheet::scores(h, p);
        QCOMPARE(QList<int>(s.begin(), s.end()), expectedScores);
        worksheet::OrdenarPorPuntaje(h);
        QCOMPARE(namesOf(h), output);
        // Each name keeps its own count and marks.
        const Sheet before = sheet(symptoms, input, marks);
        for (int r = 0; r < h.rows(); ++r) {
            const int was = int(input.indexOf(h.names[std::size_t(r)]));
            QCOMPARE(h.counts[std::size_t(r)], before.counts[std::size_t(was)]);
            for (int k = 0; k < symptoms; ++k)
                QCOMPARE(h.isMarked(r, k), before.isMarked(was, k));
        }
    }

    void orderingMatchesTheCountedPlacementAndIsStable()
    {
        QRandomGenerator random(5);
        for (int round = 0; round < 50; ++round) {
            // Small sheets, with few distinct scores; then large ones where a few flowers have
            // nearly every symptom and the others almost none, so scores run into thousands.
            const bool large = round >= 40;
            const int n = large ? 60 : 1 + int(random.bounded(7)), m = large ? 100 : int(random.bounded(30));
            QStringList names;
            auto marks = std::vector<std::vector<int>>(std::size_t(m));
            for (int r = 0; r < m; ++r) {
                names << QStringLiteral("F%1").arg(r);
                const int oneIn = !large ? 3 : (r == 0 || random.bounded(25) == 0 ? 1 : 50);
                for (int k = 0; k < n; ++k)
                    if (random.bounded(oneIn) == 0)
                        marks[std::size_t(r)].push_back(k);
            }
            Sheet h = sheet(n, names, marks);
            const std::vector<int> scores = worksheet::scores(h, worksheet::weights(h));
            if (large)
                QVERIFY(*std::max_element(scores.begin(), scores.end()) > 5000);
            const std::vector<int> expected = countedPlacement(scores);
            worksheet::OrdenarPorPuntaje(h);
            QStringList byPlacement;
            for (const int i : expected)
                byPlacement << names[i];
            QCOMPARE(namesOf(h), byPlacement);
            // Sorting a sorted sheet leaves it as it is.
            const Sheet sorted = h;
            worksheet::OrdenarPorPuntaje(h);
            QCOMPARE(namesOf(h), namesOf(sorted));
            QCOMPARE(h.marks, sorted.marks);
            QCOMPARE(h.rowStart, sorted.rowStart);
        }
    }

    void copyTextIsAStaircaseOverTheMarks()
    {
        Sheet h;
        h.references = QStringList{"1: S1", "2: S2"};
        h.addRow("A", 2, std::vector<int>{0, 1});
        h.addRow("B", 1, std::vector<int>{0});
        QCOMPARE(worksheet::copyText(h.references, h), QString("S1\r\n"
                                                                 "| S2\r\n"
                                                                 "| | \r\n"
                                                                 "X X (2) A\r\n"
                                                                 "X | (1) B\r\n"));

        Sheet three;
        three.references = QStringList{"1: Dolor: de cabeza", "2: Timidez", "3: " + QString(120, 'x')};
        three.addRow("Mímulo", 1, std::vector<int>{1});
        const QStringList lines = worksheet::copyText(three.references, three).split("\r\n");
        QCOMPARE(lines, QStringList({"Dolor: de cabeza", "| Timidez", "| | " + QString(100, 'x'), "| | | ",
                                      "| X | (1) Mímulo", ""}));

        Sheet empty;
        QCOMPARE(worksheet::copyText({}, empty), QString("\r\n"));
    }

    void referencesTakeWhatTheGridLeavesButNeverLessThanThreeButtons_data()
    {
        QTest::addColumn<int>("client");
        QTest::addColumn<QList<int>>("columns");
        QTest::addColumn<int>("width");
        QTest::newRow("narrow sheet") << 1024 << QList<int>{110, 24, 24, 24} << 1024 - (111 + 3 * 25) - 30;
        QTest::newRow("exactly three buttons") << 1024 << QList<int>{771} << 222;
        QTest::newRow("wide sheet") << 1024 << QList<int>(60, 24) << 222;
    }
    void referencesTakeWhatTheGridLeavesButNeverLessThanThreeButtons()
    {
        QFETCH(int, client);
        QFETCH(QList<int>, columns);
        QFETCH(int, width);
        const std::vector<int> widths(columns.begin(), columns.end());
        QCOMPARE(worksheet::referencesWidth(client, widths), width);
    }

    void widestTextIsMeasuredAsTheFontMeasuresEachText_data()
    {
        QTest::addColumn<QFont>("font");
        QFont arial("Arial");
        arial.setPointSize(11);
        QTest::newRow("Arial 11") << arial;
        QFont bold("Arial");
        bold.setPixelSize(17);
        bold.setBold(true);
        QTest::newRow("Arial bold 17 px") << bold;
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
        QFETCH(QFont, font);
        const QFontMetrics fm(font);
        // Pairs that kern or join, accents, and one text outside the single-byte range.
        const QString letters = QString::fromUtf8("AVWTYLPFfilo.,'ÁÑñéúr yaeA ");
        QRandomGenerator random(3);
        std::vector<QString> texts = {"Ñandú Azul", "Álamo Temblón", "AVATAR", "office fiffle", "Ω-omega"};
        for (int i = 0; i < 1500; ++i) {
            QString t;
            for (int n = 1 + int(random.bounded(25)); n > 0; --n)
                t += letters[random.bounded(int(letters.size()))];
            texts.push_back(t);
        }
        int widest = 0;
        for (const QString &t : texts) {
            widest = std::max(widest, fm.horizontalAdvance(t));
            QCOMPARE(worksheet::widestText({t}, font), fm.horizontalAdvance(t));
        }
        QCOMPARE(worksheet::widestText(texts, font), widest);
        QCOMPARE(worksheet::widestText({}, font), 0);
    }

    void theFixtureSheetHasTheChosenNamesAndMarks()
    {
        WorkingFolder folder;
        Catalogue c;
        c.open();
        chooseSymptoms(c, {5, 4}); // Timidez, Miedo a cosas conocidas
        repertory::processSelection(c);
        const int selectionRow = c.TRepS.currentRow();
        c.TRepF.moveTo(1);
        Sheet h = worksheet::buildSheet(c, "Nom3");
        QCOMPARE(h.references, QStringList({"1: Miedo a cosas conocidas", "2: Timidez"}));
        QCOMPARE(namesOf(h), QStringList({"Mimulus guttatus", "Populus tremula", "Rosa canina"}));
        QCOMPARE(h.counts, std::vector<int>({2, 1, 1}));
        QCOMPARE(h.marks, std::vector<int>({0, 1, 0, 1}));
        QCOMPARE(h.rowStart, std::vector<int>({0, 2, 3, 4}));
        compareWithLinkTable(c, h, "Nom3");
        // Reading the tables moves no cursor.
        QCOMPARE(c.TRepS.currentRow(), selectionRow);
        QCOMPARE(c.TRepF.currentRow(), 1);

        // Names come through the flower list, which shows one system only while one is chosen.
        c.TFlores.setFilterText("Tipo=1");
        h = worksheet::buildSheet(c, "Nom1");
        QCOMPARE(namesOf(h), QStringList({"Mímulo", "Álamo Temblón", ""}));
        compareWithLinkTable(c, h, "Nom1");
    }

    void flowerKeysFarApartGiveTheSameSheet()
    {
        // Keys a million apart: no table by key pays, so keys are searched for instead.
        QTemporaryDir dir;
        QFile flowersCsv(dir.filePath("Flores.csv")), symptoms(dir.filePath("Sintomas.csv")), rel(dir.filePath("Rel.csv"));
        QVERIFY(flowersCsv.open(QIODevice::WriteOnly) && symptoms.open(QIODevice::WriteOnly) && rel.open(QIODevice::WriteOnly));
        flowersCsv.write("Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto\n");
        symptoms.write("Clave,Nom,Orden\n");
        rel.write("KFlor,KSint,OSint\n");
        QRandomGenerator random(23);
        for (int i = 0; i < 40; ++i)
            flowersCsv.write(QString("%1,%2,Flor %3,Flower %3,Flos %3,,,,\n").arg(1 + i * 1000003).arg(1 + i % 13).arg(i).toUtf8());
        for (int k = 1; k <= 60; ++k) {
            symptoms.write(QString("%1,Síntoma %1,%1\n").arg(k).toUtf8());
            std::set<int> linked;
            while (linked.size() < 4)
                linked.insert(1 + int(random.bounded(40)) * 1000003);
            for (const int f : linked)
                rel.write(QString("%1,%2,%2\n").arg(f).arg(k).toUtf8());
        }
        flowersCsv.close();
        symptoms.close();
        rel.close();
        const QString folder = dir.filePath("cat");
        tabletool::importCsv(dir.path(), folder);
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder);
        {
            Catalogue c;
            c.open();
            chooseSymptoms(c, {3, 9, 17, 18, 30, 41, 59, 60});
            repertory::processSelection(c);
            c.TFlores.setFilterText("Tipo=2"); // names of other systems read as empty
            const Sheet h = worksheet::buildSheet(c, "Nom2");
            QVERIFY(h.rows() > 15);
            compareWithLinkTable(c, h, "Nom2");
        }
        QDir::setCurrent(before);
    }

    void aSyntheticSheetAgreesWithTheLinkTableCellByCell()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("cat");
        tabletool::generateSynthetic(folder, 90, 700, 7, 9);
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder);
        {
            Catalogue c;
            c.open();
            QRandomGenerator random(17);
            std::set<qint32> keys;
            while (keys.size() < 45)
                keys.insert(1 + qint32(random.bounded(710))); // a few beyond the catalogue, without links
            chooseSymptoms(c, std::vector<qint32>(keys.begin(), keys.end()));
            repertory::processSelection(c);
            const Sheet h = worksheet::buildSheet(c, "Nom1");
            QVERIFY(h.rows() > 40);
            compareWithLinkTable(c, h, "Nom1");
        }
        QDir::setCurrent(before);
    }
};

QTEST_MAIN(TestWorksheet)
#include "test_worksheet.moc"
