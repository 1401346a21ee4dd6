// The mixture suggestion against every subset of small random cases, the greedy answer beyond
// the search's budget, and the cases at the edges.
#include "repertory/mixturesuggestion.h"

#include <QRandomGenerator>
#include <QTest>

#include <array>
#include <limits>

using repertory::MixtureCandidate;
using repertory::MixtureLimits;
using repertory::MixtureSuggestion;
using Method = MixtureSuggestion::Method;

namespace {

constexpr qint64 kUnlimited = std::numeric_limits<qint64>::max();

std::vector<MixtureCandidate> randomCandidates(QRandomGenerator &random, int symptoms, int flowers)
{
    // Flowers drawn from a few shapes, so that equal sets, subsets and equal counts are common.
    std::vector<MixtureCandidate> shapes(std::size_t(random.bounded(1, 6)));
    for (MixtureCandidate &shape : shapes)
        for (int s = 0; s < symptoms; ++s)
            if (random.bounded(3) == 0)
                shape.symptoms.push_back(s);
    std::vector<MixtureCandidate> c(static_cast<std::size_t>(flowers));
    for (MixtureCandidate &f : c) {
        f = shapes[std::size_t(random.bounded(int(shapes.size())))];
        if (random.bounded(2) && symptoms > 0)
            f.symptoms.push_back(random.bounded(symptoms));
        f.count = random.bounded(2) ? int(f.symptoms.size()) : random.bounded(4);
    }
    return c;
}

// What each symptom's coverer and the two kinds of uncovered symptoms must be for `flowers`.
void checkCoverage(int symptoms, const std::vector<MixtureCandidate> &c, const MixtureSuggestion &r)
{
    std::vector<int> by(std::size_t(symptoms), -1), unlinked, leftOut;
    std::vector<bool> linked(std::size_t(symptoms), false);
    for (std::size_t f = 0; f < c.size(); ++f)
        for (const int s : c[f].symptoms) {
            linked[std::size_t(s)] = true;
            const bool chosen = std::find(r.flowers.begin(), r.flowers.end(), int(f)) != r.flowers.end();
            if (chosen && by[std::size_t(s)] < 0)
                by[std::size_t(s)] = int(f);
        }
    for (int s = 0; s < symptoms; ++s)
        if (!linked[std::size_t(s)])
            unlinked.push_back(s);
        else if (by[std::size_t(s)] < 0)
            leftOut.push_back(s);
    QCOMPARE(r.coveredBy, by);
    QCOMPARE(r.unlinked, unlinked);
    QCOMPARE(r.leftOut, leftOut);
    QCOMPARE(r.covered, symptoms - int(unlinked.size() + leftOut.size()));
    int total = 0;
    for (const int f : r.flowers)
        total += c[std::size_t(f)].count;
    QCOMPARE(r.totalCount, total);
}

} // namespace

class TestMixtureSuggestion : public QObject
{
    Q_OBJECT

private slots:
    void exactSearchMatchesEverySubset()
    {
        for (quint32 seed = 1; seed <= 3000; ++seed) {
            QRandomGenerator random(seed);
            const int symptoms = random.bounded(11), flowers = random.bounded(12), most = random.bounded(1, 6);
            const std::vector<MixtureCandidate> c = randomCandidates(random, symptoms, flowers);
            // The best of all subsets of at most `most` flowers, by the stated order.
            std::vector<int> best;
            int bestCovered = -1;
            qint64 bestCount = 0;
            for (quint32 mask = 0; mask < (1u << flowers); ++mask) {
                std::vector<int> set;
                std::vector<bool> hit(std::size_t(symptoms), false);
                qint64 count = 0;
                for (int f = 0; f < flowers; ++f)
                    if (mask >> f & 1) {
                        set.push_back(f);
                        count += c[std::size_t(f)].count;
                        for (const int s : c[std::size_t(f)].symptoms)
                            hit[std::size_t(s)] = true;
                    }
                const int covered = int(std::count(hit.begin(), hit.end(), true));
                if (int(set.size()) > most)
                    continue;
                const auto key = std::make_tuple(covered, -int(set.size()), count);
                const auto bestKey = std::make_tuple(bestCovered, -int(best.size()), bestCount);
                if (key > bestKey || (key == bestKey && set < best)) {
                    best = set;
                    bestCovered = covered;
                    bestCount = count;
                }
            }
            const MixtureSuggestion r = repertory::suggestMixture(symptoms, c, {most, kUnlimited});
            QVERIFY2(r.method == Method::Exact && r.flowers == best, qPrintable(QString::number(seed)));
            checkCoverage(symptoms, c, r);
        }
    }

