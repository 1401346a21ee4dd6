// Makes the pictures of the help from the real window: run in a working folder (the demo
// catalogue) with the folder to write into, under a display or QT_QPA_PLATFORM=offscreen.
// Each scene drives the window by its controls' names, as a user would, and grabs it.
#include "app/tform1.h"
#include "ui/application.h"
#include "ui/messageboxes.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

struct Scene
{
    const char *file;
    std::function<void(TForm1 &)> act;
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
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

// Adds the first symptom that the search for `words` shows.
void addFirstFound(TForm1 &form, const QString &words)
{
    type(form, "Ed", words);
    auto *list = controlOf<QAbstractItemView>(&form, "GrSintomas");
    if (list->model()->rowCount() == 0)
        return;
    list->setCurrentIndex(list->model()->index(0, 0));
    click(form, "Agregar");
}

const Scene kScenes[] = {
    {"inicio.png", [](TForm1 &) {}},
    {"flores.png",
     [](TForm1 &form) {
         auto *systems = controlOf<QComboBox>(&form, "CBSel");
         systems->setCurrentIndex(1);
         emit systems->activated(1);
     }},
    {"sintomas.png",
     [](TForm1 &form) {
         click(form, "Sintomas");
         type(form, "Ed", QStringLiteral("MIEDO"));
     }},
    {"repertorio.png",
     [](TForm1 &form) {
         click(form, "Sintomas");
         addFirstFound(form, QStringLiteral("MIEDO A COSAS"));
         addFirstFound(form, QStringLiteral("TIMIDEZ"));
         addFirstFound(form, QStringLiteral("AGOTAMIENTO"));
         click(form, "Procesar");
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
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    DialogSeam seam; // no question or notice may stop a scene
    int failures = 0;
    for (const Scene &scene : kScenes) {
        TForm1 form;
        form.resize(1024, 720);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;
        scene.act(form);
        settle();
        const QString path = out.filePath(QString::fromLatin1(scene.file));
        if (!form.grab().save(path)) {
            std::fprintf(stderr, "no se pudo escribir %s\n", qPrintable(path));
            ++failures;
        }
        click(form, "cerrar");
        if (form.isVisible())
            click(form, "BitBtn1");
    }
    return failures == 0 ? 0 : 1;
}
