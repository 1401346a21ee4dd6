#include "catalogue/tabledefinitions.h"
#include "store/table.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

#include <functional>
#include <map>

namespace {

const QString kData = QStringLiteral(VANTOLIA_TEST_DATA);

void compareCatalogues(const QString &a, const QString &b)
{
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        const TableRows rowsA = dumpTable(a, def), rowsB = dumpTable(b, def);
        QCOMPARE(rowsA.size(), rowsB.size());
        for (qsizetype i = 0; i < rowsA.size(); ++i)
            QCOMPARE(rowsA[i], rowsB[i]);
    }
}

// A copy of the fixture's CSV files and photo that a test may spoil.
QString copyCsv(const QString &target)
{
    QDir().mkpath(target + QStringLiteral("/fotos"));
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv", "fotos/agrimonia.png"})
        writeFile(QDir(target).filePath(QLatin1String(n)), readFile(QDir(kData).filePath(QLatin1String(n))));
    return target;
}

// How a case spoils the copy of the fixture's CSV files.
using Spoil = std::function<void(const QString &csvFolder)>;

Spoil replaceIn(const char *file, const QByteArray &from, const QByteArray &to)
{
    return [=](const QString &csv) {
        const QString path = QDir(csv).filePath(QLatin1String(file));
        QByteArray data = readFile(path);
        if (from.isEmpty()) {
            data = to;
        } else {
            QCOMPARE(data.count(from), 1);
            data.replace(from, to);
        }
        writeFile(path, data);
    };
}

// The file removed and something else made under its name.
Spoil replaceWith(const char *file, std::function<void(const QByteArray &path)> make)
{
    return [=](const QString &csv) {
        const QString path = QDir(csv).filePath(QLatin1String(file));
        QFile::remove(path);
        make(QFile::encodeName(path));
    };
}

// Words that give away an untranslated system or library reason.
bool isSpanish(const QString &message)
{
    static const QRegularExpression english(
        QStringLiteral("\\b(error|file|database|disk|denied|unknown|read-only|directory|failed|unable|such|"
                       "permission|malformed|full)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return !message.contains(english);
}

const char *const kMimuloMemo = "Miedo a cosas conocidas, como la enfermedad o \"quedarse solo\".\n"
                                "Aporta valor para afrontar lo cotidiano.";

} // namespace

Q_DECLARE_METATYPE(Spoil)

class TestTableTool : public QObject
{
    Q_OBJECT

private slots:
    void createMakesEmptySoundTables();
    void fixtureImports();
    void exportImportRoundTrip();
    void bomAndCrlf();
    void badCsv_data();
    void badCsv();
    void missingCsvFile();
    void foreignFileUntouched_data();
    void foreignFileUntouched();
    void verifyFindsProblems();
    void syntheticIsReproducible();
    void largeSyntheticFitsFields();
    void syntheticRefusesImpossibleSizes();
    void workingFolder();
    void verifyKeysAndPrimaryKey();
    void failedExportRemovesWhatItMade();
};

void TestTableTool::createMakesEmptySoundTables()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("nueva/tablas"));
    tabletool::createTables(folder);
    QCOMPARE(folderEntries(folder), QStringList({"Flores.db", "Rel.db", "RepFlor.db", "RepSint.db", "Sintomas.db"}));
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        store::Table table(QDir(folder).filePath(def.fileName()), def, store::TableFile::Durability::Full);
        QCOMPARE(table.order(0).size(), std::size_t(0));
        QCOMPARE(table.indexCount(), int(def.indexes.size()) + 1);
    }
    QCOMPARE(tabletool::verifyTables(folder), QStringList());

    // A second time nothing is replaced, not even the tables that were not in the way.
    QFile::remove(QDir(folder).filePath(QStringLiteral("Rel.db")));
    const QByteArray flowers = readFile(QDir(folder).filePath(QStringLiteral("Flores.db")));
    try {
        tabletool::createTables(folder);
        QFAIL("crear over existing tables should have failed");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QLatin1String("Flores.db")), qPrintable(e.message()));
    }
    QCOMPARE(folderEntries(folder), QStringList({"Flores.db", "RepFlor.db", "RepSint.db", "Sintomas.db"}));
    QCOMPARE(readFile(QDir(folder).filePath(QStringLiteral("Flores.db"))), flowers);
}

