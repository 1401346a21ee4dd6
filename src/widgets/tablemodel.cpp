#include "tablemodel.h"

#include "store/datasource.h"
#include "store/view.h"

TableModel::TableModel(store::DataSource *source, QObject *parent)
    : QAbstractTableModel(parent), m_source(source)
{
    connect(source, &store::DataSource::layoutChanged, this, &TableModel::reset);
    // Editing a row changes no row; appending one, or ending an append, does.
    connect(source, &store::DataSource::stateChanged, this, [this] {
        if (rowCount() != m_shownRows)
            reset();
        else
            refreshValues();
    });
    connect(source, &store::DataSource::valuesChanged, this, &TableModel::refreshValues);
}

store::View *TableModel::view() const
{
    return m_source->view();
}

void TableModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    m_fieldNumbers.clear();
    endResetModel();
    m_shownRows = rowCount();
}

void TableModel::setColumnField(int column, const QString &field)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_columns[column].field = field;
    m_fieldNumbers.clear();
    emit headerDataChanged(Qt::Horizontal, column, column);
    if (rowCount() > 0)
        emit dataChanged(index(0, column), index(rowCount() - 1, column));
}

QString TableModel::columnField(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column].field : QString();
}

int TableModel::fieldOf(int column) const
{
    if (m_fieldNumbers.size() != m_columns.size()) {
        m_fieldNumbers.clear();
        for (const GridColumn &c : m_columns)
            m_fieldNumbers << view()->fieldNumber(c.field);
    }
    return m_fieldNumbers.value(column, -1);
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    const store::View *v = view();
    // A row being appended shows below the others.
    return v->recordCount() + (v->state() == store::State::Insert ? 1 : 0);
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int field = fieldOf(index.column());
    if (field < 0)
        return {};
    // Numbers line up on the right, as counts and keys do in a table.
    if (role == Qt::TextAlignmentRole)
        return view()->fieldDef(field).isNumeric() ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const QVariant v = view()->valueAt(index.row(), field);
    return v.isNull() ? QVariant(QString()) : v;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn &c = m_columns[section];
    if (!c.title.isEmpty())
        return c.title;
    const int field = fieldOf(section);
    return field >= 0 ? view()->fieldDef(field).label() : c.field;
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags browse = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int field = fieldOf(index.column());
    const bool editable = m_editable && field >= 0 && view()->isStoredField(field) && index.row() == view()->currentRow();
    return editable ? browse | Qt::ItemIsEditable : browse;
}

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    store::View *v = view();
    const int field = fieldOf(index.column());
    const QString name = v->fieldDef(field).name;
    // An unchanged cell does not put the row into editing.
    if (v->value(name).toString() == value.toString())
        return true;
    if (!m_source->edit())
        return false;
    v->setValue(name, value);
    emit dataChanged(index, index);
    return true;
}

void TableModel::reset()
{
    beginResetModel();
    m_fieldNumbers.clear();
    endResetModel();
    m_shownRows = rowCount();
}

void TableModel::refreshValues()
{
    const int rows = rowCount();
    if (rows > 0 && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(rows - 1, int(m_columns.size()) - 1));
}
