// SPDX-License-Identifier: GPL-3.0-or-later
// TableEngine: round trips, companions in any letter case, tags kept in order on disk through
// inserts, key changes and deletions, seeks, refused writes.

#include "mdx.h"
#include "memfs.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace welarik;
using welarik::test::field;
using welarik::test::TempDir;

namespace {

FieldList sampleFields()
{
    return {field("NAME", 'C', 20),
            field("NUM", 'N', 8),
            field("PRICE", 'N', 10, 2),
            field("OK", 'L', 1),
            field("DAY", 'D', 8),
            field("NOTE", 'M', 10)};
}

std::vector<TagDefinition> sampleTags()
{
    return {{"NAME", "UPPER(NAME)"}, {"NUM", "NUM"}};
}

RecordBuffer makeRecord(TableEngine &e,
                        const std::string &name,
                        const std::string &num,
                        const std::string &note = {})
{
    RecordBuffer r = e.blankRecord();
    e.setFieldText(r, e.fieldIndex("NAME"), name);
    e.setFieldText(r, e.fieldIndex("NUM"), num);
    e.setFieldText(r, e.fieldIndex("NOTE"), note);
    return r;
}

// Walks a tag and returns its record numbers; asserts that keys are in order and equal to the
// keys of the records.
std::vector<uint32_t> walkTag(const TableEngine &e, int tag)
{
    std::vector<uint32_t> order;
    TagCursor c = e.cursor(tag);
    std::string previous;
    RecordBuffer record;
    for (bool ok = c.first(); ok; ok = c.next()) {
        e.readRecord(c.recno(), record);
        EXPECT_EQ(c.key(), e.keyOf(tag, record.data())) << "record " << c.recno();
        if (!order.empty()) {
            EXPECT_LE(compareKeys(e.tags()[size_t(tag)].keyType, previous, c.key()), 0);
        }
        previous = c.key();
        order.push_back(c.recno());
    }
    return order;
}

} // namespace

TEST(TableEngine, RoundTripOfEveryFieldKindThroughReopen)
{
    MemoryFileSystem fs;
    {
        auto e = TableEngine::create(fs, "dir/T.DBF", 4, 0x57, sampleFields(), sampleTags());
        RecordBuffer r = makeRecord(*e, "Zażółć gęślą", "-42", "linia 1\r\nłódź");
        e->setFieldText(r, e->fieldIndex("PRICE"), "12.5");
        e->setFieldLogical(r, e->fieldIndex("OK"), true);
        e->setFieldText(r, e->fieldIndex("DAY"), "20240229");
        EXPECT_EQ(e->append(r), 1u);
        RecordBuffer blank = e->blankRecord();
        EXPECT_EQ(e->append(blank), 2u);
    }
    auto e = TableEngine::open(fs, "dir/t.dbf", OpenMode::ReadOnly, ShareMode::Exclusive);
    EXPECT_TRUE(e->hasMemo());
    EXPECT_TRUE(e->hasIndex());
    ASSERT_EQ(e->recordCount(), 2u);
    RecordBuffer r;
    e->readRecord(1, r);
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NAME")), "Zażółć gęślą        ");
    EXPECT_EQ(e->fieldInteger(r.data(), e->fieldIndex("NUM")), -42);
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("PRICE")), "12.50");
    EXPECT_EQ(e->fieldLogical(r.data(), e->fieldIndex("OK")), std::optional<bool>(true));
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("DAY")), "20240229");
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NOTE")), "linia 1\r\nłódź");
    e->readRecord(2, r);
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NUM")), "");
    EXPECT_EQ(e->fieldInteger(r.data(), e->fieldIndex("NUM")), 0);
    EXPECT_FALSE(e->fieldLogical(r.data(), e->fieldIndex("OK")).has_value());
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NOTE")), "");
    EXPECT_THROW(e->readRecord(3, r), StateError);
    EXPECT_THROW(e->append(r), StateError); // read-only
}