void TestTableTool::fixtureImports()
{
    QTemporaryDir dir;
    const QString folder = importFixture(dir.path());
    tabletool::RowCounts counts;
    QCOMPARE(tabletool::verifyTables(folder, &counts), QStringList());
    QCOMPARE(counts.flowers, 9);
    QCOMPARE(counts.symptoms, 14);
    QCOMPARE(counts.links, 18);

    store::Table flowers(QDir(folder).filePath(QStringLiteral("Flores.db")), catalogue::floresDef(),
                         store::TableFile::Durability::Full);
    const QStringList expectedFlowers{
        "1|1|Agrimonia|Agrimony|Agrimonia eupatoria",    "2|1|Mímulo|Mimulus|Mimulus guttatus",
        "3|1|Álamo Temblón|Aspen|Populus tremula",       "4|2|Milenrama|Yarrow|Achillea millefolium",
        "5|3|Banksia Roja|Red Banksia|Banksia coccinea", "6|10|Orquídea del Inca|Inca Orchid|Masdevallia veitchiana",
        "7|11|Rosa Silvestre|Wild Rose|Rosa canina",     "8|1|Castaño Dulce|Sweet Chestnut|Castanea sativa",
        "9|4|Ñandú Azul|Blue Rhea|Salvia azurea"};
    QStringList read;
    for (store::Slot s : flowers.order(0)) {
        QStringList fields{QString::number(flowers.integer(s, 0))};
        for (int f = 1; f <= 4; ++f)
            fields << flowers.text(s, f);
        read << fields.join(QLatin1Char('|'));
        QVERIFY(!flowers.text(s, 5).isEmpty() && !flowers.text(s, 6).isEmpty());
        QVERIFY(flowers.isNull(s, 7));
        QCOMPARE(flowers.isNull(s, 8), flowers.integer(s, 0) != 1);
    }
    QCOMPARE(read, expectedFlowers);
    const store::Slot mimulus = *flowers.findPrimary(2);
    QCOMPARE(flowers.text(mimulus, 5), QString::fromUtf8(kMimuloMemo));
    const QImage photo = QImage::fromData(flowers.blob(*flowers.findPrimary(1), 8), "PNG");
    QCOMPARE(photo.size(), QSize(16, 16));
    QCOMPARE(photo, QImage(kData + QStringLiteral("/fotos/agrimonia.png")).convertToFormat(photo.format()));

    store::Table symptoms(QDir(folder).filePath(QStringLiteral("Sintomas.db")), catalogue::sintomasDef(),
                          store::TableFile::Durability::Full);
    QCOMPARE(symptoms.order(0).size(), std::size_t(14));
    for (store::Slot s : symptoms.order(0)) {
        const qint32 key = symptoms.integer(s, 0);
        QCOMPARE(symptoms.isNull(s, 2), key == 14);
        if (key != 14)
            QCOMPARE(symptoms.integer(s, 2), key);
    }
    QCOMPARE(symptoms.text(*symptoms.findPrimary(3), 1), QStringLiteral("CORAZÓN ROTO"));
    QCOMPARE(symptoms.text(*symptoms.findPrimary(13), 1), QStringLiteral("Ñoñería"));

    std::map<int, QList<int>> byFlower;
    for (const QVariantList &row : dumpTable(folder, catalogue::relDef())) {
        QCOMPARE(row[2], row[1]); // OSint copies the symptom's Orden, here its key
        byFlower[row[0].toInt()] << row[1].toInt();
    }
    const std::map<int, QList<int>> expectedLinks{{1, {7, 1}}, {2, {4, 5, 11}}, {3, {11, 4}}, {4, {1, 10}}, {5, {8}},
                                                  {6, {2, 3}}, {7, {6, 9, 5}},  {8, {8, 6}},  {9, {9}}};
    QVERIFY(byFlower == expectedLinks);
}

