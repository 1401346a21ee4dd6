#pragma once

#include <QList>

class QWidget;

// The size of a panel that a splitter sizes, along the splitter: a width beside its
// neighbour, a height above or below it. The panel keeps this size when the window
// is resized; its neighbour takes the rest.
int panelExtent(const QWidget *panel);
void setPanelExtent(QWidget *panel, int extent);

// The sizes of a page's splitter panels as the settings file keeps them. A page that has not
// shown yet has not laid its panels out, so until then, and whenever a page is out of sight,
// the sizes are those last set or last dragged to, not what the hidden widgets measure.
class SplitterPanels
{
public:
    explicit SplitterPanels(QList<QWidget *> panels);

    QList<int> sizes() const { return m_sizes; }
    void setSizes(const QList<int> &sizes);

private:
    void follow(int panel);

    QList<QWidget *> m_panels;
    QList<int> m_sizes;
};
