// The table store: ordering, cursors, filters, master links, derived fields and durability.
#include "catalogue/catalogue.h"
#include "catalogue/tabledefinitions.h"
#include "store/collation.h"
#include "store/error.h"
#include "store/tablefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace store;

namespace {

Record record(const Table &t, std::initializer_list<std::pair<const char *, QVariant>> values)
{
    Record r;
    r.values.assign(std::size_t(t.fieldCount()), QVariant());
    r.changed.assign(std::size_t(t.fieldCount()), true);
    for (const auto &[name, value] : values)
        r.values[std::size_t(t.fieldIndex(QString::fromUtf8(name)))] = value;
    return r;
}

QStringList column(View &v, const QString &field)
{
    QStringList out;
    for (int row = 0; row < v.recordCount(); ++row)
        out << v.valueAt(row, v.fieldNumber(field)).toString();
    return out;
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_previous;

    void createTables()
    {
        for (const TableDef &def : catalogue::allTableDefs())
            TableFile::create(m_dir.filePath(def.fileName()), def);
    }

    // Flowers, symptoms and links written straight to the files, as the companion tool does.
    void fill(const std::vector<std::tuple<int, QString, QString>> &flowers,
              const std::vector<std::pair<int, QString>> &symptoms, const std::vector<std::pair<int, int>> &links)
    {
        {
            Table t(m_dir.filePath("Flores.db"), catalogue::floresDef(), TableFile::Durability::Full);
            std::vector<Record> rows;
            for (const auto &[key, tipo, name] : flowers)
                rows.push_back(record(t, {{"Clave", key}, {"Tipo", tipo}, {"Nom1", name},
                                          {"Nom2", name + " en"}, {"Nom3", name + " sc"}}));
            t.insertMany(rows);
        }
        {
            Table t(m_dir.filePath("Sintomas.db"), catalogue::sintomasDef(), TableFile::Durability::Full);
            std::vector<Record> rows;
            for (const auto &[key, name] : symptoms)
                rows.push_back(record(t, {{"Clave", key}, {"Nom", name}, {"Orden", key}}));
            t.insertMany(rows);
        }
        {
            Table t(m_dir.filePath("Rel.db"), catalogue::relDef(), TableFile::Durability::Full);
            std::vector<Record> rows;
            for (const auto &[flower, symptom] : links)
                rows.push_back(record(t, {{"KFlor", flower}, {"KSint", symptom}, {"OSint", symptom}}));
            t.insertMany(rows);
        }
    }

    void standardCatalogue()
    {
        fill({{1, "1", "Rosa"}, {2, "10", "Ñandú"}, {3, "1", "nube"}, {4, "7", "Álamo"}, {5, "11", "Olivo"},
              {6, "0", "Zarza"}},
             {{1, "Dolor de cabeza"}, {2, "Corazón acelerado"}, {3, "Miedo"}, {4, "Timidez"}},
             {{1, 1}, {1, 2}, {2, 1}, {3, 3}, {4, 1}, {5, 2}});
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &f : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(f));
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanup() { QDir::setCurrent(m_previous); }

    void spanishOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("ñ after n") << "nube" << "ñandú" << -1;
        QTest::newRow("ñ before o") << "ñandú" << "olivo" << -1;
        QTest::newRow("case ignored") << "ROSA" << "rosa" << 0;
        QTest::newRow("accents ignored") << "álamo" << "Alamo" << 0;
        QTest::newRow("prefix first") << "dolor" << "dolor de" << -1;
        QTest::newRow("blank before letters") << "a b" << "ab" << -1;
        QTest::newRow("digits before letters") << "9" << "a" << -1;
    }
    void spanishOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int r = spanishCompare(a, b);
        QCOMPARE(r < 0 ? -1 : (r > 0 ? 1 : 0), sign);
        const QByteArray ka = spanishSortKey(a), kb = spanishSortKey(b);
        QCOMPARE(ka < kb ? -1 : (kb < ka ? 1 : 0), sign);
    }

    void catalogueOpensInOrderAndEmptiesWorkingTables()
    {
        createTables();
        standardCatalogue();
        {
            Table rep(m_dir.filePath("RepSint.db"), catalogue::repSintDef(), TableFile::Durability::Relaxed);
            std::vector<Record> rows{record(rep, {{"Clave", 4}})};
            rep.insertMany(rows);
        }
        Catalogue c;
        c.open();
        QCOMPARE(c.TRepS.recordCount(), 0);
        QCOMPARE(c.TRepF.recordCount(), 0);
        QCOMPARE(column(c.TFlores, "Nom1"), QStringList({"Álamo", "nube", "Ñandú", "Olivo", "Rosa", "Zarza"}));
        QCOMPARE(column(c.TSint, "Nom"),
                 QStringList({"Corazón acelerado", "Dolor de cabeza", "Miedo", "Timidez"}));
    }

    void nearestFollowsTheIndexOrder()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        c.TFlores.findNearest("N");
        QCOMPARE(c.TFlores.asString("Nom1"), QString("nube"));
        c.TFlores.findNearest("ÑA");
        QCOMPARE(c.TFlores.asString("Nom1"), QString("Ñandú"));
        c.TFlores.findNearest("ALA");
        QCOMPARE(c.TFlores.asString("Nom1"), QString("Álamo"));
        c.TFlores.findNearest("");
        QCOMPARE(c.TFlores.currentRow(), 0);
        c.TFlores.findNearest("ZZZ");
        QCOMPARE(c.TFlores.asString("Nom1"), QString("Zarza"));
    }

    void selectionIsKeyedAndOrdered()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        for (int key : {9, 3, 5}) {
            c.TRepS.append();
            c.TRepS.setInteger("Clave", key);
            c.TRepS.post();
        }
        c.TRepS.append();
        c.TRepS.setInteger("Clave", 3);
        try {
            c.TRepS.post();
            QFAIL("a second row for the same key was accepted");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QString("Key violation"));
        }
        c.TRepS.cancel();
        QCOMPARE(column(c.TRepS, "Clave"), QStringList({"3", "5", "9"}));
        // The lookup names known symptoms and leaves a missing one empty.
        QCOMPARE(column(c.TRepS, "Nom"), QStringList({"Miedo", "", ""}));
    }

    void filterExpressionIsExactAndBookmarksFailQuietly()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        QVERIFY(c.TFlores.locate("Clave", 2)); // Ñandú, system 10
        const Bookmark mark = c.TFlores.bookmark();
        c.TFlores.setFilterText("Tipo=1");
        QCOMPARE(column(c.TFlores, "Nom1"), QStringList({"nube", "Rosa"}));
        QVERIFY(!c.TFlores.gotoBookmark(mark));
        QCOMPARE(c.TFlores.currentRow(), 0);
        c.TFlores.setFilterText("");
        QVERIFY(c.TFlores.gotoBookmark(mark));
        QCOMPARE(c.TFlores.asString("Nom1"), QString("Ñandú"));
        QVERIFY_THROWS_EXCEPTION(Error, c.TFlores.setFilterText("Tipo=uno"));
    }

    void derivedFields()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        QVERIFY(c.TFlores.locate("Clave", 4));
        QCOMPARE(c.TFlores.asString("AbrTipo"), QString("O.Eur"));
        QCOMPARE(c.TFlores.asString("Nom"), QString("Álamo"));
        c.setFlowerLanguage(2);
        QCOMPARE(c.TFlores.asString("Nom"), QString("Álamo en"));
        QVERIFY(c.TFlores.locate("Clave", 6));
        QCOMPARE(c.TFlores.asString("AbrTipo"), QString());
        QVERIFY(c.TFlores.locate("Clave", 2));
        QCOMPARE(c.TFlores.asString("AbrTipo"), QString("O.M.P"));

        // Lookups read through the flower view and see only what its filter lets through.
        c.TRelS.setMasterSource(nullptr);
        QVERIFY(c.TRelS.locate("KSint", 1, "KFlor", 2));
        QCOMPARE(c.TRelS.asString("Nom1"), QString("Ñandú"));
        QCOMPARE(c.TRelS.asString("Tipo"), QString("O.M.P"));
        c.TFlores.setFilterText("Tipo=1");
        QCOMPARE(c.TRelS.asString("Nom1"), QString());
    }

    void masterLinkFollowsAndCanBeReplaced()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        int countSeenInCallback = -1;
        c.TSint.afterScroll = [&] { countSeenInCallback = c.TRelS.recordCount(); };
        QVERIFY(c.TSint.locate("Clave", 1));
        QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"1", "2", "4"}));
        QCOMPARE(countSeenInCallback, 3); // the detail had followed before the notification
        QVERIFY(c.TSint.locate("Clave", 4));
        QCOMPARE(c.TRelS.recordCount(), 0);

        c.TRepS.append();
        c.TRepS.setInteger("Clave", 2);
        c.TRepS.post();
        c.TRelS.setMasterSource(&c.SRepS);
        QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"1", "5"}));
        c.TRelS.setMasterSource(nullptr);
        QCOMPARE(c.TRelS.recordCount(), 6);
        QVERIFY(c.TRelS.locate("KSint", 3, "KFlor", 3));
        QVERIFY(!c.TRelS.locate("KSint", 3, "KFlor", 1));
    }

    void viewsOnOneTableSeeEachOther()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        QVERIFY(c.TFlores.locate("Clave", 3));
        QCOMPARE(c.TRelF.recordCount(), 1);
        c.TRelF.append();
        c.TRelF.setInteger("KFlor", 3);
        c.TRelF.setInteger("KSint", 1);
        c.TRelF.setInteger("OSint", 1);
        c.TRelF.post();
        QCOMPARE(c.TRelF.recordCount(), 2);
        QVERIFY(c.TSint.locate("Clave", 1));
        QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"1", "2", "3", "4"}));

        // Deleting with the cursor anywhere walks every link away.
        c.TRelF.moveTo(c.TRelF.recordCount() - 1);
        while (!c.TRelF.eof())
            c.TRelF.remove();
        QCOMPARE(c.TRelF.recordCount(), 0);
        QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"1", "2", "4"}));
        try {
            c.TRelF.remove();
            QFAIL("deleting from an empty view succeeded");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QString("Cannot perform this operation on an empty dataset"));
        }
    }

    void changesAreDurableAndMovesPostThem()
    {
        createTables();
        standardCatalogue();
        {
            Catalogue c;
            c.open();
            c.TSint.append();
            c.TSint.setText("Nom", "Apatía");
            c.TSint.first(); // a move stores the new row
            QCOMPARE(c.TSint.asString("Nom"), QString("Apatía"));
            QCOMPARE(c.TSint.recordCount(), 5);
            c.TSint.append(); // left without typing: dropped
            c.TSint.first();
            QCOMPARE(c.TSint.recordCount(), 5);
            QVERIFY(c.TSint.locate("Nom", "Timidez"));
            c.TSint.edit();
            c.TSint.setText("Nom", "Timidez extrema");
            c.TSint.post();
            QCOMPARE(c.TSint.asString("Nom"), QString("Timidez extrema")); // the cursor stays on it
            c.TSint.edit();
            c.TSint.setText("Nom", QString(61, 'x'));
            QVERIFY_THROWS_EXCEPTION(Error, c.TSint.post()); // longer than the field
            c.TSint.cancel();
        }
        Table t(m_dir.filePath("Sintomas.db"), catalogue::sintomasDef(), TableFile::Durability::Full);
        QStringList names;
        for (Slot s : t.order(1))
            names << t.text(s, 1);
        QCOMPARE(names, QStringList({"Apatía", "Corazón acelerado", "Dolor de cabeza", "Miedo", "Timidez extrema"}));
        QCOMPARE(*t.findPrimary(5), Slot(4)); // the new key follows the largest one
    }

    void photoBytesSurviveEditsOfOtherFields()
    {
        createTables();
        standardCatalogue();
        QByteArray photo("\x89PNG\r\n\x1a\n", 8);
        photo.append('\0').append(QByteArray(3000, '\xff')).append("end");
        {
            Catalogue c;
            c.open();
            QVERIFY(c.TFlores.locate("Clave", 1));
            QVERIFY(c.TFlores.asBytes("Foto").isEmpty());
            c.TFlores.edit();
            c.TFlores.setValue("Foto", photo);
            QCOMPARE(c.TFlores.asBytes("Foto"), photo); // what is pending shows at once
            c.TFlores.post();
            QCOMPARE(c.TFlores.asBytes("Foto"), photo);

            // Editing the names leaves the picture as it is, while editing and once posted.
            c.TFlores.edit();
            c.TFlores.setText("Nom1", "Rosa blanca");
            QCOMPARE(c.TFlores.asBytes("Foto"), photo);
            c.TFlores.post();
            QCOMPARE(c.TFlores.asBytes("Foto"), photo);

            // A new flower starts without one.
            c.TFlores.append();
            QVERIFY(c.TFlores.asBytes("Foto").isEmpty());
            c.TFlores.cancel();

            QVERIFY(c.TFlores.locate("Clave", 2));
            c.TFlores.edit();
            c.TFlores.setValue("Foto", photo);
            c.TFlores.post();
            c.TFlores.edit();
            c.TFlores.setValue("Foto", QVariant());
            c.TFlores.post();
            QVERIFY(c.TFlores.isNull("Foto"));
            QVERIFY(c.TFlores.asBytes("Foto").isEmpty());
        }
        Table t(m_dir.filePath("Flores.db"), catalogue::floresDef(), TableFile::Durability::Full);
        const int foto = t.fieldIndex("Foto");
        QCOMPARE(t.blob(*t.findPrimary(1), foto), photo);
        QCOMPARE(t.text(*t.findPrimary(1), t.fieldIndex("Nom1")), QString("Rosa blanca"));
        QVERIFY(t.isNull(*t.findPrimary(2), foto));
    }

    // The order number rule of the symptoms, run after every post.
    void afterPostRunsOnceARowIsStored()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        int posts = 0;
        c.TSint.afterPost = [&] {
            ++posts;
            if (c.TSint.isNull("Orden")) {
                c.TSint.edit();
                c.TSint.setInteger("Orden", c.TSint.asInteger("Clave"));
                c.TSint.post();
            }
        };
        c.TSint.append();
        c.TSint.setText("Nom", "Apatía");
        c.TSint.post();
        QCOMPARE(posts, 2); // the rule's own post runs it again, and it stops there
        QCOMPARE(c.TSint.asString("Nom"), QString("Apatía"));
        QCOMPARE(c.TSint.asInteger("Orden"), 5);
        QCOMPARE(c.TSint.state(), State::Browse);

        // A row stored by a move gets it as well.
        c.TSint.append();
        c.TSint.setText("Nom", "Vértigo");
        c.TSint.first();
        QCOMPARE(posts, 4);
        QVERIFY(c.TSint.locate("Nom", "Vértigo"));
        QCOMPARE(c.TSint.asInteger("Orden"), 6);

        // Renaming keeps the number.
        QVERIFY(c.TSint.locate("Clave", 4));
        c.TSint.edit();
        c.TSint.setText("Nom", "Timidez extrema");
        c.TSint.post();
        QCOMPARE(posts, 5);
        QCOMPARE(c.TSint.asInteger("Orden"), 4);

        // Nothing runs for a post that fails, or for a row left without a change.
        c.TSint.append();
        c.TSint.setText("Nom", QString(61, 'x'));
        QVERIFY_THROWS_EXCEPTION(Error, c.TSint.post());
        QCOMPARE(c.TSint.state(), State::Insert);
        c.TSint.cancel();
        c.TSint.edit();
        c.TSint.next();
        QCOMPARE(posts, 5);
        QCOMPARE(c.TSint.recordCount(), 6);
    }

    // Bound editors: auto-edit decides whether typing may change the row, and what they hold
    // is handed over before the row is stored or dropped.
    void boundEditorsChangeRowsThroughTheirSource()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        QString typed;
        int asked = 0;
        connect(&c.SSint, &DataSource::updateRecordRequested, this, [&] {
            ++asked;
            if (!typed.isEmpty())
                c.TSint.setText("Nom", typed);
        });

        // Typed into a new row but not handed over yet: a move stores it all the same.
        c.TSint.append();
        typed = "Apatía";
        c.TSint.first();
        QCOMPARE(c.TSint.recordCount(), 5);
        QVERIFY(c.TSint.locate("Nom", "Apatía"));
        QCOMPARE(c.TSint.state(), State::Browse);

        typed = "Timidez extrema";
        QVERIFY(c.TSint.locate("Clave", 4));
        const int before = asked;
        c.TSint.post(); // browsing: nothing to hand over
        QCOMPARE(asked, before);
        c.TSint.edit();
        c.TSint.post();
        QCOMPARE(c.TSint.asString("Nom"), QString("Timidez extrema"));

        QVERIFY(c.TFlores.locate("Clave", 3));
        c.SFlores.setAutoEdit(false);
        QVERIFY(!c.SFlores.edit());
        QCOMPARE(c.TFlores.state(), State::Browse);
        c.TFlores.append();
        QVERIFY(c.SFlores.edit()); // a row being inserted takes changes anyway
        QCOMPARE(c.TFlores.state(), State::Insert);
        c.TFlores.cancel();
        c.SFlores.setAutoEdit(true);
        QVERIFY(c.SFlores.edit());
        QCOMPARE(c.TFlores.state(), State::Edit);
        QCOMPARE(c.TFlores.asString("Nom1"), QString("nube"));
        c.TFlores.cancel();
        c.TFlores.setFilterText("Tipo=5"); // no flower of that system
        QVERIFY(!c.SFlores.edit());
        QCOMPARE(c.TFlores.state(), State::Browse);
    }

    void workingTablesAreWrittenBehind()
    {
        createTables();
        {
            Catalogue c;
            c.open();
            for (int key : {4, 2}) {
                c.TRepS.append();
                c.TRepS.setInteger("Clave", key);
                c.TRepS.post();
            }
            store::Table *rep = c.TRepS.table();
            QVERIFY(rep->writesBehind());
            QVERIFY(!c.TFlores.table()->writesBehind());
            QVERIFY(rep->hasPendingWrites());
            QTRY_VERIFY(!rep->hasPendingWrites()); // written once the application is idle
            c.TRepS.remove();
            QVERIFY(rep->hasPendingWrites()); // and what is left goes when the tables close
        }
        Table t(m_dir.filePath("RepSint.db"), catalogue::repSintDef(), TableFile::Durability::Relaxed);
        QStringList keys;
        for (Slot s : t.order(0))
            keys << QString::number(t.integer(s, 0));
        QCOMPARE(keys, QStringList({"4"}));
    }

    void countIndexPutsHighestFirst()
    {
        createTables();
        Catalogue c;
        c.open();
        for (auto [key, cant] : {std::pair{4, 1}, {2, 3}, {9, 1}, {1, 3}}) {
            c.TRepF.append();
            c.TRepF.setInteger("Clave", key);
            c.TRepF.setInteger("Cant", cant);
            c.TRepF.post();
        }
        c.TRepF.setIndexName("PorCant");
        QCOMPARE(column(c.TRepF, "Clave"), QStringList({"1", "2", "4", "9"}));
        QVERIFY(c.TRepF.findKey(9) == false); // key search needs the primary key
        c.TRepF.setIndexName("");
        QVERIFY(c.TRepF.findKey(9));
        c.TRepF.edit();
        QVERIFY_THROWS_EXCEPTION(Error, c.TRepF.setInteger("Cant", 40000));
    }

    void campoPorClaveLeavesTheViewAsItWas()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        QVERIFY(c.TSint.locate("Clave", 3));
        QCOMPARE(CampoPorClave(c.TSint, 1, "Orden"), QString("1"));
        QCOMPARE(c.TSint.asInteger("Clave"), 3);
        QCOMPARE(CampoPorClave(c.TSint, 77, "Orden"), QString());
        c.TSint.close();
        QCOMPARE(CampoPorClave(c.TSint, 2, "Nom"), QString("Corazón acelerado"));
        QVERIFY(!c.TSint.isOpen());
    }

    void foreignOrMissingFilesAreRefusedUntouched()
    {
        createTables();
        QFile::remove(m_dir.filePath("Flores.db"));
        Catalogue c;
        try {
            c.open();
            QFAIL("opened without Flores.db");
        } catch (const Error &e) {
            QVERIFY2(e.message().contains("Flores.db"), qPrintable(e.message()));
        }
        // A table file of another program's format.
        QFile foreign(m_dir.filePath("Flores.db"));
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        QByteArray bytes(2048, '\0');
        bytes.replace(0, 6, "\x00\x08\x00\x00\x00\x08");
        foreign.write(bytes);
        foreign.close();
        const QByteArray before = fileHash(foreign.fileName());
        Catalogue d;
        try {
            d.open();
            QFAIL("opened a foreign file");
        } catch (const Error &e) {
            QVERIFY2(e.message().contains("Flores.db"), qPrintable(e.message()));
        }
        QCOMPARE(fileHash(foreign.fileName()), before);
        QVERIFY(!QFile::exists(m_dir.filePath("Flores.db-journal")));
    }

    void controlsSuspendedHoldBackDetails()
    {
        createTables();
        standardCatalogue();
        Catalogue c;
        c.open();
        QVERIFY(c.TSint.locate("Clave", 3));
        int moves = 0;
        connect(&c.SSint, &DataSource::currentChanged, this, [&] { ++moves; });
        c.TSint.disableControls();
        c.TSint.first();
        c.TSint.next();
        QCOMPARE(moves, 0);
        QCOMPARE(column(c.TRelS, "KFlor"), QStringList({"3"})); // still the symptom before
        c.TSint.enableControls();
        QCOMPARE(moves, 1);
        QCOMPARE(c.TRelS.recordCount(), c.TSint.asInteger("Clave") == 1 ? 3 : 2);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
