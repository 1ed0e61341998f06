// SPDX-License-Identifier: GPL-3.0-or-later
// Lending without a window: lend and return over the three tables, their undo when a write
// fails, a crash between the writes and the consistency check, the loan table's place and
// format.

#include "catalogue.h"
#include "cataloguecheck.h"
#include "cataloguetools.h"
#include "lendcommand.h"
#include "loancatalogue.h"
#include "loancheck.h"
#include "loans.h"
#include "memfs.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

using namespace welarik;

namespace {

constexpr const char *kDir = "/cat";
constexpr const char *kFilms = "/cat/FILMY.DBF";

void addFilm(Table &films, int cd, const char *title, int flag)
{
    films.insert();
    films.setInteger("ID_CD", cd);
    films.setString("T_PL", title);
    films.setInteger("ID_OSOBY", flag);
    films.post();
}

void addFriend(Table &friends, int id, const char *first, const char *last, int count)
{
    friends.insert();
    friends.setInteger("ID_OSOBY", id);
    friends.setString("IMIE", first);
    friends.setString("NAZWISKO", last);
    friends.setInteger("ILE", count);
    friends.post();
}

// Films 1 and 2 on the shelf, film 3 marked lent by another program; friends 1 and 2.
std::unique_ptr<MemoryFileSystem> baseImage()
{
    auto fs = std::make_unique<MemoryFileSystem>();
    createEmptyCatalogue(*fs, kDir);
    Catalogue c(*fs);
    c.dbfFilmy.setFileName(kFilms);
    c.dbfFilmy.open();
    addFilm(c.dbfFilmy, 1, "Matrix", 0);
    addFilm(c.dbfFilmy, 2, "Seksmisja", 0);
    addFilm(c.dbfFilmy, 3, "Rejs", 1);
    c.bindSideTables("/cat/BAZY/");
    c.dbfZnajomi.open();
    addFriend(c.dbfZnajomi, 1, "Jan", "Kowalski", 0);
    addFriend(c.dbfZnajomi, 2, "Anna", "Nowak", 0);
    return fs;
}

// The catalogue's films, friends and loans, open.
struct Opened
{
    Catalogue c;
    LoanBook loans;
    explicit Opened(FileSystem &fs)
        : c(fs)
        , loans(fs)
    {
        c.dbfFilmy.setFileName(kFilms);
        c.dbfFilmy.open();
        c.bindSideTables("/cat/BAZY/");
        c.dbfZnajomi.open();
        loans.bindTo(kFilms);
        loans.openIfExists();
    }
    Table &films() { return c.dbfFilmy; }
    Table &friends() { return c.dbfZnajomi; }
    void gotoFilm(int cd) { ASSERT_TRUE(films().gotoRecord(findFilm(films(), cd))); }
    int64_t flag(int cd) { return integerOf(films(), findFilm(films(), cd), "ID_OSOBY"); }
    int64_t count(int id) { return integerOf(friends(), findFriend(friends(), id), "ILE"); }
    void lend(int cd, int friendId, std::string since = "20261201", std::string due = "")
    {
        gotoFilm(cd);
        LendRequest r;
        r.friendId = friendId;
        r.since = std::move(since);
        r.due = std::move(due);
        lendFilm(films(), friends(), loans, r);
    }
    void giveBack(int cd, const std::string &day = "20261210")
    {
        gotoFilm(cd);
        returnFilm(films(), friends(), loans, day);
    }
};

// What readers see of a table's file: each live record's fields.
std::vector<std::string> contents(FileSystem &fs, const std::string &path)
{
    std::vector<std::string> rows;
    if (!fs.exists(path))
        return rows;
    auto e = TableEngine::open(fs, path, OpenMode::ReadOnly, ShareMode::Shared);
    RecordBuffer r;
    for (uint32_t n = 1; n <= e->recordCount(); ++n) {
        e->readRecord(n, r);
        if (TableEngine::isDeleted(r))
            continue;
        std::string row;
        for (int f = 0; f < static_cast<int>(e->fields().size()); ++f)
            row += e->fieldText(r, f) + "|";
        rows.push_back(row);
    }
    return rows;
}

struct Snapshot
{
    std::vector<std::string> films, friends, loans;
    friend bool operator==(const Snapshot &, const Snapshot &) = default;
};

Snapshot snapshotOf(FileSystem &fs)
{
    return {contents(fs, kFilms),
            contents(fs, "/cat/BAZY/ZNAJOMI.DBF"),
            contents(fs, loanTablePath(kFilms))};
}

} // namespace

