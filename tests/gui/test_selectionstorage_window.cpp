// Saving and opening selections through the real main window: the chooser, the files it
// writes and reads, the names it refuses, and the patient of the companion application.
#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "repertory/tfselarch.h"
#include "testsupport.h"
#include "windowtest.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace {

void write(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray keys(std::initializer_list<qint32> list)
{
    QByteArray out;
    for (qint32 k : list)
        for (int b = 0; b < 4; ++b)
            out += char((quint32(k) >> (8 * b)) & 0xFF);
    return out;
}

// The working folder sits inside a temporary folder of its own, so that the companion
// application's folder beside it belongs to this test alone.
class Carpetas
{
public:
    Carpetas()
    {
        if (!m_root.isValid() || !QDir(m_root.path()).mkdir("trabajo"))
            qFatal("no temporary folder");
        importFixture(m_root.filePath("trabajo"));
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_root.filePath("trabajo"));
    }
    ~Carpetas() { QDir::setCurrent(m_previous); }

    QString patient() const { return m_root.filePath("Dorvek/Usuario.$$$"); }
    // Every file and folder under the root, with each file's size.
    QStringList tree() const
    {
        QStringList out;
        QDirIterator it(m_root.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            out << it.filePath() + QString(" %1").arg(it.fileInfo().isDir() ? -1 : it.fileInfo().size());
        }
        out.sort();
        return out;
    }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

// What the chooser showed when it was asked.
struct ChooserView
{
    QString caption;
    bool nameBox = false;
    QString name;
    QStringList names;
    QString focus;
};

ChooserView look(TFSelArch &s)
{
    ChooserView v{s.windowTitle(), !controlOf(&s, "PanEd")->isHidden(), s.chosenName(), s.names(), {}};
    v.focus = s.focusWidget() ? s.focusWidget()->objectName() : QString();
    return v;
}

} // namespace

class TestSelectionStorageWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<Carpetas> folders;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<DialogSeam> dialogs;
    std::unique_ptr<ChooserSeam> chooser;

    template<typename T = QWidget>
    T *w(const char *name) const
    {
        T *found = form->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *name) const { w<QAbstractButton>(name)->click(); }
    static QStringList rows(DataGrid *g, int column = 0)
    {
        QStringList out;
        for (int r = 0; r < g->model()->rowCount(); ++r)
            out << g->model()->index(r, column).data().toString();
        return out;
    }
    void add(const QString &symptom)
    {
        auto *g = w<DataGrid>("GrSintomas");
        g->setCurrentIndex(g->model()->index(rows(g).indexOf(symptom), 0));
        click("Agregar");
    }
    QStringList selection() const { return rows(w<DataGrid>("GrSel")); }
    int results() const { return w<DataGrid>("GrRepF")->model()->rowCount(); }
    bool selectionButtonsEnabled() const
    {
        const bool on = w("Procesar")->isEnabled();
        for (const char *name : {"Quitar", "Reiniciar", "BotAgrSintFlor"})
            if (w(name)->isEnabled() != on)
                qFatal("%s disagrees with Procesar", name);
        return on;
    }
    // Answers the next showing of the chooser: notes what it showed, picks a name in the list as
    // the keys would, or types one, and closes it with OK or Cancel.
    void answer(ChooserView *seen, bool ok, const QString &typed = {}, const QString &picked = {})
    {
        chooser->answer([=](TFSelArch &s) {
            if (seen)
                *seen = look(s);
            auto *list = controlOf<QListWidget>(&s, "Lista");
            if (!picked.isNull() && !list->findItems(picked, Qt::MatchExactly).isEmpty())
                list->setCurrentItem(list->findItems(picked, Qt::MatchExactly).first());
            if (!typed.isNull())
                controlOf<QLineEdit>(&s, "Ed")->setText(typed);
            return ok;
        });
    }
    void open(const QString &name)
    {
        answer(nullptr, true, {}, name);
        click("Abrir");
    }