void TestTableTool::exportImportRoundTrip()
{
    QTemporaryDir dir;
    const QString a = importFixture(dir.filePath(QStringLiteral("a")));
    const QString csv = dir.filePath(QStringLiteral("csv"));
    tabletool::exportCsv(a, csv);

    const QByteArray flowers = readFile(csv + QStringLiteral("/Flores.csv"));
    QVERIFY(!flowers.startsWith("\xEF\xBB\xBF"));
    QVERIFY(flowers.startsWith("Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto\r\n"));
    QVERIFY(flowers.contains("2,1,Mímulo,Mimulus,Mimulus guttatus,\"Miedo a cosas conocidas, como la enfermedad o "
                             "\"\"quedarse solo\"\".\nAporta valor para afrontar lo cotidiano.\","));
    QVERIFY(flowers.contains(",fotos/1.png\r\n"));
    QVERIFY(readFile(csv + QStringLiteral("/Sintomas.csv")).endsWith("\r\n14,Abatimiento,\r\n"));
    QCOMPARE(folderEntries(csv + QStringLiteral("/fotos")), QStringList{"1.png"});
    QCOMPARE(readFile(csv + QStringLiteral("/fotos/1.png")), dumpTable(a, catalogue::floresDef())[0][8].toByteArray());

    const QString b = dir.filePath(QStringLiteral("b"));
    tabletool::importCsv(csv, b);
    compareCatalogues(a, b);

    // Exporting what was imported gives the very same files.
    const QString csv2 = dir.filePath(QStringLiteral("csv2"));
    tabletool::exportCsv(b, csv2);
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv", "fotos/1.png"})
        QCOMPARE(readFile(QDir(csv2).filePath(QLatin1String(n))), readFile(QDir(csv).filePath(QLatin1String(n))));

    // Nothing already there is overwritten.
    QVERIFY_THROWS_EXCEPTION(store::Error, tabletool::exportCsv(b, csv));
    QCOMPARE(readFile(csv + QStringLiteral("/Flores.csv")), flowers);
}

void TestTableTool::bomAndCrlf()
{
    QTemporaryDir dir;
    const QString plain = importFixture(dir.filePath(QStringLiteral("simple")));
    const QString csv = copyCsv(dir.filePath(QStringLiteral("csv")));
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv"}) {
        const QString path = QDir(csv).filePath(QLatin1String(n));
        writeFile(path, "\xEF\xBB\xBF" + readFile(path).replace("\n", "\r\n"));
    }
    const QString other = dir.filePath(QStringLiteral("crlf"));
    tabletool::importCsv(csv, other);
    // The line break inside the memo is kept as LF whatever the file used.
    compareCatalogues(plain, other);

    // Lines are still counted right after a quoted memo that spans two CRLF lines.
    const QString path = QDir(csv).filePath(QStringLiteral("Flores.csv"));
    writeFile(path, readFile(path).replace("\r\n3,1,", "\r\n3,14,"));
    try {
        tabletool::importCsv(csv, dir.filePath(QStringLiteral("mala")));
        QFAIL("Tipo 14 should have failed");
    } catch (const tabletool::CsvError &e) {
        QCOMPARE(e.file(), QStringLiteral("Flores.csv"));
        QCOMPARE(e.line(), 5);
    }
}

