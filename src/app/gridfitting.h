#pragma once

class QTableView;

// Fitters for the main window's grids: each makes a grid's columns fill its width (see
// columnwidths.h for the arithmetic), giving the room to the column that holds names.

// The first column takes the whole width.
void fitFirstColumn(QTableView *grid);
// A system column, kept as it is, then three name columns sharing the rest equally.
void fitThreeNames(QTableView *grid);
// The flower list: the name leaves room for the system abbreviation while that column shows.
void fitNameBesideAbbreviation(QTableView *grid);
// The result: the name takes what the system column before it and the count after it leave.
void fitNameBetween(QTableView *grid);
