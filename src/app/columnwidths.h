#pragma once

// Widths that make a grid's columns fill the grid. Whenever the grid has rows, room is kept
// for the vertical scroll bar whether or not it shows, so the columns do not jump when the
// list grows past one screen. The single pixels taken off are the column lines between the
// columns that stay as they are.
namespace columnwidths {

inline constexpr int scrollBarRoom = 22;

// Room left for the vertical scroll bar.
int scrollRoom(bool hasRows);

// A grid whose first column takes the whole width.
int wholeWidth(int gridWidth, bool hasRows);

// The flower list with its system abbreviation shown: the name column takes what the
// abbreviation column leaves.
int nameBesideAbbreviation(int gridWidth, int abbreviationWidth, bool hasRows);

// A list of flowers by system and three names: the system column keeps its width and the
// three name columns share the rest equally.
int eachOfThreeNames(int gridWidth, int systemWidth, bool hasRows);

// A list with a narrow column on each side of a name: the name takes what they leave.
int nameBetween(int gridWidth, int leftWidth, int rightWidth, bool hasRows);

} // namespace columnwidths
