// SPDX-License-Identifier: GPL-3.0-or-later
#include "loancatalogue.h"

#include "cataloguetools.h"
#include "loancheck.h"

#include <algorithm>
#include <ctime>

namespace welarik {

namespace {

std::string nameOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string todayText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y%m%d", &local);
    return day;
}

// The films and friends tables as components of their own beside the rule's engines: read-only
// and shared for a check, for writing once the engines have let them go.
struct LendingTables
{
    Table films;
    Table friends;
    LoanBook loans;
    LendingTables(FileSystem &fs, const CataloguePaths &paths, bool writing)
        : films("dbfFilmy", fs)
        , friends("dbfZnajomi", fs)
        , loans(fs)
    {
        using Binding = std::pair<Table *, const std::string *>;
        for (const Binding &b :
             {Binding{&films, &paths.films}, Binding{&friends, &paths.friends}}) {
            b.first->setFileName(*b.second);
            b.first->setReadOnly(!writing);
            b.first->setExclusive(writing);
            b.first->open();
        }
        loans.bindTo(paths.films);
        loans.openIfExists();
    }
};

// Which table and record a lending finding names: the one its repair writes.
CatalogueFinding fromLoanFinding(const CataloguePaths &paths, const LoanFinding &f)
{
    using K = LoanFinding::Kind;
    std::string table;
    switch (f.kind) {
    case K::OpenLoanNotFlagged:
    case K::FlagAfterReturn:
    case K::FlagWithoutLoan:
        table = nameOf(paths.films);
        break;
    case K::FriendCountDiffers:
        table = nameOf(paths.friends);
        break;
    case K::SeveralOpenLoans:
    case K::LoanOfMissingFilm:
    case K::LoanOfMissingFriend:
        table = nameOf(loanTablePath(paths.films));
        break;
    }
    return {f.fault, table, f.recno, f.text, f.fault};
}

// The films and friends tables opened and holding the lending fields (a catalogue of another
// program may lack them: then there is nothing to compare).
bool lendingApplies(const CatalogueTables &t)
{
    return t.fs && t.films && t.friends && t.films->fieldIndex("ID_OSOBY") >= 0
           && t.friends->fieldIndex("ILE") >= 0;
}

std::unique_ptr<TableEngine> openLoanEngine(const CatalogueTables &t, OpenMode mode)
{
    const auto path = t.fs->resolve(loanTablePath(t.paths.films));
    if (!path)
        return nullptr;
    return TableEngine::open(
        *t.fs, *path, mode, mode == OpenMode::ReadOnly ? ShareMode::Shared : ShareMode::Exclusive);
}

void checkLending(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    if (!lendingApplies(t))
        return; // a table that did not open is a finding already
    if (const auto engine = openLoanEngine(t, OpenMode::ReadOnly)) {
        for (const CheckFinding &f : engine->check().findings)
            out.push_back(engineFinding(nameOf(engine->path()), f));
    }
    LendingTables lending(*t.fs, t.paths, false);
    for (const LoanFinding &f :
         findLoanDisagreements(lending.films, lending.friends, lending.loans).findings)
        out.push_back(fromLoanFinding(t.paths, f));
}

int repairLoanIndex(const CatalogueTables &t)
{
    const auto engine = openLoanEngine(t, OpenMode::ReadWrite);
    if (!engine || !engine->hasIndex())
        return 0;
    const CheckReport report = engine->check();
    if (std::none_of(report.findings.begin(), report.findings.end(), [](const CheckFinding &f) {
            return f.fault && (f.where == "index" || f.where.rfind("tag ", 0) == 0);
        }))
        return 0;
    engine->repair();
    engine->sync();
    return 1;
}

int repairLending(CatalogueTables &t, const std::string &today)
{
    if (!lendingApplies(t))
        return 0;
    int repairs = repairLoanIndex(t);
    // The components below lock the two tables themselves.
    t.films.reset();
    t.friends.reset();
    {
        LendingTables lending(*t.fs, t.paths, true);
        const int faults
            = findLoanDisagreements(lending.films, lending.friends, lending.loans).faults();
        if (faults > 0) {
            repairLoanDisagreements(lending.films, lending.friends, lending.loans, today);
            repairs += faults;
            lending.films.sync();
            lending.friends.sync();
            if (lending.loans.isOpen())
                lending.loans.table().sync();
        }
    }
    t.films = TableEngine::open(*t.fs, t.paths.films, OpenMode::ReadWrite, ShareMode::Exclusive);
    t.friends
        = TableEngine::open(*t.fs, t.paths.friends, OpenMode::ReadWrite, ShareMode::Exclusive);
    return repairs;
}

} // namespace

CatalogueRule lendingCatalogueRule(const std::string &today)
{
    return {"wypożyczenia", checkLending, [today](CatalogueTables &t) {
                return repairLending(t, today.empty() ? todayText() : today);
            }};
}

void registerLendingWithCatalogue()
{
    static const bool registered = [] {
        registerCompanionTable("loans", loanTablePath);
        registerCatalogueRule(lendingCatalogueRule());
        return true;
    }();
    (void)registered;
}

} // namespace welarik
