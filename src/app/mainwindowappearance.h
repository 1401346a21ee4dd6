#pragma once

#include <QList>
#include <QPalette>

class QWidget;

// The colour scheme and text size of the main window: the toolbar's colour and text-size
// buttons, and the applying of both settings to the controls, found by name, in their groups.
class MainWindowAppearance
{
public:
    explicit MainWindowAppearance(QWidget *ventana);

    void ColorClick();
    void MasClick();
    void MenosClick();
    void AplicarColores();
    void AplicarLetra();

private:
    QList<QWidget *> paneles;   // panel colour
    QList<QWidget *> barra;     // the toolbar and its logo block
    QList<QWidget *> titulos;   // heading text colour
    QList<QWidget *> datos;     // data background
    QList<QWidget *> letra;     // text size
};
