#include "controlcolours.h"

#include <QAbstractScrollArea>
#include <QWidget>

void paintBackground(QWidget *control, QPalette::ColorRole role, const QColor &colour)
{
    QPalette p = control->palette();
    p.setColor(role, colour);
    control->setPalette(p);
    control->setAutoFillBackground(true);
    // A scroll area paints through its viewport.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control)) {
        QPalette v = area->viewport()->palette();
        v.setColor(role, colour);
        v.setColor(area->viewport()->backgroundRole(), colour);
        area->viewport()->setPalette(v);
    }
}

void paintText(QWidget *control, const QColor &colour)
{
    QPalette p = control->palette();
    p.setColor(QPalette::WindowText, colour);
    control->setPalette(p);
}
