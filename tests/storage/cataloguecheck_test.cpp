// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue check: each kind of fault planted in a copy of the demo catalogue is found, the
// repairable ones are mended without losing a film, and rules plugged in later run too.

#include "cataloguecheck.h"
#include "cataloguetools.h"
#include "demo.h"
#include "memfs.h"
#include "tableengine.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace welarik;

namespace {

struct Demo
{
    MemoryFileSystem fs;
    CataloguePaths paths;

    Demo()
    {
        EngineDemoWriter writer;
        createDemoCatalogue(fs, "d", {}, writer);
        paths = cataloguePaths(fs, "d/FILMY.DBF", "d/BAZY/");
    }

    std::unique_ptr<TableEngine> open(const std::string &path)
    {
        return TableEngine::open(fs, path, OpenMode::ReadWrite, ShareMode::Exclusive);
    }

    // Sets one field of a record (1-based) or of a new record (0).
    void set(const std::string &path, uint32_t recno, const char *field, const std::string &value)
    {
        auto e = open(path);
        RecordBuffer r = e->blankRecord();
        if (recno)
            e->readRecord(recno, r);
        e->setFieldText(r, e->fieldIndex(field), value);
        if (recno)
            e->update(recno, r);
        else
            e->append(r);
    }

    std::string get(const std::string &path, uint32_t recno, const char *field)
    {
        auto e = open(path);
        RecordBuffer r;
        e->readRecord(recno, r);
        return e->fieldText(r, e->fieldIndex(field));
    }
};

const CatalogueFinding *find(const CatalogueCheck &check, const std::string &text)
{
    const auto it = std::find_if(
        check.findings.begin(), check.findings.end(), [&](const CatalogueFinding &f) {
            return f.text.find(text) != std::string::npos;
        });
    return it == check.findings.end() ? nullptr : &*it;
}

} // namespace

TEST(CatalogueCheck, TheDemoCatalogueIsSound)
{
    Demo d;
    const CatalogueCheck check = checkCatalogue(d.fs, d.paths);
    EXPECT_EQ(check.faults(), 0) << check.findings.front().text;
}

TEST(CatalogueCheck, FindsEveryPlantedFaultAndRepairsTheRepairableOnes)
{
    Demo d;
    const std::string secondCd = d.get(d.paths.films, 2, "ID_CD");
    d.set(d.paths.films, 1, "ID_CD", secondCd);                        // a CD number twice
    d.set(d.paths.films, 3, "ID_CD", "0");                             // number 0
    d.set(d.paths.films, 4, "GATUNEK", "Nieznany");                    // a genre not on the list
    d.set(d.paths.pool, 0, "ID_CD", d.get(d.paths.films, 5, "ID_CD")); // a used number freed
    d.set(d.paths.pool, 0, "ID_CD", "777");
    d.set(d.paths.pool, 0, "ID_CD", "777"); // a free number listed twice
    d.set(d.paths.friends, 2, "ID_OSOBY", d.get(d.paths.friends, 1, "ID_OSOBY"));
    d.set(d.paths.config, 1, "ID_OSOBY", "1"); // the counter below the friends' numbers
    // A title changed behind the index's back: its T_PL key no longer matches.
    auto films = d.fs.fileBytes(d.paths.films);
    const auto mdx = d.fs.fileBytes("d/FILMY.MDX");
    auto e = TableEngine::open(d.fs, d.paths.films, OpenMode::ReadOnly, ShareMode::Shared);
    const uint32_t header = uint32_t(films[8] | films[9] << 8);
    const uint32_t length = e->recordLength();
    const uint32_t title = e->fields()[size_t(e->fieldIndex("T_PL"))].offset;
    e.reset();
    uint8_t &first = films[header + 5 * length + title]; // record 6
    first = first == 'Q' ? 'R' : 'Q';
    d.fs.setFileBytes(d.paths.films, films);
    const uint32_t filmCount
        = TableEngine::open(d.fs, d.paths.films, OpenMode::ReadOnly, ShareMode::Shared)
              ->recordCount();

    const CatalogueCheck check = checkCatalogue(d.fs, d.paths);
    const CatalogueFinding *dup = find(check, "Numer CD " + secondCd + " powtarza się");
    ASSERT_TRUE(dup);
    EXPECT_EQ(dup->recno, 2u);
    EXPECT_FALSE(dup->repairable);
    ASSERT_TRUE(find(check, "Film z numerem CD 0"));
    const CatalogueFinding *genre = find(check, "Gatunku „Nieznany”");
    ASSERT_TRUE(genre);
    EXPECT_FALSE(genre->fault);
    EXPECT_EQ(genre->recno, 4u);
    ASSERT_TRUE(find(check, "należy do filmu (rekord 5"));
    ASSERT_TRUE(find(check, "Wolny numer 777 jest na liście drugi raz"));
    ASSERT_TRUE(find(check, "Numer znajomego"));
    const CatalogueFinding *counter = find(check, "Licznik numerów znajomych (1)");
    ASSERT_TRUE(counter);
    EXPECT_TRUE(counter->repairable);
    const CatalogueFinding *tag = find(check, "Znacznik indeksu T_PL");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->table, "FILMY.DBF");
    EXPECT_TRUE(tag->repairable);
    EXPECT_EQ(d.fs.fileBytes("d/FILMY.MDX"), mdx); // a check changes nothing

    const CatalogueCheck after = repairCatalogue(d.fs, d.paths);
    EXPECT_GE(after.repairs, 4);
    EXPECT_EQ(after.repairable(), 0);
    EXPECT_FALSE(find(after, "Znacznik indeksu"));
    EXPECT_FALSE(find(after, "należy do filmu"));
    EXPECT_FALSE(find(after, "drugi raz"));
    EXPECT_FALSE(find(after, "Licznik"));
    // What has no safe repair stays, and no film is gone.
    EXPECT_TRUE(find(after, "Numer CD " + secondCd + " powtarza się (ma go też rekord 1)"));
    EXPECT_TRUE(find(after, "Film z numerem CD 0"));
    EXPECT_TRUE(find(after, "Numer znajomego"));
    EXPECT_EQ(TableEngine::open(d.fs, d.paths.films, OpenMode::ReadOnly, ShareMode::Shared)
                  ->recordCount(),
              filmCount);
    EXPECT_GT(std::stoll(d.get(d.paths.config, 1, "ID_OSOBY")), 1);
}

TEST(CatalogueCheck, AMissingTableIsAFindingAndRegisteredRulesRun)
{
    Demo d;
    d.fs.remove(d.paths.friends);
    int ran = 0;
    CatalogueRule extra{"extra",
                        [&ran](const CatalogueTables &t, std::vector<CatalogueFinding> &out) {
                            ++ran;
                            if (t.films)
                                out.push_back({false, "FILMY.DBF", 0, "dodatkowa reguła"});
                        },
                        {}};
    std::vector<CatalogueRule> rules = checkCatalogueRules();
    rules.push_back(extra);
    const CatalogueCheck check = checkCatalogue(d.fs, d.paths, rules);
    const CatalogueFinding *missing = find(check, "Nie można otworzyć tabeli");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->table, "ZNAJOMI.DBF");
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(find(check, "dodatkowa reguła"));
}
