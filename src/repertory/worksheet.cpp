#include "worksheet.h"

#include "processing.h"

#include "catalogue/catalogue.h"
#include "store/error.h"
#include "store/table.h"
#include "store/view.h"

#include <QFontMetrics>
#include <QFontMetricsF>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <limits>
#include <numeric>
#include <optional>

namespace worksheet {

bool Sheet::isMarked(int row, int symptom) const
{
    const auto m = marked(row);
    return std::binary_search(m.begin(), m.end(), symptom);
}

void Sheet::addRow(QString name, int count, std::span<const int> markedColumns)
{
    names.push_back(std::move(name));
    counts.push_back(count);
    marks.insert(marks.end(), markedColumns.begin(), markedColumns.end());
    rowStart.push_back(int(marks.size()));
}

QString Sheet::cellText(int row, int column) const
{
    if (row == 0) {
        if (column == 0)
            return {};
        return column == 1 ? QStringLiteral("C") : QString::number(column - 1);
    }
    if (column == 0)
        return names[std::size_t(row - 1)];
    if (column == 1)
        return QString::number(counts[std::size_t(row - 1)]);
    return isMarked(row - 1, column - 2) ? QStringLiteral("X") : QString();
}

QString Sheet::spokenText(int row, int column) const
{
    if (column >= 2) {
        const QString symptom = references.value(column - 2);
        return row == 0 || isMarked(row - 1, column - 2) ? symptom : QString();
    }
    if (row == 0)
        return column == 0 ? QStringLiteral("Flor") : QStringLiteral("Cantidad");
    return cellText(row, column);
}

LinksByFlower::LinksByFlower(const store::Table &rel, const std::vector<qint32> &symptoms)
{
    // The flower of every link of every chosen symptom, column by column.
    std::vector<int> columnOf;
    const std::vector<qint32> flowers = repertory::linkedFlowers(rel, symptoms, &columnOf);
    if (flowers.empty())
        return;
    const auto [lowest, highest] = std::minmax_element(flowers.begin(), flowers.end());
    const qint64 span = qint64(*highest) - *lowest + 1;
    m_columns.resize(flowers.size());
    if (span <= qint64(flowers.size()) * 4 + 4096) {
        // Keys close together: count per key, then place each link in its flower's run. The
        // links come column by column, so each run is in column order.
        m_lowestKey = *lowest;
        m_startByKey.assign(std::size_t(span) + 1, 0);
        for (const qint32 f : flowers)
            ++m_startByKey[std::size_t(f - m_lowestKey) + 1];
        for (std::size_t k = 1; k < m_startByKey.size(); ++k)
            m_startByKey[k] += m_startByKey[k - 1];
        std::vector<int> next(m_startByKey.begin(), m_startByKey.end() - 1);
        for (std::size_t i = 0; i < flowers.size(); ++i)
            m_columns[std::size_t(next[std::size_t(flowers[i] - m_lowestKey)]++)] = columnOf[i];
        return;
    }
    // Otherwise sort flower over column.
    std::vector<quint64> pairs(flowers.size());
    for (std::size_t i = 0; i < flowers.size(); ++i)
        pairs[i] = quint64(quint32(flowers[i]) ^ 0x80000000u) << 32 | quint64(columnOf[i]);
    std::sort(pairs.begin(), pairs.end());
    m_flowers.resize(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        m_flowers[i] = qint32(quint32(pairs[i] >> 32) ^ 0x80000000u);
        m_columns[i] = int(quint32(pairs[i]));
    }
}

std::span<const int> LinksByFlower::columnsOf(qint32 flower) const
{
    if (!m_startByKey.empty()) {
        const qint64 k = qint64(flower) - m_lowestKey;
        if (k < 0 || k + 1 >= qint64(m_startByKey.size()))
            return {};
        const int lo = m_startByKey[std::size_t(k)], hi = m_startByKey[std::size_t(k) + 1];
        return {m_columns.data() + lo, std::size_t(hi - lo)};
    }
    const auto [lo, hi] = std::equal_range(m_flowers.begin(), m_flowers.end(), flower);
    return {m_columns.data() + (lo - m_flowers.begin()), std::size_t(hi - lo)};
}

namespace {

// A looked-up text read straight from the table it comes from, as the lookup reads it: the
// row with the key, if the lookup's view lets it through.
QString lookedUpText(const store::View &view, int field, qint32 key)
{
    const store::Table &table = *view.table();
    const auto s = table.findPrimary(key);
    return s && view.accepts(*s) ? table.text(*s, field) : QString();
}

} // namespace

// For about as many look-ups as the table has rows, with keys close together, a table of rows
// by key, filled in one pass over the primary index, answers faster than the key directory.
TextByKey::TextByKey(const store::View &view, const QString &field, int lookups)
    : m_view(view), m_field(view.table() ? view.table()->fieldIndex(field) : -1)
{
    if (m_field < 0)
        return;
    const store::Table &table = *view.table();
    const auto &order = table.order(0);
    const int keyField = table.fieldIndex(table.def().primary.fields.front().name);
    if (order.empty() || qsizetype(order.size()) > 4 * qsizetype(lookups) + 4096)
        return;
    m_lowestKey = table.integer(order.front(), keyField);
    const qint64 span = qint64(table.integer(order.back(), keyField)) - m_lowestKey + 1;
    if (span > 4 * qint64(order.size()) + 4096)
        return;
    m_rowByKey.assign(std::size_t(span), kNoRow);
    for (const store::Slot s : order)
        m_rowByKey[std::size_t(table.integer(s, keyField) - m_lowestKey)] = s;
}

QString TextByKey::text(qint32 key) const
{
    if (m_field < 0)
        return {};
    if (m_rowByKey.empty())
        return lookedUpText(m_view, m_field, key);
    const qint64 k = qint64(key) - m_lowestKey;
    if (k < 0 || k >= qint64(m_rowByKey.size()) || m_rowByKey[std::size_t(k)] == kNoRow)
        return {};
    const store::Slot s = m_rowByKey[std::size_t(k)];
    return m_view.accepts(s) ? m_view.table()->text(s, m_field) : QString();
}

SelectedSymptoms readSymptoms(const Catalogue &c)
{
    const store::View &selection = c.TRepS;
    const store::Table &table = *selection.table();
    const int keyField = table.fieldIndex(QStringLiteral("Clave"));
    // The selection names its symptoms through the list that sees every symptom.
    const int nameField = c.TSintNames.table()->fieldIndex(QStringLiteral("Nom"));
    SelectedSymptoms s;
    const int n = selection.recordCount();
    s.keys.reserve(std::size_t(n));
    s.references.reserve(n);
    for (int row = 0; row < n; ++row) {
        const qint32 k = table.integer(*selection.slotAt(row), keyField);
        s.keys.push_back(k);
        const QString name = lookedUpText(c.TSintNames, nameField, k);
        QString line;
        line.reserve(name.size() + 8);
        line.append(QString::number(row + 1)).append(QLatin1String(": ")).append(name);
        s.references << line;
    }
    return s;
}

SheetReader::SheetReader(const Catalogue &c, const QString &nameField)
    : m_catalogue(c), m_symptoms(readSymptoms(c)), m_links(*c.TRelS.table(), m_symptoms.keys),
      m_names(c.TFlores, nameField, c.TRepF.recordCount())
{
    const store::View &result = c.TRepF;
    m_total = result.recordCount();
    m_keyField = result.table()->fieldIndex(QStringLiteral("Clave"));
    m_countField = result.table()->fieldIndex(QStringLiteral("Cant"));
    // The result's flower names are looked up in the flower list by key.
    m_flowerNameField = c.TFlores.table() ? c.TFlores.table()->fieldIndex(nameField) : -1;
    m_nameField = result.fieldNumber(nameField);
    m_sheet.references = std::move(m_symptoms.references);
    m_sheet.names.reserve(std::size_t(m_total));
    m_sheet.counts.reserve(std::size_t(m_total));
    m_sheet.rowStart.reserve(std::size_t(m_total) + 1);
}

QString SheetReader::flowerName(int row, qint32 flower) const
{
    if (m_flowerNameField >= 0)
        return m_names.text(flower);
    return m_nameField < 0 ? QString() : m_catalogue.TRepF.valueAt(row, m_nameField).toString();
}

void SheetReader::readRow(int row)
{
    const store::View &result = m_catalogue.TRepF;
    const store::Table &table = *result.table();
    const auto slot = result.slotAt(row);
    if (!slot)
        throw store::Error(QStringLiteral("El resultado cambió mientras se armaba la planilla"));
    const qint32 flower = table.integer(*slot, m_keyField);
    m_sheet.addRow(flowerName(row, flower), table.integer(*slot, m_countField), m_links.columnsOf(flower));
}

Sheet buildSheet(const Catalogue &c, const QString &nameField)
{
    SheetReader reader(c, nameField);
    for (int row = 0; row < reader.rowsToRead(); ++row)
        reader.readRow(row);
    return reader.takeSheet();
}

std::vector<int> weights(const Sheet &sheet)
{
    std::vector<int> w(std::size_t(sheet.symptoms()), sheet.rows());
    for (const int c : sheet.marks)
        --w[std::size_t(c)];
    return w;
}

std::vector<int> scores(const Sheet &sheet, const std::vector<int> &weights)
{
    std::vector<int> sum(std::size_t(sheet.rows()), 0);
    for (int r = 0; r < sheet.rows(); ++r)
        for (const int c : sheet.marked(r))
            sum[std::size_t(r)] += weights[std::size_t(c)];
    return sum;
}

std::vector<int> orderByScore(const std::vector<int> &scores)
{
    std::vector<int> order(scores.size());
    if (scores.empty())
        return order;
    const int highest = *std::max_element(scores.begin(), scores.end());
    if (highest <= 4 * int(scores.size()) + 4096 && *std::min_element(scores.begin(), scores.end()) >= 0) {
        // Few distinct scores: count the rows of each score and lay them out from the highest,
        // each score's rows in their own order.
        std::vector<int> from(std::size_t(highest) + 2, 0);
        for (const int s : scores)
            ++from[std::size_t(highest - s) + 1];
        for (std::size_t i = 1; i < from.size(); ++i)
            from[i] += from[i - 1];
        for (std::size_t r = 0; r < scores.size(); ++r)
            order[std::size_t(from[std::size_t(highest - scores[r])]++)] = int(r);
        return order;
    }
    // Otherwise higher scores first, then the earlier row: one sort of numbers that hold both.
    std::vector<quint64> keys(scores.size());
    for (std::size_t i = 0; i < scores.size(); ++i)
        keys[i] = quint64(quint32(std::numeric_limits<qint32>::max() - scores[i])) << 32 | quint64(i);
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 0; i < keys.size(); ++i)
        order[i] = int(quint32(keys[i]));
    return order;
}