TEST(Lending, LendAndReturnKeepFlagCountAndLoanTogether)
{
    auto fs = baseImage();
    Opened db(*fs);
    EXPECT_FALSE(fs->exists("/cat/FILMY_WYP.DBF"));
    db.lend(1, 2, "20261201", "20261208");
    EXPECT_EQ(db.flag(1), 1);
    EXPECT_EQ(db.count(2), 1);
    const std::optional<Loan> loan = db.loans.openLoanOf(1);
    ASSERT_TRUE(loan);
    EXPECT_EQ(loan->friendId, 2);
    EXPECT_EQ(loan->since, "20261201");
    EXPECT_EQ(loan->due, "20261208");
    EXPECT_FALSE(loan->overdueOn("20261208"));
    EXPECT_TRUE(loan->overdueOn("20261209"));

    db.gotoFilm(1);
    const FilmLoanState state = loanStateOfCurrentFilm(db.films(), db.friends(), db.loans);
    EXPECT_TRUE(state.lent && state.borrowerKnown);
    EXPECT_EQ(state.borrower, "Anna Nowak");

    db.giveBack(1, "20261210");
    EXPECT_EQ(db.flag(1), 0);
    EXPECT_EQ(db.count(2), 0);
    EXPECT_FALSE(db.loans.openLoanOf(1));
    const std::vector<Loan> history = db.loans.loansOfFriend(2);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].returned, "20261210");
    EXPECT_TRUE(findLoanDisagreements(db.films(), db.friends(), db.loans).sound());
}

TEST(Lending, FriendsFilmsListOpenLoansFirstThenNewestEarlier)
{
    auto fs = baseImage();
    Opened db(*fs);
    db.lend(1, 1, "20261101");
    db.giveBack(1, "20261105");
    db.lend(2, 1, "20261110");
    db.lend(1, 1, "20261120");
    db.giveBack(1, "20261125");
    const std::vector<Loan> list = db.loans.loansOfFriend(1);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].film, 2);
    EXPECT_TRUE(list[0].isOpen());
    EXPECT_EQ(list[1].since, "20261120");
    EXPECT_EQ(list[2].since, "20261101");
    EXPECT_EQ(db.count(1), 1);
}

TEST(Lending, RefusalsWriteNothing)
{
    auto fs = baseImage();
    const Snapshot before = snapshotOf(*fs);
    {
        Opened db(*fs);
        db.gotoFilm(3);
        LendRequest r{1, "20261201", "", ""};
        EXPECT_THROW(lendFilm(db.films(), db.friends(), db.loans, r), LendingError); // lent already
        db.gotoFilm(1);
        r.friendId = 99;
        EXPECT_THROW(lendFilm(db.films(), db.friends(), db.loans, r), LendingError); // no friend
        r = {1, "20261201", "20261130", ""};
        EXPECT_THROW(lendFilm(db.films(), db.friends(), db.loans, r), LendingError); // due early
        r = {1, "20260231", "", ""};
        EXPECT_THROW(lendFilm(db.films(), db.friends(), db.loans, r), LendingError); // no such day
        EXPECT_THROW(returnFilm(db.films(), db.friends(), db.loans, "20261201"), LendingError);
    }
    EXPECT_EQ(snapshotOf(*fs), before);
    EXPECT_FALSE(fs->exists(loanTablePath(kFilms)));
}

TEST(Lending, FilmLentByAnotherProgramIsReturnedWithoutLoanOrCount)
{
    auto fs = baseImage();
    Opened db(*fs);
    db.gotoFilm(3);
    const FilmLoanState state = loanStateOfCurrentFilm(db.films(), db.friends(), db.loans);
    EXPECT_TRUE(state.lent);
    EXPECT_FALSE(state.loan);
    db.giveBack(3);
    EXPECT_EQ(db.flag(3), 0);
    EXPECT_EQ(db.count(1), 0);
    EXPECT_EQ(db.count(2), 0);
}

