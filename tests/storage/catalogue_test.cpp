// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue.h"
#include "demo.h"
#include "errors.h"
#include "memfs.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace welarik;

namespace {

struct Person
{
    std::string typ, imie, nazwisko;
};

void makePeople(FileSystem &fs,
                const std::string &path,
                const FieldList &fields,
                const std::vector<Person> &people)
{
    auto engine = TableEngine::create(fs, path, 4, 0x57, fields, {{"NAZWISKO", "NAZWISKO"}});
    for (const Person &p : people) {
        RecordBuffer record = engine->blankRecord();
        engine->setFieldText(record, engine->fieldIndex("TYP"), p.typ);
        if (engine->fieldIndex("IMIE") >= 0
            && engine->fields()[engine->fieldIndex("IMIE")].type == 'C')
            engine->setFieldText(record, engine->fieldIndex("IMIE"), p.imie);
        engine->setFieldText(record, engine->fieldIndex("NAZWISKO"), p.nazwisko);
        engine->append(record);
    }
}

FieldList peopleFields()
{
    return {{"ID", 'N', 5, 0, 0},
            {"TYP", 'C', 1, 0, 0},
            {"IMIE", 'C', 50, 0, 0},
            {"NAZWISKO", 'C', 50, 0, 0},
            {"UWAGI", 'C', 10, 0, 0}};
}

} // namespace

TEST(Catalogue, ComponentsAreConfiguredForTheirTables)
{
    MemoryFileSystem fs;
    Catalogue c(fs);
    EXPECT_EQ(c.dbfFilmy.name(), "dbfFilmy");
    EXPECT_TRUE(c.dbfFilmy.exclusive());
    EXPECT_TRUE(c.dbfFilmy.filtered());
    EXPECT_EQ(c.dbfFilmy.filter(), "");
    EXPECT_EQ(c.dbfFilmy.indexName(), "ID_CD");
    EXPECT_FALSE(c.dbfConfig.exclusive());
    EXPECT_EQ(c.dbfConfig.indexName(), "");
    EXPECT_EQ(c.dbfDaneF.indexName(), "NAZWISKO");
    EXPECT_EQ(c.dbfGatunekF.indexName(), "GATUNEK");
    for (Table *t : {&c.dbfDaneF, &c.dbfGatunekF, &c.dbfNrF, &c.dbfZnajomi})
        EXPECT_TRUE(t->exclusive()) << t->name();
    for (Table *t : {&c.dbfConfig, &c.dbfDaneF, &c.dbfGatunekF, &c.dbfNrF, &c.dbfZnajomi})
        EXPECT_FALSE(t->filtered()) << t->name();
    EXPECT_EQ(c.dbfNrF.indexName(), "");
    EXPECT_EQ(c.dbfZnajomi.indexName(), "");
}

TEST(Catalogue, SideTablesAreFoundInAnyLetterCase)
{
    MemoryFileSystem fs;
    fs.setFileBytes("/prog/BAZY/config.dbf", {});
    fs.setFileBytes("/prog/BAZY/Danef.DBF", {});
    Catalogue c(fs);
    c.bindConfig("/prog/BAZY/");
    c.bindSideTables("/prog/BAZY/");
    EXPECT_EQ(c.dbfConfig.fileName(), "/prog/BAZY/config.dbf");
    EXPECT_EQ(c.dbfDaneF.fileName(), "/prog/BAZY/Danef.DBF");
    // Missing ones keep the canonical name (and fail when opened).
    EXPECT_EQ(c.dbfZnajomi.fileName(), "/prog/BAZY/ZNAJOMI.DBF");
    EXPECT_THROW(c.dbfZnajomi.open(), OpenError);
    EXPECT_FALSE(c.dbfZnajomi.isOpen());
}

