#include "catalogue.h"

namespace welarik {

namespace {

std::string withoutLeadingBlanks(const std::string &s)
{
    const size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

} // namespace

std::string dbfDaneFNAZWISKOGetText(Table &people)
{
    return withoutLeadingBlanks(people.rawString("NAZWISKO")) + " "
           + withoutLeadingBlanks(people.rawString("IMIE"));
}

Catalogue::Catalogue(FileSystem &fs)
    : dbfFilmy("dbfFilmy", fs)
    , dbfConfig("dbfConfig", fs)
    , dbfDaneF("dbfDaneF", fs)
    , dbfGatunekF("dbfGatunekF", fs)
    , dbfNrF("dbfNrF", fs)
    , dbfZnajomi("dbfZnajomi", fs)
    , m_fs(fs)
{
    dbfFilmy.setExclusive(true);
    dbfFilmy.setIndexName("ID_CD");
    dbfFilmy.setFiltered(true);

    dbfConfig.setExclusive(false);

    dbfDaneF.setExclusive(true);
    dbfDaneF.setIndexName("NAZWISKO");
    dbfDaneF.setDeclaredCharFields({"TYP", "IMIE", "NAZWISKO"});
    dbfDaneF.setFieldTextHook("NAZWISKO", dbfDaneFNAZWISKOGetText);

    dbfGatunekF.setExclusive(true);
    dbfGatunekF.setIndexName("GATUNEK");

    dbfNrF.setExclusive(true);
    dbfZnajomi.setExclusive(true);
}

std::string Catalogue::sideTablePath(const std::string &dataDir, const std::string &name) const
{
    const std::string path = dataDir + name;
    return m_fs.resolve(path).value_or(path);
}

void Catalogue::bindConfig(const std::string &dataDir)
{
    dbfConfig.setFileName(sideTablePath(dataDir, kConfigFile));
}

void Catalogue::bindSideTables(const std::string &dataDir)
{
    dbfDaneF.setFileName(sideTablePath(dataDir, kPeopleFile));
    dbfGatunekF.setFileName(sideTablePath(dataDir, kGenresFile));
    dbfNrF.setFileName(sideTablePath(dataDir, kNumberPoolFile));
    dbfZnajomi.setFileName(sideTablePath(dataDir, kFriendsFile));
}

// --- TableDemoWriter

void TableDemoWriter::openTable(FileSystem &fs, const std::string &path)
{
    m_table = std::make_unique<Table>("demo", fs);
    m_table->setFileName(path);
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
    if (m_table)
        m_table->close();
    m_table.reset();
}

} // namespace welarik
