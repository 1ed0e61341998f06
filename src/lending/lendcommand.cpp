// SPDX-License-Identifier: GPL-3.0-or-later
#include "lendcommand.h"

#include <functional>
#include <vector>

namespace welarik {

namespace {

// The done steps' undo actions, run in reverse order when the command fails.
class UndoLog
{
public:
    void add(std::function<void()> undo) { m_steps.push_back(std::move(undo)); }
    void clear() { m_steps.clear(); }
    // Undoes and throws the failure; an undo that fails makes the failure say that the tables
    // are left to the consistency check.
    [[noreturn]] void rollBack(const std::exception_ptr &failure)
    {
        std::string undoFailure;
        for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it) {
            try {
                (*it)();
            } catch (const std::exception &e) {
                if (undoFailure.empty())
                    undoFailure = e.what();
            }
        }
        m_steps.clear();
        if (undoFailure.empty())
            std::rethrow_exception(failure);
        std::string reason;
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception &e) {
            reason = e.what();
        }
        throw LendingError(reason + "\nNie udało się cofnąć zmian (" + undoFailure
                           + "); uruchom \"Sprawdź spójność baz\".");
    }

private:
    std::vector<std::function<void()>> m_steps;
};

void requireCurrentFilm(const Table &films)
{
    if (!films.isOpen() || films.recNo() == 0)
        throw LendingError("Nie wybrano filmu");
    if (!films.hasField("ID_OSOBY"))
        throw LendingError("Baza filmów nie ma pola ID_OSOBY");
}

void checkDates(const LendRequest &request)
{
    if (!isValidDate(request.since))
        throw LendingError("Błędna data wypożyczenia");
    if (!request.due.empty() && !isValidDate(request.due))
        throw LendingError("Błędny termin zwrotu");
    if (!request.due.empty() && request.due < request.since)
        throw LendingError("Termin zwrotu nie może być wcześniejszy niż data wypożyczenia");
}

} // namespace

bool isValidDate(const std::string &d)
{
    if (d.size() != 8 || d.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int year = std::stoi(d.substr(0, 4));
    const int month = std::stoi(d.substr(4, 2));
    const int day = std::stoi(d.substr(6, 2));
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

FilmLoanState
loanStateOfCurrentFilm(const Table &films, const Table &friends, const LoanBook &loans)
{
    FilmLoanState state;
    if (!films.isOpen() || films.recNo() == 0 || !films.hasField("ID_OSOBY"))
        return state;
    state.lent = films.asInteger("ID_OSOBY") == 1;
    if (!state.lent)
        return state;
    state.loan = loans.openLoanOf(films.asInteger("ID_CD"));
    if (state.loan && friends.isOpen()) {
        if (const uint32_t r = findFriend(friends, state.loan->friendId)) {
            state.borrowerKnown = true;
            state.borrower = friendName(friends, r);
        }
    }
    return state;
}

Loan lendFilm(Table &films, Table &friends, LoanBook &loans, const LendRequest &request)
{
    requireCurrentFilm(films);
    checkDates(request);
    if (films.asInteger("ID_OSOBY") != 0)
        throw LendingError("Ten film jest już wypożyczony");
    const uint32_t filmRecno = films.recNo();
    const int64_t cd = films.asInteger("ID_CD");
    const uint32_t friendRecno = friends.isOpen() ? findFriend(friends, request.friendId) : 0;
    if (friendRecno == 0)
        throw LendingError("Nie ma znajomego o numerze " + std::to_string(request.friendId));
    loans.open(true);
    if (loans.openLoanOf(cd))
        throw LendingError("Film ma otwarte wypożyczenie, choć jest na stanie; uruchom \"Sprawdź "
                           "spójność baz\"");

    Table &loanTable = loans.table();
    UndoLog undo;
    Loan loan;
    try {
        loanTable.insert();
        try {
            loanTable.setInteger("ID_CD", cd);
            loanTable.setInteger("ID_OSOBY", request.friendId);
            loanTable.setString("DATA_WYP", request.since);
            loanTable.setString("TERMIN", request.due);
            loanTable.setString("UWAGI", request.remarks);
            loanTable.post();
        } catch (...) {
            loanTable.cancel();
            throw;
        }
        loan = loans.read(loanTable.recNo());
        undo.add([&loanTable, recno = loan.recno] {
            if (!loanTable.gotoRecord(recno))
                throw LendingError(loanTable.fileName() + ": nie można usunąć wypożyczenia");
            loanTable.deleteRecord();
        });

        const int64_t count = integerOf(friends, friendRecno, "ILE");
        rewriteRecord(friends, friendRecno, [count](Table &t) { t.setInteger("ILE", count + 1); });
        undo.add([&friends, friendRecno, count] {
            rewriteRecord(friends, friendRecno, [count](Table &t) { t.setInteger("ILE", count); });
        });

        rewriteRecord(films, filmRecno, [](Table &t) { t.setInteger("ID_OSOBY", 1); });
    } catch (...) {
        undo.rollBack(std::current_exception());
    }
    return loan;
}

namespace {

// A return's steps: the film's open loan closed, the borrower's ILE lowered, then lastStep;
// the done steps undone when one fails.
void closeLoanThen(Table &friends,
                   LoanBook &loans,
                   int64_t cd,
                   const std::string &today,
                   const std::function<void()> &lastStep)
{
    loans.openIfExists();
    const std::optional<Loan> loan = loans.openLoanOf(cd);
    UndoLog undo;
    try {
        if (loan) {
            Table &loanTable = loans.table();
            rewriteRecord(
                loanTable, loan->recno, [&today](Table &t) { t.setString("DATA_ZWR", today); });
            undo.add([&loanTable, recno = loan->recno] {
                rewriteRecord(loanTable, recno, [](Table &t) { t.setString("DATA_ZWR", ""); });
            });
            const uint32_t friendRecno = friends.isOpen() ? findFriend(friends, loan->friendId) : 0;
            const int64_t count = friendRecno == 0 ? 0 : integerOf(friends, friendRecno, "ILE");
            if (friendRecno != 0 && count > 0) {
                rewriteRecord(
                    friends, friendRecno, [count](Table &t) { t.setInteger("ILE", count - 1); });
                undo.add([&friends, friendRecno, count] {
                    rewriteRecord(
                        friends, friendRecno, [count](Table &t) { t.setInteger("ILE", count); });
                });
            }
        }
        lastStep();
    } catch (...) {
        undo.rollBack(std::current_exception());
    }
}

} // namespace

void returnFilm(Table &films, Table &friends, LoanBook &loans, const std::string &today)
{
    requireCurrentFilm(films);
    if (!isValidDate(today))
        throw LendingError("Błędna data zwrotu");
    if (films.asInteger("ID_OSOBY") != 1)
        throw LendingError("Ten film nie jest wypożyczony");
    const uint32_t filmRecno = films.recNo();
    closeLoanThen(friends, loans, films.asInteger("ID_CD"), today, [&films, filmRecno] {
        rewriteRecord(films, filmRecno, [](Table &t) { t.setInteger("ID_OSOBY", 0); });
    });
}

void deleteLentFilm(Table &films,
                    Table &friends,
                    LoanBook &loans,
                    const std::string &today,
                    const std::function<void()> &deleteFilm)
{
    requireCurrentFilm(films);
    if (!films.hasField("ID_OSOBY") || films.asInteger("ID_OSOBY") != 1) {
        deleteFilm();
        return;
    }
    if (!isValidDate(today))
        throw LendingError("Błędna data zwrotu");
    closeLoanThen(friends, loans, films.asInteger("ID_CD"), today, deleteFilm);
}

} // namespace welarik
