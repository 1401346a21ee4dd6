#pragma once

#include <vector>

namespace store {

class DataSource;
class View;

// Tells those who follow a view what happened to it: its data sources (and through them the
// bound controls and the detail views) and the views whose lookups read through it. While the
// bound controls are suspended, what happens is held back and told once when they resume.
class ChangeNotifier
{
public:
    explicit ChangeNotifier(View *view) : m_view(view) { }

    void addSource(DataSource *source);
    void removeSource(DataSource *source);
    const std::vector<DataSource *> &sources() const { return m_sources; }
    void addReader(View *reader);
    void removeReader(View *reader);

    void moved();  // detail views follow, then the controls
    void layout(); // rows shown, or their order, changed
    void values(); // shown values changed in place
    // What the lookups reading through the view show may have changed.
    void readersChanged();

    void suspend();
    void resume();
    bool suspended() const { return m_suspended > 0; }

private:
    View *m_view;
    std::vector<DataSource *> m_sources;
    std::vector<View *> m_readers;
    int m_suspended = 0;
    bool m_pendingLayout = false;
    bool m_pendingMove = false;
    bool m_pendingValues = false;
};

} // namespace store
