// The CSV reader and the field texts of the tables tool: rows and lines, UTF-8, large fields,
// files that are not regular files, and how a bad field is shown in a message.
#include "catalogue/tabledefinitions.h"
#include "csvreader.h"
#include "csvwriter.h"
#include "fieldtext.h"
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QStringList readRows(tabletool::CsvReader &reader)
{
    QStringList read;
    tabletool::CsvRow row;
    while (reader.next(row))
        read << QString::number(row.line) + QLatin1Char('|') + row.fields.join(QLatin1Char('|'));
    return read;
}

} // namespace

class TestCsvReader : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void utf8_data();
    void utf8();
    void faultComesAfterTheRowsBeforeIt();
    void writtenRowsReadBack();
    void tenMegabyteMemoImports();
    void onlyRegularFiles();
    void quotedFieldIsShort_data();
    void quotedFieldIsShort();
};

void TestCsvReader::rows_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("rows"); // "line|field|field..."

    QTest::newRow("blanks, and commas between quotes")
        << QByteArray("a,b\n c ,\"d,e\"\n") << QStringList{"1|a|b", "2| c |d,e"};
    QTest::newRow("doubled quotes and an empty last field")
        << QByteArray("\"x \"\"y\"\"\",\n") << QStringList{"1|x \"y\"|"};
    QTest::newRow("blank lines count")
        << QByteArray("a\n\n\nb\n") << QStringList{"1|a", "4|b"};
    QTest::newRow("line break inside a field, CRLF")
        << QByteArray("a,\"x\r\ny\"\r\n\r\nb,c\r\n") << QStringList{"1|a|x\r\ny", "4|b|c"};
    QTest::newRow("CR only") << QByteArray("a\rb\r\"p\rq\"\rc") << QStringList{"1|a", "2|b", "3|p\rq", "5|c"};
    QTest::newRow("no final line break") << QByteArray("a,b") << QStringList{"1|a|b"};
    QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF" "Clave\n1\n") << QStringList{"1|Clave", "2|1"};
    QTest::newRow("byte order mark inside a field is data")
        << QByteArray("\xEF\xBB\xBF" ",\xEF\xBB\xBF\xEF\xBB\xBF\n") << QStringList{"1||\uFEFF\uFEFF"};
    QTest::newRow("four-byte character") << QByteArray("\xF0\x9F\x8C\xB8,\xC3\xB1\n") << QStringList{"1|🌸|ñ"};
}

void TestCsvReader::rows()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("x.csv")), input);
    tabletool::CsvReader fromFile(dir.filePath(QStringLiteral("x.csv")), QStringLiteral("x.csv"));
    QCOMPARE(readRows(fromFile), rows);
    tabletool::CsvReader fromMemory(input, QStringLiteral("x.csv"));
    QCOMPARE(readRows(fromMemory), rows);
}

void TestCsvReader::utf8_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");

    const QString cut = QStringLiteral("el campo termina a mitad de un carácter");
    QTest::newRow("field ends inside a sequence") << QByteArray("a\nNuev\xC3,b\n") << 2 << cut;
    QTest::newRow("file ends inside a sequence") << QByteArray("a\nNuev\xE2\x98") << 2 << cut;
    QTest::newRow("quoted field ends inside a sequence") << QByteArray("\"x\ny\xF0\x9F\x8C\"\n") << 1 << cut;
    const QString stray = QStringLiteral("no forma parte de ningún carácter");
    QTest::newRow("Windows-1252 byte") << QByteArray("Pe\xF1" "a\n") << 1 << stray;
    QTest::newRow("lone continuation byte") << QByteArray("ok\n\x80\n") << 2 << stray;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF\n") << 1 << stray;
    QTest::newRow("UTF-16 surrogate") << QByteArray("x,\xED\xA0\x80y\n") << 1 << stray;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80\n") << 1 << stray;
    QTest::newRow("invalid byte in the header") << QByteArray("Cla\xFFve,Nom\n1,a\n") << 1 << stray;
}

// Bytes that are not UTF-8, wherever they are, stop the reading at their row: nothing is
// stored cut short.
void TestCsvReader::utf8()
{
    QFETCH(QByteArray, input);
    QFETCH(int, line);
    QFETCH(QString, reason);
    tabletool::CsvReader reader(input, QStringLiteral("x.csv"));
    try {
        readRows(reader);
        QFAIL("the reading should have failed");
    } catch (const tabletool::CsvError &e) {
        QCOMPARE(e.line(), line);
        QVERIFY2(e.reason().startsWith(QStringLiteral("el texto no está en UTF-8")), qPrintable(e.message()));
        QVERIFY2(e.reason().contains(reason), qPrintable(e.message()));
    }
}

