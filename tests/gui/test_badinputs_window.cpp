// Hostile files where the program keeps its own: stored selections, the patient file of the
// companion application and the settings file. Each case is put in place before the main window
// opens, then the user does the one thing that meets it; the test checks the message the user
// reads, word for word, that the program never waits on the file, and that nothing on the disk
// changed, the tables included.
#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "repertory/tfselarch.h"
#include "testsupport.h"
#include "windowtest.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the user does once the file is in place.
enum class Action { Start, Open, Save, ShowPatient, Leave };

// The working folder sits in a temporary folder of its own, beside the companion
// application's folder.
class Root
{
public:
    Root()
    {
        if (!m_root.isValid() || !QDir(m_root.path()).mkpath("trabajo/Repertorio") || !QDir(m_root.path()).mkdir("Dorvek"))
            qFatal("no temporary folder");
        importFixture(m_root.filePath("trabajo"));
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_root.filePath("trabajo"));
    }
    ~Root() { QDir::setCurrent(m_previous); }
    QString path() const { return m_root.path(); }

    // Every entry under the root with what it is: a file's size and a digest of its bytes
    // (the first megabyte of a large one, which is all a sparse test file holds), a link's
    // target, a FIFO, a folder.
    QStringList tree() const
    {
        QStringList out;
        QDirIterator it(m_root.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            // The working tables keep their journal for as long as they are open.
            if (it.fileName() == "RepSint.db-journal" || it.fileName() == "RepFlor.db-journal")
                continue;
            const QFileInfo info = it.fileInfo();
            QString what;
            struct stat st {};
            lstat(QFile::encodeName(it.filePath()).constData(), &st);
            if (S_ISLNK(st.st_mode))
                what = "-> " + info.symLinkTarget();
            else if (S_ISFIFO(st.st_mode))
                what = "fifo";
            else if (S_ISDIR(st.st_mode))
                what = "dir";
            else {
                QFile f(it.filePath());
                if (!f.open(QIODevice::ReadOnly))
                    qFatal("cannot read %s", qPrintable(it.filePath()));
                what = QString("%1 %2").arg(info.size()).arg(
                    QString::fromLatin1(QCryptographicHash::hash(f.read(1 << 20), QCryptographicHash::Md5).toHex()));
            }
            out << it.filePath().mid(m_root.path().size()) + " " + what;
        }
        out.sort();
        return out;
    }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

void fifo(const QString &path)
{
    if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        qFatal("mkfifo %s", qPrintable(path));
}

void makeLink(const QString &target, const QString &path)
{
    if (symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0)
        qFatal("symlink %s", qPrintable(path));
}

// A file that reads as `start` followed by zeros up to `size`, without taking the room.
void sparse(const QString &path, qint64 size, const QByteArray &start)
{
    writeFile(path, start);
    if (!QFile::resize(path, size))
        qFatal("resize %s", qPrintable(path));
}

// What differs between two pictures of the tree: "- entry" gone or changed, "+ entry" new or changed.
QStringList changes(const QStringList &before, const QStringList &after)
{
    QStringList out;
    for (const QString &e : before)
        if (!after.contains(e))
            out << "- " + e;
    for (const QString &e : after)
        if (!before.contains(e))
            out << "+ " + e;
    return out;
}

QString native(const char *path)
{
    return QDir::toNativeSeparators(QString::fromUtf8(path));
}

} // namespace

class TestBadInputsWindow : public QObject
{
    Q_OBJECT

private slots:
    void badInputs_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("name"); // the name chosen or typed
        // What the action makes the program say, or, for the settings file, all it says from its
        // start; %W stands for the working folder.
        QTest::addColumn<QStringList>("messages");

        const QString openFailed = "Error: No se pudo abrir el archivo %1: %2.";
        const QString saveFailed = "Error: No se pudo escribir el archivo %1: %2.";
        const QString notRegular = "no es un archivo común";
        const QString folder = "es una carpeta, no un archivo";
        const int start = int(Action::Start), open = int(Action::Open), save = int(Action::Save), patient = int(Action::ShowPatient),
                  leave = int(Action::Leave);