TEST(Lending, ReturnNeverLowersCountBelowZero)
{
    auto fs = baseImage();
    Opened db(*fs);
    db.lend(1, 1);
    rewriteRecord(db.friends(), findFriend(db.friends(), 1), [](Table &t) {
        t.setInteger("ILE", 0); // a hand edit in the friends list
    });
    db.giveBack(1);
    EXPECT_EQ(db.count(1), 0);
    EXPECT_EQ(db.flag(1), 0);
}

// Every write of a lend, then of a return, is made to fail in turn: the command throws and the
// three tables read as before it.
TEST(Lending, EachFailedWriteLeavesAllThreeTablesAsBefore)
{
    for (const bool returning : {false, true}) {
        auto base = baseImage();
        if (returning) {
            Opened db(*base);
            db.lend(1, 2);
        }
        bool completed = false;
        int failures = 0;
        for (uint64_t n = 0; !completed; ++n) {
            ASSERT_LT(n, 200u) << "the command never completed";
            auto image = base->snapshot();
            const Snapshot before = snapshotOf(*image);
            test::OneWriteFails fs(*image);
            {
                Opened db(fs);
                fs.failWrite(n);
                try {
                    returning ? db.giveBack(1) : db.lend(1, 2);
                    completed = true;
                } catch (const StorageError &) {
                    ++failures;
                    fs.failWrite(std::nullopt);
                    EXPECT_EQ(db.films().state(), TableState::Browse);
                    EXPECT_EQ(db.friends().state(), TableState::Browse);
                }
            }
            if (!completed) {
                EXPECT_EQ(snapshotOf(*image), before)
                    << (returning ? "return" : "lend") << ", write " << n << " failed";
            }
        }
        EXPECT_GE(failures, 3); // a write of each table failed in turn
    }
}

// The process dies after any write of a lend or a return: the check finds the half-done
// command and its repair completes it, so that flags, loans and counts agree.
TEST(Lending, CrashBetweenWritesIsFoundAndRepairedByTheCheck)
{
    for (const bool returning : {false, true}) {
        auto base = baseImage();
        if (returning) {
            Opened db(*base);
            db.lend(1, 2);
        }
        for (uint64_t n = 0;; ++n) {
            auto image = base->snapshot();
            image->setWriteBudget(n);
            bool completed = false;
            try {
                Opened db(*image);
                returning ? db.giveBack(1) : db.lend(1, 2);
                completed = true;
            } catch (const StorageError &) {
            }
            auto after = image->snapshot(); // the machine after the crash
            Opened db(*after);
            const LoanCheckReport found = findLoanDisagreements(db.films(), db.friends(), db.loans);
            const LoanCheckReport left
                = repairLoanDisagreements(db.films(), db.friends(), db.loans, "20261215");
            EXPECT_TRUE(left.sound()) << "write " << n << ": " << left.findings[0].text;
            const std::optional<Loan> open = db.loans.openLoanOf(1);
            EXPECT_EQ(db.flag(1), open ? 1 : 0) << "write " << n;
            EXPECT_EQ(db.count(2), open ? 1 : 0) << "write " << n;
            if (completed) {
                EXPECT_TRUE(found.sound());
                break;
            }
            ASSERT_LT(n, 200u);
        }
    }
}

