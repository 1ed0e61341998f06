// SPDX-License-Identifier: GPL-3.0-or-later
// The first time: each phase of a catalogue's life done once, one after another in one process,
// as a person or a script meets it (page cache warm, nothing decoded yet):
//
//   Create      100,000 films-shaped records appended one at a time (25 fields, a memo on
//               every tenth, four tags), closed;
//   FreshOpen   the table opened in a new process (fork), as every command-line call pays it;
//   Open        the table opened here, for writing;
//   Walk        every entry in T_PL order, reading each record and its T_PL;
//   Seek        10,000 seeks of existing titles, reading each record;
//   Append      10,000 more appends, then close;
//   GenreView   the table component opened on the file (its first count done), then the
//               filter GATUNEK='Dramat' and its count: what the genre drop-down does first.
//
// The data and the order of the phases are those of single_pass.cpp beside this file (the
// plain program the first-time figures were first measured with; it calls the public API only
// and prints phase<TAB>seconds): the same xorshift stream, fields, tags and records. Each
// phase reports its wall time (Iterations(1): the first time is the only time) and the
// process's anonymous resident memory after it (RssAnon_MB). Records: WELARIK_BENCH_FILMS.
#include "codepage.h"
#include "file.h"
#include "table.h"
#include "tableengine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace welarik;

namespace {

unsigned long long rng = 88172645463325252ull;
unsigned next() // xorshift64, fixed seed
{
    rng ^= rng << 13;
    rng ^= rng >> 7;
    rng ^= rng << 17;
    return static_cast<unsigned>(rng >> 11);
}

const char *kWords[] = {
    "Mi\x9c",
    "Rejs",
    "Seksmisja",
    "Ojciec",
    "chrzestny",
    "\xa3owca",
    "android\xf3w",
    "\xd3smy",
    "pasa\xbf"
    "er",
    "Pianista",
    "N\xf3\xbf",
    "w",
    "wodzie",
    "\xafycie",
    "na",
    "pods\xb3uchu",
    "Dzie\xf1",
    "\x9cwira",
    "Ziemia",
    "obiecana",
    "Cz\xb3owiek",
    "z",
    "marmuru",
    "Popi\xf3\xb3",
    "i",
    "diament",
    "\x8c"
    "cigany",
    "\x8fr\xf3"
    "d\xb3o",
    "Kr\xf3tki",
    "film",
    "o",
    "zabijaniu",
    "Wesele",
    "Potop",
    "Ogniem",
    "mieczem",
};
const char *kGenres[] = {
    "Komedia",
    "Dramat",
    "Science fiction",
    "Horror",
    "Wojenny",
    "Obyczajowy",
    "Krymina\xb3",
    "Sensacja",
    "Historyczny",
    "Fantasy",
    "Thriller",
    "Komedia romantyczna",
    "Western",
    "Animowany",
    "Ba\x9c\xf1",
    "Przygodowy",
};

std::string title() // cp1250 bytes
{
    std::string t;
    int n = 1 + static_cast<int>(next() % 5);
    for (int i = 0; i < n; i++) {
        if (i)
            t += ' ';
        t += kWords[next() % (sizeof kWords / sizeof *kWords)];
    }
    char buf[16];
    snprintf(buf, sizeof buf, " %u", next() % 100000);
    return t + buf;
}
std::string u8(const std::string &cp1250)
{
    return toUtf8(CodePage::Cp1250, cp1250);
}

FieldDesc F(const char *n, char t, int len)
{
    FieldDesc f;
    f.name = n;
    f.type = t;
    f.length = static_cast<uint8_t>(len);
    return f;
}

void appendFilms(TableEngine &e, int from, int count, std::vector<std::string> *titles)
{
    const int id = e.fieldIndex("ID_CD"), tpl = e.fieldIndex("T_PL"), torg = e.fieldIndex("T_ORG"),
              gat = e.fieldIndex("GATUNEK"), dprod = e.fieldIndex("D_PROD"),
              kraj = e.fieldIndex("KRAJ"), rez = e.fieldIndex("REZYSER"),
              akt = e.fieldIndex("AKTORZY"), opis = e.fieldIndex("OPIS"),
              ilosc = e.fieldIndex("ILOSC_CD"), obej = e.fieldIndex("OBEJRZAN"),
              osoby = e.fieldIndex("ID_OSOBY");
    for (int i = from; i < from + count; i++) {
        RecordBuffer r = e.blankRecord();
        e.setFieldInteger(r, id, i);
        std::string t = title();
        e.setFieldText(r, tpl, u8(t));
        e.setFieldText(r, torg, u8(title()));
        e.setFieldText(r, gat, u8(kGenres[next() % 16]));
        e.setFieldText(r, dprod, std::to_string(1950 + next() % 75));
        e.setFieldText(r, kraj, "Polska");
        e.setFieldText(r, rez, "Wajda Andrzej");
        e.setFieldText(r, akt, "Olbrychski Daniel, Seweryn Andrzej, Pszoniak Wojciech");
        if (i % 10 == 0)
            e.setFieldText(r, opis, u8("Opis filmu " + t));
        e.setFieldText(r, ilosc, "1");
        e.setFieldLogical(r, obej, true);
        e.setFieldInteger(r, osoby, static_cast<int>(next() % 2));
        e.append(r);
        if (titles)
            titles->push_back(t);
    }
}

int records()
{
    const char *text = std::getenv("WELARIK_BENCH_FILMS");
    const int n = text ? std::atoi(text) : 0;
    return n > 0 ? n : 100000;
}

const std::filesystem::path &runDir()
{
    struct Dir
    {
        std::filesystem::path path = std::filesystem::temp_directory_path()
                                     / ("welarik-bench-first-" + std::to_string(getpid()));
        Dir() { std::filesystem::create_directories(path); }
        ~Dir() { std::filesystem::remove_all(path); }
    };
    static const Dir dir;
    return dir.path;
}

std::string tablePath()
{
    return (runDir() / "BENCH.DBF").string();
}

void anon(benchmark::State &state)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("RssAnon:", 0) == 0)
            state.counters["RssAnon_MB"] = std::stod(line.substr(8)) / 1024.0;
}

