// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The loan records of one films table: a dBase table of our own beside the films table, named
// after it ("FILMY.DBF" -> "FILMY_WYP.DBF" with its production index "FILMY_WYP.MDX"), so that
// several films tables sharing one BAZY keep their own loans, and a films table copied or
// renamed together with its companions (FILMY.* -> KINO.*, FILMY_WYP.* -> KINO_WYP.*) keeps
// them. A loan names the film by its CD number and the friend by the friends table's number;
// it is open while its return date is empty. Dates are "YYYYMMDD" texts (empty: none).
//
// Standard library only: the program, welarik-dbf and the benchmarks share it.

#include "catalogue.h"
#include "table.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace welarik {

// What a lending command or the loan table refuses, in the user's words (Polish).
class LendingError : public StorageError
{
public:
    explicit LendingError(const std::string &text)
        : StorageError({}, text)
    {}
};

inline constexpr const char *kLoanTableSuffix = "_WYP";
inline constexpr uint8_t kLoanTableLdid = 0xC8; // code page 1250

// "DIR/FILMY.DBF" -> "DIR/FILMY_WYP.DBF" (the extension keeps its letter case).
std::string loanTablePath(const std::string &filmsPath);
// The loan table's files that go with a films table when it is copied or renamed (table and
// index), in the films table's folder; existing or not.
std::vector<std::string> loanTableFiles(const std::string &filmsPath);

// ID_CD, ID_OSOBY, DATA_WYP (loan date), TERMIN (due date), DATA_ZWR (return date), UWAGI;
// tags ID_CD, ID_OSOBY and DATA_WYP.
TableLayout loansLayout();

struct Loan
{
    uint32_t recno = 0;
    int64_t film = 0;
    int64_t friendId = 0;
    std::string since;    // DATA_WYP
    std::string due;      // TERMIN, may be empty
    std::string returned; // DATA_ZWR, empty while the film is out
    std::string remarks;  // UWAGI
    bool isOpen() const { return returned.empty(); }
    // Past its due date on the given day (an open loan with a due date before today).
    bool overdueOn(const std::string &today) const
    {
        return isOpen() && !due.empty() && due < today;
    }
};

// The loan table of one films table, as a table component of its own (opened exclusively,
// like the films table).
class LoanBook
{
public:
    explicit LoanBook(FileSystem &fs = FileSystem::real());

    // Closes the table and points it at the loans of this films table.
    void bindTo(const std::string &filmsPath);
    const std::string &path() const { return m_path; }
    bool exists() const;
    // Opens the loan table; creates it first (level IV, language driver 0xC8) when create is
    // set and it does not exist yet. StorageError (OpenError...) when it cannot be opened;
    // LendingError when its fields are not those of a loan table.
    void open(bool create);
    // Opens it when it exists and is not open yet; false when it does not exist, or is a
    // creation cut short that holds no loan (the next open(true) makes it again).
    bool openIfExists();
    void close();
    bool isOpen() const { return m_table.isOpen(); }
    Table &table() { return m_table; }

    Loan read(uint32_t recno) const;
    // The film's open loan (the newest one if several are open), if any.
    std::optional<Loan> openLoanOf(int64_t film) const;
    // Every loan of the film, oldest first.
    std::vector<Loan> loansOfFilm(int64_t film) const;
    // The friend's loans: the open ones first, then the returned ones, each newest first.
    std::vector<Loan> loansOfFriend(int64_t friendId) const;
    // Every loan, in record order.
    std::vector<Loan> allLoans() const;

private:
    std::vector<Loan> readAll(const std::vector<uint32_t> &recnos) const;
    // The table file holds no loan (shorter than a header, or no record): a creation cut short.
    bool holdsNoLoans() const;
    void removeFiles();
    void createTable();
    FileSystem &m_fs;
    std::string m_path;
    mutable Table m_table;
};

// The friends table's record of a friend number, 0 when there is none (through the ID_OSOBY
// tag when the table has it, otherwise by reading each record).
uint32_t findFriend(const Table &friends, int64_t friendId);
// The films table's record of a CD number, 0 when there is none (through the ID_CD tag).
uint32_t findFilm(const Table &films, int64_t cdNumber);
// A whole number field of any record without moving: blank or unreadable reads as 0.
int64_t integerOf(const Table &table, uint32_t recno, const std::string &field);
// Writes one record: moves to it, edit, the change, post; a failed post is cancelled and
// rethrown. LendingError when the record is not visible.
void rewriteRecord(Table &table, uint32_t recno, const std::function<void(Table &)> &change);
// "Imię Nazwisko" of a friend record, each part without its padding.
std::string friendName(const Table &friends, uint32_t recno);

} // namespace welarik
