#pragma once

#include "tablemodel.h"

#include <QTableView>

#include <functional>

namespace store {
class DataSource;
}

// A read-only grid bound to a view through its data source. The grid's current row and the
// view's cursor follow each other both ways.
class DataGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DataGrid(QWidget *parent = nullptr);

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

protected:
    void resizeEvent(QResizeEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void followView();
    void moveView(int row);

    TableModel *m_model = nullptr;
    std::function<void(QTableView *)> m_fitter;
    bool m_hadRows = false;
    bool m_following = false;
};
