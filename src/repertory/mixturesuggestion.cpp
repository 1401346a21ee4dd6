#include "mixturesuggestion.h"

#include "worksheet.h"

#include <algorithm>
#include <bit>
#include <numeric>

namespace repertory {

namespace {

using Word = quint64;
constexpr int kWordBits = 64;

int countAndNot(const Word *a, const Word *b, int words) // |a \ b|
{
    int n = 0;
    for (int i = 0; i < words; ++i)
        n += std::popcount(a[i] & ~b[i]);
    return n;
}

bool anyAndNot(const Word *a, const Word *b, int words) // a \ b is not empty
{
    for (int i = 0; i < words; ++i)
        if (a[i] & ~b[i])
            return true;
    return false;
}

// The flowers that can be part of the answer, as symptom bitsets, in result order.
struct Pool
{
    int words = 0;
    std::vector<Word> sets; // flower after flower, `words` words each
    std::vector<int> counts;
    std::vector<int> positions; // in the result, ascending
    int size() const { return int(counts.size()); }
    const Word *set(int i) const { return sets.data() + std::size_t(i) * std::size_t(words); }
};

// Drops the flowers without a selected symptom and every flower that another one dominates:
// one earlier in the result, with at least its count and all of its symptoms. Any set that
// holds a dominated flower gets at least as good, and earlier, by the swap, so the best set
// never holds one; the relation runs strictly towards earlier positions, so every dominated
// flower has an undominated one above it that stays.
Pool candidatePool(int symptoms, std::span<const MixtureCandidate> candidates)
{
    Pool pool;
    const int words = pool.words = int((qint64(symptoms) + kWordBits - 1) / kWordBits);
    const int n = int(candidates.size());
    pool.sets.assign(std::size_t(n) * std::size_t(words), 0);
    const auto set = [&](int f) { return pool.sets.data() + std::size_t(f) * std::size_t(words); };
    for (int f = 0; f < n; ++f)
        for (const int s : candidates[std::size_t(f)].symptoms)
            if (s >= 0 && s < symptoms)
                set(f)[s / kWordBits] |= Word(1) << (s % kWordBits);
    // Who has each symptom: a flower's dominators all have its rarest symptom.
    std::vector<std::vector<int>> holders(static_cast<std::size_t>(symptoms));
    for (int f = 0; f < n; ++f)
        for (int w = 0; w < words; ++w)
            for (Word bits = set(f)[w]; bits; bits &= bits - 1)
                holders[std::size_t(w * kWordBits + std::countr_zero(bits))].push_back(f);

    std::vector<bool> keep(std::size_t(n), false);
    for (int f = 0; f < n; ++f) {
        const std::vector<int> *rarest = nullptr;
        for (int w = 0; w < words; ++w)
            for (Word bits = set(f)[w]; bits; bits &= bits - 1) {
                const auto &h = holders[std::size_t(w * kWordBits + std::countr_zero(bits))];
                if (!rarest || h.size() < rarest->size())
                    rarest = &h;
            }
        const int count = candidates[std::size_t(f)].count;
        keep[std::size_t(f)] = rarest && std::none_of(rarest->begin(), rarest->end(), [&](int g) {
            return g < f && candidates[std::size_t(g)].count >= count && !anyAndNot(set(f), set(g), words);
        });
    }
    // The flowers that stay move up in place.
    for (int f = 0; f < n; ++f) {
        if (!keep[std::size_t(f)])
            continue;
        std::copy_n(set(f), words, set(pool.size()));
        pool.counts.push_back(candidates[std::size_t(f)].count);
        pool.positions.push_back(f);
    }
    pool.sets.resize(std::size_t(pool.size()) * std::size_t(words));
    return pool;
}

// A set of pool flowers with what decides between sets.
struct Choice
{
    int covered = 0;
    qint64 count = 0;
    std::vector<int> members; // pool indices, ascending
};

// Compares by covered symptoms, then fewer flowers, then total count: >0 when a is better.
int compareScore(int coveredA, int sizeA, qint64 countA, int coveredB, int sizeB, qint64 countB)
{
    if (coveredA != coveredB)
        return coveredA > coveredB ? 1 : -1;
    if (sizeA != sizeB)
        return sizeA < sizeB ? 1 : -1;
    if (countA != countB)
        return countA > countB ? 1 : -1;
    return 0;
}

std::vector<Word> coverOf(const Pool &pool, const std::vector<int> &members)
{
    std::vector<Word> cover(std::size_t(pool.words), 0);
    for (const int f : members)
        for (int w = 0; w < pool.words; ++w)
            cover[std::size_t(w)] |= pool.set(f)[w];
    return cover;
}

// Takes the flower that adds the most symptoms (then the higher count, then the earlier) while
// there is room; a flower that later ones made useless is dropped (the one with the lowest
// count, then the latest), and the room it leaves is filled again. Each addition covers more
// and each drop keeps the cover with one flower less, so this ends.
Choice greedyChoice(const Pool &pool, int maxFlowers)
{
    const int words = pool.words;
    const auto count = [&](int f) { return pool.counts[std::size_t(f)]; };
    std::vector<int> members;
    std::vector<Word> cover(std::size_t(words), 0);
    for (;;) {
        while (int(members.size()) < maxFlowers) {
            int best = -1, bestGain = 0;
            for (int f = 0; f < pool.size(); ++f) {
                const int gain = countAndNot(pool.set(f), cover.data(), words);
                if (gain > bestGain || (gain == bestGain && best >= 0 && count(f) > count(best))) {
                    best = f;
                    bestGain = gain;
                }
            }
            if (best < 0)
                break;
            members.push_back(best);
            for (int w = 0; w < words; ++w)
                cover[std::size_t(w)] |= pool.set(best)[w];
        }
        // Dropping a useless flower leaves the cover as it is.
        int useless = -1;
        for (const int f : members) {
            std::vector<int> others = members;
            std::erase(others, f);
            if (!anyAndNot(pool.set(f), coverOf(pool, others).data(), words)
                && (useless < 0 || count(f) < count(useless) || (count(f) == count(useless) && f > useless)))
                useless = f;
        }
        if (useless < 0)
            break;
        std::erase(members, useless);
    }
    std::sort(members.begin(), members.end());
    Choice c;
    cover = coverOf(pool, members);
    for (const Word w : cover)
        c.covered += std::popcount(w);
    for (const int f : members)
        c.count += pool.counts[std::size_t(f)];
    c.members = std::move(members);
    return c;
}

// Branch and bound over the pool in result order: each set is reached by adding flowers of
// ever later position, so sets of one size are met in the order of their positions and a set
// that only ties the best one so far has lost. A flower that adds nothing, or that leaves an
// earlier one useless, can never join the best set below that point, so it leaves the subtree.
class Search
{
    // What taking up one more flower costs beside its words, in words: measured on 1, 4 and 16
    // words a flower, so that a unit of work takes about as long whatever the selection's size.
    static constexpr int kFlowerStepOverhead = 3;

public:
    Search(const Pool &pool, int maxFlowers, qint64 budget, Choice start)
        : m_pool(pool), m_words(pool.words), m_step(pool.words + kFlowerStepOverhead), m_max(maxFlowers),
          m_budget(budget), m_best(std::move(start)),
          m_cover(std::size_t(maxFlowers + 1) * std::size_t(m_words)),
          m_twice(std::size_t(maxFlowers + 1) * std::size_t(m_words)),
          m_live(std::size_t(maxFlowers + 1)), m_gains(std::size_t(maxFlowers + 1)),
          m_topGains(std::size_t(maxFlowers + 1)), m_topCounts(std::size_t(maxFlowers + 1)),
          m_suffixGains(std::size_t(maxFlowers + 1)), m_suffixCounts(std::size_t(maxFlowers + 1)),
          m_tails(std::size_t(maxFlowers + 1)),
          m_chosen(std::size_t(maxFlowers))
    {
    }

