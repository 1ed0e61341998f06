// Crash safety: the writer is stopped after the n-th write of a sequence of posts, for every n,
// and the surviving bytes are opened again.

#include "mdx.h"
#include "memfs.h"
#include "tableengine.h"

#include <gtest/gtest.h>

#include <functional>

using namespace welarik;

namespace {

FieldDesc field(const char *name, char type, uint8_t length)
{
    FieldDesc f;
    f.name = name;
    f.type = type;
    f.length = length;
    return f;
}

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
