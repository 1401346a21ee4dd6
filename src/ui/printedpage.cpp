#include "printedpage.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace printing {
namespace {

constexpr qreal kTitleSize = 14;
constexpr qreal kLineSize = 10;
constexpr qreal kFootSize = 8;
// Between the heading's rule and the content, and between the content and the foot.
constexpr qreal kSpacing = 8;
constexpr qreal kRuleWidth = 0.6;

const QColor kHeadingColour(0, 0, 128); // the navy of the screen's headings

} // namespace

QString dateText(const QDate &date)
{
    return QLocale(QLocale::Spanish, QLocale::Spain).toString(date, QStringLiteral("d 'de' MMMM 'de' yyyy"));
}

QString pageNumberText(int page, int pages)
{
    return QStringLiteral("Página %1 de %2").arg(page).arg(pages);
}

QFont PageFrame::font(qreal size, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(size);
    f.setBold(bold);
    return f;
}

PageFrame::PageFrame(const QPaintDevice &device, PageHeading heading)
    : m_heading(std::move(heading)), m_unitsPerPoint(device.logicalDpiY() / 72.0),
      m_page(0, 0, device.width(), device.height())
{
    // Measured on the device itself: a printer's resolution is not the screen's.
    const QPaintDevice *measured = &device;
    m_titleHeight = QFontMetricsF(font(kTitleSize, true), measured).height();
    m_lineHeight = QFontMetricsF(font(kLineSize), measured).height();
    m_footHeight = QFontMetricsF(font(kFootSize), measured).height();
    qreal top = m_titleHeight + points(kSpacing);
    if (!m_heading.patient.isEmpty())
        top += m_lineHeight;
    const qreal bottom = m_footHeight + points(kSpacing);
    m_body = QRectF(0, top, m_page.width(), std::max<qreal>(0, m_page.height() - top - bottom));
}

void PageFrame::draw(QPainter &p, int page, int pages) const
{
    p.save();
    p.setPen(kHeadingColour);
    p.setFont(font(kTitleSize, true));
    p.drawText(QRectF(0, 0, m_page.width(), m_titleHeight), Qt::AlignLeft | Qt::AlignVCenter, m_heading.title);
    p.setPen(Qt::black);
    p.setFont(font(kLineSize));
    p.drawText(QRectF(0, 0, m_page.width(), m_titleHeight), Qt::AlignRight | Qt::AlignVCenter,
               dateText(m_heading.date));
    qreal y = m_titleHeight;
    if (!m_heading.patient.isEmpty()) {
        p.drawText(QRectF(0, y, m_page.width(), m_lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(QStringLiteral("Paciente: ") + m_heading.patient, Qt::ElideRight,
                                              int(m_page.width())));
        y += m_lineHeight;
    }
    p.setPen(QPen(kHeadingColour, points(kRuleWidth)));
    y += points(kSpacing) / 2;
    p.drawLine(QPointF(0, y), QPointF(m_page.width(), y));

    p.setPen(Qt::black);
    p.setFont(font(kFootSize));
    p.drawText(QRectF(0, m_page.height() - m_footHeight, m_page.width(), m_footHeight), Qt::AlignCenter,
               pageNumberText(page, pages));
    p.restore();
}

} // namespace printing
