#include "mixturereport.h"

#include <algorithm>

namespace repertory {

QString mixtureMethodText(const MixtureSuggestion &suggestion, int maxFlowers)
{
    if (suggestion.method == MixtureSuggestion::Method::Exact)
        return QStringLiteral("Mezcla exacta: ninguna otra combinación de hasta %1 flores cubre más síntomas.")
            .arg(maxFlowers);
    return QStringLiteral("Mezcla aproximada: la búsqueda completa llevaba demasiado tiempo; es la mejor "
                          "combinación de hasta %1 flores que se encontró.")
        .arg(maxFlowers);
}

QString mixtureSummary(const MixtureSuggestion &suggestion, int symptomCount)
{
    const int flowers = int(suggestion.flowers.size());
    if (flowers == 0)
        return QStringLiteral("Ninguna flor del resultado cubre los síntomas seleccionados.");
    const QString proposed = flowers == 1 ? QStringLiteral("La flor propuesta cubre")
                                          : QStringLiteral("Las %1 flores propuestas cubren").arg(flowers);
    return QStringLiteral("%1 %2 de los %3 síntomas seleccionados.").arg(proposed, QString::number(suggestion.covered), QString::number(symptomCount));
}

QString coverText(const MixtureSuggestion &suggestion, int symptom, const std::vector<QString> &flowerNames)
{
    const int flower = suggestion.coveredBy[std::size_t(symptom)];
    if (flower >= 0)
        return flowerNames[std::size_t(flower)];
    const bool unlinked =
        std::binary_search(suggestion.unlinked.begin(), suggestion.unlinked.end(), symptom);
    return unlinked ? QStringLiteral("ninguna flor del resultado lo tiene")
                    : QStringLiteral("lo tienen otras flores: aumente el máximo");
}

QString mixtureText(const MixtureSuggestion &suggestion, const QStringList &symptoms,
                    const std::vector<QString> &flowerNames, const std::vector<int> &counts, int maxFlowers)
{
    const QString end = QStringLiteral("\r\n");
    QString text = QStringLiteral("Sugerencia de mezcla") + end;
    text += mixtureMethodText(suggestion, maxFlowers) + end;
    text += mixtureSummary(suggestion, int(symptoms.size())) + end + end;
    text += QStringLiteral("Flores propuestas:") + end;
    for (const int flower : suggestion.flowers)
        text += QStringLiteral("  %1 (%2)").arg(flowerNames[std::size_t(flower)], QString::number(counts[std::size_t(flower)])) + end;
    text += end + QStringLiteral("Síntomas:") + end;
    for (int s = 0; s < symptoms.size(); ++s)
        text += QStringLiteral("  %1: %2").arg(symptoms[s], coverText(suggestion, s, flowerNames)) + end;
    return text;
}

} // namespace repertory
