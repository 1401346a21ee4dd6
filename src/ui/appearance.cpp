#include "appearance.h"

quint8 EsquemaColor = 0;
quint8 TamLetra = 0;

namespace appearance {

std::optional<Scheme> scheme(quint8 number)
{
    switch (number) {
    case 1: // blue
        return Scheme{{167, 196, 214}, {53, 90, 113}, {225, 235, 242}, {206, 223, 234}};
    case 2: // grey
        return Scheme{{191, 191, 191}, {93, 93, 93}, {228, 228, 228}, {209, 209, 209}};
    case 3: // sand
        return Scheme{{215, 193, 162}, {115, 88, 49}, {232, 219, 200}, {221, 202, 174}};
    case 4: // dark grey
        return Scheme{{148, 148, 148}, {255, 255, 255}, {200, 200, 200}, {177, 177, 177}};
    case 5: // green
        return Scheme{{169, 199, 187}, {69, 105, 90}, {215, 226, 220}, {193, 210, 201}};
    default:
        return std::nullopt;
    }
}

quint8 nextScheme(quint8 number)
{
    return number >= 1 && number <= 4 ? quint8(number + 1) : quint8(1);
}

quint8 largerText(quint8 size)
{
    return quint8(size + 1);
}

std::optional<quint8> smallerText(quint8 size)
{
    if (size <= kMinimumTextSize)
        return std::nullopt;
    return quint8(size - 1);
}

quint8 applicableTextSize(quint8 size)
{
    return size < kMinimumTextSize ? quint8(kMinimumTextSize) : size;
}

} // namespace appearance

QColor ColorPanel(quint8 scheme, const QColor &fallback)
{
    const auto found = appearance::scheme(scheme);
    return found ? found->panel : fallback;
}
