#include "barframe.h"

#include "progressestimate.h"

#include <QPainter>
#include <qdrawutil.h>

void BarFrame::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QBrush black(Qt::black);
    qDrawShadePanel(&p, rect(), palette(), true, 2, &black);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11); // 8 points at the 96 pixels per inch the window is laid out in
    p.setFont(font);
    p.setPen(QColor(192, 192, 192));
    p.drawText(rect(), Qt::AlignCenter, progress::scale());
}
