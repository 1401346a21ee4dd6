// Stored selections and the patient file: the bytes of the key files, what the chooser lists,
// how the patient file is understood, which names are refused and what a failed save leaves.
#include "repertory/selectionfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace repertory;
using Keys = std::vector<qint32>;

class TestSelectionFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }
    static void write(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void keyFiles()
    {
        const QString file = path("orden.Dat");
        saveKeys(file, {5, 12, 300});
        QCOMPARE(read(file), QByteArray::fromHex("050000000C0000002C010000"));
        saveKeys(file, {-2});
        QCOMPARE(read(file), QByteArray::fromHex("FEFFFFFF")); // replaced, and signed
        saveKeys(file, {});
        QCOMPARE(read(file), QByteArray());
        QVERIFY(readKeys(file).keys.empty());

        // Whole records only, in the file's order.
        write(file, QByteArray::fromHex("0C000000050000002C01"));
        const KeysRead l = readKeys(file);
        QCOMPARE(l.keys, Keys({12, 5}));
        QVERIFY(l.error.isEmpty());

        QVERIFY(QDir(dir.path()).mkpath("carpeta.Dat"));
        QVERIFY(readKeys(path("carpeta.Dat")).error.startsWith("No se pudo abrir el archivo "));
    }

    void loadingDropsMissingSymptomsAndStopsAtARepeat()
    {
        const auto exists = [](qint32 k) { return k != 99; };
        KeysToLoad c = keysToLoad({5, 99, 3, 5, 7}, exists);
        QCOMPARE(c.keys, Keys({5, 3}));
        QCOMPARE(c.repeated, std::optional<qint32>(5));
        // A deleted symptom given twice never reaches the selection: no fault.
        c = keysToLoad({99, 4, 99, 7}, exists);
        QCOMPARE(c.keys, Keys({4, 7}));
        QVERIFY(!c.repeated);
    }

    void listing()
    {
        const QString folder = path("Repertorio");
        QCOMPARE(listFiles(folder), QStringList());
        QVERIFY(QFileInfo(folder).isDir()); // made on the first listing
        for (const char *name : {"b.dat", "X.DAT", "Ñandú.Dat", "Nube.Dat", "álamo.Dat", "{7}.Dat", "{abc}.Dat",
                                 "notas.txt", "caso.Dat.x7Gh2k", ".Dat"})
            write(folder + "/" + name, "");
        QVERIFY(QDir(folder).mkpath("x.Dat"));
        // As the list box sorts: letters without regard to case or accents, ñ after n.
        QCOMPARE(listFiles(folder), QStringList({"álamo", "b", "Nube", "Ñandú", "X", "x"}));

        write(path("ocupado"), "no soy una carpeta");
        QVERIFY_THROWS_EXCEPTION(store::Error, listFiles(path("ocupado")));
    }

    void patientFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("number"); // -1: not understood
        QTest::addColumn<QString>("name");
        QTest::newRow("CR LF, Windows-1252") << QByteArray("42\r\nJos\xe9 Mu\xf1oz \x80\r\n") << 42 << QString("José Muñoz €");
        QTest::newRow("LF") << QByteArray("42\nAna\n") << 42 << QString("Ana");
        QTest::newRow("CR, later lines") << QByteArray(" 7\rLuis\r3\r") << 7 << QString("Luis");
        QTest::newRow("one line") << QByteArray("42\r\n") << -1 << QString();
        QTest::newRow("not a number") << QByteArray("cuarenta\r\nAna\r\n") << -1 << QString();
        QTest::newRow("empty") << QByteArray() << -1 << QString();
    }
    void patientFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, number);
        QFETCH(QString, name);
        write(path("Usuario.$$$"), content);
        const std::optional<Patient> p = readPatient(path("Usuario.$$$"));
        QCOMPARE(p ? p->number : -1, number);
        QCOMPARE(p ? p->name : QString(), name);
    }

    void patientFileMissingOrUnreadable()
    {
        QVERIFY(!readPatient(path("ninguno.$$$")));
        QVERIFY(QDir(dir.path()).mkpath("Dorvek/Usuario.$$$"));
        QVERIFY_THROWS_EXCEPTION(store::Error, readPatient(path("Dorvek/Usuario.$$$")));
    }

    void typedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("up and over") << QString("../Config") << true;
        QTest::newRow("backslash") << QString("a\\b") << true;
        QTest::newRow("dots") << QString("..") << true;
        QTest::newRow("patient") << QString("{42}") << true;
        QTest::newRow("nul") << QString(QChar(0)) + "x" << true;
        QTest::newRow("plain") << QString(" Año nuevo, caso.1 {2} ") << false;
    }
    void typedNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, refused);
        QCOMPARE(!nameRefusal(name).isEmpty(), refused);
    }

    void failedSaveKeepsWhatWasStored()
    {
        // A patient's first save: the folder does not exist yet.
        const QString folder = path("nueva/Repertorio");
        const QString file = folder + "/{42}.Dat";
        saveKeys(file, {4, 8});
        // Files may not grow past 12 bytes: the new selection fails half-way through writing.
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 12;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString message;
        try {
            saveKeys(file, Keys(64, 7));
        } catch (const store::Error &e) {
            message = e.message();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QVERIFY2(message.startsWith("No se pudo escribir el archivo " + file + ": "), qPrintable(message));
        QCOMPARE(read(file), QByteArray::fromHex("0400000008000000"));
        // Nothing half-written is left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList({"{42}.Dat"}));
    }
};

QTEST_GUILESS_MAIN(TestSelectionFiles)
#include "test_selectionfiles.moc"
