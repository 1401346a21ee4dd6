#include "bevelledpanel.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {
constexpr int kBorder = 8;
}

void BevelledPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    qDrawShadeRect(&p, rect(), palette(), false, 1);
    qDrawShadeRect(&p, rect().adjusted(1 + kBorder, 1 + kBorder, -1 - kBorder, -1 - kBorder), palette(), true, 1);
}
