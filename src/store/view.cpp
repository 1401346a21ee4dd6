#include "view.h"

#include "batch.h"
#include "datasource.h"
#include "error.h"

#include <algorithm>

namespace store {

View::View(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
    setObjectName(name);
}

View::~View()
{
    for (DataSource *source : m_notifier.sources())
        for (View *detail : source->details())
            detail->m_rows.setMaster(nullptr, QString());
    if (DataSource *master = m_rows.master())
        master->removeDetail(this);
    for (View *through : m_derived.lookupViews())
        through->m_notifier.removeReader(this);
}

void View::setTable(Table *table)
{
    if (isOpen())
        throw Error(QStringLiteral("No se puede cambiar la tabla de %1 mientras está abierta").arg(m_name));
    m_table = table;
    m_rows.setTable(table);
}

void View::connectTable()
{
    disconnectTable();
    m_tableConnections = {
        connect(m_table, &Table::rowsInserted, this, &View::onRowsStored),
        connect(m_table, &Table::rowAboutToChange, this, [this](Slot s) { m_rows.rowAboutToChange(s); }),
        connect(m_table, &Table::rowUpdated, this, [this](Slot s) { onRowsStored({s}); }),
        connect(m_table, &Table::rowsAboutToBeRemoved, this, &View::onRowsAboutToBeRemoved),
        connect(m_table, &Table::rowsRemoved, this, &View::onRowsRemoved),
        connect(m_table, &Table::reloaded, this, &View::onReloaded),
    };
}

void View::disconnectTable()
{
    for (const auto &c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
}

void View::requireTable() const
{
    if (!m_table)
        throw Error(QStringLiteral("%1: no hay tabla").arg(m_name));
}

void View::requireOpen() const
{
    if (!isOpen())
        throw Error(QStringLiteral("%1: la vista está cerrada").arg(m_name));
}

void View::requireRows() const
{
    requireOpen();
    if (recordCount() == 0)
        throw Error(QString::fromLatin1(kEmptyDataset));
}

// ---- fields ----

void View::addLookupField(const FieldDef &def, const QString &keyField, View *lookupView,
                          const QString &lookupKeyField, const QString &resultField)
{
    m_derived.addLookup(def, keyField, lookupView, lookupKeyField, resultField);
    lookupView->m_notifier.addReader(this);
}

void View::addCalculatedField(const FieldDef &def, CalcFunction calc)
{
    m_derived.addCalculated(def, std::move(calc));
}

int View::storedFieldCount() const
{
    return m_table ? m_table->fieldCount() : 0;
}

bool View::isStoredField(int field) const
{
    return field < storedFieldCount();
}

int View::fieldCount() const
{
    return storedFieldCount() + m_derived.count();
}

int View::fieldNumber(const QString &name) const
{
    if (m_table) {
        const int f = m_table->fieldIndex(name);
        if (f >= 0)
            return f;
    }
    const int derived = m_derived.find(name);
    return derived < 0 ? -1 : storedFieldCount() + derived;
}

int View::requireField(const QString &name) const
{
    const int f = fieldNumber(name);
    if (f < 0)
        throw Error(QStringLiteral("%1: no existe el campo %2").arg(m_name, name));
    return f;
}

const FieldDef &View::fieldDef(int field) const
{
    if (isStoredField(field))
        return m_table->def().fields[std::size_t(field)];
    return m_derived.def(field - storedFieldCount());
}

// A stored row's value, or the row being inserted when there is no slot.
QVariant View::fieldValue(std::optional<Slot> slot, int field) const
{
    if (!isStoredField(field))
        return m_derived.value(field - storedFieldCount(), RowRef(this, slot));
    if (!slot)
        return m_edit.value(field);
    if (m_table->def().fields[std::size_t(field)].type == FieldType::Graphic)
        return m_table->isNull(*slot, field) ? QVariant() : QVariant(m_table->blob(*slot, field));
    return m_table->value(*slot, field);
}

// While inserting every field of the new row; while editing the stored fields whose pending
// value stands in for the stored one.
std::optional<QVariant> View::pendingValue(int field) const
{
    if (state() == State::Insert)
        return fieldValue(std::nullopt, field);
    if (state() == State::Edit && isStoredField(field) && m_edit.holds(*m_table, field))
        return m_edit.value(field);
    return std::nullopt;
}

// ---- open and close ----

void View::open()
{
    if (isOpen())
        return;
    requireTable();
    connectTable();
    m_edit.setOpen(true);
    m_rows.rebuild();
    rewind();
    emit stateChanged();
    m_notifier.layout();
    if (recordCount() > 0)
        scrolled();
    else
        m_notifier.moved();
}

void View::close()
{
    if (!isOpen())
        return;
    checkBrowseMode();
    m_edit.setOpen(false);
    disconnectTable();
    m_rows.clear();
    m_row = -1;
    m_current.reset();
    m_eof = true;
    emit stateChanged();
    m_notifier.layout();
    m_notifier.moved();
    m_notifier.readersChanged();
}

// ---- order ----

void View::setIndexName(const QString &name)
{
    requireTable();
    const int index = m_table->indexNumber(name);
    if (index < 0)
        throw Error(QStringLiteral("%1: no existe el índice %2").arg(m_table->displayName(), name));
    if (!isOpen()) {
        m_rows.setIndex(index);
        return;
    }
    checkBrowseMode();
    const std::optional<Slot> keep = m_current;
    m_rows.setIndex(index);
    m_rows.rebuild();
    placeCursorOn(keep, 0);
    m_notifier.layout();
    scrolled();
}

QString View::indexName() const
{
    return m_rows.index() == 0 ? QString() : m_table->indexDef(m_rows.index()).name;
}

// ---- the cursor ----

int View::recordCount() const
{
    return isOpen() ? m_rows.count() : 0;
}

std::optional<Slot> View::slotAt(int row) const
{
    return isOpen() ? m_rows.slotAt(row) : std::nullopt;
}

int View::currentRow() const
{
    return isOpen() ? m_row : -1;
}

std::optional<Slot> View::currentSlot() const
{
    if (state() == State::Insert)
        return std::nullopt;
    return m_current;
}

bool View::currentSlotOrInsert() const
{
    return state() == State::Insert || m_current.has_value();
}

void View::setRow(int row)
{
    m_row = row;
    m_current = slotAt(row);
}

void View::placeCursorOn(std::optional<Slot> s, int fallbackRow)
{
    if (s)
        if (const auto row = m_rows.rowOf(*s)) {
            setRow(*row);
            return;
        }
    const int n = recordCount();
    setRow(n == 0 ? -1 : std::clamp(fallbackRow, 0, n - 1));
}

// To the first row, as after opening or a change of the rows shown.
void View::rewind()
{
    setRow(recordCount() > 0 ? 0 : -1);
    m_eof = recordCount() == 0;
}

void View::beginMove()
{
    requireOpen();
    checkBrowseMode();
}

// Where every move that lands on a row ends.
void View::arrive(int row)
{
    setRow(row);
    m_eof = false;
    scrolled();
}

bool View::arriveAt(std::optional<int> row)
{
    if (!row)
        return false;
    arrive(*row);
    return true;
}

// ---- moving and searching ----

void View::first()
{
    beginMove();
    rewind();
    scrolled();
}

void View::last()
{
    beginMove();
    setRow(recordCount() - 1);
    m_eof = true;
    scrolled();
}

void View::next()
{
    beginMove();
    if (m_row + 1 < recordCount())
        arrive(m_row + 1);
    else
        m_eof = true;
}

void View::moveTo(int row)
{
    requireOpen();
    if (row == m_row && state() == State::Browse)
        return;
    checkBrowseMode();
    if (row >= 0 && row < recordCount())
        arrive(row);
}

bool View::findKey(qint32 key)
{
    beginMove();
    return arriveAt(m_rows.findKey(key));
}

void View::findNearest(const QString &text)
{
    beginMove();
    arrive(m_rows.findNearest(text));
}

bool View::locate(const QString &field, const QVariant &value)
{
    beginMove();
    const int f = requireField(field);
    if (m_table->primaryField() == f)
        return arriveAt(m_rows.findPrimary(value.toInt()));
    return arriveAt(m_rows.firstRowWhere([&](Slot s) { return fieldValue(s, f) == value; }));
}

bool View::locate(const QString &field1, const QVariant &value1, const QString &field2,
                  const QVariant &value2)
{
    beginMove();
    const int f1 = requireField(field1), f2 = requireField(field2);
    // An index led by the two fields finds the row by halving instead of walking.
    if (const int index = m_rows.indexLedBy(f1, f2); index >= 0)
        return arriveAt(m_rows.findPair(index, value1.toInt(), value2.toInt()));
    return arriveAt(m_rows.firstRowWhere(
        [&](Slot s) { return fieldValue(s, f1) == value1 && fieldValue(s, f2) == value2; }));
}

Bookmark View::bookmark() const
{
    if (!m_current || !isOpen())
        return {};
    return {m_table->generation(), *m_current};
}

bool View::gotoBookmark(const Bookmark &mark)
{
    beginMove();
    if (!mark.isValid() || mark.generation != m_table->generation())
        return false;
    return arriveAt(m_rows.rowOf(mark.slot));
}

// ---- reading ----

QVariant View::value(const QString &field) const
{
    requireOpen();
    const int f = requireField(field);
    if (auto pending = pendingValue(f))
        return *pending;
    return m_current ? fieldValue(m_current, f) : QVariant();
}

qint32 View::asInteger(const QString &field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    bool ok = false;
    const qint32 n = v.toString().trimmed().toInt(&ok);
    if (!ok)
        throw Error(notAnIntegerMessage(v.toString()));
    return n;
}

QString View::asString(const QString &field) const
{
    const QVariant v = value(field);
    return v.isNull() ? QString() : v.toString();
}

bool View::isNull(const QString &field) const
{
    return value(field).isNull();
}

QByteArray View::asBytes(const QString &field) const
{
    return value(field).toByteArray();
}

QVariant View::valueAt(int row, int field) const
{
    // A row being inserted shows below the others.
    const int pendingRow = state() == State::Insert ? recordCount() : m_row;
    if (row == pendingRow)
        if (auto pending = pendingValue(field))
            return *pending;
    const auto s = slotAt(row);
    return s ? fieldValue(s, field) : QVariant();
}

// ---- changing ----

void View::append()
{
    beginMove();
    m_rowBeforeInsert = m_row;
    m_edit.startInsert(*m_table);
    m_row = recordCount();
    m_current.reset();
    emit stateChanged();
    m_notifier.layout();
    scrolled();
}

void View::edit()
{
    requireOpen();
    if (m_edit.isChanging())
        return;
    requireRows();
    m_edit.startEdit(*m_table, *m_current);
    emit stateChanged();
}

void View::setValue(const QString &field, const QVariant &value)
{
    requireOpen();
    const int f = requireField(field);
    if (!isStoredField(f))
        throw Error(QStringLiteral("%1: el campo %2 no se puede modificar").arg(m_name, field));
    if (!m_edit.isChanging())
        throw Error(QStringLiteral("%1: la fila no se está editando ni agregando").arg(m_name));
    m_edit.set(*m_table, f, value);
    m_notifier.values();
}

void View::updateRecord()
{
    if (!m_edit.isChanging())
        return;
    for (DataSource *source : m_notifier.sources())
        emit source->updateRecordRequested();
}

void View::post()
{
    requireOpen();
    if (!m_edit.isChanging())
        return;
    updateRecord();
    postPending();
}

void View::checkBrowseMode()
{
    if (!m_edit.isChanging())
        return;
    // What the bound editors hold counts as a change.
    updateRecord();
    if (m_edit.isModified())
        postPending();
    else
        cancel();
}

void View::postPending()
{
    const bool inserting = state() == State::Insert;
    const Slot s = m_edit.post(*m_table, m_current);
    placeCursorOn(s, inserting && m_rowBeforeInsert >= 0 ? m_rowBeforeInsert : m_row);
    emit stateChanged();
    m_notifier.layout();
    m_notifier.moved();
    if (afterPost)
        afterPost();
}

void View::cancel()
{
    if (!m_edit.isChanging())
        return;
    const bool wasInsert = state() == State::Insert;
    m_edit.cancel();
    emit stateChanged();
    if (wasInsert) {
        placeCursorOn(std::nullopt, m_rowBeforeInsert);
        m_notifier.layout();
        scrolled();
    } else {
        m_notifier.values();
    }
}

void View::remove()
{
    removeCurrent(nullptr);
}

void View::remove(Batch &with)
{
    removeCurrent(&with);
}

void View::removeCurrent(Batch *with)
{
    requireOpen();
    if (state() == State::Insert) {
        cancel();
        return;
    }
    cancel();
    requireRows();
    if (with) {
        with->remove(*m_table, {*m_current});
        with->commit();
    } else {
        m_table->remove(*m_current);
    }
    // The table's notification has moved the cursor to the next row, or the last one.
    m_eof = recordCount() == 0;
    scrolled();
}

// ---- filters and master link ----

void View::setFilterText(const QString &text)
{
    requireTable();
    const auto expression = FilterExpression::parse(*m_table, text);
    if (!expression)
        throw Error(QStringLiteral("%1: filtro no válido: %2").arg(m_name, text));
    if (isOpen())
        checkBrowseMode();
    m_rows.setFilterExpression(*expression);
    refilter();
}

void View::setFilterCallback(FilterFunction filter)
{
    applyFilterCallback(std::move(filter), std::nullopt);
}

void View::setFilterCallback(FilterFunction filter, std::vector<Slot> passing)
{
    applyFilterCallback(std::move(filter), std::move(passing));
}

void View::clearFilterCallback()
{
    applyFilterCallback({}, std::nullopt);
}

void View::applyFilterCallback(FilterFunction filter, std::optional<std::vector<Slot>> passing)
{
    if (isOpen())
        checkBrowseMode();
    m_rows.setFilterCallback(std::move(filter), std::move(passing));
    refilter();
}

void View::refilter()
{
    if (!isOpen())
        return;
    m_rows.rebuild();
    rewind();
    m_notifier.layout();
    scrolled();
    m_notifier.readersChanged();
}

bool View::accepts(Slot s) const
{
    return isOpen() && m_rows.accepts(s);
}

void View::setMasterSource(DataSource *source, const QString &masterField)
{
    if (DataSource *old = m_rows.master())
        old->removeDetail(this);
    m_rows.setMaster(source, masterField);
    if (source)
        source->addDetail(this);
    if (isOpen())
        masterMoved();
}

void View::masterMoved()
{
    if (!isOpen())
        return;
    checkBrowseMode();
    m_rows.rebuild();
    rewind();
    m_notifier.layout();
    m_notifier.moved();
}

// ---- notifications ----

void View::scrolled()
{
    m_notifier.moved();
    if (afterScroll)
        afterScroll();
}

void View::disableControls()
{
    m_notifier.suspend();
}

void View::enableControls()
{
    m_notifier.resume();
}

void View::addDataSource(DataSource *source)
{
    m_notifier.addSource(source);
}

void View::removeDataSource(DataSource *source)
{
    m_notifier.removeSource(source);
}

// ---- changes made through any view of the table ----

void View::onRowsStored(const std::vector<Slot> &rows)
{
    const std::optional<Slot> keep = m_current;
    m_rows.rowsInserted(rows);
    if (state() != State::Insert)
        placeCursorOn(keep, m_row);
    m_notifier.layout();
    m_notifier.readersChanged();
}

void View::onRowsAboutToBeRemoved(const std::vector<Slot> &rows)
{
    // The cursor stays on its row; when that row goes, on the first row after it that stays.
    int before = 0;
    m_currentGoes = false;
    for (const Slot s : rows)
        if (const auto row = m_rows.rowOf(s)) {
            if (*row < m_row)
                ++before;
            else if (*row == m_row)
                m_currentGoes = true;
        }
    m_rowAfterRemoval = m_row - before;
    m_rows.rowsAboutToBeRemoved(rows);
}

void View::onRowsRemoved()
{
    const std::optional<Slot> was = m_current;
    m_rows.rowsRemoved();
    if (state() != State::Insert)
        placeCursorOn(m_currentGoes ? std::nullopt : was, m_rowAfterRemoval);
    m_notifier.layout();
    // Details follow the new row, or show nothing once the last row went.
    if (was != m_current)
        m_notifier.moved();
    m_notifier.readersChanged();
}

void View::onReloaded()
{
    const std::optional<Slot> keep = m_current;
    m_rows.reloaded();
    placeCursorOn(keep, 0);
    m_eof = recordCount() == 0;
    m_notifier.layout();
    m_notifier.moved();
    m_notifier.readersChanged();
}

} // namespace store
