// The table store: ordering, cursors, filters, master links, derived fields and durability.
#include "catalogue/catalogue.h"
#include "catalogue/tabledefinitions.h"
#include "faultyfiles.h"
#include "paradoxtable.h"
#include "paradoxwriter.h"
#include "store/batch.h"
#include "store/collation.h"
#include "store/error.h"
#include "store/reasons.h"
#include "store/tablefile.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <map>
#include <set>

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

// Every file of a folder whose name starts so, with its bytes.
std::map<QString, QByteArray> filesStartingWith(const QString &folder, const QString &prefix)
{
    std::map<QString, QByteArray> files;
    for (const QString &name : folderEntries(folder))
        if (name.startsWith(prefix))
            files[name] = readFile(QDir(folder).filePath(name));
    return files;
}

void sql(sqlite3 *db, const char *statement)
{
    char *error = nullptr;
    if (sqlite3_exec(db, statement, nullptr, nullptr, &error) != SQLITE_OK)
        qFatal("%s: %s", statement, error);
}

// Copies the files of a database while a connection still has them open, as a crash would
// leave them.
void copyAsLeft(const QString &from, const QString &to, const QStringList &suffixes)
{
    for (const QString &suffix : suffixes) {
        QFile::remove(to + suffix);
        if (QFile::exists(from + suffix) && !QFile::copy(from + suffix, to + suffix))
            qFatal("cannot copy %s", qPrintable(from + suffix));
    }
}

// Another program's database at `path`, left as a crash leaves it: with a hot rollback journal,
// or with changes still in its write-ahead log.
void foreignDatabase(const QString &path, bool writeAhead)
{
    QTemporaryDir scratch;
    const QString made = scratch.filePath("otra.db");
    sqlite3 *db = nullptr;
    sqlite3_open(made.toUtf8().constData(), &db);
    sql(db, writeAhead ? "PRAGMA journal_mode = WAL" : "PRAGMA journal_mode = DELETE");
    sql(db, "PRAGMA wal_autocheckpoint = 0");
    sql(db, "CREATE TABLE t(x)");
    sql(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
            "INSERT INTO t SELECT randomblob(900) FROM n");
    if (writeAhead) {
        sql(db, "UPDATE t SET x = randomblob(900) WHERE rowid % 2 = 0");
    } else {
        // A small cache spills the changed pages into the file before the commit.
        sql(db, "PRAGMA cache_size = 2");
        sql(db, "BEGIN");
        sql(db, "UPDATE t SET x = randomblob(900)");
    }
    copyAsLeft(made, path, {"", "-journal", "-wal", "-shm"});
    sqlite3_close(db);
}

