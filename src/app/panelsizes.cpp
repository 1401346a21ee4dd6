#include "panelsizes.h"
#include "columnwidths.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHeaderView>
#include <QSplitter>
#include <QTableView>

namespace {

// The width that columns can fill without a horizontal scroll bar: inside the frame, beside
// the row header, as if the vertical scroll bar were not there; the fit keeps room for it.
int columnRoom(const QTableView *grid)
{
    return grid->maximumViewportSize().width();
}

QSplitter *owningSplitter(const QWidget *panel)
{
    return qobject_cast<QSplitter *>(panel->parentWidget());
}

} // namespace

void fitGridColumns(QTableView *grid)
{
    const QAbstractItemModel *model = grid->model();
    if (model == nullptr)
        return;
    const int columns = model->columnCount();
    const bool hasRows = model->rowCount() > 0;
    const int width = columnRoom(grid);
    QHeaderView *header = grid->horizontalHeader();
    const QString name = grid->objectName();

    if ((name == QLatin1String("GrIdiomas") || name == QLatin1String("DBGrid5")) && columns >= 4) {
        const int each = columnwidths::eachOfThreeNames(width, header->sectionSize(0), hasRows);
        for (int column = 1; column <= 3; ++column)
            header->resizeSection(column, each);
    } else if (name == QLatin1String("GrFlor") && columns >= 2 && !grid->isColumnHidden(1)) {
        header->resizeSection(0, columnwidths::nameBesideAbbreviation(width, header->sectionSize(1), hasRows));
    } else if (name == QLatin1String("GrRepF") && columns >= 3) {
        header->resizeSection(1, columnwidths::nameBetween(width, header->sectionSize(0), header->sectionSize(2), hasRows));
    } else if (columns >= 1) {
        header->resizeSection(0, columnwidths::wholeWidth(width, hasRows));
    }
}

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

void numberButtons(QButtonGroup *group, int first)
{
    int id = first;
    for (QAbstractButton *button : group->buttons())
        group->setId(button, id++);
}
