#include "view.h"

#include "collation.h"
#include "datasource.h"
#include "error.h"

#include <algorithm>

namespace store {

QString notAnIntegerMessage(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QVariant RowRef::value(const QString &field) const
{
    return m_view->fieldValue(m_slot, m_view->requireField(field));
}

View::View(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
    setObjectName(name);
}

View::~View()
{
    for (DataSource *source : m_sources)
        for (View *detail : source->details())
            detail->m_master = nullptr;
    if (m_master)
        m_master->removeDetail(this);
    for (const DerivedField &d : m_derived)
        if (d.lookupView) {
            auto &deps = d.lookupView->m_lookupDependents;
            deps.erase(std::remove(deps.begin(), deps.end(), this), deps.end());
        }
}

void View::setTable(Table *table)
{
    if (isOpen())
        throw Error(QStringLiteral("No se puede cambiar la tabla de %1 mientras está abierta").arg(m_name));
    m_table = table;
}

void View::connectTable()
{
    for (const auto &c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
    if (!m_table)
        return;
    m_tableConnections = {
        connect(m_table, &Table::rowInserted, this, &View::onRowInserted),
        connect(m_table, &Table::rowAboutToChange, this, &View::onRowAboutToChange),
        connect(m_table, &Table::rowUpdated, this, &View::onRowUpdated),
        connect(m_table, &Table::rowRemoved, this, &View::onRowRemoved),
        connect(m_table, &Table::reloaded, this, &View::onReloaded),
    };
}

// ---- fields ----

void View::addLookupField(const FieldDef &def, const QString &keyField, View *lookupView,
                          const QString &lookupKeyField, const QString &resultField)
{
    DerivedField d;
    d.def = def;
    d.keyField = keyField;
    d.lookupView = lookupView;
    d.lookupKeyField = lookupKeyField;
    d.resultField = resultField;
    m_derived.push_back(std::move(d));
    lookupView->m_lookupDependents.push_back(this);
}

void View::addCalculatedField(const FieldDef &def, CalcFunction calc)
{
    DerivedField d;
    d.def = def;
    d.calc = std::move(calc);
    m_derived.push_back(std::move(d));
}

int View::fieldCount() const
{
    return storedFieldCount() + int(m_derived.size());
}

int View::fieldNumber(const QString &name) const
{
    if (m_table) {
        const int f = m_table->fieldIndex(name);
        if (f >= 0)
            return f;
    }
    for (std::size_t i = 0; i < m_derived.size(); ++i)
        if (m_derived[i].def.name.compare(name, Qt::CaseInsensitive) == 0)
            return storedFieldCount() + int(i);
    return -1;
}

int View::requireField(const QString &name) const
{
    const int f = fieldNumber(name);
    if (f < 0)
        throw Error(QStringLiteral("%1: Field '%2' not found").arg(m_name, name));
    return f;
}

int View::storedFieldCount() const
{
    return m_table ? m_table->fieldCount() : 0;
}

const FieldDef &View::fieldDef(int field) const
{
    if (isStoredField(field))
        return m_table->def().fields[std::size_t(field)];
    return m_derived[std::size_t(field - storedFieldCount())].def;
}

bool View::isStoredField(int field) const
{
    return m_table && field < m_table->fieldCount();
}

QVariant View::fieldValue(std::optional<Slot> slot, int field) const
{
    if (isStoredField(field)) {
        if (!slot)
            return m_buffer.values.empty() ? QVariant() : m_buffer.values[std::size_t(field)];
        if (m_table->def().fields[std::size_t(field)].type == FieldType::Graphic)
            return m_table->isNull(*slot, field) ? QVariant() : QVariant(m_table->blob(*slot, field));
        return m_table->value(*slot, field);
    }
    return derivedValue(m_derived[std::size_t(field - storedFieldCount())], slot);
}

QVariant View::derivedValue(const DerivedField &d, std::optional<Slot> slot) const
{
    if (d.calc)
        return d.calc(RowRef(this, slot));
    const QVariant key = fieldValue(slot, requireField(d.keyField));
    if (key.isNull())
        return {};
    return d.lookupView->lookup(d.lookupKeyField, key, d.resultField);
}

QVariant View::lookup(const QString &keyField, const QVariant &key, const QString &resultField) const
{
    if (!isOpen())
        return {};
    const int kf = requireField(keyField);
    std::optional<Slot> found;
    const IndexDef &primary = m_table->def().primary;
    if (primary.fields.size() == 1 && m_table->fieldIndex(primary.fields.front().name) == kf) {
        found = m_table->findPrimary(key.toInt());
    } else {
        for (Slot s : m_table->order(0))
            if (m_table->value(s, kf) == key) {
                found = s;
                break;
            }
    }
    // A lookup sees only the rows that this view lets through.
    if (!found || !accepts(*found))
        return {};
    return fieldValue(found, requireField(resultField));
}

// ---- open and close ----

void View::open()
{
    if (isOpen())
        return;
    if (!m_table)
        throw Error(QStringLiteral("%1: no hay tabla").arg(m_name));
    connectTable();
    m_state = State::Browse;
    rebuild();
    m_row = -1;
    m_current.reset();
    setRow(recordCount() > 0 ? 0 : -1);
    m_bof = true;
    m_eof = recordCount() == 0;
    emit stateChanged();
    notifyLayout();
    if (recordCount() > 0)
        scrolled();
    else
        notifyMoved();
}

void View::close()
{
    if (!isOpen())
        return;
    checkBrowseMode();
    m_state = State::Inactive;
    for (const auto &c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
    m_rows.clear();
    m_lo = m_hi = 0;
    m_row = -1;
    m_current.reset();
    m_eof = m_bof = true;
    emit stateChanged();
    notifyLayout();
    notifyMoved();
    dependentsChanged();
}

void View::requireOpen() const
{
    if (!isOpen())
        throw Error(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(m_name));
}

void View::requireRows() const
{
    requireOpen();
    if (recordCount() == 0)
        throw Error(QString::fromLatin1(kEmptyDataset));
}

// ---- order and presentation ----

void View::setIndexName(const QString &name)
{
    if (!m_table)
        throw Error(QStringLiteral("%1: no hay tabla").arg(m_name));
    const int idx = m_table->indexNumber(name);
    if (idx < 0)
        throw Error(QStringLiteral("%1: Index '%2' not found").arg(m_table->displayName(), name));
    if (!isOpen()) {
        m_index = idx;
        return;
    }
    checkBrowseMode();
    const std::optional<Slot> keep = m_current;
    m_index = idx;
    rebuild();
    placeCursorOn(keep, 0);
    notifyLayout();
    scrolled();
}

QString View::indexName() const
{
    return m_index == 0 ? QString() : m_table->indexDef(m_index).name;
}

bool View::inMasterRange(Slot s) const
{
    if (!m_master)
        return true;
    View *mv = m_master->view();
    if (!mv->isOpen() || !mv->currentSlotOrInsert())
        return false;
    return m_table->compareLeading(m_index, s, mv->value(m_masterField)) == 0;
}

bool View::passesExpression(Slot s) const
{
    return m_table->value(s, m_filterExpr.field).toString() == m_filterExpr.value;
}

bool View::passesFilters(Slot s) const
{
    if (m_filterExpr.field >= 0 && !passesExpression(s))
        return false;
    return !m_filter || m_filter(s);
}

bool View::accepts(Slot s) const
{
    return isOpen() && m_table->isAlive(s) && inMasterRange(s) && passesFilters(s);
}

void View::computeRange()
{
    const auto &ord = m_table->order(m_index);
    m_lo = 0;
    m_hi = ord.size();
    if (!m_master)
        return;
    View *mv = m_master->view();
    if (!mv->isOpen() || !mv->currentSlotOrInsert()) {
        m_hi = 0;
        return;
    }
    const QVariant key = mv->value(m_masterField);
    if (key.isNull()) {
        m_hi = 0;
        return;
    }
    std::tie(m_lo, m_hi) = m_table->equalRange(m_index, key);
}

void View::rebuild()
{
    computeRange();
    m_rows.clear();
    if (!materialized())
        return;
    const auto &ord = m_table->order(m_index);
    if (m_passing && m_passing->size() * 8 < m_hi - m_lo) {
        // Few rows pass: order them by their place in the index instead of walking it.
        const auto &rank = m_table->ranks(m_index);
        for (const Slot s : *m_passing)
            if (m_table->isAlive(s) && rank[s] >= m_lo && rank[s] < m_hi
                && (m_filterExpr.field < 0 || passesExpression(s)))
                m_rows.push_back(s);
        std::sort(m_rows.begin(), m_rows.end(), [&](Slot a, Slot b) { return rank[a] < rank[b]; });
        return;
    }
    std::vector<quint8> passing;
    if (m_passing) {
        passing.assign(m_table->slotCount(), 0);
        for (const Slot s : *m_passing)
            if (s < passing.size())
                passing[s] = 1;
    }
    m_rows.reserve(m_hi - m_lo);
    for (std::size_t i = m_lo; i < m_hi; ++i) {
        const Slot s = ord[i];
        const bool pasa = m_passing ? passing[s] && (m_filterExpr.field < 0 || passesExpression(s)) : passesFilters(s);
        if (pasa)
            m_rows.push_back(s);
    }
}

int View::recordCount() const
{
    if (!isOpen())
        return 0;
    return int(materialized() ? m_rows.size() : m_hi - m_lo);
}

std::optional<Slot> View::slotAt(int row) const
{
    if (row < 0 || row >= recordCount())
        return std::nullopt;
    return materialized() ? m_rows[std::size_t(row)] : m_table->order(m_index)[m_lo + std::size_t(row)];
}

std::size_t View::lowerBound(Slot s) const
{
    auto less = [&](Slot a, Slot b) { return m_table->compare(m_index, a, b) < 0; };
    if (materialized())
        return std::size_t(std::lower_bound(m_rows.begin(), m_rows.end(), s, less) - m_rows.begin());
    const auto &ord = m_table->order(m_index);
    const auto begin = ord.begin() + std::ptrdiff_t(m_lo), end = ord.begin() + std::ptrdiff_t(m_hi);
    return std::size_t(std::lower_bound(begin, end, s, less) - begin);
}

std::optional<std::size_t> View::positionOf(Slot s) const
{
    if (!m_table->isAlive(s))
        return std::nullopt;
    const std::size_t pos = lowerBound(s);
    if (slotAt(int(pos)) == s)
        return pos;
    return std::nullopt;
}

int View::currentRow() const
{
    return m_state == State::Inactive ? -1 : m_row;
}

std::optional<Slot> View::currentSlot() const
{
    if (m_state == State::Insert)
        return std::nullopt;
    return m_current;
}

bool View::currentSlotOrInsert() const
{
    return m_state == State::Insert || m_current.has_value();
}

void View::setRow(int row)
{
    m_row = row;
    m_current = slotAt(row);
}

void View::placeCursorOn(std::optional<Slot> s, int fallbackRow)
{
    if (s)
        if (const auto pos = positionOf(*s)) {
            setRow(int(*pos));
            return;
        }
    const int n = recordCount();
    setRow(n == 0 ? -1 : std::clamp(fallbackRow, 0, n - 1));
}

// ---- moving ----

void View::first()
{
    requireOpen();
    checkBrowseMode();
    setRow(recordCount() > 0 ? 0 : -1);
    m_bof = true;
    m_eof = recordCount() == 0;
    scrolled();
}

void View::last()
{
    requireOpen();
    checkBrowseMode();
    setRow(recordCount() - 1);
    m_eof = true;
    m_bof = recordCount() == 0;
    scrolled();
}

void View::next()
{
    requireOpen();
    checkBrowseMode();
    if (m_row + 1 < recordCount()) {
        setRow(m_row + 1);
        m_bof = m_eof = false;
        scrolled();
    } else {
        m_eof = true;
    }
}

void View::prior()
{
    requireOpen();
    checkBrowseMode();
    if (m_row > 0) {
        setRow(m_row - 1);
        m_bof = m_eof = false;
        scrolled();
    } else {
        m_bof = true;
    }
}

void View::moveTo(int row)
{
    requireOpen();
    if (row == m_row && m_state == State::Browse)
        return;
    checkBrowseMode();
    if (row < 0 || row >= recordCount())
        return;
    setRow(row);
    m_bof = m_eof = false;
    scrolled();
}

bool View::findKey(qint32 key)
{
    requireOpen();
    checkBrowseMode();
    std::optional<Slot> found;
    if (m_index == 0 && m_table->def().primary.fields.size() == 1) {
        found = m_table->findPrimary(key);
    } else {
        const auto [lo, hi] = m_table->equalRange(m_index, key);
        if (lo < hi)
            found = m_table->order(m_index)[lo];
    }
    const auto pos = found ? positionOf(*found) : std::nullopt;
    if (!pos)
        return false;
    setRow(int(*pos));
    m_bof = m_eof = false;
    scrolled();
    return true;
}

void View::findNearest(const QString &text)
{
    requireOpen();
    checkBrowseMode();
    const int n = recordCount();
    // Rows are in index order, so the first row at or after the text is found by halving.
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_table->compareLeading(m_index, *slotAt(mid), text) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    setRow(n == 0 ? -1 : std::min(lo, n - 1));
    m_bof = m_eof = false;
    scrolled();
}

bool View::locate(const QString &field, const QVariant &value)
{
    requireOpen();
    checkBrowseMode();
    const int f = requireField(field);
    std::optional<std::size_t> pos;
    const IndexDef &primary = m_table->def().primary;
    if (primary.fields.size() == 1 && m_table->fieldIndex(primary.fields.front().name) == f) {
        if (const auto s = m_table->findPrimary(value.toInt()))
            pos = positionOf(*s);
    } else {
        for (int row = 0, n = recordCount(); row < n; ++row)
            if (fieldValue(slotAt(row), f) == value) {
                pos = std::size_t(row);
                break;
            }
    }
    if (!pos)
        return false;
    setRow(int(*pos));
    m_bof = m_eof = false;
    scrolled();
    return true;
}

bool View::locate(const QString &field1, const QVariant &value1, const QString &field2,
                  const QVariant &value2)
{
    requireOpen();
    checkBrowseMode();
    const int f1 = requireField(field1), f2 = requireField(field2);
    std::optional<std::size_t> pos;
    // Any index led by the two fields finds the row by halving instead of walking.
    for (int i = 0; i < m_table->indexCount() && !pos; ++i) {
        const IndexDef &def = m_table->indexDef(i);
        if (def.fields.size() < 2 || m_table->fieldIndex(def.fields[0].name) != f1
            || m_table->fieldIndex(def.fields[1].name) != f2)
            continue;
        const auto &ord = m_table->order(i);
        const auto it = std::lower_bound(ord.begin(), ord.end(), 0, [&](Slot s, int) {
            const qint32 a = m_table->integer(s, f1), b = m_table->integer(s, f2);
            return a != value1.toInt() ? a < value1.toInt() : b < value2.toInt();
        });
        for (auto j = it; j != ord.end() && m_table->integer(*j, f1) == value1.toInt()
                          && m_table->integer(*j, f2) == value2.toInt();
             ++j) {
            if ((pos = positionOf(*j)))
                break;
        }
        if (!pos)
            return false;
    }
    if (!pos) {
        for (int row = 0, n = recordCount(); row < n; ++row) {
            const auto s = slotAt(row);
            if (fieldValue(s, f1) == value1 && fieldValue(s, f2) == value2) {
                pos = std::size_t(row);
                break;
            }
        }
    }
    if (!pos)
        return false;
    setRow(int(*pos));
    m_bof = m_eof = false;
    scrolled();
    return true;
}

Bookmark View::bookmark() const
{
    if (!m_current || !isOpen())
        return {};
    return {m_table->generation(), *m_current};
}

bool View::gotoBookmark(const Bookmark &mark)
{
    requireOpen();
    checkBrowseMode();
    if (!mark.isValid() || mark.generation != m_table->generation())
        return false;
    const auto pos = positionOf(mark.slot);
    if (!pos)
        return false;
    setRow(int(*pos));
    m_bof = m_eof = false;
    scrolled();
    return true;
}

// ---- reading ----

QVariant View::value(const QString &field) const
{
    requireOpen();
    const int f = requireField(field);
    if (m_state == State::Insert)
        return fieldValue(std::nullopt, f);
    if (m_state == State::Edit && bufferHolds(f))
        return m_buffer.values[std::size_t(f)];
    if (!m_current)
        return {};
    return fieldValue(m_current, f);
}

bool View::bufferHolds(int field) const
{
    return isStoredField(field)
        && (m_buffer.changed[std::size_t(field)]
            || m_table->def().fields[std::size_t(field)].type != FieldType::Graphic);
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
    if (m_state == State::Insert && row == recordCount())
        return fieldValue(std::nullopt, field);
    if (m_state == State::Edit && row == m_row && bufferHolds(field))
        return m_buffer.values[std::size_t(field)];
    const auto s = slotAt(row);
    return s ? fieldValue(s, field) : QVariant();
}

// ---- changing ----

void View::beginChange()
{
    const int n = m_table->fieldCount();
    m_buffer.values.assign(std::size_t(n), QVariant());
    m_buffer.changed.assign(std::size_t(n), false);
    m_modified = false;
}

void View::append()
{
    requireOpen();
    checkBrowseMode();
    m_rowBeforeInsert = m_row;
    beginChange();
    m_state = State::Insert;
    m_row = recordCount();
    m_current.reset();
    emit stateChanged();
    notifyLayout();
    scrolled();
}

void View::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    requireRows();
    beginChange();
    // Pictures are read from the file only when asked for; updates write changed fields only.
    for (int f = 0; f < m_table->fieldCount(); ++f)
        if (m_table->def().fields[std::size_t(f)].type != FieldType::Graphic)
            m_buffer.values[std::size_t(f)] = m_table->value(*m_current, f);
    m_state = State::Edit;
    emit stateChanged();
}

void View::setValue(const QString &field, const QVariant &value)
{
    requireOpen();
    const int f = requireField(field);
    if (!isStoredField(f))
        throw Error(QStringLiteral("Field '%1' cannot be modified").arg(field));
    if (m_state != State::Edit && m_state != State::Insert)
        throw Error(QStringLiteral("%1: Dataset not in edit or insert mode").arg(m_name));
    const FieldDef &fd = m_table->def().fields[std::size_t(f)];
    QVariant v = value;
    if (fd.isNumeric() && !v.isNull()) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw Error(notAnIntegerMessage(v.toString()));
        v = qint32(n);
        const qint64 limit = fd.type == FieldType::SmallInt ? 32767 : 2147483647;
        if (n > limit || n < -limit - 1)
            throw Error(QStringLiteral("El valor %1 está fuera del rango del campo %2").arg(n).arg(fd.name));
    } else if (fd.type == FieldType::Text || fd.type == FieldType::Memo) {
        v = v.isNull() ? QVariant() : QVariant(v.toString());
    }
    m_buffer.values[std::size_t(f)] = v;
    m_buffer.changed[std::size_t(f)] = true;
    m_modified = true;
    notifyValues();
}

void View::updateRecord()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    for (DataSource *source : m_sources)
        emit source->updateRecordRequested();
}

void View::post()
{
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    updateRecord();
    Slot s;
    if (m_state == State::Insert) {
        s = m_table->insert(m_buffer);
    } else {
        s = *m_current;
        m_table->update(s, m_buffer);
    }
    m_state = State::Browse;
    m_modified = false;
    m_buffer = {};
    placeCursorOn(s, m_rowBeforeInsert >= 0 ? m_rowBeforeInsert : m_row);
    emit stateChanged();
    notifyLayout();
    notifyMoved();
    if (afterPost)
        afterPost();
}

void View::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const bool wasInsert = m_state == State::Insert;
    m_state = State::Browse;
    m_modified = false;
    m_buffer = {};
    emit stateChanged();
    if (wasInsert) {
        placeCursorOn(std::nullopt, m_rowBeforeInsert);
        notifyLayout();
        scrolled();
    } else {
        notifyValues();
    }
}

