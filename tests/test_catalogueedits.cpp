// The catalogue changes that touch many rows: a flower or a symptom deleted with its links, and
// the selection linked to a flower, over the fixture catalogue.
#include "catalogue/catalogue.h"
#include "catalogue/tabledefinitions.h"
#include "faultyfiles.h"
#include "maintenance/catalogueedits.h"
#include "store/error.h"
#include "store/tablefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <functional>

using store::Error;

namespace {

QStringList column(const store::View &v, const QString &field)
{
    QStringList out;
    for (int row = 0; row < v.recordCount(); ++row)
        out << v.valueAt(row, v.fieldNumber(field)).toString();
    return out;
}

// A link written as the tool would have written it, through the table.
void link(Catalogue &c, int flower, int symptom, int order)
{
    store::Table &rel = *c.TRelF.table();
    store::Record r;
    r.values = {flower, symptom, order};
    r.changed = {true, true, true};
    rel.insert(r);
}

void choose(Catalogue &c, std::initializer_list<int> symptoms)
{
    for (const int key : symptoms) {
        c.TRepS.append();
        c.TRepS.setInteger("Clave", key);
        c.TRepS.post();
    }
}

// The pairs of the link file, as (flower, symptom, order).
void sortLinks(QList<QVariantList> &links)
{
    std::sort(links.begin(), links.end(), [](const QVariantList &a, const QVariantList &b) {
        return std::make_pair(a[0].toInt(), a[1].toInt()) < std::make_pair(b[0].toInt(), b[1].toInt());
    });
}

QList<QVariantList> linksInFile(const QString &folder)
{
    TableRows rows = dumpTable(folder, catalogue::relDef());
    sortLinks(rows);
    return rows;
}

QStringList symptomsOfFlowerInFile(const QString &folder, int flower)
{
    QStringList symptoms;
    for (const QVariantList &row : linksInFile(folder))
        if (row[0].toInt() == flower)
            symptoms << row[1].toString();
    return symptoms;
}

QStringList keysInFile(const QString &folder, const store::TableDef &def)
{
    QStringList keys;
    for (const QVariantList &row : dumpTable(folder, def))
        keys << row[0].toString();
    keys.sort();
    return keys;
}

} // namespace

class TestCatalogueEdits : public QObject
{
    Q_OBJECT

    // The three operations over the same rows: the flower Mímulo (2, linked to 4, 5 and 11),
    // the symptom 11 (linked to flowers 2 and 3), the selection 1, 12, 13 linked to Mímulo.
    static void operations()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("flower with its links") << 0;
        QTest::newRow("symptom with its links") << 1;
        QTest::newRow("links of the selection") << 2;
    }
    static void prepare(Catalogue &c)
    {
        if (!c.TFlores.locate("Clave", 2) || !c.TSint.locate("Clave", 11))
            qFatal("the fixture lacks flower 2 or symptom 11");
        choose(c, {1, 12, 13});
    }
    static void run(Catalogue &c, int operation)
    {
        if (operation == 0)
            maintenance::deleteFlowerWithLinks(c);
        else if (operation == 1)
            maintenance::deleteSymptomWithLinks(c);
        else
            maintenance::linkSelectionToFlower(c);
    }

    // The three catalogue tables' rows, links in pair order.
    struct Files
    {
        TableRows flowers, symptoms;
        QList<QVariantList> links;
        bool operator==(const Files &o) const
        {
            return flowers == o.flowers && symptoms == o.symptoms && links == o.links;
        }
        bool operator!=(const Files &o) const { return !(*this == o); }
    };
    static Files filesOf(const QString &folder)
    {
        return {dumpTable(folder, catalogue::floresDef()), dumpTable(folder, catalogue::sintomasDef()),
                linksInFile(folder)};
    }
    // The same, once each table has passed SQLite's integrity check.
    static Files soundFilesOf(const QString &folder)
    {
        for (const store::TableDef &def : {catalogue::floresDef(), catalogue::sintomasDef(), catalogue::relDef()}) {
            store::TableFile file =
                store::TableFile::open(QDir(folder).filePath(def.fileName()), def, store::TableFile::Durability::Full);
            const QStringList problems = file.check(def);
            if (!problems.isEmpty())
                qFatal("%s", qPrintable(problems.join("; ")));
        }
        return filesOf(folder);
    }
    // The files as the whole operation leaves them.
    static Files done(Files files, int operation)
    {
        auto drop = [](auto &rows, auto gone) { rows.erase(std::remove_if(rows.begin(), rows.end(), gone), rows.end()); };
        if (operation == 0) {
            drop(files.flowers, [](const QVariantList &r) { return r[0].toInt() == 2; });
            drop(files.links, [](const QVariantList &r) { return r[0].toInt() == 2; });
        } else if (operation == 1) {
            drop(files.symptoms, [](const QVariantList &r) { return r[0].toInt() == 11; });
            drop(files.links, [](const QVariantList &r) { return r[1].toInt() == 11; });
        } else {
            files.links << QVariantList({2, 1, 1}) << QVariantList({2, 12, 12}) << QVariantList({2, 13, 13});
            sortLinks(files.links);
        }
        return files;
    }

