#pragma once

#include "table.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace store {

class DataSource;
class View;

enum class State { Inactive, Browse, Edit, Insert };

// A saved cursor position. Returning to it fails once the row is gone or no longer shown.
struct Bookmark
{
    quint64 generation = 0;
    Slot slot = 0;
    bool isValid() const { return generation != 0; }
};

// One row as a calculated field sees it: a stored row, or the row being inserted.
class RowRef
{
public:
    RowRef(const View *view, std::optional<Slot> slot) : m_view(view), m_slot(slot) { }
    QVariant value(const QString &field) const;
    QString text(const QString &field) const { return value(field).toString(); }

private:
    const View *m_view;
    std::optional<Slot> m_slot;
};

using CalcFunction = std::function<QVariant(const RowRef &row)>;
using FilterFunction = std::function<bool(Slot)>;

// A cursor over one table: a current index, an optional filter expression and filter callback,
// an optional master link, and derived fields. Several views may share one table; a change made
// through one is seen by all of them.
class View : public QObject
{
    Q_OBJECT
public:
    explicit View(const QString &name, QObject *parent = nullptr);
    ~View() override;

    void setTable(Table *table);
    Table *table() const { return m_table; }

    // Derived fields, added at design time.
    void addLookupField(const FieldDef &def, const QString &keyField, View *lookupView,
                        const QString &lookupKeyField, const QString &resultField);
    void addCalculatedField(const FieldDef &def, CalcFunction calc);

    int fieldCount() const;
    int fieldNumber(const QString &name) const; // -1 when unknown
    const FieldDef &fieldDef(int field) const;
    bool isStoredField(int field) const;
    int storedFieldCount() const;

    // Open and close.
    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Order.
    void setIndexName(const QString &name);
    QString indexName() const;

    // Moving.
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    int recordCount() const;
    int currentRow() const; // -1 when nothing is shown

    bool findKey(qint32 key);
    void findNearest(const QString &text);
    bool locate(const QString &field, const QVariant &value);
    bool locate(const QString &field1, const QVariant &value1, const QString &field2,
                const QVariant &value2);

    Bookmark bookmark() const;
    bool gotoBookmark(const Bookmark &mark);

    // Reading the current row (the pending values while editing or inserting).
    QVariant value(const QString &field) const;
    qint32 asInteger(const QString &field) const;
    QString asString(const QString &field) const;
    bool isNull(const QString &field) const;
    QByteArray asBytes(const QString &field) const;

    // Reading any shown row, as grids do, without moving.
    QVariant valueAt(int row, int field) const;
    std::optional<Slot> slotAt(int row) const;
    std::optional<Slot> currentSlot() const;
    bool currentSlotOrInsert() const; // a row, stored or being inserted, is current
    QVariant fieldValue(std::optional<Slot> slot, int field) const;

    // Changing.
    void append();
    void edit();
    void setValue(const QString &field, const QVariant &value);
    void setInteger(const QString &field, qint32 value) { setValue(field, value); }
    void setText(const QString &field, const QString &value) { setValue(field, value); }
    bool isModified() const { return m_modified; }
    void updateRecord(); // have bound editors hand over what they hold
    void post();
    void cancel();
    void remove();
    // Post a pending change, or drop a new row nobody typed into: what every move does first.
    void checkBrowseMode();

    // Filters.
    void setFilterText(const QString &text);
    QString filterText() const { return m_filterText; }
    void setFilterCallback(FilterFunction filter);
    // The same, with the rows the callback passes already found by faster means: they are
    // taken as they are instead of asking the callback row by row.
    void setFilterCallback(FilterFunction filter, std::vector<Slot> passing);
    void clearFilterCallback();
    bool hasFilterCallback() const { return bool(m_filter); }
    // Re-runs the callback over every row, as when it is attached anew.
    void refilter();
    bool accepts(Slot s) const;

    // Master link: rows whose leading index field equals `masterField` of the master's row.
    void setMasterSource(DataSource *source, const QString &masterField = QStringLiteral("Clave"));
    DataSource *masterSource() const { return m_master; }

    // Notifications.
    std::function<void()> afterScroll;
    std::function<void()> afterPost;

    // Suspending bound controls (and detail views) during long walks.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

    void addDataSource(DataSource *source);
    void removeDataSource(DataSource *source);

signals:
    void layoutChanged();  // rows shown, or their order, changed
    void currentChanged(); // the cursor moved
    void valuesChanged();  // shown values changed in place
    void stateChanged();

private:
    struct DerivedField
    {
        FieldDef def;
        QString keyField; // lookups
        View *lookupView = nullptr;
        QString lookupKeyField;
        QString resultField;
        CalcFunction calc;
    };
    struct FilterExpression
    {
        int field = -1;
        QString value;
    };

    int requireField(const QString &name) const;
    bool bufferHolds(int field) const; // the pending value stands in for the stored one
    void requireOpen() const;
    void requireRows() const;
    QVariant derivedValue(const DerivedField &d, std::optional<Slot> slot) const;
    QVariant lookup(const QString &keyField, const QVariant &key, const QString &resultField) const;
    bool passesFilters(Slot s) const;
    bool passesExpression(Slot s) const;
    bool inMasterRange(Slot s) const;
    void rebuild();
    void computeRange();
    std::optional<std::size_t> positionOf(Slot s) const;
    std::size_t lowerBound(Slot s) const;
    bool materialized() const { return bool(m_filter) || m_filterExpr.field >= 0; }
    void placeCursorOn(std::optional<Slot> s, int fallbackRow);
    void setRow(int row);
    void scrolled();          // the cursor moved by a call: details, controls, afterScroll
    void notifyMoved();       // details and controls only
    void notifyLayout();
    void notifyValues();
    void masterMoved();
    void dependentsChanged();
    void beginChange();
    void connectTable();

    void onRowInserted(Slot s);
    void onRowAboutToChange(Slot s);
    void onRowUpdated(Slot s);
    void onRowRemoved(Slot s);
    void onReloaded();

    friend class RowRef;

    QString m_name;
    Table *m_table = nullptr;
    std::vector<DerivedField> m_derived;
    State m_state = State::Inactive;
    int m_index = 0;
    QString m_filterText;
    FilterExpression m_filterExpr;
    FilterFunction m_filter;
    std::optional<std::vector<Slot>> m_passing; // valid until the table changes
    DataSource *m_master = nullptr;
    QString m_masterField;

    // Rows shown: m_rows when a filter is on, otherwise order()[m_lo, m_hi).
    std::vector<Slot> m_rows;
    std::size_t m_lo = 0;
    std::size_t m_hi = 0;
    int m_row = -1;
    std::optional<Slot> m_current;
    bool m_eof = true;
    bool m_bof = true;

    Record m_buffer;
    bool m_modified = false;
    int m_rowBeforeInsert = -1;

    int m_disabled = 0;
    bool m_pendingLayout = false;
    bool m_pendingMove = false;
    bool m_pendingValues = false;
    std::vector<DataSource *> m_sources;
    std::vector<View *> m_lookupDependents;
    std::vector<QMetaObject::Connection> m_tableConnections;
};

} // namespace store
