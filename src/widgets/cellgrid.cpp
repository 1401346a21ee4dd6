#include "cellgrid.h"

#include "cellgridaccessible.h"

#include <QAbstractItemDelegate>
#include <QAccessible>
#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>

namespace {
constexpr int kLine = 1;
const QColor kLineColour(160, 160, 160);
} // namespace

CellGrid::CellGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    static const bool readable = [] {
        QAccessible::installFactory(&CellGridAccessible::create);
        return true;
    }();
    Q_UNUSED(readable);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
}

void CellGrid::setModel(QAbstractItemModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (m_model) {
        connect(m_model, &QAbstractItemModel::modelReset, this, &CellGrid::modelChanged);
        connect(m_model, &QAbstractItemModel::layoutChanged, this, &CellGrid::modelChanged);
        connect(m_model, &QAbstractItemModel::rowsInserted, this, &CellGrid::modelChanged);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this, &CellGrid::modelChanged);
        connect(m_model, &QAbstractItemModel::columnsInserted, this, &CellGrid::modelChanged);
        connect(m_model, &QAbstractItemModel::columnsRemoved, this, &CellGrid::modelChanged);
        connect(m_model, &QAbstractItemModel::dataChanged, this, &CellGrid::dataChanged);
    }
    modelChanged();
}

void CellGrid::setItemDelegate(QAbstractItemDelegate *delegate)
{
    m_delegate = delegate;
    viewport()->update();
}

void CellGrid::setFixedRows(int rows)
{
    m_fixedRows = std::max(0, rows);
    updateScrollBars();
}

void CellGrid::setFixedColumns(int columns)
{
    m_fixedColumns = std::max(0, columns);
    updateScrollBars();
}

void CellGrid::setDefaultColumnWidth(int width)
{
    m_defaultWidth = width;
    std::fill(m_widths.begin(), m_widths.end(), width);
    updateScrollBars();
}

void CellGrid::setRowHeight(int height)
{
    m_rowHeight = std::max(1, height);
    updateScrollBars();
}

void CellGrid::setColumnWidth(int column, int width)
{
    if (column < 0 || column >= int(m_widths.size()))
        return;
    m_widths[std::size_t(column)] = std::max(0, width);
    updateScrollBars();
}

int CellGrid::columnWidth(int column) const
{
    return column >= 0 && column < int(m_widths.size()) ? m_widths[std::size_t(column)] : m_defaultWidth;
}

int CellGrid::gridWidth() const
{
    int total = 0;
    for (const int w : m_widths)
        total += w + kLine;
    return total;
}

int CellGrid::rowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

int CellGrid::columnCount() const
{
    return m_model ? m_model->columnCount() : 0;
}

void CellGrid::modelChanged()
{
    m_widths.resize(std::size_t(columnCount()), m_defaultWidth);
    if (m_currentRow >= rowCount())
        m_currentRow = -1;
    if (m_currentRow < 0 && rowCount() > m_fixedRows)
        m_currentRow = m_fixedRows;
    updateScrollBars();
    QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

void CellGrid::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    viewport()->update();
    QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
    event.setFirstRow(topLeft.row());
    event.setFirstColumn(topLeft.column());
    event.setLastRow(bottomRight.row());
    event.setLastColumn(bottomRight.column());
    QAccessible::updateAccessibility(&event);
}

int CellGrid::rowsThatFit() const
{
    const int room = viewport()->height() - std::min(m_fixedRows, rowCount()) * (m_rowHeight + kLine);
    return std::max(1, room / (m_rowHeight + kLine));
}

void CellGrid::updateScrollBars()
{
    const int scrollingRows = std::max(0, rowCount() - m_fixedRows);
    const int fit = rowsThatFit();
    verticalScrollBar()->setRange(0, std::max(0, scrollingRows - fit));
    verticalScrollBar()->setPageStep(fit);

    // Horizontally the last position is the one that shows the last column whole.
    int room = viewport()->width();
    for (int c = 0; c < std::min(m_fixedColumns, columnCount()); ++c)
        room -= columnWidth(c) + kLine;
    int fitting = 0;
    for (int c = columnCount() - 1; c >= m_fixedColumns; --c) {
        room -= columnWidth(c) + kLine;
        if (room < 0)
            break;
        ++fitting;
    }
    const int scrollingColumns = std::max(0, columnCount() - m_fixedColumns);
    horizontalScrollBar()->setRange(0, std::max(0, scrollingColumns - std::max(1, fitting)));
    horizontalScrollBar()->setPageStep(std::max(1, fitting));
    viewport()->update();
}

int CellGrid::topRow() const
{
    return m_fixedRows + verticalScrollBar()->value();
}

int CellGrid::leftColumn() const
{
    return m_fixedColumns + horizontalScrollBar()->value();
}

