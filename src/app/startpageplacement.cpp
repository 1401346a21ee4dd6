#include "startpageplacement.h"

StartPagePlacement placeStartPage(QSize page, QSize logo, QSize leave, bool leaveShown)
{
    int room = page.height() - logo.height();
    if (leaveShown)
        room -= leave.height() + startPageGap;
    // The leave panel is placed under the logo even while hidden, so that showing it
    // without a new layout puts it where it belongs.
    const int logoTop = room / 2;
    return {QPoint((page.width() - logo.width()) / 2, logoTop),
            QPoint((page.width() - leave.width()) / 2, logoTop + logo.height() + startPageGap)};
}
