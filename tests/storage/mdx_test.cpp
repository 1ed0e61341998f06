// SPDX-License-Identifier: GPL-3.0-or-later
// The production index against the sample files, and our own writes checked by us and by the
// independent checker.

#include "bcd.h"
#include "dbf.h"
#include "mdx.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace welarik;
using namespace welarik::test;

namespace {

struct Opened
{
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MdxFile> mdx;
    RecordReader reader() const
    {
        return [this](uint32_t r, std::vector<uint8_t> &rec) {
            rec.resize(dbf->recordLength());
            dbf->readRecord(r, rec.data());
        };
    }
};

Opened openPair(const std::string &dbfPath, const std::string &mdxPath, OpenMode mode)
{
    Opened o;
    o.dbf = DbfFile::open(FileSystem::real(), dbfPath, mode, ShareMode::Shared);
    o.mdx = MdxFile::open(
        FileSystem::real(), mdxPath, mode, ShareMode::Shared, o.dbf->fields(), o.dbf->codePage());
    return o;
}

// Walks a tag forwards and backwards and checks the order against the records' own keys.
void expectTagMatchesRecords(Opened &o, MdxTag &tag)
{
    std::vector<IndexEntry> expected;
    std::vector<uint8_t> rec(o.dbf->recordLength());
    for (uint32_t r = 1; r <= o.dbf->recordCount(); ++r) {
        o.dbf->readRecord(r, rec.data());
        expected.push_back({tag.keyFor(rec.data(), rec.size()), r});
    }
    std::stable_sort(expected.begin(), expected.end(), [&](const auto &a, const auto &b) {
        int c = compareKeys(tag.keyType(), a.key, b.key);
        return tag.descending() ? c > 0 : c < 0;
    });
    std::vector<uint32_t> forward, backward;
    for (MdxCursor c = tag.first(); c.valid(); c.next())
        forward.push_back(c.recno());
    for (MdxCursor c = tag.last(); c.valid(); c.prior())
        backward.push_back(c.recno());
    std::reverse(backward.begin(), backward.end());
    ASSERT_EQ(forward.size(), expected.size()) << tag.name();
    EXPECT_EQ(forward, backward) << tag.name();
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(forward[i], expected[i].recno) << tag.name() << " position " << i;
}

} // namespace

TEST(MdxFixtures, DbaseIvSampleReadsBothTags)
{
    auto o = openPair(
        fixturePath("jdbfdriver/TEST.DBF"), fixturePath("jdbfdriver/TEST.MDX"), OpenMode::ReadOnly);
    ASSERT_EQ(o.mdx->tagCount(), 2u);
    EXPECT_EQ(o.mdx->version(), 2);
    EXPECT_EQ(o.mdx->markAtOpen(), EngineMark::Absent);
    MdxTag &c = *o.mdx->findTag("test1");
    MdxTag &n = *o.mdx->findTag("TEST2");
    EXPECT_EQ(c.keyType(), 'C');
    EXPECT_EQ(c.keyLength(), 50);
    EXPECT_EQ(n.keyType(), 'N');
    EXPECT_TRUE(c.evaluable());
    EXPECT_TRUE(n.evaluable());
    expectTagMatchesRecords(o, c);
    expectTagMatchesRecords(o, n);
    std::vector<uint32_t> order;
    for (MdxCursor cur = n.first(); cur.valid(); cur.next())
        order.push_back(cur.recno());
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 3, 2})); // 10, 15, 20
    uint8_t fifteen[kBcdKeyLength];
    ASSERT_TRUE(encodeBcd("15", fifteen));
    MdxCursor s = n.seek(std::string(reinterpret_cast<char *>(fifteen), kBcdKeyLength));
    ASSERT_TRUE(s.valid());
    EXPECT_EQ(s.recno(), 3u);
    EXPECT_EQ(c.check(o.dbf->recordCount(), o.reader()).health, TagHealth::Sound);
    EXPECT_EQ(n.check(o.dbf->recordCount(), o.reader()).health, TagHealth::Sound);
}

