// SPDX-License-Identifier: GPL-3.0-or-later
// Packing and the catalogue tools built on it: live records kept byte for byte, the memo and
// index written anew, a kill at every write of a pack, cancelling, a copy under another name,
// tidying with its dated copy, emptying the films table, and a new catalogue.

#include "cataloguetools.h"
#include "demo.h"
#include "memfs.h"
#include "pack.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace welarik;

namespace {

const std::string kDir = "cat";
const std::string kFilms = "cat/FILMY.DBF";

// Every live record as stored, its memo pointers replaced by the memo texts: what a pack
// must keep byte for byte.
std::vector<std::string> liveRecords(const TableEngine &e)
{
    std::vector<std::string> rows;
    e.scan([&](uint32_t, const uint8_t *record) {
        if (record[0] == '*')
            return true;
        std::string row;
        for (size_t f = 0; f < e.fields().size(); ++f) {
            const FieldDesc &d = e.fields()[f];
            row += d.type == 'M'
                       ? "<" + e.fieldText(record, int(f)) + ">"
                       : std::string(reinterpret_cast<const char *>(record) + d.offset, d.length);
        }
        rows.push_back(row);
        return true;
    });
    return rows;
}

std::vector<std::string> liveRecords(FileSystem &fs, const std::string &path)
{
    return liveRecords(*TableEngine::open(fs, path, OpenMode::ReadOnly, ShareMode::Shared));
}

// A demo catalogue of n generated films after churn, then every third film deleted.
std::unique_ptr<MemoryFileSystem> churnedCatalogue(uint32_t films, uint32_t churn)
{
    auto fs = std::make_unique<MemoryFileSystem>();
    EngineDemoWriter writer;
    DemoOptions options;
    options.films = films;
    options.churn = churn;
    createDemoCatalogue(*fs, kDir, options, writer);
    auto e = TableEngine::open(*fs, kFilms, OpenMode::ReadWrite, ShareMode::Exclusive);
    for (uint32_t recno = 1; recno <= e->recordCount(); recno += 3)
        e->markDeleted(recno);
    return fs;
}

void expectSound(FileSystem &fs, const std::string &path)
{
    auto e = TableEngine::open(fs, path, OpenMode::ReadOnly, ShareMode::Shared);
    const CheckReport report = e->check();
    EXPECT_TRUE(report.sound()) << path << ": " << report.findings.front().text;
    EXPECT_EQ(report.notes(), 0) << path << ": " << report.findings.front().text;
}

} // namespace

