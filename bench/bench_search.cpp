// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the advanced search on a generated catalogue of 100,000 films: a search of three
// conditions (an actor's name contained in AKTORZY, a genre, a range of years) set as the films
// table's filter, until the grid has what it shows first: the count, the current row and the
// first screen of rows with their titles.
//
// BM_SearchAfterOpen opens the table anew for every iteration (as the program opens it, and
// with the first count done, as it is by the time a user has clicked through the dialog), so
// each iteration is a first search after an open; its counter first_ms is the very first one
// (files' pages coming into the process). BM_SearchRepeated alternates two searches on one
// open table. First argument 1: letter case and diacritics ignored (the heavier expression).
// BM_SearchAfterOpen's second argument 0: the search starts at once after the open, while the
// table's first count still runs on another thread (it is waited for, and timed).

#include "benchcatalogue.h"
#include "dbsearch.h"
#include "demo.h"
#include "table.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace welarik;

namespace {

const uint32_t kFilms = bench::benchFilmCount();

const bench::BenchCatalogue &catalogue()
{
    static const bench::BenchCatalogue c("welarik-bench-search-", kFilms, 3);
    return c;
}

std::string searchExpression(bool blind, const char *actor)
{
    const auto text = [blind](const char *field, SearchOp op, const char *value) {
        return SearchCondition{field, SearchKind::Text, op, value, {}, true, blind};
    };
    const SearchCondition years{
        "D_PROD", SearchKind::Year, SearchOp::Between, "1970", "1999", true, blind};
    return buildSearchExpression({text("AKTORZY", SearchOp::Contains, actor),
                                  text("GATUNEK", SearchOp::Contains, "dramat"),
                                  years},
                                 true)
        .text;
}

std::unique_ptr<Table> openFilms()
{
    auto table = std::make_unique<Table>("dbfFilmy");
    table->setFileName(catalogue().path());
    table->setExclusive(true);
    table->setIndexName("ID_CD");
    table->setFiltered(true);
    table->open();
    return table;
}

// What the grid and the status bar take after the filter changed.
size_t firstScreen(Table &table)
{
    size_t bytes = 0;
    benchmark::DoNotOptimize(table.recordCount());
    benchmark::DoNotOptimize(table.currentRow());
    for (int row = 0; row < 30 && row < table.rowCount(); ++row)
        bytes += table.asStringOf(table.recordAtRow(row), "T_PL").size();
    return bytes;
}

void BM_SearchAfterOpen(benchmark::State &state)
{
    const std::string expression = searchExpression(state.range(0) == 1, "olbrychski");
    catalogue();
    size_t bytes = 0;
    bool first = true;
    int found = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto table = openFilms();
        if (state.range(1) == 1)
            benchmark::DoNotOptimize(table->recordCount()); // the count at open, done by now
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        table->setFilter(expression);
        bytes += firstScreen(*table);
        if (first) {
            const std::chrono::duration<double, std::milli> ms
                = std::chrono::steady_clock::now() - start;
            state.counters["first_ms"] = ms.count();
            first = false;
        }
        found = table->recordCount();
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["found"] = found;
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_SearchAfterOpen)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_SearchRepeated(benchmark::State &state)
{
    const std::string searches[] = {searchExpression(state.range(0) == 1, "olbrychski"),
                                    searchExpression(state.range(0) == 1, "linda")};
    auto table = openFilms();
    size_t bytes = 0;
    size_t next = 0;
    for (auto _ : state) {
        table->setFilter(searches[next++ % 2]);
        bytes += firstScreen(*table);
    }
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_SearchRepeated)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
