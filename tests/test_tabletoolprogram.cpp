// The vantolia-tablas program itself: its commands, exit codes and what it prints, in Spanish
// and in the tool's own words even when the disk, a picture or a table fails.
#include "tabletool.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString kData = QStringLiteral(VANTOLIA_TEST_DATA);

struct Run
{
    int status = -1;
    QString output;
    QString errors;
};

// The program run to its end; `fileSizeLimit` bytes, when given, is the most any file it
// writes may grow to, as on a full disk.
Run runTool(const QStringList &args, qint64 fileSizeLimit = 0)
{
    QProcess p;
    if (fileSizeLimit > 0)
        p.setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
        });
    p.start(QStringLiteral(VANTOLIA_TABLETOOL), args);
    Run run;
    if (!p.waitForFinished(120000))
        return run;
    run.output = QString::fromUtf8(p.readAllStandardOutput());
    run.errors = QString::fromUtf8(p.readAllStandardError());
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return run;
}

// One line, the tool's own, in Spanish.
void checkOneSpanishLine(const QString &errors)
{
    static const QRegularExpression english(
        QStringLiteral("\\b(file|database|disk|denied|unknown|read-only|directory|failed|unable|such|full|"
                       "libpng|qt\\.|I/O|malformed|permission)"),
        QRegularExpression::CaseInsensitiveOption);
    QVERIFY2(errors.startsWith(QLatin1String("vantolia-tablas: ")), qPrintable(errors));
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    QVERIFY2(!errors.contains(english), qPrintable(errors));
}

} // namespace

class TestTableToolProgram : public QObject
{
    Q_OBJECT

private slots:
    void commands();
    void fullDiskWhileMakingTables();
    void fullDiskWhileExporting();
    void damagedPhotoGivesOneMessage();
    void verifyCountsTheLinesItPrints();
    void newFoldersGetTheHelp();
};

void TestTableToolProgram::commands()
{
    QTemporaryDir dir;
    Run run = runTool({});
    QCOMPARE(run.status, 2);
    QVERIFY(run.errors.contains(QLatin1String("Uso:")));
    run = runTool({QStringLiteral("borrar"), dir.path()});
    QCOMPARE(run.status, 2);
    QVERIFY(run.errors.contains(QLatin1String("orden desconocida: borrar")));

    const QString folder = dir.filePath(QStringLiteral("t"));
    QCOMPARE(runTool({QStringLiteral("importar"), kData, folder}).status, 0);
    run = runTool({QStringLiteral("verificar"), folder});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.output.contains(QStringLiteral("Tablas correctas: 9 flores, 14 síntomas, 18 enlaces")),
             qPrintable(run.output));
    run = runTool({QStringLiteral("crear"), folder});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.errors.contains(QLatin1String("Flores.db")), qPrintable(run.errors));

    const QString synthetic = dir.filePath(QStringLiteral("s"));
    run = runTool({QStringLiteral("sintetico"), synthetic, QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30")});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.errors.contains(QLatin1String("solo hay 10 flores")), qPrintable(run.errors));
    QVERIFY(!QFileInfo::exists(synthetic));
    QCOMPARE(runTool({QStringLiteral("sintetico"), synthetic, QStringLiteral("10"), QStringLiteral("20"),
                      QStringLiteral("3"), QStringLiteral("--semilla")})
                 .status,
             2);

    writeFile(QDir(folder).filePath(QStringLiteral("Rel.db")), "no es una tabla");
    run = runTool({QStringLiteral("verificar"), folder});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.output.contains(QLatin1String("Rel.db")) && run.output.contains(QStringLiteral("Se encontró 1 problema")),
             qPrintable(run.output));
}

// A disk that fills up half-way: the reason in Spanish, and no table and no folder left.
void TestTableToolProgram::fullDiskWhileMakingTables()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("nuevas/tablas"));
    const Run run = runTool({QStringLiteral("sintetico"), folder, QStringLiteral("2000"), QStringLiteral("20000"),
                             QStringLiteral("3")},
                            256 * 1024);
    QCOMPARE(run.status, 1);
    checkOneSpanishLine(run.errors);
    QVERIFY2(run.errors.contains(QStringLiteral("el disco está lleno"))
                 || run.errors.contains(QStringLiteral("error de lectura o escritura en el disco")),
             qPrintable(run.errors));
    QCOMPARE(folderEntries(dir.path()), QStringList());
}

