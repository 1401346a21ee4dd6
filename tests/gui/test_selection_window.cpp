// Building a selection of symptoms, processing it and visiting a result flower, driven through
// the real main window on the fixture catalogue.
#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "faultyfiles.h"
#include "testsupport.h"
#include "windowtest.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

class TestSelectionWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;


    static QStringList rows(DataGrid *g, int column = 0) { return columnTexts(g, column); }
    static QString current(DataGrid *g, int column = 0)
    {
        return g->currentIndex().isValid() ? g->model()->index(g->currentIndex().row(), column).data().toString()
                                           : QString();
    }
    // Puts the symptom list's cursor on a name, as a click on its row does.
    void pick(const QString &symptom)
    {
        DataGrid *g = grid("GrSintomas");
        const int row = rows(g).indexOf(symptom);
        QVERIFY2(row >= 0, qPrintable(symptom));
        g->setCurrentIndex(g->model()->index(row, 0));
        QCOMPARE(current(g), symptom);
    }
    void add(const QString &symptom)
    {
        pick(symptom);
        w<QAbstractButton>("Agregar")->click();
    }
    bool selectionButtonsEnabled() const
    {
        const bool on = w("Procesar")->isEnabled();
        for (const char *name : {"Quitar", "Reiniciar", "BotAgrSintFlor"})
            if (w(name)->isEnabled() != on)
                qFatal("%s disagrees with Procesar", name);
        return on;
    }
    QWidget *page() const { return w<QTabWidget>("Ficha")->currentWidget(); }