void OrdenarPorPuntaje(Sheet &sheet)
{
    const std::vector<int> order = orderByScore(scores(sheet, weights(sheet)));
    Sheet sorted;
    sorted.references = sheet.references;
    sorted.names.reserve(order.size());
    sorted.counts.reserve(order.size());
    sorted.marks.reserve(sheet.marks.size());
    sorted.rowStart.reserve(order.size() + 1);
    for (const int r : order)
        sorted.addRow(std::move(sheet.names[std::size_t(r)]), sheet.counts[std::size_t(r)], sheet.marked(r));
    sheet = std::move(sorted);
}

QString copyText(const QStringList &references, const Sheet &sheet)
{
    const QString lineEnd = QStringLiteral("\r\n");
    const QString bar = QStringLiteral("| ");
    QString text;
    for (qsizetype i = 0; i < references.size(); ++i) {
        const QString &line = references[i];
        // The number and ": " in front of the symptom's text are dropped.
        text += bar.repeated(i) + line.mid(line.indexOf(QLatin1Char(':')) + 2, 100) + lineEnd;
    }
    text += bar.repeated(references.size()) + lineEnd;
    const QString mark = QStringLiteral("X ");
    for (int r = 0; r < sheet.rows(); ++r) {
        QString prefix;
        for (int c = 0; c < sheet.symptoms(); ++c)
            prefix += sheet.isMarked(r, c) ? mark : bar;
        text += prefix + QLatin1Char('(') + QString::number(sheet.counts[std::size_t(r)]) + QLatin1String(") ")
                + sheet.names[std::size_t(r)] + lineEnd;
    }
    return text;
}