void TestCsvReader::faultComesAfterTheRowsBeforeIt()
{
    tabletool::CsvReader reader(QByteArray("a,b\nc,d\n\"e\"f\ng\n"), QStringLiteral("x.csv"));
    tabletool::CsvRow row;
    QVERIFY(reader.next(row));
    QVERIFY(reader.next(row));
    QCOMPARE(row.fields, QStringList({"c", "d"}));
    QVERIFY_THROWS_EXCEPTION(tabletool::CsvError, reader.next(row));
}

// What the export writes reads back the same, even the rows a careless writer would lose: a
// lone empty field, which looks like a blank line, and a first field that begins with U+FEFF,
// which looks like the file's byte order mark.
void TestCsvReader::writtenRowsReadBack()
{
    const QList<QStringList> rows{{QStringLiteral("\uFEFFa"), QStringLiteral("b")},
                                  {QString()},
                                  {QStringLiteral(" x "), QStringLiteral("y,\"z\""), QStringLiteral("p\r\nq\rr")},
                                  {QString(), QString()}};
    QByteArray written;
    for (const QStringList &row : rows)
        tabletool::appendRow(written, row);
    tabletool::CsvReader reader(written, QStringLiteral("x.csv"));
    tabletool::CsvRow row;
    for (const QStringList &expected : rows) {
        QVERIFY(reader.next(row));
        QCOMPARE(row.fields, expected);
    }
    QVERIFY(!reader.next(row));
}

// A memo of ten megabytes in quotes, with line breaks and doubled quotes, reaches the table
// whole; the reader's buffer must grow by doubling for this to take seconds.
void TestCsvReader::tenMegabyteMemoImports()
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("csv"));
    QDir().mkpath(csv);
    QByteArray memo;
    const QByteArray piece("Tortura mental \"\"oculta\"\" tras una cara alegre; calla sus penas.\r\n");
    while (memo.size() < 10 * 1024 * 1024)
        memo += piece;
    writeFile(csv + QStringLiteral("/Flores.csv"),
              "Clave,Tipo,Nom1,Nom2,Nom3,Memo1,Memo2,Memo3,Foto\r\n1,1,Agrimonia,,,\"" + memo + "\",,,\r\n");
    writeFile(csv + QStringLiteral("/Sintomas.csv"), "Clave,Nom,Orden\r\n1,Miedo,1\r\n");
    writeFile(csv + QStringLiteral("/Rel.csv"), "KFlor,KSint,OSint\r\n1,1,1\r\n");
    const QString tables = dir.filePath(QStringLiteral("tablas"));
    tabletool::importCsv(csv, tables);
    const TableRows flowers = dumpTable(tables, catalogue::floresDef());
    QCOMPARE(flowers.size(), 1);
    QString expected = QString::fromUtf8(memo);
    expected.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(flowers[0][5].toString().size(), expected.size());
    QVERIFY(flowers[0][5].toString() == expected);
}

// A FIFO would block the reading for ever, a device would never end.
void TestCsvReader::onlyRegularFiles()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.csv"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {fifo, QStringLiteral("/dev/zero"), dir.path()}) {
        try {
            tabletool::CsvReader reader(path, QStringLiteral("x.csv"));
            QFAIL(qPrintable(path));
        } catch (const store::Error &e) {
            QVERIFY2(e.message().contains(QStringLiteral("no es un archivo normal"))
                         || e.message().contains(QStringLiteral("es una carpeta")),
                     qPrintable(e.message()));
        }
    }
}

void TestCsvReader::quotedFieldIsShort_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << QStringLiteral("abc") << QStringLiteral("«abc»");
    QTest::newRow("control characters drawn")
        << QStringLiteral("a\x1b[31mb\nc") << QStringLiteral("«a␛[31mb␊c»");
    QTest::newRow("80 characters kept") << QString(80, QLatin1Char('x')) << QStringLiteral("«%1»").arg(QString(80, QLatin1Char('x')));
    QTest::newRow("longer cut at 80")
        << QString(100000, QLatin1Char('y')) << QStringLiteral("«%1»… (100000 caracteres)").arg(QString(80, QLatin1Char('y')));
    QTest::newRow("surrogate pair not split")
        << QString(79, QLatin1Char('z')) + QStringLiteral("🌸🌸")
        << QStringLiteral("«%1»… (83 caracteres)").arg(QString(79, QLatin1Char('z')));
}

void TestCsvReader::quotedFieldIsShort()
{
    QFETCH(QString, field);
    QFETCH(QString, shown);
    QCOMPARE(tabletool::quoted(field), shown);
}

QTEST_GUILESS_MAIN(TestCsvReader)
#include "test_csvreader.moc"
