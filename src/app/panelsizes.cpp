#include "panelsizes.h"

#include <QSplitter>

namespace {

QSplitter *owningSplitter(const QWidget *panel)
{
    return qobject_cast<QSplitter *>(panel->parentWidget());
}

} // namespace

int panelExtent(const QWidget *panel)
{
    const QSplitter *splitter = owningSplitter(panel);
    if (splitter == nullptr)
        return 0;
    return splitter->orientation() == Qt::Horizontal ? panel->width() : panel->height();
}

void setPanelExtent(QWidget *panel, int extent)
{
    QSplitter *splitter = owningSplitter(panel);
    if (splitter == nullptr)
        return;
    // The panel's neighbour carries a stretch factor, so the splitter gives it whatever
    // the panel does not take, now and whenever the window is resized.
    QList<int> sizes = splitter->sizes();
    sizes[splitter->indexOf(panel)] = extent;
    splitter->setSizes(sizes);
}