std::vector<std::string> g_titles;
std::unique_ptr<TableEngine> g_engine;

void BM_Create(benchmark::State &state)
{
    const FieldList s = {
        F("ID_CD", 'N', 6),     F("T_PL", 'C', 100),     F("T_ORG", 'C', 100),
        F("GATUNEK", 'C', 254), F("D_PROD", 'C', 4),     F("KRAJ", 'C', 40),
        F("REZYSER", 'C', 101), F("SCENARIU", 'C', 101), F("ZDJECIA", 'C', 101),
        F("AKTORZY", 'C', 254), F("OPIS", 'M', 10),      F("ILOSC_CD", 'C', 2),
        F("UWAGI", 'C', 100),   F("OBEJRZAN", 'L', 1),   F("ROZMIAR", 'C', 20),
        F("CZAS", 'C', 12),     F("CVIDEO", 'C', 25),    F("ROZDZIEL", 'C', 20),
        F("FPS", 'C', 10),      F("VBITRATE", 'C', 20),  F("CAUDIO", 'C', 35),
        F("SAMPLE_R", 'C', 15), F("ABITRATE", 'C', 15),  F("KANALY", 'C', 20),
        F("ID_OSOBY", 'N', 6),
    };
    const std::vector<TagDefinition> tags = {{"ID_CD", "ID_CD"},
                                             {"T_PL", "UPPER(T_PL)"},
                                             {"T_ORG", "UPPER(T_ORG)"},
                                             {"GATUNEK", "LEFT(GATUNEK,100)"}};
    for (auto _ : state) {
        auto e = TableEngine::create(FileSystem::real(), tablePath(), 4, 0x57, s, tags);
        appendFilms(*e, 1, records(), &g_titles);
        e->close();
    }
    anon(state);
}
BENCHMARK(BM_Create)->Iterations(1)->Unit(benchmark::kMillisecond);