TEST(Catalogue, PeopleTableSeesThreeFieldsAndShowsSurnameThenFirstName)
{
    MemoryFileSystem fs;
    makePeople(fs,
               "/d/DANEF.DBF",
               peopleFields(),
               {{"R", " Jan", "  Kowalski"}, {"A", "", "Nowak"}, {"A", "Anna", "Żuk"}});
    Catalogue c(fs);
    c.bindSideTables("/d/");
    c.dbfDaneF.open();
    ASSERT_EQ(c.dbfDaneF.fields().size(), 3u);
    EXPECT_FALSE(c.dbfDaneF.hasField("UWAGI"));
    EXPECT_THROW(c.dbfDaneF.fieldByName("ID"), FieldError);

    // NAZWISKO tag order: "  Kowalski" sorts first (leading blanks are stored).
    EXPECT_EQ(c.dbfDaneF.asString("NAZWISKO"), "Kowalski Jan");
    EXPECT_EQ(c.dbfDaneF.rawString("NAZWISKO"), "  Kowalski");
    c.dbfDaneF.next();
    EXPECT_EQ(c.dbfDaneF.asString("NAZWISKO"), "Nowak "); // empty first name: one blank
    // Grids read other records through the same rule, without moving.
    EXPECT_EQ(c.dbfDaneF.asStringOf(3, "NAZWISKO"), "Żuk Anna");
    EXPECT_EQ(c.dbfDaneF.asString("NAZWISKO"), "Nowak ");

    // The pickers' role filters.
    c.dbfDaneF.setFilter("TYP='A'");
    c.dbfDaneF.setFiltered(true);
    EXPECT_EQ(c.dbfDaneF.recordCount(), 2);
    EXPECT_EQ(c.dbfDaneF.asString("NAZWISKO"), "Nowak ");

    // The rule also serves the edited text.
    c.dbfDaneF.edit();
    c.dbfDaneF.setString("IMIE", "  Ewa");
    EXPECT_EQ(c.dbfDaneF.asString("NAZWISKO"), "Nowak Ewa");
    c.dbfDaneF.cancel();
}

TEST(Catalogue, PeopleTableNeedsItsThreeCharacterFields)
{
    MemoryFileSystem fs;
    FieldList noFirstName{{"TYP", 'C', 1, 0, 0}, {"NAZWISKO", 'C', 50, 0, 0}};
    makePeople(fs, "/a/DANEF.DBF", noFirstName, {{"R", "", "Kowalski"}});
    FieldList numericFirstName{
        {"TYP", 'C', 1, 0, 0}, {"IMIE", 'N', 5, 0, 0}, {"NAZWISKO", 'C', 50, 0, 0}};
    makePeople(fs, "/b/DANEF.DBF", numericFirstName, {{"R", "", "Kowalski"}});
    for (const char *dir : {"/a/", "/b/"}) {
        Catalogue c(fs);
        c.bindSideTables(dir);
        EXPECT_THROW(c.dbfDaneF.open(), FieldError) << dir;
        EXPECT_FALSE(c.dbfDaneF.isOpen());
    }
}

TEST(Catalogue, DemoWrittenThroughTheTableComponentIsSound)
{
    MemoryFileSystem fs;
    TableDemoWriter writer;
    DemoOptions options;
    options.films = 300;
    options.seed = 5;
    options.churn = 200;
    const DemoSummary summary = createDemoCatalogue(fs, "/demo", options, writer);
    ASSERT_GT(summary.deleted, 0u);
    ASSERT_GT(summary.corrected, 0u);

    auto engine = TableEngine::open(fs, summary.filmsPath, OpenMode::ReadOnly, ShareMode::Shared);
    const CheckReport report = engine->check();
    for (const CheckFinding &f : report.findings)
        ADD_FAILURE() << f.where << ": " << f.text;
    EXPECT_TRUE(report.sound());
    engine.reset();

    Catalogue c(fs);
    c.dbfFilmy.setFileName(summary.filmsPath);
    c.dbfFilmy.open();
    EXPECT_EQ(c.dbfFilmy.recordCount(), static_cast<int>(summary.films - summary.deleted));
    // ID_CD order: every step goes up.
    int64_t previous = -1;
    int seen = 0;
    for (c.dbfFilmy.first(); !c.dbfFilmy.eof(); c.dbfFilmy.next(), ++seen) {
        EXPECT_LT(previous, c.dbfFilmy.asInteger("ID_CD"));
        previous = c.dbfFilmy.asInteger("ID_CD");
    }
    EXPECT_EQ(seen, c.dbfFilmy.recordCount());
    c.bindSideTables("/demo/BAZY/");
    c.dbfDaneF.open();
    EXPECT_GT(c.dbfDaneF.recordCount(), 0);
}

TEST(Catalogue, TablesWrittenThroughTheComponentReadBackElsewhere)
{
    test::TempDir dir;
    TableDemoWriter writer;
    DemoOptions options;
    options.films = 60;
    options.churn = 40;
    const DemoSummary summary
        = createDemoCatalogue(FileSystem::real(), dir.path().string(), options, writer);
    std::string output;
    const int status = test::runVerifier(
        {summary.filmsPath, dir.file("BAZY/DANEF.DBF"), dir.file("BAZY/ZNAJOMI.DBF")}, output);
    EXPECT_EQ(status, 0) << output;
}
