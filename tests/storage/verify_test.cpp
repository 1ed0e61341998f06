// SPDX-License-Identifier: GPL-3.0-or-later
// The independent checker accepts what we write: the whole demo catalogue, and a generated one
// after churn that splits and merges index nodes. The demo's content rules are checked too.

#include "catalogue.h"
#include "demo.h"
#include "memfs.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

using namespace welarik;

namespace {

std::vector<std::string> catalogueTables(const std::string &dir)
{
    return {dir + "/FILMY.DBF",
            dir + "/BAZY/CONFIG.DBF",
            dir + "/BAZY/DANEF.DBF",
            dir + "/BAZY/GATUNEKF.DBF",
            dir + "/BAZY/NRFILM.DBF",
            dir + "/BAZY/ZNAJOMI.DBF"};
}

std::vector<std::string> column(const TableEngine &e, const char *field, bool live = true)
{
    std::vector<std::string> values;
    const int f = e.fieldIndex(field);
    e.scan([&](uint32_t, const uint8_t *record) {
        if (!live || record[0] != '*')
            values.push_back(e.fieldText(record, f));
        return true;
    });
    return values;
}

} // namespace

TEST(Verify, DemoCatalogueIsAcceptedAndHoldsWhatTheProgramNeeds)
{
    test::TempDir dir;
    TableDemoWriter writer; // the path `welarik-dbf demo` takes
    const DemoSummary summary
        = createDemoCatalogue(FileSystem::real(), dir.path().string(), {}, writer);
    EXPECT_EQ(summary.films, 40u);
    std::string output;
    EXPECT_EQ(test::runVerifier(catalogueTables(dir.path().string()), output), 0) << output;

    auto films = TableEngine::open(
        FileSystem::real(), summary.filmsPath, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(films->level(), 4);
    EXPECT_EQ(films->ldid(), 0xC8);
    EXPECT_EQ(films->tags().size(), 4u);
    // The genre keys ignore letter case, as the titles' do, in the films and the genres tables.
    auto genreTable = TableEngine::open(
        FileSystem::real(), dir.file("BAZY/GATUNEKF.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
    for (const TableEngine *e : {films.get(), genreTable.get()}) {
        const int genreTag = e->tagIndex("GATUNEK");
        ASSERT_GE(genreTag, 0);
        EXPECT_TRUE(e->tags()[size_t(genreTag)].upperCase)
            << e->tags()[size_t(genreTag)].expression;
    }
    std::set<std::string> numbers;
    for (const std::string &n : column(*films, "ID_CD"))
        numbers.insert(n);
    EXPECT_EQ(numbers.size(), 40u) << "CD numbers are unique";
    const auto lent = column(*films, "ID_OSOBY");
    EXPECT_GT(std::count(lent.begin(), lent.end(), "1"), 0);
    EXPECT_GT(std::count(lent.begin(), lent.end(), "0"), 0);
    const auto genres = column(*films, "GATUNEK");
    EXPECT_TRUE(std::any_of(genres.begin(), genres.end(), [](const std::string &g) {
        return g.find(", ") != std::string::npos;
    }));

    auto pool = TableEngine::open(
        FileSystem::real(), dir.file("BAZY/NRFILM.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
    const auto free = column(*pool, "ID_CD");
    EXPECT_GE(free.size(), 3u);
    EXPECT_FALSE(
        std::is_sorted(free.begin(), free.end(), [](const std::string &a, const std::string &b) {
            return std::stoi(a) < std::stoi(b);
        }));
    for (const std::string &n : free)
        EXPECT_EQ(numbers.count(n), 0u) << "pool number " << n << " is used by a film";

    auto people = TableEngine::open(
        FileSystem::real(), dir.file("BAZY/DANEF.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
    std::set<std::string> roles;
    for (const std::string &t : column(*people, "TYP"))
        roles.insert(t);
    EXPECT_EQ(roles, (std::set<std::string>{"A", "R", "S", "Z"}));
    const auto surnames = column(*people, "NAZWISKO");
    EXPECT_TRUE(std::any_of(surnames.begin(), surnames.end(), [](const std::string &s) {
        return s.rfind("  ", 0) == 0;
    }));
    const auto names = column(*people, "IMIE");
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [](const std::string &s) {
        return s.find_first_not_of(' ') == std::string::npos;
    }));

    auto friends = TableEngine::open(
        FileSystem::real(), dir.file("BAZY/ZNAJOMI.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
    auto config = TableEngine::open(
        FileSystem::real(), dir.file("BAZY/CONFIG.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(column(*config, "ID_OSOBY"),
              std::vector<std::string>{std::to_string(friends->recordCount() + 1)});
}

TEST(Verify, GeneratedCatalogueAfterChurnIsAcceptedAndDeterministic)
{
    test::TempDir dir;
    DemoOptions options;
    options.films = 3000;
    options.seed = 42;
    options.churn = 2500;
    // Every film, correction and deletion through the table component's insert/edit/post and
    // delete, with the tags kept on disk, as `welarik-dbf demo` writes them.
    TableDemoWriter writer;
    const DemoSummary summary
        = createDemoCatalogue(FileSystem::real(), dir.path().string(), options, writer);
    EXPECT_EQ(summary.films, 3000u);
    EXPECT_GT(summary.deleted, 0u);
    EXPECT_EQ(summary.deleted + summary.corrected, 2500u);
    std::string output;
    EXPECT_EQ(test::runVerifier({summary.filmsPath}, output), 0) << output;

    // The same seed on another file system (bulk-loaded this time) gives the same records.
    MemoryFileSystem fs;
    EngineDemoWriter bulk;
    createDemoCatalogue(fs, "mem", options, bulk);
    auto a = TableEngine::open(
        FileSystem::real(), summary.filmsPath, OpenMode::ReadOnly, ShareMode::Shared);
    auto b = TableEngine::open(fs, "mem/FILMY.DBF", OpenMode::ReadOnly, ShareMode::Shared);
    ASSERT_EQ(a->recordCount(), b->recordCount());
    for (const char *f : {"ID_CD", "T_PL", "GATUNEK", "OPIS"})
        EXPECT_EQ(column(*a, f, false), column(*b, f, false)) << f;
    EXPECT_TRUE(b->check().sound());
    const CheckReport report = a->check();
    EXPECT_TRUE(report.sound());
    EXPECT_EQ(report.notes(), 0);
}

// Another reader (python3-dbfread) picks the code page from the table's language driver byte
// and reads the Polish titles as we wrote them.
TEST(Verify, AnotherReaderDecodesPolishTextByTheDriverByte)
{
    test::TempDir dir;
    EngineDemoWriter writer;
    const DemoSummary summary
        = createDemoCatalogue(FileSystem::real(), dir.path().string(), {}, writer);
    const std::string script = "import sys, dbfread\n"
                               "sys.stdout.reconfigure(encoding='utf-8')\n"
                               "t = dbfread.DBF(sys.argv[1])\n"
                               "print(t.encoding)\n"
                               "for r in t:\n"
                               "    print(r['T_PL'])\n";
    test::writeBytes(dir.file("read.py"), std::vector<uint8_t>(script.begin(), script.end()));
    const std::string command = std::string("'") + WELARIK_PYTHON3 + "' '" + dir.file("read.py")
                                + "' '" + summary.filmsPath + "' 2>&1";
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0) << output;

    auto films = TableEngine::open(
        FileSystem::real(), summary.filmsPath, OpenMode::ReadOnly, ShareMode::Shared);
    std::string expected = "cp1250\n";
    for (const std::string &title : column(*films, "T_PL"))
        expected += title.substr(0, title.find_last_not_of(' ') + 1) + "\n"; // unpadded there
    EXPECT_NE(expected.find("ó"), std::string::npos) << "the demo has Polish titles";
    EXPECT_EQ(output, expected);
}
