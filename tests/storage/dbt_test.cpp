// SPDX-License-Identifier: GPL-3.0-or-later
#include "coding.h"
#include "dbf.h"
#include "dbt.h"
#include "errors.h"
#include "memfs.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace welarik;

namespace {

// The memo of the first record of a fixture table, read through its memo field.
std::string
firstMemo(const std::string &table, const std::string &memoPath, const std::string &field)
{
    FileSystem &fs = FileSystem::real();
    auto dbf = DbfFile::open(fs, test::fixturePath(table), OpenMode::ReadOnly, ShareMode::Shared);
    auto memo = MemoFile::open(fs,
                               test::fixturePath(memoPath),
                               memoStyleForVersion(dbf->version()),
                               OpenMode::ReadOnly,
                               ShareMode::Shared);
    std::vector<uint8_t> r(dbf->recordLength());
    dbf->readRecord(1, r.data());
    const FieldDesc &f = dbf->fields()[static_cast<size_t>(dbf->fieldIndex(field))];
    return memo->read(dbf->codec().memoBlock(f, r.data()));
}

} // namespace

TEST(MemoFixtures, FirstMemosRead)
{
    EXPECT_EQ(firstMemo("tdbf/DBASE3+.dbf", "tdbf/DBASE3+.DBT", "MEMO").substr(0, 16),
              "Dbase 3+ Record1");
    EXPECT_EQ(firstMemo("tdbf/VisualDBase.dbf", "tdbf/VisualDBase.dbt", "MEMO").substr(0, 26),
              "Visual dbase memo record 1");
    EXPECT_EQ(
        firstMemo("infused-dbf/dbase_8b.dbf", "infused-dbf/dbase_8b.dbt", "MEMO").substr(0, 10),
        "First memo");
    EXPECT_EQ(firstMemo("perl-dbd-xbase/test.dbf", "perl-dbd-xbase/test.dbt", "NOTE"),
              "This is a memo for record no one");
    const std::string groot = firstMemo("php-xbase/dBaseVII.dbf", "php-xbase/dBaseVII.dbt", "BIO");
    EXPECT_EQ(groot.substr(0, 5), "Groot");
    EXPECT_EQ(groot.size(), 0x5CEu - 8);
}

TEST(MemoFile, WritesGoToNewBlocksAndReadBack)
{
    for (MemoStyle style : {MemoStyle::DbaseIII, MemoStyle::DbaseIV}) {
        MemoryFileSystem fs;
        auto memo = MemoFile::create(fs, "F.DBT", style, 1024, "FILMY");
        const uint32_t bs = style == MemoStyle::DbaseIII ? 512 : 1024;
        EXPECT_EQ(memo->blockSize(), bs);
        EXPECT_EQ(memo->write(""), 0u);
        const std::string big(bs * 2, 'x'); // spills over into a third block
        const uint32_t a = memo->write("pierwszy");
        const uint32_t b = memo->write(big);
        const uint32_t c = memo->write("trzeci");
        EXPECT_EQ(a, 1u);
        EXPECT_EQ(b, 2u);
        EXPECT_EQ(c, 5u);
        EXPECT_EQ(memo->nextBlock(), 6u);
        EXPECT_EQ(fs.fileBytes("F.DBT").size(), 6u * bs);
        EXPECT_EQ(memo->read(a), "pierwszy");
        EXPECT_EQ(memo->read(b), big);
        EXPECT_EQ(memo->read(c), "trzeci");
        EXPECT_EQ(memo->read(0), "");
        memo.reset();

        auto again = MemoFile::open(fs, "F.DBT", style, OpenMode::ReadWrite, ShareMode::Exclusive);
        EXPECT_EQ(again->nextBlock(), 6u);
        EXPECT_EQ(again->read(b), big);
        const auto header = fs.fileBytes("F.DBT");
        if (style == MemoStyle::DbaseIV) {
            EXPECT_EQ(std::string(header.begin() + 8, header.begin() + 13), "FILMY");
            EXPECT_EQ(header[18], 2);
            EXPECT_EQ(header[19], 1);
            EXPECT_EQ(decodeLe16(header.data() + 20), 1024);
        } else {
            EXPECT_THROW(again->write("a\x1A"), FieldError);
        }

        // Killed after the data, before the header: the next write still lands past the data.
        fs.setWriteBudget(1);
        EXPECT_THROW(again->write("stracony"), IoError);
        again.reset();
        auto crashed = fs.snapshot();
        auto reopened
            = MemoFile::open(*crashed, "F.DBT", style, OpenMode::ReadWrite, ShareMode::Exclusive);
        EXPECT_EQ(reopened->nextBlock(), 6u);
        EXPECT_EQ(reopened->write("nowy"), 7u);
        EXPECT_EQ(reopened->read(c), "trzeci");
    }
}

TEST(MemoFile, BadPointersAndLengthsAreRefused)
{
    MemoryFileSystem fs;
    auto memo = MemoFile::create(fs, "F.DBT", MemoStyle::DbaseIV, 512, "F");
    memo->write("abc");
    memo.reset();
    auto bytes = fs.fileBytes("F.DBT");
    encodeLe32(bytes.data() + 512 + 4, 100000);
    fs.setFileBytes("F.DBT", bytes);
    auto damaged
        = MemoFile::open(fs, "F.DBT", MemoStyle::DbaseIV, OpenMode::ReadOnly, ShareMode::Shared);
    try {
        damaged->read(1);
        FAIL();
    } catch (const CorruptFileError &e) {
        EXPECT_EQ(e.file(), "F.DBT");
        EXPECT_NE(e.fault().find("block 1"), std::string::npos);
    }
    EXPECT_THROW(damaged->read(2), CorruptFileError);
    EXPECT_THROW(damaged->read(0xFFFFFFFFu), CorruptFileError);
    EXPECT_THROW(damaged->write("x"), StateError);
    damaged.reset();

    bytes[20] = 4; // block size 4
    bytes[21] = 0;
    fs.setFileBytes("F.DBT", bytes);
    EXPECT_THROW(
        MemoFile::open(fs, "F.DBT", MemoStyle::DbaseIV, OpenMode::ReadOnly, ShareMode::Shared),
        CorruptFileError);
    fs.setFileBytes("S.DBT", {1, 0});
    EXPECT_THROW(
        MemoFile::open(fs, "S.DBT", MemoStyle::DbaseIII, OpenMode::ReadOnly, ShareMode::Shared),
        CorruptFileError);
    // A dBase III memo without its terminator runs to the end of the file.
    std::vector<uint8_t> iii(512, 0);
    iii.insert(iii.end(), {'a', 'b'});
    fs.setFileBytes("T.DBT", iii);
    EXPECT_EQ(
        MemoFile::open(fs, "T.DBT", MemoStyle::DbaseIII, OpenMode::ReadOnly, ShareMode::Shared)
            ->read(1),
        "ab");
}
