// The worksheet opened from the repertory page of the real main window on the fixture
// catalogue: its cells, references, widths, drawing, colours and copy text; a cancelled build;
// a second press while the build runs; a store failure in the middle of a build.
#include "ui/appearance.h"
#include "ui/messageboxes.h"
#include "ui/logoartwork.h"
#include "ui/tfbarra.h"
#include "app/tform1.h"
#include "catalogue/catalogue.h"
#include "repertory/processing.h"
#include "repertory/tfplanrep.h"
#include "store/error.h"
#include "testsupport.h"
#include "windowtest.h"
#include "widgets/cellgrid.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <map>
#include <set>

namespace {

// The fixture's links of the symptoms the tests choose, by flower.
const std::map<QString, std::set<QString>> kSymptomsOfFlower = {
    {"Agrimonia", {"Dolor de cabeza"}},
    {"Milenrama", {"Dolor de cabeza"}},
    {"Mímulo", {"Miedo a cosas conocidas", "Timidez"}},
    {"Álamo Temblón", {"Miedo a cosas conocidas"}},
    {"Rosa Silvestre", {"Timidez"}},
};

QList<TFPlanRep *> openWorksheets()
{
    QList<TFPlanRep *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<TFPlanRep *>(w))
            found << p;
    return found;
}

QColor pixel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y).toRgb();
}

CellGrid *gridOf(TFPlanRep &p)
{
    return controlOf<CellGrid>(&p, "Gr");
}

QListWidget *referencesOf(TFPlanRep &p)
{
    return controlOf<QListWidget>(&p, "LRef");
}

} // namespace

class TestPlanRep : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    static QStringList column(DataGrid *g, int c) { return columnTexts(g, c); }

    void add(const QString &symptom)
    {
        DataGrid *g = grid("GrSintomas");
        const int row = int(column(g, 0).indexOf(symptom));
        QVERIFY2(row >= 0, qPrintable(symptom));
        g->setCurrentIndex(g->model()->index(row, 0));
        w<QAbstractButton>("Agregar")->click();
    }
    void process(const QStringList &symptoms)
    {
        for (const QString &s : symptoms)
            add(s);
        w<QAbstractButton>("Procesar")->click();
        QCOMPARE(w<QTabWidget>("Ficha")->currentWidget(), w("PagRep"));
    }

    // Presses PlanRep; `look` looks at each worksheet that shows, which is then closed with
    // Cerrar, or with the close box when `closeBox`. Answers how many worksheets showed.
    int openWorksheet(const std::function<void(TFPlanRep &)> &look, bool closeBox = false)
    {
        int shown = 0;
        QTimer watcher;
        watcher.setInterval(5);
        connect(&watcher, &QTimer::timeout, this, [&] {
            auto *p = qobject_cast<TFPlanRep *>(QApplication::activeModalWidget());
            if (!p || !p->isVisible())
                return;
            ++shown;
            look(*p);
            if (closeBox)
                p->close();
            else
                controlOf<QAbstractButton>(p, "Cerrar")->click();
        });
        watcher.start();
        w<QAbstractButton>("PlanRep")->click();
        watcher.stop();
        return shown;
    }

