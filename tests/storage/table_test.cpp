// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"
#include "memfs.h"
#include "table.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace welarik;

namespace {

const char *kPath = "/cat/FILMY.DBF";

struct Film
{
    int id;
    std::string title;
    std::string genre;
    std::string lent; // ID_OSOBY as stored text ("" = blank)
};

// A small films table: ID_CD N(5), T_PL C(20), GATUNEK C(20), ID_OSOBY N(3), tags ID_CD,
// T_PL (upper-cased) and GATUNEK.
void makeFilms(FileSystem &fs, const std::string &path, const std::vector<Film> &films)
{
    const FieldList fields{{"ID_CD", 'N', 5, 0, 0},
                           {"T_PL", 'C', 20, 0, 0},
                           {"GATUNEK", 'C', 20, 0, 0},
                           {"ID_OSOBY", 'N', 3, 0, 0}};
    auto engine = TableEngine::create(
        fs,
        path,
        4,
        0x57,
        fields,
        {{"ID_CD", "ID_CD"}, {"T_PL", "UPPER(T_PL)"}, {"GATUNEK", "GATUNEK"}});
    for (const Film &film : films) {
        RecordBuffer record = engine->blankRecord();
        engine->setFieldInteger(record, 0, film.id);
        engine->setFieldText(record, 1, film.title);
        engine->setFieldText(record, 2, film.genre);
        engine->setFieldText(record, 3, film.lent);
        engine->append(record);
    }
}

std::vector<Film> sampleFilms()
{
    return {{3, "Cichy", "Dramat", "0"},
            {1, "Amok", "Komedia", ""},
            {5, "Ezop", "Dramat, Komedia", "1"},
            {2, "Bajka", "Dramat", "1"},
            {4, "Dom", "Komedia", ""}};
}

// ID_CD of every visible record, walking the view from first to eof.
std::vector<int64_t> walk(Table &t)
{
    std::vector<int64_t> ids;
    t.first();
    for (int guard = 0; !t.eof() && guard < 100; ++guard) {
        ids.push_back(t.asInteger("ID_CD"));
        t.next();
    }
    return ids;
}

using Ids = std::vector<int64_t>;

class TableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        makeFilms(fs, kPath, sampleFilms());
        table.setFileName(kPath);
    }
    MemoryFileSystem fs;
    Table table{"dbfFilmy", fs};
};

struct RecordingLink : DataLink
{
    std::string missingField; // checkFields vetoes when the table lacks it
    std::string pendingTitle; // written into T_PL by updateRecord
    int opened_ = 0, closed_ = 0, moved = 0, data = 0, state = 0;
    void checkFields(Table &t) override
    {
        if (!missingField.empty() && !t.hasField(missingField))
            throw FieldError(t.fileName(), "EditTest: field " + missingField + " not found");
    }
    void opened(Table &) override { ++opened_; }
    void closed(Table &) override { ++closed_; }
    void recordMoved(Table &) override { ++moved; }
    void dataChanged(Table &) override { ++data; }
    void stateChanged(Table &) override { ++state; }
    void updateRecord(Table &t) override
    {
        if (!pendingTitle.empty())
            t.setString("T_PL", pendingTitle);
    }
};

} // namespace

TEST_F(TableTest, BindOpenCloseAreIdempotentAndFailedOpenLeavesItClosed)
{
    int opens = 0, closes = 0;
    table.afterOpen = [&](Table &) {
        ++opens;
    };
    table.afterClose = [&](Table &) {
        ++closes;
    };
    table.open();
    table.next();
    table.open();
    table.setFileName(kPath); // same path while open: nothing happens
    EXPECT_EQ(table.recNo(), 2u);
    EXPECT_THROW(table.setFileName("/cat/INNY.DBF"), StateError);
    EXPECT_EQ(opens, 1);
    table.close();
    table.close();
    EXPECT_EQ(closes, 1);

    table.setFileName("/cat/BRAK.DBF");
    EXPECT_THROW(table.open(), OpenError);
    EXPECT_FALSE(table.isOpen());
    EXPECT_EQ(table.state(), TableState::Inactive);
    EXPECT_EQ(opens, 1);

    // A filter that does not fit the table, or an unknown tag, also refuses the open.
    table.setFileName(kPath);
    table.setFilter("ILE=1");
    EXPECT_THROW(table.open(), FieldError);
    EXPECT_FALSE(table.isOpen());
    table.setFilter("");
    table.setIndexName("NAZWISKO");
    EXPECT_THROW(table.open(), IndexError);
    EXPECT_FALSE(table.isOpen());
}