// The open a command-line call pays: a new process (this program run again, so nothing of
// the engine is initialised and no heap is inherited), timed inside it.
void BM_FreshProcessOpen(benchmark::State &state)
{
    for (auto _ : state) {
        const std::string command
            = "WELARIK_OPEN_ONLY='" + tablePath() + "' /proc/" + std::to_string(getpid()) + "/exe";
        FILE *child = popen(command.c_str(), "r");
        double seconds = -1;
        if (!child || fscanf(child, "%lf", &seconds) != 1 || seconds < 0) {
            state.SkipWithError("the child process did not open the table");
            if (child)
                pclose(child);
            return;
        }
        pclose(child);
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FreshProcessOpen)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Open(benchmark::State &state)
{
    for (auto _ : state)
        g_engine = TableEngine::open(
            FileSystem::real(), tablePath(), OpenMode::ReadWrite, ShareMode::Exclusive);
    anon(state);
}
BENCHMARK(BM_Open)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WalkTitleOrderReadingRecords(benchmark::State &state)
{
    TableEngine &e = *g_engine;
    const int tag = e.tagIndex("T_PL");
    const int tpl = e.fieldIndex("T_PL");
    long visited = 0;
    for (auto _ : state) {
        RecordBuffer rec;
        std::string v;
        TagCursor c = e.cursor(tag);
        for (bool ok = c.first(); ok; ok = c.next()) {
            e.readRecord(c.recno(), rec);
            v = e.fieldText(rec, tpl);
            visited++;
        }
    }
    if (visited != records())
        state.SkipWithError("the walk missed records");
    anon(state);
}
BENCHMARK(BM_WalkTitleOrderReadingRecords)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SeekTitlesReadingRecords(benchmark::State &state)
{
    TableEngine &e = *g_engine;
    const int tag = e.tagIndex("T_PL");
    std::vector<std::string> keys;
    for (int i = 0; i < 10000; i++)
        keys.push_back(u8(g_titles[next() % g_titles.size()]));
    int found = 0;
    for (auto _ : state) {
        RecordBuffer rec;
        TagCursor c = e.cursor(tag);
        for (const std::string &k : keys) {
            if (c.seek(e.keyPrefix(tag, k))) {
                e.readRecord(c.recno(), rec);
                found++;
            }
        }
    }
    if (found != 10000)
        state.SkipWithError("a title was not found");
    anon(state);
}
BENCHMARK(BM_SeekTitlesReadingRecords)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Append(benchmark::State &state)
{
    for (auto _ : state)
        appendFilms(*g_engine, records() + 1, 10000, nullptr);
    anon(state);
}
BENCHMARK(BM_Append)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Close(benchmark::State &state)
{
    for (auto _ : state)
        g_engine->close();
    g_engine.reset();
    anon(state);
}
BENCHMARK(BM_Close)->Iterations(1)->Unit(benchmark::kMillisecond);

// The genre view right after an open: the table component on the same file (after the
// engine above has closed it), its first filter on GATUNEK and the count.
void BM_GenreViewAfterOpen(benchmark::State &state)
{
    Table table("dbfFilmy");
    table.setFileName(tablePath());
    table.setExclusive(true);
    table.setIndexName("ID_CD");
    table.open();
    table.finishCount();
    int shown = 0;
    for (auto _ : state) {
        table.setFilter("GATUNEK='Dramat'");
        table.setFiltered(true);
        shown = table.recordCount();
    }
    state.counters["shown"] = shown;
    anon(state);
    table.close();
}
BENCHMARK(BM_GenreViewAfterOpen)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (const char *path = std::getenv("WELARIK_OPEN_ONLY")) { // BM_FreshProcessOpen's child
        const auto start = std::chrono::steady_clock::now();
        auto e = TableEngine::open(
            FileSystem::real(), path, OpenMode::ReadWrite, ShareMode::Exclusive);
        std::printf(
            "%.9f\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
