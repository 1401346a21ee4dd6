#pragma once

#include <QtGlobal>

#include <span>
#include <vector>

namespace worksheet {
struct Sheet;
}

// The smallest set of flowers that together cover the most of the selected symptoms, worked out
// over plain data: symptoms are their positions in the selection, flowers their positions in the
// result (ranked by count), so a window can show the answer row by row as it already lists them.
namespace repertory {

// A usual maximum for one mixture.
inline constexpr int kMixtureSize = 6;

// What the exact search may spend, in units of about one 64-symptom word of one flower compared
// with the symptoms covered so far. Counted, not timed, so that the answer never depends on the
// machine. In an optimised build, searches that used it all took 75 to 120 ms of processor time
// on the development machine (200 and 1,000 symptoms, 2,500 flowers): about 100 ms.
inline constexpr qint64 kMixtureWorkBudget = 150'000'000;

// One flower of the result.
struct MixtureCandidate
{
    std::vector<int> symptoms; // positions in the selection that the flower is linked to
    int count = 0;             // its count in the result
};

struct MixtureLimits
{
    int maxFlowers = kMixtureSize;
    qint64 workBudget = kMixtureWorkBudget;
};

struct MixtureSuggestion
{
    enum class Method {
        Exact,  // proven the best
        Greedy, // the search did not fit its budget: the greedy choice, improved by the part of
                // the search that did fit
    };
    Method method = Method::Exact;
    std::vector<int> flowers; // the proposed flowers' result positions, ascending
    int covered = 0;          // how many selected symptoms they cover together
    int totalCount = 0;       // the sum of their counts
    // By selected symptom: the first proposed flower in result order that covers it, or -1.
    std::vector<int> coveredBy;
    std::vector<int> unlinked; // symptoms linked to no flower of the result, ascending
    std::vector<int> leftOut;  // symptoms some flower has but the proposal does not, ascending
    qint64 work = 0;           // what the exact search spent, in budget units
};

// The rows of a worksheet as candidates, row by row: in the result's order as long as the
// sheet has not been reordered by score.
std::vector<MixtureCandidate> mixtureCandidates(const worksheet::Sheet &sheet);

// Proposes at most `limits.maxFlowers` flowers that cover the most selected symptoms; among
// such sets the fewest flowers, then the highest total count, then the set whose flowers come
// first in the result (their sorted positions compared one by one). Every proposed flower
// covers some symptom that no other proposed flower covers. Symptom positions outside
// [0, symptomCount) are ignored.
MixtureSuggestion suggestMixture(int symptomCount, std::span<const MixtureCandidate> candidates,
                                 const MixtureLimits &limits = {});

} // namespace repertory