    // False when the budget ran out before the search did.
    bool run()
    {
        std::vector<int> all(std::size_t(m_pool.size()));
        std::iota(all.begin(), all.end(), 0);
        return visit(0, all.data(), int(all.size()), 0, 0);
    }
    const Choice &best() const { return m_best; }
    qint64 work() const { return m_work; }

private:
    Word *cover(int depth) { return m_cover.data() + std::size_t(depth) * std::size_t(m_words); }
    // The symptoms that two or more of the flowers chosen so far cover: what a chosen flower
    // has outside of them is its own.
    Word *twice(int depth) { return m_twice.data() + std::size_t(depth) * std::size_t(m_words); }

    // Whether the chosen flower `own` keeps a symptom of its own once `set` joins.
    bool keepsOwn(const Word *own, const Word *twiceHere, const Word *set) const
    {
        for (int w = 0; w < m_words; ++w)
            if (own[w] & ~twiceHere[w] & ~set[w])
                return true;
        return false;
    }

    // Whether a set of `size` + t flowers, for some t from `from` to `available`, could beat the
    // best set: `gains` and `counts` are the largest possible additions, largest first, and no
    // set covers more than `ceiling`. Where the best set is the greedy one, not met in the
    // search's order, a tie could still win.
    bool mayBeat(int covered, int ceiling, int size, qint64 count, const int *gains, const int *counts, int available,
                 int from) const
    {
        qint64 reach = covered, total = count;
        for (int t = 0;; ++t) {
            if (t >= from) {
                const int c = compareScore(int(std::min<qint64>(reach, ceiling)), size + t, total, m_best.covered,
                                           int(m_best.members.size()), m_best.count);
                if (c > 0 || (c == 0 && m_startIsBest))
                    return true;
            }
            if (t == available)
                return false;
            reach += gains[t];
            total += counts[t];
        }
    }

