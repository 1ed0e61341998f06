// SPDX-License-Identifier: GPL-3.0-or-later
// A films catalogue through the engine, phase by phase, the way a user's session meets it:
//
//   Create   a new table with its memo and the four tags, then N films appended one by one
//            (every tag kept on disk, a memo for every tenth film), then closed;
//   Open     the table, its memo and its index (one cold open per iteration, then closed);
//   Walk     all entries in T_PL order, reading each record and its T_PL;
//   Seek     10,000 seeks of existing upper-cased titles in T_PL, each reading the record;
//   Append   reopen and append 10,000 more films with memos, then close.
//
// The films come from a fixed-seed generator of Polish titles (stored in cp1250), so every run
// writes the same files. After each phase the counters give the program's own memory
// (RssAnon: pages of the files mapped or cached by the system are not the program's) and the
// peak resident set (VmHWM, which does count mapped file pages).
//
// N is 100,000, or WELARIK_BENCH_FILMS (for instance 1000000).

#include "demo.h"
#include "tableengine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace welarik;

namespace {

constexpr uint32_t kSeeks = 10000;
constexpr uint32_t kAppends = 10000;

uint32_t filmCount()
{
    const char *text = std::getenv("WELARIK_BENCH_FILMS");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? static_cast<uint32_t>(n) : 100000;
}

// The run's folder, removed at exit; WELARIK_BENCH_DIR names one that is kept (to profile a
// single phase on the files of an earlier run).
const std::filesystem::path &runDir()
{
    struct Dir
    {
        const char *given = std::getenv("WELARIK_BENCH_DIR");
        std::filesystem::path path
            = given ? std::filesystem::path(given)
                    : std::filesystem::temp_directory_path()
                          / ("welarik-bench-catalogue-" + std::to_string(getpid()));
        Dir() { std::filesystem::create_directories(path); }
        ~Dir()
        {
            if (!given)
                std::filesystem::remove_all(path);
        }
    };
    static const Dir dir;
    return dir.path;
}

std::string filmsPath()
{
    return (runDir() / "FILMY.DBF").string();
}

// kB value of a line of /proc/self/status.
double statusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0 && line[std::char_traits<char>::length(key)] == ':')
            return std::stod(line.substr(line.find(':') + 1));
    }
    return 0;
}

void memoryCounters(benchmark::State &state)
{
    state.counters["RssAnon_MB"] = statusKb("RssAnon") / 1024.0;
    state.counters["VmHWM_MB"] = statusKb("VmHWM") / 1024.0;
}

// The first iteration after an open on its own (counter first_ms, wall time): it also pays
// for bringing the files' pages into the process, which later iterations find in place.
class FirstIteration
{
public:
    explicit FirstIteration(benchmark::State &state)
        : m_state(state)
    {}
    void begin()
    {
        if (!m_done)
            m_start = std::chrono::steady_clock::now();
    }
    void end()
    {
        if (m_done)
            return;
        m_done = true;
        const std::chrono::duration<double, std::milli> ms
            = std::chrono::steady_clock::now() - m_start;
        m_state.counters["first_ms"] = ms.count();
    }

private:
    benchmark::State &m_state;
    std::chrono::steady_clock::time_point m_start;
    bool m_done = false;
};

