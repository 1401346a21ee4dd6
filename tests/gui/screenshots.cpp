// Makes the pictures of the help from the real window: run in a new working folder holding the
// demo catalogue, with the folder to write into, under a display or QT_QPA_PLATFORM=offscreen
// (scripts/screenshots.sh does all of this). Each scene opens a fresh main window, drives it by
// its controls' names as a user would, and hands back the picture to keep: the whole window,
// one panel of it, or a window it opened.
#include "app/tform1.h"
#include "repertory/tfplanrep.h"
#include "repertory/tfselarch.h"
#include "store/codepage.h"
#include "ui/appearance.h"
#include "ui/application.h"
#include "ui/messageboxes.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

const QString kSettingsFile = QStringLiteral("Config.Dat");

// A scene that cannot do what it means to still gives a picture, but a wrong one: each such
// fault is told and counted, and the run then fails.
int complaints = 0;

void complain(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    ++complaints;
}

struct Scene
{
    const char *file;
    std::function<QPixmap(TForm1 &)> take;
};

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
}

QPixmap whole(TForm1 &form)
{
    settle();
    return form.grab();
}

void type(TForm1 &form, const char *box, const QString &text)
{
    auto *edit = controlOf<QLineEdit>(&form, box);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
}

void click(TForm1 &form, const char *button)
{
    controlOf<QAbstractButton>(&form, button)->click();
}

void chooseSystem(TForm1 &form, int system)
{
    auto *systems = controlOf<QComboBox>(&form, "CBSel");
    systems->setCurrentIndex(system);
    emit systems->activated(system);
}

// The search modes in the order the page lists them: COMIENZO, CUALQUIER, TODAS, EXACTO.
void chooseMode(TForm1 &form, int mode)
{
    const QByteArray name = "RGBusItem" + QByteArray::number(mode);
    click(form, name.constData());
}

// Makes current the row of a grid whose text in `column` is `text`; false when there is none.
bool chooseRow(TForm1 &form, const char *grid, const QString &text, int column = 0)
{
    auto *view = controlOf<QAbstractItemView>(&form, grid);
    const int row = int(columnTexts(view, column).indexOf(text));
    if (row < 0) {
        complain(QStringLiteral("%1 no tiene la fila %2").arg(QLatin1String(grid), text));
        return false;
    }
    view->setCurrentIndex(view->model()->index(row, column));
    return true;
}

// Adds the first symptom that the search for `words` shows.
void addFirstFound(TForm1 &form, const QString &words)
{
    type(form, "Ed", words);
    auto *list = controlOf<QAbstractItemView>(&form, "GrSintomas");
    if (list->model()->rowCount() == 0) {
        complain(QStringLiteral("la búsqueda %1 no muestra ningún síntoma").arg(words));
        return;
    }
    list->setCurrentIndex(list->model()->index(0, 0));
    click(form, "Agregar");
}

// The case of the help's first steps: someone who sleeps badly because the mind will not stop,
// worries about everything and has tension headaches. Each search in mode TODAS shows one symptom.
void chooseCaseSymptoms(TForm1 &form)
{
    click(form, "Sintomas");
    chooseMode(form, 2);
    addFirstFound(form, QStringLiteral("INSOMNIO PREOCUP"));
    addFirstFound(form, QStringLiteral("PENSAMIENTOS REPET"));
    addFirstFound(form, QStringLiteral("PREOCUPACION CONSTANTE"));
    addFirstFound(form, QStringLiteral("DOLOR CABEZA"));
}

// Runs `open`, which shows a modal window of type T, and gives that window to `look` once it
// has been shown and painted. The window is closed afterwards in any case, so that a scene that
// goes wrong cannot hang the run.
template<typename T>
void whileShown(const std::function<void()> &open, const std::function<void(T &)> &look)
{
    int ticks = 0;
    bool done = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (done || !window || !window->isVisible() || ++ticks < 3)
            return;
        done = true;
        look(*window);
        if (window->isVisible())
            window->reject();
    });
    watch.start();
    open();
    watch.stop();
    if (!done)
        complain(QStringLiteral("la ventana esperada no se mostró"));
}

// The picture of a modal window of type T that `open` shows; `close` then closes it as a user would.
template<typename T>
QPixmap pictureOf(const std::function<void()> &open, const std::function<void(T &)> &close)
{
    QPixmap picture;
    whileShown<T>(open, [&](T &window) {
        picture = window.grab();
        close(window);
    });
    return picture;
}

// The case processed: its result is on the repertory page.
void processCase(TForm1 &form)
{
    chooseCaseSymptoms(form);
    click(form, "Procesar");
}

// The companion application's patient file, beside the working folder, for as long as this
// lives; left alone when one is there already.
class PatientFile
{
public:
    PatientFile(int number, const QString &name)
    {
        if (QFile::exists(kPath))
            return;
        m_madeFolder = QDir(QStringLiteral("..")).mkdir(QStringLiteral("Dorvek"));
        QFile file(kPath);
        if (!file.open(QIODevice::WriteOnly)) {
            complain(QStringLiteral("no se pudo escribir %1").arg(kPath));
            return;
        }
        file.write(codepage::toWindows1252(QStringLiteral("%1\r\n%2\r\n").arg(number).arg(name), '?'));
        m_made = true;
    }
    ~PatientFile()
    {
        if (m_made)
            QFile::remove(kPath);
        if (m_madeFolder)
            QDir(QStringLiteral("..")).rmdir(QStringLiteral("Dorvek"));
    }
    PatientFile(const PatientFile &) = delete;
    PatientFile &operator=(const PatientFile &) = delete;

private:
    inline static const QString kPath = QStringLiteral("../Dorvek/Usuario.$$$");
    bool m_made = false;
    bool m_madeFolder = false;
};