private slots:
    // Every link goes, wherever the cursor stood among them; the cursors of all views follow as
    // after single deletes; the working tables keep the key.
    void deletingAFlowerTakesAllItsLinks()
    {
        WorkingFolder folder;
        {
            Catalogue c;
            c.open();
            link(c, 2, 1, 1);
            link(c, 2, 12, 12);
            choose(c, {4});
            c.TRepF.append();
            c.TRepF.setInteger("Clave", 2);
            c.TRepF.setInteger("Cant", 3);
            c.TRepF.post();
            QVERIFY(c.TSint.locate("Clave", 11)); // linked to flowers 2 and 3
            QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"2", "3"}));
            QCOMPARE(c.TRelS.asInteger("KFlor"), 2);

            QVERIFY(c.TFlores.locate("Clave", 2)); // Mímulo
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"1", "4", "5", "11", "12"}));
            c.TRelF.moveTo(2);
            int countSeen = -1;
            c.TFlores.afterScroll = [&] { countSeen = c.TRelF.recordCount(); };

            maintenance::deleteFlowerWithLinks(c);

            QCOMPARE(c.TFlores.recordCount(), 8);
            QCOMPARE(c.TFlores.asString("Nom1"), QString("Ñandú Azul")); // the flower after it
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"9"}));
            QCOMPARE(countSeen, 1); // the count label sees the flower now shown
            QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"3"}));
            QCOMPARE(c.TRelS.asInteger("KFlor"), 3);
            QCOMPARE(column(c.TRepS, "Clave"), QStringList({"4"}));
            QCOMPARE(column(c.TRepF, "Clave"), QStringList({"2"}));
            QCOMPARE(column(c.TRepF, "Nom1"), QStringList({""})); // its name is gone with it
        }
        QVERIFY(!keysInFile(folder.path(), catalogue::floresDef()).contains("2"));
        QCOMPARE(keysInFile(folder.path(), catalogue::floresDef()).size(), 8);
        QCOMPARE(linksInFile(folder.path()).size(), 15);
        QCOMPARE(symptomsOfFlowerInFile(folder.path(), 2), QStringList());
        QCOMPARE(keysInFile(folder.path(), catalogue::repFlorDef()), QStringList({"2"}));
        QCOMPARE(keysInFile(folder.path(), catalogue::repSintDef()), QStringList({"4"}));
    }

    void deletingASymptomTakesAllItsLinks()
    {
        WorkingFolder folder;
        {
            Catalogue c;
            c.open();
            link(c, 1, 9, 9);
            link(c, 2, 9, 9);
            choose(c, {9});
            QVERIFY(c.TFlores.locate("Clave", 7)); // Rosa Silvestre, linked to 5, 6 and 9
            c.TRelF.moveTo(2);
            QCOMPARE(c.TRelF.asInteger("KSint"), 9);

            QVERIFY(c.TSint.locate("Clave", 9)); // Indecisión entre dos opciones
            QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"1", "2", "7", "9"}));
            c.TRelS.moveTo(1);
            maintenance::deleteSymptomWithLinks(c);

            QCOMPARE(c.TSint.recordCount(), 13);
            QCOMPARE(c.TSint.asString("Nom"), QString("Miedo a cosas conocidas"));
            QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"2", "3"}));
            // The flower's list lost the row under its cursor, which was the last: the one
            // before it is current now.
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"5", "6"}));
            QCOMPARE(c.TRelF.asInteger("KSint"), 6);
            QCOMPARE(column(c.TRepS, "Clave"), QStringList({"9"}));
            QCOMPARE(column(c.TRepS, "Nom"), QStringList({""}));
        }
        QCOMPARE(keysInFile(folder.path(), catalogue::sintomasDef()).size(), 13);
        QVERIFY(!keysInFile(folder.path(), catalogue::sintomasDef()).contains("9"));
        QCOMPARE(linksInFile(folder.path()).size(), 16);
        for (const QVariantList &row : linksInFile(folder.path()))
            QVERIFY(row[1].toInt() != 9);
        QCOMPARE(keysInFile(folder.path(), catalogue::repSintDef()), QStringList({"9"}));
    }

    void anEmptyListOrANewFlowerDeletesNothing()
    {
        WorkingFolder folder;
        {
            Catalogue c;
            c.open();
            c.TSint.setFilterCallback([](store::Slot) { return false; }); // a search that finds nothing
            try {
                maintenance::deleteSymptomWithLinks(c);
                QFAIL("deleted from an empty list");
            } catch (const Error &e) {
                QCOMPARE(e.message(), QString("Cannot perform this operation on an empty dataset"));
            }
            c.TFlores.setFilterText("Tipo=5"); // no flower of that system
            QVERIFY_THROWS_EXCEPTION(Error, maintenance::deleteFlowerWithLinks(c));
            c.TFlores.setFilterText("");

            // A flower still being inserted is abandoned, and its neighbour stays.
            QVERIFY(c.TFlores.locate("Clave", 5)); // Banksia Roja
            c.TFlores.append();
            c.TFlores.setText("Nom1", "Nueva");
            maintenance::deleteFlowerWithLinks(c);
            QCOMPARE(c.TFlores.state(), store::State::Browse);
            QCOMPARE(c.TFlores.recordCount(), 9);
            QCOMPARE(c.TFlores.asString("Nom1"), QString("Banksia Roja"));
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"8"}));
        }
        QCOMPARE(keysInFile(folder.path(), catalogue::floresDef()).size(), 9);
        QCOMPARE(keysInFile(folder.path(), catalogue::sintomasDef()).size(), 14);
        QCOMPARE(linksInFile(folder.path()).size(), 18);
    }

    // A disk that fails at any one write or sync of the operation, each in turn: the operation
    // either fails and nothing of it is in memory or in the files, or it went through whole.
    // The files are sound either way.
    void aFailureHalfWayLeavesAllOrNothing_data() { operations(); }
    void aFailureHalfWayLeavesAllOrNothing()
    {
        QFETCH(int, operation);
        FaultyFiles faults;
        int failures = 0;
        for (int at = 1;; ++at) {
            WorkingFolder folder;
            const Files before = filesOf(folder.path());
            bool failed = false;
            bool injected = false;
            {
                Catalogue c;
                c.open();
                prepare(c);
                const QStringList flowerLinks = column(c.TRelF, "KSint");
                faults.failAt(at);
                try {
                    run(c, operation);
                } catch (const Error &e) {
                    failed = true;
                    QVERIFY2(e.message().startsWith("Error en la tabla ")
                                 && e.message().contains("error de lectura o escritura en el disco"),
                             qPrintable(e.message()));
                }
                injected = faults.hasFailed();
                faults.failAt(0);
                QVERIFY(!failed || injected);
                QCOMPARE(c.TFlores.recordCount(), operation == 0 && !failed ? 8 : 9);
                QCOMPARE(c.TSint.recordCount(), operation == 1 && !failed ? 13 : 14);
                if (failed) {
                    QCOMPARE(c.TFlores.asInteger("Clave"), 2);
                    QCOMPARE(c.TSint.asInteger("Clave"), 11);
                    QCOMPARE(column(c.TRelF, "KSint"), flowerLinks);
                    QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"2", "3"}));
                } else if (operation == 2) {
                    QCOMPARE(column(c.TRelF, "KSint"), QStringList({"1", "4", "5", "11", "12", "13"}));
                }
            }
            const Files after = soundFilesOf(folder.path());
            QCOMPARE(after, failed ? before : done(before, operation));
            if (failed)
                ++failures;
            // Done once the operation wrote everything without meeting the failure.
            if (!injected)
                break;
        }
        // Journals, their syncs and the tables' pages: the operation writes many times over.
        QVERIFY2(failures >= 5, qPrintable(QString::number(failures)));
    }

    // A kill at any moment of the operation, each in turn: the next start finds the tables as
    // they were before it or with all of it, never a part, and sound.
    void aKillAtAnyMomentLeavesBeforeOrAfter_data() { operations(); }
    void aKillAtAnyMomentLeavesBeforeOrAfter()
    {
        QFETCH(int, operation);
        FaultyFiles faults;
        int kills = 0, afterSeen = 0;
        for (int at = 1;; ++at) {
            WorkingFolder folder;
            QTemporaryDir left;
            const Files before = filesOf(folder.path());
            bool killed = false;
            {
                Catalogue c;
                c.open();
                prepare(c);
                faults.copyAt(at, folder.path(), left.path());
                run(c, operation);
                killed = faults.hasCopied();
                faults.copyAt(0, {}, {});
            }
            if (!killed)
                break;
            ++kills;
            // What the kill left is what the next start finds.
            QDir working(folder.path());
            for (const QString &name : folderEntries(folder.path()))
                QVERIFY(working.remove(name));
            for (const QString &name : folderEntries(left.path()))
                QVERIFY(QFile::copy(QDir(left.path()).filePath(name), working.filePath(name)));
            const Files found = soundFilesOf(folder.path());
            if (found != before) {
                QCOMPARE(found, done(before, operation));
                ++afterSeen;
            }
        }
        QVERIFY2(kills >= 5, qPrintable(QString::number(kills)));
        // Over two files the commit is the deletion of the journal that names both; a kill
        // after it, while the tables' own journals are still there, finds the change whole.
        if (operation != 2)
            QVERIFY(afterSeen > 0);
    }

    void linkingTheSelectionSkipsWhatIsLinkedAndCopiesTheOrder()
    {
        WorkingFolder folder;
        {
            Catalogue c;
            c.open();
            QVERIFY(c.TSint.locate("Clave", 12));
            c.TSint.edit();
            c.TSint.setInteger("Orden", 120);
            c.TSint.post();
            QVERIFY(c.TSint.locate("Clave", 3));
            QVERIFY(c.TFlores.locate("Clave", 2)); // linked to 4, 5 and 11

            maintenance::linkSelectionToFlower(c); // nothing chosen: nothing added
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"4", "5", "11"}));

            choose(c, {4, 12, 13});
            maintenance::linkSelectionToFlower(c);
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"4", "5", "11", "12", "13"}));
            QCOMPARE(column(c.TRelF, "OSint"), QStringList({"4", "5", "11", "120", "13"}));
            QCOMPARE(column(c.TRelF, "Sint"),
                     QStringList({"Miedo a cosas conocidas", "Timidez", "Miedo a lo desconocido", "Zumbido en los oídos",
                                  "Ñoñería"}));
            QCOMPARE(c.TRelF.state(), store::State::Browse);
            QCOMPARE(c.TSint.asInteger("Clave"), 3); // the symptom list stays where it was
            QCOMPARE(column(c.TRepS, "Clave"), QStringList({"4", "12", "13"}));
            // The symptoms' side sees the new links too.
            QVERIFY(c.TSint.locate("Clave", 12));
            QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"2"}));
        }
        const QList<QVariantList> links = linksInFile(folder.path());
        QCOMPARE(links.size(), 20);
        QVERIFY(links.contains(QVariantList({2, 12, 120})));
        QVERIFY(links.contains(QVariantList({2, 13, 13})));
    }

    // A selected symptom that cannot be read stops the batch there: the links before it stay.
    void aSymptomWithoutOrderStopsTheBatch_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("deleted after it was chosen") << true;
        QTest::newRow("without an order number") << false;
    }
    void aSymptomWithoutOrderStopsTheBatch()
    {
        QFETCH(bool, deleted);
        WorkingFolder folder;
        {
            Catalogue c;
            c.open();
            choose(c, {5, 6, 7}); // visited in that order, 6 second
            QVERIFY(c.TSint.locate("Clave", 6));
            if (deleted) {
                maintenance::deleteSymptomWithLinks(c);
            } else {
                c.TSint.edit();
                c.TSint.setValue("Orden", QVariant());
                c.TSint.post();
            }
            QVERIFY(c.TFlores.locate("Clave", 4)); // Milenrama, linked to 1 and 10
            try {
                maintenance::linkSelectionToFlower(c);
                QFAIL("the batch went past the symptom");
            } catch (const Error &e) {
                QCOMPARE(e.message(), QString("'' is not a valid integer value"));
            }
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"1", "5", "10"}));
            QCOMPARE(c.TRelF.state(), store::State::Browse);
        }
        QCOMPARE(symptomsOfFlowerInFile(folder.path(), 4), QStringList({"1", "5", "10"}));
    }
};

QTEST_GUILESS_MAIN(TestCatalogueEdits)
#include "test_catalogueedits.moc"
