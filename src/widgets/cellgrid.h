#pragma once

#include <QAbstractScrollArea>
#include <QPointer>

#include <vector>

class QAbstractItemDelegate;
class QAbstractItemModel;
class QModelIndex;

// A grid of cells that a delegate draws from a model, one cell at a time as it comes into
// view; no cell has an object of its own. Leading rows and columns can be fixed: they stay in
// place while the rest scrolls, cell by cell. Every cell is followed by a one-pixel grid line.
// Whole rows are selected; the grid itself paints nothing but its background and lines.
// Assistive technology reads it as a table (CellGridAccessible), the fixed rows and columns
// being its headers.
class CellGrid : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit CellGrid(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model);
    QAbstractItemModel *model() const { return m_model; }
    void setItemDelegate(QAbstractItemDelegate *delegate);

    void setFixedRows(int rows);
    void setFixedColumns(int columns);
    int fixedRows() const { return m_fixedRows; }
    int fixedColumns() const { return m_fixedColumns; }

    void setDefaultColumnWidth(int width);
    void setRowHeight(int height);
    int rowHeight() const { return m_rowHeight; }
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;
    // Every column with its grid line.
    int gridWidth() const;

    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);
    // The first row and column shown after the fixed ones.
    int topRow() const;
    int leftColumn() const;
    // Where a cell is drawn in the viewport; empty when it is out of sight.
    QRect cellRect(int row, int column) const;
    // The row or column drawn at a place of the viewport, its grid line included; -1 for none.
    int rowAt(int y) const;
    int columnAt(int x) const;

signals:
    void currentRowChanged(int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int rowCount() const;
    int columnCount() const;
    void modelChanged();
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void updateScrollBars();
    void ensureRowVisible(int row);
    // Rows and columns in view, fixed ones first, with the position of each.
    std::vector<std::pair<int, int>> visibleRows() const;
    std::vector<std::pair<int, int>> visibleColumns() const;
    int rowsThatFit() const;

    QPointer<QAbstractItemModel> m_model;
    QPointer<QAbstractItemDelegate> m_delegate;
    int m_fixedRows = 0;
    int m_fixedColumns = 0;
    int m_defaultWidth = 64;
    int m_rowHeight = 20;
    std::vector<int> m_widths;
    int m_currentRow = -1;
};
