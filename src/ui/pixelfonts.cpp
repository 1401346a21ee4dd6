#include "pixelfonts.h"

#include <QWidget>

void applyPixelSizes(QWidget &window)
{
    QList<QWidget *> controls = window.findChildren<QWidget *>();
    controls.prepend(&window);
    for (QWidget *control : controls) {
        const int pixels = control->property("pixelSize").toInt();
        if (pixels <= 0)
            continue;
        QFont font = control->font();
        font.setPixelSize(pixels);
        control->setFont(font);
    }
}
