#include "datagrid.h"

#include "store/datasource.h"
#include "store/error.h"
#include "store/view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>

namespace {
std::function<void(const QString &)> &errorHandler()
{
    static std::function<void(const QString &)> handler;
    return handler;
}
} // namespace

DataGrid::DataGrid(QWidget *parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(16);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DataGrid::setErrorHandler(std::function<void(const QString &)> handler)
{
    errorHandler() = std::move(handler);
}

void DataGrid::setDataSource(store::DataSource *source, const QList<GridColumn> &columns)
{
    delete m_model;
    m_model = new TableModel(source, this);
    m_model->setColumns(columns);
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DataGrid::followView);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if ((m_model->rowCount() > 0) != m_hadRows)
            fitColumns();
    });
    connect(source, &store::DataSource::currentChanged, this, &DataGrid::followView);
    followView();
}

store::DataSource *DataGrid::dataSource() const
{
    return m_model ? m_model->dataSource() : nullptr;
}

void DataGrid::setColumnFitter(std::function<void(QTableView *)> fitter)
{
    m_fitter = std::move(fitter);
    fitColumns();
}

void DataGrid::fitColumns()
{
    m_hadRows = m_model && m_model->rowCount() > 0;
    if (m_fitter)
        m_fitter(this);
}

void DataGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

void DataGrid::setColumnField(int column, const QString &field)
{
    if (m_model)
        m_model->setColumnField(column, field);
}

void DataGrid::setCellEditing(bool on)
{
    m_cellEditing = on;
    applyEditingOptions();
}

void DataGrid::setEditorAlwaysShown(bool on)
{
    m_editorAlwaysShown = on;
    applyEditingOptions();
}

void DataGrid::setRowSelect(bool on)
{
    m_rowSelect = on;
    applyEditingOptions();
}

void DataGrid::applyEditingOptions()
{
    const bool editing = m_cellEditing && !m_rowSelect;
    if (m_model)
        m_model->setEditable(editing);
    setSelectionBehavior(m_rowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setEditTriggers(editing ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                                  | QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                            : QAbstractItemView::NoEditTriggers);
    if (!editing && state() == QAbstractItemView::EditingState)
        closeEditor(indexWidget(currentIndex()), QAbstractItemDelegate::NoHint);
    if (editing && m_editorAlwaysShown)
        openEditorOnCurrentCell();
}

void DataGrid::openEditorOnCurrentCell()
{
    if (!m_model || state() == QAbstractItemView::EditingState)
        return;
    const int row = m_model->view()->currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex cell = m_model->index(row, std::max(0, currentIndex().column()));
    setCurrentIndex(cell);
    edit(cell);
}

void DataGrid::keyPressEvent(QKeyEvent *event)
{
    emit keyPressed(event->key(), event->text());
    QTableView::keyPressEvent(event);
}

void DataGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    // The cell editor taking the focus is still the grid's own editing.
    if (state() != QAbstractItemView::EditingState)
        emit focusLeft();
}

void DataGrid::setTitlesVisible(bool visible)
{
    horizontalHeader()->setVisible(visible);
}

void DataGrid::followView()
{
    if (!m_model || !selectionModel())
        return;
    const int row = m_model->view()->currentRow();
    m_following = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const QModelIndex idx = m_model->index(row, std::max(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clear();
    }
    m_following = false;
}

void DataGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || !m_model || !current.isValid() || current.row() == previous.row())
        return;
    moveView(current.row());
    if (m_cellEditing && m_editorAlwaysShown && !m_rowSelect)
        openEditorOnCurrentCell();
}

void DataGrid::moveView(int row)
{
    store::View *view = m_model->view();
    if (!view->isOpen() || row == view->currentRow())
        return;
    try {
        view->moveTo(row);
    } catch (const std::exception &e) {
        const QString message = store::errorText(e);
        followView();
        if (errorHandler())
            errorHandler()(message);
    }
}
