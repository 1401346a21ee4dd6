#pragma once

#include "changenotifier.h"
#include "derivedfields.h"
#include "editbuffer.h"
#include "rowset.h"

#include <QObject>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

namespace store {

class Batch;
class DataSource;

// A saved cursor position. Returning to it fails once the row is gone or no longer shown.
struct Bookmark
{
    quint64 generation = 0;
    Slot slot = 0;
    bool isValid() const { return generation != 0; }
};

// A cursor over one table. Which rows it shows (index, filters, master link), the row being
// changed and the derived fields each sit in a piece of their own; the view moves the cursor
// over them and tells bound controls, detail views and lookups what changed. Several views may
// share one table; a change made through one is seen by all of them.
class View : public QObject
{
    Q_OBJECT
public:
    explicit View(const QString &name, QObject *parent = nullptr);
    ~View() override;

    void setTable(Table *table);
    Table *table() const { return m_table; }

    // Fields: the table's, then the derived ones, added at design time.
    void addLookupField(const FieldDef &def, const QString &keyField, View *lookupView,
                        const QString &lookupKeyField, const QString &resultField);
    void addCalculatedField(const FieldDef &def, CalcFunction calc);
    int fieldCount() const;
    int fieldNumber(const QString &name) const; // -1 when unknown
    const FieldDef &fieldDef(int field) const;
    // A field of the table, as opposed to a lookup or calculated one: only these can be set.
    bool isStoredField(int field) const;

    // Open and close.
    void open();
    void close();
    bool isOpen() const { return state() != State::Inactive; }
    State state() const { return m_edit.state(); }

    // Order.
    void setIndexName(const QString &name);
    QString indexName() const;

    // Moving and searching.
    void first();
    void last();
    void next();
    void moveTo(int row);
    bool eof() const { return m_eof; }
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
    QByteArray asBytes(const QString &field) const; // a picture's bytes; empty when none

    // Reading any shown row, as grids do, without moving.
    QVariant valueAt(int row, int field) const;
    std::optional<Slot> slotAt(int row) const;
    std::optional<Slot> currentSlot() const;
    bool currentSlotOrInsert() const; // a row, stored or being inserted, is current

    // Changing.
    void append();
    void edit();
    void setValue(const QString &field, const QVariant &value);
    void setInteger(const QString &field, qint32 value) { setValue(field, value); }
    void setText(const QString &field, const QString &value) { setValue(field, value); }
    void updateRecord(); // have bound editors hand over what they hold
    void post();
    void cancel();
    // Deletes the current row; a row being inserted is abandoned instead.
    void remove();
    // The same, together with the changes gathered in `with`, all in one transaction; a row
    // being inserted is abandoned and `with` is left unwritten.
    void remove(Batch &with);
    // What every move does first: take over what bound editors hold, then post the change, or
    // drop it when nothing was changed.
    void checkBrowseMode();

    // Filters.
    void setFilterText(const QString &text);
    void setFilterCallback(FilterFunction filter);
    // The same, with the rows the callback passes already found by faster means: they are
    // taken as they are instead of asking the callback row by row.
    void setFilterCallback(FilterFunction filter, std::vector<Slot> passing);
    void clearFilterCallback();
    bool accepts(Slot s) const;

    // Master link: rows whose leading index field equals `masterField` of the master's row.
    void setMasterSource(DataSource *source, const QString &masterField = QStringLiteral("Clave"));
    DataSource *masterSource() const { return m_rows.master(); }

    // Notifications, run after the cursor moved by a call and after every successful post.
    std::function<void()> afterScroll;
    std::function<void()> afterPost;

    // Suspending bound controls (and detail views) during long walks.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_notifier.suspended(); }

    void addDataSource(DataSource *source);
    void removeDataSource(DataSource *source);

signals:
    void layoutChanged();  // rows shown, or their order, changed
    void currentChanged(); // the cursor moved
    void valuesChanged();  // shown values changed in place
    void stateChanged();

private:
    friend class ChangeNotifier;
    friend class RowRef;
    friend class DerivedFields;

    int requireField(const QString &name) const;
    void requireTable() const;
    void requireOpen() const;
    void requireRows() const;
    int storedFieldCount() const;
    QVariant fieldValue(std::optional<Slot> slot, int field) const;
    std::optional<QVariant> pendingValue(int field) const;

    void beginMove();
    void setRow(int row);
    void placeCursorOn(std::optional<Slot> s, int fallbackRow);
    void rewind();
    void arrive(int row);
    bool arriveAt(std::optional<int> row);
    void postPending();
    void removeCurrent(Batch *with);
    void applyFilterCallback(FilterFunction filter, std::optional<std::vector<Slot>> passing);
    void refilter();
    void masterMoved();

    void scrolled(); // the cursor moved by a call: details, controls, afterScroll

    void connectTable();
    void disconnectTable();
    void onRowsStored(const std::vector<Slot> &rows);
    void onRowsAboutToBeRemoved(const std::vector<Slot> &rows);
    void onRowsRemoved();
    void onReloaded();

    QString m_name;
    Table *m_table = nullptr;
    RowSet m_rows;
    EditBuffer m_edit;
    DerivedFields m_derived;

    int m_row = -1;
    std::optional<Slot> m_current;
    bool m_eof = true;
    int m_rowBeforeInsert = -1;
    // Where the cursor goes once the rows being removed are gone.
    int m_rowAfterRemoval = -1;
    bool m_currentGoes = false;

    ChangeNotifier m_notifier{this};
    std::vector<QMetaObject::Connection> m_tableConnections;
};

} // namespace store
