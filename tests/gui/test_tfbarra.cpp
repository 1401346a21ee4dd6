// The progress window: its layout, the steps that redraw and let events through, the Cancel
// question, the estimate on a clock the test sets, and the single current window.
#include "ui/messageboxes.h"
#include "ui/tfbarra.h"
#include "windowtest.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>

namespace {

constexpr double kSecond = 1.0 / 86400.0;

int openBars()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<TFBarra *>(w) != nullptr;
    return n;
}

// A control of the open progress window, found as the user sees it.
template<typename T = QWidget>
T *bar(const char *name)
{
    return controlOf<T>(currentBarra(), name);
}

QPushButton *cancel()
{
    return bar<QPushButton>("Cancelar");
}

QString timeLeft()
{
    return bar<QLabel>("Lab")->text();
}

} // namespace

class TestBarra : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        CerrarBarra();
        setBarraClock({});
        QCOMPARE(openBars(), 0);
    }

    void theWindowIsLaidOutToThePixel()
    {
        AbrirBarra("Procesando...", "Desea Cancelar ?", 0);
        TFBarra *b = currentBarra();
        QVERIFY(b && b->isVisible());
        QCOMPARE(b->windowTitle(), QString("Procesando..."));
        QCOMPARE(b->size(), QSize(510, 109));
        QCOMPARE(b->windowModality(), Qt::ApplicationModal);
        QVERIFY(!(b->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));
        const std::pair<const char *, QRect> places[] = {
            {"Panel2", {0, 0, 510, 53}},       {"P0", {16, 15, 475, 20}},   {"P1", {2, 2, 0, 16}},
            {"Panel1", {0, 53, 510, 56}},      {"StaticText1", {16, 16, 225, 23}},
            {"Lab", {248, 16, 85, 23}},        {"Cancelar", {404, 16, 85, 23}},
        };
        for (const auto &[name, place] : places)
            QCOMPARE(bar(name)->geometry(), place);
        QCOMPARE(bar("P0")->parentWidget(), bar("Panel2"));
        QCOMPARE(bar("P1")->parentWidget(), bar("P0"));
        QCOMPARE(bar("StaticText1")->parentWidget(), bar("Panel1"));
        QCOMPARE(bar("P1")->palette().color(QPalette::Window), QColor(0, 255, 0));
        auto *label = bar<QLabel>("StaticText1");
        QCOMPARE(label->text(), QString("Tiempo restante estimado:"));
        for (QLabel *box : {label, bar<QLabel>("Lab")}) {
            QCOMPARE(box->font().pixelSize(), 16);
            QVERIFY(box->font().bold());
            QCOMPARE(box->frameStyle(), QFrame::Panel | QFrame::Sunken);
        }
        QVERIFY(timeLeft().isEmpty());
        QCOMPARE(cancel()->text(), QString("Cancelar"));
        QVERIFY(cancel()->isCheckable() && cancel()->isEnabled());
        // The window's own close request does not end the loop's window.
        b->close();
        QVERIFY(currentBarra() == b && b->isVisible());
        // Opened with total 0 and closed without a step: nothing is left behind.
        CerrarBarra();
        QVERIFY(!currentBarra());
        QCOMPARE(openBars(), 0);
        CerrarBarra(); // a second close does nothing
    }

    void onlyStepsThatMoveTheBarLetEventsThrough()
    {
        AbrirBarra("Procesando...", "Desea Cancelar ?", 1000);
        QVERIFY(AvanzarBarra()); // the first step always draws, at width 0
        QCOMPARE(bar("P1")->width(), 0);
        QVERIFY(!timeLeft().isEmpty());
        bool served = false;
        QTimer::singleShot(0, this, [&] { served = true; });
        // Nor is Cancel looked at on such a step: the question would abort the test.
        DialogSeam seam;
        cancel()->setChecked(true);
        QVERIFY(AvanzarBarra()); // 2 × 0.471: still 0 pixels
        QVERIFY(!served);
        QVERIFY(seam.log().isEmpty());
        cancel()->setChecked(false);
        QVERIFY(AvanzarBarra()); // 3 × 0.471: the first pixel
        QVERIFY(served);
        QCOMPARE(bar("P1")->width(), 1);
    }

    void cancelAsksAndNoGoesOnYesStops()
    {
        DialogSeam seam;
        AbrirBarra("Procesando...", "Desea Cancelar ?", 10);
        QVERIFY(AvanzarBarra());
        cancel()->click();
        QVERIFY(cancel()->isChecked());
        seam.answer({false});
        QVERIFY(AvanzarBarra());
        QVERIFY(!cancel()->isChecked()); // released, and the loop goes on
        QVERIFY(AvanzarBarra());
        cancel()->click();
        seam.answer({true});
        QVERIFY(!AvanzarBarra());
        QVERIFY(!currentBarra()); // already closed
        CerrarBarra();
        QCOMPARE(seam.log(), QStringList({"Confirmar: Desea Cancelar ?", "Confirmar: Desea Cancelar ?"}));
    }

    void withoutAQuestionTheLoopCannotBeCancelled()
    {
        DialogSeam seam; // with nothing queued, any question would abort the test
        AbrirBarra("Procesando...", QString(), 5);
        QVERIFY(!cancel()->isEnabled());
        cancel()->setChecked(true);
        for (int i = 0; i < 5; ++i)
            QVERIFY(AvanzarBarra());
        QVERIFY(seam.log().isEmpty());
    }

    void theQuestionsTimeIsLeftOutOfTheEstimate()
    {
        // The clock reads, in order: the start, step 1, step 2, the question asked, the
        // question answered a minute later, step 3.
        auto readings = std::make_shared<std::deque<double>>(
            std::deque<double>{0, 10 * kSecond, 20 * kSecond, 20 * kSecond, 80 * kSecond, 90 * kSecond});
        setBarraClock([readings] {
            const double t = readings->front();
            if (readings->size() > 1)
                readings->pop_front();
            return t;
        });
        DialogSeam seam;
        AbrirBarra("Procesando...", "Desea Cancelar ?", 4);
        QVERIFY(AvanzarBarra());
        QCOMPARE(timeLeft(), QString("00:00:30"));
        cancel()->click();
        seam.answer({false});
        QVERIFY(AvanzarBarra());
        QCOMPARE(timeLeft(), QString("00:00:20"));
        QVERIFY(AvanzarBarra());
        // 30 s of work for three steps, not the 90 s on the clock.
        QCOMPARE(timeLeft(), QString("00:00:10"));
    }

    void aSecondWindowClosesTheFirst()
    {
        AbrirBarra("Uno", QString(), 3);
        QPointer<TFBarra> first = currentBarra();
        AbrirBarra("Dos", QString(), 3);
        QVERIFY(!first);
        QCOMPARE(currentBarra()->windowTitle(), QString("Dos"));
        QCOMPARE(openBars(), 1);
    }

    void theScaleIsWrittenInTheBarsFrame()
    {
        AbrirBarra("Procesando...", QString(), 2);
        const QImage empty = bar("P0")->grab().toImage();
        // Silver scale text on black, under where the lime bar will grow.
        bool silver = false;
        for (int x = 0; x < empty.width(); ++x)
            for (int y = 2; y < 18; ++y)
                silver = silver || empty.pixelColor(x, y).lightness() > 100;
        QVERIFY(silver);
        QVERIFY(AvanzarBarra());
        QVERIFY(AvanzarBarra());
        const QImage full = bar("P0")->grab().toImage();
        QCOMPARE(full.pixelColor(240, 10), QColor(0, 255, 0));
        QCOMPARE(full.pixelColor(472, 10), QColor(0, 255, 0));
    }
};

QTEST_MAIN(TestBarra)
#include "test_tfbarra.moc"
