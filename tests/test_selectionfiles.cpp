// Stored selections and the patient file: the bytes of the key files, what the chooser lists,
// how the patient file is understood, which names are refused and what a failed save leaves.
#include "repertory/selectionfiles.h"
#include "store/wholefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace repertory;
using Keys = std::vector<qint32>;

class TestSelectionFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }
    QByteArray native(const QString &name) const { return QFile::encodeName(dir.filePath(name)); }
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
        saveKeys(native("orden.Dat"), {5, 12, 300});
        QCOMPARE(read(file), QByteArray::fromHex("050000000C0000002C010000"));
        saveKeys(native("orden.Dat"), {-2});
        QCOMPARE(read(file), QByteArray::fromHex("FEFFFFFF")); // replaced, and signed
        saveKeys(native("orden.Dat"), {});
        QCOMPARE(read(file), QByteArray());
        QVERIFY(readKeys(native("orden.Dat")).keys.empty());

        // Whole records only, in the file's order.
        write(file, QByteArray::fromHex("0C000000050000002C01"));
        const KeysRead l = readKeys(native("orden.Dat"));
        QCOMPARE(l.keys, Keys({12, 5}));
        QVERIFY(l.error.isEmpty());
        QVERIFY(!l.missing);
        // A missing file is no fault: a patient with nothing stored yet.
        const KeysRead none = readKeys(native("ninguno.Dat"));
        QVERIFY(none.missing && none.error.isEmpty() && none.keys.empty());

        QVERIFY(QDir(dir.path()).mkpath("carpeta.Dat"));
        QCOMPARE(readKeys(native("carpeta.Dat")).error,
                 "No se pudo abrir el archivo " + path("carpeta.Dat") + ": es una carpeta, no un archivo");
    }

    void onlyRegularFilesAreReadOrReplaced()
    {
        QVERIFY(QDir(dir.path()).mkdir("r"));
        // A FIFO with nobody writing would hold a blocking open() for ever.
        QVERIFY(mkfifo(native("r/tubo.Dat").constData(), 0600) == 0);
        QCOMPARE(readKeys(native("r/tubo.Dat")).error, "No se pudo abrir el archivo " + path("r/tubo.Dat") + ": no es un archivo común");
        QVERIFY(symlink("tubo.Dat", native("r/enlace.Dat").constData()) == 0);
        QCOMPARE(readKeys(native("r/enlace.Dat")).error,
                 "No se pudo abrir el archivo " + path("r/enlace.Dat") + ": no es un archivo común");
        QVERIFY(mkfifo(native("r/tubo.$$$").constData(), 0600) == 0);
        QVERIFY_THROWS_EXCEPTION(store::Error, readPatient(path("r/tubo.$$$")));

        // Saving replaces a regular file only: not a FIFO, a folder or a link, nor what a link leads to.
        write(path("r/ajeno.db"), "de otro programa");
        QVERIFY(symlink("ajeno.db", native("r/atajo.Dat").constData()) == 0);
        QVERIFY(QDir(dir.path()).mkpath("r/carpeta.Dat"));
        const QStringList before = QDir(path("r")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const std::pair<const char *, const char *> refused[] = {
            {"tubo.Dat", "no es un archivo común"},
            {"atajo.Dat", "no es un archivo común"},
            {"carpeta.Dat", "es una carpeta, no un archivo"},
        };
        for (const auto &[name, reason] : refused) {
            QString message;
            try {
                saveKeys(native(QString("r/") + name), {1, 2});
            } catch (const store::Error &e) {
                message = e.message();
            }
            QCOMPARE(message, "No se pudo escribir el archivo " + path(QString("r/") + name) + ": " + reason);
        }
        QCOMPARE(QDir(path("r")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), before);
        QCOMPARE(read(path("r/ajeno.db")), QByteArray("de otro programa"));
        QVERIFY(QFileInfo(path("r/tubo.Dat")).isSymLink() == false && QFileInfo(path("r/atajo.Dat")).isSymLink());
    }

    void oversizedFilesAreNotReadWhole()
    {
        // Sparse files: they take no room on the disk, and read as zeros.
        const auto sparse = [this](const char *name, qint64 size, const QByteArray &start) {
            QFile f(path(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(start), start.size());
            QVERIFY(f.resize(size));
        };
        sparse("millon.Dat", qint64(kMostKeys) * 4 + 3, QByteArray::fromHex("07000000"));
        const KeysRead most = readKeys(native("millon.Dat"));
        QVERIFY(most.error.isEmpty());
        QCOMPARE(most.keys.size(), kMostKeys);
        QCOMPARE(most.keys.front(), 7);
        sparse("enorme.Dat", qint64(kMostKeys) * 4 + 4, QByteArray::fromHex("07000000"));
        const KeysRead huge = readKeys(native("enorme.Dat"));
        QCOMPARE(huge.error,
                 "El archivo " + path("enorme.Dat") + " no es una selección guardada: tiene más de un millón de claves");
        QVERIFY(huge.keys.empty());

        // 200 MB whose first lines are a patient: those are all that is read.
        sparse("grande.$$$", 200 * 1024 * 1024, "42\r\nAna\r\n");
        const std::optional<Patient> p = readPatient(path("grande.$$$"));
        QVERIFY(p);
        QCOMPARE(p->number, 42);
        QCOMPARE(p->name, QString("Ana"));
        // A name cut by the limit is what the first bytes hold, no more.
        sparse("largo.$$$", 10 * 1024 * 1024, "7\n" + QByteArray(8000, 'a'));
        QCOMPARE(readPatient(path("largo.$$$"))->name.size(), kPatientFileBytes - 2);
    }

    void abandonedSavesGoAtTheNextSave()
    {
        // What saves killed before their rename leave, and what looks like it but is not.
        const QString folder = path("guardados/Repertorio");
        QVERIFY(QDir().mkpath(folder));
        for (const char *name : {".caso.Dat.vantolia-Ab12Cd", ".{42}.Dat.vantolia-000000", "caso.Dat.Ab12Cd",
                                 "caso.Dat.backup", ".caso.Dat.vantolia-abc", ".caso.Dat.vantolia-ab_12c"})
            write(folder + "/" + name, "resto");
        QVERIFY(QDir(folder).mkdir(".carpeta.Dat.vantolia-Zz9Zz9"));
        QVERIFY(symlink("../ajeno", QFile::encodeName(folder + "/.enlace.Dat.vantolia-Qq1Qq1").constData()) == 0);
        // One being written right now by another run, which holds its lock.
        write(folder + "/.vivo.Dat.vantolia-Yy8Yy8", "");
        QFile living(folder + "/.vivo.Dat.vantolia-Yy8Yy8");
        QVERIFY(living.open(QIODevice::ReadOnly));
        QCOMPARE(flock(living.handle(), LOCK_EX | LOCK_NB), 0);

        saveKeys(QFile::encodeName(folder + "/nuevo.Dat"), {3});
        QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, QStringList({".carpeta.Dat.vantolia-Zz9Zz9", ".caso.Dat.vantolia-ab_12c", ".caso.Dat.vantolia-abc",
                                    ".enlace.Dat.vantolia-Qq1Qq1", ".vivo.Dat.vantolia-Yy8Yy8", "caso.Dat.Ab12Cd",
                                    "caso.Dat.backup", "nuevo.Dat"}));
        living.close();
        QCOMPARE(store::removeAbandonedSaves(QFile::encodeName(folder)), QStringList({".vivo.Dat.vantolia-Yy8Yy8"}));
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
        QVERIFY(listFiles(folder).isEmpty());
        QVERIFY(QFileInfo(folder).isDir()); // made on the first listing
        for (const char *name : {"b.dat", "X.DAT", "Ñandú.Dat", "Nube.Dat", "álamo.Dat", "{7}.Dat", "{abc}.Dat",
                                 "notas.txt", "caso.Dat.x7Gh2k", ".Dat", ".caso.Dat.vantolia-x7Gh2k", "caso..final.Dat"})
            write(folder + "/" + name, "");
        QVERIFY(QDir(folder).mkpath("x.Dat"));
        // Copied from a Windows machine: the name's bytes are Windows-1252, not UTF-8.
        const QByteArray spanish = QFile::encodeName(folder) + "/Pe\xF1" "a \x80.Dat";
        QVERIFY(::close(::open(spanish.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        // As the list box sorts: letters without regard to case or accents, ñ after n.
        QStringList names;
        QList<QByteArray> files;
        for (const StoredFile &f : listFiles(folder)) {
            names << f.name;
            files << f.fileName;
        }
        QCOMPARE(names, QStringList({"álamo", "b", "caso..final", "Nube", "Ñandú", "Peña €", "X", "x"}));
        // Each name keeps the file it came from, whatever the case of its extension.
        QCOMPARE(files.mid(5), QList<QByteArray>({QByteArray("Pe\xF1" "a \x80.Dat"), "X.DAT", "x.Dat"}));
        QCOMPARE(storedFilePath(folder, listFiles(folder)[5]), spanish);
        // The temporary folder's own removal goes by decoded names: this one it could not reach.
        QCOMPARE(::unlink(spanish.constData()), 0);

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
        QTest::newRow("dots inside") << QString("caso..final") << false;
        QTest::newRow("three dots") << QString("...") << false;
        QTest::newRow("control") << QString("a\tb") << true;
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
        saveKeys(QFile::encodeName(file), {4, 8});
        // Files may not grow past 12 bytes: the new selection fails half-way through writing.
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 12;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString message;
        try {
            saveKeys(QFile::encodeName(file), Keys(64, 7));
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
