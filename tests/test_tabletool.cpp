#include "catalogue/tabledefinitions.h"
#include "csvreader.h"
#include "store/table.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <functional>
#include <map>

using Filas = QList<QVariantList>;

namespace {

const QString kDatos = QStringLiteral(VANTOLIA_TEST_DATA);

// Every stored value of a table in file order, pictures as their bytes.
Filas volcar(const QString &carpeta, const store::TableDef &def)
{
    store::TableFile archivo =
        store::TableFile::open(QDir(carpeta).filePath(def.fileName()), def, store::TableFile::Durability::Full);
    QStringList campos;
    for (const store::FieldDef &f : def.fields)
        campos << f.name;
    store::Statement st =
        archivo.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(campos.join(QLatin1Char(',')), def.tableName));
    Filas filas;
    while (st.step()) {
        QVariantList fila;
        for (int c = 0; c < int(def.fields.size()); ++c) {
            const store::FieldDef &f = def.fields[std::size_t(c)];
            if (st.isNull(c))
                fila << QVariant();
            else if (f.isNumeric())
                fila << st.integer(c);
            else if (f.type == store::FieldType::Graphic)
                fila << st.blob(c);
            else
                fila << st.text(c);
        }
        filas << fila;
    }
    return filas;
}

void compararCatalogos(const QString &a, const QString &b)
{
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        const Filas fa = volcar(a, def), fb = volcar(b, def);
        QCOMPARE(fa.size(), fb.size());
        for (qsizetype i = 0; i < fa.size(); ++i)
            QCOMPARE(fa[i], fb[i]);
    }
}

QByteArray leer(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no se puede leer %s", qPrintable(ruta));
    return f.readAll();
}

void escribir(const QString &ruta, const QByteArray &datos)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(datos) != datos.size())
        qFatal("no se puede escribir %s", qPrintable(ruta));
}

// A copy of the fixture's CSV files and photo that a test may spoil.
QString copiarCsv(const QString &destino)
{
    QDir().mkpath(destino + QStringLiteral("/fotos"));
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv", "fotos/agrimonia.png"})
        escribir(QDir(destino).filePath(QLatin1String(n)), leer(QDir(kDatos).filePath(QLatin1String(n))));
    return destino;
}

QStringList contenido(const QString &carpeta)
{
    return QDir(carpeta).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

const char *const kMemoMimulo = "Miedo a cosas conocidas, como la enfermedad o \"quedarse solo\".\n"
                                "Aporta valor para afrontar lo cotidiano.";

} // namespace

class TestTablas : public QObject
{
    Q_OBJECT

private slots:
    void lectorCsv_data();
    void lectorCsv();
    void crearDaTablasVaciasYSanas();
    void fixtureImportado();
    void idaYVueltaIdentica();
    void bomYCrlf();
    void csvIncorrecto_data();
    void csvIncorrecto();
    void faltaUnArchivoCsv();
    void archivoAjenoIntacto_data();
    void archivoAjenoIntacto();
    void verificarSenalaProblemas();
    void sinteticoReproducible();
    void sinteticoGrandeCabeEnLosCampos();
    void sinteticoRechazaTamanosImposibles();
    void carpetaDeTrabajo();
    void programa();
};

void TestTablas::lectorCsv_data()
{
    QTest::addColumn<QByteArray>("entrada");
    QTest::addColumn<QStringList>("filas"); // "line|field|field..."

    QTest::newRow("blancos y comas entre comillas")
        << QByteArray("a,b\n c ,\"d,e\"\n") << QStringList{"1|a|b", "2| c |d,e"};
    QTest::newRow("comillas dobladas y campo vacío al final")
        << QByteArray("\"x \"\"y\"\"\",\n") << QStringList{"1|x \"y\"|"};
    QTest::newRow("líneas en blanco cuentan")
        << QByteArray("a\n\n\nb\n") << QStringList{"1|a", "4|b"};
    QTest::newRow("salto dentro de un campo, CRLF")
        << QByteArray("a,\"x\r\ny\"\r\n\r\nb,c\r\n") << QStringList{"1|a|x\r\ny", "4|b|c"};
    QTest::newRow("solo CR") << QByteArray("a\rb\r\"p\rq\"\rc") << QStringList{"1|a", "2|b", "3|p\rq", "5|c"};
    QTest::newRow("sin salto final") << QByteArray("a,b") << QStringList{"1|a|b"};
    QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF" "Clave\n1\n") << QStringList{"1|Clave", "2|1"};
}

