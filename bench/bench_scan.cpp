// SPDX-License-Identifier: GPL-3.0-or-later
// The disc scan, whole:
//
//   Scan   a folder of 1,000 small video files of mixed formats (the test videos copied under
//          film-like names, 40 folders of 25, made at run time): find, read every file's
//          technical data, guess the titles, join the parts. Target: at most 10 s with the page
//          cache warm (the first iteration, counter first_ms, pays for a cold cache).
//   Add    the 1,000 rows of that scan to an empty catalogue, one number each. Target: at most
//          2 s. Each iteration starts from a fresh catalogue (not timed).

#include "catalogue.h"
#include "scan.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace welarik;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
constexpr int kPerFolder = 25;

const char *const kSamples[] = {"h264_ac3.mkv",
                                "h264_aac.mp4",
                                "h264_aac.m4v",
                                "mpeg4_aac.mov",
                                "vp9_opus.webm",
                                "mpeg1_mp2.mpg",
                                "mpeg2_ac3.vob",
                                "h264_aac.ts",
                                "theora_vorbis.ogv",
                                "wmv2_wma.wmv",
                                "msmpeg4_wma.asf",
                                "flv_mp3.flv",
                                "xvid_mp3.avi",
                                "xvid_mp3.divx"};

struct Disc
{
    fs::path dir = fs::temp_directory_path() / ("welarik-bench-scan-" + std::to_string(getpid()));
    Disc()
    {
        const fs::path samples = fs::path(WELARIK_MEDIA_DIR);
        for (int i = 0; i < kFiles; ++i) {
            const fs::path sample = samples / kSamples[i % std::size(kSamples)];
            const fs::path folder = dir / ("Dysk" + std::to_string(i / kPerFolder));
            fs::create_directories(folder);
            const std::string name = "Film.numer." + std::to_string(i) + "."
                                     + std::to_string(1950 + i % 70) + ".PL.DVDRip.XviD"
                                     + sample.extension().string();
            fs::copy_file(sample, folder / name, fs::copy_options::overwrite_existing);
        }
    }
    ~Disc() { fs::remove_all(dir); }
};

const Disc &disc()
{
    static const Disc d;
    return d;
}

std::vector<ScanRow> scan()
{
    MediaReader reader;
    return scanRows(readVideoFiles(findVideoFiles(disc().dir), reader), disc().dir);
}

void BM_ScanFolder(benchmark::State &state)
{
    disc();
    bool first = true;
    size_t rows = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        rows = scan().size();
        if (first) {
            const std::chrono::duration<double, std::milli> ms
                = std::chrono::steady_clock::now() - start;
            state.counters["first_ms"] = ms.count();
            first = false;
        }
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddFilms(benchmark::State &state)
{
    const std::vector<ScanRow> rows = scan();
    const fs::path dir = disc().dir.string() + "-katalog";
    bool first = true;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string films = createEmptyCatalogue(FileSystem::real(), dir.string());
        auto catalogue = std::make_unique<Catalogue>();
        catalogue->dbfFilmy.setFileName(films);
        catalogue->bindSideTables((dir / "BAZY").string() + "/");
        catalogue->dbfFilmy.open();
        catalogue->dbfNrF.open();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const size_t added
            = addScanRows(catalogue->dbfFilmy, catalogue->dbfNrF, rows, ScanNumbering::OwnNumbers)
                  .size();
        catalogue.reset(); // closing writes what is left
        if (first) {
            const std::chrono::duration<double, std::milli> ms
                = std::chrono::steady_clock::now() - start;
            state.counters["first_ms"] = ms.count();
            first = false;
        }
        state.counters["films"] = double(added);
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_AddFilms)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
