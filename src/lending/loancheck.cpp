// SPDX-License-Identifier: GPL-3.0-or-later
#include "loancheck.h"

#include <algorithm>
#include <map>
#include <set>

namespace welarik {

namespace {

// Every film visible for the length of a check, whatever the view's filter; the filter and
// the current film come back afterwards.
class AllFilms
{
public:
    explicit AllFilms(Table &films)
        : m_films(films)
        , m_recno(films.recNo())
        , m_lifted(films.filtered() && !films.filter().empty())
    {
        if (m_lifted)
            m_films.setFiltered(false);
    }
    ~AllFilms()
    {
        try {
            if (m_lifted)
                m_films.setFiltered(true);
            if (m_recno != 0)
                m_films.gotoRecord(m_recno);
        } catch (const std::exception &) {
            // The view stays unfiltered; nothing was written.
        }
    }
    AllFilms(const AllFilms &) = delete;
    AllFilms &operator=(const AllFilms &) = delete;

private:
    Table &m_films;
    uint32_t m_recno;
    bool m_lifted;
};

std::string number(int64_t n)
{
    return std::to_string(n);
}

struct LoanIndex
{
    std::map<int64_t, std::vector<Loan>> openByFilm;
    std::set<int64_t> filmsWithLoans;
};

LoanIndex indexLoans(const LoanBook &loans)
{
    LoanIndex index;
    for (const Loan &loan : loans.allLoans()) {
        index.filmsWithLoans.insert(loan.film);
        if (loan.isOpen())
            index.openByFilm[loan.film].push_back(loan);
    }
    for (auto &[film, open] : index.openByFilm) {
        std::stable_sort(open.begin(), open.end(), [](const Loan &a, const Loan &b) {
            return a.since != b.since ? a.since < b.since : a.recno < b.recno;
        });
    }
    return index;
}

void checkFilm(
    LoanCheckReport &report, const LoanIndex &index, int64_t cd, int64_t flag, uint32_t recno)
{
    using K = LoanFinding::Kind;
    const auto it = index.openByFilm.find(cd);
    if (it != index.openByFilm.end()) {
        const std::vector<Loan> &open = it->second;
        for (size_t i = 0; i + 1 < open.size(); ++i)
            report.findings.push_back({K::SeveralOpenLoans,
                                       true,
                                       cd,
                                       open[i].friendId,
                                       open[i].recno,
                                       0,
                                       0,
                                       "Film nr " + number(cd)
                                           + " ma kilka otwartych "
                                             "wypożyczeń; starsze od "
                                           + open[i].since + " zostanie zamknięte"});
        if (flag != 1)
            report.findings.push_back({K::OpenLoanNotFlagged,
                                       true,
                                       cd,
                                       open.back().friendId,
                                       recno,
                                       0,
                                       0,
                                       "Film nr " + number(cd)
                                           + " jest wypożyczony, a nie ma "
                                             "znacznika wypożyczenia"});
    } else if (flag == 1) {
        if (index.filmsWithLoans.count(cd))
            report.findings.push_back({K::FlagAfterReturn,
                                       true,
                                       cd,
                                       0,
                                       recno,
                                       0,
                                       0,
                                       "Film nr " + number(cd)
                                           + " ma znacznik wypożyczenia, "
                                             "a jego wypożyczenia są zamknięte"});
        else
            report.findings.push_back({K::FlagWithoutLoan,
                                       false,
                                       cd,
                                       0,
                                       recno,
                                       0,
                                       0,
                                       "Film nr " + number(cd)
                                           + " jest wypożyczony (brak "
                                             "danych o osobie)"});
    }
}

void checkFriends(LoanCheckReport &report,
                  const Table &friends,
                  std::map<int64_t, int64_t> expected)
{
    using K = LoanFinding::Kind;
    for (int row = 0, rows = friends.rowCount(); row < rows; ++row) {
        const uint32_t r = friends.recordAtRow(row);
        const int64_t id = integerOf(friends, r, "ID_OSOBY");
        const int64_t found = integerOf(friends, r, "ILE");
        const auto it = expected.find(id);
        const int64_t want = it == expected.end() ? 0 : it->second;
        if (it != expected.end())
            expected.erase(it);
        if (found != want)
            report.findings.push_back({K::FriendCountDiffers,
                                       true,
                                       0,
                                       id,
                                       r,
                                       want,
                                       found,
                                       friendName(friends, r) + " (nr " + number(id)
                                           + "): ILE wynosi " + number(found)
                                           + ", a otwartych "
                                             "wypożyczeń jest "
                                           + number(want)});
    }
    for (const auto &[id, count] : expected)
        report.findings.push_back({K::LoanOfMissingFriend,
                                   false,
                                   0,
                                   id,
                                   0,
                                   count,
                                   0,
                                   "Brak znajomego nr " + number(id) + ", który ma " + number(count)
                                       + " wypożyczonych filmów"});
}

} // namespace

int LoanCheckReport::faults() const
{
    return static_cast<int>(std::count_if(
        findings.begin(), findings.end(), [](const LoanFinding &f) { return f.fault; }));
}

int LoanCheckReport::notes() const
{
    return static_cast<int>(findings.size()) - faults();
}

LoanCheckReport findLoanDisagreements(Table &films, const Table &friends, const LoanBook &loans)
{
    if (!films.isOpen() || !films.hasField("ID_OSOBY"))
        throw LendingError("Baza filmów nie ma pola ID_OSOBY");
    if (!friends.isOpen() || !friends.hasField("ILE"))
        throw LendingError("Baza znajomych nie ma pola ILE");
    const LoanIndex index = indexLoans(loans);
    LoanCheckReport report;
    std::set<int64_t> existing;
    {
        AllFilms all(films);
        for (int row = 0, rows = films.rowCount(); row < rows; ++row) {
            const uint32_t r = films.recordAtRow(row);
            const int64_t cd = integerOf(films, r, "ID_CD");
            existing.insert(cd);
            checkFilm(report, index, cd, integerOf(films, r, "ID_OSOBY"), r);
        }
    }
    std::map<int64_t, int64_t> expected;
    for (const auto &[film, open] : index.openByFilm) {
        if (existing.count(film)) {
            ++expected[open.back().friendId];
            continue;
        }
        for (const Loan &loan : open)
            report.findings.push_back(
                {LoanFinding::Kind::LoanOfMissingFilm,
                 true,
                 film,
                 loan.friendId,
                 loan.recno,
                 0,
                 0,
                 "Wypożyczenie filmu nr " + number(film) + ", którego nie ma w bazie filmów"});
    }
    checkFriends(report, friends, std::move(expected));
    return report;
}

LoanCheckReport
repairLoanDisagreements(Table &films, Table &friends, LoanBook &loans, const std::string &today)
{
    using K = LoanFinding::Kind;
    const LoanCheckReport found = findLoanDisagreements(films, friends, loans);
    {
        AllFilms all(films);
        for (const LoanFinding &f : found.findings) {
            switch (f.kind) {
            case K::SeveralOpenLoans:
            case K::LoanOfMissingFilm:
                rewriteRecord(
                    loans.table(), f.recno, [&today](Table &t) { t.setString("DATA_ZWR", today); });
                break;
            case K::OpenLoanNotFlagged:
                rewriteRecord(films, f.recno, [](Table &t) { t.setInteger("ID_OSOBY", 1); });
                break;
            case K::FlagAfterReturn:
                rewriteRecord(films, f.recno, [](Table &t) { t.setInteger("ID_OSOBY", 0); });
                break;
            case K::FriendCountDiffers:
                rewriteRecord(
                    friends, f.recno, [n = f.expected](Table &t) { t.setInteger("ILE", n); });
                break;
            case K::FlagWithoutLoan:
            case K::LoanOfMissingFriend:
                break;
            }
        }
    }
    return findLoanDisagreements(films, friends, loans);
}

} // namespace welarik
