#pragma once

#include <QObject>

#include <vector>

namespace store {

class View;

// What grids and edit boxes bind to: one view, the auto-edit switch, and the detail views that
// follow this source's current row.
class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(View *view, QObject *parent = nullptr);
    ~DataSource() override;

    View *view() const { return m_view; }

    // When on, a change typed into a bound control puts the row into editing; when off the
    // controls refuse changes unless the row is being edited or inserted already.
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool on);
    // A bound control is about to change the current row: with auto-edit on, a row being
    // browsed goes into editing. True when the change may go ahead, false when the control is
    // to refuse it (auto-edit off, or no row to change).
    bool edit();

    void addDetail(View *detail);
    void removeDetail(View *detail);
    const std::vector<View *> &details() const { return m_details; }

signals:
    void layoutChanged();
    void currentChanged();
    void valuesChanged();
    void stateChanged();
    void updateRecordRequested();
    void autoEditChanged(bool on);

private:
    View *m_view;
    bool m_autoEdit = true;
    std::vector<View *> m_details;
};

} // namespace store
