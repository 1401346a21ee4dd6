#include "flowersystems.h"

#include <array>

namespace catalogue {
namespace {

struct Sistema
{
    const char16_t *nombre;
    const char16_t *abreviatura;
};

constexpr std::array<Sistema, kSystemCount + 1> kTabla{{
    {u"TODOS", u""},
    {u"Bach", u"Bach"},
    {u"California", u"Calif"},
    {u"Australia", u"Austr"},
    {u"Mediterráneo", u"Medit"},
    {u"del Alba", u"Alba"},
    {u"Cactus", u"Cact"},
    {u"Orq.Europeas", u"O.Eur"},
    {u"Orq.Africa", u"O.Afr"},
    {u"Orq.Amazónicas", u"O.Amz"},
    {u"Orq.Machu Pichu", u"O.M.P"},
    {u"Rosas", u"Rosas"},
    {u"Carnívoras", u"Carn"},
    {u"Otras", u"Otras"},
}};

} // namespace

QString systemName(int numero)
{
    if (numero < 0 || numero > kSystemCount)
        return {};
    return QString::fromUtf16(kTabla[std::size_t(numero)].nombre);
}

QString systemAbbreviation(int numero)
{
    if (numero < 0 || numero > kSystemCount)
        return {};
    return QString::fromUtf16(kTabla[std::size_t(numero)].abreviatura);
}

QString tipoAbbreviation(const QString &tipo)
{
    bool ok = false;
    const int n = tipo.trimmed().toInt(&ok);
    return ok ? systemAbbreviation(n) : QString();
}

} // namespace catalogue
