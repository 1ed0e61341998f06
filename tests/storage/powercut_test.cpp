// SPDX-License-Identifier: GPL-3.0-or-later
// Power cuts: random posts on a films-like table and a number pool, settled now and then, cut
// at a random moment (between posts or inside one); the in-memory disk keeps what was synced
// and a random part of the later writes, torn at sector bounds. After each cut the tables must
// open, check sound, hold every post made before the last sync, and no live record may hold a
// byte that no post wrote there. WELARIK_POWERCUT_CUTS sets the number of cuts (a long run).

#include "memfs.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>

using namespace welarik;
using welarik::test::field;

namespace {

constexpr const char *kFilms = "F.DBF";
constexpr const char *kPool = "P.DBF";

// Every image each record position held at some moment (settled or not), and the memo texts
// posted: what a cut may leave.
struct History
{
    std::map<std::string, std::map<uint32_t, std::set<std::vector<uint8_t>>>> images;
    std::set<std::string> notes{""};

    void record(const MemoryFileSystem &fs, const char *table, const TableEngine &e)
    {
        const auto bytes = fs.fileBytes(table);
        const uint32_t header = uint32_t(bytes[8]) | uint32_t(bytes[9]) << 8;
        const uint32_t length = e.recordLength();
        for (uint32_t r = 1; header + uint64_t(r) * length <= bytes.size(); ++r) {
            const auto *at = bytes.data() + header + uint64_t(r - 1) * length;
            images[table][r].insert(std::vector<uint8_t>(at, at + length));
        }
    }
};

struct Tables
{
    std::unique_ptr<TableEngine> films, pool;
};

Tables openBoth(FileSystem &fs)
{
    return {TableEngine::open(fs, kFilms, OpenMode::ReadWrite, ShareMode::Exclusive),
            TableEngine::open(fs, kPool, OpenMode::ReadWrite, ShareMode::Exclusive)};
}

std::unique_ptr<MemoryFileSystem> baseImage()
{
    auto fs = std::make_unique<MemoryFileSystem>();
    auto films = TableEngine::create(*fs,
                                     kFilms,
                                     4,
                                     0x57,
                                     {field("NAME", 'C', 12),
                                      field("NUM", 'N', 4),
                                      field("NOTE", 'M', 10),
                                      field("CAST", 'C', 250),
                                      field("PLOT", 'C', 254)},
                                     {{"NAME", "UPPER(NAME)"}, {"NUM", "NUM"}});
    auto pool = TableEngine::create(*fs, kPool, 4, 0x57, {field("ID", 'N', 6)}, {});
    for (int i = 1; i <= 12; ++i) {
        RecordBuffer r = films->blankRecord();
        films->setFieldText(r, 0, "film " + std::to_string(i));
        films->setFieldText(r, 1, std::to_string(i));
        films->setFieldText(r, 3, std::string(200, char('a' + i)));
        films->append(r);
        RecordBuffer p = pool->blankRecord();
        pool->setFieldText(p, 0, std::to_string(100 + i));
        pool->append(p);
    }
    return fs;
}

// One random post: an append, a correction (often changing a key, sometimes the memo), a
// deletion, or the two-table command: a film takes a number from the pool, whose entry goes.
void randomPost(Tables &t, std::mt19937 &random, History &h, int serial)
{
    TableEngine &films = *t.films;
    const uint32_t count = films.recordCount();
    const std::string name = "tytuł " + std::to_string(serial);
    switch (random() % 5) {
    case 0:
    case 1: {
        RecordBuffer r = films.blankRecord();
        films.setFieldText(r, 0, name);
        films.setFieldText(r, 1, std::to_string(random() % 500));
        films.setFieldText(r, 3, std::string(100 + random() % 150, char('a' + serial % 26)));
        films.setFieldText(r, 4, std::string(random() % 254, 'x'));
        if (random() % 2) {
            const std::string note
                = "opis " + std::to_string(serial) + std::string(random() % 900, 'm');
            h.notes.insert(note);
            films.setFieldText(r, 2, note);
        }
        films.append(r);
        break;
    }
    case 2: {
        const uint32_t recno = 1 + random() % count;
        RecordBuffer r;
        films.readRecord(recno, r);
        if (random() % 2)
            films.setFieldText(r, 0, name);
        films.setFieldText(r, 1, std::to_string(random() % 500));
        if (random() % 2) {
            const std::string note = "zmiana " + std::to_string(serial);
            h.notes.insert(note);
            films.setFieldText(r, 2, note);
        }
        films.update(recno, r);
        break;
    }
    case 3:
        films.markDeleted(1 + random() % count);
        break;
    default: {
        TableEngine &pool = *t.pool;
        const uint32_t entry = 1 + random() % pool.recordCount();
        RecordBuffer p;
        pool.readRecord(entry, p);
        RecordBuffer r = films.blankRecord();
        films.setFieldText(r, 0, name);
        films.setFieldText(r, 1, pool.fieldText(p, 0));
        films.append(r);
        pool.markDeleted(entry);
        RecordBuffer fresh = pool.blankRecord();
        pool.setFieldText(fresh, 0, std::to_string(1000 + serial % 9000));
        pool.append(fresh);
    }
    }
}

// Raw record bytes of every record the open shows.
std::vector<std::vector<uint8_t>> rawRecords(const TableEngine &e)
{
    std::vector<std::vector<uint8_t>> rows;
    RecordBuffer r;
    for (uint32_t recno = 1; recno <= e.recordCount(); ++recno) {
        e.readRecord(recno, r);
        rows.push_back(r);
    }
    return rows;
}

// Empty when the table after the cut is one its posts could have left; else what is wrong.
std::string verifyTable(const TableEngine &e,
                        const std::vector<std::vector<uint8_t>> &settled,
                        const std::set<uint32_t> &touched,
                        const std::map<uint32_t, std::set<std::vector<uint8_t>>> &images,
                        const History &h)
{
    const CheckReport report = e.check();
    if (!report.sound()) {
        for (const CheckFinding &f : report.findings)
            if (f.fault)
                return e.path() + " unsound: " + f.where + ": " + f.text;
    }
    if (e.recordCount() < settled.size())
        return e.path() + ": lost records synced before the cut";
    const auto rows = rawRecords(e);
    const int memo = e.fieldIndex("NOTE");
    // A field the open blanked (a torn number, a memo that never arrived) is the repair's.
    auto blanked = [&](const std::vector<uint8_t> &row, size_t i) {
        for (const FieldDesc &f : e.fields())
            if (i >= f.offset && i < f.offset + f.length && std::strchr("NM", f.type))
                return std::all_of(row.begin() + f.offset,
                                   row.begin() + f.offset + f.length,
                                   [](uint8_t b) { return b == ' '; });
        return false;
    };
    for (uint32_t recno = 1; recno <= rows.size(); ++recno) {
        const auto &row = rows[recno - 1];
        const std::string where = e.path() + " record " + std::to_string(recno);
        if (recno <= settled.size() && !touched.count(recno) && row != settled[recno - 1])
            return where + " changed although no post touched it after the sync";
        const auto found = images.find(recno);
        for (size_t i = 0; i < row.size(); ++i) {
            const bool written = found != images.end()
                                 && std::any_of(found->second.begin(),
                                                found->second.end(),
                                                [&](const auto &img) { return img[i] == row[i]; });
            if (!written && !blanked(row, i))
                return where + ": byte " + std::to_string(i) + " was written by no post";
        }
        if (memo >= 0 && !TableEngine::isDeleted(row) && !h.notes.count(e.fieldText(row, memo)))
            return where + ": memo text no post wrote";
    }
    return {};
}

// One cut: returns what went wrong, empty when nothing did.
std::string runCut(const MemoryFileSystem &base, uint32_t seed)
{
    std::mt19937 random(seed);
    auto fs = base.snapshot();
    History h;
    std::map<std::string, std::vector<std::vector<uint8_t>>> settled;
    std::map<std::string, std::set<uint32_t>> touched;
    std::unique_ptr<MemoryFileSystem> cut;
    {
        Tables t = openBoth(*fs);
        auto snapshotState = [&] {
            h.record(*fs, kFilms, *t.films);
            h.record(*fs, kPool, *t.pool);
        };
        auto settleState = [&] {
            settled[kFilms] = rawRecords(*t.films);
            settled[kPool] = rawRecords(*t.pool);
            touched.clear();
        };
        snapshotState();
        settleState();
        const int posts = 1 + int(random() % 12);
        const bool insidePost = random() % 2;
        for (int i = 0; i < posts; ++i) {
            if (random() % 4 == 0) {
                t.films->settle();
                t.pool->settle();
                settleState();
            }
            const auto before = std::make_pair(rawRecords(*t.films), rawRecords(*t.pool));
            if (insidePost && i == posts - 1)
                fs->setWriteBudget(random() % 12);
            try {
                randomPost(t, random, h, int(seed % 100000) * 100 + i);
            } catch (const IoError &) {
            }
            snapshotState();
            const auto after = std::make_pair(rawRecords(*t.films), rawRecords(*t.pool));
            for (uint32_t r = 1; r <= after.first.size(); ++r)
                if (r > before.first.size() || before.first[r - 1] != after.first[r - 1])
                    touched[kFilms].insert(r);
            for (uint32_t r = 1; r <= after.second.size(); ++r)
                if (r > before.second.size() || before.second[r - 1] != after.second[r - 1])
                    touched[kPool].insert(r);
        }
        // The update of a record touched by a failed post may have reached the file too.
        for (const char *table : {kFilms, kPool})
            for (const auto &[r, imgs] : h.images[table])
                if (imgs.size() > 1)
                    touched[table].insert(r);
        cut = fs->powerCut(seed);
    } // the engines go without settling: the cut came first
    try {
        Tables t = openBoth(*cut);
        for (const auto &[table, engine] :
             {std::pair{kFilms, t.films.get()}, std::pair{kPool, t.pool.get()}}) {
            const std::string fault
                = verifyTable(*engine, settled[table], touched[table], h.images[table], h);
            if (!fault.empty())
                return fault;
        }
        // And the tables take new posts.
        RecordBuffer r = t.films->blankRecord();
        t.films->setFieldText(r, 0, "po awarii");
        t.films->append(r);
        if (!t.films->check().sound())
            return "unsound after a post that followed the cut";
    } catch (const StorageError &e) {
        return std::string("open after the cut failed: ") + e.what();
    }
    return {};
}

} // namespace