const Scene kScenes[] = {
    {"start.png", whole},
    {"flowers.png",
     [](TForm1 &form) {
         chooseSystem(form, 1);
         chooseRow(form, "GrFlor", QStringLiteral("Castaño Blanco"));
         return whole(form);
     }},
    {"search-all-words.png",
     [](TForm1 &form) {
         click(form, "Sintomas");
         chooseMode(form, 2);
         type(form, "Ed", QStringLiteral("AGOTAMIENTO TRAS"));
         return whole(form);
     }},
    {"case-selection.png",
     [](TForm1 &form) {
         chooseCaseSymptoms(form);
         return whole(form);
     }},
    {"result.png",
     [](TForm1 &form) {
         processCase(form);
         return whole(form);
     }},
    {"result-flower.png",
     [](TForm1 &form) {
         processCase(form);
         chooseRow(form, "GrRepF", QStringLiteral("Castaño Blanco"), 1);
         click(form, "Button2");
         return whole(form);
     }},
    {"worksheet.png",
     [](TForm1 &form) {
         processCase(form);
         return pictureOf<TFPlanRep>([&] { click(form, "PlanRep"); },
                                     [](TFPlanRep &sheet) { controlOf<QAbstractButton>(&sheet, "Cerrar")->click(); });
     }},
    {"chooser.png",
     [](TForm1 &form) {
         click(form, "Sintomas");
         chooseMode(form, 2);
         // Three stored cases, each saved through the chooser as a user saves one.
         const QString cases[][2] = {
             {QStringLiteral("Lucía - miedos nocturnos"), QStringLiteral("MIEDOS NOCTURNOS")},
             {QStringLiteral("Martín - exámenes"), QStringLiteral("NERVIOSISMO EXAMENES")},
             {QStringLiteral("Rosa - duelo"), QStringLiteral("DUELO")},
         };
         for (const auto &[name, words] : cases) {
             addFirstFound(form, words);
             whileShown<TFSelArch>([&] { click(form, "Guardar"); },
                                   [&](TFSelArch &chooser) {
                                       controlOf<QLineEdit>(&chooser, "Ed")->setText(name);
                                       controlOf<QAbstractButton>(&chooser, "BitBtn1")->click();
                                   });
         }
         return pictureOf<TFSelArch>([&] { click(form, "Abrir"); },
                                     [](TFSelArch &chooser) { controlOf<QAbstractButton>(&chooser, "BitBtn2")->click(); });
     }},
    {"patient.png",
     [](TForm1 &form) {
         const PatientFile patient(42, QStringLiteral("María Fernández"));
         click(form, "Sintomas");
         chooseMode(form, 2);
         addFirstFound(form, QStringLiteral("MIEDO HABLAR"));
         addFirstFound(form, QStringLiteral("TIMIDEZ"));
         settle();
         // The search area and the first rows of the selection are enough to show it.
         auto *panel = controlOf<QWidget>(&form, "PanDerSint");
         return panel->grab(QRect(0, 0, panel->width(), 330));
     }},
    {"editing-flower.png",
     [](TForm1 &form) {
         chooseSystem(form, 1);
         click(form, "Modificar");
         chooseRow(form, "GrFlor", QStringLiteral("Mímulo"));
         return whole(form);
     }},
    {"editing-symptom.png",
     [](TForm1 &form) {
         click(form, "Modificar");
         click(form, "Sintomas");
         chooseMode(form, 2);
         type(form, "Ed", QStringLiteral("MIEDO A LA"));
         chooseRow(form, "GrSintomas", QStringLiteral("Miedo a la oscuridad"));
         click(form, "CambiarNombre");
         settle();
         return whole(form);
     }},
    {"colours.png",
     [](TForm1 &form) {
         chooseSystem(form, 2);
         chooseRow(form, "GrFlor", QStringLiteral("Milenrama"));
         click(form, "color");
         click(form, "Mas");
         click(form, "Mas");
         return whole(form);
     }},
};

} // namespace

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "uso: vantolia-screenshots CARPETA_DE_IMAGENES\n");
        return 2;
    }
    // The pictures show the window as designed; a settings file would put back someone's own
    // layout and colours, and one scene's would leak into the next.
    if (QFile::exists(kSettingsFile)) {
        std::fprintf(stderr, "la carpeta de trabajo tiene Config.Dat: use una carpeta de demostración nueva\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    DialogSeam seam; // no question or notice may stop a scene
    int failures = 0;
    for (const Scene &scene : kScenes) {
        // Each scene starts as the program does: the colour scheme and the text size outlive
        // a window, and one scene's would show in the next.
        EsquemaColor = 0;
        TamLetra = 0;
        TForm1 form;
        form.resize(1024, 720);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;
        const QPixmap picture = scene.take(form);
        const QString path = out.filePath(QString::fromLatin1(scene.file));
        if (picture.isNull() || !picture.save(path)) {
            std::fprintf(stderr, "no se pudo escribir %s\n", qPrintable(path));
            ++failures;
        }
        if (!controlOf<QWidget>(&form, "PanOK")->isHidden())
            controlOf<QAbstractButton>(&form, "EnterEscape")->click();
        // From the repertory page the first press leads back to the symptoms page.
        for (int i = 0; i < 2 && controlOf<QWidget>(&form, "PanAband")->isHidden(); ++i)
            click(form, "cerrar");
        click(form, "BitBtn1");
        QFile::remove(kSettingsFile);
    }
    return failures == 0 && complaints == 0 ? 0 : 1;
}
