// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The values the film editor offers while the user types: people of each role from the people
// table (surname, one blank, first name), genre names from the genre table, and the countries,
// video codecs and audio codecs the films already hold. Each list is read in one pass over its
// table (distinct values only, see Table::distinctTexts), never record by record per keystroke.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace welarik {

class Table;

struct CompletionValues
{
    std::array<std::vector<std::string>, 4> people; // by role, as people::kRoles orders them
    std::vector<std::string> genres;
    std::vector<std::string> countries;   // KRAJ
    std::vector<std::string> videoCodecs; // CVIDEO
    std::vector<std::string> audioCodecs; // CAUDIO
};

// Reads the lists from the tables that are given and open (nullptr or closed: that part stays
// empty). The table layer's errors are thrown. Lists are in no particular order.
CompletionValues
collectCompletionValues(const Table *films, const Table *people, const Table *genres);

// Where the part of a field's text that completion works on begins: 0 for a field of one
// value; for a list (genres, actors) after the last ", ".
size_t completionStart(std::string_view text, bool list);

} // namespace welarik
