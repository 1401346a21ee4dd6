#pragma once

class QWidget;

// The size of a panel that a splitter sizes, along the splitter: a width beside its
// neighbour, a height above or below it. The panel keeps this size when the window
// is resized; its neighbour takes the rest.
int panelExtent(const QWidget *panel);
void setPanelExtent(QWidget *panel, int extent);