TEST(TableEngine, BadValuesAreClearErrorsAndTextIsCutToTheWidth)
{
    MemoryFileSystem fs;
    auto e = TableEngine::create(fs, "T.DBF", 4, 0x57, sampleFields(), sampleTags());
    RecordBuffer r = e->blankRecord();
    EXPECT_THROW(e->setFieldText(r, e->fieldIndex("NAME"), "日本"), EncodingError);
    EXPECT_THROW(e->setFieldText(r, e->fieldIndex("NUM"), "12abc"), FieldError);
    EXPECT_THROW(e->setFieldText(r, e->fieldIndex("OK"), "maybe"), FieldError);
    EXPECT_THROW(e->setFieldText(r, e->fieldIndex("DAY"), "2024-01-01"), FieldError);
    EXPECT_THROW(e->setFieldText(r, e->fieldIndex("NOTE"), "zły znak ☃"), EncodingError);
    RecordBuffer shortBuffer(3, ' ');
    EXPECT_THROW(e->append(shortBuffer), FieldError);
    e->setFieldText(r, e->fieldIndex("NAME"), "ąęśćżźńół ĄĘŚĆŻŹŃÓŁ abcdefgh");
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NAME")), "ąęśćżźńół ĄĘŚĆŻŹŃÓŁ ");
    EXPECT_EQ(e->recordCount(), 0u);
}

TEST(TableEngine, FindsCompanionsInAnyLetterCaseOnDisk)
{
    TempDir dir;
    {
        auto e = TableEngine::create(
            FileSystem::real(), dir.file("films.dbf"), 4, 0x57, sampleFields(), sampleTags());
        e->append(makeRecord(*e, "b", "2", "memo"));
        e->append(makeRecord(*e, "a", "1"));
    }
    std::filesystem::rename(dir.file("films.dbf"), dir.file("FILMS.DBF"));
    std::filesystem::rename(dir.file("films.mdx"), dir.file("Films.Mdx"));
    auto e = TableEngine::open(
        FileSystem::real(), dir.file("Films.dbf"), OpenMode::ReadWrite, ShareMode::Exclusive);
    ASSERT_TRUE(e->hasIndex());
    ASSERT_TRUE(e->hasMemo());
    EXPECT_EQ(walkTag(*e, e->tagIndex("name")), (std::vector<uint32_t>{2, 1}));
    RecordBuffer r;
    e->readRecord(1, r);
    EXPECT_EQ(e->fieldText(r, e->fieldIndex("NOTE")), "memo");
    // A second exclusive opener is refused while this one holds the files.
    EXPECT_THROW(
        TableEngine::open(
            FileSystem::real(), dir.file("FILMS.DBF"), OpenMode::ReadOnly, ShareMode::Exclusive),
        OpenError);
}

TEST(TableEngine, TagsStayOrderedThroughManyInsertsKeyChangesAndDeletes)
{
    TempDir dir;
    const std::string path = dir.file("MANY.DBF");
    std::mt19937 rng(12345);
    std::map<uint32_t, std::pair<std::string, int>> model;
    {
        auto e
            = TableEngine::create(FileSystem::real(), path, 4, 0x57, sampleFields(), sampleTags());
        // Enough keys of 20 bytes to split leaves and interior nodes several times.
        for (int i = 0; i < 3000; ++i) {
            const std::string name = "k" + std::to_string(rng() % 100000) + "ż";
            const int num = int(rng() % 5000) - 2500;
            const uint32_t recno = e->append(makeRecord(*e, name, std::to_string(num)));
            model[recno] = {name, num};
        }
        RecordBuffer r;
        for (int i = 0; i < 2500; ++i) {
            const uint32_t recno = 1 + rng() % 3000;
            e->readRecord(recno, r);
            if (i % 5 == 0) {
                e->markDeleted(recno);
                continue;
            }
            // Move keys to one end so nodes empty out and merge.
            const std::string name = "a" + std::to_string(i);
            e->setFieldText(r, e->fieldIndex("NAME"), name);
            e->setFieldText(r, e->fieldIndex("NUM"), std::to_string(i));
            e->update(recno, r);
            model[recno] = {name, i};
        }
        const CheckReport report = e->check();
        EXPECT_TRUE(report.sound()) << (report.findings.empty() ? "" : report.findings[0].text);
    }
    auto e = TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared);
    for (int tag = 0; tag < 2; ++tag) {
        std::vector<uint32_t> order = walkTag(*e, tag);
        std::sort(order.begin(), order.end());
        std::vector<uint32_t> all(3000);
        for (uint32_t i = 0; i < 3000; ++i)
            all[i] = i + 1;
        EXPECT_EQ(order, all) << "every record, deleted ones too, listed once";
    }
    RecordBuffer r;
    for (const auto &[recno, value] : model) {
        e->readRecord(recno, r);
        ASSERT_EQ(e->fieldInteger(r.data(), e->fieldIndex("NUM")), value.second);
    }
    std::string output;
    EXPECT_EQ(welarik::test::runVerifier({path}, output), 0) << output;
}