TEST(Lending, CheckFindsEachDisagreementAndRepairFixesTheFaults)
{
    auto fs = baseImage();
    Opened db(*fs);
    db.lend(1, 1, "20261101");
    db.lend(2, 2, "20261102");
    // Film 1's flag lost, film 2 returned but still flagged, a second open loan of film 2, a
    // loan of a film that is gone, a count typed by hand.
    Table &loans = db.loans.table();
    rewriteRecord(
        db.films(), findFilm(db.films(), 1), [](Table &t) { t.setInteger("ID_OSOBY", 0); });
    rewriteRecord(loans, db.loans.openLoanOf(2)->recno, [](Table &t) {
        t.setString("DATA_ZWR", "20261103");
    });
    for (const auto &[cd, who, since] : {std::tuple{2, 1, "20261104"},
                                         std::tuple{2, 1, "20261105"},
                                         std::tuple{77, 2, "20261106"}}) {
        loans.insert();
        loans.setInteger("ID_CD", cd);
        loans.setInteger("ID_OSOBY", who);
        loans.setString("DATA_WYP", since);
        loans.post();
    }
    using K = LoanFinding::Kind;
    const LoanCheckReport report = findLoanDisagreements(db.films(), db.friends(), db.loans);
    std::multiset<K> kinds;
    for (const LoanFinding &f : report.findings)
        kinds.insert(f.kind);
    EXPECT_EQ(kinds.count(K::OpenLoanNotFlagged), 1u);
    EXPECT_EQ(kinds.count(K::SeveralOpenLoans), 1u);
    EXPECT_EQ(kinds.count(K::LoanOfMissingFilm), 1u);
    EXPECT_EQ(kinds.count(K::FlagWithoutLoan), 1u); // film 3, another program's
    // Friend 1: ILE 1, open loans 2 (films 1 and 2), a fault; friend 2: ILE 1, none (film 77
    // is gone), a note while film 3 is lent by another program.
    EXPECT_EQ(kinds.count(K::FriendCountDiffers), 2u);
    EXPECT_EQ(report.notes(), 2);
    EXPECT_EQ(report.faults(), 4);

    const LoanCheckReport left
        = repairLoanDisagreements(db.films(), db.friends(), db.loans, "20261215");
    EXPECT_TRUE(left.sound());
    EXPECT_EQ(left.notes(), 2);
    EXPECT_EQ(db.flag(1), 1);
    EXPECT_EQ(db.flag(3), 1);
    EXPECT_EQ(db.loans.openLoanOf(2)->since, "20261105");
    EXPECT_EQ(db.count(1), 2);
    EXPECT_EQ(db.count(2), 1); // kept: it may count film 3

    // Without films lent by another program, a count above the open loans is a fault too.
    rewriteRecord(
        db.films(), findFilm(db.films(), 3), [](Table &t) { t.setInteger("ID_OSOBY", 0); });
    EXPECT_TRUE(repairLoanDisagreements(db.films(), db.friends(), db.loans, "20261215").sound());
    EXPECT_EQ(db.count(2), 0);
}

TEST(Lending, FlagLeftAfterAReturnIsCleared)
{
    auto fs = baseImage();
    Opened db(*fs);
    db.lend(1, 1);
    rewriteRecord(db.loans.table(), db.loans.openLoanOf(1)->recno, [](Table &t) {
        t.setString("DATA_ZWR", "20261202");
    });
    const LoanCheckReport left
        = repairLoanDisagreements(db.films(), db.friends(), db.loans, "20261215");
    EXPECT_TRUE(left.sound());
    EXPECT_EQ(db.flag(1), 0);
    EXPECT_EQ(db.count(1), 0);
}

TEST(Lending, CheckSeesFilmsHiddenByTheView)
{
    auto fs = baseImage();
    Opened db(*fs);
    db.lend(1, 1);
    db.films().setFilter("ID_OSOBY=0");
    rewriteRecord(
        db.friends(), findFriend(db.friends(), 1), [](Table &t) { t.setInteger("ILE", 0); });
    db.gotoFilm(2);
    const LoanCheckReport report = findLoanDisagreements(db.films(), db.friends(), db.loans);
    EXPECT_EQ(report.faults(), 1); // the count, although film 1 is outside the view
    EXPECT_EQ(db.films().filter(), "ID_OSOBY=0");
    EXPECT_EQ(db.films().recNo(), findFilm(db.films(), 2));
}