void TestTablas::lectorCsv()
{
    QFETCH(QByteArray, entrada);
    QFETCH(QStringList, filas);
    QTemporaryDir dir;
    escribir(dir.filePath(QStringLiteral("x.csv")), entrada);
    tabletool::CsvReader lector(dir.filePath(QStringLiteral("x.csv")), QStringLiteral("x.csv"));
    QStringList leidas;
    tabletool::CsvRow fila;
    while (lector.siguiente(fila))
        leidas << QString::number(fila.linea) + QLatin1Char('|') + fila.campos.join(QLatin1Char('|'));
    QCOMPARE(leidas, filas);
}

void TestTablas::crearDaTablasVaciasYSanas()
{
    QTemporaryDir dir;
    const QString carpeta = dir.filePath(QStringLiteral("nueva/tablas"));
    tabletool::createTables(carpeta);
    QCOMPARE(contenido(carpeta), QStringList({"Flores.db", "Rel.db", "RepFlor.db", "RepSint.db", "Sintomas.db"}));
    for (const store::TableDef &def : catalogue::allTableDefs()) {
        store::Table table(QDir(carpeta).filePath(def.fileName()), def, store::TableFile::Durability::Full);
        QCOMPARE(table.order(0).size(), std::size_t(0));
        QCOMPARE(table.indexCount(), int(def.indexes.size()) + 1);
    }
    QCOMPARE(tabletool::verifyTables(carpeta), QStringList());

    // A second time nothing is replaced, not even the tables that were not in the way.
    QFile::remove(QDir(carpeta).filePath(QStringLiteral("Rel.db")));
    const QByteArray flores = leer(QDir(carpeta).filePath(QStringLiteral("Flores.db")));
    try {
        tabletool::createTables(carpeta);
        QFAIL("crear sobre tablas existentes debía fallar");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QLatin1String("Flores.db")), qPrintable(e.message()));
    }
    QCOMPARE(contenido(carpeta), QStringList({"Flores.db", "RepFlor.db", "RepSint.db", "Sintomas.db"}));
    QCOMPARE(leer(QDir(carpeta).filePath(QStringLiteral("Flores.db"))), flores);
}

void TestTablas::fixtureImportado()
{
    QTemporaryDir dir;
    const QString carpeta = importFixture(dir.path());
    tabletool::RowCounts recuento;
    QCOMPARE(tabletool::verifyTables(carpeta, &recuento), QStringList());
    QCOMPARE(recuento.flores, 9);
    QCOMPARE(recuento.sintomas, 14);
    QCOMPARE(recuento.enlaces, 18);

    store::Table flores(QDir(carpeta).filePath(QStringLiteral("Flores.db")), catalogue::floresDef(),
                        store::TableFile::Durability::Full);
    const QStringList esperadas{
        "1|1|Agrimonia|Agrimony|Agrimonia eupatoria",    "2|1|Mímulo|Mimulus|Mimulus guttatus",
        "3|1|Álamo Temblón|Aspen|Populus tremula",       "4|2|Milenrama|Yarrow|Achillea millefolium",
        "5|3|Banksia Roja|Red Banksia|Banksia coccinea", "6|10|Orquídea del Inca|Inca Orchid|Masdevallia veitchiana",
        "7|11|Rosa Silvestre|Wild Rose|Rosa canina",     "8|1|Castaño Dulce|Sweet Chestnut|Castanea sativa",
        "9|4|Ñandú Azul|Blue Rhea|Salvia azurea"};
    QStringList leidas;
    for (store::Slot s : flores.order(0)) {
        QStringList campos{QString::number(flores.integer(s, 0))};
        for (int f = 1; f <= 4; ++f)
            campos << flores.text(s, f);
        leidas << campos.join(QLatin1Char('|'));
        QVERIFY(!flores.text(s, 5).isEmpty() && !flores.text(s, 6).isEmpty());
        QVERIFY(flores.isNull(s, 7));
        QCOMPARE(flores.isNull(s, 8), flores.integer(s, 0) != 1);
    }
    QCOMPARE(leidas, esperadas);
    const store::Slot mimulo = *flores.findPrimary(2);
    QCOMPARE(flores.text(mimulo, 5), QString::fromUtf8(kMemoMimulo));
    const QImage foto = QImage::fromData(flores.blob(*flores.findPrimary(1), 8), "PNG");
    QCOMPARE(foto.size(), QSize(16, 16));
    QCOMPARE(foto, QImage(kDatos + QStringLiteral("/fotos/agrimonia.png")).convertToFormat(foto.format()));

    store::Table sintomas(QDir(carpeta).filePath(QStringLiteral("Sintomas.db")), catalogue::sintomasDef(),
                          store::TableFile::Durability::Full);
    QCOMPARE(sintomas.order(0).size(), std::size_t(14));
    for (store::Slot s : sintomas.order(0)) {
        const qint32 clave = sintomas.integer(s, 0);
        QCOMPARE(sintomas.isNull(s, 2), clave == 14);
        if (clave != 14)
            QCOMPARE(sintomas.integer(s, 2), clave);
    }
    QCOMPARE(sintomas.text(*sintomas.findPrimary(3), 1), QStringLiteral("CORAZÓN ROTO"));
    QCOMPARE(sintomas.text(*sintomas.findPrimary(13), 1), QStringLiteral("Ñoñería"));

    std::map<int, QList<int>> porFlor;
    for (const QVariantList &fila : volcar(carpeta, catalogue::relDef())) {
        QCOMPARE(fila[2], fila[1]); // OSint copies the symptom's Orden, here its key
        porFlor[fila[0].toInt()] << fila[1].toInt();
    }
    const std::map<int, QList<int>> esperado{{1, {7, 1}}, {2, {4, 5, 11}}, {3, {11, 4}}, {4, {1, 10}}, {5, {8}},
                                             {6, {2, 3}}, {7, {6, 9, 5}},  {8, {8, 6}},  {9, {9}}};
    QVERIFY(porFlor == esperado);
}

