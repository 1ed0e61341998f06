// SPDX-License-Identifier: GPL-3.0-or-later
// The people table as the people list and the film editor's completion use it: the surname tag
// that ignores letter case in the tables we create, storing a person (also into a table laid
// out by another program, whose layout stays), and the distinct values read for completion,
// compared with a record-by-record walk, on our catalogue and on a table another library wrote.

#include "catalogue.h"
#include "completion.h"
#include "demo.h"
#include "memfs.h"
#include "people.h"
#include "table.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace welarik;
using namespace welarik::test;

namespace {

struct DemoCatalogue
{
    DemoCatalogue()
    {
        TableDemoWriter writer;
        films = createDemoCatalogue(fs, "/cat", {}, writer).filmsPath;
        catalogue.bindConfig("/cat/BAZY/");
        catalogue.bindSideTables("/cat/BAZY/");
        catalogue.dbfDaneF.open();
        catalogue.dbfGatunekF.open();
        catalogue.dbfFilmy.setFileName(films);
        catalogue.dbfFilmy.open();
    }
    MemoryFileSystem fs;
    std::string films;
    Catalogue catalogue{fs};
    Table &people = catalogue.dbfDaneF;
};

std::set<std::string> walked(Table &t, const std::string &field)
{
    std::set<std::string> out;
    for (t.first(); !t.eof(); t.next()) {
        std::string s = t.rawString(field);
        s.erase(0, std::min(s.size(), s.find_first_not_of(' ')));
        if (!s.empty())
            out.insert(s);
    }
    return out;
}

std::set<std::string> asSet(const std::vector<std::string> &v)
{
    return {v.begin(), v.end()};
}

} // namespace

TEST(People, SurnameTagIgnoresCase)
{
    DemoCatalogue c;
    const TagInfo *tag = c.people.tagInfo("NAZWISKO");
    ASSERT_NE(tag, nullptr);
    EXPECT_TRUE(tag->upperCase);
    people::addPerson(c.people, {'A', "Robert", "de Niro"});
    EXPECT_TRUE(c.people.findPrefix("DE N"));
    EXPECT_EQ(c.people.rawString("NAZWISKO"), "de Niro");
    c.people.first();
    EXPECT_TRUE(c.people.findPrefix("de n"));
    EXPECT_EQ(c.people.rawString("IMIE"), "Robert");
    EXPECT_EQ(c.people.tagFieldName("NAZWISKO"), "NAZWISKO");
}

TEST(People, StoreChecksSurnameAndRole)
{
    DemoCatalogue c;
    const int count = c.people.recordCount();
    EXPECT_THROW(people::addPerson(c.people, {'R', "Jan", "   "}), std::invalid_argument);
    EXPECT_THROW(people::addPerson(c.people, {'X', "Jan", "Kos"}), std::invalid_argument);
    EXPECT_EQ(c.people.state(), TableState::Browse);
    EXPECT_EQ(c.people.recordCount(), count);
    EXPECT_EQ(people::roleFilter('Z'), "TYP='Z'");
    EXPECT_EQ(people::roleFilter('Q'), "");

    // A failed write leaves the table as it was.
    c.fs.setWriteBudget(0);
    EXPECT_ANY_THROW(people::addPerson(c.people, {'R', "Jan", "Kos"}));
    c.fs.setWriteBudget(std::nullopt);
    EXPECT_EQ(c.people.state(), TableState::Browse);
    EXPECT_EQ(c.people.recordCount(), count);
    people::addPerson(c.people, {'S', "Jan", "Kos"});
    EXPECT_EQ(c.people.recordCount(), count + 1);
    const people::Person back = people::readPerson(c.people);
    EXPECT_EQ(back.typ, 'S');
    EXPECT_EQ(back.imie, "Jan");
    EXPECT_EQ(back.nazwisko, "Kos");
}

TEST(People, ForeignLayoutIsKept)
{
    // Extra fields, other widths, a tag on the plain surname.
    TempDir dir;
    const std::string path = dir.file("DANEF.DBF");
    const FieldList fields = {{"ID", 'N', 5, 0, 0},
                              {"TYP", 'C', 1, 0, 0},
                              {"IMIE", 'C', 20, 0, 0},
                              {"NAZWISKO", 'C', 25, 0, 0},
                              {"UWAGI", 'C', 10, 0, 0}};
    auto created = TableEngine::create(
        FileSystem::real(), path, 3, 0x57, fields, {{"NAZWISKO", "NAZWISKO"}});
    const int level = created->level();
    created->close();
    {
        Table t("dbfDaneF");
        t.setFileName(path);
        t.setIndexName("NAZWISKO");
        t.setDeclaredCharFields({"TYP", "IMIE", "NAZWISKO"});
        t.open();
        people::addPerson(t, {'R', "Agnieszka", "Holland"});
        t.edit();
        people::storePerson(t, {'S', "Agnieszka", "Holland-Kowalska-Nowakowska-Wiśniewska"});
    }
    auto e = TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(e->level(), level);
    ASSERT_EQ(e->fields().size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(e->fields()[i].name, fields[i].name);
        EXPECT_EQ(e->fields()[i].length, fields[i].length);
    }
    ASSERT_EQ(e->tags().size(), 1u);
    EXPECT_EQ(e->tags()[0].expression, "NAZWISKO");
    RecordBuffer r;
    e->readRecord(1, r);
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NAZWISKO")), "Holland-Kowalska-Nowakows");
    EXPECT_TRUE(e->check().sound());
}

