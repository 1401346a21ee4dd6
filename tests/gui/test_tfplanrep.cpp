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
const std::map<QString, std::set<QString>> kSintomasDeFlor = {
    {"Agrimonia", {"Dolor de cabeza"}},
    {"Milenrama", {"Dolor de cabeza"}},
    {"Mímulo", {"Miedo a cosas conocidas", "Timidez"}},
    {"Álamo Temblón", {"Miedo a cosas conocidas"}},
    {"Rosa Silvestre", {"Timidez"}},
};

QList<TFPlanRep *> planillasAbiertas()
{
    QList<TFPlanRep *> abiertas;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<TFPlanRep *>(w))
            abiertas << p;
    return abiertas;
}

QColor pixel(const QImage &imagen, int x, int y)
{
    return imagen.pixelColor(x, y).toRgb();
}

} // namespace

class TestPlanRep : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> carpeta;

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

    // Presses PlanRep; `mirar` looks at each worksheet that shows, which is then closed with
    // Cerrar, or with the close box when `cajaDeCierre`. Answers how many worksheets showed.
    int abrirPlanilla(const std::function<void(TFPlanRep &)> &mirar, bool cajaDeCierre = false)
    {
        int vistas = 0;
        QTimer vigia;
        vigia.setInterval(5);
        connect(&vigia, &QTimer::timeout, this, [&] {
            auto *p = qobject_cast<TFPlanRep *>(QApplication::activeModalWidget());
            if (!p || !p->isVisible())
                return;
            ++vistas;
            mirar(*p);
            if (cajaDeCierre)
                p->close();
            else
                p->Cerrar->click();
        });
        vigia.start();
        w<QAbstractButton>("PlanRep")->click();
        vigia.stop();
        return vistas;
    }

