#include "casereport.h"

#include "catalogue/catalogue.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>

namespace repertory {

CaseReport readCase(const Catalogue &c, const QString &nameField, const QString &nameTitle)
{
    CaseReport report;
    report.nameTitle = nameTitle;
    const store::View &chosen = c.TRepS;
    const int nom = chosen.fieldNumber(QStringLiteral("Nom"));
    for (int row = 0; row < chosen.recordCount(); ++row)
        report.symptoms << chosen.valueAt(row, nom).toString();

    const store::View &result = c.TRepF;
    const int cant = result.fieldNumber(QStringLiteral("Cant"));
    const int systemColumn = result.fieldNumber(QStringLiteral("Tipo"));
    const int name = result.fieldNumber(nameField);
    report.flowers.reserve(std::size_t(result.recordCount()));
    for (int row = 0; row < result.recordCount(); ++row)
        report.flowers.push_back({result.valueAt(row, cant).toInt(), result.valueAt(row, systemColumn).toString(),
                                  result.valueAt(row, name).toString()});
    return report;
}

namespace {

// Lays parts down a page and starts the next page when one does not fit.
class Pager
{
public:
    explicit Pager(qreal pageHeight) : m_limit(pageHeight) { }

    bool atTop() const { return m_pages.back().empty(); }
    // Starts a new page unless `height` fits under what this page holds; an empty page takes
    // anything.
    void makeRoom(qreal height)
    {
        if (!atTop() && m_y + height > m_limit) {
            m_pages.emplace_back();
            m_y = 0;
        }
    }
    void skip(qreal height) { m_y += height; }
    void put(CasePart part, int index, qreal height)
    {
        m_pages.back().push_back({part, index, m_y});
        m_y += height;
    }
    std::vector<CasePage> take() { return std::move(m_pages); }

private:
    std::vector<CasePage> m_pages{1};
    qreal m_y = 0;
    qreal m_limit;
};

} // namespace

std::vector<CasePage> layOutCase(const CaseHeights &h, int flowers)
{
    Pager pager(h.page);
    const qreal firstSymptom = h.symptoms.empty() ? 0 : h.symptoms.front();
    pager.makeRoom(h.heading + firstSymptom);
    pager.put(CasePart::SymptomsHeading, 0, h.heading);
    for (std::size_t i = 0; i < h.symptoms.size(); ++i) {
        // The first line stays with the heading, which made room for both.
        if (i > 0)
            pager.makeRoom(h.symptoms[i]);
        pager.put(CasePart::Symptom, int(i), h.symptoms[i]);
    }

    const qreal firstFlower = flowers > 0 ? h.flower : 0;
    pager.makeRoom(h.gap + h.heading + h.tableHeader + firstFlower);
    if (!pager.atTop())
        pager.skip(h.gap);
    pager.put(CasePart::FlowersHeading, 0, h.heading);
    pager.put(CasePart::TableHeader, 0, h.tableHeader);
    for (int r = 0; r < flowers; ++r) {
        if (r > 0) {
            pager.makeRoom(h.flower);
            if (pager.atTop())
                pager.put(CasePart::TableHeader, 0, h.tableHeader);
        }
        pager.put(CasePart::Flower, r, h.flower);
    }
    return pager.take();
}

namespace {

constexpr qreal kHeadingSize = 12;
constexpr qreal kTextSize = 10;
const QColor kHeadingColour(0, 0, 128);
const QColor kRuleColour(170, 170, 170);

// The case measured for one device, and the drawing of its parts.
class CaseDrawing
{
public:
    CaseDrawing(const QPaintDevice &device, const CaseReport &report, const printing::PageHeading &heading)
        : m_report(report), m_frame(device, heading), m_headingFont(printing::PageFrame::font(kHeadingSize, true)),
          m_textFont(printing::PageFrame::font(kTextSize)), m_titleFont(printing::PageFrame::font(kTextSize, true))
    {
        const QFontMetricsF text(m_textFont, &device);
        const QFontMetricsF titles(m_titleFont, &device);
        const QRectF body = m_frame.body();
        m_padding = m_frame.points(3);

        m_numberWidth = text.horizontalAdvance(QStringLiteral("%1.").arg(report.symptoms.size())) + 2 * m_padding;
        m_systemWidth = titles.horizontalAdvance(QStringLiteral("Tipo"));
        m_countWidth = titles.horizontalAdvance(QStringLiteral("Cant"));
        for (const ExportedFlower &f : report.flowers) {
            m_systemWidth = std::max(m_systemWidth, text.horizontalAdvance(f.system));
            m_countWidth = std::max(m_countWidth, text.horizontalAdvance(QString::number(f.count)));
        }
        m_systemWidth += 4 * m_padding;
        m_countWidth += 2 * m_padding;
        // A page too narrow for the three columns still gets them, one over the other's edge.
        m_nameWidth = std::max<qreal>(body.width() - m_systemWidth - m_countWidth, m_frame.points(36));

        m_heights.page = body.height();
        m_heights.heading = QFontMetricsF(m_headingFont, &device).height() + 2 * m_padding;
        m_heights.gap = m_frame.points(12);
        m_heights.tableHeader = titles.height() + 2 * m_padding;
        m_heights.flower = text.height() + m_padding;
        const qreal textWidth = std::max<qreal>(body.width() - m_numberWidth, m_frame.points(36));
        for (const QString &s : report.symptoms)
            m_heights.symptoms.push_back(
                text.boundingRect(QRectF(0, 0, textWidth, 1e9), Qt::TextWordWrap, s).height() + m_padding);
    }

