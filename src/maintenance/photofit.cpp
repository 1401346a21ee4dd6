#include "photofit.h"

#include <limits>

namespace photo {

PhotoLayout fitPhoto(const PhotoLayout &now, QSize picture, QSize box, int mode)
{
    PhotoLayout next = now;
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0) {
        next.horizontalRange = next.verticalRange = 0;
        next.alignment = Alignment::Client;
        return next;
    }
    switch (mode) {
    case kOriginal:
        next.alignment = Alignment::None;
        next.stretch = false;
        next.width = w;
        next.height = h;
        next.horizontalRange = w;
        next.verticalRange = h;
        break;
    case kProportional: {
        next.horizontalRange = next.verticalRange = 0;
        const int boxW = box.width(), boxH = box.height();
        // A box with no room (hidden, or squeezed to nothing) is as far off as it gets.
        const auto ratio = [](int side, int room) {
            return room > 0 ? double(side) / room : std::numeric_limits<double>::infinity();
        };
        // The products stay far inside 32 bits: pictures are refused above 12,000 pixels a side.
        if (ratio(w, boxW) > ratio(h, boxH)) {
            next.alignment = Alignment::Top;
            next.height = int(qint64(h) * boxW / w);
        } else {
            next.alignment = Alignment::Left;
            next.width = int(qint64(w) * boxH / h);
        }
        next.stretch = true;
        break;
    }
    case kStretched:
        next.horizontalRange = next.verticalRange = 0;
        next.alignment = Alignment::Client;
        next.stretch = true;
        break;
    default:
        break;
    }
    return next;
}

} // namespace photo
