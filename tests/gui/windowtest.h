#pragma once

#include <QAbstractItemView>
#include <QObject>
#include <QStringList>

// What the window tests share: controls are found by the names the program gives them, and
// grids are read as the user sees them.

template<typename T = QWidget>
T *controlOf(const QObject *ventana, const char *nombre)
{
    T *hallado = ventana->findChild<T *>(QLatin1String(nombre));
    if (!hallado)
        qFatal("the window has no control %s of the expected kind", nombre);
    return hallado;
}

// The texts of one column of a grid, row by row.
inline QStringList columnTexts(const QAbstractItemView *grilla, int columna = 0)
{
    QStringList filas;
    for (int r = 0; r < grilla->model()->rowCount(); ++r)
        filas << grilla->model()->index(r, columna).data().toString();
    return filas;
}

#include "ui/messageboxes.h"
#include "app/tform1.h"
#include "widgets/datagrid.h"

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

    // False when the window never showed.
    bool open()
    {
        form = std::make_unique<TForm1>();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            return false;
        seam = std::make_unique<DialogSeam>();
        return true;
    }
    void close()
    {
        seam.reset();
        form.reset();
    }
};
