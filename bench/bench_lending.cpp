// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of lending on a generated catalogue of 100,000 films, 500 friends and 10,000 loans
// (2,000 of them open): a lend and a return as the window runs them (loan, friend and film
// written through the table components, the films table in the on-the-shelf view), and a
// friend's film list (the friend's loans with each film's title). Each benchmark reopens the
// tables first (untimed) and reports the first command after that open as first_ms beside the
// repeated mean.

#include "catalogue.h"
#include "demo.h"
#include "lendcommand.h"
#include "loancheck.h"
#include "loans.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace welarik;

namespace {

constexpr uint32_t kFilms = 100000;
constexpr int kFriends = 500;
constexpr int kLoans = 10000;
constexpr int kOpenLoans = 2000;

std::string day(int n)
{
    char text[9];
    std::snprintf(text, sizeof text, "2025%02d%02d", 1 + n % 12, 1 + n % 28);
    return text;
}

// The catalogue, made once per run of the benchmark program.
class Catalogue100k
{
public:
    static Catalogue100k &instance()
    {
        static Catalogue100k c;
        return c;
    }
    ~Catalogue100k() { std::filesystem::remove_all(m_dir); }
    const std::string &films() const { return m_films; }
    std::string friends() const { return (m_dir / "BAZY" / kFriendsFile).string(); }

private:
    Catalogue100k()
    {
        m_dir = std::filesystem::temp_directory_path()
                / ("welarik-bench-lending-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        DemoOptions options;
        options.films = kFilms;
        EngineDemoWriter writer;
        m_films
            = createDemoCatalogue(FileSystem::real(), m_dir.string(), options, writer).filmsPath;
        addFriendsAndLoans();
    }
    void addFriendsAndLoans()
    {
        FileSystem &fs = FileSystem::real();
        auto people = TableEngine::open(fs, friends(), OpenMode::ReadWrite, ShareMode::Exclusive);
        people->beginBulk();
        for (int i = 0; i < kFriends; ++i) {
            RecordBuffer r = people->blankRecord();
            people->setFieldInteger(r, people->fieldIndex("ID_OSOBY"), 1000 + i);
            people->setFieldText(r, people->fieldIndex("NAZWISKO"), "Znajomy " + std::to_string(i));
            people->setFieldInteger(r, people->fieldIndex("ILE"), 0);
            people->append(r);
        }
        people->endBulk();
        people->close();
        const TableLayout layout = loansLayout();
        auto loans = TableEngine::create(
            fs, loanTablePath(m_films), 4, kLoanTableLdid, layout.fields, layout.tags);
        loans->beginBulk();
        for (int i = 0; i < kLoans; ++i) {
            const int film = 1 + (i * 37) % 50000; // CD numbers of the first half
            RecordBuffer r = loans->blankRecord();
            loans->setFieldInteger(r, loans->fieldIndex("ID_CD"), film);
            loans->setFieldInteger(r, loans->fieldIndex("ID_OSOBY"), 1000 + i % kFriends);
            loans->setFieldText(r, loans->fieldIndex("DATA_WYP"), day(i));
            if (i < kLoans - kOpenLoans)
                loans->setFieldText(r, loans->fieldIndex("DATA_ZWR"), day(i + 3));
            loans->append(r);
        }
        loans->endBulk();
        loans->close();
    }
    std::filesystem::path m_dir;
    std::string m_films;
};

// The tables as the main window holds them, opened anew.
struct Opened
{
    Catalogue c;
    LoanBook loans;
    Opened()
    {
        Catalogue100k &data = Catalogue100k::instance();
        c.dbfFilmy.setFileName(data.films());
        c.dbfFilmy.setFilter("ID_OSOBY=0"); // the on-the-shelf view
        c.dbfFilmy.open();
        c.bindSideTables(std::filesystem::path(data.friends()).parent_path().string() + "/");
        c.dbfZnajomi.open();
        loans.bindTo(data.films());
        loans.open(false);
        benchmark::DoNotOptimize(c.dbfFilmy.recordCount());
    }
};

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Films of the second half (no loan) on the shelf, in turn.
uint32_t nextShelfFilm(Table &films, int64_t cd)
{
    for (;; ++cd) {
        const uint32_t r = findFilm(films, cd);
        if (r && integerOf(films, r, "ID_OSOBY") == 0 && films.gotoRecord(r))
            return r;
    }
}

// A lend and its return in the all-films view.
void BM_LendThenReturn(benchmark::State &state)
{
    Opened db;
    db.c.dbfFilmy.setFilter("");
    int64_t cd = 60000;
    int friendNo = 0;
    double first = -1;
    for (auto _ : state) {
        state.PauseTiming();
        cd = integerOf(db.c.dbfFilmy, nextShelfFilm(db.c.dbfFilmy, cd), "ID_CD") + 1;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        lendFilm(db.c.dbfFilmy,
                 db.c.dbfZnajomi,
                 db.loans,
                 {1000 + friendNo++ % kFriends, "20261201", "20261215", ""});
        returnFilm(db.c.dbfFilmy, db.c.dbfZnajomi, db.loans, "20261210");
        if (first < 0)
            first = msSince(start);
    }
    state.counters["first_ms"] = first;
    state.SetLabel("one lend plus one return");
}
BENCHMARK(BM_LendThenReturn)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_Lend(benchmark::State &state)
{
    Opened db;
    int64_t cd = 70000;
    double first = -1;
    for (auto _ : state) {
        state.PauseTiming();
        cd = integerOf(db.c.dbfFilmy, nextShelfFilm(db.c.dbfFilmy, cd), "ID_CD");
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        lendFilm(db.c.dbfFilmy, db.c.dbfZnajomi, db.loans, {1001, "20261201", "", ""});
        if (first < 0)
            first = msSince(start);
        ++cd;
    }
    state.counters["first_ms"] = first;
}
BENCHMARK(BM_Lend)->Unit(benchmark::kMillisecond)->Iterations(200);

// Returns what BM_Lend lent, from the lent view.
void BM_Return(benchmark::State &state)
{
    Opened db;
    db.c.dbfFilmy.setFilter("ID_OSOBY=1");
    int64_t cd = 70000;
    double first = -1;
    for (auto _ : state) {
        state.PauseTiming();
        while (!db.loans.openLoanOf(cd))
            ++cd;
        db.c.dbfFilmy.gotoRecord(findFilm(db.c.dbfFilmy, cd));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        returnFilm(db.c.dbfFilmy, db.c.dbfZnajomi, db.loans, "20261210");
        if (first < 0)
            first = msSince(start);
        ++cd;
    }
    state.counters["first_ms"] = first;
}
BENCHMARK(BM_Return)->Unit(benchmark::kMillisecond)->Iterations(200);

// What the friend's films window reads: the friend's loans (20 here), each film's title.
void BM_FriendsFilms(benchmark::State &state)
{
    Opened db;
    double first = -1;
    size_t bytes = 0;
    int friendNo = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const Loan &loan : db.loans.loansOfFriend(1000 + friendNo++ % kFriends)) {
            const uint32_t film = findFilm(db.c.dbfFilmy, loan.film);
            bytes += db.c.dbfFilmy.asStringOf(film, "T_PL").size();
        }
        if (first < 0)
            first = msSince(start);
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["first_ms"] = first;
}
BENCHMARK(BM_FriendsFilms)->Unit(benchmark::kMillisecond);

// The lending check over the whole catalogue (for the catalogue tools).
void BM_FindLoanDisagreements(benchmark::State &state)
{
    Opened db;
    for (auto _ : state)
        benchmark::DoNotOptimize(findLoanDisagreements(db.c.dbfFilmy, db.c.dbfZnajomi, db.loans));
}
BENCHMARK(BM_FindLoanDisagreements)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
