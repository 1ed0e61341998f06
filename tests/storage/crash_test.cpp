// SPDX-License-Identifier: GPL-3.0-or-later
// Crash safety: the writer is stopped after the n-th write of a sequence of posts, for every n,
// and the surviving bytes are opened again.

#include "mdx.h"
#include "memfs.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace welarik;
using welarik::test::field;

namespace {

// What a reader sees of one record.
struct Row
{
    bool deleted;
    std::string name;
    std::string num;
    std::string note;
    friend bool operator==(const Row &, const Row &) = default;
};

std::vector<Row> readAll(const TableEngine &e)
{
    std::vector<Row> rows;
    RecordBuffer r;
    for (uint32_t recno = 1; recno <= e.recordCount(); ++recno) {
        e.readRecord(recno, r);
        rows.push_back(
            {TableEngine::isDeleted(r), e.fieldText(r, 0), e.fieldText(r, 1), e.fieldText(r, 2)});
    }
    return rows;
}

using Step = std::function<void(TableEngine &)>;

void put(TableEngine &e, uint32_t recno, const char *name, const char *num, const char *note)
{
    RecordBuffer r = e.blankRecord();
    if (recno)
        e.readRecord(recno, r);
    if (name)
        e.setFieldText(r, 0, name);
    if (num)
        e.setFieldText(r, 1, num);
    if (note)
        e.setFieldText(r, 2, note);
    if (recno)
        e.update(recno, r);
    else
        e.append(r);
}

// Inserts, key changes, memo changes and deletions.
const std::vector<Step> &steps()
{
    static const std::vector<Step> s = {
        [](TableEngine &e) { put(e, 0, "Żuraw", "5", "pierwsza notatka"); },
        [](TableEngine &e) { put(e, 0, "bocian", "3", nullptr); },
        [](TableEngine &e) { put(e, 1, "Czapla", nullptr, nullptr); },        // key change
        [](TableEngine &e) { put(e, 2, nullptr, nullptr, "druga notatka"); }, // memo only
        [](TableEngine &e) { e.markDeleted(1); },
        [](TableEngine &e) { put(e, 0, "łabędź", "9", "trzecia"); },
        [](TableEngine &e) { put(e, 3, nullptr, "1", ""); }, // numeric key, memo cleared
        [](TableEngine &e) { put(e, 2, "Albatros", "7", "czwarta"); },
    };
    return s;
}

std::unique_ptr<MemoryFileSystem> baseImage()
{
    auto fs = std::make_unique<MemoryFileSystem>();
    auto e = TableEngine::create(
        *fs,
        "C.DBF",
        4,
        0x57,
        {field("NAME", 'C', 12), field("NUM", 'N', 4), field("NOTE", 'M', 10)},
        {{"NAME", "UPPER(NAME)"}, {"NUM", "NUM"}});
    put(*e, 0, "Wróbel", "2", "stary wpis");
    return fs;
}

} // namespace

