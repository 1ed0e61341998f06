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

TableLayout configLayout()
{
    return {kConfigFile, {{"ID_OSOBY", 'N', 6}}, {}};
}

TableLayout peopleLayout()
{
    return {kPeopleFile,
            {{"TYP", 'C', 1}, {"IMIE", 'C', 50}, {"NAZWISKO", 'C', 50}},
            {{"NAZWISKO", "NAZWISKO"}}};
}

TableLayout genresLayout()
{
    return {kGenresFile, {{"GATUNEK", 'C', 30}}, {{"GATUNEK", "GATUNEK"}}};
}

TableLayout numberPoolLayout()
{
    return {kNumberPoolFile, {{"ID_CD", 'N', 6}}, {}};
}

TableLayout friendsLayout()
{
    return {
        kFriendsFile,
        {{"ID_OSOBY", 'N', 6},
         {"IMIE", 'C', 30},
         {"NAZWISKO", 'C', 40},
         {"NICK", 'C', 20},
         {"TELEFON", 'C', 20},
         {"EMAIL", 'C', 50},
         {"ILE", 'N', 4}},
        {{"ID_OSOBY", "ID_OSOBY"}, {"IMIE", "IMIE"}, {"NAZWISKO", "NAZWISKO"}, {"NICK", "NICK"}}};
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

} // namespace welarik