namespace {

// Shaping a text to measure it is slow next to everything else the worksheet does. A text's
// width is first estimated from the advance of its first character and, for each following
// one, its advance after the one before it (which takes in kerning and ligatures); both are
// measured once per font and kept, in 64ths of a pixel as the font gives them. Only the texts
// that might be the widest are then measured whole.
class WidthEstimator
{
public:
    static constexpr qint32 kUnknown = std::numeric_limits<qint32>::min();
    // Steps fit in 16 bits (up to 511 pixels); a smaller table stays in the cache.
    static constexpr qint16 kUnknownStep = std::numeric_limits<qint16>::min();

    explicit WidthEstimator(const QFont &font) : m_metrics(font), m_exactMetrics(font)
    {
        m_advance.fill(kUnknown);
        m_stepAfter.assign(256 * 256, kUnknownStep);
    }

    // Empty for a text outside the single-byte range: it is measured whole.
    std::optional<qint32> estimate(const QString &t)
    {
        const QChar *p = t.constData();
        const qsizetype n = t.size();
        if (n == 0)
            return 0;
        uint previous = p[0].unicode();
        if (previous > 255)
            return std::nullopt;
        qint32 sum = advance(previous);
        for (qsizetype i = 1; i < n; ++i) {
            const uint c = p[i].unicode();
            if (c > 255)
                return std::nullopt;
            qint16 &d = m_stepAfter[previous * 256 + c];
            if (d == kUnknownStep) {
                const qint32 step = measureStepAfter(previous, c);
                if (step <= kUnknownStep || step > std::numeric_limits<qint16>::max())
                    return std::nullopt; // a glyph this wide is no name's: measure the text whole
                d = qint16(step);
            }
            sum += d;
            previous = c;
        }
        return sum;
    }
    int exact(const QString &t) const { return m_exactMetrics.horizontalAdvance(t); }

private:
    static qint32 sixtyFourths(qreal pixels) { return qint32(std::lround(pixels * 64)); }
    qint32 advance(uint c)
    {
        qint32 &a = m_advance[c];
        if (a == kUnknown)
            a = sixtyFourths(m_metrics.horizontalAdvance(QChar(char16_t(c))));
        return a;
    }
    qint32 measureStepAfter(uint a, uint b)
    {
        const QChar two[2] = {QChar(char16_t(a)), QChar(char16_t(b))};
        return sixtyFourths(m_metrics.horizontalAdvance(QString(two, 2))) - advance(a);
    }