void TestTablas::idaYVueltaIdentica()
{
    QTemporaryDir dir;
    const QString a = importFixture(dir.filePath(QStringLiteral("a")));
    const QString csv = dir.filePath(QStringLiteral("csv"));
    tabletool::exportCsv(a, csv);

    const QByteArray flores = leer(csv + QStringLiteral("/Flores.csv"));
    QVERIFY(!flores.startsWith("\xEF\xBB\xBF"));
    QVERIFY(flores.startsWith("Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto\r\n"));
    QVERIFY(flores.contains("2,1,Mímulo,Mimulus,Mimulus guttatus,\"Miedo a cosas conocidas, como la enfermedad o "
                            "\"\"quedarse solo\"\".\nAporta valor para afrontar lo cotidiano.\","));
    QVERIFY(flores.contains(",fotos/1.png\r\n"));
    QVERIFY(leer(csv + QStringLiteral("/Sintomas.csv")).endsWith("\r\n14,Abatimiento,\r\n"));
    QCOMPARE(contenido(csv + QStringLiteral("/fotos")), QStringList{"1.png"});
    QCOMPARE(leer(csv + QStringLiteral("/fotos/1.png")), volcar(a, catalogue::floresDef())[0][8].toByteArray());

    const QString b = dir.filePath(QStringLiteral("b"));
    tabletool::importCsv(csv, b);
    compararCatalogos(a, b);

    // Exporting what was imported gives the very same files.
    const QString csv2 = dir.filePath(QStringLiteral("csv2"));
    tabletool::exportCsv(b, csv2);
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv", "fotos/1.png"})
        QCOMPARE(leer(QDir(csv2).filePath(QLatin1String(n))), leer(QDir(csv).filePath(QLatin1String(n))));

    // Nothing already there is overwritten.
    QVERIFY_THROWS_EXCEPTION(store::Error, tabletool::exportCsv(b, csv));
    QCOMPARE(leer(csv + QStringLiteral("/Flores.csv")), flores);
}