void View::checkBrowseMode()
{
    if (m_state == State::Insert && !m_modified)
        cancel();
    else if (m_state == State::Edit || m_state == State::Insert)
        post();
}

void View::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit)
        cancel();
    requireRows();
    m_table->remove(*m_current);
    // The table's notification has moved the cursor to the next row, or the last one.
    m_eof = recordCount() == 0;
    m_bof = m_eof;
    scrolled();
}

// ---- filters ----

void View::setFilterText(const QString &text)
{
    if (!m_table)
        throw Error(QStringLiteral("%1: no hay tabla").arg(m_name));
    FilterExpression expr;
    const QString t = text.trimmed();
    if (!t.isEmpty()) {
        const int eq = t.indexOf(QLatin1Char('='));
        expr.field = eq > 0 ? m_table->fieldIndex(t.left(eq).trimmed()) : -1;
        if (expr.field < 0)
            throw Error(QStringLiteral("%1: filtro no válido: %2").arg(m_name, text));
        expr.value = t.mid(eq + 1).trimmed();
        bool ok = false;
        expr.value.toInt(&ok);
        if (!ok)
            throw Error(QStringLiteral("%1: filtro no válido: %2").arg(m_name, text));
        expr.value = QString::number(expr.value.toInt());
    }
    if (isOpen())
        checkBrowseMode();
    m_filterText = text;
    m_filterExpr = expr;
    refilter();
}