    QFontMetricsF m_metrics;
    QFontMetrics m_exactMetrics;
    std::array<qint32, 256> m_advance;
    std::vector<qint16> m_stepAfter;
};

WidthEstimator &estimatorFor(const QFont &font)
{
    // Kept for the whole run, one per font: the worksheet asks for the same font every time.
    static std::map<QString, std::unique_ptr<WidthEstimator>> byFont;
    auto &e = byFont[font.key()];
    if (!e)
        e = std::make_unique<WidthEstimator>(font);
    return *e;
}

} // namespace

int widestText(const std::vector<QString> &texts, const QFont &font)
{
    if (texts.empty())
        return 0;
    WidthEstimator &e = estimatorFor(font);
    constexpr qint32 kNotEstimated = -1;
    std::vector<qint32> estimated(texts.size(), kNotEstimated);
    int widest = 0;
    qint32 widestEstimate = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (const auto est = e.estimate(texts[i])) {
            estimated[i] = *est;
            widestEstimate = std::max(widestEstimate, *est);
        } else {
            widest = std::max(widest, e.exact(texts[i])); // no estimate: measured whole
        }
    }
    // The texts that could be the widest are measured whole, from the widest estimate down,
    // until no estimate left can reach the widest measured, allowing for the largest error an
    // estimate has shown (at least the half pixel of rounding a whole text). Texts further
    // than `window` below the widest estimate are looked at only if an error that large
    // turns up. All in 64ths of a pixel.
    qint32 bound = 48;
    std::vector<std::pair<QString, int>> measured;
    for (qint32 window = 4 * 64;; window *= 8) {
        std::vector<std::pair<qint32, std::size_t>> candidates;
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (estimated[i] != kNotEstimated && estimated[i] >= widestEstimate - window)
                candidates.emplace_back(estimated[i], i);
        std::sort(candidates.begin(), candidates.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
        for (const auto &[est, i] : candidates) {
            if (est + bound < widest * 64)
                break;
            // A name that comes back (the same flower in another system) is measured once.
            const QString &text = texts[i];
            auto m = std::find_if(measured.begin(), measured.end(), [&text](const auto &x) { return x.first == text; });
            if (m == measured.end())
                m = measured.insert(measured.end(), {texts[i], e.exact(texts[i])});
            widest = std::max(widest, m->second);
            bound = std::max(bound, std::abs(m->second * 64 - est) + 1);
        }
        if (widestEstimate - window + bound < widest * 64 || window > std::numeric_limits<qint32>::max() / 16)
            return widest;
    }
}

int referencesWidth(int clientWidth, std::span<const int> columnWidths)
{
    int columns = 0;
    for (const int w : columnWidths)
        columns += w + 1;
    return std::max(kMinimumReferencesWidth, clientWidth - columns - 30);
}

} // namespace worksheet