private slots:
    void initTestCase() { folder = std::make_unique<WorkingFolder>(); }
    void init()
    {
        QVERIFY(open());
        w<QAbstractButton>("Sintomas")->click();
    }
    void cleanup() { close(); }

    // A selection that cannot reach its file is told in the error box, once, in Spanish; the
    // window goes on working and still closes.
    void aSelectionThatCannotBeWrittenIsTold()
    {
        close();
        FaultyFiles faults;
        faults.openReadOnly("RepSint.db");
        QVERIFY(open());
        w<QAbstractButton>("Sintomas")->click();
        add("Timidez");
        const QString told = "Error: No se pudieron guardar los cambios de la tabla RepSint.db.\n"
                             "Error en la tabla RepSint.db: la tabla es de solo lectura.";
        QTRY_COMPARE(seam->log(), QStringList({told}));
        add("Miedo a lo desconocido");
        QCOMPARE(rows(grid("GrSel")), QStringList({"Timidez", "Miedo a lo desconocido"}));
        QTest::qWait(20);
        QCOMPARE(seam->log(), QStringList({told}));
        leave();
        close();
    }

    void addingBuildsAKeyOrderedSelection()
    {
        QVERIFY(!selectionButtonsEnabled());
        add("Ansiedad oculta tras una sonrisa"); // key 7
        QVERIFY(selectionButtonsEnabled());
        // The list's cursor walked on to the next symptom.
        QCOMPARE(current(grid("GrSintomas")), QString("Corazón acelerado"));
        add("CORAZÓN ROTO"); // key 3
        add("Timidez");      // key 5
        QCOMPARE(rows(grid("GrSel")), QStringList({"CORAZÓN ROTO", "Timidez", "Ansiedad oculta tras una sonrisa"}));
        QCOMPARE(rows(grid("GrRep")), rows(grid("GrSel")));

        // A second add of the same symptom is refused and nothing moves.
        pick("Timidez");
        w<QAbstractButton>("Agregar")->click();
        QCOMPARE(seam->log(), QStringList({"Aviso: El síntoma ya fue seleccionado"}));
        QCOMPARE(rows(grid("GrSel")).size(), 3);
        QCOMPARE(current(grid("GrSintomas")), QString("Timidez"));

        // The last symptom of the list stays current after being added.
        add("Zumbido en los oídos");
        QCOMPARE(current(grid("GrSintomas")), QString("Zumbido en los oídos"));
        // A double click adds as well.
        pick("Abatimiento");
        emit grid("GrSintomas")->doubleClicked(grid("GrSintomas")->currentIndex());
        QVERIFY(rows(grid("GrSel")).contains("Abatimiento"));
    }

    void removingAndClearing()
    {
        add("Timidez");
        w<QAbstractButton>("Quitar")->click();
        QVERIFY(rows(grid("GrSel")).isEmpty());
        QVERIFY(!selectionButtonsEnabled());

        add("Timidez");
        add("Dolor de cabeza");
        seam->answer({false});
        w<QAbstractButton>("Reiniciar")->click();
        QCOMPARE(rows(grid("GrSel")).size(), 2);
        QVERIFY(selectionButtonsEnabled());
        seam->answer({true});
        w<QAbstractButton>("Reiniciar")->click();
        QVERIFY(rows(grid("GrSel")).isEmpty());
        QVERIFY(!selectionButtonsEnabled());
        QCOMPARE(seam->log(), QStringList({"Confirmar: Va a quitar TODOS los síntomas seleccionados ?",
                                           "Confirmar: Va a quitar TODOS los síntomas seleccionados ?"}));
    }

    void processingRanksFlowersByCount()
    {
        add("Miedo a cosas conocidas"); // Mímulo, Álamo Temblón
        add("Timidez");                 // Mímulo, Rosa Silvestre
        w<QAbstractButton>("Procesar")->click();
        QCOMPARE(page(), w("PagRep"));
        QVERIFY(!w<QAbstractButton>("Sintomas")->isChecked());
        DataGrid *result = grid("GrRepF");
        QCOMPARE(rows(result, 1), QStringList({"Mímulo", "Álamo Temblón", "Rosa Silvestre"}));
        QCOMPARE(rows(result, 2), QStringList({"2", "1", "1"}));
        QCOMPARE(rows(result, 0), QStringList({"Bach", "Bach", "Rosas"}));
        QCOMPARE(current(result, 1), QString("Mímulo"));
        // The flowers of each symptom show the last selected symptom's flowers.
        QCOMPARE(current(grid("GrRep")), QString("Timidez"));
        QCOMPARE(rows(grid("DBGrid5"), 1), QStringList({"Mímulo", "Rosa Silvestre"}));

        // Processing again gives the same result.
        w<QAbstractButton>("cerrar")->click();
        QCOMPARE(page(), w("PagSint"));
        w<QAbstractButton>("Procesar")->click();
        QCOMPARE(rows(result, 2), QStringList({"2", "1", "1"}));

        // The name column follows the choice on the repertory page.
        w<QRadioButton>("IdiomaRepItem2")->click();
        QCOMPARE(result->model()->headerData(1, Qt::Horizontal).toString(), QString("Nombre Científico"));
        QCOMPARE(rows(result, 1).first(), QString("Mimulus guttatus"));
    }

    void symptomsWithoutLinksGiveAnEmptyResult()
    {
        add("Zumbido en los oídos");
        add("Ñoñería");
        w<QAbstractButton>("Procesar")->click();
        QCOMPARE(page(), w("PagRep"));
        QCOMPARE(grid("GrRepF")->model()->rowCount(), 0);
        // Showing a flower of an empty result opens the flower page on the flower before.
        const QString before = grid("GrFlor")->model()->index(0, 0).data().toString();
        w<QAbstractButton>("Button2")->click();
        QCOMPARE(page(), w("PagFlor"));
        QCOMPARE(w<QLineEdit>("EdNom1")->text(), before);
    }

    void visitingAResultFlowerAndComingBack()
    {
        add("Agotamiento tras un esfuerzo prolongado"); // Castaño Dulce, Banksia Roja
        add("Tristeza en el año nuevo");                // Castaño Dulce, Rosa Silvestre
        w<QAbstractButton>("Procesar")->click();
        DataGrid *result = grid("GrRepF");
        QCOMPARE(current(result, 1), QString("Castaño Dulce"));
        result->setCurrentIndex(result->model()->index(2, 1));
        const QString chosen = current(result, 1);
        w<QAbstractButton>("Button2")->click();
        QCOMPARE(page(), w("PagFlor"));
        QVERIFY(w("PanOK")->isVisible());
        QVERIFY(!w("PanBot")->isVisible());
        QVERIFY(!w("GrFlor")->isVisible());
        QCOMPARE(w<QLineEdit>("EdNom1")->text(), chosen);
        QCOMPARE(w<QLabel>("LabCantSintFlor")->text(), QString("Cantidad de Síntomas: %1").arg(rows(grid("GrSint")).size()));

        QTest::keyClick(form.get(), Qt::Key_Escape);
        QCOMPARE(page(), w("PagRep"));
        QVERIFY(w("PanBot")->isVisible());
        QCOMPARE(current(result, 1), chosen); // the result row is as it was left

        w<QAbstractButton>("Button2")->click();
        QTest::keyClick(form.get(), Qt::Key_Return);
        QCOMPARE(page(), w("PagRep"));
        // Outside the return mode Enter does not leave the page.
        QTest::keyClick(form.get(), Qt::Key_Return);
        QCOMPARE(page(), w("PagRep"));
        // After returning, the flowers of each symptom follow the chosen symptoms again.
        grid("GrRep")->setCurrentIndex(grid("GrRep")->model()->index(0, 0));
        QCOMPARE(current(grid("GrRep")), QString("Tristeza en el año nuevo"));
        QCOMPARE(rows(grid("DBGrid5"), 1), QStringList({"Rosa Silvestre", "Castaño Dulce"}));
    }
};

QTEST_MAIN(TestSelectionWindow)
#include "test_selection_window.moc"