// splitmix64: the same films on every run and every machine.
class Generator
{
public:
    explicit Generator(uint64_t seed)
        : m_state(seed)
    {}
    uint32_t below(uint32_t n)
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<uint32_t>((z ^ (z >> 31)) % n);
    }
    template<size_t N>
    const char *pick(const char *const (&words)[N])
    {
        return words[below(N)];
    }

    std::string title()
    {
        static const char *const first[]
            = {"Ostatni", "Cichy",  "Zielony",  "Długa",   "Nocny",    "Złoty",    "Szalony",
               "Wielka",  "Zimowy", "Ślepy",    "Mroczny", "Łagodny",  "Pierwszy", "Żelazny",
               "Dziki",   "Gorzki", "Jesienny", "Śnieżna", "Źródlany", "Czarna",   "Ciemna"};
        static const char *const second[]
            = {"pociąg", "brzeg", "świt",   "ogień",    "dom",     "żołnierz", "rejs",
               "las",    "ślad",  "wiatr",  "człowiek", "księżyc", "most",     "gość",
               "źródło", "sen",   "powrót", "łowca",    "róża",    "łąka",     "pieśń"};
        static const char *const third[] = {"nad Wisłą",
                                            "w Łodzi",
                                            "z Gdańska",
                                            "pod Tatrami",
                                            "za miastem",
                                            "o świcie",
                                            "w ogniu",
                                            "na końcu",
                                            "bez słów",
                                            "w deszczu",
                                            "przed burzą",
                                            "po latach",
                                            "w Żółkwi",
                                            "nad jeziorem",
                                            "dla ciebie"};
        std::string t = std::string(pick(first)) + " " + pick(second);
        if (below(2) == 0)
            t += std::string(" ") + pick(third);
        t += " " + std::to_string(1 + below(999));
        return t;
    }

private:
    uint64_t m_state;
};

// Field numbers of the films table, looked up once.
struct Films
{
    explicit Films(const TableEngine &e)
        : id(e.fieldIndex("ID_CD"))
        , title(e.fieldIndex("T_PL"))
        , original(e.fieldIndex("T_ORG"))
        , genre(e.fieldIndex("GATUNEK"))
        , year(e.fieldIndex("D_PROD"))
        , country(e.fieldIndex("KRAJ"))
        , director(e.fieldIndex("REZYSER"))
        , memo(e.fieldIndex("OPIS"))
        , seen(e.fieldIndex("OBEJRZAN"))
        , lent(e.fieldIndex("ID_OSOBY"))
    {}
    int id, title, original, genre, year, country, director, memo, seen, lent;

    // Fills record with film number n; returns its title.
    std::string fill(TableEngine &e, RecordBuffer &record, Generator &g, uint32_t n) const
    {
        static const char *const genres[]
            = {"Dramat", "Komedia", "Sensacja", "Thriller", "Wojenny", "Historyczny", "Fantasy"};
        static const char *const countries[] = {"Polska", "USA", "Francja", "Niemcy", "Włochy"};
        static const char *const directors[]
            = {"Wajda Andrzej", "Kieślowski Krzysztof", "Żuławski Andrzej", "Holland Agnieszka"};
        static const char *const originals[] = {"The Last", "Silent", "Green", "Long", "Night"};
        const std::string t = g.title();
        e.setFieldInteger(record, id, n % 1000000); // six digits: a million runs on from 0
        e.setFieldText(record, title, t);
        e.setFieldText(record, original, std::string(g.pick(originals)) + " " + std::to_string(n));
        e.setFieldText(record, genre, g.pick(genres));
        e.setFieldText(record, year, std::to_string(1930 + g.below(95)));
        e.setFieldText(record, country, g.pick(countries));
        e.setFieldText(record, director, g.pick(directors));
        e.setFieldText(record, seen, g.below(2) ? "T" : "F");
        e.setFieldInteger(record, lent, g.below(10) == 0 ? 1 : 0);
        // A memo for every tenth film; the others keep a blank pointer.
        e.setFieldText(record,
                       memo,
                       n % 10 == 0 ? "Opis filmu " + std::to_string(n) + ": zażółć gęślą jaźń."
                                   : std::string());
        return t;
    }
};

// Titles of kSeeks films spread over the table, taken while they are written.
std::vector<std::string> &seekTitles()
{
    static std::vector<std::string> titles;
    return titles;
}

