// Keeping the catalogue in the real window: edit mode, flower records with their type-ahead,
// symptom records renamed in place, links made from the selection and removed, on the fixture
// catalogue (nine flowers, fourteen symptoms — the last without `Orden` —, eighteen links).
#include "catalogue/catalogue.h"
#include "catalogue/tabledefinitions.h"
#include "store/error.h"
#include "ui/application.h"
#include "testsupport.h"
#include "ui/messageboxes.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <initializer_list>

class TestMaintenanceWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    static QStringList rows(QAbstractItemView *g, int column = 0) { return columnTexts(g, column); }
    static QString current(QAbstractItemView *g, int column = 0)
    {
        return g->currentIndex().isValid() ? g->model()->index(g->currentIndex().row(), column).data().toString()
                                           : QString();
    }
    // A button pressed as the user does; an error that leaves the handler shows in the error box.
    void press(const char *button)
    {
        try {
            w<QAbstractButton>(button)->click();
        } catch (const std::exception &e) {
            showError(store::errorText(e));
        }
    }
    void editMode(bool on)
    {
        auto *button = w<QAbstractButton>("Modificar");
        if (button->isChecked() != on)
            button->click();
    }
    void chooseSystem(int index)
    {
        auto *combo = w<QComboBox>("CBSel");
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void pick(const char *gridName, const QString &text, int column = 0)
    {
        DataGrid *g = grid(gridName);
        const int row = rows(g, column).indexOf(text);
        QVERIFY2(row >= 0, qPrintable(text));
        g->setCurrentIndex(g->model()->index(row, column));
    }
    // Each named symptom chosen in the symptoms list and added to the selection.
    void addToSelection(std::initializer_list<const char *> symptoms)
    {
        for (const char *s : symptoms) {
            pick("GrSintomas", s);
            press("Agregar");
        }
    }
    // One key event per character, carrying its text, as a keyboard with accents sends.
    static void typeText(QWidget *widget, const QString &text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
        }
    }
    void typeInto(QWidget *widget, const QString &text)
    {
        widget->setFocus();
        typeText(widget, text);
    }
    // What a catalogue table holds on disk now, read afresh; empty for a key it lacks.
    static QString stored(const char *view, qint32 key, const char *field)
    {
        const store::TableDef def = view == QByteArray("TFlores") ? catalogue::floresDef() : catalogue::sintomasDef();
        store::Table table(QDir::current().filePath(def.fileName()), def, store::TableFile::Durability::Full);
        const std::optional<store::Slot> row = table.findPrimary(key);
        return row ? table.value(*row, table.fieldIndex(QString::fromLatin1(field))).toString() : QString();
    }
    QWidget *page() const { return w<QTabWidget>("Ficha")->currentWidget(); }
    Catalogue &catalogue() const { return *form->findChild<Catalogue *>(); }