void TestTableTool::badCsv_data()
{
    QTest::addColumn<Spoil>("spoil");
    QTest::addColumn<QString>("file"); // empty: a fault of the file as a whole, not of a row
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");

    auto addCase = [](const char *name, const char *file, QByteArray from, QByteArray to, int line,
                      const char *reason) {
        QTest::newRow(name) << replaceIn(file, from, to) << QString::fromLatin1(file) << line << QString::fromUtf8(reason);
    };
    auto addFileCase = [](const char *name, Spoil spoil, const char *reason) {
        QTest::newRow(name) << spoil << QString() << 0 << QString::fromUtf8(reason);
    };
    addCase("header", "Flores.csv", "Clave,Tipo,Nom1,", "Clave,Tipo,Nombre1,", 1, "la cabecera debe ser");
    addCase("empty file", "Sintomas.csv", "", "", 1, "el archivo está vacío");
    addCase("one field short", "Flores.csv", "Yarrow,Achillea millefolium,", "Yarrow,", 6, "la fila tiene 8 campos y deben ser 9");
    addCase("key zero", "Flores.csv", "\n5,3,Banksia", "\n0,3,Banksia", 7, "Clave «0» no es un número entero positivo");
    addCase("key over 32 bits", "Flores.csv", "\n9,4,", "\n2147483648,4,", 11, "no es un número entero positivo de 32 bits");
    addCase("key that wraps to 1 in 32 bits", "Sintomas.csv", "\n5,Timidez", "\n4294967297,Timidez", 6,
            "Clave «4294967297» no es un número entero positivo de 32 bits (de 1 a 2147483647)");
    addCase("link to a key over 32 bits", "Rel.csv", "\n9,9,9", "\n9,2147483648,9", 19, "KSint «2147483648»");
    addCase("repeated flower", "Flores.csv", "\n8,1,Castaño", "\n3,1,Castaño", 10, "la flor 3 está repetida");
    addCase("system 14 after a two-line memo", "Flores.csv", "\n3,1,", "\n3,14,", 5, "Tipo «14» no es un sistema");
    addCase("system with a leading zero", "Flores.csv", "\n6,10,", "\n6,06,", 8, "Tipo «06»");
    addCase("name of 26 characters", "Flores.csv", "Ñandú Azul,", "Ñandú Azul de las Praderas,", 11,
            "el campo Nom1 tiene 26 caracteres y admite 25");
    addCase("character outside Windows-1252", "Flores.csv", "Wild Rose", "Wild Rose \xE2\x98\xBA", 9,
            "el campo Nom2 contiene «☺» (U+263A)");
    addCase("line break in a name", "Flores.csv", "Mímulo,Mimulus,", "Mímulo,\"Mimu\nlus\",", 3,
            "el campo Nom2 no admite saltos de línea");
    addCase("missing photo", "Flores.csv", "fotos/agrimonia.png", "fotos/nada.png", 2, "no se encuentra la foto «fotos/nada.png»");
    addCase("photo that is not a picture", "Flores.csv", "fotos/agrimonia.png", "Rel.csv", 2, "la foto «Rel.csv» no es una imagen");
    addCase("unclosed quotes", "Flores.csv", "desconocido.\",", "desconocido.,", 5, "falta la comilla que cierra");
    addCase("stray quote", "Flores.csv", "Agrimony", "Agri\"mony", 2, "comillas mal puestas");
    addCase("symptom of 61 characters", "Sintomas.csv", "Agotamiento tras un esfuerzo prolongado",
            "Agotamiento tras un esfuerzo prolongado y sin descanso alguno", 9, "el campo Nom tiene 61 caracteres y admite 60");
    addCase("Orden with letters", "Sintomas.csv", "5,Timidez,5", "5,Timidez,cinco", 6, "Orden «cinco» no es un número entero de 32 bits");
    addCase("Orden over 32 bits", "Sintomas.csv", "oídos,12", "oídos,-2147483649", 13, "Orden «-2147483649»");
    addCase("a huge bad field is quoted to 80 characters", "Sintomas.csv", "5,Timidez,5", "5,Timidez," + QByteArray(1 << 20, '7') + "x",
            6, "… (1048577 caracteres) no es un número entero");
    addCase("repeated symptom", "Sintomas.csv", "13,Ñoñería", "12,Ñoñería", 14, "el síntoma 12 está repetido");
    addCase("text that is not UTF-8", "Sintomas.csv", "Timidez", "Tim\xED" "dez", 6, "el texto no está en UTF-8");
    addCase("field ending inside a UTF-8 sequence", "Sintomas.csv", "5,Timidez,5", "5,Nuev\xC3,5", 6,
            "el texto no está en UTF-8: el campo termina a mitad de un carácter");
    addCase("file ending inside a UTF-8 sequence", "Rel.csv", "\n9,9,9\n", "\n9,9,9\xC3", 19, "termina a mitad de un carácter");
    addCase("invalid UTF-8 in the header", "Flores.csv", "Clave,Tipo,", "Clave,Ti\xFFpo,", 1, "el byte 0xFF no forma parte");
    addCase("missing symptom", "Rel.csv", "\n1,7,7\n", "\n1,99,7\n", 7, "el síntoma 99 no existe");
    addCase("missing flower", "Rel.csv", "\n9,9,9", "\n10,9,9", 19, "la flor 10 no existe");
    addCase("negative key in a link", "Rel.csv", "\n8,8,8", "\n-8,8,8", 11, "KFlor «-8» no es un número entero positivo");
    addCase("OSint with letters", "Rel.csv", "\n4,10,10", "\n4,10,diez", 10, "OSint «diez»");
    addCase("repeated link", "Rel.csv", "\n7,5,5\n", "\n2,5,5\n", 18,
            "el enlace de la flor 2 con el síntoma 5 está repetido (ya está en la línea 3)");
    addCase("the repeat comes before the next fault", "Rel.csv", "\n3,4,4\n1,7,7\n", "\n2,4,4\n1,99,7\n", 6,
            "el enlace de la flor 2 con el síntoma 4 está repetido");
    QTest::newRow("photo that is a FIFO")
        << Spoil([](const QString &csv) {
               replaceIn("Flores.csv", "fotos/agrimonia.png", "fotos/tubo")(csv);
               QCOMPARE(::mkfifo(QFile::encodeName(csv + QStringLiteral("/fotos/tubo")).constData(), 0600), 0);
           })
        << QStringLiteral("Flores.csv") << 2 << QStringLiteral("no se puede leer la foto «fotos/tubo»: no es un archivo normal");
    addFileCase("Rel.csv that is a FIFO", replaceWith("Rel.csv", [](const QByteArray &path) {
                    QCOMPARE(::mkfifo(path.constData(), 0600), 0);
                }), "Rel.csv: no es un archivo normal");
    addFileCase("Flores.csv that is a folder", replaceWith("Flores.csv", [](const QByteArray &path) {
                    QVERIFY(QDir().mkdir(QFile::decodeName(path)));
                }), "Flores.csv: es una carpeta, no un archivo");
}