private slots:
    void initTestCase() { carpeta = std::make_unique<WorkingFolder>(); }
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
        QVERIFY(planillasAbiertas().isEmpty());
        QVERIFY(!currentBarra());
    }

    void theWorksheetLaysTheResultOutAgainstTheSymptoms()
    {
        process({"Timidez", "Dolor de cabeza", "Miedo a cosas conocidas"});
        const QStringList resultado = column(grid("GrRepF"), 1);
        QCOMPARE(resultado.first(), QString("Mímulo"));
        QCOMPARE(resultado.size(), 5);

        QString titulo;
        QSize tamano;
        QStringList referencias, fila0, fila1, nombres;
        int columnas = 0, ancho0 = 0, panDer = 0, gridWidth = 0;
        QList<int> otrosAnchos;
        QString copiado;
        const int vistas = abrirPlanilla([&](TFPlanRep &p) {
            titulo = p.windowTitle();
            tamano = p.size();
            for (int i = 0; i < p.LRef->count(); ++i)
                referencias << p.LRef->item(i)->text();
            QAbstractItemModel *m = p.Gr->model();
            columnas = m->columnCount();
            for (int c = 0; c < columnas; ++c) {
                fila0 << m->index(0, c).data().toString();
                fila1 << m->index(1, c).data().toString();
                if (c > 0)
                    otrosAnchos << p.Gr->columnWidth(c);
            }
            for (int r = 1; r < m->rowCount(); ++r)
                nombres << m->index(r, 0).data().toString();
            ancho0 = p.Gr->columnWidth(0);
            gridWidth = p.Gr->gridWidth();
            panDer = p.PanDer->width();
            p.Copiar->click();
            copiado = QGuiApplication::clipboard()->text();
        });
        QCOMPARE(vistas, 1);
        QCOMPARE(titulo, QString("Planilla de Repertorización"));
        QCOMPARE(tamano, QSize(1024, 664));
        QCOMPARE(referencias, QStringList({"1: Dolor de cabeza", "2: Miedo a cosas conocidas", "3: Timidez"}));
        QCOMPARE(columnas, 5);
        QCOMPARE(fila0, QStringList({"", "C", "1", "2", "3"}));
        QCOMPARE(fila1, QStringList({"Mímulo", "2", "", "X", "X"}));
        // Mímulo covers two symptoms, each lacked by three of the five flowers; the others
        // score three each and keep the result's order.
        QCOMPARE(nombres, resultado);

        QFont arial("Arial");
        arial.setPointSize(11);
        int mayor = 0;
        for (const QString &n : resultado)
            mayor = std::max(mayor, QFontMetrics(arial).horizontalAdvance(n));
        QCOMPARE(ancho0, mayor + 10);
        QCOMPARE(otrosAnchos, QList<int>(4, 24));
        QCOMPARE(gridWidth, ancho0 + 1 + 4 * 25);
        QCOMPARE(panDer, 1024 - gridWidth - 30);

        QString esperado = "Dolor de cabeza\r\n| Miedo a cosas conocidas\r\n| | Timidez\r\n| | | \r\n";
        for (const QString &flor : nombres) {
            for (const char *s : {"Dolor de cabeza", "Miedo a cosas conocidas", "Timidez"})
                esperado += kSintomasDeFlor.at(flor).count(s) ? "X " : "| ";
            esperado += QString("(%1) %2\r\n").arg(flor == "Mímulo" ? 2 : 1).arg(flor);
        }
        QCOMPARE(copiado, esperado);
        QCOMPARE(seam->log(), QStringList({"Aviso: La planilla fue copiada al portapapeles"}));
    }

    void cellsAreDrawnAsFixedCellsMarksAndBackground()
    {
        process({"Miedo a cosas conocidas", "Timidez"});
        QImage imagen;
        QRect fija, nombre, marca, vacia;
        abrirPlanilla([&](TFPlanRep &p) {
            imagen = p.Gr->viewport()->grab().toImage();
            fija = p.Gr->cellRect(0, 1);
            nombre = p.Gr->cellRect(1, 0);
            marca = p.Gr->cellRect(1, 2); // Mímulo has both symptoms
            for (int r = 1; r < p.Gr->model()->rowCount() && vacia.isNull(); ++r)
                for (int c = 2; c < 4; ++c)
                    if (p.Gr->model()->index(r, c).data().toString().isEmpty())
                        vacia = p.Gr->cellRect(r, c);
        });
        QVERIFY(!imagen.isNull() && !vacia.isNull());
        QCOMPARE(marca.size(), QSize(24, 20));
        QCOMPARE(pixel(imagen, fija.left() + 1, fija.top() + 1), kActiveCaptionGradient);
        QCOMPARE(pixel(imagen, nombre.right() - 1, nombre.top() + 1), kActiveCaptionGradient);
        // Some of the name is written in the cell, in the default text colour.
        bool tinta = false;
        for (int x = nombre.left(); x <= nombre.right(); ++x)
            for (int y = nombre.top(); y <= nombre.bottom(); ++y)
                tinta = tinta || pixel(imagen, x, y).lightness() < 80;
        QVERIFY(tinta);
        // A mark is a red dot on a grey cell with a silver edge.
        QCOMPARE(pixel(imagen, marca.left() + 12, marca.top() + 10), QColor(255, 0, 0));
        QCOMPARE(pixel(imagen, marca.left() + 1, marca.top() + 1), QColor(128, 128, 128));
        QCOMPARE(pixel(imagen, marca.left(), marca.top()), QColor(192, 192, 192));
        // An unmarked cell shows the grid's background: the data colour of scheme 2.
        QCOMPARE(pixel(imagen, vacia.left() + 12, vacia.top() + 10), QColor(228, 228, 228));
    }

    void theWorksheetTakesTheSchemeAndTextSizeOfTheMoment()
    {
        w<QAbstractButton>("color")->click(); // scheme 3
        w<QAbstractButton>("Mas")->click();
        w<QAbstractButton>("Mas")->click(); // 12 points
        QCOMPARE(int(EsquemaColor), 3);
        process({"Timidez"});
        QColor panel1, panel6, lref, gr;
        int letra = 0;
        int vistas = abrirPlanilla([&](TFPlanRep &p) {
            panel1 = p.Panel1->palette().color(QPalette::Window);
            panel6 = p.Panel6->palette().color(QPalette::Window);
            lref = p.LRef->palette().color(QPalette::Base);
            gr = p.Gr->viewport()->palette().color(QPalette::Base);
            letra = p.LRef->font().pointSize();
            QCOMPARE(p.Lab4->text(), QString("Referencias"));
        });
        QCOMPARE(vistas, 1);
        QCOMPARE(panel1, QColor(215, 193, 162));
        QCOMPARE(panel6, QColor(221, 202, 174));
        QCOMPARE(lref, QColor(232, 219, 200));
        QCOMPARE(gr, QColor(232, 219, 200));
        QCOMPARE(letra, 12);

        // A scheme number no scheme has (a settings file edited by hand) leaves every colour
        // as the window has it.
        EsquemaColor = 9;
        QColor porOmision;
        abrirPlanilla([&](TFPlanRep &p) {
            porOmision = QFrame().palette().color(QPalette::Window);
            panel1 = p.Panel1->palette().color(QPalette::Window);
            panel6 = p.Panel6->palette().color(QPalette::Window);
        });
        QCOMPARE(panel1, porOmision);
        QCOMPARE(panel6, porOmision);
    }

    void aResultWithoutFlowersGivesTheHeadingRowOnly()
    {
        process({"Zumbido en los oídos", "Ñoñería"});
        int filas = -1, columnas = -1, ancho0 = -1;
        QString copiado;
        QCOMPARE(abrirPlanilla(
                     [&](TFPlanRep &p) {
                         filas = p.Gr->model()->rowCount();
                         columnas = p.Gr->model()->columnCount();
                         ancho0 = p.Gr->columnWidth(0);
                         p.Copiar->click();
                         copiado = QGuiApplication::clipboard()->text();
                     },
                     true),
                 1);
        QCOMPARE(filas, 1);
        QCOMPARE(columnas, 4);
        QCOMPARE(ancho0, 10);
        QCOMPARE(copiado, QString("Zumbido en los oídos\r\n| Ñoñería\r\n| | \r\n"));
    }

    void cancellingShowsNoWorksheetAndLeavesTheRowsAsTheyWere()
    {
        process({"Miedo a cosas conocidas", "Timidez", "Dolor de cabeza"});
        grid("GrRepF")->setCurrentIndex(grid("GrRepF")->model()->index(2, 1));
        grid("GrRep")->setCurrentIndex(grid("GrRep")->model()->index(1, 0));
        const int filaResultado = grid("GrRepF")->currentIndex().row();
        const int filaSeleccion = grid("GrRep")->currentIndex().row();
        // The link grid of the repertory page follows the symptom list after any build.
        DataGrid *sintomas = grid("GrSintomas");
        sintomas->setCurrentIndex(sintomas->model()->index(int(column(sintomas, 0).indexOf("Tristeza en el año nuevo")), 0));

        seam->answer({true});
        bool cancelado = false;
        QTimer::singleShot(0, this, [&] {
            if (TFBarra *b = currentBarra()) {
                QCOMPARE(b->windowTitle(), QString("Procesando..."));
                controlOf<QAbstractButton>(b, "Cancelar")->click();
                cancelado = true;
            }
        });
        QCOMPARE(abrirPlanilla([](TFPlanRep &) {}), 0);
        QVERIFY(cancelado);
        QCOMPARE(seam->log(), QStringList({"Confirmar: Desea Cancelar ?"}));
        QVERIFY(!currentBarra());
        QVERIFY(planillasAbiertas().isEmpty());
        QCOMPARE(grid("GrRepF")->currentIndex().row(), filaResultado);
        QCOMPARE(grid("GrRep")->currentIndex().row(), filaSeleccion);
        QStringList enlazadas = column(grid("DBGrid5"), 1);
        enlazadas.sort();
        QCOMPARE(enlazadas, QStringList({"Castaño Dulce", "Rosa Silvestre"}));
    }

    void aSecondPressWhileTheBuildRunsIsIgnored()
    {
        process({"Miedo a cosas conocidas", "Timidez"});
        bool bloqueada = false, mismaBarra = false;
        QTimer::singleShot(0, this, [&] {
            TFBarra *b = currentBarra();
            // Only the progress window takes input while the build runs.
            bloqueada = b && QApplication::activeModalWidget() == b;
            w<QAbstractButton>("PlanRep")->click();
            mismaBarra = b && currentBarra() == b;
        });
        QCOMPARE(abrirPlanilla([](TFPlanRep &) {}), 1);
        QVERIFY(bloqueada);
        QVERIFY(mismaBarra);
    }

    void theCloseBoxClosesLikeCerrar()
    {
        process({"Timidez"});
        QCOMPARE(abrirPlanilla([](TFPlanRep &) {}, true), 1);
        QVERIFY(planillasAbiertas().isEmpty());
        // And the window can be opened again: every build starts from the tables.
        QCOMPARE(abrirPlanilla([](TFPlanRep &) {}), 1);
    }

    void aStoreFailureDuringTheBuildLeavesNothingBehind()
    {
        seam.reset();
        form.reset();
        Catalogue c;
        c.open();
        std::vector<store::Record> filas{{{4}, {true}}, {{5}, {true}}};
        c.TRepS.table()->insertMany(filas);
        repertory::processSelection(c);
        QCOMPARE(c.TRelS.masterSource(), &c.SRepS);
        QVERIFY(c.TRepF.recordCount() > 1);
        // The result goes away under the build while it lets events through.
        QTimer::singleShot(0, this, [&] { c.TRepF.close(); });
        QVERIFY_THROWS_EXCEPTION(store::Error, PlanRepClick(c, "Nom1", nullptr));
        QVERIFY(!currentBarra());
        QVERIFY(planillasAbiertas().isEmpty());
        QVERIFY(!c.TRelS.controlsDisabled());
        QCOMPARE(c.TRelS.masterSource(), &c.SSint);
        seam = std::make_unique<DialogSeam>();
    }
};

QTEST_MAIN(TestPlanRep)
#include "test_tfplanrep.moc"