TEST(Pack, KeepsEveryLiveRecordAndDropsDeletedRecordsAndDeadMemoBlocks)
{
    auto fs = churnedCatalogue(300, 400);
    const std::vector<std::string> before = liveRecords(*fs, kFilms);
    const auto memoBefore = fs->fileBytes("cat/FILMY.DBT").size();

    const PackResult r = packTable(*fs, kFilms);

    EXPECT_EQ(liveRecords(*fs, kFilms), before);
    EXPECT_EQ(r.recordsAfter, before.size());
    EXPECT_GT(r.recordsBefore, r.recordsAfter);
    EXPECT_LT(r.bytesAfter, r.bytesBefore);
    EXPECT_LT(fs->fileBytes("cat/FILMY.DBT").size(), memoBefore);
    auto e = TableEngine::open(*fs, kFilms, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(e->recordCount(), before.size()); // no deleted record left
    // The tags order the packed records: the CD numbers come out ascending.
    TagCursor c = e->cursor(e->tagIndex("ID_CD"));
    RecordBuffer rec;
    int64_t last = 0;
    uint32_t seen = 0;
    for (bool ok = c.first(); ok; ok = c.next(), ++seen) {
        e->readRecord(c.recno(), rec);
        const int64_t n = e->fieldInteger(rec.data(), e->fieldIndex("ID_CD"));
        EXPECT_GT(n, last);
        last = n;
    }
    EXPECT_EQ(seen, before.size());
    e.reset();
    expectSound(*fs, kFilms);
    for (const std::string &name : fs->fileNames())
        EXPECT_EQ(name.find(".new"), std::string::npos) << name;
}

TEST(Pack, TheIndependentCheckerAcceptsAPackedCatalogue)
{
    test::TempDir dir;
    EngineDemoWriter writer;
    DemoOptions options;
    options.films = 500;
    options.churn = 800;
    createDemoCatalogue(FileSystem::real(), dir.path().string(), options, writer);
    const CataloguePaths paths
        = cataloguePaths(FileSystem::real(), dir.file("FILMY.DBF"), dir.file("BAZY/"));
    const std::vector<std::string> before = liveRecords(FileSystem::real(), paths.films);
    const TidyReport report = tidyCatalogue(FileSystem::real(), paths);
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(report.tables.size(), 6u);
    EXPECT_EQ(liveRecords(FileSystem::real(), paths.films), before);
    std::string output;
    EXPECT_EQ(test::runVerifier(allTables(paths), output), 0) << output;
    // The dated copy holds the tables as they were, films beside the BAZY folder.
    EXPECT_EQ(test::readBytes(report.backupFolder + "BAZY/NRFILM.DBF").size() > 0, true);
    EXPECT_EQ(liveRecords(FileSystem::real(), report.backupFolder + "FILMY.DBF"), before);
    EXPECT_NE(report.backupFolder.find("/kopia-"), std::string::npos);
}

// The pack is stopped at its n-th write for every n; whatever survives opens as the old table
// or the packed one, whole, with the same live records.
TEST(Pack, AKillAtEveryWriteLeavesTheOldOrTheNewTable)
{
    const auto base = churnedCatalogue(40, 60);
    const std::vector<std::string> live = liveRecords(*base, kFilms);
    const uint32_t physical
        = TableEngine::open(*base, kFilms, OpenMode::ReadOnly, ShareMode::Shared)->recordCount();
    uint64_t writes = 0;
    {
        auto fs = base->snapshot();
        fs->resetWriteCount();
        packTable(*fs, kFilms);
        writes = fs->writeCount();
    }
    ASSERT_GT(writes, 10u);
    int sawOld = 0;
    int sawNew = 0;
    for (uint64_t n = 0; n <= writes; ++n) {
        auto fs = base->snapshot();
        fs->setWriteBudget(n);
        try {
            packTable(*fs, kFilms);
        } catch (const IoError &) {
        }
        auto after = fs->snapshot(); // the machine after the kill
        auto e = TableEngine::open(*after, kFilms, OpenMode::ReadOnly, ShareMode::Shared);
        ASSERT_TRUE(e->recordCount() == physical || e->recordCount() == live.size()) << n;
        (e->recordCount() == physical ? sawOld : sawNew)++;
        ASSERT_EQ(liveRecords(*e), live) << "killed after write " << n;
        ASSERT_TRUE(e->check().sound()) << "killed after write " << n;
    }
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

TEST(Pack, CancellingLeavesTheFilesAsTheyWere)
{
    auto fs = churnedCatalogue(9000, 0);
    const auto bytes = fs->fileBytes(kFilms);
    const auto memo = fs->fileBytes("cat/FILMY.DBT");
    int calls = 0;
    EXPECT_THROW(packTable(*fs, kFilms, [&calls](uint64_t, uint64_t) { return ++calls < 2; }),
                 PackCancelled);
    EXPECT_EQ(fs->fileBytes(kFilms), bytes);
    EXPECT_EQ(fs->fileBytes("cat/FILMY.DBT"), memo);
    for (const std::string &name : fs->fileNames())
        EXPECT_EQ(name.find(".new"), std::string::npos) << name;
}

TEST(Pack, ACopyUnderAnotherNameLeavesTheOriginal)
{
    auto fs = churnedCatalogue(60, 50);
    const auto original = fs->fileBytes(kFilms);
    const std::vector<std::string> live = liveRecords(*fs, kFilms);
    copyTable(*fs, kFilms, "cat/KOPIA.DBF");
    EXPECT_EQ(fs->fileBytes(kFilms), original);
    EXPECT_EQ(liveRecords(*fs, "cat/KOPIA.DBF"), live);
    expectSound(*fs, "cat/KOPIA.DBF");
    // The memo names its table: the copy's, not the original's.
    const auto memo = fs->fileBytes("cat/KOPIA.DBT");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(memo.data()) + 8, 5), "KOPIA");
}

