#include "nameindex.h"

#include "symptomsearch.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace search {
namespace {

// Where a word first occurs in a stretch of the buffer. The buffer is long and most words
// are short: the places where the word's first two bytes stand are found sixteen at a time,
// and only those are compared further.
const char *findWord(const char *p, std::size_t n, const QByteArray &word)
{
    const auto m = std::size_t(word.size());
    if (m == 0 || n < m)
        return nullptr;
    const char *w = word.constData();
    if (m == 1)
        return static_cast<const char *>(std::memchr(p, w[0], n));
    const char *end = p + n;
    const char *last = end - m; // the last place the word can start
    const char *s = p;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(w[0]), second = _mm_set1_epi8(w[1]);
    for (; s + 17 <= end; s += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 1));
        auto candidates = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, second))));
        while (candidates) {
            const char *c = s + __builtin_ctz(candidates);
            if (c > last)
                return nullptr;
            if (std::memcmp(c + 2, w + 2, m - 2) == 0)
                return c;
            candidates &= candidates - 1;
        }
    }
#endif
    for (; s <= last; ++s)
        if (s[0] == w[0] && s[1] == w[1] && std::memcmp(s + 2, w + 2, m - 2) == 0)
            return s;
    return nullptr;
}

// The byte of a character that the code page lacks, in a name: no searchable word holds it.
constexpr char kMissingInName = char(0x81);

// A word's bytes, or nothing for a word that cannot be found, which then matches no name.
QByteArray keyOf(const QString &word)
{
    QByteArray key;
    if (searchable(word))
        appendFolded(word, kMissingInName, key);
    return key;
}

bool holdsOneOf(const QString &word, const QStringList &words)
{
    return std::any_of(words.begin(), words.end(), [&](const QString &w) { return !w.isEmpty() && word.contains(w); });
}

} // namespace

NameIndex::NameIndex(store::Table &symptoms, const QString &field, QObject *parent)
    : QObject(parent), m_table(symptoms), m_field(symptoms.fieldIndex(field))
{
    rebuild();
    connect(&m_table, &store::Table::rowInserted, this, [this](store::Slot s) {
        forgetQuery();
        add(s);
    });
    connect(&m_table, &store::Table::rowUpdated, this, [this](store::Slot s) {
        forgetQuery();
        remove(s);
        add(s);
    });
    connect(&m_table, &store::Table::rowRemoved, this, [this](store::Slot s) {
        forgetQuery();
        remove(s);
    });
    connect(&m_table, &store::Table::reloaded, this, [this] {
        forgetQuery();
        rebuild();
    });
}

void NameIndex::rebuild()
{
    // Sized once: a buffer grown name by name would take twice the room on the way.
    const std::vector<store::Slot> &rows = m_table.order(0);
    qsizetype bytes = 0;
    for (const store::Slot s : rows)
        bytes += m_table.text(s, m_field).size() + 1;
    m_buffer.clear();
    m_buffer.reserve(bytes + 16); // a little more for the rare character that folds to two
    m_entries.clear();
    m_entries.reserve(rows.size());
    m_entryOf.assign(m_table.slotCount(), -1);
    m_deadBytes = 0;
    for (const store::Slot s : rows)
        add(s);
}

void NameIndex::add(store::Slot s)
{
    if (m_entryOf.size() <= s)
        m_entryOf.resize(std::size_t(s) + 1, -1);
    m_entryOf[s] = qint64(m_entries.size());
    const auto start = quint32(m_buffer.size());
    appendFolded(m_table.text(s, m_field), kMissingInName, m_buffer);
    m_entries.push_back({start, quint32(m_buffer.size()) - start, s});
    m_buffer += '\0';
}

void NameIndex::remove(store::Slot s)
{
    if (s >= m_entryOf.size() || m_entryOf[s] < 0)
        return;
    Entry &e = m_entries[std::size_t(m_entryOf[s])];
    // The old name stays in the buffer as zeros, which no word matches.
    std::memset(m_buffer.data() + e.start, 0, e.length);
    m_deadBytes += e.length + 1;
    e.length = 0;
    m_entryOf[s] = -1;
    if (m_deadBytes > std::size_t(m_buffer.size()) / 2)
        rebuild();
}

bool NameIndex::holds(store::Slot s, const QByteArray &word) const
{
    const Entry &e = m_entries[std::size_t(m_entryOf[s])];
    return !word.isEmpty() && findWord(m_buffer.constData() + e.start, e.length, word);
}

std::vector<store::Slot> NameIndex::scan(const QByteArray &word)
{
    std::vector<store::Slot> rows;
    if (word.isEmpty())
        return rows;
    const char *base = m_buffer.constData();
    const char *end = base + m_buffer.size();
    const char *p = base;
    std::size_t entry = 0;
    while (p < end) {
        const char *hit = findWord(p, std::size_t(end - p), word);
        if (!hit)
            break;
        const auto offset = quint32(hit - base);
        // Hits come in buffer order, so the name holding each one is found walking forward.
        while (entry + 1 < m_entries.size() && m_entries[entry + 1].start <= offset)
            ++entry;
        const Entry &e = m_entries[entry];
        rows.push_back(e.row);
        // One hit per name is enough: go on after its end.
        p = base + e.start + e.length + 1;
    }
    return rows;
}

