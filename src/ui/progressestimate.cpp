#include "progressestimate.h"

#include <QTime>

#include <cmath>

namespace progress {

namespace {
constexpr qint64 kMsPorDia = 24LL * 60 * 60 * 1000;
// Added to every estimate, so that the last steps do not show a bare zero while work remains.
constexpr double kMargen = 0.00001;
} // namespace

double timeOfDay()
{
    return double(QTime::currentTime().msecsSinceStartOfDay()) / double(kMsPorDia);
}

QString scale()
{
    QString texto = QStringLiteral("10%");
    for (int i = 2; i <= 9; ++i)
        texto += QString(9, QLatin1Char(' ')) + QString::number(i * 10) + QLatin1Char('%');
    return texto;
}

QString formatTime(double dias)
{
    // Rounded to the millisecond first, then cut to whole seconds, as a clock shows it.
    double entero = 0;
    const qint64 ms = std::llround(std::fabs(std::modf(dias, &entero)) * double(kMsPorDia)) % kMsPorDia;
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

ProgressEstimate::ProgressEstimate(Clock reloj) : m_reloj(std::move(reloj)) { }

void ProgressEstimate::open(int total)
{
    m_total = total < 1 ? 1 : total;
    m_cuenta = 0;
    m_pixelesPorPaso = double(kBarWidth) / double(m_total);
    m_ultimoAncho = -1;
}

void ProgressEstimate::empezar()
{
    m_inicio = ahora();
}

std::optional<BarStep> ProgressEstimate::avanzar()
{
    ++m_cuenta;
    const int ancho = int(double(m_cuenta) * m_pixelesPorPaso);
    if (ancho == m_ultimoAncho)
        return std::nullopt;
    const double ahora = this->ahora();
    if (ahora < m_inicio)
        m_inicio -= 1.0; // midnight has passed since the loop started
    const double restante = (ahora - m_inicio) * double(m_total - m_cuenta) / double(m_cuenta) + kMargen;
    m_ultimoAncho = ancho;
    return BarStep{ancho, formatTime(restante)};
}

void ProgressEstimate::descontarDesde(double t0)
{
    m_inicio += ahora() - t0;
}

} // namespace progress
