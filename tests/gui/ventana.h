#pragma once

#include <QAbstractItemView>
#include <QObject>
#include <QStringList>

// What the window tests share: controls are found by the names the program gives them, and
// grids are read as the user sees them.

template<typename T = QWidget>
T *controlDe(const QObject *ventana, const char *nombre)
{
    T *hallado = ventana->findChild<T *>(QLatin1String(nombre));
    if (!hallado)
        qFatal("the window has no control %s of the expected kind", nombre);
    return hallado;
}

// The texts of one column of a grid, row by row.
inline QStringList filasDe(const QAbstractItemView *grilla, int columna = 0)
{
    QStringList filas;
    for (int r = 0; r < grilla->model()->rowCount(); ++r)
        filas << grilla->model()->index(r, columna).data().toString();
    return filas;
}