void TestTablas::bomYCrlf()
{
    QTemporaryDir dir;
    const QString simple = importFixture(dir.filePath(QStringLiteral("simple")));
    const QString csv = copiarCsv(dir.filePath(QStringLiteral("csv")));
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv"}) {
        const QString ruta = QDir(csv).filePath(QLatin1String(n));
        escribir(ruta, "\xEF\xBB\xBF" + leer(ruta).replace("\n", "\r\n"));
    }
    const QString otra = dir.filePath(QStringLiteral("crlf"));
    tabletool::importCsv(csv, otra);
    // The line break inside the memo is kept as LF whatever the file used.
    compararCatalogos(simple, otra);

    // Lines are still counted right after a quoted memo that spans two CRLF lines.
    const QString ruta = QDir(csv).filePath(QStringLiteral("Flores.csv"));
    escribir(ruta, leer(ruta).replace("\r\n3,1,", "\r\n3,14,"));
    try {
        tabletool::importCsv(csv, dir.filePath(QStringLiteral("mala")));
        QFAIL("Tipo 14 debía fallar");
    } catch (const tabletool::CsvError &e) {
        QCOMPARE(e.archivo(), QStringLiteral("Flores.csv"));
        QCOMPARE(e.linea(), 5);
    }
}

void TestTablas::csvIncorrecto_data()
{
    QTest::addColumn<QString>("archivo");
    QTest::addColumn<QByteArray>("desde"); // empty: the whole file
    QTest::addColumn<QByteArray>("hacia");
    QTest::addColumn<int>("linea");
    QTest::addColumn<QString>("motivo");

    auto caso = [](const char *nombre, const char *archivo, QByteArray desde, QByteArray hacia, int linea,
                   const char *motivo) {
        QTest::newRow(nombre) << QString::fromLatin1(archivo) << desde << hacia << linea << QString::fromUtf8(motivo);
    };
    caso("cabecera", "Flores.csv", "Clave,Tipo,Nom1,", "Clave,Tipo,Nombre1,", 1, "la cabecera debe ser");
    caso("archivo vacío", "Sintomas.csv", "", "", 1, "el archivo está vacío");
    caso("campo de menos", "Flores.csv", "Yarrow,Achillea millefolium,", "Yarrow,", 6, "la fila tiene 8 campos y deben ser 9");
    caso("clave cero", "Flores.csv", "\n5,3,Banksia", "\n0,3,Banksia", 7, "Clave «0» no es un número entero positivo");
    caso("clave de más de 32 bits", "Flores.csv", "\n9,4,", "\n2147483648,4,", 11, "no es un número entero positivo de 32 bits");
    caso("flor repetida", "Flores.csv", "\n8,1,Castaño", "\n3,1,Castaño", 10, "la flor 3 está repetida");
    caso("sistema 14 tras un memo de dos líneas", "Flores.csv", "\n3,1,", "\n3,14,", 5, "Tipo «14» no es un sistema");
    caso("sistema con cero delante", "Flores.csv", "\n6,10,", "\n6,06,", 8, "Tipo «06»");
    caso("nombre de 26 caracteres", "Flores.csv", "Ñandú Azul,", "Ñandú Azul de las Praderas,", 11,
         "el campo Nom1 tiene 26 caracteres y admite 25");
    caso("carácter fuera de Windows-1252", "Flores.csv", "Wild Rose", "Wild Rose \xE2\x98\xBA", 9,
         "el campo Nom2 contiene «☺» (U+263A)");
    caso("salto de línea en un nombre", "Flores.csv", "Mímulo,Mimulus,", "Mímulo,\"Mimu\nlus\",", 3,
         "el campo Nom2 no admite saltos de línea");
    caso("foto que no existe", "Flores.csv", "fotos/agrimonia.png", "fotos/nada.png", 2, "no se encuentra la foto fotos/nada.png");
    caso("foto que no es imagen", "Flores.csv", "fotos/agrimonia.png", "Rel.csv", 2, "la foto Rel.csv no es una imagen");
    caso("comillas sin cerrar", "Flores.csv", "desconocido.\",", "desconocido.,", 5, "falta la comilla que cierra");
    caso("comilla suelta", "Flores.csv", "Agrimony", "Agri\"mony", 2, "comillas mal puestas");
    caso("síntoma de 61 caracteres", "Sintomas.csv", "Agotamiento tras un esfuerzo prolongado",
         "Agotamiento tras un esfuerzo prolongado y sin descanso alguno", 9, "el campo Nom tiene 61 caracteres y admite 60");
    caso("orden con letras", "Sintomas.csv", "5,Timidez,5", "5,Timidez,cinco", 6, "Orden «cinco» no es un número entero de 32 bits");
    caso("orden de más de 32 bits", "Sintomas.csv", "oídos,12", "oídos,-2147483649", 13, "Orden «-2147483649»");
    caso("síntoma repetido", "Sintomas.csv", "13,Ñoñería", "12,Ñoñería", 14, "el síntoma 12 está repetido");
    caso("texto que no es UTF-8", "Sintomas.csv", "Timidez", "Tim\xED" "dez", 6, "el texto no está en UTF-8");
    caso("síntoma que no existe", "Rel.csv", "\n1,7,7\n", "\n1,99,7\n", 7, "el síntoma 99 no existe");
    caso("flor que no existe", "Rel.csv", "\n9,9,9", "\n10,9,9", 19, "la flor 10 no existe");
    caso("clave negativa en un enlace", "Rel.csv", "\n8,8,8", "\n-8,8,8", 11, "KFlor «-8» no es un número entero positivo");
    caso("OSint con letras", "Rel.csv", "\n4,10,10", "\n4,10,diez", 10, "OSint «diez»");
    caso("enlace repetido", "Rel.csv", "\n7,5,5\n", "\n2,5,5\n", 18,
         "el enlace de la flor 2 con el síntoma 5 está repetido (ya está en la línea 3)");
    caso("el repetido va antes que el fallo siguiente", "Rel.csv", "\n3,4,4\n1,7,7\n", "\n2,4,4\n1,99,7\n", 6,
         "el enlace de la flor 2 con el síntoma 4 está repetido");
}