void TestTableToolProgram::fullDiskWhileExporting()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("tablas"));
    tabletool::generateSynthetic(folder, 300, 3000, 3, 1);
    const Run run = runTool({QStringLiteral("exportar"), folder, dir.filePath(QStringLiteral("salida/csv"))}, 64 * 1024);
    QCOMPARE(run.status, 1);
    checkOneSpanishLine(run.errors);
    QVERIFY2(run.errors.contains(QStringLiteral("el archivo supera el tamaño permitido")), qPrintable(run.errors));
    QCOMPARE(folderEntries(dir.path()), QStringList{"tablas"});
}

// The picture reader's own complaints never reach the terminal before the tool's message.
void TestTableToolProgram::damagedPhotoGivesOneMessage()
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("csv"));
    QDir().mkpath(csv + QStringLiteral("/fotos"));
    for (const char *n : {"Flores.csv", "Sintomas.csv", "Rel.csv"})
        writeFile(QDir(csv).filePath(QLatin1String(n)), readFile(QDir(kData).filePath(QLatin1String(n))));
    QByteArray png = readFile(kData + QStringLiteral("/fotos/agrimonia.png"));
    const qsizetype data = png.indexOf("IDAT");
    QVERIFY(data > 0);
    png[data + 6] = char(png[data + 6] ^ 0x55); // the image data no longer matches its checksum
    writeFile(csv + QStringLiteral("/fotos/agrimonia.png"), png);

    const Run run = runTool({QStringLiteral("importar"), csv, dir.filePath(QStringLiteral("tablas"))});
    QCOMPARE(run.status, 1);
    checkOneSpanishLine(run.errors);
    QVERIFY2(run.errors.contains(QStringLiteral("Flores.csv:2: la foto «fotos/agrimonia.png»")), qPrintable(run.errors));
}

// SQLite reports some damage over several lines at once; each printed line is one problem.
void TestTableToolProgram::verifyCountsTheLinesItPrints()
{
    QTemporaryDir dir;
    const QString folder = importFixture(dir.filePath(QStringLiteral("t")));
    QFile file(QDir(folder).filePath(QStringLiteral("Sintomas.db")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(4096 + 8)); // the first cell pointer of the table's root page
    file.write(QByteArray("\x00\x20", 2));
    file.close();

    const Run run = runTool({QStringLiteral("verificar"), folder});
    QCOMPARE(run.status, 1);
    QStringList lines = run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression total(QStringLiteral("^Se encontr(?:ó|aron) (\\d+) problemas?$"));
    const QRegularExpressionMatch m = total.match(lines.takeLast());
    QVERIFY2(m.hasMatch(), qPrintable(run.output));
    QCOMPARE(m.captured(1).toInt(), lines.size());
    QVERIFY2(lines.first().startsWith(QStringLiteral("Sintomas.db: integridad: el archivo está dañado")),
             qPrintable(run.output));
    QVERIFY2(!run.output.contains(QLatin1String("***")) && !run.output.contains(QLatin1String("malformed")),
             qPrintable(run.output));
}

QTEST_GUILESS_MAIN(TestTableToolProgram)
#include "test_tabletoolprogram.moc"

// The Ayuda button opens index.htm in the working folder, so a folder the tool makes gets the
// help; a page the user already keeps there is not replaced, and a tool without its help still
// makes the tables.
void TestTableToolProgram::newFoldersGetTheHelp()
{
    QTemporaryDir dir;
    const QString made = dir.filePath(QStringLiteral("nueva"));
    Run run = runTool({QStringLiteral("crear"), made});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.errors, QString());
    QVERIFY(QFileInfo(QDir(made).filePath(QStringLiteral("index.htm"))).isFile());
    QVERIFY(!QDir(QDir(made).filePath(QStringLiteral("img"))).isEmpty());

    const QString imported = dir.filePath(QStringLiteral("propia"));
    QVERIFY(QDir().mkpath(imported));
    writeFile(QDir(imported).filePath(QStringLiteral("index.htm")), "mis notas");
    QCOMPARE(runTool({QStringLiteral("importar"), kData, imported}).status, 0);
    QCOMPARE(readFile(QDir(imported).filePath(QStringLiteral("index.htm"))), QByteArray("mis notas"));
    QCOMPARE(folderEntries(imported).filter(QStringLiteral(".htm")), folderEntries(made).filter(QStringLiteral(".htm")));

    const QString nowhere = dir.filePath(QStringLiteral("sin-ayuda"));
    QVERIFY(tabletool::addHelp(nowhere, made).contains(QStringLiteral("no se encuentra la ayuda")));
}
