#pragma once

#include <QAbstractItemView>
#include <QObject>
#include <QStringList>

// What the window tests share: controls are found by the names the program gives them, and
// grids are read as the user sees them.

template<typename T = QWidget>
T *controlOf(const QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("the window has no control %s of the expected kind", name);
    return found;
}

// The texts of one column of a grid, row by row.
inline QStringList columnTexts(const QAbstractItemView *grid, int column = 0)
{
    QStringList rows;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        rows << grid->model()->index(r, column).data().toString();
    return rows;
}

#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

// The real main window, shown, with the dialog seam answering its questions.
struct TestWindow
{
    std::unique_ptr<TForm1> form;
    std::unique_ptr<DialogSeam> seam;

    template<typename T = QWidget>
    T *w(const char *name) const
    {
        return controlOf<T>(form.get(), name);
    }
    DataGrid *grid(const char *name) const { return w<DataGrid>(name); }

    // False when the window never showed. The seam is in place before the window shows, so
    // that what showing reports (a faulty settings file, say) is recorded too.
    bool open()
    {
        seam = std::make_unique<DialogSeam>();
        form = std::make_unique<TForm1>();
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
    void close()
    {
        form.reset();
        seam.reset();
    }
    // Chooses the named symptoms on the symptoms page and processes them: the repertory page shows.
    void processSymptoms(const QStringList &symptoms)
    {
        w<QAbstractButton>("Sintomas")->click();
        DataGrid *g = grid("GrSintomas");
        for (const QString &s : symptoms) {
            const int row = int(columnTexts(g).indexOf(s));
            QVERIFY2(row >= 0, qPrintable(s));
            g->setCurrentIndex(g->model()->index(row, 0));
            w<QAbstractButton>("Agregar")->click();
        }
        w<QAbstractButton>("Procesar")->click();
        QCOMPARE(w<QTabWidget>("Ficha")->currentWidget(), w("PagRep"));
    }
    // Leaves through the leave panel, as the user does: the window closes and writes its settings.
    void leave()
    {
        w<QAbstractButton>("cerrar")->click();
        w<QAbstractButton>("BitBtn1")->click();
    }
};