TEST_F(TableTest, OrderFollowsTheTagAndKeepsTheCurrentRecord)
{
    table.open();
    EXPECT_EQ(walk(table), (Ids{3, 1, 5, 2, 4}));
    EXPECT_TRUE(table.eof());
    EXPECT_EQ(table.asInteger("ID_CD"), 4); // eof stays on the last record

    table.setIndexName("ID_CD");
    EXPECT_EQ(walk(table), (Ids{1, 2, 3, 4, 5}));
    table.setIndexName("T_PL");
    EXPECT_EQ(walk(table), (Ids{1, 2, 3, 4, 5}));
    table.setIndexName("GATUNEK");
    EXPECT_EQ(walk(table), (Ids{3, 2, 5, 1, 4}));

    table.gotoRecord(5); // Dom, ID 4
    table.setIndexName("ID_CD");
    EXPECT_EQ(table.asInteger("ID_CD"), 4);
    table.prior();
    EXPECT_EQ(table.asInteger("ID_CD"), 3);

    // An unknown tag raises and the previous order stays.
    EXPECT_THROW(table.setIndexName("REZYSER"), IndexError);
    EXPECT_EQ(table.indexName(), "ID_CD");
    EXPECT_EQ(table.asInteger("ID_CD"), 3);
    table.next();
    EXPECT_EQ(table.asInteger("ID_CD"), 4);

    table.last();
    EXPECT_EQ(table.asInteger("ID_CD"), 5);
    table.next();
    EXPECT_TRUE(table.eof());
    table.first();
    table.prior();
    EXPECT_TRUE(table.bof());
    EXPECT_EQ(table.asInteger("ID_CD"), 1);

    // Record order again: the current record stays.
    table.gotoRecord(3);
    table.setIndexName("");
    EXPECT_EQ(table.recNo(), 3u);
    table.next();
    EXPECT_EQ(table.recNo(), 4u);

    // Grids' rows agree with navigation.
    table.setIndexName("T_PL");
    ASSERT_EQ(table.rowCount(), 5);
    EXPECT_EQ(table.recordAtRow(0), 2u);
    EXPECT_EQ(table.recordAtRow(4), 3u);
    EXPECT_EQ(table.recordAtRow(5), 0u);
    EXPECT_EQ(table.rowOfRecord(1), 2);
    EXPECT_EQ(table.currentRow(), table.rowOfRecord(table.recNo()));
}

TEST_F(TableTest, FilterSelectsWholeValuesAndBlankNumbersAsZero)
{
    table.setFiltered(true);
    table.setIndexName("ID_CD");
    table.open();
    EXPECT_EQ(table.recordCount(), 5);

    table.setFilter("ID_OSOBY=0");
    EXPECT_EQ(walk(table), (Ids{1, 3, 4})); // blanks count as on the shelf
    EXPECT_EQ(table.recordCount(), 3);
    table.setFilter("ID_OSOBY=1");
    EXPECT_EQ(walk(table), (Ids{2, 5}));
    table.setFilter("GATUNEK='Dramat'");
    EXPECT_EQ(walk(table), (Ids{2, 3})); // "Dramat, Komedia" is not one of them
    EXPECT_EQ(table.rowCount(), 2);

    // Bad expressions raise; the previous one stays in force.
    EXPECT_THROW(table.setFilter("GATUNEK='Rock'n'roll'"), StateError);
    EXPECT_THROW(table.setFilter("ILE=0"), FieldError);
    EXPECT_EQ(table.filter(), "GATUNEK='Dramat'");
    EXPECT_EQ(table.recordCount(), 2);

    // Setting the expression and switching filtering move to the first record.
    table.last();
    table.setFilter("GATUNEK='Dramat'");
    EXPECT_EQ(table.asInteger("ID_CD"), 2);
    table.last();
    table.setFiltered(false);
    EXPECT_EQ(table.asInteger("ID_CD"), 1);
    EXPECT_EQ(table.recordCount(), 5);
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), 2);

    // While filtering is off, a new expression changes nothing visible.
    table.setFiltered(false);
    table.gotoRecord(4);
    table.setFilter("ID_OSOBY=1");
    EXPECT_EQ(table.recNo(), 4u);
    EXPECT_EQ(table.recordCount(), 5);
}

// A filter on the genre is read from a tag on its first characters, upper-cased: the records
// it finds agree with a comparison of the whole values, letter case included.
TEST(TableGenreTag, FilterServedByAShortenedUpperCaseTagComparesWholeValues)
{
    MemoryFileSystem fs;
    const FieldList fields{{"ID_CD", 'N', 5, 0, 0}, {"GATUNEK", 'C', 20, 0, 0}};
    {
        auto engine = TableEngine::create(
            fs, kPath, 4, 0x57, fields, {{"ID_CD", "ID_CD"}, {"GAT", "UPPER(LEFT(GATUNEK,8))"}});
        const std::vector<std::string> genres = {"Dramat",
                                                 "DRAMAT",
                                                 "Dramat, Komedia",
                                                 "Dramat  x",
                                                 "Komedia",
                                                 "Dramat",
                                                 "Baśń",
                                                 "BAŚŃ",
                                                 "Dramat"};
        for (size_t i = 0; i < genres.size(); ++i) {
            RecordBuffer record = engine->blankRecord();
            engine->setFieldInteger(record, 0, static_cast<int64_t>(i + 1));
            engine->setFieldText(record, 1, genres[i]);
            engine->append(record);
        }
        engine->markDeleted(9);
    }
    Table table("dbfFilmy", fs);
    table.setFileName(kPath);
    table.setIndexName("ID_CD");
    table.open();
    table.setFiltered(true);
    table.setFilter("GATUNEK='Dramat'");
    EXPECT_EQ(walk(table), (Ids{1, 6})); // not "Dramat  x" (same key), nor the deleted 9
    table.setFilter("GATUNEK='DRAMAT'");
    EXPECT_EQ(walk(table), (Ids{2}));
    table.setFilter("GATUNEK='Baśń'");
    EXPECT_EQ(walk(table), (Ids{7}));
    table.setFilter("GATUNEK='Western'");
    EXPECT_TRUE(table.isEmpty());

    // Posts keep the view right afterwards.
    table.setFilter("GATUNEK='Dramat'");
    table.last();
    table.edit();
    table.setString("GATUNEK", "Komedia");
    table.post();
    table.insert();
    table.setInteger("ID_CD", 10);
    table.setString("GATUNEK", "Dramat");
    table.post();
    EXPECT_EQ(walk(table), (Ids{1, 10}));
    EXPECT_EQ(table.recordCount(), 2);
}