TEST(MdxFixtures, ThreeLevelTreeAndSecondWriter)
{
    auto o = openPair(
        fixturePath("tdbf/disco.DBF"), fixturePath("tdbf/disco.mdx"), OpenMode::ReadOnly);
    for (size_t i = 0; i < o.mdx->tagCount(); ++i)
        expectTagMatchesRecords(o, o.mdx->tag(i));
    MdxTag *author = o.mdx->findTag("AUTHOR");
    ASSERT_NE(author, nullptr);
    TagReport r = author->check(o.dbf->recordCount(), o.reader());
    EXPECT_EQ(r.keys, 1561u);
    EXPECT_EQ(r.depth, 3u);
    EXPECT_NE(r.health, TagHealth::Faulty) << (r.faults.empty() ? "" : r.faults[0]);
    // Seek by prefix lands on the first matching author; nearest key when absent.
    MdxCursor first = author->first();
    std::string prefix = first.key().substr(0, 3);
    MdxCursor s = author->seek(prefix);
    ASSERT_TRUE(s.valid());
    EXPECT_EQ(s.recno(), first.recno());
    EXPECT_TRUE(author->matches(s, prefix));

    auto demo = openPair(
        fixturePath("tdbf/TDBF_DEMO.DBF"), fixturePath("tdbf/tdbf_demo.mdx"), OpenMode::ReadOnly);
    ASSERT_GE(demo.mdx->tagCount(), 1u);
    EXPECT_EQ(demo.mdx->languageDriver(), 0x58);
    for (size_t i = 0; i < demo.mdx->tagCount(); ++i)
        expectTagMatchesRecords(demo, demo.mdx->tag(i));
}

namespace {

FieldList filmFields()
{
    FieldList f = {{"ID_CD", 'N', 10, 0}, {"T_PL", 'C', 40, 0}, {"OPIS", 'C', 120, 0}};
    return f;
}

struct Built
{
    TempDir dir;
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MdxFile> mdx;
    RecordReader reader()
    {
        return [this](uint32_t r, std::vector<uint8_t> &rec) {
            rec.resize(dbf->recordLength());
            dbf->readRecord(r, rec.data());
        };
    }
    std::vector<uint8_t> record(int id, const std::string &title)
    {
        auto rec = dbf->blankRecord();
        dbf->codec().setInteger(dbf->fields()[0], rec.data(), id);
        dbf->codec().setText(dbf->fields()[1], rec.data(), title);
        dbf->codec().setText(dbf->fields()[2], rec.data(), title + " / " + title);
        return rec;
    }
};

void build(Built &b, const std::vector<TagDefinition> &tags)
{
    DbfLayout layout;
    layout.fields = filmFields();
    layout.ldid = 0x57;
    b.dbf = DbfFile::create(FileSystem::real(), b.dir.file("FILMY.DBF"), layout);
    b.dbf->setProductionIndex(true);
    b.mdx = MdxFile::create(FileSystem::real(),
                            b.dir.file("FILMY.MDX"),
                            ShareMode::Exclusive,
                            {"FILMY", 0x57, b.dbf->fields(), b.dbf->codePage(), tags});
}

std::string randomTitle(std::mt19937 &rng)
{
    static const char *words[] = {"Alfa", "żółw", "Łódź", "beta", "Ąkacja", "zorro", "Ćma", "x"};
    std::string t;
    for (int i = 0, n = 1 + static_cast<int>(rng() % 3); i < n; ++i)
        t += std::string(i ? " " : "") + words[rng() % 8];
    return t;
}

// Seeks of prefixes of every length (with their last byte as found and one higher) land where
// a walk says: on the first entry that does not begin before the prefix in tag order.
void expectSeeksAgreeWithAWalk(MdxTag &tag)
{
    std::vector<std::string> keys;
    for (MdxCursor c = tag.first(); c.valid(); c.next())
        keys.push_back(c.key());
    ASSERT_GT(keys.size(), 100u);
    for (size_t k = 0; k < keys.size(); k += 37) {
        for (const size_t n : {1, 5, 8, 9, 12, 16, 17, 24}) {
            for (const int bump : {0, 1}) {
                std::string p = keys[k].substr(0, n);
                p.back() = static_cast<char>(p.back() + bump);
                size_t at = 0;
                while (at < keys.size()) {
                    const int c = compareKeys('C', keys[at].substr(0, p.size()), p);
                    if (tag.descending() ? c <= 0 : c >= 0)
                        break;
                    ++at;
                }
                const MdxCursor c = tag.seek(p);
                ASSERT_EQ(c.valid(), at < keys.size()) << tag.name() << " '" << p << "'";
                EXPECT_EQ(c.valid() ? c.key() : "", at < keys.size() ? keys[at] : "") << p;
            }
        }
    }
}

} // namespace