        // Stored selections.
        QTest::newRow("FIFO opened") << open << "tubo" << QStringList{openFailed.arg(native("Repertorio/tubo.Dat"), notRegular)};
        QTest::newRow("link to a FIFO opened")
            << open << "enlace" << QStringList{openFailed.arg(native("Repertorio/enlace.Dat"), notRegular)};
        QTest::newRow("link to nothing opened")
            << open << "roto" << QStringList{openFailed.arg(native("Repertorio/roto.Dat"), notRegular)};
        QTest::newRow("folder opened") << open << "carpeta" << QStringList{openFailed.arg(native("Repertorio/carpeta.Dat"), folder)};
        QTest::newRow("over a million keys")
            << open << "enorme"
            << QStringList{"Error: El archivo " + native("Repertorio/enorme.Dat")
                           + " no es una selección guardada: tiene más de un millón de claves."};
        QTest::newRow("FIFO saved over") << save << "tubo" << QStringList{saveFailed.arg(native("Repertorio/tubo.Dat"), notRegular)};
        QTest::newRow("link to the settings saved over")
            << save << "atajo" << QStringList{saveFailed.arg(native("Repertorio/atajo.Dat"), notRegular)};
        QTest::newRow("folder saved over")
            << save << "carpeta" << QStringList{saveFailed.arg(native("Repertorio/carpeta.Dat"), folder)};
        const QString longName(300, QChar(u'ñ'));
        QTest::newRow("name too long") << save << longName
                                      << QStringList{saveFailed.arg(native("Repertorio/") + longName + ".Dat",
                                                                    "el nombre es demasiado largo")};
        QTest::newRow("dots") << save << ".." << QStringList{"Aviso: El nombre del repertorio no puede ser dos puntos (..)"};
        QTest::newRow("separator")
            << save << "../Config" << QStringList{"Aviso: El nombre del repertorio no puede contener los caracteres / ni \\"};
        QTest::newRow("control character")
            << save << "a\tb" << QStringList{"Aviso: El nombre del repertorio no puede contener caracteres de control"};
        QTest::newRow("a patient's name")
            << save << "{42}" << QStringList{"Aviso: Los nombres que empiezan con { están reservados para los pacientes"};
        QTest::newRow("folder of stored selections is a file")
            << open << "x" << QStringList{"Error: No se pudo crear la carpeta Repertorio: existe y no es una carpeta."};

        // The companion application's patient file.
        const QString patientFile = native("../Dorvek/Usuario.$$$");
        QTest::newRow("FIFO as the patient file") << patient << "" << QStringList{openFailed.arg(patientFile, notRegular)};
        QTest::newRow("folder as the patient file") << patient << "" << QStringList{openFailed.arg(patientFile, folder)};
        QTest::newRow("patient file of 200 MB") << patient << "" << QStringList{};

