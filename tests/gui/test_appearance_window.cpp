// Colour schemes and text size on the real main window: the state after start-up, the five
// schemes in turn through the colour button, the text-size buttons, and values that only a
// settings file edited by hand can hold.
#include "ui/appearance.h"
#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "testsupport.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

namespace {

const char *const kPanels[] = {
    "Panel2",  "Panel3",  "Panel4",   "Panel6",   "Panel8",        "Panel9",    "Panel10",     "Panel12",
    "Panel13", "Panel14", "Panel15",  "Panel17",  "Panel20",       "IdiomaRep", "PanIm",       "PanFlor",
    "PanBotIm", "Ajuste", "PanBotAgrSint", "PanEdSint", "PanCantSint", "PanInfSint",
};
const char *const kTitles[] = {
    "Label1", "Label2", "LabCantSintFlor", "LabCantSint", "LabCantFlor", "Label10", "Label11", "Label12", "Label13",
};
const char *const kData[] = {
    "GrSint", "ScrBox", "DBMemo1", "DBMemo2", "DBImage1", "GrSintomas", "GrIdiomas", "GrSel", "GrFlor", "GrRep",
    "GrRepF", "DBGrid5",
};
const char *const kTextSize[] = {
    "DBMemo1", "DBMemo2", "GrSint", "GrFlor", "GrSintomas", "GrSel", "GrIdiomas", "GrRep", "GrRepF", "DBGrid5",
};

} // namespace

class TestAppearanceWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;
    std::unique_ptr<TForm1> form;

    QWidget *w(const char *name) const
    {
        QWidget *found = form->findChild<QWidget *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *name) { qobject_cast<QAbstractButton *>(w(name))->click(); }

    // Every control of every group shows the scheme: panels, heading texts, data backgrounds.
    void compareScheme(int number)
    {
        static const QColor kSchemes[5][3] = {
            {{167, 196, 214}, {53, 90, 113}, {225, 235, 242}},  {{191, 191, 191}, {93, 93, 93}, {228, 228, 228}},
            {{215, 193, 162}, {115, 88, 49}, {232, 219, 200}},  {{148, 148, 148}, {255, 255, 255}, {200, 200, 200}},
            {{169, 199, 187}, {69, 105, 90}, {215, 226, 220}},
        };
        const QColor *e = kSchemes[number - 1];
        QCOMPARE(int(EsquemaColor), number);
        for (const char *n : kPanels) {
            QVERIFY2(w(n)->autoFillBackground(), n);
            QCOMPARE(w(n)->palette().color(QPalette::Window), e[0]);
        }
        for (const char *n : {"PanBot", "Panel18"})
            QCOMPARE(w(n)->palette().color(QPalette::Window), QColor(60, 91, 134));
        for (const char *n : kTitles)
            QCOMPARE(w(n)->palette().color(QPalette::WindowText), e[1]);
        for (const char *n : kData) {
            QWidget *d = w(n);
            // Lists and memos paint through their viewport, the picture through itself.
            if (auto *area = qobject_cast<QAbstractScrollArea *>(d))
                d = area->viewport();
            QCOMPARE(d->palette().color(d->backgroundRole()), e[2]);
        }
    }
    void compareTextSize(int points)
    {
        QCOMPARE(int(TamLetra), points);
        for (const char *n : kTextSize)
            QCOMPARE(w(n)->font().pointSize(), points);
        // Grid rows follow the text's height.
        auto *chosen = qobject_cast<DataGrid *>(w("GrSel"));
        QCOMPARE(chosen->verticalHeader()->defaultSectionSize(), QFontMetrics(chosen->font()).height() + 4);
    }
    void process()
    {
        click("Sintomas");
        auto *g = qobject_cast<DataGrid *>(w("GrSintomas"));
        g->setCurrentIndex(g->model()->index(0, 0));
        DialogSeam seam;
        click("Agregar");
        click("Procesar");
    }

private slots:
    void initTestCase() { folder = std::make_unique<WorkingFolder>(); }
    void init()
    {
        EsquemaColor = 0;
        TamLetra = 0;
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() { form.reset(); }

    void startsInTheGreySchemeAtTenPoints()
    {
        compareScheme(2);
        compareTextSize(10);
    }

    void theColourButtonStepsThroughTheFiveSchemes()
    {
        for (const int expected : {3, 4, 5, 1, 2}) {
            click("color");
            compareScheme(expected);
        }
    }

    void textSizeButtonsChangeTheDataControlsOnly()
    {
        const QFont search = w("Ed")->font();
        click("Mas");
        compareTextSize(11);
        click("Mas");
        compareTextSize(12);
        click("Menos");
        click("Menos");
        compareTextSize(10);
        click("Menos"); // at ten nothing happens
        compareTextSize(10);
        QCOMPARE(w("Ed")->font(), search);
        QCOMPARE(w("Label1")->font().pointSize(), search.pointSize());

        TamLetra = 255;
        click("Mas"); // 255 + 1 wraps to 0, shown and kept as ten
        compareTextSize(10);
    }

    void valuesFromAHandEditedSettingsFileShowAtTheNextApply()
    {
        // A size below ten shows as ten, and is kept as ten.
        TamLetra = 7;
        process();
        compareTextSize(10);

        // A scheme number no scheme has leaves every colour as it is...
        click("color"); // scheme 3
        const QColor panel = w("Panel2")->palette().color(QPalette::Window);
        const QColor title = w("Label1")->palette().color(QPalette::WindowText);
        const QColor data = w("GrSel")->palette().color(QPalette::Base);
        EsquemaColor = 9;
        process();
        QCOMPARE(w("Panel2")->palette().color(QPalette::Window), panel);
        QCOMPARE(w("Label1")->palette().color(QPalette::WindowText), title);
        QCOMPARE(w("GrSel")->palette().color(QPalette::Base), data);
        QCOMPARE(int(EsquemaColor), 9);
        // ...and the colour button goes on from the first scheme.
        click("color");
        compareScheme(1);
    }
};

QTEST_MAIN(TestAppearanceWindow)
#include "test_appearance_window.moc"
