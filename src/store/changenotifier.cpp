#include "changenotifier.h"

#include "datasource.h"
#include "view.h"

#include <algorithm>

namespace store {

void ChangeNotifier::addSource(DataSource *source)
{
    m_sources.push_back(source);
}

void ChangeNotifier::removeSource(DataSource *source)
{
    m_sources.erase(std::remove(m_sources.begin(), m_sources.end(), source), m_sources.end());
}

void ChangeNotifier::addReader(View *reader)
{
    m_readers.push_back(reader);
}

void ChangeNotifier::removeReader(View *reader)
{
    m_readers.erase(std::remove(m_readers.begin(), m_readers.end(), reader), m_readers.end());
}

void ChangeNotifier::moved()
{
    if (suspended()) {
        m_pendingMove = true;
        return;
    }
    // A detail may drop its master while following it.
    for (DataSource *source : m_sources)
        for (View *detail : std::vector<View *>(source->details()))
            detail->masterMoved();
    emit m_view->currentChanged();
}

void ChangeNotifier::layout()
{
    if (suspended()) {
        m_pendingLayout = true;
        return;
    }
    emit m_view->layoutChanged();
}

void ChangeNotifier::values()
{
    if (suspended()) {
        m_pendingValues = true;
        return;
    }
    emit m_view->valuesChanged();
}

void ChangeNotifier::readersChanged()
{
    for (View *reader : m_readers)
        reader->m_notifier.values();
}

void ChangeNotifier::suspend()
{
    ++m_suspended;
}

void ChangeNotifier::resume()
{
    if (m_suspended == 0 || --m_suspended > 0)
        return;
    if (std::exchange(m_pendingLayout, false))
        layout();
    if (std::exchange(m_pendingMove, false))
        moved();
    if (std::exchange(m_pendingValues, false))
        values();
}

} // namespace store
