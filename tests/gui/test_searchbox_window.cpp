// The search box, the flower-system list and the name choice, driven through the real window
// on the fixture catalogue.
#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "testsupport.h"
#include "windowtest.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

class TestSearchBoxWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    static QStringList rows(QAbstractItemView *g, int column = 0) { return columnTexts(g, column); }
    QStringList symptoms() const { return rows(w<DataGrid>("GrSintomas")); }
    QString count() const { return w<QLabel>("LabCantSint")->text(); }
    void mode(int m) { w<QRadioButton>(qPrintable(QString("RGBusItem%1").arg(m)))->click(); }
    void type(const QString &text)
    {
        QLineEdit *ed = w<QLineEdit>("Ed");
        ed->clear();
        // One key event per character, carrying its text, as a keyboard with accents sends.
        typeOn(text);
    }
    // Keys typed where the cursor stands, without clearing the box first.
    void typeOn(const QString &text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w("Ed"), &press);
        }
    }
    void chooseSystem(int index)
    {
        auto *combo = w<QComboBox>("CBSel");
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

private slots:
    void initTestCase() { folder = std::make_unique<WorkingFolder>(); }
    void init()
    {
        QVERIFY(open());
        form->activateWindow();
        w<QAbstractButton>("Sintomas")->click();
    }
    void cleanup() { close(); }

    void typingNarrowsInEachMode()
    {
        QCOMPARE(count(), QString("  Cantidad de Síntomas: 14"));
        mode(1);
        type("dolor cabeza");
        QCOMPARE(w<QLineEdit>("Ed")->text(), QString("DOLOR CABEZA")); // capitals as typed
        QCOMPARE(symptoms(), QStringList({"Dolor de cabeza", "dolor de espalda"}));
        QCOMPARE(count(), QString("  Cantidad de Síntomas: 2"));
        QVERIFY(w("Agregar")->isEnabled());

        mode(2);
        QCOMPARE(w<QLineEdit>("Ed")->text(), QString("DOLOR CABEZA")); // the mode keeps the text
        QVERIFY(w("Ed")->hasFocus());
        QCOMPARE(symptoms(), QStringList({"Dolor de cabeza"}));

        mode(3);
        QVERIFY(symptoms().isEmpty());
        QCOMPARE(count(), QString("  Cantidad de Síntomas: 0"));
        QVERIFY(!w("Agregar")->isEnabled());
        type("DE CABEZA");
        QCOMPARE(symptoms(), QStringList({"Dolor de cabeza"}));

        // Empty box: every symptom in the all-words mode, none in the other two.
        type("");
        QCOMPARE(symptoms().size(), 0);
        mode(2);
        QCOMPARE(symptoms().size(), 14);
        mode(1);
        QCOMPARE(symptoms().size(), 0);

        // Back to the first mode: the whole catalogue, on the nearest name.
        type("MIEDO");
        mode(0);
        QCOMPARE(symptoms().size(), 14);
        QCOMPARE(count(), QString("  Cantidad de Síntomas: 14"));
        auto *grid = w<DataGrid>("GrSintomas");
        QCOMPARE(grid->currentIndex().data().toString(), QString("Miedo a cosas conocidas"));
        type("ZZ");
        QCOMPARE(grid->currentIndex().data().toString(), QString("Zumbido en los oídos"));
    }

    void accentsAndEnye()
    {
        mode(1);
        type("CORAZON");
        QCOMPARE(symptoms(), QStringList({"Corazón acelerado", "CORAZÓN ROTO"}));
        type("coraz\u00f3n"); // a small ó typed becomes Ó, which folds as every ó does
        QCOMPARE(w<QLineEdit>("Ed")->text(), QString("CORAZÓN"));
        QCOMPARE(symptoms(), QStringList({"Corazón acelerado", "CORAZÓN ROTO"}));
        type("AÑO");
        QCOMPARE(symptoms(), QStringList({"Tristeza en el año nuevo"}));
        type("ANO");
        QVERIFY(symptoms().isEmpty());
        type("ABEZ");
        QCOMPARE(symptoms(), QStringList({"Dolor de cabeza"}));
    }

    // Typing on after the box is entered again: the words already there stay, whatever way
    // the box was entered.
    void enteringTheBoxKeepsItsText_data()
    {
        QTest::addColumn<Qt::FocusReason>("reason");
        QTest::newRow("Tab") << Qt::TabFocusReason;
        QTest::newRow("Shift+Tab") << Qt::BacktabFocusReason;
        QTest::newRow("shortcut") << Qt::ShortcutFocusReason;
        QTest::newRow("mouse") << Qt::MouseFocusReason;
    }
    void enteringTheBoxKeepsItsText()
    {
        QFETCH(Qt::FocusReason, reason);
        auto *ed = w<QLineEdit>("Ed");
        mode(2);
        type("DOLOR");
        w("GrSintomas")->setFocus();
        QVERIFY(!ed->hasFocus());
        ed->setFocus(reason);
        QVERIFY(ed->hasFocus());
        QVERIFY(!ed->hasSelectedText());
        QCOMPARE(ed->cursorPosition(), 5);
        typeOn(" CABEZA");
        QCOMPARE(ed->text(), QString("DOLOR CABEZA"));
        QCOMPARE(symptoms(), QStringList({"Dolor de cabeza"}));
    }

    // An arrow key on the modes chooses the next one, as a click does: the search follows the
    // mode and the keys typed next go to the box.
    void arrowKeysChooseAModeAndGiveTheBoxTheFocus()
    {
        auto *ed = w<QLineEdit>("Ed");
        mode(1);
        type("DOLOR CABEZA");
        QCOMPARE(symptoms().size(), 2);
        auto *any = w<QRadioButton>("RGBusItem1");
        any->setFocus();
        QTest::keyClick(any, Qt::Key_Down);
        QVERIFY(w<QRadioButton>("RGBusItem2")->isChecked());
        QVERIFY(ed->hasFocus());
        QCOMPARE(ed->text(), QString("DOLOR CABEZA"));
        QVERIFY(!ed->hasSelectedText());
        QCOMPARE(symptoms(), QStringList({"Dolor de cabeza"}));
        typeOn(" DE");
        QCOMPARE(ed->text(), QString("DOLOR CABEZA DE"));

        w("RGBusItem2")->setFocus();
        QTest::keyClick(w("RGBusItem2"), Qt::Key_Up);
        QVERIFY(any->isChecked());
        QVERIFY(ed->hasFocus());
        QCOMPARE(count(), QString("  Cantidad de Síntomas: 5")); // DOLOR, CABEZA or DE

        // Up from the first mode chooses nothing: the focus stays where the user put it.
        mode(0);
        auto *first = w<QRadioButton>("RGBusItem0");
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Up);
        QVERIFY(first->isChecked());
        QVERIFY(first->hasFocus());
    }

    void chosenSymptomsKeepTheirNamesWhateverTheSearchShows()
    {
        mode(1);
        type("TIMIDEZ");
        w<QAbstractButton>("Agregar")->click();
        type("DOLOR");
        QCOMPARE(rows(w<DataGrid>("GrSel")), QStringList({"Timidez"}));
    }

    void searchIsAppliedAgainOnEachVisit()
    {
        mode(2);
        type("MIEDO");
        QCOMPARE(symptoms().size(), 2);
        chooseSystem(0);
        QCOMPARE(symptoms().size(), 14); // a system choice shows every symptom
        w<QAbstractButton>("Sintomas")->click();
        QCOMPARE(symptoms().size(), 2);
    }

    void systemFilter()
    {
        auto *flowers = w<DataGrid>("GrFlor");
        chooseSystem(1); // Bach
        QCOMPARE(w<QTabWidget>("Ficha")->currentWidget(), w("PagFlor"));
        QCOMPARE(rows(flowers), QStringList({"Agrimonia", "Álamo Temblón", "Castaño Dulce", "Mímulo"}));
        QVERIFY(flowers->isColumnHidden(1));
        QVERIFY(flowers->hasFocus());
        flowers->setCurrentIndex(flowers->model()->index(3, 0)); // Mímulo

        chooseSystem(0); // TODOS
        QCOMPARE(rows(flowers).size(), 9);
        QVERIFY(!flowers->isColumnHidden(1));
        QCOMPARE(flowers->model()->headerData(1, Qt::Horizontal).toString(), QString("Tipo"));
        const int incaFlower = rows(flowers).indexOf("Orquídea del Inca");
        QCOMPARE(flowers->model()->index(incaFlower, 1).data().toString(), QString("O.M.P"));
        QCOMPARE(flowers->currentIndex().data().toString(), QString("Mímulo")); // kept its flower

        chooseSystem(11); // Rosas: the Bach flower is not there, and no box says so
        QCOMPARE(rows(flowers), QStringList({"Rosa Silvestre"}));
        QCOMPARE(flowers->currentIndex().data().toString(), QString("Rosa Silvestre"));
        QVERIFY(seam->log().isEmpty());

        // The symptoms page lifts the filter and says "Seleccione" without changing the entry.
        w<QAbstractButton>("Sintomas")->click();
        QCOMPARE(w<QComboBox>("CBSel")->property("shownText").toString(), QString("Seleccione"));
        QCOMPARE(w<QComboBox>("CBSel")->currentIndex(), 11);
        QCOMPARE(rows(flowers).size(), 9);
    }

    void nameChoice()
    {
        chooseSystem(0);
        auto *flowers = w<DataGrid>("GrFlor");
        w<QRadioButton>("Idioma2")->click();
        QCOMPARE(flowers->model()->headerData(0, Qt::Horizontal).toString(), QString("Nombre Inglés"));
        QCOMPARE(rows(flowers), QStringList({"Agrimony", "Aspen", "Blue Rhea", "Inca Orchid", "Mimulus", "Red Banksia",
                                             "Sweet Chestnut", "Wild Rose", "Yarrow"}));
        QVERIFY(w<QRadioButton>("IdiomaRepItem1")->isChecked()); // the result list follows
        QCOMPARE(w<QLineEdit>("flowerNameBox")->text(), flowers->currentIndex().data().toString());

        // A choice on the repertory page does not come back to the flower page.
        w<QRadioButton>("IdiomaRepItem2")->click();
        QVERIFY(w<QRadioButton>("Idioma2")->isChecked());
        w<QRadioButton>("Idioma1")->click();
        QVERIFY(w<QRadioButton>("IdiomaRepItem0")->isChecked());
        QCOMPARE(flowers->model()->headerData(0, Qt::Horizontal).toString(), QString("Nombre Español"));
        QCOMPARE(rows(flowers).first(), QString("Agrimonia"));
    }
};

QTEST_MAIN(TestSearchBoxWindow)
#include "test_searchbox_window.moc"
