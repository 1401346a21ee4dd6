// What a screen reader is given of the real main window, read through the toolkit's own
// accessibility interfaces (no accessibility bus): on each page and in each window the
// repertory page opens, every control a user can reach has a Spanish name and a description,
// and the worksheet grid reads as a table with its headers, its marks and its current row.
#include "testsupport.h"
#include "windowtest.h"

#include "repertory/tfplanrep.h"
#include "ui/questionbox.h"
#include "ui/tfbarra.h"
#include "widgets/cellgrid.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QPointer>
#include <QComboBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Controls a user reaches: a reader names them, so they must have a name. Cells, items and
// headers are named by their own text, and a blank cell is a blank cell.
bool isControl(const QAccessibleInterface &object)
{
    switch (object.role()) {
    case QAccessible::Cell:
    case QAccessible::ListItem:
    case QAccessible::TreeItem:
    case QAccessible::ColumnHeader:
    case QAccessible::RowHeader:
        return false;
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::List:
    case QAccessible::PageTab:
    case QAccessible::MenuItem:
    case QAccessible::Link:
    case QAccessible::Graphic:
        return true;
    default:
        return object.state().focusable;
    }
}

// Words the toolkit says when a control was left to its English defaults.
const QRegularExpression kEnglish(
    QStringLiteral("\\b(ok|cancel|close|open|save|apply|help|yes|print|preview|file|folder|view|"
                   "back|forward|the|of|and|table|list|button|edit|page)\\b"),
    QRegularExpression::CaseInsensitiveOption);

// Where an object is, for whoever has to find it: its ancestors' roles and names.
QString pathOf(const QStringList &path, const QAccessibleInterface &object)
{
    const QObject *o = object.object();
    return path.join(QStringLiteral(" > ")) + QStringLiteral(" > [%1 %2]")
                                                 .arg(int(object.role()))
                                                 .arg(o ? o->objectName() : QString());
}

// Every showing control under `object` that lacks a name, a description, or whose name is in English.
void collectFaults(QAccessibleInterface *object, QStringList path, QStringList &faults, int &controls, int depth = 0)
{
    if (!object || !object->isValid())
        return;
    const QAccessible::State state = object->state();
    if (depth > 0 && (state.invisible || state.offscreen))
        return;
    const QString name = object->text(QAccessible::Name).trimmed();
    if (depth == 0 || isControl(*object)) {
        ++controls;
        if (name.isEmpty())
            faults << QStringLiteral("sin nombre: ") + pathOf(path, *object);
        // Here a list box is named by what it shows, a printer's name for one: a reader finds
        // its label through the label's relation.
        else if (object->role() != QAccessible::ComboBox && kEnglish.match(name).hasMatch())
            faults << QStringLiteral("nombre en inglés «%1»: ").arg(name) + pathOf(path, *object);
        if (depth > 0 && object->text(QAccessible::Description).trimmed().isEmpty())
            faults << QStringLiteral("sin descripción «%1»: ").arg(name) + pathOf(path, *object);
    }
    if (object->role() == QAccessible::Table || object->role() == QAccessible::List
        || object->role() == QAccessible::Tree)
        return; // their children are cells and items
    path << (name.isEmpty() ? QString::number(int(object->role())) : name);
    for (int i = 0; i < object->childCount(); ++i)
        collectFaults(object->child(i), path, faults, controls, depth + 1);
}

// The faults of a window's controls; a window where no control besides itself could be read
// is a fault too.
QStringList faultsOf(QWidget *window)
{
    QStringList faults;
    int controls = 0;
    collectFaults(QAccessible::queryAccessibleInterface(window), {}, faults, controls);
    if (controls < 2)
        faults << QStringLiteral("solo %1 controles leídos en «%2»").arg(controls).arg(window->windowTitle());
    return faults;
}

} // namespace