TEST(PowerCut, EveryCutLeavesTablesThatPostsLeftAndSyncedPostsSurvive)
{
    const auto base = baseImage();
    const char *cuts = std::getenv("WELARIK_POWERCUT_CUTS");
    const uint32_t n = cuts ? uint32_t(std::strtoul(cuts, nullptr, 10)) : 3000;
    const char *from = std::getenv("WELARIK_POWERCUT_FIRST"); // replays from that seed on
    const uint32_t first = from ? uint32_t(std::strtoul(from, nullptr, 10)) : 1;
    int failures = 0;
    for (uint32_t seed = first; seed < first + n && failures < 5; ++seed) {
        const std::string fault = runCut(*base, seed);
        if (!fault.empty()) {
            ADD_FAILURE() << "seed " << seed << ": " << fault;
            ++failures;
        }
    }
    RecordProperty("cuts", int(n));
}

// The simulated disk itself: a sync keeps everything; later writes survive in part.
TEST(PowerCut, SimulatedDiskKeepsSyncedStateAndTearsLaterWrites)
{
    MemoryFileSystem fs;
    auto f = fs.create("A", ShareMode::Exclusive);
    const std::vector<uint8_t> first(1024, 'a');
    f->writeAt(0, first.data(), first.size());
    f->sync();
    EXPECT_EQ(fs.powerCut(7)->fileBytes("A"), first);
    const std::vector<uint8_t> later(2048, 'b');
    f->writeAt(512, later.data(), later.size());
    std::set<std::vector<uint8_t>> outcomes;
    for (uint64_t seed = 0; seed < 64; ++seed) {
        const auto bytes = fs.powerCut(seed)->fileBytes("A");
        ASSERT_GE(bytes.size(), 1024u);
        EXPECT_TRUE(
            std::all_of(bytes.begin(), bytes.begin() + 512, [](uint8_t b) { return b == 'a'; }));
        for (size_t sector = 0; sector * 512 < bytes.size(); ++sector) {
            const auto begin = bytes.begin() + sector * 512;
            const auto end = bytes.begin() + std::min(bytes.size(), (sector + 1) * 512);
            EXPECT_TRUE(std::all_of(begin, end, [&](uint8_t b) { return b == *begin; }))
                << "a sector is whole, old or new";
        }
        outcomes.insert(bytes);
    }
    EXPECT_GT(outcomes.size(), 4u) << "different seeds keep different parts";
    f->sync();
    EXPECT_EQ(fs.powerCut(1)->fileBytes("A"), fs.fileBytes("A"));
}

