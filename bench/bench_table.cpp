// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the table component on a generated catalogue of 100,000 films: filtering and
// counting, the cached count, selecting a tag, posting a change, deleting, the rows a grid
// asks for, and the demo catalogue written through the component.

#include "benchcatalogue.h"
#include "catalogue.h"
#include "demo.h"
#include "table.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

using namespace welarik;

namespace {

// 100,000 films, or WELARIK_BENCH_FILMS (the demo writer takes at most 900,000).
const uint32_t kFilms = bench::benchFilmCount();

// One catalogue per run of the benchmark program, in a temporary folder.
const bench::BenchCatalogue &catalogue100k()
{
    static const bench::BenchCatalogue c("welarik-bench-", kFilms, 1);
    return c;
}

std::unique_ptr<Table> openFilms()
{
    auto table = std::make_unique<Table>("dbfFilmy");
    table->setFileName(catalogue100k().path());
    table->setIndexName("ID_CD");
    table->setFiltered(true);
    table->open();
    return table;
}

void BM_SetFilterAndCount(benchmark::State &state)
{
    auto table = openFilms();
    bool shelf = false;
    for (auto _ : state) {
        shelf = !shelf;
        table->setFilter(shelf ? "ID_OSOBY=0" : "ID_OSOBY=1");
        benchmark::DoNotOptimize(table->recordCount());
    }
}
BENCHMARK(BM_SetFilterAndCount)->Unit(benchmark::kMillisecond);

// The first count after an open: one chunked scan of the whole table.
void BM_OpenAndCountFiltered(benchmark::State &state)
{
    for (auto _ : state) {
        Table table("dbfFilmy");
        table.setFileName(catalogue100k().path());
        table.setFiltered(true);
        table.setFilter("ID_OSOBY=0");
        table.open();
        benchmark::DoNotOptimize(table.recordCount());
    }
}
BENCHMARK(BM_OpenAndCountFiltered)->Unit(benchmark::kMillisecond);

// What the main window waits for when it opens the catalogue: the films table opened in CD
// number order, the grid's provisional row count, the current row and the first screen of grid
// rows with their titles, while the count runs on another thread (waited for, untimed, when
// the table goes). Argument 1: opened exclusively (as the program does; files mapped), 0:
// shared.
void BM_OpenAndFirstRows(benchmark::State &state)
{
    const std::string &path = catalogue100k().path(); // generated before timing
    size_t bytes = 0;
    for (auto _ : state) {
        auto table = std::make_unique<Table>("dbfFilmy");
        table->setFileName(path);
        table->setExclusive(state.range(0) == 1);
        table->setIndexName("ID_CD");
        table->open();
        benchmark::DoNotOptimize(table->provisionalRowCount());
        benchmark::DoNotOptimize(table->currentRow());
        for (int row = 0; row < 30; ++row)
            bytes += table->asStringOf(table->recordAtRow(row), "T_PL").size();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_OpenAndFirstRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same until the count is known too (the status bar's first count).
void BM_OpenCountAndFirstRows(benchmark::State &state)
{
    const std::string &path = catalogue100k().path(); // generated before timing
    size_t bytes = 0;
    for (auto _ : state) {
        Table table("dbfFilmy");
        table.setFileName(path);
        table.setExclusive(state.range(0) == 1);
        table.setIndexName("ID_CD");
        table.open();
        benchmark::DoNotOptimize(table.recordCount());
        benchmark::DoNotOptimize(table.currentRow());
        for (int row = 0; row < 30; ++row)
            bytes += table.asStringOf(table.recordAtRow(row), "T_PL").size();
    }
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_OpenCountAndFirstRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What a user waits for after a sort button or a view command: the new order or filter, the
// count, the row of the current record and the first screen of rows, as the grid asks.
void gridAfterChange(Table &table)
{
    benchmark::DoNotOptimize(table.recordCount());
    benchmark::DoNotOptimize(table.currentRow());
    for (int row = 0; row < 30; ++row)
        benchmark::DoNotOptimize(table.asStringOf(table.recordAtRow(row), "T_PL"));
}

// A title change of a random film, posted with every tag kept on disk (going to the film is
// not timed).
void postRandomTitle(benchmark::State &state, Table &table, std::mt19937 &rng)
{
    state.PauseTiming();
    table.gotoRecord(1 + rng() % kFilms);
    state.ResumeTiming();
    table.edit();
    table.setString("T_PL", "Poprawiony " + std::to_string(rng() % 1000000));
    table.post();
}

void BM_SortAsTheGridSeesIt(benchmark::State &state)
{
    auto table = openFilms();
    const char *const tags[] = {"T_PL", "T_ORG", "GATUNEK", "ID_CD"};
    size_t next = 0;
    for (auto _ : state) {
        table->setIndexName(tags[next++ % 4]);
        gridAfterChange(*table);
    }
}
BENCHMARK(BM_SortAsTheGridSeesIt)->Unit(benchmark::kMillisecond);

void BM_ViewAsTheGridSeesIt(benchmark::State &state)
{
    auto table = openFilms();
    table->setIndexName("T_PL");
    const char *const views[] = {"ID_OSOBY=0", "ID_OSOBY=1", ""};
    size_t next = 0;
    for (auto _ : state) {
        table->setFilter(views[next++ % 3]);
        gridAfterChange(*table);
    }
}
BENCHMARK(BM_ViewAsTheGridSeesIt)->Unit(benchmark::kMillisecond);

void BM_PostAsTheGridSeesIt(benchmark::State &state)
{
    auto table = openFilms();
    table->setIndexName("T_PL");
    std::mt19937 rng(9);
    for (auto _ : state) {
        postRandomTitle(state, *table, rng);
        gridAfterChange(*table);
    }
}
BENCHMARK(BM_PostAsTheGridSeesIt)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_CountUnchangedFilteredTable(benchmark::State &state)
{
    auto table = openFilms();
    table->setFilter("ID_OSOBY=0");
    for (auto _ : state)
        benchmark::DoNotOptimize(table->recordCount());
}
BENCHMARK(BM_CountUnchangedFilteredTable)->Unit(benchmark::kNanosecond);

void BM_SelectTagKeepingCurrent(benchmark::State &state)
{
    auto table = openFilms();
    table->gotoRecord(kFilms / 2);
    bool title = false;
    for (auto _ : state) {
        title = !title;
        table->setIndexName(title ? "T_PL" : "ID_CD");
    }
    if (table->recNo() != kFilms / 2)
        state.SkipWithError("the current record moved");
}
BENCHMARK(BM_SelectTagKeepingCurrent)->Unit(benchmark::kMicrosecond);

void BM_PostTitleChange(benchmark::State &state)
{
    auto table = openFilms();
    table->setIndexName("T_PL");
    std::mt19937 rng(7);
    for (auto _ : state)
        postRandomTitle(state, *table, rng);
}
BENCHMARK(BM_PostTitleChange)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_DeleteUnderFilter(benchmark::State &state)
{
    auto table = openFilms();
    table->setFilter("ID_OSOBY=0");
    table->setIndexName("T_PL");
    table->first();
    for (auto _ : state) {
        table->deleteRecord();
        benchmark::DoNotOptimize(table->recordCount());
    }
}
BENCHMARK(BM_DeleteUnderFilter)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// What a grid pays after a change: the ordered rows rebuilt by one walk of the tag.
void BM_GridRowsAfterChange(benchmark::State &state)
{
    auto table = openFilms();
    table->setFilter("ID_OSOBY=0");
    table->setIndexName("T_PL");
    for (auto _ : state) {
        state.PauseTiming();
        table->edit();
        table->setString("UWAGI", std::to_string(state.iterations()));
        table->post();
        state.ResumeTiming();
        benchmark::DoNotOptimize(table->currentRow());
        benchmark::DoNotOptimize(table->recordAtRow(table->rowCount() / 2));
    }
}
BENCHMARK(BM_GridRowsAfterChange)->Unit(benchmark::kMillisecond);

// `welarik-dbf demo DIR --films 100000 --churn 2000`: every film, correction and deletion
// through the table component's insert/edit/post and delete, the tags kept on disk.
void BM_DemoThroughTableComponent(benchmark::State &state)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path()
                                      / ("welarik-bench-demo-" + std::to_string(getpid()));
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        DemoOptions options;
        options.films = kFilms;
        options.seed = 1;
        options.churn = 2000;
        TableDemoWriter writer;
        state.ResumeTiming();
        createDemoCatalogue(FileSystem::real(), dir.string(), options, writer);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DemoThroughTableComponent)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
