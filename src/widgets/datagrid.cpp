#include "datagrid.h"

#include "store/datasource.h"
#include "store/error.h"
#include "store/view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QStyledItemDelegate>
#include <QHeaderView>
#include <QKeyEvent>

// Opens the grid's cell editors, and lets the grid hear the keys typed into them: a key typed
// while renaming in place is a key typed in the grid.
class CellEditorDelegate : public QStyledItemDelegate
{
public:
    explicit CellEditorDelegate(DataGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) { }
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor) {
            editor->installEventFilter(m_grid);
            m_grid->m_editor = editor;
        }
        return editor;
    }

private:
    DataGrid *m_grid;
};

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
    setItemDelegate(new CellEditorDelegate(this));
    connect(qApp, &QApplication::focusChanged, this, &DataGrid::focusMoved);
}

DataGrid::~DataGrid()
{
    // The focus moves while the widgets underneath go; this part of the grid is gone by then.
    disconnect(qApp, nullptr, this, nullptr);
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
    // A reset takes the open editor away without closing it through the view.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_editor = nullptr; });
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
    if (!editing && m_editor) {
        commitData(m_editor);
        closeEditor(m_editor, QAbstractItemDelegate::NoHint);
    }
    if (editing && m_editorAlwaysShown)
        openEditorOnCurrentCell();
}

void DataGrid::openEditorOnCurrentCell()
{
    if (!m_model)
        return;
    if (m_editor) {
        m_editor->setFocus();
        return;
    }
    const int row = m_model->view()->currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex cell = m_model->index(row, std::max(0, currentIndex().column()));
    setCurrentIndex(cell);
    if (state() != QAbstractItemView::EditingState)
        edit(cell, QAbstractItemView::AllEditTriggers, nullptr);
}

void DataGrid::keyPressEvent(QKeyEvent *event)
{
    emit keyPressed(event->key(), event->text());
    QTableView::keyPressEvent(event);
}

void DataGrid::focusMoved(QWidget *from, QWidget *to)
{
    // The focus passing between the grid and its cell editor stays within the grid.
    if (holds(from) && !holds(to))
        emit focusLeft();
}

void DataGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (editor == m_editor)
        m_editor = nullptr;
    QTableView::closeEditor(editor, hint);
}

bool DataGrid::holds(const QWidget *widget) const
{
    return widget && (widget == this || isAncestorOf(widget));
}

bool DataGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        emit keyPressed(key->key(), key->text());
    }
    return QTableView::eventFilter(watched, event);
}

void DataGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    // Coming back to a grid whose editor is always shown puts the caret in the editor.
    if (m_cellEditing && m_editorAlwaysShown && !m_rowSelect)
        openEditorOnCurrentCell();
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
