#include "cellgridaccessible.h"

#include "cellgrid.h"

#include <QAbstractItemModel>
#include <QPointer>

namespace {

int modelRows(const CellGrid *grid)
{
    return grid && grid->model() ? grid->model()->rowCount() : 0;
}

int modelColumns(const CellGrid *grid)
{
    return grid && grid->model() ? grid->model()->columnCount() : 0;
}

// One cell of the grid's model, headers included. It holds no text of its own: it reads the
// model whenever it is asked, so a cell that outlives a change of the data still tells the truth.
class GridCell : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    GridCell(CellGrid *grid, int row, int column) : m_grid(grid), m_row(row), m_column(column) { }

    bool isValid() const override
    {
        return m_grid && m_row < modelRows(m_grid) && m_column < modelColumns(m_grid);
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        QAccessibleInterface *table = parent();
        return table ? table->window() : nullptr;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_grid.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        const QModelIndex index = m_grid->model()->index(m_row, m_column);
        switch (t) {
        case QAccessible::Name: {
            const QVariant spoken = index.data(Qt::AccessibleTextRole);
            return spoken.isValid() ? spoken.toString() : index.data(Qt::DisplayRole).toString();
        }
        case QAccessible::Description:
            return index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override { }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect cell = m_grid->cellRect(m_row, m_column);
        if (cell.isEmpty())
            return {};
        return {m_grid->viewport()->mapToGlobal(cell.topLeft()), cell.size()};
    }

    QAccessible::Role role() const override
    {
        if (!m_grid)
            return QAccessible::Cell;
        if (m_row < m_grid->fixedRows())
            return QAccessible::ColumnHeader;
        if (m_column < m_grid->fixedColumns())
            return QAccessible::RowHeader;
        return QAccessible::Cell;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (m_grid->cellRect(m_row, m_column).isEmpty()) {
            s.invisible = true;
            s.offscreen = true;
        }
        if (isDataCell()) {
            s.selectable = true;
            s.selected = isSelected();
            s.focused = m_grid->hasFocus() && m_row == m_grid->currentRow() && m_column == m_grid->fixedColumns();
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && isDataCell())
            return static_cast<QAccessibleTableCellInterface *>(this);
        return nullptr;
    }

    bool isSelected() const override { return isValid() && isDataCell() && m_row == m_grid->currentRow(); }
    QList<QAccessibleInterface *> columnHeaderCells() const override
    {
        QList<QAccessibleInterface *> headers;
        if (CellGridAccessible *grid = table(); grid && isValid())
            for (int r = 0; r < m_grid->fixedRows(); ++r)
                if (QAccessibleInterface *header = grid->modelCell(r, m_column))
                    headers << header;
        return headers;
    }
    QList<QAccessibleInterface *> rowHeaderCells() const override
    {
        QList<QAccessibleInterface *> headers;
        if (CellGridAccessible *grid = table(); grid && isValid())
            for (int c = 0; c < m_grid->fixedColumns(); ++c)
                if (QAccessibleInterface *header = grid->modelCell(m_row, c))
                    headers << header;
        return headers;
    }
    int columnIndex() const override { return m_grid ? m_column - m_grid->fixedColumns() : -1; }
    int rowIndex() const override { return m_grid ? m_row - m_grid->fixedRows() : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    CellGridAccessible *table() const override { return dynamic_cast<CellGridAccessible *>(parent()); }

    int row() const { return m_row; }
    int column() const { return m_column; }

private:
    bool isDataCell() const { return m_grid && m_row >= m_grid->fixedRows() && m_column >= m_grid->fixedColumns(); }

    QPointer<CellGrid> m_grid;
    int m_row;
    int m_column;
};

} // namespace

CellGridAccessible::CellGridAccessible(CellGrid *grid) : QAccessibleWidget(grid, QAccessible::Table) { }

CellGridAccessible::~CellGridAccessible()
{
    forgetCells();
}

QAccessibleInterface *CellGridAccessible::create(const QString &className, QObject *object)
{
    if (className == QLatin1String("CellGrid") && object && object->isWidgetType())
        return new CellGridAccessible(static_cast<CellGrid *>(object));
    return nullptr;
}

CellGrid *CellGridAccessible::grid() const
{
    return static_cast<CellGrid *>(widget());
}

QAccessibleInterface *CellGridAccessible::modelCell(int row, int column) const
{
    if (row < 0 || column < 0 || row >= modelRows(grid()) || column >= modelColumns(grid()))
        return nullptr;
    const auto known = m_cells.find({row, column});
    if (known != m_cells.end())
        return QAccessible::accessibleInterface(known->second);
    auto *cell = new GridCell(grid(), row, column);
    m_cells[{row, column}] = QAccessible::registerAccessibleInterface(cell);
    return cell;
}

void CellGridAccessible::forgetCells()
{
    for (const auto &[where, id] : m_cells)
        QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

int CellGridAccessible::childCount() const
{
    return modelRows(grid()) * modelColumns(grid());
}

QAccessibleInterface *CellGridAccessible::child(int index) const
{
    const int columns = modelColumns(grid());
    if (index < 0 || columns == 0)
        return nullptr;
    return modelCell(index / columns, index % columns);
}

int CellGridAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *cell = dynamic_cast<const GridCell *>(child);
    if (!cell || cell->parent() != this || !cell->isValid())
        return -1;
    return cell->row() * modelColumns(grid()) + cell->column();
}

QAccessibleInterface *CellGridAccessible::childAt(int x, int y) const
{
    const QPoint point = grid()->viewport()->mapFromGlobal(QPoint(x, y));
    return modelCell(grid()->rowAt(point.y()), grid()->columnAt(point.x()));
}

QAccessibleInterface *CellGridAccessible::focusChild() const
{
    if (!grid()->hasFocus())
        return nullptr;
    return modelCell(grid()->currentRow(), grid()->fixedColumns());
}

void *CellGridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

int CellGridAccessible::rowCount() const
{
    return std::max(0, modelRows(grid()) - grid()->fixedRows());
}

int CellGridAccessible::columnCount() const
{
    return std::max(0, modelColumns(grid()) - grid()->fixedColumns());
}

QAccessibleInterface *CellGridAccessible::cellAt(int row, int column) const
{
    if (row < 0 || column < 0)
        return nullptr;
    return modelCell(row + grid()->fixedRows(), column + grid()->fixedColumns());
}

int CellGridAccessible::selectedRowCount() const
{
    return selectedRows().size();
}

QList<int> CellGridAccessible::selectedRows() const
{
    const int current = grid()->currentRow() - grid()->fixedRows();
    if (current < 0 || current >= rowCount())
        return {};
    return {current};
}

bool CellGridAccessible::isRowSelected(int row) const
{
    return selectedRows().contains(row);
}

int CellGridAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface *> CellGridAccessible::selectedCells() const
{
    QList<QAccessibleInterface *> cells;
    for (const int row : selectedRows())
        for (int c = 0; c < columnCount(); ++c)
            cells << cellAt(row, c);
    return cells;
}

QString CellGridAccessible::columnDescription(int column) const
{
    QStringList headers;
    for (int r = 0; r < grid()->fixedRows(); ++r)
        if (QAccessibleInterface *header = modelCell(r, column + grid()->fixedColumns()))
            headers << header->text(QAccessible::Name);
    return headers.join(QLatin1Char(' '));
}

QString CellGridAccessible::rowDescription(int row) const
{
    QStringList headers;
    for (int c = 0; c < grid()->fixedColumns(); ++c)
        if (QAccessibleInterface *header = modelCell(row + grid()->fixedRows(), c))
            headers << header->text(QAccessible::Name);
    return headers.join(QLatin1Char(' '));
}

bool CellGridAccessible::selectRow(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    grid()->setCurrentRow(row + grid()->fixedRows());
    return true;
}

void CellGridAccessible::modelChange(QAccessibleTableModelChangeEvent *event)
{
    // New data in the same cells is read afresh anyway; any other change moves cells about.
    if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
        forgetCells();
}
