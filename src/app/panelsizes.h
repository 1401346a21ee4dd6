#pragma once

class QButtonGroup;
class QTableView;
class QWidget;

// Fits the columns of one grid of the main window to the grid's width. Which columns move
// depends on the grid: the three name columns of the flowers of a symptom share the room
// left by the system column; the flower list's name column leaves room for the system
// abbreviation while that column shows; any other grid gives the room to its first column.
void fitGridColumns(QTableView *grid);

// The size of a panel that a splitter sizes, along the splitter: a width beside its
// neighbour, a height above or below it. The panel keeps this size when the window
// is resized; its neighbour takes the rest.
int panelExtent(const QWidget *panel);
void setPanelExtent(QWidget *panel, int extent);

// Numbers the buttons of a group in the order they were added, from the first number on.
void numberButtons(QButtonGroup *group, int first);
