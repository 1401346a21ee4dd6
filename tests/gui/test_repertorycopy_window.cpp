// Copying the repertory to the clipboard from the real main window on the fixture catalogue,
// in which Ñandú Azul belongs to no flower system and so has no abbreviation.
#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "catalogue/tabledefinitions.h"
#include "store/table.h"
#include "testsupport.h"
#include "windowtest.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QRadioButton>
#include <QTest>

class TestRepertoryCopyWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    void click(const char *name) const { w<QAbstractButton>(name)->click(); }
    static QStringList rows(DataGrid *g, int column = 0) { return columnTexts(g, column); }
    void add(const QString &symptom)
    {
        DataGrid *g = grid("GrSintomas");
        const int row = rows(g).indexOf(symptom);
        QVERIFY2(row >= 0, qPrintable(symptom));
        g->setCurrentIndex(g->model()->index(row, 0));
        click("Agregar");
    }
    // Copies and returns the clipboard's text, checking the notice that follows.
    QString copy()
    {
        QGuiApplication::clipboard()->setText("antes");
        const qsizetype before = seam->log().size();
        click("BotCopiar");
        if (seam->log().size() != before + 1 || seam->log().last() != "Aviso: El Repertorio fue copiado al portapapeles")
            return "<no notice>";
        return QGuiApplication::clipboard()->text();
    }

private slots:
    void initTestCase()
    {
        folder = std::make_unique<WorkingFolder>();
        // System 0 has an empty abbreviation.
        store::Table flowers(QDir::current().filePath("Flores.db"), catalogue::floresDef(),
                            store::TableFile::Durability::Full);
        store::Record r;
        r.values.resize(std::size_t(flowers.fieldCount()));
        r.changed.assign(std::size_t(flowers.fieldCount()), false);
        const int tipo = flowers.fieldIndex("Tipo");
        r.values[std::size_t(tipo)] = QString("0");
        r.changed[std::size_t(tipo)] = true;
        flowers.update(*flowers.findPrimary(9), r);
    }
    void init()
    {
        QVERIFY(open());
        click("Sintomas");
    }
    void cleanup() { close(); }

    void twoSymptomsTwoFlowers()
    {
        add("Dolor de cabeza");
        add("dolor de espalda");
        click("Procesar");
        QCOMPARE(copy(), QString("2 Síntomas:\r\n"
                                 "-----------\r\n"
                                 "- Dolor de cabeza\r\n"
                                 "- dolor de espalda\r\n"
                                 " \r\n"
                                 "2 Plantas:\r\n"
                                 "----------\r\n"
                                 "(2) [Calif] Milenrama\r\n"
                                 "(1) [Bach] Agrimonia\r\n"));
    }

    void oneSymptomOneFlower()
    {
        add("Corazón acelerado");
        click("Procesar");
        QCOMPARE(copy(), QString("1 Síntomas:\r\n-----------\r\n- Corazón acelerado\r\n \r\n"
                                 "1 Plantas:\r\n----------\r\n(1) [O.M.P] Orquídea del Inca\r\n"));
    }

    void twelveSymptomsInEitherLanguageAndCursorsKept()
    {
        const QStringList symptoms = {"Dolor de cabeza", "Corazón acelerado", "CORAZÓN ROTO",
                                      "Miedo a cosas conocidas", "Timidez", "Tristeza en el año nuevo",
                                      "Ansiedad oculta tras una sonrisa", "Agotamiento tras un esfuerzo prolongado",
                                      "Indecisión entre dos opciones", "dolor de espalda", "Miedo a lo desconocido",
                                      "Zumbido en los oídos"};
        for (const QString &s : symptoms)
            add(s);
        click("Procesar");
        const QString head = "12 Síntomas:\r\n------------\r\n- " + symptoms.join("\r\n- ")
                             + "\r\n \r\n9 Plantas:\r\n----------\r\n";

        // Moving the cursors first: the copy must leave them, and what the grids show, alone.
        DataGrid *result = grid("GrRepF");
        DataGrid *chosen = grid("GrRep");
        result->setCurrentIndex(result->model()->index(4, 1));
        chosen->setCurrentIndex(chosen->model()->index(2, 0));
        const QStringList flowersOfSymptom = rows(grid("DBGrid5"), 1);

        QCOMPARE(copy(), head + "(3) [Bach] Mímulo\r\n"
                                "(3) [Rosas] Rosa Silvestre\r\n"
                                "(2) [Bach] Agrimonia\r\n"
                                "(2) [Bach] Álamo Temblón\r\n"
                                "(2) [Calif] Milenrama\r\n"
                                "(2) [O.M.P] Orquídea del Inca\r\n"
                                "(2) [Bach] Castaño Dulce\r\n"
                                "(1) [Austr] Banksia Roja\r\n"
                                "(1) [] Ñandú Azul\r\n");
        QCOMPARE(result->currentIndex().row(), 4);
        QCOMPARE(chosen->currentIndex().row(), 2);
        QCOMPARE(rows(grid("DBGrid5"), 1), flowersOfSymptom);

        w<QRadioButton>("IdiomaRepItem1")->click(); // "Inglés"
        QCOMPARE(copy(), head + "(3) [Bach] Mimulus\r\n"
                                "(3) [Rosas] Wild Rose\r\n"
                                "(2) [Bach] Agrimony\r\n"
                                "(2) [Bach] Aspen\r\n"
                                "(2) [Calif] Yarrow\r\n"
                                "(2) [O.M.P] Inca Orchid\r\n"
                                "(2) [Bach] Sweet Chestnut\r\n"
                                "(1) [Austr] Red Banksia\r\n"
                                "(1) [] Blue Rhea\r\n");
        QCOMPARE(result->currentIndex().row(), 4);
    }

    void emptyResult()
    {
        add("Zumbido en los oídos");
        add("Ñoñería");
        click("Procesar");
        QCOMPARE(copy(), QString("2 Síntomas:\r\n-----------\r\n- Zumbido en los oídos\r\n- Ñoñería\r\n \r\n"
                                 "0 Plantas:\r\n----------\r\n"));
    }

    void selectionClearedAfterProcessing()
    {
        // The flower part is the result as last processed.
        add("Corazón acelerado");
        click("Procesar");
        click("cerrar");
        seam->answer({true});
        click("Reiniciar");
        QCOMPARE(copy(), QString("0 Síntomas:\r\n-----------\r\n \r\n"
                                 "1 Plantas:\r\n----------\r\n(1) [O.M.P] Orquídea del Inca\r\n"));
    }
};

QTEST_MAIN(TestRepertoryCopyWindow)
#include "test_repertorycopy_window.moc"