TEST(Crash, EveryStopPointLeavesCompletedPostsAndARebuildableIndex)
{
    const auto base = baseImage();
    // The states a reader may see: after k completed steps.
    std::vector<std::vector<Row>> states;
    uint64_t totalWrites = 0;
    {
        auto fs = base->snapshot();
        auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
        states.push_back(readAll(*e));
        fs->resetWriteCount();
        for (const Step &step : steps()) {
            step(*e);
            states.push_back(readAll(*e));
        }
        totalWrites = fs->writeCount();
    }
    ASSERT_GT(totalWrites, steps().size());

    int rebuilt = 0;
    for (uint64_t n = 0; n <= totalWrites; ++n) {
        SCOPED_TRACE("stopped after write " + std::to_string(n));
        auto fs = base->snapshot();
        size_t completed = 0;
        {
            auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
            fs->setWriteBudget(n);
            try {
                for (const Step &step : steps()) {
                    step(*e);
                    ++completed;
                }
            } catch (const IoError &) {
                // the process "dies" here
            }
        }
        auto crashed = fs->snapshot();
        {
            auto mdx = MdxFile::open(*crashed,
                                     "C.MDX",
                                     OpenMode::ReadOnly,
                                     ShareMode::Shared,
                                     {field("NAME", 'C', 12), field("NUM", 'N', 4)},
                                     CodePage::Cp1250);
            rebuilt += mdx->markAtOpen() == EngineMark::Writing;
        }
        // Read-only first: the files open and read, the index orders come from memory.
        {
            auto e = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadOnly, ShareMode::Exclusive);
            const std::vector<Row> rows = readAll(*e);
            const bool matches
                = rows == states[completed]
                  || (completed + 1 < states.size() && rows == states[completed + 1]);
            EXPECT_TRUE(matches) << "completed " << completed << ", rows " << rows.size();
            for (int tag = 0; tag < 2; ++tag) {
                TagCursor c = e->cursor(tag);
                size_t listed = 0;
                for (bool ok = c.first(); ok; ok = c.next())
                    ++listed;
                EXPECT_EQ(listed, rows.size());
            }
        }
        // Opening for writing rebuilds a half-written index; then everything checks.
        auto e = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
        const CheckReport report = e->check();
        EXPECT_TRUE(report.sound()) << (report.findings.empty() ? ""
                                                                : report.findings[0].where + ": "
                                                                      + report.findings[0].text);
        put(*e, 0, "po awarii", "99", "nowy"); // and it takes new posts
        EXPECT_TRUE(e->check().sound());
    }
    EXPECT_GT(rebuilt, 0) << "some stop points fall inside an index change";
}

TEST(Crash, ForeignIndexIsANoteAndIsRebuiltBeforeTheFirstWrite)
{
    const auto fs = baseImage();
    {
        auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
        put(*e, 0, "ćma", "4", nullptr);
        put(*e, 0, "Łoś", "6", nullptr);
    }
    // Another program's keys: only a-z upper-cased; no signature of ours.
    std::vector<IndexEntry> entries;
    FieldList fields;
    {
        auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadOnly, ShareMode::Shared);
        fields = e->fields();
        RecordBuffer r;
        for (uint32_t recno = 1; recno <= e->recordCount(); ++recno) {
            e->readRecord(recno, r);
            std::string key(reinterpret_cast<const char *>(r.data()) + 1, 12);
            for (char &c : key)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            entries.push_back({key, recno});
        }
    }
    {
        auto mdx = MdxFile::open(
            *fs, "C.MDX", OpenMode::ReadWrite, ShareMode::Exclusive, fields, CodePage::Cp1250);
        mdx->findTag("NAME")->build(entries);
    }
    std::vector<uint8_t> bytes = fs->fileBytes("C.MDX");
    std::fill_n(bytes.begin() + 48, 8, 0);
    fs->setFileBytes("C.MDX", bytes);

    {
        auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadOnly, ShareMode::Shared);
        const CheckReport report = e->check();
        EXPECT_TRUE(report.sound());
        ASSERT_EQ(report.notes(), 1);
        EXPECT_EQ(report.findings[0].where, "tag NAME");
    }
    auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    put(*e, 0, "żubr", "8", nullptr);
    const CheckReport report = e->check();
    EXPECT_TRUE(report.sound());
    EXPECT_EQ(report.notes(), 0) << "the foreign tag was rebuilt before the write";
    e.reset();
    auto mdx = MdxFile::open(
        *fs, "C.MDX", OpenMode::ReadOnly, ShareMode::Shared, fields, CodePage::Cp1250);
    EXPECT_EQ(mdx->markAtOpen(), EngineMark::Clean);
}

