#include "progressestimate.h"

#include <QTime>

#include <cmath>

namespace progress {

namespace {
constexpr qint64 kMsPerDay = 24LL * 60 * 60 * 1000;
// Added to every estimate, so that the last steps do not show a bare zero while work remains.
constexpr double kMargin = 0.00001;
} // namespace

double timeOfDay()
{
    return double(QTime::currentTime().msecsSinceStartOfDay()) / double(kMsPerDay);
}

QString scale()
{
    QString text = QStringLiteral("10%");
    for (int i = 2; i <= 9; ++i)
        text += QString(9, QLatin1Char(' ')) + QString::number(i * 10) + QLatin1Char('%');
    return text;
}

QString formatTime(double days)
{
    // Rounded to the millisecond first, then cut to whole seconds, as a clock shows it.
    double whole = 0;
    const qint64 ms = std::llround(std::fabs(std::modf(days, &whole)) * double(kMsPerDay)) % kMsPerDay;
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

ProgressEstimate::ProgressEstimate(Clock clock) : m_clock(std::move(clock)) { }

void ProgressEstimate::open(int total)
{
    m_total = total < 1 ? 1 : total;
    m_count = 0;
    m_pixelsPerStep = double(kBarWidth) / double(m_total);
    m_lastWidth = -1;
}

void ProgressEstimate::start()
{
    m_startTime = now();
}

std::optional<BarStep> ProgressEstimate::step()
{
    ++m_count;
    const int width = int(double(m_count) * m_pixelsPerStep);
    if (width == m_lastWidth)
        return std::nullopt;
    const double time = now();
    if (time < m_startTime)
        m_startTime -= 1.0; // midnight has passed since the loop started
    const double remaining = (time - m_startTime) * double(m_total - m_count) / double(m_count) + kMargin;
    m_lastWidth = width;
    return BarStep{width, formatTime(remaining)};
}

void ProgressEstimate::discountSince(double t0)
{
    m_startTime += now() - t0;
}

} // namespace progress
