#include "apariencia.h"

quint8 EsquemaColor = 0;
quint8 TamLetra = 0;

namespace apariencia {

std::optional<Esquema> esquema(quint8 numero)
{
    switch (numero) {
    case 1: // blue
        return Esquema{{167, 196, 214}, {53, 90, 113}, {225, 235, 242}, {206, 223, 234}};
    case 2: // grey
        return Esquema{{191, 191, 191}, {93, 93, 93}, {228, 228, 228}, {209, 209, 209}};
    case 3: // sand
        return Esquema{{215, 193, 162}, {115, 88, 49}, {232, 219, 200}, {221, 202, 174}};
    case 4: // dark grey
        return Esquema{{148, 148, 148}, {255, 255, 255}, {200, 200, 200}, {177, 177, 177}};
    case 5: // green
        return Esquema{{169, 199, 187}, {69, 105, 90}, {215, 226, 220}, {193, 210, 201}};
    default:
        return std::nullopt;
    }
}

quint8 siguienteEsquema(quint8 numero)
{
    return numero >= 1 && numero <= 4 ? quint8(numero + 1) : quint8(1);
}

quint8 masLetra(quint8 tam)
{
    return quint8(tam + 1);
}

std::optional<quint8> menosLetra(quint8 tam)
{
    if (tam <= kLetraMinima)
        return std::nullopt;
    return quint8(tam - 1);
}

quint8 letraAplicable(quint8 tam)
{
    return tam < kLetraMinima ? quint8(kLetraMinima) : tam;
}

} // namespace apariencia

QColor ColorPanel(quint8 esquema, const QColor &otro)
{
    const auto e = apariencia::esquema(esquema);
    return e ? e->panel : otro;
}
