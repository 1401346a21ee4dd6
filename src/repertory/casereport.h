#pragma once

#include "repertorytext.h"

#include "ui/printedpage.h"

#include <QString>
#include <QStringList>

#include <vector>

class Catalogue;
class QPagedPaintDevice;

// The processed case on paper: the chosen symptoms, numbered, and the ranked flowers.
namespace repertory {

struct CaseReport
{
    QStringList symptoms;                // in the selection's order
    QString nameTitle;                   // the result grid's title of its name column
    std::vector<ExportedFlower> flowers; // in the result's order
};

// The selection and the result as their grids show them, the flowers named by the result's
// field `nameField` under the title `nameTitle`. Rows are read by position: no cursor moves.
CaseReport readCase(const Catalogue &catalogue, const QString &nameField, const QString &nameTitle);

// The parts of a printed case, from the top down.
enum class CasePart { SymptomsHeading, Symptom, FlowersHeading, TableHeader, Flower };

struct PlacedPart
{
    CasePart part = CasePart::SymptomsHeading;
    int index = 0; // the symptom's or the flower's position; 0 for the others
    qreal top = 0; // from the top of the page's body
};
using CasePage = std::vector<PlacedPart>;

// The heights of the parts, in the units the page is measured in.
struct CaseHeights
{
    qreal page = 0; // what the body of a page holds
    qreal heading = 0;
    qreal gap = 0; // above the flowers' heading, unless it starts a page
    qreal tableHeader = 0;
    qreal flower = 0;
    std::vector<qreal> symptoms; // each symptom's own: a long text takes more than one line
};

// Splits the case into pages. A heading never ends a page: it goes with the first line under
// it. The flowers' column titles head every page that the table runs on to. A part taller than
// a page gets a page of its own and runs over its foot rather than being lost.
std::vector<CasePage> layOutCase(const CaseHeights &heights, int flowers);

// Prints the case on the device, page after page, under `heading`. False when the device
// cannot be painted on.
bool printCase(QPagedPaintDevice &device, const CaseReport &report, const printing::PageHeading &heading);

} // namespace repertory
