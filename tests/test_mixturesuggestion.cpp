// The mixture suggestion against every subset of small random cases, the greedy answer beyond
// the search's budget, and the cases at the edges.
#include "repertory/mixturereport.h"
#include "repertory/mixturesuggestion.h"
#include "repertory/worksheet.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <array>
#include <bit>
#include <limits>
#include <set>

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

// A proposal in order, each of its flowers with a symptom of its own, and what it says about
// every symptom: its first coverer, or which kind of uncovered symptom it is.
void checkProposal(int symptoms, const std::vector<MixtureCandidate> &c, const MixtureSuggestion &r)
{
    QVERIFY(std::is_sorted(r.flowers.begin(), r.flowers.end()));
    std::vector<int> by(std::size_t(symptoms), -1), times(std::size_t(symptoms), 0), unlinked, leftOut;
    int total = 0;
    for (const int f : r.flowers) {
        total += c[std::size_t(f)].count;
        for (const int s : std::set<int>(c[std::size_t(f)].symptoms.begin(), c[std::size_t(f)].symptoms.end()))
            if (++times[std::size_t(s)] == 1)
                by[std::size_t(s)] = f;
    }
    for (const int f : r.flowers)
        QVERIFY(std::any_of(c[std::size_t(f)].symptoms.begin(), c[std::size_t(f)].symptoms.end(),
                            [&](int s) { return times[std::size_t(s)] == 1; }));
    for (int s = 0; s < symptoms; ++s)
        if (by[std::size_t(s)] < 0)
            (std::any_of(c.begin(), c.end(), [&](const MixtureCandidate &f) {
                return std::find(f.symptoms.begin(), f.symptoms.end(), s) != f.symptoms.end();
            }) ? leftOut : unlinked).push_back(s);
    QCOMPARE(r.coveredBy, by);
    QCOMPARE(r.unlinked, unlinked);
    QCOMPARE(r.leftOut, leftOut);
    QCOMPARE(r.covered, symptoms - int(unlinked.size() + leftOut.size()));
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
            std::tuple<int, int, qint64> bestKey{-1, 0, 0};
            for (quint32 mask = 0; mask < (1u << flowers); ++mask) {
                std::vector<int> set;
                quint32 hit = 0;
                qint64 count = 0;
                for (int f = 0; f < flowers; ++f)
                    if (mask >> f & 1) {
                        set.push_back(f);
                        count += c[std::size_t(f)].count;
                        for (const int s : c[std::size_t(f)].symptoms)
                            hit |= 1u << s;
                    }
                const std::tuple<int, int, qint64> key{std::popcount(hit), -int(set.size()), count};
                if (int(set.size()) <= most && (key > bestKey || (key == bestKey && set < best))) {
                    best = set;
                    bestKey = key;
                }
            }
            const MixtureSuggestion r = repertory::suggestMixture(symptoms, c, {most, kUnlimited});
            QVERIFY2(r.method == Method::Exact && r.flowers == best, qPrintable(QString::number(seed)));
            checkProposal(symptoms, c, r);
            if (QTest::currentTestFailed())
                return;
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
                checkProposal(symptoms, c, r);
                if (QTest::currentTestFailed())
                    return;
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
        using V = std::vector<int>;
        using C = std::vector<MixtureCandidate>;
        QTest::newRow("no symptoms") << 0 << C{{{0, 1}, 2}} << 6 << V{};
        QTest::newRow("no candidates") << 2 << C{} << 6 << V{};
        QTest::newRow("a symptom no flower has; positions repeated or out of range")
            << 3 << C{{{0, 3, 0, -1}, 1}, {{1}, 1}} << 6 << V{0, 1};
        QTest::newRow("one flower: the most symptoms, then the higher count")
            << 4 << C{{{0}, 9}, {{0, 1}, 2}, {{2, 3}, 3}, {{1, 2}, 3}} << 1 << V{2};
        QTest::newRow("all flowers alike") << 2 << C(4, {{0, 1}, 2}) << 6 << V{0};
        QTest::newRow("one late flower with everything beats two with more count")
            << 3 << C{{{0, 1}, 5}, {{2}, 5}, {{0, 1, 2}, 1}} << 6 << V{2};
        QTest::newRow("no room") << 2 << C{{{0}, 1}} << 0 << V{};
    }
    void edges()
    {
        QFETCH(int, symptoms);
        QFETCH(std::vector<MixtureCandidate>, candidates);
        QFETCH(int, most);
        QFETCH(std::vector<int>, flowers);
        const MixtureSuggestion r = repertory::suggestMixture(symptoms, candidates, {most});
        QCOMPARE(r.method, Method::Exact);
        QCOMPARE(r.flowers, flowers);
        // The out-of-range positions are dropped before the check reads the candidates.
        for (MixtureCandidate &c : candidates)
            std::erase_if(c.symptoms, [&](int s) { return s < 0 || s >= symptoms; });
        checkProposal(symptoms, candidates, r);
    }

    // A worksheet's rows, as the window holds them before ordering by score.
    void worksheetRows()
    {
        worksheet::Sheet sheet;
        sheet.references = {QStringLiteral("1: A"), QStringLiteral("2: B"), QStringLiteral("3: C")};
        sheet.addRow(QStringLiteral("F"), 1, std::vector<int>{2});
        sheet.addRow(QStringLiteral("G"), 2, std::vector<int>{0, 1});
        sheet.addRow(QStringLiteral("H"), 1, std::vector<int>{1});
        const MixtureSuggestion r = repertory::suggestMixture(sheet.symptoms(), repertory::mixtureCandidates(sheet));
        QCOMPARE(r.flowers, (std::vector<int>{0, 1}));
        QCOMPARE(r.totalCount, 3);
        QCOMPARE(r.coveredBy, (std::vector<int>{1, 1, 0}));
    }

    // What the dialog says and copies: why a symptom is left out, and numbers that agree.
    void theSuggestionInWords()
    {
        worksheet::Sheet sheet;
        sheet.references = {QStringLiteral("1: A"), QStringLiteral("2: B"), QStringLiteral("3: C"), QStringLiteral("4: D")};
        sheet.addRow(QStringLiteral("Flor %1"), 2, std::vector<int>{0, 1}); // a name that looks like a placeholder
        sheet.addRow(QStringLiteral("G"), 1, std::vector<int>{2});
        const MixtureSuggestion r = repertory::suggestMixture(sheet.symptoms(), repertory::mixtureCandidates(sheet), {1});
        QCOMPARE(repertory::mixtureSummary(r, sheet.symptoms()),
                 QString("La flor propuesta cubre 2 de los 4 síntomas seleccionados."));
        QVERIFY(repertory::mixtureMethodText(r, 1).startsWith("Mezcla exacta: ninguna otra combinación de hasta 1 flores"));
        QCOMPARE(repertory::coverText(r, 0, sheet.names), QString("Flor %1"));
        QCOMPARE(repertory::coverText(r, 2, sheet.names), QString("lo tienen otras flores: aumente el máximo"));
        QCOMPARE(repertory::coverText(r, 3, sheet.names), QString("ninguna flor del resultado lo tiene"));
        const QString text = repertory::mixtureText(r, sheet.references, sheet.names, sheet.counts, 1);
        QVERIFY(text.contains("Flores propuestas:\r\n  Flor %1 (2)\r\n"));
        QVERIFY(text.contains("  4: D: ninguna flor del resultado lo tiene\r\n"));
        QVERIFY(text.endsWith("\r\n") && !text.contains(QRegularExpression("[^\r]\n")));

        const MixtureSuggestion none = repertory::suggestMixture(1, {}, {});
        QCOMPARE(repertory::mixtureSummary(none, 1), QString("Ninguna flor del resultado cubre los síntomas seleccionados."));
    }
};

QTEST_GUILESS_MAIN(TestMixtureSuggestion)
#include "test_mixturesuggestion.moc"
