// The settings file's bytes, its reading line by line with the two faults it reports, the
// rescue of layouts no screen can show, and the writing that never leaves half a file.
#include "app/settingsfile.h"
#include "store/error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace settingsfile;

namespace {

// Files may not grow beyond `bytes` while this lives; the write fails instead of the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_before;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_before); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_before{};
};

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

    static QByteArray lines(std::initializer_list<const char *> values, const char *end = "\r\n")
    {
        QByteArray bytes;
        for (const char *v : values)
            bytes += QByteArray(v) + end;
        return bytes;
    }

private slots:
    void writesTheDesignedLayoutExactly()
    {
        Settings s;
        s.window = QRect(10, 20, 1024, 720);
        QCOMPARE(format(s), lines({"10", "20", "1024", "720", "280", "154", "392", "236", "218", "395", "327", "296",
                                   "2", "10"}));
        s.window.moveTo(-8, -30);
        QVERIFY(format(s).startsWith("-8\r\n-30\r\n"));
    }

    void readsAnyLineEnding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray crlf = format(Settings());
        QTest::newRow("CR LF") << crlf;
        QTest::newRow("LF") << QByteArray(crlf).replace("\r\n", "\n");
        QTest::newRow("CR") << QByteArray(crlf).replace("\r\n", "\r");
        QTest::newRow("no break after the last") << crlf.chopped(2);
        QTest::newRow("lines after the 14th ignored") << crlf + "99\r\nbasura\r\n";
    }
    void readsAnyLineEnding()
    {
        QFETCH(QByteArray, bytes);
        const Lines read = parse(bytes);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.values.size(), kLineCount);
        QCOMPARE(format(apply(Settings(), read.values)), format(Settings()));
    }

    void faultsStopTheReadingWhereTheyAre_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("read");
        QTest::addColumn<QString>("error");
        const QByteArray full = format(Settings());
        const QList<QByteArray> l = full.split('\n');
        QByteArray thirteen;
        for (int i = 0; i < 13; ++i)
            thirteen += l[i] + "\n";
        QTest::newRow("13 lines") << thirteen << 13 << "List index out of bounds (13)";
        QTest::newRow("empty file") << QByteArray() << 0 << "List index out of bounds (0)";
        QTest::newRow("word on line 5") << lines({"1", "2", "3", "4", "ancho"}) << 4 << "'ancho' is not a valid integer value";
        QTest::newRow("empty line 2") << lines({"1", "", "3"}) << 1 << "'' is not a valid integer value";
        QTest::newRow("blank inside") << lines({"1 0"}) << 0 << "'1 0' is not a valid integer value";
        QTest::newRow("beyond 32 bits") << lines({"4294967296"}) << 0 << "'4294967296' is not a valid integer value";
        // Another program's file: the line is quoted, not echoed whole, and read as Windows-1252.
        QTest::newRow("long line") << lines({"1", QByteArray(5000, '7').constData()}) << 1
                                   << "'" + QString(79, u'7') + QChar(0x2026) + "' is not a valid integer value";
        QTest::newRow("Windows-1252") << lines({"a\xF1o"}) << 0 << "'año' is not a valid integer value";
    }
    void faultsStopTheReadingWhereTheyAre()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, read);
        QFETCH(QString, error);
        const Lines lines = parse(bytes);
        QCOMPARE(lines.values.size(), read);
        QCOMPARE(lines.error, error);
    }

    void valuesBeforeAFaultApplyAndTheRestStay()
    {
        Settings before;
        before.scheme = 4;
        before.textSize = 14;
        // A 13-line file sets geometry, panels and scheme; the text size keeps its value.
        QList<int> values{5, 6, 700, 500, 1, 2, 3, 4, 5, 6, 7, 8, 259};
        const Settings after = apply(before, values);
        QCOMPARE(after.window, QRect(5, 6, 700, 500));
        QCOMPARE(after.panels[7], 8);
        QCOMPARE(int(after.scheme), 3); // 259 modulo 256
        QCOMPARE(int(after.textSize), 14);
    }

    void unreachableLayoutsAreBroughtBack()
    {
        const QList<QRect> screens{QRect(0, 0, 1280, 800)};
        Settings s;
        s.window = QRect(5000, 4000, 1024, 720); // written on a monitor that is gone
        s.panels = {-40, 154, 100000, 236, 0, 395, 327, 296};
        const Settings seen = visible(s, screens);
        QVERIFY(screens[0].contains(seen.window));
        QCOMPARE(seen.window.size(), QSize(1024, 720));
        QCOMPARE(seen.panels[0], Settings().panels[0]);
        QCOMPARE(seen.panels[2], Settings().panels[2]);
        QCOMPARE(seen.panels[4], Settings().panels[4]);
        QCOMPARE(seen.panels[1], 154);

        // The extremes a hand-edited file may hold: no overflow on the way, and the window shows.
        const Settings extreme = apply(Settings(), {INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MIN});
        QVERIFY(screens[0].contains(visible(extreme, screens).window));
        QCOMPARE(visible(extreme, screens).panels[0], Settings().panels[0]);
        QVERIFY(screens[0].contains(visible(apply(Settings(), {INT_MAX, INT_MIN, INT_MIN, INT_MIN}), screens).window));

        // Too large for the screen, or with its title bar above it.
        s = Settings();
        s.window = QRect(100, -500, 9000, 9000);
        QVERIFY(screens[0].contains(visible(s, screens).window));

        // A layout that shows is kept as it is, on a second screen too.
        s = Settings();
        s.window = QRect(1400, 50, 800, 600);
        QCOMPARE(visible(s, {QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)}).window, s.window);
    }

    void writesAndReadsBack()
    {
        QTemporaryDir dir;
        Settings s;
        s.window = QRect(33, 44, 900, 650);
        s.panels[3] = 300;
        s.scheme = 5;
        s.textSize = 12;
        QCOMPARE(write(dir.path(), s), QString());
        const FileRead back = read(dir.path());
        QVERIFY(back.exists);
        QCOMPARE(back.lines.error, QString());
        QCOMPARE(format(apply(Settings(), back.lines.values)), format(s));
        // Nothing but the file is left in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Config.Dat"});
        QVERIFY(!read(dir.path() + "/nada").exists);
    }

    void aFailedWriteLeavesTheOldFileAndSaysWhy()
    {
        QTemporaryDir dir;
        QCOMPARE(write(dir.path(), Settings()), QString());
        const QByteArray before = format(Settings());
        Settings other;
        other.scheme = 1;
        QString failure;
        {
            // A disk that fills up after a few bytes, for root as for anyone.
            const FileSizeLimit limit(8);
            failure = write(dir.path(), other);
        }
        QVERIFY2(failure.startsWith("No se pudo guardar la configuración: "), qPrintable(failure));
        QFile file(dir.filePath("Config.Dat"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Config.Dat"});

        // A folder that does not exist cannot take the file either.
        QVERIFY(!write(dir.filePath("no/hay"), Settings()).isEmpty());
    }

    void abandonedTemporaryFilesGoAtTheNextWrite()
    {
        // A run killed while writing leaves its new file under a hidden name.
        QTemporaryDir dir;
        for (const char *name : {".Config.Dat.vantolia-k1LLed", "Config.Dat.bak123"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(write(dir.path(), Settings()), QString());
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, QStringList({"Config.Dat", "Config.Dat.bak123"}));
    }

    void refusalsAreInSpanish()
    {
        QTemporaryDir dir;
        QCOMPARE(write(dir.filePath("no/hay"), Settings()),
                 "No se pudo guardar la configuración: No se pudo crear el archivo " + dir.filePath("no/hay/Config.Dat")
                     + ": no existe");
        QVERIFY(QDir(dir.path()).mkdir("Config.Dat"));
        QCOMPARE(write(dir.path(), Settings()), "No se pudo guardar la configuración: No se pudo escribir el archivo "
                                                    + dir.filePath("Config.Dat") + ": es una carpeta, no un archivo");
        QVERIFY(QDir(dir.path()).rmdir("Config.Dat"));
        // A link is not replaced, nor is the file it leads to written.
        QFile other(dir.filePath("otro.txt"));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("ajeno") == 5);
        other.close();
        QVERIFY(QFile::link(dir.filePath("otro.txt"), dir.filePath("Config.Dat")));
        QCOMPARE(write(dir.path(), Settings()), "No se pudo guardar la configuración: No se pudo escribir el archivo "
                                                    + dir.filePath("Config.Dat") + ": no es un archivo común");
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("ajeno"));
    }

    void aFifoOrAFolderIsRefusedWithoutWaiting()
    {
        QTemporaryDir dir;
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath("Config.Dat")).constData(), 0600) == 0);
        QVERIFY_THROWS_EXCEPTION(store::Error, read(dir.path()));
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkdir("Config.Dat"));
        QVERIFY_THROWS_EXCEPTION(store::Error, read(other.path()));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
