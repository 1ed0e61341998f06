// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lending and returning a film: one command over three tables, the loan table, the friends
// table and the films table, written in this order (the films table last, so that its flag is
// the step that completes the command). When a write fails, the steps already done are undone
// in reverse order and the failure is thrown with its reason: the tables are as before (a lend
// undone leaves its loan record deleted, which readers never see). Should an undo fail too, or
// the process die between the writes, the loan table is the record of truth and the
// consistency check (loancheck.h) completes the command.
//
// The commands work on the current record of the films table (any view, any order) and leave
// every table in browse state. Standard library only.

#include "loans.h"

#include <functional>
#include <optional>
#include <string>

namespace welarik {

struct LendRequest
{
    int64_t friendId = 0;
    std::string since;   // "YYYYMMDD", required
    std::string due;     // "YYYYMMDD" or empty; not before since
    std::string remarks; // UWAGI
};

// The lending state of the films table's current film.
struct FilmLoanState
{
    bool lent = false;          // the film's ID_OSOBY is 1
    std::optional<Loan> loan;   // its open loan, when the loan table has one
    bool borrowerKnown = false; // the loan's friend is in the friends table
    std::string borrower;       // "Imię Nazwisko" when known
};

FilmLoanState
loanStateOfCurrentFilm(const Table &films, const Table &friends, const LoanBook &loans);

// Lends the current film: the loan record (the loan table is created when missing), the
// friend's ILE raised by one, the film's ID_OSOBY set to 1. LendingError when the film is out
// already, has an open loan although it is on the shelf, the friend does not exist or the dates
// are wrong; any storage error of a write after undoing the done steps.
Loan lendFilm(Table &films, Table &friends, LoanBook &loans, const LendRequest &request);

// Returns the current film on the given day: its open loan closed (DATA_ZWR), the borrower's
// ILE lowered by one (never below 0), the film's ID_OSOBY set to 0. A film another program
// marked lent (no open loan) only gets its flag cleared. LendingError when it is not lent.
void returnFilm(Table &films, Table &friends, LoanBook &loans, const std::string &today);

// Deletes the current film through deleteFilm, the last step: a film that is lent first has its
// open loan closed on the given day and the borrower's ILE lowered, as a return does (its own
// flag goes with it). When deleteFilm throws, the loan and the count are restored and the
// failure rethrown. A film on the shelf, or one another program marked lent, is only deleted.
void deleteLentFilm(Table &films,
                    Table &friends,
                    LoanBook &loans,
                    const std::string &today,
                    const std::function<void()> &deleteFilm);

// A date text "YYYYMMDD" that names a real day.
bool isValidDate(const std::string &yyyymmdd);

} // namespace welarik
