#pragma once

#include "tablemodel.h"

#include <QPointer>
#include <QTableView>

#include <functional>

namespace store {
class DataSource;
}

// A grid bound to a view through its data source. The grid's current row and the view's cursor
// follow each other both ways. It browses whole rows; cells can be edited in place when asked
// (the grid's three editing options), and the row takes what is typed when the row is left.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    void setDataSource(store::DataSource *source, const QList<GridColumn> &columns);
    store::DataSource *dataSource() const;
    TableModel *tableModel() const { return m_model; }

    void setColumnField(int column, const QString &field);
    void setTitlesVisible(bool visible);

    // Where a failure while moving the cursor is reported (a pending change that cannot be
    // stored, say). Without one it is dropped, and the grid goes back to the view's row.
    static void setErrorHandler(std::function<void(const QString &)> handler);

    // Fits the columns to the grid whenever its size, or whether it has rows, changes.
    void setColumnFitter(std::function<void(QTableView *)> fitter);
    void fitColumns();

    // The three display options of in-place editing: cells may be edited; the editor opens on
    // the current cell at once and stays open as the cursor moves; whole rows are selected (and
    // no editor opens). Browsing is: off, off, on.
    void setCellEditing(bool on);
    void setEditorAlwaysShown(bool on);
    void setRowSelect(bool on);
    bool cellEditing() const { return m_cellEditing; }
    bool editorAlwaysShown() const { return m_editorAlwaysShown; }
    bool rowSelect() const { return m_rowSelect; }

signals:
    // A key was pressed in the grid; `text` is what it types, if anything.
    void keyPressed(int key, const QString &text);
    // The grid lost the keyboard focus.
    void focusLeft();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Typed letters belong to whoever listens to keyPressed, not to the view's own search.
    void keyboardSearch(const QString &) override { }
    void focusInEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void followView();
    void moveView(int row);
    void applyEditingOptions();
    void openEditorOnCurrentCell();
    void focusMoved(QWidget *from, QWidget *to);
    bool holds(const QWidget *widget) const;

    friend class CellEditorDelegate;

    TableModel *m_model = nullptr;
    std::function<void(QTableView *)> m_fitter;
    bool m_hadRows = false;
    bool m_following = false;
    bool m_cellEditing = false;
    bool m_editorAlwaysShown = false;
    bool m_rowSelect = true;
    QPointer<QWidget> m_editor; // the cell editor, while one is open
};