TEST(MdxWrite, ManyChangesKeepEveryTagValid)
{
    Built b;
    build(b,
          {{"ID_CD", "ID_CD"},
           {"T_PL", "UPPER(T_PL)"},
           {"OPIS", "LEFT(OPIS,100)"},
           {"TDESC", "t_pl", false, true}});
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> live;
    b.mdx->markWriting();
    for (int i = 1; i <= 3000; ++i) {
        auto rec = b.record(static_cast<int>(rng() % 500), randomTitle(rng));
        uint32_t recno = b.dbf->appendRecord(rec.data());
        for (size_t t = 0; t < b.mdx->tagCount(); ++t)
            ASSERT_TRUE(b.mdx->tag(t).insertRecord(rec.data(), rec.size(), recno));
        live.push_back(rec);
    }
    // Key changes: remove old key + insert new.
    for (int i = 0; i < 4000; ++i) {
        uint32_t recno = 1 + static_cast<uint32_t>(rng() % live.size());
        auto rec = b.record(static_cast<int>(rng() % 500), randomTitle(rng));
        for (size_t t = 0; t < b.mdx->tagCount(); ++t)
            b.mdx->tag(t).updateRecord(live[recno - 1].data(), rec.data(), rec.size(), recno);
        b.dbf->writeRecord(recno, rec.data());
        live[recno - 1] = rec;
    }
    b.mdx->markClean();
    for (size_t t = 0; t < b.mdx->tagCount(); ++t) {
        TagReport r = b.mdx->tag(t).check(b.dbf->recordCount(), b.reader());
        EXPECT_EQ(r.health, TagHealth::Sound) << (r.faults.empty() ? "" : r.faults[0]);
        EXPECT_GE(r.depth, 2u);
    }
    // Many removals shrink the tree (merges); removing an absent entry changes nothing.
    MdxTag &id = *b.mdx->findTag("ID_CD");
    uint32_t depthBefore = id.check(b.dbf->recordCount(), b.reader()).depth;
    EXPECT_FALSE(id.remove(id.first().key(), 99999));
    for (uint32_t r = 1; r <= 2990; ++r)
        ASSERT_TRUE(id.removeRecord(live[r - 1].data(), live[r - 1].size(), r)) << r;
    EXPECT_EQ(id.countKeys(), 10u);
    TagReport small = id.check(b.dbf->recordCount(), b.reader());
    EXPECT_LT(small.depth, depthBefore);
    EXPECT_EQ(small.health, TagHealth::Faulty); // records 1..2990 are now missing
    std::vector<IndexEntry> all;
    for (uint32_t r = 1; r <= 2990; ++r)
        ASSERT_TRUE(id.insertRecord(live[r - 1].data(), live[r - 1].size(), r));
    EXPECT_EQ(id.check(b.dbf->recordCount(), b.reader()).health, TagHealth::Sound);
    b.dbf->setDeleted(5, true); // dBase keeps deleted records in its tags

    std::string mdxPath = b.mdx->path();
    b.mdx.reset();
    b.dbf->flush();
    b.dbf.reset();
    std::string out;
    EXPECT_EQ(runVerifier({b.dir.file("FILMY.DBF")}, out), 0) << out;

    // Reopen: our signature is there, clean; a cursor still walks the tree in order.
    auto o = openPair(b.dir.file("FILMY.DBF"), mdxPath, OpenMode::ReadWrite);
    EXPECT_EQ(o.mdx->markAtOpen(), EngineMark::Clean);
    expectTagMatchesRecords(o, *o.mdx->findTag("T_PL"));
    expectTagMatchesRecords(o, *o.mdx->findTag("TDESC"));
    expectSeeksAgreeWithAWalk(*o.mdx->findTag("T_PL"));
    expectSeeksAgreeWithAWalk(*o.mdx->findTag("TDESC"));
}