void BM_Create(benchmark::State &state)
{
    const uint32_t films = filmCount();
    const uint32_t every = std::max<uint32_t>(1, films / kSeeks);
    for (auto _ : state) {
        seekTitles().clear();
        auto engine = TableEngine::create(
            FileSystem::real(), filmsPath(), 4, 0x57, demoFilmFields(), demoFilmTags());
        const Films f(*engine);
        Generator g(2026);
        RecordBuffer record = engine->blankRecord();
        for (uint32_t n = 1; n <= films; ++n) {
            std::string title = f.fill(*engine, record, g, n);
            engine->append(record);
            if (n % every == 0 && seekTitles().size() < kSeeks)
                seekTitles().push_back(std::move(title));
        }
        engine->close();
    }
    state.counters["films"] = films;
    memoryCounters(state);
}
BENCHMARK(BM_Create)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Open(benchmark::State &state)
{
    for (auto _ : state) {
        auto engine = TableEngine::open(
            FileSystem::real(), filmsPath(), OpenMode::ReadWrite, ShareMode::Exclusive);
        benchmark::DoNotOptimize(engine->recordCount());
        engine->close();
    }
    memoryCounters(state);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

void BM_WalkTitleOrderReadingRecords(benchmark::State &state)
{
    auto engine = TableEngine::open(
        FileSystem::real(), filmsPath(), OpenMode::ReadWrite, ShareMode::Exclusive);
    const int tag = engine->tagIndex("T_PL");
    const int title = engine->fieldIndex("T_PL");
    RecordBuffer record;
    std::string text;
    uint32_t entries = 0;
    size_t bytes = 0;
    FirstIteration first(state);
    for (auto _ : state) {
        first.begin();
        entries = 0;
        bytes = 0;
        TagCursor cursor = engine->cursor(tag);
        for (bool ok = cursor.first(); ok; ok = cursor.next()) {
            engine->readRecord(cursor.recno(), record);
            text = engine->fieldText(record, title);
            bytes += text.size();
            ++entries;
        }
        benchmark::DoNotOptimize(bytes);
        first.end();
    }
    if (entries != engine->recordCount())
        state.SkipWithError("the walk missed entries");
    state.counters["entries"] = entries;
    memoryCounters(state);
}
BENCHMARK(BM_WalkTitleOrderReadingRecords)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_SeekTitlesReadingRecords(benchmark::State &state)
{
    auto engine = TableEngine::open(
        FileSystem::real(), filmsPath(), OpenMode::ReadWrite, ShareMode::Exclusive);
    const int tag = engine->tagIndex("T_PL");
    const int title = engine->fieldIndex("T_PL");
    std::vector<std::string> keys; // upper-cased, in the table's code page
    for (const std::string &t : seekTitles())
        keys.push_back(engine->keyPrefix(tag, t));
    RecordBuffer record;
    uint32_t found = 0;
    FirstIteration first(state);
    for (auto _ : state) {
        first.begin();
        found = 0;
        TagCursor cursor = engine->cursor(tag);
        for (const std::string &key : keys) {
            if (!cursor.seek(key))
                continue;
            engine->readRecord(cursor.recno(), record);
            found += record[engine->fields()[size_t(title)].offset] != ' ';
        }
        benchmark::DoNotOptimize(found);
        first.end();
    }
    if (found != keys.size() || keys.size() != kSeeks)
        state.SkipWithError("a seek missed an existing title");
    memoryCounters(state);
}
BENCHMARK(BM_SeekTitlesReadingRecords)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_ReopenAndAppend(benchmark::State &state)
{
    const uint32_t films = filmCount();
    for (auto _ : state) {
        auto engine = TableEngine::open(
            FileSystem::real(), filmsPath(), OpenMode::ReadWrite, ShareMode::Exclusive);
        const Films f(*engine);
        Generator g(4242);
        RecordBuffer record = engine->blankRecord();
        for (uint32_t n = films + 1; n <= films + kAppends; ++n) {
            f.fill(*engine, record, g, n);
            engine->append(record);
        }
        engine->close();
    }
    memoryCounters(state);
}
BENCHMARK(BM_ReopenAndAppend)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
