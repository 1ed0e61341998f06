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
    std::map<int64_t, Loan> latestByFilm; // each film's newest loan
};

// What the films tell about the friends' counts.
struct CountRules
{
    std::map<int64_t, int64_t> expected; // open loans per friend (after the repairs)
    std::set<int64_t> strict;            // friends of a command cut short
    int unknownLent = 0;                 // films lent without a loan record
};

bool newer(const Loan &a, const Loan &b)
{
    return a.since != b.since ? a.since > b.since : a.recno > b.recno;
}

LoanIndex indexLoans(const LoanBook &loans)
{
    LoanIndex index;
    for (const Loan &loan : loans.allLoans()) {
        auto [latest, added] = index.latestByFilm.try_emplace(loan.film, loan);
        if (!added && newer(loan, latest->second))
            latest->second = loan;
        if (loan.isOpen())
            index.openByFilm[loan.film].push_back(loan);
    }
    for (auto &[film, open] : index.openByFilm)
        std::stable_sort(
            open.begin(), open.end(), [](const Loan &a, const Loan &b) { return newer(b, a); });
    return index;
}

LoanFinding finding(LoanFinding::Kind kind,
                    int64_t film,
                    int64_t friendId,
                    uint32_t recno,
                    std::string text,
                    bool fault = true)
{
    LoanFinding f;
    f.kind = kind;
    f.fault = fault;
    f.film = film;
    f.friendId = friendId;
    f.recno = recno;
    f.text = std::move(text);
    return f;
}

void checkFilm(LoanCheckReport &report,
               CountRules &rules,
               const LoanIndex &index,
               int64_t cd,
               int64_t flag,
               uint32_t recno)
{
    using K = LoanFinding::Kind;
    const std::string film = "Film nr " + number(cd);
    const auto it = index.openByFilm.find(cd);
    if (it != index.openByFilm.end()) {
        const std::vector<Loan> &open = it->second;
        for (size_t i = 0; i + 1 < open.size(); ++i)
            report.findings.push_back(finding(K::SeveralOpenLoans,
                                              cd,
                                              open[i].friendId,
                                              open[i].recno,
                                              film + " ma kilka otwartych wypożyczeń; to od "
                                                  + open[i].since + " zostanie zamknięte"));
        if (flag != 1) {
            rules.strict.insert(open.back().friendId);
            report.findings.push_back(
                finding(K::OpenLoanNotFlagged,
                        cd,
                        open.back().friendId,
                        recno,
                        film + " jest wypożyczony, a nie ma znacznika wypożyczenia"));
        }
        return;
    }
    if (flag != 1)
        return;
    const auto latest = index.latestByFilm.find(cd);
    if (latest != index.latestByFilm.end()) {
        rules.strict.insert(latest->second.friendId);
        report.findings.push_back(
            finding(K::FlagAfterReturn,
                    cd,
                    latest->second.friendId,
                    recno,
                    film + " ma znacznik wypożyczenia, a jego wypożyczenia są zamknięte"));
    } else {
        ++rules.unknownLent;
        report.findings.push_back(finding(K::FlagWithoutLoan,
                                          cd,
                                          0,
                                          recno,
                                          film + " jest wypożyczony (brak danych o osobie)",
                                          false));
    }
}

// A count above the open loans is a note while films lent by another program may account for
// it (counts kept by hand), unless the friend took part in a command cut short.
void checkFriends(LoanCheckReport &report, const Table &friends, CountRules rules)
{
    using K = LoanFinding::Kind;
    std::map<int64_t, int64_t> &expected = rules.expected;
    for (int row = 0, rows = friends.rowCount(); row < rows; ++row) {
        const uint32_t r = friends.recordAtRow(row);
        const int64_t id = integerOf(friends, r, "ID_OSOBY");
        const int64_t found = integerOf(friends, r, "ILE");
        const auto it = expected.find(id);
        const int64_t want = it == expected.end() ? 0 : it->second;
        if (it != expected.end())
            expected.erase(it);
        if (found == want)
            continue;
        const bool fault = found < want || rules.unknownLent == 0 || rules.strict.count(id);
        LoanFinding f
            = finding(K::FriendCountDiffers,
                      0,
                      id,
                      r,
                      friendName(friends, r) + " (nr " + number(id) + "): ILE wynosi "
                          + number(found) + ", a otwartych wypożyczeń jest " + number(want)
                          + (fault ? "" : " (reszta może być wypożyczona przez inny program)"),
                      fault);
        f.expected = want;
        f.found = found;
        report.findings.push_back(std::move(f));
    }
    for (const auto &[id, count] : expected) {
        LoanFinding f = finding(K::LoanOfMissingFriend,
                                0,
                                id,
                                0,
                                "Brak znajomego nr " + number(id) + ", który ma " + number(count)
                                    + " wypożyczonych filmów",
                                false);
        f.expected = count;
        report.findings.push_back(std::move(f));
    }
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
    CountRules rules;
    std::set<int64_t> existing;
    {
        AllFilms all(films);
        for (int row = 0, rows = films.rowCount(); row < rows; ++row) {
            const uint32_t r = films.recordAtRow(row);
            const int64_t cd = integerOf(films, r, "ID_CD");
            existing.insert(cd);
            checkFilm(report, rules, index, cd, integerOf(films, r, "ID_OSOBY"), r);
        }
    }
    for (const auto &[film, open] : index.openByFilm) {
        if (existing.count(film)) {
            ++rules.expected[open.back().friendId];
            continue;
        }
        for (const Loan &loan : open)
            report.findings.push_back(finding(LoanFinding::Kind::LoanOfMissingFilm,
                                              film,
                                              loan.friendId,
                                              loan.recno,
                                              "Wypożyczenie filmu nr " + number(film)
                                                  + ", którego nie ma w bazie filmów"));
    }
    checkFriends(report, friends, std::move(rules));
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
                if (!f.fault)
                    break;
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
