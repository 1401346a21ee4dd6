#pragma once

#include "progressestimate.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TFBarra;
}

// The progress window of a long loop that runs on the user-interface thread: a bar over a
// percentage scale, the estimated time left and a Cancel toggle. Created by AbrirBarra for one
// loop and destroyed by CerrarBarra. While it is open the rest of the application takes no
// input, so the loop's data cannot change under it; only Cancel can be pressed.
class TFBarra : public QWidget
{
    Q_OBJECT
public:
    explicit TFBarra(progress::Clock clock = progress::timeOfDay);
    ~TFBarra() override;

    // Shows the window for a loop of `total` steps, asking `question` when Cancel is pressed;
    // without a question the loop cannot be cancelled.
    void start(const QString &title, const QString &question, int total);
    // One step done. False once the user has pressed Cancel and confirmed the question; the
    // window stays open for whoever opened it to close.
    bool step();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui::TFBarra> m_ui;
    QString m_question;
    progress::ProgressEstimate m_estimate;
};

// Opens the progress window of a loop of `total` steps, closing any other first.
void AbrirBarra(const QString &title, const QString &question, int total);
// One step done. False once the user has pressed Cancel and confirmed the question; the
// window is then already closed.
bool AvanzarBarra();
// Closes the progress window, if one is open.
void CerrarBarra();
// The open progress window, or null.
TFBarra *currentBarra();

// Test hook: the clock that progress windows opened from now on read.
void setBarraClock(progress::Clock clock);
