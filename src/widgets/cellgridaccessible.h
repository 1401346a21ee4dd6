#pragma once

#include <QAccessibleWidget>

#include <map>
#include <utility>

class CellGrid;

// What a screen reader reads of a CellGrid: a table. The fixed rows are the column headers and
// the fixed columns the row headers, as the eye reads them; the table proper is the rest,
// counted from the first scrolling row and column. A cell says the model's accessible text
// where the model gives one and its display text otherwise, so that a model can say in words
// what it only draws. The grid's current row is the selected row. Cells are made when they are
// first asked for and dropped when the model changes shape.
class CellGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit CellGridAccessible(CellGrid *grid);
    ~CellGridAccessible() override;
    CellGridAccessible(const CellGridAccessible &) = delete;
    CellGridAccessible &operator=(const CellGridAccessible &) = delete;

    // What QAccessible asks for the interface of an object; CellGrid installs it.
    static QAccessibleInterface *create(const QString &className, QObject *object);

    CellGrid *grid() const;
    // The cell at a row and column of the model, headers included; null outside the model.
    QAccessibleInterface *modelCell(int row, int column) const;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override;

private:
    void forgetCells();

    mutable std::map<std::pair<int, int>, QAccessible::Id> m_cells;
};