void TestTablas::csvIncorrecto()
{
    QFETCH(QString, archivo);
    QFETCH(QByteArray, desde);
    QFETCH(QByteArray, hacia);
    QFETCH(int, linea);
    QFETCH(QString, motivo);

    QTemporaryDir dir;
    const QString csv = copiarCsv(dir.filePath(QStringLiteral("csv")));
    const QString ruta = QDir(csv).filePath(archivo);
    QByteArray datos = leer(ruta);
    if (desde.isEmpty()) {
        datos = hacia;
    } else {
        QCOMPARE(datos.count(desde), 1);
        datos.replace(desde, hacia);
    }
    escribir(ruta, datos);

    const QString destino = dir.filePath(QStringLiteral("tablas"));
    try {
        tabletool::importCsv(csv, destino);
        QFAIL("la importación debía fallar");
    } catch (const tabletool::CsvError &e) {
        QCOMPARE(e.archivo(), archivo);
        QCOMPARE(e.linea(), linea);
        QVERIFY2(e.motivo().contains(motivo), qPrintable(e.message()));
        QVERIFY(e.message().startsWith(QStringLiteral("%1:%2: ").arg(archivo).arg(linea)));
    }
    QVERIFY(!QFileInfo::exists(destino));

    // Into an existing folder, the same: nothing at all is left behind.
    QDir().mkpath(destino);
    QVERIFY_THROWS_EXCEPTION(tabletool::CsvError, tabletool::importCsv(csv, destino));
    QCOMPARE(contenido(destino), QStringList());
}

void TestTablas::faltaUnArchivoCsv()
{
    QTemporaryDir dir;
    const QString csv = copiarCsv(dir.filePath(QStringLiteral("csv")));
    QFile::remove(QDir(csv).filePath(QStringLiteral("Rel.csv")));
    const QString destino = dir.filePath(QStringLiteral("tablas"));
    try {
        tabletool::importCsv(csv, destino);
        QFAIL("sin Rel.csv debía fallar");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QLatin1String("Rel.csv")), qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(destino));
}

