// SPDX-License-Identifier: GPL-3.0-or-later
// Every sample table from other programs opens through TableEngine, reads, and its tags list
// the records in key order; a copy can be written and stays sound.

#include "keyexpr.h"
#include "tableengine.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace welarik;

namespace {

const char *const kFixtures[] = {
    "jdbfdriver/TEST.DBF",
    "tdbf/DBASE3+.dbf",
    "tdbf/DBASE4.dbf",
    "tdbf/DBASEWIN.dbf",
    "tdbf/VisualDBase.dbf",
    "tdbf/TDBF_DEMO.DBF",
    "tdbf/disco.DBF",
    "infused-dbf/dbase_8b.dbf",
    "perl-dbd-xbase/test.dbf",
    "php-xbase/dBaseVII.dbf",
};

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TEST(Fixtures, EveryFixtureOpensReadsAndItsTagsMatchTheRecords)
{
    for (const char *name : kFixtures) {
        SCOPED_TRACE(name);
        std::unique_ptr<TableEngine> e;
        ASSERT_NO_THROW(e = TableEngine::open(FileSystem::real(),
                                              test::fixturePath(name),
                                              OpenMode::ReadOnly,
                                              ShareMode::Shared));
        RecordBuffer record;
        for (uint32_t recno = 1; recno <= e->recordCount(); ++recno) {
            e->readRecord(recno, record);
            for (size_t f = 0; f < e->fields().size(); ++f)
                EXPECT_NO_THROW(e->fieldText(record, int(f))) << "record " << recno;
        }
        for (size_t t = 0; t < e->tags().size(); ++t) {
            const TagInfo &info = e->tags()[t];
            SCOPED_TRACE("tag " + info.name);
            std::vector<uint32_t> listed;
            std::string previous;
            TagCursor c = e->cursor(int(t));
            for (bool ok = c.first(); ok; ok = c.next()) {
                if (!listed.empty()) {
                    const int order = compareKeys(info.keyType, previous, c.key());
                    EXPECT_LE(info.descending ? -order : order, 0);
                }
                if (info.evaluable) {
                    e->readRecord(c.recno(), record);
                    EXPECT_EQ(c.key(), e->keyOf(int(t), record.data())) << "record " << c.recno();
                }
                previous = c.key();
                listed.push_back(c.recno());
            }
            std::sort(listed.begin(), listed.end());
            std::vector<uint32_t> all(e->recordCount());
            for (uint32_t i = 0; i < all.size(); ++i)
                all[i] = i + 1;
            EXPECT_EQ(listed, all);
        }
        EXPECT_TRUE(e->check().sound());
    }
}

TEST(Fixtures, CopiesOfIndexedFixturesTakeWritesAndStaySound)
{
    for (const char *name : {"tdbf/disco.DBF", "jdbfdriver/TEST.DBF", "tdbf/TDBF_DEMO.DBF"}) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const std::string path = test::copyFixture(name, dir);
        const std::string base = std::string(name).substr(0, std::string(name).find('/') + 1);
        for (const auto &entry : std::filesystem::directory_iterator(
                 std::filesystem::path(test::fixturePath(name)).parent_path())) {
            if (lower(entry.path().stem().string())
                    == lower(std::filesystem::path(path).stem().string())
                && entry.path().filename() != std::filesystem::path(path).filename())
                test::copyFixture(base + entry.path().filename().string(), dir);
        }
        auto e = TableEngine::open(
            FileSystem::real(), path, OpenMode::ReadWrite, ShareMode::Exclusive);
        ASSERT_TRUE(e->hasIndex());
        RecordBuffer record;
        e->readRecord(1, record);
        const uint32_t added = e->append(record);
        e->update(1, record);
        e->markDeleted(added);
        const CheckReport report = e->check();
        EXPECT_TRUE(report.sound()) << (report.findings.empty() ? ""
                                                                : report.findings[0].where + ": "
                                                                      + report.findings[0].text);
    }
}
