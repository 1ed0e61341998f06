// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// welarik-dbf's lending commands: loans (list, --check, --repair), lend, return.

#include <string>
#include <vector>

namespace welarik::tools {

extern const char *const kLendingUsage;
// Each returns the exit status: 0 done (check: sound), 1 refused or faults found, 2 usage.
int runLoans(const std::vector<std::string> &args);
int runLend(const std::vector<std::string> &args);
int runReturn(const std::vector<std::string> &args);

} // namespace welarik::tools
