#pragma once

#include "progreso.h"

#include <QWidget>

class QLabel;
class QPushButton;

// The progress window of a long loop that runs on the user-interface thread: a bar over a
// percentage scale, the estimated time left and a Cancel toggle. Created by AbrirBarra for one
// loop and destroyed by CerrarBarra. While it is open the rest of the application takes no
// input, so the loop's data cannot change under it; only Cancel can be pressed.
class TFBarra : public QWidget
{
    Q_OBJECT
public:
    explicit TFBarra(progreso::Reloj reloj = progreso::horaDelDia);

    QWidget *Panel2 = nullptr;
    QWidget *P0 = nullptr;   // the bar's black frame with the scale
    QLabel *P1 = nullptr;    // the bar
    QWidget *Panel1 = nullptr;
    QLabel *StaticText1 = nullptr;
    QLabel *Lab = nullptr;   // the time left
    QPushButton *Cancelar = nullptr;

    QString pregunta; // asked when Cancel is pressed; empty: the loop cannot be cancelled
    progreso::CalculoBarra calculo;

protected:
    void closeEvent(QCloseEvent *event) override;
};

// Opens the progress window of a loop of `total` steps, closing any other first.
void AbrirBarra(const QString &titulo, const QString &pregunta, int total);
// One step done. False once the user has pressed Cancel and confirmed the question; the
// window is then already closed.
bool AvanzarBarra();
// Closes the progress window, if one is open.
void CerrarBarra();
// The open progress window, or null.
TFBarra *BarraActual();

// Test hook: the clock that progress windows opened from now on read.
void ponerRelojDeBarra(progreso::Reloj reloj);
