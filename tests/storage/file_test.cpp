// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"
#include "file.h"
#include "memfs.h"
#include "testsupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace welarik;
using welarik::test::TempDir;

TEST(RealFileSystem, ReadWriteSizeAndMissingFile)
{
    TempDir dir;
    FileSystem &fs = FileSystem::real();
    const std::string path = dir.file("A.DBF");
    {
        auto f = fs.create(path, ShareMode::Exclusive);
        f->writeAt(4, "abcd", 4);
        EXPECT_EQ(f->size(), 8u);
        char buf[16] = {};
        EXPECT_EQ(f->readAt(2, buf, 16), 6u);
        EXPECT_EQ(std::string(buf + 2, 4), "abcd");
        EXPECT_THROW(f->readExact(6, buf, 4), CorruptFileError);
        f->truncate(5);
        EXPECT_EQ(f->size(), 5u);
    }
    try {
        fs.open(dir.file("NONE.DBF"), OpenMode::ReadOnly, ShareMode::Shared);
        FAIL() << "no error";
    } catch (const OpenError &e) {
        EXPECT_NE(std::string(e.what()).find("NONE.DBF"), std::string::npos);
    }
    auto ro = fs.open(path, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_THROW(ro->writeAt(0, "x", 1), IoError);
}

// Exclusively opened files are read in place; the bytes shown follow the writes, and views
// handed out before the file outgrows its mapping stay valid.
TEST(RealFileSystem, ViewsFollowWritesAndGrowth)
{
    TempDir dir;
    FileSystem &fs = FileSystem::real();
    const std::string path = dir.file("V.DBF");
    auto f = fs.create(path, ShareMode::Exclusive);
    EXPECT_EQ(f->view(0, 1), nullptr); // empty file
    f->writeAt(0, "abcdef", 6);
    const uint8_t *first = f->view(0, 6);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(first), 6), "abcdef");
    EXPECT_EQ(f->view(4, 3), nullptr); // past the end
    f->writeAt(2, "XY", 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(first), 6), "abXYef");
    const std::vector<uint8_t> block(3 << 20, 0x5A); // beyond the room reserved for growth
    f->writeAt(6, block.data(), block.size());
    const uint8_t *far = f->view(6 + block.size() - 1, 1);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(*far, 0x5A);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(first), 4), "abXY");
    f->truncate(3);
    EXPECT_EQ(f->view(0, 4), nullptr);
    f.reset();
    // Shared opens are not mapped: another user may change the file under us.
    EXPECT_EQ(fs.open(path, OpenMode::ReadOnly, ShareMode::Shared)->view(0, 1), nullptr);
}

// A program ignoring our lock may cut a mapped file short: reading past the new end is the
// usual truncation error, not a crash on the vanished pages.
TEST(RealFileSystem, MappedFileCutShortReportsTruncation)
{
    TempDir dir;
    FileSystem &fs = FileSystem::real();
    const std::string path = dir.file("CUT.DBF");
    auto f = fs.create(path, ShareMode::Exclusive);
    const std::vector<uint8_t> data(64 << 10, 0x5A);
    f->writeAt(0, data.data(), data.size());
    uint8_t buf[16] = {};
    int reads = 1; // the first reads go through the descriptor, later ones are viewed
    while (!f->readViewed(32 << 10, buf, sizeof buf) && reads < 1000)
        ++reads;
    ASSERT_LT(reads, 1000);
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    EXPECT_FALSE(f->readViewed(32 << 10, buf, sizeof buf));
    try {
        f->readExact(32 << 10, buf, sizeof buf);
        FAIL() << "no error";
    } catch (const CorruptFileError &e) {
        EXPECT_NE(std::string(e.what()).find("truncated"), std::string::npos);
    }
    EXPECT_EQ(f->view(0, 1), nullptr); // no longer viewed
}

// Writes within a mapped file become stores into the mapping (from a page's second write on):
// another reader sees them at once, and a file cut short under the mapping takes the write
// through the descriptor instead of dying of the vanished page.
TEST(RealFileSystem, WritesThroughTheMappingReachTheFile)
{
    TempDir dir;
    const std::string path = dir.file("W.MDX");
    auto f = FileSystem::real().create(path, ShareMode::Exclusive);
    f->mapWrites();
    const std::vector<uint8_t> data(64 << 10, 0x5A);
    f->writeAt(0, data.data(), data.size());
    uint8_t buf[4] = {};
    for (int reads = 0; reads < 1000 && !f->readViewed(0, buf, sizeof buf); ++reads) {
    }
    const auto bytesAt = [&](long at, size_t n) {
        std::ifstream in(path, std::ios::binary);
        std::string got(n, '\0');
        in.seekg(at);
        in.read(got.data(), static_cast<std::streamsize>(n));
        return got;
    };
    for (int i = 0; i < 3; ++i)
        f->writeAt(8192 + i, "abc", 3);
    EXPECT_EQ(bytesAt(8191, 6), "Zaaabc");
    f->writeWhole8(16, reinterpret_cast<const uint8_t *>("12345678")); // one store
    EXPECT_EQ(bytesAt(15, 10), "Z12345678Z");
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
    for (int i = 0; i < 2; ++i)
        f->writeAt(8192, "xyz", 3);
    EXPECT_EQ(bytesAt(8192, 3), "xyz");
    EXPECT_EQ(std::filesystem::file_size(path), 8195u);
}