TEST_F(TableTest, CountFollowsPostsAndDeletesUnderAFilter)
{
    table.setFiltered(true);
    table.setFilter("ID_OSOBY=0");
    table.setIndexName("ID_CD");
    table.open();
    ASSERT_EQ(walk(table), (Ids{1, 3, 4}));

    // A change that keeps the record in the view keeps it current at its new place.
    table.first(); // 1 Amok
    table.edit();
    table.setInteger("ID_CD", 7);
    table.post();
    EXPECT_EQ(table.asInteger("ID_CD"), 7);
    table.prior();
    EXPECT_EQ(table.asInteger("ID_CD"), 4);

    // A change that takes it out of the view makes a neighbour current.
    table.first(); // 3 Cichy
    table.edit();
    table.setInteger("ID_OSOBY", 1);
    table.post();
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.asInteger("ID_CD"), 4);
    EXPECT_EQ(walk(table), (Ids{4, 7}));

    // A new record that passes the filter counts; one that does not, does not.
    table.insert();
    table.setInteger("ID_CD", 6);
    table.post();
    EXPECT_EQ(table.recordCount(), 3);
    EXPECT_EQ(table.asInteger("ID_CD"), 6);
    table.insert();
    table.setInteger("ID_CD", 9);
    table.setInteger("ID_OSOBY", 1);
    table.post();
    EXPECT_EQ(table.recordCount(), 3);
    EXPECT_EQ(walk(table), (Ids{4, 6, 7}));

    // Deleting: the record becomes invisible and the next one current.
    table.first();
    int deletes = 0;
    table.afterDelete = [&](Table &) {
        ++deletes;
    };
    table.deleteRecord();
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.asInteger("ID_CD"), 6);
    table.last();
    table.deleteRecord(); // the last one: the one before becomes current
    EXPECT_EQ(table.asInteger("ID_CD"), 6);
    table.deleteRecord();
    EXPECT_TRUE(table.isEmpty());
    EXPECT_THROW(table.deleteRecord(), StateError);

    // Deleted records stay invisible after a reopen, with or without the filter.
    table.close();
    table.setFiltered(false);
    table.open();
    EXPECT_EQ(walk(table), (Ids{2, 3, 5, 9}));
}

TEST_F(TableTest, EditStatesWritesAndCancel)
{
    table.open();
    EXPECT_THROW(table.setString("T_PL", "x"), StateError);
    table.cancel(); // harmless in browse state
    EXPECT_EQ(table.state(), TableState::Browse);

    table.edit();
    table.setString("T_PL", "Bardzo długi tytuł filmu ąę");
    EXPECT_EQ(table.asString("T_PL"), "Bardzo długi tytuł f"); // cut to 20 characters
    EXPECT_THROW(table.setString("REZYSER", "x"), FieldError);
    table.cancel();
    EXPECT_EQ(table.asString("T_PL"), "Cichy");
    EXPECT_EQ(table.state(), TableState::Browse);

    // Insert then cancel returns to the record that was current.
    table.gotoRecord(4);
    table.insert();
    EXPECT_EQ(table.asString("T_PL"), "");
    EXPECT_EQ(table.asInteger("ID_CD"), 0);
    table.cancel();
    EXPECT_EQ(table.recNo(), 4u);
    EXPECT_EQ(table.recordCount(), 5);
    // Deleting in insert state drops the new record only.
    table.insert();
    table.setInteger("ID_CD", 77);
    table.deleteRecord();
    EXPECT_EQ(table.state(), TableState::Browse);
    EXPECT_EQ(table.recNo(), 4u);
    EXPECT_EQ(table.recordCount(), 5);

    // Selecting a tag ends a pending edit: posted when a field changed...
    table.edit();
    table.setString("T_PL", "Zmiana");
    table.setIndexName("T_PL");
    EXPECT_EQ(table.state(), TableState::Browse);
    EXPECT_EQ(table.asString("T_PL"), "Zmiana");
    table.last();
    EXPECT_EQ(table.recNo(), 4u);
    // ...cancelled otherwise.
    table.edit();
    table.setFilter("");
    EXPECT_EQ(table.state(), TableState::Browse);
    EXPECT_FALSE(table.modified());
}

