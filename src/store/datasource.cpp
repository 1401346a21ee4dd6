#include "datasource.h"

#include "view.h"

#include <algorithm>

namespace store {

DataSource::DataSource(View *view, QObject *parent) : QObject(parent), m_view(view)
{
    connect(view, &View::layoutChanged, this, &DataSource::layoutChanged);
    connect(view, &View::currentChanged, this, &DataSource::currentChanged);
    connect(view, &View::valuesChanged, this, &DataSource::valuesChanged);
    connect(view, &View::stateChanged, this, &DataSource::stateChanged);
    view->addDataSource(this);
}

DataSource::~DataSource()
{
    for (View *detail : std::vector<View *>(m_details))
        detail->setMasterSource(nullptr);
    m_view->removeDataSource(this);
}

void DataSource::setAutoEdit(bool on)
{
    if (on == m_autoEdit)
        return;
    m_autoEdit = on;
    emit autoEditChanged(on);
}

bool DataSource::edit()
{
    if (m_autoEdit && m_view->state() == State::Browse && m_view->currentSlot())
        m_view->edit();
    return m_view->state() == State::Edit || m_view->state() == State::Insert;
}

void DataSource::addDetail(View *detail)
{
    if (std::find(m_details.begin(), m_details.end(), detail) == m_details.end())
        m_details.push_back(detail);
}

void DataSource::removeDetail(View *detail)
{
    m_details.erase(std::remove(m_details.begin(), m_details.end(), detail), m_details.end());
}

} // namespace store