    void consider(int depth, int covered, qint64 count)
    {
        const int c = compareScore(covered, depth, count, m_best.covered, int(m_best.members.size()), m_best.count);
        if (c < 0 || (c == 0 && !m_startIsBest))
            return;
        const std::vector<int> members(m_chosen.begin(), m_chosen.begin() + depth);
        // A tie with the greedy set is decided by position; once the search has met the best
        // set itself, whatever ties it later comes later.
        if (c == 0 && std::lexicographical_compare(m_best.members.begin(), m_best.members.end(), members.begin(),
                                                   members.end()))
            return;
        m_best = {covered, count, members};
        m_startIsBest = false;
    }

    // Keeps the `k` largest of `values` in `top`, largest first.
    static void insertTop(std::vector<int> &top, int k, int value)
    {
        if (int(top.size()) == k && (k == 0 || top.back() >= value))
            return;
        if (int(top.size()) == k)
            top.pop_back();
        top.insert(std::upper_bound(top.begin(), top.end(), value, std::greater<>()), value);
    }

    // Counts work about to be done; false when it goes beyond the budget.
    bool spend(qint64 units)
    {
        m_work += units;
        return m_work <= m_budget;
    }

    bool visit(int depth, const int *pool, int poolSize, int covered, qint64 count)
    {
        consider(depth, covered, count);
        if (depth == m_max)
            return true;
        const Word *here = cover(depth);
        const Word *twiceHere = twice(depth);
        std::vector<int> &live = m_live[std::size_t(depth)];
        std::vector<int> &gains = m_gains[std::size_t(depth)];
        live.clear();
        gains.clear();
        for (int i = 0; i < poolSize; ++i) {
            const int f = pool[i];
            const Word *set = m_pool.set(f);
            if (!spend(m_step))
                return false;
            const int gain = countAndNot(set, here, m_words);
            if (gain == 0)
                continue;
            bool keepsOthers = true;
            for (int j = 0; j < depth && keepsOthers; ++j) {
                if (!spend(m_step))
                    return false;
                keepsOthers = keepsOwn(m_pool.set(m_chosen[std::size_t(j)]), twiceHere, set);
            }
            if (!keepsOthers)
                continue;
            live.push_back(f);
            gains.push_back(gain);
        }

        const int room = m_max - depth;
        const int n = int(live.size());
        std::vector<int> &topGains = m_topGains[std::size_t(depth)], &topCounts = m_topCounts[std::size_t(depth)];
        topGains.clear();
        topCounts.clear();
        for (int i = 0; i < n; ++i) {
            insertTop(topGains, room, gains[std::size_t(i)]);
            insertTop(topCounts, room, m_pool.counts[std::size_t(live[std::size_t(i)])]);
        }
        // Row i: the symptoms not yet covered that the flowers from child i on could add.
        if (!spend(qint64(n) * m_step))
            return false;
        std::vector<Word> &tails = m_tails[std::size_t(depth)];
        tails.assign(std::size_t(n + 1) * std::size_t(m_words), 0);
        for (int i = n - 1; i >= 0; --i) {
            const Word *set = m_pool.set(live[std::size_t(i)]);
            Word *row = tails.data() + std::size_t(i) * std::size_t(m_words);
            for (int w = 0; w < m_words; ++w)
                row[w] = row[w + m_words] | (set[w] & ~here[w]);
        }
        const int reachable = countAndNot(tails.data(), here, m_words);
        if (!mayBeat(covered, covered + reachable, depth, count, topGains.data(), topCounts.data(),
                     int(topGains.size()), 1))
            return true;

        // For each child, the largest gains and counts of the flowers after it, for the room left.
        const int k = room - 1;
        std::vector<int> &suffixGains = m_suffixGains[std::size_t(depth)];
        std::vector<int> &suffixCounts = m_suffixCounts[std::size_t(depth)];
        suffixGains.assign(std::size_t(n + 1) * std::size_t(k), 0);
        suffixCounts.assign(std::size_t(n + 1) * std::size_t(k), 0);
        // The tops of the flowers so far, walking back; the node's own tops are no longer needed.
        std::vector<int> &sg = topGains, &sc = topCounts;
        sg.clear();
        sc.clear();
        for (int i = n - 1; i >= 0 && k > 0; --i) {
            // Row i holds the tops of the flowers after child i.
            std::copy(sg.begin(), sg.end(), suffixGains.begin() + std::ptrdiff_t(i) * k);
            std::copy(sc.begin(), sc.end(), suffixCounts.begin() + std::ptrdiff_t(i) * k);
            insertTop(sg, k, gains[std::size_t(i)]);
            insertTop(sc, k, m_pool.counts[std::size_t(live[std::size_t(i)])]);
        }

        for (int i = 0; i < n; ++i) {
            const int f = live[std::size_t(i)];
            const int childCovered = covered + gains[std::size_t(i)];
            const qint64 childCount = count + m_pool.counts[std::size_t(f)];
            const int later = std::min(k, n - 1 - i);
            const Word *set = m_pool.set(f);
            if (!spend(m_step))
                return false;
            const Word *tail = tails.data() + std::size_t(i + 1) * std::size_t(m_words);
            const int ceiling = childCovered + countAndNot(tail, set, m_words);
            if (!mayBeat(childCovered, ceiling, depth + 1, childCount, suffixGains.data() + std::ptrdiff_t(i) * k,
                         suffixCounts.data() + std::ptrdiff_t(i) * k, later, 0))
                continue;
            if (!spend(2 * m_step))
                return false;
            Word *next = cover(depth + 1), *nextTwice = twice(depth + 1);
            for (int w = 0; w < m_words; ++w) {
                nextTwice[w] = twiceHere[w] | (here[w] & set[w]);
                next[w] = here[w] | set[w];
            }
            m_chosen[std::size_t(depth)] = f;
            if (!visit(depth + 1, live.data() + i + 1, n - 1 - i, childCovered, childCount))
                return false;
        }
        return true;
    }

