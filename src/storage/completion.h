// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The values the film editor offers while the user types: people of each role from the people
// table (surname, one blank, first name), genre names from the genre table, and the countries,
// video codecs and audio codecs the films already hold. Each list is read in one pass over its
// table (distinct values only, see Table::distinctTexts), never record by record per keystroke.

#include <array>
#include <cstdint>
#include <set>
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

// The films' countries and codecs, read once per opening of the films table in steps (a window
// reads them while idle, so that showing the editor does not wait for a pass over every film)
// and kept afterwards: the values of a film being saved are added by the editor. Values of
// films deleted later stay offered until the table is opened again.
class FilmValues
{
public:
    // Forgets everything; the next step starts at the first record.
    void reset();
    // Reads up to count further records; true once every record has been read.
    bool step(const Table &films, uint32_t count);
    bool complete() const { return m_complete; }
    // Adds a film's values (empty ones are left out).
    void add(const std::string &kraj, const std::string &cvideo, const std::string &caudio);
    // Fills the films' lists of values.
    void fill(CompletionValues &values) const;

private:
    uint32_t m_next = 1;
    bool m_complete = false;
    std::array<std::set<std::string>, 3> m_values; // KRAJ, CVIDEO, CAUDIO
};

// Where the part of a field's text that completion works on begins: 0 for a field of one
// value; for a list (genres, actors) after the last ", ".
size_t completionStart(std::string_view text, bool list);

} // namespace welarik
