// Where the program works: the folder named on the command line, the current folder when it
// holds tables, or the per-user data folder made once from the starter catalogue and never
// touched again; and a copy that fails half-way leaves nothing that looks made.
#include "app/workingfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <sys/stat.h>

using namespace workingfolder;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(sin archivo)");
}

// Every file under `folder`, by relative path, with its bytes.
QMap<QString, QByteArray> tree(const QString &folder)
{
    QMap<QString, QByteArray> files;
    const QDir root(folder);
    std::function<void(const QString &)> walk = [&](const QString &dir) {
        const QFileInfoList entries = QDir(dir).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir())
                walk(entry.filePath());
            files.insert(root.relativeFilePath(entry.filePath()) + (entry.isDir() ? QStringLiteral("/") : QString()),
                         entry.isFile() ? contents(entry.filePath()) : QByteArray());
        }
    };
    walk(folder);
    return files;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A starter catalogue as the install lays it out: the five tables (stand-in bytes: only the
// copy is under test) and the help with its pictures.
void makeStarter(const QString &folder)
{
    for (const QString &name : tableFileNames())
        writeFile(QDir(folder).filePath(name), "tabla " + name.toUtf8() + QByteArray(3000, 'x'));
    writeFile(QDir(folder).filePath(QStringLiteral("index.htm")), "<html>Ayuda</html>");
    writeFile(QDir(folder).filePath(QStringLiteral("img/inicio.png")), QByteArray("\x89PNG\r\n\x1a\n", 8));
}

} // namespace

class TestWorkingFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private slots:
    void choosesTheFolder_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("tablesHere");
        QTest::addColumn<QString>("xdgDataHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("createIfMissing");
        QTest::addColumn<QString>("errorStart");

        const QStringList none;
        const QStringList all = tableFileNames();
        // Started from the menu: the current folder is the home folder, without tables.
        QTest::newRow("menu, XDG unset") << none << none << "" << "/home/ana" << "/home/ana/.local/share/vantolia" << true << "";
        QTest::newRow("menu, XDG set") << none << none << "/datos/ana" << "/home/ana" << "/datos/ana/vantolia" << true << "";
        QTest::newRow("menu, XDG with a trailing slash") << none << none << "/datos/ana/" << "/home/ana" << "/datos/ana/vantolia" << true << "";
        QTest::newRow("menu, XDG relative is ignored") << none << none << "datos" << "/home/ana" << "/home/ana/.local/share/vantolia" << true << "";
        QTest::newRow("menu, XDG without HOME") << none << none << "/datos/ana" << "" << "/datos/ana/vantolia" << true << "";
        QTest::newRow("menu, HOME with a trailing slash") << none << none << "" << "/home/ana/" << "/home/ana/.local/share/vantolia" << true << "";
        QTest::newRow("menu, no HOME nor XDG") << none << none << "" << "" << "" << true << "No se sabe dónde guardar";
        QTest::newRow("menu, relative HOME") << none << none << "" << "ana" << "" << true << "No se sabe dónde guardar";
        // Started in a folder with tables: today's behaviour.
        QTest::newRow("current folder with the tables") << none << all << "" << "/home/ana" << "/trabajo/caso" << false << "";
        QTest::newRow("current folder with one table") << none << QStringList{"RepFlor.db"} << "" << "/home/ana" << "/trabajo/caso" << false << "";
        // The folder on the command line wins over everything, tables here or not.
        QTest::newRow("absolute argument") << QStringList{"/srv/consulta"} << all << "/datos" << "/home/ana" << "/srv/consulta" << false << "";
        QTest::newRow("relative argument") << QStringList{"demo"} << none << "" << "/home/ana" << "/trabajo/caso/demo" << false << "";
        QTest::newRow("argument going up") << QStringList{"../otro/./"} << none << "" << "/home/ana" << "/trabajo/otro" << false << "";
        QTest::newRow("argument dot") << QStringList{"."} << none << "" << "/home/ana" << "/trabajo/caso" << false << "";
        QTest::newRow("argument with spaces") << QStringList{"Mis datos"} << none << "" << "" << "/trabajo/caso/Mis datos" << false << "";
        QTest::newRow("empty argument") << QStringList{""} << all << "" << "/home/ana" << "" << false << "El nombre de la carpeta";
        QTest::newRow("two arguments") << QStringList{"a", "b"} << all << "" << "/home/ana" << "" << false << "Se indicaron 2 carpetas";
    }
    void choosesTheFolder()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, tablesHere);
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, home);
        QFETCH(QString, folder);
        QFETCH(bool, createIfMissing);
        QFETCH(QString, errorStart);

        const Choice choice = choose({arguments, QStringLiteral("/trabajo/caso"), tablesHere, xdgDataHome, home});
        QCOMPARE(choice.folder, folder);
        if (errorStart.isEmpty()) {
            QCOMPARE(choice.error, QString());
            QCOMPARE(choice.createIfMissing, createIfMissing);
        } else {
            QVERIFY2(choice.error.startsWith(errorStart), qPrintable(choice.error));
        }
    }

    void seesOnlyTheTablesThemselvesInTheCurrentFolder()
    {
        QVERIFY(m_dir.isValid());
        const QString here = path(QStringLiteral("aqui"));
        QDir().mkpath(here);
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(here));
        // Other files, or a table's name in another case, are not the program's tables.
        writeFile(QDir(here).filePath(QStringLiteral("Config.Dat")), "1\r\n");
        writeFile(QDir(here).filePath(QStringLiteral("flores.db")), "x");
        QDir().mkdir(QDir(here).filePath(QStringLiteral("Repertorio")));
        const StartPlace empty = thisProcess({});
        writeFile(QDir(here).filePath(QStringLiteral("Sintomas.db")), "x");
        const StartPlace withTable = thisProcess({QStringLiteral("otra")});
        QVERIFY(QDir::setCurrent(before));

        QCOMPARE(empty.tablesHere, QStringList());
        QCOMPARE(empty.currentFolder, QDir(here).canonicalPath());
        QCOMPARE(withTable.tablesHere, QStringList{QStringLiteral("Sintomas.db")});
        QCOMPARE(withTable.arguments, QStringList{QStringLiteral("otra")});
        QCOMPARE(choose(withTable).folder, QDir(here).canonicalPath() + QStringLiteral("/otra"));
    }

    void makesTheDataFolderFromTheStarterCatalogue()
    {
        const QString starter = path(QStringLiteral("instalado/starter"));
        makeStarter(starter);
        // The parents do not exist yet either, as on a first login.
        const QString data = path(QStringLiteral("casa/.local/share/vantolia"));
        QCOMPARE(createFromStarter(data, starter), QString());
        QCOMPARE(tree(data), tree(starter));
        // Made in one step: nothing else is left beside it.
        QCOMPARE(entries(path(QStringLiteral("casa/.local/share"))), QStringList{QStringLiteral("vantolia")});
        // The user's own copy can be written to.
        QFile table(QDir(data).filePath(QStringLiteral("Flores.db")));
        QVERIFY(table.open(QIODevice::ReadWrite));
    }

    void neverTouchesAFolderThatHasAnything()
    {
        const QString starter = path(QStringLiteral("instalado2/starter"));
        makeStarter(starter);
        const QString data = path(QStringLiteral("usado/vantolia"));
        // The user's catalogue, even one without the help, or the settings alone.
        for (const QString &only : {QStringLiteral("Flores.db"), QStringLiteral("Config.Dat"), QStringLiteral("Repertorio/a.Dat")}) {
            QDir(data).removeRecursively();
            writeFile(QDir(data).filePath(only), "del usuario");
            const auto before = tree(data);
            QCOMPARE(createFromStarter(data, starter), QString());
            QCOMPARE(tree(data), before);
        }
        // An empty folder (made by hand, or by another program) is filled.
        QDir(data).removeRecursively();
        QVERIFY(QDir().mkpath(data));
        QCOMPARE(createFromStarter(data, starter), QString());
        QCOMPARE(tree(data), tree(starter));
        // Something that is not a folder stays, and is named.
        const QString file = path(QStringLiteral("usado/archivo"));
        writeFile(file, "no es carpeta");
        const QString failure = createFromStarter(file, starter);
        QVERIFY2(failure.contains(QStringLiteral("no es una carpeta")), qPrintable(failure));
        QCOMPARE(contents(file), QByteArray("no es carpeta"));
    }

    void failsWithoutLeavingAHalfMadeFolder_data()
    {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not installed") << "no-starter" << "no se encuentra el catálogo inicial";
        QTest::newRow("a table missing") << "Rel.db" << "le falta Rel.db";
        // Sorted last, so the tables and the help are already copied when the copy stops;
        // opening it would wait for a writer forever.
        QTest::newRow("a FIFO among the help") << "zz-fifo" << "no es un archivo común";
        QTest::newRow("a broken link") << "zz-enlace" << "no es un archivo común";
    }
    void failsWithoutLeavingAHalfMadeFolder()
    {
        QFETCH(QString, spoil);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString starter = dir.filePath(QStringLiteral("starter"));
        makeStarter(starter);
        const QString spoiled = QDir(starter).filePath(spoil);
        if (spoil == QLatin1String("no-starter"))
            QVERIFY(QDir(starter).removeRecursively());
        else if (spoil == QLatin1String("zz-fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(spoiled).constData(), 0600), 0);
        else if (spoil == QLatin1String("zz-enlace"))
            QVERIFY(QFile::link(QDir(starter).filePath(QStringLiteral("no-existe")), spoiled));
        else
            QVERIFY(QFile::remove(spoiled));

        const QString data = dir.filePath(QStringLiteral("share/vantolia"));
        const QString failure = createFromStarter(data, starter);
        QVERIFY2(failure.startsWith(QStringLiteral("No se pudo crear la carpeta de datos ") + data), qPrintable(failure));
        QVERIFY2(failure.contains(reason), qPrintable(failure));
        QVERIFY(!QFileInfo::exists(data));
        QCOMPARE(entries(dir.filePath(QStringLiteral("share"))).filter(QStringLiteral("vantolia")), QStringList());

        // A run killed half-way leaves at most a hidden folder, which a later start ignores.
        const QString leftover = dir.filePath(QStringLiteral("share/.vantolia-AbC123"));
        writeFile(QDir(leftover).filePath(QStringLiteral("Flores.db")), "a medias");
        QVERIFY(QDir(starter).removeRecursively());
        makeStarter(starter);
        QCOMPARE(createFromStarter(data, starter), QString());
        QCOMPARE(tree(data), tree(starter));
    }

    void entersTheChosenFolder()
    {
        const QString before = QDir::currentPath();
        const QString starter = path(QStringLiteral("instalado3/starter"));
        makeStarter(starter);

        // The per-user folder is made, then entered.
        const QString data = path(QStringLiteral("xdg/vantolia"));
        QCOMPARE(enter({data, true, {}}, starter), QString());
        QCOMPARE(QDir::currentPath(), QDir(data).canonicalPath());
        QVERIFY(QFileInfo::exists(QStringLiteral("Flores.db")));
        QVERIFY(QFileInfo::exists(QStringLiteral("index.htm")));
        QVERIFY(QDir::setCurrent(before));

        // A folder named on the command line is never made: a slip of the keyboard must not
        // end in a new, empty catalogue.
        const QString typo = path(QStringLiteral("no-existe"));
        QCOMPARE(enter({typo, false, {}}, starter), QStringLiteral("La carpeta de trabajo %1 no existe").arg(typo));
        QVERIFY(!QFileInfo::exists(typo));
        const QString file = path(QStringLiteral("un-archivo"));
        writeFile(file, "x");
        QCOMPARE(enter({file, false, {}}, starter), QStringLiteral("%1 no es una carpeta").arg(file));
        // A choice that failed is reported as it is, and nothing is made.
        QCOMPARE(enter({{}, true, QStringLiteral("motivo")}, starter), QStringLiteral("motivo"));
        // A data folder that cannot be made stops the start.
        QVERIFY(enter({path(QStringLiteral("otra/vantolia")), true, {}}, path(QStringLiteral("sin-starter")))
                    .contains(QStringLiteral("¿está instalado Vantolia?")));
        QCOMPARE(QDir::currentPath(), before);
    }
};

QTEST_GUILESS_MAIN(TestWorkingFolder)
#include "test_workingfolder.moc"
