#pragma once

#include <QList>
#include <QPalette>

class QWidget;

// The colour scheme and text size of the main window: the toolbar's colour and text-size
// buttons, and the applying of both settings to the controls, found by name, in their groups.
class MainWindowAppearance
{
public:
    explicit MainWindowAppearance(QWidget *window);

    void ColorClick();
    void MasClick();
    void MenosClick();
    void AplicarColores();
    void AplicarLetra();

private:
    QList<QWidget *> panels;   // panel colour
    QList<QWidget *> toolbar;     // the toolbar and its logo block
    QList<QWidget *> titles;   // heading text colour
    QList<QWidget *> data;     // data background
    QList<QWidget *> textSize;     // text size
};
