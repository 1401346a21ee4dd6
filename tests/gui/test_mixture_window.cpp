// The mixture suggestion from the real repertory page: the dialog proposes the flowers of the
// processed case, answers a new limit at once, and copies what it shows.
#include "testsupport.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>

class TestMixtureWindow : public QObject, private TestWindow
{
    Q_OBJECT

    std::unique_ptr<WorkingFolder> folder;

    void click(const char *name) const { w<QAbstractButton>(name)->click(); }
    // Opens the suggestion, lets `look` read and work it, and closes it.
    void withSuggestion(const std::function<void(QWidget &)> &look)
    {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            seen = true;
            look(*dialog);
            controlOf<QAbstractButton>(dialog, "closeButton")->click();
        });
        click("suggestMixture");
        QVERIFY(seen);
    }
    static QStringList column(QTableWidget *table, int c)
    {
        QStringList texts;
        for (int r = 0; r < table->rowCount(); ++r)
            texts << table->item(r, c)->text();
        return texts;
    }

private slots:
    void init()
    {
        folder = std::make_unique<WorkingFolder>();
        QVERIFY(open());
    }
    void cleanup()
    {
        close();
        folder.reset();
    }

    void proposesTheFewestFlowersAndAnswersANewLimit()
    {
        // Mímulo has the first three; the fourth is Rosa Silvestre's (count 2) and Ñandú Azul's
        // (count 1): the higher total count decides.
        processSymptoms({"Miedo a cosas conocidas", "Timidez", "Miedo a lo desconocido", "Indecisión entre dos opciones"});
        auto *button = w<QAbstractButton>("suggestMixture");
        QCOMPARE(button->text(), QString("Sugerir mezcla"));
        QVERIFY(!button->toolTip().isEmpty() && !button->accessibleName().isEmpty());
        withSuggestion([&](QWidget &dialog) {
            QCOMPARE(dialog.windowTitle(), QString("Sugerir mezcla"));
            QCOMPARE(controlOf<QSpinBox>(&dialog, "maxFlowers")->value(), 6);
            QVERIFY(controlOf<QLabel>(&dialog, "method")->text().startsWith("Mezcla exacta"));
            QCOMPARE(controlOf<QLabel>(&dialog, "summary")->text(),
                     QString("Las 2 flores propuestas cubren 4 de los 4 síntomas seleccionados."));
            auto *proposal = controlOf<QTableWidget>(&dialog, "proposal");
            QCOMPARE(column(proposal, 0), QStringList({"Mímulo", "Rosa Silvestre"}));
            QCOMPARE(column(proposal, 1), QStringList({"3", "2"}));
            auto *coverage = controlOf<QTableWidget>(&dialog, "coverage");
            QCOMPARE(coverage->rowCount(), 4);
            for (const QString &by : column(coverage, 1))
                QVERIFY2(column(proposal, 0).contains(by), qPrintable(by));

            // One flower at most: the rest is said to be left out, and the limit stays chosen.
            controlOf<QSpinBox>(&dialog, "maxFlowers")->setValue(1);
            QCOMPARE(proposal->rowCount(), 1);
            QVERIFY(column(coverage, 1).contains("lo tienen otras flores: aumente el máximo"));
            controlOf<QAbstractButton>(&dialog, "copy")->click();
        });
        QVERIFY(QGuiApplication::clipboard()->text().startsWith("Sugerencia de mezcla\r\n"));
        QCOMPARE(seam->log().constLast(), QString("Aviso: La sugerencia fue copiada al portapapeles"));
        withSuggestion([](QWidget &dialog) { QCOMPARE(controlOf<QSpinBox>(&dialog, "maxFlowers")->value(), 1); });
    }
};

QTEST_MAIN(TestMixtureWindow)
#include "test_mixture_window.moc"