TEST_F(TableTest, EditOnAnEmptyTableInserts)
{
    makeFilms(fs, "/cat/PUSTA.DBF", {});
    Table empty("dbfPusta", fs);
    empty.setFileName("/cat/PUSTA.DBF");
    empty.open();
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty.bof() && empty.eof());
    EXPECT_EQ(empty.asString("T_PL"), "");
    EXPECT_EQ(empty.asInteger("ID_CD"), 0);
    empty.edit();
    EXPECT_EQ(empty.state(), TableState::Insert);
    empty.setInteger("ID_CD", 1);
    empty.post();
    EXPECT_EQ(empty.recordCount(), 1);
    EXPECT_EQ(empty.recNo(), 1u);
}

TEST_F(TableTest, FailedPostKeepsTheEditStateAndTheTypedValues)
{
    table.setIndexName("ID_CD");
    table.open();
    table.edit();
    table.setString("T_PL", "Nowy tytuł");
    table.setInteger("ID_CD", 42);
    fs.setWriteBudget(0);
    EXPECT_THROW(table.post(), IoError);
    EXPECT_EQ(table.state(), TableState::Edit);
    EXPECT_EQ(table.asString("T_PL"), "Nowy tytuł");
    EXPECT_EQ(table.asInteger("ID_CD"), 42);
    fs.setWriteBudget(std::nullopt);
    table.post();
    EXPECT_EQ(table.state(), TableState::Browse);
    table.last();
    EXPECT_EQ(table.asString("T_PL"), "Nowy tytuł");

    // The same for an insertion.
    table.insert();
    table.setInteger("ID_CD", 50);
    fs.setWriteBudget(0);
    EXPECT_THROW(table.post(), IoError);
    EXPECT_EQ(table.state(), TableState::Insert);
    EXPECT_EQ(table.asInteger("ID_CD"), 50);
    fs.setWriteBudget(std::nullopt);
    table.post();
    EXPECT_EQ(table.recordCount(), 6);
    table.close();
}

TEST_F(TableTest, DataLinksFollowAndCanVetoTheOpen)
{
    RecordingLink link;
    table.addLink(&link);
    link.missingField = "REZYSER";
    EXPECT_NE(test::openRefusal(table).find("EditTest: field REZYSER"), std::string::npos);
    EXPECT_FALSE(table.isOpen());
    EXPECT_EQ(link.opened_, 0);

    link.missingField = "T_PL";
    table.open();
    EXPECT_EQ(link.opened_, 1);
    const int moved = link.moved;
    table.next();
    EXPECT_GT(link.moved, moved);

    // updateRecord writes the pending text before the record is written.
    table.edit();
    EXPECT_EQ(link.state, 1);
    link.pendingTitle = "Z kontrolki";
    const int data = link.data;
    table.post();
    EXPECT_GT(link.data, data);
    EXPECT_EQ(table.asString("T_PL"), "Z kontrolki");
    table.close();
    EXPECT_THROW(table.asString("T_PL"), FieldError); // a closed table has no fields
    table.open();
    table.next();
    EXPECT_EQ(table.asString("T_PL"), "Z kontrolki");

    table.removeLink(&link);
    table.close();
    EXPECT_EQ(link.closed_, 1);
}

TEST_F(TableTest, FindNearestAndPrefixUseTheSelectedTag)
{
    table.setIndexName("T_PL");
    table.open();
    EXPECT_TRUE(table.findNearest("d"));
    EXPECT_EQ(table.asString("T_PL"), "Dom");
    EXPECT_TRUE(table.findNearest("c"));
    EXPECT_EQ(table.asString("T_PL"), "Cichy");
    EXPECT_FALSE(table.findPrefix("Cx"));
    EXPECT_EQ(table.asString("T_PL"), "Cichy");
    EXPECT_TRUE(table.findPrefix("ez"));
    EXPECT_EQ(table.asString("T_PL"), "Ezop");
    EXPECT_FALSE(table.findNearest("zz"));
    EXPECT_EQ(table.asString("T_PL"), "Ezop");

    // A numeric tag: letters match nothing and the record stays.
    table.setIndexName("ID_CD");
    EXPECT_FALSE(table.findNearest("abc"));
    EXPECT_FALSE(table.findPrefix("abc"));
    EXPECT_EQ(table.asString("T_PL"), "Ezop");
    EXPECT_TRUE(table.findNearest("4"));
    EXPECT_EQ(table.asString("T_PL"), "Dom");

    // Within the filter only.
    table.setFilter("GATUNEK='Dramat'");
    table.setFiltered(true);
    EXPECT_TRUE(table.findNearest("1")); // 1 is a comedy: the next drama is 2
    EXPECT_EQ(table.asInteger("ID_CD"), 2);
    EXPECT_FALSE(table.findNearest("4")); // 4 and 5 are not dramas
    EXPECT_EQ(table.asInteger("ID_CD"), 2);
    table.next();
    EXPECT_EQ(table.asInteger("ID_CD"), 3);
}

