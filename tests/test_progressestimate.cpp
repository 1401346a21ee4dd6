// The progress bar's arithmetic on a clock that the test moves by hand.
#include "ui/progressestimate.h"

#include <QTest>

#include <memory>

using progress::ProgressEstimate;

namespace {

constexpr double kSegundo = 1.0 / 86400.0;

// A wall clock that stands still until the test moves it.
struct Clock
{
    std::shared_ptr<double> ahora = std::make_shared<double>(0.5);
    progress::Clock funcion() const
    {
        return [t = ahora] { return *t; };
    }
    void poner(double dias) { *ahora = dias; }
    void avanzar(double segundos) { *ahora += segundos * kSegundo; }
};

} // namespace

class TestProgreso : public QObject
{
    Q_OBJECT

private slots:
    void scaleRunsFromTenToNinetyPercent()
    {
        QCOMPARE(progress::scale(),
                 QString("10%         20%         30%         40%         50%         60%         70%         80%"
                         "         90%"));
    }

    void timesShowAsHoursMinutesAndCutSeconds_data()
    {
        QTest::addColumn<double>("dias");
        QTest::addColumn<QString>("texto");
        QTest::newRow("nothing") << 0.0 << "00:00:00";
        QTest::newRow("the margin alone") << 0.00001 << "00:00:00";
        QTest::newRow("seconds are cut") << 10.864 * kSegundo << "00:00:10";
        QTest::newRow("just below a second") << 0.999 * kSegundo << "00:00:00";
        QTest::newRow("hours and minutes") << (3723.9) * kSegundo << "01:02:03";
        QTest::newRow("beyond a day shows the time of day") << 1.5 << "12:00:00";
    }
    void timesShowAsHoursMinutesAndCutSeconds()
    {
        QFETCH(double, dias);
        QFETCH(QString, texto);
        QCOMPARE(progress::formatTime(dias), texto);
    }

    void aTotalBelowOneCountsAsOne_data()
    {
        QTest::addColumn<int>("total");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
        QTest::newRow("one") << 1;
    }
    void aTotalBelowOneCountsAsOne()
    {
        QFETCH(int, total);
        Clock reloj;
        ProgressEstimate barra(reloj.funcion());
        barra.open(total);
        QCOMPARE(barra.total(), 1);
        QCOMPARE(barra.pixelesPorPaso(), 471.0);
        QCOMPARE(barra.ultimoAncho(), -1);
        barra.empezar();
        const auto dibujo = barra.avanzar();
        QVERIFY(dibujo);
        QCOMPARE(dibujo->ancho, 471);
    }

    void aBarOfAsManyStepsAsPixelsMovesOnEveryStep()
    {
        Clock reloj;
        ProgressEstimate barra(reloj.funcion());
        barra.open(471);
        barra.empezar();
        for (int paso = 1; paso <= 471; ++paso) {
            reloj.avanzar(0.01);
            const auto dibujo = barra.avanzar();
            QVERIFY2(dibujo, qPrintable(QString::number(paso)));
            QCOMPARE(dibujo->ancho, paso);
            if (paso == 471)
                QCOMPARE(dibujo->restante, QString("00:00:00"));
        }
    }

    void aLongLoopRedrawsOnlyWhenTheBarGrows()
    {
        Clock reloj;
        ProgressEstimate barra(reloj.funcion());
        barra.open(1000);
        barra.empezar();
        std::vector<int> pasosDibujados;
        int anterior = -1;
        for (int paso = 1; paso <= 1000; ++paso) {
            if (const auto dibujo = barra.avanzar()) {
                QCOMPARE(dibujo->ancho, anterior + 1); // one pixel at a time, none skipped
                anterior = dibujo->ancho;
                pasosDibujados.push_back(paso);
            }
        }
        QCOMPARE(anterior, 471);
        QCOMPARE(pasosDibujados.size(), std::size_t(472)); // widths 0 to 471
        // The first step draws although its bar is 0 wide; the next redraw waits for a pixel.
        QCOMPARE(pasosDibujados[0], 1);
        QCOMPARE(pasosDibujados[1], 3);  // 3 × 0.471 = 1.41
        QCOMPARE(pasosDibujados[2], 5);  // 5 × 0.471 = 2.36
        QCOMPARE(pasosDibujados.back(), 1000);
    }

    void theEstimateIsTheAverageStepTimesTheStepsLeft()
    {
        Clock reloj;
        ProgressEstimate barra(reloj.funcion());
        barra.open(100);
        barra.empezar();
        for (int paso = 1; paso < 50; ++paso)
            barra.avanzar();
        reloj.avanzar(10);
        const auto mitad = barra.avanzar();
        QVERIFY(mitad);
        QCOMPARE(mitad->restante, QString("00:00:10")); // 10 s + 0.864 s, cut
        reloj.avanzar(90);                              // the second half is slower
        for (int paso = 51; paso < 75; ++paso)
            barra.avanzar();
        const auto tresCuartos = barra.avanzar();
        QVERIFY(tresCuartos);
        QCOMPARE(tresCuartos->restante, QString("00:00:34")); // 100 s / 75 × 25 + 0.864
    }

    void passingMidnightCountsOnFromTheDayBefore()
    {
        Clock reloj;
        reloj.poner(1.0 - 5 * kSegundo); // 23:59:55
        ProgressEstimate barra(reloj.funcion());
        barra.open(2);
        barra.empezar();
        reloj.poner(5 * kSegundo); // 00:00:05
        const auto dibujo = barra.avanzar();
        QVERIFY(dibujo);
        QCOMPARE(dibujo->restante, QString("00:00:10"));
        QVERIFY(qAbs(barra.inicio() + 5 * kSegundo) < 1e-9); // the start moved back a day
    }

    void timeSpentOnTheCancelQuestionIsNotWorkTime()
    {
        Clock reloj;
        reloj.poner(0);
        ProgressEstimate barra(reloj.funcion());
        barra.open(4);
        barra.empezar();
        reloj.avanzar(10);
        QCOMPARE(barra.avanzar()->restante, QString("00:00:30"));
        // The user looks at the question for a minute and answers no.
        const double t0 = barra.ahora();
        reloj.avanzar(60);
        barra.descontarDesde(t0);
        reloj.avanzar(10);
        QCOMPARE(barra.avanzar()->restante, QString("00:00:20")); // 20 s of work for two steps
    }
};

QTEST_GUILESS_MAIN(TestProgreso)
#include "test_progressestimate.moc"
