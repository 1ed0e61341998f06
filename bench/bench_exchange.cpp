// SPDX-License-Identifier: GPL-3.0-or-later
// Export of a whole catalogue: 100,000 generated films (or WELARIK_BENCH_FILMS) written to CSV,
// HTML and the catalogue XML from a films table opened as the program opens it (ID_CD order,
// filter on and empty). Each iteration opens the table and writes the file; the first
// iteration's time is reported beside the mean as first_s.

#include "demo.h"
#include "export.h"
#include "table.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace welarik;

namespace {

uint32_t filmCount()
{
    const char *text = std::getenv("WELARIK_BENCH_FILMS");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? static_cast<uint32_t>(n) : 100000;
}

struct Catalogue
{
    std::filesystem::path dir = std::filesystem::temp_directory_path()
                                / ("welarik-bench-exchange-" + std::to_string(getpid()));
    std::string films;
    Catalogue()
    {
        std::filesystem::create_directories(dir);
        DemoOptions options;
        options.films = filmCount();
        TableDemoWriter writer(100000);
        films = createDemoCatalogue(FileSystem::real(), dir.string(), options, writer).filmsPath;
    }
    ~Catalogue() { std::filesystem::remove_all(dir); }
};

const Catalogue &catalogue()
{
    static const Catalogue c;
    return c;
}

void exportFilms(benchmark::State &state, exchange::ExportFormat format, const char *extension)
{
    const std::string out = (catalogue().dir / (std::string("films.") + extension)).string();
    double first = -1;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Table films("dbfFilmy");
        films.setFileName(catalogue().films);
        films.setIndexName("ID_CD");
        films.setFiltered(true);
        films.open();
        benchmark::DoNotOptimize(exchange::exportView(films, format, out, "FILMY"));
        const double seconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (first < 0)
            first = seconds;
    }
    state.counters["first_s"] = first;
    state.counters["films"] = filmCount();
    state.counters["MB"] = double(std::filesystem::file_size(out)) / 1e6;
}

} // namespace

BENCHMARK_CAPTURE(exportFilms, Csv, exchange::ExportFormat::Csv, "csv")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(exportFilms, Html, exchange::ExportFormat::Html, "html")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(exportFilms, Xml, exchange::ExportFormat::Xml, "xml")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

BENCHMARK_MAIN();