namespace {

// A base image with a few more records, and the stop points of one step run on it.
std::unique_ptr<MemoryFileSystem> busyImage()
{
    auto fs = baseImage();
    auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    for (int i = 0; i < 30; ++i)
        put(*e, 0, ("ptak " + std::to_string(i)).c_str(), std::to_string(i % 7).c_str(), "x");
    return fs;
}

uint64_t writesOf(const MemoryFileSystem &image, const Step &step)
{
    auto fs = image.snapshot();
    auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    fs->resetWriteCount();
    step(*e);
    return fs->writeCount();
}

// Runs step on a fresh copy of image, stopped after n writes; returns "the machine after the
// crash".
std::unique_ptr<MemoryFileSystem>
stoppedAfter(const MemoryFileSystem &image, const Step &step, uint64_t n)
{
    auto fs = image.snapshot();
    {
        auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
        fs->setWriteBudget(n);
        try {
            step(*e);
        } catch (const IoError &) {
        }
    }
    return fs->snapshot();
}

uint32_t headerCount(const MemoryFileSystem &fs)
{
    const auto b = fs.fileBytes("C.DBF");
    return uint32_t(b[4]) | uint32_t(b[5]) << 8 | uint32_t(b[6]) << 16 | uint32_t(b[7]) << 24;
}

EngineMark markOf(MemoryFileSystem &fs)
{
    return MdxFile::open(fs,
                         "C.MDX",
                         OpenMode::ReadOnly,
                         ShareMode::Shared,
                         {field("NAME", 'C', 12), field("NUM", 'N', 4)},
                         CodePage::Cp1250)
        ->markAtOpen();
}

std::string findings(const CheckReport &r)
{
    std::string s;
    for (const auto &f : r.findings)
        s += (f.fault ? "fault " : "note ") + f.where + ": " + f.text + "\n";
    return s;
}

size_t listed(const TableEngine &e, int tag)
{
    TagCursor c = e.cursor(tag);
    size_t n = 0;
    for (bool ok = c.first(); ok; ok = c.next())
        ++n;
    return n;
}

const Step kAppend = [](TableEngine &e) {
    put(e, 0, "Dzięcioł", "4", "nowa notatka");
};
const Step kKeyChange = [](TableEngine &e) {
    put(e, 5, "Sikora", "6", nullptr);
};

} // namespace

// A write that fails half way (the file layer throws) must not spoil later writes of the same
// session: the index is rebuilt before the next write, and reads meanwhile list every record.
TEST(Crash, AFailedWriteIsFollowedByConsistentWritesInTheSameSession)
{
    const auto base = busyImage();
    for (const Step &failing : {kAppend, kKeyChange}) {
        const uint64_t total = writesOf(*base, failing);
        for (uint64_t n = 0; n < total; ++n) {
            SCOPED_TRACE("failed after write " + std::to_string(n) + " of "
                         + std::to_string(total));
            auto fs = base->snapshot();
            auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
            fs->setWriteBudget(n);
            EXPECT_THROW(failing(*e), IoError);
            fs->setWriteBudget(std::nullopt);
            for (int tag = 0; tag < 2; ++tag)
                EXPECT_EQ(listed(*e, tag), e->recordCount());
            // Further changes of every kind, key changes of the same records included.
            put(*e, 5, "Kos", "2", "zmiana");
            put(*e, 0, "Gil", "3", nullptr);
            put(*e, e->recordCount(), "Zięba", "1", nullptr);
            e->markDeleted(7);
            const CheckReport report = e->check();
            EXPECT_TRUE(report.sound()) << findings(report);
            EXPECT_EQ(report.notes(), 0) << findings(report);
            e.reset();
            auto after = fs->snapshot();
            EXPECT_EQ(markOf(*after), EngineMark::Clean);
            auto reopened
                = TableEngine::open(*after, "C.DBF", OpenMode::ReadOnly, ShareMode::Shared);
            EXPECT_TRUE(reopened->check().sound()) << findings(reopened->check());
        }
    }
}

