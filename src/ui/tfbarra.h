#pragma once

#include "progressestimate.h"

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
    explicit TFBarra(progress::Clock reloj = progress::timeOfDay);

    QWidget *Panel2 = nullptr;
    QWidget *P0 = nullptr;   // the bar's black frame with the scale
    QLabel *P1 = nullptr;    // the bar
    QWidget *Panel1 = nullptr;
    QLabel *StaticText1 = nullptr;
    QLabel *Lab = nullptr;   // the time left
    QPushButton *Cancelar = nullptr;

    QString question; // asked when Cancel is pressed; empty: the loop cannot be cancelled
    progress::ProgressEstimate estimate;

protected:
    void closeEvent(QCloseEvent *event) override;
};

// Opens the progress window of a loop of `total` steps, closing any other first.
void AbrirBarra(const QString &titulo, const QString &question, int total);
// One step done. False once the user has pressed Cancel and confirmed the question; the
// window is then already closed.
bool AvanzarBarra();
// Closes the progress window, if one is open.
void CerrarBarra();
// The open progress window, or null.
TFBarra *currentBarra();

// Test hook: the clock that progress windows opened from now on read.
void setBarraClock(progress::Clock reloj);
