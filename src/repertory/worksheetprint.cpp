#include "worksheetprint.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace worksheet {
namespace {

// How many pieces of `size` fit in `room`; at least one, so that every page shows something.
int fitting(qreal room, qreal size)
{
    if (size <= 0)
        return std::numeric_limits<int>::max();
    // A hair of slack, so that a page that holds exactly n pieces is not cut to n - 1 by rounding.
    const qreal n = std::floor(room / size + 1e-9);
    return n < 1 ? 1 : n >= qreal(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(n);
}

// Runs of at most `per` out of `total`; a single empty run when there is nothing.
std::vector<Band> bands(int total, int per)
{
    std::vector<Band> out;
    for (int first = 0; first < total; first += std::min(per, total - first))
        out.push_back({first, std::min(per, total - first)});
    if (out.empty())
        out.push_back({0, 0});
    return out;
}

} // namespace

std::vector<PrintPage> layOutSheet(const PrintSizes &s, int rows, int symptoms)
{
    const int across = fitting(s.page.width() - s.nameWidth - s.countWidth, s.columnWidth);
    const int down = fitting(s.page.height() - s.headerHeight, s.rowHeight);
    std::vector<PrintPage> pages;
    for (const Band &r : bands(rows, down))
        for (const Band &c : bands(symptoms, across))
            pages.push_back({true, r, c, {}, 0});

    // The references flow on from under the last piece of the matrix.
    qreal y = s.headerHeight + pages.back().rows.count * s.rowHeight + s.gap;
    int next = 0;
    while (next < symptoms) {
        PrintPage &page = pages.back();
        const qreal room = s.page.height() - y - s.referencesHeading;
        const bool fresh = !page.matrix && page.references.count == 0;
        if (!fresh && room < s.reference) {
            pages.push_back({false, {}, {}, {}, 0});
            y = 0;
            continue;
        }
        const int n = std::min(symptoms - next, fitting(room, s.reference));
        pages.back().references = {next, n};
        pages.back().referencesTop = y;
        next += n;
        if (next < symptoms) {
            pages.push_back({false, {}, {}, {}, 0});
            y = 0;
        }
    }
    return pages;
}

QRectF markCell(const PrintSizes &s, const PrintPage &page, int row, int symptom)
{
    return {s.nameWidth + s.countWidth + (symptom - page.columns.first) * s.columnWidth,
            s.headerHeight + (row - page.rows.first) * s.rowHeight, s.columnWidth, s.rowHeight};
}

namespace {

constexpr qreal kCellSize = 8;
constexpr qreal kHeadingSize = 11;
constexpr qreal kReferenceSize = 9;
// A name column never takes more than this share of the page; longer names are cut short.
constexpr qreal kNameShare = 0.4;

const QColor kFixedCell(226, 232, 242);
const QColor kMarkedCell(205, 205, 205);
const QColor kMark(255, 0, 0);
const QColor kMarkOutline(192, 192, 192);
const QColor kLine(150, 150, 150);
const QColor kHeadingColour(0, 0, 128);

} // namespace

SheetPrintout::SheetPrintout(const QPaintDevice &device, const Sheet &sheet, const printing::PageHeading &heading)
    : m_sheet(sheet), m_frame(device, heading), m_cellFont(printing::PageFrame::font(kCellSize)),
      m_headingFont(printing::PageFrame::font(kHeadingSize, true)),
      m_referenceFont(printing::PageFrame::font(kReferenceSize))
{
    const QFontMetricsF cell(m_cellFont, &device);
    m_padding = m_frame.points(2);
    m_sizes.page = m_frame.body().size();
    m_sizes.rowHeight = cell.height() + 2 * m_padding;
    m_sizes.headerHeight = m_sizes.rowHeight;
    const qreal widestNumber = cell.horizontalAdvance(QString::number(std::max(1, sheet.symptoms())));
    m_sizes.columnWidth = std::max(m_sizes.rowHeight, widestNumber + 2 * m_padding);
    qreal widestName = 0;
    for (const QString &name : sheet.names)
        widestName = std::max(widestName, cell.horizontalAdvance(name));
    m_sizes.nameWidth = std::min(widestName + 3 * m_padding, m_sizes.page.width() * kNameShare);
    qreal widestCount = cell.horizontalAdvance(QStringLiteral("C"));
    for (const int count : sheet.counts)
        widestCount = std::max(widestCount, cell.horizontalAdvance(QString::number(count)));
    m_sizes.countWidth = std::max(widestCount + 2 * m_padding, m_sizes.columnWidth);
    m_sizes.gap = m_frame.points(12);
    m_sizes.referencesHeading = QFontMetricsF(m_headingFont, &device).height() + 2 * m_padding;
    m_sizes.reference = QFontMetricsF(m_referenceFont, &device).height() + m_padding / 2;
    m_pages = layOutSheet(m_sizes, sheet.rows(), sheet.symptoms());
}

void SheetPrintout::drawPage(QPainter &p, int page) const
{
    const PrintPage &piece = m_pages[std::size_t(page)];
    m_frame.draw(p, page + 1, int(m_pages.size()));
    p.save();
    p.translate(m_frame.body().topLeft());
    if (piece.matrix)
        drawMatrix(p, piece);
    if (piece.references.count > 0)
        drawReferences(p, piece);
    p.restore();
}

void SheetPrintout::drawMatrix(QPainter &p, const PrintPage &page) const
{
    const PrintSizes &s = m_sizes;
    const qreal left = s.nameWidth + s.countWidth;
    const qreal width = left + page.columns.count * s.columnWidth;
    const qreal height = s.headerHeight + page.rows.count * s.rowHeight;

    // The fixed cells: the names and counts down the left, the symptom numbers along the top.
    p.fillRect(QRectF(0, 0, left, height), kFixedCell);
    p.fillRect(QRectF(left, 0, width - left, s.headerHeight), kFixedCell);
    p.setFont(m_cellFont);
    p.setPen(Qt::black);
    p.drawText(QRectF(s.nameWidth, 0, s.countWidth, s.headerHeight), Qt::AlignCenter, QStringLiteral("C"));
    for (int c = page.columns.first; c < page.columns.first + page.columns.count; ++c) {
        const QRectF cell = markCell(s, page, page.rows.first, c);
        p.drawText(QRectF(cell.left(), 0, cell.width(), s.headerHeight), Qt::AlignCenter, QString::number(c + 1));
    }
    for (int r = page.rows.first; r < page.rows.first + page.rows.count; ++r) {
        const qreal top = s.headerHeight + (r - page.rows.first) * s.rowHeight;
        const QRectF nameCell(m_padding, top, s.nameWidth - 2 * m_padding, s.rowHeight);
        p.drawText(nameCell, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(m_sheet.names[std::size_t(r)], Qt::ElideRight, int(nameCell.width())));
        p.drawText(QRectF(s.nameWidth, top, s.countWidth, s.rowHeight), Qt::AlignCenter,
                   QString::number(m_sheet.counts[std::size_t(r)]));
    }

    // The marks: a red dot on a grey cell, as on the screen.
    const qreal across = s.columnWidth * 0.22;
    const qreal upDown = s.rowHeight * 0.15;
    p.setPen(QPen(kMarkOutline, m_frame.points(0.3)));
    for (int r = page.rows.first; r < page.rows.first + page.rows.count; ++r) {
        for (const int c : m_sheet.marked(r)) {
            if (c < page.columns.first || c >= page.columns.first + page.columns.count)
                continue;
            const QRectF cell = markCell(s, page, r, c);
            p.fillRect(cell, kMarkedCell);
            p.setBrush(kMark);
            p.drawEllipse(cell.adjusted(across, upDown, -across, -upDown));
        }
    }

    // The lines between all cells.
    p.setPen(QPen(kLine, m_frame.points(0.3)));
    p.setBrush(Qt::NoBrush);
    for (int r = 0; r <= page.rows.count; ++r) {
        const qreal y = s.headerHeight + r * s.rowHeight;
        p.drawLine(QPointF(0, y), QPointF(width, y));
    }
    p.drawLine(QPointF(0, 0), QPointF(width, 0));
    for (const qreal x : {qreal(0), s.nameWidth})
        p.drawLine(QPointF(x, 0), QPointF(x, height));
    for (int c = 0; c <= page.columns.count; ++c) {
        const qreal x = left + c * s.columnWidth;
        p.drawLine(QPointF(x, 0), QPointF(x, height));
    }
}

void SheetPrintout::drawReferences(QPainter &p, const PrintPage &page) const
{
    const PrintSizes &s = m_sizes;
    p.setFont(m_headingFont);
    p.setPen(kHeadingColour);
    p.drawText(QRectF(0, page.referencesTop, s.page.width(), s.referencesHeading), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Referencias"));
    p.setFont(m_referenceFont);
    p.setPen(Qt::black);
    qreal y = page.referencesTop + s.referencesHeading;
    for (int i = page.references.first; i < page.references.first + page.references.count; ++i) {
        p.drawText(QRectF(0, y, s.page.width(), s.reference), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(m_sheet.references[i], Qt::ElideRight, int(s.page.width())));
        y += s.reference;
    }
}

bool printSheet(QPagedPaintDevice &device, const Sheet &sheet, const printing::PageHeading &heading)
{
    const SheetPrintout printout(device, sheet, heading);
    QPainter p;
    if (!p.begin(&device))
        return false;
    p.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < printout.pages().size(); ++i) {
        if (i > 0)
            device.newPage();
        printout.drawPage(p, int(i));
    }
    return p.end();
}

} // namespace worksheet