    const Pool &m_pool;
    const int m_words;
    const int m_step; // the work of comparing one flower's symptoms with another set
    const int m_max;
    const qint64 m_budget;
    qint64 m_work = 0;
    Choice m_best;
    bool m_startIsBest = true;
    // By depth: the cover so far, what is covered twice, the flowers still worth adding with
    // what each adds, and the children's bounds.
    std::vector<Word> m_cover;
    std::vector<Word> m_twice;
    std::vector<std::vector<int>> m_live, m_gains, m_topGains, m_topCounts, m_suffixGains, m_suffixCounts;
    std::vector<std::vector<Word>> m_tails;
    std::vector<int> m_chosen;
};

} // namespace

std::vector<MixtureCandidate> mixtureCandidates(const worksheet::Sheet &sheet)
{
    std::vector<MixtureCandidate> candidates;
    candidates.reserve(std::size_t(sheet.rows()));
    for (int r = 0; r < sheet.rows(); ++r) {
        const std::span<const int> marked = sheet.marked(r);
        candidates.push_back({{marked.begin(), marked.end()}, sheet.counts[std::size_t(r)]});
    }
    return candidates;
}

MixtureSuggestion suggestMixture(int symptomCount, std::span<const MixtureCandidate> candidates,
                                 const MixtureLimits &limits)
{
    const int symptoms = std::max(symptomCount, 0);
    const Pool pool = candidatePool(symptoms, candidates);
    // The greedy set either fills every place or covers all that can be covered, so the best
    // set has no more flowers than it.
    Choice start = greedyChoice(pool, std::clamp(limits.maxFlowers, 0, pool.size()));
    const int maxFlowers = int(start.members.size());
    Search search(pool, maxFlowers, limits.workBudget, std::move(start));
    MixtureSuggestion result;
    result.method = search.run() ? MixtureSuggestion::Method::Exact : MixtureSuggestion::Method::Greedy;
    result.work = search.work();
    const Choice &best = search.best();
    result.covered = best.covered;
    result.totalCount = int(best.count);
    for (const int f : best.members)
        result.flowers.push_back(pool.positions[std::size_t(f)]);

    result.coveredBy.assign(std::size_t(symptoms), -1);
    for (const int f : best.members)
        for (int s = 0; s < symptoms; ++s)
            if (result.coveredBy[std::size_t(s)] < 0 && (pool.set(f)[s / kWordBits] >> (s % kWordBits) & 1))
                result.coveredBy[std::size_t(s)] = pool.positions[std::size_t(f)];
    // A dropped flower's symptoms are all in one that stays.
    std::vector<int> all(std::size_t(pool.size()));
    std::iota(all.begin(), all.end(), 0);
    const std::vector<Word> linked = coverOf(pool, all);
    for (int s = 0; s < symptoms; ++s) {
        if (!(linked[std::size_t(s / kWordBits)] >> (s % kWordBits) & 1))
            result.unlinked.push_back(s);
        else if (result.coveredBy[std::size_t(s)] < 0)
            result.leftOut.push_back(s);
    }
    return result;
}

} // namespace repertory