void View::setFilterCallback(FilterFunction filter)
{
    if (isOpen())
        checkBrowseMode();
    m_filter = std::move(filter);
    m_passing.reset();
    refilter();
}

void View::setFilterCallback(FilterFunction filter, std::vector<Slot> passing)
{
    if (isOpen())
        checkBrowseMode();
    m_filter = std::move(filter);
    m_passing = std::move(passing);
    refilter();
}

void View::clearFilterCallback()
{
    setFilterCallback({});
}

void View::refilter()
{
    if (!isOpen())
        return;
    rebuild();
    setRow(recordCount() > 0 ? 0 : -1);
    m_bof = true;
    m_eof = recordCount() == 0;
    notifyLayout();
    scrolled();
    dependentsChanged();
}

// ---- master link ----

void View::setMasterSource(DataSource *source, const QString &masterField)
{
    if (m_master)
        m_master->removeDetail(this);
    m_master = source;
    m_masterField = masterField;
    if (m_master)
        m_master->addDetail(this);
    if (isOpen())
        masterMoved();
}

void View::masterMoved()
{
    if (!isOpen())
        return;
    if (m_state == State::Edit || m_state == State::Insert)
        checkBrowseMode();
    rebuild();
    setRow(recordCount() > 0 ? 0 : -1);
    m_bof = true;
    m_eof = recordCount() == 0;
    notifyLayout();
    notifyMoved();
}

