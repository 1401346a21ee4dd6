#pragma once

#include "table.h"

#include <QVariant>

#include <optional>

namespace store {

enum class State { Inactive, Browse, Edit, Insert };

// The row a view is changing, and so the view's state: browsing, editing the current row, or
// inserting a new one. Values wait here as they are set and reach the table at the post.
class EditBuffer
{
public:
    State state() const { return m_state; }
    bool isChanging() const { return m_state == State::Edit || m_state == State::Insert; }
    bool isModified() const { return m_modified; }

    // Browsing when open, inactive when closed; whatever was pending is dropped.
    void setOpen(bool open);

    void startInsert(const Table &table);
    void startEdit(const Table &table, Slot current);
    // Takes the value over as the field's type wants it; a number that is not one, or does
    // not fit the field, is refused with the store's error.
    void set(const Table &table, int field, const QVariant &value);

    // Whether the pending value of a stored field stands in for the stored one.
    bool holds(const Table &table, int field) const;
    // The pending value of a stored field; empty when nothing is pending.
    QVariant value(int field) const;

    // Writes the pending row (a new one, or the changed fields of `current`) and goes back
    // to browsing; the row written. On failure nothing changes and the row stays pending.
    Slot post(Table &table, std::optional<Slot> current);
    void cancel();

private:
    void start(const Table &table, State state);

    State m_state = State::Inactive;
    Record m_record;
    bool m_modified = false;
};

} // namespace store