TEST(MdxWrite, BulkBuildUniqueSearchAndCursorAcrossWrites)
{
    Built b;
    build(b, {{"ID_CD", "ID_CD", true}, {"T_PL", "UPPER(T_PL)"}});
    std::vector<IndexEntry> ids, titles;
    for (int i = 1; i <= 2000; ++i) {
        auto rec = b.record(i % 700, i % 3 ? "łódź " + std::to_string(i) : "Zebra");
        uint32_t r = b.dbf->appendRecord(rec.data());
        ids.push_back({b.mdx->tag(0).keyFor(rec.data(), rec.size()), r});
        titles.push_back({b.mdx->tag(1).keyFor(rec.data(), rec.size()), r});
    }
    b.mdx->tag(0).build(ids);
    b.mdx->tag(1).build(titles);
    EXPECT_EQ(b.mdx->tag(0).countKeys(), 700u); // unique: one record per key
    EXPECT_EQ(b.mdx->tag(1).check(2000, b.reader()).health, TagHealth::Sound);
    EXPECT_EQ(b.mdx->tag(0).check(2000, b.reader()).health, TagHealth::Sound);
    auto dup = b.record(5, "x");
    EXPECT_FALSE(b.mdx->tag(0).insertRecord(dup.data(), dup.size(), 1));

    // Case-insensitive search finds Polish titles typed in lower case.
    MdxTag &t = b.mdx->tag(1);
    std::string prefix = t.searchPrefix("łódź 1");
    MdxCursor c = t.seek(prefix);
    ASSERT_TRUE(c.valid());
    EXPECT_TRUE(t.matches(c, prefix));
    // A cursor placed before a write re-finds its entry and moves on in order.
    MdxCursor a = t.first();
    std::string k0 = a.key();
    auto extra = b.record(1, "AAA");
    ASSERT_TRUE(t.insertRecord(extra.data(), extra.size(), 4000));
    ASSERT_TRUE(a.next());
    EXPECT_GE(compareKeys('C', a.key(), k0), 0);
    EXPECT_TRUE(t.find(t.keyFor(extra.data(), extra.size()), 4000).valid());
}

// A node cache far smaller than the tree: nodes are dropped and read again all the time, and a
// cursor keeps walking over an evicted leaf; the tags stay exactly what a full cache makes.
TEST(MdxWrite, SmallNodeCacheKeepsTagsAndCursorsRight)
{
    Built b;
    build(b, {{"ID_CD", "ID_CD"}, {"T_PL", "UPPER(T_PL)"}});
    b.mdx->setNodeCacheBudget(0);
    std::mt19937 rng(11);
    std::vector<std::vector<uint8_t>> live;
    b.mdx->markWriting();
    for (int i = 1; i <= 2500; ++i) {
        auto rec = b.record(static_cast<int>(rng() % 300), randomTitle(rng));
        const uint32_t recno = b.dbf->appendRecord(rec.data());
        for (size_t t = 0; t < b.mdx->tagCount(); ++t)
            ASSERT_TRUE(b.mdx->tag(t).insertRecord(rec.data(), rec.size(), recno));
        live.push_back(rec);
    }
    MdxTag &title = b.mdx->tag(1);
    MdxCursor walk = title.first();
    for (int i = 0; i < 1500; ++i) {
        const uint32_t recno = 1 + static_cast<uint32_t>(rng() % live.size());
        auto rec = b.record(static_cast<int>(rng() % 300), randomTitle(rng));
        for (size_t t = 0; t < b.mdx->tagCount(); ++t)
            b.mdx->tag(t).updateRecord(live[recno - 1].data(), rec.data(), rec.size(), recno);
        b.dbf->writeRecord(recno, rec.data());
        live[recno - 1] = rec;
        if (i % 3 == 0 && walk.valid()) {
            const std::string before = walk.key();
            ASSERT_FALSE(walk.next() && compareKeys('C', walk.key(), before) < 0);
        }
    }
    b.mdx->markClean();
    // Bounded: what one operation touched, never the tree.
    EXPECT_LT(b.mdx->nodeCacheBytes(), 64u * 1024);
    Opened o{std::move(b.dbf), std::move(b.mdx)};
    for (size_t t = 0; t < o.mdx->tagCount(); ++t) {
        TagReport r = o.mdx->tag(t).check(o.dbf->recordCount(), o.reader());
        EXPECT_EQ(r.health, TagHealth::Sound) << (r.faults.empty() ? "" : r.faults[0]);
        expectTagMatchesRecords(o, o.mdx->tag(t));
    }
    o.mdx->setNodeCacheBudget(256 * 1024);
    expectTagMatchesRecords(o, title);
    EXPECT_LE(o.mdx->nodeCacheBytes(), 256u * 1024 + 16 * 1024);
}