void TestTablas::archivoAjenoIntacto_data()
{
    QTest::addColumn<QByteArray>("ajeno");
    QByteArray binario(4096, '\0');
    for (qsizetype i = 0; i < binario.size(); ++i)
        binario[i] = char((i * 37 + 11) & 0xFF);
    QTest::newRow("binario") << binario;
    QTest::newRow("texto") << QByteArray("Esto no es una tabla\n");
    QTest::newRow("vacío") << QByteArray();

    // A sound SQLite database, but somebody else's.
    QTemporaryDir dir;
    const QByteArray ruta = dir.filePath(QStringLiteral("otra.db")).toUtf8();
    sqlite3 *db = nullptr;
    sqlite3_open(ruta.constData(), &db);
    sqlite3_exec(db, "CREATE TABLE Flores (Clave INTEGER, Nombre TEXT); INSERT INTO Flores VALUES (1, 'x');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QTest::newRow("base SQLite ajena") << leer(QString::fromUtf8(ruta));
}

void TestTablas::archivoAjenoIntacto()
{
    QFETCH(QByteArray, ajeno);
    QTemporaryDir dir;

    // In a folder of sound tables, Flores.db replaced by somebody else's file.
    const QString carpeta = importFixture(dir.filePath(QStringLiteral("tablas")));
    const QString flores = QDir(carpeta).filePath(QStringLiteral("Flores.db"));
    escribir(flores, ajeno);
    const QStringList problemas = tabletool::verifyTables(carpeta);
    QCOMPARE(problemas.size(), 1);
    QVERIFY2(problemas[0].contains(QLatin1String("Flores.db")), qPrintable(problemas[0]));
    try {
        tabletool::exportCsv(carpeta, dir.filePath(QStringLiteral("csv")));
        QFAIL("exportar debía fallar");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QLatin1String("Flores.db")), qPrintable(e.message()));
    }
    QCOMPARE(leer(flores), ajeno);
    QCOMPARE(contenido(carpeta), QStringList({"Flores.db", "Rel.db", "RepFlor.db", "RepSint.db", "Sintomas.db"}));

    // Alone in a folder: no command puts tables beside it or in its place.
    const QString sola = dir.filePath(QStringLiteral("sola"));
    QDir().mkpath(sola);
    escribir(QDir(sola).filePath(QStringLiteral("Flores.db")), ajeno);
    const std::vector<std::function<void()>> ordenes{
        [&] { tabletool::createTables(sola); },
        [&] { tabletool::importCsv(kDatos, sola); },
        [&] { tabletool::generateSynthetic(sola, 5, 5, 1, 1); },
    };
    for (const auto &orden : ordenes) {
        try {
            orden();
            QFAIL("la orden debía fallar");
        } catch (const store::Error &e) {
            QVERIFY2(e.message().contains(QLatin1String("Flores.db")), qPrintable(e.message()));
        }
        QCOMPARE(contenido(sola), QStringList{"Flores.db"});
        QCOMPARE(leer(QDir(sola).filePath(QStringLiteral("Flores.db"))), ajeno);
    }
}

void TestTablas::verificarSenalaProblemas()
{
    QTemporaryDir dir;
    const QString carpeta = importFixture(dir.path());
    // Through the store's own handle, which knows the collation the name indexes use.
    auto run = [&](const store::TableDef &def, const char *sql) {
        store::TableFile archivo = store::TableFile::open(QDir(carpeta).filePath(def.fileName()), def,
                                                          store::TableFile::Durability::Full);
        archivo.exec(QString::fromUtf8(sql));
    };
    run(catalogue::floresDef(), "PRAGMA ignore_check_constraints = ON;"
                          "UPDATE Flores SET Tipo = '20' WHERE Clave = 4;"
                          "UPDATE Flores SET Nom1 = 'Banksia Roja de las Tierras Altas' WHERE Clave = 5;");
    run(catalogue::sintomasDef(), "DROP INDEX PorNom;");
    // Seven links to missing flowers, one to a missing symptom, one repeated.
    run(catalogue::relDef(), "DROP INDEX PorFlor; DROP INDEX PorSint;"
                       "INSERT INTO Rel VALUES (70,1,1),(71,1,1),(72,1,1),(73,1,1),(74,1,1),(75,1,1),(76,1,1);"
                       "INSERT INTO Rel VALUES (2,99,99); INSERT INTO Rel VALUES (2,4,4);");
    QFile::remove(QDir(carpeta).filePath(QStringLiteral("RepSint.db")));

    const QStringList problemas = tabletool::verifyTables(carpeta);
    auto hay = [&](const QStringList &partes) {
        for (const QString &p : problemas) {
            bool todas = true;
            for (const QString &parte : partes)
                todas = todas && p.contains(parte);
            if (todas)
                return true;
        }
        return false;
    };
    const QString todos = problemas.join(QLatin1Char('\n'));
    QVERIFY2(hay({"Flores.db", "Tipo", "flor 4: «20»"}), qPrintable(todos));
    QVERIFY2(hay({"Flores.db", "Nom1", "25", "flor 5 con 33"}), qPrintable(todos));
    QVERIFY2(hay({"Sintomas.db", "PorNom"}), qPrintable(todos));
    QVERIFY2(hay({"Rel.db", "PorFlor"}), qPrintable(todos));
    QVERIFY2(hay({"Rel.db", "flores que no existen: 7", "p. ej.", "flor 70 con síntoma 1", "flor 74"}), qPrintable(todos));
    QVERIFY2(!hay({"flor 75"}), qPrintable(todos)); // only the first few examples
    QVERIFY2(hay({"Rel.db", "síntomas que no existen: 1", "flor 2 con síntoma 99"}), qPrintable(todos));
    QVERIFY2(hay({"Rel.db", "repetidos: 1", "flor 2 con síntoma 4"}), qPrintable(todos));
    QVERIFY2(hay({"RepSint.db"}), qPrintable(todos));
    QCOMPARE(problemas.size(), 10);
}

