#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

namespace store {
class DataSource;
class View;
} // namespace store

// One grid column bound to a field of the view by name. An empty title takes the field's
// display label, as the grid shows it unless the column sets its own.
struct GridColumn
{
    QString field;
    QString title;
};

// The rows a view shows, as a table model. It reads values by position without moving the
// view's cursor, so painting a grid never disturbs the data.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TableModel(store::DataSource *source, QObject *parent = nullptr);

    store::DataSource *dataSource() const { return m_source; }
    store::View *view() const;

    void setColumns(const QList<GridColumn> &columns);
    const QList<GridColumn> &columns() const { return m_columns; }
    void setColumnField(int column, const QString &field);
    QString columnField(int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Typed into a cell of the current row: the row goes into editing, when its source lets it,
    // and takes the value.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Whether the stored fields of the current row can be edited in place.
    void setEditable(bool on) { m_editable = on; }

private:
    void reset();
    void refreshValues();
    int fieldOf(int column) const;

    store::DataSource *m_source;
    QList<GridColumn> m_columns;
    mutable QList<int> m_fieldNumbers;
    bool m_editable = false;
    int m_shownRows = 0; // the rows the views were last told of // resolved lazily: the table arrives when views open
};