TEST(TableLock, ASecondProcessIsRefusedWhileTheTableIsOpen)
{
    test::TempDir dir;
    const std::string path = dir.file("FILMY.DBF");
    makeFilms(FileSystem::real(), path, sampleFilms());
    auto childOpens = [&path] {
        const pid_t pid = fork();
        if (pid == 0) {
            int code = 0;
            try {
                Table other("other");
                other.setFileName(path);
                other.open();
                code = other.recordCount() == 5 ? 0 : 2;
            } catch (const OpenError &) {
                code = 1;
            } catch (...) {
                code = 3;
            }
            _exit(code);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    Table table("dbfFilmy");
    table.setFileName(path);
    table.open();
    EXPECT_EQ(childOpens(), 1);
    // A shared opener is refused too, and a second component in this process as well.
    Table second("second");
    second.setFileName(path);
    second.setExclusive(false);
    EXPECT_THROW(second.open(), OpenError);
    table.close();
    EXPECT_EQ(childOpens(), 0);

    // A process killed while it holds the table leaves no lock behind.
    const pid_t holder = fork();
    if (holder == 0) {
        Table held("held");
        held.setFileName(path);
        held.open();
        raise(SIGKILL);
        _exit(5);
    }
    int status = 0;
    waitpid(holder, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    table.open();
    EXPECT_EQ(table.recordCount(), 5);
}

TEST_F(TableTest, ReadOnlyTableRefusesChanges)
{
    const std::vector<uint8_t> before = fs.fileBytes(kPath);
    table.setReadOnly(true);
    table.open();
    EXPECT_TRUE(table.readOnly());
    EXPECT_THROW(table.edit(), StateError);
    EXPECT_THROW(table.insert(), StateError);
    EXPECT_THROW(table.deleteRecord(), StateError);
    EXPECT_EQ(table.state(), TableState::Browse);
    EXPECT_THROW(table.setReadOnly(false), StateError);
    table.close();
    EXPECT_EQ(fs.fileBytes(kPath), before);
}

// A post cut off after any number of writes stays in its edit state; posting again succeeds,
// cancelling takes back what reached the disk, and either way the table is left sound.
TEST(TablePost, RetryOrCancelAfterAFailureAtAnyWriteLeavesASoundTable)
{
    int failures = 0;
    for (int mode = 0; mode < 4; ++mode) {
        const bool inserting = mode % 2 == 1;
        const bool retry = mode < 2;
        for (uint64_t budget = 0; budget < 12; ++budget) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " budget " + std::to_string(budget));
            MemoryFileSystem fs;
            makeFilms(fs, kPath, sampleFilms());
            {
                Table table("dbfFilmy", fs);
                table.setFileName(kPath);
                table.setIndexName("T_PL");
                table.open();
                table.last();
                inserting ? table.insert() : table.edit();
                table.setString("T_PL", "Aaa nowy");
                table.setInteger("ID_CD", 9);
                fs.setWriteBudget(budget);
                bool failed = false;
                try {
                    table.post();
                } catch (const IoError &) {
                    failed = true;
                    ++failures;
                }
                fs.setWriteBudget(std::nullopt);
                const bool posted = !failed || retry;
                if (failed) {
                    EXPECT_EQ(table.state(), inserting ? TableState::Insert : TableState::Edit);
                    EXPECT_EQ(table.asString("T_PL"), "Aaa nowy");
                    retry ? table.post() : table.cancel();
                }
                EXPECT_EQ(table.state(), TableState::Browse);
                EXPECT_EQ(table.recordCount(), inserting && posted ? 6 : 5);
                std::vector<std::string> titles;
                for (table.first(); !table.eof(); table.next())
                    titles.push_back(table.asString("T_PL"));
                std::vector<std::string> expected{"Amok", "Bajka", "Cichy", "Dom", "Ezop"};
                if (posted && inserting)
                    expected.insert(expected.begin(), "Aaa nowy");
                else if (posted)
                    expected = {"Aaa nowy", "Amok", "Bajka", "Cichy", "Dom"}; // Ezop renamed
                EXPECT_EQ(titles, expected);
            }
            auto engine = TableEngine::open(fs, kPath, OpenMode::ReadWrite, ShareMode::Shared);
            const CheckReport report = engine->check();
            for (const CheckFinding &f : report.findings) {
                // An append cut off before the record count was written leaves its bytes
                // outside the table, where the next append overwrites them; the checker
                // reports them, and that is all.
                if (f.where == "table" && f.text.find("after the last record") != std::string::npos)
                    continue;
                ADD_FAILURE() << f.where << ": " << f.text;
            }
        }
    }
    EXPECT_GT(failures, 20);
}

// Cancel after a post cut off after any number of writes, with the disk still refusing every
// write: the table is back in browse, the record shows what the file holds, and moving,
// sorting and filtering work; once the disk takes writes again, the table is sound.
TEST(TablePost, CancelReturnsToBrowseEvenWhenTheDiskRefusesTheRewrite)
{
    for (int inserting = 0; inserting < 2; ++inserting) {
        for (uint64_t budget = 0; budget < 8; ++budget) {
            SCOPED_TRACE("inserting " + std::to_string(inserting) + " budget "
                         + std::to_string(budget));
            MemoryFileSystem fs;
            makeFilms(fs, kPath, sampleFilms());
            Table table("dbfFilmy", fs);
            table.setFileName(kPath);
            table.setIndexName("T_PL");
            table.open();
            table.last();
            inserting ? table.insert() : table.edit();
            table.setString("T_PL", "Aaa nowy");
            fs.setWriteBudget(budget);
            try {
                table.post();
                continue; // the budget was enough
            } catch (const IoError &) {
            }
            fs.setWriteBudget(0);
            EXPECT_NO_THROW(table.cancel());
            EXPECT_EQ(table.state(), TableState::Browse);
            if (table.recNo() != 0) {
                EXPECT_EQ(table.asString("T_PL"), table.asStringOf(table.recNo(), "T_PL"));
            }
            EXPECT_NO_THROW(table.first());
            EXPECT_NO_THROW(table.next());
            EXPECT_NO_THROW(table.setIndexName("ID_CD"));
            EXPECT_NO_THROW(table.setFilter("ID_OSOBY=1"));
            EXPECT_NO_THROW(table.setFiltered(true));
            EXPECT_NO_THROW(table.setFiltered(false));
            fs.setWriteBudget(std::nullopt);
            table.close();
            auto engine = TableEngine::open(fs, kPath, OpenMode::ReadWrite, ShareMode::Shared);
            for (const CheckFinding &f : engine->check().findings)
                if (f.fault)
                    ADD_FAILURE() << f.where << ": " << f.text;
        }
    }
}

// An append cut off after the record became live, then close() without cancel: the record
// the caller was told had failed is not in the table when it is opened again.
TEST(TablePost, CloseAfterAFailedAppendDropsTheRecord)
{
    int live = 0;
    for (uint64_t budget = 0; budget < 10; ++budget) {
        SCOPED_TRACE("budget " + std::to_string(budget));
        MemoryFileSystem fs;
        makeFilms(fs, kPath, sampleFilms());
        {
            Table table("dbfFilmy", fs);
            table.setFileName(kPath);
            table.setIndexName("T_PL");
            table.open();
            table.insert();
            table.setString("T_PL", "Aaa nowy");
            table.setInteger("ID_CD", 9);
            fs.setWriteBudget(budget);
            try {
                table.post();
                continue;
            } catch (const IoError &) {
            }
            fs.setWriteBudget(std::nullopt);
            {
                auto peek = fs.snapshot();
                auto e = TableEngine::open(*peek, kPath, OpenMode::ReadOnly, ShareMode::Shared);
                live += e->recordCount() > 5 ? 1 : 0;
            }
            table.close();
        }
        Table again("dbfFilmy", fs);
        again.setFileName(kPath);
        again.open();
        EXPECT_EQ(again.recordCount(), 5);
        for (again.first(); !again.eof(); again.next())
            EXPECT_NE(again.asString("T_PL"), "Aaa nowy");
    }
    EXPECT_GT(live, 0) << "no budget stopped the append after the record became live";
}

// Level 7's binary numbers: long, autoincrement, timestamp (the fixture) and double (a table
// of ours) are written, read back after reopening, and filtered on.
TEST(TableLevel7, NumberFieldsAreWrittenAndFiltered)
{
    test::TempDir dir;
    test::copyFixture("php-xbase/dBaseVII.dbt", dir);
    const std::string path = test::copyFixture("php-xbase/dBaseVII.dbf", dir);
    {
        Table t("t");
        t.setFileName(path);
        t.open();
        t.setFilter("INTEGER=2");
        t.setFiltered(true);
        ASSERT_EQ(t.recordCount(), 1);
        EXPECT_EQ(t.asString("NAME"), "Rocket Raccoon");
        t.edit();
        t.setInteger("INTEGER", -70000);
        t.setString("DATETIME", "63717913221000");
        t.setString("AUTO_INC", "41");
        t.post();
        EXPECT_EQ(t.recordCount(), 0); // left the view
        t.setFilter("INTEGER=-70000");
        ASSERT_EQ(t.recordCount(), 1);
        t.edit();
        EXPECT_THROW(t.setString("INTEGER", "1.5"), FieldError);
        EXPECT_THROW(t.setString("INTEGER", "3000000000"), FieldError);
        EXPECT_THROW(t.setString("DATETIME", "jutro"), FieldError);
        t.cancel();
        t.insert();
        t.setString("NAME", "Drax");
        t.setInteger("INTEGER", 0);
        t.post(); // the blank autoincrement field takes the table's next number
        t.setFilter("AUTO_INC=3");
        ASSERT_EQ(t.recordCount(), 1);
        EXPECT_EQ(t.asString("NAME"), "Drax");
        t.setFilter("DATETIME=63717913221000");
        EXPECT_EQ(t.recordCount(), 1);
        t.setFilter("INTEGER=0");
        EXPECT_EQ(t.recordCount(), 1);
    }
    Table again("t");
    again.setFileName(path);
    again.open();
    again.setFilter("AUTO_INC=41");
    again.setFiltered(true);
    ASSERT_EQ(again.recordCount(), 1);
    EXPECT_EQ(again.asInteger("INTEGER"), -70000);
    EXPECT_EQ(again.asString("DATETIME"), "63717913221000");
    EXPECT_EQ(again.asString("NAME"), "Rocket Raccoon");
    again.close();

    MemoryFileSystem fs;
    TableEngine::create(fs, "/L7.DBF", 7, 0, {{"CENA", 'O', 8, 0, 0}, {"NR", 'I', 4, 0, 0}}, {});
    Table prices("prices", fs);
    prices.setFileName("/L7.DBF");
    prices.open();
    for (const char *value : {"-2.5", "1e+20", "0.125", ""}) {
        prices.insert();
        prices.setString("CENA", value);
        prices.post();
    }
    prices.setFilter("CENA=-2.5");
    prices.setFiltered(true);
    ASSERT_EQ(prices.recordCount(), 1);
    EXPECT_EQ(prices.asString("CENA"), "-2.5");
    prices.setFilter("CENA=0.125");
    EXPECT_EQ(prices.recordCount(), 1);
    prices.setFilter("CENA=0");
    EXPECT_EQ(prices.recordCount(), 1); // the blank one
    prices.setFiltered(false);
    prices.last();
    prices.edit();
    prices.setInteger("CENA", 7);
    prices.post();
    EXPECT_EQ(prices.asString("CENA"), "7");
}

// A table big enough for the first count to read it on two threads: deleted and lent films
// in both halves count exactly, before and after a filter and a change.
TEST(TableBig, CountsAndViewsOfATableReadOnTwoThreads)
{
    MemoryFileSystem fs;
    std::vector<Film> films;
    const int n = 60001;
    for (int i = 1; i <= n; ++i)
        films.push_back({i, "Film " + std::to_string(i), "Dramat", i % 7 == 0 ? "1" : "0"});
    makeFilms(fs, kPath, films);
    int deletedLent = 0, deleted = 0;
    {
        auto engine = TableEngine::open(fs, kPath, OpenMode::ReadWrite, ShareMode::Exclusive);
        for (uint32_t r = 1; r <= uint32_t(n); r += 997) {
            engine->markDeleted(r);
            ++deleted;
            deletedLent += r % 7 == 0 ? 1 : 0;
        }
    }
    Table table("dbfFilmy", fs);
    table.setFileName(kPath);
    table.setIndexName("ID_CD");
    table.open();
    EXPECT_EQ(table.recordCount(), n - deleted);
    table.last();
    EXPECT_EQ(table.asInteger("ID_CD"), n);
    table.setFiltered(true);
    table.setFilter("ID_OSOBY=1");
    EXPECT_EQ(table.recordCount(), n / 7 - deletedLent);
    // Rows far down the order come from the whole order read at once; they agree with a walk.
    table.setIndexName("T_PL");
    table.last();
    EXPECT_EQ(table.currentRow(), table.recordCount() - 1);
    std::vector<uint32_t> walked;
    for (table.first(); !table.eof(); table.next())
        walked.push_back(table.recNo());
    for (const size_t row : {size_t{0}, walked.size() / 2, walked.size() - 1}) {
        EXPECT_EQ(table.rowOfRecord(walked[row]), int(row));
        EXPECT_EQ(table.recordAtRow(int(row)), walked[row]);
    }
    table.setIndexName("ID_CD");
    table.last();
    table.edit();
    table.setInteger("ID_OSOBY", 0);
    table.post();
    EXPECT_EQ(table.recordCount(), n / 7 - deletedLent - 1);
    table.close();
    table.open();
    EXPECT_EQ(table.recordCount(), n / 7 - deletedLent - 1);
}

// While the first count of a big table runs (held here until released), the first rows of a
// filtered view, the current record and the provisional row count are right; the count then
// tells the data links once, and a delete waits for it and counts exactly.
TEST(TableBig, FirstRowsAreRightWhileTheCountRuns)
{
    MemoryFileSystem fs;
    std::vector<Film> films;
    const int n = 60001;
    for (int i = 1; i <= n; ++i)
        films.push_back({i, "Film " + std::to_string(i), "Dramat", i % 7 == 0 ? "1" : "0"});
    makeFilms(fs, kPath, films);
    std::vector<uint32_t> lent; // the view in ID_CD (= record) order
    {
        auto engine = TableEngine::open(fs, kPath, OpenMode::ReadWrite, ShareMode::Exclusive);
        for (uint32_t r = 7; r <= uint32_t(n); r += 7) {
            if (r % 3 == 0)
                engine->markDeleted(r);
            else
                lent.push_back(r);
        }
    }
    RecordingLink link; // outlives the table, which tells it when it goes
    Table table("dbfFilmy", fs);
    table.addLink(&link);
    table.setFileName(kPath);
    table.setIndexName("ID_CD");
    table.setFiltered(true);
    table.setFilter("ID_OSOBY=1");
    struct Hold
    {
        std::promise<void> promise;
        std::shared_future<void> released = promise.get_future().share();
        bool done = false;
        void release()
        {
            if (!done)
                promise.set_value();
            done = true;
        }
        ~Hold() { release(); } // before the table waits for its count
    } hold;
    table.setBackgroundCountDone([released = hold.released] { released.wait(); });
    table.open();
    ASSERT_TRUE(table.counting());
    EXPECT_EQ(table.recNo(), lent[0]);
    EXPECT_EQ(table.currentRow(), 0);
    EXPECT_EQ(table.provisionalRowCount(), n);
    for (int row = 0; row < 50; ++row)
        EXPECT_EQ(table.recordAtRow(row), lent[size_t(row)]) << row;
    table.next();
    EXPECT_EQ(table.recNo(), lent[1]);
    EXPECT_EQ(link.data, 0);

    hold.release();
    while (table.counting())
        std::this_thread::yield();
    table.finishCount();
    table.finishCount();
    EXPECT_EQ(link.data, 1);
    EXPECT_EQ(table.provisionalRowCount(), int(lent.size()));
    EXPECT_EQ(table.recordCount(), int(lent.size()));
    EXPECT_EQ(table.rowOfRecord(lent.back()), int(lent.size()) - 1);

    table.close();
    table.open();
    table.close(); // stops that count
    table.open();  // counted again; the delete waits for it
    table.deleteRecord();
    EXPECT_EQ(table.recordCount(), int(lent.size()) - 1);
    EXPECT_EQ(table.recNo(), lent[1]);
}

// A genre view set while the first count runs is read from the genre tag without waiting for
// the count (which is held until a watchdog lets it go): deleted films stay out, and the view
// agrees with the count once that ends.
TEST(TableBig, AGenreViewWhileTheCountRunsNeedsNoCount)
{
    MemoryFileSystem fs;
    std::vector<Film> films;
    const int n = 60001;
    for (int i = 1; i <= n; ++i)
        films.push_back({i, "Film " + std::to_string(i), i % 5 == 0 ? "Dramat" : "Komedia", "0"});
    makeFilms(fs, kPath, films);
    int dramas = n / 5, deleted = 0;
    {
        auto engine = TableEngine::open(fs, kPath, OpenMode::ReadWrite, ShareMode::Exclusive);
        for (uint32_t r = 10; r <= uint32_t(n); r += 1000, ++deleted, --dramas)
            engine->markDeleted(r); // a drama each
    }
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Table table("dbfFilmy", fs);
    table.setFileName(kPath);
    table.setIndexName("ID_CD");
    table.setBackgroundCountDone([released] { released.wait(); });
    table.open();
    ASSERT_TRUE(table.counting());
    auto watchdog = std::async(std::launch::async, [&release] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        release.set_value();
    });
    table.setFilter("GATUNEK='Dramat'");
    table.setFiltered(true);
    EXPECT_EQ(table.recordCount(), dramas);
    EXPECT_TRUE(table.counting()); // the view did not wait for the count
    EXPECT_EQ(table.asInteger("ID_CD"), 5);
    watchdog.get();
    table.finishCount();
    EXPECT_EQ(table.recordCount(), dramas);
    table.last();
    EXPECT_EQ(table.asInteger("ID_CD"), n - 1);
    table.setFiltered(false);
    EXPECT_EQ(table.recordCount(), n - deleted);
}