// A burst of posts costs two rounds of syncs, on the first write and when it settles; opening
// a table left in a session that never ended reports what it dropped as a note.
TEST(PowerCut, ABurstSyncsTwiceAndAnOpenAfterACutReportsWhatItDropped)
{
    const auto base = baseImage();
    auto fs = base->snapshot();
    auto films = TableEngine::open(*fs, kFilms, OpenMode::ReadWrite, ShareMode::Exclusive);
    const uint64_t before = fs->syncCount();
    RecordBuffer r = films->blankRecord();
    films->setFieldText(r, 0, "seria");
    films->append(r);
    const uint64_t atStart = fs->syncCount() - before;
    for (int i = 0; i < 50; ++i)
        films->append(r);
    EXPECT_EQ(fs->syncCount() - before, atStart) << "no sync per post";
    EXPECT_FALSE(films->settled());
    films->settle();
    EXPECT_TRUE(films->settled());
    EXPECT_LE(fs->syncCount() - before, 8u);
    films->append(r);
    const uint32_t synced = films->recordCount() - 1;
    // The cut keeps the header's count but not the last record's bytes.
    auto cut = fs->snapshot();
    auto bytes = cut->fileBytes(kFilms);
    const uint32_t header = uint32_t(bytes[8]) | uint32_t(bytes[9]) << 8;
    std::fill(bytes.begin() + header + uint64_t(synced) * films->recordLength(), bytes.end(), 0);
    cut->setFileBytes(kFilms, bytes);
    {
        auto readOnly = TableEngine::open(*cut, kFilms, OpenMode::ReadOnly, ShareMode::Shared);
        EXPECT_EQ(readOnly->recordCount(), synced) << "served without the lost record";
        ASSERT_EQ(readOnly->openNotes().size(), 1u);
    }
    auto reopened = TableEngine::open(*cut, kFilms, OpenMode::ReadWrite, ShareMode::Exclusive);
    EXPECT_EQ(reopened->recordCount(), synced);
    const CheckReport report = reopened->check();
    EXPECT_TRUE(report.sound());
    ASSERT_EQ(report.notes(), 1);
    EXPECT_NE(report.findings[0].text.find("dropped"), std::string::npos);
    reopened.reset();
    auto again = TableEngine::open(*cut, kFilms, OpenMode::ReadWrite, ShareMode::Exclusive);
    EXPECT_TRUE(again->openNotes().empty()) << "the repair was settled at the open";
}

// check --repair on a table whose count covers records that never arrived (no session mark:
// another program's, or ours from before the mark existed) drops them.
TEST(PowerCut, RepairDropsRecordsOfNulBytesAtTheEnd)
{
    const auto base = baseImage();
    auto bytes = base->fileBytes(kPool);
    bytes.resize(bytes.size() - 1); // the end mark
    bytes.insert(bytes.end(), 14, 0);
    bytes[4] += 2;
    auto fs = base->snapshot();
    fs->setFileBytes(kPool, bytes);
    auto pool = TableEngine::open(*fs, kPool, OpenMode::ReadWrite, ShareMode::Exclusive);
    EXPECT_FALSE(pool->check().sound());
    const CheckReport report = pool->repair();
    EXPECT_TRUE(report.sound());
    EXPECT_EQ(pool->recordCount(), 12u);
    EXPECT_EQ(report.notes(), 1);
    pool.reset();
    EXPECT_EQ(fs->fileBytes(kPool)[4], 12) << "the header's count was lowered";
}
