// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue tools on a generated catalogue of 100,000 films (WELARIK_BENCH_FILMS):
//
//   Tidy      the whole "Porządkuj bazy": the dated copy of the six tables, then each table
//             packed (deleted records out, memo written anew, index rebuilt) and committed.
//             The catalogue has 5,000 corrections (titles and descriptions: dead memo blocks)
//             and 20% of its films deleted; every iteration starts from a fresh copy of it.
//             Counters: the files' bytes before and after, and those of a freshly built
//             catalogue of the same films (the tidied one must not be larger).
//   Check     the catalogue check of the six tables (engine checks and the catalogue's rules).
//   New       a new catalogue: the films table with memo and index, side tables present.
//
// Each reports the first iteration on its own (first_ms) beside the repeated mean.

#include "cataloguecheck.h"
#include "cataloguetools.h"
#include "demo.h"
#include "tableengine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace welarik;
namespace fs = std::filesystem;

namespace {

uint32_t filmCount()
{
    const char *text = std::getenv("WELARIK_BENCH_FILMS");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? static_cast<uint32_t>(n) : 100000;
}

struct RunDir
{
    fs::path path = fs::temp_directory_path() / ("welarik-bench-tools-" + std::to_string(getpid()));
    RunDir() { fs::create_directories(path); }
    ~RunDir() { fs::remove_all(path); }
};

const fs::path &runDir()
{
    static const RunDir dir;
    return dir.path;
}

uint64_t folderBytes(const fs::path &dir)
{
    uint64_t total = 0;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().string().find("kopia-") == std::string::npos)
            total += entry.file_size();
    }
    return total;
}

// The churned catalogue (made once): N films, 5,000 corrections, every fifth film deleted.
const fs::path &churnedTemplate()
{
    static const fs::path dir = [] {
        const fs::path d = runDir() / "template";
        EngineDemoWriter writer(1000);
        DemoOptions options;
        options.films = filmCount();
        options.churn = 5000;
        createDemoCatalogue(FileSystem::real(), d.string(), options, writer);
        auto e = TableEngine::open(FileSystem::real(),
                                   (d / "FILMY.DBF").string(),
                                   OpenMode::ReadWrite,
                                   ShareMode::Exclusive);
        uint32_t live = 0;
        for (uint32_t recno = 1; recno <= e->recordCount(); ++recno) {
            RecordBuffer r;
            e->readRecord(recno, r);
            if (!TableEngine::isDeleted(r) && ++live % 5 == 0)
                e->markDeleted(recno);
        }
        return d;
    }();
    return dir;
}

// A catalogue built from the same films as the tidied one: their live records appended anew.
uint64_t freshBytes(const fs::path &tidied)
{
    const fs::path d = runDir() / "fresh";
    fs::remove_all(d);
    fs::create_directories(d);
    fs::copy(tidied / "BAZY", d / "BAZY", fs::copy_options::recursive);
    const TableLayout layout = filmsLayout();
    auto source = TableEngine::open(
        FileSystem::real(), (tidied / "FILMY.DBF").string(), OpenMode::ReadOnly, ShareMode::Shared);
    auto fresh = TableEngine::create(FileSystem::real(),
                                     (d / "FILMY.DBF").string(),
                                     4,
                                     source->ldid(),
                                     layout.fields,
                                     layout.tags);
    fresh->beginBulk();
    source->scan([&](uint32_t, const uint8_t *record) {
        RecordBuffer r(record, record + source->recordLength());
        const int memo = source->fieldIndex("OPIS");
        fresh->setFieldText(r, memo, source->fieldText(record, memo));
        fresh->append(r);
        return true;
    });
    fresh->endBulk();
    fresh->close();
    return folderBytes(d);
}

template<typename F>
double millisecondsOf(F &&work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void BM_Tidy(benchmark::State &state)
{
    const fs::path &source = churnedTemplate();
    const fs::path work = runDir() / "tidy";
    bool first = true;
    uint64_t before = 0;
    uint64_t after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(work);
        fs::copy(source, work, fs::copy_options::recursive);
        before = folderBytes(work);
        const CataloguePaths paths = cataloguePaths(
            FileSystem::real(), (work / "FILMY.DBF").string(), (work / "BAZY/").string());
        state.ResumeTiming();
        const double ms = millisecondsOf([&] { tidyCatalogue(FileSystem::real(), paths); });
        if (first)
            state.counters["first_ms"] = ms;
        first = false;
        state.PauseTiming();
        after = folderBytes(work);
        state.ResumeTiming();
    }
    state.counters["bytes_before"] = double(before);
    state.counters["bytes_after"] = double(after);
    state.counters["bytes_fresh"] = double(freshBytes(work));
}
BENCHMARK(BM_Tidy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_CatalogueCheck(benchmark::State &state)
{
    const fs::path &dir = churnedTemplate();
    const CataloguePaths paths = cataloguePaths(
        FileSystem::real(), (dir / "FILMY.DBF").string(), (dir / "BAZY/").string());
    bool first = true;
    for (auto _ : state) {
        const double ms = millisecondsOf([&] {
            const CatalogueCheck check = checkCatalogue(FileSystem::real(), paths);
            benchmark::DoNotOptimize(check.findings.size());
        });
        if (first)
            state.counters["first_ms"] = ms;
        first = false;
    }
}
BENCHMARK(BM_CatalogueCheck)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_NewCatalogue(benchmark::State &state)
{
    const fs::path dir = runDir() / "new";
    fs::create_directories(dir / "BAZY");
    createCatalogue(FileSystem::real(), (dir / "A.DBF").string(), (dir / "BAZY/").string());
    bool first = true;
    int n = 0;
    for (auto _ : state) {
        const std::string films = (dir / ("N" + std::to_string(++n) + ".DBF")).string();
        const double ms = millisecondsOf(
            [&] { createCatalogue(FileSystem::real(), films, (dir / "BAZY/").string()); });
        if (first)
            state.counters["first_ms"] = ms;
        first = false;
    }
}
BENCHMARK(BM_NewCatalogue)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
