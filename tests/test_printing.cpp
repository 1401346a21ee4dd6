// The case and the worksheet on paper: how they are cut into pages, and what the PDF files
// they are printed into hold, read back with poppler's pdftotext.
#include "catalogue/catalogue.h"
#include "repertory/casereport.h"
#include "repertory/processing.h"
#include "repertory/worksheetprint.h"
#include "ui/printedpage.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <set>

using repertory::CaseHeights;
using repertory::CasePage;
using repertory::CasePart;
using worksheet::Band;
using worksheet::PrintPage;
using worksheet::PrintSizes;

Q_DECLARE_METATYPE(PrintSizes)
Q_DECLARE_METATYPE(CaseHeights)

namespace {

const QDate kDay(2025, 3, 5);

// A PDF writer on a file, with the paper and the margins the program prints with.
struct PdfFile
{
    PdfFile(const QString &path, QPageSize::PageSizeId paper, QPageLayout::Orientation orientation) : writer(path)
    {
        writer.setPageSize(QPageSize(paper));
        writer.setPageOrientation(orientation);
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    }
    QPdfWriter writer;
};

// Every page says which it is of how many, and there are as many as the last one says.
void checkPageNumbers(const QStringList &pages)
{
    QVERIFY(!pages.isEmpty());
    for (int i = 0; i < pages.size(); ++i)
        QVERIFY2(pages[i].contains(printing::pageNumberText(i + 1, int(pages.size()))), qPrintable(pages[i]));
}

// The reading order of a case's pages: each part's kind and index, page after page.
QStringList partsOf(const std::vector<CasePage> &pages)
{
    QStringList out;
    for (const CasePage &page : pages) {
        QStringList parts;
        for (const repertory::PlacedPart &p : page) {
            static const char *const names[] = {"SH", "S", "FH", "T", "F"};
            parts << QString(names[int(p.part)]) + (p.part == CasePart::Symptom || p.part == CasePart::Flower
                                                        ? QString::number(p.index)
                                                        : QString());
        }
        out << parts.join(u' ');
    }
    return out;
}

qreal heightOf(const CaseHeights &h, const repertory::PlacedPart &p)
{
    switch (p.part) {
    case CasePart::SymptomsHeading:
    case CasePart::FlowersHeading:
        return h.heading;
    case CasePart::Symptom:
        return h.symptoms[std::size_t(p.index)];
    case CasePart::TableHeader:
        return h.tableHeader;
    case CasePart::Flower:
        return h.flower;
    }
    return 0;
}

// Body 100 high, headings 10, gap 5, table titles 8, flowers 6.
CaseHeights caseHeights(std::vector<qreal> symptoms)
{
    CaseHeights h;
    h.page = 100;
    h.heading = 10;
    h.gap = 5;
    h.tableHeader = 8;
    h.flower = 6;
    h.symptoms = std::move(symptoms);
    return h;
}

PrintSizes sizes(QSizeF page, qreal name, qreal count, qreal column, qreal header, qreal row)
{
    PrintSizes s;
    s.page = page;
    s.nameWidth = name;
    s.countWidth = count;
    s.columnWidth = column;
    s.headerHeight = header;
    s.rowHeight = row;
    s.gap = 5;
    s.referencesHeading = 10;
    s.reference = 5;
    return s;
}

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void aCaseRunsOnToMorePagesWithItsHeadingsKeptAndTheTableTitlesRepeated()
    {
        // Symptoms 10 high each but the third, a wrapped text, 25.
        const std::vector<CasePage> pages = repertory::layOutCase(caseHeights({10, 10, 25, 10, 10, 10, 10, 10}), 20);
        // Page 1: heading and symptoms 0-6 reach 95; symptom 7 does not fit.
        // Page 2: symptom 7 (10), gap (5), heading (10), titles (8), flowers 0-10 (66) = 99.
        // Page 3: titles again, then flowers 11-19.
        QCOMPARE(partsOf(pages), QStringList({"SH S0 S1 S2 S3 S4 S5 S6", "S7 FH T F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 F10",
                                              "T F11 F12 F13 F14 F15 F16 F17 F18 F19"}));
        QCOMPARE(pages[1][1].top, 15.0); // the gap stands above the flowers' heading
        QCOMPARE(pages[2][1].top, 8.0);
    }

