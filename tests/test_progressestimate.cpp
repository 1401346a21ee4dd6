// The progress bar's arithmetic on a clock that the test moves by hand.
#include "ui/progressestimate.h"

#include <QTest>

#include <memory>

using progress::ProgressEstimate;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

// A wall clock that stands still until the test moves it.
struct HandClock
{
    std::shared_ptr<double> now = std::make_shared<double>(0.5);
    progress::Clock function() const
    {
        return [t = now] { return *t; };
    }
    void set(double days) { *now = days; }
    void move(double seconds) { *now += seconds * kSecond; }
};

} // namespace

class TestProgressEstimate : public QObject
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
        QTest::addColumn<double>("days");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << 0.0 << "00:00:00";
        QTest::newRow("the margin alone") << 0.00001 << "00:00:00";
        QTest::newRow("seconds are cut") << 10.864 * kSecond << "00:00:10";
        QTest::newRow("just below a second") << 0.999 * kSecond << "00:00:00";
        QTest::newRow("hours and minutes") << (3723.9) * kSecond << "01:02:03";
        QTest::newRow("beyond a day shows the time of day") << 1.5 << "12:00:00";
    }
    void timesShowAsHoursMinutesAndCutSeconds()
    {
        QFETCH(double, days);
        QFETCH(QString, text);
        QCOMPARE(progress::formatTime(days), text);
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
        HandClock clock;
        ProgressEstimate bar(clock.function());
        bar.open(total);
        QCOMPARE(bar.total(), 1);
        QCOMPARE(bar.pixelsPerStep(), 471.0);
        QCOMPARE(bar.lastWidth(), -1);
        bar.start();
        const auto drawn = bar.step();
        QVERIFY(drawn);
        QCOMPARE(drawn->width, 471);
    }

    void aBarOfAsManyStepsAsPixelsMovesOnEveryStep()
    {
        HandClock clock;
        ProgressEstimate bar(clock.function());
        bar.open(471);
        bar.start();
        for (int step = 1; step <= 471; ++step) {
            clock.move(0.01);
            const auto drawn = bar.step();
            QVERIFY2(drawn, qPrintable(QString::number(step)));
            QCOMPARE(drawn->width, step);
            if (step == 471)
                QCOMPARE(drawn->remaining, QString("00:00:00"));
        }
    }

    void aLongLoopRedrawsOnlyWhenTheBarGrows()
    {
        HandClock clock;
        ProgressEstimate bar(clock.function());
        bar.open(1000);
        bar.start();
        std::vector<int> drawnSteps;
        int previous = -1;
        for (int step = 1; step <= 1000; ++step) {
            if (const auto drawn = bar.step()) {
                QCOMPARE(drawn->width, previous + 1); // one pixel at a time, none skipped
                previous = drawn->width;
                drawnSteps.push_back(step);
            }
        }
        QCOMPARE(previous, 471);
        QCOMPARE(drawnSteps.size(), std::size_t(472)); // widths 0 to 471
        // The first step draws although its bar is 0 wide; the next redraw waits for a pixel.
        QCOMPARE(drawnSteps[0], 1);
        QCOMPARE(drawnSteps[1], 3);  // 3 × 0.471 = 1.41
        QCOMPARE(drawnSteps[2], 5);  // 5 × 0.471 = 2.36
        QCOMPARE(drawnSteps.back(), 1000);
    }

    void theEstimateIsTheAverageStepTimesTheStepsLeft()
    {
        HandClock clock;
        ProgressEstimate bar(clock.function());
        bar.open(100);
        bar.start();
        for (int step = 1; step < 50; ++step)
            bar.step();
        clock.move(10);
        const auto half = bar.step();
        QVERIFY(half);
        QCOMPARE(half->remaining, QString("00:00:10")); // 10 s + 0.864 s, cut
        clock.move(90);                              // the second half is slower
        for (int step = 51; step < 75; ++step)
            bar.step();
        const auto threeQuarters = bar.step();
        QVERIFY(threeQuarters);
        QCOMPARE(threeQuarters->remaining, QString("00:00:34")); // 100 s / 75 × 25 + 0.864
    }

    void passingMidnightCountsOnFromTheDayBefore()
    {
        HandClock clock;
        clock.set(1.0 - 5 * kSecond); // 23:59:55
        ProgressEstimate bar(clock.function());
        bar.open(2);
        bar.start();
        clock.set(5 * kSecond); // 00:00:05
        const auto drawn = bar.step();
        QVERIFY(drawn);
        QCOMPARE(drawn->remaining, QString("00:00:10"));
        QVERIFY(qAbs(bar.startTime() + 5 * kSecond) < 1e-9); // the start moved back a day
    }

    void timeSpentOnTheCancelQuestionIsNotWorkTime()
    {
        HandClock clock;
        clock.set(0);
        ProgressEstimate bar(clock.function());
        bar.open(4);
        bar.start();
        clock.move(10);
        QCOMPARE(bar.step()->remaining, QString("00:00:30"));
        // The user looks at the question for a minute and answers no.
        const double t0 = bar.now();
        clock.move(60);
        bar.discountSince(t0);
        clock.move(10);
        QCOMPARE(bar.step()->remaining, QString("00:00:20")); // 20 s of work for two steps
    }
};

QTEST_GUILESS_MAIN(TestProgressEstimate)
#include "test_progressestimate.moc"