TEST(LoanTable, LivesBesideTheFilmsTableAndFollowsItWhenRenamed)
{
    EXPECT_EQ(loanTablePath("/a/FILMY.DBF"), "/a/FILMY_WYP.DBF");
    EXPECT_EQ(loanTablePath("/a/kino.dbf"), "/a/kino_WYP.dbf");
    EXPECT_EQ(loanTableFiles("/a/FILMY.DBF"),
              (std::vector<std::string>{"/a/FILMY_WYP.DBF", "/a/FILMY_WYP.MDX"}));

    auto fs = baseImage();
    {
        Opened db(*fs);
        db.lend(1, 2);
    }
    // Renamed with its companions: FILMY.* -> KINO.*, FILMY_WYP.* -> KINO_WYP.*.
    for (const std::string &name : fs->fileNames()) {
        const size_t at = name.find("/FILMY");
        if (at != std::string::npos) {
            fs->setFileBytes("/cat/KINO" + name.substr(at + 6), fs->fileBytes(name));
            fs->remove(name);
        }
    }
    Catalogue c(*fs);
    c.dbfFilmy.setFileName("/cat/KINO.DBF");
    c.dbfFilmy.open();
    LoanBook loans(*fs);
    loans.bindTo("/cat/KINO.DBF");
    ASSERT_TRUE(loans.openIfExists());
    ASSERT_TRUE(loans.openLoanOf(1));
    EXPECT_EQ(loans.openLoanOf(1)->friendId, 2);
}

TEST(LoanTable, IsLevelFourWithDriverC8AndPassesTheSharedChecker)
{
    test::TempDir dir;
    const std::string films = createEmptyCatalogue(FileSystem::real(), dir.path().string());
    {
        Catalogue c;
        c.dbfFilmy.setFileName(films);
        c.dbfFilmy.open();
        addFilm(c.dbfFilmy, 1, "Żółty wąż", 0);
        c.bindSideTables(dir.file("BAZY/"));
        c.dbfZnajomi.open();
        addFriend(c.dbfZnajomi, 1, "Łucja", "Żak", 0);
        LoanBook loans;
        loans.bindTo(films);
        c.dbfFilmy.first();
        lendFilm(c.dbfFilmy, c.dbfZnajomi, loans, {1, "20261201", "20261231", "zwróci w święta"});
    }
    const std::vector<uint8_t> bytes = test::readBytes(loanTablePath(films));
    ASSERT_GT(bytes.size(), 32u);
    EXPECT_EQ(bytes[0] & 0x07, 3);  // dBase IV level table
    EXPECT_EQ(bytes[28] & 0x01, 1); // production index
    EXPECT_EQ(bytes[29], 0xC8);
    std::string output;
    EXPECT_EQ(test::runVerifier({loanTablePath(films)}, output), 0) << output;
}

TEST(LoanTable, BrokenOrForeignTableIsRefusedWithAClearError)
{
    auto fs = baseImage();
    // A table of another layout under the loan table's name.
    TableEngine::create(*fs, loanTablePath(kFilms), 4, 0xC8, {{"X", 'C', 5}}, {})->close();
    LoanBook loans(*fs);
    loans.bindTo(kFilms);
    EXPECT_THROW(loans.openIfExists(), LendingError);
    EXPECT_FALSE(loans.isOpen());
    // Cut short while it was made: holds no loan, made again by the first lend.
    fs->setFileBytes(loanTablePath(kFilms), {0x8B, 0x00});
    EXPECT_FALSE(loans.openIfExists());
    loans.open(true);
    EXPECT_TRUE(loans.isOpen());
    loans.close();
    // A header that promises records the file does not hold: an error, the file kept.
    std::vector<uint8_t> broken(40, 0);
    broken[0] = 0x03;
    broken[4] = 5;
    fs->setFileBytes(loanTablePath(kFilms), broken);
    EXPECT_THROW(loans.openIfExists(), StorageError);
    EXPECT_THROW(loans.open(true), StorageError);
    EXPECT_EQ(fs->fileBytes(loanTablePath(kFilms)), broken);
}

