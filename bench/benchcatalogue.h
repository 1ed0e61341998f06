// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks over a generated catalogue share: how many films (100,000, or
// WELARIK_BENCH_FILMS; the demo writer takes at most 900,000) and the catalogue itself, laid out
// in a temporary folder through the engine's bulk path (the fastest way to lay it out) and
// removed again when the benchmark program ends.
#pragma once

#include "demo.h"
#include "file.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace welarik::bench {

inline uint32_t benchFilmCount()
{
    const char *text = std::getenv("WELARIK_BENCH_FILMS");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? static_cast<uint32_t>(n) : 100000u;
}

class BenchCatalogue
{
public:
    // The folder is named prefix + the process id, so parallel runs keep apart.
    BenchCatalogue(const std::string &prefix, uint32_t films, uint64_t seed)
    {
        m_dir = std::filesystem::temp_directory_path() / (prefix + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        DemoOptions options;
        options.films = films;
        options.seed = seed;
        EngineDemoWriter writer;
        m_path = createDemoCatalogue(FileSystem::real(), m_dir.string(), options, writer).filmsPath;
    }
    ~BenchCatalogue() { std::filesystem::remove_all(m_dir); }
    BenchCatalogue(const BenchCatalogue &) = delete;
    BenchCatalogue &operator=(const BenchCatalogue &) = delete;

    const std::string &path() const { return m_path; }

private:
    std::filesystem::path m_dir;
    std::string m_path;
};

} // namespace welarik::bench
