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

SplitterPanels::SplitterPanels(QList<QWidget *> panels) : m_panels(std::move(panels)), m_sizes(m_panels.size(), 0)
{
    for (int i = 0; i < m_panels.size(); ++i)
        if (QSplitter *splitter = owningSplitter(m_panels[i]))
            QObject::connect(splitter, &QSplitter::splitterMoved, splitter, [this, i] { follow(i); });
}

void SplitterPanels::setSizes(const QList<int> &sizes)
{
    for (int i = 0; i < m_panels.size() && i < sizes.size(); ++i) {
        m_sizes[i] = sizes[i];
        setPanelExtent(m_panels[i], sizes[i]);
    }
}

void SplitterPanels::follow(int panel)
{
    m_sizes[panel] = panelExtent(m_panels[panel]);
}
