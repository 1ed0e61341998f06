// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo.h"

namespace welarik {

void TableDemoWriter::openTable(FileSystem &fs, const std::string &path)
{
    m_fs = &fs;
    m_path = path;
    m_table = std::make_unique<Table>("demo", fs);
    m_table->setFileName(path);
    m_table->open();
}

void TableDemoWriter::beginBatch(uint64_t count)
{
    if (m_bulkThreshold == 0 || count < m_bulkThreshold || m_inBulk || !m_table)
        return;
    m_table->close();
    m_bulkWriter.openTable(*m_fs, m_path);
    m_bulkWriter.beginBatch(count);
    m_inBulk = true;
}

void TableDemoWriter::endBatch()
{
    if (!m_inBulk)
        return;
    m_inBulk = false;
    m_bulkWriter.closeTable(); // builds the tags
    m_table->open();
}

void TableDemoWriter::fill(const DemoValues &values)
{
    for (const auto &[name, value] : values)
        m_table->setString(name, value);
}

void TableDemoWriter::moveTo(uint32_t recno)
{
    if (!m_table->gotoRecord(recno))
        throw StateError(m_table->fileName(),
                         "record " + std::to_string(recno) + " is not a live record");
}

void TableDemoWriter::fillAndPost(const DemoValues &values)
{
    try {
        fill(values);
        m_table->post();
    } catch (...) {
        m_table->cancel();
        throw;
    }
}

uint32_t TableDemoWriter::insert(const DemoValues &values)
{
    if (m_inBulk)
        return m_bulkWriter.insert(values);
    m_table->insert();
    fillAndPost(values);
    return m_table->recNo();
}

void TableDemoWriter::update(uint32_t recno, const DemoValues &values)
{
    moveTo(recno);
    m_table->edit();
    fillAndPost(values);
}

void TableDemoWriter::remove(uint32_t recno)
{
    moveTo(recno);
    m_table->deleteRecord();
}

void TableDemoWriter::closeTable()
{
    endBatch();
    if (m_table)
        m_table->close();
    m_table.reset();
}

} // namespace welarik
