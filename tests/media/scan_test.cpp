// SPDX-License-Identifier: GPL-3.0-or-later
// The disc scan: finding the files (hidden folders, a link loop), joining the parts of a film,
// the preview lines, and adding the films with their numbers, also when the disc fails midway.

#include "catalogue.h"
#include "memfs.h"
#include "scan.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

using namespace welarik;
namespace fs = std::filesystem;

namespace {

fs::path media(const char *name)
{
    return fs::path(WELARIK_TEST_DATA_DIR) / "media" / name;
}

ScanRow row(const std::string &title)
{
    ScanRow r;
    r.polish = title;
    r.texts[size_t(ProbeEdit::Fps)] = "25.00";
    return r;
}

// A catalogue in memory with the pool holding the given numbers and films numbered 1..films.
struct MemCatalogue
{
    MemoryFileSystem fs;
    std::string films;
    std::string pool;

    MemCatalogue(std::initializer_list<int> poolNumbers, int filmCount)
    {
        films = createEmptyCatalogue(fs, "/k");
        pool = "/k/BAZY/NRFILM.DBF";
        Catalogue c(fs);
        open(c);
        for (int n = 1; n <= filmCount; ++n) {
            c.dbfFilmy.insert();
            c.dbfFilmy.setInteger("ID_CD", n);
            c.dbfFilmy.post();
        }
        for (int n : poolNumbers) {
            c.dbfNrF.insert();
            c.dbfNrF.setInteger("ID_CD", n);
            c.dbfNrF.post();
        }
    }
    void open(Catalogue &c)
    {
        c.dbfFilmy.setFileName(films);
        c.bindSideTables("/k/BAZY/");
        c.dbfFilmy.open();
        c.dbfNrF.open();
    }
    std::vector<int64_t> numbers(Table &t)
    {
        std::vector<int64_t> out;
        t.setFiltered(false);
        for (t.first(); !t.eof(); t.next())
            out.push_back(t.asInteger("ID_CD"));
        return out;
    }
};

} // namespace

TEST(Scan, FindsVideosRecursivelySkipsHiddenFoldersAndSurvivesALinkLoop)
{
    test::TempDir dir;
    const fs::path root = dir.path() / "dysk";
    fs::create_directories(root / "a" / "b");
    fs::create_directories(root / ".ukryty");
    fs::copy_file(media("h264_aac.mp4"), root / "a" / "b" / "Film.mp4");
    fs::copy_file(media("vp9_opus.webm"), root / "Inny.WEBM");
    fs::copy_file(media("h264_aac.mp4"), root / ".ukryty" / "Schowany.mp4");
    std::ofstream(root / "opis.txt") << "nie film";
    fs::create_directory_symlink("..", root / "a" / "b" / "w_gore"); // a loop
    fs::create_directory_symlink(root, root / "a" / "ja");           // another
    const std::vector<fs::path> found = findVideoFiles(root);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].filename(), "Inny.WEBM");
    EXPECT_EQ(found[1].filename(), "Film.mp4");
}

TEST(Scan, PartsOfOneFilmJoinAndNonVideosAreSkipped)
{
    test::TempDir dir;
    const fs::path root = dir.path();
    fs::copy_file(media("h264_aac.mp4"), root / "Matrix.1999.DVDRip.XviD.cd1.mp4");
    fs::copy_file(media("h264_aac.mp4"), root / "Matrix.1999.DVDRip.XviD.cd2.mp4");
    fs::copy_file(media("h264_ac3.mkv"), root / "Seksmisja (1984) PL.mkv");
    fs::copy_file(media("notes.mkv"), root / "Lista.mkv");
    MediaReader reader;
    std::vector<std::string> skipped;
    const std::vector<ScanRow> rows
        = scanRows(readVideoFiles(findVideoFiles(root), reader), root, &skipped);
    ASSERT_EQ(rows.size(), 2u);
    const ScanRow &matrix = rows[0];
    EXPECT_EQ(matrix.polish, "Matrix");
    EXPECT_EQ(matrix.year, "1999");
    EXPECT_EQ(matrix.parts, 2);
    EXPECT_EQ(matrix.files.size(), 2u);
    EXPECT_EQ(matrix.texts[size_t(ProbeEdit::Czas)], "00:00:04"); // 2 s + 2 s
    EXPECT_EQ(matrix.texts[size_t(ProbeEdit::Rozmiar)],
              sizeText(2 * int64_t(fs::file_size(media("h264_aac.mp4")))));
    EXPECT_EQ(rows[1].polish, "Seksmisja");
    EXPECT_EQ(rows[1].remarks, "PL");
    EXPECT_EQ(rows[1].texts[size_t(ProbeEdit::Kanaly)], "6 kanałów (5.1)");
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0], "Lista.mkv: To nie jest plik wideo");

    const std::string lines = scanRowsText(rows, root);
    EXPECT_EQ(lines.substr(0, lines.find('\n')),
              "T_PL\tT_ORG\tD_PROD\tILOSC_CD\tUWAGI\tFPS\tROZMIAR\tCZAS\tROZDZIEL\tCVIDEO\tVBITRATE"
              "\tCAUDIO\tABITRATE\tKANALY\tSAMPLE_R\tPLIKI");
    EXPECT_NE(lines.find("Matrix\t\t1999\t2\t\t23.98\t"), std::string::npos);
    EXPECT_NE(lines.find("Matrix.1999.DVDRip.XviD.cd1.mp4 + Matrix.1999.DVDRip.XviD.cd2.mp4\n"),
              std::string::npos);
}