// Each bad input stops the import with its Spanish message, in a few words, and leaves
// nothing behind: no table, no folder, no hidden work.
void TestTableTool::badCsv()
{
    QFETCH(Spoil, spoil);
    QFETCH(QString, file);
    QFETCH(int, line);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString csv = copyCsv(dir.filePath(QStringLiteral("csv")));
    spoil(csv);

    const QString target = dir.filePath(QStringLiteral("nuevas/tablas"));
    for (bool targetExists : {false, true}) {
        if (targetExists)
            QDir().mkpath(target);
        try {
            tabletool::importCsv(csv, target);
            QFAIL("the import should have failed");
        } catch (const store::Error &e) {
            QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
            QVERIFY2(e.message().size() < 300, qPrintable(e.message().left(300)));
            QVERIFY2(isSpanish(e.message()), qPrintable(e.message()));
            const auto *csvError = dynamic_cast<const tabletool::CsvError *>(&e);
            QCOMPARE(csvError != nullptr, !file.isEmpty());
            if (csvError) {
                QCOMPARE(csvError->file(), file);
                QCOMPARE(csvError->line(), line);
                QVERIFY(e.message().startsWith(QStringLiteral("%1:%2: ").arg(file).arg(line)));
            }
        }
        if (targetExists)
            QCOMPARE(folderEntries(target), QStringList());
        else
            QCOMPARE(folderEntries(dir.path()), QStringList{"csv"});
    }
}

void TestTableTool::missingCsvFile()
{
    QTemporaryDir dir;
    const QString csv = copyCsv(dir.filePath(QStringLiteral("csv")));
    QFile::remove(QDir(csv).filePath(QStringLiteral("Rel.csv")));
    const QString target = dir.filePath(QStringLiteral("tablas"));
    try {
        tabletool::importCsv(csv, target);
        QFAIL("without Rel.csv the import should have failed");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QLatin1String("Rel.csv")), qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(target));
}

void TestTableTool::foreignFileUntouched_data()
{
    QTest::addColumn<QByteArray>("foreign");
    QByteArray binary(4096, '\0');
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 37 + 11) & 0xFF);
    QTest::newRow("binary") << binary;
    QTest::newRow("text") << QByteArray("Esto no es una tabla\n");
    QTest::newRow("empty") << QByteArray();

    // A sound SQLite database, but somebody else's.
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("otra.db")).toUtf8();
    sqlite3 *db = nullptr;
    sqlite3_open(path.constData(), &db);
    sqlite3_exec(db, "CREATE TABLE Flores (Clave INTEGER, Nombre TEXT); INSERT INTO Flores VALUES (1, 'x');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QTest::newRow("somebody else's SQLite database") << readFile(QString::fromUtf8(path));
}