// ---- notifications ----

void View::scrolled()
{
    notifyMoved();
    if (afterScroll)
        afterScroll();
}

void View::notifyMoved()
{
    if (m_disabled > 0) {
        m_pendingMove = true;
        return;
    }
    for (DataSource *source : m_sources)
        for (View *detail : std::vector<View *>(source->details()))
            detail->masterMoved();
    emit currentChanged();
}

void View::notifyLayout()
{
    if (m_disabled > 0) {
        m_pendingLayout = true;
        return;
    }
    emit layoutChanged();
}

void View::notifyValues()
{
    if (m_disabled > 0) {
        m_pendingValues = true;
        return;
    }
    emit valuesChanged();
}

void View::dependentsChanged()
{
    for (View *dependent : m_lookupDependents)
        dependent->notifyValues();
}

void View::disableControls()
{
    ++m_disabled;
}

void View::enableControls()
{
    if (m_disabled == 0 || --m_disabled > 0)
        return;
    if (std::exchange(m_pendingLayout, false))
        emit layoutChanged();
    if (std::exchange(m_pendingMove, false))
        notifyMoved();
    if (std::exchange(m_pendingValues, false))
        emit valuesChanged();
}

void View::addDataSource(DataSource *source)
{
    m_sources.push_back(source);
}