private slots:
    void init()
    {
        folder = std::make_unique<WorkingFolder>();
        QVERIFY(open());
        chooseSystem(1); // Bach: the flower page, with Modificar now shown
    }
    void cleanup()
    {
        close();
        folder.reset();
    }

    void editModeOffRefusesTypingAndHidesThePanels()
    {
        QVERIFY(w("Modificar")->isVisible());
        QCOMPARE(w<QAbstractButton>("Modificar")->text(), QString("Modificar"));
        for (const char *panel : {"PanEdSint", "PanBotIm"})
            QVERIFY2(!w(panel)->isVisible(), panel);
        pick("GrFlor", "Agrimonia");
        auto *name = w<QLineEdit>("EdNom1");
        auto *memo = w<QPlainTextEdit>("DBMemo1");
        QVERIFY(name->isReadOnly() && memo->isReadOnly());
        typeInto(memo, "XYZ");
        QVERIFY(!memo->toPlainText().contains("XYZ"));
        QCOMPARE(catalogue().TFlores.state(), store::State::Browse);

        editMode(true);
        QCOMPARE(w<QAbstractButton>("Modificar")->text(), QString("Editando"));
        for (const char *panel : {"PanEdSint", "PanBotIm"})
            QVERIFY2(w(panel)->isVisible(), panel);
        QVERIFY(!memo->isReadOnly());
        memo->moveCursor(QTextCursor::End);
        typeInto(memo, " Nota nueva.");
        QCOMPARE(catalogue().TFlores.state(), store::State::Edit);
        // The field widths hold the names to what the table keeps.
        QCOMPARE(name->maxLength(), 25);
        pick("GrFlor", "Castaño Dulce"); // the move stores the text
        QCOMPARE(catalogue().TFlores.state(), store::State::Browse);
        QVERIFY(stored("TFlores", 1, "Memo1").endsWith(" Nota nueva."));

        // The symptom count lines up on the left only in edit mode.
        w<QAbstractButton>("Sintomas")->click();
        QVERIFY(w<QLabel>("LabCantSint")->alignment() & Qt::AlignLeft);
        QVERIFY(w("PanBotEdSint")->isVisible());
        editMode(false);
        QVERIFY(w<QLabel>("LabCantSint")->alignment() & Qt::AlignHCenter);
        QVERIFY(!w("PanBotEdSint")->isVisible());
    }

    void newFlowersNeedOneSystemChosen()
    {
        editMode(true);
        chooseSystem(0); // TODOS
        const int flowers = catalogue().TFlores.recordCount();
        press("NuevaFlor");
        QCOMPARE(seam->log(), QStringList{"Aviso: Deberá seleccionar un Sistema Floral para ingresar nuevas flores"});
        w<QAbstractButton>("Sintomas")->click(); // the list now shows "Seleccione"
        chooseSystem(4);
        w<QAbstractButton>("Sintomas")->click();
        w<QTabWidget>("Ficha")->setCurrentWidget(w("PagFlor"));
        press("NuevaFlor");
        QCOMPARE(seam->log().size(), 2);
        QCOMPARE(catalogue().TFlores.state(), store::State::Browse);

        chooseSystem(4);
        press("NuevaFlor");
        QCOMPARE(catalogue().TFlores.state(), store::State::Insert);
        QCOMPARE(catalogue().TFlores.asString("Tipo"), QString("4"));
        QCOMPARE(QApplication::focusWidget(), w("EdNom1"));
        typeInto(w("EdNom1"), "Romero Nuevo");
        typeInto(w("DBEdit2"), "New Rosemary");
        w<QAbstractButton>("Sintomas")->click(); // opening the symptoms page stores the flower
        QCOMPARE(catalogue().TFlores.recordCount(), flowers + 1);
        QVERIFY(catalogue().TFlores.locate("Nom1", "Romero Nuevo"));
        const qint32 key = catalogue().TFlores.asInteger("Clave");
        QCOMPARE(stored("TFlores", key, "Tipo"), QString("4"));
        QCOMPARE(stored("TFlores", key, "Nom2"), QString("New Rosemary"));
    }

    void deletingAFlowerTakesEveryLinkWhereverTheCursorStands()
    {
        editMode(true);
        // Five links for Agrimonia: its two and three chosen symptoms.
        w<QAbstractButton>("Sintomas")->click();
        addToSelection({"Timidez", "CORAZÓN ROTO", "Zumbido en los oídos"});
        chooseSystem(1);
        pick("GrFlor", "Agrimonia");
        seam->answer({true});
        press("AgrSintFlor");
        QCOMPARE(grid("GrSint")->model()->rowCount(), 5);
        grid("GrSint")->setCurrentIndex(grid("GrSint")->model()->index(2, 0));

        seam->answer({false});
        press("ElimFlor");
        QCOMPARE(seam->log().constLast(), QString("Confirmar: Agrimonia\rVa a eliminar esta flor\ry sus 5 síntomas asignados ?"));
        QVERIFY(rows(grid("GrFlor")).contains("Agrimonia"));
        seam->answer({true});
        press("ElimFlor");
        QVERIFY(!rows(grid("GrFlor")).contains("Agrimonia"));
        QVERIFY(!catalogue().TRelS.locate("KFlor", 1));
        QVERIFY(stored("TFlores", 1, "Nom1").isEmpty());
        // The selection is the selection's: deleting a flower leaves it as it was.
        QCOMPARE(catalogue().TRepS.recordCount(), 3);

        // Without links the question has two lines and no question mark.
        chooseSystem(0);
        pick("GrFlor", "Ñandú Azul");
        grid("GrFlor")->setFocus();
        seam->answer({true});
        press("ElimSintFlor"); // Ñandú Azul has one link: remove it first
        seam->answer({true});
        press("ElimFlor");
        QCOMPARE(seam->log().constLast(), QString("Confirmar: Ñandú Azul\rVa a eliminar esta flor"));
    }

    void typeAheadSearchesTheNamesShown()
    {
        chooseSystem(0);
        DataGrid *list = grid("GrFlor");
        list->setFocus();
        auto *typed = w<QLabel>("LabBus");
        QVERIFY(typed->isHidden());
        QTest::keyClick(list, 'r');
        QTest::keyClick(list, 'o');
        QCOMPARE(typed->text(), QString("ro"));
        QVERIFY(!typed->isHidden());
        QCOMPARE(current(list), QString("Rosa Silvestre"));
        QTest::keyClick(list, Qt::Key_Backspace);
        QCOMPARE(typed->text(), QString("r"));
        QCOMPARE(current(list), QString("Rosa Silvestre"));
        QTest::keyClick(list, 'o');
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(typed->isHidden() && typed->text().isEmpty());
        QCOMPARE(current(list), QString("Rosa Silvestre"));
        // With English names shown the search runs over them.
        w<QRadioButton>("Idioma2")->click();
        QTest::keyClick(list, 'm');
        QCOMPARE(current(list), QString("Mimulus"));
    }

    void newSymptomsTakeTheirKeyAsOrderAndEmptyOnesAreDropped()
    {
        editMode(true);
        w<QAbstractButton>("Sintomas")->click();
        DataGrid *list = grid("GrSintomas");
        const int before = catalogue().TSint.recordCount();
        press("Button4");
        QVERIFY(list->cellEditing() && list->editorAlwaysShown() && !list->rowSelect());
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor != list);
        typeText(editor, "Vértigo al levantarse");
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the editor hands its text over once Enter is handled
        QVERIFY(!list->editorAlwaysShown()); // the first key keeps the editor for this row only
        pick("GrSintomas", "Timidez"); // leaving the row stores it
        QCOMPARE(catalogue().TSint.recordCount(), before + 1);
        QVERIFY(catalogue().TSint.locate("Nom", "Vértigo al levantarse"));
        const qint32 key = catalogue().TSint.asInteger("Clave");
        QCOMPARE(stored("TSint", key, "Orden"), QString::number(key));

        // A new row left without typing is not stored.
        press("Button4");
        pick("GrSintomas", "Timidez");
        QCOMPARE(catalogue().TSint.recordCount(), before + 1);

        // Leaving the grid ends renaming.
        w("Ed")->setFocus();
        QVERIFY(!list->cellEditing() && !list->editorAlwaysShown() && list->rowSelect());
    }

    void renamingKeepsTheOrderAndFollowsTheSearch()
    {
        w<QAbstractButton>("Sintomas")->click();
        DataGrid *list = grid("GrSintomas");
        // With edit mode off, renaming offers nothing.
        pick("GrSintomas", "Timidez");
        press("CambiarNombre");
        QVERIFY(!list->cellEditing() && list->rowSelect());

        editMode(true);
        w<QRadioButton>("RGBusItem2")->click(); // TODAS las palabras
        typeInto(w("Ed"), "MIEDO");
        QCOMPARE(rows(list), QStringList({"Miedo a cosas conocidas", "Miedo a lo desconocido"}));
        pick("GrSintomas", "Miedo a cosas conocidas");
        press("CambiarNombre");
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor != list);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        typeText(editor, "Temor a lo conocido");
        // Down in the editor takes the text and moves on, which posts the new name.
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(stored("TSint", 4, "Nom"), QString("Temor a lo conocido"));
        QCOMPARE(stored("TSint", 4, "Orden"), QString("4"));
        // The renamed symptom no longer matches: it leaves the list and the count follows.
        QCOMPARE(rows(list), QStringList({"Miedo a lo desconocido"}));
        QVERIFY(w<QLabel>("LabCantSint")->text().endsWith(": 1"));
    }

    void deletingASymptomTakesItsLinksAndLeavesTheSelection()
    {
        editMode(true);
        w<QAbstractButton>("Sintomas")->click();
        pick("GrSintomas", "Miedo a cosas conocidas");
        press("Agregar");
        pick("GrSintomas", "Miedo a cosas conocidas");
        seam->answer({true});
        press("Button5");
        QCOMPARE(seam->log().constLast(),
                 QString("Confirmar: Miedo a cosas conocidas\rVa a eliminar este síntoma\ry sus 2 flores asignadas ?"));
        QVERIFY(!rows(grid("GrSintomas")).contains("Miedo a cosas conocidas"));
        QVERIFY(!catalogue().TRelF.locate("KSint", 4));
        QVERIFY(stored("TSint", 4, "Nom").isEmpty());
        QCOMPARE(catalogue().TRepS.recordCount(), 1); // kept, now without a name
    }

    void linkingTheSelectionSkipsExistingLinksAndStopsAtADeletedSymptom()
    {
        editMode(true);
        // Mímulo has symptoms 4, 5 and 11; the selection is 4, 6 and 8.
        w<QAbstractButton>("Sintomas")->click();
        addToSelection({"Miedo a cosas conocidas", "Tristeza en el año nuevo", "Agotamiento tras un esfuerzo prolongado"});
        chooseSystem(1);
        pick("GrFlor", "Mímulo");
        seam->answer({false});
        press("AgrSintFlor");
        QCOMPARE(seam->log().constLast(), QString("Confirmar: Va a agregar 3 síntomas a la flor Mímulo ?"));
        QCOMPARE(grid("GrSint")->model()->rowCount(), 3);
        seam->answer({true});
        press("AgrSintFlor");
        QCOMPARE(grid("GrSint")->model()->rowCount(), 5);
        QCOMPARE(seam->log().size(), 2); // the existing link is skipped without a word
        catalogue().TRelS.setMasterSource(nullptr);
        QVERIFY(catalogue().TRelS.locate("KSint", 6, "KFlor", 2));
        QCOMPARE(catalogue().TRelS.asInteger("OSint"), 6);

        // A selected symptom deleted since stops the batch there, keeping the links before it.
        w<QAbstractButton>("Sintomas")->click();
        seam->answer({true});
        press("Reiniciar");
        w<QRadioButton>("RGBusItem0")->click();
        addToSelection({"Dolor de cabeza", "CORAZÓN ROTO", "Zumbido en los oídos"}); // keys 1, 3, 12
        pick("GrSintomas", "CORAZÓN ROTO");
        seam->answer({true});
        press("Button5");
        chooseSystem(1);
        pick("GrFlor", "Mímulo");
        seam->answer({true});
        press("AgrSintFlor");
        QCOMPARE(seam->log().constLast(), QString("Error: '' is not a valid integer value."));
        catalogue().TRelS.setMasterSource(nullptr);
        QVERIFY(catalogue().TRelS.locate("KSint", 1, "KFlor", 2));
        QVERIFY(!catalogue().TRelS.locate("KSint", 12, "KFlor", 2));

        // A symptom without Orden stops it the same way.
        w<QAbstractButton>("Sintomas")->click();
        seam->answer({true});
        press("Reiniciar");
        pick("GrSintomas", "Abatimiento"); // key 14, no Orden
        press("Agregar");
        chooseSystem(1);
        pick("GrFlor", "Mímulo");
        seam->answer({true});
        press("AgrSintFlor");
        QCOMPARE(seam->log().constLast(), QString("Error: '' is not a valid integer value."));
        catalogue().TRelS.setMasterSource(nullptr);
        QVERIFY(!catalogue().TRelS.locate("KSint", 14, "KFlor", 2));
    }

    void removingALinkAsksWithTheSpanishName()
    {
        editMode(true);
        w<QRadioButton>("Idioma2")->click();
        pick("GrFlor", "Mimulus");
        pick("GrSint", "Timidez");
        seam->answer({false, true});
        press("ElimSintFlor");
        QCOMPARE(seam->log().constLast(), QString("Confirmar: Timidez\r\rDesea quitar este síntoma de la flor\rMímulo ?"));
        QCOMPARE(grid("GrSint")->model()->rowCount(), 3);
        press("ElimSintFlor");
        QCOMPARE(rows(grid("GrSint")).size(), 2);
        QVERIFY(!rows(grid("GrSint")).contains("Timidez"));
    }
};

QTEST_MAIN(TestMaintenanceWindow)
#include "test_maintenance_window.moc"
