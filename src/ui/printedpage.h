#pragma once

#include <QDate>
#include <QFont>
#include <QRectF>
#include <QString>

class QPaintDevice;
class QPainter;

// What every printed page of the program has around its content: a heading with the
// document's title, the day and the patient, and "Página i de N" at the foot.
namespace printing {

struct PageHeading
{
    QString title;
    QDate date;
    QString patient; // may be empty: the line is left out
};

// "5 de marzo de 2025", whatever the desktop's language.
QString dateText(const QDate &date);

// "Página 2 de 7"
QString pageNumberText(int page, int pages);

// The heading and the foot of a page, measured for one device. Lengths are in the device's
// own units; the content goes in body().
class PageFrame
{
public:
    PageFrame(const QPaintDevice &device, PageHeading heading);

    // The page less its heading and foot, with the origin at the device's.
    QRectF body() const { return m_body; }
    // A length given in points, in the device's units.
    qreal points(qreal length) const { return length * m_unitsPerPoint; }
    // The program's printing font at a size in points.
    static QFont font(qreal size, bool bold = false);

    // Draws the heading and the foot of page `page` (from 1) of `pages`.
    void draw(QPainter &p, int page, int pages) const;

private:
    PageHeading m_heading;
    qreal m_unitsPerPoint = 1;
    QRectF m_page;
    QRectF m_body;
    qreal m_titleHeight = 0;
    qreal m_lineHeight = 0;
    qreal m_footHeight = 0;
};

} // namespace printing
