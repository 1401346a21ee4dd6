#include "flowersystems.h"

#include <array>

namespace catalogue {
namespace {

struct FlowerSystem
{
    const char16_t *name;
    const char16_t *abbreviation;
};

constexpr std::array<FlowerSystem, kSystemCount + 1> kSystems{{
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

QString systemName(int number)
{
    if (number < 0 || number > kSystemCount)
        return {};
    return QString::fromUtf16(kSystems[std::size_t(number)].name);
}

QString systemAbbreviation(int number)
{
    if (number < 0 || number > kSystemCount)
        return {};
    return QString::fromUtf16(kSystems[std::size_t(number)].abbreviation);
}

QString tipoAbbreviation(const QString &tipo)
{
    bool ok = false;
    const int n = tipo.trimmed().toInt(&ok);
    return ok ? systemAbbreviation(n) : QString();
}

} // namespace catalogue
