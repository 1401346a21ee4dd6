// The progress window: its layout, the steps that redraw and let events through, the Cancel
// question, the estimate on a clock the test sets, and the single current window.
#include "ui/messageboxes.h"
#include "ui/tfbarra.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>

namespace {

constexpr double kSegundo = 1.0 / 86400.0;

int barrasAbiertas()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<TFBarra *>(w) != nullptr;
    return n;
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
        QCOMPARE(barrasAbiertas(), 0);
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
        const std::pair<QWidget *, QRect> lugares[] = {
            {b->Panel2, {0, 0, 510, 53}},       {b->P0, {16, 15, 475, 20}},   {b->P1, {2, 2, 0, 16}},
            {b->Panel1, {0, 53, 510, 56}},      {b->StaticText1, {16, 16, 225, 23}},
            {b->Lab, {248, 16, 85, 23}},        {b->Cancelar, {404, 16, 85, 23}},
        };
        for (const auto &[control, lugar] : lugares)
            QCOMPARE(control->geometry(), lugar);
        QCOMPARE(b->P0->parentWidget(), b->Panel2);
        QCOMPARE(b->P1->parentWidget(), b->P0);
        QCOMPARE(b->P1->palette().color(QPalette::Window), QColor(0, 255, 0));
        QCOMPARE(b->StaticText1->text(), QString("Tiempo restante estimado:"));
        QCOMPARE(b->StaticText1->font().pixelSize(), 16);
        QVERIFY(b->StaticText1->font().bold());
        QVERIFY(b->Lab->text().isEmpty());
        QCOMPARE(b->Cancelar->text(), QString("Cancelar"));
        QVERIFY(b->Cancelar->isCheckable() && b->Cancelar->isEnabled());
        // The window's own close request does not end the loop's window.
        b->close();
        QVERIFY(currentBarra() == b && b->isVisible());
        // Opened with total 0 and closed without a step: nothing is left behind.
        CerrarBarra();
        QVERIFY(!currentBarra());
        QCOMPARE(barrasAbiertas(), 0);
        CerrarBarra(); // a second close does nothing
    }

    void onlyStepsThatMoveTheBarLetEventsThrough()
    {
        AbrirBarra("Procesando...", "Desea Cancelar ?", 1000);
        QVERIFY(AvanzarBarra()); // the first step always draws, at width 0
        QCOMPARE(currentBarra()->P1->width(), 0);
        QVERIFY(!currentBarra()->Lab->text().isEmpty());
        bool atendido = false;
        QTimer::singleShot(0, this, [&] { atendido = true; });
        // Nor is Cancel looked at on such a step: the question would abort the test.
        DialogSeam seam;
        currentBarra()->Cancelar->setChecked(true);
        QVERIFY(AvanzarBarra()); // 2 × 0.471: still 0 pixels
        QVERIFY(!atendido);
        QVERIFY(seam.log().isEmpty());
        currentBarra()->Cancelar->setChecked(false);
        QVERIFY(AvanzarBarra()); // 3 × 0.471: the first pixel
        QVERIFY(atendido);
        QCOMPARE(currentBarra()->P1->width(), 1);
    }

    void cancelAsksAndNoGoesOnYesStops()
    {
        DialogSeam seam;
        AbrirBarra("Procesando...", "Desea Cancelar ?", 10);
        QVERIFY(AvanzarBarra());
        currentBarra()->Cancelar->click();
        QVERIFY(currentBarra()->Cancelar->isChecked());
        seam.answer({false});
        QVERIFY(AvanzarBarra());
        QVERIFY(!currentBarra()->Cancelar->isChecked()); // released, and the loop goes on
        QVERIFY(AvanzarBarra());
        currentBarra()->Cancelar->click();
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
        QVERIFY(!currentBarra()->Cancelar->isEnabled());
        currentBarra()->Cancelar->setChecked(true);
        for (int i = 0; i < 5; ++i)
            QVERIFY(AvanzarBarra());
        QVERIFY(seam.log().isEmpty());
    }

    void theQuestionsTimeIsLeftOutOfTheEstimate()
    {
        // The clock reads, in order: the start, step 1, step 2, the question asked, the
        // question answered a minute later, step 3.
        auto lecturas = std::make_shared<std::deque<double>>(
            std::deque<double>{0, 10 * kSegundo, 20 * kSegundo, 20 * kSegundo, 80 * kSegundo, 90 * kSegundo});
        setBarraClock([lecturas] {
            const double t = lecturas->front();
            if (lecturas->size() > 1)
                lecturas->pop_front();
            return t;
        });
        DialogSeam seam;
        AbrirBarra("Procesando...", "Desea Cancelar ?", 4);
        QVERIFY(AvanzarBarra());
        QCOMPARE(currentBarra()->Lab->text(), QString("00:00:30"));
        currentBarra()->Cancelar->click();
        seam.answer({false});
        QVERIFY(AvanzarBarra());
        QCOMPARE(currentBarra()->Lab->text(), QString("00:00:20"));
        QVERIFY(AvanzarBarra());
        // 30 s of work for three steps, not the 90 s on the clock.
        QCOMPARE(currentBarra()->Lab->text(), QString("00:00:10"));
    }

    void aSecondWindowClosesTheFirst()
    {
        AbrirBarra("Uno", QString(), 3);
        QPointer<TFBarra> primera = currentBarra();
        AbrirBarra("Dos", QString(), 3);
        QVERIFY(!primera);
        QCOMPARE(currentBarra()->windowTitle(), QString("Dos"));
        QCOMPARE(barrasAbiertas(), 1);
    }

    void theScaleIsWrittenInTheBarsFrame()
    {
        AbrirBarra("Procesando...", QString(), 2);
        const QImage vacia = currentBarra()->P0->grab().toImage();
        // Silver scale text on black, under where the lime bar will grow.
        bool plata = false;
        for (int x = 0; x < vacia.width(); ++x)
            for (int y = 2; y < 18; ++y)
                plata = plata || vacia.pixelColor(x, y).lightness() > 100;
        QVERIFY(plata);
        QVERIFY(AvanzarBarra());
        QVERIFY(AvanzarBarra());
        const QImage llena = currentBarra()->P0->grab().toImage();
        QCOMPARE(llena.pixelColor(240, 10), QColor(0, 255, 0));
        QCOMPARE(llena.pixelColor(472, 10), QColor(0, 255, 0));
    }
};

QTEST_MAIN(TestBarra)
#include "test_tfbarra.moc"