void TestTableTool::foreignFileUntouched()
{
    QFETCH(QByteArray, foreign);
    QTemporaryDir dir;

    // In a folder of sound tables, Flores.db replaced by somebody else's file.
    const QString folder = importFixture(dir.filePath(QStringLiteral("tablas")));
    const QString flowers = QDir(folder).filePath(QStringLiteral("Flores.db"));
    writeFile(flowers, foreign);
    const QStringList problems = tabletool::verifyTables(folder);
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems[0].contains(QLatin1String("Flores.db")), qPrintable(problems[0]));
    try {
        tabletool::exportCsv(folder, dir.filePath(QStringLiteral("csv")));
        QFAIL("exportar should have failed");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QLatin1String("Flores.db")), qPrintable(e.message()));
    }
    QCOMPARE(readFile(flowers), foreign);
    QCOMPARE(folderEntries(folder), QStringList({"Flores.db", "Rel.db", "RepFlor.db", "RepSint.db", "Sintomas.db"}));

    // Alone in a folder: no command puts tables beside it or in its place.
    const QString alone = dir.filePath(QStringLiteral("sola"));
    QDir().mkpath(alone);
    writeFile(QDir(alone).filePath(QStringLiteral("Flores.db")), foreign);
    const std::vector<std::function<void()>> commands{
        [&] { tabletool::createTables(alone); },
        [&] { tabletool::importCsv(kData, alone); },
        [&] { tabletool::generateSynthetic(alone, 5, 5, 1, 1); },
    };
    for (const auto &command : commands) {
        try {
            command();
            QFAIL("the command should have failed");
        } catch (const store::Error &e) {
            QVERIFY2(e.message().contains(QLatin1String("Flores.db")), qPrintable(e.message()));
        }
        QCOMPARE(folderEntries(alone), QStringList{"Flores.db"});
        QCOMPARE(readFile(QDir(alone).filePath(QStringLiteral("Flores.db"))), foreign);
    }
}

void TestTableTool::verifyFindsProblems()
{
    QTemporaryDir dir;
    const QString folder = importFixture(dir.path());
    // Through the store's own handle, which knows the collation the name indexes use.
    auto run = [&](const store::TableDef &def, const char *sql) {
        store::TableFile file = store::TableFile::open(QDir(folder).filePath(def.fileName()), def,
                                                       store::TableFile::Durability::Full);
        file.exec(QString::fromUtf8(sql));
    };
    run(catalogue::floresDef(), "PRAGMA ignore_check_constraints = ON;"
                                "UPDATE Flores SET Tipo = '20' WHERE Clave = 4;"
                                "UPDATE Flores SET Nom1 = 'Banksia Roja de las Tierras Altas' WHERE Clave = 5;");
    run(catalogue::sintomasDef(), "DROP INDEX PorNom;");
    // Seven links to missing flowers, one to a missing symptom, one repeated.
    run(catalogue::relDef(), "DROP INDEX PorFlor; DROP INDEX PorSint;"
                             "INSERT INTO Rel VALUES (70,1,1),(71,1,1),(72,1,1),(73,1,1),(74,1,1),(75,1,1),(76,1,1);"
                             "INSERT INTO Rel VALUES (2,99,99); INSERT INTO Rel VALUES (2,4,4);");
    QFile::remove(QDir(folder).filePath(QStringLiteral("RepSint.db")));

    const QStringList problems = tabletool::verifyTables(folder);
    auto has = [&](const QStringList &parts) {
        for (const QString &p : problems) {
            bool allFound = true;
            for (const QString &part : parts)
                allFound = allFound && p.contains(part);
            if (allFound)
                return true;
        }
        return false;
    };
    const QString all = problems.join(QLatin1Char('\n'));
    QVERIFY2(has({"Flores.db", "Tipo", "flor 4: «20»"}), qPrintable(all));
    QVERIFY2(has({"Flores.db", "Nom1", "25", "flor 5 con 33"}), qPrintable(all));
    QVERIFY2(has({"Sintomas.db", "PorNom"}), qPrintable(all));
    QVERIFY2(has({"Rel.db", "PorFlor"}), qPrintable(all));
    QVERIFY2(has({"Rel.db", "flores que no existen: 7", "p. ej.", "flor 70 con síntoma 1", "flor 74"}), qPrintable(all));
    QVERIFY2(!has({"flor 75"}), qPrintable(all)); // only the first few examples
    QVERIFY2(has({"Rel.db", "síntomas que no existen: 1", "flor 2 con síntoma 99"}), qPrintable(all));
    QVERIFY2(has({"Rel.db", "repetidos: 1", "flor 2 con síntoma 4"}), qPrintable(all));
    QVERIFY2(has({"RepSint.db"}), qPrintable(all));
    QCOMPARE(problems.size(), 10);
}

