// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Subcommands of welarik-dbf over a whole catalogue. Each returns the exit status; a wrong
// argument throws std::invalid_argument (the tool prints its usage).

#include <string>
#include <vector>

namespace welarik {

// pack FILE: the table written anew without deleted records, memo compacted, index rebuilt.
int runPack(const std::vector<std::string> &args);
// check --catalogue DIR [--films NAME] [--repair]: the catalogue check of DIR/FILMY.DBF (or
// NAME) and DIR/BAZY/; exit 0 when sound.
int runCatalogueCheck(const std::vector<std::string> &args);

} // namespace welarik