        // The settings file, read when the window opens and written when it closes.
        QTest::newRow("FIFO as the settings file")
            << leave << ""
            << QStringList{"Error: " + native("%W/Config.Dat")
                               + " no es un archivo común: se deja la disposición de la ventana como está.",
                           "Error: No se pudo guardar la configuración: No se pudo escribir el archivo "
                               + native("%W/Config.Dat") + ": no es un archivo común."};
        QTest::newRow("settings line of 10 000 characters")
            << start << ""
            << QStringList{"Error: '" + QString(79, QChar(u'x')) + QChar(0x2026) + "' is not a valid integer value."};
    }

    void badInputs()
    {
        QFETCH(int, action);
        QFETCH(QString, name);
        QFETCH(QStringList, messages);
        const QByteArray row = QTest::currentDataTag();
        Root root;
        const QString work = QDir::currentPath();
        messages.replaceInStrings("%W", QDir::toNativeSeparators(work));

        if (row == "FIFO opened" || row == "FIFO saved over")
            fifo("Repertorio/tubo.Dat");
        else if (row == "link to a FIFO opened") {
            fifo("Repertorio/tubo");
            makeLink("tubo", "Repertorio/enlace.Dat");
        } else if (row == "link to nothing opened")
            makeLink("ninguno", "Repertorio/roto.Dat");
        else if (row == "folder opened" || row == "folder saved over")
            QVERIFY(QDir().mkdir("Repertorio/carpeta.Dat"));
        else if (row == "over a million keys")
            sparse("Repertorio/enorme.Dat", 4'000'004, QByteArray("\x01\0\0\0", 4));
        else if (row == "link to the settings saved over") {
            writeFile("Config.Dat", "no se toca\r\n");
            makeLink("../Config.Dat", "Repertorio/atajo.Dat");
        } else if (row == "folder of stored selections is a file") {
            QVERIFY(QDir().rmdir("Repertorio"));
            writeFile("Repertorio", "no soy una carpeta");
        } else if (row == "FIFO as the patient file")
            fifo("../Dorvek/Usuario.$$$");
        else if (row == "folder as the patient file")
            QVERIFY(QDir().mkdir("../Dorvek/Usuario.$$$"));
        else if (row == "patient file of 200 MB")
            sparse("../Dorvek/Usuario.$$$", 200 << 20, "42\r\nAna\r\n");
        else if (row == "FIFO as the settings file")
            fifo("Config.Dat");
        else if (row == "settings line of 10 000 characters")
            writeFile("Config.Dat", QByteArray(10'000, 'x') + "\r\n");
        // A stored selection that opens, so that the chooser has something to offer.
        if (QFileInfo("Repertorio").isDir())
            writeFile("Repertorio/x.Dat", QByteArray("\x01\0\0\0", 4));

        TestWindow window;
        QVERIFY(window.open());
        ChooserSeam chooser;
        auto *selection = window.grid("GrSel");
        auto *result = window.grid("GrRepF");
        const bool fromStart = action == int(Action::Start) || action == int(Action::Leave);
        if (!fromStart) {
            window.w<QAbstractButton>("Sintomas")->click();
            for (const char *symptom : {"Timidez", "CORAZÓN ROTO"}) {
                auto *g = window.grid("GrSintomas");
                g->setCurrentIndex(g->model()->index(columnTexts(g).indexOf(symptom), 0));
                window.w<QAbstractButton>("Agregar")->click();
            }
            window.w<QAbstractButton>("Procesar")->click();
            window.w<QAbstractButton>("cerrar")->click();
        }
        // The selection's tables are written a moment after a change (a tenth of a second):
        // done before the picture.
        QTest::qWait(500);
        const QStringList before = root.tree();
        const QStringList chosen = columnTexts(selection);
        const int results = result->model()->rowCount();
        const qsizetype shownBefore = fromStart ? 0 : window.seam->log().size();

        switch (Action(action)) {
        case Action::Start: break;
        case Action::Open:
            chooser.answer([name](TFSelArch &s) {
                auto *list = controlOf<QListWidget>(&s, "Lista");
                if (!list->findItems(name, Qt::MatchExactly).isEmpty())
                    list->setCurrentItem(list->findItems(name, Qt::MatchExactly).first());
                return true;
            });
            window.w<QAbstractButton>("Abrir")->click();
            break;
        case Action::Save:
            chooser.answer(ChooserSeam::acceptWith(name));
            window.w<QAbstractButton>("Guardar")->click();
            break;
        case Action::ShowPatient: window.w<QAbstractButton>("Sintomas")->click(); break;
        case Action::Leave: window.leave(); break;
        }
        QCoreApplication::processEvents();

        QCOMPARE(window.seam->log().mid(shownBefore), messages);
        if (!fromStart) {
            QCOMPARE(columnTexts(selection), chosen);
            QCOMPARE(result->model()->rowCount(), results);
        }
        if (row == "patient file of 200 MB")
            QCOMPARE(window.w<QLabel>("LabPac")->text(), QString("Ana"));
        window.close();
        // Nothing on the disk changed: not the bad file, not what a link leads to, not a table.
        const QStringList changed = changes(before, root.tree());
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join('\n')));
    }
};

QTEST_MAIN(TestBadInputsWindow)
#include "test_badinputs_window.moc"