// A burst of posts is settled (synced, marked clean) by the table's idle timer, through the
// program's runner, once writes stop; without a runner it waits for close.
TEST_F(TableTest, PostsSettleOnTheIdleTimerThroughTheRunner)
{
    auto marked = [&] {
        const auto bytes = fs.fileBytes(kPath);
        return std::equal(bytes.begin() + 16, bytes.begin() + 20, "WLRK");
    };
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
    Table::setSettleRunner([&](std::function<void()> task) {
        std::lock_guard<std::mutex> lock(mutex);
        tasks.push_back(std::move(task));
    });
    table.setSettleDelay(20);
    table.open();
    table.edit();
    table.setString("T_PL", "Rejs");
    table.post();
    EXPECT_TRUE(marked()) << "the session is open after the post";
    for (int i = 0; i < 400; ++i) { // the timer fires 20 ms after the post
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::lock_guard<std::mutex> lock(mutex);
        if (!tasks.empty())
            break;
    }
    std::vector<std::function<void()>> due;
    {
        std::lock_guard<std::mutex> lock(mutex);
        due.swap(tasks);
    }
    ASSERT_EQ(due.size(), 1u);
    EXPECT_TRUE(marked()) << "nothing is written on the timer's thread";
    due[0]();
    EXPECT_FALSE(marked());
    Table::setSettleRunner(nullptr);
    table.edit();
    table.setString("T_PL", "Rejs 2");
    table.post();
    EXPECT_TRUE(marked());
    table.close();
    EXPECT_FALSE(marked()) << "close settles";
}