// Keys the 32-bit fields cannot hold and keys repeated in a table that lost its primary key
// are named, never folded onto other rows.
void TestTableTool::verifyKeysAndPrimaryKey()
{
    QTemporaryDir dir;
    const QString folder = importFixture(dir.path());
    auto run = [&](const store::TableDef &def, const char *sql) {
        store::TableFile file = store::TableFile::open(QDir(folder).filePath(def.fileName()), def,
                                                       store::TableFile::Durability::Full);
        file.exec(QString::fromUtf8(sql));
    };
    run(catalogue::floresDef(),
        "CREATE TABLE Copia AS SELECT * FROM Flores; DROP TABLE Flores;"
        "CREATE TABLE Flores (Clave INTEGER, Tipo TEXT, Nom1 TEXT, Nom2 TEXT, Nom3 TEXT, Memo1 TEXT, Memo2 TEXT,"
        " Memo3 TEXT, Foto BLOB);"
        "INSERT INTO Flores SELECT * FROM Copia; DROP TABLE Copia;"
        "CREATE INDEX PorNom1 ON Flores (Nom1 COLLATE ES, Clave); CREATE INDEX PorNom2 ON Flores (Nom2 COLLATE ES, Clave);"
        "CREATE INDEX PorNom3 ON Flores (Nom3 COLLATE ES, Clave);"
        "INSERT INTO Flores (Clave, Tipo, Nom1) VALUES (3, '1', 'Otra'), (4294967297, '1', 'Grande'),"
        " (2147483648, '2', 'Mayor'), ('siete', '1', 'Texto');");
    run(catalogue::relDef(), "PRAGMA ignore_check_constraints = ON;"
                             "INSERT INTO Rel VALUES (4294967297, 1, 1), (2, 4294967300, 1);");

    const QStringList problems = tabletool::verifyTables(folder);
    const QString all = problems.join(QLatin1Char('\n'));
    QVERIFY2(problems.contains(QStringLiteral("Flores.db: Clave no es la clave primaria de la tabla")), qPrintable(all));
    QVERIFY2(problems.contains(QStringLiteral("Flores.db: claves repetidas: 1 (flor 3)")), qPrintable(all));
    QVERIFY2(problems.contains(QStringLiteral(
                 "Flores.db: claves fuera del intervalo de 1 a 2147483647: 2 (flor 4294967297; flor 2147483648)")),
             qPrintable(all));
    QVERIFY2(problems.contains(QStringLiteral("Flores.db: claves que no son números enteros: 1 (flor «siete»)")),
             qPrintable(all));
    QVERIFY2(problems.contains(QStringLiteral("Rel.db: claves fuera del intervalo de 1 a 2147483647: 2 "
                                              "(flor 4294967297 con síntoma 1; flor 2 con síntoma 4294967300)")),
             qPrintable(all));
    // The links that break the fields' range are also what SQLite's own check finds.
    QCOMPARE(problems.filter(QStringLiteral("Rel.db: integridad: una fila de Rel no cumple las condiciones")).size(), 2);
    QVERIFY2(problems.size() == 7, qPrintable(all));
}

// An export that fails leaves the folders it made as they were before: not there.
void TestTableTool::failedExportRemovesWhatItMade()
{
    QTemporaryDir dir;
    const QString folder = importFixture(dir.filePath(QStringLiteral("tablas")));
    store::TableFile flowers = store::TableFile::open(QDir(folder).filePath(QStringLiteral("Flores.db")),
                                                      catalogue::floresDef(), store::TableFile::Durability::Full);
    flowers.exec(QStringLiteral("UPDATE Flores SET Foto = x'00010203' WHERE Clave = 9"));
    try {
        tabletool::exportCsv(folder, dir.filePath(QStringLiteral("salida/csv")));
        QFAIL("exportar should have failed");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QStringLiteral("La foto de la flor 9 no es una imagen")), qPrintable(e.message()));
    }
    QCOMPARE(folderEntries(dir.path()), QStringList{"tablas"});
}

