#pragma once

#include <QColor>

#include <optional>

// The two appearance settings, application-wide and kept in the settings file: the colour
// scheme (1 to 5) and the text size of the data controls, in points. Both are single bytes
// and start at 0.
extern quint8 EsquemaColor;
extern quint8 TamLetra;

// The panel colour of a scheme; any number outside 1 to 5 gives `otro` back.
QColor ColorPanel(quint8 esquema, const QColor &otro);

namespace apariencia {

struct Esquema
{
    QColor panel;    // panels and heading strips
    QColor titulo;   // heading labels
    QColor datos;    // lists, memos, photo area
    QColor planilla; // the worksheet's heading panel
};

// The toolbar and its logo block keep this colour in every scheme.
inline constexpr QColor kBarraHerramientas{60, 91, 134};
inline constexpr int kLetraMinima = 10;

std::optional<Esquema> esquema(quint8 numero);

// The scheme after this one: 1 to 5 in a ring. A number outside the ring (only a settings
// file edited by hand holds one) goes to the first scheme rather than counting up through
// every byte value.
quint8 siguienteEsquema(quint8 numero);

// One point larger, in byte arithmetic: 255 wraps to 0, which is then shown as the minimum.
quint8 masLetra(quint8 tam);
// One point smaller, or nothing at the minimum and below.
std::optional<quint8> menosLetra(quint8 tam);
// The size actually applied: never below the minimum.
quint8 letraAplicable(quint8 tam);

} // namespace apariencia
