// SPDX-License-Identifier: GPL-3.0-or-later
// Tables whose production index another program wrote: its UPPER() upper-cases only a-z, so
// title keys keep Polish letters in lower case, its interior nodes may be full and its
// numeric keys are encoded in another form. Navigation, searches and deletes must be exact
// over every tag from the moment the table opens, read-only or read-write, and check() must
// tell those layouts (notes) from real damage (faults).

#include "bcd.h"
#include "codepage.h"
#include "dbf.h"
#include "keyexpr.h"
#include "mdx.h"
#include "table.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace welarik;
using namespace welarik::test;

namespace {

// The fixture written by an independent library (see fixtures/dbase/SOURCES.md).
std::string copyXbase64(const TempDir &dir)
{
    copyFixture("xbase64/BENCH.DBT", dir);
    copyFixture("xbase64/BENCH.MDX", dir);
    return copyFixture("xbase64/BENCH.DBF", dir);
}

using Recnos = std::vector<uint32_t>;

// first/next to eof and last/prior to bof; a guard stops a walk that does not end.
Recnos walkForward(Table &t)
{
    Recnos out;
    t.first();
    for (int guard = t.recordCount() + 2; !t.eof() && guard > 0; --guard) {
        out.push_back(t.recNo());
        t.next();
    }
    return out;
}

Recnos walkBackward(Table &t)
{
    Recnos out;
    t.last();
    for (int guard = t.recordCount() + 2; !t.bof() && guard > 0; --guard) {
        out.push_back(t.recNo());
        t.prior();
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// The live records in the order of the keys computed from them (equal keys by number).
Recnos keyOrder(const std::string &path, const std::string &tag)
{
    auto e = TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
    const int ti = e->tagIndex(tag);
    const char type = e->tags()[size_t(ti)].keyType;
    std::vector<IndexEntry> entries;
    e->scan([&](uint32_t r, const uint8_t *rec) {
        if (rec[0] != '*')
            entries.push_back({e->keyOf(ti, rec), r});
        return true;
    });
    std::stable_sort(entries.begin(), entries.end(), [type](const auto &a, const auto &b) {
        return compareKeys(type, a.key, b.key) < 0;
    });
    Recnos out;
    for (const auto &x : entries)
        out.push_back(x.recno);
    return out;
}

// The live records in the order the tag's tree holds them on disk.
Recnos storedOrder(const std::string &path, const std::string &tag)
{
    auto dbf = DbfFile::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
    auto mdx = MdxFile::open(FileSystem::real(),
                             withExtension(path, ".MDX"),
                             OpenMode::ReadOnly,
                             ShareMode::Shared,
                             dbf->fields(),
                             dbf->codePage());
    std::vector<uint8_t> rec(dbf->recordLength());
    Recnos out, walked, read;
    for (MdxCursor c = mdx->findTag(tag)->first(); c.valid(); c.next()) {
        walked.push_back(c.recno());
        dbf->readRecord(c.recno(), rec.data());
        if (rec[0] != '*')
            out.push_back(c.recno());
    }
    mdx->findTag(tag)->appendRecnosInOrder(read); // the pages read at once agree with a walk
    EXPECT_EQ(read, walked) << tag;
    return out;
}

void expectWalksInKeyOrder(Table &t, const std::string &path, const std::string &where)
{
    for (const std::string &tag : t.tagNames()) {
        t.setIndexName(tag);
        const Recnos expected = keyOrder(path, tag);
        EXPECT_EQ(walkForward(t), expected) << where << ", tag " << tag << " forward";
        EXPECT_EQ(walkBackward(t), expected) << where << ", tag " << tag << " backward";
    }
}

// A films-like table with titles that sort differently under the two upper-case rules
// ("SĄSIEDZI" before "Słoń" by bytes of the kept lower case, after it by ours); its T_PL tag
// is then rewritten with the other program's keys and our signature is removed.
const std::vector<std::string> kTitles
    = {"Słoń",         "SĄSIEDZI",  "Sami", "świra",  "Ścigany", "Źródło", "Łąka",
       "ŁĄKA ZIMĄ",    "Zorro",     "Żaba", "ćma",    "Ósemka",  "Nóż",    "nożyce",
       "NÓŻ W WODZIE", "Ćwiczenia", "Być",  "BĘBEN",  "Cisza",   "Pąk",    "Pył",
       "Zły",          "ZĄB",       "Ąb",   "abażur", "Ęcki"};

std::string makeForeignCatalogue(const TempDir &dir)
{
    const std::string path = dir.file("FILMY.DBF");
    const FieldList fields{{"ID_CD", 'N', 5, 0, 0}, {"T_PL", 'C', 100, 0, 0}};
    {
        auto e = TableEngine::create(FileSystem::real(),
                                     path,
                                     4,
                                     0xC8,
                                     fields,
                                     {{"ID_CD", "ID_CD"}, {"T_PL", "UPPER(T_PL)"}});
        for (size_t i = 0; i < kTitles.size(); ++i) {
            RecordBuffer r = e->blankRecord();
            e->setFieldInteger(r, 0, int64_t(i + 1));
            e->setFieldText(r, 1, kTitles[i]);
            e->append(r);
        }
    }
    auto dbf = DbfFile::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
    {
        auto mdx = MdxFile::open(FileSystem::real(),
                                 withExtension(path, ".MDX"),
                                 OpenMode::ReadWrite,
                                 ShareMode::Exclusive,
                                 dbf->fields(),
                                 dbf->codePage());
        const FieldDesc &title = dbf->fields()[1];
        std::vector<IndexEntry> entries;
        std::vector<uint8_t> rec(dbf->recordLength());
        for (uint32_t r = 1; r <= dbf->recordCount(); ++r) {
            dbf->readRecord(r, rec.data());
            std::string key(reinterpret_cast<const char *>(rec.data() + title.offset),
                            title.length);
            for (char &c : key)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            entries.push_back({key, r});
        }
        mdx->findTag("T_PL")->build(std::move(entries));
        mdx->flush();
    }
    std::vector<uint8_t> bytes = readBytes(withExtension(path, ".MDX"));
    std::fill(bytes.begin() + 48, bytes.begin() + 56, 0); // no engine signature
    writeBytes(withExtension(path, ".MDX"), bytes);
    return path;
}

struct Probe
{
    std::string typed;  // search text
    std::string prefix; // the title found must begin with this
};

void expectSearches(Table &t, const std::vector<Probe> &probes)
{
    t.setIndexName("T_PL");
    for (const Probe &p : probes) {
        t.first();
        ASSERT_TRUE(t.findPrefix(p.typed)) << p.typed;
        EXPECT_EQ(t.rawString("T_PL").substr(0, p.prefix.size()), p.prefix) << p.typed;
        t.first();
        ASSERT_TRUE(t.findNearest(p.typed)) << p.typed;
        EXPECT_EQ(t.rawString("T_PL").substr(0, p.prefix.size()), p.prefix) << p.typed;
    }
}

// Deletes the record found by the search as the first change after opening: the next
// record of the order becomes current.
void expectDeleteLandsOnNext(const std::string &path, const std::string &typed)
{
    Table t("t");
    t.setFileName(path);
    t.setExclusive(false); // the expected orders are read beside it
    t.setIndexName("T_PL");
    t.open();
    ASSERT_TRUE(t.findPrefix(typed));
    const uint32_t doomed = t.recNo();
    const Recnos order = keyOrder(path, "T_PL");
    const auto at = std::find(order.begin(), order.end(), doomed);
    ASSERT_TRUE(at != order.end() && at + 1 != order.end());
    t.deleteRecord();
    EXPECT_EQ(t.recNo(), *(at + 1)) << typed;
    t.close();
    EXPECT_EQ(keyOrder(path, "T_PL"), storedOrder(path, "T_PL"));
}

} // namespace

TEST(ForeignIndex, FixtureWalksEveryTagReadOnlyAndReadWrite)
{
    TempDir dir;
    const std::string path = copyXbase64(dir);
    const std::vector<Probe> probes = {{"świra", "świra"},
                                       {"ŚWIRA", "świra"},
                                       {"nóż", "Nóż"},
                                       {"NÓŻ Ż", "Nóż Życie"},
                                       {"źródło m", "Źródło Miś"},
                                       {"łowca", "Łowca"}};
    {
        Table t("ro");
        t.setFileName(path);
        t.setExclusive(false);
        t.setReadOnly(true);
        t.open();
        expectWalksInKeyOrder(t, path, "read-only");
        expectSearches(t, probes);
    }
    {
        Table t("rw");
        t.setFileName(path);
        t.setExclusive(false);
        t.open();
        expectWalksInKeyOrder(t, path, "read-write, before a write");
        expectSearches(t, probes);
        t.setIndexName("T_PL");
        ASSERT_TRUE(t.findPrefix("Ścigany"));
        t.edit();
        t.setString("T_PL", "żółw");
        t.post();
        EXPECT_EQ(t.rawString("T_PL"), "żółw");
        expectWalksInKeyOrder(t, path, "read-write, after a write");
    }
    for (const std::string tag : {"ID_CD", "T_PL", "T_ORG", "GATUNEK"})
        EXPECT_EQ(storedOrder(path, tag), keyOrder(path, tag)) << tag;
    std::string report;
    EXPECT_EQ(runVerifier({path}, report), 0) << report;
}

TEST(ForeignIndex, FixtureDeleteAsFirstChangeLandsOnNext)
{
    TempDir dir;
    const std::string path = copyXbase64(dir);
    expectDeleteLandsOnNext(path, "Ścigany świra");
}

TEST(ForeignIndex, OwnCatalogueWithForeignUpperRule)
{
    TempDir dir;
    const std::string path = makeForeignCatalogue(dir);
    // The two rules disagree on the order of these titles.
    ASSERT_NE(storedOrder(path, "T_PL"), keyOrder(path, "T_PL"));
    const std::vector<Probe> probes = {{"SŁ", "Słoń"},
                                       {"sąs", "SĄSIEDZI"},
                                       {"ĆMA", "ćma"},
                                       {"nóż w", "NÓŻ W WODZIE"},
                                       {"Ęc", "Ęcki"},
                                       {"łąka z", "ŁĄKA ZIMĄ"}};
    {
        Table t("ro");
        t.setFileName(path);
        t.setExclusive(false);
        t.setReadOnly(true);
        t.open();
        expectWalksInKeyOrder(t, path, "read-only");
        expectSearches(t, probes);
    }
    {
        Table t("rw");
        t.setFileName(path);
        t.setExclusive(false);
        t.open();
        expectWalksInKeyOrder(t, path, "read-write");
        expectSearches(t, probes);
    }
    EXPECT_EQ(storedOrder(path, "T_PL"), keyOrder(path, "T_PL"));
}

TEST(ForeignIndex, OwnCatalogueDeleteAsFirstChangeLandsOnNext)
{
    TempDir dir;
    expectDeleteLandsOnNext(makeForeignCatalogue(dir), "Słoń");
}

namespace {

// The root page of the tag in slot n (1-based) of an index file, as stored.
uint32_t rootPage(const std::string &mdxPath, int slot)
{
    const std::vector<uint8_t> b = readBytes(mdxPath);
    auto u32 = [&](size_t at) {
        return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16
               | uint32_t(b.at(at + 3)) << 24;
    };
    return u32(size_t(u32(512 + 32 * size_t(slot))) * 512);
}

CheckReport checkOf(const std::string &path)
{
    return TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared)
        ->check();
}

bool mentions(const CheckReport &r, bool fault, const std::string &where, const std::string &text)
{
    return std::any_of(r.findings.begin(), r.findings.end(), [&](const CheckFinding &f) {
        return f.fault == fault && f.where == where && f.text.find(text) != std::string::npos;
    });
}

// Rewrites the T_PL tag of the catalogue from the given entries (our signature stays off).
void rewriteTitles(const std::string &path, std::vector<IndexEntry> entries)
{
    auto dbf = DbfFile::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
    auto mdx = MdxFile::open(FileSystem::real(),
                             withExtension(path, ".MDX"),
                             OpenMode::ReadWrite,
                             ShareMode::Exclusive,
                             dbf->fields(),
                             dbf->codePage());
    for (IndexEntry &e : entries)
        e.key.resize(100, ' ');
    mdx->findTag("T_PL")->build(std::move(entries));
    mdx->flush();
}

} // namespace

TEST(ForeignIndex, CheckTellsLayoutNotesFromFaults)
{
    TempDir dir;
    const std::string path = copyXbase64(dir);
    const std::string mdx = withExtension(path, ".MDX");
    const CheckReport r = checkOf(path);
    EXPECT_TRUE(r.sound()) << (r.faults() ? r.findings[0].where + ": " + r.findings[0].text : "");
    EXPECT_TRUE(mentions(r, false, "tag T_PL", "filled to the last slot"));
    EXPECT_TRUE(mentions(r, false, "tag ID_CD", "another form of the same value"));
    EXPECT_TRUE(mentions(r, false, "tag T_ORG", "upper-case rule"));

    // Opening for writing rebuilds the tags whose keys disagree with ours (numbers of another
    // form too), and no other.
    const uint32_t idRoot = rootPage(mdx, 1), plRoot = rootPage(mdx, 2),
                   genreRoot = rootPage(mdx, 4);
    TableEngine::open(FileSystem::real(), path, OpenMode::ReadWrite, ShareMode::Exclusive)->close();
    EXPECT_NE(rootPage(mdx, 1), idRoot);
    EXPECT_EQ(rootPage(mdx, 4), genreRoot);
    EXPECT_NE(rootPage(mdx, 2), plRoot);
    EXPECT_TRUE(checkOf(path).sound());
    EXPECT_FALSE(mentions(checkOf(path), false, "tag ID_CD", "another form"));

    // Damage: a key that is not its record's under any upper-case rule, a missing entry, a
    // record listed twice, a record number beyond the table.
    TempDir other;
    const std::string own = makeForeignCatalogue(other);
    std::vector<IndexEntry> entries;
    {
        auto e = TableEngine::open(FileSystem::real(), own, OpenMode::ReadOnly, ShareMode::Shared);
        RecordBuffer rec;
        for (uint32_t r = 1; r <= e->recordCount(); ++r) {
            e->readRecord(r, rec);
            entries.push_back({e->keyOf(1, rec.data()), r});
        }
    }
    auto damaged = [&](const std::function<void(std::vector<IndexEntry> &)> &change,
                       const std::string &text) {
        std::vector<IndexEntry> copy = entries;
        change(copy);
        rewriteTitles(own, copy);
        EXPECT_TRUE(mentions(checkOf(own), true, "tag T_PL", text)) << text;
    };
    damaged([](auto &v) { v[3].key = "INNY TYTUL"; }, "disagrees with the record");
    damaged([](auto &v) { v.erase(v.begin() + 5); }, "missing");
    damaged([](auto &v) { v.push_back(v[2]); }, "listed twice");
    damaged([](auto &v) { v.push_back({v[0].key, 999}); }, "out of range");
    rewriteTitles(own, entries);
    EXPECT_TRUE(checkOf(own).sound());
}

namespace {

// A table of CD numbers in shuffled record order whose ID_CD tag holds the keys another
// program writes: the digit count of byte 1 is the count of significant digits (10 -> 1)
// instead of our 10. Our signature is removed.
std::string makeOtherNumberForm(const TempDir &dir)
{
    const std::string path = dir.file("FILMY.DBF");
    const std::vector<int64_t> numbers = {7, 141, 30, 1, 1410, 14, 100, 2, 999, 141000, 15};
    {
        auto e = TableEngine::create(FileSystem::real(),
                                     path,
                                     4,
                                     0xC8,
                                     {{"ID_CD", 'N', 7, 0, 0}, {"T_PL", 'C', 20, 0, 0}},
                                     {{"ID_CD", "ID_CD"}});
        for (int64_t n : numbers) {
            RecordBuffer r = e->blankRecord();
            e->setFieldInteger(r, 0, n);
            e->setFieldText(r, 1, "film " + std::to_string(n));
            e->append(r);
        }
    }
    std::vector<IndexEntry> entries;
    for (size_t i = 0; i < numbers.size(); ++i) {
        const std::string digits = std::to_string(numbers[i]);
        std::string key(kBcdKeyLength, '\0');
        encodeBcd(digits, reinterpret_cast<uint8_t *>(key.data()));
        const size_t significant = digits.find_last_not_of('0') + 1;
        key[1] = static_cast<char>((significant << 2) | 1);
        entries.push_back({key, uint32_t(i + 1)});
    }
    std::sort(entries.begin(), entries.end(), [](const IndexEntry &a, const IndexEntry &b) {
        return compareKeys('N', a.key, b.key) < 0;
    });
    {
        auto dbf = DbfFile::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
        auto mdx = MdxFile::open(FileSystem::real(),
                                 withExtension(path, ".MDX"),
                                 OpenMode::ReadWrite,
                                 ShareMode::Exclusive,
                                 dbf->fields(),
                                 dbf->codePage());
        mdx->findTag("ID_CD")->build(std::move(entries));
        mdx->flush();
    }
    std::vector<uint8_t> bytes = readBytes(withExtension(path, ".MDX"));
    std::fill(bytes.begin() + 48, bytes.begin() + 56, 0);
    writeBytes(withExtension(path, ".MDX"), bytes);
    return path;
}

// The number searches and the highest number of the ID_CD tag, read-only then read-write.
void expectNumbersFoundByValue(const std::string &path, int64_t highest)
{
    for (const bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only" : "read-write");
        Table t("t");
        t.setFileName(path);
        t.setExclusive(false);
        t.setReadOnly(readOnly);
        t.setIndexName("ID_CD");
        t.open();
        for (const int64_t n : {int64_t(141), int64_t(14), int64_t(1), highest}) {
            t.first();
            ASSERT_TRUE(t.findPrefix(std::to_string(n))) << n;
            EXPECT_EQ(t.asInteger("ID_CD"), n);
            t.first();
            ASSERT_TRUE(t.findNearest(std::to_string(n))) << n;
            EXPECT_EQ(t.asInteger("ID_CD"), n);
        }
        t.first();
        EXPECT_FALSE(t.findPrefix("302"));
        const uint32_t last = t.lastInTag("ID_CD");
        ASSERT_TRUE(t.gotoRecord(last));
        EXPECT_EQ(t.asInteger("ID_CD"), highest);
    }
    EXPECT_FALSE(mentions(checkOf(path), false, "tag ID_CD", "another form"));
}

} // namespace

TEST(ForeignIndex, NumberKeysOfAnotherFormAreFoundByValue)
{
    TempDir dir;
    const std::string fixture = copyXbase64(dir);
    expectNumbersFoundByValue(fixture, 301);

    TempDir other;
    const std::string own = makeOtherNumberForm(other);
    EXPECT_TRUE(mentions(checkOf(own), false, "tag ID_CD", "another form of the same value"));
    expectNumbersFoundByValue(own, 141000);
    EXPECT_EQ(storedOrder(own, "ID_CD"), keyOrder(own, "ID_CD"));
}