// Whether SQLite, opening the files as they are, would change them: proof that a test of
// leaving them alone tests something.
bool sqliteWouldChange(const QString &path)
{
    QTemporaryDir scratch;
    const QString copy = scratch.filePath("copia.db");
    copyAsLeft(path, copy, {"", "-journal", "-wal", "-shm"});
    const auto before = filesStartingWith(scratch.path(), "copia.db");
    sqlite3 *db = nullptr;
    sqlite3_open(copy.toUtf8().constData(), &db);
    sql(db, "SELECT count(*) FROM t");
    sqlite3_close(db);
    return filesStartingWith(scratch.path(), "copia.db") != before;
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_previous;

    // Flower 1 and its links go in one batch, led by the links' table.
    static void removeFlowerOneWithItsLinks(Catalogue &c)
    {
        if (!c.TFlores.locate("Clave", 1))
            QFAIL("no flower 1");
        Table &rel = *c.TRelF.table();
        Batch batch;
        batch.remove(rel, rel.rowsWhere(rel.fieldIndex("KFlor"), 1));
        c.TFlores.remove(batch);
    }

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

    // Rows come and go in batches and one by one; every index must stay what a full sort of
    // the rows gives, its packed keys and its table of key positions with it, and a table read
    // afresh from the file must agree.
    void indexesStayInOrderThroughMergesAndCompaction()
    {
        createTables();
        QRandomGenerator random(7);
        const TableDef def = catalogue::relDef();
        auto linkRecord = [](const Table &t, int flower, int symptom) {
            return record(t, {{"KFlor", flower}, {"KSint", symptom}, {"OSint", symptom * 3}});
        };
        std::set<std::pair<int, int>> present;
        auto newLinks = [&](const Table &t, int n) {
            std::vector<Record> rows;
            while (int(rows.size()) < n) {
                const int flower = int(random.bounded(1, 61)), symptom = int(random.bounded(1, 401));
                if (present.insert({flower, symptom}).second)
                    rows.push_back(linkRecord(t, flower, symptom));
            }
            return rows;
        };
        auto checkIndexes = [&](const Table &t, const char *step) {
            std::vector<Slot> live;
            for (Slot s = 0; s < t.slotCount(); ++s)
                if (t.isAlive(s))
                    live.push_back(s);
            QCOMPARE(live.size(), present.size());
            for (int i = 0; i < t.indexCount(); ++i) {
                std::vector<Slot> expected = live;
                std::sort(expected.begin(), expected.end(), [&](Slot a, Slot b) { return t.compare(i, a, b) < 0; });
                QVERIFY2(t.order(i) == expected, step);
                if (const auto *packed = t.packedKeys(i)) {
                    QCOMPARE(packed->size(), expected.size());
                    const int lead = t.fieldIndex(t.indexDef(i).fields[0].name);
                    const int second = t.fieldIndex(t.indexDef(i).fields[1].name);
                    for (std::size_t p = 0; p < expected.size(); ++p) {
                        QCOMPARE(qint32(quint32((*packed)[p] >> 32) ^ 0x80000000u), t.integer(expected[p], lead));
                        QCOMPARE(Table::packedSecond((*packed)[p]), t.integer(expected[p], second));
                    }
                }
                if (i == 0)
                    continue;
                // Key ranges, the ends and keys with no rows included.
                const int lead = t.fieldIndex(t.indexDef(i).fields[0].name);
                for (int key : {0, 1, 2, 30, 59, 60, 61, 200, 399, 400, 401}) {
                    const auto [lo, hi] = t.equalRange(i, key);
                    const auto n = std::count_if(live.begin(), live.end(), [&](Slot s) { return t.integer(s, lead) == key; });
                    QVERIFY2(hi - lo == std::size_t(n), qPrintable(QStringLiteral("%1, key %2").arg(step).arg(key)));
                    for (std::size_t p = lo; p < hi; ++p)
                        QCOMPARE(t.integer(t.order(i)[p], lead), key);
                }
            }
        };
        auto pairsInOrder = [](const Table &t, int index) {
            std::vector<std::pair<int, int>> pairs;
            for (const Slot s : t.order(index))
                pairs.emplace_back(t.integer(s, 0), t.integer(s, 1));
            return pairs;
        };

        std::vector<std::vector<std::pair<int, int>>> orders;
        {
            Table rel(m_dir.filePath("Rel.db"), def, TableFile::Durability::Full);
            std::vector<Record> first = newLinks(rel, 3000);
            rel.insertMany(first);
            checkIndexes(rel, "first fill");
            for (int round = 0; round < 12; ++round) {
                const int k = round % 3 == 0 ? 1 : int(random.bounded(2, 400));
                if (round % 2 == 0) {
                    std::vector<Record> more = newLinks(rel, k);
                    if (k == 1)
                        rel.insert(more.front());
                    else
                        rel.insertMany(more);
                } else {
                    std::vector<Slot> live;
                    for (Slot s = 0; s < rel.slotCount(); ++s)
                        if (rel.isAlive(s))
                            live.push_back(s);
                    std::vector<Slot> gone;
                    for (int j = 0; j < k; ++j)
                        gone.push_back(live[random.bounded(quint32(live.size()))]);
                    for (const Slot s : gone)
                        present.erase({rel.integer(s, 0), rel.integer(s, 1)});
                    if (k == 1) {
                        rel.remove(gone.front());
                    } else {
                        Batch batch;
                        batch.remove(rel, gone); // a row named twice goes once
                        batch.commit();
                    }
                }
                checkIndexes(rel, qPrintable(QStringLiteral("round %1 (%2 rows)").arg(round).arg(k)));
            }
            for (int i = 0; i < rel.indexCount(); ++i)
                orders.push_back(pairsInOrder(rel, i));
        }
        Table reread(m_dir.filePath("Rel.db"), def, TableFile::Durability::Full);
        for (int i = 1; i < reread.indexCount(); ++i)
            QVERIFY(pairsInOrder(reread, i) == orders[std::size_t(i)]);
    }

    // A flower and its links leave together or not at all, whichever of the two files refuses.
    void aBatchOverTwoFilesIsOneTransaction_data()
    {
        QTest::addColumn<QString>("readOnly");
        QTest::newRow("the links' file, written first") << "Rel.db";
        QTest::newRow("the flowers' file, written after the links") << "Flores.db";
    }
    void aBatchOverTwoFilesIsOneTransaction()
    {
        QFETCH(QString, readOnly);
        createTables();
        standardCatalogue();
        const TableRows flowers = dumpTable(m_dir.path(), catalogue::floresDef());
        const TableRows links = dumpTable(m_dir.path(), catalogue::relDef());
        {
            FaultyFiles faults;
            faults.openReadOnly(readOnly);
            Catalogue c;
            c.open();
            QVERIFY(c.TFlores.locate("Clave", 1));
            QCOMPARE(c.TRelF.recordCount(), 2);
            Table &rel = *c.TRelF.table();
            Batch batch;
            batch.remove(rel, rel.rowsWhere(rel.fieldIndex("KFlor"), 1));
            try {
                c.TFlores.remove(batch);
                QFAIL("a read-only file took the change");
            } catch (const Error &e) {
                QCOMPARE(e.message(), QStringLiteral("Error en la tabla %1: la tabla es de solo lectura").arg(readOnly));
            }
            QCOMPARE(c.TFlores.recordCount(), 6);
            QCOMPARE(c.TFlores.asInteger("Clave"), 1);
            QCOMPARE(column(c.TRelF, "KSint"), QStringList({"1", "2"}));
            c.TRelS.setMasterSource(nullptr);
            QCOMPARE(c.TRelS.recordCount(), 6);
        }
        QCOMPARE(dumpTable(m_dir.path(), catalogue::floresDef()), flowers);
        QCOMPARE(dumpTable(m_dir.path(), catalogue::relDef()), links);

        // Writable, it goes through, and nothing of the transaction is left beside the tables.
        {
            Catalogue c;
            c.open();
            removeFlowerOneWithItsLinks(c);
            QCOMPARE(c.TFlores.recordCount(), 5);
            QCOMPARE(c.TFlores.asString("Nom1"), QString("Zarza")); // the flower after it
            QCOMPARE(c.TRelF.recordCount(), 0);
        }
        QCOMPARE(dumpTable(m_dir.path(), catalogue::floresDef()).size(), 5);
        QCOMPARE(dumpTable(m_dir.path(), catalogue::relDef()).size(), 4);
        for (const QString &name : folderEntries(m_dir.path()))
            QVERIFY2(name.endsWith(".db"), qPrintable(name));
    }

    // A kill while a batch over two files commits may leave SQLite's list of their journals,
    // which SQLite itself never removes once no journal points to it. The next batch led by the
    // same file removes it; a list with a journal that could still be played back stays for
    // SQLite, and so does anything not named as SQLite names its lists.
    void aBatchRemovesTheJournalListsAKillLeft()
    {
        createTables();
        standardCatalogue();
        const QString journals = m_dir.filePath("Rel.db-journal") + QChar(0) + m_dir.filePath("Flores.db-journal") + QChar(0);
        writeFile(m_dir.filePath("Rel.db-mj3924FB98C"), journals.toUtf8());
        writeFile(m_dir.filePath("Rel.db-mjA75EF595B"), journals.toUtf8());
        // Another program's journal that still holds a transaction to play back.
        writeFile(m_dir.filePath("Otra.db-journal"), QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8) + QByteArray(504, '\0'));
        writeFile(m_dir.filePath("Rel.db-mj1234569CD"), (m_dir.filePath("Otra.db-journal") + QChar(0)).toUtf8());
        writeFile(m_dir.filePath("Rel.db-mj12345"), "no es de SQLite");
        writeFile(m_dir.filePath("Flores.db-mj3924FB98C"), journals.toUtf8());
        {
            Catalogue c;
            c.open();
            removeFlowerOneWithItsLinks(c);
        }
        QStringList left;
        for (const QString &name : folderEntries(m_dir.path()))
            if (name.contains("-mj"))
                left << name;
        left.sort();
        // The flowers' list is another leader's, cleared when that file leads a batch.
        QCOMPARE(left, QStringList({"Flores.db-mj3924FB98C", "Rel.db-mj12345", "Rel.db-mj1234569CD"}));
    }

    // A number that does not fit its field, or a key that is not positive, is refused when the
    // table opens: cut down, it would name another row.
    void outOfRangeNumbersAreRefusedAtOpen_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("symptom key above 2^31-1")
            << "Sintomas.db" << "UPDATE Sintomas SET Clave = 2147483648 WHERE Clave = 4"
            << "La tabla Sintomas.db no se puede abrir: el campo Clave de una fila tiene el valor 2147483648, fuera del "
               "intervalo de 1 a 2147483647";
        QTest::newRow("flower key 0 in a link")
            << "Rel.db" << "UPDATE Rel SET KFlor = 0 WHERE KFlor = 5"
            << "La tabla Rel.db no se puede abrir: el campo KFlor de una fila tiene el valor 0, fuera del intervalo de 1 "
               "a 2147483647";
        QTest::newRow("negative key in the selection")
            << "RepSint.db" << "INSERT INTO RepSint VALUES (-1)"
            << "La tabla RepSint.db no se puede abrir: el campo Clave de una fila tiene el valor -1, fuera del intervalo "
               "de 1 a 2147483647";
        QTest::newRow("order that 32 bits would cut to 1")
            << "Sintomas.db" << "UPDATE Sintomas SET Orden = 4294967297 WHERE Clave = 2"
            << "La tabla Sintomas.db no se puede abrir: el campo Orden de una fila tiene el valor 4294967297, fuera del "
               "intervalo de -2147483648 a 2147483647";
        QTest::newRow("order that is a text")
            << "Sintomas.db" << "UPDATE Sintomas SET Orden = '7x' WHERE Clave = 2"
            << "La tabla Sintomas.db no se puede abrir: el campo Orden de una fila tiene el valor '7x', que no es un "
               "número entero";
    }
    void outOfRangeNumbersAreRefusedAtOpen()
    {
        QFETCH(QString, file);
        QFETCH(QString, change);
        QFETCH(QString, expected);
        createTables();
        standardCatalogue();
        for (const TableDef &def : catalogue::allTableDefs())
            if (def.fileName() == file) {
                TableFile f = TableFile::open(m_dir.filePath(file), def, TableFile::Durability::Full);
                f.exec("PRAGMA ignore_check_constraints = ON");
                f.exec(change);
            }
        const QByteArray before = fileHash(m_dir.filePath(file));
        Catalogue c;
        try {
            c.open();
            QFAIL("the table opened");
        } catch (const Error &e) {
            QCOMPARE(e.message(), expected);
        }
        QCOMPARE(fileHash(m_dir.filePath(file)), before);
        // A key written by the program is held to the same range.
        if (file == "Sintomas.db") {
            Table rep(m_dir.filePath("RepSint.db"), catalogue::repSintDef(), TableFile::Durability::Relaxed);
            Record zero = record(rep, {{"Clave", 0}});
            QVERIFY_THROWS_EXCEPTION(Error, rep.insert(zero));
        }
    }

    // SQLite would roll back another program's hot journal, or take in its write-ahead log,
    // on opening its file: the header is read first, and such a file is left as it was.
    void foreignDatabasesAreLeftByteForByte_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("another program's, with a hot journal") << 0;
        QTest::newRow("another program's, with a write-ahead log") << 1;
        QTest::newRow("ours, turned to write-ahead mode") << 2;
        QTest::newRow("ours, with a log of another program's beside it") << 3;
    }
    void foreignDatabasesAreLeftByteForByte()
    {
        QFETCH(int, kind);
        createTables();
        standardCatalogue();
        const QString path = m_dir.filePath("Flores.db");
        QString expected = "el archivo no lleva la marca de las tablas del programa";
        if (kind == 2) {
            sqlite3 *db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            sql(db, "PRAGMA journal_mode = WAL");
            sqlite3_close(db);
            expected = "el archivo está en modo WAL, que el programa no usa";
        } else if (kind == 3) {
            QTemporaryDir scratch;
            foreignDatabase(scratch.filePath("otra.db"), true);
            QVERIFY(QFile::copy(scratch.filePath("otra.db-wal"), path + "-wal"));
            expected = "junto a ella hay un archivo Flores.db-wal que el programa no escribe";
        } else {
            foreignDatabase(path, kind == 1);
            QVERIFY(sqliteWouldChange(path));
        }
        const auto before = filesStartingWith(m_dir.path(), "Flores.db");
        QCOMPARE(before.size(), std::size_t(kind == 0 || kind == 3 ? 2 : kind == 1 ? 3 : 1));
        Catalogue c;
        try {
            c.open();
            QFAIL("another program's file opened");
        } catch (const Error &e) {
            QCOMPARE(e.message(), "La tabla Flores.db no es una tabla de Vantolia: " + expected);
        }
        QVERIFY(tabletool::verifyTables(m_dir.path()).contains("La tabla Flores.db no es una tabla de Vantolia: " + expected));
        QVERIFY(filesStartingWith(m_dir.path(), "Flores.db") == before);
    }

    // Old tables in the working folder: the message says how to bring them over, with the
    // command filled in, and the files are not touched.
    void paradoxTablesAreNamedWithTheCommandToBringThemOver()
    {
        createTables();
        standardCatalogue();
        const QString path = m_dir.filePath("Flores.db");
        const QString suggested = m_dir.path() + "-nueva";
        auto writeOld = [&](const QByteArray &password) {
            QFile::remove(path);
            tabletool::ParadoxWriterOptions options;
            options.password = password;
            tabletool::ParadoxTableWriter w(path,
                                            {{"Clave", tabletool::paradoxtype::kAutoIncrement, 4},
                                             {"Nom1", tabletool::paradoxtype::kAlpha, 25}},
                                            options);
            w.addRow({qint64(1), QByteArray("Rosa")});
            w.finish();
        };
        auto messageOnOpening = [&] {
            Catalogue c;
            c.setPassword("tarnok");
            try {
                c.open();
            } catch (const Error &e) {
                return e.message();
            }
            return QString();
        };
        writeOld({});
        const QStringList entries = folderEntries(m_dir.path());
        const QByteArray bytes = readFile(path);
        QCOMPARE(messageOnOpening(),
                 QStringLiteral("La tabla Flores.db está en el formato de las tablas antiguas (Paradox): el programa no "
                                "la abre ni la modifica. Puede traer el catálogo a una carpeta nueva con la orden\n\n"
                                "vantolia-tablas migrar %1 %2\n\ny abrir después el programa en esa carpeta.")
                     .arg(m_dir.path(), suggested));
        QCOMPARE(readFile(path), bytes);
        QCOMPARE(folderEntries(m_dir.path()), entries);

        // A folder of that name is there already: another one is suggested. A protected table
        // needs the password, which the program was handed.
        QVERIFY(QDir().mkdir(suggested));
        writeOld("tarnok");
        const QString message = messageOnOpening();
        QDir(suggested).removeRecursively();
        QVERIFY2(message.contains(QStringLiteral("\n\nvantolia-tablas migrar %1 %2-2 --clave tarnok\n\n")
                                      .arg(m_dir.path(), suggested)),
                 qPrintable(message));

        // Another program's file that is not a table of that format is only called foreign.
        writeFile(path, QByteArray("\x40\x00\x00\x08\x07\x04", 6) + QByteArray(200, '\0'));
        QVERIFY(tabletool::verifyTables(m_dir.path())
                    .contains("La tabla Flores.db no es una tabla de Vantolia: el archivo no es una base de datos de "
                              "tablas"));
    }

    void failedWritesAreToldInSpanish_data()
    {
        QTest::addColumn<bool>("wholeFolder");
        QTest::addColumn<QString>("reason");
        // The working tables whose emptying at the start cannot reach their files.
        QTest::addColumn<QStringList>("unwritten");
        QTest::newRow("read-only tables") << false << "la tabla es de solo lectura" << QStringList{"RepSint.db"};
        // SQLite cannot make the journal beside a table.
        QTest::newRow("read-only working folder")
            << true << "no se puede abrir el archivo (no hay permiso)" << QStringList{"RepFlor.db", "RepSint.db"};
    }
    // Working tables are written behind: a write that fails later reaches the user once, in
    // Spanish, and the program goes on and still ends. Catalogue tables refuse at once.
    void failedWritesAreToldInSpanish()
    {
        QFETCH(bool, wholeFolder);
        QFETCH(QString, reason);
        QFETCH(QStringList, unwritten);
        createTables();
        standardCatalogue();
        FaultyFiles faults;
        if (wholeFolder) {
            faults.createNothingIn(m_dir.path());
        } else {
            faults.openReadOnly("RepSint.db");
            faults.openReadOnly("Flores.db");
        }
        {
            Catalogue c;
            QSignalSpy told(&c, &Catalogue::writeFailed);
            c.open(); // empties the selection, behind
            QTRY_COMPARE(told.count(), unwritten.size());
            QStringList messages;
            for (const QList<QVariant> &signal : told)
                messages << signal.first().toString();
            messages.sort();
            QStringList expected;
            for (const QString &table : unwritten)
                expected << QString("No se pudieron guardar los cambios de la tabla %1.\nError en la tabla %1: %2").arg(table, reason);
            QCOMPARE(messages, expected);
            c.TRepS.append();
            c.TRepS.setInteger("Clave", 3);
            c.TRepS.post();
            QCOMPARE(c.TRepS.recordCount(), 1);
            QVERIFY(c.TRepS.table()->hasPendingWrites());
            QTest::qWait(20);
            QCOMPARE(told.count(), unwritten.size()); // told once, not at every change

            QVERIFY(c.TFlores.locate("Clave", 1));
            c.TFlores.edit();
            c.TFlores.setText("Nom1", "Rosa roja");
            try {
                c.TFlores.post();
                QFAIL("a read-only table took a change");
            } catch (const Error &e) {
                QCOMPARE(e.message(), "Error en la tabla Flores.db: " + reason);
            }
            c.TFlores.cancel();
            QCOMPARE(c.TFlores.asString("Nom1"), QString("Rosa"));
        } // closing tries once more, and fails quietly
    }

    void reasonsAreSpanish_data()
    {
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("spanish");
        QTest::newRow("full disk") << "Error en la tabla Rel.db: database or disk is full"
                                   << "Error en la tabla Rel.db: el disco está lleno";
        QTest::newRow("read only") << "attempt to write a readonly database" << "la tabla es de solo lectura";
        QTest::newRow("cannot open") << "unable to open database file" << "no se puede abrir el archivo";
        QTest::newRow("check") << "CHECK constraint failed: Nom" << "un valor no cumple las condiciones del campo Nom";
        QTest::newRow("the store's own words stay") << "Key violation" << "Key violation";
    }
    void reasonsAreSpanish()
    {
        QFETCH(QString, english);
        QFETCH(QString, spanish);
        QCOMPARE(store::withSpanishReasons(english), spanish);
    }

    void runningOutOfMemoryIsToldInSpanish()
    {
        QCOMPARE(errorText(std::bad_alloc()), QString("No hay memoria suficiente para terminar la operación"));
        QCOMPARE(errorText(Error("Key violation")), QString("Key violation"));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
