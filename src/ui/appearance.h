#pragma once

#include <QColor>

#include <optional>

// The two appearance settings, application-wide and kept in the settings file: the colour
// scheme (1 to 5) and the text size of the data controls, in points. Both are single bytes
// and start at 0.
extern quint8 EsquemaColor;
extern quint8 TamLetra;

// The panel colour of a scheme; any number outside 1 to 5 gives `fallback` back.
QColor ColorPanel(quint8 scheme, const QColor &fallback);

namespace appearance {

struct Scheme
{
    QColor panel;    // panels and heading strips
    QColor heading;  // heading labels
    QColor data;     // lists, memos, photo area
    QColor worksheet; // the worksheet's heading panel
};

// The toolbar and its logo block keep this colour in every scheme.
inline constexpr QColor kToolbarColour{60, 91, 134};
inline constexpr int kMinimumTextSize = 10;

std::optional<Scheme> scheme(quint8 number);

// The scheme after this one: 1 to 5 in a ring. A number outside the ring (only a settings
// file edited by hand holds one) goes to the first scheme rather than counting up through
// every byte value.
quint8 nextScheme(quint8 number);

// One point larger, in byte arithmetic: 255 wraps to 0, which is then shown as the minimum.
quint8 largerText(quint8 size);
// One point smaller, or nothing at the minimum and below.
std::optional<quint8> smallerText(quint8 size);
// The size actually applied: never below the minimum.
quint8 applicableTextSize(quint8 size);

} // namespace appearance
