// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue.h"

#include <filesystem>

namespace welarik {

namespace {

constexpr int kCatalogueLevel = 4;
// Code page 1250 under the driver byte that other dBase readers map to it (0x57 reads as 1252
// there); our reader takes both as 1250.
constexpr uint8_t kCatalogueLdid = 0xC8;

std::string join(const std::string &dir, const std::string &name)
{
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string createTable(FileSystem &fs, const std::string &dir, const TableLayout &layout)
{
    const std::string path = join(dir, layout.file);
    TableEngine::create(fs, path, kCatalogueLevel, kCatalogueLdid, layout.fields, layout.tags)
        ->close();
    return path;
}

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

TableLayout filmsLayout()
{
    return {kFilmsFile,
            {{"ID_CD", 'N', 6},     {"T_PL", 'C', 100},     {"T_ORG", 'C', 100},
             {"GATUNEK", 'C', 254}, {"D_PROD", 'C', 4},     {"KRAJ", 'C', 40},
             {"REZYSER", 'C', 101}, {"SCENARIU", 'C', 101}, {"ZDJECIA", 'C', 101},
             {"AKTORZY", 'C', 254}, {"OPIS", 'M', 10},      {"ILOSC_CD", 'N', 2},
             {"UWAGI", 'C', 100},   {"OBEJRZAN", 'L', 1},   {"ROZMIAR", 'C', 20},
             {"CZAS", 'C', 20},     {"CVIDEO", 'C', 25},    {"ROZDZIEL", 'C', 25},
             {"FPS", 'C', 12},      {"VBITRATE", 'C', 20},  {"CAUDIO", 'C', 35},
             {"SAMPLE_R", 'C', 15}, {"ABITRATE", 'C', 20},  {"KANALY", 'C', 25},
             {"ID_OSOBY", 'N', 6}},
            {{"ID_CD", "ID_CD"},
             {"T_PL", "UPPER(T_PL)"},
             {"T_ORG", "UPPER(T_ORG)"},
             {"GATUNEK", "UPPER(LEFT(GATUNEK,100))"}}};
}

TableLayout configLayout()
{
    return {kConfigFile, {{"ID_OSOBY", 'N', 6}}, {}};
}

TableLayout peopleLayout()
{
    return {kPeopleFile,
            {{"TYP", 'C', 1}, {"IMIE", 'C', 50}, {"NAZWISKO", 'C', 50}},
            {{"NAZWISKO", "UPPER(NAZWISKO)"}}};
}

TableLayout genresLayout()
{
    return {kGenresFile, {{"GATUNEK", 'C', 30}}, {{"GATUNEK", "UPPER(GATUNEK)"}}};
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

CataloguePaths createCatalogueTables(FileSystem &fs, const std::string &dir)
{
    const std::string bazy = join(dir, "BAZY");
    if (&fs == &FileSystem::real()) {
        std::error_code ec;
        std::filesystem::create_directories(bazy, ec);
        if (ec)
            throw OpenError(bazy, "cannot create the folder: " + ec.message());
    }
    CataloguePaths paths;
    paths.config = createTable(fs, bazy, configLayout());
    paths.people = createTable(fs, bazy, peopleLayout());
    paths.genres = createTable(fs, bazy, genresLayout());
    paths.pool = createTable(fs, bazy, numberPoolLayout());
    paths.friends = createTable(fs, bazy, friendsLayout());
    paths.films = createTable(fs, dir, filmsLayout());
    return paths;
}

std::string createEmptyCatalogue(FileSystem &fs, const std::string &dir)
{
    const CataloguePaths paths = createCatalogueTables(fs, dir);
    auto config = TableEngine::open(fs, paths.config, OpenMode::ReadWrite, ShareMode::Exclusive);
    RecordBuffer record = config->blankRecord();
    config->setFieldText(record, config->fieldIndex("ID_OSOBY"), "1");
    config->append(record);
    config->close();
    return paths.films;
}

} // namespace welarik
