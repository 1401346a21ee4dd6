// The starter catalogue shipped in catalogue/: it imports cleanly, every flower can be found
// through its symptoms, and a few textbook cases rank the flower a practitioner expects.
#include "catalogue/tabledefinitions.h"
#include "repertory/processing.h"
#include "store/error.h"
#include "store/table.h"
#include "tabletool.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using store::Table;

namespace {

const QString kCatalogo = QStringLiteral(VANTOLIA_TEST_DATA "/../../startercatalogue");

} // namespace

class TestCatalogoInicial : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Table> m_flores, m_sintomas, m_rel;

    std::unique_ptr<Table> open(const store::TableDef &def)
    {
        return std::make_unique<Table>(m_dir.filePath(def.fileName()), def, store::TableFile::Durability::Full);
    }

    qint32 claveDeSintoma(const QString &nombre) const
    {
        const int nom = m_sintomas->fieldIndex(QStringLiteral("Nom"));
        const int clave = m_sintomas->fieldIndex(QStringLiteral("Clave"));
        for (const store::Slot s : m_sintomas->order(0))
            if (m_sintomas->text(s, nom) == nombre)
                return m_sintomas->integer(s, clave);
        return 0;
    }

    QString nombreDeFlor(qint32 clave) const
    {
        const auto slot = m_flores->findPrimary(clave);
        return slot ? m_flores->text(*slot, m_flores->fieldIndex(QStringLiteral("Nom1"))) : QString();
    }

    int enlaces(const char *indice, qint32 clave) const
    {
        const auto [lo, hi] = m_rel->equalRange(m_rel->indexNumber(QString::fromLatin1(indice)), clave);
        return int(hi - lo);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        try {
            tabletool::importCsv(kCatalogo, m_dir.path());
        } catch (const store::Error &e) {
            QFAIL(qPrintable(e.message()));
        }
        m_flores = open(catalogue::floresDef());
        m_sintomas = open(catalogue::sintomasDef());
        m_rel = open(catalogue::relDef());
    }

    void importedTablesPassTheCheck()
    {
        tabletool::RowCounts recuento;
        const QStringList problemas = tabletool::verifyTables(m_dir.path(), &recuento);
        QVERIFY2(problemas.isEmpty(), qPrintable(problemas.join(QLatin1Char('\n'))));
        QVERIFY(recuento.sintomas >= 300);
    }

    void bachSystemIsComplete()
    {
        const int tipo = m_flores->fieldIndex(QStringLiteral("Tipo"));
        int bach = 0;
        for (const store::Slot s : m_flores->order(0))
            bach += m_flores->text(s, tipo) == QLatin1String("1");
        QCOMPARE(bach, 38);
    }

    // A flower without links never shows up in a result; a Bach flower needs its classic
    // indications to compete with the others.
    void everyFlowerAndSymptomIsLinked()
    {
        const int clave = m_flores->fieldIndex(QStringLiteral("Clave"));
        const int tipo = m_flores->fieldIndex(QStringLiteral("Tipo"));
        for (const store::Slot s : m_flores->order(0)) {
            const int n = enlaces("PorFlor", m_flores->integer(s, clave));
            const int minimo = m_flores->text(s, tipo) == QLatin1String("1") ? 8 : 1;
            QVERIFY2(n >= minimo, qPrintable(QStringLiteral("%1: %2 enlaces")
                                                 .arg(nombreDeFlor(m_flores->integer(s, clave)))
                                                 .arg(n)));
        }
        const int sclave = m_sintomas->fieldIndex(QStringLiteral("Clave"));
        const int nom = m_sintomas->fieldIndex(QStringLiteral("Nom"));
        for (const store::Slot s : m_sintomas->order(0))
            QVERIFY2(enlaces("PorSint", m_sintomas->integer(s, sclave)) > 0, qPrintable(m_sintomas->text(s, nom)));
    }

    void classicCases_data()
    {
        QTest::addColumn<QStringList>("sintomas");
        QTest::addColumn<QString>("primera");
        QTest::newRow("known fears and shyness")
            << QStringList{QStringLiteral("Miedo a cosas conocidas"), QStringLiteral("Timidez"),
                           QStringLiteral("Se sonroja con facilidad")}
            << QStringLiteral("Mímulo");
        QTest::newRow("keeps going although exhausted")
            << QStringList{QStringLiteral("Agotamiento tras un esfuerzo prolongado"),
                           QStringLiteral("Sigue luchando a pesar del agotamiento"),
                           QStringLiteral("Sentido del deber excesivo"),
                           QStringLiteral("Nunca se queja aunque esté agotado")}
            << QStringLiteral("Roble");
        QTest::newRow("thoughts that keep one awake")
            << QStringList{QStringLiteral("Pensamientos repetitivos que no cesan"),
                           QStringLiteral("Insomnio por pensamientos que no se detienen"),
                           QStringLiteral("Discusiones mentales consigo mismo")}
            << QStringLiteral("Castaño Blanco");
    }

    // The expected flower comes first, ahead of the next one by at least one symptom.
    void classicCases()
    {
        QFETCH(QStringList, sintomas);
        QFETCH(QString, primera);
        std::vector<qint32> claves;
        for (const QString &nombre : sintomas) {
            const qint32 clave = claveDeSintoma(nombre);
            QVERIFY2(clave > 0, qPrintable(nombre));
            claves.push_back(clave);
        }
        auto cuentas = repertory::countFlowers(*m_rel, claves);
        QVERIFY(cuentas.size() >= 2);
        std::stable_sort(cuentas.begin(), cuentas.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
        QCOMPARE(nombreDeFlor(cuentas[0].first), primera);
        QVERIFY(cuentas[0].second > cuentas[1].second);
    }
};

QTEST_GUILESS_MAIN(TestCatalogoInicial)
#include "test_startercatalogue.moc"
