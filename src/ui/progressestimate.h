#pragma once

#include <QString>

#include <functional>
#include <optional>

// The arithmetic of the progress window: how wide the bar is after each step, which steps
// redraw, and how much time is left. The clock is handed in, so that the estimate can be
// checked without waiting.
namespace progress {

// Inner width of the bar's black frame (475 pixels less its 2-pixel bevel on each side).
inline constexpr int kBarWidth = 471;

// Time of day as a fraction of a day (0 at midnight), the way the estimate counts time.
using Clock = std::function<double()>;
double timeOfDay();

// The scale under the bar: 10% to 90% with nine blanks between neighbours.
QString scale();

// A time in days as "hh:nn:ss" of the day it falls on, seconds cut, not rounded.
QString formatTime(double dias);

// What one step has to show: the bar's new width and the remaining time.
struct BarStep
{
    int ancho = 0;
    QString restante;
};

class ProgressEstimate
{
public:
    explicit ProgressEstimate(Clock reloj = timeOfDay);

    // A loop of `total` steps; fewer than one counts as one.
    void open(int total);
    // The loop starts now: the estimate measures from here.
    void empezar();
    // One step done. Empty when the bar does not move, so nothing needs to be drawn.
    std::optional<BarStep> avanzar();
    // The time since t0 (a question the user took a while to answer) is not work time.
    void descontarDesde(double t0);

    double ahora() const { return m_reloj(); }
    int total() const { return m_total; }
    int cuenta() const { return m_cuenta; }
    double pixelesPorPaso() const { return m_pixelesPorPaso; }
    int ultimoAncho() const { return m_ultimoAncho; }
    double inicio() const { return m_inicio; }

private:
    Clock m_reloj;
    int m_total = 1;
    int m_cuenta = 0;
    double m_pixelesPorPaso = kBarWidth;
    int m_ultimoAncho = -1;
    double m_inicio = 0;
};

} // namespace progress