// A films table another program wrote: its ID_CD tag holds numeric keys in another form of the
// same value, and its flagged films have no loan records.
TEST(Lending, WorksOnAFilmsTableAnotherProgramWrote)
{
    test::TempDir dir;
    const std::string films = test::copyFixture("xbase64/BENCH.DBF", dir);
    test::copyFixture("xbase64/BENCH.DBT", dir);
    test::copyFixture("xbase64/BENCH.MDX", dir);
    createCatalogueTables(FileSystem::real(), dir.path().string());
    Catalogue c;
    c.dbfFilmy.setFileName(films);
    c.dbfFilmy.open();
    c.bindSideTables(dir.file("BAZY/"));
    c.dbfZnajomi.open();
    addFriend(c.dbfZnajomi, 7, "Ewa", "Lis", 0);
    LoanBook loans;
    loans.bindTo(films);
    const uint32_t film = findFilm(c.dbfFilmy, 5);
    ASSERT_NE(film, 0u);
    ASSERT_TRUE(c.dbfFilmy.gotoRecord(film));
    ASSERT_EQ(c.dbfFilmy.asInteger("ID_CD"), 5);
    const int64_t flag = c.dbfFilmy.asInteger("ID_OSOBY");
    if (flag == 1)
        returnFilm(c.dbfFilmy, c.dbfZnajomi, loans, "20261201");
    lendFilm(c.dbfFilmy, c.dbfZnajomi, loans, {7, "20261201", "", ""});
    EXPECT_EQ(loans.openLoanOf(5)->friendId, 7);
    EXPECT_EQ(loanTablePath(films), dir.file("BENCH_WYP.DBF"));
    const LoanCheckReport report = findLoanDisagreements(c.dbfFilmy, c.dbfZnajomi, loans);
    EXPECT_TRUE(report.sound());
    EXPECT_GT(report.notes(), 0); // the films the other program marked lent
}

namespace {

CataloguePaths demoPaths(FileSystem &fs)
{
    return cataloguePaths(fs, kFilms, "/cat/BAZY/");
}

// The base catalogue with its friends' counter raised above their numbers: sound to the
// catalogue's own rules.
std::unique_ptr<MemoryFileSystem> soundBase()
{
    auto fs = baseImage();
    EXPECT_TRUE(repairCatalogue(*fs, demoPaths(*fs), checkCatalogueRules()).sound());
    return fs;
}

std::vector<CatalogueRule> withLending()
{
    std::vector<CatalogueRule> rules = checkCatalogueRules();
    rules.push_back(lendingCatalogueRule("20261215"));
    return rules;
}

} // namespace

// The catalogue check runs the lending rule: a flag lost and a count typed by hand are faults
// naming their table and record, and "Napraw" mends both.
TEST(LendingInCatalogue, CheckNamesTheFaultsAndRepairMendsThem)
{
    auto fs = soundBase();
    uint32_t film1 = 0, friend1 = 0;
    {
        Opened db(*fs);
        db.lend(1, 2);
        film1 = findFilm(db.films(), 1);
        friend1 = findFriend(db.friends(), 1);
        rewriteRecord(db.films(), film1, [](Table &t) { t.setInteger("ID_OSOBY", 0); });
        rewriteRecord(
            db.films(), findFilm(db.films(), 3), [](Table &t) { t.setInteger("ID_OSOBY", 0); });
        rewriteRecord(db.friends(), friend1, [](Table &t) { t.setInteger("ILE", 2); });
    }
    const CatalogueCheck check = checkCatalogue(*fs, demoPaths(*fs), withLending());
    auto has = [&check](const std::string &table, uint32_t recno) {
        return std::any_of(check.findings.begin(), check.findings.end(), [&](const auto &f) {
            return f.fault && f.repairable && f.table == table && f.recno == recno;
        });
    };
    EXPECT_TRUE(has("FILMY.DBF", film1));
    EXPECT_TRUE(has("ZNAJOMI.DBF", friend1));
    EXPECT_EQ(check.faults(), 2);

    const CatalogueCheck after = repairCatalogue(*fs, demoPaths(*fs), withLending());
    EXPECT_TRUE(after.sound());
    EXPECT_EQ(after.repairs, 2);
    Opened db(*fs);
    EXPECT_EQ(db.flag(1), 1);
    EXPECT_EQ(db.count(1), 0);
    EXPECT_EQ(db.count(2), 1);
}