private slots:
    void init()
    {
        folders = std::make_unique<Carpetas>();
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        dialogs = std::make_unique<DialogSeam>();
        chooser = std::make_unique<ChooserSeam>();
        click("Sintomas");
    }
    void cleanup()
    {
        chooser.reset();
        dialogs.reset();
        form.reset();
        folders.reset();
    }

    void savingAndOpeningGoRoundTrip()
    {
        add("Zumbido en los oídos"); // 12
        add("Timidez");              // 5
        add("CORAZÓN ROTO");         // 3
        ChooserView seen;
        answer(&seen, true, "Caso Ana");
        click("Guardar");
        QCOMPARE(seen.caption, QString("Guardar Repertorio"));
        QVERIFY(seen.nameBox);
        QCOMPARE(seen.focus, QString("Ed"));
        QCOMPARE(read("Repertorio/Caso Ana.Dat"), QByteArray::fromHex("03000000050000000C000000"));

        // A second save proposes the last name and replaces that file without asking.
        add("Dolor de cabeza"); // 1
        answer(nullptr, true, "beta");
        click("Guardar");
        answer(&seen, true, "Caso Ana");
        click("Guardar");
        QCOMPARE(seen.name, QString("beta"));
        QCOMPARE(seen.names, QStringList({"beta", "Caso Ana"}));
        QCOMPARE(read("Repertorio/Caso Ana.Dat"), QByteArray::fromHex("0100000003000000050000000C000000"));

        click("Procesar");
        QVERIFY(results() > 0);
        click("cerrar");
        dialogs->answer({true});
        click("Reiniciar");

        // Opening starts on the list's first name, whatever the name box held.
        answer(&seen, true);
        click("Abrir");
        QCOMPARE(seen.caption, QString("Seleccione el Repertorio"));
        QVERIFY(!seen.nameBox);
        QCOMPARE(seen.focus, QString("Lista"));
        QCOMPARE(seen.name, QString("beta"));
        open("Caso Ana");
        QCOMPARE(selection(), QStringList({"Dolor de cabeza", "CORAZÓN ROTO", "Timidez", "Zumbido en los oídos"}));
        QVERIFY(selectionButtonsEnabled());
        // Opening never processes and stays on the symptoms page.
        QCOMPARE(results(), 0);
        QCOMPARE(w<QTabWidget>("Ficha")->currentWidget(), w("PagSint"));
        QCOMPARE(dialogs->log(), QStringList({"Confirmar: Va a quitar TODOS los síntomas seleccionados ?"}));

        // An empty selection gives an empty file, which opens as an empty selection.
        dialogs->answer({true});
        click("Reiniciar");
        answer(nullptr, true, "vacío");
        click("Guardar");
        QCOMPARE(read("Repertorio/vacío.Dat"), QByteArray());
        add("Timidez");
        open("vacío");
        QVERIFY(selection().isEmpty());
        QVERIFY(!selectionButtonsEnabled());
    }

    void cancellingOrNothingStoredChangesNothing()
    {
        add("Miedo a cosas conocidas");
        add("Timidez");
        click("Procesar");
        click("cerrar");
        // Patients' files are not offered.
        write("Repertorio/{7}.Dat", keys({1}));
        write("Repertorio/{abc}.Dat", keys({1}));
        click("Abrir");
        QCOMPARE(dialogs->log(), QStringList({"Aviso: No hay archivos guardados"}));
        QVERIFY(chooser->log().isEmpty());

        write("Repertorio/otro.Dat", keys({1, 2}));
        answer(nullptr, false, {}, "otro");
        click("Abrir");
        answer(nullptr, false, "otro");
        click("Guardar");
        QCOMPARE(chooser->log(), QStringList({"Seleccione el Repertorio", "Guardar Repertorio"}));
        QCOMPARE(selection(), QStringList({"Miedo a cosas conocidas", "Timidez"}));
        QCOMPARE(results(), 3);
        QCOMPARE(read("Repertorio/otro.Dat"), keys({1, 2}));
    }

    void faultyFiles()
    {
        // Symptom 99 is gone and the last two bytes are not a whole key: both pass silently.
        write("Repertorio/viejo.Dat", keys({14, 99, 2}) + QByteArray("\x01\x02", 2));
        open("viejo");
        QCOMPARE(selection(), QStringList({"Corazón acelerado", "Abatimiento"}));
        QVERIFY(dialogs->log().isEmpty());

        // A key given twice: what came before it, each once.
        write("Repertorio/doble.Dat", keys({5, 3, 5, 7}));
        open("doble");
        QCOMPARE(selection(), QStringList({"CORAZÓN ROTO", "Timidez"}));
        QCOMPARE(dialogs->log(), QStringList({"Error: El archivo " + QDir::toNativeSeparators("Repertorio/doble.Dat")
                                              + " tiene el síntoma 5 más de una vez: solo se cargaron los síntomas anteriores."}));
        QVERIFY(selectionButtonsEnabled());

        // A folder named like a stored file is listed, and cannot be read: the selection and
        // the result stay as they were.
        QVERIFY(QDir().mkpath("Repertorio/x.Dat"));
        click("Procesar");
        click("cerrar");
        const int processed = results();
        QVERIFY(processed > 0);
        ChooserView seen;
        answer(&seen, true, {}, "x");
        click("Abrir");
        QCOMPARE(seen.names, QStringList({"doble", "viejo", "x"}));
        QCOMPARE(dialogs->log().last(), "Error: No se pudo abrir el archivo " + QDir::toNativeSeparators("Repertorio/x.Dat")
                                            + ": es una carpeta, no un archivo.");
        QCOMPARE(selection(), QStringList({"CORAZÓN ROTO", "Timidez"}));
        QCOMPARE(results(), processed);
        QVERIFY(selectionButtonsEnabled());

        // The grids refresh again after every fault.
        add("Dolor de cabeza");
        QCOMPARE(selection(), QStringList({"Dolor de cabeza", "CORAZÓN ROTO", "Timidez"}));
    }

    void namesAsTheyAreOnDisk()
    {
        // Written elsewhere: extensions in other cases, a name in Windows-1252.
        write("Repertorio/Caso.DAT", keys({12}));
        write("Repertorio/x.dat", keys({5}));
        const QByteArray spanish = QByteArray("Repertorio/Pe\xF1") + "a.Dat";
        const int made = ::open(spanish.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(made >= 0);
        QCOMPARE(::write(made, keys({3, 1}).constData(), 8), 8);
        ::close(made);

        ChooserView seen;
        answer(&seen, true, {}, "Caso");
        click("Abrir");
        QCOMPARE(seen.names, QStringList({"Caso", "Peña", "x"}));
        QCOMPARE(selection(), QStringList({"Zumbido en los oídos"}));
        open("x");
        QCOMPARE(selection(), QStringList({"Timidez"}));
        open("Peña");
        QCOMPARE(selection(), QStringList({"Dolor de cabeza", "CORAZÓN ROTO"}));
        QVERIFY(dialogs->log().isEmpty());

        // Saving under a listed name replaces the file listed, as it is named.
        add("Timidez");
        answer(nullptr, true, {}, "Peña");
        click("Guardar");
        QCOMPARE(read(QString::fromLatin1(spanish)), QByteArray("<missing>")); // no UTF-8 twin was made
        QFile f;
        const int fd = ::open(spanish.constData(), O_RDONLY);
        QVERIFY(fd >= 0 && f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(f.readAll(), keys({1, 3, 5}));
        answer(nullptr, true, "Caso");
        click("Guardar");
        QCOMPARE(read("Repertorio/Caso.DAT"), keys({1, 3, 5}));
        QVERIFY(!QFileInfo::exists("Repertorio/Caso.Dat"));

        // Dots inside a name are a name like any other.
        answer(&seen, true, "caso..final");
        click("Guardar");
        QCOMPARE(read("Repertorio/caso..final.Dat"), keys({1, 3, 5}));
        QCOMPARE(dialogs->log(), QStringList());
        // The temporary folder's own removal goes by decoded names: this one it could not reach.
        QCOMPARE(::unlink(spanish.constData()), 0);
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("notice");
        const QString separators = "El nombre del repertorio no puede contener los caracteres / ni \\";
        QTest::newRow("settings file") << QString("../Config") << separators;
        QTest::newRow("table") << QString("..\\Flores") << separators;
        QTest::newRow("dots") << QString("..") << QString("El nombre del repertorio no puede ser dos puntos (..)");
        QTest::newRow("patient") << QString("{42}") << QString("Los nombres que empiezan con { están reservados para los pacientes");
        QTest::newRow("empty") << QString("") << QString("Escriba el nombre con el que se guardará el repertorio");
    }
    void refusedNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, notice);
        write("Repertorio/{42}.Dat", keys({9}));
        add("Timidez");
        const QStringList before = folders->tree();
        answer(nullptr, true, name);
        click("Guardar");
        QCOMPARE(dialogs->log(), QStringList({"Aviso: " + notice}));
        QCOMPARE(folders->tree(), before);
    }

    void patientMode()
    {
        write(folders->patient(), "42\r\nJos\xe9 P\xe9rez\r\n");
        click("Sintomas");
        QVERIFY(!w("PanPac")->isHidden());
        QCOMPARE(w<QLabel>("LabPac")->text(), QString("José Pérez"));
        QVERIFY(w<QCheckBox>("ChPac")->isChecked());

        // The first save for the patient makes the folder and goes straight to the file.
        add("Timidez");
        add("Dolor de cabeza");
        QVERIFY(!QFileInfo::exists("Repertorio"));
        click("Guardar");
        QCOMPARE(read("Repertorio/{42}.Dat"), keys({1, 5}));

        // Another patient with nothing stored yet: opening empties the selection.
        write(folders->patient(), "43\nAna\n");
        click("Sintomas");
        QCOMPARE(w<QLabel>("LabPac")->text(), QString("Ana"));
        click("Abrir");
        QVERIFY(selection().isEmpty());
        QVERIFY(!selectionButtonsEnabled());

        write(folders->patient(), "42\rJos\xe9 P\xe9rez\r");
        click("Sintomas");
        click("Abrir");
        QCOMPARE(selection(), QStringList({"Dolor de cabeza", "Timidez"}));
        QVERIFY(chooser->log().isEmpty());
        QVERIFY(dialogs->log().isEmpty());

        // Unticked, saving asks for a name; the tick is the user's alone.
        w<QCheckBox>("ChPac")->click();
        click("Sintomas");
        QVERIFY(!w<QCheckBox>("ChPac")->isChecked());
        answer(nullptr, false);
        click("Guardar");
        QCOMPARE(chooser->log(), QStringList({"Guardar Repertorio"}));

        // A file that exists but cannot be read: the page still shows, the error comes last and
        // the panel stays as it was.
        QFile::remove(folders->patient());
        QVERIFY(QDir().mkpath(folders->patient()));
        click("Sintomas");
        QCOMPARE(w<QTabWidget>("Ficha")->currentWidget(), w("PagSint"));
        QVERIFY2(dialogs->log().last().startsWith("Error: No se pudo abrir el archivo " + QDir::toNativeSeparators("../Dorvek")),
                 qPrintable(dialogs->log().last()));
        QVERIFY(!w("PanPac")->isHidden());

        // One that cannot be understood hides the panel without a word.
        QDir().rmdir(folders->patient());
        write(folders->patient(), "Juan\r\nJuan P\xe9rez\r\n");
        const qsizetype boxes = dialogs->log().size();
        click("Sintomas");
        QVERIFY(w("PanPac")->isHidden());
        QCOMPARE(dialogs->log().size(), boxes);

        // The name is shown as written: markup in it could make the label fetch a picture
        // from any file, a FIFO included.
        write(folders->patient(), "42\r\n<img src=\"tubo\"><b>Ana</b>\r\n");
        click("Sintomas");
        QCOMPARE(w<QLabel>("LabPac")->textFormat(), Qt::PlainText);
        QCOMPARE(w<QLabel>("LabPac")->text(), QString("<img src=\"tubo\"><b>Ana</b>"));
    }

    void theRealChooser()
    {
        chooser.reset();
        add("Timidez");
        add("Ñoñería");
        // Each use closes the window in any case, so that a failure cannot hang the run.
        auto whenShown = [this](std::function<void(TFSelArch &)> act) {
            QTimer::singleShot(0, this, [act] {
                if (auto *d = qobject_cast<TFSelArch *>(QApplication::activeModalWidget())) {
                    act(*d);
                    if (d->isVisible())
                        d->done(-1);
                }
            });
        };

        // Saving: the name is typed and Enter presses "Aceptar".
        ChooserView seen;
        QSize size;
        whenShown([&](TFSelArch &d) {
            seen = look(d);
            size = d.size();
            QTest::keyClicks(controlOf(&d, "Ed"), "Caso real");
            QTest::keyClick(controlOf(&d, "Ed"), Qt::Key_Return);
        });
        click("Guardar");
        QCOMPARE(seen.caption, QString("Guardar Repertorio"));
        QCOMPARE(size, QSize(206, 312));
        QCOMPARE(read("Repertorio/Caso real.Dat"), keys({5, 13}));

        // Escape cancels; a double click on a name opens it.
        dialogs->answer({true});
        click("Reiniciar");
        bool closedByEscape = false;
        whenShown([&](TFSelArch &d) {
            QTest::keyClick(controlOf(&d, "Lista"), Qt::Key_Escape);
            closedByEscape = !d.isVisible();
        });
        click("Abrir");
        QVERIFY(closedByEscape);
        QVERIFY(selection().isEmpty());
        whenShown([](TFSelArch &d) {
            auto *list = controlOf<QListWidget>(&d, "Lista");
            const QPoint at = list->visualItemRect(list->item(0)).center();
            // A double click is a click followed by the double-click event.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        });
        click("Abrir");
        QCOMPARE(selection(), QStringList({"Timidez", "Ñoñería"}));
    }
};

QTEST_MAIN(TestSelectionStorageWindow)
#include "test_selectionstorage_window.moc"