void TestTableTool::syntheticIsReproducible()
{
    QTemporaryDir dir;
    auto generateAndExport = [&](const QString &name, quint32 seed) {
        const QString folder = dir.filePath(name);
        tabletool::generateSynthetic(folder, 200, 300, 5, seed);
        tabletool::exportCsv(folder, dir.filePath(name + QStringLiteral("-csv")));
        return folder;
    };
    const QString a = generateAndExport(QStringLiteral("a"), 7);
    generateAndExport(QStringLiteral("b"), 7);
    generateAndExport(QStringLiteral("c"), 8);
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv"}) {
        const QByteArray csvA = readFile(dir.filePath(QStringLiteral("a-csv/") + QLatin1String(n)));
        QCOMPARE(csvA, readFile(dir.filePath(QStringLiteral("b-csv/") + QLatin1String(n))));
        QVERIFY(csvA != readFile(dir.filePath(QStringLiteral("c-csv/") + QLatin1String(n))));
    }

    tabletool::RowCounts counts;
    QCOMPARE(tabletool::verifyTables(a, &counts), QStringList());
    QCOMPARE(counts.flowers, 200);
    QCOMPARE(counts.symptoms, 300);
    QCOMPARE(counts.links, 1500);

    const TableRows flowers = dumpTable(a, catalogue::floresDef());
    QSet<QString> systems;
    for (qsizetype i = 0; i < flowers.size(); ++i) {
        QCOMPARE(flowers[i][0].toInt(), i + 1);
        systems << flowers[i][1].toString();
        for (int n = 2; n <= 4; ++n) {
            const QString name = flowers[i][n].toString();
            QVERIFY2(name.size() <= 25 && name.count(QLatin1Char(' ')) >= 1 && name.count(QLatin1Char(' ')) <= 2,
                     qPrintable(name));
        }
    }
    QCOMPARE(systems.size(), 13);

    const TableRows symptoms = dumpTable(a, catalogue::sintomasDef());
    QString all;
    for (qsizetype i = 0; i < symptoms.size(); ++i) {
        QCOMPARE(symptoms[i][0].toInt(), i + 1);
        QCOMPARE(symptoms[i][2], symptoms[i][0]);
        const QString nom = symptoms[i][1].toString();
        const qsizetype words = nom.split(QLatin1Char(' ')).size();
        QVERIFY2(nom.size() <= 60 && words >= 3 && words <= 8, qPrintable(nom));
        all += nom + QLatin1Char('\n');
    }
    QVERIFY(all.contains(QStringLiteral("ñ")));
    QVERIFY(all.contains(QRegularExpression(QStringLiteral("^[A-ZÁÉÍÓÚÑ]{3,} "), QRegularExpression::MultilineOption)));
    QVERIFY(all.contains(QRegularExpression(QStringLiteral("^[a-záéíóúñ]"), QRegularExpression::MultilineOption)));

    std::map<int, QSet<int>> flowersBySymptom;
    for (const QVariantList &link : dumpTable(a, catalogue::relDef())) {
        QCOMPARE(link[2], link[1]);
        QVERIFY(link[0].toInt() >= 1 && link[0].toInt() <= 200);
        flowersBySymptom[link[1].toInt()] << link[0].toInt();
    }
    QCOMPARE(flowersBySymptom.size(), std::size_t(300));
    for (const auto &[symptom, chosen] : flowersBySymptom)
        QCOMPARE(chosen.size(), 5);
}

void TestTableTool::largeSyntheticFitsFields()
{
    // Many names and texts: the rare long combinations must still fit their fields.
    QTemporaryDir dir;
    tabletool::generateSynthetic(dir.path(), 5000, 20000, 1, 11);
    tabletool::RowCounts counts;
    QCOMPARE(tabletool::verifyTables(dir.path(), &counts), QStringList());
    QCOMPARE(counts.links, 20000);
}

void TestTableTool::syntheticRefusesImpossibleSizes()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("s"));
    QVERIFY_THROWS_EXCEPTION(store::Error, tabletool::generateSynthetic(folder, 3, 10, 4, 1));
    QVERIFY_THROWS_EXCEPTION(store::Error, tabletool::generateSynthetic(folder, -1, 10, 0, 1));
    QVERIFY(!QFileInfo::exists(folder));
    // Every flower linked to every symptom is the most there can be.
    tabletool::generateSynthetic(folder, 3, 10, 3, 1);
    QCOMPARE(dumpTable(folder, catalogue::relDef()).size(), 30);
}

void TestTableTool::workingFolder()
{
    const QString before = QDir::currentPath();
    QString inside;
    {
        WorkingFolder working;
        inside = working.path();
        QCOMPARE(QDir::currentPath(), QDir(working.path()).canonicalPath());
        store::Table flowers(QStringLiteral("Flores.db"), catalogue::floresDef(), store::TableFile::Durability::Full);
        QCOMPARE(flowers.order(0).size(), std::size_t(9));
    }
    QCOMPARE(QDir::currentPath(), before);
    QVERIFY(!QFileInfo::exists(inside));
}

QTEST_GUILESS_MAIN(TestTableTool)
#include "test_tabletool.moc"