// "Zapisz jako...": the copy keeps its loans under its own companion name, the original too.
TEST(LendingInCatalogue, CopyOfTheFilmsTableTakesItsLoans)
{
    registerLendingWithCatalogue();
    auto fs = baseImage();
    {
        Opened db(*fs);
        db.lend(1, 2, "20261201", "20261220");
    }
    const std::vector<std::string> loans = contents(*fs, loanTablePath(kFilms));
    ASSERT_EQ(loans.size(), 1u);
    copyFilmsTable(*fs, kFilms, "/cat/KINO.DBF");
    EXPECT_EQ(contents(*fs, "/cat/KINO_WYP.DBF"), loans);
    EXPECT_TRUE(fs->exists("/cat/KINO_WYP.MDX"));
    EXPECT_EQ(contents(*fs, loanTablePath(kFilms)), loans);
    LoanBook copied(*fs);
    copied.bindTo("/cat/KINO.DBF");
    ASSERT_TRUE(copied.openIfExists());
    EXPECT_EQ(copied.openLoanOf(1)->due, "20261220"); // read through the copy's index
    copied.close();

    // A copy of a films table without loans leaves no loan table of an earlier KINO behind.
    copyFilmsTable(*fs, "/cat/KINO.DBF", "/cat/SALA.DBF");
    fs->remove(loanTablePath("/cat/KINO.DBF"));
    fs->remove("/cat/KINO_WYP.MDX");
    copyFilmsTable(*fs, "/cat/KINO.DBF", "/cat/SALA.DBF");
    EXPECT_FALSE(fs->exists("/cat/SALA_WYP.DBF"));
    EXPECT_FALSE(fs->exists("/cat/SALA_WYP.MDX"));
}

// Tidying packs the loan table and keeps it in the dated copy; emptying the films table empties
// its loans after copying them, and the check then recounts the friends.
TEST(LendingInCatalogue, TidyAndEmptyingTakeTheLoanTableAlong)
{
    registerLendingWithCatalogue();
    auto fs = soundBase();
    {
        Opened db(*fs);
        db.lend(1, 1);
        db.lend(2, 2);
    }
    const std::vector<std::string> loans = contents(*fs, loanTablePath(kFilms));
    const TidyReport tidy = tidyCatalogue(*fs, demoPaths(*fs), {}, 1'800'000'000);
    ASSERT_EQ(tidy.tables.size(), 7u);
    EXPECT_EQ(tidy.tables.back().table, loanTablePath(kFilms));
    EXPECT_EQ(contents(*fs, tidy.backupFolder + "FILMY_WYP.DBF"), loans);
    EXPECT_EQ(contents(*fs, loanTablePath(kFilms)), loans);

    const std::string folder = emptyFilmsTable(*fs, kFilms, 1'800'000'100);
    EXPECT_EQ(contents(*fs, folder + "FILMY_WYP.DBF"), loans);
    EXPECT_TRUE(contents(*fs, loanTablePath(kFilms)).empty());
    EXPECT_EQ(checkCatalogue(*fs, demoPaths(*fs), withLending()).faults(), 2); // both ILE 1
    EXPECT_TRUE(repairCatalogue(*fs, demoPaths(*fs), withLending()).sound());
    Opened db(*fs);
    EXPECT_EQ(db.count(1), 0);
    EXPECT_EQ(db.count(2), 0);
}

// Deleting a lent film closes its loan as a return and lowers the count; a delete that fails
// leaves the three tables as they were.
TEST(LendingInCatalogue, DeletingALentFilmClosesItsLoan)
{
    auto fs = baseImage();
    {
        Opened db(*fs);
        db.lend(1, 2);
    }
    const Snapshot before = snapshotOf(*fs);
    {
        Opened db(*fs);
        db.gotoFilm(1);
        EXPECT_THROW(deleteLentFilm(db.films(),
                                    db.friends(),
                                    db.loans,
                                    "20261210",
                                    [] { throw IoError("/cat/FILMY.DBF", "refused (test)"); }),
                     IoError);
    }
    EXPECT_EQ(snapshotOf(*fs), before);
    Opened db(*fs);
    db.gotoFilm(1);
    deleteLentFilm(
        db.films(), db.friends(), db.loans, "20261210", [&db] { db.films().deleteRecord(); });
    EXPECT_EQ(findFilm(db.films(), 1), 0u);
    EXPECT_EQ(db.count(2), 0);
    EXPECT_EQ(db.loans.loansOfFilm(1).at(0).returned, "20261210");
}