TEST(Pack, EmptyingKeepsACopyAndTheTablesLayout)
{
    auto fs = churnedCatalogue(50, 0);
    const std::vector<std::string> live = liveRecords(*fs, kFilms);
    const std::string folder = emptyFilmsTable(*fs, kFilms, 0);
    auto e = TableEngine::open(*fs, kFilms, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(e->recordCount(), 0u);
    EXPECT_EQ(e->fields().size(), filmsLayout().fields.size());
    EXPECT_EQ(e->tags().size(), 4u);
    e.reset();
    expectSound(*fs, kFilms);
    EXPECT_EQ(folder, "cat/" + backupFolderName(0) + "/");
    EXPECT_EQ(liveRecords(*fs, folder + "FILMY.DBF"), live);
    // A second copy in the same second does not overwrite the first.
    EXPECT_EQ(emptyFilmsTable(*fs, kFilms, 0), "cat/" + backupFolderName(0) + "-2/");
    EXPECT_EQ(liveRecords(*fs, folder + "FILMY.DBF"), live);
}

TEST(Pack, ANewCatalogueLaysOutOnlyTheMissingSideTables)
{
    MemoryFileSystem fs;
    createCatalogue(fs, "a/FILMY.DBF", "a/BAZY/");
    auto genres
        = TableEngine::open(fs, "a/BAZY/GATUNEKF.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    RecordBuffer r = genres->blankRecord();
    genres->setFieldText(r, 0, "Dramat");
    genres->append(r);
    genres.reset();

    const CataloguePaths paths = createCatalogue(fs, "a/INNA.DBF", "a/BAZY/");
    EXPECT_EQ(liveRecords(fs, paths.genres).size(), 1u); // kept
    auto films = TableEngine::open(fs, paths.films, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(films->recordCount(), 0u);
    EXPECT_EQ(films->ldid(), 0xC8);
    EXPECT_EQ(films->level(), 4);
    EXPECT_TRUE(films->hasMemo());
    EXPECT_EQ(films->tags().size(), 4u);
    auto config = TableEngine::open(fs, paths.config, OpenMode::ReadOnly, ShareMode::Shared);
    RecordBuffer c;
    config->readRecord(1, c);
    EXPECT_EQ(config->fieldInteger(c.data(), 0), 1);
}

// The whole tidy stopped at every write: each of the six tables opens, sound, with the records
// it had (packed or not), whatever the moment.
TEST(Pack, AKillAtEveryWriteOfATidyLeavesEveryTableWhole)
{
    const auto base = churnedCatalogue(30, 30);
    const CataloguePaths paths = cataloguePaths(*base, kFilms, "cat/BAZY/");
    std::vector<std::vector<std::string>> before;
    for (const std::string &table : allTables(paths))
        before.push_back(liveRecords(*base, table));
    uint64_t writes = 0;
    {
        auto fs = base->snapshot();
        fs->resetWriteCount();
        tidyCatalogue(*fs, paths, {}, 0);
        writes = fs->writeCount();
    }
    for (uint64_t n = 0; n <= writes; ++n) {
        auto fs = base->snapshot();
        fs->setWriteBudget(n);
        try {
            tidyCatalogue(*fs, paths, {}, 0);
        } catch (const IoError &) {
        }
        auto after = fs->snapshot();
        for (size_t t = 0; t < before.size(); ++t) {
            const std::string table = allTables(paths)[t];
            auto e = TableEngine::open(*after, table, OpenMode::ReadOnly, ShareMode::Shared);
            ASSERT_EQ(liveRecords(*e), before[t]) << table << ", killed after write " << n;
            ASSERT_TRUE(e->check().sound()) << table << ", killed after write " << n;
        }
    }
}