TEST(RealFileSystem, ExclusiveAndSharedLocksRefuseEachOther)
{
    TempDir dir;
    FileSystem &fs = FileSystem::real();
    const std::string path = dir.file("T.DBF");
    fs.create(path, ShareMode::Shared);
    {
        auto ex = fs.open(path, OpenMode::ReadWrite, ShareMode::Exclusive);
        try {
            fs.open(path, OpenMode::ReadOnly, ShareMode::Shared);
            FAIL() << "shared open succeeded";
        } catch (const OpenError &e) {
            EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos);
            EXPECT_EQ(e.file(), path);
        }
        EXPECT_THROW(fs.open(path, OpenMode::ReadWrite, ShareMode::Exclusive), OpenError);
        EXPECT_THROW(fs.create(path, ShareMode::Exclusive), OpenError);
    }
    auto s1 = fs.open(path, OpenMode::ReadOnly, ShareMode::Shared);
    auto s2 = fs.open(path, OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_THROW(fs.open(path, OpenMode::ReadWrite, ShareMode::Exclusive), OpenError);
    s1.reset();
    s2.reset();
    EXPECT_NO_THROW(fs.open(path, OpenMode::ReadWrite, ShareMode::Exclusive));
}

TEST(RealFileSystem, ResolveFindsAnyLetterCase)
{
    TempDir dir;
    FileSystem &fs = FileSystem::real();
    test::writeBytes(dir.file("Filmy.dbf"), {1});
    test::writeBytes(dir.file("filmy.MDX"), {1});
    EXPECT_EQ(fs.resolve(dir.file("FILMY.DBF")), dir.file("Filmy.dbf"));
    EXPECT_EQ(fs.resolve(dir.file("Filmy.mdx")), dir.file("filmy.MDX"));
    EXPECT_EQ(fs.resolve(dir.file("FILMY.DBT")), std::nullopt);
    test::writeBytes(dir.file("FILMY.DBF"), {1});
    EXPECT_EQ(fs.resolve(dir.file("FILMY.DBF")), dir.file("FILMY.DBF")); // exact match wins
    EXPECT_EQ(withExtension("a.b/FILMY.DBF", ".MDX"), "a.b/FILMY.MDX");
    EXPECT_EQ(withExtension("a.b/FILMY", ".DBT"), "a.b/FILMY.DBT");
}

TEST(MemoryFileSystem, LocksBudgetAndSnapshot)
{
    MemoryFileSystem fs;
    fs.setFileBytes("d/A.DBF", {1, 2, 3});
    EXPECT_EQ(fs.resolve("d/a.dbf"), "d/A.DBF");
    EXPECT_EQ(fs.resolve("e/a.dbf"), std::nullopt);
    auto ex = fs.open("d/A.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    EXPECT_THROW(fs.open("d/A.DBF", OpenMode::ReadOnly, ShareMode::Shared), OpenError);
    EXPECT_THROW(fs.open("d/B.DBF", OpenMode::ReadOnly, ShareMode::Shared), OpenError);

    fs.setWriteBudget(2);
    ex->writeAt(0, "x", 1);
    ex->writeAt(5, "y", 1);
    EXPECT_THROW(ex->writeAt(1, "z", 1), IoError);
    EXPECT_THROW(ex->truncate(0), IoError);
    EXPECT_EQ(fs.writeCount(), 2u);
    const std::vector<uint8_t> expected{'x', 2, 3, 0, 0, 'y'};
    EXPECT_EQ(fs.fileBytes("d/A.DBF"), expected);

    auto after = fs.snapshot();
    EXPECT_EQ(after->fileBytes("d/A.DBF"), expected);
    auto reopened = after->open("d/A.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    reopened->writeAt(0, "q", 1); // no budget, no lock from the old system
    EXPECT_EQ(fs.fileBytes("d/A.DBF")[0], 'x');
    ex.reset();
    auto s1 = fs.open("d/A.DBF", OpenMode::ReadOnly, ShareMode::Shared);
    auto s2 = fs.open("d/A.DBF", OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_THROW(fs.open("d/A.DBF", OpenMode::ReadOnly, ShareMode::Exclusive), OpenError);
}
