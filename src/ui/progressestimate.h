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
QString formatTime(double days);

// What one step has to show: the bar's new width and the remaining time.
struct BarStep
{
    int width = 0;
    QString remaining;
};

class ProgressEstimate
{
public:
    explicit ProgressEstimate(Clock clock = timeOfDay);

    // A loop of `total` steps; fewer than one counts as one.
    void open(int total);
    // The loop starts now: the estimate measures from here.
    void start();
    // One step done. Empty when the bar does not move, so nothing needs to be drawn.
    std::optional<BarStep> step();
    // The time since t0 (a question the user took a while to answer) is not work time.
    void discountSince(double t0);

    double now() const { return m_clock(); }
    int total() const { return m_total; }
    int count() const { return m_count; }
    double pixelsPerStep() const { return m_pixelsPerStep; }
    int lastWidth() const { return m_lastWidth; }
    double startTime() const { return m_startTime; }

private:
    Clock m_clock;
    int m_total = 1;
    int m_count = 0;
    double m_pixelsPerStep = kBarWidth;
    int m_lastWidth = -1;
    double m_startTime = 0;
};

} // namespace progress