TEST(TableEngine, SeekNearestAndKeyPrefix)
{
    MemoryFileSystem fs;
    auto e = TableEngine::create(fs, "S.DBF", 4, 0x57, sampleFields(), sampleTags());
    for (const char *name : {"Łódź", "lublin", "Kraków", "Łomża", "Gdańsk"})
        e->append(makeRecord(*e, name, std::to_string(std::string(name).size())));
    const int tag = e->tagIndex("NAME");
    ASSERT_TRUE(e->tags()[size_t(tag)].upperCase);
    EXPECT_EQ(e->tags()[size_t(tag)].firstField, "NAME");
    TagCursor c = e->cursor(tag);
    ASSERT_TRUE(c.seek(e->keyPrefix(tag, "łó")));
    EXPECT_EQ(c.recno(), 1u);
    EXPECT_FALSE(c.seek(e->keyPrefix(tag, "Poz")));
    ASSERT_TRUE(c.nearest(e->keyPrefix(tag, "KZ")));
    EXPECT_EQ(c.recno(), 2u); // LUBLIN follows KRAKÓW
    ASSERT_TRUE(c.last());
    EXPECT_TRUE(c.prior());
    // Record order of the upper-cased keys: GDAŃSK KRAKÓW LUBLIN ŁOMŻA ŁÓDŹ (cp1250 bytes).
    EXPECT_EQ(walkTag(*e, tag), (std::vector<uint32_t>{5, 3, 2, 4, 1}));
    const int num = e->tagIndex("num");
    EXPECT_THROW(e->keyPrefix(num, "dwa"), FieldError);
    ASSERT_TRUE(c.seekEntry(e->keyPrefix(tag, "LUBLIN"), 2));
    EXPECT_EQ(c.recno(), 2u);
    EXPECT_THROW(e->cursor(7), IndexError);
}

TEST(TableEngine, UnevaluableTagRefusesWritesAndLeavesTheFilesUnchanged)
{
    MemoryFileSystem fs;
    {
        auto e = TableEngine::create(fs, "U.DBF", 4, 0x57, sampleFields(), sampleTags());
        e->append(makeRecord(*e, "x", "1", "notatka"));
    }
    // Replace the first tag's key expression by one the evaluator does not know.
    std::vector<uint8_t> mdx = fs.fileBytes("U.MDX");
    const uint32_t headerPage = mdx[512 + 32] | (mdx[512 + 33] << 8) | (mdx[512 + 34] << 16);
    const std::string foreign = "SOUNDEX(NAME)";
    std::fill_n(mdx.begin() + headerPage * 512 + 24, 220, 0);
    std::copy(foreign.begin(), foreign.end(), mdx.begin() + headerPage * 512 + 24);
    fs.setFileBytes("U.MDX", mdx);
    const auto dbf = fs.fileBytes("U.DBF");
    const auto dbt = fs.fileBytes("U.DBT");

    auto e = TableEngine::open(fs, "U.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    EXPECT_FALSE(e->tags()[0].evaluable);
    EXPECT_EQ(walkTag(*e, 1), (std::vector<uint32_t>{1})); // the other tag works
    RecordBuffer r;
    e->readRecord(1, r);
    EXPECT_THROW(e->append(r), IndexError);
    EXPECT_THROW(e->update(1, r), IndexError);
    EXPECT_THROW(e->markDeleted(1), IndexError);
    const CheckReport report = e->check();
    EXPECT_TRUE(report.sound());
    EXPECT_EQ(report.notes(), 1);
    e.reset();
    EXPECT_EQ(fs.fileBytes("U.DBF"), dbf);
    EXPECT_EQ(fs.fileBytes("U.MDX"), mdx);
    EXPECT_EQ(fs.fileBytes("U.DBT"), dbt);
}
