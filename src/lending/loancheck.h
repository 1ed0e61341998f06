// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lending consistency check: the films' ID_OSOBY flags, the open loans and the friends'
// ILE counts must agree. The loan table is the record of truth (a lend writes its loan first,
// a return closes it first), so a command cut short between its writes is completed:
//
//   fault  OpenLoanNotFlagged   an open loan whose film is on the shelf   -> flag := 1
//   fault  FlagAfterReturn      a film flagged lent whose loans are all
//                               closed (a return cut short)               -> flag := 0
//   fault  SeveralOpenLoans     a film with more than one open loan       -> the older ones
//                                                                           closed today
//   fault  LoanOfMissingFilm    an open loan of a CD number no film has   -> closed today
//   fault  FriendCountDiffers   a friend's ILE is not the number of the
//                               friend's open loans (after the above)     -> ILE := that number
//   note   FriendCountDiffers   ILE above that number while films are lent
//                               without a loan record (counts kept by hand
//                               for another program's loans), unless the
//                               friend took part in a command cut short   -> left as it is
//   note   FlagWithoutLoan      a film flagged lent with no loan at all
//                               (lent by another program)                 -> left as it is
//   note   LoanOfMissingFriend  an open loan of a friend number the
//                               friends table lacks                       -> left as it is
//
// findLoanDisagreements only reads; repairLoanDisagreements writes the fixes and returns what
// a new check then finds (notes only, when every write succeeded). Both see every film
// whatever the films table's filter; the films table's current record and filter are kept.
// The catalogue-wide check ("Sprawdź spójność baz") calls these two for its lending part.

#include "loans.h"

#include <string>
#include <vector>

namespace welarik {

struct LoanFinding
{
    enum class Kind {
        OpenLoanNotFlagged,
        FlagAfterReturn,
        SeveralOpenLoans,
        LoanOfMissingFilm,
        FriendCountDiffers,
        FlagWithoutLoan,
        LoanOfMissingFriend,
    };
    Kind kind = Kind::FlagWithoutLoan;
    bool fault = true;
    int64_t film = 0;     // CD number (0 for a friend's count)
    int64_t friendId = 0; // friend number, where one is involved
    uint32_t recno = 0;   // the record the fix writes (film, loan or friend)
    int64_t expected = 0; // FriendCountDiffers: the count of open loans
    int64_t found = 0;    //                     the ILE found
    std::string text;     // Polish, for the user
};

struct LoanCheckReport
{
    std::vector<LoanFinding> findings;
    int faults() const;
    int notes() const;
    bool sound() const { return faults() == 0; }
};

// Without a loan table (none was ever written) only the films' flags and the friends' counts
// are compared. LendingError when the films table lacks ID_OSOBY or the friends table ILE.
LoanCheckReport findLoanDisagreements(Table &films, const Table &friends, const LoanBook &loans);

// Fixes every fault as listed above; the loans it closes get today's date ("YYYYMMDD").
// Throws the storage error of a write that fails (the fixes written before it stay, each one
// a step towards agreement; running it again continues).
LoanCheckReport
repairLoanDisagreements(Table &films, Table &friends, LoanBook &loans, const std::string &today);

} // namespace welarik