    void aHeadingNeverEndsAPage_data()
    {
        QTest::addColumn<CaseHeights>("heights");
        QTest::addColumn<int>("flowers");
        CaseHeights h = caseHeights(std::vector<qreal>(8, 11)); // the symptoms end at 98
        QTest::newRow("symptoms fill the first page") << h << 3;
        h.symptoms = std::vector<qreal>(7, 10); // 80: gap, heading and titles fit, no flower does
        QTest::newRow("room for the titles only") << h << 4;
        h.symptoms = std::vector<qreal>(1, 200); // one symptom taller than a page
        QTest::newRow("a symptom taller than a page") << h << 2;
        h.symptoms = {};
        QTest::newRow("no symptoms, no flowers") << h << 0;
        h.symptoms = std::vector<qreal>(9, 10); // the heading alone would end page 1
        QTest::newRow("no flowers") << h << 0;
        h.page = 5; // smaller than anything: one part a page, and no endless loop
        h.symptoms = {10, 10};
        QTest::newRow("a page smaller than every part") << h << 2;
    }
    void aHeadingNeverEndsAPage()
    {
        QFETCH(CaseHeights, heights);
        QFETCH(int, flowers);
        const std::vector<CasePage> pages = repertory::layOutCase(heights, flowers);

        int nextSymptom = 0, nextFlower = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const CasePage &page = pages[i];
            QVERIFY(!page.empty());
            const CasePart last = page.back().part;
            // A heading or the table's titles close a page only when nothing follows them.
            if (i + 1 < pages.size())
                QVERIFY(last == CasePart::Symptom || last == CasePart::Flower);
            // The flowers' table, continued, starts with its titles.
            if (i > 0 && page.front().part != CasePart::Symptom && page.front().part != CasePart::SymptomsHeading
                && page.front().part != CasePart::FlowersHeading)
                QCOMPARE(page.front().part, CasePart::TableHeader);
            qreal bottom = 0;
            for (const repertory::PlacedPart &p : page) {
                QVERIFY(p.top >= bottom); // in order, none over another
                bottom = p.top + heightOf(heights, p);
                if (p.part == CasePart::Symptom)
                    QCOMPARE(p.index, nextSymptom++);
                if (p.part == CasePart::Flower)
                    QCOMPARE(p.index, nextFlower++);
            }
            // Only a page with a single line, under its headings, may run over.
            if (bottom > heights.page)
                QVERIFY(std::count_if(page.begin(), page.end(), [](const repertory::PlacedPart &p) {
                            return p.part == CasePart::Symptom || p.part == CasePart::Flower;
                        }) <= 1);
        }
        QCOMPARE(nextSymptom, int(heights.symptoms.size()));
        QCOMPARE(nextFlower, flowers);
    }

    void aSheetIsCutAcrossThenDownWithTheReferencesAfter()
    {
        // 140 of the 200 across are left beside the names and counts: 7 columns; 90 of the 100
        // down are left under the numbers: 9 rows. 20 flowers by 15 symptoms.
        const PrintSizes s = sizes({200, 100}, 50, 10, 20, 10, 10);
        const std::vector<PrintPage> pages = worksheet::layOutSheet(s, 20, 15);
        QCOMPARE(pages.size(), std::size_t(10));
        const std::vector<Band> rows = {{0, 9}, {9, 9}, {18, 2}};
        const std::vector<Band> columns = {{0, 7}, {7, 7}, {14, 1}};
        for (std::size_t i = 0; i < 9; ++i) {
            QVERIFY(pages[i].matrix);
            QCOMPARE(pages[i].rows, rows[i / 3]);
            QCOMPARE(pages[i].columns, columns[i % 3]);
        }
        // Under the last piece (two rows, down to 30) and the gap: the heading at 35, then room
        // for 11 lines of 5; the other 4 go on a page of their own.
        QCOMPARE(pages[8].references, Band({0, 11}));
        QCOMPARE(pages[8].referencesTop, 35.0);
        QVERIFY(!pages[9].matrix);
        QCOMPARE(pages[9].references, Band({11, 4}));
        QCOMPARE(pages[9].referencesTop, 0.0);
        QCOMPARE(worksheet::markCell(s, pages[4], 10, 8), QRectF(60 + 20, 10 + 10, 20, 10));
        for (std::size_t i = 0; i < 8; ++i)
            QCOMPARE(pages[i].references.count, 0);
    }

    void everyCellAndReferenceIsPrintedOnce_data()
    {
        QTest::addColumn<PrintSizes>("sizes");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("symptoms");
        QTest::newRow("a small case on one page") << sizes({500, 700}, 80, 20, 15, 12, 12) << 6 << 4;
        QTest::newRow("exactly full pages") << sizes({100, 100}, 30, 10, 20, 10, 10) << 18 << 6;
        QTest::newRow("two hundred symptoms") << sizes({500, 700}, 90, 20, 15, 12, 12) << 70 << 200;
        QTest::newRow("no flowers") << sizes({200, 100}, 50, 10, 20, 10, 10) << 0 << 30;
        QTest::newRow("no symptoms") << sizes({200, 100}, 50, 10, 20, 10, 10) << 25 << 0;
        QTest::newRow("names wider than the page") << sizes({200, 100}, 400, 10, 20, 10, 10) << 3 << 5;
        QTest::newRow("rows taller than the page") << sizes({200, 100}, 50, 10, 20, 10, 300) << 3 << 5;
        QTest::newRow("references fill the last piece exactly")
            << sizes({200, 100}, 50, 10, 20, 10, 10) << 2 << 11; // 35 + 10 + 11 × 5 = 100
    }
    void everyCellAndReferenceIsPrintedOnce()
    {
        QFETCH(PrintSizes, sizes);
        QFETCH(int, rows);
        QFETCH(int, symptoms);
        const std::vector<PrintPage> pages = worksheet::layOutSheet(sizes, rows, symptoms);

        std::map<std::pair<int, int>, int> printed;
        int nextReference = 0;
        std::pair<int, int> previous{-1, -1};
        bool matrixOver = false;
        for (const PrintPage &page : pages) {
            if (page.matrix) {
                QVERIFY(!matrixOver);
                // Pages run across the symptoms, then down the flowers.
                const std::pair<int, int> at{page.rows.first, page.columns.first};
                QVERIFY(at > previous);
                previous = at;
                QVERIFY(page.rows.count >= 1 || rows == 0);
                QVERIFY(page.columns.count >= 1 || symptoms == 0);
                // As much as fits, and more only where a single row or column is too big.
                const qreal width = sizes.nameWidth + sizes.countWidth + page.columns.count * sizes.columnWidth;
                const qreal height = sizes.headerHeight + page.rows.count * sizes.rowHeight;
                QVERIFY(width <= sizes.page.width() || page.columns.count == 1);
                QVERIFY(height <= sizes.page.height() || page.rows.count == 1);
                if (page.columns.first + page.columns.count < symptoms)
                    QVERIFY(width + sizes.columnWidth > sizes.page.width());
                if (page.rows.first + page.rows.count < rows)
                    QVERIFY(height + sizes.rowHeight > sizes.page.height());
                for (int r = page.rows.first; r < page.rows.first + page.rows.count; ++r)
                    for (int c = page.columns.first; c < page.columns.first + page.columns.count; ++c)
                        ++printed[{r, c}];
            } else {
                matrixOver = true;
            }
            if (page.references.count > 0) {
                QCOMPARE(page.references.first, nextReference);
                nextReference += page.references.count;
                const qreal bottom =
                    page.referencesTop + sizes.referencesHeading + page.references.count * sizes.reference;
                QVERIFY(bottom <= sizes.page.height() + 1e-9 || page.references.count == 1);
            } else {
                QVERIFY(page.matrix); // no page is left empty
            }
        }
        QCOMPARE(int(printed.size()), rows * symptoms);
        for (const auto &[cell, times] : printed)
            QCOMPARE(times, 1);
        QCOMPARE(nextReference, symptoms);
    }

    void theCasePrintsWithItsAccentsCountsDateAndPatient()
    {
        repertory::CaseReport report;
        report.symptoms = {"Añoranza del año pasado", "Miedo a la oscuridad del niño", "Corazón acelerado"};
        report.nameTitle = "Nombre Español";
        report.flowers = {{3, "Bach", "Álamo Temblón"}, {2, "Calif", "Milenrama"}, {1, "", "Ñandú Azul"}};
        const QString path = dir.filePath("caso.pdf");
        {
            PdfFile pdf(path, QPageSize::A4, QPageLayout::Portrait);
            QVERIFY(repertory::printCase(pdf.writer, report, {"Repertorio", kDay, "José Peña Ibáñez"}));
        }
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), 1);
        const QString &text = pages[0];
        for (const char *expected :
             {"Repertorio", "5 de marzo de 2025", "Paciente: José Peña Ibáñez", "Síntomas Seleccionados",
              "1. Añoranza del año pasado", "2. Miedo a la oscuridad del niño", "3. Corazón acelerado",
              "Estadística de Flores", "Tipo Nombre Español Cant", "Bach Álamo Temblón 3", "Calif Milenrama 2",
              "Ñandú Azul 1", "Página 1 de 1"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(QString::fromUtf8(expected) + " in " + text));
        QVERIFY(pdfPageSize(path).contains("A4"));
    }

    void aLongCaseRunsOverPagesOnLetterWithoutAPatient()
    {
        repertory::CaseReport report;
        report.nameTitle = "Nombre Científico";
        for (int i = 1; i <= 70; ++i)
            report.symptoms << QString("Síntoma número %1 del caso de prueba").arg(i);
        for (int i = 1; i <= 90; ++i)
            report.flowers.push_back({100 - i, "Rosas", QString("Flor %1").arg(i)});
        const QString path = dir.filePath("largo.pdf");
        {
            PdfFile pdf(path, QPageSize::Letter, QPageLayout::Portrait);
            QVERIFY(repertory::printCase(pdf.writer, report, {"Repertorio", kDay, QString()}));
        }
        const QStringList pages = pdfPages(path);
        QVERIFY(pages.size() >= 3);
        checkPageNumbers(pages);
        const QString all = pages.join(u' ');
        QVERIFY(!all.contains("Paciente:"));
        int titles = 0;
        for (const QString &page : pages) {
            QVERIFY(page.contains("5 de marzo de 2025"));
            if (page.contains("Flor "))
                titles += page.contains("Tipo Nombre Científico Cant") ? 1 : 0;
        }
        // The table's titles head each page it runs on.
        QCOMPARE(titles, int(std::count_if(pages.begin(), pages.end(), [](const QString &p) { return p.contains("Flor "); })));
        for (int i = 1; i <= 70; ++i)
            QVERIFY(all.contains(QString("%1. Síntoma número %1 del caso").arg(i)));
        for (int i = 1; i <= 90; ++i)
            QVERIFY(all.contains(QString("Rosas Flor %1 %2").arg(i).arg(100 - i)));
        QVERIFY(pdfPageSize(path).contains("letter"));
    }

    void theMarksLandInTheirCells()
    {
        worksheet::Sheet sheet;
        for (int k = 1; k <= 40; ++k)
            sheet.references << QString("%1: Síntoma %1").arg(k);
        QRandomGenerator random(3);
        for (int r = 0; r < 50; ++r) {
            std::vector<int> marks;
            for (int c = 0; c < 40; ++c)
                if (random.bounded(3) == 0)
                    marks.push_back(c);
            sheet.addRow(QString("Flor %1").arg(r), int(marks.size()), marks);
        }
        // A page of A4 at 100 dots an inch, white.
        QImage image(827, 1169, QImage::Format_RGB32);
        image.setDotsPerMeterX(3937);
        image.setDotsPerMeterY(3937);
        image.fill(Qt::white);
        const worksheet::SheetPrintout printout(image, sheet, {"Planilla de Repertorización", kDay, {}});
        QVERIFY(printout.pages().size() > 1);
        const PrintPage &page = printout.pages()[0];
        QVERIFY(page.columns.count > 5 && page.rows.count > 5);
        {
            QPainter p(&image);
            printout.drawPage(p, 0);
        }
        int marked = 0;
        for (int r = page.rows.first; r < page.rows.first + page.rows.count; ++r) {
            for (int c = page.columns.first; c < page.columns.first + page.columns.count; ++c) {
                const QPoint centre =
                    worksheet::markCell(printout.sizes(), page, r, c).translated(printout.body().topLeft()).center().toPoint();
                const QColor colour = image.pixelColor(centre);
                const bool red = colour.red() > 200 && colour.green() < 60 && colour.blue() < 60;
                QVERIFY2(red == sheet.isMarked(r, c), qPrintable(QString("row %1, column %2").arg(r).arg(c)));
                marked += red;
            }
        }
        QVERIFY(marked > 0);
    }

    void aWorksheetOfTwoHundredSymptomsOnA4AndLetter_data()
    {
        QTest::addColumn<QPageSize::PageSizeId>("paper");
        QTest::addColumn<QPageLayout::Orientation>("orientation");
        QTest::addColumn<QString>("sizeName");
        QTest::newRow("A4, landscape") << QPageSize::A4 << QPageLayout::Landscape << "A4";
        QTest::newRow("A4, portrait") << QPageSize::A4 << QPageLayout::Portrait << "A4";
        QTest::newRow("letter, landscape") << QPageSize::Letter << QPageLayout::Landscape << "letter";
        QTest::newRow("letter, portrait") << QPageSize::Letter << QPageLayout::Portrait << "letter";
    }
    void aWorksheetOfTwoHundredSymptomsOnA4AndLetter()
    {
        QFETCH(QPageSize::PageSizeId, paper);
        QFETCH(QPageLayout::Orientation, orientation);
        QFETCH(QString, sizeName);
        static const worksheet::Sheet sheet = [this] {
            const QString folder = dir.filePath("sintetico");
            tabletool::generateSynthetic(folder, 120, 600, 3, 5);
            const QString before = QDir::currentPath();
            QDir::setCurrent(folder);
            worksheet::Sheet built;
            {
                Catalogue c;
                c.open();
                std::vector<qint32> keys;
                for (qint32 k = 1; k <= 600; k += 3)
                    keys.push_back(k);
                chooseSymptoms(c, keys);
                repertory::processSelection(c);
                built = worksheet::buildSheet(c, "Nom1");
            }
            QDir::setCurrent(before);
            worksheet::OrdenarPorPuntaje(built);
            return built;
        }();
        QCOMPARE(sheet.symptoms(), 200);
        QVERIFY(sheet.rows() > 60);

        const QString path = dir.filePath(QString("planilla-%1-%2.pdf").arg(sizeName).arg(int(orientation)));
        std::vector<PrintPage> laidOut;
        {
            PdfFile pdf(path, paper, orientation);
            laidOut = worksheet::SheetPrintout(pdf.writer, sheet, {"Planilla de Repertorización", kDay, "Ana Muñoz"}).pages();
            QVERIFY(worksheet::printSheet(pdf.writer, sheet, {"Planilla de Repertorización", kDay, "Ana Muñoz"}));
        }
        QVERIFY(pdfPageSize(path).contains(sizeName));
        const QStringList pages = pdfPages(path);
        QCOMPARE(pages.size(), qsizetype(laidOut.size()));
        checkPageNumbers(pages);
        const int matrixPages = int(std::count_if(laidOut.begin(), laidOut.end(), [](const PrintPage &p) { return p.matrix; }));
        // Too wide and too long for one page whichever way the paper lies.
        QVERIFY(matrixPages >= 4);
        for (std::size_t i = 0; i < laidOut.size(); ++i) {
            const QString &text = pages[qsizetype(i)];
            QVERIFY(text.contains("Planilla de Repertorización"));
            QVERIFY(text.contains("Paciente: Ana Muñoz"));
            // Each piece of the matrix repeats the names of its flowers, and their counts.
            const PrintPage &page = laidOut[i];
            for (int r = page.rows.first; r < page.rows.first + page.rows.count; ++r)
                QVERIFY2(text.contains(sheet.names[std::size_t(r)] + ' ' + QString::number(sheet.counts[std::size_t(r)])),
                         qPrintable(sheet.names[std::size_t(r)]));
            // The symptom numbers along the top follow one another.
            if (page.matrix && page.columns.count > 2) {
                QStringList numbers;
                for (int c = page.columns.first; c < page.columns.first + page.columns.count; ++c)
                    numbers << QString::number(c + 1);
                QVERIFY2(text.contains("C " + numbers.join(u' ')), qPrintable(text.left(400)));
            }
        }
        // The references once each, in order, after the matrix.
        const QString all = pages.join(u' ');
        qsizetype at = all.indexOf("Referencias");
        QVERIFY(at > 0);
        for (const QString &reference : sheet.references) {
            const qsizetype found = all.indexOf(reference, at);
            QVERIFY2(found > at, qPrintable(reference));
            at = found;
        }
    }
};

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
