// The colour schemes and the text size as numbers: the scheme table, the steps of the colour
// button and the byte arithmetic of the text size.
#include "app/apariencia.h"

#include <QTest>

class TestApariencia : public QObject
{
    Q_OBJECT

private slots:
    void eachSchemeHasItsFourColours_data()
    {
        QTest::addColumn<int>("numero");
        QTest::addColumn<QColor>("panel");
        QTest::addColumn<QColor>("titulo");
        QTest::addColumn<QColor>("datos");
        QTest::addColumn<QColor>("planilla");
        QTest::newRow("1 blue") << 1 << QColor(167, 196, 214) << QColor(53, 90, 113) << QColor(225, 235, 242)
                                << QColor(206, 223, 234);
        QTest::newRow("2 grey") << 2 << QColor(191, 191, 191) << QColor(93, 93, 93) << QColor(228, 228, 228)
                                << QColor(209, 209, 209);
        QTest::newRow("3 sand") << 3 << QColor(215, 193, 162) << QColor(115, 88, 49) << QColor(232, 219, 200)
                                << QColor(221, 202, 174);
        QTest::newRow("4 dark grey") << 4 << QColor(148, 148, 148) << QColor(255, 255, 255)
                                     << QColor(200, 200, 200) << QColor(177, 177, 177);
        QTest::newRow("5 green") << 5 << QColor(169, 199, 187) << QColor(69, 105, 90) << QColor(215, 226, 220)
                                 << QColor(193, 210, 201);
    }
    void eachSchemeHasItsFourColours()
    {
        QFETCH(int, numero);
        QFETCH(QColor, panel);
        QFETCH(QColor, titulo);
        QFETCH(QColor, datos);
        QFETCH(QColor, planilla);
        const auto e = apariencia::esquema(quint8(numero));
        QVERIFY(e);
        QCOMPARE(e->panel, panel);
        QCOMPARE(e->titulo, titulo);
        QCOMPARE(e->datos, datos);
        QCOMPARE(e->planilla, planilla);
        QCOMPARE(ColorPanel(quint8(numero), Qt::magenta), panel);
    }

    void numbersOutsideTheSchemesGiveTheFallback()
    {
        for (const int numero : {0, 6, 7, 128, 255}) {
            QVERIFY(!apariencia::esquema(quint8(numero)));
            QCOMPARE(ColorPanel(quint8(numero), QColor(1, 2, 3)), QColor(1, 2, 3));
        }
    }

    void theColourButtonCyclesThroughTheFiveSchemes()
    {
        // Two steps from the initial 0 give the second scheme, as at start-up.
        QCOMPARE(apariencia::siguienteEsquema(apariencia::siguienteEsquema(0)), quint8(2));
        quint8 e = 2;
        QList<int> vistos;
        for (int i = 0; i < 5; ++i)
            vistos << (e = apariencia::siguienteEsquema(e));
        QCOMPARE(vistos, QList<int>({3, 4, 5, 1, 2}));
        // A number no scheme has goes straight to the first one.
        for (const int fuera : {6, 9, 200, 255})
            QCOMPARE(apariencia::siguienteEsquema(quint8(fuera)), quint8(1));
    }

    void textSizeStepsInBytesAndNeverShowsBelowTen()
    {
        QCOMPARE(apariencia::masLetra(10), quint8(11));
        QCOMPARE(apariencia::masLetra(255), quint8(0));
        QCOMPARE(apariencia::letraAplicable(apariencia::masLetra(255)), quint8(10));
        QCOMPARE(apariencia::menosLetra(11), std::optional<quint8>(10));
        QCOMPARE(apariencia::menosLetra(40), std::optional<quint8>(39));
        for (const int tam : {10, 7, 0})
            QVERIFY(!apariencia::menosLetra(quint8(tam)));
        QCOMPARE(apariencia::letraAplicable(7), quint8(10));
        QCOMPARE(apariencia::letraAplicable(10), quint8(10));
        QCOMPARE(apariencia::letraAplicable(31), quint8(31));
    }
};

QTEST_GUILESS_MAIN(TestApariencia)
#include "test_apariencia.moc"