void View::removeDataSource(DataSource *source)
{
    m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), source), m_sources.end());
}

// ---- changes made through any view of the table ----

void View::onRowAboutToChange(Slot s)
{
    m_passing.reset();
    if (!materialized())
        return;
    // Values still stand, so the row can be found by halving.
    if (const auto pos = positionOf(s))
        m_rows.erase(m_rows.begin() + std::ptrdiff_t(*pos));
}

void View::onRowInserted(Slot s)
{
    m_passing.reset();
    const std::optional<Slot> keep = m_current;
    computeRange();
    if (materialized() && inMasterRange(s) && passesFilters(s))
        m_rows.insert(m_rows.begin() + std::ptrdiff_t(lowerBound(s)), s);
    if (m_state != State::Insert)
        placeCursorOn(keep, m_row);
    notifyLayout();
    dependentsChanged();
}

void View::onRowUpdated(Slot s)
{
    onRowInserted(s);
}

void View::onRowRemoved(Slot s)
{
    m_passing.reset();
    const std::optional<Slot> keep = m_current == s ? std::nullopt : m_current;
    const int row = m_row;
    computeRange();
    placeCursorOn(keep, row);
    notifyLayout();
    if (keep != m_current)
        notifyMoved();
    dependentsChanged();
}

void View::onReloaded()
{
    m_passing.reset();
    const std::optional<Slot> keep = m_current;
    rebuild();
    placeCursorOn(keep, 0);
    m_eof = recordCount() == 0;
    notifyLayout();
    notifyMoved();
    dependentsChanged();
}

} // namespace store