// A walk decodes the leaves it passes into the cursor's own buffer, not into the cache, and a
// copy of a cursor keeps its own leaf while the original walks on.
TEST(MdxWrite, CursorsWalkOnLeavesOfTheirOwn)
{
    Built b;
    build(b, {{"T_PL", "UPPER(T_PL)"}});
    std::mt19937 rng(5);
    std::vector<IndexEntry> titles;
    for (int i = 1; i <= 3000; ++i) {
        auto rec = b.record(i, randomTitle(rng) + " " + std::to_string(i));
        titles.push_back(
            {b.mdx->tag(0).keyFor(rec.data(), rec.size()), b.dbf->appendRecord(rec.data())});
    }
    MdxTag &t = b.mdx->tag(0);
    t.build(titles);
    std::vector<uint32_t> order;
    for (MdxCursor c = t.first(); c.valid(); c.next())
        order.push_back(c.recno());
    ASSERT_EQ(order.size(), 3000u);
    EXPECT_LT(b.mdx->nodeCacheBytes(), 40u * 1024); // the interior nodes, not 130 leaves
    MdxCursor a = t.first();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(a.next());
    MdxCursor copy = a;
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(a.next());
    EXPECT_EQ(a.recno(), order[1500]);
    std::vector<uint32_t> rest;
    for (bool on = copy.valid(); on; on = copy.next())
        rest.push_back(copy.recno());
    EXPECT_EQ(rest, std::vector<uint32_t>(order.begin() + 1000, order.end()));
    ASSERT_TRUE(a.next());
    EXPECT_EQ(a.recno(), order[1501]);
}

TEST(MdxWrite, RefusesWhatItCannotKeep)
{
    Built b;
    auto create = [&](const std::vector<TagDefinition> &tags) {
        MdxFile::create(FileSystem::real(),
                        b.dir.file("X.MDX"),
                        ShareMode::Exclusive,
                        {"X", 0x57, filmFields(), CodePage::Cp1250, tags});
    };
    EXPECT_THROW(create({{"OPIS", "OPIS+T_PL"}}), IndexError); // 160-byte key
    EXPECT_THROW(create({{"X", "SOUNDEX(T_PL)"}}), IndexError);
    EXPECT_THROW(create({{"A", "T_PL"}, {"a", "T_PL"}}), IndexError);
    build(b, {{"T_PL", "T_PL"}});
    // Same file opened with a field list where the expression names nothing: reads, no writes.
    FieldList other = {{"NAZWA", 'C', 40, 0, 1}};
    b.mdx.reset();
    auto m = MdxFile::open(FileSystem::real(),
                           b.dir.file("FILMY.MDX"),
                           OpenMode::ReadWrite,
                           ShareMode::Exclusive,
                           other,
                           CodePage::Cp1250);
    MdxTag &t = m->tag(0);
    EXPECT_FALSE(t.evaluable());
    EXPECT_FALSE(m->allEvaluable());
    EXPECT_FALSE(t.first().valid());
    EXPECT_THROW(t.insert("abc", 1), IndexError);
    EXPECT_THROW(t.build({}), IndexError);
}

TEST(MdxCorrupt, BadBytesRaiseNamingTheFile)
{
    TempDir dir;
    auto bytes = readBytes(fixturePath("tdbf/disco.mdx"));
    auto dbf = DbfFile::open(
        FileSystem::real(), fixturePath("tdbf/disco.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
    auto tryOpen = [&](std::vector<uint8_t> image) -> std::string {
        writeBytes(dir.file("BAD.MDX"), image);
        try {
            auto m = MdxFile::open(FileSystem::real(),
                                   dir.file("BAD.MDX"),
                                   OpenMode::ReadOnly,
                                   ShareMode::Shared,
                                   dbf->fields(),
                                   dbf->codePage());
            for (size_t i = 0; i < m->tagCount(); ++i)
                m->tag(i).countKeys();
        } catch (const CorruptFileError &e) {
            EXPECT_NE(std::string(e.what()).find("BAD.MDX"), std::string::npos);
            return e.fault();
        }
        return "";
    };
    EXPECT_NE(tryOpen({bytes.begin(), bytes.begin() + 300}), ""); // truncated header
    auto image = bytes;
    image[0] = 9;
    EXPECT_NE(tryOpen(image).find("version"), std::string::npos);
    // Root of the first tag pointing at its own header page, then at a page past the end.
    uint32_t header = image[544] | image[545] << 8;
    image = bytes;
    size_t at = size_t(header) * 512;
    image[at] = image[544];
    image[at + 1] = image[545];
    image[at + 2] = image[at + 3] = 0;
    EXPECT_NE(tryOpen(image), "");
    image[at] = image[at + 1] = image[at + 2] = 0x7F;
    EXPECT_NE(tryOpen(image).find("page"), std::string::npos);
}