TEST(Scan, ADvdFolderIsOneFilmNamedByTheFolderAboveVideoTs)
{
    test::TempDir dir;
    const fs::path video = dir.path() / "Potop (1974)" / "VIDEO_TS";
    fs::create_directories(video);
    for (const char *name : {"VIDEO_TS.VOB", "VTS_01_0.VOB", "VTS_01_1.VOB", "VTS_01_2.VOB"})
        fs::copy_file(media("mpeg2_ac3.vob"), video / name);
    MediaReader reader;
    const std::vector<ScanRow> rows
        = scanRows(readVideoFiles(findVideoFiles(dir.path()), reader), dir.path());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].polish, "Potop");
    EXPECT_EQ(rows[0].year, "1974");
    EXPECT_EQ(rows[0].parts, 2);
    EXPECT_EQ(rows[0].texts[size_t(ProbeEdit::Czas)], "00:00:04");
}

TEST(ScanAdd, OwnNumbersComeFromThePoolThenTheHighestAndOneNumberIsShared)
{
    MemCatalogue m({7, 6}, 5);
    {
        Catalogue c(m.fs);
        m.open(c);
        std::vector<ScanRow> rows = {row("A"), row("B"), row("C"), row("D")};
        rows[2].checked = false;
        EXPECT_EQ(addScanRows(c.dbfFilmy, c.dbfNrF, rows, ScanNumbering::OwnNumbers),
                  (std::vector<int32_t>{7, 6, 8}));
        EXPECT_TRUE(m.numbers(c.dbfNrF).empty());
        EXPECT_EQ(addScanRows(c.dbfFilmy, c.dbfNrF, {row("E"), row("F")}, ScanNumbering::OneNumber),
                  (std::vector<int32_t>{9, 9}));
        c.dbfFilmy.setFiltered(false);
        c.dbfFilmy.last();
        EXPECT_EQ(c.dbfFilmy.asString("T_PL"), "F");
        EXPECT_EQ(c.dbfFilmy.asString("FPS"), "25.00");
        // A stop after the first film keeps it, numbered.
        const auto stop = [](size_t, size_t) {
            return false;
        };
        EXPECT_EQ(addScanRows(
                      c.dbfFilmy, c.dbfNrF, {row("G"), row("H")}, ScanNumbering::OwnNumbers, stop),
                  (std::vector<int32_t>{10}));
    }
}

TEST(ScanAdd, AFailingWriteNeverLeavesANumberBothFreeAndInUse)
{
    for (uint64_t budget = 0;; ++budget) {
        SCOPED_TRACE(budget);
        MemCatalogue m({9, 4}, 3);
        bool failed = false;
        std::vector<int32_t> given;
        {
            Catalogue c(m.fs);
            m.open(c);
            m.fs.setWriteBudget(budget);
            try {
                given = addScanRows(c.dbfFilmy,
                                    c.dbfNrF,
                                    {row("A"), row("B"), row("C")},
                                    ScanNumbering::OwnNumbers);
            } catch (const std::exception &) {
                failed = true;
            }
            m.fs.setWriteBudget(std::nullopt);
        }
        Catalogue after(m.fs);
        m.open(after);
        const std::vector<int64_t> films = m.numbers(after.dbfFilmy);
        const std::vector<int64_t> pool = m.numbers(after.dbfNrF);
        const std::set<int64_t> unique(films.begin(), films.end());
        EXPECT_EQ(unique.size(), films.size());
        for (int64_t n : pool)
            EXPECT_EQ(unique.count(n), 0u) << n;
        // The films before the failure stay: 1..3, then 9, 4 from the pool, then 10.
        const std::vector<int64_t> order = {9, 4, 10};
        ASSERT_GE(films.size(), 3u);
        ASSERT_LE(films.size(), 6u);
        std::set<int64_t> expected = {1, 2, 3};
        expected.insert(order.begin(), order.begin() + std::ptrdiff_t(films.size() - 3));
        EXPECT_EQ(unique, expected);
        if (!failed) {
            EXPECT_EQ(films.size(), 6u);
            EXPECT_TRUE(pool.empty());
            break;
        }
        ASSERT_LT(budget, 500u);
    }
}