std::vector<store::Slot> NameIndex::filter(int mode, const std::vector<QByteArray> &words,
                                           const std::vector<store::Slot> &candidates) const
{
    std::vector<store::Slot> rows;
    for (const store::Slot s : candidates) {
        if (s >= m_entryOf.size() || m_entryOf[s] < 0)
            continue;
        bool passes = mode == AllWords;
        for (const QByteArray &w : words) {
            const bool held = holds(s, w);
            if (mode == AllWords && !held) {
                passes = false;
                break;
            }
            if (mode != AllWords && held) {
                passes = true;
                break;
            }
        }
        if (passes)
            rows.push_back(s);
    }
    return rows;
}

const std::vector<store::Slot> &NameIndex::rowsWith(const QByteArray &word, std::vector<Occurrences> &found)
{
    for (const Occurrences &o : found)
        if (o.word == word)
            return o.rows;
    const Occurrences *base = nullptr;
    for (const Occurrences &o : m_occurrences)
        if (!o.word.isEmpty() && word.contains(o.word) && (!base || o.rows.size() < base->rows.size()))
            base = &o;
    Occurrences now{word, {}};
    if (word.isEmpty()) {
        // An empty word is never found.
    } else if (base && base->word == word) {
        now.rows = base->rows;
    } else if (base && base->rows.size() < m_entries.size() / 8) {
        // Few rows hold the beginning of the word: test just those. With many, one pass over
        // the buffer is quicker than a search per name.
        for (const store::Slot s : base->rows)
            if (s < m_entryOf.size() && m_entryOf[s] >= 0 && holds(s, word))
                now.rows.push_back(s);
    } else {
        now.rows = scan(word);
    }
    found.push_back(std::move(now));
    return found.back().rows;
}

void NameIndex::remember(std::vector<Occurrences> &&found)
{
    // The words of this search go first; older ones stay while they fit, since typing back
    // and forth comes back to them.
    constexpr std::size_t kRememberedRows = 4'000'000;
    std::size_t total = 0;
    for (const Occurrences &o : found)
        total += o.rows.size();
    for (Occurrences &o : m_occurrences) {
        const bool repeated =
            std::any_of(found.begin(), found.end(), [&](const Occurrences &n) { return n.word == o.word; });
        if (repeated || total + o.rows.size() > kRememberedRows || found.size() >= 64)
            continue;
        total += o.rows.size();
        found.push_back(std::move(o));
    }
    m_occurrences = std::move(found);
}

bool NameIndex::narrows(int mode, const QStringList &words, const QString &text) const
{
    const Query &last = m_last;
    if (last.mode != mode)
        return false;
    switch (mode) {
    case Exact:
        return !last.text.isEmpty() && text.startsWith(last.text);
    case AllWords: // every old word lies inside some new word: no new row can pass
        return !last.words.isEmpty()
            && std::all_of(last.words.begin(), last.words.end(), [&](const QString &old) {
                   return std::any_of(words.begin(), words.end(), [&](const QString &w) { return w.contains(old); });
               });
    case AnyWord: // every new word holds an old one: what passes now passed before
        return !words.isEmpty()
            && std::all_of(words.begin(), words.end(), [&](const QString &w) { return holdsOneOf(w, last.words); });
    default:
        return false;
    }
}

std::vector<store::Slot> NameIndex::find(int mode, const QStringList &typedWords, const QString &typedText)
{
    std::vector<store::Slot> rows;
    if (mode < AnyWord || mode > Exact || (mode == AllWords && typedWords.isEmpty())) {
        for (std::size_t i = 0; i < m_entries.size(); ++i)
            if (m_entryOf[m_entries[i].row] == qint64(i))
                rows.push_back(m_entries[i].row);
        return rows;
    }
    // The words are folded as the names are; folding what is folded already changes nothing.
    QStringList words = typedWords;
    for (QString &w : words)
        NormalizarTexto(w);
    QString text = typedText;
    NormalizarTexto(text);
    std::vector<QByteArray> keys;
    if (mode == Exact)
        keys.push_back(keyOf(text));
    else
        for (const QString &w : words)
            keys.push_back(keyOf(w));

    std::vector<Occurrences> found;
    found.reserve(keys.size()); // rows are handed out by reference: no reallocation
    if (narrows(mode, words, text) && m_last.result.size() < m_entries.size() / 4) {
        rows = filter(mode == Exact ? AllWords : mode, keys, m_last.result);
    } else if (mode == AnyWord) {
        std::vector<quint8> seen(m_entryOf.size(), 0);
        for (const QByteArray &k : keys)
            for (const store::Slot s : rowsWith(k, found))
                if (!std::exchange(seen[s], quint8(1)))
                    rows.push_back(s);
    } else {
        // The rows of the rarest word, tested per name for the others.
        const std::vector<store::Slot> *rarest = nullptr;
        for (const QByteArray &k : keys) {
            const std::vector<store::Slot> &r = rowsWith(k, found);
            if (!rarest || r.size() < rarest->size())
                rarest = &r;
        }
        rows = keys.size() == 1 ? *rarest : filter(AllWords, keys, *rarest);
    }
    remember(std::move(found));
    m_last = {mode, words, text, rows};
    return rows;
}

} // namespace search
