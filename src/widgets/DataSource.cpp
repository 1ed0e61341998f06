// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataSource.h"

#include "FieldBinding.h"

#include <algorithm>

namespace welarik {

DataSource::DataSource(Table *table, QObject *parent)
    : QObject(parent)
{
    setTable(table);
}

DataSource::~DataSource()
{
    for (FieldBinding *binding : std::vector<FieldBinding *>(m_bindings))
        binding->setDataSource(nullptr);
    if (m_table)
        m_table->removeLink(this);
}

void DataSource::tableDestroyed(Table &)
{
    // Silently: the table's owner is going away, and with it, most likely, the window.
    m_table = nullptr;
}

void DataSource::setTable(Table *table)
{
    if (table == m_table)
        return;
    if (m_table)
        m_table->removeLink(this);
    m_table = table;
    if (m_table)
        m_table->addLink(this);
    refreshBindings();
    emit tableDataChanged();
}

void DataSource::setAutoEdit(bool on)
{
    m_autoEdit = on;
    refreshBindings();
}

bool DataSource::editing() const
{
    return m_table
           && (m_table->state() == TableState::Edit || m_table->state() == TableState::Insert);
}

void DataSource::addBinding(FieldBinding *binding)
{
    if (std::find(m_bindings.begin(), m_bindings.end(), binding) == m_bindings.end())
        m_bindings.push_back(binding);
}

void DataSource::removeBinding(FieldBinding *binding)
{
    m_bindings.erase(std::remove(m_bindings.begin(), m_bindings.end(), binding), m_bindings.end());
}

void DataSource::checkFields(Table &table)
{
    for (FieldBinding *binding : m_bindings)
        binding->checkField(table);
}

void DataSource::opened(Table &)
{
    refreshBindings();
    emit tableOpened();
}

void DataSource::closed(Table &)
{
    refreshBindings();
    emit tableClosed();
}

void DataSource::recordMoved(Table &)
{
    refreshBindings();
    emit tableScrolled();
}

void DataSource::dataChanged(Table &)
{
    refreshBindings();
    emit tableDataChanged();
}

void DataSource::stateChanged(Table &)
{
    refreshBindings();
    emit tableStateChanged();
}

void DataSource::updateRecord(Table &table)
{
    for (FieldBinding *binding : std::vector<FieldBinding *>(m_bindings))
        binding->storePending(table);
}

void DataSource::refreshBindings()
{
    for (FieldBinding *binding : std::vector<FieldBinding *>(m_bindings))
        binding->refresh();
}

} // namespace welarik
