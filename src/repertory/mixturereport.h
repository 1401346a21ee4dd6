#pragma once

#include "mixturesuggestion.h"

#include <QString>
#include <QStringList>

#include <vector>

// The mixture suggestion in words, as the dialog shows it and as it is copied.
namespace repertory {

// "Mezcla exacta ..." or "Mezcla aproximada ...": what the answer is worth.
QString mixtureMethodText(const MixtureSuggestion &suggestion, int maxFlowers);
// "Las 3 flores propuestas cubren 7 de los 9 síntomas seleccionados."
QString mixtureSummary(const MixtureSuggestion &suggestion, int symptomCount);
// What covers a selected symptom: the flower's name, or why no proposed flower does.
QString coverText(const MixtureSuggestion &suggestion, int symptom, const std::vector<QString> &flowerNames);

// The whole suggestion as text: the method, the summary, the proposed flowers with their
// counts, then every symptom with what covers it. Lines end with CR LF.
QString mixtureText(const MixtureSuggestion &suggestion, const QStringList &symptoms,
                    const std::vector<QString> &flowerNames, const std::vector<int> &counts, int maxFlowers);

} // namespace repertory
