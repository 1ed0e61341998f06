// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lending as part of the whole catalogue's tools: the loan table travels with its films table
// (a companion table of cataloguetools.h: copied, tidied, kept in the dated copies, emptied with
// it) and the lending check (loancheck.h) runs as a rule of the catalogue check, with its
// repair as the rule's repair. The program and welarik-dbf call registerLendingWithCatalogue
// once before they use the catalogue tools; storage itself knows nothing of loans.

#include "cataloguecheck.h"

#include <string>

namespace welarik {

// The rule "wypożyczenia": the loan table's own engine check (its index rebuilt as the repair)
// and the films' flags, open loans and friends' ILE agreeing (repairLoanDisagreements, with the
// given day for the loans it closes; empty: today).
CatalogueRule lendingCatalogueRule(const std::string &today = {});

// Registers the loan table as a companion of every films table and lendingCatalogueRule; a
// second call changes nothing.
void registerLendingWithCatalogue();

} // namespace welarik