    // Beyond its budget the search gives a valid set and says so; within it, the exact one.
    // With no budget at all, the set is the greedy one alone.
    void greedyOnlyBeyondTheBudget()
    {
        int greedy = 0, exact = 0;
        for (quint32 seed = 1; seed <= 200; ++seed) {
            QRandomGenerator random(seed);
            const int symptoms = random.bounded(20, 90), most = random.bounded(2, 7);
            const std::vector<MixtureCandidate> c = randomCandidates(random, symptoms, random.bounded(20, 120));
            const MixtureSuggestion full = repertory::suggestMixture(symptoms, c, {most, kUnlimited});
            // Just enough, just too little, or anything less.
            const qint64 budget = full.work - std::array<qint64, 3>{0, 1, 1 + random.bounded(full.work)}[seed % 3];
            for (const qint64 b : {budget, qint64(0)}) {
                const MixtureSuggestion r = repertory::suggestMixture(symptoms, c, {most, b});
                QCOMPARE(r.method, full.work > b ? Method::Greedy : Method::Exact);
                if (r.method == Method::Exact) {
                    QCOMPARE(r.flowers, full.flowers);
                    ++exact;
                    continue;
                }
                ++greedy;
                QVERIFY(r.work > b);
                QVERIFY(int(r.flowers.size()) <= most && r.covered <= full.covered);
                QVERIFY(std::is_sorted(r.flowers.begin(), r.flowers.end()));
                checkCoverage(symptoms, c, r);
                // Every flower covers a symptom that no other proposed flower does.
                for (const int f : r.flowers)
                    QVERIFY(std::any_of(c[std::size_t(f)].symptoms.begin(), c[std::size_t(f)].symptoms.end(), [&](int s) {
                        return std::none_of(r.flowers.begin(), r.flowers.end(), [&](int g) {
                            const auto &other = c[std::size_t(g)].symptoms;
                            return g != f && std::find(other.begin(), other.end(), s) != other.end();
                        });
                    }));
            }
        }
        QVERIFY(greedy > 200 && exact > 50);
    }

    void edges_data()
    {
        QTest::addColumn<int>("symptoms");
        QTest::addColumn<std::vector<MixtureCandidate>>("candidates");
        QTest::addColumn<int>("most");
        QTest::addColumn<std::vector<int>>("flowers");
        QTest::addColumn<std::vector<int>>("coveredBy");
        using V = std::vector<int>;
        QTest::newRow("no symptoms") << 0 << std::vector<MixtureCandidate>{{{0, 1}, 2}} << 6 << V{} << V{};
        QTest::newRow("no candidates") << 2 << std::vector<MixtureCandidate>{} << 6 << V{} << V{-1, -1};
        QTest::newRow("a symptom no flower has, positions out of range")
            << 3 << std::vector<MixtureCandidate>{{{0, 3, -1}, 1}, {{1}, 1}} << 6 << V{0, 1} << V{0, 1, -1};
        QTest::newRow("one flower: the most symptoms, then the higher count")
            << 4 << std::vector<MixtureCandidate>{{{0}, 9}, {{0, 1}, 2}, {{2, 3}, 3}, {{1, 2}, 3}} << 1 << V{2}
            << V{-1, -1, 2, 2};
        QTest::newRow("all flowers alike") << 2 << std::vector<MixtureCandidate>(4, {{0, 1}, 2}) << 6 << V{0} << V{0, 0};
        QTest::newRow("one late flower with everything beats two with more count")
            << 3 << std::vector<MixtureCandidate>{{{0, 1}, 5}, {{2}, 5}, {{0, 1, 2}, 1}} << 6 << V{2} << V{2, 2, 2};
        QTest::newRow("no room") << 2 << std::vector<MixtureCandidate>{{{0}, 1}} << 0 << V{} << V{-1, -1};
    }
    void edges()
    {
        QFETCH(int, symptoms);
        QFETCH(std::vector<MixtureCandidate>, candidates);
        QFETCH(int, most);
        QFETCH(std::vector<int>, flowers);
        QFETCH(std::vector<int>, coveredBy);
        const MixtureSuggestion r = repertory::suggestMixture(symptoms, candidates, {most});
        QCOMPARE(r.method, Method::Exact);
        QCOMPARE(r.flowers, flowers);
        QCOMPARE(r.coveredBy, coveredBy);
        // The out-of-range positions are dropped before the check reads the candidates.
        for (MixtureCandidate &c : candidates)
            std::erase_if(c.symptoms, [&](int s) { return s < 0 || s >= symptoms; });
        checkCoverage(symptoms, candidates, r);
    }
};

QTEST_GUILESS_MAIN(TestMixtureSuggestion)
#include "test_mixturesuggestion.moc"