class TestAccessibility : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    void click(const char *button) { w<QAbstractButton>(button)->click(); }
    void chooseRow(const char *gridName, const QString &text)
    {
        DataGrid *g = grid(gridName);
        const int row = int(columnTexts(g).indexOf(text));
        QVERIFY2(row >= 0, qPrintable(text));
        g->setCurrentIndex(g->model()->index(row, 0));
    }
    void chooseSystem(int system)
    {
        auto *systems = w<QComboBox>("CBSel");
        systems->setCurrentIndex(system);
        emit systems->activated(system);
    }
    void toFlowers()
    {
        chooseSystem(1);
        chooseRow("GrFlor", QStringLiteral("Agrimonia"));
    }
    void toRepertory() { processSymptoms(kCase); }
    void toSelection()
    {
        click("Sintomas");
        for (const QString &symptom : kCase) {
            chooseRow("GrSintomas", symptom);
            click("Agregar");
        }
    }
    const QStringList kCase = {"Miedo a cosas conocidas", "Dolor de cabeza", "Timidez"};

    // Presses `button` and hands each modal window that shows to `look`, then closes it unless
    // `look` did; a progress window comes and goes by itself. Answers how many showed.
    int inModal(const char *button, const std::function<void(QWidget &)> &look)
    {
        int shown = 0;
        QTimer watcher;
        watcher.setInterval(5);
        connect(&watcher, &QTimer::timeout, this, [&] {
            QPointer<QWidget> window = QApplication::activeModalWidget();
            if (!window || !window->isVisible() || qobject_cast<TFBarra *>(window))
                return;
            ++shown;
            look(*window);
            if (window && window->isVisible())
                window->close();
        });
        watcher.start();
        click(button);
        watcher.stop();
        return shown;
    }

