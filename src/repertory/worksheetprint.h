#pragma once

#include "worksheet.h"

#include "ui/printedpage.h"

#include <QRectF>
#include <QSizeF>

#include <vector>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

// The worksheet on paper: the matrix cut into pages that fit, each repeating the flower names
// and counts on the left and the symptom numbers on top, then the numbered references.
namespace worksheet {

// A run of the sheet's flower rows or symptom columns, counted from 0.
struct Band
{
    int first = 0;
    int count = 0;
    friend bool operator==(const Band &, const Band &) = default;
};

// The sizes of the printed sheet, in the units the page is measured in.
struct PrintSizes
{
    QSizeF page;            // what the body of a page holds
    qreal nameWidth = 0;    // the flower names' column
    qreal countWidth = 0;   // the counts' column
    qreal columnWidth = 0;  // each symptom's column
    qreal headerHeight = 0; // the row of symptom numbers
    qreal rowHeight = 0;    // each flower's row
    qreal gap = 0;          // between the matrix and the references under it
    qreal referencesHeading = 0;
    qreal reference = 0; // one reference line
};

struct PrintPage
{
    bool matrix = true; // false on the pages that hold references only
    Band rows;          // the flowers whose rows the page shows
    Band columns;       // the symptoms whose columns it shows beside the names and counts
    Band references;    // the reference lines under their heading on this page
    qreal referencesTop = 0;
};

// Cuts the sheet into pages: as many symptom columns as fit across beside the names and
// counts, as many flower rows as fit under the symptom numbers, and at least one of each on a
// page however small it is. The pages run across the symptoms first, then down the flowers, so
// the best-scored flowers come first with all their marks. The references follow under the
// last piece of the matrix and on as many pages after it as they need; their heading is never
// left alone at the foot of a page.
std::vector<PrintPage> layOutSheet(const PrintSizes &sizes, int rows, int symptoms);

// The cell of a flower row and a symptom column on a page that shows both, from the top left
// of the page's body.
QRectF markCell(const PrintSizes &sizes, const PrintPage &page, int row, int symptom);

// The sheet measured for one device, page by page.
class SheetPrintout
{
public:
    SheetPrintout(const QPaintDevice &device, const Sheet &sheet, const printing::PageHeading &heading);

    const PrintSizes &sizes() const { return m_sizes; }
    const std::vector<PrintPage> &pages() const { return m_pages; }
    // Where the body of each page starts and how large it is.
    QRectF body() const { return m_frame.body(); }

    // Draws page `page` (from 0), its heading and foot included.
    void drawPage(QPainter &p, int page) const;

private:
    void drawMatrix(QPainter &p, const PrintPage &page) const;
    void drawReferences(QPainter &p, const PrintPage &page) const;

    const Sheet &m_sheet;
    printing::PageFrame m_frame;
    QFont m_cellFont, m_headingFont, m_referenceFont;
    qreal m_padding = 0;
    PrintSizes m_sizes;
    std::vector<PrintPage> m_pages;
};

// Prints the sheet, in its rows' present order, on the device under `heading`. False when the
// device cannot be painted on.
bool printSheet(QPagedPaintDevice &device, const Sheet &sheet, const printing::PageHeading &heading);

} // namespace worksheet
