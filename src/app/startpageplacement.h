#pragma once

#include <QPoint>
#include <QSize>

// Where the logo and the leave panel go on the start page: both centred across, and
// centred down as one block, with a gap between them, while the leave panel shows.
struct StartPagePlacement
{
    QPoint logo;
    QPoint leave;
};

inline constexpr int startPageGap = 10;

StartPagePlacement placeStartPage(QSize page, QSize logo, QSize leave, bool leaveShown);