void TestTablas::sinteticoReproducible()
{
    QTemporaryDir dir;
    auto generarYExportar = [&](const QString &nombre, quint32 semilla) {
        const QString carpeta = dir.filePath(nombre);
        tabletool::generateSynthetic(carpeta, 200, 300, 5, semilla);
        tabletool::exportCsv(carpeta, dir.filePath(nombre + QStringLiteral("-csv")));
        return carpeta;
    };
    const QString a = generarYExportar(QStringLiteral("a"), 7);
    generarYExportar(QStringLiteral("b"), 7);
    generarYExportar(QStringLiteral("c"), 8);
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv"}) {
        const QByteArray csvA = leer(dir.filePath(QStringLiteral("a-csv/") + QLatin1String(n)));
        QCOMPARE(csvA, leer(dir.filePath(QStringLiteral("b-csv/") + QLatin1String(n))));
        QVERIFY(csvA != leer(dir.filePath(QStringLiteral("c-csv/") + QLatin1String(n))));
    }

    tabletool::RowCounts recuento;
    QCOMPARE(tabletool::verifyTables(a, &recuento), QStringList());
    QCOMPARE(recuento.flores, 200);
    QCOMPARE(recuento.sintomas, 300);
    QCOMPARE(recuento.enlaces, 1500);

    const Filas flores = volcar(a, catalogue::floresDef());
    QSet<QString> sistemas;
    for (qsizetype i = 0; i < flores.size(); ++i) {
        QCOMPARE(flores[i][0].toInt(), i + 1);
        sistemas << flores[i][1].toString();
        for (int n = 2; n <= 4; ++n) {
            const QString nombre = flores[i][n].toString();
            QVERIFY2(nombre.size() <= 25 && nombre.count(QLatin1Char(' ')) >= 1 && nombre.count(QLatin1Char(' ')) <= 2,
                     qPrintable(nombre));
        }
    }
    QCOMPARE(sistemas.size(), 13);

    const Filas sintomas = volcar(a, catalogue::sintomasDef());
    QString todos;
    for (qsizetype i = 0; i < sintomas.size(); ++i) {
        QCOMPARE(sintomas[i][0].toInt(), i + 1);
        QCOMPARE(sintomas[i][2], sintomas[i][0]);
        const QString nom = sintomas[i][1].toString();
        const qsizetype words = nom.split(QLatin1Char(' ')).size();
        QVERIFY2(nom.size() <= 60 && words >= 3 && words <= 8, qPrintable(nom));
        todos += nom + QLatin1Char('\n');
    }
    QVERIFY(todos.contains(QStringLiteral("ñ")));
    QVERIFY(todos.contains(QRegularExpression(QStringLiteral("^[A-ZÁÉÍÓÚÑ]{3,} "), QRegularExpression::MultilineOption)));
    QVERIFY(todos.contains(QRegularExpression(QStringLiteral("^[a-záéíóúñ]"), QRegularExpression::MultilineOption)));

    std::map<int, QSet<int>> floresPorSintoma;
    for (const QVariantList &enlace : volcar(a, catalogue::relDef())) {
        QCOMPARE(enlace[2], enlace[1]);
        QVERIFY(enlace[0].toInt() >= 1 && enlace[0].toInt() <= 200);
        floresPorSintoma[enlace[1].toInt()] << enlace[0].toInt();
    }
    QCOMPARE(floresPorSintoma.size(), std::size_t(300));
    for (const auto &[sintoma, elegidas] : floresPorSintoma)
        QCOMPARE(elegidas.size(), 5);
}

