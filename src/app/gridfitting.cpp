#include "gridfitting.h"

#include "columnwidths.h"

#include <QHeaderView>
#include <QTableView>

namespace {

// The width that columns can fill without a horizontal scroll bar: inside the frame, beside
// the row header, as if the vertical scroll bar were not there; the fit keeps room for it.
int columnRoom(const QTableView *grid)
{
    return grid->maximumViewportSize().width();
}

bool hasRows(const QTableView *grid)
{
    return grid->model()->rowCount() > 0;
}

// The grid's columns when it has at least `needed` of them; 0 otherwise.
int columnsOf(const QTableView *grid, int needed)
{
    const int columns = grid->model() ? grid->model()->columnCount() : 0;
    return columns >= needed ? columns : 0;
}

} // namespace

void fitFirstColumn(QTableView *grid)
{
    if (!columnsOf(grid, 1))
        return;
    grid->horizontalHeader()->resizeSection(0, columnwidths::wholeWidth(columnRoom(grid), hasRows(grid)));
}

void fitThreeNames(QTableView *grid)
{
    if (!columnsOf(grid, 4))
        return;
    QHeaderView *header = grid->horizontalHeader();
    const int each = columnwidths::eachOfThreeNames(columnRoom(grid), header->sectionSize(0), hasRows(grid));
    for (int column = 1; column <= 3; ++column)
        header->resizeSection(column, each);
}

void fitNameBesideAbbreviation(QTableView *grid)
{
    if (!columnsOf(grid, 2) || grid->isColumnHidden(1)) {
        fitFirstColumn(grid);
        return;
    }
    QHeaderView *header = grid->horizontalHeader();
    header->resizeSection(
        0, columnwidths::nameBesideAbbreviation(columnRoom(grid), header->sectionSize(1), hasRows(grid)));
}

void fitNameBetween(QTableView *grid)
{
    if (!columnsOf(grid, 3))
        return;
    QHeaderView *header = grid->horizontalHeader();
    header->resizeSection(1, columnwidths::nameBetween(columnRoom(grid), header->sectionSize(0),
                                                       header->sectionSize(2), hasRows(grid)));
}