private slots:
    void initTestCase() { folder = std::make_unique<WorkingFolder>(); }
    void init() { QVERIFY(open()); }
    void cleanup() { close(); }

    void everyControlOfEachPageIsNamedInSpanish_data()
    {
        QTest::addColumn<std::function<void(TestAccessibility &)>>("go");
        using T = TestAccessibility;
        QTest::newRow("inicio") << std::function<void(T &)>([](T &) {});
        QTest::newRow("flores") << std::function<void(T &)>([](T &t) { t.toFlowers(); });
        QTest::newRow("sintomas") << std::function<void(T &)>([](T &t) { t.click("Sintomas"); });
        QTest::newRow("repertorio") << std::function<void(T &)>([](T &t) { t.toRepertory(); });
        QTest::newRow("flor-del-resultado") << std::function<void(T &)>([](T &t) {
            t.toRepertory();
            t.click("Button2");
        });
        QTest::newRow("sintomas-edicion") << std::function<void(T &)>([](T &t) {
            t.click("Sintomas");
            t.click("Modificar");
        });
        QTest::newRow("flores-edicion") << std::function<void(T &)>([](T &t) {
            t.click("Sintomas");
            t.click("Modificar");
            t.toFlowers();
        });
        QTest::newRow("abandonar") << std::function<void(T &)>([](T &t) { t.click("cerrar"); });
    }
    void everyControlOfEachPageIsNamedInSpanish()
    {
        QFETCH(std::function<void(TestAccessibility &)>, go);
        go(*this);
        QVERIFY(!QApplication::activeModalWidget());
        const QStringList faults = faultsOf(form.get());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void everyControlOfTheSecondaryWindowsIsNamedInSpanish_data()
    {
        QTest::addColumn<std::function<void(TestAccessibility &)>>("go");
        QTest::addColumn<QByteArray>("button");
        using T = TestAccessibility;
        QTest::newRow("guardar-seleccion") << std::function<void(T &)>([](T &t) { t.toSelection(); }) << QByteArray("Guardar");
        QTest::newRow("planilla") << std::function<void(T &)>([](T &t) { t.toRepertory(); }) << QByteArray("PlanRep");
        QTest::newRow("mezcla") << std::function<void(T &)>([](T &t) { t.toRepertory(); }) << QByteArray("suggestMixture");
        QTest::newRow("imprimir") << std::function<void(T &)>([](T &t) { t.toRepertory(); }) << QByteArray("printCase");
        QTest::newRow("dialogo-foto") << std::function<void(T &)>([](T &t) {
            t.click("Sintomas");
            t.click("Modificar");
            t.toFlowers();
        }) << QByteArray("Leer");
    }
    void everyControlOfTheSecondaryWindowsIsNamedInSpanish()
    {
        QFETCH(std::function<void(TestAccessibility &)>, go);
        QFETCH(QByteArray, button);
        go(*this);
        QStringList faults;
        QString title;
        QCOMPARE(inModal(button.constData(), [&](QWidget &window) {
                     title = window.windowTitle();
                     faults = faultsOf(&window);
                 }),
                 1);
        QVERIFY2(faults.isEmpty(), qPrintable(title + '\n' + faults.join('\n')));
    }

    void theSystemPrintWindowsAreNamedInSpanish_data()
    {
        QTest::addColumn<QByteArray>("choice");
        QTest::newRow("vista-previa") << QByteArray("preview");
        QTest::newRow("imprimir") << QByteArray("print");
        QTest::newRow("guardar-pdf") << QByteArray("savePdf");
    }
    void theSystemPrintWindowsAreNamedInSpanish()
    {
        QFETCH(QByteArray, choice);
        toRepertory();
        QStringList faults;
        QString title;
        // The choices come first and give way to the toolkit's window.
        QCOMPARE(inModal("printCase", [&](QWidget &window) {
                     if (window.objectName() == QLatin1String("PrintChoices")) {
                         controlOf<QAbstractButton>(&window, choice.constData())->click();
                         return;
                     }
                     title = window.windowTitle();
                     faults = faultsOf(&window);
                 }),
                 2);
        QVERIFY2(faults.isEmpty(), qPrintable(title + '\n' + faults.join('\n')));
    }

    // The question box says its question with each answer; the progress window names its scale.
    void everyControlOfTheQuestionAndProgressWindowsIsNamedInSpanish()
    {
        QuestionBox question(QStringLiteral("¿Desea reiniciar la selección?"), form.get());
        question.show();
        QStringList faults = faultsOf(&question);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        auto *yes = controlOf<QWidget>(&question, "Si");
        QVERIFY(QAccessible::queryAccessibleInterface(yes)->text(QAccessible::Description).contains(QStringLiteral("reiniciar")));
        question.close();

        AbrirBarra(QStringLiteral("Procesando..."), QStringLiteral("Desea Cancelar ?"), 10);
        QVERIFY(currentBarra());
        faults = faultsOf(currentBarra());
        CerrarBarra();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // The worksheet grid is a table to a reader: the header row says what each column is, the
    // flower column names each row, a mark says the symptom it stands for, and the current row
    // is the selected one.
    void theWorksheetGridReadsAsATable()
    {
        toRepertory();
        QCOMPARE(inModal("PlanRep", [](QWidget &window) {
                     auto *grid = controlOf<CellGrid>(&window, "Gr");
                     QAccessibleInterface *object = QAccessible::queryAccessibleInterface(grid);
                     QVERIFY(object);
                     QCOMPARE(object->role(), QAccessible::Table);
                     QVERIFY(!object->text(QAccessible::Name).isEmpty());
                     QAccessibleTableInterface *table = object->tableInterface();
                     QVERIFY(table);
                     // Five flowers share the three symptoms; the name and count columns are headers.
                     QCOMPARE(table->rowCount(), 5);
                     QCOMPARE(table->columnCount(), 3);
                     QStringList headers;
                     for (int c = 0; c < table->columnCount(); ++c)
                         headers << table->columnDescription(c);
                     // Each symptom column is headed by its number and the symptom.
                     for (int c = 0; c < table->columnCount(); ++c)
                         QVERIFY2(headers[c].startsWith(QString::number(c + 1) + QStringLiteral(": ")) && headers[c].size() > 3,
                                  qPrintable(headers.join('|')));
                     // The flower and its count name the row.
                     QCOMPARE(table->rowDescription(0), QStringLiteral("Mímulo 2"));
                     // Mímulo has two of the three symptoms: two cells say their symptom, one says nothing.
                     QStringList spoken;
                     for (int c = 0; c < table->columnCount(); ++c) {
                         QAccessibleInterface *cell = table->cellAt(0, c);
                         QVERIFY(cell);
                         QCOMPARE(cell->role(), QAccessible::Cell);
                         if (const QString text = cell->text(QAccessible::Name); !text.isEmpty()) {
                             QCOMPARE(text, headers[c]);
                             spoken << text;
                         }
                     }
                     QCOMPARE(spoken.size(), 2);
                     QVERIFY(!table->cellAt(table->rowCount(), 0));
                     // Moving the grid's current row moves the reader's selection.
                     grid->setCurrentRow(grid->fixedRows() + 2);
                     QCOMPARE(table->selectedRows(), QList<int>{2});
                     QVERIFY(table->isRowSelected(2));
                     QVERIFY(table->selectRow(1));
                     QCOMPARE(grid->currentRow(), grid->fixedRows() + 1);
                 }),
                 1);
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility_window.moc"
