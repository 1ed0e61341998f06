// SPDX-License-Identifier: GPL-3.0-or-later
// Speed and memory of the table engine on generated films tables shaped like the demo's (25
// fields, a memo, tags ID_CD, UPPER(T_PL), UPPER(T_ORG), GATUNEK): open, a walk in T_PL order,
// random seeks, appends with the tags kept on disk, and bulk building.
//
// The tables are generated in a child process, so the peak memory reported after the walk is
// the walk's own and not the generator's.

#include "demo.h"
#include "tableengine.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace welarik;

namespace {

// A temporary folder for the run, removed at exit (by the parent only: children _exit).
std::filesystem::path benchDir()
{
    struct Dir
    {
        std::filesystem::path path = std::filesystem::temp_directory_path()
                                     / ("welarik-bench-engine-" + std::to_string(getpid()));
        ~Dir() { std::filesystem::remove_all(path); }
    };
    static const Dir dir;
    return dir.path;
}

std::string generate(uint32_t films, const std::string &name)
{
    const std::filesystem::path dir = benchDir() / name;
    std::filesystem::create_directories(dir);
    DemoOptions options;
    options.films = films;
    options.seed = 1;
    EngineDemoWriter writer;
    return createDemoCatalogue(FileSystem::real(), dir.string(), options, writer).filmsPath;
}

// The films table with n records, generated once per run in a child process.
const std::string &table(uint32_t films)
{
    static std::map<uint32_t, std::string> paths;
    auto it = paths.find(films);
    if (it != paths.end())
        return it->second;
    const std::string name = "films" + std::to_string(films);
    const std::filesystem::path dir = benchDir(); // fixed before the child exists
    const pid_t child = fork();
    if (child == 0) {
        try {
            generate(films, name);
            _exit(0);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "%s\n", e.what());
            _exit(1);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::abort();
    return paths[films] = (dir / name / "FILMY.DBF").string();
}

// kB value of a line of /proc/self/status ("VmHWM", "VmRSS").
double statusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(line.find(':') + 1));
    }
    return 0;
}

void BM_Open(benchmark::State &state)
{
    const std::string &path = table(static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        auto engine = TableEngine::open(
            FileSystem::real(), path, OpenMode::ReadWrite, ShareMode::Exclusive);
        benchmark::DoNotOptimize(engine->recordCount());
    }
}
BENCHMARK(BM_Open)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_WalkTitleOrder(benchmark::State &state)
{
    const std::string &path = table(100000);
    auto engine
        = TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Exclusive);
    const int tag = engine->tagIndex("T_PL");
    uint64_t entries = 0;
    for (auto _ : state) {
        TagCursor cursor = engine->cursor(tag);
        entries = 0;
        for (bool ok = cursor.first(); ok; ok = cursor.next())
            ++entries;
        benchmark::DoNotOptimize(entries);
    }
    state.counters["entries"] = double(entries);
    state.counters["peak_rss_MB"] = statusKb("VmHWM") / 1024.0;
    state.counters["rss_MB"] = statusKb("VmRSS") / 1024.0;
}
BENCHMARK(BM_WalkTitleOrder)->Unit(benchmark::kMillisecond);

void BM_WalkTitleOrderReadingRecords(benchmark::State &state)
{
    const std::string &path = table(100000);
    auto engine
        = TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Exclusive);
    const int tag = engine->tagIndex("T_PL");
    RecordBuffer record;
    for (auto _ : state) {
        TagCursor cursor = engine->cursor(tag);
        for (bool ok = cursor.first(); ok; ok = cursor.next())
            engine->readRecord(cursor.recno(), record);
        benchmark::DoNotOptimize(record.data());
    }
    state.counters["peak_rss_MB"] = statusKb("VmHWM") / 1024.0;
}
BENCHMARK(BM_WalkTitleOrderReadingRecords)->Unit(benchmark::kMillisecond);

void BM_RandomSeeks(benchmark::State &state)
{
    const std::string &path = table(100000);
    auto engine
        = TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Exclusive);
    const int tag = engine->tagIndex("T_PL");
    const int title = engine->fieldIndex("T_PL");
    // 10,000 search texts: titles of random records, cut to a random prefix.
    std::mt19937 rng(7);
    std::vector<std::string> keys;
    RecordBuffer record;
    for (int i = 0; i < 10000; ++i) {
        engine->readRecord(1 + rng() % engine->recordCount(), record);
        std::string text = engine->fieldText(record, title);
        text.resize(text.find_last_not_of(' ') + 1);
        keys.push_back(engine->keyPrefix(tag, text).substr(0, 3 + rng() % 10));
    }
    int found = 0;
    for (auto _ : state) {
        TagCursor cursor = engine->cursor(tag);
        found = 0;
        for (const std::string &key : keys)
            found += cursor.seek(key);
    }
    if (found != 10000)
        state.SkipWithError("a seek missed an existing key");
}
BENCHMARK(BM_RandomSeeks)->Unit(benchmark::kMillisecond);

void BM_Append10000(benchmark::State &state)
{
    const std::string &source = table(100000);
    const std::filesystem::path dir = benchDir() / "append";
    std::mt19937 rng(3);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (const char *ext : {".DBF", ".DBT", ".MDX"})
            std::filesystem::copy_file(withExtension(source, ext),
                                       (dir / (std::string("FILMY") + ext)).string());
        auto engine = TableEngine::open(FileSystem::real(),
                                        (dir / "FILMY.DBF").string(),
                                        OpenMode::ReadWrite,
                                        ShareMode::Exclusive);
        RecordBuffer record;
        engine->readRecord(1, record);
        const int id = engine->fieldIndex("ID_CD");
        const int title = engine->fieldIndex("T_PL");
        const int original = engine->fieldIndex("T_ORG");
        std::vector<RecordBuffer> records;
        for (int i = 0; i < 10000; ++i) {
            engine->setFieldInteger(record, id, 200000 + i);
            engine->setFieldText(record, title, "Nowy film " + std::to_string(rng()));
            engine->setFieldText(record, original, "New film " + std::to_string(rng()));
            records.push_back(record);
        }
        state.ResumeTiming();
        for (const RecordBuffer &r : records)
            engine->append(r);
        engine->close();
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Append10000)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Build100000(benchmark::State &state)
{
    int run = 0;
    for (auto _ : state)
        generate(100000, "build" + std::to_string(run++));
    state.counters["peak_rss_MB"] = statusKb("VmHWM") / 1024.0;
}
BENCHMARK(BM_Build100000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