void TestTablas::sinteticoGrandeCabeEnLosCampos()
{
    // Many names and texts: the rare long combinations must still fit their fields.
    QTemporaryDir dir;
    tabletool::generateSynthetic(dir.path(), 5000, 20000, 1, 11);
    tabletool::RowCounts recuento;
    QCOMPARE(tabletool::verifyTables(dir.path(), &recuento), QStringList());
    QCOMPARE(recuento.enlaces, 20000);
}

void TestTablas::sinteticoRechazaTamanosImposibles()
{
    QTemporaryDir dir;
    const QString carpeta = dir.filePath(QStringLiteral("s"));
    QVERIFY_THROWS_EXCEPTION(store::Error, tabletool::generateSynthetic(carpeta, 3, 10, 4, 1));
    QVERIFY_THROWS_EXCEPTION(store::Error, tabletool::generateSynthetic(carpeta, -1, 10, 0, 1));
    QVERIFY(!QFileInfo::exists(carpeta));
    // Every flower linked to every symptom is the most there can be.
    tabletool::generateSynthetic(carpeta, 3, 10, 3, 1);
    QCOMPARE(volcar(carpeta, catalogue::relDef()).size(), 30);
}

void TestTablas::carpetaDeTrabajo()
{
    const QString antes = QDir::currentPath();
    QString dentro;
    {
        WorkingFolder trabajo;
        dentro = trabajo.path();
        QCOMPARE(QDir::currentPath(), QDir(trabajo.path()).canonicalPath());
        store::Table flores(QStringLiteral("Flores.db"), catalogue::floresDef(), store::TableFile::Durability::Full);
        QCOMPARE(flores.order(0).size(), std::size_t(9));
    }
    QCOMPARE(QDir::currentPath(), antes);
    QVERIFY(!QFileInfo::exists(dentro));
}

void TestTablas::programa()
{
    QTemporaryDir dir;
    auto run = [](const QStringList &args, QString *salida = nullptr, QString *errores = nullptr) {
        QProcess p;
        p.start(QStringLiteral(VANTOLIA_TABLETOOL), args);
        if (!p.waitForFinished(120000))
            return -1;
        if (salida)
            *salida = QString::fromUtf8(p.readAllStandardOutput());
        if (errores)
            *errores = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString salida, errores;
    QCOMPARE(run({}, nullptr, &errores), 2);
    QVERIFY(errores.contains(QLatin1String("Uso:")));
    QCOMPARE(run({QStringLiteral("borrar"), dir.path()}, nullptr, &errores), 2);
    QVERIFY(errores.contains(QLatin1String("orden desconocida: borrar")));

    const QString carpeta = dir.filePath(QStringLiteral("t"));
    QCOMPARE(run({QStringLiteral("importar"), kDatos, carpeta}), 0);
    QCOMPARE(run({QStringLiteral("verificar"), carpeta}, &salida), 0);
    QVERIFY2(salida.contains(QStringLiteral("Tablas correctas: 9 flores, 14 síntomas, 18 enlaces")), qPrintable(salida));
    QCOMPARE(run({QStringLiteral("crear"), carpeta}, nullptr, &errores), 1);
    QVERIFY2(errores.contains(QLatin1String("Flores.db")), qPrintable(errores));

    const QString sintetico = dir.filePath(QStringLiteral("s"));
    QCOMPARE(run({QStringLiteral("sintetico"), sintetico, QStringLiteral("10"), QStringLiteral("20"),
                       QStringLiteral("30")}, nullptr, &errores), 1);
    QVERIFY2(errores.contains(QLatin1String("solo hay 10 flores")), qPrintable(errores));
    QVERIFY(!QFileInfo::exists(sintetico));
    QCOMPARE(run({QStringLiteral("sintetico"), sintetico, QStringLiteral("10"), QStringLiteral("20"),
                       QStringLiteral("3"), QStringLiteral("--semilla")}, nullptr, &errores), 2);

    escribir(QDir(carpeta).filePath(QStringLiteral("Rel.db")), "no es una tabla");
    QCOMPARE(run({QStringLiteral("verificar"), carpeta}, &salida), 1);
    QVERIFY2(salida.contains(QLatin1String("Rel.db")) && salida.contains(QStringLiteral("Se encontró 1 problema")),
             qPrintable(salida));
}

QTEST_GUILESS_MAIN(TestTablas)
#include "test_tabletool.moc"
