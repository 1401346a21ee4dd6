#pragma once

#include <QSize>

namespace photo {

// Where the photo sits in its scroll box: nowhere in particular (its own size, scrollable),
// along the top (taking the box's width), along the left (taking the box's height), or over
// the whole box.
enum class Alignment { None, Top, Left, Client };

// The photo's layout in the scroll box, as the fit modes set it. Width and height count for the
// sides the alignment leaves free; the scroll ranges are the box's virtual size (0 hides a bar).
struct PhotoLayout
{
    Alignment alignment = Alignment::Client;
    bool stretch = false;
    int width = 0;
    int height = 0;
    int horizontalRange = 0;
    int verticalRange = 0;

    bool operator==(const PhotoLayout &) const = default;
};

// The positions of the fit-mode group: the photo at its own size, fitted with its proportions
// along its tighter side, or filling the box.
inline constexpr int kOriginal = 0;
inline constexpr int kProportional = 1;
inline constexpr int kStretched = 2;

// The layout for a picture of the given size in a box of the given outer size, by the chosen
// fit mode (-1 when none is chosen, which changes nothing). Without a picture the photo covers
// the whole box and keeps its stretching. The sizes are whole pixels and the divisions truncate,
// so the result is the same on every machine.
PhotoLayout fitPhoto(const PhotoLayout &now, QSize picture, QSize box, int mode);

} // namespace photo