    const CaseHeights &heights() const { return m_heights; }

    void drawPage(QPainter &p, const CasePage &page, int number, int pages) const
    {
        m_frame.draw(p, number, pages);
        const QRectF body = m_frame.body();
        for (const PlacedPart &part : page) {
            const qreal top = body.top() + part.top;
            switch (part.part) {
            case CasePart::SymptomsHeading:
                drawHeading(p, top, QStringLiteral("Síntomas Seleccionados"));
                break;
            case CasePart::Symptom:
                drawSymptom(p, top, part.index);
                break;
            case CasePart::FlowersHeading:
                drawHeading(p, top, QStringLiteral("Estadística de Flores"));
                break;
            case CasePart::TableHeader:
                drawTableHeader(p, top);
                break;
            case CasePart::Flower:
                drawFlower(p, top, part.index);
                break;
            }
        }
    }

private:
    void drawHeading(QPainter &p, qreal top, const QString &text) const
    {
        p.setFont(m_headingFont);
        p.setPen(kHeadingColour);
        p.drawText(QRectF(0, top, m_frame.body().width(), m_heights.heading), Qt::AlignLeft | Qt::AlignVCenter, text);
    }

    void drawSymptom(QPainter &p, qreal top, int i) const
    {
        const qreal height = m_heights.symptoms[std::size_t(i)];
        p.setFont(m_textFont);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, top, m_numberWidth - m_padding, height), Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("%1.").arg(i + 1));
        p.drawText(QRectF(m_numberWidth, top, m_frame.body().width() - m_numberWidth, height),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_report.symptoms[i]);
    }

    // The three cells of a row of the flowers' table.
    void drawRow(QPainter &p, qreal top, qreal height, const QString &system, const QString &name,
                 const QString &count) const
    {
        const Qt::Alignment middle = Qt::AlignVCenter;
        p.drawText(QRectF(m_padding, top, m_systemWidth - m_padding, height), Qt::AlignLeft | middle, system);
        const QRectF nameCell(m_systemWidth, top, m_nameWidth - m_padding, height);
        p.drawText(nameCell, Qt::AlignLeft | middle,
                   p.fontMetrics().elidedText(name, Qt::ElideRight, int(nameCell.width())));
        p.drawText(QRectF(m_systemWidth + m_nameWidth, top, m_countWidth - m_padding, height), Qt::AlignRight | middle,
                   count);
    }

    void drawTableHeader(QPainter &p, qreal top) const
    {
        p.setFont(m_titleFont);
        p.setPen(Qt::black);
        const qreal height = m_heights.tableHeader;
        drawRow(p, top, height, QStringLiteral("Tipo"), m_report.nameTitle, QStringLiteral("Cant"));
        p.setPen(QPen(Qt::black, m_frame.points(0.6)));
        p.drawLine(QPointF(0, top + height), QPointF(tableWidth(), top + height));
    }

    void drawFlower(QPainter &p, qreal top, int i) const
    {
        const ExportedFlower &f = m_report.flowers[std::size_t(i)];
        p.setFont(m_textFont);
        p.setPen(Qt::black);
        const qreal height = m_heights.flower;
        drawRow(p, top, height, f.system, f.name, QString::number(f.count));
        p.setPen(QPen(kRuleColour, m_frame.points(0.3)));
        p.drawLine(QPointF(0, top + height), QPointF(tableWidth(), top + height));
    }

    qreal tableWidth() const { return m_systemWidth + m_nameWidth + m_countWidth; }

    const CaseReport &m_report;
    printing::PageFrame m_frame;
    QFont m_headingFont, m_textFont, m_titleFont;
    CaseHeights m_heights;
    qreal m_padding = 0;
    qreal m_numberWidth = 0, m_systemWidth = 0, m_nameWidth = 0, m_countWidth = 0;
};

} // namespace

bool printCase(QPagedPaintDevice &device, const CaseReport &report, const printing::PageHeading &heading)
{
    const CaseDrawing drawing(device, report, heading);
    const std::vector<CasePage> pages = layOutCase(drawing.heights(), int(report.flowers.size()));
    QPainter p;
    if (!p.begin(&device))
        return false;
    p.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            device.newPage();
        drawing.drawPage(p, pages[i], int(i) + 1, int(pages.size()));
    }
    return p.end();
}

} // namespace repertory
