// SPDX-License-Identifier: GPL-3.0-or-later
// The import plan (numbers, cuts, duplicates, new list entries) and the adding: numbered as an
// add numbers, and a step that fails is taken back whichever write fails.

#include "catalogue.h"
#include "errors.h"
#include "export.h"
#include "importplan.h"
#include "memfs.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace welarik;
using namespace welarik::exchange;

namespace {

FilmValues film(const std::string &number,
                const std::string &title,
                const std::string &year,
                const std::string &genre = {},
                const std::string &director = {})
{
    FilmValues f = blankFilm();
    f[size_t(filmFieldIndex("ID_CD"))] = number;
    f[size_t(filmFieldIndex("T_PL"))] = title;
    f[size_t(filmFieldIndex("D_PROD"))] = year;
    f[size_t(filmFieldIndex("GATUNEK"))] = genre;
    f[size_t(filmFieldIndex("REZYSER"))] = director;
    return f;
}

struct MemoryCatalogue
{
    MemoryFileSystem memory;
    test::OneWriteFails fs{memory};
    Catalogue cat{fs};
    MemoryCatalogue()
    {
        cat.dbfFilmy.setFileName(createEmptyCatalogue(fs, "/cat"));
        cat.dbfFilmy.open();
        cat.bindSideTables("/cat/BAZY/");
        for (Table *t : {&cat.dbfDaneF, &cat.dbfGatunekF, &cat.dbfNrF})
            t->open();
    }
    ImportTables tables() { return {cat.dbfFilmy, cat.dbfNrF, cat.dbfGatunekF, cat.dbfDaneF}; }
    void addFilm(int number, const std::string &title, const std::string &year)
    {
        cat.dbfFilmy.insert();
        cat.dbfFilmy.setInteger("ID_CD", number);
        cat.dbfFilmy.setString("T_PL", title);
        cat.dbfFilmy.setString("D_PROD", year);
        cat.dbfFilmy.post();
    }
    void addToPool(int number)
    {
        cat.dbfNrF.insert();
        cat.dbfNrF.setInteger("ID_CD", number);
        cat.dbfNrF.post();
    }
    void addPerson(char role, const std::string &first, const std::string &surname)
    {
        cat.dbfDaneF.insert();
        cat.dbfDaneF.setString("TYP", std::string(1, role));
        cat.dbfDaneF.setString("IMIE", first);
        cat.dbfDaneF.setString("NAZWISKO", surname);
        cat.dbfDaneF.post();
    }
    std::vector<std::string> column(Table &t, const std::string &field)
    {
        std::vector<std::string> values;
        t.scanAll({field}, [&](uint32_t, const std::vector<std::string> &v) {
            values.push_back(v[0]);
            return true;
        });
        return values;
    }
};

} // namespace

TEST(ImportPlan, NumbersComeAsAnAddGivesThem)
{
    MemoryCatalogue c;
    c.addFilm(1, "Jeden", "2000");
    c.addFilm(2, "Dwa", "2000");
    c.addFilm(5, "Pięć", "2000");
    c.addToPool(3);
    c.addToPool(2); // stale: film 2 exists
    c.addToPool(4);
    const CatalogueState state = readCatalogueState(c.tables());
    ImportPlan plan = planImport({film("5", "A", ""),
                                  film("9", "B", ""),
                                  film("", "C", ""),
                                  film("x", "D", ""),
                                  film("", "E", ""),
                                  film("", "F", "")},
                                 state);
    std::vector<int64_t> numbers;
    for (const PlannedFilm &f : plan.films)
        numbers.push_back(f.number);
    // 5 is taken: a new number; 9 is free and kept; the pool's 3 and 4 (not 2) come first,
    // then the highest in use (9) plus one.
    EXPECT_EQ(numbers, (std::vector<int64_t>{3, 9, 4, 10, 11, 12}));
    EXPECT_TRUE(plan.films[0].numberTaken);
    EXPECT_FALSE(plan.films[1].numberTaken);

    plan.films[0].checked = false;
    assignNumbers(plan, state);
    EXPECT_EQ(plan.films[0].number, 0);
    EXPECT_EQ(plan.films[2].number, 3);

    const ImportResult result = applyImport(plan, c.tables());
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.added, 5);
    EXPECT_EQ(c.column(c.cat.dbfNrF, "ID_CD"), std::vector<std::string>{"2"});
    const auto ids = c.column(c.cat.dbfFilmy, "ID_CD");
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()),
              (std::set<std::string>{"1", "2", "5", "3", "9", "4", "10", "11"}));
}