TEST(People, DistinctTextsMatchAWalk)
{
    DemoCatalogue c;
    Table &films = c.catalogue.dbfFilmy;
    const auto lists = films.distinctTexts({{"KRAJ"}, {"CVIDEO"}, {"T_PL"}});
    ASSERT_EQ(lists.size(), 3u);
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(lists[k].size(), asSet(lists[k]).size()) << k; // each value once
    EXPECT_EQ(asSet(lists[0]), walked(films, "KRAJ"));
    EXPECT_EQ(asSet(lists[1]), walked(films, "CVIDEO"));
    EXPECT_EQ(asSet(lists[2]), walked(films, "T_PL"));

    // Deleted records are left out; a part of the records.
    films.first();
    const std::string kraj = films.rawString("KRAJ");
    const uint32_t recno = films.recNo();
    EXPECT_EQ(films.distinctTexts({{"KRAJ"}}, ' ', recno, recno).front(),
              std::vector<std::string>{kraj});
    EXPECT_THROW(films.distinctTexts({{"ID_CD"}}), FieldError);
    EXPECT_THROW(films.distinctTexts({{"NIEMA"}}), FieldError);
}

TEST(People, CompletionValuesByRole)
{
    DemoCatalogue c;
    const CompletionValues v
        = collectCompletionValues(&c.catalogue.dbfFilmy, &c.people, &c.catalogue.dbfGatunekF);
    ASSERT_EQ(v.people[0].size(), 10u);
    EXPECT_EQ(v.people[3].size(), 13u);
    // Surname, blank, first name, without the stored leading blanks; no first name: surname.
    const auto has = [](const std::vector<std::string> &list, const std::string &s) {
        return std::find(list.begin(), list.end(), s) != list.end();
    };
    EXPECT_TRUE(has(v.people[0], "Kieślowski Krzysztof"));
    EXPECT_TRUE(has(v.people[3], "Cher"));
    EXPECT_TRUE(has(v.people[1], "Hoffman Jerzy"));
    EXPECT_FALSE(has(v.people[3], "Hoffman Jerzy"));
    EXPECT_EQ(asSet(v.genres), walked(c.catalogue.dbfGatunekF, "GATUNEK"));
    EXPECT_EQ(asSet(v.countries), walked(c.catalogue.dbfFilmy, "KRAJ"));
    EXPECT_EQ(asSet(v.audioCodecs), walked(c.catalogue.dbfFilmy, "CAUDIO"));

    // Closed or missing tables give empty lists.
    c.people.close();
    const CompletionValues none = collectCompletionValues(nullptr, &c.people, nullptr);
    EXPECT_TRUE(none.people[0].empty() && none.countries.empty() && none.genres.empty());

    EXPECT_EQ(completionStart("Linda Bogusław, Jan", true), 17u); // bytes of UTF-8
    EXPECT_EQ(completionStart("Linda Bogusław, Jan", false), 0u);
    EXPECT_EQ(completionStart("Lin", true), 0u);
}

TEST(People, DistinctTextsOnAForeignTable)
{
    TempDir dir;
    copyFixture("xbase64/BENCH.DBT", dir);
    copyFixture("xbase64/BENCH.MDX", dir);
    const std::string path = copyFixture("xbase64/BENCH.DBF", dir);
    Table t("bench");
    t.setFileName(path);
    t.setReadOnly(true);
    t.open();
    std::string field;
    for (const FieldDesc &f : t.fields()) {
        if (f.type == 'C') {
            field = f.name;
            break;
        }
    }
    ASSERT_FALSE(field.empty());
    EXPECT_EQ(asSet(t.distinctTexts({{field}}).front()), walked(t, field));
}

TEST(People, FilmValuesInStepsAndAdded)
{
    DemoCatalogue c;
    Table &films = c.catalogue.dbfFilmy;
    FilmValues whole;
    EXPECT_TRUE(whole.step(films, UINT32_MAX));
    FilmValues steps;
    int calls = 0;
    while (!steps.step(films, 7))
        ++calls;
    EXPECT_GE(calls, int(films.physicalRecordCount() / 7) - 1);
    CompletionValues a, b;
    whole.fill(a);
    steps.fill(b);
    EXPECT_EQ(a.countries, b.countries);
    EXPECT_EQ(a.audioCodecs, b.audioCodecs);
    EXPECT_EQ(asSet(a.countries), walked(films, "KRAJ"));

    // A saved film's values join; blank ones do not; reset forgets.
    steps.add("  Islandia ", "", "Opus");
    steps.fill(b);
    EXPECT_EQ(asSet(b.countries).count("Islandia"), 1u);
    EXPECT_EQ(b.videoCodecs, a.videoCodecs);
    EXPECT_EQ(asSet(b.audioCodecs).count("Opus"), 1u);
    steps.reset();
    EXPECT_FALSE(steps.complete());
    steps.fill(b);
    EXPECT_TRUE(b.countries.empty());
}