std::vector<std::pair<int, int>> CellGrid::visibleRows() const
{
    std::vector<std::pair<int, int>> rows;
    const int height = viewport()->height();
    int y = 0;
    for (int r = 0; r < std::min(m_fixedRows, rowCount()) && y < height; ++r, y += m_rowHeight + kLine)
        rows.emplace_back(r, y);
    for (int r = topRow(); r < rowCount() && y < height; ++r, y += m_rowHeight + kLine)
        rows.emplace_back(r, y);
    return rows;
}

std::vector<std::pair<int, int>> CellGrid::visibleColumns() const
{
    std::vector<std::pair<int, int>> columns;
    const int width = viewport()->width();
    int x = 0;
    for (int c = 0; c < std::min(m_fixedColumns, columnCount()) && x < width; ++c) {
        columns.emplace_back(c, x);
        x += columnWidth(c) + kLine;
    }
    for (int c = leftColumn(); c < columnCount() && x < width; ++c) {
        columns.emplace_back(c, x);
        x += columnWidth(c) + kLine;
    }
    return columns;
}

QRect CellGrid::cellRect(int row, int column) const
{
    int top = -1, left = -1;
    for (const auto &[r, y] : visibleRows())
        if (r == row)
            top = y;
    for (const auto &[c, x] : visibleColumns())
        if (c == column)
            left = x;
    if (top < 0 || left < 0)
        return {};
    return {left, top, columnWidth(column), m_rowHeight};
}

int CellGrid::rowAt(int y) const
{
    for (const auto &[r, top] : visibleRows())
        if (y >= top && y < top + m_rowHeight + kLine)
            return r;
    return -1;
}

int CellGrid::columnAt(int x) const
{
    for (const auto &[c, left] : visibleColumns())
        if (x >= left && x < left + columnWidth(c) + kLine)
            return c;
    return -1;
}

void CellGrid::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const auto rows = visibleRows();
    const auto columns = visibleColumns();
    if (rows.empty() || columns.empty() || !m_model)
        return;
    const int right = columns.back().second + columnWidth(columns.back().first) + kLine;
    const int bottom = rows.back().second + m_rowHeight + kLine;

    QStyleOptionViewItem option;
    option.initFrom(viewport());
    option.font = font();
    option.fontMetrics = fontMetrics();
    for (const auto &[r, y] : rows) {
        for (const auto &[c, x] : columns) {
            option.rect = QRect(x, y, columnWidth(c), m_rowHeight);
            if (!option.rect.intersects(event->rect()))
                continue;
            p.save();
            if (m_delegate)
                m_delegate->paint(&p, option, m_model->index(r, c));
            p.restore();
        }
    }
    p.setPen(kLineColour);
    for (const auto &[c, x] : columns) {
        const int lineX = x + columnWidth(c);
        p.drawLine(lineX, 0, lineX, bottom - 1);
    }
    for (const auto &[r, y] : rows) {
        const int lineY = y + m_rowHeight;
        p.drawLine(0, lineY, right - 1, lineY);
    }
}

void CellGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CellGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CellGrid::setCurrentRow(int row)
{
    if (row < m_fixedRows || row >= rowCount() || row == m_currentRow)
        return;
    m_currentRow = row;
    ensureRowVisible(row);
    viewport()->update();
    emit currentRowChanged(row);
    // A screen reader follows the current row through its first cell after the fixed columns.
    if (QAccessible::isActive() && hasFocus() && m_fixedColumns < columnCount()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(row * columnCount() + m_fixedColumns);
        QAccessible::updateAccessibility(&event);
    }
}

void CellGrid::ensureRowVisible(int row)
{
    QScrollBar *bar = verticalScrollBar();
    const int position = row - m_fixedRows;
    if (position < bar->value())
        bar->setValue(position);
    else if (position >= bar->value() + rowsThatFit())
        bar->setValue(position - rowsThatFit() + 1);
}

void CellGrid::keyPressEvent(QKeyEvent *event)
{
    const int page = rowsThatFit();
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrentRow(m_currentRow - 1);
        break;
    case Qt::Key_Down:
        setCurrentRow(m_currentRow + 1);
        break;
    case Qt::Key_PageUp:
        setCurrentRow(std::max(m_fixedRows, m_currentRow - page));
        break;
    case Qt::Key_PageDown:
        setCurrentRow(std::min(rowCount() - 1, m_currentRow + page));
        break;
    case Qt::Key_Home:
        setCurrentRow(m_fixedRows);
        break;
    case Qt::Key_End:
        setCurrentRow(rowCount() - 1);
        break;
    case Qt::Key_Left:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CellGrid::mousePressEvent(QMouseEvent *event)
{
    if (const int row = rowAt(event->position().toPoint().y()); row >= 0)
        setCurrentRow(row);
    QAbstractScrollArea::mousePressEvent(event);
}