TEST(ImportPlan, CutsDuplicatesAndNewListEntries)
{
    MemoryCatalogue c;
    c.addFilm(1, "Rejs", "1970");
    c.addPerson('R', "Marek", "Piwowski");
    const CatalogueState state = readCatalogueState(c.tables());
    const std::string longTitle(120, 'x');
    FilmValues foreign = film("", "Inny", "2001", "Dramat", "Akira Kurosawa");
    foreign[size_t(filmFieldIndex("AKTORZY"))] = "Toshirō Mifune"; // no such letter in cp1250
    const ImportPlan plan
        = planImport({film("", "REJS", "1970", "Komedia", "Marek Piwowski"),
                      film("", longTitle, "", "komedia, Dramat", "Piwowski Marek"),
                      foreign},
                     state);
    EXPECT_TRUE(plan.films[0].duplicate);
    EXPECT_FALSE(plan.films[0].checked);
    EXPECT_EQ(plan.films[1].values[size_t(filmFieldIndex("T_PL"))], std::string(100, 'x'));
    EXPECT_TRUE(plan.films[1].cut[size_t(filmFieldIndex("T_PL"))]);
    EXPECT_FALSE(plan.films[1].cut[size_t(filmFieldIndex("GATUNEK"))]);
    EXPECT_TRUE(plan.films[1].checked);
    EXPECT_NE(plan.films[2].problem.find("ō"), std::string::npos);
    EXPECT_FALSE(plan.films[2].checked);
    ASSERT_EQ(plan.genres.size(), 2u); // Komedia once, Dramat once
    EXPECT_EQ(plan.genres[0].name, "Komedia");
    EXPECT_EQ(plan.genres[1].name, "Dramat");
    ASSERT_EQ(plan.people.size(), 2u); // Piwowski is known in both name orders
    EXPECT_EQ(plan.people[0].surname, "Kurosawa");
    EXPECT_EQ(plan.people[0].firstName, "Akira");
    EXPECT_EQ(plan.people[1].surname, "Mifune");
}

TEST(ImportApply, CancelKeepsTheFilmsAdded)
{
    MemoryCatalogue c;
    const ImportPlan plan = planImport({film("", "A", ""), film("", "B", ""), film("", "C", "")},
                                       readCatalogueState(c.tables()));
    const ImportResult result
        = applyImport(plan, c.tables(), [](int done, int) { return done < 2; });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(c.cat.dbfFilmy.recordCount(), 2);
}

// Whichever write fails, the failing step is taken back: genres and people all or none, each
// film with its pool number, earlier films kept.
TEST(ImportApply, AFailedWriteTakesItsStepBack)
{
    bool completed = false;
    uint64_t n = 0;
    for (; !completed && n < 400; ++n) {
        MemoryCatalogue c;
        c.addFilm(1, "Stary", "1990");
        c.addToPool(7);
        c.cat.dbfFilmy.setFilter("ID_CD=1");
        const ImportPlan plan
            = planImport({film("", "Nowy", "2000", "Western", "John Ford"),
                          film("", "Drugi", "2001", "Western, Dramat", "Sergio Leone")},
                         readCatalogueState(c.tables()));
        c.fs.failWrite(n);
        const ImportResult result = applyImport(plan, c.tables());
        c.fs.failWrite(std::nullopt);
        completed = !c.fs.failed();
        EXPECT_EQ(result.error.empty(), completed) << "write " << n;
        const auto genres = c.column(c.cat.dbfGatunekF, "GATUNEK");
        const auto people = c.column(c.cat.dbfDaneF, "NAZWISKO");
        const auto films = c.column(c.cat.dbfFilmy, "ID_CD");
        const auto pool = c.column(c.cat.dbfNrF, "ID_CD");
        EXPECT_EQ(int(genres.size()), result.genresAdded) << "write " << n;
        EXPECT_EQ(int(people.size()), result.peopleAdded) << "write " << n;
        EXPECT_TRUE(genres.size() == 0 || genres.size() == 2) << "write " << n;
        EXPECT_EQ(int(films.size()), 1 + result.added) << "write " << n;
        // The first new film takes the pool's 7, the second 8; the pool loses 7 with the first.
        EXPECT_EQ(pool.empty(), result.added >= 1) << "write " << n;
        if (result.added == 2) {
            EXPECT_EQ(std::set<std::string>(films.begin(), films.end()),
                      (std::set<std::string>{"1", "7", "8"}));
        }
        EXPECT_EQ(c.cat.dbfFilmy.filter(), "ID_CD=1");
        EXPECT_TRUE(c.cat.dbfFilmy.filtered());
        EXPECT_EQ(c.cat.dbfFilmy.recordCount(), 1) << "write " << n;
        for (Table *t : {&c.cat.dbfFilmy, &c.cat.dbfNrF, &c.cat.dbfGatunekF, &c.cat.dbfDaneF})
            EXPECT_EQ(t->state(), TableState::Browse) << t->name() << ", write " << n;
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(n, 10u); // every write of the genres, the people, two films and the pool failed once
}
