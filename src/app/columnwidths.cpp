#include "columnwidths.h"

namespace columnwidths {

int scrollRoom(bool hasRows)
{
    return hasRows ? scrollBarRoom : 0;
}

int wholeWidth(int gridWidth, bool hasRows)
{
    return gridWidth - scrollRoom(hasRows);
}

int nameBesideAbbreviation(int gridWidth, int abbreviationWidth, bool hasRows)
{
    return gridWidth - abbreviationWidth - 1 - scrollRoom(hasRows);
}

int eachOfThreeNames(int gridWidth, int systemWidth, bool hasRows)
{
    // Integer division truncates toward zero, also for a grid squeezed below its columns.
    return (gridWidth - scrollRoom(hasRows) - 3 - systemWidth) / 3;
}

int nameBetween(int gridWidth, int leftWidth, int rightWidth, bool hasRows)
{
    return gridWidth - leftWidth - rightWidth - 2 - scrollRoom(hasRows);
}

} // namespace columnwidths