private slots:
    void initTestCase() { folder = std::make_unique<WorkingFolder>(); }
    void init()
    {
        EsquemaColor = 0;
        TamLetra = 0;
        QVERIFY(open());
        w<QAbstractButton>("Sintomas")->click();
    }
    void cleanup()
    {
        close();
        QVERIFY(openWorksheets().isEmpty());
        QVERIFY(!currentBarra());
    }

    void theWorksheetLaysTheResultOutAgainstTheSymptoms()
    {
        process({"Timidez", "Dolor de cabeza", "Miedo a cosas conocidas"});
        const QStringList result = column(grid("GrRepF"), 1);
        QCOMPARE(result.first(), QString("Mímulo"));
        QCOMPARE(result.size(), 5);

        QString title;
        QSize size;
        QStringList references, row0, row1, names;
        int columns = 0, width0 = 0, panDerWidth = 0, gridWidth = 0;
        QList<int> otherWidths;
        QString copied;
        const int shown = openWorksheet([&](TFPlanRep &p) {
            title = p.windowTitle();
            size = p.size();
            for (int i = 0; i < referencesOf(p)->count(); ++i)
                references << referencesOf(p)->item(i)->text();
            QAbstractItemModel *m = gridOf(p)->model();
            columns = m->columnCount();
            for (int c = 0; c < columns; ++c) {
                row0 << m->index(0, c).data().toString();
                row1 << m->index(1, c).data().toString();
                if (c > 0)
                    otherWidths << gridOf(p)->columnWidth(c);
            }
            for (int r = 1; r < m->rowCount(); ++r)
                names << m->index(r, 0).data().toString();
            width0 = gridOf(p)->columnWidth(0);
            gridWidth = gridOf(p)->gridWidth();
            panDerWidth = controlOf(&p, "PanDer")->width();
            controlOf<QAbstractButton>(&p, "Copiar")->click();
            copied = QGuiApplication::clipboard()->text();
        });
        QCOMPARE(shown, 1);
        QCOMPARE(title, QString("Planilla de Repertorización"));
        QCOMPARE(size, QSize(1024, 664));
        QCOMPARE(references, QStringList({"1: Dolor de cabeza", "2: Miedo a cosas conocidas", "3: Timidez"}));
        QCOMPARE(columns, 5);
        QCOMPARE(row0, QStringList({"", "C", "1", "2", "3"}));
        QCOMPARE(row1, QStringList({"Mímulo", "2", "", "X", "X"}));
        // Mímulo covers two symptoms, each lacked by three of the five flowers; the others
        // score three each and keep the result's order.
        QCOMPARE(names, result);

        QFont arial("Arial");
        arial.setPointSize(11);
        int widest = 0;
        for (const QString &n : result)
            widest = std::max(widest, QFontMetrics(arial).horizontalAdvance(n));
        QCOMPARE(width0, widest + 10);
        QCOMPARE(otherWidths, QList<int>(4, 24));
        QCOMPARE(gridWidth, width0 + 1 + 4 * 25);
        QCOMPARE(panDerWidth, 1024 - gridWidth - 30);

        QString expected = "Dolor de cabeza\r\n| Miedo a cosas conocidas\r\n| | Timidez\r\n| | | \r\n";
        for (const QString &flower : names) {
            for (const char *s : {"Dolor de cabeza", "Miedo a cosas conocidas", "Timidez"})
                expected += kSymptomsOfFlower.at(flower).count(s) ? "X " : "| ";
            expected += QString("(%1) %2\r\n").arg(flower == "Mímulo" ? 2 : 1).arg(flower);
        }
        QCOMPARE(copied, expected);
        QCOMPARE(seam->log(), QStringList({"Aviso: La planilla fue copiada al portapapeles"}));
    }

    void cellsAreDrawnAsFixedCellsMarksAndBackground()
    {
        process({"Miedo a cosas conocidas", "Timidez"});
        QImage image;
        QRect fixed, name, mark, empty;
        openWorksheet([&](TFPlanRep &p) {
            image = gridOf(p)->viewport()->grab().toImage();
            fixed = gridOf(p)->cellRect(0, 1);
            name = gridOf(p)->cellRect(1, 0);
            mark = gridOf(p)->cellRect(1, 2); // Mímulo has both symptoms
            for (int r = 1; r < gridOf(p)->model()->rowCount() && empty.isNull(); ++r)
                for (int c = 2; c < 4; ++c)
                    if (gridOf(p)->model()->index(r, c).data().toString().isEmpty())
                        empty = gridOf(p)->cellRect(r, c);
        });
        QVERIFY(!image.isNull() && !empty.isNull());
        QCOMPARE(mark.size(), QSize(24, 20));
        QCOMPARE(pixel(image, fixed.left() + 1, fixed.top() + 1), kActiveCaptionGradient);
        QCOMPARE(pixel(image, name.right() - 1, name.top() + 1), kActiveCaptionGradient);
        // Some of the name is written in the cell, in the default text colour.
        bool ink = false;
        for (int x = name.left(); x <= name.right(); ++x)
            for (int y = name.top(); y <= name.bottom(); ++y)
                ink = ink || pixel(image, x, y).lightness() < 80;
        QVERIFY(ink);
        // A mark is a red dot on a grey cell with a silver edge.
        QCOMPARE(pixel(image, mark.left() + 12, mark.top() + 10), QColor(255, 0, 0));
        QCOMPARE(pixel(image, mark.left() + 1, mark.top() + 1), QColor(128, 128, 128));
        QCOMPARE(pixel(image, mark.left(), mark.top()), QColor(192, 192, 192));
        // An unmarked cell shows the grid's background: the data colour of scheme 2.
        QCOMPARE(pixel(image, empty.left() + 12, empty.top() + 10), QColor(228, 228, 228));
    }

    void theWorksheetTakesTheSchemeAndTextSizeOfTheMoment()
    {
        w<QAbstractButton>("color")->click(); // scheme 3
        w<QAbstractButton>("Mas")->click();
        w<QAbstractButton>("Mas")->click(); // 12 points
        QCOMPARE(int(EsquemaColor), 3);
        process({"Timidez"});
        QColor panel1, panel6, lref, gr;
        int textSize = 0;
        int shown = openWorksheet([&](TFPlanRep &p) {
            panel1 = controlOf(&p, "Panel1")->palette().color(QPalette::Window);
            panel6 = controlOf(&p, "Panel6")->palette().color(QPalette::Window);
            lref = referencesOf(p)->palette().color(QPalette::Base);
            gr = gridOf(p)->viewport()->palette().color(QPalette::Base);
            textSize = referencesOf(p)->font().pointSize();
            QCOMPARE(controlOf<QLabel>(&p, "Lab4")->text(), QString("Referencias"));
        });
        QCOMPARE(shown, 1);
        QCOMPARE(panel1, QColor(215, 193, 162));
        QCOMPARE(panel6, QColor(221, 202, 174));
        QCOMPARE(lref, QColor(232, 219, 200));
        QCOMPARE(gr, QColor(232, 219, 200));
        QCOMPARE(textSize, 12);

        // A scheme number no scheme has (a settings file edited by hand) leaves every colour
        // as the window has it.
        EsquemaColor = 9;
        QColor byDefault;
        openWorksheet([&](TFPlanRep &p) {
            byDefault = QFrame().palette().color(QPalette::Window);
            panel1 = controlOf(&p, "Panel1")->palette().color(QPalette::Window);
            panel6 = controlOf(&p, "Panel6")->palette().color(QPalette::Window);
        });
        QCOMPARE(panel1, byDefault);
        QCOMPARE(panel6, byDefault);
    }

    void aResultWithoutFlowersGivesTheHeadingRowOnly()
    {
        process({"Zumbido en los oídos", "Ñoñería"});
        int rows = -1, columns = -1, width0 = -1;
        QString copied;
        QCOMPARE(openWorksheet(
                     [&](TFPlanRep &p) {
                         rows = gridOf(p)->model()->rowCount();
                         columns = gridOf(p)->model()->columnCount();
                         width0 = gridOf(p)->columnWidth(0);
                         controlOf<QAbstractButton>(&p, "Copiar")->click();
                         copied = QGuiApplication::clipboard()->text();
                     },
                     true),
                 1);
        QCOMPARE(rows, 1);
        QCOMPARE(columns, 4);
        QCOMPARE(width0, 10);
        QCOMPARE(copied, QString("Zumbido en los oídos\r\n| Ñoñería\r\n| | \r\n"));
    }

    void cancellingShowsNoWorksheetAndLeavesTheRowsAsTheyWere()
    {
        process({"Miedo a cosas conocidas", "Timidez", "Dolor de cabeza"});
        grid("GrRepF")->setCurrentIndex(grid("GrRepF")->model()->index(2, 1));
        grid("GrRep")->setCurrentIndex(grid("GrRep")->model()->index(1, 0));
        const int resultRow = grid("GrRepF")->currentIndex().row();
        const int selectionRow = grid("GrRep")->currentIndex().row();
        // The link grid of the repertory page follows the symptom list after any build.
        DataGrid *symptoms = grid("GrSintomas");
        symptoms->setCurrentIndex(symptoms->model()->index(int(column(symptoms, 0).indexOf("Tristeza en el año nuevo")), 0));

        seam->answer({true});
        bool cancelled = false;
        QTimer::singleShot(0, this, [&] {
            if (TFBarra *b = currentBarra()) {
                QCOMPARE(b->windowTitle(), QString("Procesando..."));
                controlOf<QAbstractButton>(b, "Cancelar")->click();
                cancelled = true;
            }
        });
        QCOMPARE(openWorksheet([](TFPlanRep &) {}), 0);
        QVERIFY(cancelled);
        QCOMPARE(seam->log(), QStringList({"Confirmar: Desea Cancelar ?"}));
        QVERIFY(!currentBarra());
        QVERIFY(openWorksheets().isEmpty());
        QCOMPARE(grid("GrRepF")->currentIndex().row(), resultRow);
        QCOMPARE(grid("GrRep")->currentIndex().row(), selectionRow);
        QStringList linked = column(grid("DBGrid5"), 1);
        linked.sort();
        QCOMPARE(linked, QStringList({"Castaño Dulce", "Rosa Silvestre"}));
    }

    void aSecondPressWhileTheBuildRunsIsIgnored()
    {
        process({"Miedo a cosas conocidas", "Timidez"});
        bool blocked = false, sameBar = false;
        QTimer::singleShot(0, this, [&] {
            TFBarra *b = currentBarra();
            // Only the progress window takes input while the build runs.
            blocked = b && QApplication::activeModalWidget() == b;
            w<QAbstractButton>("PlanRep")->click();
            sameBar = b && currentBarra() == b;
        });
        QCOMPARE(openWorksheet([](TFPlanRep &) {}), 1);
        QVERIFY(blocked);
        QVERIFY(sameBar);
    }

    void theCloseBoxClosesLikeCerrar()
    {
        process({"Timidez"});
        QCOMPARE(openWorksheet([](TFPlanRep &) {}, true), 1);
        QVERIFY(openWorksheets().isEmpty());
        // And the window can be opened again: every build starts from the tables.
        QCOMPARE(openWorksheet([](TFPlanRep &) {}), 1);
    }

    void aStoreFailureDuringTheBuildLeavesNothingBehind()
    {
        seam.reset();
        form.reset();
        Catalogue c;
        c.open();
        std::vector<store::Record> rows{{{4}, {true}}, {{5}, {true}}};
        c.TRepS.table()->insertMany(rows);
        repertory::processSelection(c);
        QCOMPARE(c.TRelS.masterSource(), &c.SRepS);
        QVERIFY(c.TRepF.recordCount() > 1);
        // The result goes away under the build while it lets events through.
        QTimer::singleShot(0, this, [&] { c.TRepF.close(); });
        QVERIFY_THROWS_EXCEPTION(store::Error, PlanRepClick(c, "Nom1", nullptr));
        QVERIFY(!currentBarra());
        QVERIFY(openWorksheets().isEmpty());
        QVERIFY(!c.TRelS.controlsDisabled());
        QCOMPARE(c.TRelS.masterSource(), &c.SSint);
        seam = std::make_unique<DialogSeam>();
    }
};

QTEST_MAIN(TestPlanRep)
#include "test_tfplanrep.moc"
