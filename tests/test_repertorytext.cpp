// The repertory as text: headings, underlines, line ends and the flower lines.
#include "repertory/repertorytext.h"

#include <QTest>

using repertory::ExportedFlower;

Q_DECLARE_METATYPE(std::vector<ExportedFlower>)

class TestRepertoryText : public QObject
{
    Q_OBJECT

private slots:
    void text_data()
    {
        QTest::addColumn<QStringList>("symptoms");
        QTest::addColumn<std::vector<ExportedFlower>>("flowers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two and two")
            << QStringList{"Timidez", "Miedo a lo desconocido"}
            << std::vector<ExportedFlower>{{2, "Austr", "Banksia Roja"}, {1, "Calif", "Milenrama"}}
            << QString("2 Síntomas:\r\n-----------\r\n- Timidez\r\n- Miedo a lo desconocido\r\n \r\n"
                       "2 Plantas:\r\n----------\r\n(2) [Austr] Banksia Roja\r\n(1) [Calif] Milenrama\r\n");
        QTest::newRow("nothing at all") << QStringList{} << std::vector<ExportedFlower>{}
                                        << QString("0 Síntomas:\r\n-----------\r\n \r\n0 Plantas:\r\n----------\r\n");
        // A flower gone from the catalogue has neither abbreviation nor name. Texts are copied
        // as they are, never read as a format.
        QTest::newRow("empty fields, percent signs")
            << QStringList{"50% de %1"} << std::vector<ExportedFlower>{{105, "", ""}, {1, "%2", "%3 y %1"}}
            << QString("1 Síntomas:\r\n-----------\r\n- 50% de %1\r\n \r\n2 Plantas:\r\n----------\r\n"
                       "(105) [] \r\n(1) [%2] %3 y %1\r\n");
    }
    void text()
    {
        QFETCH(QStringList, symptoms);
        QFETCH(std::vector<ExportedFlower>, flowers);
        QFETCH(QString, expected);
        QCOMPARE(repertory::repertoryText(symptoms, flowers), expected);
    }
};

QTEST_GUILESS_MAIN(TestRepertoryText)
#include "test_repertorytext.moc"