// repair() in the session of a failed write rebuilds the whole index; an index of ours left
// "write in progress" with keys that disagree is reported as faulty (not as another program's
// keys) and is rebuilt by opening for writing.
TEST(Crash, RepairAndCheckOfAnIndexLeftWriteInProgress)
{
    const auto base = busyImage();
    const uint64_t total = writesOf(*base, kKeyChange);
    int halfWritten = 0;
    for (uint64_t n = 1; n < total; ++n) {
        SCOPED_TRACE("stopped after write " + std::to_string(n));
        {
            auto fs = base->snapshot();
            auto e = TableEngine::open(*fs, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
            fs->setWriteBudget(n);
            EXPECT_THROW(kKeyChange(*e), IoError);
            fs->setWriteBudget(std::nullopt);
            EXPECT_FALSE(e->check().sound()) << "the failed write is reported";
            const CheckReport repaired = e->repair();
            EXPECT_TRUE(repaired.sound()) << findings(repaired);
            EXPECT_EQ(repaired.notes(), 0) << findings(repaired);
            e.reset();
            EXPECT_EQ(markOf(*fs), EngineMark::Clean);
        }
        auto crashed = stoppedAfter(*base, kKeyChange, n);
        ASSERT_EQ(markOf(*crashed), EngineMark::Writing);
        {
            auto e = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadOnly, ShareMode::Shared);
            const CheckReport report = e->check();
            EXPECT_FALSE(report.sound());
            RecordBuffer r;
            e->readRecord(5, r);
            if (e->fieldText(r, 0).rfind("Sikora", 0) == 0) {
                // The record was written, its keys were not (all of them): the tag is faulty.
                const bool tagFault
                    = std::any_of(report.findings.begin(),
                                  report.findings.end(),
                                  [](const CheckFinding &f) { return f.where == "tag NAME"; });
                halfWritten += tagFault;
                for (const CheckFinding &f : report.findings)
                    EXPECT_TRUE(f.fault) << f.where << ": " << f.text;
            }
        }
        auto e = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
        const CheckReport report = e->check();
        EXPECT_TRUE(report.sound()) << findings(report);
        EXPECT_EQ(report.notes(), 0) << findings(report);
    }
    EXPECT_GT(halfWritten, 0) << "some stop point leaves the record written and its keys not";
}

// A cut-off append: before its count is written the record is a harmless leftover (a note) that
// the next append overwrites; once the count is written but not the keys, opening for writing
// rebuilds the index and the record is sound in every tag.
TEST(Crash, CutOffAppends)
{
    const auto base = busyImage();
    const uint32_t count = headerCount(*base);
    const size_t size = base->fileBytes("C.DBF").size();
    const uint64_t total = writesOf(*base, kAppend);
    bool leftover = false, liveWithoutKeys = false;
    for (uint64_t n = 0; n < total; ++n) {
        SCOPED_TRACE("stopped after write " + std::to_string(n));
        auto crashed = stoppedAfter(*base, kAppend, n);
        const size_t grown = crashed->fileBytes("C.DBF").size();
        if (headerCount(*crashed) == count && grown > size) {
            leftover = true;
            {
                auto e
                    = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadOnly, ShareMode::Shared);
                // The leftover is a note; the index (marked before the record was written)
                // is reported as mid-write until opening for writing rebuilds it.
                const CheckReport report = e->check();
                ASSERT_EQ(report.notes(), 1) << findings(report);
                for (const CheckFinding &f : report.findings)
                    EXPECT_TRUE(f.fault ? f.where == "index" : f.where == "table") << f.text;
                EXPECT_EQ(e->recordCount(), count);
            }
            auto e
                = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
            put(*e, 0, "Czyżyk", "5", nullptr);
            EXPECT_EQ(e->recordCount(), count + 1);
            const CheckReport report = e->check();
            EXPECT_TRUE(report.sound()) << findings(report);
            EXPECT_EQ(report.notes(), 0) << findings(report);
            e.reset();
            EXPECT_EQ(crashed->fileBytes("C.DBF").size(), grown) << "the leftover was overwritten";
        }
        if (headerCount(*crashed) == count + 1 && markOf(*crashed) == EngineMark::Writing) {
            liveWithoutKeys = true;
            {
                auto e
                    = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadOnly, ShareMode::Shared);
                EXPECT_FALSE(e->check().sound()) << "an index mid-write is not trusted";
                for (int tag = 0; tag < 2; ++tag)
                    EXPECT_EQ(listed(*e, tag), count + 1);
            }
            auto e
                = TableEngine::open(*crashed, "C.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
            const CheckReport report = e->check();
            EXPECT_TRUE(report.sound()) << findings(report);
            EXPECT_EQ(report.notes(), 0) << findings(report);
            RecordBuffer added;
            e->readRecord(count + 1, added);
            for (int tag = 0; tag < 2; ++tag) {
                TagCursor c = e->cursor(tag);
                EXPECT_TRUE(c.seekEntry(e->keyOf(tag, added.data()), count + 1));
                EXPECT_EQ(c.recno(), count + 1);
            }
        }
    }
    EXPECT_TRUE(leftover);
    EXPECT_TRUE(liveWithoutKeys);
}
